// Calls by method name, as they arrive from the wire.
#include "appserver/db/errors.h"
#include "appserver/db/sql.h"
#include "appserver/methods/audit.h"
#include "appserver/methods/rdmcancelaconsoli.h"
#include "server/methodtable.h"

#include <functional>

namespace krt::app {

namespace {

using Args = QList<Variant>;
using Handler = std::function<Variant(RdmCancelaConsoli&, const Args&, const Caller&)>;

// How each method of the shared table runs here; its arguments' count and
// kinds are the table's.
struct Entry
{
    const char* name;
    Handler run;
};

const QList<Entry>& table()
{
    using R = RdmCancelaConsoli;
    static const QList<Entry> entries{
        {"getInforPad", [](R& o, const Args& a, const Caller&) { return o.getInforPad(a[0]); }},
        {"getParamVend", [](R& o, const Args& a, const Caller&) { return o.getParamVend(a[0]); }},
        {"getParamFilial",
         [](R& o, const Args& a, const Caller&) { return o.getParamFilial(a[0]); }},
        {"getPrincipal",
         [](R& o, const Args& a, const Caller&) {
             return o.getPrincipal(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9]);
         }},
        {"getItLanctoEst",
         [](R& o, const Args& a, const Caller& who) { return o.getItLanctoEst(a[0], a[1], who); }},
        {"getRetLanctoEstq",
         [](R& o, const Args& a, const Caller&) {
             return o.getRetLanctoEstq(a[0], a[1], a[2], a[3], a[4], a[5], a[6]);
         }},
        {"getRetItLanctoEst",
         [](R& o, const Args& a, const Caller&) { return o.getRetItLanctoEst(a[0], a[1]); }},
        {"getVendas",
         [](R& o, const Args& a, const Caller&) {
             return o.getVendas(a[0], a[1], a[2], a[3], a[4], a[5]);
         }},
        {"getLancamento",
         [](R& o, const Args& a, const Caller&) {
             return o.getLancamento(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
         }},
        {"getPeriodoCTBOK",
         [](R& o, const Args& a, const Caller&) { return o.getPeriodoCTBOK(a[0], a[1], a[2]); }},
        {"getDeletaRetiEst",
         [](R& o, const Args& a, const Caller& who) { return o.getDeletaRetiEst(a[0], who); }},
        {"setDeletaNF",
         [](R& o, const Args& a, const Caller& who) { return o.setDeletaNF(a[0], a[1], who); }},
    };
    return entries;
}

} // namespace

void RdmCancelaConsoli::auditRefusal(AuditEntry entry, const QString& reason)
{
    entry.result = QStringLiteral("RECUSADO");
    entry.reason = reason;
    entry.cancelled.clear();
    refusals_->record(entry);
}

void RdmCancelaConsoli::refuseAccess(const QString& method, const QString& branch,
                                     const Caller& caller, const QString& reason)
{
    AuditEntry entry;
    entry.operation = method;
    entry.branch = branch;
    entry.requester = caller.requester;
    entry.user = caller.user;
    auditRefusal(entry, reason);
    throw AccessDenied(method, reason);
}

QStringList RdmCancelaConsoli::methodNames()
{
    QStringList names;
    for (const Entry& e : table())
        names << QString::fromLatin1(e.name);
    return names;
}

Variant RdmCancelaConsoli::dispatch(const QString& method, const QList<Variant>& args,
                                    const Caller& caller)
{
    const api::MethodSignature* signature = api::findMethod(method, table_);
    const Entry* entry = nullptr;
    for (const Entry& e : table())
        if (method == QLatin1String(e.name))
            entry = &e;
    if (!signature || !entry)
        throw AppError(QStringLiteral("Método desconhecido: \"%1\" não existe em %2.")
                           .arg(method.left(100), api::remoteObjectName()),
                       ErrorCode::UnknownMethod);
    try {
        api::checkArguments(*signature, args);
    } catch (const api::SignatureError& error) {
        throw AppError(method, error.detail());
    }
    // Every method but getDeletaRetiEst is asked about one branch, its
    // first argument. The writing methods also check each document. A user
    // held to some branches must name one of them: no branch is not a way
    // around the check.
    if (method != QLatin1String("getDeletaRetiEst") && !caller.allBranches) {
        const QString branch = args[0].isText() ? args[0].asString() : QString();
        if (branch.isEmpty())
            refuseAccess(method, QString(), caller,
                         QStringLiteral("o usuário %1 não informou a filial (tem %2).")
                             .arg(caller.user, caller.allowedText()));
        if (!caller.allows(branch))
            refuseAccess(method, branch.left(4), caller,
                         QStringLiteral("o usuário %1 não tem acesso à filial %2 (tem %3).")
                             .arg(caller.user, branch.left(10), caller.allowedText()));
    }
    try {
        return entry->run(*this, args, caller);
    } catch (const WireError& error) {
        // A value of the wrong kind deep inside a packet or array.
        throw AppError(method, error.text());
    } catch (const DbError& error) {
        // The connection may be the cause (a restarted database server):
        // this thread opens a fresh one on its next call.
        db_.releaseThisThread();
        throw DbError(QStringLiteral("%1: %2").arg(method, error.text()), error.transient());
    }
}

} // namespace krt::app
