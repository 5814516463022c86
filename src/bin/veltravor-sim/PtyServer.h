// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

#include <optional>

#include "simulator/SimulatedInstrument.h"
#include "simulator/SimulatorConfig.h"

// Serves the simulated instrument on a pseudo-terminal: a symbolic link at
// the given path points to the terminal's slave side, where a serial-port
// program talks to the instrument as to the USB serial port. Single thread;
// POSIX only.
//
// Model time follows the steady clock scaled by the config's speed; answers
// are written to the terminal when they have crossed the line. A purge on the
// program's side cannot be seen through a terminal, so it resets nothing
// here. When the drop-link fault fires, the terminal is closed and Run
// returns.
class TPtyServer {
 public:
  explicit TPtyServer(const TSimulatorConfig &config);
  ~TPtyServer();
  TPtyServer(const TPtyServer &) = delete;
  TPtyServer &operator=(const TPtyServer &) = delete;

  // Creates the terminal and the link at linkPath. A symbolic link left by an
  // earlier run whose terminal is gone is replaced; any other file there is
  // not touched. Returns false with error filled.
  bool Open(const QString &linkPath, QString *error);
  // The slave side's device name (/dev/pts/N).
  QString SlaveName() const { return FSlaveName; }
  // Serves until SIGINT, SIGTERM or SIGHUP (installed by Open) or the link
  // drops. Returns the exit status: 0 after a signal or a drop.
  int Run();
  // Removes the link (only while it still points to our terminal), closes the
  // terminal and keeps the positions in the state file. Called by the
  // destructor too.
  void Shutdown();

 private:
  void KeepState(bool force);

  TSimulatorConfig FConfig;
  TSimulatedInstrument FInstrument;
  QString FLinkPath;
  QString FSlaveName;
  int FMaster = -1;
  int FSlave = -1;  // held open so that a client's close does not hang up the master
  bool FLinkMade = false;
  std::optional<std::pair<int, int>> FSavedPositions;
};
