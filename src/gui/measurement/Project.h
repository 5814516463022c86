#pragma once
#include <QString>
#include <QWidget>

class QPrinter;

// A measurement project window: interval, runs, the chart, files. MDI child
// of the main window; registers itself in OpenWindows and on the window
// panel. Main thread only; the scan worker writes its data under the data
// lock and never touches this window.
class TfmProject : public QWidget {
  Q_OBJECT

 public:
  explicit TfmProject(QWidget *parent = nullptr);
  ~TfmProject() override;

  QString ProjectName;
  // Empty until the project was loaded from or saved to a file.
  QString ProjectFileName;
  // A scan runs on the worker thread.
  bool Running = false;

  // A new empty project named name, with the stored view and interval.
  void InitNew(const QString &name);
  // Stores this window's view and interval settings for the next new project.
  void SaveViewSettings();
  void LoadProject(const QString &fileName);
  void SaveProject(const QString &fileName);
  void StartMeasurement();
  void StopMeasurement();
  // Moves the delay line zero to the measured peak.
  void CenterPeak();

  // The curve as an ASCII table.
  void ExportData(const QString &fileName);
  // Overlaid curves of other project files.
  void AddGraph(const QString &fileName);
  void RemoveGraphs();
  // The chart on the clipboard, and on one printed page.
  void CopyChart();
  void PrintChart(QPrinter &printer);
};
