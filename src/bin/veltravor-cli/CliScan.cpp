// SPDX-License-Identifier: GPL-3.0-or-later
// veltravor-cli scan: one run of the scan worker on the instrument (USB serial
// link, a named port, or the simulated instrument), saved as a project file.
// The run is journalled (every stored point at once) and the project file is
// rewritten every few seconds, so a killed run loses nothing.
// veltravor-cli recover: a run journal left by a killed run, as a project file.
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QReadLocker>

#include <unistd.h>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>

#include "Cli.h"
#include "CliOptions.h"
#include "app/AppError.h"
#include "app/Globals.h"
#include "app/Messages.h"
#include "app/Paths.h"
#include "device/Device.h"
#include "device/DeviceParams.h"
#include "device/SerialPortLink.h"
#include "measurement/CurveAnalysis.h"
#include "measurement/ProjectData.h"
#include "measurement/ProjectFile.h"
#include "measurement/RunJournal.h"
#include "measurement/WorkingThread.h"
#include "settings/SettingsStorage.h"
#include "simulator/SimulatorFiles.h"
#include "simulator/SimulatorLink.h"

namespace {
const char *const ScanUsage =
    "Usage: veltravor-cli scan [--simulator [--seed N] [--speed S] | --port PATH] "
    "(--from FS --to FS [--step N] | --table TEXT) [--avg N] [--low N] [--high N] [--home] "
    "[--continue] -o FILE.vtp";
const char *const RecoverUsage = "Usage: veltravor-cli recover JOURNAL -o FILE.vtp";

// The project file is rewritten this often during a run (a killed run leaves
// a file with every point stored up to the last write).
constexpr qint64 RewriteIntervalMs = 5000;

const TKeyPath General{"General"};

std::atomic<bool> StopRequested{false};

extern "C" void OnStopSignal(int) {
  StopRequested = true;
}

void PrintScanHelp() {
  Out(ScanUsage);
  Out("");
  Out("Measures the cross-correlation curve over an interval and saves it as a project file.");
  Out("Device parameters (zero position, motor periods, filter table, signal shift, carriage");
  Out("position, logging) and the thresholds come from the program's settings file; with");
  Out("--simulator from the simulated instrument's own settings file.");
  Out("");
  Out("  --simulator        run on the simulated instrument");
  Out("  --seed N           noise seed of the simulated instrument (default 1)");
  Out("  --speed S          time scale of the simulated instrument: 0 = instant, 1 = real");
  Out("                     time (default 0.05)");
  Out("  --port PATH        the instrument's serial port (default: found by its USB");
  Out("                     description, or the key \"port\" of section General)");
  Out("  --from FS --to FS  standard interval: initial and final shift, fsec");
  Out("  --step N           step in motor steps, 1..100000 (default 1)");
  Out("  --table TEXT       interval table in its text form, e.g. \"-500;10;0;2;500;;\"");
  Out("  --avg N            pulses averaged per measurement (default: \"avgNum\", 1)");
  Out("  --low N            lower signal threshold (default: \"lowLevel\", 50)");
  Out("  --high N           upper signal threshold (default: \"highLevel\", 650)");
  Out("  --home             roll the carriage back to its initial limit before the run");
  Out("  --continue         start from the points FILE.vtp holds already and measure only");
  Out("                     what is missing (a run cut short, a link that came back)");
  Out("  -o FILE.vtp        the project file to write");
  Out("");
  Out("The run refuses to start while the carriage position is unknown, unless --home is");
  Out("given. Ctrl+C stops between two points and saves what was measured (exit status 130).");
  Out("FILE.vtp is rewritten every few seconds during the run, and every stored point goes at");
  Out("once into a run journal in the state folder; the journal is removed when the points are");
  Out("saved at the end. After a crash or a kill, 'veltravor-cli recover' turns it into a file.");
}

struct TScanOptions {
  bool Simulator = false;
  uint64_t Seed = 1;
  double Speed = SimulatorProgramSpeed;
  QString Port;
  std::optional<int> From, To;
  int Step = 1;
  std::optional<QString> Table;
  std::optional<int> Avg, Low, High;
  bool Home = false;
  bool Continue = false;
  QString Output;
};

TScanOptions ReadOptions(const TParsedArgs &parsed) {
  const QString usage = ScanUsage;
  TScanOptions o;
  const auto &v = parsed.Values;
  o.Simulator = parsed.Flags.contains("--simulator");
  o.Home = parsed.Flags.contains("--home");
  o.Continue = parsed.Flags.contains("--continue");
  if (!parsed.Positional.isEmpty())
    throw EUsageError(QString("unexpected argument \"%1\"").arg(parsed.Positional[0]), usage);
  if (!v.contains("-o"))
    throw EUsageError("the project file to write is missing (-o FILE.vtp)", usage);
  o.Output = v["-o"];
  if (o.Simulator && v.contains("--port"))
    throw EUsageError("--port and --simulator exclude each other", usage);
  if (!o.Simulator && (v.contains("--seed") || v.contains("--speed")))
    throw EUsageError("--seed and --speed need --simulator", usage);
  if (v.contains("--seed"))
    o.Seed = static_cast<uint64_t>(IntegerOption("--seed", v["--seed"], 0, 2147483647, usage));
  if (v.contains("--speed")) {
    bool ok = false;
    o.Speed = v["--speed"].toDouble(&ok);
    if (!ok || !(o.Speed >= 0) || o.Speed > 1000)
      throw EUsageError(
          QString("--speed wants a number from 0 to 1000, not \"%1\"").arg(v["--speed"]), usage);
  }
  o.Port = v.value("--port");
  const bool standard = v.contains("--from") || v.contains("--to") || v.contains("--step");
  if (standard && v.contains("--table"))
    throw EUsageError("give either --from/--to/--step or --table", usage);
  if (v.contains("--table")) {
    o.Table = v["--table"];
  } else {
    if (!v.contains("--from") || !v.contains("--to"))
      throw EUsageError("the interval is missing (--from FS --to FS, or --table TEXT)", usage);
    o.From = IntegerOption("--from", v["--from"], -2000000000, 2000000000, usage);
    o.To = IntegerOption("--to", v["--to"], -2000000000, 2000000000, usage);
    if (v.contains("--step")) o.Step = IntegerOption("--step", v["--step"], 1, 100000, usage);
  }
  if (v.contains("--avg")) o.Avg = IntegerOption("--avg", v["--avg"], 1, 32768, usage);
  if (v.contains("--low")) o.Low = IntegerOption("--low", v["--low"], 0, 1023, usage);
  if (v.contains("--high")) o.High = IntegerOption("--high", v["--high"], 0, 1023, usage);
  return o;
}

// Settings as the program reads them at start: an administrator's defaults
// (for the instrument only), then the user's file; a missing file leaves the
// defaults. A file the store cannot read whole is kept beside it.
void LoadSettings(TSettingsStorage &settings, const QString &fileName, bool simulator) {
  const QString system = simulator ? QString() : TPaths::SystemSettingsFile();
  if (!system.isEmpty()) {
    try {
      settings.Load(system);
    } catch (const std::exception &) {
    }
  }
  settings.FileName = fileName;
  try {
    settings.LoadOwnFile();
  } catch (const std::exception &) {
  }
}

QString Clock(double seconds) {
  const qint64 s = qMax<qint64>(0, qint64(seconds + 0.5));
  return QString("%1:%2:%3")
      .arg(s / 3600, 2, 10, QChar('0'))
      .arg(s / 60 % 60, 2, 10, QChar('0'))
      .arg(s % 60, 2, 10, QChar('0'));
}

// Sets the three scan keys for this run in the settings the worker reads,
// without making them persistent (see SaveDeviceState).
void ApplyOverrides(TSettingsStorage &settings, const TScanOptions &o) {
  if (o.Avg) settings.AddParam(General, "avgNum", *o.Avg);
  if (o.Low) settings.AddParam(General, "lowLevel", *o.Low);
  if (o.High) settings.AddParam(General, "highLevel", *o.High);
}

// What the program writes at exit: the device parameters (the carriage
// position among them) into the settings file, read afresh so that the
// thresholds given on the command line stay out of it, and the event log.
void SaveDeviceState(TDevice &device, const QString &settingsFile, const QString &logFile) {
  TSettingsStorage fresh;
  fresh.FileName = settingsFile;
  try {
    fresh.Load();
  } catch (const std::exception &) {
  }
  StoreDeviceParams(device, fresh);
  fresh.Save();
  if (!device.SaveEventLog(logFile))
    Err("veltravor-cli: the event log could not be written to " + logFile);
}

// Owns the global objects for the time of a scan, in the program's order.
struct TGlobals {
  std::unique_ptr<TSettingsStorage> Settings = std::make_unique<TSettingsStorage>();
  std::unique_ptr<TDeviceLink> Link;
  std::unique_ptr<TDevice> Dev;
  TGlobals() { AppSettings = Settings.get(); }
  ~TGlobals() {
    AppSettings = nullptr;
    Device = nullptr;
    Dev.reset();  // closes the link (the simulator keeps its positions)
    Link.reset();
  }
};
}  // namespace

