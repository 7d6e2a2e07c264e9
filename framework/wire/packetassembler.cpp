#include "framework/wire/packetassembler.h"

#include "framework/wire/byteio.h"
#include "framework/wire/packetformat.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace krt {

using namespace krt::wire;

namespace {

// The rows go into pieces of at least this size, each an eighth of what came
// before it (up to the largest), so that a list takes few pieces (about 30 for
// 20 MB), no piece is ever copied to grow, and what is reserved beyond the
// rows received is at most an eighth of them: the packet ends up holding its
// bytes and no more.
constexpr qsizetype kFirstPieceBytes = 256 * 1024;
constexpr qsizetype kLargestPieceBytes = 64 * 1024 * 1024;

} // namespace

PacketAssembler::PacketAssembler(std::string_view head) : d_(std::make_shared<Packet::Data>())
{
    ByteReader in(head.data(), qsizetype(head.size()), "pacote de dados");
    d_->setFields(readPacketHead(in, head.data()));
    if (!in.atEnd())
        in.fail(QStringLiteral("%1 bytes sobrando após os campos").arg(in.remaining()));
    d_->buffer.reserve(qsizetype(head.size()) + 4);
    d_->buffer.append(head.data(), qsizetype(head.size()));
    rowCountPos_ = d_->buffer.size();
    appendLE<quint32>(d_->buffer, 0);
}

PacketAssembler::~PacketAssembler() = default;

void PacketAssembler::addRows(std::string_view bytes, quint32 count)
{
    char* at = rowSpace(qsizetype(bytes.size()));
    std::memcpy(at, bytes.data(), bytes.size());
    addWrittenRows(count);
}

char* PacketAssembler::rowSpace(qsizetype bytes)
{
    Packet::Data& d = *d_;
    const qsizetype size = d.size();
    if (size + bytes > kMaxPacketBytes)
        throw Error(ErrorCode::Malformed,
                    QStringLiteral("pacote de dados malformado: maior que o limite de %1 bytes.")
                        .arg(kMaxPacketBytes));
    if (d.pieces.empty() ||
        d.pieces.back().bytes.capacity() - d.pieces.back().bytes.size() < bytes) {
        // A piece is never grown: a full one gives back its unused end (in
        // place: shrinking never moves it) and the rows go on in a new one.
        if (!d.pieces.empty())
            d.pieces.back().bytes.squeeze();
        QByteArray piece;
        piece.reserve(std::max(bytes, std::clamp(size / 8, kFirstPieceBytes, kLargestPieceBytes)));
        d.pieces.push_back({quint32(size), std::move(piece)});
    }
    QByteArray& piece = d.pieces.back().bytes;
    written_ = piece.size();
    piece.resize(written_ + bytes);
    return piece.data() + written_;
}

void PacketAssembler::addWrittenRows(quint32 count)
{
    Packet::Data& d = *d_;
    Q_ASSERT(written_ >= 0);
    const Packet::Data::Piece& piece = d.pieces.back();
    const qsizetype start = written_;
    written_ = -1;
    const qsizetype size = piece.bytes.size() - start;
    ByteReader in(piece.bytes.constData() + start, size, "pacote de dados");
    if (d.fields.isEmpty() && count != 0)
        in.fail(QStringLiteral("linhas sem campos"));
    // Each row takes at least its bitmap: a count that cannot fit is refused
    // before anything is indexed.
    if (d.bitmapBytes > 0 && qsizetype(count) > size / d.bitmapBytes)
        in.fail(QStringLiteral("%1 linhas não cabem em %2 bytes").arg(count).arg(size));
    if (qint64(d.rows) + count > std::numeric_limits<int>::max())
        in.fail(QStringLiteral("linhas demais"));
    readRows(d, in, count, piece.start + quint32(start));
    if (!in.atEnd())
        in.fail(
            QStringLiteral("%1 bytes sobrando após a linha %2").arg(in.remaining()).arg(d.rows));
}

int PacketAssembler::rowCount() const
{
    return d_->rows;
}

Packet PacketAssembler::finish()
{
    Packet::Data& d = *d_;
    const quint32 rows = qToLittleEndian(quint32(d.rows));
    std::memcpy(d.buffer.data() + rowCountPos_, &rows, 4);
    // The last piece gives back its unused end; the table grew by doubling
    // while the rows arrived and keeps only what it holds (a few bytes a row).
    if (!d.pieces.empty())
        d.pieces.back().bytes.squeeze();
    d.marks.shrink_to_fit();
    return Packet(std::move(d_));
}

} // namespace krt
