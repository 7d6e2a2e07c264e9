#pragma once

#include "appserver/db/database.h"

#include <QStringList>

namespace krt::app {

// Brings a database to the current schema: the numbered files under
// appserver/db/migrations (compiled in) are applied in order, each in its own
// transaction, and recorded in KRT_MIGRACAO so that each runs only once. The
// same files serve SQLite and PostgreSQL.
class Migrator
{
public:
    explicit Migrator(Database& db) : db_(db) {}

    // Applies what is missing; returns the names applied now. Throws Error,
    // changing nothing, when the database is at a newer version than the
    // newest this build knows.
    QStringList migrate();
    // Highest version applied (0 for an empty database).
    int currentVersion();
    // Every migration this build knows, in order.
    static QStringList available();

    // Splits a migration file into statements (at ';' ending a line),
    // dropping comment lines.
    static QStringList statements(const QString& script);

private:
    Database& db_;
};

} // namespace krt::app
