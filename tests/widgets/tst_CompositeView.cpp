// The composite view of the main window and the results file it writes.

#include "analysis/DropStatistics.h"
#include "app/ui/frmMain.h"
#include "line/ui/SprayInfoForm.h"
#include "line/ui/SprayLineGraphView.h"
#include "line/ui/SwathGraphView.h"
#include "line/ui/frmCardPos.h"
#include "report/ui/frmPreview2.h"
#include "support/MessageRecorder.h"
#include "support/WindowHelpers.h"
#include "tools/cardgen/CardGenerator.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace vex;
using vex::ui::frmMain;

class tst_CompositeView : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    MemorySettingsStore store;
    ModuleState module;
    test::MessageRecorder messages{QMessageBox::Yes};

    std::string folder() const { return dir.path().toStdString() + "/"; }

    std::unique_ptr<frmMain> scannedLine(int count, bool scan = true)
    {
        cardgen::CardSpec base;
        base.Width = 160;
        base.Height = 240;
        base.Discs = 120;
        auto w = test::lineWindow(store, module, folder(), count, base, "v");
        if (w && scan)
            w->btnScanAll_Click();
        if (w) {
            w->sprayInfo()[Sample_Position1] = "-10";
            w->sprayInfo()[Sample_Interval] = "10";
        }
        return w;
    }

    template <typename Dialog>
    void whenOpen(std::function<void(Dialog &)> act)
    {
        test::whenOpen<Dialog>(this, act);
    }

    void acceptSprayInfo()
    {
        whenOpen<vex::ui::SprayInfoForm>([](vex::ui::SprayInfoForm &f) {
            f.SampleInput[0]->setText(QStringLiteral("-10"));
            f.SampleInput[1]->setText(QStringLiteral("10"));
            f.AcceptButton->click();
        });
    }

    QByteArray read(const QString &name)
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        messages.clear();
        store.clear();
        messages.answer = QMessageBox::Yes;
    }

    // One pipeline: the window and the batch tool, given the same cards and
    // settings, write the same scan logs and results files to the byte.
    void windowAndBatchToolWriteTheSameBytes()
    {
        auto w = scannedLine(3, false);
        w->preferences().Analysis.Log = true;
        w->btnScanAll_Click();
        test::child<QCheckBox>(*w, "CompositeCheck")->click();
        for (const char *name : {"window.txt", "window.csv"}) {
            acceptSprayInfo();
            QVERIFY(w->writeResults(folder() + name, 1));
        }
        QDir(dir.path()).mkdir(QStringLiteral("batch"));
        QStringList cards;
        for (int i = 1; i <= 3; ++i) {
            const QString card = QStringLiteral("v%1.bmp").arg(i);
            QVERIFY(QFile::copy(dir.filePath(card), dir.filePath(QStringLiteral("batch/") + card)));
            cards << dir.filePath(QStringLiteral("batch/") + card);
        }
        for (const char *name : {"batch.txt", "batch.csv"}) {
            QProcess batch;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("HOME"), dir.path());
            env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
            batch.setProcessEnvironment(env);
            batch.start(QStringLiteral(VEXOLIN_BATCH_PATH),
                        QStringList{QStringLiteral("--dpi=600"), QStringLiteral("--hue=150-190"),
                                    QStringLiteral("--log"), QStringLiteral("--positions=-10,10"),
                                    QStringLiteral("--results"),
                                    dir.filePath(QStringLiteral("batch/") + QString::fromLatin1(name))} +
                            cards);
            QVERIFY(batch.waitForFinished(60000));
            QCOMPARE(batch.exitCode(), 0);
        }
        for (int i = 1; i <= 3; ++i) {
            const QString log = QStringLiteral("v%1.scn").arg(i);
            QVERIFY(!read(log).isEmpty());
            QCOMPARE(read(QStringLiteral("batch/") + log), read(log));
        }
        QCOMPARE(read(QStringLiteral("batch/batch.txt")), read(QStringLiteral("window.txt")));
        QCOMPARE(read(QStringLiteral("batch/batch.csv")), read(QStringLiteral("window.csv")));
        QVERIFY(read(QStringLiteral("window.csv")).contains("\r\n3,10,"));
        for (const char *name : {"window.txt", "window.csv"})
            QFile::remove(dir.filePath(QString::fromLatin1(name)));
        QDir(dir.filePath(QStringLiteral("batch"))).removeRecursively();
    }

    void twoCardsOfferOnlyTheSprayLine()
    {
        auto w = scannedLine(2);
        QVERIFY(test::child<QCheckBox>(*w, "CompositeCheck")->isVisible());
        test::child<QCheckBox>(*w, "CompositeCheck")->click();
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->count(), 1);
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->tabText(0), QStringLiteral("Spray Line Statistics"));
        QVERIFY(test::child<vex::ui::SprayLineGraphView>(*w, "SprayLineView")->isVisible());
        QVERIFY(!test::child<QPushButton>(*w, "btnScan")->isEnabled());
        QVERIFY(!test::child<QSlider>(*w, "Slider1")->isEnabled());
        QVERIFY(test::child<QPushButton>(*w, "btnWriteComposite")->isVisible());
        QVERIFY(test::child<QPushButton>(*w, "btnPrint")->isVisible());
        QCOMPARE(w->windowTitle(), QStringLiteral("Quarrow Vexolin -- Composite Results -- Untitled trial *"));
        QCOMPARE(w->cards()[2].Position, 0.0f);
        QCOMPARE(int(test::child<vex::ui::SprayLineGraphView>(*w, "SprayLineView")->picture().Cards.size()), 2);
    }

    void threeCardsAddTheSwathAnalysis()
    {
        auto w = scannedLine(3);
        test::child<QCheckBox>(*w, "CompositeCheck")->click();
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->count(), 2);
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->tabText(1), QStringLiteral("Swath Analysis"));
        // The pooled spectrum's figures, and its intervals when asked for.
        w->preferences().ConfidenceIntervals = true;
        auto *words = test::child<QLabel>(*w, "SpectrumLabel");
        QVERIFY(words->text().startsWith(QStringLiteral("Dv0.1 / Dv0.9: ")));
        // The line's spray quality class, said to come from the cards.
        auto *quality = test::child<QLabel>(*w, "QualityLabel");
        QVERIFY(quality->isVisible() && quality->text().contains(QStringLiteral("Spray quality: ")) &&
                quality->text().contains(QStringLiteral("from the cards")));
        test::child<QTabBar>(*w, "ImageStrip")->setCurrentIndex(1);
        QVERIFY(test::child<vex::ui::SwathGraphView>(*w, "SwathView")->isVisible());
        QCOMPARE(test::child<vex::ui::SwathGraphView>(*w, "SwathView")->widthButtons(), 2);
        QCOMPARE(test::child<QLabel>(*w, "InfoLabel", 0)->text(), QStringLiteral("COV:"));
        // The proposal in words, where the pattern lies, the COV's interval
        // and the effective swath at the COV target.
        const QStringList lines = words->text().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines[3].startsWith(QStringLiteral("Effective swath (COV <= 0.20):")));
        QVERIFY(lines[4].contains(QStringLiteral(" one way, ")));
        QVERIFY(lines[0].startsWith(QStringLiteral("COV ")) && lines[0].contains(QStringLiteral(" within ")));
        QVERIFY(lines[1].startsWith(QStringLiteral("Pattern centre ")));
        QVERIFY(lines[2].startsWith(QStringLiteral("95 %: COV ")));
        QVERIFY(!test::child<vex::ui::SwathGraphView>(*w, "SwathView")->picture().FineWidths.empty());
        // A width button chooses the width of the profile on show.
        test::child<vex::ui::SwathGraphView>(*w, "SwathView")->widthButton(1)->click();
        QCOMPARE(w->lineResults().Deposit.SelectedWidth, 1);
        QVERIFY(test::child<vex::ui::SwathGraphView>(*w, "SwathView")->widthButton(1)->isChecked());
        // The third graph option shows the drop density profile.
        test::child<QRadioButton>(*w, "GraphOption", 2)->click();
        QCOMPARE(w->currentProfile(), 2);
        QVERIFY(test::child<QLabel>(*w, "DropLabel")->text().contains(QStringLiteral("drops/cm")));
    }

    void oneCardReachesItsResultsStainTableAndReport()
    {
        auto w = scannedLine(1);
        test::child<QCheckBox>(*w, "CompositeCheck")->click();
        QVERIFY(test::child<QLabel>(*w, "SpectrumLabel")->text().endsWith(QStringLiteral("at least three cards.")));
        acceptSprayInfo();
        QVERIFY(w->writeResults(folder() + "one.txt", 1));
        w->chooseStainFile = [this](std::string &chosen) { return !(chosen = folder() + "one.csv").empty(); };
        w->btnWriteStains_Click();
        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("one.txt"))) &&
                QFile::remove(dir.filePath(QStringLiteral("one.csv"))));
        bool previewed = false;
        whenOpen<vex::ui::SprayInfoForm>([this, &previewed](vex::ui::SprayInfoForm &f) {
            whenOpen<vex::ui::frmPreview2>([&previewed](vex::ui::frmPreview2 &p) { previewed = p.close(); });
            f.AcceptButton->click();
        });
        test::child<QPushButton>(*w, "btnPrint")->click();
        QVERIFY(previewed && messages.isEmpty());
    }

    void missingPositionsAreAskedForFirst()
    {
        auto w = scannedLine(3);
        w->sprayInfo()[Sample_Position1].clear();
        whenOpen<vex::ui::frmCardPos>([](vex::ui::frmCardPos &d) {
            QVERIFY(!d.CancelButton->isEnabled());
            d.txtInput[0]->setText(QStringLiteral("-20"));
            d.AcceptButton->click();
        });
        test::child<QCheckBox>(*w, "CompositeCheck")->click();
        QCOMPARE(w->cards()[1].Position, -20.0f);
        QCOMPARE(w->sprayInfo()[Sample_Position1], std::string("-20"));
    }

    void backToTheCardsWithTheCurrentCard()
    {
        auto w = scannedLine(3);
        w->selectCard(2);
        w->selectCurrentTab();
        const QString vmd = test::child<QLabel>(*w, "VMDLabel")->text();
        auto *coverage = test::child<QLabel>(*w, "CoverageLabel");
        QCOMPARE(coverage->text().toStdString(), coverageText(w->cards()[2].StainCoverage));
        test::child<QCheckBox>(*w, "CompositeCheck")->click();
        const CardList &cards = w->cards(); // of one size: the line's coverage is their mean
        QCOMPARE(coverage->text().toStdString(),
                 coverageText((cards[1].StainCoverage + cards[2].StainCoverage + cards[3].StainCoverage) / 3.0));
        QVERIFY(test::child<QLabel>(*w, "VMDLabel")->text() != vmd || w->lineResults().All.VMD == w->cards()[2].VMD);
        test::child<QCheckBox>(*w, "CompositeCheck")->click();
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->count(), 3);
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->currentIndex(), 1);
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->tabText(2), QStringLiteral("v3.bmp"));
        QCOMPARE(test::child<QLabel>(*w, "VMDLabel")->text(), vmd);
        QVERIFY(test::child<QPushButton>(*w, "btnScan")->isEnabled());
        QVERIFY(!test::child<QPushButton>(*w, "btnWriteComposite")->isVisible());
        QVERIFY(w->windowTitle().startsWith(QStringLiteral("Quarrow Vexolin -- v2.bmp -- 600 dpi")));
    }

    void hoverReadOutOfACard()
    {
        auto w = scannedLine(3);
        test::child<QCheckBox>(*w, "CompositeCheck")->click();
        const QRectF label = test::child<vex::ui::SprayLineGraphView>(*w, "SprayLineView")->cardLabelRect(2);
        QTest::mouseMove(test::child<vex::ui::SprayLineGraphView>(*w, "SprayLineView"), label.center().toPoint());
        QVERIFY(test::child<vex::ui::SprayLineGraphView>(*w, "SprayLineView")->readOutShown());
        QCOMPARE(w->windowTitle(), QStringLiteral("Quarrow Vexolin -- v2.bmp -- Untitled trial *"));
        QTest::mouseMove(test::child<vex::ui::SprayLineGraphView>(*w, "SprayLineView"),
                         QPoint(test::child<vex::ui::SprayLineGraphView>(*w, "SprayLineView")->width() / 2,
                                test::child<vex::ui::SprayLineGraphView>(*w, "SprayLineView")->height() - 5));
        QVERIFY(!test::child<vex::ui::SprayLineGraphView>(*w, "SprayLineView")->readOutShown());
        QCOMPARE(w->windowTitle(), QStringLiteral("Quarrow Vexolin -- Composite Results -- Untitled trial *"));
    }

    void aRangeDraggedInTheLineViewRefreshesTheCardFigures()
    {
        auto w = scannedLine(3);
        test::child<QCheckBox>(*w, "CompositeCheck")->click();
        const double cut = w->lineResults().All.SmallestDiameter + 60.0;
        w->ResultPic_MouseDown(Qt::LeftButton, Qt::NoModifier, cut, 0.0);
        w->ResultPic_MouseUp(Qt::LeftButton, Qt::NoModifier, cut, 0.0);
        QVERIFY(w->rangeLow() > 0.0f);
        const CompositeResult range = calcSingleRange(w->cards()[2], w->rangeLow(), w->rangeHigh());
        QCOMPARE(w->lineResults().Stats[2].DropDensity, range.DropDensity);
        QVERIFY(test::child<vex::ui::SprayLineGraphView>(*w, "SprayLineView")->picture().HasRange);
    }

    void cancelInTheSaveDialogWritesNothing()
    {
        auto w = scannedLine(3);
        test::child<QCheckBox>(*w, "CompositeCheck")->click();
        w->chooseResultsFile = [](std::string &, int &) { return false; };
        w->btnWriteComposite_Click();
        QVERIFY(messages.isEmpty());
        QVERIFY(QDir(dir.path()).entryList({QStringLiteral("*.txt"), QStringLiteral("*.csv")}).isEmpty());
    }

    // The window's stain table: every stain of every scanned card, the
    // outcomes agreeing with each card's counts.
    void writesTheStainTableOfEveryScannedCard()
    {
        auto w = scannedLine(3);
        test::child<QCheckBox>(*w, "CompositeCheck")->click();
        const std::string path = folder() + "stains.csv";
        w->chooseStainFile = [path](std::string &chosen) {
            chosen = path;
            return true;
        };
        w->btnWriteStains_Click();
        QVERIFY(messages.isEmpty());
        const QList<QByteArray> rows = read(QStringLiteral("stains.csv")).split('\n');
        QVERIFY(rows.front().startsWith("card,stain,outcome,pixels,"));
        for (int i = 1; i <= w->cards().count(); ++i) {
            const CardRecord &card = w->cards()[i];
            const QByteArray prefix = QByteArray::fromStdString(card.FileTitle) + ",";
            int accepted = 0;
            int rejected = 0;
            for (const QByteArray &row : rows)
                if (row.startsWith(prefix)) {
                    const bool taken = row.contains(",accepted,");
                    accepted += taken ? 1 : 0;
                    rejected += !taken && !row.contains(",folded into another stain,") ? 1 : 0;
                }
            std::int64_t drops = 0;
            for (std::size_t k = 1; k < card.Stains.size(); ++k)
                drops += card.Stains[k].Count;
            QCOMPARE(accepted, static_cast<int>(drops));
            QCOMPARE(rejected, card.RejectedCount);
        }
    }

    void writesTextOrCsvByTheFilter()
    {
        auto w = scannedLine(3);
        test::child<QCheckBox>(*w, "CompositeCheck")->click();
        const std::string txt = folder() + "line.txt";
        w->chooseResultsFile = [txt](std::string &path, int &filter) {
            path = txt;
            filter = 1;
            return true;
        };
        acceptSprayInfo();
        w->btnWriteComposite_Click();
        QVERIFY(read(QStringLiteral("line.txt")).startsWith("Vexolin -- Quarrow Droplet Analysis Program\r\n"));
        QVERIFY(read(QStringLiteral("line.txt")).contains("Card   Position   VMD"));
        acceptSprayInfo();
        QVERIFY(w->writeResults(folder() + "line.csv", 2));
        QVERIFY(
            read(QStringLiteral("line.csv")).contains("Card,Position,VMD,Drop Density,Deposit Volume,Filename\r\n"));
        // Declining the spray information writes nothing.
        whenOpen<vex::ui::SprayInfoForm>([](vex::ui::SprayInfoForm &f) { f.CancelButton->click(); });
        QVERIFY(!w->writeResults(folder() + "none.txt", 1));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("none.txt"))));
    }

    void unscannedCardsAreOfferedForScanning()
    {
        auto w = scannedLine(5, false);
        w->btnScanColourAll_Click();
        for (const int i : {1, 2, 4, 5})
            w->scanCard(i);
        test::child<QCheckBox>(*w, "CompositeCheck")->click();
        messages.answer = QMessageBox::No;
        acceptSprayInfo();
        QVERIFY(w->writeResults(folder() + "four.csv", 2));
        QCOMPARE(messages.size(), 1);
        QCOMPARE(
            messages[0],
            QStringLiteral("The following file has not been scanned:\n\nv3.bmp\n\nWould you like to scan this file?"));
        const QByteArray csv = read(QStringLiteral("four.csv"));
        QVERIFY(csv.contains("\r\n1,-10,"));
        QVERIFY(csv.contains("\r\n4,20,"));
        QVERIFY(!csv.contains("\r\n3,10,"));
        QVERIFY(!w->cards()[3].Scanned);
        // Answered Yes, the card is scanned first.
        messages.clear();
        messages.answer = QMessageBox::Yes;
        acceptSprayInfo();
        QVERIFY(w->writeResults(folder() + "five.csv", 2));
        QVERIFY(w->cards()[3].Scanned);
    }

    void failedWriteIsReportedAndKeepsWhatWasThere()
    {
        auto w = scannedLine(3);
        QDir(dir.path()).mkdir(QStringLiteral("taken.txt"));
        acceptSprayInfo();
        QVERIFY(!w->writeResults(folder() + "taken.txt", 1));
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].startsWith(QStringLiteral("There was an error writing the data file.\n\nError: ")));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("taken.txt"))).isDir());
    }

    void rangeSectionsGoIntoTheLogs()
    {
        auto w = scannedLine(3);
        w->preferences().Analysis.Log = true;
        w->setSizeRange(static_cast<float>(w->lineResults().All.SmallestDiameter) + 50.0f, w->rangeHigh());
        test::child<QCheckBox>(*w, "CompositeCheck")->click();
        acceptSprayInfo();
        QVERIFY(w->writeResults(folder() + "ranged.txt", 1));
        const QByteArray log = read(QStringLiteral("v2.scn"));
        QVERIFY(log.contains("Droplet Size Range:"));
        QVERIFY(read(QStringLiteral("ranged.txt"))
                    .contains("Selected Size Range:    " + QByteArray::number(w->rangeLow(), 'f', 2)));
    }
};

QTEST_MAIN(tst_CompositeView)
#include "tst_CompositeView.moc"
