#include "appserver/methods/branchlock.h"

#include "appserver/db/sql.h"

#include <algorithm>

namespace krt::app {

void lockBranches(const QSqlDatabase& db, const Dialect& dialect, QStringList branches)
{
    const QString lock = dialect.rowLock();
    if (lock.isEmpty())
        return;
    std::sort(branches.begin(), branches.end());
    branches.erase(std::unique(branches.begin(), branches.end()), branches.end());
    Query q(db, QStringLiteral("SELECT CDFILIAL FROM FILIAL WHERE CDFILIAL = ?") + lock);
    for (const QString& b : branches) {
        q.bindText(b);
        q.exec();
        while (q.next()) {
        }
    }
}

} // namespace krt::app
