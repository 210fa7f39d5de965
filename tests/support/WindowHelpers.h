#pragma once
// What the main-window tests share: finding a window's controls by name, a
// window over a store of their own with a line of generated cards loaded,
// and answering the next modal window.

#include "analysis/ui/HueHistogramView.h"
#include "analysis/ui/ResultGraphView.h"
#include "app/ui/CardPicture.h"
#include "app/ui/frmMain.h"
#include "line/ui/SprayLineGraphView.h"
#include "line/ui/SwathGraphView.h"
#include "tools/cardgen/CardGenerator.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <functional>
#include <memory>
#include <string>

namespace vex::test {

// A control of a window by its object name; the test fails at once when
// there is none (a renamed control would otherwise pass as null).
template <typename T = QWidget>
T *child(const QObject &window, const char *name)
{
    T *found = window.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control named %s", name);
    return found;
}
template <typename T = QWidget>
T *child(const QObject *window, const char *name)
{
    return child<T>(*window, name);
}
// One of a numbered group: "GraphOption" and 0 give "GraphOption1".
template <typename T = QWidget>
T *child(const QObject &window, const char *name, int index)
{
    const QString full = QString::fromLatin1(name) + QString::number(index + 1);
    T *found = window.findChild<T *>(full);
    if (!found)
        qFatal("no control named %s", qPrintable(full));
    return found;
}
template <typename T = QWidget>
T *child(const QObject *window, const char *name, int index)
{
    return child<T>(*window, name, index);
}
// An empty main window shown over `store`, with a fresh module state whose
// files go into `folder` (ending in '/').
inline std::unique_ptr<ui::frmMain> openWindow(SettingsStore &store, ModuleState &module, const std::string &folder,
                                               int screenHeight = 1024)
{
    module = ModuleState{};
    module.RootDir = folder;
    auto w = std::make_unique<ui::frmMain>(store, module, screenHeight);
    w->show();
    return w;
}

// Cards "<prefix>1.bmp" ... of a line of `count`, written into `folder`
// (ending in '/') and loaded at 600 dpi with the questions answered once
// and for all and the hue range on the blue stains.  Null when a card
// could not be written.
inline std::unique_ptr<ui::frmMain> lineWindow(SettingsStore &store, ModuleState &module, const std::string &folder,
                                               int count, const cardgen::CardSpec &base, const std::string &prefix)
{
    auto w = openWindow(store, module, folder);
    w->preferences().Analysis.Resolution = 600;
    w->preferences().Analysis.Log = false;
    w->preferences().DisableBackgroundWarning = true;
    w->preferences().DisableDitherWarning = true;
    for (int i = 0; i < count; ++i) {
        const std::string path = folder + prefix + std::to_string(i + 1) + ".bmp";
        if (!cardgen::writeBmp(cardgen::generateCard(cardgen::lineCardSpec(base, i, count)), path).empty())
            return nullptr;
        w->loadFiles(path);
    }
    test::child<QSlider>(*w, "Slider1")->setValue(150);
    test::child<QSlider>(*w, "Slider2")->setValue(190);
    return w;
}

// Runs `act` on the modal window that the next call opens, once it is open:
// work the window runs off the GUI thread first lets events through.
template <typename Dialog>
void whenOpen(QObject *context, std::function<void(Dialog &)> act, int triesLeft = 500)
{
    QTimer::singleShot(triesLeft == 500 ? 0 : 10, context, [context, act, triesLeft] {
        auto *d = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (!d && triesLeft > 0)
            return whenOpen<Dialog>(context, act, triesLeft - 1);
        QVERIFY(d);
        act(*d);
    });
}

// Runs `act` once `ready` holds, looked at every few milliseconds while the
// next call lets events through: work is caught under way by what it shows,
// never by how long it is expected to take.
inline void whenTrue(QObject *context, std::function<bool()> ready, std::function<void()> act, int triesLeft = 4000)
{
    QTimer::singleShot(triesLeft == 4000 ? 0 : 5, context, [context, ready, act, triesLeft] {
        if (!ready() && triesLeft > 0)
            return whenTrue(context, ready, act, triesLeft - 1);
        QVERIFY(ready());
        act();
    });
}

// The wheel turned by `angle` eighths of a degree over `at` of `widget`.
inline void wheel(QWidget *widget, QPoint at, int angle, Qt::KeyboardModifiers modifiers)
{
    QWheelEvent e(at, widget->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton, modifiers, Qt::NoScrollPhase,
                  false);
    QApplication::sendEvent(widget, &e);
}
// A drag with the left button from `from` to `to` of `widget`.
inline void drag(QWidget *widget, QPoint from, QPoint to)
{
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, from);
    QMouseEvent move(QEvent::MouseMove, to, widget->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, to);
}

} // namespace vex::test
