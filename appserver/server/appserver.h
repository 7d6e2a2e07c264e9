#pragma once

#include "appserver/auth/loginthrottle.h"
#include "appserver/auth/users.h"
#include "appserver/db/database.h"
#include "appserver/http/httpcallserver.h"
#include "appserver/methods/rdmcancelaconsoli.h"
#include "appserver/methods/refusalaudit.h"
#include "appserver/server/calllog.h"
#include "appserver/server/metrics.h"
#include "appserver/server/sessions.h"

#include <QString>
#include <atomic>
#include <memory>

namespace krt::app {

// Calls served at once when not told: twice the cores this process may
// run on, at least 4. Each worker holds a database connection and spends
// part of each call waiting on it; many more than the cores only make the
// database's backends contend (docs/appserver.md has the measurements).
int defaultThreads();

struct ServerOptions
{
    QString address = QStringLiteral("127.0.0.1");
    quint16 port = 8421; // 0: any free port
    int threads = defaultThreads();
    qint64 maxBodyBytes = 64 * 1024 * 1024;
    int keepAliveSeconds = 5;
    // Both set: serve TLS only.
    QString tlsCert;
    QString tlsKey;
    ServerLimits limits;
    // Keys of session tokens shared by every process of the deployment
    // (SessionTokens::readKeyFile); empty: a random key of this process.
    QList<QByteArray> tokenKeys;
    // Balancers whose X-Forwarded-For names the caller (HttpCallServer).
    QStringList trustedProxies;
    // GET /metrics on a listener of its own (plain HTTP, nothing else
    // served); an empty address: none.
    QString metricsAddress;
    quint16 metricsPort = 0; // 0: any free port
};

// The remote object on the wire: a caller logs in (object "Krt.Sessao",
// method "login") and gets a session token that every process holding the
// same keys accepts; every call of
// "Krt52600.rdmCancelaConsoli" must carry one. Calls run on the worker
// thread's own connection with the session's user as the caller, so each
// method checks the branches it touches against that user's. Every call and
// every refusal is logged; errors go back as error replies naming the method.
class AppServer
{
public:
    AppServer(Database& db, CallLog& log, ServerOptions options);
    ~AppServer();

    // Binds and serves in the background; throws krt::Error (Transport).
    void start();
    quint16 port() const;
    // The metrics listener's port (0 without one).
    quint16 metricsPort() const;
    // Stops accepting calls and waits for the ones in progress.
    void stop();
    // Reads the certificate and key files again for the connections to come
    // (those open keep theirs); throws krt::Error (the pair in use stays).
    void reloadTls();

private:
    void gate(CallContext& context);
    void check(const QString& object, const QString& method, quint32 count,
               const CallContext& context);
    // `stream`: where a streamed list goes; `streamedRows`: the rows it
    // already sent, for the log.
    Variant handle(const QString& object, const QString& method, const QList<Variant>& args,
                   const CallContext& context, const StreamSink* stream = nullptr,
                   const qint64* streamedRows = nullptr);
    std::optional<Variant> handleStreaming(const Call& call, const CallContext& context,
                                           ReplyStream& out);
    Variant login(const QList<Variant>& args, const CallContext& context);
    // For GET /healthz: empty while the database answers.
    QString health();
    void startMetrics();

    Database& db_;
    CallLog& log_;
    ServerOptions options_;
    RdmCancelaConsoli object_;
    UserStore users_;
    SessionTokens tokens_;
    LoginThrottle throttle_;
    // Failed logins, so that an administrator sees a guesser in the audit;
    // rows per user (or per address, for names that are no user) are
    // summarised past a few a minute.
    RefusalAudit loginAudit_;
    ServerMetrics metrics_;
    std::unique_ptr<HttpCallServer> http_;
    std::unique_ptr<HttpCallServer> metricsHttp_;
    // The last health check's verdict, so the log tells only of changes.
    std::atomic<bool> healthy_{true};
};

// A streamed list goes out in chunks of about this size.
inline constexpr qsizetype kStreamChunkBytes = 128 * 1024;

// Rows in a result, for the log: the rows of its packets, 1 for a scalar.
qint64 resultRows(const Variant& result);

// True for the loopback addresses (127.0.0.0/8, ::1, "localhost"), which the
// server may serve without TLS.
bool isLoopbackAddress(const QString& address);

} // namespace krt::app
