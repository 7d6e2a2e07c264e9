// Application-server benchmark on a generated SQLite database.
//
//   list:   the whole invoice list (getPrincipal over every day) called over
//           loopback and loaded into a client data set, against the same rows
//           read straight from the file with SQLite's C API;
//   cancel: setDeletaNF of N invoices over loopback, against the same changes
//           made by plain SQL statements in one transaction (C API), each on
//           its own window of days of the same database.
//
// The server runs as its own process so that its memory can be watched while
// it answers. The last two lines are "list ratio: <x>" and
// "cancel ratio: <y>" (ours divided by the direct figure).
#include "appserver/db/database.h"
#include "appserver/db/migrator.h"
#include "appserver/demo/demogenerator.h"
#include "appserver/methods/rdmcancelaconsoli.h"
#include "framework/data/clientdataset.h"
#include "framework/wire/httptransport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

const QString kObject = QStringLiteral("Krt52600.rdmCancelaConsoli");

void say(const QString& text)
{
    std::printf("%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

double msSince(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

// Kilobytes of a /proc/<pid>/status line ("VmRSS", "VmHWM").
qint64 procKb(qint64 pid, const char* key)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(line.indexOf(':') + 1).trimmed().split(' ').first().toLongLong();
    return -1;
}

struct Row
{
    std::string filial, cliente, filialNf, lancto, nome, emissao, nota, status, saida;
};

// The invoice list's statement, read with the C API into plain rows.
double directList(const QString& path, const QDate& from, const QDate& to, qsizetype* rows)
{
    QElapsedTimer t;
    t.start();
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT NF.CDFILIAL, NF.CDCLIENTE, NF.CDFILIALNF, NF.NRLANCTONF, "
                       "C.NMRAZSOCCLIE, NF.DTEMISSAO, NF.NRNOTAFISC, NF.IDSTATUS, NF.DTENTRSAID"
                       " FROM NOTAFISCAL NF LEFT JOIN CLIENTE C ON C.CDCLIENTE = NF.CDCLIENTE"
                       " WHERE NF.CDFILIAL = ? AND NF.CDLOJA = ? AND NF.DTENTRSAID >= ? AND "
                       "NF.DTENTRSAID <= ? AND NF.IDORIGEM = 'C'"
                       " ORDER BY NF.DTENTRSAID, NF.NRLANCTONF",
                       -1, &st, nullptr);
    const QByteArray a = from.toString(Qt::ISODate).toUtf8(), b = to.toString(Qt::ISODate).toUtf8();
    sqlite3_bind_text(st, 1, "0001", -1, SQLITE_STATIC);
    sqlite3_bind_text(st, 2, "LJ01", -1, SQLITE_STATIC);
    sqlite3_bind_text(st, 3, a.constData(), -1, SQLITE_STATIC);
    sqlite3_bind_text(st, 4, b.constData(), -1, SQLITE_STATIC);
    std::vector<Row> out;
    auto text = [&](int c) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
        return p ? std::string(p) : std::string();
    };
    while (sqlite3_step(st) == SQLITE_ROW)
        out.push_back(
            Row{text(0), text(1), text(2), text(3), text(4), text(5), text(6), text(7), text(8)});
    sqlite3_finalize(st);
    sqlite3_close(db);
    *rows = qsizetype(out.size());
    return msSince(t);
}

