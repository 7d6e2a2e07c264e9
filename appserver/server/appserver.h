#pragma once

#include "appserver/db/database.h"
#include "appserver/methods/rdmcancelaconsoli.h"
#include "appserver/server/calllog.h"

#include <QString>
#include <memory>

namespace krt {
class HttpCallServer;
}

namespace krt::app {

struct ServerOptions
{
    QString address = QStringLiteral("127.0.0.1");
    quint16 port = 8421; // 0: any free port
    int threads = 8;
    qint64 maxBodyBytes = 64 * 1024 * 1024;
};

// The remote object on the wire: decoded calls for "Krt52600.rdmCancelaConsoli"
// go to RdmCancelaConsoli on the worker thread's own connection; each call is
// logged. Errors go back to the caller as error replies naming the method.
class AppServer
{
public:
    AppServer(Database& db, CallLog& log, ServerOptions options);
    ~AppServer();

    // Binds and serves in the background; throws krt::TransportError.
    void start();
    quint16 port() const;
    // Stops accepting calls and waits for the ones in progress.
    void stop();

private:
    Variant handle(const QString& object, const QString& method, const QList<Variant>& args,
                   const QString& peer, quint64 requestId);

    Database& db_;
    CallLog& log_;
    ServerOptions options_;
    RdmCancelaConsoli object_;
    std::unique_ptr<HttpCallServer> http_;
};

// Rows in a result, for the log: the rows of its packets, 1 for a scalar.
qint64 resultRows(const Variant& result);

} // namespace krt::app
