#pragma once

// The dialects this build has, one source file each. Private to appserver/db:
// everything else reaches them through Dialect::of and Dialect::all.

#include "appserver/db/dialect.h"

struct sqlite3;

namespace krt::app {

const Dialect& sqliteDialect();
const Dialect& postgresDialect();

// Texts quoted with quotes and backslashes escaped (and control characters
// as \uXXXX when `controlsEscaped`), separated by commas, between `open` and
// `close`: the JSON array or array literal a set is bound as.
QString quotedList(const QStringList& values, QChar open, QChar close, bool controlsEscaped);

// The SQLite handle under a Qt connection, or null when it is not SQLite's.
sqlite3* sqliteHandle(const QSqlDatabase& db);

} // namespace krt::app
