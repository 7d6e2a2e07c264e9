// SQLite: one file; a writer locks it whole at its BEGIN IMMEDIATE, readers
// of the WAL never wait.
#include "appserver/db/dialects.h"
#include "appserver/db/sql.h"
#include "appserver/db/statement.h"
#include "framework/wire/errors.h"

#include <QSqlDriver>
#include <sqlite3.h>

namespace krt::app {

namespace {

class SqliteDialect final : public Dialect
{
public:
    DbKind kind() const override { return DbKind::SQLite; }
    QString driverName() const override { return QStringLiteral("QSQLITE"); }

    QString addressForm() const override { return QStringLiteral("sqlite:ARQUIVO"); }

    std::optional<DbOptions> parseAddress(const QString& text) const override
    {
        if (!text.startsWith(QLatin1String("sqlite:")))
            return std::nullopt;
        const QString path = text.mid(7);
        if (path.isEmpty())
            throw Error(
                ErrorCode::InvalidArgument,
                QStringLiteral("Banco de dados inválido: falta o arquivo em \"%1\".").arg(text));
        return DbOptions::sqlite(path);
    }

    QString describe(const DbOptions& options) const override
    {
        return QStringLiteral("sqlite:%1").arg(options.path);
    }

    QSqlDatabase addConnection(const DbOptions& options, const QString& name) const override
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driverName(), name);
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

    std::unique_ptr<detail::Statement> nativeStatement(const QSqlDatabase& db,
                                                       const QString& sql) const override
    {
        return detail::sqliteStatement(db, sql);
    }

    bool isTransient(const QString& code) const override
    {
        // SQLITE_BUSY, SQLITE_LOCKED.
        return code == QLatin1String("5") || code == QLatin1String("6");
    }

    QString begin(bool write) const override
    {
        return write ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN");
    }

    QString rowLock() const override { return {}; }
    QString sharedRowLock(const QString&) const override { return {}; }

    // A JSON array of strings, unpacked by json_each.
    QString inSetCondition() const override
    {
        return QStringLiteral("IN (SELECT value FROM json_each(?))");
    }
    QString setValue(const QStringList& values) const override
    {
        return quotedList(values, QLatin1Char('['), QLatin1Char(']'), true);
    }

    // The pages a large request brought into the connection's cache.
    void releaseCaches(const QSqlDatabase& db) const override
    {
        if (sqlite3* handle = sqliteHandle(db))
            sqlite3_db_release_memory(handle);
    }

    // Stored as the local time in ISO text.
    QString selectInstant(const QString& column) const override { return column; }
    QDateTime readInstant(const Query& q, int col) const override
    {
        return QDateTime::fromString(q.text(col), Qt::ISODateWithMs);
    }
};

} // namespace

sqlite3* sqliteHandle(const QSqlDatabase& db)
{
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.data());
}

const Dialect& sqliteDialect()
{
    static const SqliteDialect dialect;
    return dialect;
}

} // namespace krt::app
