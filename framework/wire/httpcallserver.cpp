#include "framework/wire/httptransport.h"

#include "framework/wire/callcodec.h"

#include <QDir>
#include <atomic>
#include <mutex>
#include <set>
#ifdef __linux__
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#endif
#include <httplib.h>
#include <thread>

namespace krt {

struct HttpCallServer::Impl
{
    QString address;
    quint16 requestedPort;
    qint64 maxBodyBytes;
    CallHandler handler;
    RejectionListener onRejected;
    int threads = 8;
    int keepAliveSeconds = 5;
    httplib::Server http;
    std::thread listener;
    std::atomic<quint16> boundPort{0};
    std::atomic<quint64> nextRequestId{1};
    std::atomic<bool> running{false};
    std::atomic<bool> listenerDone{false};
    // Connections (peer address and port) whose request is being handled or
    // answered: stopping must not cut them.
    std::mutex busyMutex;
    std::set<std::pair<std::string, int>> busy;

    void handle(const httplib::Request& req, httplib::Response& res);
    // Answers a call that never reached the handler and tells the listener.
    void reject(const httplib::Request& req, httplib::Response& res, int status,
                const QString& method, const QString& text);
};

namespace {

void sendReply(httplib::Response& res, int status, const QByteArray& body)
{
    res.status = status;
    res.set_content(body.constData(), size_t(body.size()), kReplyContentType);
}

// A successful answer is written into the HTTP body straight from the
// packets' buffers, so a large list is held once more as the body, not also as
// an intermediate reply. (A streamed body would save that copy too, but the
// HTTP library cuts streamed answers when the server stops, and stopping must
// let every call in progress finish.)
void sendResult(httplib::Response& res, const Variant& result)
{
    const QList<QByteArray> pieces = encodeReplyPieces(result);
    size_t total = 0;
    for (const QByteArray& piece : pieces)
        total += size_t(piece.size());
    std::string body;
    body.reserve(total);
    for (const QByteArray& piece : pieces)
        body.append(piece.constData(), size_t(piece.size()));
    res.status = 200;
    res.body = std::move(body);
    res.set_header("Content-Type", kReplyContentType);
}

void sendError(httplib::Response& res, int status, const QString& text)
{
    sendReply(res, status, encodeErrorReply(text));
}

QString describe(const std::exception& e)
{
    if (const auto* w = dynamic_cast<const WireError*>(&e))
        return w->text();
    if (const auto* r = dynamic_cast<const RemoteError*>(&e))
        return r->text();
    return QString::fromUtf8(e.what());
}

} // namespace

void HttpCallServer::Impl::reject(const httplib::Request& req, httplib::Response& res, int status,
                                  const QString& method, const QString& text)
{
    sendError(res, status, text);
    if (!onRejected)
        return;
    CallContext context;
    context.peerAddress = QString::fromStdString(req.remote_addr);
    context.peerPort = quint16(req.remote_port);
    context.requestId = nextRequestId.fetch_add(1);
    try {
        onRejected(method, text, context);
    } catch (...) {
        // A failing listener must not take the answer down with it.
    }
}

void HttpCallServer::Impl::handle(const httplib::Request& req, httplib::Response& res)
{
    const QString object = QString::fromStdString(req.matches[1]);
    const QString method = QString::fromStdString(req.matches[2]);
    if (req.get_header_value("Content-Type") != kCallContentType) {
        reject(req, res, 415, method,
               QStringLiteral("Chamada de %1 recusada: tipo de conteúdo \"%2\" (esperado %3).")
                   .arg(method, QString::fromStdString(req.get_header_value("Content-Type")),
                        QString::fromLatin1(kCallContentType)));
        return;
    }
    Call call;
    try {
        call = decodeCall(QByteArray::fromStdString(req.body));
    } catch (const WireError& e) {
        reject(req, res, 400, method,
               QStringLiteral("Chamada de %1 recusada: %2").arg(method, e.text()));
        return;
    }
    if (call.object != object || call.method != method) {
        reject(req, res, 400, method,
               QStringLiteral("Chamada de %1 recusada: o corpo chama %2.%3, o caminho %4.%1.")
                   .arg(method, call.object, call.method, object));
        return;
    }
    CallContext context;
    context.peerAddress = QString::fromStdString(req.remote_addr);
    context.peerPort = quint16(req.remote_port);
    context.requestId = nextRequestId.fetch_add(1);
    try {
        const Variant result = handler(call.object, call.method, call.args, context);
        sendResult(res, result);
    } catch (const std::exception& e) {
        sendError(res, 200, QStringLiteral("Erro no método %1: %2").arg(method, describe(e)));
    } catch (...) {
        sendError(res, 200, QStringLiteral("Erro no método %1: erro desconhecido.").arg(method));
    }
}

HttpCallServer::HttpCallServer(const QString& address, quint16 port, qint64 maxBodyBytes,
                               CallHandler handler)
    : d_(std::make_unique<Impl>())
{
    d_->address = address;
    d_->requestedPort = port;
    d_->maxBodyBytes = qMax<qint64>(maxBodyBytes, 64);
    d_->handler = std::move(handler);
}

HttpCallServer::~HttpCallServer()
{
    stop();
}

void HttpCallServer::setThreadCount(int count)
{
    d_->threads = qMax(count, 1);
}

void HttpCallServer::setKeepAliveTimeoutSeconds(int seconds)
{
    d_->keepAliveSeconds = qMax(seconds, 1);
}

void HttpCallServer::setRejectionListener(RejectionListener listener)
{
    d_->onRejected = std::move(listener);
}

void HttpCallServer::start()
{
    if (d_->running)
        return;
    Impl& d = *d_;
    httplib::Server& http = d.http;
    const int threads = d.threads;
    http.new_task_queue = [threads] { return new httplib::ThreadPool(size_t(threads)); };
    http.set_payload_max_length(size_t(d.maxBodyBytes));
    http.set_keep_alive_timeout(d.keepAliveSeconds);
    http.set_tcp_nodelay(true);
    // The library's default also sets SO_REUSEPORT, which lets a second server
    // bind the same port silently and steal half the calls. Only reuse the
    // address (quick restart after stop).
    http.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    http.Post(R"(/call/([A-Za-z0-9_.]{1,200})/([A-Za-z0-9_.]{1,200}))",
              [&d](const httplib::Request& req, httplib::Response& res) { d.handle(req, res); });
    // A request is busy from the moment it is read (pre-routing) until its
    // answer has been written (the logger runs after writing).
    http.set_pre_routing_handler([&d](const httplib::Request& req, httplib::Response&) {
        std::lock_guard lock(d.busyMutex);
        d.busy.emplace(req.remote_addr, req.remote_port);
        return httplib::Server::HandlerResponse::Unhandled;
    });
    http.set_logger([&d](const httplib::Request& req, const httplib::Response&) {
        std::lock_guard lock(d.busyMutex);
        d.busy.erase({req.remote_addr, req.remote_port});
    });
    http.Get(kPingPath, [](const httplib::Request&, httplib::Response& res) {
        sendReply(res, 200, encodeReply(Variant(true)));
    });
    // Everything that did not reach a handler (unknown path, wrong verb, body
    // too large) still gets an answer the client can decode.
    http.set_error_handler(httplib::Server::HandlerWithResponse([&d](const httplib::Request& req,
                                                                     httplib::Response& res) {
        if (!res.body.empty())
            return httplib::Server::HandlerResponse::Unhandled;
        const QString path = QString::fromStdString(req.path);
        QString text;
        if (res.status == 413)
            text = QStringLiteral("Chamada recusada: corpo maior que o limite de %1 bytes (%2).")
                       .arg(d.maxBodyBytes)
                       .arg(path);
        else if (res.status == 404)
            text = QStringLiteral("Chamada recusada: caminho inválido %1 %2.")
                       .arg(QString::fromStdString(req.method), path);
        else
            text =
                QStringLiteral("Chamada recusada: erro HTTP %1 em %2.").arg(res.status).arg(path);
        d.reject(req, res, res.status, path, text);
        return httplib::Server::HandlerResponse::Handled;
    }));

    const std::string host = d.address.toStdString();
    int port = d.requestedPort;
    if (port == 0) {
        port = http.bind_to_any_port(host);
        if (port < 0)
            port = 0;
    } else if (!http.bind_to_port(host, port)) {
        port = 0;
    }
    if (port == 0)
        throw TransportError(QStringLiteral("Não foi possível escutar em %1:%2.")
                                 .arg(d.address)
                                 .arg(d.requestedPort));
    d.boundPort = quint16(port);
    d.running = true;
    d.listenerDone = false;
    d.listener = std::thread([&d] {
        d.http.listen_after_bind();
        d.listenerDone = true;
    });
    // stop() only takes effect once the listener runs: wait for it, so a stop
    // right after start cannot be lost (and leave stop() waiting forever).
    while (!d.http.is_running() && !d.listenerDone)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

quint16 HttpCallServer::port() const
{
    return d_->boundPort;
}

bool HttpCallServer::isRunning() const
{
    return d_->running;
}

namespace {

// An idle kept-alive connection holds its worker until the keep-alive time-out
// runs out, and stopping waits for every worker. Ending the read side of the
// idle connections accepted on the server's port lets their workers finish at
// once. Busy connections are left alone (a half-closed socket counts as dead
// to the library and the answer would be lost); they are ended once idle.
void endIdleConnections(HttpCallServer::Impl& d)
{
#ifdef __linux__
    const quint16 port = d.boundPort;
    QDir fds(QStringLiteral("/proc/self/fd"));
    const QStringList entries = fds.entryList(QDir::NoDotAndDotDot | QDir::System | QDir::Files);
    for (const QString& entry : entries) {
        bool ok = false;
        const int fd = entry.toInt(&ok);
        struct stat st;
        if (!ok || fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode))
            continue;
        sockaddr_storage local{};
        socklen_t localLength = sizeof local;
        sockaddr_storage peer{};
        socklen_t peerLength = sizeof peer;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0)
            continue; // not a connected socket
        quint16 localPort = 0;
        int peerPort = 0;
        if (local.ss_family == AF_INET) {
            localPort = ntohs(reinterpret_cast<sockaddr_in*>(&local)->sin_port);
            peerPort = ntohs(reinterpret_cast<sockaddr_in*>(&peer)->sin_port);
        } else if (local.ss_family == AF_INET6) {
            localPort = ntohs(reinterpret_cast<sockaddr_in6*>(&local)->sin6_port);
            peerPort = ntohs(reinterpret_cast<sockaddr_in6*>(&peer)->sin6_port);
        }
        if (localPort != port)
            continue;
        char host[NI_MAXHOST] = {};
        if (getnameinfo(reinterpret_cast<sockaddr*>(&peer), peerLength, host, sizeof host, nullptr,
                        0, NI_NUMERICHOST) != 0)
            continue;
        std::lock_guard lock(d.busyMutex);
        if (d.busy.count({std::string(host), peerPort}) == 0)
            ::shutdown(fd, SHUT_RD);
    }
#else
    Q_UNUSED(d);
#endif
}

} // namespace

void HttpCallServer::stop()
{
    if (!d_->running)
        return;
    d_->http.stop();
    // Keep ending idle connections until every worker is done: a busy one
    // becomes idle once its answer is written.
    while (!d_->listenerDone) {
        endIdleConnections(*d_);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (d_->listener.joinable())
        d_->listener.join();
    d_->running = false;
}

} // namespace krt
