// Application-server benchmark, on SQLite and, when the test script's
// PostgreSQL cluster is there (KRT_PG_*), on PostgreSQL too:
//
//   list:   the whole invoice list (getPrincipal over every day) called over
//           loopback and loaded into a client data set, against the same rows
//           read by the database's own client (SQLite's C API; libpq);
//   cancel: setDeletaNF of N invoices over loopback, against the same changes
//           made by plain SQL in one transaction, each run on its own window
//           of days of the same database, best of up to three runs.
//
// The server runs as its own process so that its memory can be watched while
// it answers. The last lines are "list ratio: <x>", "cancel ratio: <y>" and,
// with PostgreSQL, "pg list ratio: <x>", "pg cancel ratio: <y>" (ours divided
// by the direct figure).
#include "appserver/db/database.h"
#include "appserver/db/migrator.h"
#include "appserver/demo/demogenerator.h"
#include "appserver/methods/rdmcancelaconsoli.h"
#include "bench/appserver/direct.h"
#include "bench/support/benchsupport.h"
#include "framework/data/clientdataset.h"
#include "framework/wire/httptransport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <optional>

using namespace krt::bench;

namespace {

const QString kObject = QStringLiteral("Krt52600.rdmCancelaConsoli");

struct Settings
{
    int invoices = 100000;
    int toCancel = 10000;
    int runs = 3;
};

struct Ratios
{
    double list = 0;
    double cancel = 0;
};

QList<krt::Variant> listArgs(const QDate& from, const QDate& to)
{
    return {
        "0001", "LJ01", "", "T", "", "T", QDateTime(from, QTime(0, 0)), QDateTime(to, QTime(0, 0)),
        "S",    ""};
}

// One database: generated, served, listed and cancelled through the server
// and directly.
std::optional<Ratios> measure(const QString& name, const DbOptions& options, DirectAccess& direct,
                              const Settings& s, const QString& logPath)
{
    krt::app::DemoConfig config = krt::app::DemoConfig::forInvoices(s.invoices);
    config.approvedShare = 0;
    {
        QElapsedTimer t;
        t.start();
        krt::app::Database db(options);
        krt::app::Migrator(db).migrate();
        const krt::app::DemoSummary sum = krt::app::generateDemo(db, config);
        say(QStringLiteral("%1: base gerada: %2 vendas, %3 notas fiscais, %4 retiradas em %5 s")
                .arg(name)
                .arg(sum.sales)
                .arg(sum.invoices)
                .arg(sum.withdrawals)
                .arg(msSince(t) / 1000, 0, 'f', 1));
    }
    ServerProcess server;
    if (!server.start(databaseArgument(options), logPath)) {
        say(QStringLiteral("%1: erro: o servidor não iniciou").arg(name));
        return std::nullopt;
    }
    krt::HttpCallClient client("127.0.0.1", server.port(), 600000);
    client.setCredentials(krt::app::kDemoUser, krt::app::kDemoPassword);
    // The login's password hash takes memory on purpose: done first, and the
    // peak started again, so that the figures are the list's own.
    client.login();
    resetPeak(server.pid());
    const qint64 rssBefore = procKb(server.pid(), "VmRSS");

    // The whole list, ours and direct, best of `runs`.
    double ours = 1e18, directMs = 1e18;
    qsizetype rows = 0, directRows = 0, packetBytes = 0;
    qint64 rssFirstPeak = 0;
    for (int r = 0; r < s.runs; ++r) {
        QElapsedTimer t;
        t.start();
        const krt::Packet packet =
            client.call(kObject, "getPrincipal", listArgs(config.firstDay, config.lastDay()))
                .asPacket();
        TClientDataSet cds;
        cds.setData(packet);
        ours = std::min(ours, msSince(t));
        rows = cds.RecordCount();
        packetBytes = packet.bytes().size();
        if (r == 0)
            rssFirstPeak = procKb(server.pid(), "VmHWM");
        directMs = std::min(directMs, direct.list(config.firstDay, config.lastDay(), &directRows));
    }
    const qint64 rssPeak = procKb(server.pid(), "VmHWM");
    const qint64 rssAfter = procKb(server.pid(), "VmRSS");
    {
        // Where the time goes: the method alone, in this process.
        krt::app::Database db(options);
        krt::app::RdmCancelaConsoli object(db);
        const QList<krt::Variant> a = listArgs(config.firstDay, config.lastDay());
        QElapsedTimer t;
        t.start();
        const krt::Packet packet = object.dispatch("getPrincipal", a, "bench").asPacket();
        const double method = msSince(t);
        t.restart();
        const krt::Packet copy = krt::Packet::decode(packet.bytes());
        say(QStringLiteral("%1:   detalhe: método %2 ms, decodificação inteira %3 ms")
                .arg(name)
                .arg(method, 0, 'f', 1)
                .arg(msSince(t), 0, 'f', 1));
    }
    say(QStringLiteral("%1: listagem: %2 linhas (%3 MB no pacote) pelo servidor em %4 ms; direto: "
                       "%5 linhas em %6 ms")
            .arg(name)
            .arg(rows)
            .arg(packetBytes / 1048576.0, 0, 'f', 1)
            .arg(ours, 0, 'f', 1)
            .arg(directRows)
            .arg(directMs, 0, 'f', 1));
    say(QStringLiteral("%1: memória do servidor: %2 MB antes, pico %3 MB na 1ª listagem, pico %4 "
                       "MB e %5 MB depois de %6 listagens (pacote de %7 MB)")
            .arg(name)
            .arg(rssBefore / 1024.0, 0, 'f', 1)
            .arg(rssFirstPeak / 1024.0, 0, 'f', 1)
            .arg(rssPeak / 1024.0, 0, 'f', 1)
            .arg(rssAfter / 1024.0, 0, 'f', 1)
            .arg(s.runs)
            .arg(packetBytes / 1048576.0, 0, 'f', 1));

    // Cancel: equal windows of days from the start of the period, one per
    // run and side, ours and direct taking turns; best of the runs, as for
    // the list (a worker's first call also opens its connection).
    const int perDay = std::max(1, s.invoices / config.days);
    const int days = std::max(1, s.toCancel / perDay);
    const int cancelRuns = std::max(1, std::min({s.runs, 3, config.days / (2 * days)}));
    QDate nextDay = config.firstDay;
    const auto window = [&] {
        const QDate from = nextDay;
        nextDay = nextDay.addDays(days);
        return std::pair{from, nextDay.addDays(-1)};
    };
    double oursCancel = 1e18, directCancel = 1e18;
    int directCancelled = 0;
    qsizetype oursCancelled = 0;
    bool done = true;
    for (int r = 0; r < cancelRuns; ++r) {
        const auto [directFrom, directTo] = window();
        directCancel =
            std::min(directCancel, direct.cancel(directFrom, directTo, &directCancelled));
        const auto [oursFrom, oursTo] = window();
        const krt::Packet rows =
            client.call(kObject, "getPrincipal", listArgs(oursFrom, oursTo)).asPacket();
        QElapsedTimer t;
        t.start();
        done = client.call(kObject, "setDeletaNF", {"0001", rows}).asBool() && done;
        oursCancel = std::min(oursCancel, msSince(t));
        oursCancelled = rows.rowCount();
    }
    say(QStringLiteral("%1: cancelamento (melhor de %7): %2 notas pelo servidor em %3 ms (%4); "
                       "%5 notas por SQL direto em %6 ms")
            .arg(name)
            .arg(oursCancelled)
            .arg(oursCancel, 0, 'f', 1)
            .arg(done ? "true" : "false")
            .arg(directCancelled)
            .arg(directCancel, 0, 'f', 1)
            .arg(cancelRuns));
    return Ratios{ours / directMs, oursCancel / directCancel};
}

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
    // Filling PostgreSQL through the generator takes far longer than SQLite:
    // its base is smaller by default, so the run stays within a few minutes.
    const QCommandLineOption pgInvoicesOpt(
        "pg-invoices", "Notas fiscais da base PostgreSQL (20000).", "n", "20000");
    const QCommandLineOption pgCancelOpt("pg-cancel", "Notas canceladas no PostgreSQL (2000).", "n",
                                         "2000");
    const QCommandLineOption sqliteOnly("sqlite-only", "Não mede o PostgreSQL.");
    parser.addOptions({invoicesOpt, cancelOpt, runsOpt, pgInvoicesOpt, pgCancelOpt, sqliteOnly});
    parser.process(app);
    Settings s;
    s.invoices = parser.value(invoicesOpt).toInt();
    s.toCancel = parser.value(cancelOpt).toInt();
    s.runs = std::max(1, parser.value(runsOpt).toInt());

