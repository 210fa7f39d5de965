// vexolin-screenshots: the main window with a scanned card, as a user sees
// it, saved as pictures for review: unmasked, then masked in each graph mode,
// then the window made large with the card fitted.
//
//   vexolin-screenshots OUT_FOLDER CARD.bmp [DPI, default 600]
//   vexolin-screenshots OUT_FOLDER --line CARD.bmp CARD.bmp ...   (600 dpi,
//       cards 10 m apart around the centre line: the composite view)
//   vexolin-screenshots OUT_FOLDER --sheet      (a generated sheet of 3 x 3
//       cards at 150 dpi in the cutting window, the cards dragged onto it,
//       and the Template Manager, both in millimetres)
//   vexolin-screenshots OUT_FOLDER --passes CARD.bmp ...   (the line flown
//       twice, the second pass one spacing further out: the Card Positions
//       window with a card left out and a position typed, the mean of the
//       passes, and the trial saved and opened again)
//   vexolin-screenshots OUT_FOLDER --trial FILE.vexolin   (a saved trial
//       opened as the command line opens it, then its line and swath views)
//   vexolin-screenshots OUT_FOLDER --open FILE...   (cards, photos and a
//       trial opened together as the command line and a drop open them)
//   vexolin-screenshots OUT_FOLDER --stale CARD.bmp   (a card whose file
//       records 600 dpi scanned at 1200 dpi, then put to 600 dpi with the
//       question to scan again answered No: the tab's mark and its tooltip,
//       and the line under the figures)
//   vexolin-screenshots OUT_FOLDER --prefs   (the Preferences window with a
//       field's tooltip showing, then with Find cards on and the card size's
//       tooltip showing)
//   vexolin-screenshots OUT_FOLDER --overlay CARD.bmp [DPI]   (the card scanned
//       at hues 150-190 with its stains outlined, fitted, then enlarged with
//       the pointer on an accepted stain and its row showing)
//   vexolin-screenshots OUT_FOLDER --photo PHOTO.jpg   (a 12-megapixel colour
//       photo of a card, made first when there is none, loaded and given its
//       colour pass: the window at work and after, and how long it took)
//   vexolin-screenshots OUT_FOLDER --find PICTURE   (Find Cards on a photo or
//       a sheet: the cards found, a corner of the first dragged, and the
//       window with the cards accepted, as find-NAME*.png)
//
// It ends with QCoreApplication::exit, not quit: quit would close the
// windows first, and a window with unsaved work asks what to do with it.
//
// Run it on a real or virtual screen (xvfb-run); it never touches the
// user's settings.

#include "app/ui/CardPicture.h"
#include "app/ui/FindCardsDialog.h"
#include "app/ui/StainOverlay.h"
#include "app/ui/frmMain.h"
#include "app/ui/frmPrefs.h"
#include "intake/ui/frmResolution.h"
#include "line/ui/frmCardPos.h"
#include "report/ui/frmPreview2.h"
#include "templates/ui/LoadTemplateForm.h"
#include "templates/ui/frmTemplates.h"
#include "text/Settings.h"
#include "tools/cardgen/CardGenerator.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTabBar>
#include <QTableWidget>

#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <string>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// A control of the main window by its object name.
template <typename T>
T *control(const QObject &window, const char *name)
{
    return window.findChild<T *>(QString::fromLatin1(name));
}
template <typename T>
T *control(const QObject &window, const char *name, int index)
{
    return window.findChild<T *>(QString::fromLatin1(name) + QString::number(index + 1));
}

// A photo of a card rather than a scan: every colour slightly off, light
// falling unevenly across it, saved as a JPEG.
bool writePhoto(const QString &path)
{
    vex::cardgen::CardSpec spec;
    spec.Width = 4000;
    spec.Height = 3000;
    spec.Dpi = 600;
    spec.Discs = 4000;
    spec.Seed = 7;
    const vex::cardgen::Card card = vex::cardgen::generateCard(spec);
    QImage photo(card.Width, card.Height, QImage::Format_RGB32);
    std::uint32_t noise = 12345;
    for (int y = 0; y < card.Height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(photo.scanLine(y));
        for (int x = 0; x < card.Width; ++x) {
            const vex::cardgen::Colour c =
                card.Palette[card.Pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(card.Width) +
                                         static_cast<std::size_t>(x)]];
            noise = noise * 1664525u + 1013904223u;
            const int shade = static_cast<int>(noise >> 28) - 8 - (x + y) / 400;
            line[x] = qRgb(std::clamp(c.R + shade, 0, 255), std::clamp(c.G + shade, 0, 255),
                           std::clamp(c.B + shade + 3, 0, 255));
        }
    }
    return photo.save(path, "JPEG", 92);
}

