// Application-server benchmark, on SQLite and, when the test script's
// PostgreSQL cluster is there (KRT_PG_*), on PostgreSQL too. Both sides of
// each figure run in the same process, taking turns, best of `runs` each
// (a list: of as many turns as fit in three seconds, if more):
//
//   list:   the invoice list (getPrincipal) called over loopback and loaded
//           into a client data set, against the same rows read into plain
//           rows by the database's own client (SQLite's C API; libpq) on a
//           connection opened before the clock and kept, with the server's
//           session settings; over every day (about 100 000 rows) and over
//           the first days (about 10 000 rows), where the fixed costs of a
//           call weigh most; with --list-1m also on a base of 1 000 000;
//   cancel: setDeletaNF of N invoices over loopback, against the same changes
//           made directly in one transaction: set-based (the keys loaded once
//           into a temporary table, or on PostgreSQL also as one array
//           parameter; one statement per table), and on SQLite key by key
//           too. Every side gets its own N consecutive invoices of the same
//           list, so the counts are equal, and afterwards none of them may
//           be left. The ratio is against the fastest set-based floor.
//
// The server runs as its own process so that its memory can be watched while
// it answers. The last lines are "list ratio", "list ratio 10k" (and "list
// ratio 1M"), "cancel ratio" and, with PostgreSQL, "pg list ratio",
// "pg cancel ratio" (ours divided by the floor; each says which floor).
#include "appserver/db/database.h"
#include "appserver/db/migrator.h"
#include "appserver/demo/demogenerator.h"
#include "appserver/methods/rdmcancelaconsoli.h"
#include "bench/appserver/direct.h"
#include "bench/appserver/packetslice.h"
#include "bench/support/benchsupport.h"
#include "framework/data/clientdataset.h"
#include "framework/wire/httptransport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <map>
#include <optional>

using namespace krt::bench;

