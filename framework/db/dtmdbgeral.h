#pragma once

#include "framework/db/sqldialect.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>

namespace krt {

// Where the host's database lives. Empty host and port -1 mean the driver's
// defaults; for SQLite and embedded Firebird `databaseName` is the file.
struct DatabaseSettings
{
    QString driver;
    QString databaseName;
    QString host;
    int port = -1;
    QString user;
    QString password;
    QString connectOptions;
};

} // namespace krt

// The host's shared database module: one connection that every lookup query
// of the host and its modules runs on. The host creates it, opens it and
// points `dtmDBGeral` at it.
//
// The connection is known by three names for code written against the
// original components (ADO connection, database, transaction); all three are
// the same QSqlDatabase here. Used on the user-interface thread only.
class TdtmDBGeral : public QObject
{
    Q_OBJECT
public:
    explicit TdtmDBGeral(QObject* parent = nullptr);
    ~TdtmDBGeral() override;

    // Opens (closing any previous connection) and prepares NVL for the
    // lookups. Throws EKrtError with the database's text.
    void Open(const krt::DatabaseSettings& settings);
    void openSqlite(const QString& filePath);
    void openPostgres(const QString& host, int port, const QString& user,
                      const QString& databaseName, const QString& password = {});
    void Close();
    bool Connected() const;

    QSqlDatabase database() const;
    QSqlDatabase adcGeral() const { return database(); }
    QSqlDatabase dtbGeral() const { return database(); }
    QSqlDatabase ibtGeral() const { return database(); }

    QString driverName() const;
    // The statement variant the queries run; throws for an unknown driver.
    krt::SqlDialect dialect() const;

private:
    QString m_connectionName;
    bool m_registered = false;
};

// The shared module the host set up; nullptr until it does.
extern TdtmDBGeral* dtmDBGeral;
