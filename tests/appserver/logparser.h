#pragma once

// Reads the server's call log back into its fields, following only what
// docs/appserver.md ("Log") says: fields separated by single blanks, "-" for
// an empty one, each field's bytes with "\xNN" for the byte NN and "\\" for
// a backslash, the error text last between double quotes.

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

struct LoggedCall
{
    QString time;
    quint64 requestId = 0;
    QString peer;
    QString user;
    QString method;
    bool ok = false;
    qint64 rows = 0;
    double ms = 0;
    QString error;
};

namespace logparser {

inline int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The field's text, or nothing when it holds what an escaped field cannot.
inline std::optional<QString> unescape(const QByteArray& field)
{
    if (field == "-")
        return QString();
    QByteArray bytes;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == ' ' || c == '"' || c == '%' || uchar(c) < 0x20 || c == 0x7f)
            return std::nullopt;
        if (c != '\\') {
            bytes += c;
        } else if (i + 1 < field.size() && field[i + 1] == '\\') {
            bytes += '\\';
            ++i;
        } else if (i + 3 < field.size() && field[i + 1] == 'x' && hexDigit(field[i + 2]) >= 0 &&
                   hexDigit(field[i + 3]) >= 0) {
            bytes += char(hexDigit(field[i + 2]) * 16 + hexDigit(field[i + 3]));
            i += 3;
        } else {
            return std::nullopt;
        }
    }
    return QString::fromUtf8(bytes);
}

inline std::optional<qint64> numberAfter(const QByteArray& field, const char* prefix)
{
    if (!field.startsWith(prefix))
        return std::nullopt;
    bool ok = false;
    const qint64 n = field.mid(qsizetype(qstrlen(prefix))).toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

// One line (without its line break) as the fields of a call; nothing when
// the line does not have the documented shape.
inline std::optional<LoggedCall> parseLine(const QByteArray& line)
{
    const QList<QByteArray> f = line.split(' ');
    if (f.size() != 8 && f.size() != 9)
        return std::nullopt;
    LoggedCall c;
    c.time = QString::fromLatin1(f[0]);
    const auto id = numberAfter(f[1], "#");
    const auto peer = unescape(f[2]);
    const auto user = unescape(f[3]);
    const auto method = unescape(f[4]);
    const auto rows = numberAfter(f[6], "rows=");
    if (!id || !peer || !user || !method || !rows || (f[5] != "ok" && f[5] != "erro") ||
        !f[7].startsWith("ms="))
        return std::nullopt;
    bool msOk = false;
    c.ms = f[7].mid(3).toDouble(&msOk);
    if (!msOk)
        return std::nullopt;
    c.requestId = quint64(*id);
    c.peer = *peer;
    c.user = *user;
    c.method = *method;
    c.ok = f[5] == "ok";
    c.rows = *rows;
    if (f.size() == 9) {
        if (f[8].size() < 2 || !f[8].startsWith('"') || !f[8].endsWith('"'))
            return std::nullopt;
        const auto error = unescape(f[8].mid(1, f[8].size() - 2));
        if (!error)
            return std::nullopt;
        c.error = *error;
    }
    return c;
}

// Lines of the log that carry a request number (the server's own notes,
// start and stop, carry none).
inline QList<QByteArray> callLines(const QByteArray& log)
{
    QList<QByteArray> lines;
    for (const QByteArray& line : log.split('\n')) {
        const qsizetype blank = line.indexOf(' ');
        if (blank > 0 && line.mid(blank + 1).startsWith('#'))
            lines << line;
    }
    return lines;
}

} // namespace logparser
