#include "appserver/db/dboptions.h"

#include "appserver/db/errors.h"

#include <QFile>
#include <QUrl>

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
    if (text.startsWith(QLatin1String("sqlite:"))) {
        const QString path = text.mid(7);
        if (path.isEmpty())
            throw AppError(
                QStringLiteral("Banco de dados inválido: falta o arquivo em \"%1\".").arg(text));
        return sqlite(path);
    }
    if (text.startsWith(QLatin1String("postgres://")) ||
        text.startsWith(QLatin1String("postgresql://"))) {
        const QUrl url(text, QUrl::StrictMode);
        const QString database = url.path().mid(1);
        if (!url.isValid() || url.host().isEmpty() || database.isEmpty())
            throw AppError(
                QStringLiteral("Banco de dados inválido: \"%1\" não é postgres://usuário@máquina:"
                               "porta/banco.")
                    .arg(DbOptions::postgres(url.host(), url.port(5432), url.userName(), database)
                             .describe()));
        if (!url.password().isEmpty())
            throw AppError(QStringLiteral(
                "Banco de dados inválido: a senha não pode ir em --database, onde qualquer "
                "usuário da máquina a vê na lista de processos. Use --database-password-file, a "
                "variável KRT_DB_PASSWORD ou o arquivo de senhas do PostgreSQL (~/.pgpass)."));
        return postgres(url.host(), url.port(5432), url.userName(), database);
    }
    throw AppError(
        QStringLiteral("Banco de dados inválido: use sqlite:ARQUIVO ou postgres://usuário@máquina:"
                       "porta/banco (recebido \"%1\").")
            .arg(text.left(200)));
}

void DbOptions::loadPassword(const QString& passwordFile)
{
    if (!passwordFile.isEmpty()) {
        QFile file(passwordFile);
        if (!file.open(QIODevice::ReadOnly))
            throw AppError(
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
    if (kind == DbKind::SQLite)
        return QStringLiteral("sqlite:%1").arg(path);
    return QStringLiteral("postgres://%1@%2:%3/%4").arg(user, host).arg(port).arg(database);
}

} // namespace krt::app
