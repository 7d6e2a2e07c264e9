#pragma once

#include "framework/data/dataset.h"
#include "framework/db/parameters.h"
#include "framework/db/sqldialect.h"

#include <QPointer>
#include <QStringList>

class TdtmDBGeral;

// Text field of a lookup query.
class TADOIBStringField : public TStringField
{
public:
    using TStringField::TStringField;
};

// A read-only lookup query on the host's shared database. It carries one
// statement per dialect as lines and runs the one that matches the
// connection's driver (see krt::dialectFor); ":NAME" parameters are declared
// by name and bound as set. Open() fires BeforeOpen first (a handler may still
// set parameters), reads every row, then behaves as any data set: first
// record, AfterScroll when not empty. A database error becomes an EKrtError
// with the database's text.
class TADOIBQuery : public TDataSet
{
    Q_OBJECT
public:
    explicit TADOIBQuery(QObject* parent = nullptr);
    ~TADOIBQuery() override;

    QStringList SQL;
    QStringList SQL_ORACLE;
    QStringList SQL_MSSQL;
    QStringList SQL_IB;

    // A text column of the result, as the lookups declare them.
    TADOIBStringField* addQueryStringField(const QString& name, int size, const QString& label = {},
                                           bool visible = true);

    TParameters& Parameters() { return m_parameters; }
    const TParameters& Parameters() const { return m_parameters; }
    TParameter* ParamByName(const QString& name) const { return m_parameters.ParamByName(name); }

    // The database module to run on; the shared `dtmDBGeral` when none is set.
    void setConnection(TdtmDBGeral* connection);
    TdtmDBGeral* Connection() const;

    const QStringList& statementLines(krt::SqlDialect dialect) const;

protected:
    krt::Packet fetchContent() override;

private:
    TParameters m_parameters;
    QPointer<TdtmDBGeral> m_connection;
};
