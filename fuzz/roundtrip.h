#pragma once

// What both fuzz targets check beyond "no crash, no sanitizer report": input
// the decoder accepts is canonical, so re-encoding the decoded value gives
// back exactly the same bytes (two byte strings never mean the same thing).

#include "framework/wire/callcodec.h"
#include "framework/wire/packet.h"

#include <QByteArray>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

inline void mustEqual(const QByteArray& original, const QByteArray& again, const char* what)
{
    if (original == again)
        return;
    std::fprintf(stderr, "%s: accepted input does not encode back to itself (%lld vs %lld bytes)\n",
                 what, static_cast<long long>(original.size()),
                 static_cast<long long>(again.size()));
    std::abort();
}

// The packet written value by value through the public writer.
inline QByteArray rewrite(const krt::Packet& p)
{
    krt::PacketWriter w(p.fields());
    for (int r = 0; r < p.rowCount(); ++r) {
        for (int c = 0; c < p.fieldCount(); ++c) {
            if (p.isNull(r, c)) {
                w.addNull();
                continue;
            }
            switch (p.fields()[c].type) {
            case krt::FieldType::String:
                w.addText(p.text(r, c));
                break;
            case krt::FieldType::Float:
                w.addNumber(p.number(r, c));
                break;
            case krt::FieldType::DateTime:
                w.addDateTime(p.dateTime(r, c));
                break;
            case krt::FieldType::Boolean:
                w.addBoolean(p.boolean(r, c));
                break;
            case krt::FieldType::Integer:
                w.addInteger(p.integer(r, c));
                break;
            }
        }
    }
    return w.finish().bytes();
}

// Every packet inside a value, rewritten and compared.
inline void checkPackets(const krt::Variant& v)
{
    if (v.isPacket()) {
        const krt::Packet p = v.asPacket();
        mustEqual(p.bytes(), rewrite(p), "pacote dentro de valor");
    } else if (v.isArray()) {
        for (qsizetype i = 0; i < v.size(); ++i)
            checkPackets(v.at(i));
    }
}

} // namespace fuzz
