#include "server/methodtable.h"

namespace krt::api {

namespace {

constexpr ArgSignature text(const char* d)
{
    return {ArgKind::Text, d};
}
constexpr ArgSignature date(const char* d)
{
    return {ArgKind::Date, d};
}

QList<MethodSignature> buildMethods()
{
    const ArgSignature branch = text("filial");
    const ArgSignature store = text("loja");
    const ArgSignature cashList = text("lista de caixas");
    const ArgSignature cashFlag = text("indicador de caixas");
    const ArgSignature salesList = text("lista de vendas");
    const ArgSignature salesFlag = text("indicador de vendas");
    const ArgSignature startDate = date("data inicial");
    const ArgSignature endDate = date("data final");
    return {
        {"getInforPad", {branch}, ResultShape::Packet, 0, {"cdsInforPad"}},
        {"getParamVend", {branch}, ResultShape::Packet, 0, {"cdsParamVend"}},
        {"getParamFilial", {branch}, ResultShape::Packet, 0, {"cdsParamFilial"}},
        {"getPrincipal",
         {branch, store, cashList, cashFlag, text("texto vazio"), text("indicador \"T\""),
          startDate, endDate, salesFlag, salesList},
         ResultShape::Packet,
         0,
         {"qryPrincipal"}},
        {"getItLanctoEst",
         {text("filial da nota fiscal"), text("número de lançamento da nota fiscal")},
         ResultShape::PacketArray,
         3,
         {"cdsItemVenda", "cdsItemProduto", "cdsItLanctoEst"}},
        {"getRetLanctoEstq",
         {branch, cashList, cashFlag, salesList, salesFlag, startDate, endDate},
         ResultShape::PacketArray,
         2,
         {"cdsRetLanctoEstq", "cdsLanctoEstoq"}},
        {"getRetItLanctoEst",
         {text("filial da retirada"), text("número do lançamento de estoque")},
         ResultShape::Packet,
         0,
         {"cdsRetItLanctoEst"}},
        {"getVendas",
         {branch, cashList, cashFlag, startDate, endDate, {ArgKind::Boolean, "modo de retirada"}},
         ResultShape::Packet,
         0,
         {"cdsVenda"}},
        {"getLancamento",
         {branch, store, cashList, cashFlag, startDate, endDate, salesFlag, salesList},
         ResultShape::Packet,
         0,
         {"cdsLancamento"}},
        {"getPeriodoCTBOK", {branch, startDate, endDate}, ResultShape::Boolean, 0, {}},
        {"getDeletaRetiEst",
         {{ArgKind::Packet, "pacote de cdsLanctoEstoq"}},
         ResultShape::Boolean,
         0,
         {}},
        {"setDeletaNF",
         {branch, {ArgKind::Packet, "pacote de qryPrincipal"}},
         ResultShape::Boolean,
         0,
         {}},
    };
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

} // namespace

const QList<MethodSignature>& methods()
{
    static const QList<MethodSignature> table = buildMethods();
    return table;
}

const MethodSignature* findMethod(const QString& name, const QList<MethodSignature>& table)
{
    for (const MethodSignature& m : table)
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

void checkArgumentCount(const MethodSignature& method, qsizetype count)
{
    if (count != method.args.size())
        throw SignatureError(QString::fromLatin1(method.name),
                             QStringLiteral("esperados %1 argumentos, recebidos %2.")
                                 .arg(method.args.size())
                                 .arg(count));
}

void checkArguments(const MethodSignature& method, const QList<Variant>& args)
{
    const QString name = QString::fromLatin1(method.name);
    checkArgumentCount(method, args.size());
    for (qsizetype i = 0; i < args.size(); ++i) {
        const ArgSignature& signature = method.args[i];
        if (!kindMatches(signature.kind, args[i]))
            throw SignatureError(name, QStringLiteral("o argumento %1 (%2) deve ser %3, mas é %4.")
                                           .arg(i + 1)
                                           .arg(QString::fromUtf8(signature.description),
                                                argKindName(signature.kind), args[i].kindName()));
    }
}

void checkResult(const MethodSignature& method, const Variant& result)
{
    const QString name = QString::fromLatin1(method.name);
    switch (method.result) {
    case ResultShape::Packet:
        if (!result.isPacket())
            throw WireError(
                QStringLiteral("%1: resultado deveria ser um pacote de dados, mas é %2.")
                    .arg(name, result.kindName()));
        return;
    case ResultShape::PacketArray:
        if (!result.isArray() || result.size() != method.resultCount)
            throw WireError(
                QStringLiteral("%1: resultado deveria ser um vetor de %2 pacotes de dados.")
                    .arg(name)
                    .arg(method.resultCount));
        for (int i = 0; i < method.resultCount; ++i)
            if (!result.at(i).isPacket())
                throw WireError(
                    QStringLiteral("%1: o elemento %2 do resultado deveria ser um pacote de "
                                   "dados, mas é %3.")
                        .arg(name)
                        .arg(i)
                        .arg(result.at(i).kindName()));
        return;
    case ResultShape::Boolean:
        if (!result.isBool())
            throw WireError(QStringLiteral("%1: resultado deveria ser lógico, mas é %2.")
                                .arg(name, result.kindName()));
        return;
    case ResultShape::None:
        return;
    }
}

} // namespace krt::api
