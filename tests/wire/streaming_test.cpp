// Lists streamed while they are produced: a long list arrives whole and equal
// to the unstreamed one, a failure in the middle reaches the client as an
// error (never as a short list), older clients still get the whole form, and
// a slow reader holds no worker: its answer waits in its connection's queue,
// and a client that takes less than the minimum rate is cut off.
#include "appserver/http/httpcallserver.h"
#include "framework/wire/callcodec.h"
#include "framework/wire/packetassembler.h"
#include "framework/wire/streamedreply.h"
#include "rawhttp.h"

#include <QtEndian>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace krt;

namespace {

const QString kObject = QStringLiteral("Test.Lista");
const QList<FieldDef> kFields{{"CHAVE", FieldType::String, 20},
                              {"VALOR", FieldType::Float, 0},
                              {"DIA", FieldType::DateTime, 0},
                              {"NOME", FieldType::String, 30}};

// Writes `rows` rows into `w`, a null name every seventh row.
void fill(PacketWriter& w, int rows)
{
    for (int i = 0; i < rows; ++i) {
        w.addText(QStringLiteral("%1").arg(i, 14, 10, QLatin1Char('0')));
        w.addNumber(i * 1.5);
        w.addDateTimeMs(qint64(i % 400) * 86400000);
        if (i % 7 == 0)
            w.addNull();
        else
            w.addText(QStringLiteral("Ação nº %1").arg(i));
    }
}

Packet whole(int rows)
{
    PacketWriter w(kFields);
    fill(w, rows);
    return w.finish();
}

ServerLimits quickLimits()
{
    ServerLimits limits;
    limits.writeTimeoutMs = 3000;
    return limits;
}

// A server whose "lista" streams `rows` rows in chunks of `chunkBytes` to a
// client that reads streamed answers, and then runs `after` (which may write
// the end or a failure, or throw). Other clients get the whole packet. "eco"
// answers true at once.
class ListServer
{
public:
    using After = std::function<void(ReplyStream&)>;

    ListServer(int rows, qsizetype chunkBytes, After after,
               const ServerLimits& limits = quickLimits(), int threads = 8)
        : server_("127.0.0.1", 0, 1 << 20,
                  [](const QString&, const QString&, const QList<Variant>&, const CallContext&) {
                      return Variant();
                  })
    {
        server_.setLimits(limits);
        server_.setThreadCount(threads);
        server_.setStreamingHandler([=, this](const Call& call, const CallContext& context,
                                              ReplyStream& out) -> std::optional<Variant> {
            if (call.method == QLatin1String("eco"))
                return Variant(true);
            if (!context.streamedReplies)
                return Variant(whole(rows));
            PacketWriter w(kFields);
            w.streamTo(
                [&](std::string_view head, std::string_view block, int count) {
                    QByteArray piece = head.empty() ? QByteArray() : streamedReplyHead(head);
                    if (count > 0)
                        piece += streamedRowBlock(block, count);
                    ++chunks;
                    handed += block.size();
                    out.write(piece);
                },
                chunkBytes);
            try {
                fill(w, rows);
                w.finish();
            } catch (const Error&) {
                gaveUp = true;
                throw;
            }
            after(out);
            return std::nullopt;
        });
        server_.start();
    }
    quint16 port() const { return server_.port(); }

    std::atomic<int> chunks{0};
    std::atomic<qint64> handed{0};
    std::atomic<bool> gaveUp{false};

private:
    HttpCallServer server_;
};

void end(ReplyStream& out)
{
    out.write(streamedReplyEnd());
}

QString callError(quint16 port, krt::ErrorCode* code = nullptr)
{
    HttpCallClient client("127.0.0.1", port, 20000);
    try {
        client.call(kObject, "lista", {});
    } catch (const Error& e) {
        if (code)
            *code = e.code();
        return e.text();
    }
    return QStringLiteral("<sem erro>");
}

} // namespace

