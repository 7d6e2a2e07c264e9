#pragma once

#include "appserver/db/database.h"
#include "appserver/methods/caller.h"
#include "appserver/methods/refusalaudit.h"
#include "framework/wire/variant.h"
#include "server/methodtable.h"

#include <QList>
#include <QString>
#include <memory>

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
    // `table` is the shared method table the calls are checked against (a
    // test may pass a smaller one).
    explicit RdmCancelaConsoli(Database& db,
                               const QList<api::MethodSignature>& table = api::methods())
        : db_(db), table_(table), refusals_(std::make_shared<RefusalAudit>(db))
    {
    }

    Variant getInforPad(const Variant& filial);
    Variant getParamVend(const Variant& filial);
    Variant getParamFilial(const Variant& filial);
    Variant getPrincipal(const Variant& filial, const Variant& loja, const Variant& caixas,
                         const Variant& idCaixas, const Variant& lanctos, const Variant& idLanctos,
                         const Variant& dtInicial, const Variant& dtFinal, const Variant& idVendas,
                         const Variant& vendas);
    // The invoice's sales and stock postings of the branches `caller` may see
    // only: a sale of another branch linked to this invoice stays out.
    Variant getItLanctoEst(const Variant& filialNF, const Variant& nrLanctoNF,
                           const Caller& caller);
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

    // Runs the method called `method` with `args` for `caller`. Only a method
    // of the shared table runs, with the count and kinds the table gives;
    // then the branch a reading method is asked about is checked against the
    // caller's branches (a refusal is audited and throws AccessDenied). A
    // method missing from the table throws AppError, even one implemented here.
    Variant dispatch(const QString& method, const QList<Variant>& args, const Caller& caller);
    // The methods implemented here, in the shared table's order.
    static QStringList methodNames();

    Database& database() { return db_; }
    // Writes the audit's sums of repeated refusals still pending (at stop).
    void flushRefusalAudit() { refusals_->flush(); }

private:
    // Audits a refused request (its own row, or its caller's sum).
    void auditRefusal(AuditEntry entry, const QString& reason);
    // Audits an access refusal and throws AccessDenied.
    [[noreturn]] void refuseAccess(const QString& method, const QString& branch,
                                   const Caller& caller, const QString& reason);

    Database& db_;
    const QList<api::MethodSignature>& table_;
    std::shared_ptr<RefusalAudit> refusals_;
};

} // namespace krt::app
