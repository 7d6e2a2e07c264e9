#include "framework/wire/streamedreply.h"

#include "framework/wire/byteio.h"
#include "framework/wire/callcodec.h"
#include "framework/wire/packetassembler.h"
#include "framework/wire/packetformat.h"

#include <cstring>
#include <optional>

namespace krt {

using namespace krt::wire;

namespace {

constexpr quint8 kStreamVersion = 2;
constexpr quint8 kStreamedPacket = 2;
constexpr quint8 kEndWhole = 0;
constexpr quint8 kEndFailed = 1;
// Failed, with the error's code and the method its text names.
constexpr quint8 kEndFailedShaped = 2;
constexpr quint32 kMaxMethodBytes = 1024;
// Bounds a reader accepts, so that a broken stream cannot make it allocate
// much before it is found out.
constexpr quint32 kMaxHeadBytes = 64 * 1024 * 260; // 65535 fields with long names
constexpr quint32 kMaxBlockBytes = 64 * 1024 * 1024;
constexpr quint32 kMaxErrorBytes = 1024 * 1024;

} // namespace

QByteArray streamedReplyHead(std::string_view packetHead)
{
    QByteArray out;
    out.reserve(qsizetype(packetHead.size()) + 10);
    out.append(kReplyMagic, 4);
    appendLE<quint8>(out, kStreamVersion);
    appendLE<quint8>(out, kStreamedPacket);
    appendLE<quint32>(out, quint32(packetHead.size()));
    appendRaw(out, packetHead.data(), qsizetype(packetHead.size()));
    return out;
}

QByteArray streamedRowBlock(std::string_view rows, int count)
{
    QByteArray out;
    out.reserve(qsizetype(rows.size()) + 8);
    appendLE<quint32>(out, quint32(count));
    appendLE<quint32>(out, quint32(rows.size()));
    appendRaw(out, rows.data(), qsizetype(rows.size()));
    return out;
}

QByteArray streamedReplyEnd()
{
    QByteArray out;
    appendLE<quint32>(out, 0);
    appendLE<quint8>(out, kEndWhole);
    return out;
}

QByteArray streamedReplyFailure(const QString& text)
{
    return streamedReplyFailure(ErrorCode::Unspecified, QString(), text);
}

QByteArray streamedReplyFailure(const Error& error)
{
    return streamedReplyFailure(replyCode(error), error.method(), replyText(error));
}

QByteArray streamedReplyFailure(ErrorCode code, const QString& method, const QString& text)
{
    const QByteArray utf8 = text.toUtf8().left(kMaxErrorBytes);
    QByteArray out;
    appendLE<quint32>(out, 0);
    if (code == ErrorCode::Unspecified && method.isEmpty()) {
        appendLE<quint8>(out, kEndFailed);
    } else {
        const QByteArray name = method.toUtf8().left(kMaxMethodBytes);
        appendLE<quint8>(out, kEndFailedShaped);
        appendLE<quint16>(out, quint16(code));
        appendLE<quint32>(out, quint32(name.size()));
        out.append(name);
    }
    appendLE<quint32>(out, quint32(utf8.size()));
    out.append(utf8);
    return out;
}

struct ReplyReader::State
{
    enum class Step
    {
        Start,        // the first six bytes: magic, version, status
        Whole,        // a version 1 reply: kept until the end
        HeadLength,   // u32
        Head,         // the packet's head
        BlockCount,   // u32 rows, 0 ends the list
        BlockLength,  // u32
        Block,        // the rows, written straight into the packet
        Outcome,      // u8
        FailureCode,  // u16
        MethodLength, // u32
        MethodText,
        ErrorLength, // u32
        ErrorText,
        Done
    };
    Step step = Step::Start;
    qsizetype need = 6;
    // The bytes of the current step, `filled` of `need` in: a framing
    // step's in `pending`, a block's rows straight in the packet.
    QByteArray pending;
    qsizetype filled = 0;
    QByteArray whole;
    qsizetype wholeSpace = 0; // where the room space() gave starts
    std::optional<PacketAssembler> packet;
    quint32 blockRows = 0;
    char* blockAt = nullptr;
    std::optional<QString> failure;
    ErrorCode failureCode = ErrorCode::Unspecified;
    QString failureMethod;
    qint64 received = 0;

    [[noreturn]] void fail(const QString& detail) const
    {
        throw Error(ErrorCode::Malformed, QStringLiteral("resposta malformada: %1.").arg(detail));
    }

    quint32 u32() const { return loadLE<quint32>(pending.constData()); }

    char* target() { return step == Step::Block ? blockAt : pending.data(); }

    void took(qsizetype size)
    {
        filled += size;
        received += size;
        if (filled == need)
            advance();
    }

