#pragma once

#include <QString>
#include <QtGlobal>
#include <stdexcept>

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
};

// The code a refusal with this HTTP status carries unless it says otherwise.
ErrorCode errorCodeForStatus(int httpStatus);

// Raised for anything malformed on the wire (bad packet, bad call, bad key
// list) and for asking a value for a kind it does not hold.
class WireError : public std::runtime_error
{
public:
    explicit WireError(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const noexcept { return text_; }

private:
    QString text_;
};

// Raised on the calling side when a remote call failed: the server answered
// with an error, or it could not be reached. The text is meant for the user
// and names the method; `method` is set when the server's error named it.
class RemoteError : public std::runtime_error
{
public:
    explicit RemoteError(const QString& text, ErrorCode code = ErrorCode::Unspecified,
                         const QString& method = {})
        : std::runtime_error(text.toStdString()), text_(text), method_(method), code_(code)
    {
    }
    const QString& text() const noexcept { return text_; }
    const QString& method() const noexcept { return method_; }
    ErrorCode code() const noexcept { return code_; }

private:
    QString text_;
    QString method_;
    ErrorCode code_;
};

// Thrown by a call handler when the method fails for a reason its code names:
// the server answers an error reply "Erro no método <m>: <text>" carrying the
// code and the method. The text is for the user: never a database's own words.
class MethodError : public std::runtime_error
{
public:
    MethodError(ErrorCode code, const QString& text)
        : std::runtime_error(text.toStdString()), text_(text), code_(code)
    {
    }
    const QString& text() const noexcept { return text_; }
    ErrorCode code() const noexcept { return code_; }

private:
    QString text_;
    ErrorCode code_;
};

} // namespace krt
