// What the calling side says when the network fails it: a server or proxy
// that drops or resets the connection, a gateway that cannot reach the
// server, an answer without end. The clerk reads one Portuguese sentence that
// says what to do and names neither the method nor the address; the log
// keeps those and the system's own words.
#include "framework/wire/callcodec.h"
#include "framework/wire/httptransport.h"
#include "framework/wire/packet.h"
#include "framework/wire/streamedreply.h"
#include "logcapture.h"
#include "rawhttp.h"

#include <gtest/gtest.h>

using namespace krt;

namespace {

const QString kObject = QStringLiteral("Krt52600.rdmCancelaConsoli");
const QString kInterrupted =
    QStringLiteral("A comunicação com o servidor de aplicação foi interrompida. Tente novamente "
                   "em instantes; se o problema persistir, chame o suporte técnico.");
const QString kUnreachable =
    QStringLiteral("O servidor de aplicação está inacessível. Tente novamente em instantes; se o "
                   "problema persistir, chame o suporte técnico.");
const QString kTooLarge = QStringLiteral(
    "A resposta do servidor de aplicação passou do tamanho máximo aceito e foi descartada. "
    "Reduza o período ou restrinja o filtro e tente novamente; se o problema persistir, chame o "
    "suporte técnico.");

struct Failure
{
    QString text;
    ErrorCode code = ErrorCode::Unspecified;
};

Failure callFails(HttpCallClient& client, const QString& method = QStringLiteral("getPrincipal"))
{
    try {
        client.call(kObject, method, {Variant(QStringLiteral("0001"))});
    } catch (const Error& e) {
        return {e.text(), e.code()};
    }
    return {QStringLiteral("<sem erro>")};
}

// What a clerk must never read: where the server is, which method failed,
// the system's words.
void expectNothingTechnical(const QString& text, quint16 port)
{
    for (const QString& word :
         {QStringLiteral("127.0.0.1"), QString::number(port), QStringLiteral("getPrincipal"),
          QStringLiteral("Falha ao chamar"), QStringLiteral("Connection"), QStringLiteral("reset"),
          QStringLiteral("peer"), QStringLiteral("stream"), QStringLiteral("HTTP")})
        EXPECT_FALSE(text.contains(word)) << text.toStdString() << " names " << word.toStdString();
}

// Reads the request's head, as a proxy does before passing it on.
void readHead(RawConnection& peer)
{
    peer.readUntil("\r\n\r\n", 5000);
}

} // namespace

