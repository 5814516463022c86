// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

#include "TestEnvironment.h"
#include "app/Globals.h"
#include "localization/FormTranslation.h"
#include "localization/Translator.h"

// A window of the program shown inside the main window: it translates itself.
class TfmChild : public QWidget {
  Q_OBJECT
 public:
  explicit TfmChild(QWidget *parent = nullptr) : QWidget(parent) {
    setWindowTitle("Child caption");
    (new QLabel("Child label", this))->setObjectName("lbChild");
  }
};

namespace {
// Every translation also exists as a key translated to "TWICE": a text that
// is translated twice in one pass shows it.
const char *const German[][2] = {
    {"Main window", "Hauptfenster"},
    {"Main hint", "Haupthinweis"},
    {"&File", "&Datei"},
    {"File menu", "Dateimenue"},
    {"&Open",
     "\xc3\x96"
     "&ffnen"},
    {"Open a project",
     "Ein Projekt \xc3\xb6"
     "ffnen"},
    {"Save", "Speichern"},
    {"Save as", "Speichern unter"},
    {"Recent", "Zuletzt"},
    {"Print", "Drucken"},
    {"Delay", "Verz\xc3\xb6gerung"},
    {"Delay in fsec", "Verz\xc3\xb6gerung in fs"},
    {"Start", "Starten"},
    {"Log", "Protokoll"},
    {"Linear", "Linear "},
    {"Zoom",
     "Vergr\xc3\xb6\xc3\x9f"
     "ern"},
    {"Interval", "Intervall"},
    {"Signal", "Signal "},
    {"Hidden column", "Verborgen"},
    {"Ready", "Bereit"},
    {"Device not found", "Ger\xc3\xa4t nicht gefunden"},
    {"Status hint", "Statushinweis"},
    {"Panel hint", "Feldhinweis"},
    {"Edit hint", "gone"},
    {"Settings", "Einstellungen"},
    {"/data/run1.vtp", "gone"},
    {"Edit text", "gone"},
    {"Combo item", "gone"},
    {"Child caption", "gone"},
    {"Child label", "gone"},
    {"Dialog label", "gone"},
};

struct TWindow {
  QMainWindow main;
  QMenu *file, *recent;
  QAction *open, *save, *saveAs, *mru, *print;
  QLabel *label, *ready, *device;
  QPushButton *start;
  QCheckBox *log;
  QRadioButton *linear;
  QToolButton *zoom, *toolOpen;
  QGroupBox *group;
  QLineEdit *edit;
  QFrame *panel;
  QComboBox *combo;
  QTabWidget *tabs;
  QStandardItemModel model;
  QTableView *table, *sameModel;
  QMdiSubWindow *sub;
  TfmChild *child, *embedded;
  QDialog *dialog;
  std::unique_ptr<QAction> orphan{new QAction("Print")};

  TWindow() {
    main.setObjectName("fmMain");
    main.setWindowTitle("Main window");
    main.setToolTip("Main hint");

    file = main.menuBar()->addMenu("&File");
    file->setToolTip("File menu");
    open = new QAction("&Open", &main);
    open->setObjectName("mnOpen");
    open->setToolTip("Open a project");
    open->setStatusTip("Open a project");
    file->addAction(open);
    save = file->addAction("Save");  // no hint of its own
    saveAs = file->addAction("Save as");
    saveAs->setToolTip("Save as");  // a hint of its own that reads like the text
    file->addSeparator();
    recent = file->addMenu("Recent");
    mru = recent->addAction("/data/run1.vtp");
    mru->setObjectName("mnMRU1");
    print = orphan.get();  // listed in the menu, owned by nobody
    file->addAction(print);

    QToolBar *bar = main.addToolBar("Tools");
    bar->addAction(open);
    toolOpen = qobject_cast<QToolButton *>(bar->widgetForAction(open));

    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    label = new QLabel("Delay");
    label->setToolTip("Delay in fsec");
    start = new QPushButton("Start");
    log = new QCheckBox("Log");
    linear = new QRadioButton("Linear");
    zoom = new QToolButton;
    zoom->setText("Zoom");
    group = new QGroupBox("Interval");
    edit = new QLineEdit("Edit text");
    edit->setToolTip("Edit hint");
    panel = new QFrame;
    panel->setObjectName("pnTop");
    panel->setToolTip("Panel hint");
    combo = new QComboBox;
    combo->addItem("Combo item");
    tabs = new QTabWidget;
    tabs->addTab(new QWidget, "Settings");
    model.setHorizontalHeaderLabels({"Delay", "Signal", "Hidden column"});
    model.setRowCount(2);
    table = new QTableView;
    table->setModel(&model);
    table->setColumnHidden(2, true);
    sameModel = new QTableView;  // a second view of the same model
    sameModel->setModel(&model);
    sameModel->setColumnHidden(2, true);
    embedded = new TfmChild;
    auto *mdi = new QMdiArea;
    child = new TfmChild;
    sub = mdi->addSubWindow(child);
    for (QWidget *w :
         std::initializer_list<QWidget *>{label, start, log, linear, zoom, group, edit, panel,
                                          combo, tabs, table, sameModel, embedded, mdi})
      layout->addWidget(w);
    main.setCentralWidget(central);

    ready = new QLabel("Ready");
    device = new QLabel("Device not found");
    main.statusBar()->addWidget(ready);
    main.statusBar()->addPermanentWidget(device);
    main.statusBar()->setToolTip("Status hint");

    dialog = new QDialog(&main);  // a dialog owned by the window is a window of its own
    new QLabel("Dialog label", dialog);
  }

