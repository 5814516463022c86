// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QIcon>

#include <cstdio>

#include "app/AppIdentity.h"
#include "app/CommandLine.h"
#include "app/Main.h"
#include "device/SerialPortLink.h"
#include "simulator/SimulatorFiles.h"
#include "simulator/SimulatorLink.h"

int main(int argc, char **argv) {
  TStartOptions options;
  {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QString output, error;
    if (const int code = ParseCommandLine(arguments, options, output, error); code >= 0) {
      std::fputs(qPrintable(output), stdout);
      std::fputs(qPrintable(error), stderr);
      return code;
    }
  }

  QApplication app(argc, argv);
  SetApplicationIdentity();
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
