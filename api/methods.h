#pragma once

// The methods of the remote object "Krt52600.rdmCancelaConsoli", each declared
// once: the client calls them through these declarations, the application
// server binds one implementation to each (a method without one, or one
// taking other kinds, does not compile), and docs/protocol.md's table is
// checked against them. See api/method.h for what a declaration holds.

#include "api/method.h"

namespace krt::api {

inline constexpr char kRemoteObjectName[] = "Krt52600.rdmCancelaConsoli";
inline QString remoteObjectName()
{
    return QString::fromLatin1(kRemoteObjectName);
}

// Arguments several methods share.
namespace args {

using Cash = kind::List<Selects::CashRegisters>;
using CashFlag = kind::Flag<Selects::CashRegisters>;
using Sales = kind::List<Selects::Sales>;
using SalesFlag = kind::Flag<Selects::Sales>;
using Postings = kind::List<Selects::Postings>;
using PostingsFlag = kind::Flag<Selects::Postings>;

inline constexpr Arg<kind::Text> branch{"filial", true};
inline constexpr Arg<kind::Text> store{"loja"};
inline constexpr Arg<Cash> cashList{"lista de caixas"};
inline constexpr Arg<CashFlag> cashFlag{"indicador de caixas"};
inline constexpr Arg<Sales> salesList{"lista de vendas"};
inline constexpr Arg<SalesFlag> salesFlag{"indicador de vendas"};
inline constexpr Arg<Postings> postingList{"lista de lançamentos"};
inline constexpr Arg<PostingsFlag> postingFlag{"indicador de lançamentos"};
inline constexpr Arg<kind::Date> startDate{"data inicial"};
inline constexpr Arg<kind::Date> endDate{"data final"};

} // namespace args

inline constexpr auto getInforPad =
    method("getInforPad", reads, packet(sets::cdsInforPad), args::branch);

inline constexpr auto getParamVend =
    method("getParamVend", reads, packet(sets::cdsParamVend), args::branch);

inline constexpr auto getParamFilial =
    method("getParamFilial", reads, packet(sets::cdsParamFilial), args::branch);

// The invoice list. The postings selection is always "" and "T" from the
// screen; the server honours it all the same.
inline constexpr auto getPrincipal =
    method("getPrincipal", streams, packet(sets::qryPrincipal), args::branch, args::store,
           args::cashList, args::cashFlag, args::postingList, args::postingFlag, args::startDate,
           args::endDate, args::salesFlag, args::salesList);

// The sales, products and stock postings of one invoice, in one snapshot.
inline constexpr auto getItLanctoEst =
    method("getItLanctoEst", reads,
           packets(sets::cdsItemVenda, sets::cdsItemProduto, sets::cdsItLanctoEst),
           Arg<kind::Text>{"filial da nota fiscal", true},
           Arg<kind::Text>{"número de lançamento da nota fiscal"});

// The withdrawals, twice: the list shown and the copy sent back to cancel.
inline constexpr auto getRetLanctoEstq =
    method("getRetLanctoEstq", reads, packets(sets::cdsRetLanctoEstq, sets::cdsLanctoEstoq),
           args::branch, args::cashList, args::cashFlag, args::salesList, args::salesFlag,
           args::startDate, args::endDate);

inline constexpr auto getRetItLanctoEst =
    method("getRetItLanctoEst", reads, packet(sets::cdsRetItLanctoEst),
           Arg<kind::Text>{"filial da retirada", true},
           Arg<kind::Text>{"número do lançamento de estoque"});

// The sales pick list: of invoices, or of withdrawals in withdrawal mode.
inline constexpr auto getVendas =
    method("getVendas", streams, packet(sets::cdsVenda), args::branch, args::cashList,
           args::cashFlag, args::startDate, args::endDate, Arg<kind::Boolean>{"modo de retirada"});

// The postings pick list. Here the sales flag goes before the sales list.
inline constexpr auto getLancamento =
    method("getLancamento", streams, packet(sets::cdsLancamento), args::branch, args::store,
           args::cashList, args::cashFlag, args::startDate, args::endDate, args::salesFlag,
           args::salesList);

// Whether the period lies in the branch's open accounting period.
inline constexpr auto getPeriodoCTBOK =
    method("getPeriodoCTBOK", reads, answer(), args::branch, args::startDate, args::endDate);

// Undoes withdrawals; true when at least one was reversed. Each withdrawal's
// branch is checked against the caller's, so no one branch is the call's.
inline constexpr auto getDeletaRetiEst =
    method("getDeletaRetiEst", writes, answer(),
           Arg<kind::Rows>{"retiradas", false, &sets::cdsLanctoEstoq});

// Undoes the consolidation of invoices; true when at least one was undone.
inline constexpr auto setDeletaNF =
    method("setDeletaNF", writes, answer(), args::branch,
           Arg<kind::Rows>{"notas fiscais", false, &sets::qryPrincipal});

// Every method, in the order of docs/protocol.md's table.
using AllMethods = MethodList<getInforPad, getParamVend, getParamFilial, getPrincipal,
                              getItLanctoEst, getRetLanctoEstq, getRetItLanctoEst, getVendas,
                              getLancamento, getPeriodoCTBOK, getDeletaRetiEst, setDeletaNF>;

} // namespace krt::api
