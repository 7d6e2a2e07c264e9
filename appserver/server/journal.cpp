#include "appserver/server/journal.h"

#include <QByteArray>
#include <QList>
#include <sys/stat.h>
#include <unistd.h>

namespace krt::app {

bool stdoutIsJournal()
{
    const QList<QByteArray> parts = qgetenv("JOURNAL_STREAM").split(':');
    if (parts.size() != 2)
        return false;
    bool deviceOk = false;
    bool inodeOk = false;
    const qulonglong device = parts[0].toULongLong(&deviceOk);
    const qulonglong inode = parts[1].toULongLong(&inodeOk);
    struct stat st
    {
    };
    return deviceOk && inodeOk && fstat(STDOUT_FILENO, &st) == 0 && st.st_dev == device &&
           st.st_ino == inode;
}

} // namespace krt::app
