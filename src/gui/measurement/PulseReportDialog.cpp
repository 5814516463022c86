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

#include "app/ErrorGuard.h"
#include "app/FileDialogs.h"
#include "app/Messages.h"
#include "localization/FormTranslation.h"

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
  edReport->setPlainText(PulseReportText(FReport));
}

QString TfmPulseReport::ReportText() const {
  return PulseReportText(FReport);
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
