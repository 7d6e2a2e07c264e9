#pragma once

// The server side of the HTTP transport (framework/wire/httptransport.h has
// what both sides share): calls read, checked and handed to the application
// server's handler, their answers written whole or streamed, under limits on
// what one client may cost. Built on Boost.Beast and Boost.Asio, which stay
// private to this library.

#include "framework/wire/callcodec.h"
#include "framework/wire/httptransport.h"
#include "framework/wire/variant.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace krt {

// What the server knows about the caller of one call.
struct CallContext
{
    QString peerAddress;
    quint16 peerPort = 0;
    // Unique per server instance, increasing.
    quint64 requestId = 0;
    // True when the call came over TLS.
    bool secure = false;
    // Object and method as the path names them (checked against the body).
    QString object;
    QString method;
    // The token of an "Authorization: Bearer" header, as sent.
    QByteArray bearerToken;
    // Whoever the gate recognised; it is the gate's and the handler's business.
    std::shared_ptr<const void> identity;
    // The gate may lower the body limit for this request (a login is small).
    qint64 maxBodyBytes = -1;
    // The client reads streamed replies (it sent "X-Krt-Reply: 2" or later).
    bool streamedReplies = false;
};

// Told about every request refused before it reached the handler (not HTTP,
// wrong content type, malformed body, wrong path, oversize body, a slow
// client cut off...), with the method name (or the path, or "-") and the text
// of the error answer. Runs on a serving thread; it must not throw. Every text
// comes straight from the client: escape it before writing it anywhere.
using RejectionListener =
    std::function<void(const QString& method, const QString& text, const CallContext& context)>;

// Runs once the head of a call has arrived and before its body is read: a
// An Error ends the request there (nothing of the body is read). It may
// fill `context.identity`. Runs on a network thread: it must be quick.
using RequestGate = std::function<void(CallContext& context)>;

// Runs on a worker after the body's object, method and argument count are read
// and before any argument is decoded: an Error (or any exception) ends
// the call without decoding the arguments.
using CallCheck = std::function<void(const QString& object, const QString& method,
                                     quint32 argumentCount, const CallContext& context)>;

// Answers GET /healthz: an empty text when healthy, otherwise why not (the
// answer is 503 with that text). Runs on a thread of its own, never on a
// worker, so that busy workers do not make a healthy server look dead.
using HealthCheck = std::function<QString()>;

using CallHandler = std::function<Variant(const QString& object, const QString& method,
                                          const QList<Variant>& args, const CallContext& context)>;

// A reply written while it is produced: the pieces go out as HTTP chunks, in
// order. `write` returns once the piece is queued for the client (it waits
// only when the connection's queue or the server's budget for queued answers
// is full), and throws Error (Transport) when the client is gone or takes the
// answer slower than the minimum rate (ServerLimits).
class ReplyStream
{
public:
    virtual ~ReplyStream() = default;
    virtual void write(const QByteArray& piece) = 0;
};

// Either writes a complete encoded reply into `out`, piece after piece (a
// version 1 reply, or a streamed one for a client that reads them), and
// returns nothing, or writes nothing and returns the result, which then goes
// out whole with its Content-Length. When it throws before writing anything,
// the client gets an error reply; afterwards the connection is cut.
using StreamingCallHandler = std::function<std::optional<Variant>(
    const Call& call, const CallContext& context, ReplyStream& out)>;

// Bounds on what one client may cost the server.
struct ServerLimits
{
    // Request head: bytes and number of fields.
    int headerBytes = 16 * 1024;
    int headerFields = 64;
    // A connection must deliver a whole request head within this time (a
    // kept-alive one: within the idle time-out), then the body within
    // bodyTimeoutMs; a client dripping bytes is cut off.
    int headerTimeoutMs = 10000;
    int bodyTimeoutMs = 60000;
    // Each piece of an answer must be taken by the client within this time.
    int writeTimeoutMs = 60000;
    // A streamed answer's pieces wait for a slow client in its connection's
    // queue, up to replyBufferBytes per connection and replyBytesTotal for
    // the whole server, so that the worker producing them goes on without
    // waiting. Past them the worker waits, but a client that takes less than
    // minReplyBytesPerSecond meanwhile is cut off.
    qint64 replyBufferBytes = qint64(32) * 1024 * 1024;
    qint64 replyBytesTotal = qint64(256) * 1024 * 1024;
    qint64 minReplyBytesPerSecond = 32 * 1024;
    // Open connections at once, and from one address (0: no limit per
    // address); more are closed as soon as they are accepted, and the
    // refusal is logged once per address per refusalLogIntervalMs.
    int maxConnections = 4096;
    int connectionsPerAddress = 256;
    int refusalLogIntervalMs = 60000;
    // Bytes of request bodies held at once by the whole server (each counted
    // from its Content-Length before it is read, or chunk by chunk, until its
    // call has run); a request that would go over is answered 503.
    qint64 bodyBytesTotal = qint64(256) * 1024 * 1024;
    // stop() waits this long for answers being written, then cuts them.
    int stopGraceMs = 30000;
};

// Serves calls: a few network threads handle every connection asynchronously
// (an idle kept-alive connection holds no thread), and a pool of workers runs
// the decoding and the handler. An exception from the handler becomes an
// error reply naming the method (with the error's code, else
// ServerFailure); a bad request, a wrong path or an oversize
// body gets an error reply too, and the server keeps running.
class HttpCallServer
{
public:
    HttpCallServer(const QString& address, quint16 port, qint64 maxBodyBytes, CallHandler handler);
    ~HttpCallServer();
    HttpCallServer(const HttpCallServer&) = delete;
    HttpCallServer& operator=(const HttpCallServer&) = delete;

    // Before start(): worker threads (default 8), how long an idle kept-alive
    // connection stays open (default 5 s), the limits, TLS, the hooks.
    void setThreadCount(int count);
    // Calls to `object` run on `threads` threads of their own instead of the
    // workers, waiting in that pool's queue for a thread: slow calls that are
    // few at a time on purpose (logins, each a deliberately costly password
    // hash) then never hold the workers that serve everything else.
    void setOwnPool(const QString& object, int threads);
    void setKeepAliveTimeoutSeconds(int seconds);
    void setLimits(const ServerLimits& limits);
    // Serve TLS only, with this certificate chain and private key (PEM).
    // Throws Error (Transport) when they cannot be loaded.
    void setTls(const QString& certFile, const QString& keyFile);
    void setRejectionListener(RejectionListener listener);
    void setRequestGate(RequestGate gate);
    void setCallCheck(CallCheck check);
    // Without one, /healthz answers 200 while the server runs.
    void setHealthCheck(HealthCheck check);
    // Peers (addresses, as the log names them) that are proxies of this
    // deployment: for their requests the caller's address is the last one of
    // X-Forwarded-For, which such a proxy adds (port 0: unknown). Anyone else
    // sending the header is taken as the address it connects from.
    void setTrustedProxies(const QStringList& addresses);
    // Replaces the handler given to the constructor for calls whose answer
    // should be streamed.
    void setStreamingHandler(StreamingCallHandler handler);

    // Binds and starts serving in the background; throws Error (Transport) when
    // the address cannot be bound.
    void start();
    // The bound port (the one chosen by the system when constructed with 0).
    quint16 port() const;
    bool isRunning() const;
    // Stops accepting, closes idle connections and those still sending a
    // request, lets every call in progress write its whole answer (at most
    // stopGraceMs), then returns.
    void stop();
    // Open connections right now (for tests and the log).
    int connectionCount() const;

    struct Impl;

private:
    std::unique_ptr<Impl> d_;
};

} // namespace krt
