// SPDX-License-Identifier: GPL-3.0-or-later
// The Russian dictionary shipped with the program translates every text the
// program shows: the texts that its windows and dialogs collect in the
// catalogue when they open, and every message that the sources pass to the
// translator. A text added without its translation fails here, with the list
// of what is missing (the dictionary is one sorted text file: add the lines).
#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QToolButton>
#include <QtTest>

#include <algorithm>
#include <memory>

#include "../app/ShellTestSupport.h"
#include "TestEnvironment.h"
#include "adjustment/MoveFilter.h"
#include "adjustment/MoveSM.h"
#include "app/About.h"
#include "app/Globals.h"
#include "app/Main.h"
#include "app/TextFile.h"
#include "localization/Dictionary.h"
#include "localization/LanguageList.h"
#include "localization/TranslationEditor.h"
#include "localization/Translator.h"
#include "measurement/PulseReportDialog.h"
#include "measurement/RemoveGraph.h"
#include "settings/Settings.h"
#include "simulator/SimulatorLink.h"

namespace {
const QString SourceDir = QStringLiteral(VELTRAVOR_SOURCE_DIR);
const QString DictionaryFile = SourceDir + QStringLiteral("/data/localization/Русский.lng");

// Texts the translator returns unchanged whatever the dictionary holds.
bool NeedsNoTranslation(const QString &text) {
  TDictionary probe;
  probe.Lookup(text, true, true);
  return probe.Count() == 0;
}

// The texts of a list that the dictionary leaves untranslated, one per line;
// each is also printed as a dictionary line to fill in (a failure message is
// cut short).
QString Untranslated(const TDictionary &russian, const QStringList &texts) {
  QStringList missing;
  for (const QString &text : texts) {
    if (NeedsNoTranslation(text)) continue;
    const qsizetype i = russian.IndexOf(text);
    if (i < 0 || russian.Value(i).Value.trimmed().isEmpty()) missing << text;
  }
  missing.removeDuplicates();
  std::sort(missing.begin(), missing.end(),
            [](const QString &a, const QString &b) { return TDictionary::CompareKeys(a, b) < 0; });
  for (const QString &text : missing)
    qInfo().noquote() << "untranslated:" << TDictionary::EncodeText(text) + "<=>";
  return missing.join(u'\n');
}

// C string literal (the text between the quotes) to its value.
QString Unescape(const QString &literal) {
  QString out;
  for (qsizetype i = 0; i < literal.size(); ++i) {
    if (literal[i] != u'\\' || i + 1 == literal.size()) {
      out += literal[i];
      continue;
    }
    const QChar c = literal[++i];
    out += c == u'n' ? QChar(u'\n') : c == u't' ? QChar(u'\t') : c == u'r' ? QChar(u'\r') : c;
  }
  return out;
}

// Every literal text passed to Translate, TranslateFmt or RaiseError in the
// program's sources, adjacent literals joined.
QStringList MessagesInSources() {
  static const QRegularExpression call(
      QStringLiteral(R"re((?<![\w>.])(?:Translate|TranslateFmt|RaiseError)\(\s*)re"
                     R"re((?:QStringLiteral\(\s*)?((?:"(?:[^"\\]|\\.)*"\s*)+))re"));
  static const QRegularExpression literal(QStringLiteral(R"re("((?:[^"\\]|\\.)*)")re"));
  QStringList texts;
  QDirIterator files(SourceDir + "/src", {"*.cpp", "*.h"}, QDir::Files,
                     QDirIterator::Subdirectories);
  while (files.hasNext()) {
    QFile file(files.next());
    if (!file.open(QIODevice::ReadOnly)) continue;
    const QString source = QString::fromUtf8(file.readAll());
    for (auto m = call.globalMatch(source); m.hasNext();) {
      QString text;
      for (auto part = literal.globalMatch(m.next().captured(1)); part.hasNext();)
        text += Unescape(part.next().captured(1));
      texts << text;
    }
  }
  return texts;
}
}  // namespace

class RussianTranslationTest : public QObject {
  Q_OBJECT

  TDictionary FRussian{QStringLiteral("Русский")};

 private slots:
  void initTestCase() {
    QApplication::setApplicationDisplayName("Veltravor");
    QVERIFY2(QFile::exists(DictionaryFile), qPrintable(DictionaryFile));
    FRussian.LoadFromFile(DictionaryFile);
    QVERIFY(FRussian.Count() > 0);
  }

  // The file as a translator keeps it: one entry per line, sorted, no key
  // twice (a second one would be dropped on loading), every translation with
  // as many "%" signs as its text, since values fill them in order.
  void fileIsWellFormed() {
    QStringList lines;
    QVERIFY(ReadTextLines(DictionaryFile, lines));
    QStringList problems;
    QString previous;
    for (const QString &line : lines) {
      const QString key = TDictionary::DecodeText(TDictionary::ExtractKey(line));
      if (key.isEmpty()) {
        problems << "no separator: " + line;
        continue;
      }
      const QString value = TDictionary::DecodeText(line.mid(line.indexOf(u"<=>") + 3));
      if (!previous.isEmpty() && TDictionary::CompareKeys(previous, key) >= 0)
        problems << "out of order or twice: " + key;
      if (key.count(u'%') != value.count(u'%')) problems << "\"%\" signs differ: " + key;
      if (value.trimmed().isEmpty()) problems << "no translation: " + key;
      previous = key;
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
  }

  // Every window and dialog of the program opened once, as the operator
  // would open it; what they collected in the catalogue must be translated.
  void everyWindowAndDialogIsTranslated() {
    TStartOptions options;
    options.CreateLink = [](const QString &) {
      TSimulatorConfig config;
      config.Speed = 0;
      config.KeepState = false;
      return std::make_unique<TSimulatorLink>(config);
    };
    auto main = std::make_unique<TfmMain>(options);
    main->tmStartActions->stop();
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    TBoxRecorder boxes(QMessageBox::No);

    TDialogRecorder dialogs;
    dialogs.Act = [](QDialog &dialog) {
      if (auto *settings = qobject_cast<TfmSettings *>(&dialog)) {
        settings->btLanguage->click();
      } else if (auto *list = qobject_cast<TfmLanguageList *>(&dialog)) {
        list->edInsert->click();
      }
      return int(QDialog::Rejected);
    };
    main->mnSettings->trigger();
    QCOMPARE(dialogs.Names, (QStringList{"fmSettings", "fmLanguageList", "fmTranslationEditor"}));
    { TfmAbout about(main.get()); }
    { TfmTranslationEditor existing(QStringLiteral("Русский"), main.get()); }
    { TfmMoveSM carriage(main.get()); }
    { TfmMoveFilter wheel(main.get()); }
    { TfmRemoveGraph graphs({"/data/a", "/data/b"}, main.get()); }
    { TfmPulseReport report("Project", {}, main.get()); }
    main->mnLog->trigger();
    main->mnNew->trigger();
    main->mnAdjustment->trigger();
    QVERIFY(boxes.Requests.isEmpty());

    TDictionary &catalogue = Translator->Catalogue();
    QStringList collected;
    for (qsizetype i = 0; i < catalogue.Count(); ++i) collected << catalogue.Key(i);
    QVERIFY(collected.contains("Settings"));
    QVERIFY(collected.contains("Translated: % from %"));
    const QString missing = Untranslated(FRussian, collected);
    QVERIFY2(missing.isEmpty(), qPrintable("no Russian translation for:\n" + missing));
  }

  // Messages appear only when something happens: they are taken from the
  // sources instead.
  void everyMessageIsTranslated() {
    const QStringList messages = MessagesInSources();
    QVERIFY(messages.contains("Can not change settings during project execution."));
    QVERIFY(messages.contains("Device communication error %."));
    const QString missing = Untranslated(FRussian, messages);
    QVERIFY2(missing.isEmpty(), qPrintable("no Russian translation for:\n" + missing));
  }
};

VELTRAVOR_TEST_MAIN(RussianTranslationTest)
#include "RussianTranslationTest.moc"
