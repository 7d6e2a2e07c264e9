#pragma once

// Raw TCP for tests that must send what no well-behaved HTTP client would
// (malformed heads, dripped bytes, pipelined calls, thousands of idle
// connections). Plain POSIX sockets, usable from any thread.

#include <QByteArray>
#include <QtGlobal>
#include <atomic>
#include <functional>
#include <thread>

class RawConnection
{
public:
    // Connects to 127.0.0.1:port, from `fromAddress` when given (another
    // loopback address, say, to stand for another client); isOpen() tells
    // whether it worked.
    explicit RawConnection(quint16 port, const char* fromAddress = nullptr);
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;
    RawConnection(RawConnection&& other) noexcept;

    bool isOpen() const { return fd_ >= 0; }
    // False when the peer is gone.
    bool send(const QByteArray& bytes);
    // Everything received until the peer closes or `timeoutMs` passes
    // without a byte.
    QByteArray readAll(int timeoutMs);
    // Whatever arrives within `timeoutMs` (at least one byte waited for),
    // until `until` has been seen.
    QByteArray readUntil(const QByteArray& until, int timeoutMs);
    // True when the peer closed the connection (EOF or reset) within `timeoutMs`.
    bool closedByPeer(int timeoutMs);
    // Makes the close that follows a reset (RST) instead of an orderly end,
    // as a proxy or firewall that drops a connection does.
    void resetOnClose();
    void close();

private:
    friend class RawListener;
    RawConnection() = default;
    int fd_ = -1;
};

// One complete exchange on a fresh connection: sends `request` and returns
// everything answered until the server closes or goes quiet for `quietMs`.
QByteArray rawExchange(quint16 port, const QByteArray& request, int quietMs = 3000);

// The status code of the first answer in `response` (0 when there is none).
int statusOf(const QByteArray& response);
// The body of the first answer (Content-Length framing only).
QByteArray bodyOf(const QByteArray& response);
// Number of answers ("HTTP/1.1 " status lines) in `response`.
int answerCount(const QByteArray& response);

// A listening socket on 127.0.0.1 (a free port) standing for a server or a
// proxy that misbehaves: each connection it accepts is handed to `serve` on
// the listener's own thread, one after the other, and closed when `serve`
// returns (with resetOnClose, that close is a reset). Stops accepting and
// waits for the connection being served when destroyed.
class RawListener
{
public:
    using Serve = std::function<void(RawConnection& peer)>;
    explicit RawListener(Serve serve);
    ~RawListener();
    RawListener(const RawListener&) = delete;
    RawListener& operator=(const RawListener&) = delete;

    quint16 port() const { return port_; }

private:
    int fd_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