int RunScan(const QStringList &args) {
  const TParsedArgs parsed = ParseArgs(args, {"--simulator", "--home", "--continue"},
                                       {"--seed", "--speed", "--port", "--from", "--to", "--step",
                                        "--table", "--avg", "--low", "--high", "-o"},
                                       ScanUsage);
  if (parsed.Help) {
    PrintScanHelp();
    return ExitOk;
  }
  const TScanOptions o = ReadOptions(parsed);
  if (o.Low && o.High && *o.Low > *o.High)
    throw EUsageError("--low must not exceed --high", ScanUsage);

  TGlobals globals;
  TSettingsStorage &settings = *globals.Settings;
  if (o.Simulator) {
    QString error;
    if (!EnsureSimulatorSettings(&error)) throw EAppError(error);
  }
  const QString settingsFile =
      o.Simulator ? TPaths::SimulatorSettingsFile() : TPaths::SettingsFile();
  const QString logFile = o.Simulator ? TPaths::SimulatorEventLogFile() : TPaths::EventLogFile();
  LoadSettings(settings, settingsFile, o.Simulator);
  ApplyOverrides(settings, o);

  if (o.Simulator) {
    TSimulatorConfig config;
    config.Speed = o.Speed;
    config.Seed = o.Seed;
    globals.Link = CreateSimulatorLink(config);
  } else {
    globals.Link =
        std::make_unique<TSerialPortLink>(o.Port.isEmpty() ? ConfiguredPortPath(settings) : o.Port);
  }
  globals.Dev = std::make_unique<TDevice>(globals.Link.get());
  TDevice &device = *globals.Dev;
  Device = &device;
  LoadDeviceParams(device, settings);
  device.LoadEventLog(logFile);

  // The plan first: a bad interval is reported before anything moves.
  TProjectData data;
  if (o.Continue && QFileInfo::exists(o.Output)) LoadProject(data, o.Output, device.ZeroPosition);
  data.ZeroPosition = device.ZeroPosition;
  if (o.Table) {
    data.AdvancedMode = true;
    data.Interval.SetIntervalText(*o.Table);
  } else {
    data.AdvancedMode = false;
    data.Left = *o.From;
    data.Right = *o.To;
    data.Step = o.Step;
  }
  data.BuildPlan(device.ZeroPosition);
  if (data.Plan.isEmpty()) {
    if (o.Continue && data.PixelCount > 0) {
      Out(QString("Points measured: 0 (every position of the interval holds a point already)"));
      return ExitOk;
    }
    throw EAppError("The interval holds no carriage position to measure.");
  }

  const bool carriageKnown = settings.ReadInt(General, "Carriage", -1) != -1;
  if (!carriageKnown && !o.Home)
    throw EAppError(
        "Delay line carriage position is unknown. Run with --home to roll the carriage back to "
        "its initial limit first.");

  // Ctrl+C (or a termination request) stops between two points; a roll-back
  // under way is completed first.
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
  try {
    device.Initialize();
    if (o.Home) {
      Err("Rolling the carriage back to its initial limit...");
      device.ShiftMotor(TDevice::MotorCarriage, -100000);
    }
  } catch (const std::exception &) {
    // Nothing measured yet: no project file, but the log and positions are kept.
    SaveDeviceState(device, settingsFile, logFile);
    throw;
  }

  // The file exists from the start (earlier points, interval, note), and the
  // journal takes every point from the first one on.
  data.StartTime = QDateTime::currentDateTime();
  std::unique_ptr<TRunJournal> journal;
  try {
    SaveProject(data, o.Output);
    data.ProjectFileName = QFileInfo(o.Output).absoluteFilePath();
    journal = TRunJournal::Begin(data, TRunJournal::Folder(o.Simulator));
    Err("Run journal: " + journal->FileName());
  } catch (const std::exception &) {
    SaveDeviceState(device, settingsFile, logFile);
    throw;
  }

  QString errorText;
  bool stopped = false;
  QString rewriteError;
  std::atomic<int> measured{0};  // points stored by this run
  try {
    const bool terminal = ::isatty(STDERR_FILENO);
    TWorkingThread worker(&data, &device);
    worker.OnPointStored = [&journal, &measured](int index, const TPixel &pixel) {
      ++measured;
      journal->Append(index, pixel);
    };
    QElapsedTimer elapsed;
    elapsed.start();
    QElapsedTimer sinceRewrite;
    sinceRewrite.start();
    data.Running = true;
    if (!StopRequested) worker.start();
    while (!worker.wait(200)) {
      if (sinceRewrite.elapsed() >= RewriteIntervalMs) {
        sinceRewrite.restart();
        // Under DataLock for reading: the worker waits for the write, so the
        // file holds a consistent set of complete points.
        try {
          SaveProject(data, o.Output);
          rewriteError.clear();
        } catch (const std::exception &e) {
          // Once per kind of failure; the journal still holds every point.
          const QString message = ExceptionMessage(e);
          if (message != rewriteError) {
            if (terminal) Err("");
            Err("veltravor-cli: " + DisplayedErrorText(message));
          }
          rewriteError = message;
        }
      }
      if (StopRequested && !worker.isInterruptionRequested()) {
        worker.requestInterruption();
        if (terminal) Err("");
        Err("Stopping after the point under way...");
      }
      if (terminal) {
        int percent;
        double remaining;
        {
          QReadLocker lock(&data.DataLock);
          percent = data.PercentDone;
          remaining = data.EstimatedTime * 86400.0;
        }
        std::fprintf(stderr, "\r%3d %%  elapsed %s  remaining %s ", percent,
                     qPrintable(Clock(elapsed.elapsed() / 1000.0)), qPrintable(Clock(remaining)));
        std::fflush(stderr);
      }
    }
    data.Running = false;
    if (terminal) std::fprintf(stderr, "\n");
    errorText = worker.ErrorText;
    stopped = StopRequested;
  } catch (const std::exception &e) {
    errorText = ExceptionMessage(e);
  }

  // Whatever happened, the points measured so far are kept: in the file, or,
  // when it cannot be written, in the journal, which then stays.
  QString saveError;
  try {
    SaveProject(data, o.Output);
  } catch (const std::exception &e) {
    saveError = ExceptionMessage(e);
  }
  if (saveError.isEmpty()) {
    journal->Remove();
  } else {
    journal->Flush();
    Err(QString("The points of this run are kept in the run journal %1; 'veltravor-cli recover "
                "%1 -o FILE.vtp' makes a project file of it.")
            .arg(journal->FileName()));
  }
  if (journal->Failed())
    Err("veltravor-cli: the run journal could not be written: " + journal->ErrorText());
  SaveDeviceState(device, settingsFile, logFile);

  const int zero = device.ZeroPosition;
  Out(QString("Points measured: %1").arg(measured.load()));
  if (o.Continue) Out(QString("Points in file:  %1").arg(data.PixelCount));
  if (data.PeakIndex >= 0) {
    const float width = ComputePeakWidth(data, zero);
    Out(QString("Peak position:   %1 fsec").arg(DelayOf(data.PeakIndex, zero), 0, 'f', 1));
    Out(width > 0 ? QString("Peak width:      %1 fsec").arg(double(width), 0, 'f', 1)
                  : QString("Peak width:      (not determined)"));
  }
  if (!saveError.isEmpty()) throw EAppError(saveError);
  if (!errorText.isEmpty()) throw EAppError(errorText);
  if (stopped) {
    Err("Stopped by the operator; the points measured so far are saved.");
    return 130;
  }
  return ExitOk;
}

