// The calling side on Boost.Beast. Calls are synchronous for the caller; each
// network step runs as an asynchronous operation on the client's own
// io_context with the call's deadline, so a server that stops answering ends
// in a clear time-out instead of a hang.
#include "framework/wire/httptransport.h"

#include "framework/wire/callcodec.h"
#include "framework/wire/keylist.h"
#include "framework/wire/streamedreply.h"

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>

#include <QElapsedTimer>
#include <QFile>
#include <mutex>
#include <optional>
#include <vector>

namespace krt {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
namespace ssl = net::ssl;
using tcp = net::ip::tcp;

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

namespace {

QString seconds(int ms)
{
    if (ms % 1000 == 0)
        return QString::number(ms / 1000);
    return QString::number(ms / 1000.0, 'g', 6).replace(u'.', u',');
}

// One HTTP exchange's outcome: the reply, decoded while the body arrived, or
// why the body is not one.
struct Response
{
    int status = 0;
    std::optional<Reply> reply;
    QString malformed;
};

// A failure of the network step, already in the user's words (without the
// "Falha ao chamar m: " prefix).
struct StepFailure
{
    QString text;
};

} // namespace

struct HttpCallClient::Impl
{
    QString host;
    quint16 port = 0;
    int timeoutMs = 120000;
    std::mutex mutex;

    QString caFile;
    std::optional<ssl::context> tls;
    QString user;
    QString password;
    SessionInfo session;

    net::io_context ioc;
    std::optional<beast::tcp_stream> plain;
    std::optional<beast::ssl_stream<beast::tcp_stream>> secure;
    beast::flat_buffer buffer;
    QElapsedTimer idleSince;
    // How long the server keeps an idle connection (its Keep-Alive header).
    int serverIdleMs = 5000;

    QString address() const { return QStringLiteral("%1:%2").arg(host).arg(port); }
    bool connected() const { return plain.has_value() || secure.has_value(); }
    beast::tcp_stream& lowest() { return secure ? beast::get_lowest_layer(*secure) : *plain; }

    void drop()
    {
        beast::error_code ignored;
        if (connected()) {
            lowest().socket().shutdown(tcp::socket::shutdown_both, ignored);
            lowest().close();
        }
        secure.reset();
        plain.reset();
        buffer.clear();
        ioc.restart();
        ioc.poll(); // lets the cancelled operations finish
        ioc.restart();
    }

    // Runs the io_context until the operation started by `start` completes.
    // tcp_stream's own expiry closes the socket at the deadline, which ends
    // every pending operation with beast::error::timeout.
    template <class Start> beast::error_code run(Start start)
    {
        beast::error_code result = net::error::would_block;
        start([&result](const beast::error_code& ec, auto&&...) { result = ec; });
        ioc.restart();
        while (result == net::error::would_block && ioc.run_one() > 0) {
        }
        return result;
    }

    // A kept connection the server may have closed meanwhile is not reused:
    // a call written into it could be lost without a word.
    bool stale()
    {
        if (!connected())
            return false;
        if (idleSince.isValid() &&
            idleSince.elapsed() > serverIdleMs - qMin(1000, serverIdleMs / 2))
            return true;
        beast::error_code ec;
        tcp::socket& socket = lowest().socket();
        const std::size_t waiting = socket.available(ec);
        if (ec || waiting > 0)
            return true;
        // Readable with nothing available: the server closed it.
        socket.non_blocking(true, ec);
        char probe;
        socket.receive(net::buffer(&probe, 1), tcp::socket::message_peek, ec);
        const bool closed = !ec || ec != net::error::would_block;
        socket.non_blocking(false, ec);
        return closed;
    }

