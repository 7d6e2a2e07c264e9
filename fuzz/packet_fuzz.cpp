// libFuzzer target: data packets as they arrive in call arguments and replies.
#include "roundtrip.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    krt::Packet packet;
    try {
        packet = krt::Packet::decode(bytes);
    } catch (const krt::Error&) {
        return 0;
    }
    // Every cell reads without error as its own type, within the packet's
    // memory bound.
    if (packet.memoryBytes() > 5 * qsizetype(size) + 4096)
        std::abort();
    fuzz::mustEqual(bytes, fuzz::rewrite(packet), "pacote");
    return 0;
}