int RunRecover(const QStringList &args) {
  const TParsedArgs parsed = ParseArgs(args, {}, {"-o"}, RecoverUsage);
  if (parsed.Help) {
    Out(RecoverUsage);
    Out("");
    Out("Turns the run journal of a run that did not end normally (a crash, a kill, a power");
    Out("cut) into a project file: the project as it stood when the run started plus every");
    Out("point the journal holds, under the journal's own zero position. A damaged or cut");
    Out("journal gives every complete point before the damage, and says so. The journal itself");
    Out("is left in place. Journals are kept in " + TRunJournal::Folder(false));
    Out("(runs on the simulated instrument: " + TRunJournal::Folder(true) + ").");
    return ExitOk;
  }
  if (parsed.Positional.size() != 1)
    throw EUsageError("recover takes exactly one run journal", RecoverUsage);
  if (!parsed.Values.contains("-o"))
    throw EUsageError("the project file to write is missing (-o FILE.vtp)", RecoverUsage);
  const TJournalContents journal = ReadJournal(parsed.Positional[0]);
  // The points keep the carriage positions of the run: its own zero position.
  int zero = 0;
  try {
    TValueReader reader(journal.Project.constData(), journal.Project.size());
    zero = reader.ReadInteger();
  } catch (const EAppError &) {
    RaiseError("The run journal's header is damaged.");
  }
  TProjectData data;
  const TJournalRecovery recovery = RecoverJournal(journal, data, zero);
  SaveProject(data, parsed.Values["-o"]);
  Out(QString("Project:         %1").arg(journal.ProjectName));
  Out(QString("Run started:     %1")
          .arg(journal.StartTime.toLocalTime().toString("yyyy-MM-dd hh:mm:ss")));
  Out(QString("Points of run:   %1").arg(recovery.Points));
  Out(QString("Points in file:  %1").arg(data.PixelCount));
  if (recovery.Damaged)
    Err(QString("The run journal is damaged after %1 complete points; every point before the "
                "damage is recovered.")
            .arg(journal.Points.size()));
  return ExitOk;
}
