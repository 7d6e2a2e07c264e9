#include "appserver/server/appserver.h"

#include "api/methodtable.h"
#include "appserver/db/sql.h"
#include "appserver/server/logline.h"
#include "framework/wire/errors.h"
#include "framework/wire/streamedreply.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QScopeGuard>
#include <algorithm>
#include <sched.h>

namespace krt::app {

int defaultThreads()
{
    cpu_set_t cores;
    const int count = ::sched_getaffinity(0, sizeof cores, &cores) == 0 ? CPU_COUNT(&cores) : 1;
    return std::max(4, 2 * count);
}

namespace {

// What the gate learned about the caller from its token's signed claims.
using Identity = SessionClaims;

QString userOf(const CallContext& context)
{
    if (const auto* id = static_cast<const Identity*>(context.identity.get()))
        return id->user;
    return {};
}

const Identity& identityOf(const CallContext& context)
{
    static const Identity none;
    const auto* id = static_cast<const Identity*>(context.identity.get());
    return id ? *id : none;
}

// Address and port; the address alone when it came from a balancer's
// X-Forwarded-For, which carries no port.
QString peerOf(const CallContext& context)
{
    if (context.peerPort == 0)
        return context.peerAddress;
    return QStringLiteral("%1:%2").arg(context.peerAddress).arg(context.peerPort);
}

// What the caller is told when the server itself failed: the request's
// number, which the log line of the failure carries with the details (the
// database's own text may quote the statement).
QString internalFailureText(quint64 requestId)
{
    return QStringLiteral("falha interna do servidor (pedido #%1; detalhes no log do servidor).")
        .arg(requestId);
}

QString databaseFailureText(quint64 requestId)
{
    return QStringLiteral("falha no banco de dados do servidor (pedido #%1; detalhes no log do "
                          "servidor).")
        .arg(requestId);
}

// What the caller is told of a failure of `method`: the database's own
// words and the server's own faults stay in the log, under the request's
// number; everything else as it was raised.
Error answerFor(const Error& e, const QString& method, quint64 requestId)
{
    switch (e.code()) {
    case ErrorCode::DatabaseFailure:
        return Error(ErrorCode::DatabaseFailure, databaseFailureText(requestId), method);
    case ErrorCode::ServerFailure:
        return Error(ErrorCode::ServerFailure, internalFailureText(requestId), method);
    default:
        return e;
    }
}

const QString kSession = QString::fromLatin1(kSessionObject);
const QString kLogin = QString::fromLatin1(kLoginMethod);
// Ends the caller's own session: a token a client is done with (or believes
// seen by someone else) stops working at once instead of living out its hours.
const QString kLogout = QStringLiteral("logout");

// The names calls are counted by in the metrics: the remote object's
// methods and the session's.
QStringList countedMethods()
{
    QStringList names;
    for (const api::MethodDecl& method : api::methods())
        names << QString::fromLatin1(method.name);
    return names << kLogin << kLogout << QString::fromLatin1(kPingPath).mid(1);
}

// The login throttle's refusal: the wait in Retry-After and in the text.
[[noreturn]] void throwThrottled(int wait, bool account)
{
    throw Error(
        ErrorCode::TooManyAttempts,
        QStringLiteral("Muitas tentativas de login sem sucesso %1; tente de novo em %2 s.")
            .arg(account ? QStringLiteral("deste usuário") : QStringLiteral("deste endereço"))
            .arg(wait))
        .setRetryAfterSeconds(wait);
}

} // namespace

qint64 resultRows(const Variant& result)
{
    if (result.isPacket())
        return result.asPacket().rowCount();
    if (result.isArray()) {
        qint64 rows = 0;
        for (qsizetype i = 0; i < result.size(); ++i)
            rows += resultRows(result.at(i));
        return rows;
    }
    return result.isEmpty() ? 0 : 1;
}

bool isLoopbackAddress(const QString& address)
{
    if (address == QLatin1String("localhost"))
        return true;
    const QHostAddress host(address);
    return !host.isNull() && host.isLoopback();
}

AppServer::AppServer(Database& db, CallLog& log, ServerOptions options)
    : db_(db), log_(log), options_(std::move(options)), object_(db), users_(db),
      tokens_(options_.tokenKeys.isEmpty() ? SessionTokens::perProcess()
                                           : SessionTokens(options_.tokenKeys)),
      throttle_(db), loginAudit_(db), metrics_(countedMethods(), QStringLiteral(KRT_VERSION))
{
    // Every call and refusal the log has a line for is counted by its
    // method and outcome; cancellations by what their audit row says.
    log_.setCallObserver([this](const QString& method, bool ok, qint64 rows, double ms) {
        metrics_.call(method, ok, rows, ms);
    });
    object_.setAuditListener([this](const AuditEntry& entry) {
        metrics_.cancellation(entry.operation, entry.result, entry.cancelled.size());
    });
}

AppServer::~AppServer()
{
    stop();
}

void AppServer::start()
{
    http_ = std::make_unique<HttpCallServer>(
        options_.address, options_.port, options_.maxBodyBytes,
        [this](const QString& object, const QString& method, const QList<Variant>& args,
               const CallContext& context) { return handle(object, method, args, context); });
    // Requests refused before they reach a method (garbage, oversize, wrong
    // path, not logged in, a slow client cut off) get a log line too, so
    // everything that reached the server leaves a trace with its address.
    http_->setRejectionListener([this](const QString& method, const QString& text,
                                       const CallContext& context) {
        log_.call(context.requestId, peerOf(context), userOf(context), method, false, 0, 0.0, text);
    });
    http_->setRequestGate([this](CallContext& context) { gate(context); });
    http_->setHealthCheck([this] { return health(); });
    http_->setTrustedProxies(options_.trustedProxies);
    http_->setCallCheck(
        [this](const QString& object, const QString& method, quint32 count,
               const CallContext& context) { check(object, method, count, context); });
    http_->setStreamingHandler([this](const Call& call, const CallContext& context,
                                      ReplyStream& out) -> std::optional<Variant> {
        return handleStreaming(call, context, out);
    });
    http_->setThreadCount(options_.threads);
    // Password hashing takes memory on purpose: logins run two at a time, on
    // threads of their own, so those waiting for a turn hold no worker.
    http_->setOwnPool(kSession, 2);
    http_->setKeepAliveTimeoutSeconds(options_.keepAliveSeconds);
    http_->setLimits(options_.limits);
    if (!options_.tlsCert.isEmpty() || !options_.tlsKey.isEmpty())
        http_->setTls(options_.tlsCert, options_.tlsKey);
    http_->start();
    if (!options_.metricsAddress.isEmpty())
        startMetrics();
}

// Its own listener, so that the metrics are never on the address the stores
// reach: it answers GET /metrics (and /ping, /healthz) and refuses calls.
void AppServer::startMetrics()
{
    metricsHttp_ = std::make_unique<HttpCallServer>(
        options_.metricsAddress, options_.metricsPort, 1024,
        [](const QString&, const QString&, const QList<Variant>&, const CallContext&) -> Variant {
            throw Error(ErrorCode::UnknownMethod, QStringLiteral("Chamada recusada."));
        });
    metricsHttp_->setRequestGate([](CallContext& context) {
        throw Error(ErrorCode::UnknownMethod,
                    QStringLiteral("Chamada recusada: este endereço só atende %1.")
                        .arg(QString::fromLatin1(kMetricsPath)),
                    context.method);
    });
    metricsHttp_->setMetricsSource([this] { return metrics_.render(); });
    metricsHttp_->setThreadCount(1);
    metricsHttp_->start();
}

quint16 AppServer::port() const
{
    return http_ ? http_->port() : 0;
}

quint16 AppServer::metricsPort() const
{
    return metricsHttp_ ? metricsHttp_->port() : 0;
}

void AppServer::reloadTls()
{
    if (http_)
        http_->reloadTls(options_.tlsCert, options_.tlsKey);
}

void AppServer::stop()
{
    if (metricsHttp_) {
        metricsHttp_->stop();
        metricsHttp_.reset();
    }
    if (http_) {
        http_->stop();
        http_.reset();
        // The sums of repeated refusals not written yet go in before the end.
        object_.flushRefusalAudit();
        loginAudit_.flush();
    }
}

// Before the body is read: a login may come in (with a small body); any other
// call, a logout included, needs a live session token.
void AppServer::gate(CallContext& context)
{
    if (context.object == kSession) {
        if (context.method != kLogin && context.method != kLogout)
            throw Error(ErrorCode::UnknownMethod,
                        QStringLiteral("Método desconhecido: \"%1\" não existe em %2.")
                            .arg(context.method, kSession),
                        context.method);
        context.maxBodyBytes = 16 * 1024;
        if (context.method == kLogin) {
            // An address that must wait is answered before its body is read,
            // without a worker.
            if (const int wait = throttle_.addressWait(context.peerAddress, SessionTokens::nowMs());
                wait > 0) {
                metrics_.loginThrottled();
                throwThrottled(wait, false);
            }
            return;
        }
    }
    // Only a signature check here (on the network thread); whether the
    // session was ended since is read with the user, on the worker.
    std::optional<SessionClaims> claims =
        tokens_.verify(context.bearerToken, SessionTokens::nowMs());
    if (!claims)
        throw Error(ErrorCode::NotAuthenticated,
                    QStringLiteral("Chamada de %1 recusada: não autenticado (sessão ausente ou "
                                   "expirada). Entre com usuário e senha.")
                        .arg(context.method),
                    context.method);
    context.identity = std::make_shared<const Identity>(std::move(*claims));
}

// Before any argument is decoded: the object, the method and the count.
void AppServer::check(const QString& object, const QString& method, quint32 count,
                      const CallContext&)
{
    if (object == kSession) {
        if (method != kLogin && method != kLogout)
            throw Error(ErrorCode::UnknownMethod,
                        QStringLiteral("Método desconhecido: \"%1\" não existe em %2.")
                            .arg(method.left(100), object),
                        method);
        const quint32 expected = method == kLogin ? 2 : 0;
        if (count != expected)
            throw Error(ErrorCode::BadRequest,
                        QStringLiteral("%1: esperados %2 argumentos, recebidos %3.")
                            .arg(method)
                            .arg(expected)
                            .arg(count),
                        method);
        return;
    }
    if (object != api::remoteObjectName())
        throw Error(ErrorCode::UnknownMethod,
                    QStringLiteral("%1: objeto desconhecido \"%2\"; este servidor "
                                   "atende %3.")
                        .arg(method.left(100), object.left(100), api::remoteObjectName()),
                    method);
    // Only a declared method exists, with the count it declares.
    const api::MethodDecl* signature = api::findMethod(method);
    if (!signature)
        throw Error(ErrorCode::UnknownMethod,
                    QStringLiteral("Método desconhecido: \"%1\" não existe em %2.")
                        .arg(method.left(100), object),
                    method);
    api::checkArgumentCount(*signature, qsizetype(count));
}

// A balancer asks every few seconds: one trivial statement on the health
// thread's own connection, opened again after a failure.
QString AppServer::health()
{
    QString why;
    try {
        Query q(db_.connection(), QStringLiteral("SELECT 1"));
        q.exec();
        if (!q.next())
            why = QStringLiteral("o banco de dados não respondeu à verificação.");
    } catch (const Error& e) {
        db_.releaseThisThread();
        log_.note(QStringLiteral("verificação de saúde: banco de dados inacessível: %1")
                      .arg(e.text().left(300)));
        why = QStringLiteral("Servidor sem acesso ao banco de dados.");
    }
    const bool now = why.isEmpty();
    if (healthy_.exchange(now) != now && now)
        log_.note(QStringLiteral("verificação de saúde: banco de dados acessível de novo"));
    return why;
}

Variant AppServer::login(const QList<Variant>& args, const CallContext& context)
{
    QElapsedTimer timer;
    timer.start();
    const QString peer = peerOf(context);
    auto elapsed = [&] { return double(timer.nsecsElapsed()) / 1e6; };
    if (!args[0].isText() || !args[1].isText())
        throw Error(ErrorCode::BadRequest,
                    QStringLiteral("O login espera usuário e senha como textos."));
    const QString name = args[0].asString();
    const QString password = args[1].asString();
    const LoginThrottle::Admission admission =
        throttle_.admit(context.peerAddress, name, SessionTokens::nowMs());
    if (admission.waitSeconds > 0) {
        metrics_.loginThrottled();
        try {
            throwThrottled(admission.waitSeconds, admission.account);
        } catch (const Error& e) {
            log_.call(context.requestId, peer, name, kLogin, false, 0, elapsed(), e.text());
            throw;
        }
    }
    UserRecord user;
    UserStore::Verdict verdict;
    try {
        verdict = users_.verify(name, password, &user);
    } catch (const Error&) {
        throttle_.uncount(context.peerAddress, name);
        throw;
    }
    if (verdict != UserStore::Verdict::Ok) {
        metrics_.loginRefused();
        const int failures = admission.addressFailures;
        // A disabled account is answered as a wrong password: telling it apart
        // would confirm the password to whoever typed it.
        const QString text = QStringLiteral("Usuário ou senha inválidos.");
        log_.call(context.requestId, peer, name, kLogin, false, 0, elapsed(),
                  QStringLiteral("%1 (%2ª falha seguida deste endereço)").arg(text).arg(failures));
        // Why it failed goes to the audit only, where the administrator (and
        // not the caller) reads it. The name is kept as given, escaped as in
        // the log, so no name can pass for another or break the row's text.
        AuditEntry audit;
        audit.operation = kLogin;
        audit.requester = context.peerAddress;
        audit.user = verdict == UserStore::Verdict::Unknown ? QString() : name;
        audit.result = QStringLiteral("RECUSADO");
        const QString reason = verdict == UserStore::Verdict::Unknown
                                   ? QStringLiteral("usuário inexistente")
                               : verdict == UserStore::Verdict::Disabled
                                   ? QStringLiteral("usuário desativado (senha correta)")
                                   : QStringLiteral("senha errada");
        audit.reason = QStringLiteral("login recusado: %1; usuário informado: %2; endereço %3; %4ª "
                                      "falha seguida deste endereço")
                           .arg(reason, QString::fromUtf8(escapeLogField(name.left(60).toUtf8())),
                                peer, QString::number(failures));
        loginAudit_.record(audit);
        throw Error(ErrorCode::NotAuthenticated, text);
    }
    throttle_.succeeded(context.peerAddress, name);
    SessionInfo info;
    info.token = QString::fromLatin1(
        tokens_.issue(user.name, user.sessionGeneration, SessionTokens::nowMs()));
    info.user = user.name;
    info.allBranches = user.allBranches;
    info.branches = user.branches;
    if (user.fixedBranch && user.branches.size() == 1)
        info.fixedBranch = user.branches.first();
    log_.call(context.requestId, peer, user.name, kLogin, true, 1, elapsed());
    return info.toVariant();
}

// A client that reads streamed answers gets a list while it is read from the
// database: the method's rows go out in chunks as they fill, so reading,
// sending and the client's decoding overlap, and the server holds one chunk
// instead of the whole answer. A failure after the first chunk ends the
// stream with the error, which the client reports instead of the rows.
std::optional<Variant> AppServer::handleStreaming(const Call& call, const CallContext& context,
                                                  ReplyStream& out)
{
    const api::MethodDecl* decl = api::findMethod(call.method);
    if (!context.streamedReplies || call.object == kSession || !decl || !decl->streams)
        return handle(call.object, call.method, call.args, context);
    qint64 rows = 0;
    bool started = false;
    const PacketWriter::RowSink sink = [&](std::string_view head, std::string_view block,
                                           int count) {
        QByteArray piece = head.empty() ? QByteArray() : streamedReplyHead(head);
        if (count > 0)
            piece += streamedRowBlock(block, count);
        started = true;
        rows += count;
        out.write(piece);
    };
    const StreamSink stream{&sink, kStreamChunkBytes};
    try {
        Variant result = handle(call.object, call.method, call.args, context, &stream, &rows);
        if (!started)
            return result;
        out.write(streamedReplyEnd());
        return std::nullopt;
    } catch (const Error& e) {
        // The client gone, nothing more can reach it; before the first chunk
        // the transport answers the error whole.
        if (e.code() == ErrorCode::Transport || !started)
            throw;
        // The same error the whole answer would have carried.
        out.write(streamedReplyFailure(e));
        return std::nullopt;
    }
}

Variant AppServer::handle(const QString& object, const QString& method, const QList<Variant>& args,
                          const CallContext& context, const StreamSink* stream,
                          const qint64* streamedRows)
{
    if (object == kSession && method != kLogout) {
        try {
            return login(args, context);
        } catch (const Error& e) {
            // A refusal was logged by the login itself.
            if (!isMethodFailure(e.code()))
                throw;
            // The user table could not be read: the log keeps why.
            log_.call(context.requestId, peerOf(context), {}, kLogin, false, 0, 0.0,
                      QString::fromUtf8(e.what()));
            if (e.code() == ErrorCode::DatabaseFailure)
                metrics_.databaseError();
            throw answerFor(e, kLogin, context.requestId);
        }
    }
    QElapsedTimer timer;
    timer.start();
    auto elapsed = [&] { return double(timer.nsecsElapsed()) / 1e6; };
    const QString peer = peerOf(context);
    const QString userName = userOf(context);
    try {
        // Read again on every call, so that a new password, a disabled user,
        // changed branches or a logout end the sessions opened before, at
        // once, on every process, wherever the change was made.
        const Identity& session = identityOf(context);
        bool ended = false;
        const std::optional<UserRecord> user =
            users_.findForSession(userName, session.idText(), &ended);
        if (!user || !user->active || user->sessionGeneration != session.generation || ended) {
            const QString why =
                ended && user && user->active && user->sessionGeneration == session.generation
                    ? QStringLiteral("por logout")
                    : QStringLiteral("(senha, filiais ou situação do usuário "
                                     "alteradas)");
            throw Error(ErrorCode::NotAuthenticated,
                        QStringLiteral("Chamada de %1 recusada: a sessão do usuário %2 foi "
                                       "encerrada %3. Entre com usuário e senha.")
                            .arg(method, userName, why),
                        method);
        }
        metrics_.sessionActive(session.id);
        if (object == kSession) {
            // A logout: the gate let it in with a live token, the caller's.
            users_.endSession(userName, session.idText(), session.expiresMs,
                              SessionTokens::nowMs());
            log_.call(context.requestId, peer, userName, kLogout, true, 1, elapsed());
            return Variant(true);
        }
        Caller caller;
        caller.user = user->name;
        caller.requester =
            QStringLiteral("%1 (%2 #%3)").arg(user->name, peer).arg(context.requestId);
        caller.allBranches = user->allBranches;
        caller.branches = user->branches;
        Variant result = object_.dispatch(method, args, caller, stream);
        log_.call(context.requestId, peer, userName, method, true,
                  resultRows(result) + (streamedRows ? *streamedRows : 0), elapsed());
        return result;
    } catch (const Error& e) {
        log_.call(context.requestId, peer, userName, method, false, 0, elapsed(),
                  QString::fromUtf8(e.what()));
        if (e.code() == ErrorCode::DatabaseFailure)
            metrics_.databaseError();
        throw answerFor(e, method, context.requestId);
    } catch (const std::exception& e) {
        log_.call(context.requestId, peer, userName, method, false, 0, elapsed(),
                  QString::fromUtf8(e.what()));
        throw Error(ErrorCode::ServerFailure, internalFailureText(context.requestId), method);
    }
}

} // namespace krt::app
