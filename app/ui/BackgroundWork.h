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
#include <QMetaObject>
#include <QThread>

#include <exception>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace vex::ui {

// Runs `work` on a thread of its own and returns its result once it is
// done; an exception it throws is thrown again here, on the caller's thread.
// The thread ends with the work, rather than idling in a pool past the
// program's end, so libraries that keep per-thread state (OpenSSL's hashing)
// free it as the thread exits.
template <class F>
std::invoke_result_t<F> runInBackground(F &&work)
{
    using T = std::invoke_result_t<F>;
    std::exception_ptr failure;
    using Held = std::conditional_t<std::is_void_v<T>, bool, std::optional<T>>;
    Held result{};
    std::unique_ptr<QThread> thread(QThread::create([&] {
        try {
            if constexpr (std::is_void_v<T>)
                work();
            else
                result.emplace(work());
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    if (!thread->isFinished())
        loop.exec();
    thread->wait();
    if (failure)
        std::rethrow_exception(failure);
    if constexpr (!std::is_void_v<T>)
        return std::move(*result);
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
