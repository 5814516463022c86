#include "measurement/Project.h"

TfmProject::TfmProject(QWidget *parent) : QWidget(parent) {
  setObjectName(QStringLiteral("fmProject"));
}

TfmProject::~TfmProject() = default;

void TfmProject::InitNew(const QString &name) {
  ProjectName = name;
}
void TfmProject::SaveViewSettings() {}
void TfmProject::LoadProject(const QString &fileName) {
  ProjectFileName = fileName;
}
void TfmProject::SaveProject(const QString &fileName) {
  ProjectFileName = fileName;
}
void TfmProject::StartMeasurement() {}
void TfmProject::StopMeasurement() {}
void TfmProject::CenterPeak() {}
void TfmProject::ExportData(const QString &) {}
void TfmProject::AddGraph(const QString &) {}
void TfmProject::RemoveGraphs() {}
void TfmProject::CopyChart() {}
void TfmProject::PrintChart(QPrinter &) {}
