#include "appserver/db/database.h"

#include "appserver/db/errors.h"

#include <QAtomicInt>
#include <QMutexLocker>
#include <QSqlError>
#include <QSqlQuery>
#include <functional>

namespace krt::app {

namespace {

QAtomicInt nextInstance;

void run(QSqlDatabase& db, const QString& statement)
{
    QSqlQuery q(db);
    if (!q.exec(statement))
        throw DbError(QStringLiteral("Falha ao preparar a conexão com o banco de dados (%1): %2")
                          .arg(statement, q.lastError().text()),
                      false);
}

} // namespace

Database::Database(DbOptions options)
    : options_(std::move(options)),
      prefix_(QStringLiteral("krt-app-%1-").arg(nextInstance.fetchAndAddRelaxed(1)))
{
}

Database::~Database()
{
    QMutexLocker lock(&mutex_);
    // Connections of other threads cannot be touched from here; dropping the
    // last reference closes them.
    for (const QString& name : std::as_const(names_))
        QSqlDatabase::removeDatabase(name);
}

QSqlDatabase Database::connection()
{
    const auto id = std::this_thread::get_id();
    QString name;
    {
        QMutexLocker lock(&mutex_);
        name = names_.value(id);
        if (name.isEmpty()) {
            name = prefix_ + QString::number(std::hash<std::thread::id>{}(id));
            names_.insert(id, name);
        }
    }
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen())
            return db;
        QSqlDatabase::removeDatabase(name);
    }
    return open(name);
}

void Database::releaseThisThread()
{
    QString name;
    {
        QMutexLocker lock(&mutex_);
        name = names_.take(std::this_thread::get_id());
    }
    if (name.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QSqlDatabase Database::open(const QString& name)
{
    const bool sqlite = options_.kind == DbKind::SQLite;
    QSqlDatabase db = QSqlDatabase::addDatabase(
        sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), name);
    if (sqlite) {
        db.setDatabaseName(options_.path);
        // Writers queue behind each other instead of failing at once.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=60000"));
    } else {
        db.setHostName(options_.host);
        db.setPort(options_.port);
        db.setUserName(options_.user);
        db.setPassword(options_.password);
        db.setDatabaseName(options_.database);
        db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    }
    db.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (!db.open()) {
        const QString text = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        throw DbError(QStringLiteral("Não foi possível abrir o banco de dados %1: %2")
                          .arg(options_.describe(), text),
                      false);
    }
    if (sqlite) {
        run(db, QStringLiteral("PRAGMA journal_mode=WAL"));
        // In WAL mode NORMAL loses nothing when the process dies; only a
        // power failure may drop the last commits.
        run(db, QStringLiteral("PRAGMA synchronous=NORMAL"));
        run(db, QStringLiteral("PRAGMA foreign_keys=ON"));
    } else {
        run(db, QStringLiteral("SET client_min_messages TO WARNING"));
    }
    return db;
}

} // namespace krt::app
