// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/About.h"
#include "app/AppError.h"
#include "app/DesktopOpen.h"
#include "app/ErrorGuard.h"
#include "app/Globals.h"
#include "app/MessageBoxes.h"
#include "app/Messages.h"
#include "app/Notifier.h"
#include "app/OpenWindows.h"
#include "app/Paths.h"
#include "app/RecentFiles.h"
#include "app/ShortenPath.h"
#include "app/UserManual.h"
#include "device/Device.h"
#include "device/DeviceParams.h"
#include "device/Log.h"
#include "device/SerialPortLink.h"
#include "localization/FormTranslation.h"
#include "localization/Translator.h"
#include "settings/FormPlacement.h"
#include "settings/SettingsStorage.h"
#include "windowpanel/WindowPanel.h"

// The icons live in the gui library's resources; a static library needs them
// registered by hand. Outside any namespace, as Q_INIT_RESOURCE requires.
static void InitGuiResources() {
  Q_INIT_RESOURCE(resources);
}

TfmMain *fmMain = nullptr;

namespace {
const TKeyPath General{QStringLiteral("General")};
const TKeyPath SettingsSection{QStringLiteral("Settings")};
constexpr int RecentCaptionWidth = 250;  // pixels in the main window's font
constexpr int StartActionsDelay = 50;    // ms after the window appeared
const int StatusPanelWidths[4] = {200, 220, 105, 50};

// Warnings of the core (a settings file that cannot be written) as boxes.
class TBoxNotifier : public TNotifier {
 public:
  void Warning(const QString &text) override { ShowWarning(text); }
};

QIcon Icon(const QString &name) {
  return name.isEmpty() ? QIcon() : QIcon(QStringLiteral(":/icons/%1.svg").arg(name));
}
}  // namespace

TfmMain::TfmMain(const TStartOptions &options, QWidget *parent)
    : QMainWindow(parent), FOptions(options) {
  fmMain = this;
  setObjectName(QStringLiteral("fmMain"));
  CreateComponents();
  FormCreate();
}

TfmMain::~TfmMain() {
  // Destroyed without a completed close (a test, an aborted start): the
  // global objects go without saving anything.
  if (!FClosed) DestroyGlobals();
  if (FNotifier) SetNotifier(FPreviousNotifier);
  if (fmMain == this) fmMain = nullptr;
}

QAction *TfmMain::MakeAction(const char *name, const QString &caption, const QString &icon,
                             const QKeySequence &shortcut) {
  auto *action = new QAction(Icon(icon), caption, this);
  action->setObjectName(QString::fromLatin1(name));
  // The hint equals the caption. Qt's implicit hint (the caption less "..."
  // and "&") already does while they agree, and it follows the translated
  // caption; a hint set here would stay English. Only a caption that Qt would
  // shorten gets a hint of its own, which is translated as such.
  if (action->toolTip() != caption) action->setToolTip(caption);
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  return action;
}

void TfmMain::Guarded(QAction *action, void (TfmMain::*handler)()) {
  connect(action, &QAction::triggered, this,
          [this, handler] { RunGuarded([&] { (this->*handler)(); }); });
}

