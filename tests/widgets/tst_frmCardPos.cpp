// The Card Positions window: opening values, the grid, box rules, Accept
// and the mode in which Accept is the only way out.

#include "intake/CardLoading.h"
#include "line/ui/frmCardPos.h"
#include "ui/Messages.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using namespace vex;
using vex::ui::frmCardPos;

class tst_frmCardPos : public QObject {
    Q_OBJECT
private:
    MemorySettingsStore store;
    SprayInfo spray;
    CardList cards;

    static QString cell(const frmCardPos &w, int row, int column) { return w.PositionList->item(row, column)->text(); }

    static void leave(frmCardPos &w, int box)
    {
        w.activateWindow();
        w.txtInput[box]->setFocus();
        w.txtInput[1 - box]->setFocus();
    }

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
        store.clear();
        spray = SprayInfo{};
        cards.clear();
        for (const char *n : {"north.bmp", "a-much-longer-card-name.bmp", "c.bmp"})
            cards.add(newCardRecord(n, "/d/", 10, 10, 600));
    }

    void opensWithDefaultsAndWholePositions()
    {
        frmCardPos w(cards, spray, store, true, false);
        QCOMPARE(w.windowTitle(), QStringLiteral("Card Positions"));
        QCOMPARE(w.txtInput[0]->text(), QStringLiteral("-50.0"));
        QCOMPARE(w.txtInput[1]->text(), QStringLiteral("10.0"));
        QCOMPARE(w.lblUnits[0]->text(), QStringLiteral("m"));
        QCOMPARE(w.PositionList->rowCount(), 3);
        QCOMPARE(cell(w, 1, 0), QStringLiteral("a-much-longer-card-name.bmp"));
        QCOMPARE(cell(w, 0, 1), QStringLiteral("-50"));
        QCOMPARE(cell(w, 2, 1), QStringLiteral("-30"));
        frmCardPos us(cards, spray, store, false, false);
        QCOMPARE(us.lblUnits[1]->text(), QStringLiteral("ft"));
    }

    void halfPositionsShowOneDecimal()
    {
        spray[Sample_Position1] = "-45.5";
        frmCardPos w(cards, spray, store, true, false);
        showActive(w);
        QCOMPARE(w.txtInput[0]->text(), QStringLiteral("-45.5"));
        QCOMPARE(cell(w, 1, 1), QStringLiteral("-35.5"));
    }

    void badEntriesGiveTheValueBack()
    {
        frmCardPos w(cards, spray, store, true, false);
        showActive(w);
        w.txtInput[0]->setText(QStringLiteral(""));
        leave(w, 0);
        QCOMPARE(w.txtInput[0]->text(), QStringLiteral("-50.0"));
        w.txtInput[1]->selectAll();
        QTest::keyClicks(w.txtInput[1], QStringLiteral("5"));
        QTest::keyClick(w.txtInput[1], Qt::Key_Minus);
        QCOMPARE(w.txtInput[1]->text(), QStringLiteral("-5"));
        leave(w, 1);
        QCOMPARE(w.txtInput[1]->text(), QStringLiteral("10.0"));
        w.txtInput[1]->setText(QStringLiteral("2.5"));
        leave(w, 1);
        QCOMPARE(cell(w, 1, 1), QStringLiteral("-47.5"));
        // Out of range, or too far out to tell cards 0.01 apart.
        w.txtInput[1]->setText(QStringLiteral("0.01"));
        leave(w, 1);
        for (const char *far : {"2000000", "1000000"}) {
            w.txtInput[0]->setText(QString::fromLatin1(far));
            leave(w, 0);
            QCOMPARE(w.txtInput[0]->text(), QStringLiteral("-50.0"));
        }
        // Typing over a selection replaces it, the minus sign included, and
        // a comma is the decimal point.
        w.txtInput[0]->setText(QStringLiteral("-50.0"));
        w.txtInput[0]->selectAll();
        QTest::keyClicks(w.txtInput[0], QStringLiteral("-40,5"));
        QCOMPARE(w.txtInput[0]->text(), QStringLiteral("-40.5"));
    }

    void acceptPlacesTheCardsAndStoresBothValues()
    {
        frmCardPos w(cards, spray, store, true, false);
        showActive(w);
        w.txtInput[0]->setText(QStringLiteral("-20"));
        w.txtInput[1]->setText(QStringLiteral("abc"));
        QTest::mouseClick(w.AcceptButton, Qt::LeftButton);
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(cards[3].Position, 0.0f);
        QCOMPARE(spray[Sample_Position1], std::string("-20"));
        QCOMPARE(spray[Sample_Interval], std::string("10.0"));
        QCOMPARE(store.values().at({"SprayInfo", "Sample_Position1"}), std::string("-20"));
        QCOMPARE(store.values().at({"SprayInfo", "Sample_Interval"}), std::string("10.0"));
    }

    void rowsTakeATypedPositionMoveAndLeaveACardOut()
    {
        frmCardPos w(cards, spray, store, true, false);
        showActive(w);
        w.PositionList->item(1, 1)->setText(QStringLiteral("-42.5"));
        w.PositionList->item(0, 2)->setCheckState(Qt::Checked);
        QCoreApplication::processEvents();
        QCOMPARE(cell(w, 1, 1), QStringLiteral("-42.5"));
        QCOMPARE(cell(w, 2, 1), QStringLiteral("-30.0")); // one decimal now that one position has it
        QVERIFY(w.lblNote->isVisible());
        w.PositionList->item(2, 1)->setText(QStringLiteral("far"));
        QCoreApplication::processEvents();
        QCOMPARE(cell(w, 2, 1), QStringLiteral("-30.0"));
        w.PositionList->setCurrentCell(2, 0);
        QTest::mouseClick(w.btnMoveUp, Qt::LeftButton);
        QCOMPARE(cell(w, 1, 0), QStringLiteral("c.bmp"));
        QCOMPARE(cell(w, 1, 1), QStringLiteral("-40.0")); // takes the place of its new rank
        QTest::mouseClick(w.AcceptButton, Qt::LeftButton);
        QVERIFY(w.lineOrderChanged() && w.placesChanged());
        QCOMPARE(cards[2].FileTitle, std::string("c.bmp"));
        QCOMPARE(cards[3].Position, -42.5f);
        QVERIFY(cards[3].PositionEdited && cards[1].Excluded && !cards[2].Excluded);
        QCOMPARE(cards[2].Position, -40.0f);
    }

    void cancelChangesNothing()
    {
        frmCardPos w(cards, spray, store, true, false);
        showActive(w);
        w.txtInput[0]->setText(QStringLiteral("7"));
        QTest::mouseClick(w.CancelButton, Qt::LeftButton);
        QCOMPARE(w.result(), int(QDialog::Rejected));
        QVERIFY(spray[Sample_Position1].empty());
        QCOMPARE(cards[1].Position, 0.0f);
        QVERIFY(store.values().empty());
    }

    void acceptOnlyModeHasNoOtherWayOut()
    {
        frmCardPos w(cards, spray, store, true, true);
        showActive(w);
        QVERIFY(!w.CancelButton->isEnabled());
        QVERIFY(!(w.windowFlags() & Qt::WindowCloseButtonHint));
        QTest::keyClick(&w, Qt::Key_Escape);
        QVERIFY(w.isVisible());
        w.close();
        QVERIFY(w.isVisible());
        QTest::mouseClick(w.AcceptButton, Qt::LeftButton);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(tst_frmCardPos)
#include "tst_frmCardPos.moc"
