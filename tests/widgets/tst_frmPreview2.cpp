// The print preview: pages, the printer list with "Save as PDF...", Escape,
// and the whole report written as a PDF from the main window's Print.

#include "app/ui/frmMain.h"
#include "intake/CardLoading.h"
#include "line/ui/SprayInfoForm.h"
#include "report/ui/frmPreview2.h"
#include "support/MessageRecorder.h"
#include "support/WindowHelpers.h"
#include "tools/cardgen/CardGenerator.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace vex;
using vex::ui::frmPreview2;

class tst_frmPreview2 : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    MemorySettingsStore store;
    ModuleState module;
    test::MessageRecorder messages{QMessageBox::Ok};

    template <typename Dialog>
    void whenOpen(std::function<void(Dialog &)> act)
    {
        test::whenOpen<Dialog>(this, act);
    }

    static int pdfPages(const QByteArray &pdf)
    {
        int pages = 0;
        for (qsizetype at = 0; (at = pdf.indexOf("/Type /Page\n", at)) >= 0; ++at)
            ++pages;
        for (qsizetype at = 0; (at = pdf.indexOf("/Type /Page\r", at)) >= 0; ++at)
            ++pages;
        for (qsizetype at = 0; (at = pdf.indexOf("/Type /Page/", at)) >= 0; ++at)
            ++pages;
        return pages;
    }

private slots:

    void pagesTabsAndPrinters()
    {
        CardList cards;
        SprayInfo spray;
        ReportInputs in;
        in.Spray = spray;
        in.Cards = &cards;
        frmPreview2 short_(in, 600);
        QCOMPARE(short_.windowTitle(), QStringLiteral("Vexolin - Print"));
        QCOMPARE(short_.Picture1->size(), QSize(363, 470));
        frmPreview2 w(in, 1024);
        QCOMPARE(w.PreviewTabs->count(), 4);
        QCOMPARE(w.PreviewTabs->tabText(3), QStringLiteral("Page 4"));
        QCOMPARE(w.cmbPrinters->itemText(w.cmbPrinters->count() - 1), frmPreview2::SaveAsPdf);
        QCOMPARE(w.Picture1->page(), 1); // drawn at once, printers or not
        w.PreviewTabs->setCurrentIndex(2);
        QCOMPARE(w.Picture1->page(), 3);
        w.PreviewTabs->setCurrentIndex(0);
        QCOMPARE(w.Picture1->page(), 1);
        // The preview paints without a fault for every page.
        for (int i = 0; i < 4; ++i) {
            w.PreviewTabs->setCurrentIndex(i);
            QVERIFY(!w.Picture1->grab().isNull());
        }
    }

    void escapeClosesWithoutPrinting()
    {
        CardList cards;
        SprayInfo spray;
        ReportInputs in;
        in.Spray = spray;
        in.Cards = &cards;
        frmPreview2 w(in, 1024);
        bool asked = false;
        w.choosePdfFile = [&asked](std::string &) {
            asked = true;
            return false;
        };
        w.show();
        QTest::keyClick(&w, Qt::Key_Escape);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.result(), int(QDialog::Rejected));
        QVERIFY(!asked);
    }

    void printFromTheMainWindowWritesAFourPagePdf()
    {
        cardgen::CardSpec base;
        base.Width = 160;
        base.Height = 240;
        base.Discs = 100;
        const auto window = test::lineWindow(store, module, dir.path().toStdString() + "/", 4, base, "p");
        QVERIFY(window);
        ui::frmMain &w = *window;
        w.btnScanAll_Click();
        w.sprayInfo()[Sample_Position1] = "-20";
        w.sprayInfo()[Sample_Interval] = "10";
        test::child<QCheckBox>(w, "CompositeCheck")->click();
        QVERIFY(test::child<QPushButton>(w, "btnPrint")->isVisible());
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        const std::string card = w.cards()[1].FilePath;
        whenOpen<ui::SprayInfoForm>([this, pdf, card](ui::SprayInfoForm &f) {
            f.SampleInput[0]->setText(QStringLiteral("-20"));
            f.SampleInput[1]->setText(QStringLiteral("10"));
            whenOpen<frmPreview2>([pdf, card](frmPreview2 &p) {
                p.cmbPrinters->setCurrentIndex(p.cmbPrinters->count() - 1);
                // A card's own file first: refused, and the preview stays for another.
                p.choosePdfFile = [pdf, card, n = 0](std::string &path) mutable {
                    path = n++ == 0 ? card : pdf.toStdString();
                    return true;
                };
                p.btnPrint->click();
                p.btnPrint->click();
            });
            f.AcceptButton->click();
        });
        test::child<QPushButton>(w, "btnPrint")->click();
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("%PDF"));
        QCOMPARE(pdfPages(bytes), 4);
        QCOMPARE(QStringList(messages),
                 QStringList{QString::fromStdString("Nothing is written to " + card +
                                                    ":\nit is the same file as the card " + card + ".")});
    }
};

QTEST_MAIN(tst_frmPreview2)
#include "tst_frmPreview2.moc"
