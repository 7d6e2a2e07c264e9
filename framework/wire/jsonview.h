#pragma once

// Readable JSON renderings of what crosses the wire, for debugging and logs.
// Not an exchange format: nothing parses these back.

#include "framework/wire/callcodec.h"
#include "framework/wire/packet.h"
#include "framework/wire/variant.h"

#include <string>

namespace krt {

// {"fields":[{"name":..,"type":..,"size":..}],"rows":[[...],...]}; date-times as
// "yyyy-MM-ddTHH:mm:ss.zzz" (wall clock), nulls as null.
std::string packetToJson(const Packet& packet, int indent = 2);

// Texts, numbers, booleans and null as themselves; arrays as JSON arrays;
// unassigned as {"unassigned":true}; date-times as {"datetime":".."};
// packets as {"packet":{...}}.
std::string variantToJson(const Variant& value, int indent = 2);

std::string callToJson(const Call& call, int indent = 2);
std::string replyToJson(const Reply& reply, int indent = 2);

// Recognizes a packet, call or reply by its signature and renders it; throws
// Error (Malformed) when the bytes are none of them or are malformed.
std::string wireBytesToJson(const QByteArray& bytes, int indent = 2);

} // namespace krt
