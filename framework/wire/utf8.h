#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <string_view>

namespace krt::wire {

// Number of code points in `text`, or -1 when it is not well-formed UTF-8
// (overlong forms, surrogates and values above U+10FFFF are rejected).
qsizetype utf8CodePoints(std::string_view text);

// Appends `text` to `out` as UTF-8 without an intermediate buffer (a lone
// surrogate becomes U+FFFD). Returns the number of code points written.
qsizetype appendUtf8(QByteArray& out, const QString& text);

} // namespace krt::wire
