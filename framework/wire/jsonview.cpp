#include "framework/wire/jsonview.h"

#include <nlohmann/json.hpp>

namespace krt {

using nlohmann::json;

namespace {

std::string dateText(const QDateTime& dt)
{
    return dt.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")).toStdString();
}

json packetJson(const Packet& p)
{
    json fields = json::array();
    for (const FieldDef& f : p.fields()) {
        json field{{"name", f.name.toStdString()}, {"type", fieldTypeName(f.type).toStdString()}};
        if (f.type == FieldType::String)
            field["size"] = f.size;
        fields.push_back(std::move(field));
    }
    json rows = json::array();
    for (int r = 0; r < p.rowCount(); ++r) {
        json row = json::array();
        for (int c = 0; c < p.fieldCount(); ++c) {
            if (p.isNull(r, c)) {
                row.push_back(nullptr);
                continue;
            }
            switch (p.fields()[c].type) {
            case FieldType::String:
                row.push_back(std::string(p.text(r, c)));
                break;
            case FieldType::Float:
                row.push_back(p.number(r, c));
                break;
            case FieldType::DateTime:
                row.push_back(dateText(p.dateTime(r, c)));
                break;
            case FieldType::Boolean:
                row.push_back(p.boolean(r, c));
                break;
            case FieldType::Integer:
                row.push_back(p.integer(r, c));
                break;
            }
        }
        rows.push_back(std::move(row));
    }
    return json{{"fields", std::move(fields)}, {"rows", std::move(rows)}};
}

json variantJson(const Variant& v)
{
    switch (v.kind()) {
    case Variant::Kind::Unassigned:
        return json{{"unassigned", true}};
    case Variant::Kind::Null:
        return nullptr;
    case Variant::Kind::Boolean:
        return v.asBool();
    case Variant::Kind::Integer:
        return v.asInteger();
    case Variant::Kind::Float:
        return v.asFloat();
    case Variant::Kind::Text:
        return v.asString().toStdString();
    case Variant::Kind::DateTime:
        return json{{"datetime", dateText(v.asDateTime())}};
    case Variant::Kind::Packet:
        return json{{"packet", packetJson(v.asPacket())}};
    case Variant::Kind::Array: {
        json items = json::array();
        for (qsizetype i = 0; i < v.size(); ++i)
            items.push_back(variantJson(v.at(i)));
        return items;
    }
    }
    return nullptr;
}

json callJson(const Call& call)
{
    json args = json::array();
    for (const Variant& a : call.args)
        args.push_back(variantJson(a));
    return json{{"call",
                 {{"object", call.object.toStdString()},
                  {"method", call.method.toStdString()},
                  {"args", std::move(args)}}}};
}

json replyJson(const Reply& reply)
{
    if (reply.isError && reply.errorCode == ErrorCode::Unspecified && reply.errorMethod.isEmpty())
        return json{{"error", reply.errorText.toStdString()}};
    if (reply.isError)
        return json{{"error", reply.errorText.toStdString()},
                    {"code", int(reply.errorCode)},
                    {"method", reply.errorMethod.toStdString()}};
    return json{{"result", variantJson(reply.result)}};
}

} // namespace

std::string packetToJson(const Packet& packet, int indent)
{
    return packetJson(packet).dump(indent);
}

std::string variantToJson(const Variant& value, int indent)
{
    return variantJson(value).dump(indent);
}

std::string callToJson(const Call& call, int indent)
{
    return callJson(call).dump(indent);
}

std::string replyToJson(const Reply& reply, int indent)
{
    return replyJson(reply).dump(indent);
}

std::string wireBytesToJson(const QByteArray& bytes, int indent)
{
    if (bytes.startsWith("KRTP"))
        return packetToJson(Packet::decode(bytes), indent);
    if (bytes.startsWith("KRTC"))
        return callToJson(decodeCall(bytes), indent);
    if (bytes.startsWith("KRTR"))
        return replyToJson(decodeReplyFull(bytes), indent);
    throw Error(ErrorCode::Malformed,
                QStringLiteral("Conteúdo não reconhecido: não é pacote de dados, chamada nem "
                               "resposta."));
}

} // namespace krt
