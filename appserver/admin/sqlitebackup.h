#pragma once

#include "appserver/db/database.h"

#include <QString>

namespace krt::app {

struct BackupReport
{
    qint64 pages = 0;
    qint64 bytes = 0;
};

// Copies the SQLite database `db` into the new file `target` with SQLite's
// online backup API: one consistent snapshot, committed work still in the
// write-ahead log included, while a server goes on reading and writing (in
// WAL mode a reader never blocks the writer). The copy is a single file (no
// -wal beside it), written as `target`.part and renamed once PRAGMA
// integrity_check has found it sound. Throws Error when `target` exists,
// the database is not SQLite, or the copy fails or is not sound (the partial
// file is removed).
BackupReport backupSqlite(Database& db, const QString& target);

} // namespace krt::app
