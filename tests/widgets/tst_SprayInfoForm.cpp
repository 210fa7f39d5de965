// The Spray Information window: what it shows, its checks on Accept, the
// storing of all entries and its Preferences mode.

#include "app/AppState.h"
#include "line/SprayInfoSettings.h"
#include "line/ui/SprayInfoForm.h"
#include "support/MessageRecorder.h"
#include "ui/Messages.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace vex;
using vex::ui::SprayInfoForm;

class tst_SprayInfoForm : public QObject {
    Q_OBJECT
private:
    test::MessageRecorder messages{QMessageBox::Ok};
    MemorySettingsStore store;
    ModuleState module;
    SprayInfo spray;

    static void click(QPushButton *b) { QTest::mouseClick(b, Qt::LeftButton); }

    // Focus moves only inside the active window, so the boxes' leave rules need one.
    static void showActive(QWidget &w)
    {
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
    }

private slots:
    void init()
    {
        messages.clear();
        store.clear();
        module = ModuleState{};
        spray = SprayInfo{};
    }

    void opensWithMemoryStoredPositionsAndUnits()
    {
        spray[AC_Type] = "Air Tractor";
        spray[Comment] = "calm,\nclear";
        store.setRaw(SprayInfoSection, "Sample_Position1", "-50");
        store.setRaw(SprayInfoSection, "Sample_Interval", "abc");
        SprayInfoForm f(spray, store, module.SpreadFactor, module.Metric);
        QCOMPARE(f.windowTitle(), QStringLiteral("Spray Information"));
        QCOMPARE(f.AircraftInput[0]->text(), QStringLiteral("Air Tractor"));
        QCOMPARE(f.CommentText->toPlainText(), QStringLiteral("calm,\nclear"));
        QCOMPARE(f.SampleInput[0]->text(), QStringLiteral("-50.0"));
        QCOMPARE(f.SampleInput[1]->text(), QStringLiteral("abc"));
        QCOMPARE(f.SpreadText[1]->text(), QStringLiteral("0.56"));
        QCOMPARE(f.SpreadText[0]->text(), QStringLiteral("0.0"));
        QCOMPARE(f.SpreadEqLabel[2]->text(), QString::fromUtf8("D\u00b2"));
        QCOMPARE(f.SwathUnitsLabel->text(), QStringLiteral("m"));
        QCOMPARE(f.SpeedUnitsLabel->text(), QStringLiteral("km/h"));
        module.Metric = false;
        SprayInfoForm us(spray, store, module.SpreadFactor, module.Metric);
        QCOMPARE(us.SpeedUnitsLabel->text(), QStringLiteral("mph"));
        QCOMPARE(us.ActRateUnitsLabel->text(), QStringLiteral("oz/ac"));
    }

    void checksComeInOrderWithTheFocusInTheBox()
    {
        SprayInfoForm f(spray, store, module.SpreadFactor, module.Metric);
        showActive(f);
        f.SpreadText[2]->setText(QStringLiteral("x"));
        f.SampleInput[0]->setText(QStringLiteral(""));
        click(f.AcceptButton);
        QCOMPARE(messages.last(), QStringLiteral("Invalid Spread Factor value."));
        QVERIFY(f.SpreadText[2]->hasFocus());
        f.SpreadText[2]->setText(QStringLiteral("0"));
        click(f.AcceptButton);
        QCOMPARE(messages.last(), QStringLiteral("Invalid Sampler1 position."));
        QVERIFY(f.SampleInput[0]->hasFocus());
        f.SampleInput[0]->setText(QStringLiteral("-50"));
        f.SampleInput[1]->setText(QStringLiteral("0.0"));
        click(f.AcceptButton);
        QCOMPARE(messages.last(), QStringLiteral("Invalid Sampler Interval value."));
        QVERIFY(f.SampleInput[1]->hasFocus());
        QVERIFY(!f.Accept);
        QVERIFY(f.isVisible());
        QVERIFY(store.values().empty());
    }

