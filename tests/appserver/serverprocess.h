#pragma once

#include "logparser.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// krt-appserver started as its own process on a free port, with its log in a
// temporary file.
class ServerProcess
{
public:
    ~ServerProcess();

    // Starts the server on `database`; false (with the log in `error`) when it
    // does not report itself serving within a few seconds.
    bool start(const QString& database, const QStringList& extra = {});
    quint16 port() const { return port_; }
    qint64 pid() const { return process_.processId(); }
    // The process's peak resident memory so far (VmHWM), in kB; 0 when unknown.
    qint64 peakKb() const;
    QString log() const;
    // The file the server logs to.
    QString logPath() const { return dir_.filePath(QStringLiteral("server.log")); }
    // The log's call lines, read back into their fields.
    QList<LoggedCall> calls() const;
    // True when some call line satisfies `matches`.
    template <class Predicate> bool logged(Predicate matches) const
    {
        for (const LoggedCall& c : calls())
            if (matches(c))
                return true;
        return false;
    }
    // Sends `signal` and waits for the end; false when it does not end.
    bool stopWith(int signal);
    // Waits for the end of a process already told to stop.
    bool waitForExit(int ms) { return process_.waitForFinished(ms); }
    int exitCode() const { return process_.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return process_.exitStatus(); }
    QString error;

private:
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
};

// Makes a SQLite demo database in `file` with `krt-admin create-demo`, its
// sales ending on `lastDay` (AAAA-MM-DD); an empty text when it worked,
// otherwise what krt-admin said.
QString createDemoDatabase(const QString& file, const QString& lastDay);
