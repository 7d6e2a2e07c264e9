#include "appserver/http/networkloops.h"

#include <algorithm>

namespace krt::detail {

NetworkLoops::NetworkLoops(int count)
{
    for (int i = 0; i < std::max(count, 1); ++i)
        loops_.push_back(std::make_unique<Loop>());
}

NetworkLoops::~NetworkLoops()
{
    stop();
}

boost::asio::io_context& NetworkLoops::next()
{
    return loops_[turn_.fetch_add(1, std::memory_order_relaxed) % loops_.size()]->context;
}

void NetworkLoops::start()
{
    for (const std::unique_ptr<Loop>& loop : loops_) {
        if (loop->thread.joinable())
            continue;
        loop->context.restart();
        loop->work.emplace(loop->context.get_executor());
        loop->thread = std::thread([&context = loop->context] { context.run(); });
    }
}

void NetworkLoops::stop()
{
    for (const std::unique_ptr<Loop>& loop : loops_) {
        loop->work.reset();
        loop->context.stop();
    }
    for (const std::unique_ptr<Loop>& loop : loops_)
        if (loop->thread.joinable())
            loop->thread.join();
}

} // namespace krt::detail
