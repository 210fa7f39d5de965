#pragma once
// Items made by worker threads and handed out in their order.  A worker
// starts an item only while fewer than a window's worth (twice the
// workers) are waiting to be taken, so a run of any length holds a bounded
// number of items however slowly they are taken.  Where the system gives
// fewer threads than asked for, fewer work; where it gives none, the items
// are made as they are taken.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace vex {

template <typename T>
class OrderedPool {
public:
    // `make(index, share)` makes an item, telling in `share` (per thousand)
    // how far it has got.
    using Make = std::function<T(std::size_t, std::atomic<int> &)>;
    // Starts a thread running `body`; throws std::system_error where the
    // system gives none.
    using Start = std::function<std::jthread(std::function<void()>)>;
    static std::jthread startThread(std::function<void()> body) { return std::jthread(std::move(body)); }

    OrderedPool(std::size_t total, int jobs, Make make, const Start &start = startThread)
        : total_(total), make_(std::move(make)), window_(2 * static_cast<std::size_t>(jobs)), slots_(window_),
          shares_(static_cast<std::size_t>(jobs))
    {
        threads_.reserve(static_cast<std::size_t>(jobs));
        for (int w = 0; w < jobs; ++w) {
            try {
                threads_.push_back(start([this, w] { work(shares_[static_cast<std::size_t>(w)]); }));
            } catch (const std::system_error &) {
                break;
            }
        }
    }
    ~OrderedPool()
    {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        room_.notify_all();
        // The threads are joined as threads_ goes, before anything they use.
    }
    OrderedPool(const OrderedPool &) = delete;
    OrderedPool &operator=(const OrderedPool &) = delete;

    // The item at `index`, the next in order; `waiting` is called at least
    // a few times a second until it is there.  A worker's exception is
    // thrown here, in the item's place.
    template <typename Waiting>
    T take(std::size_t index, const Waiting &waiting)
    {
        if (threads_.empty())
            return makeHere(index);
        std::unique_lock lock(mutex_);
        std::optional<Made> &slot = slots_[index % window_];
        // Other items may finish many times a second while this one is
        // under way; waiting() is asked every time and draws when due.
        while (!slot) {
            ready_.wait_for(lock, std::chrono::milliseconds(100));
            if (!slot) {
                lock.unlock();
                waiting();
                lock.lock();
            }
        }
        Made made = std::move(*slot);
        slot.reset();
        ++taken_;
        lock.unlock();
        room_.notify_all();
        if (made.Failure)
            std::rethrow_exception(made.Failure);
        return std::move(made.Value);
    }
    std::size_t finished() const { return finished_.load(); }
    // The threads that could be started.
    std::size_t working() const { return threads_.size(); }
    // The shares of the items being made, in items.
    double underWay() const
    {
        int thousandths = 0;
        for (const std::atomic<int> &share : shares_)
            thousandths += share.load(std::memory_order_relaxed);
        return thousandths / 1000.0;
    }

private:
    struct Made {
        T Value{};
        std::exception_ptr Failure;
    };

    Made makeOne(std::size_t index, std::atomic<int> &share)
    {
        Made made;
        try {
            made.Value = make_(index, share);
        } catch (...) {
            made.Failure = std::current_exception();
        }
        share = 0;
        ++finished_;
        return made;
    }

    T makeHere(std::size_t index)
    {
        Made made = makeOne(index, shares_.front());
        if (made.Failure)
            std::rethrow_exception(made.Failure);
        return std::move(made.Value);
    }

    void work(std::atomic<int> &share)
    {
        for (;;) {
            std::size_t index = 0;
            {
                std::unique_lock lock(mutex_);
                room_.wait(lock, [&] { return stopping_ || next_ >= total_ || next_ < taken_ + window_; });
                if (stopping_ || next_ >= total_)
                    return;
                index = next_++;
            }
            Made made = makeOne(index, share);
            {
                const std::lock_guard lock(mutex_);
                slots_[index % window_] = std::move(made);
            }
            ready_.notify_all();
        }
    }

    const std::size_t total_;
    const Make make_;
    const std::size_t window_;
    std::mutex mutex_;
    std::condition_variable ready_; // an item is done
    std::condition_variable room_;  // an item was taken, or the run ends
    std::vector<std::optional<Made>> slots_;
    std::size_t next_ = 0;  // the next item to start
    std::size_t taken_ = 0; // items handed out
    bool stopping_ = false;
    std::atomic<std::size_t> finished_{0};
    std::vector<std::atomic<int>> shares_; // one per worker
    std::vector<std::jthread> threads_;
};

} // namespace vex
