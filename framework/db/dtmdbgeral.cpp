#include "framework/db/dtmdbgeral.h"

#include "framework/core/errors.h"
#include "framework/db/nvlfunctions.h"

#include <QAtomicInt>
#include <QSqlError>

TdtmDBGeral* dtmDBGeral = nullptr;

namespace {

QString nextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("krt-dtmDBGeral-%1").arg(counter.fetchAndAddRelaxed(1));
}

} // namespace

TdtmDBGeral::TdtmDBGeral(QObject* parent) : QObject(parent), m_connectionName(nextConnectionName())
{
}

TdtmDBGeral::~TdtmDBGeral()
{
    Close();
    if (dtmDBGeral == this)
        dtmDBGeral = nullptr;
}

void TdtmDBGeral::Open(const krt::DatabaseSettings& settings)
{
    Close();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(settings.driver, m_connectionName);
        m_registered = true;
        if (!db.isValid()) {
            db = QSqlDatabase();
            Close();
            throw EKrtError(QStringLiteral("O driver de banco de dados '%1' não está disponível.")
                                .arg(settings.driver));
        }
        db.setDatabaseName(settings.databaseName);
        if (!settings.host.isEmpty())
            db.setHostName(settings.host);
        if (settings.port > 0)
            db.setPort(settings.port);
        if (!settings.user.isEmpty())
            db.setUserName(settings.user);
        if (!settings.password.isEmpty())
            db.setPassword(settings.password);
        if (!settings.connectOptions.isEmpty())
            db.setConnectOptions(settings.connectOptions);
        if (!db.open()) {
            const QString text = db.lastError().text();
            db = QSqlDatabase();
            Close();
            throw EKrtError(QStringLiteral("Não foi possível conectar ao banco de dados '%1': %2")
                                .arg(settings.databaseName, text));
        }
        try {
            krt::prepareNvl(db);
        } catch (...) {
            db = QSqlDatabase();
            Close();
            throw;
        }
    }
}

void TdtmDBGeral::openSqlite(const QString& filePath)
{
    krt::DatabaseSettings s;
    s.driver = QStringLiteral("QSQLITE");
    s.databaseName = filePath;
    Open(s);
}

void TdtmDBGeral::openPostgres(const QString& host, int port, const QString& user,
                               const QString& databaseName, const QString& password)
{
    krt::DatabaseSettings s;
    s.driver = QStringLiteral("QPSQL");
    s.host = host;
    s.port = port;
    s.user = user;
    s.databaseName = databaseName;
    s.password = password;
    Open(s);
}

void TdtmDBGeral::Close()
{
    if (!m_registered)
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    m_registered = false;
}

bool TdtmDBGeral::Connected() const
{
    return m_registered && QSqlDatabase::database(m_connectionName, false).isOpen();
}

QSqlDatabase TdtmDBGeral::database() const
{
    if (!m_registered)
        return QSqlDatabase();
    return QSqlDatabase::database(m_connectionName, false);
}

QString TdtmDBGeral::driverName() const
{
    return database().driverName();
}

krt::SqlDialect TdtmDBGeral::dialect() const
{
    return krt::dialectFor(driverName());
}
