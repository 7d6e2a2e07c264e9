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
#include <QLoggingCategory>
#include <mutex>
#include <optional>
#include <span>

// What a transport failure really was (method, address, the system's words):
// for whoever reads the host's log, never for the clerk.
Q_LOGGING_CATEGORY(lcTransport, "krt.transport")

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

// A failure of the network step. The clerk is told what happened in our own
// words (clerkText); `detail` keeps the system's or Beast's text, which is
// English and technical, for the log.
struct StepFailure
{
    enum Kind
    {
        Unreachable, // no connection could be opened
        TimedOut,    // no (whole) answer within the call's time-out
        Interrupted, // the connection broke during the exchange
        Tls,         // the secure connection could not be set up
        TooLarge,    // the answer went over the reply limit
    };
    Kind kind;
    QString detail;
};

QString clerkText(const StepFailure& failure, int timeoutMs)
{
    // A failure of the network passes or is support's to look into: the
    // clerk is told which, never how the system words it.
    const QString retry = QStringLiteral(
        " Tente novamente em instantes; se o problema persistir, chame o suporte técnico.");
    switch (failure.kind) {
    case StepFailure::Unreachable:
        return QStringLiteral("O servidor de aplicação está inacessível.") + retry;
    case StepFailure::TimedOut:
        return QStringLiteral("O servidor de aplicação não respondeu em %1 s.")
                   .arg(seconds(timeoutMs)) +
               retry;
    case StepFailure::Interrupted:
        return QStringLiteral("A comunicação com o servidor de aplicação foi interrompida.") +
               retry;
    case StepFailure::Tls:
        return QStringLiteral(
                   "A conexão segura com o servidor de aplicação não pôde ser estabelecida.") +
               retry;
    case StepFailure::TooLarge:
        return QStringLiteral("A resposta do servidor de aplicação passou do tamanho máximo "
                              "aceito e foi descartada. Reduza o período ou restrinja o filtro e "
                              "tente novamente; se o problema persistir, chame o suporte técnico.");
    }
    return {};
}

} // namespace

