// Opening card images from the main window: checks, messages, order, state.

#include "app/ui/FindCardsDialog.h"
#include "app/ui/frmMain.h"
#include "intake/Resolution.h"
#include "intake/qt/PictureLoader.h"
#include "support/DrawnPhoto.h"
#include "support/MessageRecorder.h"
#include "support/WindowHelpers.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <memory>

using namespace vex;
using vex::ui::frmMain;
using namespace std::string_literals;

class tst_LoadImage : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    MemorySettingsStore store;
    ModuleState module;
    test::MessageRecorder messages{QMessageBox::Ok};

    std::string folder() const { return dir.path().toStdString() + "/"; }

    std::unique_ptr<frmMain> window() { return test::openWindow(store, module, folder()); }

    // An 8-bit card with a grey ramp colour table.
    void writeCard(const QString &name, int width = 40, int height = 30)
    {
        QImage image(width, height, QImage::Format_Indexed8);
        QList<QRgb> table;
        for (int i = 0; i < 256; ++i)
            table << qRgb(i, 255 - i, (i * 7) & 255);
        image.setColorTable(table);
        image.fill(3);
        image.setPixel(5, 5, 200);
        QVERIFY(image.save(dir.filePath(name), "BMP"));
    }

    void writeBytes(const QString &name, const QByteArray &bytes)
    {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    static QByteArray gifHeader(const char *signature, int colourResolutionBits)
    {
        QByteArray b(signature, 6);
        b.append(char(40)).append(char(0)).append(char(30)).append(char(0));
        b.append(char(0x80 | ((colourResolutionBits - 1) << 4) | 0x07)).append(char(0)).append(char(0));
        return b;
    }

    QStringList several(std::initializer_list<const char *> names) const
    {
        QStringList paths;
        for (const char *n : names)
            paths << dir.filePath(QString::fromLatin1(n));
        return paths;
    }

private slots:
    void init()
    {
        messages.clear();
        store.clear();
    }

    void oneFileBecomesTheCurrentCard()
    {
        writeCard("one.bmp", 40, 30);
        auto w = window();
        w->loadFiles(folder() + "one.bmp");
        QCOMPARE(w->cardCount(), 1);
        QCOMPARE(w->cards()[1].FilePath, folder() + "one.bmp");
        QCOMPARE(w->cards()[1].ImageWidth, 40);
        QCOMPARE(w->cards()[1].ImageHeight, 30);
        QCOMPARE(w->cards()[1].Resolution, 1200);
        QCOMPARE(w->preferences().InitialDir, folder());
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->tabText(0), QStringLiteral("one.bmp"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Quarrow Vexolin -- one.bmp -- 1200 dpi -- Untitled trial *"));
        QVERIFY(test::child<QPushButton>(*w, "btnChangeRes")->isVisible());
        QVERIFY(!test::child<QPushButton>(*w, "btnCancel")->isEnabled());
        QVERIFY(messages.isEmpty());
    }

    void threeFilesSortUpperCaseFirstAndTheFirstIsCurrent()
    {
        writeCard("c.bmp");
        writeCard("a.bmp");
        writeCard("B.bmp");
        auto w = window();
        w->loadFiles(several({"c.bmp", "a.bmp", "B.bmp"}));
        QCOMPARE(w->cardCount(), 3);
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->tabText(0), QStringLiteral("B.bmp"));
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->tabText(1), QStringLiteral("a.bmp"));
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->tabText(2), QStringLiteral("c.bmp"));
        QCOMPARE(w->cards()[2].FileTitle, "a.bmp"s);
        QCOMPARE(w->currentCard(), 1);
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->currentIndex(), 0);
        QCOMPARE(w->windowTitle(), QStringLiteral("Quarrow Vexolin -- B.bmp -- 1200 dpi -- Untitled trial *"));
        QCOMPARE(w->preferences().InitialDir, folder());
    }

    void aDuplicateInOneSelectionLoadsOnce()
    {
        writeCard("a.bmp");
        auto w = window();
        w->loadFiles(several({"a.bmp", "a.bmp"}));
        QCOMPARE(w->cardCount(), 1);
        QCOMPARE(messages, QStringList{"'a.bmp' has\nalready been opened."});
        w->loadFiles(folder() + "a.bmp");
        QCOMPARE(w->cardCount(), 1);
        QCOMPARE(messages.size(), 2);
    }

    void refusedFilesLeaveNoCardAndTheOthersStillLoad()
    {
        writeCard("good.bmp");
        QImage rgb(10, 10, QImage::Format_RGB888);
        rgb.fill(Qt::red);
        QVERIFY(rgb.save(dir.filePath("rgb.bmp"), "BMP"));
        writeBytes("short.bmp", QByteArray("BM\x10\x00", 4));
        writeBytes("notes.tiff", "x");
        auto w = window();
        w->loadFiles(several({"rgb.bmp", "good.bmp", "short.bmp", "notes.tiff"}));
        QCOMPARE(w->cardCount(), 1);
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->count(), 1);
        QCOMPARE(w->findChildren<QLabel *>(QStringLiteral("CardLabel")).size(), 1);
        QCOMPARE(w->cards()[1].FileTitle, "good.bmp"s);
        QCOMPARE(messages.size(), 3);
        QVERIFY(messages.contains("This file is encoded at 24 bits per\npixel and cannot be analysed."));
        QVERIFY(messages.contains("'notes.tiff' is an unsupported file type."));
        bool namedShort = false;
        for (qsizetype i = 0; i < messages.size(); ++i) {
            const bool error = messages[i].startsWith("Error: 'short.bmp' cannot be opened as a card image: ");
            namedShort |= error;
            // A refusal or an error warns; it is never shown as information.
            QVERIFY(messages.icons[i] == QMessageBox::Warning || messages.icons[i] == QMessageBox::Critical);
        }
        QVERIFY2(namedShort, qPrintable(messages.join(" | ")));
    }

    void gifHeaderChecks()
    {
        writeBytes("bad.gif", "JFIF00000000000000");
        writeBytes("deep7.gif", gifHeader("GIF89a", 7));
        auto w = window();
        w->loadFiles(several({"bad.gif", "deep7.gif"}));
        QCOMPARE(w->cardCount(), 0);
        QCOMPARE(messages, (QStringList{"This file is encoded at 7 bits per\npixel and cannot be analysed.",
                                        "'bad.gif' does not seem to be a valid GIF image."}));
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->tabText(0), QStringLiteral("<No Image>"));
    }

    void missingFileIsAnError()
    {
        auto w = window();
        w->loadFiles(folder() + "gone.bmp");
        QCOMPARE(w->cardCount(), 0);
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages.front().startsWith("Error: 'gone.bmp'"));
    }

    void cancelledDialogChangesNothing()
    {
        writeCard("a.bmp");
        auto w = window();
        w->loadFiles(folder() + "a.bmp");
        test::child<QPushButton>(*w, "btnCancel")->setEnabled(true);
        w->loadFiles("");
        QCOMPARE(w->cardCount(), 1);
        QVERIFY(!test::child<QPushButton>(*w, "btnCancel")->isEnabled());
        QVERIFY(messages.isEmpty());
    }

    void cardsKeepTheResolutionTheyOpenedWith()
    {
        writeCard("a.bmp");
        writeCard("b.bmp");
        auto w = window();
        w->preferences().Analysis.Resolution = 600;
        w->loadFiles(folder() + "a.bmp");
        w->preferences().Analysis.Resolution = 2000;
        w->loadFiles(folder() + "b.bmp");
        QCOMPARE(w->cards()[1].Resolution, 600);
        QCOMPARE(w->cards()[2].Resolution, 2000);
        QCOMPARE(w->currentCard(), 2);
    }

    void scanColoursFindsTheStainPixels()
    {
        writeCard("s.bmp", 40, 30);
        auto w = window();
        w->loadFiles(folder() + "s.bmp");
        w->preferences().DisableBackgroundWarning = true; // the question would wait for a user
        QVERIFY(test::child<QPushButton>(*w, "btnScanColour")->isEnabled());
        test::child<QPushButton>(*w, "btnScanColour")->click();
        const CardRecord &card = w->cards()[1];
        QVERIFY(card.ColoursKnown);
        QCOMPARE(int(card.BackgroundIndex), 3);
        QCOMPARE(card.ForegroundPixels.size(), size_t(1));
        const ForegroundPixel p = card.ForegroundPixels.toVector().front();
        QCOMPARE(p.Row, 6);
        QCOMPARE(p.Column, 6);
        QCOMPARE(int(p.PaletteIndex), 200);
        QVERIFY(test::child<QPushButton>(*w, "btnScan")->isEnabled());
        QVERIFY(!test::child<QProgressBar>(*w, "ProgressBar1")->isVisible());
    }

    void cancelWhileAPictureIsReadAddsNoCard()
    {
        writeCard("large.bmp", 4000, 3000);
        auto w = window();
        bool barShown = false;
        QTimer::singleShot(0, w.get(), [&] {
            barShown = test::child<QProgressBar>(*w, "ProgressBar1")->isVisible();
            test::child<QPushButton>(*w, "btnCancel")->click();
        });
        QVERIFY(!w->loadImage("large.bmp", folder()));
        QVERIFY(barShown);
        QCOMPARE(w->cardCount(), 0);
        QVERIFY(w->loadImage("large.bmp", folder()));
    }

    void escapeWhileAPhotosColoursAreReducedLeavesTheWindowAsItWas()
    {
        writeCard("a.bmp");
        QImage photo(1200, 900, QImage::Format_RGB888); // a noisy yellow: thousands of colours
        for (qsizetype i = 0; i < photo.sizeInBytes(); ++i)
            photo.bits()[i] = uchar((i % 3 == 2 ? 40 : 180) + ((quint32(i) * 2654435761u) >> 27));
        QVERIFY(photo.save(dir.filePath("photo.jpg"), "JPEG"));
        auto w = window();
        w->preferences().Analysis.Intake.ReduceColours = true;
        w->loadFiles(folder() + "a.bmp");
        const QString caption = w->windowTitle();
        // Pressed once the bar shows the colours under way.
        auto *bar = test::child<QProgressBar>(*w, "ProgressBar1");
        test::whenTrue(
            w.get(), [bar] { return bar->isVisible() && bar->maximum() > 0 && bar->value() * 4 >= bar->maximum(); },
            [&w] { QTest::keyClick(test::child<QPushButton>(*w, "btnLoad"), Qt::Key_Escape); });
        w->loadFiles(folder() + "photo.jpg");
        QCOMPARE(w->cardCount(), 1);
        QCOMPARE(w->currentCard(), 1);
        QCOMPARE(w->windowTitle(), caption);
        QCOMPARE(test::child<QTabBar>(*w, "ImageStrip")->count(), 1);
        QVERIFY(messages.isEmpty() && !w->busy());
        w->loadFiles(folder() + "photo.jpg");
        QCOMPARE(w->cardCount(), 2);
    }

    void loadingLeavesCompositeMode()
    {
        writeCard("a.bmp");
        auto w = window();
        test::child<QCheckBox>(*w, "CompositeCheck")->show();
        test::child<QCheckBox>(*w, "CompositeCheck")->setChecked(true);
        w->loadFiles(folder() + "a.bmp");
        QVERIFY(!test::child<QCheckBox>(*w, "CompositeCheck")->isChecked());
        QCOMPARE(w->cardCount(), 1);
    }

    void namedFilesOpenAsTheirKindAndTheUnreadableAreNamed()
    {
        writeCard("a.bmp");
        writeCard("b.bmp");
        writeBytes("notes.txt", "x");
        QVERIFY(window()->saveTrial(folder() + "t.vexolin"));
        auto w = window();
        w->openFiles(several({"t.vexolin", "b.bmp", "notes.txt", "gone.bmp", "a.bmp"}));
        QCOMPARE(w->trialPath(), folder() + "t.vexolin");
        QCOMPARE(w->cardCount(), 2);
        QCOMPARE(messages.size(), 2);
        QVERIFY(messages[0].startsWith("notes.txt is not a Vexolin trial file"));
        QVERIFY(messages[1].startsWith("Error: 'gone.bmp'"));
    }

    void droppedLocalFilesOpenAndOtherDragsAreRefused()
    {
        writeCard("a.bmp");
        auto w = window();
        QMimeData web, local;
        web.setUrls({QUrl::fromLocalFile(dir.filePath("a.bmp")), QUrl("https://example.org/b.bmp")});
        local.setUrls({QUrl::fromLocalFile(dir.filePath("a.bmp"))});
        QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
        QDragEnterEvent offered(QPoint(5, 5), Qt::CopyAction, &local, Qt::LeftButton, Qt::NoModifier);
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &local, Qt::LeftButton, Qt::NoModifier);
        for (QEvent *e : std::initializer_list<QEvent *>{&refused, &offered, &dropped})
            QApplication::sendEvent(w.get(), e);
        QVERIFY(!refused.isAccepted() && offered.isAccepted() && dropped.isAccepted());
        QTRY_COMPARE(w->cardCount(), 1);
    }

    void findCardsOpensTheCardOfAPhotoSavedBesideItAtItsResolution()
    {
        // A 76 x 26 mm card at 254 dpi, turned a little, on a leaf.
        const QString photo = dir.filePath("leaf.png");
        QVERIFY(test::drawnCardPhoto({1400, 1000}, {760, 260}, 6.0).Picture.save(photo));
        auto w = window();
        w->preferences().DisableBackgroundWarning = true;
        w->preferences().DisableDitherWarning = true;
        std::size_t shown = 0;
        test::whenOpen<ui::FindCardsDialog>(w.get(), [&shown](ui::FindCardsDialog &d) {
            shown = d.cards().size();
            d.accept();
        });
        w->findCardsIn(photo.toStdString());
        QCOMPARE(shown, std::size_t{1});
        QCOMPARE(w->cardCount(), 1);
        const CardRecord &card = w->cards()[1];
        QCOMPARE(card.FilePath, folder() + "leaf-cards/leaf.png#1.bmp");
        const DecodeResult saved = loadIndexedImage(card.FilePath);
        QVERIFY(saved.ok());
        QCOMPARE(recordedResolution(saved->PixelsPerMetreX, saved->PixelsPerMetreY), card.Resolution);
        QVERIFY2(std::abs(card.Resolution - 254) <= 4, std::to_string(card.Resolution).c_str());
        QVERIFY(std::abs(saved->Image.Width - 76.0 / 25.4 * card.Resolution) <= 2);
    }

    void withFindCardsAPhotoIsSearchedAtTheStoredSizeAndAnEightBitCardOpensAsOne()
    {
        QVERIFY(
            test::drawnCardPhoto({1400, 1000}, {760, 260}, 6.0).Picture.save(dir.filePath("field.jpg"), "JPEG", 92));
        writeCard("plain.bmp");
        auto w = window();
        w->preferences().FindCards = true;
        w->preferences().FoundCardSize = CardSize{76, 52};
        CardSize startedWith;
        test::whenOpen<ui::FindCardsDialog>(w.get(), [&startedWith](ui::FindCardsDialog &d) {
            startedWith = d.cardSize();
            test::child<QCheckBox>(d, "chkRememberSize")->setChecked(true);
            d.chooseSize(0);
            d.accept();
        });
        w->openFiles(several({"field.jpg", "plain.bmp"}));
        QCOMPARE(startedWith, (CardSize{76, 52}));
        QVERIFY(findCardByPath(w->cards(), folder() + "field-cards/field.jpg#1.bmp") &&
                findCardByPath(w->cards(), folder() + "plain.bmp"));
        QCOMPARE(w->preferences().FoundCardSize, CardSize{});
    }

    void aFoundCardsCornerFollowsTheMouseOnlyWhenTaken()
    {
        const QString photo = dir.filePath("drag.png");
        QVERIFY(test::drawnCardPhoto({1400, 1000}, {760, 260}, 6.0).Picture.save(photo));
        Result<ui::SearchPicture> picture = ui::readSearchPicture(photo.toStdString());
        QVERIFY(picture.ok());
        Result<std::vector<FoundCard>> found = findCards(viewOf(picture->Colour), CardSize{});
        QVERIFY(found.ok());
        ui::FindCardsDialog d(*picture, *found, CardSize{});
        d.resize(900, 700);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        ui::FoundCardsView *view = d.view();
        const FoundCard before = d.cards().at(0);
        // Pressed away from every corner, the card stays as found.
        test::drag(view, view->shownAt({700, 500}).toPoint(), QPoint(5, 5));
        QCOMPARE(d.cards().at(0).Corners, before.Corners);
        const QPoint from = view->shownAt(before.Corners[2]).toPoint();
        const QPoint to = from + QPoint(30, 20);
        test::drag(view, from, to);
        const FoundCard after = d.cards().at(0);
        // The picture's pixels per screen pixel.
        const QPointF side = view->shownAt(before.Corners[1]) - view->shownAt(before.Corners[0]);
        const double pixel =
            std::hypot(before.Corners[1].X - before.Corners[0].X, before.Corners[1].Y - before.Corners[0].Y) /
            std::hypot(side.x(), side.y());
        const double dx = after.Corners[2].X - before.Corners[2].X - 30 * pixel;
        const double dy = after.Corners[2].Y - before.Corners[2].Y - 20 * pixel;
        QVERIFY2(std::hypot(dx, dy) < 2 * pixel, qPrintable(QStringLiteral("%1 %2 %3").arg(dx).arg(dy).arg(pixel)));
        QCOMPARE(after.Corners[0], before.Corners[0]);
        QVERIFY(after.LongSidePixels > before.LongSidePixels);
    }
};

QTEST_MAIN(tst_LoadImage)
#include "tst_LoadImage.moc"
