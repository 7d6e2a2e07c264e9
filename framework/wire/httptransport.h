#pragma once

// Calls over HTTP/1.1: one POST per call to /call/<object>/<method>, the
// encoded call as the body (Content-Type application/x-krt-call), the encoded
// reply as the answer (application/x-krt-reply). Connections are kept alive;
// TLS is optional. This is the client and what both sides share (paths,
// content types, the session's answer); the server is the application
// server's (appserver/http/httpcallserver.h), so the host carries none of it.
// Built on Boost.Beast and Boost.Asio, which stay private to this library.

#include "framework/wire/variant.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

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

} // namespace krt
