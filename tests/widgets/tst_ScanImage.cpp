// Scanning cards from the main window: results, log, messages, composite
// check box and the largest scanned diameter.

#include "app/ui/CardPicture.h"
#include "app/ui/StainOverlay.h"
#include "app/ui/frmMain.h"
#include "app/ui/frmPrefs.h"
#include "intake/ui/frmResolution.h"
#include "support/MessageRecorder.h"
#include "support/WindowHelpers.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <memory>

using namespace vex;
using vex::ui::frmMain;

class tst_ScanImage : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    MemorySettingsStore store;
    ModuleState module;
    test::MessageRecorder messages{QMessageBox::Yes};

    std::string folder() const { return dir.path().toStdString() + "/"; }

    std::unique_ptr<frmMain> window()
    {
        auto w = test::openWindow(store, module, folder());
        w->preferences().Analysis.Resolution = 1200;
        // The colour questions are tested with their windows; here they would wait for a user.
        w->preferences().DisableBackgroundWarning = true;
        w->preferences().DisableDitherWarning = true;
        return w;
    }

    // A card with a white background, a little grey dither, blue squares
    // of the given sides and one yellow speck.
    void writeCard(const QString &name, const QList<int> &sides, bool yellowSpeck = true, int dpi = 0)
    {
        QImage image(120, 60, QImage::Format_Indexed8);
        image.setDotsPerMeterX(qRound(dpi / 0.0254));
        image.setDotsPerMeterY(qRound(dpi / 0.0254));
        QList<QRgb> table(256, qRgb(0, 0, 0));
        table[1] = qRgb(255, 255, 255);
        table[2] = qRgb(250, 250, 250);
        table[3] = qRgb(0, 0, 255);
        table[4] = qRgb(255, 255, 0);
        image.setColorTable(table);
        image.fill(1);
        for (int y = 0; y < 60; y += 2)
            for (int x = (y / 2) % 3; x < 120; x += 3)
                image.setPixel(x, y, 2);
        int left = 2;
        for (const int side : sides) {
            for (int y = 10; y < 10 + side; ++y)
                for (int x = left; x < left + side; ++x)
                    image.setPixel(x, y, 3);
            left += side + 4;
        }
        if (yellowSpeck)
            image.setPixel(110, 50, 4);
        QVERIFY(image.save(dir.filePath(name), "BMP"));
    }

    QByteArray readLog(const QString &name)
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        messages.clear();
        store.clear();
        QFile::remove(dir.filePath("a.scn"));
        QFile::remove(dir.filePath("b.scn"));
    }

    void scanFillsTheCardAndWritesItsLog()
    {
        writeCard("a.bmp", {3, 3, 5});
        auto w = window();
        w->loadFiles(folder() + "a.bmp");
        QVERIFY(w->runColourPassFor(1));
        test::child<QSlider>(*w, "Slider1")->setValue(150);
        test::child<QSlider>(*w, "Slider2")->setValue(190);
        w->btnScan_Click();
        const CardRecord &card = w->cards()[1];
        QVERIFY(card.Scanned);
        QCOMPARE(int(card.Stains.size()), 3);
        QCOMPARE(card.Stains[1].Area, 9);
        QCOMPARE(card.Stains[1].Count, 2);
        QCOMPARE(card.Stains[2].Area, 25);
        QCOMPARE(card.RejectedCount, 1); // the yellow speck
        QVERIFY(test::child<QGroupBox>(*w, "ResultFrame")->isVisible());
        QVERIFY(test::child<QLabel>(*w, "VMDLabel")->text().endsWith(QString::fromUtf8(" \u00b5m")));
        QCOMPARE(test::child<QLabel>(*w, "VMDLabel")->text(),
                 QString::number(card.VMD, 'f', 1) + QString::fromUtf8(" \u00b5m"));
        QVERIFY(!test::child<QProgressBar>(*w, "ProgressBar1")->isVisible());
        QVERIFY(!test::child<QPushButton>(*w, "btnCancel")->isEnabled());
        QVERIFY(test::child<QPushButton>(*w, "btnChangeRes")->isEnabled());
        QCOMPARE(w->maxScannedDiameter(), card.LargestDiameter);
        const QByteArray log = readLog("a.scn");
        QVERIFY(log.startsWith("Vexolin -- Quarrow Droplet Analysis Program\r\n"));
        QVERIFY(log.contains("Hue Range:                  150 to 190\r\n"));
        QVERIFY(messages.isEmpty());
    }

    void aCardsFiguresSayTheSmallestDropItsResolutionShows()
    {
        auto w = test::lineWindow(store, module, folder(), 1, {}, "small");
        w->btnScanAll_Click();
        // Three pixels at 600 dpi are a 127 um stain, by the spread factor 0.56 a 71.1 um drop.
        QCOMPARE(test::child<QLabel>(*w, "SmallestDropLabel")->text(),
                 QString::fromUtf8("Smallest detectable drop: 71 \u00b5m"));
    }

    void theOverlapEstimateIsShownUnderACardThatIsNotDenseWhenAskedFor()
    {
        auto w = test::lineWindow(store, module, folder(), 1, {}, "estimate");
        w->btnScanAll_Click();
        const auto *left = test::child<QLabel>(*w, "RejectedLabel");
        const QString estimate = QString::fromStdString(overlapEstimateText(w->cards()[1], true));
        QVERIFY(estimate.endsWith(QStringLiteral(" L/ha (95 %)")) && !left->text().contains(estimate));
        test::whenOpen<ui::frmPrefs>(w.get(), [](ui::frmPrefs &p) {
            p.OverlapEstimateCheck->click();
            p.AcceptButton->click();
        });
        w->btnPrefs_Click();
        QVERIFY2(left->text().endsWith(QStringLiteral("\n") + estimate), qPrintable(left->text()));
    }

    void cardWithoutValidStainsIsScannedWithAMessage()
    {
        writeCard("b.bmp", {4});
        auto w = window();
        w->loadFiles(folder() + "b.bmp");
        QVERIFY(w->runColourPassFor(1));
        w->preferences().Analysis.Log = false;
        test::child<QSlider>(*w, "Slider1")->setValue(0);
        test::child<QSlider>(*w, "Slider2")->setValue(10); // red: nothing on the card
        w->btnScan_Click();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.front(), QStringLiteral("Vexolin did not find any\nvalid spots on this card."));
        QVERIFY(w->cards()[1].Scanned);
        QCOMPARE(int(w->cards()[1].Stains.size()), 1);
        QCOMPARE(w->cards()[1].RejectedCount, 2);
        QVERIFY(readLog("b.scn").isEmpty()); // logging was off
    }

    void scanAllRunsTheColourPassFirstAndShowsTheCompositeCheck()
    {
        writeCard("a.bmp", {3});
        writeCard("b.bmp", {6, 2});
        auto w = window();
        w->loadFiles(QStringList{dir.filePath(QStringLiteral("a.bmp")), dir.filePath(QStringLiteral("b.bmp"))});
        QCOMPARE(w->cardCount(), 2);
        const int current = w->currentCard();
        w->btnScanAll_Click();
        QVERIFY(w->cards()[1].ColoursKnown && w->cards()[2].ColoursKnown);
        QVERIFY(w->cards()[1].Scanned && w->cards()[2].Scanned);
        QCOMPARE(w->currentCard(), current);
        QVERIFY(test::child<QCheckBox>(*w, "CompositeCheck")->isVisible());
        QCOMPARE(w->maxScannedDiameter(), std::max(w->cards()[1].LargestDiameter, w->cards()[2].LargestDiameter));
        QVERIFY(!readLog("b.scn").isEmpty());
    }

    void aCardRewrittenDuringItsColourPassIsRefused()
    {
        writeCard("a.bmp", {3});
        auto w = window();
        w->loadFiles(folder() + "a.bmp");
        w->preferences().DisableBackgroundWarning = false;
        // The question waits for its answer while the pass holds the file's rows.
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            if (auto *question = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                writeCard("a.bmp", {5});
                question->accept();
            }
        });
        answer.start(1);
        QVERIFY(!w->runColourPassFor(1));
        QVERIFY(!w->cards()[1].ColoursKnown);
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages.front().contains(QStringLiteral("changed while it was read")));
    }

    void logThatCannotBeWrittenLeavesTheResults()
    {
        writeCard("a.bmp", {3});
        auto w = window();
        w->loadFiles(folder() + "a.bmp");
        QVERIFY(w->runColourPassFor(1));
        // A folder where the log should be makes the log impossible to write.
        QVERIFY(QDir(dir.path()).mkpath("a.scn"));
        w->btnScan_Click();
        QDir(dir.filePath("a.scn")).removeRecursively();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages.front().contains(QStringLiteral("a.scn")));
        QVERIFY(w->cards()[1].Scanned);
        QCOMPARE(int(w->cards()[1].Stains.size()), 3); // the square and the speck
    }

    void figuresOfAnotherResolutionThanTheFileOrOfChangedSettingsAreMarkedUntilScannedAgain()
    {
        writeCard("r.bmp", {3, 5}, true, 600);
        auto w = window();
        w->preferences().Analysis.Log = false;
        w->loadFiles(folder() + "r.bmp");
        QVERIFY(w->runColourPassFor(1));
        test::child<QSlider>(*w, "Slider1")->setValue(150);
        test::child<QSlider>(*w, "Slider2")->setValue(190);
        w->btnScan_Click();
        auto *strip = test::child<QTabBar>(*w, "ImageStrip");
        auto *stale = test::child<QLabel>(*w, "StaleLabel");
        const QString mismatch = QStringLiteral("file records 600 dpi, analysed at 1200 dpi");
        QVERIFY(strip->tabToolTip(0) == mismatch && strip->tabButton(0, QTabBar::RightSide));
        QVERIFY(stale->isVisible() && stale->text() == mismatch);
        // The resolution put right, the question answered No: the figures are still those of 1200 dpi.
        messages.answer = QMessageBox::No;
        test::whenOpen<ui::frmResolution>(w.get(), [](ui::frmResolution &r) {
            r.ResolutionList->setCurrentCell(0, 1);
            QTest::keyClicks(r.ResolutionList, "6");
            QTest::keyClicks(r.CellEditText, "00");
            QTest::keyClick(r.CellEditText, Qt::Key_Return);
            r.AcceptButton->click();
        });
        w->btnChangeRes_Click();
        QCOMPARE(w->cards()[1].Resolution, 600);
        QCOMPARE(stale->text(), mismatch + QStringLiteral("\nfigures from 1200 dpi: scan again"));
        test::child<QSlider>(*w, "Slider1")->setValue(140);
        QVERIFY(strip->tabToolTip(0).endsWith(QStringLiteral("figures from 1200 dpi, hues 150 to 190: scan again")));
        w->btnScan_Click();
        QVERIFY(!stale->isVisible() && strip->tabToolTip(0).isEmpty() && !strip->tabButton(0, QTabBar::RightSide));
    }

    void scanAllProgressCountsCardsDoneOfAll()
    {
        for (const char *name : {"p1.bmp", "p2.bmp", "p3.bmp"})
            writeCard(QString::fromLatin1(name), {3, 6});
        auto w = window();
        w->preferences().Analysis.Log = false;
        w->loadFiles(QStringList{dir.filePath("p1.bmp"), dir.filePath("p2.bmp"), dir.filePath("p3.bmp")});
        QVERIFY(w->runColourPassFor(2)); // one card with its colours known, two without
        auto *bar = test::child<QProgressBar>(*w, "ProgressBar1");
        QList<double> shown;
        connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
            if (bar->maximum() > 0)
                shown << double(value) / bar->maximum();
        });
        w->btnScanAll_Click();
        QVERIFY(w->cards()[1].Scanned && w->cards()[2].Scanned && w->cards()[3].Scanned);
        QVERIFY(std::is_sorted(shown.begin(), shown.end()));
        for (const double boundary : {1.0 / 3, 2.0 / 3, 1.0})
            QVERIFY(std::any_of(shown.begin(), shown.end(), [&](double v) { return qAbs(v - boundary) < 1e-3; }));
    }

    void overlayOutlinesTheStainsAndNamesTheOnePointedAt()
    {
        writeCard("o.bmp", {3, 5});
        auto w = window();
        w->preferences().Analysis.Log = false;
        w->loadFiles(folder() + "o.bmp");
        QVERIFY(w->runColourPassFor(1));
        test::child<QSlider>(*w, "Slider1")->setValue(150);
        test::child<QSlider>(*w, "Slider2")->setValue(190);
        w->btnScan_Click();
        auto *picture = test::child<ui::CardPicture>(*w, "Picture1");
        const QImage overlay = picture->overlay();
        QCOMPARE(overlay.size(), picture->image().size());
        // The 5-pixel square at columns 9-13, rows 10-14: outlined, its
        // middle clear; the yellow speck rejected.
        QCOMPARE(overlay.pixel(9, 14), ui::StainOverlay::colour(OutlineCode::Accepted));
        QCOMPARE(qAlpha(overlay.pixel(11, 12)), 0);
        QCOMPARE(overlay.pixel(110, 50), ui::StainOverlay::colour(OutlineCode::NoValidHue));
        picture->setView(ui::CardPicture::View{2.0, false, QPointF(0, 0)});
        auto pointAt = [picture](QPointF image) {
            const QPointF at = (image - picture->view().Origin) * picture->scale() + picture->margin();
            QMouseEvent move(QEvent::MouseMove, at, picture->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                             Qt::NoModifier);
            QApplication::sendEvent(picture, &move);
            return picture->toolTip();
        };
        const QString row = pointAt(QPointF(12.5, 11.5));
        QVERIFY2(row.contains(QStringLiteral(": accepted")) && row.contains(QStringLiteral("Area 25 pixels")),
                 qPrintable(row));
        QVERIFY(pointAt(QPointF(7.5, 11.5)).isEmpty()); // the card between the squares
        w->handleKey(Qt::Key_D, Qt::ControlModifier);
        QVERIFY(!test::child<QToolButton>(*w, "btnOverlay")->isChecked());
        QVERIFY(picture->overlay().isNull());
        QVERIFY(pointAt(QPointF(12.5, 11.5)).isEmpty());
    }
};

QTEST_MAIN(tst_ScanImage)
#include "tst_ScanImage.moc"
