#pragma once

#include "framework/wire/packet.h"

#include <QList>

namespace krt::app::shapes {

// The fields of the client data sets that receive each answer: names, types
// and sizes exactly as the screen defines them, in the same order.
const QList<FieldDef>& principal();      // qryPrincipal
const QList<FieldDef>& itemVenda();      // cdsItemVenda (without the calculated IDNOTAFISCAL)
const QList<FieldDef>& itemProduto();    // cdsItemProduto
const QList<FieldDef>& itLanctoEst();    // cdsItLanctoEst
const QList<FieldDef>& retLanctoEstq();  // cdsRetLanctoEstq and cdsLanctoEstoq
const QList<FieldDef>& retItLanctoEst(); // cdsRetItLanctoEst
const QList<FieldDef>& paramFilial();    // cdsParamFilial
const QList<FieldDef>& paramVend();      // cdsParamVend
const QList<FieldDef>& inforPad();       // cdsInforPad
const QList<FieldDef>& venda();          // cdsVenda
const QList<FieldDef>& lancamento();     // cdsLancamento

} // namespace krt::app::shapes
