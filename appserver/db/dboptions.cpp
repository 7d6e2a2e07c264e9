#include "appserver/db/dboptions.h"

#include "framework/wire/errors.h"

#include <QFile>
#include <QUrl>
#include <QUrlQuery>

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
            throw Error(
                ErrorCode::InvalidArgument,
                QStringLiteral("Banco de dados inválido: falta o arquivo em \"%1\".").arg(text));
        return sqlite(path);
    }
    if (text.startsWith(QLatin1String("postgres://")) ||
        text.startsWith(QLatin1String("postgresql://"))) {
        const QUrl url(text, QUrl::StrictMode);
        const QString database = url.path().mid(1);
        if (!url.isValid() || url.host().isEmpty() || database.isEmpty())
            throw Error(
                ErrorCode::InvalidArgument,
                QStringLiteral("Banco de dados inválido: \"%1\" não é postgres://usuário@máquina:"
                               "porta/banco.")
                    .arg(DbOptions::postgres(url.host(), url.port(5432), url.userName(), database)
                             .describe()));
        if (!url.password().isEmpty())
            throw Error(
                ErrorCode::InvalidArgument,
                QStringLiteral(
                    "Banco de dados inválido: a senha não pode ir em --database, onde qualquer "
                    "usuário da máquina a vê na lista de processos. Use --database-password-file, "
                    "a "
                    "variável KRT_DB_PASSWORD ou o arquivo de senhas do PostgreSQL (~/.pgpass)."));
        DbOptions o = postgres(url.host(), url.port(5432), url.userName(), database);
        o.readPostgresParameters(url);
        return o;
    }
    throw Error(
        ErrorCode::InvalidArgument,
        QStringLiteral("Banco de dados inválido: use sqlite:ARQUIVO ou postgres://usuário@máquina:"
                       "porta/banco (recebido \"%1\").")
            .arg(text.left(200)));
}

void DbOptions::readPostgresParameters(const QUrl& url)
{
    static const QStringList modes{"disable", "allow",     "prefer",
                                   "require", "verify-ca", "verify-full"};
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("sslmode")) {
            if (!modes.contains(value))
                throw Error(ErrorCode::InvalidArgument,
                            QStringLiteral("Banco de dados inválido: sslmode \"%1\" não "
                                           "existe (use %2).")
                                .arg(value.left(40), modes.join(QStringLiteral(", "))));
            sslMode = value;
        } else if (key == QLatin1String("sslrootcert")) {
            if (value.isEmpty() || value.contains(QLatin1Char('\'')))
                throw Error(ErrorCode::InvalidArgument,
                            QStringLiteral("Banco de dados inválido: sslrootcert \"%1\".")
                                .arg(value.left(200)));
            sslRootCert = value;
        } else if (key == QLatin1String("statement_timeout")) {
            bool ok = false;
            const int ms = value.toInt(&ok);
            if (!ok || ms < 0)
                throw Error(ErrorCode::InvalidArgument,
                            QStringLiteral("Banco de dados inválido: statement_timeout deve "
                                           "ser um número de milissegundos (recebido \"%1\").")
                                .arg(value.left(40)));
            statementTimeoutMs = ms;
        } else {
            throw Error(ErrorCode::InvalidArgument,
                        QStringLiteral("Banco de dados inválido: parâmetro \"%1\" desconhecido "
                                       "(aceitos sslmode, sslrootcert e statement_timeout).")
                            .arg(key.left(40)));
        }
    }
}

QString DbOptions::postgresConnectOptions() const
{
    QStringList options{QStringLiteral("connect_timeout=10")};
    if (!sslMode.isEmpty())
        options << QStringLiteral("sslmode=") + sslMode;
    if (!sslRootCert.isEmpty())
        options << QStringLiteral("sslrootcert='%1'").arg(sslRootCert);
    if (statementTimeoutMs > 0)
        options << QStringLiteral("options='-c statement_timeout=%1'").arg(statementTimeoutMs);
    return options.join(QLatin1Char(';'));
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
    if (kind == DbKind::SQLite)
        return QStringLiteral("sqlite:%1").arg(path);
    QUrlQuery query;
    if (!sslMode.isEmpty())
        query.addQueryItem(QStringLiteral("sslmode"), sslMode);
    if (!sslRootCert.isEmpty())
        query.addQueryItem(QStringLiteral("sslrootcert"), sslRootCert);
    if (statementTimeoutMs > 0)
        query.addQueryItem(QStringLiteral("statement_timeout"),
                           QString::number(statementTimeoutMs));
    const QString text =
        QStringLiteral("postgres://%1@%2:%3/%4").arg(user, host).arg(port).arg(database);
    return query.isEmpty() ? text : text + QLatin1Char('?') + query.toString();
}

} // namespace krt::app
