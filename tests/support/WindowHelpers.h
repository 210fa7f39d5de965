#pragma once
// What the main-window tests share: a window over a store of their own with
// a line of generated cards loaded, and answering the next modal window.

#include "app/ui/frmMain.h"
#include "tools/cardgen/CardGenerator.h"

#include <QApplication>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

namespace vex::test {

// Cards "<prefix>1.bmp" ... of a line of `count`, written into `folder`
// (ending in '/') and loaded at 600 dpi with the questions answered once
// and for all and the hue range on the blue stains.  Null when a card
// could not be written.
inline std::unique_ptr<ui::frmMain> lineWindow(SettingsStore &store, ModuleState &module, const std::string &folder,
                                               int count, const cardgen::CardSpec &base, const std::string &prefix)
{
    module = ModuleState{};
    module.RootDir = folder;
    auto w = std::make_unique<ui::frmMain>(store, module, 1024);
    w->state.DefaultRes = 600;
    w->state.LogAnalysis = false;
    w->state.DisableBackgroundWarning = true;
    w->state.DisableDitherWarning = true;
    w->show();
    for (int i = 0; i < count; ++i) {
        const std::string path = folder + prefix + std::to_string(i + 1) + ".bmp";
        if (!cardgen::writeBmp(cardgen::generateCard(cardgen::lineCardSpec(base, i, count)), path).empty())
            return nullptr;
        w->loadFiles(path);
    }
    w->Slider1->setValue(150);
    w->Slider2->setValue(190);
    return w;
}

// Runs `act` on the modal window that the next call opens.
template <typename Dialog> void whenOpen(QObject *context, std::function<void(Dialog &)> act)
{
    QTimer::singleShot(0, context, [act] {
        auto *d = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        QVERIFY(d);
        act(*d);
    });
}

} // namespace vex::test
