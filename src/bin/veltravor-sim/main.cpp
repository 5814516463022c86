// SPDX-License-Identifier: GPL-3.0-or-later
// veltravor-sim: the simulated instrument on a pseudo-terminal, so that the
// serial-port link of veltravor and veltravor-cli can be driven end to end.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cmath>
#include <limits>

#include "PtyServer.h"
#include "simulator/SimulatorConfig.h"

namespace {
struct TIntOption {
  QString Name;
  QString Description;
};

// Reads an integer option in [low, high]; false with a message otherwise.
bool ReadInt(const QCommandLineParser &parser, const QString &name, qint64 low, qint64 high,
             qint64 &value, QString &error) {
  if (!parser.isSet(name)) return true;
  bool ok = false;
  const qint64 v = parser.value(name).toLongLong(&ok);
  if (!ok || v < low || v > high) {
    error = QString("--%1 wants an integer from %2 to %3, not \"%4\"")
                .arg(name)
                .arg(low)
                .arg(high)
                .arg(parser.value(name));
    return false;
  }
  value = v;
  return true;
}
}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("veltravor-sim");
  QCoreApplication::setApplicationVersion(VELTRAVOR_VERSION);

  QCommandLineParser parser;
  parser.setApplicationDescription(
      "The simulated Veltravor instrument (controller, optics, motors, converter) served on a "
      "pseudo-terminal.\nConnect with: veltravor --port PATH, veltravor-cli ... --port PATH, or "
      "any terminal program at 9600 baud 8N1.\nSIGINT or SIGTERM end it and remove PATH.");
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOptions({
      {"pty", "Serve on a new pseudo-terminal, with a symbolic link at <path> to its slave side.",
       "path"},
      {"speed", "Time scale: 0 = every answer at once, 1 = real time (default 1).", "s"},
      {"seed", "Noise seed (default 1).", "n"},
      {"zero", "Carriage position of true zero delay, steps (default 30000).", "p"},
      {"length", "Delay line length, steps (default 70000).", "l"},
      {"carriage", "Carriage position at power-on (default: where it stood at the last run; "
                   "35000 the first time).", "p"},
      {"no-state", "Neither read nor keep the motor positions in the state file."},
      {"swallow-answer", "Fault: send no answer to the first shift or measurement from command "
                         "<n> on (the program times out).", "n"},
      {"bad-ack", "Fault: refuse the first shift from command <n> on with acknowledgements "
                  "1, 1, 0.", "n"},
      {"wrong-motor-code", "Fault: answer the first shift from command <n> on with the other "
                           "motor's code (16 to a wheel shift, 19 to a carriage shift).", "n"},
      {"stall-carriage", "Fault: stop the first carriage shift from command <n> on half-way "
                         "with answer 16.", "n"},
      {"drop-link", "Fault: drop the link after command <n> (the terminal closes).", "n"},
  });
  parser.process(app);

  QTextStream err(stderr);
  if (!parser.isSet("pty")) {
    err << "veltravor-sim: --pty PATH is required (see --help)\n";
    return 2;
  }

  TSimulatorConfig config;
  config.Speed = SimulatorServerSpeed;
  config.KeepState = !parser.isSet("no-state");
  QString error;
  if (parser.isSet("speed")) {
    bool ok = false;
    config.Speed = parser.value("speed").toDouble(&ok);
    if (!ok || !std::isfinite(config.Speed) || config.Speed < 0) {
      err << "veltravor-sim: --speed wants a number of 0 or more, not \"" << parser.value("speed")
          << "\"\n";
      return 2;
    }
  }
  constexpr qint64 IntMax = std::numeric_limits<int>::max();
  qint64 seed = 1, zero = config.Zero, length = config.Length, carriage = -1;
  qint64 swallow = 0, badAck = 0, wrongCode = 0, stall = 0, drop = 0;
  const bool ok =
      ReadInt(parser, "seed", 0, std::numeric_limits<qint64>::max(), seed, error) &&
      ReadInt(parser, "zero", -IntMax, IntMax, zero, error) &&
      ReadInt(parser, "length", 1, 1000000, length, error) &&
      ReadInt(parser, "carriage", 0, length, carriage, error) &&
      ReadInt(parser, "swallow-answer", 1, IntMax, swallow, error) &&
      ReadInt(parser, "bad-ack", 1, IntMax, badAck, error) &&
      ReadInt(parser, "wrong-motor-code", 1, IntMax, wrongCode, error) &&
      ReadInt(parser, "stall-carriage", 1, IntMax, stall, error) &&
      ReadInt(parser, "drop-link", 1, IntMax, drop, error);
  if (!ok) {
    err << "veltravor-sim: " << error << "\n";
    return 2;
  }
  config.Seed = static_cast<uint64_t>(seed);
  config.Zero = static_cast<int>(zero);
  config.Length = static_cast<int>(length);
  if (carriage >= 0) config.Carriage = static_cast<int>(carriage);
  config.Faults = {.SwallowAnswer = int(swallow),
                   .BadAcknowledgement = int(badAck),
                   .WrongMotorCode = int(wrongCode),
                   .StallCarriage = int(stall),
                   .DropLink = int(drop)};

  TPtyServer server(config);
  if (!server.Open(parser.value("pty"), &error)) {
    err << "veltravor-sim: " << error << "\n";
    return 1;
  }
  QTextStream(stdout) << "veltravor-sim: serving on " << parser.value("pty") << " -> "
                      << server.SlaveName() << " (speed " << config.Speed << ", seed "
                      << config.Seed << ")\n"
                      << Qt::flush;
  const int status = server.Run();
  server.Shutdown();
  return status;
}
