#include "bench/support/cores.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cerrno>

namespace krt::bench {

namespace {

// The parent of `pid` (/proc/<pid>/stat, field 4), or 0.
qint64 parentOf(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() : 0;
}

// `pid` and its children (PostgreSQL's backends, a server's none).
QList<qint64> withChildren(qint64 pid)
{
    QList<qint64> out{pid};
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& e : entries) {
        bool number = false;
        const qint64 child = e.toLongLong(&number);
        if (number && parentOf(child) == pid)
            out << child;
    }
    return out;
}

// Every thread of every process in `pids` on `cores`; false if one refused.
bool place(const QList<qint64>& pids, const cpu_set_t& cores)
{
    bool ok = true;
    for (const qint64 pid : pids) {
        const QStringList tasks = QDir(QStringLiteral("/proc/%1/task").arg(pid))
                                      .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString& t : tasks)
            if (::sched_setaffinity(pid_t(t.toLongLong()), sizeof cores, &cores) != 0 &&
                errno != ESRCH) // a thread that just ended
                ok = false;
    }
    return ok;
}

} // namespace

CoreSplit::CoreSplit(qint64 backendPid)
{
    if (::sched_getaffinity(0, sizeof all_, &all_) != 0 || CPU_COUNT(&all_) < 2) {
        why_ = QStringLiteral("menos de dois núcleos");
        return;
    }
    for (int c = CPU_SETSIZE - 1; c >= 0; --c)
        if (CPU_ISSET(c, &all_)) {
            databaseCore_ = c;
            break;
        }
    QFile comm(QStringLiteral("/proc/%1/comm").arg(backendPid));
    if (!comm.open(QIODevice::ReadOnly) || !comm.readAll().startsWith("postgres")) {
        why_ = QStringLiteral("o PostgreSQL não roda nesta máquina");
        return;
    }
    postmaster_ = parentOf(backendPid);
    if (postmaster_ <= 1 ||
        ::sched_getaffinity(pid_t(postmaster_), sizeof database_, &database_) != 0) {
        postmaster_ = 0;
        why_ = QStringLiteral("o processo principal do PostgreSQL não foi encontrado");
    }
}

CoreSplit::~CoreSplit()
{
    together();
}

bool CoreSplit::apart(const QList<qint64>& ours)
{
    if (!why_.isEmpty())
        return false;
    cpu_set_t database, rest = all_;
    CPU_ZERO(&database);
    CPU_SET(databaseCore_, &database);
    CPU_CLR(databaseCore_, &rest);
    ours_ = ours;
    // The postmaster first: the backends it starts from now on follow it.
    if (!place(withChildren(postmaster_), database) ||
        !place(QList<qint64>{QCoreApplication::applicationPid()} + ours_, rest)) {
        why_ = QStringLiteral("sem permissão para mover os processos do PostgreSQL");
        together();
        return false;
    }
    return true;
}

void CoreSplit::together()
{
    if (postmaster_ <= 1)
        return;
    place(withChildren(postmaster_), database_);
    place(QList<qint64>{QCoreApplication::applicationPid()} + ours_, all_);
}

QString CoreSplit::describe() const
{
    return QStringLiteral("PostgreSQL no núcleo %1; clientes e servidores nos outros %2")
        .arg(databaseCore_)
        .arg(CPU_COUNT(&all_) - 1);
}

} // namespace krt::bench
