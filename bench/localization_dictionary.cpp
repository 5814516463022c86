// SPDX-License-Identifier: GPL-3.0-or-later
// Dictionary and translator figures: load a 20,000-entry language file, then
// translate 1,000,000 texts (catalogue and dictionary both searched, as every
// message and caption of the program is). Prints the figures; not a test.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

#include "app/TextFile.h"
#include "localization/Dictionary.h"
#include "localization/Translator.h"

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  QTemporaryDir dir;
  const QString languages = dir.path() + "/LANGUAGE";
  QDir().mkpath(languages);

  // Keys share a long prefix, as captions of one window do.
  constexpr int Entries = 20000;
  QStringList keys, lines;
  for (int i = 0; i < Entries; ++i) {
    keys << QString("Shift filter wheel to position %1 of the table").arg(i * 7919 % Entries);
    lines << keys.back() + "<=>" + QString("Translated text number %1").arg(i);
  }
  if (!WriteTextLines(languages + "/Bench.lng", lines)) return 1;

  QElapsedTimer timer;
  timer.start();
  TDictionary dictionary("Bench");
  dictionary.LoadFromFile(languages + "/Bench.lng");
  const double loadMs = timer.nsecsElapsed() / 1e6;

  TTranslator translator("English", dir.path() + "/veltravor.lng", {languages});
  timer.restart();
  translator.SetLanguage("Bench");
  const double selectMs = timer.nsecsElapsed() / 1e6;

  constexpr int Calls = 1000000;
  qsizetype checksum = 0;
  timer.restart();
  for (int i = 0; i < Calls; ++i) checksum += translator.Translate(keys[i % Entries], true, true).size();
  const double translateMs = timer.nsecsElapsed() / 1e6;

  std::printf("dictionary load, %d entries:           %8.1f ms (%lld entries)\n", Entries, loadMs,
              static_cast<long long>(dictionary.Count()));
  std::printf("SetLanguage (.lng + .~lng):             %8.1f ms\n", selectMs);
  std::printf("Translate x %d:                    %8.1f ms (%.2f us each, checksum %lld)\n", Calls,
              translateMs, translateMs * 1000.0 / Calls, static_cast<long long>(checksum));
  return 0;
}
