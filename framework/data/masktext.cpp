#include "framework/data/masktext.h"

#include <QStringList>

namespace krt {

namespace {

bool isPlaceholder(QChar c)
{
    switch (c.unicode()) {
    case '0':
    case '9':
    case '#':
    case 'L':
    case 'l':
    case 'A':
    case 'a':
    case 'C':
    case 'c':
        return true;
    default:
        return false;
    }
}

} // namespace

QString formatMaskText(const QString& editMask, const QString& value)
{
    const QStringList parts = editMask.split(u';');
    const QString picture = parts.value(0);
    // Only a "0" in the second field says the literals are not stored with the
    // value (the same rule the masked edit follows); otherwise the value already
    // holds them and is shown as it is.
    if (picture.isEmpty() || parts.size() < 2 || parts.at(1) != u"0")
        return value;
    const QChar blank = parts.size() > 2 && !parts.at(2).isEmpty() ? parts.at(2).at(0) : u'_';

    enum Case
    {
        AsIs,
        Upper,
        Lower
    } letterCase = AsIs;
    QString out;
    qsizetype next = 0; // next character of the value
    for (qsizetype i = 0; i < picture.size(); ++i) {
        const QChar c = picture.at(i);
        if (c == u'>') {
            letterCase = Upper;
        } else if (c == u'<') {
            const bool reset = i + 1 < picture.size() && picture.at(i + 1) == u'>';
            letterCase = reset ? AsIs : Lower;
            if (reset)
                ++i;
        } else if (c == u'!') {
            // Blank-handling flag: no effect on display.
        } else if (c == u'\\') {
            if (i + 1 < picture.size())
                out += picture.at(++i);
        } else if (c == u'_') {
            out += u' ';
        } else if (isPlaceholder(c)) {
            if (next < value.size()) {
                const QChar v = value.at(next++);
                out += letterCase == Upper ? v.toUpper() : letterCase == Lower ? v.toLower() : v;
            } else {
                out += blank;
            }
        } else {
            out += c;
        }
    }
    // Characters beyond the picture are not dropped from view.
    out += value.mid(next);
    return out;
}

} // namespace krt