    void connect()
    {
        if (stale())
            drop();
        if (connected())
            return;
        const int connectMs = qMin(timeoutMs, 10000);
        // The host is an address or a name of the local network: resolved in
        // place, without the resolver's helper thread.
        tcp::resolver resolver(ioc);
        beast::error_code ec;
        const tcp::resolver::results_type endpoints =
            resolver.resolve(host.toStdString(), std::to_string(port), ec);
        if (ec)
            throw StepFailure{QStringLiteral("servidor %1 inacessível.").arg(address())};
        beast::tcp_stream stream(ioc);
        stream.expires_after(std::chrono::milliseconds(connectMs));
        ec = run([&](auto done) {
            stream.async_connect(
                endpoints, [done](const beast::error_code& e, const tcp::endpoint&) { done(e); });
        });
        if (ec)
            throw StepFailure{QStringLiteral("servidor %1 inacessível.").arg(address())};
        beast::error_code ignored;
        stream.socket().set_option(tcp::no_delay(true), ignored);
        if (!tls) {
            plain.emplace(std::move(stream));
            buffer.clear();
            return;
        }
        secure.emplace(std::move(stream), *tls);
        // Server name for SNI, and the name (or address) the certificate must carry.
        const std::string name = host.toStdString();
        beast::error_code parseError;
        net::ip::make_address(name, parseError);
        if (parseError)
            SSL_set_tlsext_host_name(secure->native_handle(), name.c_str());
        secure->set_verify_mode(ssl::verify_peer);
        secure->set_verify_callback(ssl::host_name_verification(name));
        beast::get_lowest_layer(*secure).expires_after(std::chrono::milliseconds(connectMs));
        ec = run([&](auto done) {
            secure->async_handshake(ssl::stream_base::client,
                                    [done](const beast::error_code& e) { done(e); });
        });
        if (ec) {
            QString why = QString::fromStdString(ec.message());
            if (ec.category() == net::error::get_ssl_category()) {
                const long verify = SSL_get_verify_result(secure->native_handle());
                if (verify != X509_V_OK)
                    why = QString::fromUtf8(X509_verify_cert_error_string(verify));
            }
            secure.reset();
            if (ec == beast::error::timeout)
                throw StepFailure{QStringLiteral("servidor %1 inacessível.").arg(address())};
            throw StepFailure{QStringLiteral("a conexão segura (TLS) com o servidor %1 falhou: %2.")
                                  .arg(address(), why)};
        }
        buffer.clear();
    }

    // One request and its response, within the call's time-out.
    Response exchange(http::request<http::string_body>& req)
    {
        connect();
        QElapsedTimer clock;
        clock.start();
        req.set(http::field::host, host.toStdString());
        req.keep_alive(true);
        req.prepare_payload();
        lowest().expires_after(std::chrono::milliseconds(timeoutMs));
        beast::error_code ec = run([&](auto done) {
            if (secure)
                http::async_write(*secure, req, done);
            else
                http::async_write(*plain, req, done);
        });
        // The body is decoded while it arrives: a streamed list is validated
        // and indexed block by block as the server sends it.
        http::response_parser<http::buffer_body> parser;
        // Answers are as large as the lists they carry; the packet format
        // itself bounds them.
        parser.body_limit(boost::none);
        parser.header_limit(64 * 1024);
        ReplyReader reader;
        Response out;
        if (!ec)
            ec = run([&](auto done) {
                if (secure)
                    http::async_read_header(*secure, buffer, parser, done);
                else
                    http::async_read_header(*plain, buffer, parser, done);
            });
        // Beast reads at most what the buffer holds free (never less than
        // 512 bytes): without room, a long list costs a system call per 512
        // bytes.
        buffer.reserve(64 * 1024);
        std::vector<char> piece(256 * 1024);
        while (!ec && !parser.is_done()) {
            parser.get().body().data = piece.data();
            parser.get().body().size = piece.size();
            ec = run([&](auto done) {
                if (secure)
                    http::async_read(*secure, buffer, parser, done);
                else
                    http::async_read(*plain, buffer, parser, done);
            });
            if (ec == http::error::need_buffer)
                ec = {};
            const size_t got = piece.size() - parser.get().body().size;
            if (out.malformed.isEmpty()) {
                try {
                    reader.feed(piece.data(), qsizetype(got));
                } catch (const Error& e) {
                    out.malformed = e.text();
                }
            }
        }
        if (ec) {
            // Never reuse a connection after a failure: a late answer could be
            // read as the answer to the next call.
            drop();
            if (ec == beast::error::timeout)
                throw StepFailure{QStringLiteral("o servidor %1 não respondeu em %2 s.")
                                      .arg(address(), seconds(timeoutMs))};
            throw StepFailure{
                QStringLiteral("a comunicação com o servidor %1 foi interrompida (%2).")
                    .arg(address(), QString::fromStdString(ec.message()))};
        }
        lowest().expires_never();
        auto res = parser.release();
        out.status = int(res.result_int());
        if (out.malformed.isEmpty()) {
            try {
                out.reply = reader.finish();
            } catch (const Error& e) {
                out.malformed = e.text();
            }
        }
        const beast::string_view keepAlive = res[http::field::keep_alive];
        const auto at = keepAlive.find("timeout=");
        if (at != beast::string_view::npos) {
            const int secs =
                QByteArray(keepAlive.data() + at + 8, qsizetype(keepAlive.size() - at - 8))
                    .split(',')
                    .value(0)
                    .trimmed()
                    .toInt();
            if (secs > 0)
                serverIdleMs = secs * 1000;
        }
        if (!res.keep_alive())
            drop();
        idleSince.start();
        return out;
    }

