#pragma once

#include "appserver/db/dboptions.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace krt::app {

// Everything the server does differently on each database it runs on, in
// one object per kind: how a connection is opened and set up, how a
// transaction begins, and which row locks exist. Code elsewhere asks the
// dialect instead of testing the kind.
class Dialect
{
public:
    virtual ~Dialect() = default;

    // The one dialect of `kind`, or of the database `db` is connected to.
    static const Dialect& of(DbKind kind);
    static const Dialect& of(const QSqlDatabase& db);

    virtual DbKind kind() const = 0;
    // Adds a connection named `name` (not yet open) for `options`.
    virtual QSqlDatabase addConnection(const DbOptions& options, const QString& name) const = 0;
    // Statements run once on every new connection.
    virtual QStringList sessionSetup() const = 0;
    // Starts a transaction. A writer takes what it needs to run alone
    // where the database has no row locks; a reader gets one snapshot.
    virtual QString begin(bool write) const = 0;
    // Suffix of a SELECT that locks the rows it reads until the commit
    // (empty where a write transaction already holds the whole database).
    virtual QString rowLock() const = 0;
    // The same for a shared lock on the rows of table alias `alias`.
    virtual QString sharedRowLock(const QString& alias) const = 0;
    // A set of keys goes as one array parameter ("= ANY (?)") rather than as
    // a list of parameters, which costs this database more to plan than to run.
    virtual bool keySetsAsArrays() const = 0;
};

} // namespace krt::app
