// The main window's card strip, captions, scrolling, keyboard and closing.

#include "app/ui/BackgroundWork.h"
#include "app/ui/CardPicture.h"
#include "app/ui/Startup.h"
#include "app/ui/frmMain.h"
#include "intake/ui/BackgroundColorForm.h"
#include "model/CardGeometry.h"
#include "support/MessageRecorder.h"
#include "support/WindowHelpers.h"
#include "ui/Messages.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace vex;
using vex::ui::frmMain;

class FailingStore : public MemorySettingsStore {
public:
    Status flush() override { return Status::failure("disk full"); }
};

class tst_frmMain : public QObject {
    Q_OBJECT
private:
    QTemporaryDir root;
    MemorySettingsStore store;
    ModuleState module;

    std::unique_ptr<frmMain> makeWindow(int screenHeight = 1024)
    {
        return test::openWindow(store, module, root.path().toStdString() + "/", screenHeight);
    }

    // A card whose image is a plain picture of the given size in the test folder.
    CardRecord card(const QString &title, int width = 200, int height = 100, int fill = 0)
    {
        const QString path = root.filePath(title);
        if (!QFile::exists(path)) {
            QImage image(width, height, QImage::Format_Indexed8);
            QList<QRgb> table;
            for (int i = 0; i < 256; ++i)
                table << qRgb(255 - i, 255 - i, 255);
            image.setColorTable(table);
            image.fill(fill);
            image.save(path, "BMP");
        }
        CardRecord c;
        c.FilePath = path.toStdString();
        c.FileTitle = title.toStdString();
        c.ImageWidth = width;
        c.ImageHeight = height;
        applyResolution(c, 1200);
        return c;
    }

    void addThree(frmMain &w)
    {
        w.addCard(card("a.bmp"));
        w.addCard(card("b.bmp"));
        w.addCard(card("c.bmp"));
        w.selectCard(1);
        w.selectCurrentTab();
    }

