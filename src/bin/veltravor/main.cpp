#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <cstdio>

#include "app/Main.h"
#include "device/SerialPortLink.h"
#include "simulator/SimulatorFiles.h"
#include "simulator/SimulatorLink.h"

namespace {
// Reads the command line before the application exists, so that --help and
// --version work without a display. Returns an exit code, or -1 to go on.
int ParseCommandLine(int argc, char **argv, TStartOptions &options) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Veltravor: control and evaluation of the laboratory cross-correlator.");
  const QCommandLineOption simulator(
      "simulator", "Run on the simulated instrument, with its own settings file.");
  const QCommandLineOption port("port", "Serial port of the instrument's controller.", "PATH");
  const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
  const QCommandLineOption version("version", "Show the version and exit.");
  parser.addOptions({simulator, port, help, version});
  if (!parser.parse(arguments)) {
    std::fprintf(stderr, "veltravor: %s\nTry 'veltravor --help'.\n",
                 qPrintable(parser.errorText()));
    return 2;
  }
  if (!parser.positionalArguments().isEmpty()) {
    std::fprintf(stderr, "veltravor: unexpected argument '%s'\nTry 'veltravor --help'.\n",
                 qPrintable(parser.positionalArguments().first()));
    return 2;
  }
  if (parser.isSet(help)) {
    std::fputs(qPrintable(parser.helpText().replace("<executable_name>", "veltravor")), stdout);
    return 0;
  }
  if (parser.isSet(version)) {
    std::printf("veltravor %s\n", VELTRAVOR_VERSION);
    return 0;
  }
  options.Simulator = parser.isSet(simulator);
  options.Port = parser.value(port);
  if (parser.isSet(port) && options.Port.isEmpty()) {
    std::fprintf(stderr, "veltravor: --port needs a path\n");
    return 2;
  }
  return -1;
}
}  // namespace

int main(int argc, char **argv) {
  TStartOptions options;
  if (const int code = ParseCommandLine(argc, argv, options); code >= 0) return code;

  QApplication app(argc, argv);
  QApplication::setApplicationName("veltravor");
  QApplication::setApplicationDisplayName("Veltravor");
  QApplication::setApplicationVersion(VELTRAVOR_VERSION);
  // The one place that picks the link backend.
  if (options.Simulator) {
    // First start on the simulator: its settings file gets the simulated
    // instrument's filter calibration.
    QString error;
    if (!EnsureSimulatorSettings(&error))
      std::fprintf(stderr, "veltravor: %s\n", qPrintable(error));
    options.CreateLink = [](const QString &) -> std::unique_ptr<TDeviceLink> {
      return CreateSimulatorLink(TSimulatorConfig{});
    };
  } else {
    options.CreateLink = [](const QString &port) -> std::unique_ptr<TDeviceLink> {
      return std::make_unique<TSerialPortLink>(port);
    };
  }
  TfmMain *window = new TfmMain(options);
  QApplication::setWindowIcon(window->windowIcon());
  window->show();
  const int code = app.exec();
  delete window;
  return code;
}
