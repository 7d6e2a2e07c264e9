#include "framework/wire/httptransport.h"

#include "framework/wire/callcodec.h"

#include <QElapsedTimer>
#include <functional>
#include <httplib.h>
#include <mutex>

namespace krt {

bool isValidCallName(const QString& name)
{
    if (name.isEmpty() || name.size() > 200)
        return false;
    for (const QChar ch : name) {
        const char16_t c = ch.unicode();
        const bool ok = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                        (c >= u'0' && c <= u'9') || c == u'_' || c == u'.';
        if (!ok)
            return false;
    }
    return true;
}

struct HttpCallClient::Impl
{
    QString host;
    quint16 port;
    int timeoutMs;
    std::mutex mutex;
    std::unique_ptr<httplib::Client> http;

    QString address() const { return QStringLiteral("%1:%2").arg(host).arg(port); }

    httplib::Client& connection()
    {
        if (!http) {
            http = std::make_unique<httplib::Client>(host.toStdString(), int(port));
            const time_t sec = timeoutMs / 1000;
            const time_t usec = (timeoutMs % 1000) * 1000;
            http->set_keep_alive(true);
            http->set_tcp_nodelay(true);
            // Establishing the connection never waits longer than 10 s, so an
            // unreachable address is reported quickly even with a long call time-out.
            const int connectMs = qMin(timeoutMs, 10000);
            http->set_connection_timeout(connectMs / 1000, (connectMs % 1000) * 1000);
            http->set_read_timeout(sec, usec);
            http->set_write_timeout(sec, usec);
        }
        return *http;
    }
};

HttpCallClient::HttpCallClient(const QString& host, quint16 port, int timeoutMs)
    : d_(std::make_unique<Impl>())
{
    d_->host = host;
    d_->port = port;
    d_->timeoutMs = qMax(timeoutMs, 1);
}

HttpCallClient::~HttpCallClient() = default;

QString HttpCallClient::host() const
{
    return d_->host;
}
quint16 HttpCallClient::port() const
{
    return d_->port;
}
int HttpCallClient::timeoutMs() const
{
    return d_->timeoutMs;
}

void HttpCallClient::disconnect()
{
    std::lock_guard lock(d_->mutex);
    d_->http.reset();
}

namespace {

QString seconds(int ms)
{
    if (ms % 1000 == 0)
        return QString::number(ms / 1000);
    return QString::number(ms / 1000.0, 'g', 6).replace(u'.', u',');
}

} // namespace

// Sends one request and turns every failure into a RemoteError starting with
// `prefix`; `name` is what an error reply must mention to be passed on as is.
static Variant roundTrip(HttpCallClient::Impl& d, const QString& prefix, const QString& name,
                         const std::function<httplib::Result(httplib::Client&)>& send)
{
    QElapsedTimer clock;
    clock.start();
    httplib::Result result = send(d.connection());
    if (!result) {
        // Never reuse a connection after a failure: a late answer could be read
        // as the answer to the next call.
        d.http.reset();
        const httplib::Error error = result.error();
        if (error == httplib::Error::Connection || error == httplib::Error::ConnectionTimeout)
            throw RemoteError(prefix + QStringLiteral("servidor %1 inacessível.").arg(d.address()));
        if (error == httplib::Error::Read && clock.elapsed() + 50 >= d.timeoutMs)
            throw RemoteError(prefix + QStringLiteral("o servidor %1 não respondeu em %2 s.")
                                           .arg(d.address(), seconds(d.timeoutMs)));
        throw RemoteError(prefix +
                          QStringLiteral("a comunicação com o servidor %1 foi interrompida (%2).")
                              .arg(d.address(), QString::fromStdString(httplib::to_string(error))));
    }

    Reply reply;
    try {
        reply = decodeReplyFull(QByteArray::fromStdString(result->body));
    } catch (const WireError& e) {
        if (result->status != 200)
            throw RemoteError(prefix + QStringLiteral("o servidor %1 respondeu com o erro HTTP %2.")
                                           .arg(d.address())
                                           .arg(result->status));
        throw RemoteError(
            prefix +
            QStringLiteral("resposta inválida do servidor %1: %2").arg(d.address(), e.text()));
    }
    if (reply.isError) {
        // The server's text normally names the method already.
        if (reply.errorText.contains(name))
            throw RemoteError(reply.errorText);
        throw RemoteError(prefix + reply.errorText);
    }
    if (result->status != 200)
        throw RemoteError(prefix + QStringLiteral("o servidor %1 respondeu com o erro HTTP %2.")
                                       .arg(d.address())
                                       .arg(result->status));
    return reply.result;
}

Variant HttpCallClient::call(const QString& object, const QString& method,
                             const QList<Variant>& args)
{
    const QString prefix = QStringLiteral("Falha ao chamar %1: ").arg(method);
    if (!isValidCallName(object) || !isValidCallName(method))
        throw RemoteError(
            prefix +
            QStringLiteral("nome de objeto ou método inválido (%1.%2).").arg(object, method));
    QByteArray body;
    try {
        body = encodeCall(object, method, args);
    } catch (const WireError& e) {
        throw RemoteError(prefix + e.text());
    }
    const std::string path = QStringLiteral("/call/%1/%2").arg(object, method).toStdString();
    std::lock_guard lock(d_->mutex);
    return roundTrip(*d_, prefix, method, [&](httplib::Client& http) {
        return http.Post(path, body.constData(), size_t(body.size()), kCallContentType);
    });
}

void HttpCallClient::ping()
{
    const QString prefix = QStringLiteral("Falha ao conectar ao servidor de aplicação: ");
    std::lock_guard lock(d_->mutex);
    const Variant answer = roundTrip(*d_, prefix, QStringLiteral("ping"),
                                     [](httplib::Client& http) { return http.Get(kPingPath); });
    if (!answer.isBool() || !answer.asBool())
        throw RemoteError(prefix +
                          QStringLiteral("resposta inesperada do servidor %1.").arg(d_->address()));
}

} // namespace krt
