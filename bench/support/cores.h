#pragma once

// The machine's cores split between PostgreSQL and everything else (this
// program, its client threads, the servers it started), as a chain runs its
// database on a machine of its own: then the database has the same core in
// the floor's run and in ours, and what the servers spend does not come out
// of it. Only for a database on this machine that this user may move (its
// own, or any as root); everything goes back to every core when done.

#include <QList>
#include <QString>
#include <sched.h>

namespace krt::bench {

class CoreSplit
{
public:
    // `backendPid`: a backend of the database's server (pg_backend_pid()).
    explicit CoreSplit(qint64 backendPid);
    ~CoreSplit();
    CoreSplit(const CoreSplit&) = delete;
    CoreSplit& operator=(const CoreSplit&) = delete;

    // Empty when the split can be made, else why not.
    const QString& impossible() const { return why_; }
    // PostgreSQL on the last core; this program and `ours` on the others.
    bool apart(const QList<qint64>& ours);
    // Everything back on the cores it had.
    void together();
    QString describe() const;

private:
    QString why_;
    qint64 postmaster_ = 0;
    cpu_set_t all_{};      // this program's cores when it started
    cpu_set_t database_{}; // the postmaster's, given back when done
    int databaseCore_ = -1;
    QList<qint64> ours_;
};

} // namespace krt::bench
