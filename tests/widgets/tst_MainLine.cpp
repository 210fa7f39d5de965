// The main window's share of the spray line: the spray information asked
// before a logged scan, the card positions it gives, and the pooled line
// after scans, removals and the preferences.

#include "app/ui/frmMain.h"
#include "app/ui/frmPrefs.h"
#include "line/CardPositions.h"
#include "line/Composite.h"
#include "line/ui/SprayInfoForm.h"
#include "line/ui/frmCardPos.h"
#include "support/MessageRecorder.h"
#include "support/WindowHelpers.h"
#include "tools/cardgen/CardGenerator.h"
#include "ui/Messages.h"

#include "line/SwathDisplay.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace vex;
using vex::ui::frmMain;
using vex::ui::SprayInfoForm;

class tst_MainLine : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    MemorySettingsStore store;
    ModuleState module;
    test::MessageRecorder messages{QMessageBox::Ok};

    std::string folder() const { return dir.path().toStdString() + "/"; }

    std::unique_ptr<frmMain> windowWithCards(int count)
    {
        cardgen::CardSpec base;
        base.Width = 200;
        base.Height = 300;
        base.Discs = 200;
        return test::lineWindow(store, module, folder(), count, base, "line");
    }

    template <typename Dialog>
    void whenOpen(std::function<void(Dialog &)> act)
    {
        test::whenOpen<Dialog>(this, act);
    }

