#pragma once

// Calls over HTTP/1.1: one POST per call to /call/<object>/<method>, the
// encoded call as the body (Content-Type application/x-krt-call), the encoded
// reply as the answer (application/x-krt-reply). Connections are kept alive;
// TLS is optional on both sides. Built on Boost.Beast and Boost.Asio, which
// stay private to this library.

#include "framework/wire/callcodec.h"
#include "framework/wire/variant.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

namespace krt {

inline constexpr char kCallContentType[] = "application/x-krt-call";
inline constexpr char kReplyContentType[] = "application/x-krt-reply";
// GET on this path answers a reply holding true: the server is up.
inline constexpr char kPingPath[] = "/ping";
// GET on this path answers 200 when the server can do its work (its health
// check passes: the application server reaches its database), 503 otherwise;
// for a load balancer's checks.
inline constexpr char kHealthPath[] = "/healthz";
// The object that trades a user name and password for a session token.
inline constexpr char kSessionObject[] = "Krt.Sessao";
inline constexpr char kLoginMethod[] = "login";

// True for names usable as object or method in a call path: letters, digits,
// '_' and '.', 1 to 200 characters.
bool isValidCallName(const QString& name);

// What a successful login answers: the session token to send with later calls
// and what the server allows its user.
struct SessionInfo
{
    QString token;
    QString user;
    bool allBranches = false;
    QStringList branches;
    // Non-empty when the user works on this one branch only.
    QString fixedBranch;

    Variant toVariant() const;
    // Throws Error (Malformed) when `value` is not a login answer.
    static SessionInfo fromVariant(const Variant& value);
};

// The largest answer a client takes unless told otherwise: far above the
// longest real list (100,000 invoices make an 18 MB packet), low enough that
// a hostile or broken server cannot make the host allocate without bound.
inline constexpr qint64 kDefaultMaxReplyBytes = qint64(256) * 1024 * 1024;

// Calls methods of remote objects, one at a time (calls from several threads
// are serialized). Every failure throws Error with a Portuguese text.
// A failure of the network itself (server unreachable, no answer within the
// time-out, the connection broken, a TLS failure, an answer over the reply
// limit) is one sentence for the clerk that says what to do and names neither
// method nor address; those, and the system's own words, go to the log
// (category "krt.transport"). Any other failure (an HTTP error, a malformed
// answer, the server's own error reply) names the method.
// A call is never sent twice; the only thing repeated is a login, when the
// server says a session token expired before it ran the call.
// The connection is kept open and reused between calls. `timeoutMs` bounds
// each call; opening a connection waits at most min(timeoutMs, 10 s).
class HttpCallClient
{
public:
    HttpCallClient(const QString& host, quint16 port, int timeoutMs = 120000);
    ~HttpCallClient();
    HttpCallClient(const HttpCallClient&) = delete;
    HttpCallClient& operator=(const HttpCallClient&) = delete;

    // Talk TLS, accepting only a server whose certificate chains to a CA in
    // `caFile` (PEM) and names the host connected to. Throws Error when
    // the file cannot be read. Before the first call.
    void setTls(const QString& caFile);
    bool usesTls() const;
    // The user and password traded for a session token before the first call
    // (and again when the server forgets the token).
    void setCredentials(const QString& user, const QString& password);

    Variant call(const QString& object, const QString& method, const QList<Variant>& args);

    // Checks that the server answers (GET /ping); throws Error otherwise.
    void ping();
    // Logs in now with the credentials set; throws Error (wrong password,
    // disabled user...) with the server's text.
    SessionInfo login();
    // The session of the last successful login (empty token before any).
    SessionInfo session() const;

    QString host() const;
    quint16 port() const;
    int timeoutMs() const;
    void setTimeoutMs(int timeoutMs);
    // The largest answer body taken (kDefaultMaxReplyBytes unless set; 0 or
    // less sets the default back). A larger one ends the call with code
    // InvalidReply, and the connection is dropped.
    qint64 maxReplyBytes() const;
    void setMaxReplyBytes(qint64 bytes);

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
