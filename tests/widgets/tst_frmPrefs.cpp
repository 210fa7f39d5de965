// The preferences window driven with keys and clicks as a user would.

#include "app/ui/frmPrefs.h"
#include "support/MessageRecorder.h"
#include "text/NumberText.h"
#include "ui/Messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace vex;
using vex::ui::frmPrefs;

class tst_frmPrefs : public QObject {
    Q_OBJECT
private:
    test::MessageRecorder messages{QMessageBox::Ok};
    Preferences state;
    ModuleState module;

    static void focusBox(frmPrefs &w, QWidget *box)
    {
        w.activateWindow();
        box->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
    }

    static void leave(frmPrefs &w)
    {
        // Moving to the Accept button is leaving the box.
        w.AcceptButton->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
    }

private slots:
    void init()
    {
        messages.clear();
        state = Preferences{};
        module = ModuleState{};
    }

    void opensWithTheStoredValues()
    {
        state.Analysis.Resolution = 1000;
        state.Analysis.Scan.ShapeThreshold = 40;
        state.Analysis.Append = true;
        module.Metric = false;
        frmPrefs w(state, module);
        QCOMPARE(w.windowTitle(), QStringLiteral("Preferences"));
        QCOMPARE(w.ResCombo->currentText(), QStringLiteral("1000"));
        QCOMPARE(w.ResCombo->count(), 6);
        QCOMPARE(w.SpreadText[0]->text(), QStringLiteral("0.00"));
        QCOMPARE(w.SpreadText[1]->text(), QStringLiteral("0.56"));
        QCOMPARE(w.SpreadEqLabel[2]->text(), QString::fromUtf8("D\u00b2"));
        QCOMPARE(w.txtRoundness->text(), QStringLiteral("40"));
        QVERIFY(w.UnitsOption[1]->isChecked());
        QVERIFY(w.Option1[0]->isChecked());
        QCOMPARE(w.ResFrame->title(), QStringLiteral("Default Image &Resolution"));
        QCOMPARE(w.LogCheck->text(), QStringLiteral("&Log Analysis Results"));
    }

    void listEntrySelectedWhenTheResolutionIsInTheList()
    {
        state.Analysis.Resolution = 600;
        frmPrefs w(state, module);
        QCOMPARE(w.ResCombo->currentIndex(), 2);
        QCOMPARE(w.ConversionLabel->text(), QString::fromUtf8("= 42.33 \u00b5m/pixel"));
    }

