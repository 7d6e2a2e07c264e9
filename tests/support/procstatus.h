#pragma once

// A process's memory as Linux reports it (/proc/<pid>/status), for the tests
// and benchmarks that measure resident and peak sizes.

#include <QByteArray>
#include <QFile>
#include <QString>

namespace krt::procstatus {

// Kilobytes of a status line ("VmRSS", "VmHWM"), or -1.
inline qint64 procKb(qint64 pid, const char* key)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(line.indexOf(':') + 1).trimmed().split(' ').first().toLongLong();
    return -1;
}

// Starts the process's peak (VmHWM) again from its present size; false when
// the process's clear_refs cannot be written.
inline bool resetPeak(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/clear_refs").arg(pid));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

} // namespace krt::procstatus
