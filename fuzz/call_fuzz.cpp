// libFuzzer target: call bodies as the server decodes them, replies as the
// client decodes them, and bare values.
#include "roundtrip.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the decoder, so one corpus covers the three.
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    try {
        switch (data[0] % 3) {
        case 0: {
            // The server's way: the head checked before the arguments.
            quint32 announced = 0;
            const krt::Call call = krt::decodeCall(
                bytes, [&](const QString&, const QString&, quint32 count) { announced = count; });
            if (announced != quint32(call.args.size()))
                std::abort();
            fuzz::mustEqual(bytes, krt::encodeCall(call.object, call.method, call.args), "chamada");
            for (const krt::Variant& arg : call.args)
                fuzz::checkPackets(arg);
            break;
        }
        case 1: {
            const krt::Reply reply = krt::decodeReplyFull(bytes);
            fuzz::mustEqual(bytes,
                            reply.isError ? krt::encodeErrorReply(
                                                reply.errorCode, reply.errorMethod, reply.errorText)
                                          : krt::encodeReply(reply.result),
                            "resposta");
            fuzz::checkPackets(reply.result);
            break;
        }
        default: {
            const krt::Variant value = krt::decodeVariant(bytes);
            fuzz::mustEqual(bytes, krt::encodeVariant(value), "valor");
            fuzz::checkPackets(value);
            break;
        }
        }
    } catch (const krt::Error&) {
    }
    return 0;
}
