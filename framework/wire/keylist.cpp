#include "framework/wire/keylist.h"

#include "framework/wire/errors.h"

#include <algorithm>

namespace krt {

QString formatKeyList(const QStringList& keys)
{
    QString out;
    for (const QString& key : keys) {
        if (!out.isEmpty())
            out += u',';
        out += u'\'';
        for (const QChar ch : key) {
            if (ch == u'\'')
                out += u'\'';
            out += ch;
        }
        out += u'\'';
    }
    return out;
}

namespace {

[[noreturn]] void malformed(const QString& text, qsizetype pos, const QString& what)
{
    // Quote the list around the fault only: a list can be megabytes long and
    // the message travels back to the client and into the log.
    constexpr qsizetype kContext = 40;
    const qsizetype from = std::max<qsizetype>(0, pos - kContext);
    const qsizetype to = std::min<qsizetype>(text.size(), pos + kContext);
    const QString excerpt = (from > 0 ? QStringLiteral("…") : QString()) +
                            text.mid(from, to - from) +
                            (to < text.size() ? QStringLiteral("…") : QString());
    throw Error(ErrorCode::Malformed,
                QStringLiteral("Lista de chaves inválida (%1 na posição %2): %3")
                    .arg(what)
                    .arg(pos + 1)
                    .arg(excerpt));
}

} // namespace

QStringList parseKeyList(const QString& text)
{
    return parseKeyList(text, std::numeric_limits<qsizetype>::max());
}

QStringList parseKeyList(const QString& text, qsizetype maxKeys)
{
    QStringList keys;
    const qsizetype n = text.size();
    qsizetype i = 0;
    if (n == 0)
        return keys;
    while (true) {
        if (i >= n)
            malformed(text, i, QStringLiteral("falta um item depois da vírgula"));
        if (text[i] != u'\'')
            malformed(text, i, QStringLiteral("esperado apóstrofo de abertura"));
        if (keys.size() == maxKeys)
            throw Error(ErrorCode::TooLarge,
                        QStringLiteral("Lista de chaves com mais de %1 itens.").arg(maxKeys));
        ++i;
        QString key;
        bool closed = false;
        while (i < n) {
            if (text[i] == u'\'') {
                if (i + 1 < n && text[i + 1] == u'\'') {
                    key += u'\'';
                    i += 2;
                    continue;
                }
                ++i;
                closed = true;
                break;
            }
            key += text[i++];
        }
        if (!closed)
            malformed(text, n - 1, QStringLiteral("apóstrofo não fechado"));
        keys.append(key);
        if (i == n)
            return keys;
        if (text[i] != u',')
            malformed(text, i, QStringLiteral("esperada vírgula entre os itens"));
        ++i;
    }
}

} // namespace krt
