// libFuzzer target: reply bodies as the client reads them while they arrive,
// whole (version 1) or streamed (version 2), cut into pieces of any size. The
// pieces, and whether they are copied in or written where the reader wants
// them, must not change the outcome: the same reply, or a refusal either way;
// an accepted list is canonical.
#include "framework/wire/streamedreply.h"
#include "roundtrip.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace {

std::optional<krt::Reply> read(const char* body, size_t size, size_t piece)
{
    krt::ReplyReader reader;
    try {
        for (size_t at = 0; at < size; at += piece)
            reader.feed(body + at, qsizetype(std::min(piece, size - at)));
        return reader.finish();
    } catch (const krt::Error&) {
        return std::nullopt;
    }
}

// The same as the client's transport reads it: the bytes written where the
// reader says, at most `piece` at a time; any byte past the end is offered
// to feed(), which must refuse it.
std::optional<krt::Reply> readInPlace(const char* body, size_t size, size_t piece)
{
    krt::ReplyReader reader;
    try {
        for (size_t at = 0; at < size;) {
            const std::span<char> room = reader.space();
            if (room.empty()) {
                reader.feed(body + at, qsizetype(size - at));
                break;
            }
            const size_t n = std::min({piece, size - at, room.size()});
            std::memcpy(room.data(), body + at, n);
            reader.wrote(qsizetype(n));
            at += n;
        }
        return reader.finish();
    } catch (const krt::Error&) {
        return std::nullopt;
    }
}

QByteArray canonical(const krt::Reply& r)
{
    if (!r.isError)
        return krt::encodeReply(r.result);
    return krt::encodeErrorReply(r.errorCode, r.errorMethod, r.errorText);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte chooses the size of the pieces the rest arrives in.
    const size_t piece = 1 + data[0] % 64;
    const char* body = reinterpret_cast<const char*>(data + 1);
    const std::optional<krt::Reply> whole = read(body, size - 1, size);
    const std::optional<krt::Reply> cut = read(body, size - 1, piece);
    const std::optional<krt::Reply> inPlace = readInPlace(body, size - 1, piece);
    if (whole.has_value() != cut.has_value() || whole.has_value() != inPlace.has_value())
        std::abort();
    if (!whole)
        return 0;
    fuzz::mustEqual(canonical(*whole), canonical(*cut), "resposta em pedaços");
    fuzz::mustEqual(canonical(*whole), canonical(*inPlace), "resposta escrita no lugar");
    if (whole->result.isPacket()) {
        const krt::Packet& p = whole->result.asPacket();
        fuzz::mustEqual(p.bytes(), fuzz::rewrite(p), "pacote da resposta");
    }
    return 0;
}
