// vexolin-screenshots: the main window with a scanned card, as a user sees
// it, saved as pictures for review: unmasked, then masked in each graph mode.
//
//   vexolin-screenshots OUT_FOLDER CARD.bmp [DPI, default 600]
//   vexolin-screenshots OUT_FOLDER --line CARD.bmp CARD.bmp ...   (600 dpi,
//       cards 10 m apart around the centre line: the composite view)
//
// Run it on a real or virtual screen (xvfb-run); it never touches the
// user's settings.

#include "app/Settings.h"
#include "app/ui/frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QDir>
#include <QPixmap>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>

#include <string>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: vexolin-screenshots OUT_FOLDER CARD.bmp [DPI]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const bool lineMode = QString::fromLocal8Bit(argv[2]) == QStringLiteral("--line");
    const QString card = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
    const int dpi = argc > 3 && QString::fromLocal8Bit(argv[2]) != QStringLiteral("--line") ? std::atoi(argv[3]) : 600;
    QDir().mkpath(out);

    vex::MemorySettingsStore store;
    vex::ModuleState module;
    module.RootDir = QDir::tempPath().toStdString() + "/";
    vex::ui::frmMain window(store, module, 1024);
    window.state.DefaultRes = dpi;
    window.state.LogAnalysis = false;
    window.state.DisableBackgroundWarning = true;
    window.state.DisableDitherWarning = true;
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
    if (lineMode) {
        QTimer::singleShot(0, &window, [&] {
            for (int i = 3; i < argc; ++i)
                window.loadFiles(QFileInfo(QString::fromLocal8Bit(argv[i])).absoluteFilePath().toStdString());
            window.btnScanColourAll_Click();
            window.Slider1->setValue(150);
            window.Slider2->setValue(190);
            window.btnScanAll_Click();
            const int cards = window.CardCount();
            window.state.Spray[vex::Sample_Position1] = std::to_string(-10 * (cards / 2));
            window.state.Spray[vex::Sample_Interval] = "10";
            window.state.Spray[vex::AC_Swath] = "40";
            window.CompositeCheck->click();
            save(QStringLiteral("line_statistics.png"));
            window.ImageStrip->setCurrentIndex(1);
            save(QStringLiteral("line_swath_deposit.png"));
            window.GraphOption[2]->click();
            save(QStringLiteral("line_swath_drop_density.png"));
            app.quit();
        });
        app.exec();
        return status;
    }
    QTimer::singleShot(0, &window, [&] {
        window.loadFiles(card.toStdString());
        if (window.CardCount() != 1) {
            std::fprintf(stderr, "could not open %s\n", qPrintable(card));
            status = 1;
            app.quit();
            return;
        }
        window.btnScanColour_Click();
        window.Slider1->setValue(150);
        window.Slider2->setValue(190);
        window.btnScan_Click();
        save(QStringLiteral("main_unmasked.png"));
        window.MaskCheck->click();
        const char *names[3] = {"main_masked_vf.png", "main_masked_cvf.png", "main_masked_density.png"};
        for (int mode = 1; mode <= 3; ++mode) {
            window.GraphOption[mode - 1]->click();
            save(QString::fromLatin1(names[mode - 1]));
        }
        app.quit();
    });
    app.exec();
    return status;
}
