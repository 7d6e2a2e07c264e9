#include "serverprocess.h"

#include "tests/support/procstatus.h"
#include "tests/support/servingline.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <csignal>

ServerProcess::~ServerProcess()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QString ServerProcess::log() const
{
    QFile f(dir_.filePath(QStringLiteral("server.log")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

QList<LoggedCall> ServerProcess::calls() const
{
    QList<LoggedCall> out;
    for (const QByteArray& line : logparser::callLines(log().toUtf8()))
        if (const auto call = logparser::parseLine(line))
            out << *call;
    return out;
}

qint64 ServerProcess::peakKb() const
{
    return qMax<qint64>(0, krt::procstatus::procKb(pid(), "VmHWM:"));
}

bool ServerProcess::start(const QString& database, const QStringList& extra)
{
    const QString program = qEnvironmentVariable("KRT_BIN_DIR") + QStringLiteral("/krt-appserver");
    QStringList args{QStringLiteral("--database"), database,
                     QStringLiteral("--port"),     QStringLiteral("0"),
                     QStringLiteral("--log"),      dir_.filePath(QStringLiteral("server.log"))};
    args << extra;
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(program, args);
    if (!process_.waitForStarted(5000)) {
        error = QStringLiteral("não iniciou: %1").arg(program);
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 30000) {
        port_ = servingPort(log());
        if (port_ != 0)
            return true;
        if (process_.state() == QProcess::NotRunning)
            break;
        QThread::msleep(20);
    }
    error = QStringLiteral("não ficou pronto; log: %1").arg(log());
    return false;
}

bool ServerProcess::stopWith(int signal)
{
    // A process that is not running has pid 0, and kill(0) signals the group.
    const pid_t pid = pid_t(process_.processId());
    if (pid <= 0)
        return false;
    ::kill(pid, signal);
    return process_.waitForFinished(30000);
}

QString createDemoDatabase(const QString& file, const QString& lastDay)
{
    QProcess admin;
    admin.start(qEnvironmentVariable("KRT_BIN_DIR") + QStringLiteral("/krt-admin"),
                {QStringLiteral("create-demo"), QStringLiteral("--database"),
                 QStringLiteral("sqlite:") + file, QStringLiteral("--to"), lastDay});
    if (!admin.waitForFinished(60000))
        return QStringLiteral("krt-admin create-demo não terminou");
    if (admin.exitStatus() != QProcess::NormalExit || admin.exitCode() != 0)
        return QString::fromUtf8(admin.readAllStandardError());
    return QString();
}
