// The cancellation screen's invoice load against a real krt-appserver on a
// generated database (100 000 invoices by default), offscreen.
//
//   screen load: the refresh click until the grid's model holds every row,
//                the first invoice's details included;
//   bare list:   getPrincipal over the same connection, decoded, nothing loaded;
//   memory:      the client's peak while the list loads (its resident set's
//                high-water mark above where it stood just before, freed
//                memory given back first) beside the packet's size, and what
//                it keeps once loaded;
//   scrolling:   the grid scrolled to the end and back, with the server calls
//                counted (there must be none).
//
// Both timings are the best of their turns, taken in alternation: at least
// `runs` each and, as the list benchmark does, as many as fit in a few
// seconds, so that a moment when the machine's neighbours take its cores
// does not decide the figure.
// Last lines: "screen load ratio: <screen / bare list>" and
// "client memory ratio: <peak / packet bytes>".
#include "../../tests/appserver/serverprocess.h"

#include "appserver/db/database.h"
#include "appserver/db/migrator.h"
#include "appserver/demo/demogenerator.h"
#include "bench/support/benchsupport.h"
#include "filter/filtro.h"
#include "framework/core/usercontext.h"
#include "framework/data/clientdataset.h"
#include "framework/data/scriptedhostservices.h"
#include "framework/db/dtmdbgeral.h"
#include "framework/forms/formtypes.h"
#include "framework/net/netconnection.h"
#include "framework/widgets/maskedit.h"
#include "screen/frmcancelaconsoli.h"
#include "shared/moduleglobals.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <unistd.h>
#include <vector>

