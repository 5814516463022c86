// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/PulseReportDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QVBoxLayout>

#include <cmath>
#include <optional>

#include "app/ErrorGuard.h"
#include "app/FileDialogs.h"
#include "app/Messages.h"
#include "localization/FormTranslation.h"

namespace {
QString Fixed(const std::optional<double> &v, int decimals, const QString &unit = QString()) {
  return ReportFixed(v, decimals, unit);
}
QString Sci(const std::optional<double> &v) {
  return ReportSci(v);
}
}  // namespace

QString PulseReportWindowText(const TPulseReport &r) {
  const QString fsec = u' ' + Translate(QStringLiteral("fsec"));
  QList<QPair<QString, QString>> rows;
  auto row = [&](const QString &name, const QString &value) { rows.append({name, value}); };
  row(Translate(QStringLiteral("Correlation")),
      r.Kind == TCorrelationKind::SecondOrderAuto
          ? Translate(QStringLiteral("Second-order autocorrelation"))
          : Translate(QStringLiteral("Third-order cross-correlation")));
  row(Translate(QStringLiteral("Pixels measured")), QString::number(r.Pixels));
  row(Translate(QStringLiteral("Peak position")), Fixed(r.PeakPositionFs, 1, fsec));
  row(Translate(QStringLiteral("Half-maximum width")), Fixed(r.FwhmFs, 1, fsec));
  for (const auto &[name, f] :
       {std::pair<QString, const TPeakFit *>{Translate(QStringLiteral("Gaussian fit")),
                                             &r.Gaussian},
        std::pair<QString, const TPeakFit *>{Translate(QStringLiteral("sech² fit")), &r.Sech2}}) {
    row(name, !f->Valid ? QStringLiteral("-")
                        : TranslateFmt(QStringLiteral("FWHM % fsec, duration % fsec, residual %"),
                                       QStringList{QString::number(f->FwhmFs, 'f', 1),
                                                   QString::number(f->DurationFs, 'f', 1),
                                                   QString::number(f->Residual, 'f', 4)}));
  }
  row(Translate(QStringLiteral("Pedestal")),
      r.Pedestal ? Sci(r.Pedestal) + QStringLiteral(" \u00B1 ") + Sci(r.PedestalSpread) + u' ' +
                       TranslateFmt(QStringLiteral("(% pixels)"), {r.PedestalPixels})
                 : QStringLiteral("-"));
  row(Translate(QStringLiteral("Noise floor")), Sci(r.NoiseFloor));
  row(Translate(QStringLiteral("Dynamic range")),
      Fixed(r.DynamicRangeDecades, 1, u' ' + Translate(QStringLiteral("decades"))));
  qsizetype width = 0;
  for (const auto &[name, value] : rows) width = std::max(width, name.size());
  QStringList t;
  for (const auto &[name, value] : rows) t << name.leftJustified(width + 3) + value;

  t << QString() << Translate(QStringLiteral("Pre- and post-pulses:"));
  if (r.Pulses.isEmpty()) t << QStringLiteral("  ") + Translate(QStringLiteral("(none)"));
  for (const TSatellite &p : r.Pulses) {
    QString line =
        QStringLiteral("  %1  %2%3  %4 %5  %6 %7")
            .arg((p.Pre ? Translate(QStringLiteral("pre")) : Translate(QStringLiteral("post")))
                     .leftJustified(5))
            .arg(p.DelayFs, 9, 'f', 1)
            .arg(fsec)
            .arg(Translate(QStringLiteral("contrast")))
            .arg(p.Contrast, 0, 'e', 2)
            .arg(Translate(QStringLiteral("width")))
            .arg(Fixed(p.WidthFs, 0, fsec));
    if (p.GhostOf)
      line += QStringLiteral("  ") +
              TranslateFmt(QStringLiteral("possible artefact of the post-pulse at % fsec"),
                           QStringList{QString::number(*p.GhostOf, 'f', 1)});
    t << line;
  }

  t << QString() << Translate(QStringLiteral("Filter and gain switches:"));
  if (r.Stitches.isEmpty()) t << QStringLiteral("  ") + Translate(QStringLiteral("(none)"));
  const QString gain = Translate(QStringLiteral("gain"));
  const QString ratio = Translate(QStringLiteral("ratio"));
  for (const TStitch &s : r.Stitches)
    t << QStringLiteral("  %1%2  T %3 -> %4  %5 %6 -> %7  %8 %9%10")
             .arg(s.DelayFs, 9, 'f', 1)
             .arg(fsec)
             .arg(double(s.TransmissionBefore), 0, 'g', 4)
             .arg(double(s.TransmissionAfter), 0, 'g', 4)
             .arg(gain)
             .arg(s.GainBefore)
             .arg(s.GainAfter)
             .arg(ratio)
             .arg(Fixed(s.Ratio, 3))
             .arg(s.Warning
                      ? QStringLiteral("  ") + Translate(QStringLiteral("CALIBRATION WARNING"))
                  : s.Ratio && !s.Conclusive
                      ? QStringLiteral("  ") + Translate(QStringLiteral("(uncertain)"))
                      : QString());
  if (!r.Filters.isEmpty()) {
    t << QString() << Translate(QStringLiteral("Filters:"));
    for (const TFilterCheck &f : r.Filters)
      t << QStringLiteral("  T %1  ").arg(double(f.Transmission), 0, 'g', 4) +
               TranslateFmt(QStringLiteral("switches %, median ratio %, suggested transmission %"),
                            QStringList{QString::number(f.Switches), Fixed(f.MedianRatio, 3),
                                        f.SuggestedTransmission
                                            ? QString::number(*f.SuggestedTransmission, 'g', 4)
                                            : QStringLiteral("-")}) +
               (f.Reference ? QStringLiteral("  ") + Translate(QStringLiteral("(reference)"))
                : f.Warning
                    ? QStringLiteral("  ") + Translate(QStringLiteral("CALIBRATION WARNING"))
                    : QString());
  }
  if (!r.Notes.isEmpty()) {
    t << QString() << Translate(QStringLiteral("Not determined:"));
    // The notes carry their values inside: they stay as the core words them.
    for (const QString &n : r.Notes) t << QStringLiteral("  ") + n;
  }
  return t.join(u'\n') + u'\n';
}

