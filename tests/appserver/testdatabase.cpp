#include "testdatabase.h"

#include "appserver/db/migrator.h"
#include "appserver/db/sql.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <stdexcept>

using namespace krt::app;

namespace {

QAtomicInt counter;

#ifdef KRT_TEST_POSTGRES
constexpr bool kPostgres = true;
#else
constexpr bool kPostgres = false;
#endif

DbOptions pgServer(const QString& database)
{
    return DbOptions::postgres(qEnvironmentVariable("KRT_PG_HOST"),
                               qEnvironmentVariableIntValue("KRT_PG_PORT"),
                               qEnvironmentVariable("KRT_PG_USER"), database);
}

// Runs one statement on the server's maintenance database.
void pgAdmin(const QString& sql)
{
    const QString name = QStringLiteral("krt-test-admin");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        const DbOptions o = pgServer(qEnvironmentVariable("KRT_PG_DB"));
        db.setHostName(o.host);
        db.setPort(o.port);
        db.setUserName(o.user);
        db.setDatabaseName(o.database);
        if (!db.open())
            throw std::runtime_error(db.lastError().text().toStdString());
        QSqlQuery q(db);
        if (!q.exec(sql))
            throw std::runtime_error(q.lastError().text().toStdString());
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

bool TestDatabase::isPostgres()
{
    return kPostgres;
}

bool TestDatabase::available(QString* why)
{
    if (!kPostgres)
        return true;
    for (const char* var : {"KRT_PG_HOST", "KRT_PG_PORT", "KRT_PG_USER", "KRT_PG_DB"})
        if (qEnvironmentVariableIsEmpty(var)) {
            if (why)
                *why = QStringLiteral("%1 não definida: PostgreSQL indisponível").arg(var);
            return false;
        }
    return true;
}

TestDatabase::TestDatabase()
{
    if (kPostgres) {
        pgName_ = QStringLiteral("krt_t_%1_%2")
                      .arg(QCoreApplication::applicationPid())
                      .arg(counter.fetchAndAddRelaxed(1));
        pgAdmin(QStringLiteral("CREATE DATABASE %1").arg(pgName_));
        options_ = pgServer(pgName_);
    } else {
        dir_ = std::make_unique<QTemporaryDir>();
        options_ = DbOptions::sqlite(dir_->filePath(QStringLiteral("test.db")));
    }
    db_ = std::make_unique<Database>(options_);
    Migrator(*db_).migrate();
}

TestDatabase::~TestDatabase()
{
    db_.reset();
    if (!pgName_.isEmpty()) {
        try {
            pgAdmin(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(pgName_));
        } catch (const std::exception&) {
        }
    }
}

QString TestDatabase::connectionText() const
{
    if (options_.kind == DbKind::SQLite)
        return QStringLiteral("sqlite:") + options_.path;
    return QStringLiteral("postgres://%1@%2:%3/%4")
        .arg(options_.user, options_.host)
        .arg(options_.port)
        .arg(options_.database);
}

DemoSummary TestDatabase::generate(const DemoConfig& config)
{
    return generateDemo(*db_, config);
}

qint64 TestDatabase::count(const QString& sql)
{
    Query q(db_->connection(), sql);
    q.exec();
    return q.next() ? q.integer(0) : -1;
}

void TestDatabase::exec(const QString& sql)
{
    execStatement(db_->connection(), sql);
}

QMap<QString, double> TestDatabase::balances()
{
    QMap<QString, double> out;
    Query q(db_->connection(),
            QStringLiteral("SELECT CDFILIAL, CDPRODUTO, QTSALDO FROM SALDOESTQ"));
    q.exec();
    while (q.next())
        out.insert(q.text(0) + QLatin1Char('/') + q.text(1), q.number(2));
    return out;
}

QMap<QString, QString> TestDatabase::saleLinks()
{
    QMap<QString, QString> out;
    Query q(
        db_->connection(),
        QStringLiteral("SELECT CDFILIAL, NRSEQVENDA, CDFILIALNF, NRLANCTONF, NRRETEST FROM VENDA"));
    q.exec();
    while (q.next()) {
        QString link;
        if (!q.isNull(3))
            link = QStringLiteral("nf:") + q.text(2) + q.text(3);
        else if (!q.isNull(4))
            link = QStringLiteral("ret:") + q.text(4);
        out.insert(q.text(0) + QLatin1Char('/') + q.text(1), link);
    }
    return out;
}

QStringList TestDatabase::invoiceKeys(const QString& where)
{
    QStringList out;
    Query q(db_->connection(),
            QStringLiteral("SELECT CDFILIALNF, NRLANCTONF FROM NOTAFISCAL") +
                (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where) +
                QStringLiteral(" ORDER BY CDFILIALNF, NRLANCTONF"));
    q.exec();
    while (q.next())
        out << q.text(0) + q.text(1);
    return out;
}

DemoConfig smallConfig()
{
    DemoConfig c;
    c.seed = 7;
    return c;
}
