#pragma once

#include "appserver/db/dboptions.h"
#include "tests/support/procstatus.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace krt::bench {

using app::DbOptions;

// One line on standard output, at once.
void say(const QString& text);
double msSince(const QElapsedTimer& timer);
using procstatus::procKb;
using procstatus::resetPeak;
// Milliseconds of CPU the process has used so far, user and system
// (/proc/<pid>/stat), or -1.
double cpuMs(qint64 pid);
// Milliseconds of CPU the calling thread has used so far.
double threadCpuMs();
// Milliseconds of CPU the whole machine has been busy so far, every core and
// every process (/proc/stat), or -1.
double machineBusyMs();

// krt-appserver (next to the benchmark) as a child process on a free port;
// stopped with SIGTERM when destroyed.
class ServerProcess
{
public:
    ~ServerProcess();
    // `extra` goes on its command line after the database, port and log.
    bool start(const QString& database, const QString& logPath, const QStringList& extra = {});
    qint64 pid() const { return process_.processId(); }
    quint16 port() const { return port_; }

private:
    QProcess process_;
    quint16 port_ = 0;
};

// The text krt-appserver takes for `options` (--database).
QString databaseArgument(const DbOptions& options);

// The PostgreSQL server named by KRT_PG_HOST, KRT_PG_PORT, KRT_PG_USER and
// KRT_PG_DB (the test script's throw-away cluster), when they are set.
bool postgresAvailable();
// A new, empty database `name` on that server (dropped first if it exists).
DbOptions createPostgresDatabase(const QString& name);
void dropPostgresDatabase(const QString& name);
// The invoice list's statement as the server runs it for a branch, a store
// and a period (every cash register, every sale); ? or $n placeholders for
// branch, store, from, to.
QByteArray listStatement(bool dollarPlaceholders);

// libpq's connection string for `options`.
QByteArray libpqConnection(const DbOptions& options);

} // namespace krt::bench
