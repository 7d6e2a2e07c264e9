#include "appserver/db/dialect.h"

namespace krt::app {

namespace {

// SQLite: one file; a writer locks it whole at its BEGIN IMMEDIATE, readers
// of the WAL never wait.
class SqliteDialect : public Dialect
{
public:
    DbKind kind() const override { return DbKind::SQLite; }

    QSqlDatabase addConnection(const DbOptions& options, const QString& name) const override
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(options.path);
        // Writers queue behind each other instead of failing at once.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=60000"));
        return db;
    }

    QStringList sessionSetup() const override
    {
        // In WAL mode NORMAL loses nothing when the process dies; only a
        // power failure may drop the last commits.
        return {QStringLiteral("PRAGMA journal_mode=WAL"),
                QStringLiteral("PRAGMA synchronous=NORMAL"),
                QStringLiteral("PRAGMA foreign_keys=ON")};
    }

    QString begin(bool write) const override
    {
        return write ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN");
    }

    QString rowLock() const override { return {}; }
    QString sharedRowLock(const QString&) const override { return {}; }
    bool keySetsAsArrays() const override { return false; }
};

// PostgreSQL: writers of different rows run side by side; what must run one
// after the other takes row locks.
class PostgresDialect : public Dialect
{
public:
    DbKind kind() const override { return DbKind::PostgreSQL; }

    QSqlDatabase addConnection(const DbOptions& options, const QString& name) const override
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(options.host);
        db.setPort(options.port);
        db.setUserName(options.user);
        db.setPassword(options.password);
        db.setDatabaseName(options.database);
        db.setConnectOptions(options.postgresConnectOptions());
        return db;
    }

    QStringList sessionSetup() const override
    {
        return {QStringLiteral("SET client_min_messages TO WARNING")};
    }

    QString begin(bool write) const override
    {
        return write ? QStringLiteral("BEGIN")
                     : QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    }

    QString rowLock() const override { return QStringLiteral(" FOR UPDATE"); }
    QString sharedRowLock(const QString& alias) const override
    {
        return QStringLiteral(" FOR SHARE OF ") + alias;
    }
    bool keySetsAsArrays() const override { return true; }
};

} // namespace

const Dialect& Dialect::of(DbKind kind)
{
    static const SqliteDialect sqlite;
    static const PostgresDialect postgres;
    if (kind == DbKind::PostgreSQL)
        return postgres;
    return sqlite;
}

const Dialect& Dialect::of(const QSqlDatabase& db)
{
    return of(db.driverName() == QLatin1String("QPSQL") ? DbKind::PostgreSQL : DbKind::SQLite);
}

} // namespace krt::app
