#pragma once

#include "framework/wire/packet.h"

#include <memory>
#include <string_view>

namespace krt {

// Builds a packet from its head and then its rows in blocks, as a streamed
// answer brings them: every block is validated as completely as
// Packet::decode validates a whole packet, and indexed at once, so that the
// rows are ready as soon as the last block arrives. The result is the same
// packet, byte for byte, as the unstreamed one.
class PacketAssembler
{
public:
    // `head`: a packet's bytes before its row count (magic, version, flags,
    // field definitions). Throws Error (Malformed) when they are malformed.
    explicit PacketAssembler(std::string_view head);
    ~PacketAssembler();
    PacketAssembler(const PacketAssembler&) = delete;
    PacketAssembler& operator=(const PacketAssembler&) = delete;

    // Appends `count` rows encoded in exactly `bytes`; throws Error (Malformed).
    void addRows(std::string_view bytes, quint32 count);
    // The same in two steps, so that a reader can put a block's bytes where
    // they stay instead of gathering them elsewhere first: room for `bytes`
    // more bytes at the packet's end (throws Error (Malformed) past the packet's
    // limit), to be filled by the caller, then the `count` rows written there
    // validated and indexed (throws Error, Malformed; the packet is then unusable).
    char* rowSpace(qsizetype bytes);
    void addWrittenRows(quint32 count);
    int rowCount() const;
    // The packet; the assembler is spent afterwards.
    Packet finish();

private:
    std::shared_ptr<Packet::Data> d_;
    qsizetype rowCountPos_ = 0;
    qsizetype written_ = -1; // where the bytes of rowSpace() start
};

} // namespace krt
