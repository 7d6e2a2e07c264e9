// What krt-admin gives an operator: the audit trail by branch, user and
// period, a copy of a SQLite database taken while the server runs, and the
// refusal of a database a newer program has migrated.
#include "appserver/admin/auditreport.h"
#include "appserver/db/migrator.h"
#include "appserver/db/sql.h"
#include "appserver/methods/audit.h"
#include "framework/wire/errors.h"
#include "framework/wire/httptransport.h"
#include "serverprocess.h"
#include "testdatabase.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

using krt::app::AuditFilter;
using krt::app::AuditRecord;

namespace {

struct AdminRun
{
    int code = -1;
    QString out;
    QString err;
};

AdminRun admin(const QStringList& args)
{
    QProcess p;
    p.start(qEnvironmentVariable("KRT_BIN_DIR") + QStringLiteral("/krt-admin"), args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

class AuditTrail : public DatabaseTest
{
protected:
    // A row as writeAudit keeps it, at a chosen time.
    void add(const QDateTime& when, const QString& branch, const QString& user,
             const QString& result, const QString& reason = {})
    {
        const int id = ++count_;
        krt::app::Query q(tdb->db().connection(),
                          QStringLiteral("INSERT INTO AUDITCANCEL (IDAUDIT, DTHRAUDIT, NMOPERACAO, "
                                         "CDFILIAL, DSSOLICITANTE, IDRESULTADO, QTCANCELADOS, "
                                         "QTIGNORADOS, DSCANCELADOS, DSIGNORADOS, DSMOTIVO, "
                                         "NMUSUARIO) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        q.bindText(QStringLiteral("id-%1").arg(id))
            .bind(when)
            .bindText(QStringLiteral("setDeletaNF"))
            .bindText(branch)
            .bindText(user + QStringLiteral(" (10.1.2.3:40022 #%1)").arg(id))
            .bindText(result)
            .bind(qint64(2))
            .bind(qint64(1))
            .bindText(QStringLiteral("'00010000000007','00010000000008'"))
            .bindText(QStringLiteral("aprovada: 1 | '00010000000009: aprovada'"))
            .bind(reason.isEmpty() ? QVariant() : QVariant(reason))
            .bindText(user)
            .exec();
    }
    static QDateTime at(int day, int hour)
    {
        return QDateTime(QDate(2026, 3, day), QTime(hour, 30, 15, 250));
    }
    static QStringList requesters(const krt::app::AuditPage& page)
    {
        QStringList out;
        for (const AuditRecord& r : page.records)
            out << r.requester.section(QLatin1Char('#'), 1).chopped(1);
        return out;
    }

    int count_ = 0;
};

} // namespace

TEST_F(AuditTrail, ReadsByBranchUserAndPeriodNewestFirst)
{
    add(at(2, 9), "0001", "ana", "OK");                  // 1
    add(at(3, 23), "0002", "ana", "NADA");               // 2
    add(at(4, 0), "0001", "bia", "RECUSADO", "fechado"); // 3
    add(at(4, 12), "0001", "ana", "OK");                 // 4
    add(at(6, 8), "0002", "bia", "OK");                  // 5
    krt::app::Database& db = tdb->db();

    EXPECT_EQ(requesters(readAudit(db, {})), QStringList({"5", "4", "3", "2", "1"}));
    EXPECT_EQ(requesters(readAudit(db, {"0001", {}, {}, {}, 100})), QStringList({"4", "3", "1"}));
    EXPECT_EQ(requesters(readAudit(db, {{}, "bia", {}, {}, 100})), QStringList({"5", "3"}));
    // Whole days, both ends: the 3rd at 23:30 and the 4th at 00:30 are in.
    EXPECT_EQ(requesters(readAudit(db, {{}, {}, QDate(2026, 3, 3), QDate(2026, 3, 4), 100})),
              QStringList({"4", "3", "2"}));
    EXPECT_EQ(requesters(readAudit(db, {"0001", "ana", QDate(2026, 3, 3), {}, 100})),
              QStringList({"4"}));
    EXPECT_EQ(requesters(readAudit(db, {"0003", {}, {}, {}, 100})), QStringList());

    const krt::app::AuditPage two = readAudit(db, {{}, {}, {}, {}, 2});
    EXPECT_EQ(requesters(two), QStringList({"5", "4"}));
    EXPECT_TRUE(two.more);
    EXPECT_FALSE(readAudit(db, {{}, {}, {}, {}, 5}).more);

    const AuditRecord refused = readAudit(db, {{}, "bia", {}, QDate(2026, 3, 5), 100}).records[0];
    EXPECT_EQ(refused.when, at(4, 0));
    EXPECT_EQ(refused.branch, "0001");
    EXPECT_EQ(refused.user, "bia");
    EXPECT_EQ(refused.result, "RECUSADO");
    EXPECT_EQ(refused.cancelled, 2);
    EXPECT_EQ(refused.skipped, 1);
    EXPECT_EQ(refused.cancelledKeys, "'00010000000007','00010000000008'");
    EXPECT_EQ(refused.reason, "fechado");
}

// The time a request is written at reads back as the same instant.
TEST_F(AuditTrail, WrittenTimeReadsBackAsTheSameInstant)
{
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    krt::app::AuditEntry entry;
    entry.operation = QStringLiteral("setDeletaNF");
    entry.branch = QStringLiteral("0001");
    entry.user = QStringLiteral("ana");
    entry.requester = QStringLiteral("ana (127.0.0.1:1 #1)");
    entry.result = QStringLiteral("NADA");
    krt::app::writeAudit(tdb->db().connection(), entry);
    const QList<AuditRecord> rows = readAudit(tdb->db(), {}).records;
    ASSERT_EQ(rows.size(), 1);
    EXPECT_GE(rows[0].when, before);
    EXPECT_LE(rows[0].when, QDateTime::currentDateTime().addSecs(1));
}

TEST_F(AuditTrail, TableCsvAndJsonCarryTheRows)
{
    add(at(2, 9), "0001", "ana", "OK", "nota \"7\", com vírgula\nsegunda linha");
    add(at(3, 9), "0002", "bia", "RECUSADO", "escape \x1b[2J no terminal");
    const krt::app::AuditPage page = readAudit(tdb->db(), {});

    const QString table = auditTable(page);
    EXPECT_TRUE(table.startsWith("Data/hora")) << qPrintable(table);
    EXPECT_TRUE(table.contains("2026-03-03 09:30:15  setDeletaNF  0002    bia"))
        << qPrintable(table);
    EXPECT_TRUE(table.contains("escape \\x1b[2J")) << "no control character reaches a terminal";
    EXPECT_TRUE(table.contains("com vírgula\\x0asegunda linha"));
    EXPECT_TRUE(table.endsWith("2 registros.\n"));

    const QStringList csv = QString::fromUtf8(auditCsv(page.records)).split("\r\n");
    EXPECT_EQ(csv[0], "data_hora,operacao,filial,usuario,solicitante,resultado,cancelados,"
                      "ignorados,chaves_canceladas,ignorados_resumo,motivo");
    EXPECT_TRUE(csv[1].startsWith(
        at(3, 9).toOffsetFromUtc(at(3, 9).offsetFromUtc()).toString(Qt::ISODateWithMs) +
        ",setDeletaNF,0002,bia,"))
        << qPrintable(csv[1]);
    EXPECT_TRUE(csv[2].endsWith(",\"'00010000000007','00010000000008'\",aprovada: 1 | "
                                "'00010000000009: aprovada',\"nota \"\"7\"\", com vírgula\n"
                                "segunda linha\""))
        << qPrintable(csv[2]);

    const QJsonArray json = QJsonDocument::fromJson(auditJson(page.records)).array();
    ASSERT_EQ(json.size(), 2);
    EXPECT_EQ(json[1]["motivo"].toString(), "nota \"7\", com vírgula\nsegunda linha");
    EXPECT_EQ(json[0]["usuario"].toString(), "bia");
    EXPECT_EQ(json[0]["cancelados"].toInt(), 2);
    EXPECT_EQ(QDateTime::fromString(json[0]["data_hora"].toString(), Qt::ISODateWithMs), at(3, 9));
}

TEST_F(AuditTrail, AdminCommandPrintsTheTrail)
{
    add(at(2, 9), "0001", "ana", "OK");
    add(at(3, 9), "0002", "bia", "RECUSADO");
    const QString db = tdb->connectionText();
    AdminRun run = admin({"audit", "--database", db, "--branch", "0002", "--format", "csv"});
    ASSERT_EQ(run.code, 0) << qPrintable(run.err);
    EXPECT_EQ(run.out.count("\r\n"), 2) << qPrintable(run.out);
    EXPECT_TRUE(run.out.contains(",setDeletaNF,0002,bia,"));

    run = admin({"audit", "--database", db, "--format", "json", "--limit", "1"});
    ASSERT_EQ(run.code, 0) << qPrintable(run.err);
    EXPECT_EQ(QJsonDocument::fromJson(run.out.toUtf8()).array().size(), 1);
    EXPECT_TRUE(run.err.contains("só os 1 registros mais recentes")) << qPrintable(run.err);

    run = admin({"audit", "--database", db, "--from", "2026-03-32"});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains("--from e --to são datas")) << qPrintable(run.err);
}

// A copy of the live database: committed work that is still in the server's
// write-ahead log is in it, and the copy is one sound file.
TEST(SqliteBackup, CopyTakenWhileTheServerRunsHoldsWhatItCommitted)
{
    if (TestDatabase::isPostgres())
        GTEST_SKIP() << "SQLite only; PostgreSQL is copied with pg_dump";
    QTemporaryDir dir;
    const QString file = dir.filePath("loja.db");
    ASSERT_EQ(createDemoDatabase(file, "2026-03-06"), QString());
    ServerProcess server;
    ASSERT_TRUE(server.start("sqlite:" + file)) << qPrintable(server.error);

    // Refused logins of the demo user write audit rows through the server.
    for (int k = 0; k < 3; ++k) {
        krt::HttpCallClient client(QStringLiteral("127.0.0.1"), server.port(), 30000);
        client.setCredentials(QStringLiteral("demo"), QStringLiteral("errada"));
        EXPECT_THROW(client.login(), krt::Error);
    }
    const auto auditRows = [](const QString& path) {
        krt::app::Database db(krt::app::DbOptions::sqlite(path));
        krt::app::Query q(db.connection(), QStringLiteral("SELECT COUNT(*) FROM AUDITCANCEL"));
        q.exec();
        return q.next() ? q.integer(0) : -1;
    };
    // What makes a plain file copy wrong: the rows are only in the log yet.
    ASSERT_TRUE(QFile::copy(file, dir.filePath("plain.db")));
    ASSERT_EQ(auditRows(dir.filePath("plain.db")), 0);

    const QString copy = dir.filePath("copia.db");
    AdminRun run = admin({"backup", "--database", "sqlite:" + file, "--to", copy});
    ASSERT_EQ(run.code, 0) << qPrintable(run.err);
    EXPECT_TRUE(run.out.contains("PRAGMA integrity_check: ok")) << qPrintable(run.out);
    EXPECT_FALSE(QFile::exists(copy + "-wal")) << "the copy is one file";
    EXPECT_FALSE(QFile::exists(copy + ".part"));
    EXPECT_EQ(auditRows(copy), 3);

    run = admin({"backup", "--database", "sqlite:" + file, "--to", copy});
    EXPECT_EQ(run.code, 1) << "an existing file is never overwritten";
    EXPECT_TRUE(run.err.contains("já existe")) << qPrintable(run.err);
    run = admin({"backup", "--database", "sqlite:" + dir.filePath("nenhum.db"), "--to",
                 dir.filePath("c2.db")});
    EXPECT_EQ(run.code, 1);
    EXPECT_FALSE(QFile::exists(dir.filePath("nenhum.db"))) << "no empty database made";
    EXPECT_TRUE(server.stopWith(SIGTERM));
}

// A database migrated by a newer program is left alone by this one: neither
// the server nor krt-admin runs on it.
TEST_F(AuditTrail, DatabaseNewerThanTheProgramIsRefused)
{
    const int newest = krt::app::Migrator::available().last().section('_', 0, 0).toInt();
    tdb->exec(QStringLiteral("INSERT INTO KRT_MIGRACAO (NRVERSAO, NMARQUIVO, DTHRAPLICADA) VALUES "
                             "(%1, '%1_futura.sql', CURRENT_TIMESTAMP)")
                  .arg(newest + 1));
    try {
        krt::app::Migrator(tdb->db()).migrate();
        ADD_FAILURE() << "migrated a newer database";
    } catch (const krt::Error& e) {
        EXPECT_EQ(e.text(), QStringLiteral("o banco está na versão %1 do esquema, mais nova que a "
                                           "deste programa (%2): atualize o programa; nada foi "
                                           "alterado.")
                                .arg(newest + 1)
                                .arg(newest));
    }
    const AdminRun run = admin({"migrate", "--database", tdb->connectionText()});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains("mais nova que a deste programa")) << qPrintable(run.err);
}
