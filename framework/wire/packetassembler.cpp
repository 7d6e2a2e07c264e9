#include "framework/wire/packetassembler.h"

#include "framework/wire/byteio.h"
#include "framework/wire/packetformat.h"

#include <cstring>
#include <limits>

namespace krt {

using namespace krt::wire;

PacketAssembler::PacketAssembler(std::string_view head) : d_(std::make_shared<Packet::Data>())
{
    ByteReader in(head.data(), qsizetype(head.size()), "pacote de dados");
    d_->fields = readPacketHead(in, head.data());
    if (!in.atEnd())
        in.fail(QStringLiteral("%1 bytes sobrando após os campos").arg(in.remaining()));
    d_->buffer.append(head.data(), qsizetype(head.size()));
    rowCountPos_ = d_->buffer.size();
    appendLE<quint32>(d_->buffer, 0);
    d_->rowValues.clear();
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
    if (d.buffer.size() + bytes > kMaxPacketBytes)
        throw Error(ErrorCode::Malformed,
                    QStringLiteral("pacote de dados malformado: maior que o limite de %1 bytes.")
                        .arg(kMaxPacketBytes));
    written_ = d.buffer.size();
    d.buffer.resize(written_ + bytes);
    return d.buffer.data() + written_;
}

void PacketAssembler::addWrittenRows(quint32 count)
{
    Packet::Data& d = *d_;
    Q_ASSERT(written_ >= 0);
    const qsizetype start = written_;
    written_ = -1;
    const qsizetype size = d.buffer.size() - start;
    ByteReader in(d.buffer.constData(), d.buffer.size(), "pacote de dados");
    in.skip(start);
    const qsizetype bitmapBytes = (d.fields.size() + 7) / 8;
    if (d.fields.isEmpty() && count != 0)
        in.fail(QStringLiteral("linhas sem campos"));
    // Each row takes at least its bitmap: a count that cannot fit is refused
    // before anything is indexed.
    if (bitmapBytes > 0 && qsizetype(count) > size / bitmapBytes)
        in.fail(QStringLiteral("%1 linhas não cabem em %2 bytes").arg(count).arg(size));
    if (qint64(d.rowValues.size()) + count > std::numeric_limits<int>::max())
        in.fail(QStringLiteral("linhas demais"));
    readRows(d, in, count);
    if (!in.atEnd())
        in.fail(QStringLiteral("%1 bytes sobrando após a linha %2")
                    .arg(in.remaining())
                    .arg(d.rowValues.size()));
}

int PacketAssembler::rowCount() const
{
    return int(d_->rowValues.size());
}

Packet PacketAssembler::finish()
{
    Packet::Data& d = *d_;
    d.rows = int(d.rowValues.size());
    const quint32 rows = qToLittleEndian(quint32(d.rows));
    std::memcpy(d.buffer.data() + rowCountPos_, &rows, 4);
    d.rowValues.push_back(quint32(d.values.size()));
    // The buffer and the tables grew by doubling while the rows arrived: the
    // packet keeps only what it holds (a list of 100 000 rows would otherwise
    // keep up to twice its size for as long as the screen shows it).
    d.buffer.squeeze();
    d.values.shrink_to_fit();
    d.rowValues.shrink_to_fit();
    return Packet(std::move(d_));
}

} // namespace krt
