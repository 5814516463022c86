// SPDX-License-Identifier: GPL-3.0-or-later
// veltravor-cli: evaluate project files and run measurements from scripts,
// sharing every rule with the program (device, plan, scan worker, project
// file, export, settings file).
#include <QCoreApplication>

#include "Cli.h"
#include "app/AppError.h"
#include "app/Messages.h"

namespace {
const char *const MainUsage =
    "Usage: veltravor-cli <command> [options] (info, export, report, scan, recover)";

void PrintMainHelp() {
  Out(MainUsage);
  Out("");
  Out("Commands:");
  Out("  info [--json] FILE.vtp     what a project file holds and its analysis");
  Out("  export FILE.vtp OUT.dat    the file's curve as an ASCII table");
  Out("  report [--json] [--autocorrelation] FILE.vtp");
  Out("                             the pulse report: fitted width and duration, pre- and");
  Out("                             post-pulses, pedestal, noise floor, filter stitching");
  Out("  scan [options] -o FILE.vtp measure with the instrument and save a project file");
  Out("  recover JOURNAL -o FILE.vtp a run journal left by a killed scan, as a project file");
  Out("");
  Out("Options:");
  Out("  -h, --help                 this help; 'veltravor-cli COMMAND --help' for a command");
  Out("  -v, --version              the version");
  Out("");
  Out("Exit status: 0 success, 1 an error (its message on stderr), 2 bad usage.");
}
}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("veltravor");
  QCoreApplication::setApplicationVersion(VELTRAVOR_VERSION);

  QStringList args = app.arguments().mid(1);
  if (args.isEmpty()) {
    Err(MainUsage);
    return ExitUsage;
  }
  const QString command = args.takeFirst();
  try {
    if (command == "-h" || command == "--help" || command == "help") {
      PrintMainHelp();
      return ExitOk;
    }
    if (command == "-v" || command == "--version") {
      Out(QString("veltravor-cli %1").arg(VELTRAVOR_VERSION));
      return ExitOk;
    }
    if (command == "info") return RunInfo(args);
    if (command == "export") return RunExport(args);
    if (command == "report") return RunReport(args);
    if (command == "scan") return RunScan(args);
    if (command == "recover") return RunRecover(args);
    throw EUsageError(QString("unknown command \"%1\"").arg(command), MainUsage);
  } catch (const EUsageError &e) {
    Err("veltravor-cli: " + e.Message);
    Err(e.Usage);
    return ExitUsage;
  } catch (const std::exception &e) {
    Err("veltravor-cli: " + DisplayedErrorText(ExceptionMessage(e)));
    return ExitError;
  }
}