    void acceptKeepsAndStoresAllFifteen()
    {
        SprayInfoForm f(spray, store, module.SpreadFactor, module.Metric);
        showActive(f);
        f.AircraftInput[2]->setText(QStringLiteral("Smith, J."));
        f.SampleInput[0]->setText(QStringLiteral("-45"));
        f.SampleInput[1]->setText(QStringLiteral("-10"));
        f.SpreadText[0]->setText(QStringLiteral("1.5"));
        click(f.AcceptButton);
        QVERIFY(f.Accept);
        QCOMPARE(spray[AC_Owner], std::string("Smith, J."));
        QCOMPARE(spray[Sample_Interval], std::string("-10"));
        QCOMPARE(f.SpreadFactor[0], 1.5);
        QCOMPARE(int(store.values().size()), 15);
        QCOMPARE(store.values().at({"SprayInfo", "AC_Owner"}), std::string("Smith, J."));
    }

    void resetEmptiesEverythingSoAcceptFails()
    {
        spray[AC_Type] = "x";
        SprayInfoForm f(spray, store, module.SpreadFactor, module.Metric);
        showActive(f);
        click(f.ResetButton);
        QVERIFY(f.AircraftInput[0]->text().isEmpty());
        QVERIFY(f.SpreadText[1]->text().isEmpty());
        click(f.AcceptButton);
        QCOMPARE(messages, QStringList{QStringLiteral("Invalid Spread Factor value.")});
    }

    void cancelStoresNothing()
    {
        SprayInfoForm f(spray, store, module.SpreadFactor, module.Metric);
        showActive(f);
        f.AircraftInput[0]->setText(QStringLiteral("changed"));
        click(f.CancelButton);
        QVERIFY(!f.Accept);
        QVERIFY(spray[AC_Type].empty());
        QVERIFY(store.values().empty());
    }

    void leavingBoxesReformatsNumbers()
    {
        SprayInfoForm f(spray, store, module.SpreadFactor, module.Metric);
        showActive(f);
        f.activateWindow();
        f.SpreadText[1]->setFocus();
        f.SpreadText[1]->setText(QStringLiteral("0.5"));
        f.SampleInput[0]->setFocus();
        QCOMPARE(f.SpreadText[1]->text(), QStringLiteral("0.50"));
        f.SampleInput[0]->setText(QStringLiteral("-45"));
        f.SampleInput[1]->setFocus();
        QCOMPARE(f.SampleInput[0]->text(), QStringLiteral("-45.0"));
        // The nozzle count takes digits only; the speed a point as well.
        QTest::keyClicks(f.NozzleInput[1], QStringLiteral("1.2-a4"));
        QCOMPARE(f.NozzleInput[1]->text(), QStringLiteral("124"));
        QTest::keyClicks(f.AircraftInput[4], QStringLiteral("2x0.5"));
        QCOMPARE(f.AircraftInput[4]->text(), QStringLiteral("20.5"));
    }

    void preferencesModeUsesAndReturnsThatWindowsValues()
    {
        SprayInfoForm::FromPreferences prefs;
        prefs.SpreadTexts = {"0", "0.7", "0.001"};
        prefs.Metric = false;
        SprayInfoForm f(spray, store, prefs);
        showActive(f);
        QCOMPARE(f.SpreadText[1]->text(), QStringLiteral("0.7"));
        QCOMPARE(f.SwathUnitsLabel->text(), QStringLiteral("ft"));
        f.SampleInput[0]->setText(QStringLiteral("0"));
        f.SampleInput[1]->setText(QStringLiteral("5"));
        f.SpreadText[1]->setText(QStringLiteral("0.8"));
        click(f.AcceptButton);
        QVERIFY(f.Accept);
        QCOMPARE(f.acceptedSpreadTexts()[1], std::string("0.8"));
        // The program's own spread factor waits for the Preferences' Accept.
        QCOMPARE(module.SpreadFactor[1], 0.56);
    }
};

QTEST_MAIN(tst_SprayInfoForm)
#include "tst_SprayInfoForm.moc"
