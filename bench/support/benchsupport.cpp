#include "bench/support/benchsupport.h"

#include "tests/support/servingline.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <libpq-fe.h>
#include <stdexcept>
#include <unistd.h>

namespace krt::bench {

void say(const QString& text)
{
    std::printf("%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

double msSince(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

double cpuMs(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    // The command name (field 2) may hold blanks: count from its closing
    // parenthesis; utime and stime are fields 14 and 15.
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = fields[11].toDouble() + fields[12].toDouble();
    return ticks * 1000.0 / double(::sysconf(_SC_CLK_TCK));
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

double machineBusyMs()
{
    QFile f(QStringLiteral("/proc/stat"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    // "cpu  user nice system idle iowait irq softirq steal …": all but idle
    // and iowait.
    const QList<QByteArray> fields = f.readLine().simplified().split(' ');
    if (fields.size() < 9 || fields[0] != "cpu")
        return -1;
    double ticks = 0;
    for (const int k : {1, 2, 3, 6, 7, 8})
        ticks += fields[k].toDouble();
    return ticks * 1000.0 / double(::sysconf(_SC_CLK_TCK));
}

ServerProcess::~ServerProcess()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(process_.processId()), SIGTERM);
    process_.waitForFinished(30000);
}

bool ServerProcess::start(const QString& database, const QString& logPath, const QStringList& extra)
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QCoreApplication::applicationDirPath() + QStringLiteral("/krt-appserver"),
                   QStringList{"--database", database, "--port", "0", "--log", logPath} + extra);
    if (!process_.waitForStarted(5000))
        return false;
    for (int i = 0; i < 1500 && process_.state() == QProcess::Running; ++i) {
        QFile f(logPath);
        if (f.open(QIODevice::ReadOnly)) {
            port_ = servingPort(QString::fromUtf8(f.readAll()));
            if (port_ != 0)
                return true;
        }
        QThread::msleep(20);
    }
    return false;
}

QString databaseArgument(const DbOptions& options)
{
    return options.describe();
}

bool postgresAvailable()
{
    return !qEnvironmentVariable("KRT_PG_HOST").isEmpty() &&
           !qEnvironmentVariable("KRT_PG_PORT").isEmpty();
}

namespace {

DbOptions server(const QString& database)
{
    return DbOptions::postgres(qEnvironmentVariable("KRT_PG_HOST"),
                               qEnvironmentVariableIntValue("KRT_PG_PORT"),
                               qEnvironmentVariable("KRT_PG_USER"), database);
}

void admin(const QByteArray& sql)
{
    const QString maintenance = qEnvironmentVariable("KRT_PG_DB", QStringLiteral("postgres"));
    PGconn* conn = PQconnectdb(libpqConnection(server(maintenance)).constData());
    const bool ok = PQstatus(conn) == CONNECTION_OK;
    QString error = QString::fromUtf8(PQerrorMessage(conn));
    if (ok) {
        PGresult* r = PQexec(conn, sql.constData());
        if (PQresultStatus(r) != PGRES_COMMAND_OK)
            error = QString::fromUtf8(PQresultErrorMessage(r));
        else
            error.clear();
        PQclear(r);
    }
    PQfinish(conn);
    if (!error.isEmpty())
        throw std::runtime_error(error.toStdString());
}

} // namespace

DbOptions createPostgresDatabase(const QString& name)
{
    dropPostgresDatabase(name);
    admin("CREATE DATABASE " + name.toLatin1());
    return server(name);
}

void dropPostgresDatabase(const QString& name)
{
    admin("DROP DATABASE IF EXISTS " + name.toLatin1() + " WITH (FORCE)");
}

QByteArray listStatement(bool dollarPlaceholders)
{
    QByteArray sql = "SELECT NF.CDFILIAL, NF.CDCLIENTE, NF.CDFILIALNF, NF.NRLANCTONF, "
                     "C.NMRAZSOCCLIE, NF.DTEMISSAO, NF.NRNOTAFISC, NF.IDSTATUS, NF.DTENTRSAID"
                     " FROM NOTAFISCAL NF LEFT JOIN CLIENTE C ON C.CDCLIENTE = NF.CDCLIENTE"
                     " WHERE NF.CDFILIAL = ? AND NF.CDLOJA = ? AND NF.DTENTRSAID >= ? AND "
                     "NF.DTENTRSAID <= ? AND NF.IDORIGEM = 'C'"
                     " ORDER BY NF.DTENTRSAID, NF.NRLANCTONF";
    if (dollarPlaceholders)
        for (int n = 1; sql.contains('?'); ++n)
            sql.replace(sql.indexOf('?'), 1, "$" + QByteArray::number(n));
    return sql;
}

QByteArray libpqConnection(const DbOptions& options)
{
    return QStringLiteral("host=%1 port=%2 user=%3 dbname=%4")
        .arg(options.host)
        .arg(options.port)
        .arg(options.user, options.database)
        .toUtf8();
}

} // namespace krt::bench