TEST(StreamedList, ALongListArrivesWholeAndEqualToTheUnstreamedOne)
{
    ListServer server(20000, 16 * 1024, end);
    HttpCallClient client("127.0.0.1", server.port(), 20000);
    const Packet received = client.call(kObject, "lista", {}).asPacket();
    EXPECT_GT(server.chunks.load(), 10);
    EXPECT_EQ(received, whole(20000));
    EXPECT_EQ(received.rowCount(), 20000);
    EXPECT_TRUE(received.isNull(7, 3));
    EXPECT_EQ(received.textQ(8, 3), QStringLiteral("Ação nº 8"));

    // A list without rows, and the connection kept for the next call.
    ListServer empty(0, 1024, end);
    HttpCallClient other("127.0.0.1", empty.port(), 20000);
    EXPECT_EQ(other.call(kObject, "lista", {}).asPacket(), whole(0));
    EXPECT_EQ(other.call(kObject, "lista", {}).asPacket(), whole(0));

    // A client that does not ask for the streamed form gets the whole reply.
    const QByteArray body = encodeCall(kObject, "lista", {});
    const QByteArray answer = rawExchange(
        server.port(), "POST /call/Test.Lista/lista HTTP/1.1\r\nHost: x\r\nContent-Type: "
                       "application/x-krt-call\r\nConnection: close\r\nContent-Length: " +
                           QByteArray::number(body.size()) + "\r\n\r\n" + body);
    EXPECT_EQ(statusOf(answer), 200);
    EXPECT_EQ(decodeReply(bodyOf(answer)).asPacket(), whole(20000));
}

TEST(StreamedList, TheReaderTakesBothFormsInAnyPiecesAndRefusesACutList)
{
    // The whole (version 1) form, fed a few bytes at a time.
    const Packet expected = whole(500);
    const QByteArray v1 = encodeReply(Variant(expected));
    ReplyReader one;
    for (qsizetype at = 0; at < v1.size(); at += 7)
        one.feed(v1.constData() + at, qMin<qsizetype>(7, v1.size() - at));
    EXPECT_EQ(one.finish().result.asPacket(), expected);

    // The streamed form: head, blocks, end.
    QByteArray v2;
    PacketWriter w(kFields);
    w.streamTo(
        [&](std::string_view head, std::string_view block, int count) {
            if (!head.empty())
                v2 += streamedReplyHead(head);
            if (count > 0)
                v2 += streamedRowBlock(block, count);
        },
        2000);
    fill(w, 500);
    w.finish();
    v2 += streamedReplyEnd();
    ReplyReader two;
    for (qsizetype at = 0; at < v2.size(); at += 13)
        two.feed(v2.constData() + at, qMin<qsizetype>(13, v2.size() - at));
    EXPECT_EQ(two.finish().result.asPacket(), expected);

    // Cut anywhere before its end, it is an error, never a shorter list.
    for (const qsizetype cut : {qsizetype(3), qsizetype(40), v2.size() / 2, v2.size() - 1}) {
        ReplyReader reader;
        reader.feed(v2.constData(), cut);
        EXPECT_THROW(reader.finish(), Error) << cut;
    }
    // A block whose rows do not match its count is refused as it arrives.
    const auto headSize = qFromLittleEndian<quint32>(v2.constData() + 6);
    PacketAssembler assembler(std::string_view(v2.constData() + 10, headSize));
    EXPECT_THROW(assembler.addRows(std::string_view("\x00\x01", 2), 2), Error);
}