// The Preferences window with the tooltip of a field showing, as NAME.png;
// a tooltip is a window of its own, so the screen is grabbed around both.
bool prefsTooltipShot(vex::ui::frmPrefs &prefs, QWidget *field, const QString &out, const QString &name)
{
    QToolTip::showText(field->mapToGlobal(QPoint(8, field->height())), field->toolTip(), field);
    QTest::qWait(400);
    QRect frame = prefs.frameGeometry();
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->isVisible() && top->inherits("QTipLabel"))
            frame = frame.united(top->geometry().adjusted(0, 0, 4, 4));
    const QPixmap shot = prefs.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    const QString path = out + QStringLiteral("/") + name + QStringLiteral(".png");
    if (!shot.save(path))
        return false;
    std::printf("%s\n", qPrintable(path));
    QToolTip::hideText();
    QTest::qWait(200);
    return true;
}

// The Roundness field's tooltip, then Find cards on with a card size of
// one's own and its field's tooltip.
int prefsShot(const QString &out)
{
    QDir().mkpath(out);
    vex::Preferences preferences;
    vex::ui::frmPrefs prefs(preferences, vex::ModuleState{});
    prefs.show();
    QTest::qWait(200);
    if (!prefsTooltipShot(prefs, prefs.txtRoundness, out, QStringLiteral("prefs-tooltip")))
        return 1;
    prefs.FindCardsCheck->setChecked(true);
    prefs.CardSizeCombo->setEditText(QStringLiteral("60 x 20 mm"));
    return prefsTooltipShot(prefs, prefs.CardSizeCombo, out, QStringLiteral("prefs-cards")) ? 0 : 1;
}

