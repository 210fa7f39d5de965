// The trial in the main window: saved and opened again as it was, a card
// whose file went missing, a card cut from a photo that keeps its source,
// passes and their mean, and the question before unsaved changes are dropped.

#include "app/ui/FindCardsDialog.h"
#include "app/ui/frmMain.h"
#include "support/DrawnPhoto.h"
#include "support/MessageRecorder.h"
#include "support/WindowHelpers.h"
#include "text/WholeFile.h"
#include "trial/TrialFile.h"

#include <QComboBox>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

using namespace vex;
using vex::ui::frmMain;

class tst_MainTrial : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    MemorySettingsStore store;
    ModuleState module;
    test::MessageRecorder messages{QMessageBox::Ok};

    std::string folder() const { return dir.path().toStdString() + "/"; }

    std::unique_ptr<frmMain> scannedLine()
    {
        cardgen::CardSpec base;
        base.Width = 200;
        base.Height = 300;
        base.Discs = 150;
        auto w = test::lineWindow(store, module, folder(), 4, base, "trial");
        if (w) {
            w->btnScanAll_Click();
            w->sprayInfo()[Sample_Position1] = "-15";
            w->sprayInfo()[Sample_Interval] = "10";
        }
        return w;
    }

private slots:
    void init() { messages.clear(); }

    void aSavedTrialOpensAsItWasAndTellsOfAMissingFile()
    {
        auto w = scannedLine();
        QVERIFY(w);
        w->cards()[2].Excluded = true;
        w->cards()[4].PositionEdited = true;
        w->cards()[4].EditedPosition = 22.5f;
        QVERIFY(w->trialModified());
        QVERIFY(w->windowTitle().endsWith(QStringLiteral(" -- Untitled trial *")));
        const std::string path = folder() + "line.vexolin";
        QVERIFY(w->saveTrial(path));
        QVERIFY(!w->trialModified());
        QVERIFY(w->windowTitle().endsWith(QStringLiteral(" -- line.vexolin")));
        w->selectCard(1);

        std::filesystem::remove(folder() + "trial3.bmp");
        auto again = test::openWindow(store, module, folder());
        QVERIFY(again->openTrial(path));
        QCOMPARE(again->cardCount(), 4);
        QVERIFY(again->cards()[2].Excluded && again->cards()[4].PositionEdited);
        for (int i = 1; i <= 4; ++i) {
            QVERIFY(again->cards()[i].Scanned && !again->cards()[i].ColoursKnown);
            QCOMPARE(again->cards()[i].VMD, w->cards()[i].VMD);
        }
        QCOMPARE(again->cards()[3].FileState, CardFileState::Missing);
        QVERIFY(messages.last().contains(QStringLiteral("1 card files are missing")));
        // The line as it was saved, without a scan.
        const LineResults saved = analyseLine(w->cards(), w->analysisSettings());
        QVERIFY(saved.Interpolated);
        QCOMPARE(again->lineResults().Deposit.Profile, saved.Deposit.Profile);
        QCOMPARE(again->lineResults().All.VMD, saved.All.VMD);
        // Its views are offered at once, from the stored figures.
        auto *composite = test::child<QCheckBox>(*again, "CompositeCheck");
        QVERIFY(composite->isVisible());
        composite->click();
        QVERIFY(again->compositeMode());
        QCOMPARE(test::child<QTabBar>(*again, "ImageStrip")->tabText(1), QStringLiteral("Swath Analysis"));
        composite->click();
        QVERIFY(!again->trialModified());
        again->selectCard(3);
        QVERIFY(again->windowTitle().contains(QStringLiteral("file missing")));
        // Scanning a card whose file is gone tells why and keeps its figures.
        messages.clear();
        QVERIFY(!again->runColourPassFor(3));
        QVERIFY(messages.last().contains(QStringLiteral("is missing")));
        QVERIFY(again->cards()[3].Scanned);
    }

    void aCardCutFromAPhotoKeepsItsCornersAndIsCutAgainWhenItsFileHasGone()
    {
        const QString photo = dir.filePath("leaf.png");
        QVERIFY(test::drawnCardPhoto({1400, 1000}, {760, 260}, 6.0).Picture.save(photo));
        auto w = test::openWindow(store, module, folder());
        std::array<PicturePoint, 4> corrected;
        test::whenOpen<ui::FindCardsDialog>(w.get(), [&corrected](ui::FindCardsDialog &d) {
            const PicturePoint corner = d.cards().at(0).Corners[2];
            d.view()->moveCorner(0, 2, {corner.X + 9, corner.Y + 5});
            corrected = d.cards()[0].Corners;
            d.accept();
        });
        w->findCardsIn(photo.toStdString());
        QCOMPARE(w->cardCount(), 1);
        const CardRecord card = w->cards()[1];
        QVERIFY(card.Source && card.Source->Index == 1 && card.Source->PicturePath == photo.toStdString());
        QVERIFY2(w->windowTitle().contains(", from leaf.png #1"), qPrintable(w->windowTitle()));
        const std::string path = folder() + "found.vexolin";
        QVERIFY(w->saveTrial(path));

        // Opened again without the card's file: cut again from the photo, byte for byte.
        const Result<std::string> bytes = readWholeFile(card.FilePath);
        QVERIFY(bytes.ok() && std::filesystem::remove(card.FilePath));
        auto again = test::openWindow(store, module, folder());
        messages.clear();
        messages.answers = {QMessageBox::Yes};
        QVERIFY(again->openTrial(path));
        QVERIFY2(messages.value(0).contains("1 of the missing cards were cut from pictures that are still there: "
                                            "leaf.png."),
                 qPrintable(messages.join('|')));
        QCOMPARE(messages.value(1), QStringLiteral("1 cards were cut again as they were saved."));
        QCOMPARE(again->cards()[1].FileState, CardFileState::Present);
        QVERIFY(readWholeFile(card.FilePath).value() == *bytes);
        // Find Cards on the photo again shows the corners as accepted, not as a search finds them.
        std::vector<FoundCard> shown;
        test::whenOpen<ui::FindCardsDialog>(again.get(), [&shown](ui::FindCardsDialog &d) {
            shown = d.cards();
            d.reject();
        });
        again->findCardsIn(photo.toStdString());
        QCOMPARE(shown.size(), std::size_t{1});
        QCOMPARE(shown[0].Corners, corrected);
    }

    void noSaveTakesTheFileOfACardOrOfTheOpenTrial()
    {
        auto w = scannedLine();
        QVERIFY(w);
        const std::string trial = folder() + "line.vexolin";
        const std::string card = folder() + "trial2.bmp";
        QVERIFY(w->saveTrial(trial));
        const auto sizes = std::pair(std::filesystem::file_size(card), std::filesystem::file_size(trial));
        messages.clear();
        QVERIFY(!w->writeResults(card, 1) && !w->writeStainTable(folder() + "./trial2.bmp") && !w->saveTrial(card));
        QVERIFY(!w->writeResults(trial, 1));
        const QString taken = QString::fromStdString(":\nit is the same file as the card " + card + ".");
        QCOMPARE(messages,
                 (QStringList{QString::fromStdString("Nothing is written to " + card) + taken,
                              QString::fromStdString("Nothing is written to " + folder() + "./trial2.bmp") + taken,
                              QString::fromStdString("Nothing is written to " + card) + taken,
                              QString::fromStdString("Nothing is written to " + trial +
                                                     ":\nit is the same file as the open trial " + trial + ".")}));
        QCOMPARE(std::pair(std::filesystem::file_size(card), std::filesystem::file_size(trial)), sizes);
        QVERIFY(w->saveTrial(trial)); // saved where it was opened from, as Save does
    }

    void aCardOutsideTheTrialsFolderIsShownByPathAndAskedForBeforeItsLog()
    {
        auto w = scannedLine();
        QVERIFY(w && std::filesystem::create_directories(folder() + "trials"));
        QVERIFY(w->saveTrial(folder() + "trials/up.vexolin"));
        auto again = test::openWindow(store, module, folder());
        Preferences &p = again->preferences();
        p.Analysis.Log = p.DisableBackgroundWarning = p.DisableDitherWarning = true;
        QVERIFY(again->openTrial(folder() + "trials/up.vexolin"));
        QCOMPARE(test::child<QTabBar>(*again, "ImageStrip")->tabText(0),
                 QString::fromStdString(folder() + "trial1.bmp"));
        messages.clear();
        messages.answers = {QMessageBox::No, QMessageBox::Yes};
        const std::string log = folder() + "trial1.scn";
        QVERIFY(!again->runColourPassFor(1) && !std::filesystem::exists(log));
        QVERIFY2(messages.value(0).contains(QString::fromStdString(log)), qPrintable(messages.value(0)));
        QVERIFY(again->runColourPassFor(1));
        again->scanCard(1);
        QVERIFY(std::filesystem::exists(log));
        QCOMPARE(messages.size(), 2); // once said Yes, never asked again
    }

    void passesTheirMeanAndTheQuestionBeforeChangesAreLost()
    {
        auto w = scannedLine();
        QVERIFY(w);
        const LineResults one = w->lineResults();
        w->addPass();
        QCOMPARE(w->passCount(), 2);
        QCOMPARE(w->cardCount(), 0);
        auto *passes = test::child<QComboBox>(*w, "cmbPass");
        QVERIFY(passes->isVisible());
        QCOMPARE(passes->count(), 3); // two passes and their mean
        w->selectPass(1);
        QCOMPARE(w->cardCount(), 4);
        // The second pass holds no card: the mean is the first pass's line.
        passes->setCurrentIndex(2);
        QVERIFY(w->meanShown() && w->compositeMode());
        QCOMPARE(w->lineResults().Deposit.Profile, one.Deposit.Profile);
        QCOMPARE(w->passMean().Passes, (std::vector<int>{1, 2}));
        // Leaving the composite view leaves the mean for the pass.
        test::child<QCheckBox>(*w, "CompositeCheck")->click();
        QVERIFY(!w->meanShown());
        QCOMPARE(w->cardCount(), 4);

        messages.clear();
        messages.answers = {QMessageBox::Cancel};
        QVERIFY(!w->openTrial(folder() + "none.vexolin"));
        QCOMPARE(messages.front(), QStringLiteral("Save the changes to the trial first?"));
        QCOMPARE(w->passCount(), 2);
    }

    void theCardFilesOfAnOpenedTrialAreCheckedWhileTheWindowAnswers()
    {
        // A card file large enough that comparing its content takes a while.
        constexpr qint64 Size = qint64(256) << 20;
        QFile big(QString::fromStdString(folder() + "big.bmp"));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(Size));
        big.close();
        Trial t;
        t.Passes.push_back(LinePass{defaultPassName(1), {}, {}, true, false});
        CardRecord card = newCardRecord("big.bmp", folder(), 640, 480, 600);
        card.FileSize = Size;
        card.ContentHash = std::string(64, 'e');
        t.Passes[0].Cards.add(card);
        QVERIFY(saveTrial(folder() + "big.vexolin", t).ok());
        auto w = test::openWindow(store, module, folder());
        int checkedWhenAnswered = -1;
        QTimer::singleShot(0, w.get(),
                           [&] { checkedWhenAnswered = test::child<QProgressBar>(*w, "ProgressBar1")->value(); });
        QVERIFY(w->openTrial(folder() + "big.vexolin"));
        QCOMPARE(checkedWhenAnswered, 0);
        QCOMPARE(w->cards()[1].FileState, CardFileState::Changed);
    }
};

QTEST_MAIN(tst_MainTrial)
#include "tst_MainTrial.moc"