// The changes of a cancellation as plain statements, one transaction.
double directCancel(const QString& path, const QDate& from, const QDate& to, int* cancelled)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(db, 60000);
    auto prepare = [&](const char* sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
            say(QStringLiteral("erro: %1").arg(QString::fromUtf8(sqlite3_errmsg(db))));
        return st;
    };
    std::vector<std::pair<std::string, std::string>> keys;
    {
        sqlite3_stmt* st =
            prepare("SELECT CDFILIALNF, NRLANCTONF FROM NOTAFISCAL WHERE CDFILIAL = "
                    "'0001' AND DTENTRSAID >= ? AND DTENTRSAID <= ? AND IDSTATUS = 'P'");
        const QByteArray a = from.toString(Qt::ISODate).toUtf8(),
                         b = to.toString(Qt::ISODate).toUtf8();
        sqlite3_bind_text(st, 1, a.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, b.constData(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW)
            keys.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                              reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
        sqlite3_finalize(st);
    }
    QElapsedTimer t;
    t.start();
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_stmt* postings = prepare("SELECT CDFILIAL, NRLANCESTQ FROM LANCTOESTQ WHERE CDFILIALNF "
                                     "= ? AND NRLANCTONF = ?");
    sqlite3_stmt* restore = prepare(
        "INSERT INTO SALDOESTQ (CDFILIAL, CDPRODUTO, QTSALDO) SELECT I.CDFILIAL, I.CDPRODUTO, "
        "SUM(CASE WHEN L.IDTIPOLANC = 'S' THEN I.QTLANCTOEST ELSE -I.QTLANCTOEST END) FROM "
        "ITLANCTOEST I JOIN LANCTOESTQ L ON L.CDFILIAL = I.CDFILIAL AND L.NRLANCESTQ = "
        "I.NRLANCESTQ WHERE I.CDFILIAL = ? AND I.NRLANCESTQ = ? GROUP BY I.CDFILIAL, I.CDPRODUTO "
        "ON CONFLICT (CDFILIAL, CDPRODUTO) DO UPDATE SET QTSALDO = SALDOESTQ.QTSALDO + "
        "excluded.QTSALDO");
    sqlite3_stmt* items = prepare("DELETE FROM ITLANCTOEST WHERE CDFILIAL = ? AND NRLANCESTQ = ?");
    sqlite3_stmt* posting = prepare("DELETE FROM LANCTOESTQ WHERE CDFILIAL = ? AND NRLANCESTQ = ?");
    sqlite3_stmt* unlink = prepare("UPDATE VENDA SET CDFILIALNF = NULL, NRLANCTONF = NULL WHERE "
                                   "CDFILIALNF = ? AND NRLANCTONF = ?");
    sqlite3_stmt* nfItems =
        prepare("DELETE FROM ITEMNOTAFISCAL WHERE CDFILIALNF = ? AND NRLANCTONF = ?");
    sqlite3_stmt* nf = prepare("DELETE FROM NOTAFISCAL WHERE CDFILIALNF = ? AND NRLANCTONF = ?");
    auto run2 = [](sqlite3_stmt* st, const std::string& a, const std::string& b) {
        sqlite3_bind_text(st, 1, a.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 2, b.c_str(), -1, SQLITE_STATIC);
        while (sqlite3_step(st) == SQLITE_ROW) {
        }
        sqlite3_reset(st);
    };
    for (const auto& [branch, number] : keys) {
        std::vector<std::pair<std::string, std::string>> list;
        sqlite3_bind_text(postings, 1, branch.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(postings, 2, number.c_str(), -1, SQLITE_STATIC);
        while (sqlite3_step(postings) == SQLITE_ROW)
            list.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(postings, 0)),
                              reinterpret_cast<const char*>(sqlite3_column_text(postings, 1)));
        sqlite3_reset(postings);
        for (const auto& [pb, pn] : list) {
            run2(restore, pb, pn);
            run2(items, pb, pn);
            run2(posting, pb, pn);
        }
        run2(unlink, branch, number);
        run2(nfItems, branch, number);
        run2(nf, branch, number);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double ms = msSince(t);
    for (sqlite3_stmt* st : {postings, restore, items, posting, unlink, nfItems, nf})
        sqlite3_finalize(st);
    sqlite3_close(db);
    *cancelled = int(keys.size());
    return ms;
}

class Server
{
public:
    bool start(const QString& database, const QString& logPath)
    {
        log_ = logPath;
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QCoreApplication::applicationDirPath() + QStringLiteral("/krt-appserver"),
                       {"--database", database, "--port", "0", "--log", logPath});
        if (!process_.waitForStarted(5000))
            return false;
        static const QRegularExpression serving(QStringLiteral("em [0-9.]+:(\\d+)"));
        for (int i = 0; i < 1500; ++i) {
            QFile f(log_);
            if (f.open(QIODevice::ReadOnly)) {
                const auto m = serving.match(QString::fromUtf8(f.readAll()));
                if (m.hasMatch()) {
                    port = quint16(m.captured(1).toUInt());
                    return true;
                }
            }
            QThread::msleep(20);
        }
        return false;
    }
    ~Server()
    {
        ::kill(pid_t(process_.processId()), SIGTERM);
        process_.waitForFinished(30000);
    }
    qint64 pid() const { return process_.processId(); }
    quint16 port = 0;

