#include "app/batch/OrderedPool.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace vex {
namespace {

using namespace std::chrono_literals;

const auto nothing = [] {};

// Items finish out of order (later ones sooner) but are handed out in order.
TEST(OrderedPool, HandsItemsOutInOrder)
{
    OrderedPool<std::string> pool(40, 4, [](std::size_t i, std::atomic<int> &) {
        std::this_thread::sleep_for(std::chrono::milliseconds((40 - i) % 7));
        return std::to_string(i);
    });
    ASSERT_EQ(pool.working(), 4U);
    for (std::size_t i = 0; i < 40; ++i)
        EXPECT_EQ(pool.take(i, nothing), std::to_string(i));
}

// However slowly items are taken, at most twice the workers are made ahead.
TEST(OrderedPool, MakesAtMostAWindowAhead)
{
    std::atomic<std::size_t> made{0};
    OrderedPool<int> pool(100, 3, [&](std::size_t i, std::atomic<int> &) {
        ++made;
        return static_cast<int>(i);
    });
    for (std::size_t taken = 0; taken < 3; ++taken) {
        for (int tries = 0; tries < 200 && made < taken + 6; ++tries)
            std::this_thread::sleep_for(10ms);
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(made.load(), taken + 6);
        EXPECT_EQ(pool.take(taken, nothing), static_cast<int>(taken));
    }
}

// A failure is thrown where its item is taken; the items after it still come.
TEST(OrderedPool, ReportsAFailureForItsItem)
{
    OrderedPool<int> pool(6, 2, [](std::size_t i, std::atomic<int> &) {
        if (i == 2)
            throw std::runtime_error("item 2 failed");
        return static_cast<int>(i);
    });
    for (std::size_t i = 0; i < 6; ++i) {
        if (i == 2)
            EXPECT_THROW(
                {
                    try {
                        pool.take(i, nothing);
                    } catch (const std::runtime_error &e) {
                        EXPECT_STREQ(e.what(), "item 2 failed");
                        throw;
                    }
                },
                std::runtime_error);
        else
            EXPECT_EQ(pool.take(i, nothing), static_cast<int>(i));
    }
}

// Threads the system refuses leave the work to those it gave, or to the
// taker when it gave none.
TEST(OrderedPool, WorksWithTheThreadsItGets)
{
    for (const int given : {1, 0}) {
        int started = 0;
        const auto start = [&](std::function<void()> body) {
            if (started++ >= given)
                throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
            return std::jthread(std::move(body));
        };
        const std::thread::id taker = std::this_thread::get_id();
        OrderedPool<bool> pool(
            8, 4, [&](std::size_t, std::atomic<int> &) { return std::this_thread::get_id() == taker; }, start);
        EXPECT_EQ(pool.working(), static_cast<std::size_t>(given));
        for (std::size_t i = 0; i < 8; ++i)
            EXPECT_EQ(pool.take(i, nothing), given == 0) << "given " << given << ", item " << i;
        EXPECT_EQ(pool.finished(), 8U);
    }
}

} // namespace
} // namespace vex
