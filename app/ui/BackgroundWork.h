#pragma once
// Long work off the GUI thread.  The caller's code still reads in order:
// runInBackground() returns what the work returned, while the window goes on
// answering (repaints, Cancel, moving and resizing) in a local event loop.
// The window's busy state is what keeps a second command from starting
// meanwhile, and closing waits for the work to see its cancel.  The work
// reports progress with postToGui() and asks its questions with onGuiThread(),
// because widgets may only be touched from the GUI thread.

#include <QCoreApplication>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QMetaObject>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <exception>
#include <optional>
#include <type_traits>
#include <utility>

namespace vex::ui {

// Runs `work` on a pool thread and returns its result once it is done; an
// exception it throws is thrown again here, on the caller's thread.
template <class F>
std::invoke_result_t<F> runInBackground(F &&work)
{
    using T = std::invoke_result_t<F>;
    std::exception_ptr failure;
    auto guarded = [&failure, work = std::forward<F>(work)]() mutable {
        try {
            if constexpr (std::is_void_v<T>) {
                work();
                return;
            } else {
                return std::optional<T>(work());
            }
        } catch (...) {
            failure = std::current_exception();
        }
        if constexpr (!std::is_void_v<T>)
            return std::optional<T>();
    };
    using Held = std::invoke_result_t<decltype(guarded) &>;
    QFutureWatcher<Held> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcher<Held>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run(std::move(guarded)));
    if (!watcher.isFinished())
        loop.exec();
    watcher.waitForFinished();
    if (failure)
        std::rethrow_exception(failure);
    if constexpr (!std::is_void_v<T>)
        return std::move(*watcher.future().takeResult());
}

// Calls `f` on the thread of `context` (the GUI thread for a widget) and
// returns its result; from that thread itself it is a plain call.
template <class F>
std::invoke_result_t<F> onGuiThread(QObject *context, F &&f)
{
    using T = std::invoke_result_t<F>;
    if (QThread::currentThread() == context->thread())
        return f();
    if constexpr (std::is_void_v<T>) {
        QMetaObject::invokeMethod(context, std::forward<F>(f), Qt::BlockingQueuedConnection);
    } else {
        T result{};
        QMetaObject::invokeMethod(
            context, [&] { result = f(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

// Queues `f` on the thread of `context` without waiting: for progress, which
// must never hold the work up.
template <class F>
void postToGui(QObject *context, F &&f)
{
    QMetaObject::invokeMethod(context, std::forward<F>(f), Qt::QueuedConnection);
}

} // namespace vex::ui
