#include "appserver/methods/arguments.h"

#include "framework/wire/keylist.h"

namespace krt::app {

namespace {

QStringList parseList(const QString& text, const ArgAt& at)
{
    // Counted while parsing: a huge list is refused at its key number
    // kMaxListKeys + 1, before the rest of it is built.
    try {
        return parseKeyList(text, kMaxListKeys);
    } catch (const Error& e) {
        if (e.code() == ErrorCode::TooLarge)
            at.fail(QStringLiteral("a lista do argumento %1 tem mais de %2 itens; o máximo é %2.")
                        .arg(at.position)
                        .arg(kMaxListKeys));
        at.fail(QStringLiteral("a lista do argumento %1 está malformada (%2).")
                    .arg(at.position)
                    .arg(e.text()));
    }
}

// True for the flag that selects everything; throws for anything but it and "N".
bool selectsAll(const QString& code, const ArgAt& at, const QString& allCode)
{
    if (code != allCode && code != QLatin1String("N"))
        at.fail(QStringLiteral("o indicador do argumento %1 deve ser \"%2\" ou \"N\" (recebido "
                               "\"%3\").")
                    .arg(at.position)
                    .arg(allCode, code.left(20)));
    return code == allCode;
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

Selection cashSelection(const QString& branch, const CashList& list, const CashFlag& flag)
{
    if (selectsAll(flag.value, flag.at, QStringLiteral("T")))
        return {};
    return ofBranch(branch, parseList(list.value, list.at));
}

Selection salesSelection(const QString& branch, const SalesList& list, const SalesFlag& flag)
{
    if (selectsAll(flag.value, flag.at, QStringLiteral("S")))
        return {};
    return ofBranch(branch, parseList(list.value, list.at));
}

Selection postingSelection(const PostingList& list, const PostingFlag& flag)
{
    if (selectsAll(flag.value, flag.at, QStringLiteral("T")))
        return {};
    Selection s;
    s.all = false;
    s.keys = parseList(list.value, list.at);
    s.keys.removeDuplicates();
    return s;
}

} // namespace krt::app
