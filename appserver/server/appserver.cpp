#include "appserver/server/appserver.h"

#include "appserver/db/errors.h"
#include "framework/wire/httptransport.h"

#include <QElapsedTimer>

namespace krt::app {

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

AppServer::AppServer(Database& db, CallLog& log, ServerOptions options)
    : db_(db), log_(log), options_(std::move(options)), object_(db)
{
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
               const CallContext& context) {
            const QString peer =
                QStringLiteral("%1:%2").arg(context.peerAddress).arg(context.peerPort);
            return handle(object, method, args, peer, context.requestId);
        });
    // Calls the transport refuses (garbage, oversize, wrong path) get a log
    // line too, so every call that reached the server leaves a trace.
    http_->setRejectionListener([this](const QString& method, const QString& text,
                                       const CallContext& context) {
        const QString peer = QStringLiteral("%1:%2").arg(context.peerAddress).arg(context.peerPort);
        log_.call(context.requestId, peer, method.left(200), false, 0, 0.0, text);
    });
    http_->setThreadCount(options_.threads);
    http_->start();
}

quint16 AppServer::port() const
{
    return http_ ? http_->port() : 0;
}

void AppServer::stop()
{
    if (http_) {
        http_->stop();
        http_.reset();
    }
}

Variant AppServer::handle(const QString& object, const QString& method, const QList<Variant>& args,
                          const QString& peer, quint64 requestId)
{
    QElapsedTimer timer;
    timer.start();
    auto elapsed = [&] { return double(timer.nsecsElapsed()) / 1e6; };
    try {
        if (object != QLatin1String(RdmCancelaConsoli::kObjectName))
            throw AppError(QStringLiteral("%1: objeto desconhecido \"%2\"; este servidor atende "
                                          "%3.")
                               .arg(method.left(100), object.left(100),
                                    QString::fromLatin1(RdmCancelaConsoli::kObjectName)));
        const QString requester = QStringLiteral("%1 #%2").arg(peer).arg(requestId);
        Variant result = object_.dispatch(method, args, requester);
        log_.call(requestId, peer, method, true, resultRows(result), elapsed());
        return result;
    } catch (const AppError& e) {
        log_.call(requestId, peer, method, false, 0, elapsed(), e.text());
        // The transport puts the method's name in front of the text itself.
        QString text = e.text();
        const QString prefix = method + QStringLiteral(": ");
        if (text.startsWith(prefix))
            text = text.mid(prefix.size());
        throw std::runtime_error(text.toStdString());
    } catch (const std::exception& e) {
        log_.call(requestId, peer, method, false, 0, elapsed(), QString::fromUtf8(e.what()));
        throw;
    }
}

} // namespace krt::app
