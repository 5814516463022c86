// SPDX-License-Identifier: GPL-3.0-or-later
#include "Cli.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QTextStream>

#include <cstdio>

#include "CliOptions.h"
#include "measurement/CurveAnalysis.h"
#include "measurement/Export.h"
#include "measurement/ProjectData.h"
#include "measurement/ProjectFile.h"
#include "measurement/PulseReport.h"

void Out(const QString &line) {
  static QTextStream out(stdout);
  out << line << '\n';
  out.flush();
}

void Err(const QString &line) {
  static QTextStream err(stderr);
  err << line << '\n';
  err.flush();
}

int IntegerOption(const QString &option, const QString &value, qint64 low, qint64 high,
                  const QString &usage) {
  bool ok = false;
  const qint64 v = value.trimmed().toLongLong(&ok);
  if (!ok || v < low || v > high)
    throw EUsageError(QString("%1 wants an integer from %2 to %3, not \"%4\"")
                          .arg(option)
                          .arg(low)
                          .arg(high)
                          .arg(value),
                      usage);
  return static_cast<int>(v);
}

TParsedArgs ParseArgs(const QStringList &args, const QStringList &flags, const QStringList &valued,
                      const QString &usage) {
  TParsedArgs parsed;
  bool optionsEnded = false;
  for (int i = 0; i < args.size(); ++i) {
    const QString &arg = args[i];
    if (optionsEnded || !arg.startsWith('-') || arg == "-") {
      parsed.Positional << arg;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    QString name = arg;
    QString inlineValue;
    bool hasInline = false;
    const qsizetype eq = arg.indexOf('=');
    if (arg.startsWith("--") && eq > 2) {
      name = arg.left(eq);
      inlineValue = arg.mid(eq + 1);
      hasInline = true;
    }
    if (name == "-h" || name == "--help") {
      parsed.Help = true;
    } else if (flags.contains(name) && !hasInline) {
      parsed.Flags << name;
    } else if (valued.contains(name)) {
      if (hasInline) {
        parsed.Values[name] = inlineValue;
      } else if (i + 1 < args.size()) {
        parsed.Values[name] = args[++i];
      } else {
        throw EUsageError(QString("option %1 needs a value").arg(name), usage);
      }
    } else {
      throw EUsageError(QString("unknown option \"%1\"").arg(arg), usage);
    }
  }
  return parsed;
}

namespace {
const char *const InfoUsage = "Usage: veltravor-cli info [--json] FILE.vtp";
const char *const ExportUsage = "Usage: veltravor-cli export FILE.vtp OUT.dat";
const char *const ReportUsage = "Usage: veltravor-cli report [--json] [--autocorrelation] FILE.vtp";

// A project file read under its own zero position, with its analysis.
struct TFileProject {
  TProjectData Data;
  int Zero = 0;
};

void LoadUnderOwnZero(TFileProject &project, const QString &fileName) {
  TFileBytes bytes(fileName);
  // The first value of a project file is its zero position.
  TValueReader reader(bytes.Data(), bytes.Size());
  project.Zero = reader.ReadInteger();
  LoadProjectBytes(project.Data, bytes.Data(), bytes.Size(), project.Zero);
}

QString JsonText(const QJsonValue &value) {
  // Serialise one value through an array: "[v]" -> "v".
  const QByteArray bytes = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
  return QString::fromUtf8(bytes.mid(1, bytes.size() - 2));
}
}  // namespace

int RunInfo(const QStringList &args) {
  const TParsedArgs parsed = ParseArgs(args, {"--json"}, {}, InfoUsage);
  if (parsed.Help) {
    Out(InfoUsage);
    Out("");
    Out("What a project file holds and its analysis, with delays under the file's own zero");
    Out("position. --json prints one JSON object with the keys zeroPosition, initialShift,");
    Out("step, finalShift, intervalTable, note, pixels, maxValue, peakIndex, peakPositionFs");
    Out("(null without a peak) and peakWidthFs.");
    return ExitOk;
  }
  if (parsed.Positional.size() != 1)
    throw EUsageError("info takes exactly one project file", InfoUsage);

  TFileProject project;
  LoadUnderOwnZero(project, parsed.Positional[0]);
  const TProjectData &d = project.Data;
  const bool hasPeak = d.PeakIndex >= 0;
  const double peakFs = hasPeak ? DelayOf(d.PeakIndex, project.Zero) : 0.0;
  const double widthFs = hasPeak ? ComputePeakWidth(d, project.Zero) : 0.0;
  const QString table = d.Interval.GetIntervalText();

  if (parsed.Flags.contains("--json")) {
    const QList<QPair<QString, QJsonValue>> fields = {
        {"zeroPosition", project.Zero},
        {"initialShift", d.Left},
        {"step", d.Step},
        {"finalShift", d.Right},
        {"intervalTable", table},
        {"note", d.Note},
        {"pixels", d.PixelCount},
        {"maxValue", double(d.MaxValue)},
        {"peakIndex", d.PeakIndex},
        {"peakPositionFs", hasPeak ? QJsonValue(peakFs) : QJsonValue(QJsonValue::Null)},
        {"peakWidthFs", widthFs},
    };
    QStringList parts;
    for (const auto &[key, value] : fields) parts << JsonText(key) + ":" + JsonText(value);
    Out("{" + parts.join(",") + "}");
    return ExitOk;
  }

  Out(QString("Zero position:   %1 steps").arg(project.Zero));
  Out(QString("Interval:        %1 .. %2 fsec, step %3").arg(d.Left).arg(d.Right).arg(d.Step));
  Out(QString("Interval table:  %1").arg(table.isEmpty() ? "(empty)" : table));
  Out(QString("Note:            %1")
          .arg(d.Note.isEmpty() ? "(empty)"
                                : QString(d.Note).replace("\n", "\n                 ")));
  Out(QString("Pixels measured: %1").arg(d.PixelCount));
  if (hasPeak) {
    Out(QString("Peak value:      %1").arg(double(d.MaxValue), 0, 'g', 9));
    Out(QString("Peak:            index %1, %2 fsec").arg(d.PeakIndex).arg(peakFs, 0, 'f', 1));
    Out(widthFs > 0 ? QString("Peak width:      %1 fsec").arg(widthFs, 0, 'f', 1)
                    : QString("Peak width:      (not determined)"));
  } else {
    Out("Peak:            (none)");
  }
  return ExitOk;
}

int RunExport(const QStringList &args) {
  const TParsedArgs parsed = ParseArgs(args, {}, {}, ExportUsage);
  if (parsed.Help) {
    Out(ExportUsage);
    Out("");
    Out("Writes the file's curve as a TAB-separated ASCII table (delay, fsec; contrast;");
    Out("signal; ampF; ampI; transmission), delays under the file's own zero position.");
    return ExitOk;
  }
  if (parsed.Positional.size() != 2)
    throw EUsageError("export takes a project file and an output file", ExportUsage);
  TFileProject project;
  LoadUnderOwnZero(project, parsed.Positional[0]);
  ExportData(project.Data, parsed.Positional[1], project.Zero);
  return ExitOk;
}

namespace {
void PrintReportHelp() {
  Out(ReportUsage);
  Out("");
  Out("The pulse report of a project file, delays under the file's own zero position.");
  Out("Contrast is a pixel's value over the highest value of the file (the peak is 1).");
  Out("A figure the data cannot tell is shown as \"-\" (null in JSON) and the reason is");
  Out("listed under \"Not determined\" (\"notes\").");
  Out("");
  Out("Main peak: its position and half-maximum width as the chart shows them, and least-");
  Out("squares fits of a Gaussian and a sech^2 to the logarithm of the pixels above 20 % of");
  Out("the peak (the noise is mostly proportional to the signal). Each fit gives its FWHM,");
  Out("the rms of its logarithmic residuals (about the relative deviation) and the pulse");
  Out("duration: FWHM x 0.816 (Gaussian) or 0.777 (sech^2) for this instrument's third-");
  Out("order cross-correlation, or x 0.707 / 0.648 for a second-order autocorrelation");
  Out("with --autocorrelation. A peak that does not fall below 20 % on both sides within");
  Out("the data is not fitted.");
  Out("");
  Out("Pedestal: the median contrast of the pixels 15 ps or more from the main peak");
  Out("(detected pulses left out), with its spread (1.4826 x the median absolute");
  Out("deviation).");
  Out("");
  Out("Noise floor: the contrast that the converter's noise (the scatter of neighbouring");
  Out("readings, at least one count) stands for at the most sensitive gain and filter the");
  Out("scan used. Dynamic range: log10(1 / noise floor), in decades.");
  Out("");
  Out("Pre- and post-pulses: local peaks outside two widths of the main peak that rise");
  Out("at least 1.5 times and five noise scatters above their local background (a line in");
  Out("log contrast through the medians of the pixels 2 to 4 widths before and after");
  Out("them). Each with its delay from the main peak, its own height above the background");
  Out("as contrast, and its width at half that height. A pre-pulse at -D whose contrast");
  Out("is within a factor 3 of the square of a post-pulse's contrast at +D is marked as a");
  Out("possible artefact of it (\"ghostOf\"): the third-order correlation shows a post-pulse");
  Out("of contrast e also as e^2 on the other side.");
  Out("");
  Out("Filter and gain switches: at every change of filter or gain between neighbouring");
  Out("pixels, a smooth curve with a step is fitted to the pixels on both sides; the ratio");
  Out("is the value after the switch over what the pixels before it predict (1 when");
  Out("calibrated). A ratio off 1 by more than 5 % with an uncertainty up to 1.5 % is a");
  Out("calibration warning. Per filter, the median ratio against the more transmissive");
  Out("filters and, chained from the most transmissive filter used, the transmission the");
  Out("data suggest. The converter's dark reading, when the signal shift does not remove");
  Out("it, shows as a mismatch of a few per cent at switches to small readings.");
  Out("");
  Out("--json prints one JSON object with the keys peakPositionFs, fwhmFs, fit (gaussian");
  Out("and sech2, each with fwhmFs, durationFs, residual, centerFs, points), pedestal,");
  Out("pedestalSpread, pedestalPixels, noiseFloor, dynamicRangeDecades, pulses (kind");
  Out("\"pre\" or \"post\", delayFs, contrast, backgroundContrast, widthFs, ghostOf),");
  Out("stitches (delayFs, ratio, uncertainty, conclusive, transmissionBefore/After,");
  Out("gainBefore/After, warning), filters (transmission, switches, medianRatio,");
  Out("suggestedTransmission, reference, warning), calibrationWarning and notes.");
}
}  // namespace

int RunReport(const QStringList &args) {
  const TParsedArgs parsed = ParseArgs(args, {"--json", "--autocorrelation"}, {}, ReportUsage);
  if (parsed.Help) {
    PrintReportHelp();
    return ExitOk;
  }
  if (parsed.Positional.size() != 1)
    throw EUsageError("report takes exactly one project file", ReportUsage);
  TFileProject project;
  LoadUnderOwnZero(project, parsed.Positional[0]);
  const TCorrelationKind kind = parsed.Flags.contains("--autocorrelation")
                                    ? TCorrelationKind::SecondOrderAuto
                                    : TCorrelationKind::ThirdOrderCross;
  const TPulseReport report = ComputePulseReport(project.Data, project.Zero, kind);
  if (parsed.Flags.contains("--json")) {
    Out(QString::fromUtf8(QJsonDocument(PulseReportJson(report)).toJson(QJsonDocument::Compact)));
    return ExitOk;
  }
  QString text = PulseReportText(report);
  text.chop(1);
  Out(text);
  return ExitOk;
}
