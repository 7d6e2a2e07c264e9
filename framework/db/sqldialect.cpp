#include "framework/db/sqldialect.h"

#include "framework/core/errors.h"

namespace krt {

SqlDialect dialectFor(const QString& driverName)
{
    const QString d = driverName.trimmed().toUpper();
    if (d == u"QSQLITE" || d == u"QPSQL" || d == u"QPSQL7")
        return SqlDialect::Standard;
    if (d == u"QIBASE")
        return SqlDialect::InterBase;
    if (d == u"QODBC" || d == u"QODBC3")
        return SqlDialect::MsSql;
    if (d == u"QOCI" || d == u"QOCI8")
        return SqlDialect::Oracle;
    throw EKrtError(
        QStringLiteral("O banco de dados do driver '%1' não é suportado pelas consultas.")
            .arg(driverName));
}

} // namespace krt
