#pragma once

#include "appserver/db/dboptions.h"
#include "appserver/db/dialect.h"

#include <QSqlDatabase>
#include <QString>

namespace krt::app {

// One database, opened once per thread that uses it: Qt's connections may be
// used only by the thread that opened them, so each worker of the server gets
// its own connection the first time it asks, and that thread closes it: when
// it ends, when it releases it, or when it destroys the Database. Every
// connection is set up as the database's dialect says (SQLite: WAL, foreign
// keys, a busy wait) and gets a name of its own, never used again.
//
// A thread that stays alive after the Database is destroyed keeps its
// connection until it ends or calls releaseThisThread() (threads that use
// a Database are normally joined first: the server's workers stop before it).
class Database
{
public:
    explicit Database(DbOptions options);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // This thread's connection, opened on first use. Throws Error (DatabaseFailure) when the
    // database cannot be opened.
    QSqlDatabase connection();
    // Closes and forgets this thread's connection (it opens a new one on its
    // next call: after a failure that may be the connection's).
    void releaseThisThread();

    const DbOptions& options() const { return options_; }
    DbKind kind() const { return options_.kind; }
    const Dialect& dialect() const { return dialect_; }

private:
    QSqlDatabase open(const QString& name);

    DbOptions options_;
    const Dialect& dialect_;
    quint64 instance_;
};

} // namespace krt::app