private:
    QProcess process_;
    QString log_;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption invoicesOpt("invoices", "Notas fiscais da base (100000).", "n",
                                         "100000");
    const QCommandLineOption cancelOpt("cancel", "Notas canceladas (10000).", "n", "10000");
    const QCommandLineOption runsOpt("runs", "Repetições da listagem (3).", "n", "3");
    const QCommandLineOption methodOnly("method-only",
                                        "Só repete getPrincipal no próprio processo (perfil).");
    parser.addOptions({invoicesOpt, cancelOpt, runsOpt, methodOnly});
    parser.process(app);
    const int invoices = parser.value(invoicesOpt).toInt();
    const int toCancel = parser.value(cancelOpt).toInt();
    const int runs = std::max(1, parser.value(runsOpt).toInt());

    QTemporaryDir dir;
    const QString path = dir.filePath("bench.db");
    krt::app::DemoConfig config = krt::app::DemoConfig::forInvoices(invoices);
    config.approvedShare = 0;
    {
        QElapsedTimer t;
        t.start();
        krt::app::Database db(krt::app::DbOptions::sqlite(path));
        krt::app::Migrator(db).migrate();
        const krt::app::DemoSummary s = krt::app::generateDemo(db, config);
        say(QStringLiteral("base gerada: %1 vendas, %2 notas fiscais, %3 retiradas em %4 s")
                .arg(s.sales)
                .arg(s.invoices)
                .arg(s.withdrawals)
                .arg(msSince(t) / 1000, 0, 'f', 1));
    }

    if (parser.isSet(methodOnly)) {
        krt::app::Database db(krt::app::DbOptions::sqlite(path));
        krt::app::RdmCancelaConsoli object(db);
        const QDateTime from(config.firstDay, QTime(0, 0)), to(config.lastDay(), QTime(0, 0));
        for (int r = 0; r < runs; ++r) {
            QElapsedTimer t;
            t.start();
            const krt::Packet p =
                object.getPrincipal("0001", "LJ01", "", "T", "", "T", from, to, "S", "").asPacket();
            say(QStringLiteral("método: %1 linhas em %2 ms")
                    .arg(p.rowCount())
                    .arg(msSince(t), 0, 'f', 1));
        }
        return 0;
    }

    Server server;
    if (!server.start("sqlite:" + path, dir.filePath("server.log"))) {
        say("erro: o servidor não iniciou");
        return 1;
    }
    krt::HttpCallClient client("127.0.0.1", server.port, 600000);
    client.setCredentials(krt::app::kDemoUser, krt::app::kDemoPassword);
    const QDateTime from(config.firstDay, QTime(0, 0)), to(config.lastDay(), QTime(0, 0));
    const qint64 rssBefore = procKb(server.pid(), "VmRSS");

    // The whole list, ours and direct, best of `runs`.
    double ours = 1e18, direct = 1e18;
    qsizetype rows = 0, directRows = 0, packetBytes = 0;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        const krt::Packet packet = client
                                       .call(kObject, "getPrincipal",
                                             {"0001", "LJ01", "", "T", "", "T", from, to, "S", ""})
                                       .asPacket();
        TClientDataSet cds;
        cds.setData(packet);
        ours = std::min(ours, msSince(t));
        rows = cds.RecordCount();
        packetBytes = packet.bytes().size();
        direct = std::min(direct, directList(path, config.firstDay, config.lastDay(), &directRows));
    }
    {
        // Where the time goes: the method alone, in this process.
        krt::app::Database db(krt::app::DbOptions::sqlite(path));
        krt::app::RdmCancelaConsoli object(db);
        QElapsedTimer t;
        t.start();
        const krt::Packet packet =
            object.getPrincipal("0001", "LJ01", "", "T", "", "T", from, to, "S", "").asPacket();
        const double method = msSince(t);
        t.restart();
        const krt::Packet copy = krt::Packet::decode(packet.bytes());
        const double decode = msSince(t);
        t.restart();
        TClientDataSet cds;
        cds.setData(copy);
        say(QStringLiteral("  detalhe: método %1 ms, decodificação %2 ms, carga no data set %3 ms")
                .arg(method, 0, 'f', 1)
                .arg(decode, 0, 'f', 1)
                .arg(msSince(t), 0, 'f', 1));
    }
    const qint64 rssPeak = procKb(server.pid(), "VmHWM");
    const qint64 rssAfter = procKb(server.pid(), "VmRSS");
    say(QStringLiteral("listagem: %1 linhas (%2 MB no pacote) pelo servidor em %3 ms; direto pela "
                       "API C: %4 linhas em %5 ms")
            .arg(rows)
            .arg(packetBytes / 1048576.0, 0, 'f', 1)
            .arg(ours, 0, 'f', 1)
            .arg(directRows)
            .arg(direct, 0, 'f', 1));
    say(QStringLiteral("memória do servidor: %1 MB antes, pico %2 MB, %3 MB depois de %4 listagens")
            .arg(rssBefore / 1024.0, 0, 'f', 1)
            .arg(rssPeak / 1024.0, 0, 'f', 1)
            .arg(rssAfter / 1024.0, 0, 'f', 1)
            .arg(runs));

    // Cancel: two equal windows of days at the start of the period.
    const int perDay = std::max(1, invoices / config.days);
    const int days = std::max(1, toCancel / perDay);
    const QDate aFrom = config.firstDay, aTo = config.firstDay.addDays(days - 1);
    const QDate bFrom = aTo.addDays(1), bTo = bFrom.addDays(days - 1);
    int directCancelled = 0;
    const double directMs = directCancel(path, bFrom, bTo, &directCancelled);
    const krt::Packet window =
        client
            .call(kObject, "getPrincipal",
                  {"0001", "LJ01", "", "T", "", "T", QDateTime(aFrom, QTime(0, 0)),
                   QDateTime(aTo, QTime(0, 0)), "S", ""})
            .asPacket();
    QElapsedTimer t;
    t.start();
    const bool done = client.call(kObject, "setDeletaNF", {"0001", window}).asBool();
    const double oursCancel = msSince(t);
    say(QStringLiteral("cancelamento: %1 notas pelo servidor em %2 ms (%3); %4 notas por SQL "
                       "direto em %5 ms")
            .arg(window.rowCount())
            .arg(oursCancel, 0, 'f', 1)
            .arg(done ? "true" : "false")
            .arg(directCancelled)
            .arg(directMs, 0, 'f', 1));
    say(QStringLiteral("list ratio: %1").arg(ours / direct, 0, 'f', 2));
    say(QStringLiteral("cancel ratio: %1").arg(oursCancel / directMs, 0, 'f', 2));
    return 0;
}