    void typedResolutionUpdatesThePixelSize()
    {
        frmPrefs w(state, module);
        w.show();
        QLineEdit *edit = w.ResCombo->lineEdit();
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("2000"));
        QCOMPARE(w.ConversionLabel->text(), QString::fromUtf8("= 12.70 \u00b5m/pixel"));
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("40000"));
        QCOMPARE(w.ConversionLabel->text(), QStringLiteral("="));
    }

    void minusTogglesTheSignOfACoefficient()
    {
        frmPrefs w(state, module);
        w.show();
        QLineEdit *box = w.SpreadText[1];
        focusBox(w, box);
        box->setCursorPosition(2);
        QTest::keyClick(box, Qt::Key_Minus);
        QCOMPARE(box->text(), QStringLiteral("-0.56"));
        QCOMPARE(box->cursorPosition(), 3);
        QTest::keyClick(box, Qt::Key_Minus);
        QCOMPARE(box->text(), QStringLiteral("0.56"));
        QCOMPARE(box->cursorPosition(), 2);
    }

    void secondPointAndBackspaceAreDiscarded()
    {
        frmPrefs w(state, module);
        w.show();
        QLineEdit *box = w.SpreadText[1];
        focusBox(w, box);
        box->setCursorPosition(4);
        QTest::keyClick(box, Qt::Key_Period);
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_A);
        QTest::keyClicks(box, QStringLiteral("7"));
        QCOMPARE(box->text(), QStringLiteral("0.567"));
        // Delete still deletes.
        box->setCursorPosition(0);
        QTest::keyClick(box, Qt::Key_Delete);
        QCOMPARE(box->text(), QStringLiteral(".567"));
    }

    void filterBoxesKeepWhatIsTypedAndAcceptNamesTheRange()
    {
        frmPrefs w(state, module);
        w.show();
        focusBox(w, w.txtHues);
        w.txtHues->selectAll();
        QTest::keyClicks(w.txtHues, QStringLiteral("1.5-0"));
        QCOMPARE(w.txtHues->text(), QStringLiteral("-1.50"));
        leave(w);
        QCOMPARE(w.txtHues->text(), QStringLiteral("-1.50"));
        QTest::mouseClick(w.AcceptButton, Qt::LeftButton);
        QCOMPARE(messages, QStringList{QStringLiteral("% Valid Hues must be a whole number from 0 to 100.")});
        QVERIFY(w.isVisible() && w.txtHues->hasFocus());
    }

    void emptiedBoxesGetTheirValuesBack()
    {
        frmPrefs w(state, module);
        w.show();
        focusBox(w, w.SpreadText[1]);
        w.SpreadText[1]->clear();
        focusBox(w, w.txtRoundness);
        QCOMPARE(w.SpreadText[1]->text(), QStringLiteral("0.56"));
        w.txtRoundness->clear();
        leave(w);
        QCOMPARE(w.txtRoundness->text(), QStringLiteral("100"));
    }

    void nonNumericResolutionIsReportedOnceOnAccept()
    {
        frmPrefs w(state, module);
        w.show();
        focusBox(w, w.ResCombo);
        w.ResCombo->setEditText(QStringLiteral("12x"));
        leave(w);
        focusBox(w, w.ResCombo);
        leave(w);
        QVERIFY(messages.isEmpty());
        QTest::mouseClick(w.AcceptButton, Qt::LeftButton);
        QCOMPARE(messages,
                 QStringList{QStringLiteral("Default Resolution must be a number of dots per inch from 1 to 32767.")});
        QVERIFY(w.ResCombo->hasFocus());
    }

    void clearingLogDisablesItsControls()
    {
        frmPrefs w(state, module);
        w.show();
        QVERIFY(w.Option1[0]->isEnabled());
        const QPoint box(8, w.LogCheck->height() / 2);
        QTest::mouseClick(w.LogCheck, Qt::LeftButton, {}, box);
        QVERIFY(!w.LogCheck->isChecked());
        for (QWidget *c :
             std::initializer_list<QWidget *>{w.Option1[0], w.Option1[1], w.LogInfoCheck, w.ViewSprayButton})
            QVERIFY(!c->isEnabled());
        QTest::mouseClick(w.LogCheck, Qt::LeftButton, {}, box);
        QVERIFY(w.LogInfoCheck->isEnabled());
    }

    void acceptTakesTheValuesOver()
    {
        frmPrefs w(state, module);
        w.show();
        w.ResCombo->setEditText(QStringLiteral("900"));
        w.SpreadText[0]->setText(QStringLiteral("1.25"));
        w.txtHues->setText(QStringLiteral("30"));
        QTest::mouseClick(w.UnitsOption[1], Qt::LeftButton, {}, QPoint(8, w.UnitsOption[1]->height() / 2));
        QTest::mouseClick(w.AcceptButton, Qt::LeftButton);
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(w.Values.Analysis.Resolution, 900);
        QCOMPARE(w.Module.SpreadFactor[0], 1.25);
        QCOMPARE(int(w.Values.Analysis.Scan.HueThreshold), 30);
        QVERIFY(!w.Module.Metric);
        QVERIFY(messages.isEmpty());
    }

    void invalidValueKeepsTheWindowOpen()
    {
        frmPrefs w(state, module);
        w.show();
        w.ResCombo->setEditText(QStringLiteral("40000"));
        QTest::mouseClick(w.AcceptButton, Qt::LeftButton);
        QCOMPARE(messages.last(),
                 QStringLiteral("Default Resolution must be a number of dots per inch from 1 to 32767."));
        QVERIFY(w.isVisible());
        QCOMPARE(w.Values.Analysis.Resolution, 1200);
    }

    void tableFieldsShowTheValuesAndNameTheirRange()
    {
        state.Analysis.Scan.SplitTouching = true;
        state.Analysis.DenseCoverage = 0.35;
        frmPrefs w(state, module);
        w.show();
        auto *split = w.findChild<QCheckBox *>(QStringLiteral("SplitTouchingCheck"));
        auto *dense = w.findChild<QLineEdit *>(QStringLiteral("txtDenseCoverage"));
        QVERIFY(split && split->isChecked() && !split->toolTip().isEmpty());
        QCOMPARE(dense->text(), QStringLiteral("35"));
        split->setChecked(false);
        dense->setText(QStringLiteral("150"));
        QTest::mouseClick(w.AcceptButton, Qt::LeftButton);
        QCOMPARE(messages.last(), QStringLiteral("Dense coverage must be a whole number from 1 to 100."));
        QVERIFY(w.isVisible() && !w.Values.Analysis.Scan.SplitTouching);
    }

    void everyFieldSaysWhatItDoesItsRangeAndDefaultInItsGroup()
    {
        frmPrefs w(state, module);
        for (QWidget *field : w.findChildren<QWidget *>()) {
            if (qobject_cast<QLineEdit *>(field) && field->parent() != w.ResCombo)
                QVERIFY2(field->toolTip().contains(QStringLiteral("default"), Qt::CaseInsensitive),
                         qPrintable(field->objectName()));
            else if (qobject_cast<QAbstractButton *>(field) && !qobject_cast<QPushButton *>(field))
                QVERIFY2(field->toolTip().contains(QStringLiteral("Default")), qPrintable(field->objectName()));
        }
        QVERIFY(w.ResCombo->toolTip().contains(QStringLiteral("From 1 to 32767; default 1200")));
        QVERIFY(w.findChild<QWidget *>(QStringLiteral("txtDenseCoverage"))
                    ->toolTip()
                    .endsWith(QStringLiteral("From 1 to 100; default 20.")));
        QCOMPARE(w.findChild<QWidget *>(QStringLiteral("SplitTouchingCheck"))->parent(), w.FilterFrame);
        QCOMPARE(w.findChild<QWidget *>(QStringLiteral("ExtendedFiguresCheck"))->parent(), w.OutputFrame);
    }

    void findCardsAndACardSizeOfOnesOwnAreTakenOverAndABadSizeIsNamed()
    {
        state.FoundCardSize = {52, 26};
        frmPrefs w(state, module);
        w.show();
        QCOMPARE(w.CardSizeCombo->currentText(), QStringLiteral("52 x 26 mm"));
        w.FindCardsCheck->click();
        w.CardSizeCombo->setEditText(QStringLiteral("4 x 26"));
        QTest::mouseClick(w.AcceptButton, Qt::LeftButton);
        QCOMPARE(messages,
                 QStringList{QStringLiteral(
                     "Card size must be a width and a height in millimetres, each from 5 to 500, as 76 x 26.")});
        w.CardSizeCombo->setEditText(QStringLiteral("26 x 60.5"));
        QTest::mouseClick(w.AcceptButton, Qt::LeftButton);
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QVERIFY(w.Values.FindCards && !w.Values.AlwaysShowOverlapEstimate);
        QCOMPARE(w.Values.FoundCardSize, (CardSize{60.5, 26}));
    }

    void cancelChangesNothing()
    {
        frmPrefs w(state, module);
        w.show();
        w.ResCombo->setEditText(QStringLiteral("300"));
        QTest::mouseClick(w.CancelButton, Qt::LeftButton);
        QCOMPARE(w.result(), int(QDialog::Rejected));
        QCOMPARE(w.Values.Analysis.Resolution, 1200);
    }
};

QTEST_MAIN(tst_frmPrefs)
#include "tst_frmPrefs.moc"
