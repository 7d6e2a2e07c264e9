#include "framework/data/clientdataset.h"

#include "framework/core/errors.h"

TClientDataSet::TClientDataSet(QObject* parent) : TDataSet(parent) {}

void TClientDataSet::setData(const krt::Packet& packet)
{
    checkNotCalculating("recarregar");
    if (Fields().empty()) {
        Close();
        defineFieldsFrom(packet.fields());
    }
    matchColumns(packet); // throws before anything changes
    reopenWith(packet);
}

krt::Packet TClientDataSet::fetchContent()
{
    return krt::Packet::empty(dataFieldDefs());
}

namespace {

void copyCell(krt::PacketWriter& out, const krt::Packet& in, int row, int col)
{
    if (in.isNull(row, col)) {
        out.addNull();
        return;
    }
    switch (in.fields().at(col).type) {
    case krt::FieldType::String:
        out.addText(in.text(row, col));
        break;
    case krt::FieldType::Float:
        out.addNumber(in.number(row, col));
        break;
    case krt::FieldType::DateTime:
        out.addDateTime(in.dateTime(row, col));
        break;
    case krt::FieldType::Boolean:
        out.addBoolean(in.boolean(row, col));
        break;
    case krt::FieldType::Integer:
        out.addInteger(in.integer(row, col));
        break;
    }
}

} // namespace

krt::Packet TClientDataSet::Data() const
{
    QList<krt::FieldDef> defs = dataFieldDefs();
    if (!Active())
        return krt::Packet::empty(defs);
    const krt::Packet& stored = content();
    std::vector<int> columns = matchColumns(stored);
    std::vector<int> dataColumns;
    for (size_t i = 0; i < Fields().size(); ++i)
        if (!Fields()[i]->Calculated())
            dataColumns.push_back(columns[i]);
    // Never cut a text: a column wider than its field keeps its own width.
    for (qsizetype i = 0; i < defs.size(); ++i) {
        const krt::FieldDef& source = stored.fields().at(dataColumns[size_t(i)]);
        if (defs[i].type == krt::FieldType::String && source.size > defs[i].size)
            defs[i].size = source.size;
    }
    if (defs == stored.fields())
        return stored;
    krt::PacketWriter writer(defs);
    const int rows = stored.rowCount();
    writer.reserve(rows, 16 * int(defs.size()));
    for (int row = 0; row < rows; ++row)
        for (int col : dataColumns)
            copyCell(writer, stored, row, col);
    return writer.finish();
}