    QTemporaryDir dir;
    const QString path = dir.filePath("bench.db");
    const auto sqliteDirect = directSqlite(path);
    const std::optional<Ratios> lite = measure(QStringLiteral("SQLite"), DbOptions::sqlite(path),
                                               *sqliteDirect, s, dir.filePath("server.log"));
    std::optional<Ratios> pg;
    if (parser.isSet(sqliteOnly) || !postgresAvailable()) {
        say(QStringLiteral("PostgreSQL: não medido (defina KRT_PG_HOST, KRT_PG_PORT, KRT_PG_USER; "
                           "scripts/pg-cluster.sh)"));
    } else {
        const QString name = QStringLiteral("krt_bench_appserver");
        const DbOptions options = createPostgresDatabase(name);
        const auto pgDirect = directPostgres(libpqConnection(options));
        s.invoices = parser.value(pgInvoicesOpt).toInt();
        s.toCancel = parser.value(pgCancelOpt).toInt();
        pg = measure(QStringLiteral("PostgreSQL"), options, *pgDirect, s,
                     dir.filePath("server-pg.log"));
        dropPostgresDatabase(name);
    }
    if (!lite || (postgresAvailable() && !parser.isSet(sqliteOnly) && !pg))
        return 1;
    say(QStringLiteral("list ratio: %1").arg(lite->list, 0, 'f', 2));
    say(QStringLiteral("cancel ratio: %1").arg(lite->cancel, 0, 'f', 2));
    if (pg) {
        say(QStringLiteral("pg list ratio: %1").arg(pg->list, 0, 'f', 2));
        say(QStringLiteral("pg cancel ratio: %1").arg(pg->cancel, 0, 'f', 2));
    }
    return 0;
}
