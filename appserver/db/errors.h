#pragma once

#include "framework/wire/errors.h"

#include <QString>
#include <stdexcept>

namespace krt::app {

// A failure the caller should see: bad arguments, a refused operation, a
// database error. The text is for the user (Portuguese) and says what failed.
// An error about one method keeps the method and the detail apart, so that
// the answer can name the method once; text() is "method: detail". The code
// tells client code what kind of failure it is.
class AppError : public std::runtime_error
{
public:
    explicit AppError(const QString& text, ErrorCode code = ErrorCode::InvalidArgument)
        : std::runtime_error(text.toStdString()), text_(text), detail_(text), code_(code)
    {
    }
    AppError(const QString& method, const QString& detail,
             ErrorCode code = ErrorCode::InvalidArgument)
        : std::runtime_error((method + QStringLiteral(": ") + detail).toStdString()),
          text_(method + QStringLiteral(": ") + detail), method_(method), detail_(detail),
          code_(code)
    {
    }
    const QString& text() const noexcept { return text_; }
    // The method the error is about (empty when it is about none) and the
    // text without it.
    const QString& method() const noexcept { return method_; }
    const QString& detail() const noexcept { return detail_; }
    ErrorCode code() const noexcept { return code_; }

private:
    QString text_;
    QString method_;
    QString detail_;
    ErrorCode code_;
};

// The database refused or failed a statement. `transient` marks failures that
// a new attempt may not meet (deadlock, serialization, busy database). The
// text is the database's own, which may quote the statement: it goes to the
// server's log, never to the caller.
class DbError : public AppError
{
public:
    DbError(const QString& text, bool transient)
        : AppError(text, ErrorCode::DatabaseFailure), transient_(transient)
    {
    }
    bool transient() const noexcept { return transient_; }

private:
    bool transient_;
};

// The caller may not touch what it asked for (a branch outside its own).
// Nothing was changed; the refusal is already in the audit trail.
class AccessDenied : public AppError
{
public:
    AccessDenied(const QString& method, const QString& reason)
        : AppError(method, reason, ErrorCode::AccessDenied)
    {
    }
};

} // namespace krt::app
