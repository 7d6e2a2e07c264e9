#pragma once

#include "framework/wire/packet.h"

namespace krt::bench {

// Rows [first, first + count) of `packet`, every field copied: the list a
// clerk would send back for a cancellation of just those rows.
Packet packetRows(const Packet& packet, int first, int count);

} // namespace krt::bench
