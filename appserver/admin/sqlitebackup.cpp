#include "appserver/admin/sqlitebackup.h"

#include "framework/wire/errors.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QThread>
#include <sqlite3.h>

namespace krt::app {

namespace {

sqlite3* handleOf(Database& db)
{
    const QSqlDatabase connection = db.connection();
    const QVariant handle = connection.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("o banco não expõe a conexão SQLite."));
    return *static_cast<sqlite3* const*>(handle.data());
}

// The copy being written; closed (and removed unless kept) when it goes.
class PartialCopy
{
public:
    explicit PartialCopy(const QString& path) : path_(path)
    {
        QFile::remove(path_);
        if (sqlite3_open_v2(path_.toUtf8().constData(), &db_,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
            throw Error(ErrorCode::InvalidArgument,
                        QStringLiteral("não foi possível criar %1: %2.").arg(path_, error()));
    }
    ~PartialCopy()
    {
        sqlite3_close_v2(db_);
        if (!kept_)
            QFile::remove(path_);
    }
    PartialCopy(const PartialCopy&) = delete;
    PartialCopy& operator=(const PartialCopy&) = delete;

    sqlite3* handle() const { return db_; }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(db_)); }

    // The first row of PRAGMA integrity_check: "ok" for a sound file.
    QString integrity()
    {
        sqlite3_stmt* st = nullptr;
        QString result = QStringLiteral("(sem resposta)");
        if (sqlite3_prepare_v2(db_, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            result = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        return result;
    }

    void exec(const char* sql)
    {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            throw Error(ErrorCode::InvalidArgument,
                        QStringLiteral("cópia %1: %2.").arg(path_, error()));
    }

    void keepAs(const QString& target)
    {
        sqlite3_close_v2(db_);
        db_ = nullptr;
        if (!QFile::rename(path_, target))
            throw Error(ErrorCode::InvalidArgument,
                        QStringLiteral("não foi possível renomear %1 para %2.").arg(path_, target));
        kept_ = true;
    }

private:
    QString path_;
    sqlite3* db_ = nullptr;
    bool kept_ = false;
};

} // namespace

BackupReport backupSqlite(Database& db, const QString& target)
{
    if (db.kind() != DbKind::SQLite)
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("backup copia só bancos SQLite; para PostgreSQL use pg_dump "
                                   "(docs/deploy.md)."));
    if (QFileInfo::exists(target))
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("o arquivo %1 já existe; nada foi copiado.").arg(target));
    sqlite3* source = handleOf(db);
    PartialCopy copy(target + QStringLiteral(".part"));

    sqlite3_backup* backup = sqlite3_backup_init(copy.handle(), "main", source, "main");
    if (!backup)
        throw Error(ErrorCode::InvalidArgument, QStringLiteral("backup: %1.").arg(copy.error()));
    // All pages in one step: one read transaction, so the copy is a single
    // snapshot; a writer in another process goes on meanwhile (WAL). A busy
    // answer (a checkpoint holding a lock for a moment) is tried again.
    int rc = SQLITE_OK;
    for (int attempt = 0; attempt < 600; ++attempt) {
        rc = sqlite3_backup_step(backup, -1);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        QThread::msleep(100);
    }
    BackupReport report;
    report.pages = sqlite3_backup_pagecount(backup);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE)
        throw Error(
            ErrorCode::InvalidArgument,
            QStringLiteral("backup interrompido: %1.").arg(QString::fromUtf8(sqlite3_errstr(rc))));

    // One self-contained file: the source's WAL mode stays behind.
    copy.exec("PRAGMA journal_mode=DELETE");
    const QString integrity = copy.integrity();
    if (integrity != QLatin1String("ok"))
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("a cópia não passou em PRAGMA integrity_check: %1; nada foi "
                                   "gravado em %2.")
                        .arg(integrity.left(500), target));
    copy.keepAs(target);
    report.bytes = QFileInfo(target).size();
    return report;
}

} // namespace krt::app
