// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>

#include "app/ErrorGuard.h"
#include "app/Globals.h"
#include "app/Main.h"
#include "app/MessageBoxes.h"
#include "app/Messages.h"
#include "app/WaitCursor.h"
#include "device/Device.h"
#include "measurement/Project.h"
#include "measurement/RunJournal.h"
#include "settings/SettingsStorage.h"
#include "windowpanel/WindowPanel.h"

namespace {
const TKeyPath General{QStringLiteral("General")};
// The carriage is driven back further than the delay line is long, so the
// initial limit switch stops it wherever it stood. Steps.
constexpr int32_t RollBackSteps = -100000;
// "Carriage" holds this when no carriage position was ever stored.
constexpr int UnknownCarriage = -1;
}  // namespace

// Runs once, 50 ms after the main window appeared, inside the central error
// guard: brings the instrument into a known state. A device that is not found
// ends the start actions with "Device not found" and its error's box; a failed
// roll-back skips the filter-table check. Main thread; blocks the window while
// the device works, under the hourglass.
void TfmMain::tmStartActionsTimer() {
  tmStartActions->stop();
  SetStatusText(0, Translate(QStringLiteral("Initialization...")));
  // Paint now: the event loop stays blocked while the device is searched.
  repaint();

  try {
    TWaitCursor wait;
    OpenDevice();
  } catch (...) {
    // The hourglass is gone before the error's box appears.
    SetStatusText(0, Translate(QStringLiteral("Device not found")));
    throw;
  }

  // Read again with its own default: 0, which the device starts from, is a
  // real position; -1 says that none is known.
  if (AppSettings->ReadInt(General, QStringLiteral("Carriage"), UnknownCarriage) ==
      UnknownCarriage) {
    if (AskYesNo(Translate(QStringLiteral(
            "Delay line carriage position is unknown. Roll back carriage to initial limit?")))) {
      TWaitCursor wait;
      Device->ShiftMotor(TDevice::MotorCarriage, RollBackSteps);
    }
  }

  // No filter table was ever stored: the operator enters one in the settings
  // dialog, opened exactly as the Settings command opens it.
  if (AppSettings->ReadText(General, QStringLiteral("filterTable"), QString()).isEmpty())
    mnSettings->trigger();
}

void TfmMain::RecoverJournals() {
  const QList<TJournalInfo> journals = FindJournals(TRunJournal::Folder(FOptions.Simulator));
  for (const TJournalInfo &journal : journals) {
    // Each journal on its own: one that fails leaves the others to ask about.
    RunGuarded([&] {
      if (!journal.StartTime.isValid()) {
        // Nothing in it can be recovered; the operator still decides.
        if (AskYesNo(TranslateFmt(
                QStringLiteral("The file \"%\" is not a readable run journal. Delete it?"),
                QStringList{QFileInfo(journal.FileName).fileName()})))
          QFile::remove(journal.FileName);
        return;
      }
      const QString started =
          QLocale::system().toString(journal.StartTime.toLocalTime(), QLocale::ShortFormat);
      if (!AskYesNo(TranslateFmt(
              QStringLiteral("The run of project \"%\" started % did not end (% points measured). "
                             "Recover it?"),
              QStringList{journal.ProjectName, started, QString::number(journal.Points)})))
        return;
      auto *fm = new TfmProject;
      TWindowPanel::ShowForm(fm);
      fm->RecoverJournal(journal.FileName);
    });
  }
}
