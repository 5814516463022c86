// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QTimer>

#include "app/Globals.h"
#include "app/Main.h"
#include "app/MessageBoxes.h"
#include "app/Messages.h"
#include "app/WaitCursor.h"
#include "device/Device.h"
#include "settings/SettingsStorage.h"

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
