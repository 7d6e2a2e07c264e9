#include "api/methodtable.h"

namespace krt::api {

namespace {

template <const auto&... M> QList<MethodDecl> declsOf(MethodList<M...>)
{
    return {M.decl()...};
}

bool kindMatches(ArgKind kind, const Variant& v)
{
    switch (kind) {
    case ArgKind::Text:
        return v.isText() || v.isEmpty();
    case ArgKind::Date:
        return v.isDateTime() || v.isEmpty();
    case ArgKind::Boolean:
        return v.isBool();
    case ArgKind::Packet:
        return v.isPacket();
    }
    return false;
}

QString selectionName(Selects selects)
{
    switch (selects) {
    case Selects::Nothing:
        break;
    case Selects::CashRegisters:
        return QStringLiteral("cash registers");
    case Selects::Sales:
        return QStringLiteral("sales");
    case Selects::Postings:
        return QStringLiteral("postings");
    }
    return {};
}

// "`filial` text, branch" and the like, for the docs.
QString describe(const ArgDecl& a)
{
    QString what;
    switch (a.kind) {
    case ArgKind::Text:
        what = a.selects == Selects::Nothing
                   ? QStringLiteral("text")
                   : QStringLiteral("%1 of %2")
                         .arg(a.isFlag ? QStringLiteral("flag") : QStringLiteral("key list"),
                              selectionName(a.selects));
        break;
    case ArgKind::Date:
        what = QStringLiteral("date");
        break;
    case ArgKind::Boolean:
        what = QStringLiteral("boolean");
        break;
    case ArgKind::Packet:
        what = QStringLiteral("packet of %1").arg(QString::fromLatin1(a.packet->name));
        break;
    }
    if (a.isBranch)
        what += QStringLiteral(", branch");
    return QStringLiteral("`%1` %2").arg(QString::fromUtf8(a.description), what);
}

QString describe(const ResultDecl& r)
{
    QStringList names;
    for (int i = 0; i < r.count; ++i)
        names << QString::fromLatin1(r.sets[size_t(i)]->name);
    switch (r.shape) {
    case ResultShape::Packet:
        return QStringLiteral("packet of %1").arg(names.value(0));
    case ResultShape::PacketArray:
        return QStringLiteral("array: %1").arg(names.join(QStringLiteral(", ")));
    case ResultShape::Boolean:
        break;
    }
    return QStringLiteral("boolean");
}

} // namespace

const QList<MethodDecl>& methods()
{
    static const QList<MethodDecl> table = declsOf(AllMethods{});
    return table;
}

const MethodDecl* findMethod(const QString& name)
{
    for (const MethodDecl& m : methods())
        if (name == QLatin1String(m.name))
            return &m;
    return nullptr;
}

QString argKindName(ArgKind kind)
{
    switch (kind) {
    case ArgKind::Text:
        return QStringLiteral("texto");
    case ArgKind::Date:
        return QStringLiteral("data");
    case ArgKind::Boolean:
        return QStringLiteral("lógico");
    case ArgKind::Packet:
        return QStringLiteral("pacote de dados");
    }
    return QString();
}

void checkArgumentCount(const MethodDecl& method, qsizetype count)
{
    // A request that does not fit the method at all: refused before it is read.
    if (count != qsizetype(method.args.size()))
        throw Error(ErrorCode::BadRequest,
                    QStringLiteral("%1: esperados %2 argumentos, recebidos %3.")
                        .arg(method.nameQ())
                        .arg(method.args.size())
                        .arg(count),
                    method.nameQ());
}

void checkArguments(const MethodDecl& method, const QList<Variant>& args)
{
    checkArgumentCount(method, args.size());
    for (qsizetype i = 0; i < args.size(); ++i) {
        const ArgDecl& arg = method.args[size_t(i)];
        if (!kindMatches(arg.kind, args[i]))
            throw Error(ErrorCode::InvalidArgument,
                        QStringLiteral("o argumento %1 (%2) deve ser %3, mas é %4.")
                            .arg(i + 1)
                            .arg(QString::fromUtf8(arg.description), argKindName(arg.kind),
                                 args[i].kindName()),
                        method.nameQ());
    }
}

void checkResult(const char* method, const ResultDecl& decl, const Variant& result)
{
    const QString name = QString::fromLatin1(method);
    switch (decl.shape) {
    case ResultShape::Packet:
        if (!result.isPacket())
            throw Error(ErrorCode::InvalidReply,
                        QStringLiteral("%1: resultado deveria ser um pacote de dados, mas é %2.")
                            .arg(name, result.kindName()),
                        name);
        return;
    case ResultShape::PacketArray:
        if (!result.isArray() || result.size() != decl.count)
            throw Error(ErrorCode::InvalidReply,
                        QStringLiteral("%1: resultado deveria ser um vetor de %2 pacotes de dados.")
                            .arg(name)
                            .arg(decl.count),
                        name);
        for (int i = 0; i < decl.count; ++i)
            if (!result.at(i).isPacket())
                throw Error(
                    ErrorCode::InvalidReply,
                    QStringLiteral("%1: o elemento %2 do resultado deveria ser um pacote de "
                                   "dados, mas é %3.")
                        .arg(name)
                        .arg(i)
                        .arg(result.at(i).kindName()),
                    name);
        return;
    case ResultShape::Boolean:
        if (!result.isBool())
            throw Error(ErrorCode::InvalidReply,
                        QStringLiteral("%1: resultado deveria ser lógico, mas é %2.")
                            .arg(name, result.kindName()),
                        name);
        return;
    }
}

void checkResult(const MethodDecl& method, const Variant& result)
{
    checkResult(method.name, method.result, result);
}

QString methodTableMarkdown()
{
    QString out = QStringLiteral("| Method | Arguments | Result | Notes |\n|---|---|---|---|\n");
    for (const MethodDecl& m : methods()) {
        QStringList args;
        for (const ArgDecl& a : m.args)
            args << describe(a);
        QStringList notes;
        if (m.writes)
            notes << QStringLiteral("writes");
        if (m.streams)
            notes << QStringLiteral("may stream");
        out += QStringLiteral("| %1 | %2 | %3 | %4 |\n")
                   .arg(m.nameQ(), args.join(QStringLiteral("; ")), describe(m.result),
                        notes.join(QStringLiteral(", ")));
    }
    return out;
}

} // namespace krt::api
