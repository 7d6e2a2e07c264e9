#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace krt::app {

// Gives the heap a large request freed back to the system once the server
// has been quiet for a while, not as the request ends. Returned at once, it
// had to be faulted in again, page by page, by the next large request of a
// burst (a clerk cancelling several periods, one after another): unlinking
// the sales of 10 000 invoices took 33–45 ms after a return, 24 ms without.
// Waiting for a quiet moment is how allocators that decay their freed
// memory over time behave; the resident size still returns to where it was
// before the burst.
class IdleHeapReturn
{
public:
    using GiveBack = std::function<void()>;

    // `giveBack` runs on a thread of this object's own, `quiet` after the
    // last large request; by default it trims every allocator arena.
    explicit IdleHeapReturn(std::chrono::milliseconds quiet = std::chrono::seconds(1),
                            GiveBack giveBack = {});
    // Does not wait for a pending return.
    ~IdleHeapReturn();
    IdleHeapReturn(const IdleHeapReturn&) = delete;
    IdleHeapReturn& operator=(const IdleHeapReturn&) = delete;

    // A request that freed a lot has ended: the heap goes back `quiet` from
    // now, unless another one ends before that.
    void afterLargeRequest();

private:
    void run();

    const std::chrono::milliseconds quiet_;
    const GiveBack giveBack_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::chrono::steady_clock::time_point due_;
    bool pending_ = false;
    bool stopping_ = false;
    std::thread thread_; // started by the first large request
};

} // namespace krt::app
