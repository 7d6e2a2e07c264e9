#include "appserver/server/calllog.h"

#include <QDateTime>
#include <QMutexLocker>
#include <cstdio>

namespace krt::app {

CallLog::CallLog(const QString& path)
{
    if (path.isEmpty())
        open_ = file_.open(stderr, QIODevice::WriteOnly | QIODevice::Text);
    else {
        file_.setFileName(path);
        open_ = file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
    }
}

void CallLog::call(quint64 requestId, const QString& peer, const QString& method, bool ok,
                   qint64 rows, double ms, const QString& error)
{
    QString line = QStringLiteral("#%1 %2 %3 %4 rows=%5 ms=%6")
                       .arg(requestId)
                       .arg(peer, method, ok ? QStringLiteral("ok") : QStringLiteral("erro"))
                       .arg(rows)
                       .arg(ms, 0, 'f', 1);
    if (!error.isEmpty()) {
        QString oneLine = error;
        oneLine.replace(QLatin1Char('\n'), QLatin1Char(' '));
        line += QStringLiteral(" \"%1\"").arg(oneLine.left(300));
    }
    writeLine(line);
}

void CallLog::note(const QString& text)
{
    writeLine(text);
}

void CallLog::writeLine(const QString& line)
{
    const QByteArray bytes = (QDateTime::currentDateTime().toString(Qt::ISODateWithMs) +
                              QLatin1Char(' ') + line + QLatin1Char('\n'))
                                 .toUtf8();
    QMutexLocker lock(&mutex_);
    if (!open_)
        return;
    file_.write(bytes);
    file_.flush();
}

} // namespace krt::app
