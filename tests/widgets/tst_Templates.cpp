// The Template Manager and the cutting of a sheet by a template.

#include "app/ui/frmMain.h"
#include "intake/BmpFile.h"
#include "support/MessageRecorder.h"
#include "support/TestImages.h"
#include "support/WindowHelpers.h"
#include "templates/ui/LoadTemplateForm.h"
#include "templates/ui/UpDown.h"
#include "templates/ui/frmTemplates.h"
#include "text/NumberText.h"
#include "ui/Messages.h"

#include "support/WriteFaults.h"
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <QApplication>

#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>

using namespace vex;
using vex::ui::frmTemplates;
using vex::ui::LoadTemplateForm;

class tst_Templates : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    test::MessageRecorder messages{QMessageBox::Yes};
    MemorySettingsStore store;

    std::string root() const { return dir.path().toStdString() + "/"; }
    QString file() const { return dir.filePath(QStringLiteral("templates.dat")); }

    void writeTemplates(const QByteArray &text)
    {
        QFile f(file());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray readTemplates()
    {
        QFile f(file());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // An 8-bit sheet of width x height pixels with a four-colour table,
    // recording the resolution of `pixelsPerMetre` (none when 0).
    std::string writeSheet(const QString &name, int width, int height, std::uint32_t pixelsPerMetre = 0)
    {
        test::Picture p;
        p.Width = width;
        p.Height = height;
        p.PaletteBgr = {255, 255, 255, 200, 220, 240, 120, 40, 20, 0, 0, 0};
        p.TopDownIndices.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                p.TopDownIndices[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                 static_cast<std::size_t>(x)] = static_cast<std::uint8_t>((x / 50 + y / 50) % 4);
        const std::string path = dir.filePath(name).toStdString();
        std::vector<std::uint8_t> bmp = test::makeBmp(p);
        test::setU32(bmp, 38, pixelsPerMetre);
        test::setU32(bmp, 42, pixelsPerMetre);
        test::writeFile(path, bmp);
        return path;
    }

private slots:
    void init()
    {
        messages.clear();
        messages.answers.clear();
        store.clear();
        QFile::remove(file());
    }

    void opensWithTheFileAndTheCurrentTemplate()
    {
        writeTemplates("\"Tray 2\",2,2.5,0.125,4,3,0.5\r\n\"Left, upper\",1,1.1,0,1,2,0\r\n");
        TemplateRecord current = defaultTemplate();
        current.TemplateName = "Left, upper";
        frmTemplates w(current, root());
        QCOMPARE(w.windowTitle(), QStringLiteral("Template Manager"));
        QCOMPARE(w.comboTemplates->count(), 3);
        QCOMPARE(w.comboTemplates->currentIndex(), 2);
        QCOMPARE(w.txtHSize->text(), QStringLiteral("1.1"));
        QCOMPARE(w.txtHSpace->text(), QStringLiteral("0.0"));
        QCOMPARE(w.txtVSize->text(), QStringLiteral("2.0"));
        QVERIFY(!w.btnSave->isVisible());
        w.comboTemplates->setCurrentIndex(0);
        w.comboTemplates_Click();
        QCOMPARE(w.txtVSpace->text(), QStringLiteral("0.375"));
        QCOMPARE(w.lblHSize->text(), QStringLiteral(" 5.75\" "));
        // An unknown current template joins the list without being saved.
        current.TemplateName = "Elsewhere";
        frmTemplates other(current, root());
        QCOMPARE(other.comboTemplates->currentText(), QStringLiteral("Elsewhere"));
        QCOMPARE(readTemplates().count('\n'), 2);
    }

    void malformedLinesAreReportedOnceAndSkipped()
    {
        writeTemplates("\"Good\",1,1,0,1,1,0\r\n\"Bad\",x,1,0,1,1,0\r\n\"Short\",1\r\n");
        TemplateRecord current = defaultTemplate();
        frmTemplates w(current, root());
        QCOMPARE(w.comboTemplates->count(), 2);
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].contains(QStringLiteral(": 2, 3.")));
    }

    void anUnreadableFileLeavesTheBuiltInTemplate()
    {
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("templates.dat")));
        TemplateRecord current = defaultTemplate();
        frmTemplates w(current, root());
        QDir(file()).removeRecursively();
        QCOMPARE(w.comboTemplates->count(), 1);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(QStringLiteral("could not be read (it is not a regular file)")),
                 qPrintable(messages[0]));
        // Stored template values beyond any sheet are not used, and named.
        store.setRaw("Settings", "TemplateSizeH", "3.4e38");
        const std::string sheet = writeSheet(QStringLiteral("sheet.bmp"), 850, 1100);
        std::int32_t lastClip = 0;
        LoadTemplateForm cut(store, sheet, 100, root(), lastClip);
        QCOMPARE(cut.Template.TemplateSizeH, 1.75f);
        QCOMPARE(cut.resetSettings(), std::vector<std::string>{"Settings/TemplateSizeH = 3.4e38"});
    }

    void sameDimensionsAreRefusedByName()
    {
        writeTemplates("\"Tray 2\",2,2.5,0.125,4,3,0.5\r\n");
        TemplateRecord current = defaultTemplate();
        frmTemplates w(current, root());
        w.show();
        w.udHNum->setValue(2);
        w.udHSize->setValue(2500);
        w.udHSpace->setValue(125);
        w.udVNum->setValue(4);
        w.udVSize->setValue(3000);
        w.udVSpace->setValue(500);
        QVERIFY(w.btnSave->isVisible());
        int asked = 0;
        w.askName = [&asked] {
            ++asked;
            return std::optional<std::string>("New");
        };
        w.btnSave->click();
        QCOMPARE(messages,
                 QStringList{QStringLiteral("Template 'Tray 2' has the same dimensions as the one you're saving.")});
        QCOMPARE(w.comboTemplates->currentIndex(), 1);
        QCOMPARE(asked, 0);
        QCOMPARE(w.templates().size(), std::size_t{2});
    }

    void badNamesAreAskedAgainAndOtherCaseOverwrites()
    {
        writeTemplates("\"Tray 2\",2,2.5,0.125,4,3,0.5\r\n\"Other\",1,1,0,1,1,0\r\n");
        TemplateRecord current = defaultTemplate();
        current.TemplateName = "Tray 2";
        frmTemplates w(current, root());
        w.show();
        w.udVSpace->setValue(750);
        std::deque<std::string> names = {"seventeen chars!!", "say \"x\"", "tray 2"};
        int asked = 0;
        w.askName = [&] {
            ++asked;
            std::string n = names.front();
            names.pop_front();
            return std::optional<std::string>(n);
        };
        messages.answers = {QMessageBox::Yes};
        w.btnSave->click();
        QCOMPARE(asked, 3);
        QCOMPARE(messages, QStringList{QStringLiteral("Overwrite template 'Tray 2'?")});
        QCOMPARE(w.comboTemplates->count(), 3);
        QCOMPARE(w.comboTemplates->itemText(1), QStringLiteral("tray 2"));
        QCOMPARE(w.comboTemplates->currentIndex(), 1);
        QCOMPARE(readTemplates(), QByteArray("\"tray 2\",2,2.5,0.125,4,3,0.75\r\n\"Other\",1,1,0,1,1,0\r\n"));
        QVERIFY(!w.btnSave->isVisible());
    }

    void aFullDiscKeepsTheTemplatesFileAndWritesNoClip()
    {
        writeTemplates("\"Other\",1,1,0,1,1,0\r\n");
        TemplateRecord current = defaultTemplate();
        frmTemplates w(current, root());
        w.show();
        w.udVSpace->setValue(750);
        w.askName = [] { return std::optional<std::string>("New"); };
        {
            const test::FailingWrites full(10);
            w.btnSave->click();
        }
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(QString::fromLatin1(std::strerror(ENOSPC))), qPrintable(messages[0]));
        QCOMPARE(readTemplates(), QByteArray("\"Other\",1,1,0,1,1,0\r\n"));
        // Cutting on a full disc says so and leaves no clip.
        messages.clear();
        const std::string sheet = writeSheet(QStringLiteral("sheet.bmp"), 850, 1100);
        std::int32_t lastClip = 0;
        LoadTemplateForm cut(store, sheet, 100, root(), lastClip);
        {
            const test::FailingWrites full(10);
            cut.btnOK->click();
        }
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].startsWith(QStringLiteral("Error: ")));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("sheet-cards/clip01.bmp"))));
    }

    void deletingTheLastTemplatesDeletesTheFile()
    {
        writeTemplates("\"One\",1,1,0,1,1,0\r\n\"Two\",2,1,0,1,1,0\r\n");
        TemplateRecord current = defaultTemplate();
        current.TemplateName = "Two";
        frmTemplates w(current, root());
        w.show();
        QTest::keyClick(w.comboTemplates, Qt::Key_Delete);
        QCOMPARE(messages.last(), QStringLiteral("Are you sure you want to delete this template?"));
        QCOMPARE(w.comboTemplates->count(), 2);
        QCOMPARE(w.comboTemplates->currentIndex(), 1); // the new last entry
        QCOMPARE(readTemplates(), QByteArray("\"One\",1,1,0,1,1,0\r\n"));
        QTest::keyClick(w.comboTemplates, Qt::Key_Delete);
        QVERIFY(!QFile::exists(file()));
        QCOMPARE(w.comboTemplates->currentIndex(), 0);
        // "<Default>" stays.
        QTest::keyClick(w.comboTemplates, Qt::Key_Delete);
        QCOMPARE(w.comboTemplates->count(), 1);
    }

    void acceptWithoutUserTemplatesIsNoName()
    {
        TemplateRecord current = defaultTemplate();
        frmTemplates w(current, root());
        w.show();
        w.udHNum->setValue(2);
        w.btnAccept->click();
        QCOMPARE(current.TemplateName, std::string("<No Name>"));
        QCOMPARE(current.TemplateNumH, 2);
        // Cancel leaves the values alone.
        frmTemplates again(current, root());
        again.udHNum->setValue(5);
        again.btnCancel->click();
        QCOMPARE(current.TemplateNumH, 2);
    }

    void cutsAThreeByThreeSheetLeavingTwoOut()
    {
        const std::string sheet = writeSheet(QStringLiteral("sheet.bmp"), 850, 1100); // letter at 100 dpi
        std::int32_t lastClip = 0;
        LoadTemplateForm w(store, sheet, 100, root(), lastClip);
        QVERIFY(w.SheetLoaded);
        w.show();
        std::vector<std::string> opened;
        w.LoadImage = [&opened](const std::string &title, const std::string &, std::int32_t) {
            opened.push_back(title);
            return true;
        };
        for (const int card : {5, 9}) {
            const CardOutline o = w.outlines()[static_cast<std::size_t>(card - 1)];
            const double ppi = w.Picture1->pixelsPerInch();
            QTest::mouseClick(w.Picture1, Qt::LeftButton, {},
                              QPoint(static_cast<int>((o.Left + 0.5) * ppi), static_cast<int>((o.Top + 0.5) * ppi)));
        }
        QVERIFY(!w.CardSelected[4]);
        QVERIFY(!w.CardSelected[8]);
        QVERIFY(w.btnOK->isEnabled());
        w.btnOK->click();
        QCOMPARE(opened, (std::vector<std::string>{"clip01.bmp", "clip02.bmp", "clip03.bmp", "clip04.bmp", "clip06.bmp",
                                                   "clip07.bmp", "clip08.bmp"}));
        QCOMPARE(lastClip, 9);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("sheet-cards/clip05.bmp"))));
        const DecodeResult clip = decodeBmpFile(dir.filePath(QStringLiteral("sheet-cards/clip01.bmp")).toStdString());
        QVERIFY(clip.ok());
        QCOMPARE(clip->BitsPerPixel, 8);
        QCOMPARE(clip->Image.PaletteBgr,
                 (std::vector<std::uint8_t>{255, 255, 255, 200, 220, 240, 120, 40, 20, 0, 0, 0}));
        QCOMPARE(clip->Image.Width, 175); // 1.75 x 100
        QCOMPARE(store.values().at({"Settings", "TemplateSizeV"}), std::string("2.75"));
        // The next sheet goes on from clip 10.
        LoadTemplateForm next(store, sheet, 100, root(), lastClip);
        next.LoadImage = [&opened](const std::string &title, const std::string &, std::int32_t) {
            opened.push_back(title);
            return true;
        };
        next.btnOK->click();
        QCOMPARE(opened[7], std::string("clip10.bmp"));
        QCOMPARE(lastClip, 18);
    }

    void oneCardAt600DpiKeepsItsWhole1050By1650Pixels()
    {
        store.setRaw("Settings", "TemplateNumH", "1");
        store.setRaw("Settings", "TemplateNumV", "1");
        const std::string sheet = writeSheet(QStringLiteral("one.bmp"), 1100, 1700);
        std::int32_t lastClip = 0;
        LoadTemplateForm w(store, sheet, 600, root(), lastClip);
        w.btnOK->click();
        const DecodeResult clip = decodeBmpFile(dir.filePath(QStringLiteral("one-cards/clip01.bmp")).toStdString());
        QVERIFY(clip.ok());
        QCOMPARE(clip->Image.Width, 1050);
        QCOMPARE(clip->Image.Height, 1650);
    }

    void aFrameOverTheSheetsEdgeIsCutShortAndTold()
    {
        // Over the edge by less than half a pixel, so OK cuts it.
        for (const auto &[key, value] : {std::pair("TemplateNumH", "1"), std::pair("TemplateNumV", "1"),
                                         std::pair("TemplateSizeH", "1.996"), std::pair("TemplateSizeV", "2.5")})
            store.setRaw("Settings", key, value);
        std::int32_t lastClip = 0;
        LoadTemplateForm edge(store, writeSheet(QStringLiteral("edge.bmp"), 200, 300), 100, root(), lastClip);
        edge.ShiftButton[1]->click();
        edge.btnOK->click();
        QCOMPARE(decodeBmpFile(edge.clips().at(0))->Image.Width, 199);
        QCOMPARE(messages, QStringList{QStringLiteral("Card 1 reaches past the edge of the sheet: it was cut short to "
                                                      "199 x 250 pixels of its 200 x 250.")});
    }

    void cutCardsGoToAFolderTheUserPicksWhenTheSheetsCannotTakeThem()
    {
        QFile(dir.filePath(QStringLiteral("flat-cards"))).open(QIODevice::WriteOnly);
        std::int32_t lastClip = 0;
        LoadTemplateForm w(store, writeSheet(QStringLiteral("flat.bmp"), 850, 1100), 100, root(), lastClip);
        w.chooseClipFolder = [this](std::string &folder) { return !(folder = root() + "picked").empty(); };
        w.btnOK->click();
        QVERIFY(messages.value(0).contains(QStringLiteral("flat-cards is a file, not a folder")));
        QCOMPARE(w.clips().back(), root() + "picked/clip09.bmp");
    }

    void arrowsMoveTheOutlinesAndTheEdgeDisablesOk()
    {
        const std::string sheet = writeSheet(QStringLiteral("sheet.bmp"), 850, 1100);
        std::int32_t lastClip = 0;
        LoadTemplateForm w(store, sheet, 100, root(), lastClip);
        w.show();
        const double before = w.outlines()[0].Left;
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(w.Picture1, Qt::Key_Right);
        QCOMPARE(w.OffsetX, 4);
        QVERIFY(std::abs((w.outlines()[0].Left - before) * w.Picture1->pixelsPerInch() - 4.0) < 1e-9);
        QVERIFY(w.btnOK->isEnabled());
        for (int i = 0; i < 5; ++i)
            w.ShiftButton[3]->click(); // left, past the sheet's edge
        QCOMPARE(w.OffsetX, -1);
        QVERIFY(!w.btnOK->isEnabled());
        w.ShiftButton[1]->click();
        QVERIFY(w.btnOK->isEnabled());
        QTest::keyClick(w.Picture1, Qt::Key_Up);
        QVERIFY(!w.btnOK->isEnabled());
    }

    void aDragMovesTheCardsByItsDistanceAndNeverOffTheSheet()
    {
        std::int32_t lastClip = 0;
        LoadTemplateForm w(store, writeSheet(QStringLiteral("sheet.bmp"), 850, 1100), 100, root(), lastClip);
        w.show();
        const double ppi = w.Picture1->pixelsPerInch();
        auto drag = [&w, ppi](QPoint by) {
            const CardOutline o = w.outlines()[4];
            const QPoint from(static_cast<int>((o.Left + 0.5) * ppi), static_cast<int>((o.Top + 0.5) * ppi));
            QTest::mousePress(w.Picture1, Qt::LeftButton, {}, from);
            QTest::mouseMove(w.Picture1, from + by);
            QTest::mouseRelease(w.Picture1, Qt::LeftButton, {}, from + by);
        };
        drag(QPoint(30, 20));
        QCOMPARE(QPoint(w.OffsetX, w.OffsetY), QPoint(30, 20));
        QVERIFY(std::abs(w.outlines()[0].Left * ppi - 30.0) < 1e-9);
        QCOMPARE(w.txtLeft->text(), QString::fromStdString(formatFixed(30.0 / ppi, 2)));
        QVERIFY(w.CardSelected[4]); // moved, not left out
        // Far past the bottom-right corner: the last card stops at it.
        drag(QPoint(2000, 2000));
        const CardOutline last = w.outlines()[8];
        QVERIFY(8.5 - (last.Left + last.Width) < 1.0 / ppi);
        QVERIFY(11.0 - (last.Top + last.Height) < 1.0 / ppi);
        QVERIFY(w.btnOK->isEnabled());
    }

    void metricLengthsAreMillimetresAndComeBackExactly()
    {
        writeTemplates("\"Tray 2\",2,2.5,0.125,4,3,0.5\r\n");
        TemplateRecord current = defaultTemplate();
        current.TemplateName = "Tray 2";
        frmTemplates w(current, root(), nullptr, true);
        QCOMPARE(w.txtHSpace->text(), QStringLiteral("3.175"));
        QCOMPARE(w.lblVSize->text(), QStringLiteral(" 342.9 mm "));
        w.txtVSize->setText(QStringLiteral("80"));
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(w.txtVSize, &out);
        w.btnAccept->click();
        QCOMPARE(current.TemplateSizeV, static_cast<float>(80 / 25.4));
        QCOMPARE(current.TemplateSpaceH, 0.125f);
        // The cutting window takes the cards' place in millimetres too.
        std::int32_t lastClip = 0;
        LoadTemplateForm cut(store, writeSheet(QStringLiteral("sheet.bmp"), 850, 1100), 100, root(), lastClip, nullptr,
                             true);
        cut.txtTop->setText(QStringLiteral("25.4"));
        emit cut.txtTop->editingFinished();
        QVERIFY(std::abs(cut.outlines()[0].Top - 1.0) <= 0.5 / cut.Picture1->pixelsPerInch());
        QCOMPARE(cut.txtTop->text(), QString::fromStdString(formatFixed(cut.outlines()[0].Top * 25.4, 1)));
    }

    void theSheetsRecordedResolutionAndNameAreTaken()
    {
        std::int32_t lastClip = 0;
        LoadTemplateForm w(store, writeSheet(QStringLiteral("scan.bmp"), 850, 1100, 11811), 100, root(), lastClip);
        QCOMPARE(w.ResCombo->currentText(), QStringLiteral("300"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Cut Sheet by Template - scan.bmp"));
    }

    void enterInTheResolutionBoxAppliesItAndCutsNothing()
    {
        const std::string sheet = writeSheet(QStringLiteral("sheet.bmp"), 850, 1100);
        std::int32_t lastClip = 0;
        LoadTemplateForm w(store, sheet, 90, root(), lastClip);
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.ResCombo->lineEdit()->selectAll();
        QTest::keyClicks(w.ResCombo->lineEdit(), QStringLiteral("100"));
        QTest::keyClick(w.ResCombo->lineEdit(), Qt::Key_Return);
        QCOMPARE(w.Resolution, 100);
        QVERIFY(w.btnOK->isEnabled()); // OK would cut: Enter must not reach it
        QVERIFY(w.isVisible());
        QVERIFY(w.clips().empty());
        QCOMPARE(lastClip, 0);
    }

    void cancelChangesNothing()
    {
        const std::string sheet = writeSheet(QStringLiteral("sheet.bmp"), 850, 1100);
        MemorySettingsStore settings;
        ModuleState module;
        module.RootDir = root();
        ui::frmMain main(settings, module, 1024);
        std::int32_t lastClip = 0;
        LoadTemplateForm w(settings, sheet, 100, root(), lastClip);
        w.LoadImage = [&main](const std::string &t, const std::string &f, std::int32_t r) {
            return main.loadImage(t, f, r);
        };
        w.CancelButton->click();
        QCOMPARE(lastClip, 0);
        QVERIFY(settings.values().empty());
        QCOMPARE(main.cardCount(), 0);
    }

    void cutClipsOpenAsCardsInTheMainWindow()
    {
        const std::string sheet = writeSheet(QStringLiteral("sheet.bmp"), 850, 1100);
        MemorySettingsStore settings;
        ModuleState module;
        module.RootDir = root();
        ui::frmMain main(settings, module, 1024);
        // The cards take the resolution typed for the sheet, not the default.
        main.preferences().Analysis.Resolution = 300;
        QTimer::singleShot(0, this, [] {
            auto *form = qobject_cast<LoadTemplateForm *>(QApplication::activeModalWidget());
            QVERIFY(form);
            form->ResCombo->setEditText(QStringLiteral("100"));
            emit form->ResCombo->lineEdit()->editingFinished();
            form->btnOK->click();
        });
        main.cutSheet(sheet);
        QCOMPARE(main.cardCount(), 9);
        QCOMPARE(main.cards()[9].Resolution, 100);
        QCOMPARE(main.currentCard(), 9);
        QCOMPARE(main.cards()[1].FileTitle, std::string("clip01.bmp"));
        QCOMPARE(main.lastClipIndex(), 9);
        QCOMPARE(main.preferences().InitialDir, root());
        // The cards live beside their sheet, not with the program's temporaries.
        QCOMPARE(main.cards()[1].FilePath, root() + "sheet-cards/clip01.bmp");
        messages.answers = {QMessageBox::Discard};
        main.close();
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("sheet-cards/clip09.bmp"))));
    }
};

QTEST_MAIN(tst_Templates)
#include "tst_Templates.moc"
