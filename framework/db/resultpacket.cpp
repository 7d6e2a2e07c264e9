#include "framework/db/resultpacket.h"

#include "framework/core/errors.h"

#include <QDateTime>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <vector>

namespace krt {

namespace {

FieldType typeOfColumn(QMetaType type)
{
    switch (type.id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return FieldType::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return FieldType::Float;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return FieldType::DateTime;
    case QMetaType::Bool:
        return FieldType::Boolean;
    default:
        return FieldType::String;
    }
}

// Only the wall-clock fields (date and time) of the result reach the packet,
// so texts and dates are read as plain wall-clock values: a time that the
// local clock skips (the hour daylight saving starts on) stays as written.
QDateTime readDateTime(const QVariant& v)
{
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().startOfDay(Qt::UTC);
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    const QString text = v.toString().trimmed().replace(u' ', u'T');
    if (text.size() == 10) { // a date alone
        const QDate d = QDate::fromString(text, Qt::ISODate);
        return d.isValid() ? d.startOfDay(Qt::UTC) : QDateTime();
    }
    // Without an offset of its own the text is a wall-clock time: read it as
    // one (as UTC, which no clock change touches); else honour its offset.
    const QDateTime wall = QDateTime::fromString(text + u'Z', Qt::ISODateWithMs);
    return wall.isValid() ? wall : QDateTime::fromString(text, Qt::ISODateWithMs);
}

// Converts one cell to its field's type; text length is tracked by the caller.
QVariant convertCell(const QVariant& v, FieldType type, bool* ok)
{
    *ok = true;
    if (v.isNull())
        return QVariant();
    switch (type) {
    case FieldType::String:
        if (v.typeId() == QMetaType::QByteArray)
            return QString::fromUtf8(v.toByteArray());
        return v.toString();
    case FieldType::Float:
        return v.toDouble(ok);
    case FieldType::Integer:
        return v.toLongLong(ok);
    case FieldType::DateTime: {
        const QDateTime dt = readDateTime(v);
        *ok = dt.isValid();
        return dt;
    }
    case FieldType::Boolean: {
        if (v.typeId() == QMetaType::QString) {
            const QString t = v.toString().trimmed().toUpper();
            if (t == u"S" || t == u"T" || t == u"TRUE" || t == u"1")
                return true;
            if (t == u"N" || t == u"F" || t == u"FALSE" || t == u"0")
                return false;
            *ok = false;
            return QVariant();
        }
        return v.toBool();
    }
    }
    *ok = false;
    return QVariant();
}

} // namespace

QList<FieldDef> fieldDefsOf(const QSqlRecord& record)
{
    QList<FieldDef> defs;
    for (int i = 0; i < record.count(); ++i) {
        const QSqlField f = record.field(i);
        FieldDef def;
        def.name = f.name().toUpper().toUtf8();
        def.type = typeOfColumn(f.metaType());
        if (def.type == FieldType::String)
            def.size = quint16(qBound(1, f.length() > 0 ? f.length() : 20, 65535));
        defs << def;
    }
    return defs;
}

Packet readResultPacket(QSqlQuery& query, const QList<FieldDef>& fields, const QString& queryName)
{
    const QSqlRecord record = query.record();
    std::vector<int> columns;
    for (const FieldDef& f : fields) {
        const int c = record.indexOf(QString::fromUtf8(f.name)); // ignores case
        if (c < 0)
            throw EKrtError(QStringLiteral("A consulta '%1' não devolveu a coluna '%2'.")
                                .arg(queryName, QString::fromUtf8(f.name)));
        columns.push_back(c);
    }

    QList<FieldDef> defs = fields;
    std::vector<QVariant> cells;
    int rows = 0;
    while (query.next()) {
        for (qsizetype i = 0; i < defs.size(); ++i) {
            const QVariant raw = query.value(columns[size_t(i)]);
            bool ok = false;
            QVariant value = convertCell(raw, defs[i].type, &ok);
            if (!ok)
                throw EKrtError(
                    QStringLiteral("A consulta '%1' devolveu '%2' na coluna '%3', que "
                                   "não é do tipo do campo.")
                        .arg(queryName, raw.toString(), QString::fromUtf8(defs[i].name)));
            if (defs[i].type == FieldType::String && !value.isNull()) {
                const qsizetype chars = value.toString().toUcs4().size();
                if (chars > defs[i].size)
                    defs[i].size = quint16(qMin<qsizetype>(chars, 65535));
            }
            cells.push_back(std::move(value));
        }
        ++rows;
    }

    PacketWriter writer(defs);
    writer.reserve(rows, 16 * int(defs.size()));
    size_t k = 0;
    for (int r = 0; r < rows; ++r) {
        for (qsizetype i = 0; i < defs.size(); ++i, ++k) {
            const QVariant& v = cells[k];
            if (v.isNull()) {
                writer.addNull();
                continue;
            }
            switch (defs[i].type) {
            case FieldType::String:
                writer.addText(v.toString());
                break;
            case FieldType::Float:
                writer.addNumber(v.toDouble());
                break;
            case FieldType::DateTime:
                writer.addDateTime(v.toDateTime());
                break;
            case FieldType::Boolean:
                writer.addBoolean(v.toBool());
                break;
            case FieldType::Integer:
                writer.addInteger(v.toLongLong());
                break;
            }
        }
    }
    return writer.finish();
}

} // namespace krt