void TfmMain::CreateComponents() {
  InitGuiResources();
  setWindowIcon(Icon(QStringLiteral("veltravor")));

  // Commands. New, Open, Save, Save as, Add graph, Remove graphs, Copy,
  // Export, Print, Start, Stop, Centering, Adjustment, Settings and Event log
  // act on windows that register their handlers with these actions.
  mnNew = MakeAction("mnNew", "New", "new", QKeySequence(Qt::CTRL | Qt::Key_N));
  mnOpen = MakeAction("mnOpen", "Open...", "open", QKeySequence(Qt::CTRL | Qt::Key_O));
  mnSave = MakeAction("mnSave", "Save", "save", QKeySequence(Qt::CTRL | Qt::Key_S));
  mnSaveAs = MakeAction("mnSaveAs", "Save as...", {});
  mnAddGraph = MakeAction("mnAddGraph", "Add graph", "addgraph");
  mnDelGraph = MakeAction("mnDelGraph", "Remove graphs", "removegraphs");
  mnCopy = MakeAction("mnCopy", "Copy", "copy");
  mnExport = MakeAction("mnExport", "Export...", "export", QKeySequence(Qt::CTRL | Qt::Key_E));
  tbPrint = MakeAction("tbPrint", "Print...", "print", QKeySequence(Qt::CTRL | Qt::Key_P));
  mnPulseReport = MakeAction("mnPulseReport", "Pulse report...", {});
  for (int i = 0; i < MaxRecentFiles; ++i) {
    QAction *item = MakeAction(qPrintable(QStringLiteral("mnMRU%1").arg(i + 1)), {}, {});
    // Captions are file paths, never translated.
    item->setVisible(false);
    connect(item, &QAction::triggered, this,
            [this, item] { RunGuarded([&] { mnMRU1Click(item); }); });
    mnMRU[i] = item;
  }
  mnExit = MakeAction("mnExit", "Exit", {});
  mnStart = MakeAction("mnStart", "Start", "start", QKeySequence(Qt::Key_F8));
  mnStop = MakeAction("mnStop", "Stop", "stop", QKeySequence(Qt::Key_F9));
  mnStop->setEnabled(false);
  mnCentering = MakeAction("mnCentering", "Centering", "centering");
  mnAdjustment = MakeAction("mnAdjustment", "Adjustment", "adjustment");
  mnSettings = MakeAction("mnSettings", "Settings", "settings");
  mnLog = MakeAction("mnLog", "Event log", {});
  mnStretch = MakeAction("mnStretch", "Stretch all", {});
  mnVertical = MakeAction("mnVertical", "From left to right", {});
  mnHorizontal = MakeAction("mnHorizontal", "Top-down", {});
  mnCascade = MakeAction("mnCascade", "Cascade", {});
  mnMinimize = MakeAction("mnMinimize", "Minimize all", {});
  mnCloseAll = MakeAction("mnCloseAll", "Close all", {});
  mnUserManual = MakeAction("mnUserManual", "User manual", "manual", QKeySequence(Qt::Key_F1));
  mnAbout = MakeAction("mnAbout", "About program", {});

  Guarded(mnExit, &TfmMain::mnExitClick);
  Guarded(mnStretch, &TfmMain::mnStretchClick);
  Guarded(mnVertical, &TfmMain::mnVerticalClick);
  Guarded(mnHorizontal, &TfmMain::mnHorizontalClick);
  Guarded(mnCascade, &TfmMain::mnCascadeClick);
  Guarded(mnMinimize, &TfmMain::mnMinimizeClick);
  Guarded(mnCloseAll, &TfmMain::mnCloseAllClick);
  Guarded(mnUserManual, &TfmMain::mnUserManualClick);
  Guarded(mnAbout, &TfmMain::mnAboutClick);
  Guarded(mnLog, &TfmMain::mnLogClick);
  Guarded(mnNew, &TfmMain::mnNewClick);
  Guarded(mnOpen, &TfmMain::mnOpenClick);
  Guarded(mnSave, &TfmMain::mnSaveClick);
  Guarded(mnSaveAs, &TfmMain::mnSaveAsClick);
  Guarded(mnAddGraph, &TfmMain::mnAddGraphClick);
  Guarded(mnDelGraph, &TfmMain::mnDelGraphClick);
  Guarded(mnCopy, &TfmMain::mnCopyClick);
  Guarded(mnExport, &TfmMain::mnExportClick);
  Guarded(tbPrint, &TfmMain::tbPrintClick);
  Guarded(mnPulseReport, &TfmMain::mnPulseReportClick);
  Guarded(mnStart, &TfmMain::mnStartClick);
  Guarded(mnStop, &TfmMain::mnStopClick);
  Guarded(mnCentering, &TfmMain::mnCenteringClick);
  Guarded(mnAdjustment, &TfmMain::mnAdjustmentClick);
  Guarded(mnSettings, &TfmMain::mnSettingsClick);

  // Menus.
  mnFile = menuBar()->addMenu(QStringLiteral("File"));
  mnFile->setObjectName(QStringLiteral("mnFile"));
  mnFile->addActions({mnNew, mnOpen, mnSave, mnSaveAs});
  mnFile->addSeparator();
  mnFile->addActions({mnAddGraph, mnDelGraph});
  mnFile->addSeparator();
  mnFile->addActions({mnCopy, mnExport, tbPrint, mnPulseReport});
  mnFile->addSeparator();
  for (QAction *item : mnMRU) mnFile->addAction(item);
  mnFile->addSeparator();
  mnFile->addAction(mnExit);

  mnDevice = menuBar()->addMenu(QStringLiteral("Device"));
  mnDevice->setObjectName(QStringLiteral("mnDevice"));
  mnDevice->addActions({mnStart, mnStop, mnCentering});
  mnDevice->addSeparator();
  mnDevice->addActions({mnAdjustment, mnSettings});
  mnDevice->addSeparator();
  mnDevice->addAction(mnLog);

  mnWindow = menuBar()->addMenu(QStringLiteral("Window"));
  mnWindow->setObjectName(QStringLiteral("mnWindow"));
  mnWindow->addActions({mnStretch, mnVertical, mnHorizontal, mnCascade, mnMinimize, mnCloseAll});

  mnHelp = menuBar()->addMenu(QStringLiteral("Help"));
  mnHelp->setObjectName(QStringLiteral("mnHelp"));
  mnHelp->addActions({mnUserManual, mnAbout});

  // Tool bars, side by side on one row under the menu bar.
  mnFileBar = addToolBar(QStringLiteral("File"));
  mnFileBar->setObjectName(QStringLiteral("mnFileBar"));
  mnFileBar->addActions({mnNew, mnOpen, mnSave});
  mnFileBar->addSeparator();
  mnFileBar->addActions({mnAddGraph, mnDelGraph});
  mnFileBar->addSeparator();
  mnFileBar->addActions({mnCopy, mnExport, tbPrint});
  mnOperationBar = addToolBar(QStringLiteral("Operation"));
  mnOperationBar->setObjectName(QStringLiteral("mnOperationBar"));
  mnOperationBar->addActions({mnSettings, mnAdjustment, mnUserManual});
  mnOperationBar->addSeparator();
  mnOperationBar->addActions({mnCentering, mnStart, mnStop});
  for (QToolBar *bar : {mnFileBar, mnOperationBar}) {
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(24, 24));
    // The tool bars are fixed: no context menu to hide them.
    bar->toggleViewAction()->setEnabled(false);
  }
  setContextMenuPolicy(Qt::NoContextMenu);
  for (QAction *captioned : {mnStart, mnStop})
    if (auto *button = qobject_cast<QToolButton *>(mnOperationBar->widgetForAction(captioned)))
      button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

  // MDI area above the window panel.
  auto *client = new QWidget(this);
  client->setObjectName(QStringLiteral("pnClient"));
  auto *layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  MdiArea = new QMdiArea(client);
  MdiArea->setObjectName(QStringLiteral("MdiArea"));
  MdiArea->setActivationOrder(QMdiArea::CreationOrder);
  layout->addWidget(MdiArea, 1);
  WindowPanel = new TWindowPanel(client);
  WindowPanel->SetWindowMenu(mnWindow);
  WindowPanel->SetDefaultIcon(Icon(QStringLiteral("window")));
  layout->addWidget(WindowPanel);
  setCentralWidget(client);
  connect(MdiArea, &QMdiArea::subWindowActivated, this, [](QMdiSubWindow *sub) {
    if (sub && sub->widget()) ActivateChildWindow(sub->widget());
  });

  QStatusBar *bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar"));
  for (int i = 0; i < 4; ++i) {
    auto *panel = new QLabel(bar);
    panel->setObjectName(QStringLiteral("pnStatus%1").arg(i));
    panel->setFixedWidth(StatusPanelWidths[i]);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setIndent(2);
    bar->addWidget(panel);
    FStatusPanels[i] = panel;
  }

  tmStartActions = new QTimer(this);
  tmStartActions->setObjectName(QStringLiteral("tmStartActions"));
  tmStartActions->setSingleShot(true);
  tmStartActions->setInterval(StartActionsDelay);
  connect(tmStartActions, &QTimer::timeout, this, [this] {
    RunGuarded([this] { tmStartActionsTimer(); });
    // Whatever the instrument did: the journals hold measured points.
    RunGuarded([this] { RecoverJournals(); });
    // Files named on the command line open whatever the instrument did, each
    // with its own message when it cannot.
    for (const QString &file : FOptions.Files) RunGuarded([&] { OpenStartFile(file); });
  });
}

