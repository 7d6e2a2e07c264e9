#pragma once

#include "appserver/db/database.h"
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
    // `requester` names who asked (client address, user) for the audit trail.
    Variant getDeletaRetiEst(const Variant& lanctoEstoq, const QString& requester);
    Variant setDeletaNF(const Variant& filial, const Variant& principal, const QString& requester);

    // Runs the method called `method` with `args` (count checked here, kinds in
    // each method). Unknown methods throw AppError.
    Variant dispatch(const QString& method, const QList<Variant>& args, const QString& requester);
    static QStringList methodNames();

    Database& database() { return db_; }

private:
    Database& db_;
};

} // namespace krt::app