TEST(ClientFailures, AConnectionResetOrDroppedMidCallIsOnePortugueseSentenceAndTheLogHasTheRest)
{
    struct Case
    {
        const char* what;
        RawListener::Serve serve;
        const char* logged; // the system's words, kept for the log
    };
    const Case cases[] = {
        {"reset after reading the request",
         [](RawConnection& peer) {
             readHead(peer);
             peer.resetOnClose();
         },
         "reset by peer"},
        {"reset as soon as accepted", [](RawConnection& peer) { peer.resetOnClose(); }, ""},
        {"closed after reading the request", [](RawConnection& peer) { readHead(peer); }, ""},
        {"reset in the middle of the answer's head",
         [](RawConnection& peer) {
             readHead(peer);
             peer.send("HTTP/1.1 200 OK\r\nContent-Type: application/x-krt-reply\r\nConte");
             peer.resetOnClose();
         },
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RawListener proxy(c.serve);
        HttpCallClient client("127.0.0.1", proxy.port(), 10000);
        LogCapture log;
        const Failure failure = callFails(client);
        EXPECT_EQ(failure.text, kInterrupted) << failure.text.toStdString();
        EXPECT_EQ(failure.code, ErrorCode::Transport);
        expectNothingTechnical(failure.text, proxy.port());
        const QString logged = log.text();
        EXPECT_TRUE(logged.contains(QStringLiteral("krt.transport")) &&
                    logged.contains(QStringLiteral("getPrincipal")) &&
                    logged.contains(QStringLiteral("127.0.0.1:%1").arg(proxy.port())) &&
                    logged.contains(QLatin1String(c.logged)))
            << logged.toStdString();
    }
}

TEST(ClientFailures, AGatewayThatCannotReachTheServerIsAnUnreachableServer)
{
    RawListener proxy([](RawConnection& peer) {
        readHead(peer);
        peer.send("HTTP/1.1 502 Bad Gateway\r\nContent-Type: text/html\r\nContent-Length: "
                  "20\r\nConnection: close\r\n\r\n<h1>Bad Gateway</h1>");
    });
    HttpCallClient client("127.0.0.1", proxy.port(), 10000);
    LogCapture log;
    const Failure failure = callFails(client);
    EXPECT_EQ(failure.text, kUnreachable) << failure.text.toStdString();
    EXPECT_EQ(failure.code, ErrorCode::Transport);
    expectNothingTechnical(failure.text, proxy.port());
    EXPECT_TRUE(log.text().contains(QStringLiteral("HTTP 502"))) << log.text().toStdString();

    // Our own server's refusals keep their words: only the bare gateway answer is rephrased.
    RawListener refusing([](RawConnection& peer) {
        readHead(peer);
        const QByteArray reply = encodeErrorReply(
            ErrorCode::ServerBusy, {}, QStringLiteral("Servidor ocupado: tente de novo."));
        peer.send("HTTP/1.1 503 Service Unavailable\r\nContent-Type: application/x-krt-reply\r\n"
                  "Retry-After: 1\r\nContent-Length: " +
                  QByteArray::number(reply.size()) + "\r\n\r\n" + reply);
    });
    HttpCallClient busy("127.0.0.1", refusing.port(), 10000);
    const Failure refused = callFails(busy);
    EXPECT_EQ(refused.text, QStringLiteral("Falha ao chamar getPrincipal: Servidor ocupado: tente "
                                           "de novo."));
    EXPECT_EQ(refused.code, ErrorCode::ServerBusy);
}

TEST(ClientFailures, AnAnswerOverTheReplyLimitIsRefusedAsItArrives)
{
    // Announced: a head claiming a terabyte is refused before any of it is
    // read, with the limit every client has unless told otherwise.
    RawListener claiming([](RawConnection& peer) {
        readHead(peer);
        peer.send("HTTP/1.1 200 OK\r\nContent-Type: application/x-krt-reply\r\nContent-Length: "
                  "1099511627776\r\n\r\nKRTR");
        peer.closedByPeer(10000);
    });
    HttpCallClient client("127.0.0.1", claiming.port(), 10000);
    EXPECT_EQ(client.maxReplyBytes(), kDefaultMaxReplyBytes);
    Failure failure = callFails(client);
    EXPECT_EQ(failure.text, kTooLarge) << failure.text.toStdString();
    EXPECT_EQ(failure.code, ErrorCode::InvalidReply);

    // Streamed: a well-formed list whose row blocks go on past the limit, in
    // chunks, with no length announced. (It does end, at eight times the
    // limit, so that a client without a limit takes it and the check fails
    // instead of filling the machine's memory.)
    const qint64 limit = 1024 * 1024;
    QByteArray head, block;
    PacketWriter w({{"CHAVE", FieldType::String, 40}});
    w.streamTo(
        [&](std::string_view packetHead, std::string_view rows, int count) {
            if (!packetHead.empty())
                head = streamedReplyHead(packetHead);
            if (count > 0 && block.isEmpty())
                block = streamedRowBlock(rows, count);
        },
        32 * 1024);
    for (int i = 0; i < 4000; ++i)
        w.addText(QStringLiteral("chave %1").arg(i, 30, 10, QLatin1Char('0')));
    w.finish();
    ASSERT_FALSE(head.isEmpty());
    ASSERT_FALSE(block.isEmpty());
    const auto chunk = [](const QByteArray& bytes) {
        return QByteArray::number(bytes.size(), 16) + "\r\n" + bytes + "\r\n";
    };
    RawListener endless([&](RawConnection& peer) {
        readHead(peer);
        QByteArray out = "HTTP/1.1 200 OK\r\nContent-Type: application/x-krt-reply\r\n"
                         "Transfer-Encoding: chunked\r\n\r\n" +
                         chunk(head);
        for (qint64 sent = 0; sent < 8 * limit && peer.send(out); sent += out.size())
            out = chunk(block);
        if (peer.send(chunk(streamedReplyEnd())))
            peer.send("0\r\n\r\n");
        peer.closedByPeer(10000);
    });
    HttpCallClient bounded("127.0.0.1", endless.port(), 30000);
    bounded.setMaxReplyBytes(limit);
    LogCapture log;
    failure = callFails(bounded);
    EXPECT_EQ(failure.text, kTooLarge) << failure.text.toStdString();
    EXPECT_EQ(failure.code, ErrorCode::InvalidReply);
    expectNothingTechnical(failure.text, endless.port());
    EXPECT_TRUE(log.text().contains(QString::number(limit))) << log.text().toStdString();
}
