// SPDX-License-Identifier: GPL-3.0-or-later
// Every fuzz target over its stored corpus (seeds and the regression inputs
// of earlier findings), and over every prefix of the small ones, so that a
// fixed finding stays fixed in the ordinary test run.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "FuzzEntry.h"

int SettingsFuzzOne(const uint8_t *data, size_t size);
int DictionaryFuzzOne(const uint8_t *data, size_t size);
int FilterTableFuzzOne(const uint8_t *data, size_t size);
int IntervalTextFuzzOne(const uint8_t *data, size_t size);
int SimulatorFilesFuzzOne(const uint8_t *data, size_t size);
int RunJournalFuzzOne(const uint8_t *data, size_t size);

namespace {
using TEntry = int (*)(const uint8_t *, size_t);

// The corpus beside this source: tests/core/fuzz/corpus/<target>/.
QString CorpusFolder(const char *target) {
  return QDir::cleanPath(QStringLiteral(VELTRAVOR_TEST_DATA "/../core/fuzz/corpus/") + target);
}

class FuzzCorpus : public testing::TestWithParam<std::pair<const char *, TEntry>> {};
}  // namespace

TEST_P(FuzzCorpus, EveryStoredInputAndEveryPrefixOfTheSmallOnesIsHandled) {
  const auto [target, entry] = GetParam();
  const QFileInfoList files = QDir(CorpusFolder(target)).entryInfoList(QDir::Files, QDir::Name);
  ASSERT_FALSE(files.isEmpty()) << "no corpus in " << CorpusFolder(target).toStdString();
  for (const QFileInfo &info : files) {
    QFile file(info.absoluteFilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    SCOPED_TRACE(info.fileName().toStdString());
    const auto *data = reinterpret_cast<const uint8_t *>(bytes.constData());
    if (bytes.size() <= 600) {
      for (qsizetype n = 0; n < bytes.size(); ++n) entry(data, size_t(n));
    }
    entry(data, size_t(bytes.size()));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Targets, FuzzCorpus,
    testing::Values(std::pair<const char *, TEntry>{"settings", SettingsFuzzOne},
                    std::pair<const char *, TEntry>{"dictionary", DictionaryFuzzOne},
                    std::pair<const char *, TEntry>{"filter_table", FilterTableFuzzOne},
                    std::pair<const char *, TEntry>{"interval_text", IntervalTextFuzzOne},
                    std::pair<const char *, TEntry>{"simulator_files", SimulatorFilesFuzzOne},
                    std::pair<const char *, TEntry>{"run_journal", RunJournalFuzzOne}),
    [](const testing::TestParamInfo<std::pair<const char *, TEntry>> &info) {
      return std::string(info.param.first);
    });
