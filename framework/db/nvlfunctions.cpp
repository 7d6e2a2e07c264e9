#include "framework/db/nvlfunctions.h"

#include "framework/core/errors.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <sqlite3.h>

namespace krt {

namespace {

void sqliteNvl(sqlite3_context* context, int, sqlite3_value** args)
{
    sqlite3_result_value(context, sqlite3_value_type(args[0]) == SQLITE_NULL ? args[1] : args[0]);
}

// Any visible two-argument nvl counts: adding a second one would make calls
// ambiguous.
bool postgresHasNvl(const QSqlDatabase& db)
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SELECT count(*) FROM pg_proc WHERE proname = 'nvl' AND "
                                 "pronargs = 2 AND pg_function_is_visible(oid)")) &&
           q.next() && q.value(0).toInt() > 0;
}

int postgresVersion(const QSqlDatabase& db)
{
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("SELECT current_setting('server_version_num')::int")) && q.next())
        return q.value(0).toInt();
    return 0;
}

} // namespace

void registerSqliteNvl(const QSqlDatabase& db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    sqlite3* connection = nullptr;
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        connection = *static_cast<sqlite3* const*>(handle.constData());
    if (!connection)
        throw EKrtError(QStringLiteral("Não foi possível registrar a função NVL: a conexão '%1' "
                                       "não é uma conexão SQLite aberta.")
                            .arg(db.connectionName()));
    const int rc =
        sqlite3_create_function_v2(connection, "NVL", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                   nullptr, &sqliteNvl, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw EKrtError(QStringLiteral("Não foi possível registrar a função NVL no SQLite: %1")
                            .arg(QString::fromUtf8(sqlite3_errstr(rc))));
}

void ensurePostgresNvl(const QSqlDatabase& db)
{
    if (postgresHasNvl(db))
        return;
    // "anycompatible" (server 13 and later) also resolves calls whose two
    // arguments differ in type (numeric and integer, char and varchar) and
    // two untyped parameters or literals (as text); "anyelement" needs the
    // same type on both sides.
    const QString kind = postgresVersion(db) >= 130000 ? QStringLiteral("anycompatible")
                                                       : QStringLiteral("anyelement");
    QSqlQuery q(db);
    const bool created =
        q.exec(QStringLiteral("CREATE FUNCTION nvl(%1, %1) RETURNS %1 "
                              "LANGUAGE sql IMMUTABLE AS 'SELECT COALESCE($1, $2)'")
                   .arg(kind));
    // Another client may have created it in the meantime.
    if (!created && !postgresHasNvl(db))
        throw EKrtError(QStringLiteral("Não foi possível criar a função NVL no PostgreSQL: %1")
                            .arg(q.lastError().text()));
}

void prepareNvl(const QSqlDatabase& db)
{
    const QString driver = db.driverName().toUpper();
    if (driver == u"QSQLITE")
        registerSqliteNvl(db);
    else if (driver == u"QPSQL" || driver == u"QPSQL7")
        ensurePostgresNvl(db);
}

} // namespace krt