void TfmMain::FormCreate() {
  Translator = new TTranslator(QStringLiteral("English"));
  QString caption = QApplication::applicationDisplayName();
  if (FOptions.Simulator) caption += QStringLiteral(" [simulator]");
  setWindowTitle(caption);
  ProjectCounter = 0;
  RecentFiles.clear();

  FNotifier = std::make_unique<TBoxNotifier>();
  FPreviousNotifier = SetNotifier(FNotifier.get());
  AppSettings = new TSettingsStorage;
  LoadSettingsFile();
  RestoreFormPlacement(this, QString());
  ParseRecentFiles(AppSettings->ReadText(General, QStringLiteral("mruProjects"), QString()));
  UpdateRecentMenu();

  OpenWindows = new TOpenWindows;
  CreateDevice();
  ReadDeviceParams();
  LoadEventLog();

  SelectLanguage(AppSettings->ReadText(SettingsSection, QStringLiteral("Language"),
                                       QStringLiteral("English")));
  TranslateForm(this, true, true);
  tmStartActions->start();
}

void TfmMain::LoadSettingsFile() {
  // Missing or unreadable files leave the defaults: nothing is shown. The
  // administrator's defaults are for the instrument, not for the simulator.
  const QString system = FOptions.Simulator ? QString() : TPaths::SystemSettingsFile();
  if (!system.isEmpty()) {
    try {
      AppSettings->Load(system);
    } catch (const std::exception &) {
    }
  }
  AppSettings->FileName =
      FOptions.Simulator ? TPaths::SimulatorSettingsFile() : TPaths::SettingsFile();
  try {
    // A file read only in part is kept beside it before a save rewrites it.
    AppSettings->LoadOwnFile();
  } catch (const std::exception &) {
  }
}

