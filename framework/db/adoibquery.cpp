#include "framework/db/adoibquery.h"

#include "framework/core/errors.h"
#include "framework/db/dtmdbgeral.h"
#include "framework/db/namedparams.h"
#include "framework/db/resultpacket.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

TADOIBQuery::TADOIBQuery(QObject* parent) : TDataSet(parent), m_parameters(this) {}

TADOIBStringField* TADOIBQuery::addQueryStringField(const QString& name, int size,
                                                    const QString& label, bool visible)
{
    auto* field = addField<TADOIBStringField>(name, size);
    field->setDisplayLabel(label);
    field->setVisible(visible);
    return field;
}

TADOIBQuery::~TADOIBQuery() = default;

void TADOIBQuery::setConnection(TdtmDBGeral* connection)
{
    m_connection = connection;
}

TdtmDBGeral* TADOIBQuery::Connection() const
{
    return m_connection ? m_connection.data() : dtmDBGeral;
}

const QStringList& TADOIBQuery::statementLines(krt::SqlDialect dialect) const
{
    switch (dialect) {
    case krt::SqlDialect::Oracle:
        return SQL_ORACLE;
    case krt::SqlDialect::MsSql:
        return SQL_MSSQL;
    case krt::SqlDialect::InterBase:
        return SQL_IB;
    case krt::SqlDialect::Standard:
        break;
    }
    return SQL;
}

krt::Packet TADOIBQuery::fetchContent()
{
    TdtmDBGeral* module = Connection();
    if (!module || !module->Connected())
        throw EKrtError(
            QStringLiteral("A consulta '%1' não tem conexão aberta com o banco de dados.")
                .arg(Name()));
    const QSqlDatabase db = module->database();
    const QString statement = statementLines(krt::dialectFor(db.driverName())).join(u'\n');
    if (statement.trimmed().isEmpty())
        throw EKrtError(QStringLiteral("A consulta '%1' não tem comando SQL para o banco de dados "
                                       "'%2'.")
                            .arg(Name(), db.driverName()));

    const krt::PositionalStatement positional = krt::toPositional(statement);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const auto fail = [&](const QSqlError& error) {
        throw EKrtError(
            QStringLiteral("Erro ao executar a consulta '%1': %2").arg(Name(), error.text()));
    };
    if (!query.prepare(positional.text))
        fail(query.lastError());
    for (const QString& name : positional.parameterNames) {
        const TParameter* p = m_parameters.FindParam(name);
        if (!p)
            throw EKrtError(QStringLiteral("O parâmetro '%1' da consulta '%2' não foi declarado.")
                                .arg(name, Name()));
        query.addBindValue(p->Value());
    }
    if (!query.exec())
        fail(query.lastError());

    if (Fields().empty())
        defineFieldsFrom(krt::fieldDefsOf(query.record()));
    return krt::readResultPacket(query, dataFieldDefs(), Name());
}
