#pragma once

#include <QString>

class TDataSource;

namespace krt {

// Moves the source's data set to the first row whose keyField shows `key`;
// false (cursor unchanged) when there is none.
bool positionOnKey(TDataSource* source, const QString& keyField, const QString& key);

} // namespace krt