    Response post(const QString& object, const QString& method, const QByteArray& body)
    {
        http::request<http::string_body> req{
            http::verb::post, QStringLiteral("/call/%1/%2").arg(object, method).toStdString(), 11};
        req.set(http::field::content_type, kCallContentType);
        // Lists may come streamed (docs/protocol.md, 4.1).
        req.set(kReplyVersionHeader, kStreamedReplyVersion);
        if (!session.token.isEmpty())
            req.set(http::field::authorization, "Bearer " + session.token.toStdString());
        req.body().assign(body.constData(), size_t(body.size()));
        return exchange(req);
    }
};

namespace {

// Turns an answer into its result, or an Error. An error that names its
// method is passed on as the server wrote it; any other failure gets `prefix`
// ("Falha ao chamar m: ") in front.
Variant resultOf(const HttpCallClient::Impl& d, const Response& res, const QString& prefix)
{
    if (!res.reply) {
        if (res.status != 200)
            throw Error(errorCodeForStatus(res.status),
                        prefix + QStringLiteral("o servidor %1 respondeu com o erro HTTP %2.")
                                     .arg(d.address())
                                     .arg(res.status));
        throw Error(ErrorCode::InvalidReply,
                    prefix + QStringLiteral("resposta inválida do servidor %1: %2")
                                 .arg(d.address(), res.malformed));
    }
    const Reply& reply = *res.reply;
    if (reply.isError) {
        const ErrorCode code = reply.errorCode == ErrorCode::Unspecified
                                   ? errorCodeForStatus(res.status)
                                   : reply.errorCode;
        if (!reply.errorMethod.isEmpty())
            throw Error(code, reply.errorText, reply.errorMethod);
        throw Error(code, prefix + reply.errorText);
    }
    if (res.status != 200)
        throw Error(errorCodeForStatus(res.status),
                    prefix + QStringLiteral("o servidor %1 respondeu com o erro HTTP %2.")
                                 .arg(d.address())
                                 .arg(res.status));
    return reply.result;
}

SessionInfo loginLocked(HttpCallClient::Impl& d)
{
    const QString prefix = QStringLiteral("Falha ao entrar no servidor de aplicação: ");
    d.session = SessionInfo();
    if (d.user.isEmpty())
        throw Error(ErrorCode::NotAuthenticated, prefix + QStringLiteral("usuário não informado."));
    const QByteArray body =
        encodeCall(QString::fromLatin1(kSessionObject), QString::fromLatin1(kLoginMethod),
                   {Variant(d.user), Variant(d.password)});
    Response res;
    try {
        res = d.post(QString::fromLatin1(kSessionObject), QString::fromLatin1(kLoginMethod), body);
    } catch (const StepFailure& f) {
        throw Error(ErrorCode::Transport, prefix + f.text);
    }
    const Variant result = resultOf(d, res, prefix);
    try {
        d.session = SessionInfo::fromVariant(result);
    } catch (const Error& e) {
        throw Error(ErrorCode::InvalidReply, prefix + e.text());
    }
    return d.session;
}

} // namespace

HttpCallClient::HttpCallClient(const QString& host, quint16 port, int timeoutMs)
    : d_(std::make_unique<Impl>())
{
    d_->host = host;
    d_->port = port;
    d_->timeoutMs = qMax(timeoutMs, 1);
}

HttpCallClient::~HttpCallClient()
{
    std::lock_guard lock(d_->mutex);
    d_->drop();
}

void HttpCallClient::setTls(const QString& caFile)
{
    std::lock_guard lock(d_->mutex);
    if (!QFile::exists(caFile))
        throw Error(ErrorCode::Transport,
                    QStringLiteral("Arquivo de autoridades certificadoras não encontrado: %1.")
                        .arg(caFile));
    try {
        ssl::context context(ssl::context::tls_client);
        context.set_options(ssl::context::default_workarounds | ssl::context::no_sslv2 |
                            ssl::context::no_sslv3 | ssl::context::no_tlsv1 |
                            ssl::context::no_tlsv1_1);
        context.load_verify_file(caFile.toStdString());
        context.set_verify_mode(ssl::verify_peer);
        d_->tls.emplace(std::move(context));
        d_->caFile = caFile;
    } catch (const boost::system::system_error& e) {
        throw Error(ErrorCode::Transport,
                    QStringLiteral("Arquivo de autoridades certificadoras inválido: %1 (%2).")
                        .arg(caFile, QString::fromStdString(e.what())));
    }
    d_->drop();
}

bool HttpCallClient::usesTls() const
{
    return d_->tls.has_value();
}

void HttpCallClient::setCredentials(const QString& user, const QString& password)
{
    std::lock_guard lock(d_->mutex);
    d_->user = user;
    d_->password = password;
    d_->session = SessionInfo();
}

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

void HttpCallClient::setTimeoutMs(int timeoutMs)
{
    std::lock_guard lock(d_->mutex);
    d_->timeoutMs = qMax(timeoutMs, 1);
}

void HttpCallClient::disconnect()
{
    std::lock_guard lock(d_->mutex);
    d_->drop();
}

Variant HttpCallClient::call(const QString& object, const QString& method,
                             const QList<Variant>& args)
{
    const QString prefix = QStringLiteral("Falha ao chamar %1: ").arg(method);
    if (!isValidCallName(object) || !isValidCallName(method))
        throw Error(
            ErrorCode::BadRequest,
            prefix +
                QStringLiteral("nome de objeto ou método inválido (%1.%2).").arg(object, method));
    QByteArray body;
    try {
        body = encodeCall(object, method, args);
    } catch (const Error& e) {
        throw Error(ErrorCode::BadRequest, prefix + e.text());
    }
    std::lock_guard lock(d_->mutex);
    Impl& d = *d_;
    if (d.session.token.isEmpty() && !d.user.isEmpty())
        loginLocked(d);
    Response res;
    try {
        res = d.post(object, method, body);
        // The server forgot the session (restarted, expired): the call was
        // not run, so log in again and send it once more.
        if (res.status == 401 && !d.session.token.isEmpty() && !d.user.isEmpty()) {
            loginLocked(d);
            res = d.post(object, method, body);
        }
    } catch (const StepFailure& f) {
        throw Error(ErrorCode::Transport, prefix + f.text);
    }
    return resultOf(d, res, prefix);
}

void HttpCallClient::ping()
{
    const QString prefix = QStringLiteral("Falha ao conectar ao servidor de aplicação: ");
    std::lock_guard lock(d_->mutex);
    http::request<http::string_body> req{http::verb::get, kPingPath, 11};
    Variant answer;
    try {
        answer = resultOf(*d_, d_->exchange(req), prefix);
    } catch (const StepFailure& f) {
        throw Error(ErrorCode::Transport, prefix + f.text);
    }
    if (!answer.isBool() || !answer.asBool())
        throw Error(ErrorCode::InvalidReply,
                    prefix +
                        QStringLiteral("resposta inesperada do servidor %1.").arg(d_->address()));
}

SessionInfo HttpCallClient::login()
{
    std::lock_guard lock(d_->mutex);
    return loginLocked(*d_);
}

SessionInfo HttpCallClient::session() const
{
    std::lock_guard lock(d_->mutex);
    return d_->session;
}

} // namespace krt
