#pragma once

// The port krt-appserver reports on its start line, as docs/appserver.md
// documents it ("krt-appserver servindo OBJECT em ADDRESS:PORT (...)"): the
// way tests and benchmarks find a server started with --port 0.

#include <QRegularExpression>
#include <QString>

// The port of the first start line in `log`, or 0 while there is none.
inline quint16 servingPort(const QString& log)
{
    static const QRegularExpression line(
        QStringLiteral("krt-appserver servindo \\S+ em [0-9.]+:(\\d+)"));
    const QRegularExpressionMatch m = line.match(log);
    return m.hasMatch() ? quint16(m.captured(1).toUInt()) : quint16(0);
}