TEST(StreamedList, AServerFailingMidwayGivesTheClientAnErrorNotAShortList)
{
    // The server reports its failure, with its code, at the end of the stream.
    ListServer reported(20000, 16 * 1024, [](ReplyStream& out) {
        out.write(streamedReplyFailure(krt::ErrorCode::DatabaseFailure, QStringLiteral("lista"),
                                       QStringLiteral("Erro no método lista: o banco caiu.")));
    });
    krt::ErrorCode code = krt::ErrorCode::Unspecified;
    EXPECT_EQ(callError(reported.port(), &code),
              QStringLiteral("Erro no método lista: o banco caiu."));
    EXPECT_EQ(code, krt::ErrorCode::DatabaseFailure);

    // The server fails without a word after some rows: the connection is cut.
    // For the client that is a broken connection, told as such.
    ListServer cut(20000, 16 * 1024, [](ReplyStream&) { throw std::runtime_error("falhou"); });
    const QString text = callError(cut.port(), &code);
    EXPECT_EQ(text, QStringLiteral("A comunicação com o servidor de aplicação foi interrompida. "
                                   "Tente novamente em instantes; se o problema persistir, chame "
                                   "o suporte técnico."));
    EXPECT_EQ(code, krt::ErrorCode::Transport);
    EXPECT_GT(cut.chunks.load(), 1);
}

// Asks for the list as a streamed answer and reads only the answer's head.
RawConnection askAndStopReading(quint16 port)
{
    RawConnection raw(port);
    const QByteArray body = encodeCall(kObject, "lista", {});
    raw.send("POST /call/Test.Lista/lista HTTP/1.1\r\nHost: x\r\nContent-Type: "
             "application/x-krt-call\r\nX-Krt-Reply: 2\r\nContent-Length: " +
             QByteArray::number(body.size()) + "\r\n\r\n" + body);
    EXPECT_TRUE(raw.readUntil("\r\n\r\n", 5000).startsWith("HTTP/1.1 200"));
    return raw;
}

bool ecoWorks(quint16 port, int timeoutMs = 10000)
{
    HttpCallClient client("127.0.0.1", port, timeoutMs);
    try {
        return client.call(kObject, "eco", {}).asBool();
    } catch (const Error&) {
        return false;
    }
}

TEST(StreamedList, ASlowReaderHoldsNoWorker)
{
    // One worker, and a list of about 30 MB (more than the sockets hold) for
    // a client that does not read: the list waits in the connection's queue
    // and the worker serves the next caller.
    ServerLimits limits;
    limits.writeTimeoutMs = 60000;
    ListServer server(600000, 128 * 1024, end, limits, 1);
    RawConnection slow = askAndStopReading(server.port());
    // Making the list takes the worker a while (long under the thread
    // sanitizer on a busy machine); a worker held by the slow reader would
    // answer only after the 60 s write time-out.
    EXPECT_TRUE(ecoWorks(server.port(), 40000));
    // The slow reader then gets its whole answer.
    const QByteArray rest = slow.readUntil("\r\n0\r\n\r\n", 40000);
    EXPECT_TRUE(rest.endsWith("\r\n0\r\n\r\n"));
    EXPECT_GT(rest.size(), server.handed.load() / 2);
}

TEST(StreamedList, AClientTakingLessThanTheMinimumRateIsCutOffAndFreesItsWorker)
{
    // About 2 GB of rows if the server went on regardless; a queue of 1 MiB
    // per connection, and at least 256 KiB/s asked of the client.
    ServerLimits limits;
    limits.writeTimeoutMs = 60000;
    limits.replyBufferBytes = 1 << 20;
    limits.minReplyBytesPerSecond = 256 * 1024;
    ListServer server(20000000, 64 * 1024, end, limits, 1);
    RawConnection raw = askAndStopReading(server.port());
    // The worker gives up on the client long before the write time-out...
    for (int i = 0; i < 200 && !server.gaveUp.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(server.gaveUp.load());
    // ...having produced what the sockets and the queue hold, not the list.
    EXPECT_LT(server.handed.load(), 64LL * 1024 * 1024);
    EXPECT_TRUE(raw.closedByPeer(5000));
    EXPECT_TRUE(ecoWorks(server.port()));
}
