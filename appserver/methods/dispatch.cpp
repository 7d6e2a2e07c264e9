// Calls by method name, as they arrive from the wire: each declared method
// bound to its implementation at compile time.
#include "api/methodtable.h"
#include "appserver/db/sql.h"
#include "appserver/methods/audit.h"
#include "appserver/methods/rdmcancelaconsoli.h"
#include "framework/wire/errors.h"

#include <tuple>
#include <utility>

namespace krt::app {

namespace {

template <class Method> struct KindsOf;
template <class R, class... K> struct KindsOf<api::Method<R, K...>>
{
    using type = std::tuple<K...>;
};

// Decodes the arguments in their order (a braced list is evaluated left to
// right, so the first wrong one is the one reported) and runs M's
// implementation on them.
template <const auto& M, class... K, std::size_t... I>
Variant runDecoded(RdmCancelaConsoli& object, const Request<M>& request, const QList<Variant>& args,
                   std::tuple<K...>*, std::index_sequence<I...>)
{
    const api::MethodDecl& decl = request.method();
    const std::tuple<In<K>...> decoded{
        decode<K>(args[qsizetype(I)], ArgAt{&request, int(I) + 1, &decl.args[I]})...};
    return std::apply([&](const In<K>&... in) { return object.serve(request, in...); }, decoded);
}

template <const auto& M>
Variant runMethod(RdmCancelaConsoli& object, const api::MethodDecl& decl, const Caller& caller,
                  const StreamSink* sink, const QList<Variant>& args)
{
    using Kinds = typename KindsOf<std::remove_cvref_t<decltype(M)>>::type;
    const Request<M> request(decl, caller, sink);
    return runDecoded<M>(object, request, args, static_cast<Kinds*>(nullptr),
                         std::make_index_sequence<std::tuple_size_v<Kinds>>{});
}

// The implementation of the declared method named like `decl`.
template <const auto&... M>
Variant runNamed(api::MethodList<M...>, RdmCancelaConsoli& object, const api::MethodDecl& decl,
                 const Caller& caller, const StreamSink* sink, const QList<Variant>& args)
{
    Variant result;
    const bool ran = ((qstrcmp(decl.name, M.name) == 0 &&
                       (result = runMethod<M>(object, decl, caller, sink, args), true)) ||
                      ...);
    Q_ASSERT(ran);
    return result;
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
    throw Error(ErrorCode::AccessDenied, reason, method);
}

Variant RdmCancelaConsoli::dispatch(const QString& method, const QList<Variant>& args,
                                    const Caller& caller, const StreamSink* sink)
{
    const api::MethodDecl* decl = api::findMethod(method);
    if (!decl)
        throw Error(ErrorCode::UnknownMethod,
                    QStringLiteral("Método desconhecido: \"%1\" não existe em %2.")
                        .arg(method.left(100), api::remoteObjectName()));
    api::checkArguments(*decl, args);
    // A method asked about one branch names it in its branch argument; the
    // writing methods also check each document. A user held to some
    // branches must name one of them: no branch is not a way around the check.
    if (const int at = decl->branchArg(); at >= 0 && !caller.allBranches) {
        const QString branch = args[at].isText() ? args[at].asString() : QString();
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
        return runNamed(api::AllMethods{}, *this, *decl, caller, sink, args);
    } catch (const Error& error) {
        // A value of the wrong kind deep inside a packet or array.
        if (error.code() == ErrorCode::Malformed)
            throw Error(ErrorCode::InvalidArgument, error.text(), method);
        // The connection may be the cause (a restarted database server):
        // this thread opens a fresh one on its next call.
        if (error.code() == ErrorCode::DatabaseFailure && error.method().isEmpty()) {
            db_.releaseThisThread();
            throw Error(ErrorCode::DatabaseFailure, error.text(), method)
                .setTransient(error.transient());
        }
        throw;
    }
}

} // namespace krt::app