TfmPulseReport::TfmPulseReport(const QString &projectName, TCompute compute, QWidget *parent)
    : QDialog(parent), FProjectName(projectName), FCompute(std::move(compute)) {
  setObjectName(QStringLiteral("fmPulseReport"));
  setWindowTitle(QStringLiteral("Pulse report"));
  setModal(true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setWindowFlag(Qt::WindowMaximizeButtonHint, true);
  setSizeGripEnabled(true);

  edReport = new QPlainTextEdit(this);
  edReport->setObjectName(QStringLiteral("edReport"));
  edReport->setReadOnly(true);
  edReport->setLineWrapMode(QPlainTextEdit::NoWrap);
  // A table aligned in columns.
  edReport->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

  chbAutocorrelation = new QCheckBox(QStringLiteral("Second-order autocorrelation"), this);
  chbAutocorrelation->setObjectName(QStringLiteral("chbAutocorrelation"));
  btCopy = new QPushButton(QStringLiteral("Copy"), this);
  btCopy->setObjectName(QStringLiteral("btCopy"));
  btSave = new QPushButton(QStringLiteral("Save..."), this);
  btSave->setObjectName(QStringLiteral("btSave"));
  btClose = new QPushButton(QStringLiteral("Close"), this);
  btClose->setObjectName(QStringLiteral("btClose"));
  btClose->setDefault(true);

  auto *buttons = new QHBoxLayout;
  buttons->addWidget(chbAutocorrelation);
  buttons->addStretch(1);
  buttons->addWidget(btCopy);
  buttons->addSpacing(8);
  buttons->addWidget(btSave);
  buttons->addSpacing(8);
  buttons->addWidget(btClose);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(edReport, 1);
  layout->addLayout(buttons);

  auto guarded = [this](void (TfmPulseReport::*handler)()) {
    return [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); };
  };
  connect(chbAutocorrelation, &QCheckBox::toggled, this,
          guarded(&TfmPulseReport::chbAutocorrelationChange));
  connect(btCopy, &QPushButton::clicked, this, guarded(&TfmPulseReport::btCopyClick));
  connect(btSave, &QPushButton::clicked, this, guarded(&TfmPulseReport::btSaveClick));
  connect(btClose, &QPushButton::clicked, this, &QDialog::accept);

  TranslateForm(this, true, true);
  Compute();

  const QFontMetrics metrics(edReport->font());
  resize(std::max(640, metrics.horizontalAdvance(QString(96, u'0')) + 40),
         std::max(420, metrics.lineSpacing() * 30 + 80));
  if (QScreen *screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(), size().boundedTo(screen->availableGeometry().size()));
    frame.moveCenter(screen->availableGeometry().center());
    setGeometry(frame);
  }
}

void TfmPulseReport::Compute() {
  FReport = FCompute ? FCompute(chbAutocorrelation->isChecked() ? TCorrelationKind::SecondOrderAuto
                                                                : TCorrelationKind::ThirdOrderCross)
                     : TPulseReport{};
  edReport->setPlainText(ReportText());
}

QString TfmPulseReport::ReportText() const {
  return PulseReportWindowText(FReport);
}

void TfmPulseReport::chbAutocorrelationChange() {
  Compute();
}

void TfmPulseReport::btCopyClick() {
  QApplication::clipboard()->setText(ReportText());
}

void TfmPulseReport::btSaveClick() {
  const QString fileName =
      ExecFileDialog(TFileDialogKind::ReportSave, FProjectName + QStringLiteral(".json"));
  if (!fileName.isEmpty()) SaveReport(fileName);
}

void TfmPulseReport::SaveReport(const QString &fileName) {
  const bool json =
      QFileInfo(fileName).suffix().compare(QLatin1String("json"), Qt::CaseInsensitive) == 0;
  const QByteArray bytes =
      json ? QJsonDocument(PulseReportJson(FReport)).toJson() : ReportText().toUtf8();
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
    RaiseError(QStringLiteral("Cannot write file \"%\". %"),
               QStringList{QDir::toNativeSeparators(fileName), file.errorString()});
}
