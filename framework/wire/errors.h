#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <exception>

namespace krt {

// What kind of failure an error is: client code decides by it, never by the
// text, which is for the user. The numbers travel in error replies
// (docs/protocol.md §4) and are never renumbered.
enum class ErrorCode : quint16
{
    Unspecified = 0,      // an error reply of the text-only form
    BadRequest = 1,       // not a valid call: HTTP, framing, encoding, argument count
    NotAuthenticated = 2, // no session, an expired one, a wrong password
    AccessDenied = 3,     // the user may not touch what the call asks for
    UnknownMethod = 4,    // no such object, method or path
    TooLarge = 5,         // a body over the limit
    TooManyAttempts = 6,  // too many failed logins from the caller's address
    InvalidArgument = 7,  // the method refused an argument (kind, list, flag, packet)
    Refused = 8,          // the method refused the operation (a closed accounting period)
    DatabaseFailure = 9,  // the server's database failed; the text gives the request's number
    ServerFailure = 10,   // the server failed otherwise
    ServerBusy = 11,      // the server has no room for the request now; try again shortly
    // Found by the client itself; never on the wire.
    Transport = 100,    // the server could not be reached or the exchange broke
    InvalidReply = 101, // the server's answer could not be read
    NotConnected = 102, // the connection is not open
    // Found by either side in bytes or values it could not read; never on the
    // wire as such (see Error).
    Malformed = 103,
};

// The code a refusal with this HTTP status carries unless it says otherwise.
ErrorCode errorCodeForStatus(int httpStatus);
// The HTTP status an error of this code is answered with: 200 for a method's
// own failure (its error reply says what failed), the refusal's status for
// a request refused before any method ran.
int httpStatusFor(ErrorCode code);
// True for the codes of a method's own failure (the call reached the method,
// which failed or refused): its error reply names the method in its text.
bool isMethodFailure(ErrorCode code);

// The one error of the project: what kind of failure it is (the code, which
// code that must tell failures apart reads, never the text), the method it
// is about (empty when none) and the text for the user, which does not
// repeat the method. Raised wherever something fails, caught and shown where
// the user is, and converted only where it crosses a process: the server
// writes it as an error reply (encodeErrorReply), the client reads a reply
// or a broken exchange back into one (HttpCallClient).
//
// Malformed marks bytes or values that could not be read; each side says
// what that means where it catches it (a bad request, an invalid argument,
// an invalid reply).
class Error : public std::exception
{
public:
    // A failure the code does not classify (Unspecified).
    explicit Error(QString text);
    Error(ErrorCode code, QString text, QString method = {});

    ErrorCode code() const noexcept { return code_; }
    const QString& text() const noexcept { return text_; }
    const QString& method() const noexcept { return method_; }
    // In UTF-8, for logs: a method's failure as "method: text", anything
    // else as its text.
    const char* what() const noexcept override { return what_.constData(); }

    // A refusal that says how long to wait before trying again (sent as
    // Retry-After): a throttled login, a busy server.
    int retryAfterSeconds() const noexcept { return retryAfter_; }
    Error& setRetryAfterSeconds(int seconds) noexcept
    {
        retryAfter_ = seconds;
        return *this;
    }
    // A failure a new attempt may not meet (a deadlock, a busy database file).
    bool transient() const noexcept { return transient_; }
    Error& setTransient(bool transient) noexcept
    {
        transient_ = transient;
        return *this;
    }

private:
    ErrorCode code_;
    QString text_;
    QString method_;
    QByteArray what_;
    int retryAfter_ = 0;
    bool transient_ = false;
};

} // namespace krt
