#pragma once

#include <QString>
#include <stdexcept>

namespace krt {

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
// with an error, or it could not be reached. The text is meant for the user.
class RemoteError : public std::runtime_error
{
public:
    explicit RemoteError(const QString& text) : std::runtime_error(text.toStdString()), text_(text)
    {
    }
    const QString& text() const noexcept { return text_; }

private:
    QString text_;
};

} // namespace krt