namespace {

const QString kObject = QStringLiteral("Krt52600.rdmCancelaConsoli");

struct Settings
{
    int invoices = 100000;
    int toCancel = 10000;
    int runs = 3;
    // The short list's size; 0: not measured.
    int shortList = 10000;
    // Only the list (the 1M base).
    bool listOnly = false;
};

struct ListRatio
{
    double ratio = 0;
    qsizetype rows = 0;
};

struct Ratios
{
    ListRatio list, shortList;
    double cancel = 0;
    QString cancelFloor;
};

QList<krt::Variant> listArgs(const QDate& from, const QDate& to)
{
    return {
        "0001", "LJ01", "", "T", "", "T", QDateTime(from, QTime(0, 0)), QDateTime(to, QTime(0, 0)),
        "S",    ""};
}

using DirectFactory = std::function<std::unique_ptr<DirectAccess>()>;

// Both sides of a list take turns for at least this long together, and at
// least `runs` turns each: on a machine whose neighbours take time from it
// at moments, the best of three 40 ms lists was decided by those moments
// (the PostgreSQL list of 20 000 rows gave 1.15–1.56 at three turns and
// 1.02 at two hundred), while a long list's few turns already take this long.
constexpr qint64 kListTurnsMs = 3000;
constexpr int kMaxListTurns = 1000;

// Best of the turns of the list over [from, to], ours and direct taking
// turns (each starting every other time).
ListRatio compareLists(const QString& name, const QString& what, krt::HttpCallClient& client,
                       DirectAccess& direct, const QDate& from, const QDate& to, int runs,
                       const ServerProcess& server, krt::Packet* last)
{
    double ours = 1e18, directMs = 1e18;
    qsizetype rows = 0, directRows = 0, packetBytes = 0;
    qint64 rssFirstPeak = 0;
    const qint64 rssBefore = procKb(server.pid(), "VmRSS");
    resetPeak(server.pid());
    // What a turn costs in CPU, averaged: the server's (its clock ticks),
    // the client's and the floor's own (this thread's).
    double serverCpu = 0, clientCpu = 0, directCpu = 0;
    const auto oursOnce = [&] {
        const double serverBefore = cpuMs(server.pid()), clientBefore = threadCpuMs();
        QElapsedTimer t;
        t.start();
        const krt::Packet packet =
            client.call(kObject, "getPrincipal", listArgs(from, to)).asPacket();
        TClientDataSet cds;
        cds.setData(packet);
        ours = std::min(ours, msSince(t));
        clientCpu += threadCpuMs() - clientBefore;
        serverCpu += cpuMs(server.pid()) - serverBefore;
        rows = cds.RecordCount();
        packetBytes = packet.size();
        if (last)
            *last = packet;
    };
    const auto directOnce = [&] {
        const double before = threadCpuMs();
        directMs = std::min(directMs, direct.list(from, to, &directRows));
        directCpu += threadCpuMs() - before;
    };
    QElapsedTimer spent;
    spent.start();
    int turns = 0;
    for (; turns < runs || (spent.elapsed() < kListTurnsMs && turns < kMaxListTurns); ++turns) {
        if (turns % 2 == 0) {
            oursOnce();
            directOnce();
        } else {
            directOnce();
            oursOnce();
        }
        if (turns == 0)
            rssFirstPeak = procKb(server.pid(), "VmHWM");
    }
    say(QStringLiteral("%1: listagem %2: %3 linhas (%4 MB no pacote) pelo servidor em %5 ms; "
                       "direto: %6 linhas em %7 ms (melhor de %8)")
            .arg(name, what)
            .arg(rows)
            .arg(packetBytes / 1048576.0, 0, 'f', 1)
            .arg(ours, 0, 'f', 1)
            .arg(directRows)
            .arg(directMs, 0, 'f', 1)
            .arg(turns));
    say(QStringLiteral(
            "%1:   CPU por listagem (média): servidor %2 ms, cliente %3 ms; direto %4 ms")
            .arg(name)
            .arg(serverCpu / turns, 0, 'f', 1)
            .arg(clientCpu / turns, 0, 'f', 1)
            .arg(directCpu / turns, 0, 'f', 1));
    if (rows != directRows)
        say(QStringLiteral("%1: erro: %2 linhas pelo servidor, %3 direto")
                .arg(name)
                .arg(rows)
                .arg(directRows));
    say(QStringLiteral("%1: memória do servidor: %2 MB antes, pico %3 MB na 1ª listagem, pico %4 "
                       "MB e %5 MB depois de %6 listagens")
            .arg(name)
            .arg(rssBefore / 1024.0, 0, 'f', 1)
            .arg(rssFirstPeak / 1024.0, 0, 'f', 1)
            .arg(procKb(server.pid(), "VmHWM") / 1024.0, 0, 'f', 1)
            .arg(procKb(server.pid(), "VmRSS") / 1024.0, 0, 'f', 1)
            .arg(turns));
    return ListRatio{ours / directMs, rows};
}

InvoiceKeys keysOf(const krt::Packet& packet, int first, int count)
{
    const int cb = packet.fieldIndex("CDFILIALNF"), cn = packet.fieldIndex("NRLANCTONF");
    InvoiceKeys keys;
    for (int r = first; r < first + count; ++r)
        keys.emplace_back(packet.text(r, cb), packet.text(r, cn));
    return keys;
}

// The cancellation: ours and each of the floor's ways on slices of `count`
// consecutive rows of `list` each, taking turns, best of the runs. Returns
// ours over the fastest set-based way, and names that way.
std::pair<double, QString> compareCancels(const QString& name, krt::HttpCallClient& client,
                                          DirectAccess& direct, const krt::Packet& list, int count,
                                          int runs, const ServerProcess& server)
{
    const std::vector<CancelWay> ways = direct.cancelWays();
    const int sides = int(ways.size()) + 1; // side 0 is ours
    if (count * sides > list.rowCount()) {
        count = list.rowCount() / sides;
        say(QStringLiteral("%1: aviso: a lista tem %2 notas; cada lado cancela %3")
                .arg(name)
                .arg(list.rowCount())
                .arg(count));
    }
    runs = std::max(1, std::min(runs, list.rowCount() / (count * sides)));
    std::vector<double> best(size_t(sides), 1e18);
    bool allGone = true;
    const qint64 rssBefore = procKb(server.pid(), "VmRSS");
    resetPeak(server.pid());
    qint64 rssAfterFirst = 0;
    for (int r = 0; r < runs; ++r) {
        for (int k = 0; k < sides; ++k) {
            const int side = (r + k) % sides;
            const int first = (r * sides + k) * count;
            const InvoiceKeys keys = keysOf(list, first, count);
            double ms = 0;
            if (side == 0) {
                const krt::Packet rows = packetRows(list, first, count);
                QElapsedTimer t;
                t.start();
                const bool done = client.call(kObject, "setDeletaNF", {"0001", rows}).asBool();
                ms = msSince(t);
                if (!done)
                    say(QStringLiteral("%1: erro: setDeletaNF respondeu false").arg(name));
                if (r == 0)
                    rssAfterFirst = procKb(server.pid(), "VmRSS");
            } else {
                ms = direct.cancel(ways[size_t(side - 1)], keys);
            }
            best[size_t(side)] = std::min(best[size_t(side)], ms);
            if (const qsizetype left = direct.remaining(keys)) {
                allGone = false;
                say(QStringLiteral("%1: erro: %2 de %3 notas não foram canceladas (%4)")
                        .arg(name)
                        .arg(left)
                        .arg(count)
                        .arg(side == 0 ? QStringLiteral("servidor")
                                       : describe(ways[size_t(side - 1)])));
            }
        }
    }
    say(QStringLiteral("%1: cancelamento de %2 notas (melhor de %3): pelo servidor %4 ms")
            .arg(name)
            .arg(count)
            .arg(runs)
            .arg(best[0], 0, 'f', 1));
    size_t floor = 0;
    for (size_t w = 0; w < ways.size(); ++w) {
        say(QStringLiteral("%1:   direto, %2: %3 ms (servidor / direto %4)")
                .arg(name, describe(ways[w]))
                .arg(best[w + 1], 0, 'f', 1)
                .arg(best[0] / best[w + 1], 0, 'f', 2));
        if (isSetBased(ways[w]) && (floor == 0 || best[w + 1] < best[floor]))
            floor = w + 1;
    }
    say(QStringLiteral("%1: memória do servidor no cancelamento: %2 MB antes, %3 MB depois do "
                       "1º, pico %4 MB, %5 MB no fim; todas as notas canceladas: %6")
            .arg(name)
            .arg(rssBefore / 1024.0, 0, 'f', 1)
            .arg(rssAfterFirst / 1024.0, 0, 'f', 1)
            .arg(procKb(server.pid(), "VmHWM") / 1024.0, 0, 'f', 1)
            .arg(procKb(server.pid(), "VmRSS") / 1024.0, 0, 'f', 1)
            .arg(allGone ? "sim" : "não"));
    return {best[0] / best[floor], describe(ways[floor - 1])};
}

// One database: generated, served, listed and cancelled through the server
// and directly.
std::optional<Ratios> measure(const QString& name, const DbOptions& options,
                              const DirectFactory& makeDirect, const Settings& s,
                              const QString& logPath)
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
    // The login's password hash takes memory and time on purpose: done
    // before any clock.
    client.login();
    const std::unique_ptr<DirectAccess> direct = makeDirect();

