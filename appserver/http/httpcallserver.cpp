// The call server on Boost.Beast: every connection is a chain of asynchronous
// operations on one of a few network threads' loops, so an idle or slow client
// costs a socket and a buffer, never a thread. Decoding and the handler run on
// a separate pool of workers; their answers go back to the connection's strand.
#include "appserver/http/httpcallserver.h"

#include "appserver/http/bytebudget.h"
#include "appserver/http/callbody.h"
#include "appserver/http/connectionquota.h"
#include "appserver/http/httpframing.h"
#include "appserver/http/networkloops.h"
#include "framework/wire/callcodec.h"
#include "framework/wire/streamedreply.h"

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>

#include <QFile>
#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace krt {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
namespace ssl = net::ssl;
using tcp = net::ip::tcp;

namespace {

// The most Beast reads from a socket at once.
constexpr std::uint64_t kBodyReadBytes = 64 * 1024;

// The TLS 1.2 suites offered (OpenSSL's names): forward-secret key exchange
// and authenticated encryption only, no RSA key exchange and no CBC.
constexpr const char* kTls12Ciphers = "ECDHE+AESGCM:ECDHE+CHACHA20:!aNULL:!eNULL";

// One answer as it goes out: an HTTP status and the reply's bytes in pieces
// (which may share the packets' own buffers).
struct Answer
{
    int status = 200;
    QList<QByteArray> pieces;
    // Sent as Retry-After when positive (a busy server).
    int retryAfterSeconds = 0;
    // Null: a reply of the call protocol (kReplyContentType).
    const char* contentType = nullptr;
};

// `method`: the method the text names, if it names one.
Answer errorAnswer(int status, const QString& text, const QString& method = {},
                   ErrorCode code = ErrorCode::Unspecified)
{
    if (code == ErrorCode::Unspecified)
        code = errorCodeForStatus(status);
    return Answer{status, {encodeErrorReply(code, method, text)}};
}

// The answer to an error raised while serving a call of `method`: a method's
// own failure names the method even when the code that raised it did not.
Answer errorAnswer(const Error& e, const QString& method)
{
    Answer answer;
    answer.status = httpStatusFor(e.code());
    answer.retryAfterSeconds = e.retryAfterSeconds();
    if (e.method().isEmpty() && isMethodFailure(e.code()))
        answer.pieces = {encodeErrorReply(Error(e.code(), e.text(), method))};
    else
        answer.pieces = {encodeErrorReply(e)};
    return answer;
}

QString fromView(beast::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The peer's address as the log and the quotas name it (an IPv4 address
// mapped into IPv6 as plain IPv4); empty when the socket has no peer.
QString peerAddressOf(const tcp::socket& socket, quint16* port = nullptr)
{
    beast::error_code ec;
    const tcp::endpoint peer = socket.remote_endpoint(ec);
    if (ec)
        return {};
    net::ip::address address = peer.address();
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        address = net::ip::make_address_v4(net::ip::v4_mapped, address.to_v6());
    if (port)
        *port = peer.port();
    return QString::fromStdString(address.to_string());
}

const QString kBusyText = QStringLiteral(
    "Servidor ocupado: os pedidos em andamento já ocupam toda a memória reservada a corpos "
    "de chamadas; tente de novo em instantes.");

class SessionBase : public std::enable_shared_from_this<SessionBase>
{
public:
    virtual ~SessionBase() = default;
    virtual void start() = 0;
    // Stopping: ends the connection unless it is serving a call (or always,
    // with `force`). Safe from any thread.
    virtual void shutdown(bool force) = 0;

    // The TLS context the connection's stream was made with: a reload gives
    // new connections another one, and this one lives as long as its
    // connection.
    std::shared_ptr<const void> tlsContext;
};

} // namespace

struct HttpCallServer::Impl
{
    QString address;
    quint16 requestedPort = 0;
    qint64 maxBodyBytes = 0;
    CallHandler handler;
    StreamingCallHandler streamingHandler;
    RejectionListener onRejected;
    RequestGate gate;
    CallCheck check;
    int threads = 8;
    int keepAliveMs = 5000;
    ServerLimits limits;
    // Replaced whole by a reload, under the mutex; read once per accepted
    // connection.
    std::shared_ptr<ssl::context> tls;
    mutable std::mutex tlsMutex;
    std::shared_ptr<ssl::context> currentTls() const
    {
        std::lock_guard lock(tlsMutex);
        return tls;
    }

    detail::NetworkLoops network{2};
    std::optional<tcp::acceptor> acceptor;
    std::optional<net::thread_pool> workers;
    // The object whose calls run on a pool of their own, and that pool.
    QString ownPoolObject;
    int ownPoolThreads = 0;
    std::optional<net::thread_pool> ownPool;
    HealthCheck healthCheck;
    MetricsSource metrics;
    // One thread for health checks, apart from the workers.
    std::optional<net::thread_pool> healthPool;
    QStringList trustedProxies;
    net::thread_pool& poolFor(const QString& object)
    {
        return ownPool && object == ownPoolObject ? *ownPool : *workers;
    }

    std::optional<ConnectionQuota> quota;
    std::optional<ByteBudget> bodyBudget;
    std::optional<ByteBudget> replyBudget;

    std::atomic<quint16> boundPort{0};
    std::atomic<quint64> nextRequestId{1};
    std::atomic<bool> running{false};
    std::atomic<bool> stopping{false};

    mutable std::mutex sessionsMutex;
    std::condition_variable sessionsChanged;
    std::map<SessionBase*, std::weak_ptr<SessionBase>> sessions;

