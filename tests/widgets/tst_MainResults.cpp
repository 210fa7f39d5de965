// The result graph, hue range, mask and preferences as the main window runs
// them, on a generated card with known stains.

#include "analysis/ColourMask.h"
#include "analysis/ResultGraph.h"
#include "analysis/ui/HueHistogramView.h"
#include "analysis/ui/ResultGraphView.h"
#include "app/ui/CardPicture.h"
#include "app/ui/frmMain.h"
#include "app/ui/frmPrefs.h"
#include "support/MessageRecorder.h"
#include "support/WindowHelpers.h"
#include "tools/cardgen/CardGenerator.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace vex;
using vex::ui::frmMain;

class tst_MainResults : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    MemorySettingsStore store;
    ModuleState module;
    test::MessageRecorder messages{QMessageBox::Ok};

    std::string folder() const { return dir.path().toStdString() + "/"; }

    std::unique_ptr<frmMain> scannedWindow()
    {
        cardgen::CardSpec spec;
        spec.Width = 300;
        spec.Height = 400;
        auto w = test::lineWindow(store, module, folder(), 1, spec, "card");
        if (!w)
            return nullptr;
        w->btnScanColour_Click();
        test::child<QSlider>(*w, "Slider1")->setValue(150);
        test::child<QSlider>(*w, "Slider2")->setValue(190);
        w->btnScan_Click();
        return w;
    }

    static QPoint pixelOf(frmMain &w, double x, double y)
    {
        const GraphMapping m = test::child<vex::ui::ResultGraphView>(w, "ResultPic")->mapping();
        return QPoint(static_cast<int>(std::lround(m.pixelX(x))), static_cast<int>(std::lround(m.pixelY(y))));
    }

    static void moveWithButton(QWidget *widget, QPoint at, Qt::MouseButtons buttons)
    {
        QMouseEvent move(QEvent::MouseMove, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::NoButton, buttons,
                         Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }

private slots:
    void init() { messages.clear(); }

    void scanShowsTheGraphAndItsLabels()
    {
        auto w = scannedWindow();
        QVERIFY(w);
        const CardRecord &card = w->cards()[1];
        QVERIFY(card.Scanned);
        const GraphPicture &p = test::child<vex::ui::ResultGraphView>(*w, "ResultPic")->picture();
        QVERIFY(p.HasGraph);
        QCOMPARE(p.Mapping.Right, double(card.LargestDiameter));
        QCOMPARE(p.Vmd, card.VMD);
        QCOMPARE(test::child<QLabel>(*w, "ResultLabelX1")->text(), QStringLiteral("0.0"));
        QCOMPARE(test::child<QLabel>(*w, "ResultLabelX2")->text(), QString::number(card.LargestDiameter, 'f', 1));
        const HistogramLabels l = histogramLabels(p.Mapping.Right, p.Mapping.Top, 1);
        QCOMPARE(test::child<QLabel>(*w, "ResultLabelY2")->text(), QString::fromStdString(l.Y2));
        QCOMPARE(test::child<QLabel>(*w, "ResultLabelY1")->text(), QStringLiteral("0%"));
        QCOMPARE(test::child<QLabel>(*w, "VMDLabel")->text(),
                 QString::number(card.VMD, 'f', 1) + QString::fromUtf8(" \u00b5m"));
    }

    void graphOptionsChangeTheCaptionAndTheScale()
    {
        auto w = scannedWindow();
        QVERIFY(w);
        const CardRecord &card = w->cards()[1];
        QTest::mouseClick(test::child<QRadioButton>(*w, "GraphOption", 2), Qt::LeftButton, {},
                          QPoint(6, test::child<QRadioButton>(*w, "GraphOption", 2)->height() / 2));
        QCOMPARE(w->graphMode(), 3);
        QCOMPARE(test::child<QGroupBox>(*w, "ResultFrame")->title(),
                 QString::fromUtf8("Scan Results  (drops/cm\u00b2)"));
        QCOMPARE(test::child<vex::ui::ResultGraphView>(*w, "ResultPic")->picture().Mapping.Top,
                 densityTop(card.MaxClassCount, card.CardArea));
        QCOMPARE(test::child<QLabel>(*w, "ResultLabelY1")->text(), QStringLiteral("0"));
        QTest::mouseClick(test::child<QRadioButton>(*w, "GraphOption", 1), Qt::LeftButton, {},
                          QPoint(6, test::child<QRadioButton>(*w, "GraphOption", 1)->height() / 2));
        QCOMPARE(test::child<QGroupBox>(*w, "ResultFrame")->title(),
                 QStringLiteral("Scan Results  (Cumulative Volume Fraction)"));
        QCOMPARE(test::child<QLabel>(*w, "ResultLabelY2")->text(), QStringLiteral("100%"));
        // Ctrl+1 chooses the first option like a click.
        QVERIFY(w->handleKey(Qt::Key_1, Qt::ControlModifier));
        QCOMPARE(w->graphMode(), 1);
        QCOMPARE(test::child<QGroupBox>(*w, "ResultFrame")->title(), QStringLiteral("Scan Results  (Volume Fraction)"));
    }

    void leftAndRightButtonsSetTheRangeEnds()
    {
        auto w = scannedWindow();
        QVERIFY(w);
        const double right = test::child<vex::ui::ResultGraphView>(*w, "ResultPic")->mapping().Right;
        const QPoint at = pixelOf(*w, right * 0.5, 0.0);
        QTest::mousePress(test::child<vex::ui::ResultGraphView>(*w, "ResultPic"), Qt::LeftButton, {}, at);
        const float low = w->rangeLow();
        QVERIFY(std::abs(low - right * 0.5) < right / 100.0);
        QVERIFY(test::child<QLabel>(*w, "SizeRangeLabel")->isVisible());
        QCOMPARE(test::child<QLabel>(*w, "SizeRangeLabel")->text(), QString::number(low, 'f', 0));
        QTest::mouseRelease(test::child<vex::ui::ResultGraphView>(*w, "ResultPic"), Qt::LeftButton, {}, at);
        QVERIFY(!test::child<QLabel>(*w, "SizeRangeLabel")->isVisible());
        // The range now cuts the small drops off: the labels show the range.
        QCOMPARE(test::child<QLabel>(*w, "VMDLabel")->text(),
                 QString::number(w->singleRange().VMD, 'f', 1) + QString::fromUtf8(" \u00b5m"));
        QCOMPARE(w->currentVmd(), w->singleRange().VMD);
        QCOMPARE(test::child<vex::ui::ResultGraphView>(*w, "ResultPic")->picture().BandLow, double(low));

        // The right end below the left one pulls it 1 um below.
        const QPoint lower = pixelOf(*w, right * 0.25, 0.0);
        QTest::mousePress(test::child<vex::ui::ResultGraphView>(*w, "ResultPic"), Qt::RightButton, {}, lower);
        QTest::mouseRelease(test::child<vex::ui::ResultGraphView>(*w, "ResultPic"), Qt::RightButton, {}, lower);
        QCOMPARE(w->rangeLow(), w->rangeHigh() - 1.0f);
        // With a modifier nothing changes.
        const float before = w->rangeHigh();
        QTest::mousePress(test::child<vex::ui::ResultGraphView>(*w, "ResultPic"), Qt::RightButton, Qt::ShiftModifier,
                          pixelOf(*w, right * 0.9, 0.0));
        QCOMPARE(w->rangeHigh(), before);
    }

    void draggingBeyondTheLargestDiameterIsClamped()
    {
        auto w = scannedWindow();
        QVERIFY(w);
        const QPoint start = pixelOf(*w, 10.0, 0.0);
        QTest::mousePress(test::child<vex::ui::ResultGraphView>(*w, "ResultPic"), Qt::RightButton, {}, start);
        moveWithButton(test::child<vex::ui::ResultGraphView>(*w, "ResultPic"),
                       QPoint(test::child<vex::ui::ResultGraphView>(*w, "ResultPic")->width() + 40, 20),
                       Qt::RightButton);
        QCOMPARE(w->rangeHigh(), w->maxScannedDiameter());
        QCOMPARE(test::child<QLabel>(*w, "SizeRangeLabel")->text(), QString::number(w->maxScannedDiameter(), 'f', 1));
        QVERIFY(test::child<vex::ui::ResultGraphView>(*w, "ResultPic")
                    ->toolTip()
                    .startsWith(QString::number(std::floor(w->maxScannedDiameter()))));
        QTest::mouseRelease(test::child<vex::ui::ResultGraphView>(*w, "ResultPic"), Qt::RightButton, {}, start);
        // The whole spectrum again: the card's own VMD.
        QCOMPARE(w->currentVmd(), w->cards()[1].VMD);
        w->preferences().MouseCoords = false;
        moveWithButton(test::child<vex::ui::ResultGraphView>(*w, "ResultPic"), start, Qt::NoButton);
        QVERIFY(test::child<vex::ui::ResultGraphView>(*w, "ResultPic")->toolTip().isEmpty());
    }

    void maskChangesOnlyTheColourTable()
    {
        auto w = scannedWindow();
        QVERIFY(w);
        const CardRecord &card = w->cards()[1];
        const QImage before = test::child<vex::ui::CardPicture>(*w, "Picture1")->image();
        QTest::mouseClick(test::child<QCheckBox>(*w, "MaskCheck"), Qt::LeftButton, {},
                          QPoint(6, test::child<QCheckBox>(*w, "MaskCheck")->height() / 2));
        QVERIFY(test::child<QCheckBox>(*w, "MaskCheck")->isChecked());
        const QList<QRgb> table = test::child<vex::ui::CardPicture>(*w, "Picture1")->colourTable();
        QCOMPARE(table.size(), before.colorCount());
        QCOMPARE(table[card.BackgroundIndex], qRgb(0, 0, 0));
        QCOMPARE(table[card.DitherIndex], qRgb(0, 0, 0));
        const QRgb blue = before.color(cardgen::FirstStainIndex);
        QCOMPARE(table[cardgen::FirstStainIndex], blue);
        QCOMPARE(table[cardgen::FirstDustIndex], qRgb(0, 0, 0)); // yellow dust is outside 150..190
        QVERIFY(test::child<vex::ui::CardPicture>(*w, "Picture1")->image().constBits() ==
                before.constBits()); // pixels untouched
        QCOMPARE(test::child<vex::ui::CardPicture>(*w, "Picture1")->shownImage().pixel(0, 0), qRgb(0, 0, 0));

        QTest::mouseClick(test::child<QRadioButton>(*w, "BackColorOption", 1), Qt::LeftButton, {},
                          QPoint(6, test::child<QRadioButton>(*w, "BackColorOption", 1)->height() / 2));
        QCOMPARE(test::child<vex::ui::CardPicture>(*w, "Picture1")->colourTable()[card.BackgroundIndex],
                 qRgb(255, 255, 255));

        // A narrower range masks the blue as well.
        test::child<QSlider>(*w, "Slider1")->setValue(100);
        test::child<QSlider>(*w, "Slider2")->setValue(120);
        QCOMPARE(test::child<vex::ui::CardPicture>(*w, "Picture1")->colourTable()[cardgen::FirstStainIndex],
                 qRgb(255, 255, 255));
        QTest::mouseClick(test::child<QCheckBox>(*w, "HueInvertCheck"), Qt::LeftButton, {},
                          QPoint(6, test::child<QCheckBox>(*w, "HueInvertCheck")->height() / 2));
        QCOMPARE(test::child<vex::ui::CardPicture>(*w, "Picture1")->colourTable()[cardgen::FirstStainIndex], blue);
        QCOMPARE(test::child<vex::ui::HueHistogramView>(*w, "HistogramPic")->histogram().ValidBands.size(),
                 std::size_t{2});

        QTest::mouseClick(test::child<QCheckBox>(*w, "MaskCheck"), Qt::LeftButton, {},
                          QPoint(6, test::child<QCheckBox>(*w, "MaskCheck")->height() / 2));
        QVERIFY(test::child<vex::ui::CardPicture>(*w, "Picture1")->colourTable().isEmpty());
        QCOMPARE(test::child<vex::ui::CardPicture>(*w, "Picture1")->shownImage().pixel(0, 0), before.pixel(0, 0));
    }

    void slidersKeepTheRangeOrdered()
    {
        auto w = scannedWindow();
        QVERIFY(w);
        test::child<QSlider>(*w, "Slider1")->setValue(190);
        QCOMPARE(test::child<QSlider>(*w, "Slider2")->value(), 191);
        QCOMPARE(test::child<QLabel>(*w, "Label2")->text(), QStringLiteral("191"));
        test::child<QSlider>(*w, "Slider2")->setValue(100);
        QCOMPARE(test::child<QSlider>(*w, "Slider1")->value(), 99);
        QCOMPARE(test::child<QLabel>(*w, "Label1")->text(), QStringLiteral("99"));
        // Keys on the slider, as a user moves it.
        test::child<QSlider>(*w, "Slider1")->setFocus();
        test::child<QSlider>(*w, "Slider1")->setValue(99);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(test::child<QSlider>(*w, "Slider1"), Qt::Key_Right);
        // 99 -> 102, pushing the upper end along from 100 to 103.
        QCOMPARE(test::child<QSlider>(*w, "Slider1")->value(), 102);
        QCOMPARE(test::child<QSlider>(*w, "Slider2")->value(), 103);
        QVERIFY(w->hueRangeReady());
    }

    void histogramClicksSetTheSliders()
    {
        auto w = scannedWindow();
        QVERIFY(w);
        const int x = static_cast<int>(
            std::lround(160.0 / 255.0 * (test::child<vex::ui::HueHistogramView>(*w, "HistogramPic")->width() - 1)));
        QTest::mouseClick(test::child<vex::ui::HueHistogramView>(*w, "HistogramPic"), Qt::LeftButton, {},
                          QPoint(x, 10));
        QCOMPARE(test::child<QSlider>(*w, "Slider1")->value(), 160);
        const int x2 = static_cast<int>(
            std::lround(180.0 / 255.0 * (test::child<vex::ui::HueHistogramView>(*w, "HistogramPic")->width() - 1)));
        QTest::mouseClick(test::child<vex::ui::HueHistogramView>(*w, "HistogramPic"), Qt::RightButton, {},
                          QPoint(x2, 10));
        QCOMPARE(test::child<QSlider>(*w, "Slider2")->value(), 180);
        QCOMPARE(test::child<vex::ui::HueHistogramView>(*w, "HistogramPic")->histogram().ValidBands.front().From, 160);
        // The stain pixels' hues are in the histogram.
        const CardRecord &card = w->cards()[1];
        QCOMPARE(test::child<vex::ui::HueHistogramView>(*w, "HistogramPic")->histogram().Counts[170],
                 card.HueCount[170]);
    }

    void changingUnitsInThePreferencesRelabelsTheVolume()
    {
        auto w = scannedWindow();
        QVERIFY(w);
        QVERIFY(test::child<QLabel>(*w, "VolumeLabel")->text().endsWith(QStringLiteral(" L/ha")));
        QTimer::singleShot(0, this, [] {
            auto *prefs = qobject_cast<vex::ui::frmPrefs *>(QApplication::activeModalWidget());
            QVERIFY(prefs);
            prefs->UnitsOption[1]->setChecked(true);
            prefs->AcceptButton->click();
        });
        w->btnPrefs_Click();
        QVERIFY(!w->module().Metric);
        QVERIFY(test::child<QLabel>(*w, "VolumeLabel")->text().endsWith(QStringLiteral(" oz/ac")));
    }
};

QTEST_MAIN(tst_MainResults)
#include "tst_MainResults.moc"
