#pragma once

#include "api/methods.h"
#include "appserver/db/database.h"
#include "appserver/methods/caller.h"
#include "appserver/methods/refusalaudit.h"
#include "appserver/methods/request.h"
#include "framework/wire/variant.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>

namespace krt::app {

// The remote object "Krt52600.rdmCancelaConsoli": one implementation per
// method of api/methods.h, chosen by its Request type and taking the
// arguments decoded by the kinds the method declares, in its order (the
// dispatcher does not compile when one is missing or takes other kinds).
// Transport-free: the HTTP server (or a test) calls dispatch() or call().
// Every method runs on the calling thread's own database connection, so one
// instance serves any number of threads at once.
//
// Errors throw krt::Error (bad arguments, refusals, database failures), with a text that
// names the method; nothing is changed in the database when a method throws.
class RdmCancelaConsoli
{
public:
    explicit RdmCancelaConsoli(Database& db)
        : db_(db), refusals_(std::make_shared<RefusalAudit>(db))
    {
    }

    // Runs the method called `method` with `args` for `caller`. Only a
    // declared method runs, with the count and kinds it declares; then the
    // branch a method is asked about is checked against the caller's
    // branches (a refusal is audited and throws Error (AccessDenied)). With `sink`,
    // the list of a method declared to stream goes out while it is read.
    Variant dispatch(const QString& method, const QList<Variant>& args, const Caller& caller,
                     const StreamSink* sink = nullptr);

    // The same through a method's declaration, as a client would call it
    // (tools, benchmarks and tests); a direct caller may touch every branch.
    template <class R, class... K>
    Variant call(const Caller& caller, const api::Method<R, K...>& method,
                 const typename K::Value&... args)
    {
        return dispatch(QString::fromLatin1(method.name), method.arguments(args...), caller);
    }
    template <class R, class... K>
    Variant call(const api::Method<R, K...>& method, const typename K::Value&... args)
    {
        return call(Caller("direto"), method, args...);
    }

    Database& database() { return db_; }
    // Writes the audit's sums of repeated refusals still pending (at stop).
    void flushRefusalAudit() { refusals_->flush(); }
    // Told of each cancellation request once its audit row is committed, and
    // of each refusal as it goes to the audit (the server's metrics).
    void setAuditListener(std::function<void(const AuditEntry&)> listener)
    {
        auditListener_ = std::move(listener);
    }

    // The implementations, one per declared method.
    Variant serve(const Request<api::getInforPad>& request, const TextArg& filial);
    Variant serve(const Request<api::getParamVend>& request, const TextArg& filial);
    Variant serve(const Request<api::getParamFilial>& request, const TextArg& filial);
    Variant serve(const Request<api::getPrincipal>& request, const TextArg& filial,
                  const TextArg& loja, const CashList& caixas, const CashFlag& idCaixas,
                  const PostingList& lanctos, const PostingFlag& idLanctos, const DayArg& dtInicial,
                  const DayArg& dtFinal, const SalesFlag& idVendas, const SalesList& vendas);
    // The invoice's sales and stock postings of the branches the caller may
    // see only: a sale of another branch linked to this invoice stays out.
    Variant serve(const Request<api::getItLanctoEst>& request, const TextArg& filialNF,
                  const TextArg& nrLanctoNF);
    Variant serve(const Request<api::getRetLanctoEstq>& request, const TextArg& filial,
                  const CashList& caixas, const CashFlag& idCaixas, const SalesList& vendas,
                  const SalesFlag& idVendas, const DayArg& dtInicial, const DayArg& dtFinal);
    Variant serve(const Request<api::getRetItLanctoEst>& request, const TextArg& filial,
                  const TextArg& nrLancEstq);
    Variant serve(const Request<api::getVendas>& request, const TextArg& filial,
                  const CashList& caixas, const CashFlag& idCaixas, const DayArg& dtInicial,
                  const DayArg& dtFinal, const BoolArg& retirada);
    Variant serve(const Request<api::getLancamento>& request, const TextArg& filial,
                  const TextArg& loja, const CashList& caixas, const CashFlag& idCaixas,
                  const DayArg& dtInicial, const DayArg& dtFinal, const SalesFlag& idVendas,
                  const SalesList& vendas);
    Variant serve(const Request<api::getPeriodoCTBOK>& request, const TextArg& filial,
                  const DayArg& dtInicial, const DayArg& dtFinal);
    // The writing methods check every branch each document touches against
    // what the caller may touch, and name the caller in the audit trail.
    Variant serve(const Request<api::getDeletaRetiEst>& request, const PacketArg& lanctoEstoq);
    Variant serve(const Request<api::setDeletaNF>& request, const TextArg& filial,
                  const PacketArg& principal);

private:
    // Audits a refused request (its own row, or its caller's sum).
    void auditRefusal(AuditEntry entry, const QString& reason);
    // Audits an access refusal and throws Error (AccessDenied).
    [[noreturn]] void refuseAccess(const QString& method, const QString& branch,
                                   const Caller& caller, const QString& reason);

    Database& db_;
    std::shared_ptr<RefusalAudit> refusals_;
    std::function<void(const AuditEntry&)> auditListener_;
};

} // namespace krt::app
