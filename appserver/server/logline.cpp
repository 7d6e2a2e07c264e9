#include "appserver/server/logline.h"

#include <QChar>

namespace krt::app {

namespace {

// The well-formed UTF-8 sequence starting at `at`: its length (0 when there
// is none: a stray byte, an overlong form, a surrogate, a value above
// U+10FFFF, a sequence cut short) and its code point.
int sequenceAt(QByteArrayView s, qsizetype at, char32_t& cp)
{
    const auto byte = [&](qsizetype i) { return uchar(s[i]); };
    const uchar lead = byte(at);
    int length;
    char32_t min;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, cp = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, cp = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, cp = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (at + length > s.size())
        return 0;
    for (int i = 1; i < length; ++i) {
        const uchar next = byte(at + i);
        if ((next & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

// Characters that are not shown as themselves: controls, format characters
// (bidirectional marks, overrides and isolates, zero-width characters, the
// byte-order mark), blanks of every kind and line or paragraph separators.
bool hidesItself(char32_t cp)
{
    switch (QChar::category(cp)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

void appendHex(QByteArray& out, uchar b)
{
    static const char digits[] = "0123456789abcdef";
    out += '\\';
    out += 'x';
    out += digits[b >> 4];
    out += digits[b & 0xF];
}

} // namespace

QByteArray escapeLogField(QByteArrayView utf8)
{
    if (utf8 == QByteArrayView("-"))
        return QByteArrayLiteral("\\x2d");
    QByteArray out;
    out.reserve(utf8.size() + 8);
    for (qsizetype at = 0; at < utf8.size();) {
        char32_t cp = 0;
        const int length = sequenceAt(utf8, at, cp);
        if (length == 0) {
            appendHex(out, uchar(utf8[at]));
            ++at;
            continue;
        }
        if (cp == '\\') {
            out += "\\\\";
        } else if (cp == '%' || cp == '"' || hidesItself(cp)) {
            for (int i = 0; i < length; ++i)
                appendHex(out, uchar(utf8[at + i]));
        } else {
            out.append(utf8.data() + at, length);
        }
        at += length;
    }
    return out;
}

void LogLine::separate()
{
    if (!line_.isEmpty())
        line_ += ' ';
}

LogLine& LogLine::text(const QString& value)
{
    return bytes(value.toUtf8());
}

LogLine& LogLine::bytes(QByteArrayView value)
{
    separate();
    line_ += value.isEmpty() ? QByteArrayLiteral("-") : escapeLogField(value);
    return *this;
}

LogLine& LogLine::tagged(const char* prefix, const QString& value)
{
    separate();
    line_ += prefix;
    line_ += escapeLogField(value.toUtf8());
    return *this;
}

LogLine& LogLine::number(const char* prefix, qint64 value)
{
    separate();
    line_ += prefix;
    line_ += QByteArray::number(value);
    return *this;
}

LogLine& LogLine::decimal(const char* prefix, double value)
{
    separate();
    line_ += prefix;
    line_ += QByteArray::number(value, 'f', 1);
    return *this;
}

LogLine& LogLine::quoted(const QString& value)
{
    separate();
    line_ += '"';
    line_ += escapeLogField(value.toUtf8());
    line_ += '"';
    return *this;
}

} // namespace krt::app