namespace {

using krt::bench::msSince;
using krt::bench::procKb;
using krt::bench::say;

// Bytes the allocator has handed out and not taken back.
qint64 heapInUse()
{
    malloc_trim(0);
    return qint64(mallinfo2().uordblks) + qint64(mallinfo2().hblkhd);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double best(const std::vector<double>& v)
{
    return *std::min_element(v.begin(), v.end());
}

int callsIn(const QString& log, const QString& method)
{
    return int(log.count(QLatin1Char(' ') + method + QLatin1Char(' ')));
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qputenv("KRT_BIN_DIR", QCoreApplication::applicationDirPath().toUtf8());
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption invoicesOpt("invoices", "Notas fiscais da base (100000).", "n",
                                         "100000");
    const QCommandLineOption runsOpt("runs", "Repetições (5).", "n", "5");
    parser.addOptions({invoicesOpt, runsOpt});
    parser.process(app);
    const int invoices = parser.value(invoicesOpt).toInt();
    const int runs = std::max(1, parser.value(runsOpt).toInt());

    QTemporaryDir dir;
    const QString path = dir.filePath("bench.db");
    krt::app::DemoConfig config = krt::app::DemoConfig::forInvoices(invoices);
    {
        krt::app::Database db(krt::app::DbOptions::sqlite(path));
        krt::app::Migrator(db).migrate();
        const krt::app::DemoSummary s = krt::app::generateDemo(db, config);
        say(QStringLiteral("base gerada: %1 notas fiscais").arg(s.invoices));
    }
    ServerProcess server;
    if (!server.start("sqlite:" + path)) {
        say("erro: o servidor não iniciou: " + server.error);
        return 1;
    }

    // The host's lookups (branch, store) read the same file, as in the demo.
    TdtmDBGeral lookups;
    lookups.openSqlite(path);
    dtmDBGeral = &lookups;

    krt::ScriptedHostServices services;
    services.install();
    krt::UserContext context;
    context.branch = QStringLiteral("0001");
    context.webPort = server.port();
    // The demo database's documented user.
    context.serverUser = QStringLiteral("demo");
    context.serverPassword = QStringLiteral("demo");
    krt::setUserContext(context);

    auto* screen = krt::createForm<TfrmCancelaConsoli>();
    frmCancelaConsoli = screen;
    screen->resize(900, 600);
    screen->show();
    screen->activateWindow();
    // Its first activation fills the panel and the filter with the user's
    // defaults; the benchmark's period and store are set after it.
    QCoreApplication::processEvents();
    screen->medFilial->setText(QStringLiteral("0001"));
    screen->medCdLoja->setText(QStringLiteral("LJ01"));
    Filtro.dtInicial = DateToDayCount(config.firstDay);
    Filtro.dtFinal = DateToDayCount(config.lastDay());
    Filtro.boTodosCaixas = true;
    Filtro.boTodasVendas = true;
    const QList<krt::Variant> args{krt::Variant("0001"),
                                   krt::Variant("LJ01"),
                                   krt::Variant(""),
                                   krt::Variant("T"),
                                   krt::Variant(""),
                                   krt::Variant("T"),
                                   krt::Variant(DayCountToDateTime(Filtro.dtInicial)),
                                   krt::Variant(DayCountToDateTime(Filtro.dtFinal)),
                                   krt::Variant("S"),
                                   krt::Variant("")};

    QAbstractItemModel* model = screen->dbgPadrao->model();
    std::vector<double> screenMs, bareMs;
    qint64 growth = 0, peak = 0, packetBytes = 0;
    const qint64 self = qint64(::getpid());
    int rows = 0;
    // The bare list: the same call on the same connection, only decoded.
    const auto bareList = [&] {
        QElapsedTimer t;
        t.start();
        const krt::Variant list = screen->netCancConsoli->AppServer().call("getPrincipal", args);
        rows = list.asPacket().rowCount();
        bareMs.push_back(msSince(t));
    };
    // As many turns as fit in this time, at least `runs`.
    constexpr qint64 kTurnsMs = 4000;
    constexpr int kMaxTurns = 40;
    QElapsedTimer spent;
    spent.start();
    for (int r = 0; r < runs || (spent.elapsed() < kTurnsMs && r < kMaxTurns); ++r) {
        // The two take turns going first.
        if (r % 2 == 0)
            bareList();
        screen->qryPrincipal->Close();
        QCoreApplication::processEvents();
        const qint64 before = heapInUse();
        // Freed pages went back with the trim: the high-water mark starts
        // again from what is really in use.
        krt::bench::resetPeak(self);
        const qint64 rssBefore = procKb(self, "VmRSS");
        QElapsedTimer t;
        t.start();
        screen->sbtVerificar->click();
        const int shown = model ? model->rowCount() : -1;
        screenMs.push_back(msSince(t));
        const qint64 runPeak = (procKb(self, "VmHWM") - rssBefore) * 1024;
        peak = std::max(peak, runPeak);
        growth = heapInUse() - before;
        packetBytes = screen->qryPrincipal->Data().size();
        if (!services.errors().isEmpty() || shown != rows) {
            say("erro: " + services.errors().join(" / ") +
                QStringLiteral(" (grade com %1 linhas de %2; qryPrincipal %3 aberta %4; "
                               "mensagens %5)")
                    .arg(shown)
                    .arg(rows)
                    .arg(screen->qryPrincipal->RecordCount())
                    .arg(screen->qryPrincipal->Active())
                    .arg(services.messages().join(" / ")));
            return 1;
        }
        if (r % 2 == 1)
            bareList();
        if (r < runs)
            say(QStringLiteral(
                    "execução %1: tela %2 ms, lista pura %3 ms, %4 linhas, pico de memória "
                    "+%5 KB")
                    .arg(r + 1)
                    .arg(screenMs.back(), 0, 'f', 1)
                    .arg(bareMs.back(), 0, 'f', 1)
                    .arg(rows)
                    .arg(runPeak / 1024));
    }

    // Scrolling the whole grid and back moves no cursor and calls nothing.
    const int detailsBefore = callsIn(server.log(), "getItLanctoEst");
    const int recNo = screen->qryPrincipal->RecNo();
    QScrollBar* bar = screen->dbgPadrao->verticalScrollBar();
    QElapsedTimer scroll;
    scroll.start();
    for (int step = 0; step <= 20; ++step) {
        bar->setValue(bar->maximum() * step / 20);
        QCoreApplication::processEvents();
    }
    for (int step = 20; step >= 0; --step) {
        bar->setValue(bar->maximum() * step / 20);
        QCoreApplication::processEvents();
    }
    const double scrollMs = msSince(scroll);
    const int detailsAfter = callsIn(server.log(), "getItLanctoEst");
    say(QStringLiteral("rolagem até o fim e de volta: %1 ms, %2 chamadas ao servidor, registro "
                       "atual %3 → %4")
            .arg(scrollMs, 0, 'f', 1)
            .arg(detailsAfter - detailsBefore)
            .arg(recNo)
            .arg(screen->qryPrincipal->RecNo()));

    say(QStringLiteral("carga da tela: melhor %1 ms, mediana %2 ms; lista pura: melhor %3 ms, "
                       "mediana %4 ms (%5 vezes cada)")
            .arg(best(screenMs), 0, 'f', 1)
            .arg(median(screenMs), 0, 'f', 1)
            .arg(best(bareMs), 0, 'f', 1)
            .arg(median(bareMs), 0, 'f', 1)
            .arg(screenMs.size()));
    say(QStringLiteral("memória do cliente: pico +%1 KB durante a carga, +%2 KB retidos depois, "
                       "para um pacote de %3 KB")
            .arg(peak / 1024)
            .arg(growth / 1024)
            .arg(packetBytes / 1024));
    delete screen;
    say(QStringLiteral("screen load ratio: %1").arg(best(screenMs) / best(bareMs), 0, 'f', 2));
    say(QStringLiteral("client memory ratio: %1 (peak / packet)")
            .arg(double(peak) / double(packetBytes), 0, 'f', 2));
    return 0;
}