    void accept();
    void refuseConnection(tcp::socket& socket, const QString& address,
                          ConnectionQuota::Verdict verdict);
    void added(SessionBase* s, const std::shared_ptr<SessionBase>& strong)
    {
        std::lock_guard lock(sessionsMutex);
        sessions.emplace(s, strong);
    }
    void removed(SessionBase* s)
    {
        std::lock_guard lock(sessionsMutex);
        sessions.erase(s);
        sessionsChanged.notify_all();
    }
    void shutdownAll(bool force)
    {
        std::vector<std::shared_ptr<SessionBase>> live;
        {
            std::lock_guard lock(sessionsMutex);
            for (auto& [raw, weak] : sessions)
                if (auto s = weak.lock())
                    live.push_back(std::move(s));
        }
        for (auto& s : live)
            s->shutdown(force);
    }
    void tellRejected(const QString& method, const QString& text, const CallContext& context)
    {
        if (!onRejected)
            return;
        try {
            onRejected(method, text, context);
        } catch (...) {
            // A failing listener must not take the answer down with it.
        }
    }
};

namespace {

template <class Stream> class Session : public SessionBase
{
public:
    // `address`: the peer's, already counted in the server's quota.
    Session(HttpCallServer::Impl& server, Stream&& stream, const QString& address)
        : server_(server), stream_(std::move(stream)),
          buffer_(framing::readBufferBytes(server.limits.headerBytes)), peerAddress_(address),
          firstHeadBy_(std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(server.limits.headerTimeoutMs))
    {
        peerAddressOf(lowest().socket(), &peerPort_);
    }

    ~Session() override
    {
        server_.quota->close(peerAddress_);
        server_.removed(this);
    }

    void start() override
    {
        server_.added(this, shared_from_this());
        net::dispatch(lowest().get_executor(), [self = self()] {
            if constexpr (kTls)
                self->handshake();
            else
                self->readHead();
        });
    }

    void shutdown(bool force) override
    {
        net::post(lowest().get_executor(), [self = self(), force] {
            if (force || self->state_ == State::Reading || self->state_ == State::Idle)
                self->closeNow();
        });
    }

private:
    static constexpr bool kTls = !std::is_same_v<Stream, beast::tcp_stream>;
    enum class State
    {
        Idle,    // between requests or before the first
        Reading, // a request is arriving
        Busy,    // a worker has the call
        Writing, // the answer is going out
        Closed,
    };

    std::shared_ptr<Session> self()
    {
        return std::static_pointer_cast<Session>(shared_from_this());
    }
    beast::tcp_stream& lowest() { return beast::get_lowest_layer(stream_); }
    const ServerLimits& limits() const { return server_.limits; }

    CallContext freshContext()
    {
        CallContext context;
        context.peerAddress = peerAddress_;
        context.peerPort = peerPort_;
        context.requestId = server_.nextRequestId.fetch_add(1);
        context.secure = kTls;
        return context;
    }

    void handshake()
    {
        state_ = State::Reading;
        lowest().expires_at(firstHeadBy_);
        if constexpr (kTls) {
            stream_.async_handshake(ssl::stream_base::server,
                                    [self = self()](const beast::error_code& ec) {
                                        if (ec) {
                                            self->failedHandshake(ec);
                                            return;
                                        }
                                        self->readHead();
                                    });
        }
    }

    void failedHandshake(const beast::error_code& ec)
    {
        if (ec != beast::error::timeout && ec != net::error::eof &&
            ec != net::error::operation_aborted)
            server_.tellRejected(QStringLiteral("-"),
                                 QStringLiteral("Falha na negociação TLS: %1.")
                                     .arg(QString::fromStdString(ec.message())),
                                 freshContext());
        closeNow();
    }

    void readHead()
    {
        if (server_.stopping || state_ == State::Closed) {
            closeNow();
            return;
        }
        state_ = State::Idle;
        head_.emplace();
        head_->header_limit(std::uint32_t(limits().headerBytes));
        head_->body_limit(std::uint64_t(server_.maxBodyBytes));
        // A kept-alive connection gets the idle time for its next request; a
        // new one what is left of the head time-out, counted from its start
        // (a TLS handshake included, so a slow handshake does not buy a second
        // period for the head). Either way a head dripped byte by byte is cut
        // off when the time runs out.
        if (served_ == 0)
            lowest().expires_at(firstHeadBy_);
        else
            lowest().expires_after(std::chrono::milliseconds(server_.keepAliveMs));
        http::async_read_header(
            stream_, buffer_, *head_,
            [self = self()](const beast::error_code& ec, std::size_t) { self->onHead(ec); });
        // Bytes already waiting (a pipelined request) mean it is arriving.
        if (buffer_.size() > 0)
            state_ = State::Reading;
    }

    void onHead(beast::error_code ec)
    {
        if (state_ == State::Closed)
            return;
        const bool gotSome = head_ && head_->got_some();
        if (ec) {
            if (!gotSome &&
                (ec == http::error::end_of_stream || ec == beast::error::timeout ||
                 ec == net::error::operation_aborted || ec == net::error::eof ||
                 ec == net::error::connection_reset || ec == ssl::error::stream_truncated)) {
                // Idle connection ended by either side: nothing to say.
                closeNow();
                return;
            }
            if (ec == beast::error::timeout) {
                server_.tellRejected(
                    QStringLiteral("-"),
                    QStringLiteral("Pedido HTTP incompleto: o cabeçalho não chegou em %1 ms; "
                                   "conexão encerrada.")
                        .arg(served_ == 0 ? limits().headerTimeoutMs : server_.keepAliveMs),
                    freshContext());
                closeNow();
                return;
            }
            if (ec == net::error::operation_aborted || ec == net::error::connection_reset ||
                ec == net::error::eof || ec == http::error::end_of_stream) {
                closeNow();
                return;
            }
            CallContext context = freshContext();
            QString method = QStringLiteral("-");
            if (ec == http::error::body_limit) {
                // The head is complete: name the method it calls.
                const QStringList parts = fromView(head_->get().target()).split(u'/');
                if (parts.size() == 4 && isValidCallName(parts[3]))
                    method = context.method = parts[3];
            }
            const framing::Refusal refusal = framing::refusalFor(
                ec, framing::Phase::Head, buffer_, std::uint64_t(server_.maxBodyBytes),
                limits().headerBytes, method);
            refuse(context, refusal.status, method, refusal.text,
                   refusal.status == 413 ? context.method : QString());
            return;
        }
        state_ = State::Reading;
        checkHead();
    }

    // Answers `text` with `status`, tells the listener and closes the
    // connection afterwards (the request's body, if any, is never read).
    // `method` is what the log names; `about` the method the text names.
    void refuse(const CallContext& context, int status, const QString& method, const QString& text,
                const QString& about = {}, ErrorCode code = ErrorCode::Unspecified,
                int retryAfterSeconds = 0)
    {
        server_.tellRejected(method, text, context);
        keepAlive_ = false;
        bodyShare_.reset();
        Answer answer = errorAnswer(status, text, about, code);
        answer.retryAfterSeconds = retryAfterSeconds;
        send(std::move(answer));
    }

    // No room for the body now: 503, and the client may try again soon.
    void refuseBusy(const CallContext& context)
    {
        server_.tellRejected(context.method.isEmpty() ? QStringLiteral("-") : context.method,
                             kBusyText, context);
        keepAlive_ = false;
        bodyShare_.reset();
        Answer answer = errorAnswer(503, kBusyText, {}, ErrorCode::ServerBusy);
        answer.retryAfterSeconds = 1;
        send(std::move(answer));
    }

    void checkHead()
    {
        const auto& req = head_->get();
        CallContext context = freshContext();
        keepAlive_ = req.keep_alive();
        const QString target = fromView(req.target());
        const QStringList parts = target.split(u'/');
        const bool callPath = parts.size() == 4 && parts[0].isEmpty() &&
                              parts[1] == QLatin1String("call") && isValidCallName(parts[2]) &&
                              isValidCallName(parts[3]);
        // What the log names for a refusal: the method, when the path has one.
        const QString name = callPath ? parts[3] : QStringLiteral("-");
        if (callPath) {
            context.object = parts[2];
            context.method = parts[3];
        }
        if (req.version() != 10 && req.version() != 11) {
            refuse(context, 505, name,
                   QStringLiteral("Versão de HTTP não suportada (aceitas 1.0 e 1.1)."));
            return;
        }
        if (std::distance(req.begin(), req.end()) > limits().headerFields) {
            refuse(context, 431, name,
                   QStringLiteral("Pedido HTTP recusado: mais de %1 campos de cabeçalho.")
                       .arg(limits().headerFields));
            return;
        }
        // One framing only: a single Content-Length of digits, or chunked.
        int lengths = 0;
        for (const auto& field : req) {
            if (field.name() != http::field::content_length)
                continue;
            ++lengths;
            const beast::string_view value = field.value();
            if (value.empty() || value.find_first_not_of("0123456789") != beast::string_view::npos)
                lengths = 99;
        }
        if (lengths > 1) {
            refuse(context, 400, name,
                   QStringLiteral("Pedido HTTP inválido: Content-Length repetido ou malformado."));
            return;
        }
        if (req.count(http::field::transfer_encoding) > 0 &&
            (req.count(http::field::transfer_encoding) > 1 ||
             !beast::iequals(req[http::field::transfer_encoding], "chunked"))) {
            refuse(context, 400, name,
                   QStringLiteral("Pedido HTTP inválido: só a codificação chunked é aceita."));
            return;
        }
        if (req.count(http::field::range) > 0) {
            refuse(context, 400, name,
                   QStringLiteral("Pedido HTTP inválido: Range não é aceito em chamadas."));
            return;
        }
        if (!server_.trustedProxies.isEmpty() &&
            server_.trustedProxies.contains(context.peerAddress)) {
            // The proxy appends the address it took the request from: the
            // last one, in the last such header.
            QString forwarded;
            for (const auto& field : req)
                if (beast::iequals(field.name_string(), "X-Forwarded-For"))
                    forwarded = fromView(field.value());
            beast::error_code bad;
            const net::ip::address client =
                net::ip::make_address(forwarded.section(u',', -1).trimmed().toStdString(), bad);
            if (!bad) {
                context.peerAddress = QString::fromStdString(client.to_string());
                context.peerPort = 0;
            }
        }
        if (target == QLatin1String(kHealthPath)) {
            if (req.method() != http::verb::get || head_->chunked() ||
                head_->content_length().value_or(0) > 0) {
                refuse(context, 405, QStringLiteral("-"),
                       QStringLiteral("Chamada recusada: %1 só aceita GET sem corpo.").arg(target));
                return;
            }
            checkHealth();
            return;
        }
        if (target == QLatin1String(kMetricsPath) && server_.metrics) {
            if (req.method() != http::verb::get || head_->chunked() ||
                head_->content_length().value_or(0) > 0) {
                refuse(context, 405, QStringLiteral("-"),
                       QStringLiteral("Chamada recusada: %1 só aceita GET sem corpo.").arg(target));
                return;
            }
            send(Answer{200, {server_.metrics()}, 0, kMetricsContentType});
            return;
        }
        if (target == QLatin1String(kPingPath)) {
            if (req.method() != http::verb::get) {
                refuse(context, 405, QStringLiteral("-"),
                       QStringLiteral("Chamada recusada: %1 só aceita GET.").arg(target));
                return;
            }
            if (head_->chunked() || head_->content_length().value_or(0) > 0) {
                refuse(context, 400, QStringLiteral("-"),
                       QStringLiteral("Chamada recusada: %1 não leva corpo.").arg(target));
                return;
            }
            send(Answer{200, {encodeReply(Variant(true))}});
            return;
        }
        if (!callPath) {
            refuse(context, 404, target.left(200),
                   QStringLiteral("Chamada recusada: caminho inválido %1 %2.")
                       .arg(fromView(req.method_string()).left(20), target.left(200)));
            return;
        }
        if (req.method() != http::verb::post) {
            refuse(context, 405, context.method,
                   QStringLiteral("Chamada de %1 recusada: use POST.").arg(context.method),
                   context.method);
            return;
        }
        const QString type = fromView(req[http::field::content_type]);
        if (type != QLatin1String(kCallContentType)) {
            refuse(context, 415, context.method,
                   QStringLiteral("Chamada de %1 recusada: tipo de conteúdo \"%2\" (esperado %3).")
                       .arg(context.method, type.left(100), QString::fromLatin1(kCallContentType)),
                   context.method);
            return;
        }
        context.streamedReplies = fromView(req[kReplyVersionHeader]).toInt() >= 2;
        const beast::string_view authorization = req[http::field::authorization];
        if (authorization.size() > 7 && beast::iequals(authorization.substr(0, 7), "Bearer "))
            context.bearerToken =
                QByteArray(authorization.data() + 7, qsizetype(authorization.size() - 7)).trimmed();
        if (server_.gate) {
            try {
                server_.gate(context);
            } catch (const Error& e) {
                refuse(context, httpStatusFor(e.code()), context.method, replyText(e), e.method(),
                       replyCode(e), e.retryAfterSeconds());
                return;
            } catch (const std::exception& e) {
                refuse(context, 500, context.method, QString::fromUtf8(e.what()));
                return;
            }
        }
        if (context.maxBodyBytes >= 0 &&
            head_->content_length().value_or(0) > std::uint64_t(context.maxBodyBytes)) {
            refuse(context, 413, context.method,
                   QStringLiteral("Chamada recusada: corpo maior que o limite de %1 bytes (%2).")
                       .arg(context.maxBodyBytes)
                       .arg(context.method));
            return;
        }
        // The body's bytes are reserved before any is read: many requests
        // announcing large bodies at once cannot make the process grow.
        bodyShare_ = BudgetShare(*server_.bodyBudget);
        const std::uint64_t announced = head_->content_length().value_or(0);
        if (announced > 0 && !bodyShare_.grow(qint64(announced))) {
            refuseBusy(context);
            return;
        }
        context_ = std::move(context);
        if (beast::iequals(req[http::field::expect], "100-continue")) {
            auto cont = std::make_shared<http::response<http::empty_body>>(http::status::continue_,
                                                                           req.version());
            lowest().expires_after(std::chrono::milliseconds(limits().writeTimeoutMs));
            http::async_write(stream_, *cont,
                              [self = self(), cont](const beast::error_code& ec, std::size_t) {
                                  if (ec) {
                                      self->closeNow();
                                      return;
                                  }
                                  self->readBody();
                              });
            return;
        }
        readBody();
    }

    void readBody()
    {
        if (server_.stopping) {
            closeNow();
            return;
        }
        // Beast reads at most what the buffer holds free, and never less than
        // 512 bytes: a large body read through a small buffer costs a system
        // call per 512 bytes. Room for 64 KiB reads while a body comes in.
        const std::uint64_t expected = head_->content_length().value_or(kBodyReadBytes);
        buffer_.reserve(size_t(std::min<std::uint64_t>(expected, kBodyReadBytes)));
        body_.emplace(std::move(*head_));
        head_.reset();
        body_->body_limit(std::uint64_t(context_.maxBodyBytes >= 0 ? context_.maxBodyBytes
                                                                   : server_.maxBodyBytes));
        // A chunked body reserves its bytes chunk by chunk, as each is announced.
        if (body_->chunked()) {
            onChunk_ = [this](std::uint64_t size, beast::string_view, beast::error_code& ec) {
                if (size > 0 && !bodyShare_.grow(qint64(size)))
                    ec = net::error::no_buffer_space;
            };
            body_->on_chunk_header(onChunk_);
        }
        lowest().expires_after(std::chrono::milliseconds(limits().bodyTimeoutMs));
        http::async_read(
            stream_, buffer_, *body_,
            [self = self()](const beast::error_code& ec, std::size_t) { self->onBody(ec); });
    }

    void onBody(const beast::error_code& ec)
    {
        if (state_ == State::Closed) {
            body_.reset(); // the read is over: its parser and bytes can go now
            return;
        }
        if (ec) {
            body_.reset();
            if (ec == beast::error::timeout) {
                server_.tellRejected(context_.method,
                                     QStringLiteral("Chamada de %1 incompleta: o corpo não chegou "
                                                    "em %2 ms; conexão encerrada.")
                                         .arg(context_.method)
                                         .arg(limits().bodyTimeoutMs),
                                     context_);
                closeNow();
                return;
            }
            if (ec == net::error::operation_aborted || ec == net::error::connection_reset ||
                ec == net::error::eof || ec == http::error::end_of_stream ||
                ec == http::error::partial_message) {
                closeNow();
                return;
            }
            if (ec == net::error::no_buffer_space) {
                refuseBusy(context_);
                return;
            }
            // A chunk line or a trailer that filled the read buffer, a body
            // over its limit, or framing Beast could not parse.
            const framing::Refusal refusal = framing::refusalFor(
                ec, framing::Phase::Body, buffer_,
                std::uint64_t(context_.maxBodyBytes >= 0 ? context_.maxBodyBytes
                                                         : server_.maxBodyBytes),
                limits().headerBytes, context_.method);
            refuse(context_, refusal.status, context_.method, refusal.text,
                   refusal.status == 413 ? context_.method : QString());
            return;
        }
        state_ = State::Busy;
        lowest().expires_never();
        buffer_.shrink_to_fit(); // an idle connection keeps no read room
        // The body moves to the worker; nothing of it is copied.
        auto message = body_->release();
        // The body keeps its share of the budget until its call has run.
        struct Held
        {
            QByteArray bytes;
            BudgetShare share;
        };
        auto body = std::make_shared<Held>(Held{std::move(message.body()), std::move(bodyShare_)});
        body_.reset();
        net::post(server_.poolFor(context_.object),
                  [self = self(), body, context = context_]() mutable {
                      self->runCall(body->bytes, context);
                  });
    }

    // On the health thread: 200 or 503 with why.
    void checkHealth()
    {
        state_ = State::Busy;
        lowest().expires_never();
        net::post(*server_.healthPool, [self = self()] {
            QString why;
            try {
                if (self->server_.healthCheck)
                    why = self->server_.healthCheck();
            } catch (const std::exception& e) {
                why = QString::fromUtf8(e.what());
            }
            Answer answer = why.isEmpty() ? Answer{200, {encodeReply(Variant(true))}}
                                          : errorAnswer(503, why, {}, ErrorCode::ServerBusy);
            net::post(self->lowest().get_executor(), [self, answer = std::move(answer)]() mutable {
                self->send(std::move(answer));
            });
        });
    }

    // On a worker: decode, check, run the handler, hand the answer back.
    void runCall(QByteArray& body, CallContext& context)
    {
        const QString& method = context.method;
        Answer answer;
        bool streamed = false;
        // Refusals before the handler are the transport's to report; the
        // handler reports its own.
        bool checked = false;
        try {
            Call call;
            try {
                call = decodeCall(
                    body, [&](const QString& object, const QString& name, quint32 count) {
                        if (object != context.object || name != method)
                            throw Error(
                                ErrorCode::BadRequest,
                                QStringLiteral("Chamada de %1 recusada: o corpo chama %2.%3, o "
                                               "caminho %4.%1.")
                                    .arg(method, object.left(200), name.left(200), context.object),
                                method);
                        if (server_.check)
                            server_.check(object, name, count, context);
                    });
            } catch (const Error& e) {
                // The check's own refusals go out as they are.
                if (e.code() != ErrorCode::Malformed)
                    throw;
                throw Error(ErrorCode::BadRequest,
                            QStringLiteral("Chamada de %1 recusada: %2").arg(method, e.text()),
                            method);
            }
            // The call's packets share what they need of the body; the rest
            // of it goes before the handler runs.
            body = QByteArray();
            checked = true;
            if (server_.streamingHandler) {
                ChunkWriter out(self());
                std::optional<Variant> result;
                try {
                    result = server_.streamingHandler(call, context, out);
                } catch (...) {
                    if (out.started()) {
                        out.abort();
                        return;
                    }
                    throw;
                }
                if (result && !out.started()) {
                    answer.pieces = encodeReplyPieces(*result);
                } else {
                    out.finish();
                    streamed = true;
                }
            } else {
                const Variant result =
                    server_.handler(call.object, call.method, call.args, context);
                answer.pieces = encodeReplyPieces(result);
            }
        } catch (const Error& e) {
            if (!checked)
                server_.tellRejected(method, replyText(e), context);
            answer = errorAnswer(e, method);
        } catch (const std::exception& e) {
            answer =
                errorAnswer(Error(ErrorCode::ServerFailure, QString::fromUtf8(e.what())), method);
        } catch (...) {
            answer = errorAnswer(
                Error(ErrorCode::ServerFailure, QStringLiteral("erro desconhecido.")), method);
        }
        if (streamed)
            return;
        net::post(lowest().get_executor(), [self = self(), answer = std::move(answer)]() mutable {
            self->send(std::move(answer));
        });
    }

    // The writer a streaming handler gets: each piece becomes a chunk, handed
    // to the connection's strand without waiting for the client to take it,
    // as long as the connection's queue and the server's budget for queued
    // answers have room. Past them the worker waits at the client's pace, but
    // no slower than the minimum rate: a client taking less is cut off and
    // the worker freed. A slow reader so costs its own connection, not a worker.
    class ChunkWriter : public ReplyStream
    {
    public:
        explicit ChunkWriter(std::shared_ptr<Session> session) : session_(std::move(session)) {}
        void write(const QByteArray& piece) override
        {
            if (piece.isEmpty())
                return;
            BudgetShare share = session_->roomFor(piece.size());
            started_ = true;
            net::post(session_->lowest().get_executor(),
                      [s = session_, piece,
                       share = std::make_shared<BudgetShare>(std::move(share))]() mutable {
                          s->queueChunk(Outgoing{piece, std::move(*share), false});
                      });
        }
        void finish()
        {
            if (!started_)
                write(encodeReply(Variant()));
            net::post(session_->lowest().get_executor(), [s = session_] {
                s->queueChunk(Outgoing{{}, {}, true});
            });
        }
        void abort()
        {
            net::post(session_->lowest().get_executor(), [s = session_] { s->closeNow(); });
        }
        bool started() const { return started_; }

    private:
        std::shared_ptr<Session> session_;
        bool started_ = false;
    };

    http::response<http::empty_body> responseHead(int status,
                                                  const char* contentType = kReplyContentType)
    {
        http::response<http::empty_body> res{http::status(status), 11};
        res.set(http::field::content_type, contentType);
        if (server_.stopping)
            keepAlive_ = false;
        res.keep_alive(keepAlive_);
        if (keepAlive_)
            res.set(http::field::keep_alive,
                    "timeout=" + std::to_string(std::max(1, server_.keepAliveMs / 1000)));
        return res;
    }

    // A piece of a streamed answer waiting for the client, with its part of
    // the server's budget for queued answers; `last` ends the answer.
    struct Outgoing
    {
        QByteArray bytes;
        BudgetShare share;
        bool last = false;
    };

    // On the worker: waits until `bytes` more fit in this connection's queue
    // (and, while it has room, the server's budget), and counts them in.
    // Throws Error (Transport) when the connection is closed, or when the client
    // takes nothing for longer than the minimum rate allows (it is then cut).
    BudgetShare roomFor(qint64 bytes)
    {
        BudgetShare share(*server_.replyBudget);
        const qint64 bound = std::max<qint64>(limits().replyBufferBytes, bytes);
        const qint64 rate = std::max<qint64>(limits().minReplyBytesPerSecond, 1);
        std::unique_lock lock(outMutex_);
        while (true) {
            if (outClosed_)
                throw Error(ErrorCode::Transport,
                            QStringLiteral("o cliente não recebeu a resposta (conexão "
                                           "encerrada)."));
            if (queuedBytes_ + bytes <= bound && share.grow(bytes))
                break;
            // The server's budget is spent: write at the client's pace, one
            // piece at a time, outside the budget.
            if (queuedBytes_ == 0)
                break;
            const qint64 needed = std::max<qint64>(queuedBytes_ + bytes - bound, 1);
            const auto patience =
                std::chrono::milliseconds(std::max<qint64>(1000, needed * 1000 / rate));
            const qint64 before = queuedBytes_;
            if (!outDrained_.wait_for(lock, patience,
                                      [&] { return outClosed_ || queuedBytes_ < before; })) {
                outClosed_ = true;
                lock.unlock();
                net::post(lowest().get_executor(), [self = self()] { self->closeNow(); });
                throw Error(
                    ErrorCode::Transport,
                    QStringLiteral("o cliente recebeu a resposta a menos de %1 bytes/s; conexão "
                                   "encerrada.")
                        .arg(rate));
            }
        }
        queuedBytes_ += bytes;
        return share;
    }

    // On the strand: queues a piece and starts writing if nothing is.
    void queueChunk(Outgoing out)
    {
        if (state_ == State::Closed)
            return;
        state_ = State::Writing;
        outQueue_.push_back(std::move(out));
        if (!writingChunks_)
            writeNextChunk();
    }

    void writeNextChunk()
    {
        if (outQueue_.empty() || state_ == State::Closed) {
            writingChunks_ = false;
            return;
        }
        writingChunks_ = true;
        lowest().expires_after(std::chrono::milliseconds(limits().writeTimeoutMs));
        if (!chunkHeadSent_) {
            chunkHeadSent_ = true;
            auto head = std::make_shared<http::response<http::empty_body>>(responseHead(200));
            head->chunked(true);
            auto serializer = std::make_shared<http::response_serializer<http::empty_body>>(*head);
            http::async_write_header(
                stream_, *serializer,
                [self = self(), head, serializer](const beast::error_code& ec, std::size_t) {
                    if (ec) {
                        self->closeNow();
                        return;
                    }
                    self->writeNextChunk();
                });
            return;
        }
        const Outgoing& front = outQueue_.front();
        auto done = [self = self()](const beast::error_code& ec, std::size_t) {
            self->chunkWritten(ec);
        };
        if (front.last)
            net::async_write(stream_, http::make_chunk_last(), std::move(done));
        else
            net::async_write(stream_,
                             http::make_chunk(net::const_buffer(front.bytes.constData(),
                                                                size_t(front.bytes.size()))),
                             std::move(done));
    }

    void chunkWritten(const beast::error_code& ec)
    {
        if (outQueue_.empty())
            return;
        Outgoing done = std::move(outQueue_.front());
        outQueue_.pop_front();
        {
            std::lock_guard lock(outMutex_);
            queuedBytes_ -= done.bytes.size();
        }
        outDrained_.notify_all();
        done.share.reset();
        if (ec) {
            closeNow();
            return;
        }
        if (done.last) {
            writingChunks_ = false;
            chunkHeadSent_ = false;
            answered();
            return;
        }
        writeNextChunk();
    }

    // Writes a whole answer with its Content-Length.
    void send(Answer answer)
    {
        if (state_ == State::Closed)
            return;
        state_ = State::Writing;
        struct Out
        {
            http::response<http::empty_body> head;
            std::optional<http::response_serializer<http::empty_body>> serializer;
            QList<QByteArray> pieces;
            std::vector<net::const_buffer> buffers;
        };
        auto out = std::make_shared<Out>();
        out->head = responseHead(answer.status,
                                 answer.contentType ? answer.contentType : kReplyContentType);
        if (answer.retryAfterSeconds > 0)
            out->head.set(http::field::retry_after, std::to_string(answer.retryAfterSeconds));
        out->pieces = std::move(answer.pieces);
        std::uint64_t total = 0;
        for (const QByteArray& piece : out->pieces) {
            total += std::uint64_t(piece.size());
            out->buffers.emplace_back(piece.constData(), size_t(piece.size()));
        }
        out->head.content_length(total);
        out->serializer.emplace(out->head);
        lowest().expires_after(std::chrono::milliseconds(limits().writeTimeoutMs));
        http::async_write_header(stream_, *out->serializer,
                                 [self = self(), out](const beast::error_code& ec, std::size_t) {
                                     if (ec) {
                                         self->closeNow();
                                         return;
                                     }
                                     self->lowest().expires_after(
                                         std::chrono::milliseconds(self->limits().writeTimeoutMs));
                                     net::async_write(
                                         self->stream_, out->buffers,
                                         [self, out](const beast::error_code& ec2, std::size_t) {
                                             if (ec2) {
                                                 self->closeNow();
                                                 return;
                                             }
                                             self->answered();
                                         });
                                 });
    }

    void answered()
    {
        ++served_;
        if (!keepAlive_ || server_.stopping) {
            closeGracefully();
            return;
        }
        readHead();
    }

    // After an answer to a request whose body was left unread, closing at
    // once would make the kernel reset the connection and the client could
    // lose the answer: stop sending, then drain what the client still sends
    // for a moment.
    void closeGracefully()
    {
        if (state_ == State::Closed)
            return;
        state_ = State::Idle;
        beast::error_code ignored;
        lowest().socket().shutdown(tcp::socket::shutdown_send, ignored);
        drain_ = std::make_shared<std::array<char, 16384>>();
        drained_ = 0;
        lowest().expires_after(std::chrono::seconds(2));
        drainMore();
    }

    void drainMore()
    {
        lowest().async_read_some(
            net::buffer(*drain_), [self = self()](const beast::error_code& ec, std::size_t n) {
                self->drained_ += n;
                if (ec || self->drained_ > 1024 * 1024 || self->state_ == State::Closed) {
                    self->closeNow();
                    return;
                }
                self->drainMore();
            });
    }

    void closeNow()
    {
        if (state_ == State::Closed)
            return;
        state_ = State::Closed;
        // Not the body's parser: a read may still be using it until its
        // handler runs with the close's error (onBody frees it then).
        bodyShare_.reset();
        // A worker waiting for room in the queue learns that there is none.
        outQueue_.clear();
        {
            std::lock_guard lock(outMutex_);
            outClosed_ = true;
            queuedBytes_ = 0;
        }
        outDrained_.notify_all();
        beast::error_code ignored;
        lowest().socket().shutdown(tcp::socket::shutdown_both, ignored);
        lowest().close();
    }

    HttpCallServer::Impl& server_;
    Stream stream_;
    // Capped: a chunk line or trailer that never ends fills it and is refused
    // instead of growing it without bound.
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::empty_body>> head_;
    std::optional<http::request_parser<wire::CallBody>> body_;
    // What the request's body holds of the server's body budget.
    BudgetShare bodyShare_;
    // The streamed answer's pieces waiting for the client (strand only), and
    // what the worker that produces them sees of them.
    std::deque<Outgoing> outQueue_;
    bool writingChunks_ = false;
    bool chunkHeadSent_ = false;
    std::mutex outMutex_;
    std::condition_variable outDrained_;
    qint64 queuedBytes_ = 0; // guarded by outMutex_
    bool outClosed_ = false; // guarded by outMutex_
    // Beast keeps a reference to the chunk callback: it lives here.
    std::function<void(std::uint64_t, beast::string_view, beast::error_code&)> onChunk_;
    CallContext context_;
    QString peerAddress_;
    // When the first request's head must have arrived, handshake included.
    std::chrono::steady_clock::time_point firstHeadBy_;
    quint16 peerPort_ = 0;
    State state_ = State::Idle;
    bool keepAlive_ = true;
    quint64 served_ = 0;
    std::shared_ptr<std::array<char, 16384>> drain_;
    std::size_t drained_ = 0;
};

} // namespace

// Closes a connection the quota refused, and says so in the log once per
// address per interval (with how many went unsaid meanwhile).
void HttpCallServer::Impl::refuseConnection(tcp::socket& socket, const QString& address,
                                            ConnectionQuota::Verdict verdict)
{
    quint16 port = 0;
    peerAddressOf(socket, &port);
    beast::error_code ignored;
    socket.close(ignored);
    const bool fromAddress = verdict == ConnectionQuota::Verdict::TooManyFromAddress;
    qint64 unreported = 0;
    if (!quota->shouldReport(fromAddress ? address : QStringLiteral("*"), unreported))
        return;
    QString text =
        fromAddress
            ? QStringLiteral("Conexão recusada: %1 conexões abertas deste endereço (limite %2).")
                  .arg(quota->openFrom(address))
                  .arg(limits.connectionsPerAddress)
            : QStringLiteral("Conexão recusada: o servidor já tem %1 conexões abertas (limite).")
                  .arg(limits.maxConnections);
    if (unreported > 0)
        text += QStringLiteral(" Mais %1 recusas desde a linha anterior.").arg(unreported);
    CallContext context;
    context.peerAddress = address;
    context.peerPort = port;
    context.requestId = nextRequestId.fetch_add(1);
    tellRejected(QStringLiteral("-"), text, context);
}

void HttpCallServer::Impl::accept()
{
    acceptor->async_accept(net::make_strand(network.next()), [this](const beast::error_code& ec,
                                                                    tcp::socket socket) {
        if (ec == net::error::operation_aborted || !acceptor->is_open())
            return;
        if (!ec && !stopping) {
            beast::error_code ignored;
            socket.set_option(tcp::no_delay(true), ignored);
            const QString address = peerAddressOf(socket);
            const ConnectionQuota::Verdict verdict = quota->tryOpen(address);
            if (verdict != ConnectionQuota::Verdict::Open) {
                refuseConnection(socket, address, verdict);
            } else if (const std::shared_ptr<ssl::context> context = currentTls()) {
                const auto session =
                    std::make_shared<Session<beast::ssl_stream<beast::tcp_stream>>>(
                        *this, beast::ssl_stream<beast::tcp_stream>(std::move(socket), *context),
                        address);
                session->tlsContext = context;
                session->start();
            } else {
                std::make_shared<Session<beast::tcp_stream>>(
                    *this, beast::tcp_stream(std::move(socket)), address)
                    ->start();
            }
        }
        // Running out of descriptors must not spin: retry a moment later.
        if (ec == net::error::no_descriptors) {
            auto timer = std::make_shared<net::steady_timer>(acceptor->get_executor(),
                                                             std::chrono::milliseconds(100));
            timer->async_wait([this, timer](const beast::error_code&) { accept(); });
            return;
        }
        accept();
    });
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

void HttpCallServer::setHealthCheck(HealthCheck check)
{
    d_->healthCheck = std::move(check);
}

void HttpCallServer::setMetricsSource(MetricsSource source)
{
    d_->metrics = std::move(source);
}

void HttpCallServer::setTrustedProxies(const QStringList& addresses)
{
    d_->trustedProxies = addresses;
}

void HttpCallServer::setOwnPool(const QString& object, int threads)
{
    d_->ownPoolObject = object;
    d_->ownPoolThreads = qMax(threads, 1);
}

void HttpCallServer::setKeepAliveTimeoutSeconds(int seconds)
{
    d_->keepAliveMs = qMax(seconds, 1) * 1000;
}

void HttpCallServer::setLimits(const ServerLimits& limits)
{
    d_->limits = limits;
}

namespace {

std::shared_ptr<ssl::context> makeTlsContext(const QString& certFile, const QString& keyFile)
{
    for (const QString& file : {certFile, keyFile})
        if (!QFile::exists(file))
            throw Error(ErrorCode::Transport,
                        QStringLiteral("Arquivo de TLS não encontrado: %1.").arg(file));
    try {
        auto shared = std::make_shared<ssl::context>(ssl::context::tls_server);
        ssl::context& context = *shared;
        context.set_options(ssl::context::default_workarounds | ssl::context::no_sslv2 |
                            ssl::context::no_sslv3 | ssl::context::no_tlsv1 |
                            ssl::context::no_tlsv1_1 | ssl::context::single_dh_use);
        // TLS 1.2 only with forward secrecy and authenticated encryption
        // (ECDHE with AES-GCM or ChaCha20); TLS 1.3's suites all are.
        SSL_CTX_set_min_proto_version(context.native_handle(), TLS1_2_VERSION);
        SSL_CTX_set_options(context.native_handle(),
                            SSL_OP_CIPHER_SERVER_PREFERENCE | SSL_OP_NO_COMPRESSION);
        if (SSL_CTX_set_cipher_list(context.native_handle(), kTls12Ciphers) != 1)
            throw Error(ErrorCode::Transport,
                        QStringLiteral("Lista de cifras de TLS recusada pelo OpenSSL."));
        context.use_certificate_chain_file(certFile.toStdString());
        context.use_private_key_file(keyFile.toStdString(), ssl::context::pem);
        // OpenSSL refuses a key that is not the certificate's as it loads it.
        return shared;
    } catch (const boost::system::system_error& e) {
        throw Error(ErrorCode::Transport,
                    QStringLiteral("Não foi possível carregar o certificado %1 e a chave "
                                   "%2: %3.")
                        .arg(certFile, keyFile, QString::fromStdString(e.what())));
    }
}

} // namespace

void HttpCallServer::setTls(const QString& certFile, const QString& keyFile)
{
    std::shared_ptr<ssl::context> context = makeTlsContext(certFile, keyFile);
    std::lock_guard lock(d_->tlsMutex);
    d_->tls = std::move(context);
}

void HttpCallServer::reloadTls(const QString& certFile, const QString& keyFile)
{
    if (!d_->currentTls())
        throw Error(ErrorCode::Transport,
                    QStringLiteral("O servidor não serve TLS: não há certificado a recarregar."));
    setTls(certFile, keyFile);
}

void HttpCallServer::setRejectionListener(RejectionListener listener)
{
    d_->onRejected = std::move(listener);
}

void HttpCallServer::setRequestGate(RequestGate gate)
{
    d_->gate = std::move(gate);
}

void HttpCallServer::setCallCheck(CallCheck check)
{
    d_->check = std::move(check);
}

void HttpCallServer::setStreamingHandler(StreamingCallHandler handler)
{
    d_->streamingHandler = std::move(handler);
}

void HttpCallServer::start()
{
    Impl& d = *d_;
    if (d.running)
        return;
    const auto cannotListen = [&d](const std::string& why) {
        return Error(ErrorCode::Transport, QStringLiteral("Não foi possível escutar em %1:%2 (%3).")
                                               .arg(d.address)
                                               .arg(d.requestedPort)
                                               .arg(QString::fromStdString(why)));
    };
    beast::error_code ec;
    const net::ip::address address = net::ip::make_address(d.address.toStdString(), ec);
    if (ec)
        throw cannotListen(ec.message());
    const tcp::endpoint endpoint(address, d.requestedPort);
    // On a strand of its own: stop() closes it from outside the network
    // threads while an accept may be completing on one of them.
    d.acceptor.emplace(net::make_strand(d.network.first()));
    d.acceptor->open(endpoint.protocol(), ec);
    // Quick restart after a stop; never SO_REUSEPORT, which would let a second
    // server bind the same port silently and take half the calls.
    if (!ec)
        d.acceptor->set_option(net::socket_base::reuse_address(true), ec);
    if (!ec)
        d.acceptor->bind(endpoint, ec);
    if (!ec)
        d.acceptor->listen(net::socket_base::max_listen_connections, ec);
    if (ec) {
        d.acceptor.reset();
        throw cannotListen(ec.message());
    }
    d.boundPort = d.acceptor->local_endpoint().port();
    d.stopping = false;
    d.quota.emplace(d.limits.maxConnections, d.limits.connectionsPerAddress,
                    std::chrono::milliseconds(d.limits.refusalLogIntervalMs));
    d.bodyBudget.emplace(d.limits.bodyBytesTotal);
    d.replyBudget.emplace(d.limits.replyBytesTotal);
    d.workers.emplace(size_t(d.threads));
    if (d.ownPoolThreads > 0)
        d.ownPool.emplace(size_t(d.ownPoolThreads));
    d.healthPool.emplace(1);
    d.accept();
    d.network.start();
    d.running = true;
}

quint16 HttpCallServer::port() const
{
    return d_->boundPort;
}

bool HttpCallServer::isRunning() const
{
    return d_->running;
}

int HttpCallServer::connectionCount() const
{
    std::lock_guard lock(d_->sessionsMutex);
    return int(d_->sessions.size());
}

void HttpCallServer::stop()
{
    Impl& d = *d_;
    if (!d.running)
        return;
    d.stopping = true;
    {
        std::promise<void> closed;
        net::post(d.acceptor->get_executor(), [&d, &closed] {
            beast::error_code ignored;
            d.acceptor->close(ignored);
            closed.set_value();
        });
        closed.get_future().wait();
    }
    // Idle connections and requests still arriving end now; calls in
    // progress write their answers and then close.
    d.shutdownAll(false);
    {
        std::unique_lock lock(d.sessionsMutex);
        d.sessionsChanged.wait_for(lock, std::chrono::milliseconds(d.limits.stopGraceMs),
                                   [&d] { return d.sessions.empty(); });
    }
    // Whatever is still being written to a client that does not read is cut.
    d.shutdownAll(true);
    // A handler still running ends on its own; its answer finds the
    // connection closed.
    d.workers->join();
    if (d.ownPool)
        d.ownPool->join();
    d.healthPool->join();
    {
        std::unique_lock lock(d.sessionsMutex);
        d.sessionsChanged.wait_for(lock, std::chrono::seconds(10),
                                   [&d] { return d.sessions.empty(); });
    }
    d.network.stop();
    d.workers.reset();
    d.ownPool.reset();
    d.healthPool.reset();
    d.acceptor.reset();
    d.running = false;
}

} // namespace krt
