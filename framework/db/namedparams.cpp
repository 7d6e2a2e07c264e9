#include "framework/db/namedparams.h"

namespace krt {

namespace {

bool isNameStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

} // namespace

PositionalStatement toPositional(const QString& statement)
{
    PositionalStatement out;
    const QString& s = statement;
    const qsizetype n = s.size();
    out.text.reserve(n);
    qsizetype i = 0;
    while (i < n) {
        const QChar c = s.at(i);
        if (c == u'\'' || c == u'"') {
            // Quoted text or identifier; a doubled quote stays inside.
            qsizetype j = i + 1;
            while (j < n) {
                if (s.at(j) == c) {
                    if (j + 1 < n && s.at(j + 1) == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            const qsizetype end = qMin(j + 1, n);
            out.text += s.mid(i, end - i);
            i = end;
        } else if (c == u'-' && i + 1 < n && s.at(i + 1) == u'-') {
            qsizetype j = s.indexOf(u'\n', i);
            if (j < 0)
                j = n;
            out.text += s.mid(i, j - i);
            i = j;
        } else if (c == u'/' && i + 1 < n && s.at(i + 1) == u'*') {
            qsizetype j = s.indexOf(QStringLiteral("*/"), i + 2);
            j = j < 0 ? n : j + 2;
            out.text += s.mid(i, j - i);
            i = j;
        } else if (c == u':' && i + 1 < n && s.at(i + 1) == u':') {
            out.text += QStringLiteral("::");
            i += 2;
        } else if (c == u':' && i + 1 < n && isNameStart(s.at(i + 1))) {
            qsizetype j = i + 1;
            while (j < n && isNameChar(s.at(j)))
                ++j;
            out.parameterNames << s.mid(i + 1, j - i - 1);
            out.text += u'?';
            i = j;
        } else {
            out.text += c;
            ++i;
        }
    }
    return out;
}

} // namespace krt
