// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include "app/Main.h"

int ParseCommandLine(const QStringList &arguments, TStartOptions &options, QString &output,
                     QString &error) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Veltravor: control and evaluation of the laboratory cross-correlator.");
  const QCommandLineOption simulator(
      "simulator", "Run on the simulated instrument, with its own settings file.");
  const QCommandLineOption port("port", "Serial port of the instrument's controller.", "PATH");
  const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
  const QCommandLineOption version("version", "Show the version and exit.");
  parser.addOptions({simulator, port, help, version});
  parser.addPositionalArgument("FILE.vtp", "Project files to open after the start.",
                               "[FILE.vtp ...]");
  const QString tryHelp = QStringLiteral("\nTry 'veltravor --help'.\n");
  if (!parser.parse(arguments)) {
    error = "veltravor: " + parser.errorText() + tryHelp;
    return 2;
  }
  if (parser.isSet(help)) {
    output = parser.helpText().replace("<executable_name>", "veltravor");
    return 0;
  }
  if (parser.isSet(version)) {
    output = QStringLiteral("veltravor %1\n").arg(QStringLiteral(VELTRAVOR_VERSION));
    return 0;
  }
  if (parser.isSet(port) && parser.value(port).isEmpty()) {
    error = "veltravor: --port needs a path" + tryHelp;
    return 2;
  }
  options.Simulator = parser.isSet(simulator);
  options.Port = parser.value(port);
  // Absolute now: the paths name files relative to the folder the program
  // was started in, and are compared with open projects' file names.
  options.Files.clear();
  for (const QString &file : parser.positionalArguments())
    if (!file.isEmpty()) options.Files << QFileInfo(file).absoluteFilePath();
  return -1;
}
