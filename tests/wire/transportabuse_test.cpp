// The transport against clients that misbehave on purpose: ambiguous framing,
// oversize chunked bodies, heads dripped byte by byte, hundreds of idle
// connections, pipelined calls, and a stop while all of that goes on. Each
// case checks the clear refusal and that a valid call in parallel is served.
#include "appserver/http/httpcallserver.h"
#include "framework/wire/callcodec.h"
#include "rawhttp.h"

#include <QMutex>
#include <QMutexLocker>
#include <atomic>
#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using namespace krt;

namespace {

const QString kObject = QStringLiteral("Test.Remote");

// A server with short time limits, so that slow clients are cut off quickly.
class ShortFuseServer
{
public:
    explicit ShortFuseServer(qint64 maxBody = 1 << 20, int threads = 2)
        : server_("127.0.0.1", 0, maxBody,
                  [this](const QString&, const QString& method, const QList<Variant>& args,
                         const CallContext&) { return handle(method, args); })
    {
        ServerLimits limits;
        limits.headerTimeoutMs = 1000;
        limits.bodyTimeoutMs = 1500;
        limits.writeTimeoutMs = 5000;
        limits.stopGraceMs = 10000;
        server_.setLimits(limits);
        server_.setThreadCount(threads);
        server_.setKeepAliveTimeoutSeconds(30);
        server_.setRejectionListener(
            [this](const QString& method, const QString& text, const CallContext& context) {
                QMutexLocker lock(&mutex_);
                rejections_.append({method, text, context.peerAddress});
            });
        server_.start();
    }

    quint16 port() const { return server_.port(); }
    HttpCallServer& server() { return server_; }

    struct Rejection
    {
        QString method, text, peer;
    };
    QList<Rejection> rejections()
    {
        QMutexLocker lock(&mutex_);
        return rejections_;
    }

    void waitUntilHolding()
    {
        std::unique_lock lock(holdMutex_);
        holdCv_.wait_for(lock, std::chrono::seconds(20), [this] { return holding_; });
    }
    void release()
    {
        std::lock_guard lock(holdMutex_);
        released_ = true;
        holdCv_.notify_all();
    }

private:
    Variant handle(const QString& method, const QList<Variant>& args)
    {
        if (method == "hold") {
            std::unique_lock lock(holdMutex_);
            holding_ = true;
            holdCv_.notify_all();
            holdCv_.wait_for(lock, std::chrono::seconds(20), [this] { return released_; });
            return Variant(QStringLiteral("terminou"));
        }
        return Variant(args);
    }

    QMutex mutex_;
    QList<Rejection> rejections_;
    std::mutex holdMutex_;
    std::condition_variable holdCv_;
    bool holding_ = false;
    bool released_ = false;
    HttpCallServer server_;
};

QByteArray callHead(const QByteArray& extra, qint64 length = -1)
{
    QByteArray head = "POST /call/Test.Remote/echo HTTP/1.1\r\nHost: x\r\n"
                      "Content-Type: application/x-krt-call\r\n" +
                      extra;
    if (length >= 0)
        head += "Content-Length: " + QByteArray::number(length) + "\r\n";
    return head + "\r\n";
}

QByteArray echoBody(const QString& text = QStringLiteral("ok"))
{
    return encodeCall(kObject, QStringLiteral("echo"), {Variant(text)});
}

QString errorTextOf(const QByteArray& response)
{
    try {
        const Reply reply = decodeReplyFull(bodyOf(response));
        return reply.isError ? reply.errorText : QStringLiteral("<resultado>");
    } catch (const Error& e) {
        return QStringLiteral("<resposta ilegível: %1>").arg(e.text());
    }
}

bool validCallWorks(quint16 port)
{
    HttpCallClient client("127.0.0.1", port, 10000);
    try {
        const Variant v = client.call(kObject, "echo", {Variant("vivo")});
        return v.isArray() && v.at(0).asString() == QStringLiteral("vivo");
    } catch (const Error&) {
        return false;
    }
}

} // namespace

