#pragma once

// The fields of each answer, by the client data set that receives it. They are
// written once, in the shared table (server/packetfields.h); these are names
// for its entries.

#include "server/packetfields.h"

namespace krt::app::shapes {

inline const QList<FieldDef>& of(const char* dataSet)
{
    return api::packetFields(QString::fromLatin1(dataSet));
}

inline const QList<FieldDef>& principal()
{
    return of("qryPrincipal");
}
// Without the calculated IDNOTAFISCAL, which never travels.
inline const QList<FieldDef>& itemVenda()
{
    return of("cdsItemVenda");
}
inline const QList<FieldDef>& itemProduto()
{
    return of("cdsItemProduto");
}
inline const QList<FieldDef>& itLanctoEst()
{
    return of("cdsItLanctoEst");
}
// cdsRetLanctoEstq and cdsLanctoEstoq carry the same fields.
inline const QList<FieldDef>& retLanctoEstq()
{
    return of("cdsRetLanctoEstq");
}
inline const QList<FieldDef>& retItLanctoEst()
{
    return of("cdsRetItLanctoEst");
}
inline const QList<FieldDef>& paramFilial()
{
    return of("cdsParamFilial");
}
inline const QList<FieldDef>& paramVend()
{
    return of("cdsParamVend");
}
inline const QList<FieldDef>& inforPad()
{
    return of("cdsInforPad");
}
inline const QList<FieldDef>& venda()
{
    return of("cdsVenda");
}
inline const QList<FieldDef>& lancamento()
{
    return of("cdsLancamento");
}

} // namespace krt::app::shapes
