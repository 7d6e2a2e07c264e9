#pragma once

#include "framework/wire/variant.h"

namespace krt {
// A text result that starts with this marker is the server's way of saying the
// method failed; what follows the marker is its explanation.
inline constexpr const char* kServerErrorMarker = "#ERRO#";
} // namespace krt

// Turns a remote result into the value the caller uses. Packets, arrays,
// booleans and other plain values pass through. An unassigned or null result,
// or a text carrying the server's error marker, is rejected: with raise == true
// as an EKrtError "Resultado inválido do servidor." (plus the server's
// explanation on a second line when it gave one); with raise == false an
// unassigned variant is returned instead. The error's code is InvalidReply for
// a missing result and Refused for the server's marker. `expectedKind` is
// reserved (0: any).
krt::Variant CheckResultServ(const krt::Variant& result, bool raise = true, int expectedKind = 0);
