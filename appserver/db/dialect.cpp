#include "appserver/db/dialect.h"

#include "appserver/db/dialects.h"
#include "framework/wire/errors.h"

namespace krt::app {

const QList<const Dialect*>& Dialect::all()
{
    static const QList<const Dialect*> dialects{&sqliteDialect(), &postgresDialect()};
    return dialects;
}

const Dialect& Dialect::of(DbKind kind)
{
    for (const Dialect* d : all())
        if (d->kind() == kind)
            return *d;
    throw Error(ErrorCode::InvalidArgument,
                QStringLiteral("Banco de dados de tipo %1 desconhecido: use %2.")
                    .arg(int(kind))
                    .arg(addressForms()));
}

const Dialect* Dialect::find(const QSqlDatabase& db)
{
    const QString driver = db.driverName();
    for (const Dialect* d : all())
        if (d->driverName() == driver)
            return d;
    return nullptr;
}

const Dialect& Dialect::of(const QSqlDatabase& db)
{
    if (const Dialect* d = find(db))
        return *d;
    throw Error(ErrorCode::DatabaseFailure,
                QStringLiteral("A conexão %1 usa o driver \"%2\", que o servidor não conhece.")
                    .arg(db.connectionName(), db.driverName()));
}

QString quotedList(const QStringList& values, QChar open, QChar close, bool controlsEscaped)
{
    QString out(open);
    for (const QString& v : values) {
        if (out.size() > 1)
            out += QLatin1Char(',');
        out += QLatin1Char('"');
        for (const QChar c : v) {
            if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
                out += QLatin1Char('\\');
                out += c;
            } else if (controlsEscaped && c.unicode() < 0x20) {
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            } else {
                out += c;
            }
        }
        out += QLatin1Char('"');
    }
    return out + close;
}

QString Dialect::addressForms()
{
    QStringList forms;
    for (const Dialect* d : all())
        forms << d->addressForm();
    return forms.join(QStringLiteral(" ou "));
}

} // namespace krt::app
