#include "appserver/db/migrator.h"

#include "appserver/db/sql.h"
#include "framework/wire/errors.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlQuery>

namespace krt::app {

namespace {

const QString kResourceDir = QStringLiteral(":/krt/migrations");

int versionOf(const QString& name)
{
    return name.section(QLatin1Char('_'), 0, 0).toInt();
}

void ensureTable(const QSqlDatabase& db)
{
    execStatement(db, QStringLiteral("CREATE TABLE IF NOT EXISTS KRT_MIGRACAO ("
                                     " NRVERSAO INTEGER NOT NULL PRIMARY KEY,"
                                     " NMARQUIVO VARCHAR(100) NOT NULL,"
                                     " DTHRAPLICADA TIMESTAMP NOT NULL)"));
}

} // namespace

QStringList Migrator::available()
{
    QStringList names =
        QDir(kResourceDir).entryList({QStringLiteral("*.sql")}, QDir::Files, QDir::Name);
    return names;
}

QStringList Migrator::statements(const QString& script)
{
    QStringList out;
    QString current;
    const QStringList lines = script.split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1String("--")))
            continue;
        current += raw + QLatin1Char('\n');
        if (line.endsWith(QLatin1Char(';'))) {
            current = current.trimmed();
            current.chop(1);
            out << current;
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        out << current.trimmed();
    return out;
}

int Migrator::currentVersion()
{
    QSqlDatabase db = db_.connection();
    ensureTable(db);
    Query q(db, QStringLiteral("SELECT MAX(NRVERSAO) FROM KRT_MIGRACAO"));
    q.exec();
    return q.next() ? int(q.integer(0)) : 0;
}

QStringList Migrator::migrate()
{
    QSqlDatabase db = db_.connection();
    QStringList applied;
    const int current = currentVersion();
    const QStringList known = available();
    // A newer program changed the schema in ways this one does not know:
    // running on it could write what the newer one no longer reads.
    const int newest = known.isEmpty() ? 0 : versionOf(known.last());
    if (current > newest)
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("o banco está na versão %1 do esquema, mais nova que a deste "
                                   "programa (%2): atualize o programa; nada foi alterado.")
                        .arg(current)
                        .arg(newest));
    for (const QString& name : known) {
        const int version = versionOf(name);
        if (version <= current)
            continue;
        QFile file(kResourceDir + QLatin1Char('/') + name);
        if (!file.open(QIODevice::ReadOnly))
            throw Error(ErrorCode::InvalidArgument,
                        QStringLiteral("Migração %1 ilegível.").arg(name));
        const QString script = QString::fromUtf8(file.readAll());
        withRetry([&] {
            Transaction tx(db, db_.kind(), Transaction::Mode::Write);
            // Another process may have applied it meanwhile.
            Query seen(db, QStringLiteral("SELECT 1 FROM KRT_MIGRACAO WHERE NRVERSAO = ?"));
            seen.bind(version).exec();
            if (seen.next())
                return;
            for (const QString& statement : statements(script))
                execStatement(db, statement);
            Query record(db, QStringLiteral("INSERT INTO KRT_MIGRACAO (NRVERSAO, NMARQUIVO, "
                                            "DTHRAPLICADA) VALUES (?, ?, ?)"));
            record.bind(version).bindText(name).bind(QDateTime::currentDateTime()).exec();
            tx.commit();
            applied << name;
        });
    }
    return applied;
}

} // namespace krt::app