  QString Header(int column) const { return model.headerData(column, Qt::Horizontal).toString(); }

  // Every text the walk might touch, in a fixed order.
  QStringList Texts() const {
    QStringList texts{main.windowTitle(),
                      main.toolTip(),
                      file->title(),
                      file->toolTip(),
                      file->menuAction()->text(),
                      open->text(),
                      open->toolTip(),
                      open->statusTip(),
                      save->text(),
                      save->toolTip(),
                      saveAs->text(),
                      saveAs->toolTip(),
                      recent->title(),
                      mru->text(),
                      print->text(),
                      label->text(),
                      label->toolTip(),
                      start->text(),
                      log->text(),
                      linear->text(),
                      zoom->text(),
                      toolOpen->text(),
                      group->title(),
                      edit->text(),
                      edit->toolTip(),
                      panel->toolTip(),
                      combo->itemText(0),
                      tabs->tabText(0),
                      Header(0),
                      Header(1),
                      Header(2),
                      ready->text(),
                      device->text(),
                      main.statusBar()->toolTip(),
                      sub->windowTitle(),
                      child->findChild<QLabel *>("lbChild")->text(),
                      embedded->findChild<QLabel *>("lbChild")->text(),
                      dialog->findChild<QLabel *>()->text()};
    return texts;
  }
};
}  // namespace

class FormTranslationTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> FDir;
  std::unique_ptr<TTranslator> FTranslator;

  static QString U(const char *utf8) { return QString::fromUtf8(utf8); }

 private slots:
  void init() {
    FDir = std::make_unique<QTemporaryDir>();
    QDir().mkpath(FDir->filePath("LANGUAGE"));
    QFile file(FDir->filePath("LANGUAGE/German.lng"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (const auto &pair : German) {
      file.write(QByteArray(pair[0]) + "<=>" + pair[1] + "\r\n");
      file.write(QByteArray(pair[1]) + "<=>TWICE\r\n");
    }
    file.close();
    FTranslator = std::make_unique<TTranslator>("English", FDir->filePath("veltravor.lng"),
                                                QStringList{FDir->filePath("LANGUAGE")});
    Translator = FTranslator.get();
  }

  void cleanup() {
    Translator = nullptr;
    FTranslator.reset();
    FDir.reset();
  }

  void translatesCaptionsAndHintsOnceAndLeavesTheRest() {
    FTranslator->SetLanguage("German");
    TWindow w;
    TranslateForm(&w.main, true, true);

    QCOMPARE(w.main.windowTitle(), "Hauptfenster");
    QCOMPARE(w.main.toolTip(), "Haupthinweis");
    QCOMPARE(w.file->title(), "&Datei");
    QCOMPARE(w.file->menuAction()->text(), "&Datei");
    QCOMPARE(w.file->toolTip(), "Dateimenue");
    QCOMPARE(w.open->text(), U("\xc3\x96&ffnen"));
    QCOMPARE(w.open->toolTip(), U("Ein Projekt \xc3\xb6"
                                  "ffnen"));
    QCOMPARE(w.open->statusTip(), U("Ein Projekt \xc3\xb6"
                                    "ffnen"));
    QCOMPARE(w.toolOpen->text(), U("\xc3\x96"
                                   "ffnen"));  // the tool bar shows the action
    QCOMPARE(w.save->text(), "Speichern");
    QCOMPARE(w.save->toolTip(), "Speichern");  // follows the text, no hint of its own
    QCOMPARE(w.saveAs->text(), "Speichern unter");
    QCOMPARE(w.saveAs->toolTip(), "Speichern unter");
    QCOMPARE(w.recent->title(), "Zuletzt");
    QCOMPARE(w.print->text(), "Drucken");
    QCOMPARE(w.mru->text(), "/data/run1.vtp");
    QCOMPARE(w.label->text(), U("Verz\xc3\xb6gerung"));
    QCOMPARE(w.label->toolTip(), U("Verz\xc3\xb6gerung in fs"));
    QCOMPARE(w.start->text(), "Starten");
    QCOMPARE(w.log->text(), "Protokoll");
    QCOMPARE(w.linear->text(), "Linear ");
    QCOMPARE(w.zoom->text(), U("Vergr\xc3\xb6\xc3\x9f"
                               "ern"));
    QCOMPARE(w.group->title(), "Intervall");
    QCOMPARE(w.tabs->tabText(0), "Einstellungen");
    QCOMPARE(w.Header(0), U("Verz\xc3\xb6gerung"));
    QCOMPARE(w.Header(1), "Signal ");
    QCOMPARE(w.Header(2), "Hidden column");  // hidden: keeps its caption
    QCOMPARE(w.ready->text(), "Bereit");
    QCOMPARE(w.device->text(), U("Ger\xc3\xa4t nicht gefunden"));
    QCOMPARE(w.main.statusBar()->toolTip(), "Status hint");
    QCOMPARE(w.edit->text(), "Edit text");
    QCOMPARE(w.edit->toolTip(), "Edit hint");
    QCOMPARE(w.panel->toolTip(), "Feldhinweis");
    QCOMPARE(w.combo->itemText(0), "Combo item");
    // Windows inside this one are not walked.
    QCOMPARE(w.sub->windowTitle(), "Child caption");
    QCOMPARE(w.child->findChild<QLabel *>("lbChild")->text(), "Child label");
    QCOMPARE(w.embedded->findChild<QLabel *>("lbChild")->text(), "Child label");
    QCOMPARE(w.dialog->findChild<QLabel *>()->text(), "Dialog label");
    QVERIFY(!w.Texts().contains("TWICE"));
  }

  void recordsExactlyTheWalkedTextsInTheCatalogue() {
    TWindow w;
    const QStringList before = w.Texts();
    TranslateForm(&w.main, true, true);
    QCOMPARE(w.Texts(), before);  // base language: nothing changes on screen

    QStringList recorded;
    const TDictionary &catalogue = FTranslator->Catalogue();
    for (qsizetype i = 0; i < catalogue.Count(); ++i) recorded << catalogue.Key(i);
    QStringList expected{
        "Main window",    "Main hint", "&File",  "File menu", "&Open",
        "Open a project", "Save",      "Recent", "Print",     "Delay",
        "Delay in fsec",  "Start",     "Log",    "Linear",    "Zoom",
        "Interval",       "Settings",  "Signal", "Ready",     "Device not found",
        "Panel hint",     "Save as",   "Tools"};  // the tool bar's show/hide action
    recorded.sort(Qt::CaseInsensitive);
    expected.sort(Qt::CaseInsensitive);
    QCOMPARE(recorded, expected);
  }

  void switchingThereAndBackRestoresEveryCaption() {
    TWindow w;
    TranslateForm(&w.main, true, true);
    const QStringList english = w.Texts();
    auto *other = new QLabel("Start");  // a second window of the list
    std::unique_ptr<QWidget> second(other);

    SwitchLanguage("German", {&w.main, nullptr, other});
    QCOMPARE(w.main.windowTitle(), "Hauptfenster");
    QCOMPARE(other->windowTitle(), "");
    QCOMPARE(w.Header(0), U("Verz\xc3\xb6gerung"));
    QCOMPARE(w.mru->text(), "/data/run1.vtp");
    const QStringList german = w.Texts();
    QVERIFY(!german.contains("TWICE"));

    // Into the same language again: back to English, then forward once.
    SwitchLanguage(" German", {&w.main});
    QCOMPARE(w.Texts(), german);

    SwitchLanguage("english", {&w.main, other});
    QCOMPARE(w.Texts(), english);
    QCOMPARE(FTranslator->Dictionary(), nullptr);
  }
};

VELTRAVOR_TEST_MAIN(FormTranslationTest)
#include "FormTranslationTest.moc"
