#include "bench/appserver/packetslice.h"

namespace krt::bench {

Packet packetRows(const Packet& packet, int first, int count)
{
    PacketWriter out(packet.fields());
    for (int r = first; r < first + count; ++r)
        for (int c = 0; c < packet.fieldCount(); ++c) {
            if (packet.isNull(r, c)) {
                out.addNull();
                continue;
            }
            switch (packet.fields()[c].type) {
            case FieldType::String:
                out.addText(packet.text(r, c));
                break;
            case FieldType::Float:
                out.addNumber(packet.number(r, c));
                break;
            case FieldType::DateTime:
                out.addDateTimeMs(packet.dateTimeMs(r, c));
                break;
            case FieldType::Boolean:
                out.addBoolean(packet.boolean(r, c));
                break;
            case FieldType::Integer:
                out.addInteger(packet.integer(r, c));
                break;
            }
        }
    return out.finish();
}

} // namespace krt::bench
