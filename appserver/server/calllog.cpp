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

QString CallLog::escape(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c == u'\\' || c == u'"') {
            out += u'\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
            out += QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0'));
        } else if (c == 0x2028 || c == 0x2029 || c == 0xFEFF) {
            out += QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
        } else {
            out += ch;
        }
    }
    return out;
}

void CallLog::call(quint64 requestId, const QString& peer, const QString& user,
                   const QString& method, bool ok, qint64 rows, double ms, const QString& error)
{
    QString line =
        QStringLiteral("#%1 %2 %3 %4 %5 rows=%6 ms=%7")
            .arg(requestId)
            .arg(escape(peer), user.isEmpty() ? QStringLiteral("-") : escape(user.left(60)),
                 method.isEmpty() ? QStringLiteral("-") : escape(method.left(200)),
                 ok ? QStringLiteral("ok") : QStringLiteral("erro"))
            .arg(rows)
            .arg(ms, 0, 'f', 1);
    if (!error.isEmpty())
        line += QStringLiteral(" \"%1\"").arg(escape(error.left(300)));
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
