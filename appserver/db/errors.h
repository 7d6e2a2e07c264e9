#pragma once

#include <QString>
#include <stdexcept>

namespace krt::app {

// A failure the caller should see as it is: bad arguments, a refused
// operation, a database error. The text is for the user (Portuguese) and says
// what failed; the server adds the method's name when it answers.
class AppError : public std::runtime_error
{
public:
    explicit AppError(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const noexcept { return text_; }

private:
    QString text_;
};

// The database refused or failed a statement. `transient` marks failures that
// a new attempt may not meet (deadlock, serialization, busy database).
class DbError : public AppError
{
public:
    DbError(const QString& text, bool transient) : AppError(text), transient_(transient) {}
    bool transient() const noexcept { return transient_; }

private:
    bool transient_;
};

// The caller may not touch what it asked for (a branch outside its own).
// Nothing was changed; the refusal is already in the audit trail.
class AccessDenied : public AppError
{
public:
    using AppError::AppError;
};

} // namespace krt::app