private slots:
    void init()
    {
        messages.clear();
        store.clear();
    }

    void scanAllPoolsTheLine()
    {
        auto w = windowWithCards(3);
        QVERIFY(w);
        w->btnScanAll_Click();
        for (int i = 1; i <= 3; ++i)
            QVERIFY(w->cards()[i].Scanned);
        const vex::CompositeAll expected = calcCompositeAll(w->cards());
        QCOMPARE(w->lineResults().All.TotalCount, expected.Result.TotalCount);
        QVERIFY(w->lineResults().All.TotalCount > 0.0);
        QCOMPARE(w->lineResults().All.VMD, expected.Result.VMD);
        QCOMPARE(w->lineResults().MaxCardVMD, expected.MaxCardVMD);
        // Removing a card pools the rest.
        w->closeSelectedCard();
        QCOMPARE(w->lineResults().All.TotalCount, calcCompositeAll(w->cards()).Result.TotalCount);
    }

    void loggedScanAsksForTheSprayInformation()
    {
        auto w = windowWithCards(2);
        QVERIFY(w);
        w->preferences().Analysis.Log = true;
        w->preferences().Analysis.LogSprayInfo = true;
        w->btnScanColourAll_Click();
        whenOpen<SprayInfoForm>([](SprayInfoForm &f) { f.CancelButton->click(); });
        w->btnScan_Click();
        QVERIFY(!w->cards()[1].Scanned);

        whenOpen<SprayInfoForm>([](SprayInfoForm &f) {
            f.SampleInput[0]->setText(QStringLiteral("-10"));
            f.SampleInput[1]->setText(QStringLiteral("5"));
            f.AcceptButton->click();
        });
        w->btnScanAll_Click();
        QVERIFY(w->cards()[1].Scanned);
        QVERIFY(w->cards()[2].Scanned);
        QCOMPARE(w->cards()[1].Position, -10.0f);
        QCOMPARE(w->cards()[2].Position, -5.0f);
        QCOMPARE(w->sprayInfo()[Sample_Interval], std::string("5"));
        QFile log(dir.filePath(QStringLiteral("line2.scn")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains("-10"));
    }

    void swathWidthsAndTheirLabels()
    {
        auto w = windowWithCards(5);
        QVERIFY(w);
        w->btnScanAll_Click();
        w->sprayInfo()[Sample_Position1] = "-20";
        w->sprayInfo()[Sample_Interval] = "10";
        test::child<QCheckBox>(*w, "CompositeCheck")->click();
        QCOMPARE(int(w->lineResults().Stats.size()), 6);
        QCOMPARE(w->lineResults().Stats[3].VolumeDensity, w->cards()[3].VolumeDensity);
        test::child<QTabBar>(*w, "ImageStrip")->setCurrentIndex(1); // the swath analysis
        const SwathProfile &deposit = w->lineResults().Deposit;
        QCOMPARE(int(deposit.Widths.size()), 5);
        QVERIFY(deposit.SelectedWidth >= 1);
        w->optSwathWidth_Click(2);
        QCOMPARE(w->lineResults().Deposit.SelectedWidth, 2);
        QCOMPARE(test::child<QLabel>(*w, "InfoLabel", 0)->text(), QStringLiteral("COV:"));
        QCOMPARE(test::child<QLabel>(*w, "InfoLabel", 2)->text(), QStringLiteral("Max / Min:"));
        const SwathDisplay shown = swathDisplay(w->lineResults().Deposit, DepositProfile, true, w->sprayInfo());
        QCOMPARE(test::child<QLabel>(*w, "VMDLabel")->text(), QString::fromStdString(shown.CovText));
        QCOMPARE(test::child<QLabel>(*w, "DropLabel")->text(), QString::fromStdString(shown.MeanText));
        QVERIFY(test::child<QLabel>(*w, "DropLabel")->text().endsWith(QStringLiteral(" L/ha")));
        // Width 0 and widths beyond the line do nothing.
        w->optSwathWidth_Click(0);
        w->optSwathWidth_Click(5);
        QCOMPARE(w->lineResults().Deposit.SelectedWidth, 2);
        // The drop density profile (the third option) keeps its own width.
        w->GraphOption_Click(3);
        QCOMPARE(w->currentProfile(), int(DropDensityProfile));
        w->optSwathWidth_Click(4);
        QCOMPARE(w->lineResults().DropDensity.SelectedWidth, 4);
        QCOMPARE(w->lineResults().Deposit.SelectedWidth, 2);
        QVERIFY(test::child<QLabel>(*w, "DropLabel")->text().endsWith(QString::fromUtf8(" drops/cm\u00b2")));
    }

    void duplicatePositionsOpenTheCardPositions()
    {
        auto w = windowWithCards(3);
        QVERIFY(w);
        w->sprayInfo()[Sample_Position1] = "5";
        w->sprayInfo()[Sample_Interval] = "10";
        assignCardPositions(w->cards(), w->sprayInfo());
        w->checkDuplicatePositions(); // all apart: nothing happens
        QVERIFY(messages.isEmpty());
        w->cards()[3].Position = w->cards()[1].Position;
        whenOpen<vex::ui::frmCardPos>([](vex::ui::frmCardPos &d) {
            d.txtInput[1]->setText(QStringLiteral("2.5"));
            d.AcceptButton->click();
        });
        w->checkDuplicatePositions();
        QCOMPARE(messages, QStringList{QStringLiteral("There are two or more cards with the same position.")});
        QCOMPARE(w->cards()[3].Position, 10.0f);
        QCOMPARE(w->sprayInfo()[Sample_Interval], std::string("2.5"));
    }

    void preferencesOpenTheSprayInformationWithTheirOwnValues()
    {
        auto w = windowWithCards(1);
        QVERIFY(w);
        w->preferences().Analysis.Log = true; // the button is there only while logging
        whenOpen<vex::ui::frmPrefs>([this](vex::ui::frmPrefs &prefs) {
            prefs.SpreadText[1]->setText(QStringLiteral("0.61"));
            whenOpen<SprayInfoForm>([](SprayInfoForm &f) {
                QCOMPARE(f.SpreadText[1]->text(), QStringLiteral("0.61"));
                f.SpreadText[1]->setText(QStringLiteral("0.62"));
                f.SampleInput[0]->setText(QStringLiteral("0"));
                f.SampleInput[1]->setText(QStringLiteral("10"));
                f.AcceptButton->click();
            });
            prefs.ViewSprayButton->click();
            QCOMPARE(prefs.SpreadText[1]->text(), QStringLiteral("0.62"));
            prefs.AcceptButton->click();
        });
        w->btnPrefs_Click();
        QCOMPARE(w->module().SpreadFactor[1], 0.62);
    }
};

QTEST_MAIN(tst_MainLine)
#include "tst_MainLine.moc"