    Ratios out;
    krt::Packet whole;
    out.list = compareLists(name, QStringLiteral("inteira"), client, *direct, config.firstDay,
                            config.lastDay(), s.runs, server, &whole);
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
    if (s.listOnly)
        return out;
    if (s.shortList > 0) {
        const int perDay = std::max(1, s.invoices / config.days);
        const int days = std::clamp(s.shortList / perDay, 1, config.days);
        out.shortList = compareLists(name, QStringLiteral("dos primeiros %1 dias").arg(days),
                                     client, *direct, config.firstDay,
                                     config.firstDay.addDays(days - 1), s.runs, server, nullptr);
    }
    std::tie(out.cancel, out.cancelFloor) =
        compareCancels(name, client, *direct, whole, s.toCancel, s.runs, server);
    return out;
}

QString rowsLabel(qsizetype rows)
{
    return rows >= 1000000 ? QStringLiteral("%1M").arg(qRound(rows / 1e6))
                           : QStringLiteral("%1k").arg(qRound(rows / 1e3));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption invoicesOpt("invoices", "Notas fiscais da base (100000).", "n",
                                         "100000");
    const QCommandLineOption cancelOpt("cancel", "Notas canceladas por lado (10000).", "n",
                                       "10000");
    const QCommandLineOption runsOpt("runs", "Repetições de cada medida (3).", "n", "3");
    const QCommandLineOption shortOpt("short-list", "Linhas da listagem curta (10000).", "n",
                                      "10000");
    // A base of a million invoices takes minutes to generate: asked for.
    const QCommandLineOption millionOpt("list-1m",
                                        "Mede também a listagem numa base de 1 000 000 notas.");
    // Filling PostgreSQL through the generator takes far longer than SQLite:
    // its base is smaller by default, so the run stays within a few minutes.
    const QCommandLineOption pgInvoicesOpt(
        "pg-invoices", "Notas fiscais da base PostgreSQL (20000).", "n", "20000");
    const QCommandLineOption pgCancelOpt("pg-cancel", "Notas canceladas no PostgreSQL (2000).", "n",
                                         "2000");
    const QCommandLineOption sqliteOnly("sqlite-only", "Não mede o PostgreSQL.");
    parser.addOptions({invoicesOpt, cancelOpt, runsOpt, shortOpt, millionOpt, pgInvoicesOpt,
                       pgCancelOpt, sqliteOnly});
    parser.process(app);
    Settings s;
    s.invoices = parser.value(invoicesOpt).toInt();
    s.toCancel = std::max(1, parser.value(cancelOpt).toInt());
    s.runs = std::max(1, parser.value(runsOpt).toInt());
    s.shortList = std::max(0, parser.value(shortOpt).toInt());

    QTemporaryDir dir;
    try {
        const QString path = dir.filePath("bench.db");
        const std::optional<Ratios> lite = measure(
            QStringLiteral("SQLite"), DbOptions::sqlite(path), [&] { return directSqlite(path); },
            s, dir.filePath("server.log"));
        std::optional<Ratios> large;
        if (parser.isSet(millionOpt)) {
            const QString bigPath = dir.filePath("bench-1m.db");
            Settings big = s;
            big.invoices = 1000000;
            big.listOnly = true;
            large = measure(
                QStringLiteral("SQLite 1M"), DbOptions::sqlite(bigPath),
                [&] { return directSqlite(bigPath); }, big, dir.filePath("server-1m.log"));
            QFile::remove(bigPath);
        }
        std::optional<Ratios> pg;
        const bool withPg = !parser.isSet(sqliteOnly) && postgresAvailable();
        if (!withPg) {
            say(QStringLiteral("PostgreSQL: não medido (defina KRT_PG_HOST, KRT_PG_PORT, "
                               "KRT_PG_USER; scripts/pg-cluster.sh)"));
        } else {
            const QString name = QStringLiteral("krt_bench_appserver");
            const DbOptions options = createPostgresDatabase(name);
            Settings p = s;
            p.invoices = parser.value(pgInvoicesOpt).toInt();
            p.toCancel = std::max(1, parser.value(pgCancelOpt).toInt());
            p.shortList = 0;
            pg = measure(
                QStringLiteral("PostgreSQL"), options,
                [&] { return directPostgres(libpqConnection(options)); }, p,
                dir.filePath("server-pg.log"));
            dropPostgresDatabase(name);
        }
        if (!lite || (parser.isSet(millionOpt) && !large) || (withPg && !pg))
            return 1;
        say(QStringLiteral("list ratio: %1 (%2 rows; floor: the same rows read directly on a warm "
                           "connection)")
                .arg(lite->list.ratio, 0, 'f', 2)
                .arg(lite->list.rows));
        if (s.shortList > 0)
            say(QStringLiteral("list ratio %1: %2 (%3 rows)")
                    .arg(rowsLabel(s.shortList))
                    .arg(lite->shortList.ratio, 0, 'f', 2)
                    .arg(lite->shortList.rows));
        if (large)
            say(QStringLiteral("list ratio 1M: %1 (%2 rows)")
                    .arg(large->list.ratio, 0, 'f', 2)
                    .arg(large->list.rows));
        say(QStringLiteral("cancel ratio: %1 (floor: %2)")
                .arg(lite->cancel, 0, 'f', 2)
                .arg(lite->cancelFloor));
        if (pg) {
            say(QStringLiteral("pg list ratio: %1 (%2 rows; floor: the same rows read by libpq on "
                               "a warm connection)")
                    .arg(pg->list.ratio, 0, 'f', 2)
                    .arg(pg->list.rows));
            say(QStringLiteral("pg cancel ratio: %1 (floor: %2)")
                    .arg(pg->cancel, 0, 'f', 2)
                    .arg(pg->cancelFloor));
        }
    } catch (const std::exception& e) {
        say(QStringLiteral("erro: %1").arg(QString::fromUtf8(e.what())));
        return 1;
    }
    return 0;
}