    // Moves on with the complete bytes of the current step in `pending`.
    void advance()
    {
        switch (step) {
        case Step::Start:
            if (quint8(pending[4]) == kStreamVersion &&
                std::memcmp(pending.constData(), kReplyMagic, 4) == 0) {
                if (quint8(pending[5]) != kStreamedPacket)
                    fail(QStringLiteral("situação desconhecida (%1)").arg(quint8(pending[5])));
                go(Step::HeadLength, 4);
            } else {
                whole = pending;
                step = Step::Whole;
            }
            return;
        case Step::HeadLength:
            if (u32() > kMaxHeadBytes)
                fail(QStringLiteral("cabeçalho da lista com %1 bytes").arg(u32()));
            go(Step::Head, u32());
            return;
        case Step::Head:
            packet.emplace(std::string_view(pending.constData(), size_t(pending.size())));
            go(Step::BlockCount, 4);
            return;
        case Step::BlockCount:
            blockRows = u32();
            if (blockRows == 0)
                go(Step::Outcome, 1);
            else
                go(Step::BlockLength, 4);
            return;
        case Step::BlockLength:
            if (u32() > kMaxBlockBytes)
                fail(QStringLiteral("bloco de linhas com %1 bytes").arg(u32()));
            // The rows go once, into the packet that keeps them.
            blockAt = packet->rowSpace(u32());
            go(Step::Block, u32());
            return;
        case Step::Block:
            packet->addWrittenRows(blockRows);
            go(Step::BlockCount, 4);
            return;
        case Step::Outcome:
            if (quint8(pending[0]) == kEndWhole)
                go(Step::Done, 0);
            else if (quint8(pending[0]) == kEndFailed)
                go(Step::ErrorLength, 4);
            else if (quint8(pending[0]) == kEndFailedShaped)
                go(Step::FailureCode, 2);
            else
                fail(QStringLiteral("fim de lista desconhecido (%1)").arg(quint8(pending[0])));
            return;
        case Step::FailureCode:
            failureCode = ErrorCode(loadLE<quint16>(pending.constData()));
            go(Step::MethodLength, 4);
            return;
        case Step::MethodLength:
            if (u32() > kMaxMethodBytes)
                fail(QStringLiteral("método do erro com %1 bytes").arg(u32()));
            go(Step::MethodText, u32());
            return;
        case Step::MethodText:
            failureMethod = QString::fromUtf8(pending);
            if (failureCode == ErrorCode::Unspecified && failureMethod.isEmpty())
                fail(QStringLiteral("erro sem código nem método na forma estruturada"));
            go(Step::ErrorLength, 4);
            return;
        case Step::ErrorLength:
            if (u32() > kMaxErrorBytes)
                fail(QStringLiteral("texto do erro com %1 bytes").arg(u32()));
            go(Step::ErrorText, u32());
            return;
        case Step::ErrorText:
            failure = QString::fromUtf8(pending);
            go(Step::Done, 0);
            return;
        case Step::Whole:
        case Step::Done:
            return;
        }
    }

    void go(Step next, qsizetype bytes)
    {
        step = next;
        need = bytes;
        filled = 0;
        // A block's rows go straight into the packet.
        pending.resize(next == Step::Block ? 0 : need);
        if (need == 0 && step != Step::Done)
            advance();
    }
};

ReplyReader::ReplyReader() : s_(std::make_unique<State>())
{
    s_->pending.resize(s_->need);
}

ReplyReader::~ReplyReader() = default;

void ReplyReader::feed(const char* data, qsizetype size)
{
    State& s = *s_;
    while (size > 0) {
        if (s.step == State::Step::Whole) {
            s.whole.append(data, size);
            s.received += size;
            return;
        }
        if (s.step == State::Step::Done)
            s.fail(QStringLiteral("%1 bytes depois do fim da lista").arg(size));
        const qsizetype take = qMin(size, s.need - s.filled);
        std::memcpy(s.target() + s.filled, data, size_t(take));
        data += take;
        size -= take;
        s.took(take);
    }
}

std::span<char> ReplyReader::space(qint64 expected)
{
    State& s = *s_;
    if (s.step == State::Step::Done)
        return {};
    if (s.step == State::Step::Whole) {
        // Kept whole until the end: in one buffer of the body's size when it
        // is known, else in one that grows.
        constexpr qsizetype kLeast = 64 * 1024;
        const qsizetype size = s.whole.size();
        if (expected > size)
            s.whole.reserve(qsizetype(expected));
        else if (s.whole.capacity() - size < kLeast)
            s.whole.reserve(qMax(2 * size, size + kLeast));
        const qsizetype room = qMax(s.whole.capacity() - size, kLeast);
        s.wholeSpace = size;
        s.whole.resize(size + room);
        return {s.whole.data() + size, size_t(room)};
    }
    return {s.target() + s.filled, size_t(s.need - s.filled)};
}

void ReplyReader::wrote(qsizetype size)
{
    State& s = *s_;
    if (s.step == State::Step::Whole) {
        s.whole.resize(s.wholeSpace + size);
        s.received += size;
        return;
    }
    Q_ASSERT(size <= s.need - s.filled);
    s.took(size);
}

Reply ReplyReader::finish()
{
    State& s = *s_;
    if (s.step == State::Step::Whole)
        return decodeReplyFull(s.whole);
    if (s.step == State::Step::Start)
        return decodeReplyFull(s.pending.left(s.filled));
    if (s.step != State::Step::Done)
        s.fail(QStringLiteral("a lista foi interrompida depois de %1 linhas (%2 bytes recebidos); "
                              "nada dela foi aceito")
                   .arg(s.packet ? s.packet->rowCount() : 0)
                   .arg(s.received));
    Reply reply;
    if (s.failure) {
        reply.isError = true;
        reply.errorCode = s.failureCode;
        reply.errorMethod = s.failureMethod;
        reply.errorText = *s.failure;
        return reply;
    }
    reply.result = Variant(s.packet->finish());
    return reply;
}

} // namespace krt
