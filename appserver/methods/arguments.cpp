#include "appserver/methods/arguments.h"

#include "appserver/db/errors.h"
#include "framework/wire/keylist.h"

namespace krt::app {

namespace {

QStringList parseList(const ArgReader& in, const Variant& list, int position)
{
    const QString text = in.text(list, position, "lista");
    // Counted while parsing: a huge list is refused at its key number
    // kMaxListKeys + 1, before the rest of it is built.
    try {
        return parseKeyList(text, kMaxListKeys);
    } catch (const KeyListTooLong&) {
        in.fail(QStringLiteral("a lista do argumento %1 tem mais de %2 itens; o máximo é %2.")
                    .arg(position)
                    .arg(kMaxListKeys));
    } catch (const WireError& e) {
        in.fail(QStringLiteral("a lista do argumento %1 está malformada (%2).")
                    .arg(position)
                    .arg(e.text()));
    }
}

QString flagOf(const ArgReader& in, const Variant& flag, int position, const QString& allCode)
{
    const QString code = in.text(flag, position, "indicador");
    if (code != allCode && code != QLatin1String("N"))
        in.fail(QStringLiteral("o indicador do argumento %1 deve ser \"%2\" ou \"N\" (recebido "
                               "\"%3\").")
                    .arg(position)
                    .arg(allCode, code.left(20)));
    return code;
}

// Keeps the rest of the keys that start with `branch`.
Selection ofBranch(const QString& branch, const QStringList& keys)
{
    Selection s;
    s.all = false;
    const QString prefix = branch.leftJustified(4, QLatin1Char(' '), true);
    for (const QString& key : keys)
        if (key.size() > 4 && key.startsWith(prefix))
            s.keys << key.mid(4);
    s.keys.removeDuplicates();
    return s;
}

} // namespace

void ArgReader::fail(const QString& text) const
{
    throw AppError(method_, text);
}

void ArgReader::refuse(const QString& text) const
{
    throw AppError(method_, text, ErrorCode::Refused);
}

QString ArgReader::text(const Variant& v, int position, const char* what) const
{
    if (v.isEmpty())
        return QString(QLatin1String(""));
    if (!v.isText())
        fail(QStringLiteral("o argumento %1 (%2) deve ser um texto, mas é %3.")
                 .arg(position)
                 .arg(QString::fromUtf8(what), v.kindName()));
    QString value = v.asString();
    // No argument is near this long (a list of the most keys takes a fraction
    // of it): refused before a statement or a copy is made of it.
    if (value.size() > kMaxTextArgChars)
        fail(QStringLiteral("o argumento %1 (%2) tem mais de %3 caracteres.")
                 .arg(position)
                 .arg(QString::fromUtf8(what))
                 .arg(kMaxTextArgChars));
    // No database column holds a NUL character, and PostgreSQL refuses the
    // whole statement over one: say so here, the same on every database.
    if (value.contains(QChar(0)))
        fail(QStringLiteral("o argumento %1 (%2) contém um caractere nulo.")
                 .arg(position)
                 .arg(QString::fromUtf8(what)));
    return value;
}

QDate ArgReader::day(const Variant& v, int position, const char* what) const
{
    if (v.isEmpty())
        fail(QStringLiteral("a %1 (argumento %2) não foi informada.")
                 .arg(QString::fromUtf8(what))
                 .arg(position));
    if (!v.isDateTime())
        fail(QStringLiteral("a %1 (argumento %2) deve ser uma data, mas é %3.")
                 .arg(QString::fromUtf8(what))
                 .arg(position)
                 .arg(v.kindName()));
    const QDate d = v.asDateTime().date();
    if (!d.isValid())
        fail(QStringLiteral("a %1 (argumento %2) não é uma data válida.")
                 .arg(QString::fromUtf8(what))
                 .arg(position));
    return d;
}

bool ArgReader::boolean(const Variant& v, int position, const char* what) const
{
    if (!v.isBool())
        fail(QStringLiteral("o argumento %1 (%2) deve ser lógico, mas é %3.")
                 .arg(position)
                 .arg(QString::fromUtf8(what), v.kindName()));
    return v.asBool();
}

Packet ArgReader::packet(const Variant& v, int position, const char* what) const
{
    if (!v.isPacket())
        fail(QStringLiteral("o argumento %1 (%2) deve ser um pacote de dados, mas é %3.")
                 .arg(position)
                 .arg(QString::fromUtf8(what), v.kindName()));
    return v.asPacket();
}

Selection cashSelection(const ArgReader& in, const QString& branch, const Variant& list,
                        int listPosition, const Variant& flag, int flagPosition)
{
    if (flagOf(in, flag, flagPosition, QStringLiteral("T")) == QLatin1String("T"))
        return {};
    return ofBranch(branch, parseList(in, list, listPosition));
}

Selection salesSelection(const ArgReader& in, const QString& branch, const Variant& list,
                         int listPosition, const Variant& flag, int flagPosition)
{
    if (flagOf(in, flag, flagPosition, QStringLiteral("S")) == QLatin1String("S"))
        return {};
    return ofBranch(branch, parseList(in, list, listPosition));
}

Selection postingSelection(const ArgReader& in, const Variant& list, int listPosition,
                           const Variant& flag, int flagPosition)
{
    if (flagOf(in, flag, flagPosition, QStringLiteral("T")) == QLatin1String("T"))
        return {};
    Selection s;
    s.all = false;
    s.keys = parseList(in, list, listPosition);
    s.keys.removeDuplicates();
    return s;
}

} // namespace krt::app
