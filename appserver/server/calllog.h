#pragma once

#include <QFile>
#include <QMutex>
#include <QString>
#include <QTextStream>

namespace krt::app {

// One line per call: when, request id, caller's address, user, method,
// outcome, rows, time.
//   2026-03-05T10:12:01.250 #42 127.0.0.1:51234 ana getPrincipal ok rows=1830 ms=41.7
//   2026-03-05T10:12:03.004 #43 127.0.0.1:51234 ana setDeletaNF erro rows=0 ms=2.3 "…"
// The user is "-" before login. Lines from concurrent calls never interleave,
// and nothing a client sent can break a line or forge one: every control
// character, backslash and quote is escaped.
class CallLog
{
public:
    // An empty path writes to standard error.
    explicit CallLog(const QString& path = {});

    void call(quint64 requestId, const QString& peer, const QString& user, const QString& method,
              bool ok, qint64 rows, double ms, const QString& error = {});
    void note(const QString& text);

    bool isOpen() const { return open_; }

    // `text` with every control character (C0, DEL, C1, line and paragraph
    // separators) written as \xNN or \uNNNN, and backslashes and double
    // quotes escaped: one line whatever it holds.
    static QString escape(const QString& text);

private:
    void writeLine(const QString& line);

    QMutex mutex_;
    QFile file_;
    bool open_ = false;
};

} // namespace krt::app
