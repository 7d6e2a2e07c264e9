// The heap of large requests goes back to the system once the server is
// quiet, once per burst, and never holds up the server's stop.
#include "appserver/methods/idleheapreturn.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using krt::app::IdleHeapReturn;
using namespace std::chrono_literals;

namespace {

// Waits (boundedly) for `count` to reach `expected`.
bool reaches(const std::atomic<int>& count, int expected)
{
    for (int i = 0; i < 2000 && count.load() < expected; ++i)
        std::this_thread::sleep_for(10ms);
    return count.load() >= expected;
}

} // namespace

TEST(IdleHeapReturn, ABurstOfLargeRequestsGivesTheHeapBackOnceWhenItEnds)
{
    std::atomic<int> given{0};
    IdleHeapReturn heap(500ms, [&] { ++given; });
    for (int i = 0; i < 5; ++i)
        heap.afterLargeRequest();
    ASSERT_TRUE(reaches(given, 1));
    // Nothing more is pending: a second return would come within the quiet time.
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(given.load(), 1);

    // The next burst is given back again.
    heap.afterLargeRequest();
    EXPECT_TRUE(reaches(given, 2));
}

TEST(IdleHeapReturn, StoppingDoesNotWaitForAPendingReturn)
{
    std::atomic<int> given{0};
    {
        // A test that hangs here is a destructor waiting for the quiet hour.
        IdleHeapReturn heap(std::chrono::hours(1), [&] { ++given; });
        heap.afterLargeRequest();
    }
    EXPECT_EQ(given.load(), 0);
    // Never asked: no thread, nothing to stop.
    IdleHeapReturn unused;
}