// The overlay of a scanned card: fitted, then enlarged around an accepted
// stain with the pointer on it; the screen is grabbed for the tooltip.
int overlayShots(vex::ui::frmMain &window, const QString &card, const QString &out)
{
    window.loadFiles(card.toStdString());
    if (window.cardCount() != 1)
        return 1;
    window.btnScanColour_Click();
    control<QSlider>(window, "Slider1")->setValue(150);
    control<QSlider>(window, "Slider2")->setValue(190);
    window.btnScan_Click();
    window.resize(1600, 1000);
    QTest::qWait(300);
    window.handleKey(Qt::Key_0, Qt::ControlModifier);
    QTest::qWait(100);
    int status = window.grab().save(out + QStringLiteral("/overlay-fitted.png")) ? 0 : 1;
    auto *picture = control<vex::ui::CardPicture>(window, "Picture1");
    const QImage overlay = picture->overlay();
    const QRgb accepted = vex::ui::StainOverlay::colour(vex::OutlineCode::Accepted);
    // The accepted outline pixel nearest the middle of the card.
    QPoint found(-1, -1);
    double best = 1e18;
    const QPointF middle(overlay.width() / 2.0, overlay.height() / 2.0);
    for (int y = 0; y < overlay.height(); ++y)
        for (int x = 0; x < overlay.width(); ++x)
            if (overlay.pixel(x, y) == accepted) {
                const QPointF d = QPointF(x, y) - middle;
                if (QPointF::dotProduct(d, d) < best) {
                    best = QPointF::dotProduct(d, d);
                    found = QPoint(x, y);
                }
            }
    if (found.x() < 0)
        return 1;
    vex::ui::CardPicture::View view;
    view.Scale = 4.0;
    view.Origin = QPointF(found) - QPointF(picture->width(), picture->height()) / 8.0;
    picture->setView(view);
    const QPointF at =
        (QPointF(found) + QPointF(0.5, 0.5) - picture->view().Origin) * picture->scale() + picture->margin();
    QTest::mouseMove(picture, at.toPoint());
    QTest::qWait(500);
    const QRect frame = window.frameGeometry();
    const QPixmap shot = window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (!shot.save(out + QStringLiteral("/overlay-hover.png")))
        status = 1;
    std::printf("%s\n", qPrintable(picture->toolTip()));
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: vexolin-screenshots OUT_FOLDER CARD.bmp [DPI]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (QString::fromLocal8Bit(argv[2]) == QStringLiteral("--prefs"))
        return prefsShot(out);
    const bool passesMode = QString::fromLocal8Bit(argv[2]) == QStringLiteral("--passes");
    const bool lineMode = QString::fromLocal8Bit(argv[2]) == QStringLiteral("--line") || passesMode;
    if (QString::fromLocal8Bit(argv[2]) == QStringLiteral("--sheet")) {
        QDir().mkpath(out);
        // A letter sheet at 150 dpi holding nine generated cards where the
        // default template expects them, a little off its corner.
        constexpr int Dpi = 150;
        vex::cardgen::Card sheet;
        sheet.Width = 85 * Dpi / 10;
        sheet.Height = 11 * Dpi;
        sheet.Dpi = Dpi;
        vex::cardgen::CardSpec spec;
        spec.Width = 7 * Dpi / 4 - 2;
        spec.Height = 11 * Dpi / 4 - 2;
        spec.Dpi = Dpi;
        spec.Discs = 250;
        spec.MaxDiameter = 14;
        const vex::cardgen::Card first = vex::cardgen::generateCard(spec);
        sheet.Palette = first.Palette;
        sheet.Pixels.assign(static_cast<std::size_t>(sheet.Width) * static_cast<std::size_t>(sheet.Height), 255);
        sheet.Palette[255] = {250, 250, 250};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                spec.Seed = static_cast<std::uint64_t>(1 + 3 * r + c);
                const vex::cardgen::Card card = vex::cardgen::generateCard(spec);
                const int x0 = 20 + c * (2 * Dpi);
                const int y0 = 30 + r * (25 * Dpi / 8);
                for (int y = 0; y < card.Height; ++y)
                    for (int x = 0; x < card.Width; ++x)
                        sheet.Pixels[static_cast<std::size_t>(y0 + y) * static_cast<std::size_t>(sheet.Width) +
                                     static_cast<std::size_t>(x0 + x)] =
                            card.Pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(card.Width) +
                                        static_cast<std::size_t>(x)];
            }
        const std::string sheetPath = (out + QStringLiteral("/sheet.bmp")).toStdString();
        if (!vex::cardgen::writeBmp(sheet, sheetPath).empty())
            return 1;
        vex::MemorySettingsStore sheetStore;
        std::int32_t lastClip = 0;
        // A default that is not the sheet's: the window takes the 150 dpi its
        // file records.  Lengths in millimetres.
        const std::string folder = QDir::tempPath().toStdString() + "/";
        vex::ui::LoadTemplateForm form(sheetStore, sheetPath, 1200, folder, lastClip, nullptr, true);
        form.show();
        // Dragged with the mouse onto the cards, which lie 0.13 inch right
        // and 0.2 inch down.
        const double ppi = form.Picture1->pixelsPerInch();
        const vex::CardOutline corner = form.outlines()[0];
        const QPoint grip(static_cast<int>((corner.Left + 0.5) * ppi), static_cast<int>((corner.Top + 0.5) * ppi));
        const QPoint to = grip + QPoint(static_cast<int>(std::lround(20.0 / Dpi * ppi)),
                                        static_cast<int>(std::lround(30.0 / Dpi * ppi)));
        QTest::mousePress(form.Picture1, Qt::LeftButton, {}, grip);
        QTest::mouseMove(form.Picture1, to);
        QTest::mouseRelease(form.Picture1, Qt::LeftButton, {}, to);
        const vex::CardOutline fifth = form.outlines()[4];
        QTest::mouseClick(
            form.Picture1, Qt::LeftButton, {},
            QPoint(static_cast<int>((fifth.Left + 0.5) * ppi), static_cast<int>((fifth.Top + 0.5) * ppi)));
        QCoreApplication::processEvents();
        const QString shot = out + QStringLiteral("/cutting.png");
        if (!form.grab().save(shot))
            return 1;
        std::printf("%s\n", qPrintable(shot));
        vex::ui::frmTemplates manager(form.Template, folder, nullptr, true);
        manager.show();
        QCoreApplication::processEvents();
        const QString templates = out + QStringLiteral("/cutting-templates.png");
        if (!manager.grab().save(templates))
            return 1;
        std::printf("%s\n", qPrintable(templates));
        return 0;
    }
    const bool trialMode = QString::fromLocal8Bit(argv[2]) == QStringLiteral("--trial") && argc > 3;
    const bool photoMode = QString::fromLocal8Bit(argv[2]) == QStringLiteral("--photo") && argc > 3;
    const QString card = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
    const int dpi = argc > 3 && !lineMode ? std::atoi(argv[3]) : 600;
    QDir().mkpath(out);

    vex::MemorySettingsStore store;
    vex::ModuleState module;
    module.RootDir = QDir::tempPath().toStdString() + "/";
    vex::ui::frmMain window(store, module, 1024);
    window.preferences().Analysis.Resolution = dpi;
    window.preferences().Analysis.Log = false;
    window.preferences().DisableBackgroundWarning = true;
    window.preferences().DisableDitherWarning = true;
    // Colour scans and photos open too; 8-bit cards are read as always.
    window.preferences().Analysis.Intake.ReduceColours = true;
    // VEXOLIN_CONFIDENCE=1 shows the 95 % intervals.
    window.preferences().ConfidenceIntervals = qEnvironmentVariableIntValue("VEXOLIN_CONFIDENCE") == 1;
    // VEXOLIN_ESTIMATE=1 shows the overlap estimate under every card's figures.
    window.preferences().AlwaysShowOverlapEstimate = qEnvironmentVariableIntValue("VEXOLIN_ESTIMATE") == 1;
    // VEXOLIN_EXTENDED=1 shows the extended figures and cut stains too.
    if (qEnvironmentVariableIntValue("VEXOLIN_EXTENDED") == 1) {
        window.preferences().Analysis.Extended = true;
        window.preferences().Analysis.Scan.SplitTouching = true;
    }
    window.show();

    int status = 0;
    auto save = [&](const QString &name) {
        QCoreApplication::processEvents();
        const QString path = out + QStringLiteral("/") + name;
        if (!window.grab().save(path)) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(path));
            status = 1;
        } else {
            std::printf("%s\n", qPrintable(path));
        }
    };
    if (photoMode) {
        const QString photo = QFileInfo(QString::fromLocal8Bit(argv[3])).absoluteFilePath();
        if (!QFileInfo::exists(photo) && !writePhoto(photo))
            return 1;
        // Ticks the window answers while it works; a few of them take a
        // picture of the screen, which shows only what the window repainted.
        int ticks = 0;
        int shots = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, &window, [&] {
            if (!window.busy() || ++ticks % 30 != 1 || shots >= 8)
                return;
            QPixmap shot = window.screen()->grabWindow(window.winId());
            if (shot.isNull())
                shot = window.grab();
            shot.save(out + QStringLiteral("/load-during-%1.png").arg(++shots));
        });
        QTimer::singleShot(0, &window, [&] {
            ticker.start(10);
            QElapsedTimer clock;
            clock.start();
            window.loadFiles(QStringList{photo});
            const double loadSeconds = static_cast<double>(clock.restart()) / 1000.0;
            const int loadTicks = ticks;
            window.btnScanColour_Click();
            const double passSeconds = static_cast<double>(clock.elapsed()) / 1000.0;
            ticker.stop();
            save(QStringLiteral("load-after.png"));
            std::printf("loaded in %.2f s (%d ticks answered meanwhile); colour pass %.2f s (%d ticks); %d cards\n",
                        loadSeconds, loadTicks, passSeconds, ticks - loadTicks, window.cardCount());
            QCoreApplication::exit(status);
        });
        return app.exec();
    }
    if (QString::fromLocal8Bit(argv[2]) == QStringLiteral("--find") && argc > 3) {
        const QFileInfo picture(QString::fromLocal8Bit(argv[3]));
        const QString name = out + QStringLiteral("/find-") + picture.completeBaseName();
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &window, [&] {
            auto *dialog = qobject_cast<vex::ui::FindCardsDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll.stop();
            dialog->resize(1100, 700);
            QCoreApplication::processEvents();
            status |= dialog->grab().save(name + QStringLiteral(".png")) ? 0 : 1;
            if (!dialog->cards().empty()) {
                // The first card's lower right corner dragged by the mouse.
                vex::ui::FoundCardsView *view = dialog->view();
                const QPoint from = view->shownAt(dialog->cards()[0].Corners[2]).toPoint();
                const QPoint to = from + QPoint(40, 30);
                QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, from);
                QMouseEvent move(QEvent::MouseMove, to, view->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                                 Qt::NoModifier);
                QApplication::sendEvent(view, &move);
                QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, to);
                QCoreApplication::processEvents();
                status |= dialog->grab().save(name + QStringLiteral("-dragged.png")) ? 0 : 1;
                QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, to);
                QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, from);
            }
            dialog->accept();
        });
        QTimer::singleShot(0, &window, [&] {
            poll.start(20);
            window.findCardsIn(picture.absoluteFilePath().toStdString());
            save(QStringLiteral("find-") + picture.completeBaseName() + QStringLiteral("-cards.png"));
            std::printf("%d cards\n", window.cardCount());
            QCoreApplication::exit(status);
        });
        return app.exec();
    }
    if (QString::fromLocal8Bit(argv[2]) == QStringLiteral("--stale") && argc > 3) {
        window.preferences().Analysis.Resolution = 1200;
        QTimer::singleShot(0, &window, [&] {
            window.loadFiles(QFileInfo(QString::fromLocal8Bit(argv[3])).absoluteFilePath().toStdString());
            window.btnScanColour_Click();
            control<QSlider>(window, "Slider1")->setValue(150);
            control<QSlider>(window, "Slider2")->setValue(190);
            window.btnScan_Click();
            save(QStringLiteral("stale-mark.png"));
            vex::ui::setMessageHook([](const vex::ui::MessageRequest &) { return QMessageBox::No; });
            QTimer::singleShot(0, &window, [] {
                auto *r = qobject_cast<vex::ui::frmResolution *>(QApplication::activeModalWidget());
                if (!r)
                    return;
                r->ResolutionList->setCurrentCell(0, 1);
                QTest::keyClicks(r->ResolutionList, QStringLiteral("6"));
                QTest::keyClicks(r->CellEditText, QStringLiteral("00"));
                QTest::keyClick(r->CellEditText, Qt::Key_Return);
                r->AcceptButton->click();
            });
            window.btnChangeRes_Click();
            save(QStringLiteral("stale-figures.png"));
            // The tab's tooltip is a window of its own: the screen is grabbed around both.
            auto *strip = control<QTabBar>(window, "ImageStrip");
            const QRect tab = strip->tabRect(0);
            QToolTip::showText(strip->mapToGlobal(tab.bottomLeft()), strip->tabToolTip(0), strip);
            QTest::qWait(400);
            QRect frame = window.frameGeometry();
            for (QWidget *top : QApplication::topLevelWidgets())
                if (top->isVisible() && top->inherits("QTipLabel"))
                    frame = frame.united(top->geometry().adjusted(0, 0, 4, 4));
            const QString path = out + QStringLiteral("/stale-tooltip.png");
            if (window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).save(path))
                std::printf("%s\n", qPrintable(path));
            else
                status = 1;
            QCoreApplication::exit(status);
        });
        return app.exec();
    }
    if (QString::fromLocal8Bit(argv[2]) == QStringLiteral("--open")) {
        QTimer::singleShot(0, &window, [&] {
            QStringList files;
            for (int i = 3; i < argc; ++i)
                files << QString::fromLocal8Bit(argv[i]);
            window.openFiles(files);
            save(QStringLiteral("opened.png"));
            std::printf("%d cards; trial %s\n", window.cardCount(), window.trialPath().c_str());
            QCoreApplication::exit(status);
        });
        return app.exec();
    }
    if (trialMode) {
        QTimer::singleShot(0, &window, [&] {
            if (!window.openTrial(QFileInfo(QString::fromLocal8Bit(argv[3])).absoluteFilePath().toStdString())) {
                status = 1;
                QCoreApplication::exit();
                return;
            }
            save(QStringLiteral("trial_opened.png"));
            control<QCheckBox>(window, "CompositeCheck")->click();
            save(QStringLiteral("trial_line.png"));
            control<QTabBar>(window, "ImageStrip")->setCurrentIndex(1);
            save(QStringLiteral("trial_swath.png"));
            QCoreApplication::exit();
        });
        app.exec();
        return status;
    }
    if (lineMode) {
        QTimer::singleShot(0, &window, [&] {
            for (int i = 3; i < argc; ++i)
                window.loadFiles(QFileInfo(QString::fromLocal8Bit(argv[i])).absoluteFilePath().toStdString());
            window.btnScanColourAll_Click();
            control<QSlider>(window, "Slider1")->setValue(150);
            control<QSlider>(window, "Slider2")->setValue(190);
            window.btnScanAll_Click();
            const int cards = window.cardCount();
            window.sprayInfo()[vex::Sample_Position1] = std::to_string(-10 * (cards / 2));
            window.sprayInfo()[vex::Sample_Interval] = "10";
            window.sprayInfo()[vex::AC_Swath] = "40";
            if (passesMode) {
                // Card 3 torn, card 5 found a little further out.
                vex::ui::frmCardPos positions(window.cards(), window.sprayInfo(), store, true, false, &window);
                positions.show();
                positions.PositionList->item(2, 2)->setCheckState(Qt::Checked);
                positions.PositionList->item(4, 1)->setText(QStringLiteral("12.5"));
                QCoreApplication::processEvents();
                const QString shot = out + QStringLiteral("/card_positions.png");
                if (positions.grab().save(shot))
                    std::printf("%s\n", qPrintable(shot));
                positions.AcceptButton_Click();
                window.addPass();
                for (int i = 3; i < argc; ++i)
                    window.loadFiles(QFileInfo(QString::fromLocal8Bit(argv[i])).absoluteFilePath().toStdString());
                window.btnScanColourAll_Click();
                window.btnScanAll_Click();
                window.sprayInfo()[vex::Sample_Position1] = std::to_string(-10 * (cards / 2) + 10);
                window.sprayInfo()[vex::Sample_Interval] = "10";
                control<QComboBox>(window, "cmbPass")->setCurrentIndex(2);
                save(QStringLiteral("mean_statistics.png"));
                control<QTabBar>(window, "ImageStrip")->setCurrentIndex(1);
                save(QStringLiteral("mean_swath.png"));
                const std::string trial = (out + QStringLiteral("/trial.vexolin")).toStdString();
                if (!window.saveTrial(trial))
                    status = 1;
                vex::ui::frmMain reopened(store, module, 1024);
                reopened.show();
                if (!reopened.openTrial(trial))
                    status = 1;
                reopened.selectPass(1);
                QCoreApplication::processEvents();
                const QString again = out + QStringLiteral("/reopened.png");
                if (reopened.grab().save(again))
                    std::printf("%s\n", qPrintable(again));
                QCoreApplication::exit();
                return;
            }
            control<QCheckBox>(window, "CompositeCheck")->click();
            save(QStringLiteral("line_statistics.png"));
            control<QTabBar>(window, "ImageStrip")->setCurrentIndex(1);
            save(QStringLiteral("line_swath_deposit.png"));
            control<QRadioButton>(window, "GraphOption", 2)->click();
            save(QStringLiteral("line_swath_drop_density.png"));
            // The print preview, page by page.
            const vex::ReportInputs report = window.reportInputs();
            vex::ui::frmPreview2 preview(report, 1024, &window);
            preview.show();
            for (int page = 0; page < 4; ++page) {
                preview.PreviewTabs->setCurrentIndex(page);
                QCoreApplication::processEvents();
                const QString path = out + QStringLiteral("/preview_page%1.png").arg(page + 1);
                if (preview.grab().save(path))
                    std::printf("%s\n", qPrintable(path));
                else
                    status = 1;
            }
            QCoreApplication::exit();
        });
        app.exec();
        return status;
    }
    if (QString::fromLocal8Bit(argv[2]) == QStringLiteral("--overlay") && argc > 3) {
        window.preferences().Analysis.Resolution = argc > 4 ? std::atoi(argv[4]) : 600;
        QTimer::singleShot(0, &window, [&] {
            status = overlayShots(window, QFileInfo(QString::fromLocal8Bit(argv[3])).absoluteFilePath(), out);
            QCoreApplication::exit();
        });
        app.exec();
        return status;
    }
    QTimer::singleShot(0, &window, [&] {
        window.loadFiles(card.toStdString());
        if (window.cardCount() != 1) {
            std::fprintf(stderr, "could not open %s\n", qPrintable(card));
            status = 1;
            QCoreApplication::exit();
            return;
        }
        window.btnScanColour_Click();
        control<QSlider>(window, "Slider1")->setValue(150);
        control<QSlider>(window, "Slider2")->setValue(190);
        window.btnScan_Click();
        save(QStringLiteral("main_unmasked.png"));
        control<QCheckBox>(window, "MaskCheck")->click();
        const char *names[3] = {"main_masked_vf.png", "main_masked_cvf.png", "main_masked_density.png"};
        for (int mode = 1; mode <= 3; ++mode) {
            control<QRadioButton>(window, "GraphOption", mode - 1)->click();
            save(QString::fromLatin1(names[mode - 1]));
        }
        // The window made large (on a screen of at least 1600 x 1000) with
        // the card fitted to the room its view takes.
        control<QCheckBox>(window, "MaskCheck")->click();
        control<QRadioButton>(window, "GraphOption", 0)->click();
        window.resize(1600, 1000);
        QTest::qWait(300);
        window.handleKey(Qt::Key_0, Qt::ControlModifier);
        save(QStringLiteral("view_fitted.png"));
        QCoreApplication::exit();
    });
    app.exec();
    return status;
}
