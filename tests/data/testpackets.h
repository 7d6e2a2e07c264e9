#pragma once

#include "framework/wire/packet.h"

#include <QDateTime>
#include <QVariant>
#include <initializer_list>
#include <vector>

// Builds a packet from rows of QVariants (a null QVariant writes a null cell).
inline krt::Packet makePacket(const QList<krt::FieldDef>& defs,
                              const std::vector<std::vector<QVariant>>& rows)
{
    krt::PacketWriter w(defs);
    for (const auto& row : rows) {
        for (qsizetype c = 0; c < defs.size(); ++c) {
            const QVariant& v = row.at(size_t(c));
            if (v.isNull()) {
                w.addNull();
                continue;
            }
            switch (defs[c].type) {
            case krt::FieldType::String:
                w.addText(v.toString());
                break;
            case krt::FieldType::Float:
                w.addNumber(v.toDouble());
                break;
            case krt::FieldType::DateTime:
                w.addDateTime(v.toDateTime());
                break;
            case krt::FieldType::Boolean:
                w.addBoolean(v.toBool());
                break;
            case krt::FieldType::Integer:
                w.addInteger(v.toLongLong());
                break;
            }
        }
    }
    return w.finish();
}

inline krt::FieldDef textDef(const char* name, quint16 size)
{
    return {QByteArray(name), krt::FieldType::String, size};
}

inline krt::FieldDef def(const char* name, krt::FieldType type)
{
    return {QByteArray(name), type, 0};
}
