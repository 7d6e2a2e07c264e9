#include "host/hostdatabase.h"

#include "framework/core/errors.h"
#include "framework/db/dtmdbgeral.h"

#include <QFileInfo>

void openHostDatabase(TdtmDBGeral& module, const HostOptions& o)
{
    if (o.dbDriver == QLatin1String("QSQLITE")) {
        if (o.dbName.isEmpty())
            throw EKrtError(QStringLiteral("Banco de dados não configurado: informe o arquivo "
                                           "SQLite com --db ou no arquivo de configuração."));
        // Opening a missing SQLite file would create an empty database and
        // every lookup would then fail with "no such table".
        if (!QFileInfo::exists(o.dbName))
            throw EKrtError(QStringLiteral("Banco de dados não encontrado: %1").arg(o.dbName));
        module.openSqlite(o.dbName);
        return;
    }
    krt::DatabaseSettings s;
    s.driver = o.dbDriver;
    s.databaseName = o.dbName;
    s.host = o.dbHost;
    s.port = o.dbPort > 0 ? o.dbPort : -1;
    s.user = o.dbUser;
    s.password = o.dbPassword;
    module.Open(s);
}

QString describeHostDatabase(const HostOptions& o)
{
    if (o.dbDriver == QLatin1String("QSQLITE"))
        return QStringLiteral("SQLite %1").arg(o.dbName);
    if (o.dbDriver == QLatin1String("QIBASE"))
        return o.dbHost.isEmpty()
                   ? QStringLiteral("Firebird %1").arg(o.dbName)
                   : QStringLiteral("Firebird %1@%2:%3:%4")
                         .arg(o.dbUser, o.dbHost,
                              o.dbPort > 0 ? QString::number(o.dbPort) : QStringLiteral("3050"),
                              o.dbName);
    return QStringLiteral("PostgreSQL %1@%2:%3/%4")
        .arg(o.dbUser, o.dbHost.isEmpty() ? QStringLiteral("localhost") : o.dbHost,
             o.dbPort > 0 ? QString::number(o.dbPort) : QStringLiteral("5432"), o.dbName);
}
