// PostgreSQL: writers of different rows run side by side; what must run one
// after the other takes row locks.
#include "appserver/db/dialects.h"
#include "appserver/db/sql.h"
#include "appserver/db/statement.h"
#include "framework/wire/errors.h"

#include <QUrl>
#include <QUrlQuery>

namespace krt::app {

namespace {

[[noreturn]] void refuse(const QString& text)
{
    throw Error(ErrorCode::InvalidArgument, QStringLiteral("Banco de dados inválido: ") + text);
}

// sslmode, sslrootcert and statement_timeout from the address's query;
// refuses any other and a bad value.
void readParameters(const QUrl& url, DbOptions& o)
{
    static const QStringList modes{"disable", "allow",     "prefer",
                                   "require", "verify-ca", "verify-full"};
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("sslmode")) {
            if (!modes.contains(value))
                refuse(QStringLiteral("sslmode \"%1\" não existe (use %2).")
                           .arg(value.left(40), modes.join(QStringLiteral(", "))));
            o.sslMode = value;
        } else if (key == QLatin1String("sslrootcert")) {
            if (value.isEmpty() || value.contains(QLatin1Char('\'')))
                refuse(QStringLiteral("sslrootcert \"%1\".").arg(value.left(200)));
            o.sslRootCert = value;
        } else if (key == QLatin1String("statement_timeout")) {
            bool ok = false;
            const int ms = value.toInt(&ok);
            if (!ok || ms < 0)
                refuse(QStringLiteral("statement_timeout deve ser um número de milissegundos "
                                      "(recebido \"%1\").")
                           .arg(value.left(40)));
            o.statementTimeoutMs = ms;
        } else {
            refuse(QStringLiteral("parâmetro \"%1\" desconhecido (aceitos sslmode, sslrootcert e "
                                  "statement_timeout).")
                       .arg(key.left(40)));
        }
    }
}

class PostgresDialect final : public Dialect
{
public:
    DbKind kind() const override { return DbKind::PostgreSQL; }
    QString driverName() const override { return QStringLiteral("QPSQL"); }

    QString addressForm() const override
    {
        return QStringLiteral("postgres://usuário@máquina:porta/banco");
    }

    std::optional<DbOptions> parseAddress(const QString& text) const override
    {
        if (!text.startsWith(QLatin1String("postgres://")) &&
            !text.startsWith(QLatin1String("postgresql://")))
            return std::nullopt;
        const QUrl url(text, QUrl::StrictMode);
        const QString database = url.path().mid(1);
        if (!url.isValid() || url.host().isEmpty() || database.isEmpty())
            refuse(QStringLiteral("\"%1\" não é postgres://usuário@máquina:porta/banco.")
                       .arg(describe(DbOptions::postgres(url.host(), url.port(5432), url.userName(),
                                                         database))));
        if (!url.password().isEmpty())
            refuse(QStringLiteral(
                "a senha não pode ir em --database, onde qualquer usuário da máquina a vê na "
                "lista de processos. Use --database-password-file, a variável KRT_DB_PASSWORD ou "
                "o arquivo de senhas do PostgreSQL (~/.pgpass)."));
        DbOptions o = DbOptions::postgres(url.host(), url.port(5432), url.userName(), database);
        readParameters(url, o);
        return o;
    }

    QString describe(const DbOptions& o) const override
    {
        QUrlQuery query;
        if (!o.sslMode.isEmpty())
            query.addQueryItem(QStringLiteral("sslmode"), o.sslMode);
        if (!o.sslRootCert.isEmpty())
            query.addQueryItem(QStringLiteral("sslrootcert"), o.sslRootCert);
        if (o.statementTimeoutMs > 0)
            query.addQueryItem(QStringLiteral("statement_timeout"),
                               QString::number(o.statementTimeoutMs));
        const QString text = QStringLiteral("postgres://%1@%2:%3/%4")
                                 .arg(o.user, o.host)
                                 .arg(o.port)
                                 .arg(o.database);
        return query.isEmpty() ? text : text + QLatin1Char('?') + query.toString();
    }

    QSqlDatabase addConnection(const DbOptions& o, const QString& name) const override
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driverName(), name);
        db.setHostName(o.host);
        db.setPort(o.port);
        db.setUserName(o.user);
        db.setPassword(o.password);
        db.setDatabaseName(o.database);
        // libpq's parameters beyond host, port, user and database, as QPSQL
        // takes them ("key=value;key=value").
        QStringList options{QStringLiteral("connect_timeout=10")};
        if (!o.sslMode.isEmpty())
            options << QStringLiteral("sslmode=") + o.sslMode;
        if (!o.sslRootCert.isEmpty())
            options << QStringLiteral("sslrootcert='%1'").arg(o.sslRootCert);
        if (o.statementTimeoutMs > 0)
            options
                << QStringLiteral("options='-c statement_timeout=%1'").arg(o.statementTimeoutMs);
        db.setConnectOptions(options.join(QLatin1Char(';')));
        return db;
    }

    QStringList sessionSetup() const override
    {
        return {QStringLiteral("SET client_min_messages TO WARNING")};
    }

    std::unique_ptr<detail::Statement> nativeStatement(const QSqlDatabase& db,
                                                       const QString& sql) const override
    {
        return detail::postgresStatement(db, sql);
    }

    bool isTransient(const QString& code) const override
    {
        // deadlock detected, serialization failure.
        return code == QLatin1String("40P01") || code == QLatin1String("40001");
    }

    QString begin(bool write) const override
    {
        return write ? QStringLiteral("BEGIN")
                     : QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    }

    QString rowLock() const override { return QStringLiteral(" FOR UPDATE"); }
    QString sharedRowLock(const QString& alias) const override
    {
        return QStringLiteral(" FOR SHARE OF ") + alias;
    }

    // One array parameter: a list of parameters costs PostgreSQL more to
    // plan than to run.
    QString inSetCondition() const override
    {
        return QStringLiteral("= ANY (CAST(? AS VARCHAR[]))");
    }
    QString setValue(const QStringList& values) const override
    {
        return quotedList(values, QLatin1Char('{'), QLatin1Char('}'), false);
    }

    // Kept as the session's wall clock: read as an instant.
    QString selectInstant(const QString& column) const override
    {
        return QStringLiteral("CAST(EXTRACT(EPOCH FROM CAST(%1 AS TIMESTAMP WITH TIME ZONE)) * "
                              "1000 AS BIGINT)")
            .arg(column);
    }
    QDateTime readInstant(const Query& q, int col) const override
    {
        return QDateTime::fromMSecsSinceEpoch(q.integer(col));
    }
};

} // namespace

const Dialect& postgresDialect()
{
    static const PostgresDialect dialect;
    return dialect;
}

} // namespace krt::app
