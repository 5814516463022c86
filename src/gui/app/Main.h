// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QMainWindow>
#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPrinter;
class QTimer;
class QToolBar;
class TDeviceLink;
class TNotifier;
class TWindowPanel;

// Answers the printer setup dialog of Print... instead of the operator (tests,
// scripted screenshots): the hook sets the printer up (a PDF file, say) and
// returns true to print. An empty hook shows the dialog again. Returns the
// previous hook. Main thread only.
using TPrintDialogHook = std::function<bool(QPrinter &printer)>;
TPrintDialogHook SetPrintDialogHook(TPrintDialogHook hook);

// What the command line chose; read by the main window at creation.
struct TStartOptions {
  // Run on the simulated instrument, with its own settings file.
  bool Simulator = false;
  // Serial port named on the command line; empty: the key "port" of section
  // General, else the controller is found by its USB description.
  QString Port;
  // Project files (absolute paths) opened after the start actions.
  QStringList Files;
  // Makes the device's link for the chosen port; the program's entry picks the
  // backend here. Empty: the serial port link.
  std::function<std::unique_ptr<TDeviceLink>(const QString &port)> CreateLink;
};

// The main window: MDI frame, menus, tool bars, window panel and status bar.
// It exists from start to end, creates the global objects (Translator,
// AppSettings, OpenWindows, Device) in its constructor and destroys them when
// it closes. Main thread only.
class TfmMain : public QMainWindow {
  Q_OBJECT

 public:
  explicit TfmMain(const TStartOptions &options = {}, QWidget *parent = nullptr);
  ~TfmMain() override;

  // Makes the device parameters, filter table, recent files and this window's
  // placement persistent. A failed write is reported by the store itself; any
  // other error is shown as "Unable to save settings (...)." and swallowed.
  void SaveSettings();
  // Initializes the instrument and shows "Device found"; raises on failure and
  // then leaves the status panel as it was.
  void OpenDevice();

  // Recent project files, most recent first.
  void ParseRecentFiles(const QString &text);
  QString RecentFilesText() const;
  void AddToRecent(const QString &fileName);
  void UpdateRecentMenu();

  // Status bar panels 0..3: device state, elapsed time, percent done, estimate.
  void SetStatusText(int panel, const QString &text);
  QString StatusText(int panel) const;

  // Shows a child window inside the MDI area; returns its sub-window, which
  // deletes the child when it closes.
  QMdiSubWindow *AddChildWindow(QWidget *fm);

  // The free client area left by the bars, window panel and status bar.
  QSize ClientAreaSize() const;

  const TStartOptions &StartOptions() const { return FOptions; }

  int ProjectCounter = 0;
  QStringList RecentFiles;

  QMdiArea *MdiArea = nullptr;
  TWindowPanel *WindowPanel = nullptr;
  QTimer *tmStartActions = nullptr;

  QMenu *mnFile = nullptr, *mnDevice = nullptr, *mnWindow = nullptr, *mnHelp = nullptr;
  QToolBar *mnFileBar = nullptr, *mnOperationBar = nullptr;
  QAction *mnNew = nullptr, *mnOpen = nullptr, *mnSave = nullptr, *mnSaveAs = nullptr,
          *mnAddGraph = nullptr, *mnDelGraph = nullptr, *mnCopy = nullptr, *mnExport = nullptr,
          *tbPrint = nullptr, *mnPulseReport = nullptr, *mnExit = nullptr;
  QAction *mnMRU[5] = {};
  QAction *mnStart = nullptr, *mnStop = nullptr, *mnCentering = nullptr, *mnAdjustment = nullptr,
          *mnSettings = nullptr, *mnLog = nullptr;
  QAction *mnStretch = nullptr, *mnVertical = nullptr, *mnHorizontal = nullptr,
          *mnCascade = nullptr, *mnMinimize = nullptr, *mnCloseAll = nullptr;
  QAction *mnUserManual = nullptr, *mnAbout = nullptr;

  // Command handlers; each runs inside the central error guard.
  void mnMRU1Click(QAction *item);
  void mnExitClick();
  void mnStretchClick();
  void mnVerticalClick();
  void mnHorizontalClick();
  void mnCascadeClick();
  void mnMinimizeClick();
  void mnCloseAllClick();
  void mnUserManualClick();
  void mnAboutClick();
  // Shows the log window, opening it when there is none.
  void mnLogClick();
  // Commands that act on the active child window (a project or the
  // adjustment window); one whose window class is not active does nothing.
  void mnNewClick();
  void mnOpenClick();
  void mnSaveClick();
  void mnSaveAsClick();
  void mnAddGraphClick();
  void mnDelGraphClick();
  void mnCopyClick();
  void mnExportClick();
  void tbPrintClick();
  // The pulse report of the active project in its dialog.
  void mnPulseReportClick();
  void mnStartClick();
  // Stops the first running project or adjustment series in creation order.
  void mnStopClick();
  void mnCenteringClick();
  // Shows the adjustment window, opening the device and the window when
  // there is none.
  void mnAdjustmentClick();
  // The settings dialog, modal; adjustment windows show the result.
  void mnSettingsClick();

  // The active MDI child window, or null.
  QWidget *ActiveChild() const;
  // Brings fm to the front and restores it when it is minimized.
  static void ShowRestored(QWidget *fm);
  // Journals of runs that never ended (the program was killed, the power
  // failed): asks once per journal; Recover opens a project window with its
  // points, No keeps the file for a later start. Main thread.
  void RecoverJournals();
  // The start actions, once, from tmStartActions.
  void tmStartActionsTimer();
  // Opens a project file named on the command line: shows its window when it
  // is open already, raises "File \"%\" not found." when it does not exist.
  void OpenStartFile(const QString &fileName);

 protected:
  void closeEvent(QCloseEvent *event) override;

 private:
  void CreateComponents();
  QAction *MakeAction(const char *name, const QString &caption, const QString &icon,
                      const QKeySequence &shortcut = {});
  void Guarded(QAction *action, void (TfmMain::*handler)());
  void FormCreate();
  // False when a child window refused to close; nothing was saved then.
  bool FormClose();
  void DestroyGlobals();
  void LoadSettingsFile();
  void CreateDevice();
  void ReadDeviceParams();
  // The event log file: the simulator keeps its own beside its settings.
  QString EventLogFile() const;
  void LoadEventLog();
  void SaveEventLog();
  void DestroyDevice();
  void SelectLanguage(const QString &language);
  // Opens a project file in a new project window (the recent-file items).
  void OpenProjectFile(const QString &fileName);
  // The project window already showing fileName (exact comparison), or null.
  QWidget *FindProjectWindow(const QString &fileName) const;
  void TileChildren(Qt::Orientation orientation);

  TStartOptions FOptions;
  QLabel *FStatusPanels[4] = {};
  std::unique_ptr<TNotifier> FNotifier;
  TNotifier *FPreviousNotifier = nullptr;
  bool FClosed = false;  // the global objects are gone

  // The link under Device, made by StartOptions().CreateLink or, without
  // one, the serial port link. Outlives Device.
  std::unique_ptr<TDeviceLink> FLink;
};

// The one main window; null before it is created and after it is destroyed.
extern TfmMain *fmMain;
