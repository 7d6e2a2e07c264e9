#include "appserver/db/dboptions.h"

#include "appserver/db/dialect.h"

#include "framework/wire/errors.h"

#include <QFile>

namespace krt::app {

DbOptions DbOptions::sqlite(const QString& path)
{
    DbOptions o;
    o.kind = DbKind::SQLite;
    o.path = path;
    return o;
}

DbOptions DbOptions::postgres(const QString& host, int port, const QString& user,
                              const QString& database, const QString& password)
{
    DbOptions o;
    o.kind = DbKind::PostgreSQL;
    o.host = host;
    o.port = port;
    o.user = user;
    o.database = database;
    o.password = password;
    return o;
}

DbOptions DbOptions::parse(const QString& text)
{
    for (const Dialect* dialect : Dialect::all())
        if (std::optional<DbOptions> options = dialect->parseAddress(text))
            return *options;
    throw Error(ErrorCode::InvalidArgument,
                QStringLiteral("Banco de dados inválido: use %1 (recebido \"%2\").")
                    .arg(Dialect::addressForms(), text.left(200)));
}

void DbOptions::loadPassword(const QString& passwordFile)
{
    if (!passwordFile.isEmpty()) {
        QFile file(passwordFile);
        if (!file.open(QIODevice::ReadOnly))
            throw Error(ErrorCode::InvalidArgument,
                        QStringLiteral("Não foi possível ler o arquivo de senha do banco %1: %2.")
                            .arg(passwordFile, file.errorString()));
        const QByteArray line = file.readLine(4096);
        password = QString::fromUtf8(line).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
        return;
    }
    if (qEnvironmentVariableIsSet("KRT_DB_PASSWORD"))
        password = qEnvironmentVariable("KRT_DB_PASSWORD");
}

QString DbOptions::describe() const
{
    return Dialect::of(kind).describe(*this);
}

} // namespace krt::app