    void touch(const QString &name)
    {
        QFile f(root.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }

private slots:
    void init() { store.clear(); }

    void backgroundWorkRunsOffTheGuiThreadWhileEventsFlow()
    {
        QObject gui;
        bool timerFired = false;
        QTimer::singleShot(0, &gui, [&] { timerFired = true; });
        const QThread *worker = nullptr;
        const int answer = vex::ui::runInBackground([&] {
            worker = QThread::currentThread();
            // Long enough for the waiting loop to run the timer meanwhile.
            QThread::msleep(50);
            return vex::ui::onGuiThread(&gui, [&] { return QThread::currentThread() == gui.thread() ? 42 : -1; });
        });
        QCOMPARE(answer, 42);
        QVERIFY(worker != QThread::currentThread());
        QVERIFY(timerFired);
        bool thrown = false;
        try {
            vex::ui::runInBackground([] { throw std::runtime_error("work failed"); });
        } catch (const std::runtime_error &e) {
            thrown = std::string(e.what()) == "work failed";
        }
        QVERIFY(thrown);
    }

    void startsEmpty()
    {
        auto w = makeWindow();
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->count(), 1);
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->tabText(0), QStringLiteral("<No Image>"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Quarrow Vexolin"));
        QCOMPARE(w->currentCard(), 1);
        QVERIFY(!test::child<QPushButton>(*w, "btnScan")->isEnabled());
        QVERIFY(!test::child<QPushButton>(*w, "btnScanColour")->isEnabled());
        QVERIFY(test::child<QPushButton>(*w, "btnChangeRes")->isHidden());
        QVERIFY(test::child<QCheckBox>(*w, "CompositeCheck")->isHidden());
        QVERIFY(test::child<QProgressBar>(*w, "ProgressBar1")->isHidden());
        QVERIFY(test::child<QRadioButton>(*w, "GraphOption", 0)->isChecked());
        QVERIFY(test::child<QRadioButton>(*w, "BackColorOption", 0)->isChecked());
        QCOMPARE(test::child<QLabel>(*w, "Label1")->text(), QStringLiteral("0"));
        QCOMPARE(test::child<QLabel>(*w, "Label2")->text(), QStringLiteral("255"));
        QCOMPARE(test::child<QGroupBox>(*w, "ResultFrame")->title(), QStringLiteral("Scan Results  (Volume Fraction)"));
        QCOMPARE(test::child<QPushButton>(*w, "btnLoad")->text(), QStringLiteral("Load Image"));
        QCOMPARE(test::child<QPushButton>(*w, "btnScan")->text(), QStringLiteral("Stain Count"));
        QCOMPARE(test::child<QCheckBox>(*w, "MaskCheck")->text(), QStringLiteral("&Mask all but these hues"));
    }

    void pictureSizeFollowsTheScreen()
    {
        auto tall = makeWindow(768);
        QCOMPARE(test::child<vex::ui::CardPicture>(*tall, "Picture1")->size(), QSize(700, 450));
        QCOMPARE(test::child<QScrollBar>(*tall, "HScroll1")->height(), 17);
        QCOMPARE(test::child<QScrollBar>(*tall, "VScroll1")->width(), 17);
        auto low = makeWindow(600);
        QCOMPARE(test::child<vex::ui::CardPicture>(*low, "Picture1")->size(), QSize(700, 319));
    }

    void aLargerWindowGivesTheCardViewAllItsRoom()
    {
        auto w = makeWindow();
        auto *picture = test::child<vex::ui::CardPicture>(*w, "Picture1");
        const QSize before = w->size();
        w->resize(before + QSize(400, 300));
        w->layout()->activate();
        QCOMPARE(picture->size(), QSize(1100, 750));
        QCOMPARE(w->minimumSize(), before); // never smaller than it opened
    }

    void fitZoomAndDragOnlyMoveTheDrawnCard()
    {
        auto w = makeWindow();
        w->addCard(card("zoom.bmp", 2000, 1500));
        w->selectCurrentTab();
        auto *picture = test::child<vex::ui::CardPicture>(*w, "Picture1");
        w->handleKey(Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(picture->scaledSize(), QSize(600, 450)); // the whole card, as large as it fits
        QVERIFY(!test::child<QScrollBar>(*w, "HScroll1")->isEnabled());
        w->handleKey(Qt::Key_Equal, Qt::ControlModifier);
        const QPoint at(500, 100);
        const QPointF under = picture->imagePoint(at);
        test::wheel(picture, at, 120, Qt::ControlModifier);
        QCOMPARE(picture->scale(), 0.3 * 1.25 * 1.25);
        QCOMPARE(picture->imagePoint(at), under);
        w->handleKey(Qt::Key_0, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(picture->scale(), 1.0);
        const QPoint origin = picture->origin();
        test::drag(picture, {300, 300}, {200, 250});
        QCOMPARE(picture->origin(), origin + QPoint(100, 50));
        QCOMPARE(test::child<QScrollBar>(*w, "HScroll1")->value(), picture->origin().x());
        QCOMPARE(test::child<QScrollBar>(*w, "HScroll1")->maximum(), 1300);
        // The card itself is as loaded: only its drawing moved.
        QCOMPARE(picture->image().size(), QSize(2000, 1500));
    }

    void eachCardKeepsItsOwnView()
    {
        auto w = makeWindow();
        w->addCard(card("zoom1.bmp", 2000, 1500));
        w->addCard(card("zoom2.bmp", 2000, 1500));
        w->selectCard(1);
        auto *picture = test::child<vex::ui::CardPicture>(*w, "Picture1");
        w->handleKey(Qt::Key_0, Qt::ControlModifier);
        w->selectCard(2);
        QCOMPARE(picture->scale(), 1.0);
        test::drag(picture, {300, 300}, {100, 100});
        w->selectCard(1);
        QCOMPARE(picture->scaledSize(), QSize(600, 450));
        w->selectCard(2);
        QCOMPARE(picture->origin(), QPoint(200, 200));
        QCOMPARE(test::child<QScrollBar>(*w, "VScroll1")->value(), 200);
    }

    void showingACardSetsCaptionAndControls()
    {
        auto w = makeWindow();
        w->addCard(card("a.bmp"));
        w->selectCurrentTab();
        QCOMPARE(w->windowTitle(), QStringLiteral("Quarrow Vexolin -- a.bmp -- 1200 dpi -- Untitled trial *"));
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->tabText(0), QStringLiteral("a.bmp"));
        QCOMPARE(w->shownCard(), 1);
        QVERIFY(test::child<QPushButton>(*w, "btnChangeRes")->isVisible());
        QVERIFY(test::child<QPushButton>(*w, "btnScanColour")->isEnabled());
        QVERIFY(!test::child<QPushButton>(*w, "btnScan")->isEnabled()); // colours not yet known
        QVERIFY(!test::child<QScrollBar>(*w, "HScroll1")->isEnabled());
        QVERIFY(!test::child<QScrollBar>(*w, "VScroll1")->isEnabled());
    }

    void largeImageEnablesTheScrollBars()
    {
        auto w = makeWindow();
        w->addCard(card("big.bmp", 1500, 460));
        w->selectCurrentTab();
        QVERIFY(test::child<QScrollBar>(*w, "HScroll1")->isEnabled());
        QCOMPARE(test::child<QScrollBar>(*w, "HScroll1")->maximum(), 800);
        QCOMPARE(test::child<QScrollBar>(*w, "HScroll1")->pageStep(), 200);
        QVERIFY(test::child<QScrollBar>(*w, "VScroll1")->isEnabled());
        QCOMPARE(test::child<QScrollBar>(*w, "VScroll1")->maximum(), 10);
        QCOMPARE(test::child<QScrollBar>(*w, "VScroll1")->pageStep(), 2); // 2.5 rounds to even
        test::child<QScrollBar>(*w, "HScroll1")->setValue(300);
        QCOMPARE(test::child<vex::ui::CardPicture>(*w, "Picture1")->origin(), QPoint(300, 0));
    }

    void ctrlTabWrapsBothWays()
    {
        auto w = makeWindow();
        addThree(*w);
        w->selectCard(3);
        w->selectCurrentTab();
        QTest::keyClick(test::child<QPushButton>(*w, "btnLoad"), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(w->currentCard(), 1);
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->currentIndex(), 0);
        QCOMPARE(w->windowTitle(), QStringLiteral("Quarrow Vexolin -- a.bmp -- 1200 dpi -- Untitled trial *"));
        QTest::keyClick(test::child<QPushButton>(*w, "btnLoad"), Qt::Key_Backtab,
                        Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(w->currentCard(), 3);
        QCOMPARE(w->windowTitle(), QStringLiteral("Quarrow Vexolin -- c.bmp -- 1200 dpi -- Untitled trial *"));
        QTest::keyClick(test::child<QPushButton>(*w, "btnLoad"), Qt::Key_Backtab,
                        Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(w->currentCard(), 2);
    }

    void deletingTheLastOfThreeLeavesCardTwo()
    {
        auto w = makeWindow();
        addThree(*w);
        w->selectCard(3);
        w->selectCurrentTab();
        QTest::keyClick(test::child<QPushButton>(*w, "btnLoad"), Qt::Key_Delete);
        QCOMPARE(w->cardCount(), 2);
        QCOMPARE(w->currentCard(), 2);
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->count(), 2);
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->currentIndex(), 1);
        QCOMPARE(w->findChildren<QLabel *>(QStringLiteral("CardLabel")).size(), 2);
        QCOMPARE(w->windowTitle(), QStringLiteral("Quarrow Vexolin -- b.bmp -- 1200 dpi -- Untitled trial *"));
    }

    void deletingCardOneKeepsTheFormerCardTwo()
    {
        auto w = makeWindow();
        addThree(*w);
        w->handleKey(Qt::Key_Delete, Qt::NoModifier);
        QCOMPARE(w->cardCount(), 2);
        QCOMPARE(w->currentCard(), 1);
        QCOMPARE(w->cards()[1].FileTitle, std::string("b.bmp"));
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->tabText(0), QStringLiteral("b.bmp"));
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->tabText(1), QStringLiteral("c.bmp"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Quarrow Vexolin -- b.bmp -- 1200 dpi -- Untitled trial *"));
        QCOMPARE(w->shownCard(), 1);
    }

    void closingTheOnlyCardRestoresTheEmptyState()
    {
        auto w = makeWindow();
        w->addCard(card("a.bmp"));
        w->selectCurrentTab();
        touch("clip00.bmp");
        touch("clip01.bmp");
        w->handleKey(Qt::Key_Delete, Qt::NoModifier);
        QCOMPARE(w->cardCount(), 0);
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->count(), 1);
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->tabText(0), QStringLiteral("<No Image>"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Quarrow Vexolin"));
        QVERIFY(test::child<QPushButton>(*w, "btnChangeRes")->isHidden());
        QVERIFY(!test::child<QPushButton>(*w, "btnScanColour")->isEnabled());
        QVERIFY(test::child<vex::ui::CardPicture>(*w, "Picture1")->image().isNull());
        QVERIFY(!QFile::exists(root.filePath("clip00.bmp")));
        QVERIFY(!QFile::exists(root.filePath("clip01.bmp")));
    }

    void fortyCardsKeepTheWindowOnTheScreen()
    {
        auto w = makeWindow();
        w->addCard(card("a.bmp"));
        w->selectCurrentTab();
        w->layout()->activate();
        const int oneCard = w->width();
        for (int i = 2; i <= 40; ++i)
            w->addCard(card(QStringLiteral("card%1.bmp").arg(i, 2, 10, QLatin1Char('0'))));
        w->layout()->activate();
        QCOMPARE(w->width(), oneCard);
        // The program is laid out for screens of 1280 pixels or more.
        QVERIFY(w->width() <= 1280);
        for (QWidget *b : {static_cast<QWidget *>(test::child<QPushButton>(*w, "btnScan")),
                           static_cast<QWidget *>(test::child<QPushButton>(*w, "btnScanAll"))})
            QVERIFY(w->rect().contains(QRect(b->mapTo(w.get(), QPoint(0, 0)), b->size())));
        // The last card is a key press away, and its tab scrolls into view.
        w->handleKey(Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(w->currentCard(), 40);
        QVERIFY(test::child<QTabBar>(*w, "ImageStrip")
                    ->rect()
                    .intersects(test::child<QTabBar>(*w, "ImageStrip")->tabRect(39)));
    }

    void closingAllLeavesLabelsAndTitleAsTheControlsAre()
    {
        auto w = makeWindow();
        addThree(*w);
        test::child<QSlider>(*w, "Slider1")->setValue(150);
        test::child<QSlider>(*w, "Slider2")->setValue(190);
        w->GraphOption_Click(3);
        w->handleKey(Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(test::child<QRadioButton>(*w, "GraphOption", 0)->isChecked());
        QCOMPARE(test::child<QGroupBox>(*w, "ResultFrame")->title(), QStringLiteral("Scan Results  (Volume Fraction)"));
        card("d.bmp");
        w->loadFiles(root.filePath("d.bmp").toStdString());
        QCOMPARE(w->cardCount(), 1);
        QCOMPARE(test::child<QLabel>(*w, "Label1")->text(),
                 QString::number(test::child<QSlider>(*w, "Slider1")->value()));
        QCOMPARE(test::child<QLabel>(*w, "Label2")->text(),
                 QString::number(test::child<QSlider>(*w, "Slider2")->value()));
        QCOMPARE(test::child<QLabel>(*w, "Label1")->text(), QStringLiteral("150"));
    }

    void ctrlDeleteClosesAll()
    {
        auto w = makeWindow();
        addThree(*w);
        w->selectCard(2);
        w->selectCurrentTab();
        QTest::keyClick(test::child<QSlider>(*w, "Slider1"), Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(w->cardCount(), 0);
        QCOMPARE(w->currentCard(), 1);
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->tabText(0), QStringLiteral("<No Image>"));
        QCOMPARE(w->findChildren<QLabel *>(QStringLiteral("CardLabel")).size(), 1);
    }

    void deleteDoesNothingInCompositeMode()
    {
        auto w = makeWindow();
        addThree(*w);
        test::child<QCheckBox>(*w, "CompositeCheck")->show();
        test::child<QCheckBox>(*w, "CompositeCheck")->setChecked(true);
        QTest::keyClick(test::child<QPushButton>(*w, "btnLoad"), Qt::Key_Delete);
        QTest::keyClick(test::child<QPushButton>(*w, "btnLoad"), Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(w->cardCount(), 3);
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->count(), 3);
        QTest::keyClick(test::child<QPushButton>(*w, "btnLoad"), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(w->currentCard(), 1);
    }

    void graphAndCompositeKeys()
    {
        auto w = makeWindow();
        addThree(*w);
        QVERIFY(w->handleKey(Qt::Key_3, Qt::ControlModifier));
        QVERIFY(test::child<QRadioButton>(*w, "GraphOption", 2)->isChecked());
        QVERIFY(w->handleKey(Qt::Key_C, Qt::ControlModifier));
        QVERIFY(!test::child<QCheckBox>(*w, "CompositeCheck")->isChecked()); // hidden: not toggled
        test::child<QCheckBox>(*w, "CompositeCheck")->show();
        // Known positions: the composite view opens without asking for them.
        w->sprayInfo()[vex::Sample_Position1] = "-10";
        w->sprayInfo()[vex::Sample_Interval] = "10";
        w->handleKey(Qt::Key_C, Qt::ControlModifier);
        QVERIFY(test::child<QCheckBox>(*w, "CompositeCheck")->isChecked());
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->tabText(0), QStringLiteral("Spray Line Statistics"));
        w->handleKey(Qt::Key_C, Qt::ControlModifier);
        QVERIFY(!test::child<QCheckBox>(*w, "CompositeCheck")->isChecked());
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->count(), 3);
        QVERIFY(!w->handleKey(Qt::Key_X, Qt::ControlModifier));
        QVERIFY(!w->handleKey(Qt::Key_Tab, Qt::AltModifier | Qt::ControlModifier));
    }

    void escapeCancelsARunningOperation()
    {
        auto w = makeWindow();
        // Its background is no index 0, so the pass asks for it and waits for
        // the answer: the keys are pressed while it is surely at work.
        w->addCard(card("large.bmp", 400, 300, 1));
        w->selectCurrentTab();
        w->preferences().DisableDitherWarning = true;
        // Pressed while the colour pass works, Delete leaves the card alone and Escape stops the pass.
        bool busyWhenPressed = false;
        test::whenOpen<ui::BackgroundColorForm>(w.get(), [&](ui::BackgroundColorForm &form) {
            busyWhenPressed = w->busy();
            QTest::keyClick(test::child<QPushButton>(*w, "btnLoad"), Qt::Key_Delete);
            QTest::keyClick(test::child<QPushButton>(*w, "btnLoad"), Qt::Key_Escape);
            form.accept();
        });
        w->btnScanColour_Click();
        QVERIFY(busyWhenPressed);
        QCOMPARE(w->cardCount(), 1);
        QVERIFY(!w->cards()[1].ColoursKnown);
        QVERIFY(!w->busy());
        // Closed meanwhile, the window stops the work and closes once it has stopped.
        test::MessageRecorder asked(QMessageBox::Discard);
        bool openWhileBusy = false;
        test::whenOpen<ui::BackgroundColorForm>(w.get(), [&](ui::BackgroundColorForm &form) {
            openWhileBusy = w->busy() && !w->close() && w->isVisible();
            form.accept();
        });
        w->btnScanColour_Click();
        QVERIFY(openWhileBusy);
        QVERIFY(!w->cards()[1].ColoursKnown);
        QTRY_VERIFY(!w->isVisible());
    }

    void closingWritesPreferencesAndRemovesTemporaries()
    {
        auto w = makeWindow();
        w->preferences().Analysis.Resolution = 600;
        w->preferences().InitialDir = "";
        touch("clip00.bmp");
        touch("clip12.bmp");
        touch("masktemp.bmp");
        touch("temp.bmp");
        w->addCard(card("a.bmp"));
        {
            // A card not saved in a trial: Cancel keeps the window, Discard closes it.
            test::MessageRecorder asked(QMessageBox::Cancel);
            QVERIFY(!w->close());
            asked.answer = QMessageBox::Discard;
            QVERIFY(w->close());
            QCOMPARE(asked.size(), 2);
            QCOMPARE(asked.front(), QStringLiteral("Save the changes to the trial first?"));
        }
        QCOMPARE(store.values().at({"Prefs", "DefaultRes"}), std::string("600"));
        QCOMPARE(store.values().at({"Settings", "InitialDir"}), std::string(" "));
        for (const char *gone : {"clip00.bmp", "clip12.bmp", "masktemp.bmp", "temp.bmp"})
            QVERIFY2(!QFile::exists(root.filePath(QString::fromLatin1(gone))), gone);
        QVERIFY(QFile::exists(root.filePath("a.bmp")));
        QCOMPARE(w->cardCount(), 0);
    }

    void aFailedSettingsWriteIsShownAndTheCloseFinishes()
    {
        FailingStore failing;
        module.RootDir = root.path().toStdString() + "/";
        test::MessageRecorder shown;
        {
            frmMain w(failing, module, 1024);
            w.show();
            QVERIFY(w.close());
            QVERIFY(!w.isVisible());
            QCOMPARE(w.unloadStatus().reason(), std::string("disk full"));
        }
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.titles.front() + ": " + shown.front(), QStringLiteral("Vexolin: Error: disk full"));
    }

    void preferencesAreReadWhenTheWindowIsCreated()
    {
        store.setRaw("Prefs", "DefaultRes", "2000");
        store.setRaw("Prefs", "LogAnalysis", "maybe");
        store.setRaw("Prefs", "SpreadFactor0", "-1e300");
        auto w = makeWindow();
        QCOMPARE(w->preferences().Analysis.Resolution, 2000);
        QVERIFY(w->preferences().Analysis.Log);
        QCOMPARE(w->resetSettings(),
                 (std::vector<std::string>{"Prefs/LogAnalysis = maybe", "Prefs/SpreadFactor0 = -1e300"}));
        QCOMPARE(module.SpreadFactor[0], 0.0);
        QCOMPARE(w->hueColours()[42].Green, std::uint8_t(255));
    }

    void foldersAndTheHueRangeOutliveTheSession()
    {
        const std::string saved = root.path().toStdString();
        auto w = makeWindow();
        test::child<QSlider>(*w, "Slider1")->setValue(150);
        test::child<QSlider>(*w, "Slider2")->setValue(190);
        test::child<QCheckBox>(*w, "HueInvertCheck")->setChecked(true);
        w->chooseTrialToSave = [&](std::string &path) { return path = saved + "/t.vexolin", true; };
        w->btnSaveTrialAs_Click();
        QVERIFY(w->close());
        store.setRaw("Settings", "InitialDir", "/no/such/folder/");
        auto again = makeWindow();
        QCOMPARE(again->preferences().SaveDir, saved + "/");
        QCOMPARE(again->preferences().InitialDir, ui::firstRunFolder());
        QCOMPARE(again->analysisSettings().Scan.HueLow, std::uint8_t(150));
        QCOMPARE(again->analysisSettings().Scan.HueHigh, std::uint8_t(190));
        QVERIFY(again->analysisSettings().Scan.HueInvert);
        QVERIFY(!again->trialModified());
        store.setRaw("Prefs", "HueHigh", "256");
        QCOMPARE(makeWindow()->analysisSettings().Scan.HueHigh, std::uint8_t(255));
    }
};

QTEST_MAIN(tst_frmMain)
#include "tst_frmMain.moc"
