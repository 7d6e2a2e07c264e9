#include "framework/wire/callcodec.h"

#include "framework/wire/byteio.h"
#include "framework/wire/packetformat.h"
#include "framework/wire/utf8.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace krt {

using namespace krt::wire;

namespace {

constexpr char kCallMagic[4] = {'K', 'R', 'T', 'C'};
constexpr quint8 kCallVersion = 1;
constexpr quint8 kReplyOk = 0;
constexpr quint8 kReplyError = 1;
// An error with its code and the method its text names.
constexpr quint8 kReplyShapedError = 2;
// Arrays inside arrays: deep enough for any real call, shallow enough that a
// hostile body cannot exhaust the stack.
constexpr int kMaxDepth = 16;
constexpr quint32 kMaxNameBytes = 1024;
// What decoding may allocate. A value takes one byte on the wire (unassigned,
// null) but a whole Variant in memory, a text two bytes per UTF-16 unit, a
// packet its table (and, in a reply, its bytes again): every one is
// charged before it is allocated, so no body, however built, makes the
// decoder take more than its budget.
//
// A reply (which the client decodes) may take eight times its size. A call
// (which the server decodes, for anyone who can log in) may take no more than
// its own size and 4 MiB: its packets share the body's bytes instead of
// copying them, so the largest call costs the server at most twice its body.
constexpr qint64 kReplyMemoryFactor = 8;
constexpr qint64 kReplyMemorySlack = 64 * 1024;
constexpr qint64 kCallMemorySlack = 4 * 1024 * 1024;

class Budget
{
public:
    // `whole`, when given, is the buffer being decoded, which packets may share.
    static Budget forReply(qsizetype encodedBytes)
    {
        return Budget(kReplyMemoryFactor * encodedBytes + kReplyMemorySlack, nullptr);
    }
    static Budget forCall(const QByteArray& whole)
    {
        return Budget(whole.size() + kCallMemorySlack, &whole);
    }
    void charge(ByteReader& in, qint64 bytes)
    {
        if (bytes > left_)
            in.fail(QStringLiteral("os valores ocupariam em memória mais de %1 bytes, o limite "
                                   "para o tamanho recebido")
                        .arg(limit_));
        left_ -= bytes;
    }
    const QByteArray* shared() const { return whole_; }

private:
    Budget(qint64 limit, const QByteArray* whole) : limit_(limit), left_(limit), whole_(whole) {}
    qint64 limit_;
    qint64 left_;
    const QByteArray* whole_;
};

// UTF-16 units of valid UTF-8: one per character, two for a character
// outside the basic plane (a four-byte sequence).
qint64 utf16Units(std::string_view utf8, qsizetype codePoints)
{
    qint64 astral = 0;
    for (const char c : utf8)
        astral += (quint8(c) & 0xF8) == 0xF0;
    return codePoints + astral;
}

void appendText(QByteArray& out, const QString& text)
{
    const qsizetype lengthPos = out.size();
    appendLE<quint32>(out, 0);
    appendUtf8(out, text);
    const quint32 length = qToLittleEndian(quint32(out.size() - lengthPos - 4));
    std::memcpy(out.data() + lengthPos, &length, 4);
}

// With `pieces`, packet bodies are not copied into `out`: what `out` holds so
// far is moved to `pieces`, then the packet's own (shared) buffer follows, so a
// large answer can be sent without being copied twice.
void appendVariant(QByteArray& out, const Variant& value, int depth,
                   QList<QByteArray>* pieces = nullptr)
{
    if (depth > kMaxDepth)
        throw Error(ErrorCode::Malformed,
                    QStringLiteral("Vetores aninhados demais (mais de %1 níveis).").arg(kMaxDepth));
    appendLE<quint8>(out, quint8(value.kind()));
    switch (value.kind()) {
    case Variant::Kind::Unassigned:
    case Variant::Kind::Null:
        break;
    case Variant::Kind::Boolean:
        appendLE<quint8>(out, value.asBool() ? 1 : 0);
        break;
    case Variant::Kind::Integer:
        appendLE<qint64>(out, value.asInteger());
        break;
    case Variant::Kind::Float:
        appendDouble(out, value.asFloat());
        break;
    case Variant::Kind::Text:
        appendText(out, value.asString());
        break;
    case Variant::Kind::DateTime: {
        const std::optional<qint64> ms = wallClockMs(value.asDateTime());
        if (!ms)
            throw Error(ErrorCode::Malformed,
                        QStringLiteral("Data fora do intervalo aceito (anos 1 a 9999)."));
        appendLE<qint64>(out, *ms);
        break;
    }
    case Variant::Kind::Packet: {
        const Packet packet = value.asPacket();
        appendLE<quint32>(out, quint32(packet.size()));
        if (pieces) {
            pieces->append(std::exchange(out, QByteArray()));
            pieces->append(packet.pieces());
        } else {
            out.reserve(out.size() + packet.size());
            for (const QByteArray& piece : packet.pieces())
                out.append(piece);
        }
        break;
    }
    case Variant::Kind::Array: {
        const qsizetype n = value.size();
        appendLE<quint32>(out, quint32(n));
        for (qsizetype i = 0; i < n; ++i)
            appendVariant(out, value.at(i), depth + 1, pieces);
        break;
    }
    }
}

QString readText(ByteReader& in, quint32 maxBytes, const char* what, Budget* budget = nullptr)
{
    const quint32 length = in.read<quint32>();
    if (length > maxBytes)
        in.fail(
            QStringLiteral("%1 longo demais (%2 bytes)").arg(QString::fromUtf8(what)).arg(length));
    const std::string_view bytes = in.readBytes(qsizetype(length));
    const qsizetype codePoints = utf8CodePoints(bytes);
    if (codePoints < 0)
        in.fail(QStringLiteral("%1 não é UTF-8 válido").arg(QString::fromUtf8(what)));
    if (budget)
        budget->charge(in, 2 * utf16Units(bytes, codePoints));
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

Variant readVariant(ByteReader& in, int depth, Budget& budget)
{
    if (depth > kMaxDepth)
        in.fail(QStringLiteral("vetores aninhados demais (mais de %1 níveis)").arg(kMaxDepth));
    const quint8 kind = in.read<quint8>();
    switch (Variant::Kind(kind)) {
    case Variant::Kind::Unassigned:
        return Variant();
    case Variant::Kind::Null:
        return Variant::null();
    case Variant::Kind::Boolean: {
        const quint8 b = in.read<quint8>();
        if (b > 1)
            in.fail(QStringLiteral("lógico inválido (%1)").arg(b));
        return Variant(b == 1);
    }
    case Variant::Kind::Integer:
        return Variant(in.read<qint64>());
    case Variant::Kind::Float:
        return Variant(in.readDouble());
    case Variant::Kind::Text:
        return Variant(readText(in, quint32(in.remaining()), "texto", &budget));
    case Variant::Kind::DateTime: {
        const std::optional<QDateTime> dt = fromWallClockMs(in.read<qint64>());
        if (!dt)
            in.fail(QStringLiteral("data fora do intervalo"));
        return Variant(*dt);
    }
    case Variant::Kind::Packet: {
        const quint32 length = in.read<quint32>();
        const std::string_view bytes = in.readBytes(qsizetype(length));
        // A malformed head fails here as the decoding itself would.
        const qint64 table = Packet::tableBytes(bytes);
        if (const QByteArray* whole = budget.shared()) {
            budget.charge(in, table);
            return Variant(
                Packet::decodeShared(*whole, in.pos() - qsizetype(length), qsizetype(length)));
        }
        budget.charge(in, qint64(length) + table);
        return Variant(Packet::decode(QByteArray(bytes.data(), qsizetype(bytes.size()))));
    }
    case Variant::Kind::Array: {
        const quint32 count = in.read<quint32>();
        // Every element takes at least its kind byte.
        if (qsizetype(count) > in.remaining())
            in.fail(QStringLiteral("vetor de %1 elementos não cabe em %2 bytes")
                        .arg(count)
                        .arg(in.remaining()));
        budget.charge(in, qint64(count) * qint64(sizeof(Variant)));
        QList<Variant> items;
        items.reserve(qsizetype(count));
        for (quint32 i = 0; i < count; ++i)
            items.append(readVariant(in, depth + 1, budget));
        return Variant(items);
    }
    }
    in.fail(QStringLiteral("tipo de valor desconhecido (%1)").arg(kind));
}

void readHeader(ByteReader& in, const char (&magic)[4])
{
    in.need(5);
    if (std::memcmp(in.data(), magic, 4) != 0)
        in.fail(QStringLiteral("assinatura inválida"));
    in.skip(4);
    const quint8 version = in.read<quint8>();
    if (version != kCallVersion)
        in.fail(
            QStringLiteral("versão %1 não suportada (esperada %2)").arg(version).arg(kCallVersion));
}

void expectEnd(ByteReader& in)
{
    if (!in.atEnd())
        in.fail(QStringLiteral("%1 bytes sobrando no fim").arg(in.remaining()));
}

} // namespace

QByteArray encodeVariant(const Variant& value)
{
    QByteArray out;
    appendVariant(out, value, 0);
    return out;
}

Variant decodeVariant(const QByteArray& bytes)
{
    ByteReader in(bytes.constData(), bytes.size(), "valor");
    Budget budget = Budget::forReply(bytes.size());
    Variant v = readVariant(in, 0, budget);
    expectEnd(in);
    return v;
}

QByteArray encodeCall(const QString& object, const QString& method, const QList<Variant>& args)
{
    QByteArray out;
    out.append(kCallMagic, 4);
    appendLE<quint8>(out, kCallVersion);
    appendText(out, object);
    appendText(out, method);
    appendLE<quint32>(out, quint32(args.size()));
    for (const Variant& arg : args)
        appendVariant(out, arg, 1);
    return out;
}

Call decodeCall(const QByteArray& bytes, const CallHeadCheck& check)
{
    ByteReader in(bytes.constData(), bytes.size(), "chamada");
    readHeader(in, kCallMagic);
    Call call;
    call.object = readText(in, kMaxNameBytes, "nome do objeto");
    call.method = readText(in, kMaxNameBytes, "nome do método");
    const quint32 count = in.read<quint32>();
    if (qsizetype(count) > in.remaining())
        in.fail(
            QStringLiteral("%1 argumentos não cabem em %2 bytes").arg(count).arg(in.remaining()));
    // Who is called and with how many arguments is settled before a single
    // argument is decoded.
    if (check)
        check(call.object, call.method, count);
    Budget budget = Budget::forCall(bytes);
    budget.charge(in, qint64(count) * qint64(sizeof(Variant)));
    call.args.reserve(qsizetype(count));
    for (quint32 i = 0; i < count; ++i)
        call.args.append(readVariant(in, 1, budget));
    expectEnd(in);
    return call;
}

QByteArray encodeReply(const Variant& result)
{
    QByteArray out;
    out.append(kReplyMagic, 4);
    appendLE<quint8>(out, kCallVersion);
    appendLE<quint8>(out, kReplyOk);
    appendVariant(out, result, 0);
    return out;
}

QList<QByteArray> encodeReplyPieces(const Variant& result)
{
    QList<QByteArray> pieces;
    QByteArray out;
    out.append(kReplyMagic, 4);
    appendLE<quint8>(out, kCallVersion);
    appendLE<quint8>(out, kReplyOk);
    appendVariant(out, result, 0, &pieces);
    if (!out.isEmpty())
        pieces.append(out);
    return pieces;
}

QByteArray encodeErrorReply(const QString& text)
{
    return encodeErrorReply(ErrorCode::Unspecified, QString(), text);
}

QByteArray encodeErrorReply(ErrorCode code, const QString& method, const QString& text)
{
    QByteArray out;
    out.append(kReplyMagic, 4);
    appendLE<quint8>(out, kCallVersion);
    // An error without code or method keeps the text-only form, so that
    // every reply has exactly one encoding.
    if (code == ErrorCode::Unspecified && method.isEmpty()) {
        appendLE<quint8>(out, kReplyError);
    } else {
        appendLE<quint8>(out, kReplyShapedError);
        appendLE<quint16>(out, quint16(code));
        appendText(out, method);
    }
    appendText(out, text);
    return out;
}

ErrorCode replyCode(const Error& error)
{
    if (error.code() == ErrorCode::Malformed)
        return ErrorCode::BadRequest;
    if (quint16(error.code()) >= quint16(ErrorCode::Transport))
        return ErrorCode::ServerFailure;
    return error.code();
}

QString replyText(const Error& error)
{
    if (error.method().isEmpty() || !isMethodFailure(error.code()))
        return error.text();
    return QStringLiteral("Erro no método %1: %2").arg(error.method(), error.text());
}

QByteArray encodeErrorReply(const Error& error)
{
    return encodeErrorReply(replyCode(error), error.method(), replyText(error));
}

Reply decodeReplyFull(const QByteArray& bytes)
{
    ByteReader in(bytes.constData(), bytes.size(), "resposta");
    readHeader(in, kReplyMagic);
    Reply reply;
    const quint8 status = in.read<quint8>();
    if (status == kReplyOk) {
        Budget budget = Budget::forReply(bytes.size());
        reply.result = readVariant(in, 0, budget);
    } else if (status == kReplyError || status == kReplyShapedError) {
        reply.isError = true;
        if (status == kReplyShapedError) {
            // Codes this side does not know yet are kept as they are.
            reply.errorCode = ErrorCode(in.read<quint16>());
            reply.errorMethod = readText(in, kMaxNameBytes, "método do erro");
            if (reply.errorCode == ErrorCode::Unspecified && reply.errorMethod.isEmpty())
                in.fail(QStringLiteral("erro sem código nem método na forma estruturada"));
        }
        reply.errorText = readText(in, quint32(in.remaining()), "texto do erro");
    } else {
        in.fail(QStringLiteral("situação desconhecida (%1)").arg(status));
    }
    expectEnd(in);
    return reply;
}

Variant decodeReply(const QByteArray& bytes)
{
    Reply reply = decodeReplyFull(bytes);
    if (reply.isError)
        throw Error(reply.errorCode, reply.errorText, reply.errorMethod);
    return reply.result;
}

} // namespace krt
