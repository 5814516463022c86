// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QtTest>

#include <memory>
#include <stdexcept>

#include "TestEnvironment.h"
#include "windowpanel/WindowPanel.h"

namespace {
QIcon SolidIcon(QColor color) {
  QPixmap pixmap(16, 16);
  pixmap.fill(color);
  return QIcon(pixmap);
}

QImage PictureImage(const TWindowPanelPicture *picture) {
  return picture->Pixmap().toImage().convertToFormat(QImage::Format_RGB32);
}

int BlackPixels(const QImage &image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) count += (image.pixel(x, y) & 0xFFFFFF) == 0;
  return count;
}

// The Window menu's actions after its fixed entries.
QList<QAction *> WindowEntries(QMenu *menu, int fixed) { return menu->actions().mid(fixed); }
}  // namespace

class WindowPanelTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QMenu> FMenu;
  std::unique_ptr<TWindowPanel> FPanel;
  QList<QWidget *> FWindows;

  QWidget *NewWindow(const QString &caption) {
    auto *fm = new QWidget;
    fm->setWindowTitle(caption);
    FWindows << fm;
    return fm;
  }

 private slots:
  void init() {
    FMenu = std::make_unique<QMenu>("Window");
    FMenu->addAction("Stretch all");
    FMenu->addAction("Close all");
    FPanel = std::make_unique<TWindowPanel>();
    FPanel->SetWindowMenu(FMenu.get());
    FPanel->resize(703, 29);
  }
  void cleanup() {
    FPanel.reset();
    qDeleteAll(FWindows);
    FWindows.clear();
    FMenu.reset();
  }

  void buttonsShareTheStripUpToTheCap() {
    QCOMPARE(FPanel->height(), TWindowPanel::ButtonHeight + 4);
    const struct {
      int windows;
      int width;
      QList<int> lefts;
    } cases[] = {
        {1, 225, {2}},
        {3, 225, {2, 229, 456}},  // (703 - 6 - 2) / 3 = 231, capped
        {4, 173, {2, 177, 352, 527}},
        {5, 138, {2, 142, 282, 422, 562}},
    };
    for (const auto &c : cases) {
      while (FPanel->Count() < c.windows) FPanel->Add(NewWindow("Project"));
      for (int i = 0; i < c.windows; ++i) {
        const QRect r = FPanel->ButtonPanel(i)->geometry();
        QCOMPARE(r, QRect(c.lefts[i], 2, c.width, TWindowPanel::ButtonHeight));
        QVERIFY(FPanel->ButtonPanel(i)->isVisibleTo(FPanel.get()));
      }
    }
    // Closing a window closes ranks and widens the rest up to the cap.
    FPanel->Delete(FPanel->Form(0));
    FPanel->Delete(FPanel->Form(0));
    QCOMPARE(FPanel->ButtonPanel(0)->geometry(), QRect(2, 2, 225, 25));
    QCOMPARE(FPanel->ButtonPanel(2)->geometry(), QRect(456, 2, 225, 25));
    // A resize lays the strip out again.
    FPanel->show();
    FPanel->resize(302, 29);
    QCOMPARE(FPanel->ButtonPanel(2)->geometry(), QRect(202, 2, 98, 25));
  }

  void fitTextShortensFromTheEnd() {
    QFont font = QApplication::font();
    const QFontMetrics m(font);
    const auto w = [&](const QString &t) { return m.horizontalAdvance(t); };
    const QString caption = "Project 12 [Running]";
    const struct {
      int maxWidth;
      QString expected;
    } cases[] = {
        {w(caption), caption},
        {w(caption) + 50, caption},
        {w("Project 12..."), "Project 12..."},
        {w("Project 12...") + 1, "Project 12..."},
        {w("P..."), "P..."},
        {w("P.."), "P.."},
        {w("P."), "P."},
        {w("P"), "P"},
        {w("P") - 1, ""},
        {0, ""},
        {-5, ""},
    };
    for (const auto &c : cases)
      QCOMPARE(TWindowPanel::FitText(m, c.maxWidth, caption), c.expected);
    QCOMPARE(TWindowPanel::FitText(m, 0, QString()), QString());
  }

  void wideCaptionIsDrawnShortenedOnTheFace() {
    QWidget *fm = NewWindow("A very long project caption that cannot fit on any button face");
    for (int i = 0; i < 4; ++i) FPanel->Add(i == 0 ? fm : NewWindow("P"));
    const QString drawn = FPanel->FaceText(0);
    QVERIFY(drawn.endsWith("..."));
    QVERIFY(fm->windowTitle().startsWith(drawn.chopped(3)));
    const QFontMetrics m(FPanel->font());
    QVERIFY(m.horizontalAdvance(drawn) <= FPanel->FacePicture(0)->width() - TWindowPanel::TextLeft);
    QCOMPARE(FPanel->FacePicture(0)->toolTip(), fm->windowTitle());
    QCOMPARE(FPanel->IconPicture(0)->toolTip(), fm->windowTitle());
  }

  void windowMenuEntriesKeepOneSeparatorAboveTheFirst() {
    const int fixed = FMenu->actions().size();
    QWidget *a = NewWindow("Alpha"), *b = NewWindow("Beta"), *c = NewWindow("Gamma");
    FPanel->Add(a);
    FPanel->Add(b);
    FPanel->Add(c);
    auto entries = WindowEntries(FMenu.get(), fixed);
    QCOMPARE(entries.size(), 4);
    QVERIFY(entries[0]->isSeparator());
    QCOMPARE(entries[1]->text(), QString("Alpha"));
    QCOMPARE(entries[3]->text(), QString("Gamma"));
    for (int i = 1; i < 4; ++i) QVERIFY(entries[i]->isCheckable() && !entries[i]->isSeparator());

    FPanel->Delete(a);
    entries = WindowEntries(FMenu.get(), fixed);
    QCOMPARE(entries.size(), 3);
    QVERIFY(entries[0]->isSeparator());
    QCOMPARE(entries[1]->text(), QString("Beta"));

    FPanel->Delete(c);
    FPanel->Delete(b);
    QCOMPARE(FMenu->actions().size(), fixed);

    FPanel->Add(c);
    entries = WindowEntries(FMenu.get(), fixed);
    QCOMPARE(entries.size(), 2);
    QVERIFY(entries[0]->isSeparator());
  }

  void renameUpdatesEntryFaceAndHints() {
    QWidget *fm = NewWindow("Project 1");
    FPanel->Add(fm);
    fm->setWindowTitle("Scan.vtp [Running]");
    FPanel->UpdateCaptions();
    QCOMPARE(FPanel->MenuEntry(0)->text(), QString("Scan.vtp [Running]"));
    QCOMPARE(FPanel->FaceText(0), QString("Scan.vtp [Running]"));
    QCOMPARE(FPanel->FacePicture(0)->toolTip(), QString("Scan.vtp [Running]"));
    QCOMPARE(FPanel->IconPicture(0)->toolTip(), QString("Scan.vtp [Running]"));

    // An "&" in a file name is shown as such in the menu, not taken as a mnemonic.
    fm->setWindowTitle("R&D.vtp");
    FPanel->UpdateCaptions();
    QCOMPARE(FPanel->MenuEntry(0)->text(), QString("R&&D.vtp"));
    QCOMPARE(FPanel->FaceText(0), QString("R&D.vtp"));
    QCOMPARE(FPanel->FacePicture(0)->toolTip(), QString("R&D.vtp"));
    FPanel->Add(NewWindow("A&B"));
    QCOMPARE(FPanel->MenuEntry(1)->text(), QString("A&&B"));
  }

  void activeButtonIsBoldStippledAndLowered() {
    QWidget *a = NewWindow("Same"), *b = NewWindow("Same");
    FPanel->Add(a);
    FPanel->Add(b);
    FPanel->SetActive(b);
    QCOMPARE(FPanel->ActiveForm(), b);
    QCOMPARE(FPanel->ButtonPanel(0)->frameShadow(), QFrame::Raised);
    QCOMPARE(FPanel->ButtonPanel(1)->frameShadow(), QFrame::Sunken);
    QVERIFY(!FPanel->MenuEntry(0)->isChecked());
    QVERIFY(FPanel->MenuEntry(1)->isChecked());

    const QImage plain = PictureImage(FPanel->FacePicture(0));
    const QImage active = PictureImage(FPanel->FacePicture(1));
    const QRgb face = FPanel->palette().color(QPalette::Button).rgb() | 0xFF000000;
    // Below the icon margin, left of the text: pure background on the plain button.
    for (int x = 0; x < 4; ++x) {
      QCOMPARE(plain.pixel(x, 1) | 0xFF000000, face);
      const QRgb expected = (x + 1) % 2 ? qRgb(255, 255, 255) : face;
      QCOMPARE(active.pixel(x, 1) | 0xFF000000, expected | 0xFF000000);
    }
    // The same caption in bold covers more pixels, and stays black under the stipple.
    QVERIFY(BlackPixels(active) > BlackPixels(plain));
    QVERIFY(BlackPixels(plain) > 0);

    // Activating the other one swaps everything; an unknown window changes nothing.
    FPanel->SetActive(a);
    QCOMPARE(FPanel->ButtonPanel(0)->frameShadow(), QFrame::Sunken);
    QCOMPARE(FPanel->ButtonPanel(1)->frameShadow(), QFrame::Raised);
    QWidget stranger;
    FPanel->SetActive(&stranger);
    QCOMPARE(FPanel->ActiveForm(), a);
    QVERIFY(FPanel->MenuEntry(0)->isChecked());
  }

  void programmingErrorsCarryFixedTexts() {
    const auto message = [](const std::function<void()> &call) -> QString {
      try {
        call();
      } catch (const std::logic_error &e) {
        return QString::fromUtf8(e.what());
      }
      return "no error";
    };
    QWidget *fm = NewWindow("W");
    QWidget stranger;
    QCOMPARE(message([&] { FPanel->Add(nullptr); }), QString("fm is nil (TWindowPanel.Add)."));
    FPanel->Add(fm);
    QCOMPARE(message([&] { FPanel->Add(fm); }),
             QString("fm is already added (TWindowPanel.Add)."));
    QCOMPARE(message([&] { FPanel->Delete(&stranger); }),
             QString("fm is not in FForms (TWindowPanel.Delete)."));
    QCOMPARE(FPanel->Count(), 1);
  }

  void iconFallsBackFromOwnToDefaultToApplication() {
    const QIcon appIcon = SolidIcon(Qt::green);
    QApplication::setWindowIcon(appIcon);
    QWidget *own = NewWindow("own"), *none = NewWindow("none");
    own->setWindowIcon(SolidIcon(Qt::red));

    FPanel->Add(own);
    FPanel->Add(none);
    QCOMPARE(PictureImage(FPanel->IconPicture(0)).pixel(8, 8), qRgb(255, 0, 0));
    QCOMPARE(PictureImage(FPanel->IconPicture(1)).pixel(8, 8), qRgb(0, 255, 0));
    QCOMPARE(FPanel->IconPicture(0)->geometry(), QRect(4, 4, 16, 16));

    FPanel->SetDefaultIcon(SolidIcon(Qt::blue));
    QWidget *later = NewWindow("later");
    FPanel->Add(later);
    QCOMPARE(PictureImage(FPanel->IconPicture(2)).pixel(8, 8), qRgb(0, 0, 255));
    QApplication::setWindowIcon(QIcon());
  }

  void windowDestroyedWithoutDeleteIsDropped() {
    QWidget *a = NewWindow("a");
    auto *b = new QWidget;
    b->setWindowTitle("b");
    FPanel->Add(a);
    FPanel->Add(b);
    FPanel->SetActive(b);
    delete b;
    QCOMPARE(FPanel->Count(), 1);
    QCOMPARE(FPanel->ActiveForm(), nullptr);
    FPanel->UpdateCaptions();  // must not touch the destroyed window
    QCOMPARE(FPanel->MenuEntry(0)->text(), QString("a"));
  }

  void menuEntryAndButtonBringTheirWindowToTheFront() {
    QMainWindow main;
    auto *area = new QMdiArea;
    main.setCentralWidget(area);
    main.resize(800, 600);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QWidget *a = NewWindow("a"), *b = NewWindow("b");
    FWindows.clear();  // owned by their sub-windows now
    area->addSubWindow(a)->show();
    area->addSubWindow(b)->show();
    FPanel->Add(a);
    FPanel->Add(b);

    FPanel->MenuEntry(0)->trigger();
    QCOMPARE(area->activeSubWindow()->widget(), a);
    QVERIFY(FPanel->MenuEntry(0)->isChecked());
    QVERIFY(!FPanel->MenuEntry(1)->isChecked());
    // Triggering the checked entry again keeps it checked.
    FPanel->MenuEntry(0)->trigger();
    QVERIFY(FPanel->MenuEntry(0)->isChecked());

    FPanel->show();
    QTest::mouseClick(FPanel->FacePicture(1), Qt::LeftButton);
    QCOMPARE(area->activeSubWindow()->widget(), b);
    QTest::mouseClick(FPanel->IconPicture(0), Qt::LeftButton);
    QCOMPARE(area->activeSubWindow()->widget(), a);
    FPanel.reset();
  }
};

VELTRAVOR_TEST_MAIN(WindowPanelTest)
#include "WindowPanelTest.moc"
