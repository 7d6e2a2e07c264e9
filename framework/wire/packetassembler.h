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
    int rowCount() const;
    // The packet; the assembler is spent afterwards.
    Packet finish();

private:
    std::shared_ptr<Packet::Data> d_;
    qsizetype rowCountPos_ = 0;
};

} // namespace krt
