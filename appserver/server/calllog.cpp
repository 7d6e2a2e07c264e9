#include "appserver/server/calllog.h"

#include "appserver/server/logline.h"

#include <QDateTime>
#include <cstdio>

namespace krt::app {

CallLog::CallLog(const QString& path, FILE* console) : path_(path)
{
    if (path.isEmpty())
        open_ = file_.open(console, QIODevice::WriteOnly | QIODevice::Text);
    else {
        file_.setFileName(path);
        open_ = file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
    }
}

namespace {

// At most `n` UTF-16 units of `text`, never half a surrogate pair.
QString cut(const QString& text, qsizetype n)
{
    if (text.size() <= n)
        return text;
    if (n > 0 && text.at(n - 1).isHighSurrogate())
        --n;
    return text.left(n);
}

} // namespace

QByteArray CallLog::callLine(quint64 requestId, const QString& peer, const QString& user,
                             const QString& method, bool ok, qint64 rows, double ms,
                             const QString& error)
{
    LogLine line;
    line.number("#", qint64(requestId))
        .text(peer)
        .text(cut(user, 60))
        .text(cut(method, 200))
        .bytes(ok ? "ok" : "erro")
        .number("rows=", rows)
        .decimal("ms=", ms);
    if (!error.isEmpty())
        line.quoted(cut(error, 300));
    return line.line();
}

void CallLog::call(quint64 requestId, const QString& peer, const QString& user,
                   const QString& method, bool ok, qint64 rows, double ms, const QString& error)
{
    writeLine(callLine(requestId, peer, user, method, ok, rows, ms, error));
    if (observer_)
        observer_(method, ok, rows, ms);
}

void CallLog::note(const QString& text)
{
    // The server's own words (start, stop, migrations): no client text, but
    // a line break in a file name given to the server still stays one line.
    QByteArray line = text.toUtf8();
    line.replace('\n', "\\x0a").replace('\r', "\\x0d");
    writeLine(line);
}

bool CallLog::reopen()
{
    if (path_.isEmpty())
        return true;
    // The file as it is kept writing when the path cannot be opened now.
    QFile probe(path_);
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    probe.close();
    std::lock_guard lock(mutex_);
    file_.close();
    file_.setFileName(path_);
    open_ = file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
    return open_;
}

void CallLog::writeLine(const QByteArray& line)
{
    const QByteArray bytes =
        QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toLatin1() + ' ' + line + '\n';
    std::lock_guard lock(mutex_);
    if (!open_)
        return;
    file_.write(bytes);
    file_.flush();
}

} // namespace krt::app