void TfmMain::closeEvent(QCloseEvent *event) {
  if (FClosed || FormClose()) {
    event->accept();
    QMainWindow::closeEvent(event);
  } else {
    event->ignore();
  }
}

bool TfmMain::FormClose() {
  tmStartActions->stop();
  if (OpenWindows) {
    for (int i = OpenWindows->Count() - 1; i >= 0; --i) {
      if (i >= OpenWindows->Count()) continue;  // a closing window took others along
      CloseChildWindow(OpenWindows->At(i));
      if (OpenWindows->Count() > i) return false;  // refused: it stays, so does the program
    }
  }
  SaveSettings();
  SaveEventLog();
  DestroyGlobals();
  return true;
}

void TfmMain::DestroyGlobals() {
  delete AppSettings;
  AppSettings = nullptr;
  delete OpenWindows;
  OpenWindows = nullptr;
  DestroyDevice();
  RecentFiles.clear();
  // The translator writes its catalogue when it is destroyed: last.
  delete Translator;
  Translator = nullptr;
  FClosed = true;
}

void TfmMain::SaveSettings() {
  if (!AppSettings || !Device) return;
  StoreDeviceParams(*Device, *AppSettings, RecentFilesText());
  SaveFormPlacement(this, QString());
  try {
    AppSettings->Save();
  } catch (const std::exception &e) {
    ShowWarning(Translate(QStringLiteral("Unable to save settings")) + QStringLiteral(" (") +
                ExceptionMessage(e) + QStringLiteral(")."));
  }
}

void TfmMain::CreateDevice() {
  QString port = FOptions.Port;
  if (port.isEmpty()) port = AppSettings->ReadText(General, QStringLiteral("port"), QString());
  FLink = FOptions.CreateLink ? FOptions.CreateLink(port) : std::make_unique<TSerialPortLink>(port);
  Device = new TDevice(FLink.get());
}

void TfmMain::ReadDeviceParams() {
  LoadDeviceParams(*Device, *AppSettings);
}

QString TfmMain::EventLogFile() const {
  return FOptions.Simulator ? TPaths::SimulatorEventLogFile() : TPaths::EventLogFile();
}

void TfmMain::LoadEventLog() {
  // No log file yet: the log starts empty.
  Device->LoadEventLog(EventLogFile());
}

void TfmMain::SaveEventLog() {
  // A log that cannot be written is not worth a box at shutdown.
  if (Device) Device->SaveEventLog(EventLogFile());
}

void TfmMain::DestroyDevice() {
  // The device closes its link; the link goes after it.
  delete Device;
  Device = nullptr;
  FLink.reset();
}

void TfmMain::SelectLanguage(const QString &language) {
  Translator->SetLanguage(language);
}

void TfmMain::OpenDevice() {
  Device->Initialize();
  SetStatusText(0, Translate(QStringLiteral("Device found")));
}

void TfmMain::ParseRecentFiles(const QString &text) {
  RecentFiles = ::ParseRecentFiles(text);
}

QString TfmMain::RecentFilesText() const {
  return ::RecentFilesText(RecentFiles);
}

void TfmMain::AddToRecent(const QString &fileName) {
  AddToRecentList(RecentFiles, fileName);
  UpdateRecentMenu();
}

void TfmMain::UpdateRecentMenu() {
  const QFontMetrics metrics(font());
  for (int i = 0; i < MaxRecentFiles; ++i) {
    QAction *item = mnMRU[i];
    if (i < RecentFiles.size()) {
      // "&" would turn into a mnemonic and vanish from the shown path.
      const QString shown = ShortenPath(RecentFiles[i], metrics, RecentCaptionWidth);
      QString caption = shown;
      caption.replace(u'&', QStringLiteral("&&"));
      item->setText(caption);
      item->setToolTip(shown);
      item->setVisible(true);
    } else {
      item->setVisible(false);
    }
  }
}

