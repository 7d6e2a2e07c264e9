#pragma once

#include "appserver/db/dboptions.h"

#include <QHash>
#include <QMutex>
#include <QSqlDatabase>
#include <QString>
#include <thread>

namespace krt::app {

// One database, opened once per thread that uses it: Qt's connections may be
// used only by the thread that opened them, so each worker of the server gets
// its own connection the first time it asks. Every connection is set up the
// same way (SQLite: WAL, foreign keys, a busy wait; PostgreSQL: floats for
// NUMERIC).
class Database
{
public:
    explicit Database(DbOptions options);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // This thread's connection, opened on first use. Throws DbError when the
    // database cannot be opened.
    QSqlDatabase connection();
    // Closes and forgets this thread's connection (a worker that ends).
    void releaseThisThread();

    const DbOptions& options() const { return options_; }
    DbKind kind() const { return options_.kind; }

private:
    QSqlDatabase open(const QString& name);

    DbOptions options_;
    QString prefix_;
    QMutex mutex_;
    QHash<std::thread::id, QString> names_;
};

} // namespace krt::app
