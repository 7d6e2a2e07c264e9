#pragma once

// The server's network threads, each running an event loop of its own. A
// connection stays on the loop it was given when accepted, so its reads, its
// writes and the chunks a worker hands it are all done by one thread: with
// one loop shared by two threads, every completion woke the other thread to
// run it, and a streamed answer bounced between them at each chunk.
// Private to appserver/http.

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace krt::detail {

class NetworkLoops
{
public:
    explicit NetworkLoops(int count);
    ~NetworkLoops();
    NetworkLoops(const NetworkLoops&) = delete;
    NetworkLoops& operator=(const NetworkLoops&) = delete;

    // The loop of the listening socket.
    boost::asio::io_context& first() { return loops_.front()->context; }
    // The loop for a new connection: each in turn.
    boost::asio::io_context& next();

    // Runs every loop on a thread of its own until stop(), which ends the
    // loops at once (handlers still queued are dropped: the server has closed
    // its connections by then) and waits for their threads. Started again
    // after a stop, they run anew.
    void start();
    void stop();

private:
    struct Loop
    {
        // Run by one thread only.
        boost::asio::io_context context{1};
        std::optional<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>>
            work;
        std::thread thread;
    };
    std::vector<std::unique_ptr<Loop>> loops_;
    std::atomic<unsigned> turn_{0};
};

} // namespace krt::detail
