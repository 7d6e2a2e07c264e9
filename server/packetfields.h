#pragma once

// The fields of every data packet the remote object sends, in order, as the
// client data sets define them (calculated fields excluded: they never travel).
// The application server builds its packets from these lists.

#include "framework/wire/packet.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace krt::api {

// The fields of the packet that fills the client data set `dataSet`
// ("qryPrincipal", "cdsItemVenda", ...); throws WireError for an unknown name.
const QList<FieldDef>& packetFields(const QString& dataSet);

// Every data set name packetFields knows.
QStringList packetDataSets();

} // namespace krt::api