TEST(HttpAbuse, AmbiguousAndMalformedRequestsAreRefusedWithTheCallersAddressLogged)
{
    ShortFuseServer server;
    const QByteArray body = echoBody();
    const QByteArray n = QByteArray::number(body.size());
    struct Case
    {
        const char* what;
        QByteArray request;
        int status;
    };
    QByteArray manyFields;
    for (int i = 0; i < 70; ++i)
        manyFields += "X-Campo-" + QByteArray::number(i) + ": 1\r\n";
    const QList<Case> cases{
        {"two Content-Length", callHead("Content-Length: " + n + "\r\n", body.size()) + body, 400},
        {"a Content-Length list", callHead("Content-Length: " + n + ", " + n + "\r\n") + body, 400},
        {"Content-Length and chunked",
         callHead("Transfer-Encoding: chunked\r\n", body.size()) + body, 400},
        {"chunked after another coding",
         callHead("Transfer-Encoding: gzip, chunked\r\n") + "0\r\n\r\n", 400},
        {"chunk data without its CRLF",
         callHead("Transfer-Encoding: chunked\r\n") + QByteArray::number(body.size(), 16) + "\r\n" +
             body + "XX0\r\n\r\n",
         400},
        {"a header without a colon", callHead("Sem dois pontos\r\n", body.size()) + body, 400},
        {"a Range on a call", callHead("Range: bytes=0-,0-,0-\r\n", body.size()) + body, 400},
        {"too many header fields", callHead(manyFields, body.size()) + body, 431},
        {"an oversize head", callHead("X-Grande: " + QByteArray(20000, 'a') + "\r\n", body.size()),
         431},
        {"an unknown HTTP version", "POST /call/Test.Remote/echo HTTP/2.0\r\n\r\n", 505},
        {"a call by GET", "GET /call/Test.Remote/echo HTTP/1.1\r\n\r\n", 405},
        {"not HTTP at all", QByteArray("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11), 400},
    };
    for (const Case& c : cases) {
        const QByteArray res = rawExchange(server.port(), c.request);
        EXPECT_EQ(statusOf(res), c.status) << c.what << ": " << res.left(300).toStdString();
        EXPECT_FALSE(errorTextOf(res).isEmpty()) << c.what;
    }
    EXPECT_TRUE(validCallWorks(server.port()));
    const auto rejections = server.rejections();
    EXPECT_GE(rejections.size(), cases.size());
    for (const auto& r : rejections)
        EXPECT_EQ(r.peer, QStringLiteral("127.0.0.1")) << r.text.toStdString();
}

TEST(HttpAbuse, TheBodyLimitHoldsForChunkedBodies)
{
    ShortFuseServer server(1024);
    RawConnection c(server.port());
    ASSERT_TRUE(c.isOpen());
    c.send(callHead("Transfer-Encoding: chunked\r\n"));
    // Ten megabytes announced in chunks of 64 KiB: the server answers 413
    // after the first chunk instead of taking them all.
    const QByteArray chunk =
        QByteArray::number(65536, 16) + "\r\n" + QByteArray(65536, 'x') + "\r\n";
    std::thread sender([&] {
        for (int i = 0; i < 160; ++i)
            if (!c.send(chunk))
                break;
    });
    const QByteArray res = c.readUntil("\r\n\r\n", 5000);
    sender.join();
    EXPECT_EQ(statusOf(res), 413) << res.left(200).toStdString();
    EXPECT_TRUE(validCallWorks(server.port()));
}

TEST(HttpAbuse, SlowClientsAreCutOffWithoutDelayingOtherCallers)
{
    ShortFuseServer server;
    // Fifty connections drip a head, and ten more a body, one byte at a time.
    std::vector<RawConnection> slow;
    for (int i = 0; i < 60; ++i) {
        slow.emplace_back(server.port());
        ASSERT_TRUE(slow.back().isOpen());
        slow.back().send(i < 50 ? QByteArray("POST /call/Test.Remote/echo HTTP/1.1\r\n")
                                : callHead({}, 1000));
    }
    std::atomic<bool> dripping{true};
    std::thread dripper([&] {
        while (dripping) {
            for (RawConnection& c : slow)
                c.send("X");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    // Other callers are served meanwhile (several calls, several connections).
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(validCallWorks(server.port()));
    // Each slow connection is closed once its time is up, drip or no drip.
    int closed = 0;
    for (RawConnection& c : slow)
        closed += c.closedByPeer(15000) ? 1 : 0;
    dripping = false;
    dripper.join();
    EXPECT_EQ(closed, 60);
    EXPECT_TRUE(validCallWorks(server.port()));
    bool logged = false;
    for (const auto& r : server.rejections())
        logged = logged || r.text.contains(QStringLiteral("incomplet"));
    EXPECT_TRUE(logged);
}

TEST(HttpAbuse, HundredsOfIdleConnectionsHoldNoWorker)
{
    // Two workers, five hundred kept-alive connections left idle after a
    // call, and five hundred that never send anything.
    HttpCallServer server("127.0.0.1", 0, 1 << 20,
                          [](const QString&, const QString&, const QList<Variant>& args,
                             const CallContext&) { return Variant(args); });
    server.setThreadCount(2);
    ServerLimits limits;
    limits.connectionsPerAddress = 0; // every connection comes from 127.0.0.1
    server.setLimits(limits);
    server.start();
    const QByteArray body = echoBody();
    std::vector<RawConnection> idle;
    for (int i = 0; i < 1000; ++i) {
        idle.emplace_back(server.port());
        ASSERT_TRUE(idle.back().isOpen()) << i;
        if (i % 2 == 0) {
            idle.back().send(callHead({}, body.size()) + body);
            EXPECT_EQ(statusOf(idle.back().readUntil("\r\n\r\n", 10000)), 200) << i;
        }
    }
    EXPECT_GE(server.connectionCount(), 900);
    EXPECT_TRUE(validCallWorks(server.port()));
    server.stop();
}

TEST(HttpAbuse, PipelinedCallsAreAnsweredInOrder)
{
    ShortFuseServer server;
    const QByteArray first = echoBody(QStringLiteral("primeira"));
    const QByteArray second = echoBody(QStringLiteral("segunda"));
    RawConnection c(server.port());
    c.send(callHead({}, first.size()) + first + callHead("Connection: close\r\n", second.size()) +
           second);
    const QByteArray both = c.readAll(5000);
    ASSERT_EQ(answerCount(both), 2) << both.toStdString();
    EXPECT_TRUE(both.contains("primeira"));
    EXPECT_TRUE(both.indexOf("segunda") > both.indexOf("primeira"));
    // The second asked for the end of the connection and said so.
    EXPECT_TRUE(both.mid(both.lastIndexOf("HTTP/1.1")).toLower().contains("connection: close"));
}

TEST(HttpAbuse, StopCutsSlowSendersButFinishesTheCallsInProgress)
{
    ShortFuseServer server;
    RawConnection dripping(server.port());
    dripping.send(callHead({}, 5000) + "abc");
    QString answer;
    std::thread caller([&] {
        HttpCallClient c("127.0.0.1", server.port(), 20000);
        answer = c.call(kObject, "hold", {}).asString();
    });
    server.waitUntilHolding();
    auto stopped = std::async(std::launch::async, [&] { server.server().stop(); });
    // The sender of an unfinished request is let go at once...
    EXPECT_TRUE(dripping.closedByPeer(5000));
    // ...while the call in progress holds the stop until it has answered.
    EXPECT_NE(stopped.wait_for(std::chrono::milliseconds(200)), std::future_status::ready);
    server.release();
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    caller.join();
    EXPECT_EQ(answer, QStringLiteral("terminou"));
}

TEST(HttpAbuse, AStreamedAnswerArrivesWholeEvenWhenTheServerStops)
{
    PacketWriter writer({{"CHAVE", FieldType::String, 20}, {"VALOR", FieldType::Float, 0}});
    for (int i = 0; i < 200000; ++i) {
        writer.addText(QStringLiteral("%1").arg(i, 14, 10, QLatin1Char('0')));
        writer.addNumber(i * 1.5);
    }
    const Packet big = writer.finish();
    std::promise<void> streaming;
    HttpCallServer server("127.0.0.1", 0, 1 << 20,
                          [](const QString&, const QString&, const QList<Variant>&,
                             const CallContext&) { return Variant(); });
    server.setStreamingHandler([&](const Call&, const CallContext&, ReplyStream& out) {
        const QByteArray all = encodeReply(Variant(big));
        const qsizetype piece = all.size() / 50 + 1;
        for (qsizetype at = 0; at < all.size(); at += piece) {
            out.write(all.mid(at, piece));
            if (at == 0)
                streaming.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return std::nullopt;
    });
    server.start();
    Packet received;
    std::thread caller([&] {
        HttpCallClient c("127.0.0.1", server.port(), 30000);
        received = c.call(kObject, "lista", {}).asPacket();
    });
    streaming.get_future().wait();
    server.stop();
    caller.join();
    EXPECT_EQ(received, big);
}

// Each part of a request's framing that Beast leaves to the read buffer, sent
// without its end: the server refuses it once the buffer is full, says which
// part and logs it, instead of holding everything the client sends.
TEST(HttpAbuse, FramingThatNeverEndsIsRefusedOnceTheReadBufferIsFull)
{
    ShortFuseServer server;
    const QByteArray chunked = callHead("Transfer-Encoding: chunked\r\n");
    struct Case
    {
        const char* what;
        QByteArray start;
        char filler;
        int status;
        const char* says;
    };
    const QList<Case> cases{
        {"a chunk-size line without its end", chunked + "1", 'f', 400, "linha de tamanho"},
        {"an endless chunk extension", chunked + "10;nome=", 'v', 400, "linha de tamanho"},
        {"an endless extension of the last chunk", chunked + "0;nome=", 'v', 400,
         "linha de tamanho"},
        {"an endless trailer", chunked + "1\r\nx\r\n0\r\nX-Rastro: ", 'a', 431, "trailer"},
        {"a head without its end", "POST /call/Test.Remote/echo HTTP/1.1\r\nX-Grande: ", 'a', 431,
         "cabeçalho"},
    };
    for (const Case& c : cases) {
        RawConnection conn(server.port());
        ASSERT_TRUE(conn.isOpen());
        conn.send(c.start);
        // Four megabytes offered; the server must answer long before.
        std::thread sender([&] {
            const QByteArray piece(16 * 1024, c.filler);
            for (int i = 0; i < 256; ++i)
                if (!conn.send(piece))
                    break;
        });
        const QByteArray res = conn.readUntil("\r\n\r\n", 10000) + conn.readAll(500);
        sender.join();
        EXPECT_EQ(statusOf(res), c.status) << c.what << ": " << res.left(200).toStdString();
        EXPECT_TRUE(errorTextOf(res).contains(QString::fromUtf8(c.says)))
            << c.what << ": " << errorTextOf(res).toStdString();
    }
    EXPECT_TRUE(validCallWorks(server.port()));
    int logged = 0;
    for (const auto& r : server.rejections())
        logged += r.peer == QStringLiteral("127.0.0.1") &&
                  (r.text.contains(QStringLiteral("linha de tamanho")) ||
                   r.text.contains(QStringLiteral("trailer")) ||
                   r.text.contains(QStringLiteral("cabeçalho")));
    EXPECT_EQ(logged, cases.size());
}

namespace {

// A server whose limits a test sets, with its refusals recorded.
class LimitedServer
{
public:
    explicit LimitedServer(const ServerLimits& limits, qint64 maxBody = 4 << 20)
        : server_("127.0.0.1", 0, maxBody,
                  [](const QString&, const QString&, const QList<Variant>& args,
                     const CallContext&) { return Variant(args); })
    {
        server_.setLimits(limits);
        server_.setRejectionListener(
            [this](const QString&, const QString& text, const CallContext& context) {
                QMutexLocker lock(&mutex_);
                texts_ << context.peerAddress + QStringLiteral(" ") + text;
            });
        server_.start();
    }
    quint16 port() const { return server_.port(); }
    HttpCallServer& server() { return server_; }
    int rejectionsContaining(const QString& part)
    {
        QMutexLocker lock(&mutex_);
        int n = 0;
        for (const QString& t : texts_)
            n += t.contains(part);
        return n;
    }

private:
    QMutex mutex_;
    QStringList texts_;
    HttpCallServer server_;
};

} // namespace

TEST(HttpAbuse, OneAddressCannotTakeEveryConnectionAndItsRefusalsAreLoggedOnce)
{
    ServerLimits limits;
    limits.connectionsPerAddress = 20;
    LimitedServer server(limits);
    std::vector<RawConnection> flood;
    for (int i = 0; i < 60; ++i) {
        flood.emplace_back(server.port(), "127.0.0.2");
        ASSERT_TRUE(flood.back().isOpen());
    }
    int closed = 0;
    for (RawConnection& c : flood)
        closed += c.closedByPeer(300) ? 1 : 0;
    EXPECT_EQ(closed, 40);
    EXPECT_EQ(server.server().connectionCount(), 20);
    // Another address is served meanwhile.
    EXPECT_TRUE(validCallWorks(server.port()));
    // Forty refusals, one line (the next would come after the interval).
    EXPECT_EQ(server.rejectionsContaining(QStringLiteral("127.0.0.2 Conexão recusada")), 1);
    // Once some of its connections end, the address may open others.
    flood.clear();
    for (int i = 0; i < 200 && server.server().connectionCount() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    RawConnection again(server.port(), "127.0.0.2");
    again.send(callHead({}, echoBody().size()) + echoBody());
    EXPECT_EQ(statusOf(again.readUntil("\r\n\r\n", 5000)), 200);
}

TEST(HttpAbuse, BodiesBeingReadShareOneBudgetAndTheRequestThatWouldPassItIsTold503)
{
    ServerLimits limits;
    limits.bodyBytesTotal = 1 << 20;
    LimitedServer server(limits);
    // One request announces 800 KiB and sends a little of it: the rest of
    // the budget is too small for another like it, announced or chunked.
    RawConnection holder(server.port());
    holder.send(callHead({}, 800 * 1024) + "abc");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    QByteArray res = rawExchange(server.port(), callHead({}, 800 * 1024));
    EXPECT_EQ(statusOf(res), 503) << res.left(200).toStdString();
    EXPECT_TRUE(res.contains("Retry-After: 1")) << res.left(300).toStdString();
    EXPECT_TRUE(errorTextOf(res).contains(QStringLiteral("Servidor ocupado")));
    const QByteArray chunk = QByteArray::number(512 * 1024, 16) + "\r\n";
    res = rawExchange(server.port(), callHead("Transfer-Encoding: chunked\r\n") + chunk);
    EXPECT_EQ(statusOf(res), 503) << res.left(200).toStdString();
    // A small call still fits.
    EXPECT_TRUE(validCallWorks(server.port()));
    EXPECT_EQ(server.rejectionsContaining(QStringLiteral("Servidor ocupado")), 2);
    // The holder gives up: its share comes back.
    holder.close();
    bool fits = false;
    for (int i = 0; i < 100 && !fits; ++i) {
        const QByteArray body = encodeCall(kObject, "echo", {Variant(QString(300000, u'x'))});
        fits = statusOf(rawExchange(server.port(), callHead({}, body.size()) + body)) == 200;
        if (!fits)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(fits);
}
