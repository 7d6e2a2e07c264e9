#pragma once

#include "framework/wire/packet.h"

#include <QList>
#include <QString>

class QSqlQuery;
class QSqlRecord;

namespace krt {

// Field definitions matching a result's columns, for a query whose fields
// were not defined in code: texts, numbers, dates, booleans by column type.
QList<FieldDef> fieldDefsOf(const QSqlRecord& record);

// Reads every row of an executed query into a packet with the given fields,
// matching each field to a column by name ignoring case (PostgreSQL gives
// lower-case names). A text longer than its field widens the column rather
// than being cut. Throws EKrtError, naming `queryName`, for a missing column
// or a value that does not fit its field's type.
Packet readResultPacket(QSqlQuery& query, const QList<FieldDef>& fields, const QString& queryName);

} // namespace krt
