#pragma once

#include "appserver/db/database.h"
#include "appserver/methods/caller.h"
#include "framework/wire/variant.h"

#include <QList>
#include <QString>

namespace krt::app {

// The remote object "Krt52600.rdmCancelaConsoli": one C++ method per remote
// method, same names and argument order, taking and returning wire values.
// Transport-free: the HTTP server (or a test) calls these directly. Every
// method runs on the calling thread's own database connection, so one
// instance serves any number of threads at once.
//
// Errors throw AppError (bad arguments, refusals) or DbError, with a text that
// names the method; nothing is changed in the database when a method throws.
class RdmCancelaConsoli
{
public:
    static constexpr const char* kObjectName = "Krt52600.rdmCancelaConsoli";

    explicit RdmCancelaConsoli(Database& db) : db_(db) {}

    Variant getInforPad(const Variant& filial);
    Variant getParamVend(const Variant& filial);
    Variant getParamFilial(const Variant& filial);
    Variant getPrincipal(const Variant& filial, const Variant& loja, const Variant& caixas,
                         const Variant& idCaixas, const Variant& lanctos, const Variant& idLanctos,
                         const Variant& dtInicial, const Variant& dtFinal, const Variant& idVendas,
                         const Variant& vendas);
    Variant getItLanctoEst(const Variant& filialNF, const Variant& nrLanctoNF);
    Variant getRetLanctoEstq(const Variant& filial, const Variant& caixas, const Variant& idCaixas,
                             const Variant& vendas, const Variant& idVendas,
                             const Variant& dtInicial, const Variant& dtFinal);
    Variant getRetItLanctoEst(const Variant& filial, const Variant& nrLancEstq);
    Variant getVendas(const Variant& filial, const Variant& caixas, const Variant& idCaixas,
                      const Variant& dtInicial, const Variant& dtFinal, const Variant& retirada);
    Variant getLancamento(const Variant& filial, const Variant& loja, const Variant& caixas,
                          const Variant& idCaixas, const Variant& dtInicial, const Variant& dtFinal,
                          const Variant& idVendas, const Variant& vendas);
    Variant getPeriodoCTBOK(const Variant& filial, const Variant& dtInicial,
                            const Variant& dtFinal);
    // The writing methods check every branch each document touches against
    // what `caller` may touch, and name the caller in the audit trail.
    Variant getDeletaRetiEst(const Variant& lanctoEstoq, const Caller& caller);
    Variant setDeletaNF(const Variant& filial, const Variant& principal, const Caller& caller);

    // Runs the method called `method` with `args` for `caller`: the count is
    // checked here, the kinds in each method, and the branch a reading method
    // is asked about against the caller's branches (a refusal is audited and
    // throws AccessDenied). Unknown methods throw AppError.
    Variant dispatch(const QString& method, const QList<Variant>& args, const Caller& caller);
    static QStringList methodNames();
    // Arguments `method` takes, or -1 when there is no such method.
    static int arity(const QString& method);

    Database& database() { return db_; }

private:
    Database& db_;
};

} // namespace krt::app
