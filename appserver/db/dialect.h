#pragma once

#include "appserver/db/dboptions.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace krt::app {

class Query;
namespace detail {
class Statement;
}

// Everything the server does differently on each database it runs on, in
// one object per kind: how its address is written and a connection opened
// and set up, how statements reach it, how a transaction begins, which row
// locks exist, which failures are worth a retry. Code elsewhere asks the
// dialect instead of testing the kind; adding a database is adding one.
class Dialect
{
public:
    virtual ~Dialect() = default;

    // Every dialect this build knows.
    static const QList<const Dialect*>& all();
    // The dialect of `kind`; throws Error (InvalidArgument) for a kind none
    // serves.
    static const Dialect& of(DbKind kind);
    // The dialect of the driver `db` was opened with; throws Error
    // (DatabaseFailure) for a driver none serves.
    static const Dialect& of(const QSqlDatabase& db);
    // The same, or nullptr.
    static const Dialect* find(const QSqlDatabase& db);
    // The forms of --database, for help and error texts.
    static QString addressForms();

    virtual DbKind kind() const = 0;
    // Qt Sql's driver for it.
    virtual QString driverName() const = 0;

    // --database: the form of its address ("sqlite:ARQUIVO") and, for a text
    // in that form, its options (throws Error on a bad one); std::nullopt for
    // a text in another form.
    virtual QString addressForm() const = 0;
    virtual std::optional<DbOptions> parseAddress(const QString& text) const = 0;
    // The address of `options` without secrets, for logs.
    virtual QString describe(const DbOptions& options) const = 0;

    // Adds a connection named `name` (not yet open) for `options`.
    virtual QSqlDatabase addConnection(const DbOptions& options, const QString& name) const = 0;
    // Statements run once on every new connection.
    virtual QStringList sessionSetup() const = 0;
    // A statement on the connection's own handle, or nullptr when the
    // connection gives none (Qt Sql's generic path serves it then).
    virtual std::unique_ptr<detail::Statement> nativeStatement(const QSqlDatabase& db,
                                                               const QString& sql) const = 0;
    // Whether the database's error code says the statement lost a race
    // (busy, deadlock, serialization) and may succeed when run again.
    virtual bool isTransient(const QString& nativeErrorCode) const = 0;

    // Starts a transaction. A writer takes what it needs to run alone
    // where the database has no row locks; a reader gets one snapshot.
    virtual QString begin(bool write) const = 0;
    // Suffix of a SELECT that locks the rows it reads until the commit
    // (empty where a write transaction already holds the whole database).
    virtual QString rowLock() const = 0;
    // The same for a shared lock on the rows of table alias `alias`.
    virtual QString sharedRowLock(const QString& alias) const = 0;

    // A set of texts as ONE bound parameter, never pasted into the SQL: the
    // condition that replaces "IN (...)" and the value bound to it.
    virtual QString inSetCondition() const = 0;
    virtual QString setValue(const QStringList& values) const = 0;

    // Lets go of what the connection caches beyond what it needs (after a
    // request far larger than the usual ones).
    virtual void releaseCaches(const QSqlDatabase&) const {}

    // A timestamp column as the select list should read it, and the instant
    // read back from column `col` of that select.
    virtual QString selectInstant(const QString& column) const = 0;
    virtual QDateTime readInstant(const Query& q, int col) const = 0;
};

} // namespace krt::app
