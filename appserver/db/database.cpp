#include "appserver/db/database.h"

#include "framework/wire/errors.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>

namespace krt::app {

namespace {

// Numbers for instances and connections: never reused, unlike thread ids.
std::atomic<quint64> nextInstance{1};
std::atomic<quint64> nextConnection{1};

void closeConnection(const QString& name)
{
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// The connections this thread opened, by Database instance. The thread closes
// what is left of them when it ends.
struct ThreadConnections
{
    QHash<quint64, QString> names;
    ~ThreadConnections()
    {
        for (const QString& name : std::as_const(names))
            closeConnection(name);
    }
};

thread_local ThreadConnections threadConnections;

void run(QSqlDatabase& db, const QString& statement)
{
    QSqlQuery q(db);
    if (!q.exec(statement))
        throw Error(ErrorCode::DatabaseFailure,
                    QStringLiteral("Falha ao preparar a conexão com o banco de dados (%1): %2")
                        .arg(statement, q.lastError().text()))
            .setTransient(false);
}

} // namespace

Database::Database(DbOptions options)
    : options_(std::move(options)), dialect_(Dialect::of(options_.kind)),
      instance_(nextInstance.fetch_add(1))
{
}

Database::~Database()
{
    // This thread's connection; other threads close theirs themselves.
    releaseThisThread();
}

QSqlDatabase Database::connection()
{
    const QString name = threadConnections.names.value(instance_);
    if (!name.isEmpty()) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen())
            return db;
        threadConnections.names.remove(instance_);
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    const QString fresh =
        QStringLiteral("krt-app-%1-%2").arg(instance_).arg(nextConnection.fetch_add(1));
    QSqlDatabase db = open(fresh);
    threadConnections.names.insert(instance_, fresh);
    return db;
}

void Database::releaseThisThread()
{
    const QString name = threadConnections.names.take(instance_);
    if (!name.isEmpty())
        closeConnection(name);
}

QSqlDatabase Database::open(const QString& name)
{
    QSqlDatabase db = dialect_.addConnection(options_, name);
    db.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (!db.open()) {
        const QString text = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        throw Error(ErrorCode::DatabaseFailure,
                    QStringLiteral("Não foi possível abrir o banco de dados %1: %2")
                        .arg(options_.describe(), text))
            .setTransient(false);
    }
    try {
        for (const QString& statement : dialect_.sessionSetup())
            run(db, statement);
    } catch (...) {
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        throw;
    }
    return db;
}

} // namespace krt::app
