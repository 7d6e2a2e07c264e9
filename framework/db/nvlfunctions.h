#pragma once

#include <QSqlDatabase>

namespace krt {

// The lookups are written with NVL(value, fallback), which SQLite and
// PostgreSQL lack. These give an open connection that function, so the same
// statements run unchanged everywhere.

// Adds NVL(a, b) to one SQLite connection (a function lives per connection:
// call it for every connection opened or cloned). Throws EKrtError.
void registerSqliteNvl(const QSqlDatabase& db);

// Creates nvl(a, b) (polymorphic) in the PostgreSQL database when it is
// not there yet. Throws EKrtError with the server's text when it cannot.
void ensurePostgresNvl(const QSqlDatabase& db);

// Whatever the connection's driver needs of the two above.
void prepareNvl(const QSqlDatabase& db);

} // namespace krt
