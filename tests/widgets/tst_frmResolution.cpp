// The resolution window: editing in place, red names, Apply To All, Accept.

#include "intake/CardLoading.h"
#include "intake/ui/InfoForm.h"
#include "intake/ui/frmResolution.h"
#include "support/MessageRecorder.h"
#include "ui/Messages.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using namespace vex;
using vex::ui::frmResolution;

class tst_frmResolution : public QObject {
    Q_OBJECT
private:
    test::MessageRecorder questions{QMessageBox::Yes};

    static CardList cards(bool scanned)
    {
        CardList list;
        for (const char *n : {"a.bmp", "b.bmp", "c.bmp"})
            list.add(newCardRecord(n, "/d", 1000, 500, 1200));
        for (CardRecord &c : list.records())
            c.Scanned = scanned;
        return list;
    }

    static void type(frmResolution &w, int row, const QString &digits)
    {
        w.ResolutionList->setCurrentCell(row, 1);
        QTest::keyClicks(w.ResolutionList, digits.left(1));
        QTest::keyClicks(w.CellEditText, digits.mid(1));
        QTest::keyClick(w.CellEditText, Qt::Key_Return);
    }

    static bool red(const frmResolution &w, int row)
    {
        return w.ResolutionList->item(row, 0)->foreground().color() == QColor(255, 0, 0);
    }

private slots:
    void init() { questions.clear(); }

    void gridShowsEveryCard()
    {
        CardList list = cards(false);
        frmResolution w(list, {});
        QCOMPARE(w.windowTitle(), QStringLiteral("Image Resolution"));
        QCOMPARE(w.ResolutionList->rowCount(), 3);
        QCOMPARE(w.ResolutionList->item(1, 0)->text(), QStringLiteral("b.bmp"));
        QCOMPARE(w.ResolutionList->item(1, 1)->text(), QStringLiteral("1200"));
        QCOMPARE(w.MakeSameSizeButton->text(), QStringLiteral("Apply To All"));
    }

    void aDigitOpensTheEditorAndEnterWritesTheCell()
    {
        CardList list = cards(true);
        frmResolution w(list, {});
        w.show();
        w.ResolutionList->setFocus();
        w.ResolutionList->setCurrentCell(0, 1);
        QTest::keyClicks(w.ResolutionList, "6");
        QVERIFY(w.CellEditText->isVisible());
        QCOMPARE(w.CellEditText->text(), QStringLiteral("6"));
        QTest::keyClicks(w.CellEditText, "00");
        QTest::keyClick(w.CellEditText, Qt::Key_Return);
        QVERIFY(!w.CellEditText->isVisible());
        QCOMPARE(w.ResolutionList->item(0, 1)->text(), QStringLiteral("600"));
        QVERIFY(red(w, 0));
        QCOMPARE(list[1].Resolution, 1200); // cards change on Accept only
    }

    void backToTheOldValueTurnsBlackButStillAsks()
    {
        CardList list = cards(true);
        std::vector<int> reanalysed{-1};
        frmResolution w(list, [&](const std::vector<int> &c) { reanalysed = c; });
        w.show();
        type(w, 0, "600");
        type(w, 0, "1200");
        QVERIFY(!red(w, 0));
        questions.answer = QMessageBox::Yes;
        w.AcceptButton->click();
        QCOMPARE(questions.size(), 1);
        QVERIFY(questions.front().startsWith("You have changed the resolution for one\nor more analysed images."));
        QVERIFY(reanalysed.empty());
    }

    void badEntriesAreIgnored()
    {
        CardList list = cards(true);
        frmResolution w(list, {});
        w.show();
        type(w, 1, "0");
        w.ResolutionList->setCurrentCell(1, 1);
        w.beginEdit("abc");
        w.endEdit();
        QCOMPARE(w.ResolutionList->item(1, 1)->text(), QStringLiteral("1200"));
        QVERIFY(!red(w, 1));
        QVERIFY(!w.grid().anyChanged());
    }

    void escapeInTheEditorEndsTheEditNotTheWindow()
    {
        CardList list = cards(false);
        frmResolution w(list, {});
        w.show();
        w.ResolutionList->setCurrentCell(2, 1);
        w.beginEdit("300");
        QTest::keyClick(w.CellEditText, Qt::Key_Escape);
        QVERIFY(w.isVisible());
        QCOMPARE(w.ResolutionList->item(2, 1)->text(), QStringLiteral("300"));
    }

    void applyToAllAndAcceptReanalyseTheChangedScannedCards()
    {
        CardList list = cards(false);
        list[2].Scanned = true;
        std::vector<int> reanalysed;
        frmResolution w(list, [&](const std::vector<int> &c) { reanalysed = c; });
        w.show();
        type(w, 0, "600");
        w.ResolutionList->setCurrentCell(0, 1);
        w.MakeSameSizeButton->click();
        for (int r = 0; r < 3; ++r)
            QCOMPARE(w.ResolutionList->item(r, 1)->text(), QStringLiteral("600"));
        QVERIFY(!red(w, 0));
        QVERIFY(red(w, 1));
        QCOMPARE(w.ResolutionList->currentRow(), 0);
        questions.answer = QMessageBox::Yes;
        w.AcceptButton->click();
        QCOMPARE(reanalysed, std::vector<int>{2});
        for (const CardRecord &c : list.records()) {
            QCOMPARE(c.Resolution, 600);
            QVERIFY(std::abs(c.PixelSizeX - 42.333848) < 1e-5);
        }
    }

    void noKeepsTheNewResolutionsWithoutReanalysing()
    {
        CardList list = cards(true);
        bool called = false;
        frmResolution w(list, [&](const std::vector<int> &) { called = true; });
        w.show();
        type(w, 2, "2000");
        questions.answer = QMessageBox::No;
        w.AcceptButton->click();
        QVERIFY(!called);
        QCOMPARE(list[3].Resolution, 2000);
    }

    void cancelChangesNoCard()
    {
        CardList list = cards(true);
        frmResolution w(list, {});
        w.show();
        type(w, 0, "600");
        w.CancelButton->click();
        QCOMPARE(list[1].Resolution, 1200);
        QVERIFY(questions.isEmpty());
    }

    void infoFormTexts()
    {
        vex::ui::InfoForm info;
        info.showCard(newCardRecord("a.bmp", "/d", 1000, 500, 600), true);
        QCOMPARE(info.windowTitle(), QStringLiteral("Image Information..."));
        QCOMPARE(info.ResLabel[0]->text(), QString::fromUtf8("42.3 \u00b5m/pixel"));
        QCOMPARE(info.SizeLabel[0]->text(), QString::fromUtf8("1000\u00d7500 pixels"));
        QCOMPARE(info.AreaLabel->text(), QString::fromUtf8("8.96 cm \u00b2"));
    }
};

QTEST_MAIN(tst_frmResolution)
#include "tst_frmResolution.moc"
