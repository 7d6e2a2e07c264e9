#pragma once

// Calls over HTTP/1.1: one POST per call to /call/<object>/<method>, the
// encoded call as the body (Content-Type application/x-krt-call), the encoded
// reply as the answer (application/x-krt-reply). Connections are kept alive.

#include "framework/wire/variant.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <stdexcept>

namespace krt {

inline constexpr char kCallContentType[] = "application/x-krt-call";
inline constexpr char kReplyContentType[] = "application/x-krt-reply";
// GET on this path answers a reply holding true: the server is up.
inline constexpr char kPingPath[] = "/ping";

// The server could not be set up (address in use, bad address...).
class TransportError : public std::runtime_error
{
public:
    explicit TransportError(const QString& text)
        : std::runtime_error(text.toStdString()), text_(text)
    {
    }
    const QString& text() const noexcept { return text_; }

private:
    QString text_;
};

// True for names usable as object or method in a call path: letters, digits,
// '_' and '.', 1 to 200 characters.
bool isValidCallName(const QString& name);

// Calls methods of remote objects, one at a time (calls from several threads
// are serialized). Every failure throws RemoteError with a Portuguese text that
// names the method: server unreachable, no answer within the time-out, an HTTP
// error, a malformed answer, or the server's own error reply. Nothing is
// retried. The connection is kept open and reused between calls. `timeoutMs`
// bounds each call; opening a connection waits at most min(timeoutMs, 10 s).
class HttpCallClient
{
public:
    HttpCallClient(const QString& host, quint16 port, int timeoutMs = 120000);
    ~HttpCallClient();
    HttpCallClient(const HttpCallClient&) = delete;
    HttpCallClient& operator=(const HttpCallClient&) = delete;

    Variant call(const QString& object, const QString& method, const QList<Variant>& args);

    // Checks that the server answers (GET /ping); throws RemoteError otherwise.
    void ping();

    QString host() const;
    quint16 port() const;
    int timeoutMs() const;

    // Closes the kept-alive connection; the next call opens a new one.
    void disconnect();

    struct Impl;

private:
    std::unique_ptr<Impl> d_;
};

// What the server knows about the caller of one call.
struct CallContext
{
    QString peerAddress;
    quint16 peerPort = 0;
    // Unique per server instance, increasing.
    quint64 requestId = 0;
};

// Told about every call refused before it reached the handler (wrong content
// type, malformed body, wrong path, oversize body), with the method name (or
// the path when there is none) and the text of the error answer. Runs on the
// serving thread; it must not throw.
using RejectionListener =
    std::function<void(const QString& method, const QString& text, const CallContext& context)>;

using CallHandler = std::function<Variant(const QString& object, const QString& method,
                                          const QList<Variant>& args, const CallContext& context)>;

// Serves calls concurrently on a pool of threads, handing each decoded call to
// the handler. An exception from the handler becomes an error reply naming the
// method; a bad body, a wrong path or an oversize body gets an error reply too,
// and the server keeps running.
class HttpCallServer
{
public:
    HttpCallServer(const QString& address, quint16 port, qint64 maxBodyBytes, CallHandler handler);
    ~HttpCallServer();
    HttpCallServer(const HttpCallServer&) = delete;
    HttpCallServer& operator=(const HttpCallServer&) = delete;

    // Before start(): worker threads (default 8) and how long an idle
    // kept-alive connection stays open (default 5 s).
    void setThreadCount(int count);
    void setKeepAliveTimeoutSeconds(int seconds);
    void setRejectionListener(RejectionListener listener);

    // Binds and starts serving in the background; throws TransportError when
    // the address cannot be bound.
    void start();
    // The bound port (the one chosen by the system when constructed with 0).
    quint16 port() const;
    bool isRunning() const;
    // Stops listening and waits for the calls in progress to end.
    void stop();

    struct Impl;

private:
    std::unique_ptr<Impl> d_;
};

} // namespace krt
