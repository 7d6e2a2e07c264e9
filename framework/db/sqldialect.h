#pragma once

#include <QString>

namespace krt {

// The statement variants a query carries, one per family of databases.
enum class SqlDialect
{
    Standard, // the `SQL` lines: SQLite, PostgreSQL
    Oracle,   // `SQL_ORACLE`
    MsSql,    // `SQL_MSSQL`, through ODBC
    InterBase // `SQL_IB`: InterBase / Firebird
};

// The dialect of a Qt SQL driver name (QSQLITE, QPSQL, QIBASE, QODBC, QOCI);
// throws EKrtError naming the driver when no dialect fits it.
SqlDialect dialectFor(const QString& driverName);

} // namespace krt