void TfmMain::mnMRU1Click(QAction *item) {
  const int number = item->objectName().at(5).digitValue();
  if (number < 1 || RecentFiles.size() < number) return;
  const QString fileName = RecentFiles[number - 1];
  if (QWidget *fm = FindProjectWindow(fileName)) {
    ShowRestored(fm);
    return;
  }
  if (QFileInfo::exists(fileName)) {
    OpenProjectFile(fileName);
    return;
  }
  RecentFiles.removeAt(number - 1);
  UpdateRecentMenu();
  RaiseError(QStringLiteral("File \"%\" not found."), QStringList{fileName});
}

void TfmMain::SetStatusText(int panel, const QString &text) {
  FStatusPanels[panel]->setText(text);
}

QString TfmMain::StatusText(int panel) const {
  return FStatusPanels[panel]->text();
}

QMdiSubWindow *TfmMain::AddChildWindow(QWidget *fm) {
  QMdiSubWindow *sub = MdiArea->addSubWindow(fm);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  return sub;
}

QSize TfmMain::ClientAreaSize() const {
  return MdiArea->viewport()->size();
}

void TfmMain::mnExitClick() {
  close();
}

void TfmMain::mnStretchClick() {
  const QSize area = ClientAreaSize();
  for (QMdiSubWindow *sub : MdiArea->subWindowList(QMdiArea::CreationOrder)) {
    if (sub->isMaximized()) sub->showNormal();
    sub->setGeometry(0, 0, area.width() - 4, area.height() - 4);
  }
}

// Side by side (vertical) or one above the other (horizontal), in creation
// order; minimized and hidden windows keep their place.
void TfmMain::TileChildren(Qt::Orientation orientation) {
  QList<QMdiSubWindow *> windows;
  for (QMdiSubWindow *sub : MdiArea->subWindowList(QMdiArea::CreationOrder))
    if (sub->isVisible() && !sub->isMinimized()) windows << sub;
  if (windows.isEmpty()) return;
  const QSize area = ClientAreaSize();
  const int n = windows.size();
  for (int i = 0; i < n; ++i) {
    QMdiSubWindow *sub = windows[i];
    if (sub->isMaximized()) sub->showNormal();
    if (orientation == Qt::Vertical) {
      const int left = area.width() * i / n, right = area.width() * (i + 1) / n;
      sub->setGeometry(left, 0, right - left, area.height());
    } else {
      const int top = area.height() * i / n, bottom = area.height() * (i + 1) / n;
      sub->setGeometry(0, top, area.width(), bottom - top);
    }
  }
}

void TfmMain::mnVerticalClick() {
  TileChildren(Qt::Vertical);
}

void TfmMain::mnHorizontalClick() {
  TileChildren(Qt::Horizontal);
}

void TfmMain::mnCascadeClick() {
  MdiArea->cascadeSubWindows();
}

void TfmMain::mnMinimizeClick() {
  const QList<QMdiSubWindow *> windows = MdiArea->subWindowList(QMdiArea::CreationOrder);
  for (auto it = windows.crbegin(); it != windows.crend(); ++it) (*it)->showMinimized();
}

void TfmMain::mnCloseAllClick() {
  if (!OpenWindows) return;
  for (int i = OpenWindows->Count() - 1; i >= 0; --i) {
    if (i >= OpenWindows->Count()) continue;
    QWidget *fm = OpenWindows->At(i);
    CloseChildWindow(fm);
    if (OpenWindows->Contains(fm)) return;  // refused
  }
}

void TfmMain::mnUserManualClick() {
  const QString language = AppSettings
                               ? AppSettings->ReadText(SettingsSection, QStringLiteral("Language"),
                                                       QStringLiteral("English"))
                               : QStringLiteral("English");
  const QString document = UserManualFile(TPaths::ManualDir(), language);
  if (!QFileInfo::exists(document)) return;
  OpenWithDesktop(QUrl::fromLocalFile(document));
}

void TfmMain::mnLogClick() {
  if (TfmLog *fm = OpenWindows ? OpenWindows->FindFirst<TfmLog>() : nullptr) {
    ShowRestored(fm);
    return;
  }
  TWindowPanel::ShowForm(new TfmLog);
}

void TfmMain::ShowRestored(QWidget *fm) {
  TWindowPanel::ShowForm(fm);
  if (auto *sub = qobject_cast<QMdiSubWindow *>(fm->parentWidget()); sub && sub->isMinimized())
    sub->showNormal();
}

void TfmMain::mnAboutClick() {
  TfmAbout about(this);
  about.exec();
}