struct HttpCallClient::Impl
{
    QString host;
    quint16 port = 0;
    int timeoutMs = 120000;
    qint64 maxReplyBytes = kDefaultMaxReplyBytes;
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
    // Where the bytes of an answer the reader takes no more of go.
    QByteArray drain;
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
            throw StepFailure{StepFailure::Unreachable,
                              QStringLiteral("the name could not be resolved (%1)")
                                  .arg(QString::fromStdString(ec.message()))};
        beast::tcp_stream stream(ioc);
        stream.expires_after(std::chrono::milliseconds(connectMs));
        ec = run([&](auto done) {
            stream.async_connect(
                endpoints, [done](const beast::error_code& e, const tcp::endpoint&) { done(e); });
        });
        // A reset here means the server accepted the connection and dropped
        // it at once (the reset can beat the connect's completion): the
        // exchange broke, the server was there.
        if (ec == net::error::connection_reset)
            throw StepFailure{StepFailure::Interrupted,
                              QStringLiteral("the connection broke as it opened (%1)")
                                  .arg(QString::fromStdString(ec.message()))};
        if (ec)
            throw StepFailure{
                StepFailure::Unreachable,
                ec == beast::error::timeout
                    ? QStringLiteral("no connection within %1 s").arg(seconds(connectMs))
                    : QStringLiteral("connecting failed (%1)")
                          .arg(QString::fromStdString(ec.message()))};
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
                throw StepFailure{
                    StepFailure::Unreachable,
                    QStringLiteral("no TLS handshake within %1 s").arg(seconds(connectMs))};
            throw StepFailure{StepFailure::Tls,
                              QStringLiteral("the TLS handshake failed (%1)").arg(why)};
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
        // Answers are as large as the lists they carry, but no server may
        // make the host hold more than the limit: Beast checks it against
        // the Content-Length before the body, and against the running total
        // of a chunked or close-delimited body as it arrives.
        parser.body_limit(std::uint64_t(maxReplyBytes));
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
        // A failed header read leaves no header to ask about (Beast asserts
        // on it): the loop below does not run then.
        const qint64 expected = !ec && parser.is_header_done() && parser.content_length()
                                    ? qint64(*parser.content_length())
                                    : qint64(-1);
        while (!ec && !parser.is_done()) {
            // The body goes where the reader wants it: a streamed list's rows
            // straight to their place in the packet. Bytes past a malformed
            // reply, or past its end, are read and dropped.
            std::span<char> into;
            if (out.malformed.isEmpty())
                into = reader.space(expected);
            const bool toReader = !into.empty();
            if (!toReader) {
                drain.resize(64 * 1024);
                into = {drain.data(), size_t(drain.size())};
            }
            parser.get().body().data = into.data();
            parser.get().body().size = into.size();
            ec = run([&](auto done) {
                if (secure)
                    http::async_read(*secure, buffer, parser, done);
                else
                    http::async_read(*plain, buffer, parser, done);
            });
            if (ec == http::error::need_buffer)
                ec = {};
            const size_t got = into.size() - parser.get().body().size;
            try {
                if (toReader)
                    reader.wrote(qsizetype(got));
                else if (out.malformed.isEmpty())
                    reader.feed(into.data(), qsizetype(got));
            } catch (const Error& e) {
                out.malformed = e.text();
            }
        }
        if (ec) {
            // Never reuse a connection after a failure: a late answer could be
            // read as the answer to the next call.
            drop();
            if (ec == beast::error::timeout)
                throw StepFailure{StepFailure::TimedOut,
                                  QStringLiteral("no answer within %1 s").arg(seconds(timeoutMs))};
            if (ec == http::error::body_limit)
                throw StepFailure{StepFailure::TooLarge,
                                  QStringLiteral("the answer is larger than the limit of %1 bytes")
                                      .arg(maxReplyBytes)};
            throw StepFailure{StepFailure::Interrupted,
                              QStringLiteral("the connection broke (%1)")
                                  .arg(QString::fromStdString(ec.message()))};
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

// A failure of the network step: what really happened goes to the log under
// `what` (the call, the login, the ping) with the server's address; the
// caller gets the clerk's text, which names neither.
[[noreturn]] void raise(const HttpCallClient::Impl& d, const QString& what,
                        const StepFailure& failure)
{
    qCWarning(lcTransport).noquote()
        << QStringLiteral("%1 to %2 failed: %3").arg(what, d.address(), failure.detail);
    throw Error(failure.kind == StepFailure::TooLarge ? ErrorCode::InvalidReply
                                                      : ErrorCode::Transport,
                clerkText(failure, d.timeoutMs));
}

// Turns an answer into its result, or an Error. An error that names its
// method is passed on as the server wrote it; any other failure gets `prefix`
// ("Falha ao chamar m: ") in front.
Variant resultOf(const HttpCallClient::Impl& d, const Response& res, const QString& prefix,
                 const QString& what)
{
    if (!res.reply) {
        // Our server answers every status with a reply; these, bare, come
        // from a proxy or gateway in between that could not reach it.
        if (res.status == 502 || res.status == 503 || res.status == 504)
            raise(d, what,
                  {StepFailure::Unreachable,
                   QStringLiteral("HTTP %1 without a reply (from a proxy or gateway)")
                       .arg(res.status)});
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
    const QString what = QStringLiteral("login");
    Response res;
    try {
        res = d.post(QString::fromLatin1(kSessionObject), QString::fromLatin1(kLoginMethod), body);
    } catch (const StepFailure& f) {
        raise(d, what, f);
    }
    const Variant result = resultOf(d, res, prefix, what);
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

qint64 HttpCallClient::maxReplyBytes() const
{
    return d_->maxReplyBytes;
}

void HttpCallClient::setMaxReplyBytes(qint64 bytes)
{
    std::lock_guard lock(d_->mutex);
    d_->maxReplyBytes = bytes > 0 ? bytes : kDefaultMaxReplyBytes;
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
    const QString what = QStringLiteral("call %1.%2").arg(object, method);
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
        raise(d, what, f);
    }
    return resultOf(d, res, prefix, what);
}

void HttpCallClient::ping()
{
    const QString prefix = QStringLiteral("Falha ao conectar ao servidor de aplicação: ");
    std::lock_guard lock(d_->mutex);
    http::request<http::string_body> req{http::verb::get, kPingPath, 11};
    const QString what = QStringLiteral("ping");
    Variant answer;
    try {
        answer = resultOf(*d_, d_->exchange(req), prefix, what);
    } catch (const StepFailure& f) {
        raise(*d_, what, f);
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
