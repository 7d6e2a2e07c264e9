#include "appserver/methods/idleheapreturn.h"

#include <malloc.h>

namespace krt::app {

IdleHeapReturn::IdleHeapReturn(std::chrono::milliseconds quiet, GiveBack giveBack)
    : quiet_(quiet), giveBack_(giveBack ? std::move(giveBack) : [] { malloc_trim(0); })
{
}

IdleHeapReturn::~IdleHeapReturn()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void IdleHeapReturn::afterLargeRequest()
{
    {
        const std::lock_guard lock(mutex_);
        due_ = std::chrono::steady_clock::now() + quiet_;
        pending_ = true;
        if (!thread_.joinable())
            thread_ = std::thread([this] { run(); });
    }
    wake_.notify_one();
}

void IdleHeapReturn::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || pending_; });
        if (stopping_)
            return;
        // A later request moves the moment; waking early, wait again.
        if (wake_.wait_until(lock, due_, [this] { return stopping_; }))
            return;
        if (std::chrono::steady_clock::now() < due_)
            continue;
        pending_ = false;
        lock.unlock();
        giveBack_();
        lock.lock();
    }
}

} // namespace krt::app
