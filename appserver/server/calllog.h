#pragma once

#include <QFile>
#include <QString>
#include <QTextStream>
#include <cstdio>
#include <functional>
#include <mutex>

namespace krt::app {

// One line per call, built from typed fields (logline.h), each escaped the
// same way (docs/appserver.md, "Log"):
//   2026-03-05T10:12:01.250 #42 127.0.0.1:51234 ana getPrincipal ok rows=1830 ms=41.7
//   2026-03-05T10:12:03.004 #43 127.0.0.1:51234 ana setDeletaNF erro rows=0 ms=2.3 "…"
// The user is "-" before login. Lines from concurrent calls never interleave,
// and nothing a client sent can break a line, shift a field or forge a line.
class CallLog
{
public:
    // An empty path writes to `console` (standard error or output).
    explicit CallLog(const QString& path = {}, FILE* console = stderr);

    // Told of every call line as it is written (the metrics count them).
    // Set before the server starts.
    using CallObserver =
        std::function<void(const QString& method, bool ok, qint64 rows, double ms)>;
    void setCallObserver(CallObserver observer) { observer_ = std::move(observer); }

    void call(quint64 requestId, const QString& peer, const QString& user, const QString& method,
              bool ok, qint64 rows, double ms, const QString& error = {});
    void note(const QString& text);
    // Opens the log file again (appending), for a rotation that moved it
    // away; false (the old file kept) when the path cannot be opened. The
    // console stays as it is.
    bool reopen();

    bool isOpen() const { return open_; }

    // The line of one call, without its time.
    static QByteArray callLine(quint64 requestId, const QString& peer, const QString& user,
                               const QString& method, bool ok, qint64 rows, double ms,
                               const QString& error = {});

private:
    void writeLine(const QByteArray& line);

    std::mutex mutex_;
    CallObserver observer_;
    QString path_;
    QFile file_;
    bool open_ = false;
};

} // namespace krt::app
