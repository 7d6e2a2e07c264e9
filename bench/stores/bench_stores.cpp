// Load benchmark: a chain's stores working at once against krt-appserver on
// one PostgreSQL database.
//
// Each simulated store (a thread with its own connection) works through its
// days the way a clerk does: lists the day's invoices, opens the details of
// the first few, asks whether the period is open and cancels the day. First
// against one server process; then, as the floor, the same days' work
// replayed straight on PostgreSQL through libpq (one connection per store,
// the statements the server runs for each call, each prepared once). The
// same pair runs again with PostgreSQL on a core of its own and everything
// else on the others, as a chain's database runs on a machine of its own
// (when the database runs here and may be moved). Last, against two
// processes on the same database, where each store's cancellation is also
// sent at the same moment through the other process (a second terminal of
// the same store), so that both servers race for the same invoices. Every
// store logs in before the clock starts (a login is an Argon2id hash, slow
// on purpose): the logins are timed apart. Before each clock, both sides
// read one day (list, details, period) untimed, so that every connection's
// backend has its statements' catalog and plans in memory. Each run also
// says where its CPU went per call: the clients, the servers, the rest of
// the machine (PostgreSQL).
//
// At the end the database must show every pending invoice of the days worked
// cancelled exactly once (the audit's counts add up to what there was), none
// half undone (no item, sale link or stock posting left pointing at a
// vanished invoice) and every stock balance moved by exactly what the
// removed postings had moved it.
//
// Needs KRT_PG_HOST, KRT_PG_PORT, KRT_PG_USER and KRT_PG_DB (the maintenance
// database, where a throw-away database is created and dropped); scripts/bench-stores.sh
// starts a throw-away cluster and runs it. The last line is
// "stores: <calls/s> calls/s (floor <calls/s>, ratio <x>), p50 <ms> ms, p99
// <ms> ms, consistent: yes|no": the run on one process against the replay
// on the shared cores, the consistency over every run; the line before it
// ("stores, PostgreSQL apart: …") the same with the database apart.
//
// With --balancer N the same work goes through HAProxy (TLS ended there,
// round robin, as deploy/haproxy.cfg runs it) in front of N processes that
// share one token key: the first run and the doubled cancellations both
// through it, the last line the same. A fourth share of the days is then
// worked one method at a time, one call at a time, and each method's
// cost per call is printed: the database's time (pg_stat_statements, which
// scripts/pg-cluster.sh's cluster loads), the servers' CPU and the bytes
// HAProxy passed each way.
#include "appserver/db/database.h"
#include "appserver/db/migrator.h"
#include "appserver/db/sql.h"
#include "appserver/demo/demogenerator.h"
#include "bench/stores/replay.h"
#include "bench/support/benchsupport.h"
#include "bench/support/cores.h"
#include "bench/support/costmeter.h"
#include "bench/support/pgsession.h"
#include "framework/wire/httptransport.h"
#include "haproxyprocess.h"
#include "testpki.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

using krt::Variant;
using krt::app::Query;

const QString kObject = QStringLiteral("Krt52600.rdmCancelaConsoli");

using krt::bench::msSince;
using krt::bench::say;

// The call times of a run, from every store's thread.
class Recorder
{
public:
    template <typename F> Variant timed(F&& call)
    {
        QElapsedTimer t;
        t.start();
        try {
            Variant result = call();
            add(msSince(t));
            return result;
        } catch (const std::exception& e) {
            add(msSince(t));
            std::lock_guard lock(mutex_);
            if (errors_.size() < 5)
                errors_ << QString::fromUtf8(e.what());
            ++failed_;
            return Variant();
        }
    }
    double percentile(double p)
    {
        std::lock_guard lock(mutex_);
        if (ms_.empty())
            return 0;
        std::sort(ms_.begin(), ms_.end());
        const auto at = std::min(ms_.size() - 1, size_t(std::ceil(p * double(ms_.size())) - 1));
        return ms_[at];
    }
    size_t calls() const { return ms_.size(); }
    int failed() const { return failed_; }
    const QStringList& errors() const { return errors_; }

private:
    void add(double ms)
    {
        std::lock_guard lock(mutex_);
        ms_.push_back(ms);
    }
    std::mutex mutex_;
    std::vector<double> ms_;
    QStringList errors_;
    int failed_ = 0;
};

struct Store
{
    QString branch, store;
};

// One store's clerk: each day of `days`, list, open details, check the
// period, cancel (through `second` too, at the same moment, when given).
void work(const Store& s, const QList<QDate>& days, int details, krt::HttpCallClient& first,
          krt::HttpCallClient* second, Recorder& rec)
{
    for (const QDate& day : days) {
        const Variant from(QDateTime(day, QTime(0, 0))), to(QDateTime(day, QTime(0, 0)));
        const Variant list = rec.timed([&] {
            return first.call(kObject, "getPrincipal",
                              {s.branch, s.store, "", "T", "", "T", from, to, "S", ""});
        });
        if (!list.isPacket())
            continue;
        const krt::Packet packet = list.asPacket();
        const int cBranch = packet.fieldIndex(std::string_view("CDFILIALNF"));
        const int cNumber = packet.fieldIndex(std::string_view("NRLANCTONF"));
        for (int r = 0; r < std::min(details, packet.rowCount()); ++r) {
            rec.timed([&] {
                return first.call(kObject, "getItLanctoEst",
                                  {packet.textQ(r, cBranch), packet.textQ(r, cNumber)});
            });
        }
        rec.timed([&] { return first.call(kObject, "getPeriodoCTBOK", {s.branch, from, to}); });
        std::thread other;
        if (second)
            other = std::thread([&] {
                rec.timed([&] { return second->call(kObject, "setDeletaNF", {s.branch, list}); });
            });
        rec.timed([&] { return first.call(kObject, "setDeletaNF", {s.branch, list}); });
        if (other.joinable())
            other.join();
    }
}

// A day's reads (the list, the first invoice's details, the period), before
// the clock, as the replay's warm-up reads them: the server's connections
// then have the statements' catalog and plans in memory on both sides.
void warmUp(const Store& s, const QDate& day, krt::HttpCallClient& terminal)
{
    const Variant from(QDateTime(day, QTime(0, 0)));
    const Variant list = terminal.call(kObject, "getPrincipal",
                                       {s.branch, s.store, "", "T", "", "T", from, from, "S", ""});
    if (list.isPacket() && list.asPacket().rowCount() > 0) {
        const krt::Packet packet = list.asPacket();
        terminal.call(kObject, "getItLanctoEst",
                      {packet.textQ(0, packet.fieldIndex(std::string_view("CDFILIALNF"))),
                       packet.textQ(0, packet.fieldIndex(std::string_view("NRLANCTONF")))});
    }
    terminal.call(kObject, "getPeriodoCTBOK", {s.branch, from, from});
}

// Runs `each(i)` for every store at once, and waits for all.
template <typename F> void everyStore(qsizetype stores, F&& each)
{
    std::vector<std::thread> threads;
    for (qsizetype i = 0; i < stores; ++i)
        threads.emplace_back([&, i] { each(size_t(i)); });
    for (std::thread& t : threads)
        t.join();
}

// Where a store's terminal calls: a server's own port, or the balancer's
// TLS front (with the CA its certificate is signed by).
struct Endpoint
{
    quint16 port = 0;
    QString caFile;
};

std::unique_ptr<krt::HttpCallClient> terminal(const Endpoint& e)
{
    auto c = std::make_unique<krt::HttpCallClient>("127.0.0.1", e.port, 600000);
    if (!e.caFile.isEmpty())
        c->setTls(e.caFile);
    c->setCredentials(krt::app::kDemoUser, krt::app::kDemoPassword);
    return c;
}

// Logs every terminal in at once, before any clock, and says how fast.
void logInAll(const QString& title, const std::vector<krt::HttpCallClient*>& all)
{
    std::atomic<int> failed{0}, retried{0};
    std::mutex mutex;
    QString firstError;
    QElapsedTimer t;
    t.start();
    std::vector<std::thread> logins;
    for (krt::HttpCallClient* c : all)
        logins.emplace_back([&, c] {
            // Every terminal is the same user: more of its logins in flight
            // at once than the throttle lets go free (several processes) are
            // held up a second. Tried again here, or the login would happen
            // at the first timed call.
            for (int attempt = 0;; ++attempt) {
                try {
                    c->login();
                    return;
                } catch (const std::exception& e) {
                    if (attempt == 0)
                        ++retried;
                    if (attempt < 10) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
                        continue;
                    }
                    ++failed;
                    std::lock_guard lock(mutex);
                    if (firstError.isEmpty())
                        firstError = QString::fromUtf8(e.what());
                    return;
                }
            }
        });
    for (std::thread& l : logins)
        l.join();
    const double s = msSince(t) / 1000;
    say(QStringLiteral("%1: %2 logins em %3 s: %4 logins/s, %5 repetidos, %6 falhas")
            .arg(title)
            .arg(all.size())
            .arg(s, 0, 'f', 2)
            .arg(double(all.size()) / s, 0, 'f', 1)
            .arg(retried.load())
            .arg(failed.load()));
    if (!firstError.isEmpty())
        say(QStringLiteral("  falha: %1").arg(firstError));
}

struct RunFigures
{
    double callsPerSecond = 0, p50 = 0, p99 = 0;
    int failed = 0;
};

// The servers' processes, once they run: their CPU is told apart.
QList<qint64> serverPids;

// Where a run's CPU went: this program (the stores' clients, or the
// replay), the servers, and the rest of the machine (PostgreSQL, mostly).
// On two cores shared by all of them, the calls a second follow the CPU a
// call takes in all three.
class CpuSplit
{
public:
    CpuSplit() : self_(own()), servers_(servers()), busy_(krt::bench::machineBusyMs()) {}
    QString perCall(size_t calls) const
    {
        const double self = own() - self_, servers_now = servers() - servers_,
                     busy = krt::bench::machineBusyMs() - busy_, n = double(calls);
        return QStringLiteral("CPU por chamada: clientes %1 ms, servidores %2 ms, o resto "
                              "(PostgreSQL) %3 ms")
            .arg(self / n, 0, 'f', 2)
            .arg(servers_now / n, 0, 'f', 2)
            .arg((busy - self - servers_now) / n, 0, 'f', 2);
    }

private:
    static double own() { return krt::bench::cpuMs(QCoreApplication::applicationPid()); }
    static double servers()
    {
        double sum = 0;
        for (const qint64 pid : serverPids)
            sum += std::max(0.0, krt::bench::cpuMs(pid));
        return sum;
    }
    double self_, servers_, busy_;
};

RunFigures figures(const QString& title, qsizetype stores, Recorder& rec, double seconds_,
                   const CpuSplit& cpu);

RunFigures run(const QString& title, const QList<Store>& stores, const QList<QDate>& days,
               int details, const QList<Endpoint>& endpoints)
{
    // Every store talks to the first endpoint; with two, the second terminal
    // of store i talks to the other one, and the first terminals alternate.
    std::vector<std::unique_ptr<krt::HttpCallClient>> firsts, seconds;
    for (int i = 0; i < stores.size(); ++i) {
        firsts.push_back(terminal(endpoints[i % endpoints.size()]));
        if (endpoints.size() > 1)
            seconds.push_back(terminal(endpoints[(i + 1) % endpoints.size()]));
    }
    {
        std::vector<krt::HttpCallClient*> all;
        for (auto& c : firsts)
            all.push_back(c.get());
        for (auto& c : seconds)
            all.push_back(c.get());
        logInAll(title, all);
    }
    everyStore(stores.size(),
               [&](size_t i) { warmUp(stores[qsizetype(i)], days.first(), *firsts[i]); });
    Recorder rec;
    const CpuSplit cpu;
    QElapsedTimer wall;
    wall.start();
    everyStore(stores.size(), [&](size_t i) {
        work(stores[qsizetype(i)], days, details, *firsts[i],
             seconds.empty() ? nullptr : seconds[i].get(), rec);
    });
    return figures(title, stores.size(), rec, msSince(wall) / 1000, cpu);
}

QString figure(double value, int decimals)
{
    return value < 0 ? QStringLiteral("n/d") : QString::number(value, 'f', decimals);
}

// Every store in turn makes one kind of call (`perStore` on its terminal),
// one call at a time, and what the calls cost is printed per call: the work
// each call takes, without waits on the others' locks or for a core.
template <typename F>
int costOf(const char* method, qsizetype storeCount, krt::bench::CostMeter& meter, F&& perStore)
{
    Recorder rec;
    meter.start();
    QElapsedTimer wall;
    wall.start();
    for (qsizetype i = 0; i < storeCount; ++i)
        perStore(size_t(i), rec);
    const double seconds_ = msSince(wall) / 1000;
    const krt::bench::CallCosts c = meter.perCall(int(rec.calls()));
    say(QStringLiteral("custo %1: %2 chamadas em %3 s, p50 %4 ms, p99 %5 ms, %6 falhas; por "
                       "chamada: banco %7 ms (%8 comandos), CPU dos servidores %9 ms, rede %10 + "
                       "%11 bytes")
            .arg(QString::fromLatin1(method))
            .arg(rec.calls())
            .arg(seconds_, 0, 'f', 1)
            .arg(rec.percentile(0.50), 0, 'f', 1)
            .arg(rec.percentile(0.99), 0, 'f', 1)
            .arg(rec.failed())
            .arg(figure(c.databaseMs, 2), figure(c.databaseStatements, 1), figure(c.serverCpuMs, 2),
                 figure(double(c.requestBytes), 0), figure(double(c.answerBytes), 0)));
    for (const QString& e : rec.errors())
        say(QStringLiteral("  falha: %1").arg(e));
    return rec.failed();
}

// The clerk's day taken apart: each method in turn, by every store, over
// `days`, measured on its own.
int measureCosts(const QList<Store>& stores, const QList<QDate>& days, int details,
                 const Endpoint& endpoint, krt::bench::CostMeter& meter)
{
    std::vector<std::unique_ptr<krt::HttpCallClient>> terminals;
    std::vector<krt::HttpCallClient*> all;
    for (int i = 0; i < stores.size(); ++i) {
        terminals.push_back(terminal(endpoint));
        all.push_back(terminals.back().get());
    }
    logInAll(QStringLiteral("custos"), all);
    if (!meter.databaseTimes())
        say(QStringLiteral("aviso: pg_stat_statements não carregado no PostgreSQL "
                           "(shared_preload_libraries): sem o tempo do banco"));
    auto range = [](const QDate& day) {
        return std::pair{Variant(QDateTime(day, QTime(0, 0))),
                         Variant(QDateTime(day, QTime(0, 0)))};
    };
    std::vector<std::vector<Variant>> lists(size_t(stores.size()));
    int failed = 0;
    failed += costOf("getPrincipal", stores.size(), meter, [&](size_t i, Recorder& rec) {
        const Store& s = stores[qsizetype(i)];
        for (const QDate& day : days) {
            const auto [from, to] = range(day);
            lists[i].push_back(rec.timed([&] {
                return terminals[i]->call(kObject, "getPrincipal",
                                          {s.branch, s.store, "", "T", "", "T", from, to, "S", ""});
            }));
        }
    });
    failed += costOf("getItLanctoEst", stores.size(), meter, [&](size_t i, Recorder& rec) {
        for (const Variant& list : lists[i]) {
            if (!list.isPacket())
                continue;
            const krt::Packet packet = list.asPacket();
            const int cBranch = packet.fieldIndex(std::string_view("CDFILIALNF"));
            const int cNumber = packet.fieldIndex(std::string_view("NRLANCTONF"));
            for (int r = 0; r < std::min(details, packet.rowCount()); ++r)
                rec.timed([&] {
                    return terminals[i]->call(kObject, "getItLanctoEst",
                                              {packet.textQ(r, cBranch), packet.textQ(r, cNumber)});
                });
        }
    });
    failed += costOf("getPeriodoCTBOK", stores.size(), meter, [&](size_t i, Recorder& rec) {
        for (const QDate& day : days) {
            const auto [from, to] = range(day);
            rec.timed([&] {
                return terminals[i]->call(kObject, "getPeriodoCTBOK",
                                          {stores[qsizetype(i)].branch, from, to});
            });
        }
    });
    failed += costOf("setDeletaNF", stores.size(), meter, [&](size_t i, Recorder& rec) {
        for (const Variant& list : lists[i])
            if (list.isPacket())
                rec.timed([&] {
                    return terminals[i]->call(kObject, "setDeletaNF",
                                              {stores[qsizetype(i)].branch, list});
                });
    });
    return failed;
}

// The same days' work replayed straight on PostgreSQL, one connection per
// store, opened before the clock.
RunFigures replay(const QString& title, const QList<Store>& stores, const QList<QDate>& days,
                  int details, const QByteArray& connection)
{
    std::vector<std::unique_ptr<krt::bench::ClerkReplay>> clerks;
    for (int i = 0; i < stores.size(); ++i)
        clerks.push_back(
            std::make_unique<krt::bench::ClerkReplay>(connection, krt::app::kDemoUser));
    everyStore(stores.size(), [&](size_t i) {
        clerks[i]->warm(stores[qsizetype(i)].branch, stores[qsizetype(i)].store, days.first());
    });
    Recorder rec;
    const CpuSplit cpu;
    QElapsedTimer wall;
    wall.start();
    everyStore(stores.size(), [&](size_t i) {
        krt::bench::ClerkReplay& clerk = *clerks[i];
        const Store& s = stores[qsizetype(i)];
        for (const QDate& day : days) {
            std::vector<std::pair<std::string, std::string>> keys;
            rec.timed([&] {
                keys = clerk.list(s.branch, s.store, day);
                return Variant();
            });
            for (size_t r = 0; r < std::min(size_t(details), keys.size()); ++r)
                rec.timed([&] {
                    clerk.details(keys[r].first, keys[r].second);
                    return Variant();
                });
            rec.timed([&] {
                clerk.period(s.branch, day);
                return Variant();
            });
            rec.timed([&] { return Variant(clerk.cancel(s.branch, keys) > 0); });
        }
    });
    return figures(title, stores.size(), rec, msSince(wall) / 1000, cpu);
}

RunFigures figures(const QString& title, qsizetype stores, Recorder& rec, double seconds_,
                   const CpuSplit& cpu)
{
    RunFigures f;
    f.callsPerSecond = double(rec.calls()) / seconds_;
    f.p50 = rec.percentile(0.50);
    f.p99 = rec.percentile(0.99);
    f.failed = rec.failed();
    say(QStringLiteral("%1: %2 lojas, %3 chamadas em %4 s: %5 chamadas/s, p50 %6 ms, p99 %7 ms, "
                       "%8 falhas")
            .arg(title)
            .arg(stores)
            .arg(rec.calls())
            .arg(seconds_, 0, 'f', 1)
            .arg(f.callsPerSecond, 0, 'f', 1)
            .arg(f.p50, 0, 'f', 1)
            .arg(f.p99, 0, 'f', 1)
            .arg(f.failed));
    say(QStringLiteral("  ") + cpu.perCall(rec.calls()));
    for (const QString& e : rec.errors())
        say(QStringLiteral("  falha: %1").arg(e));
    return f;
}

qint64 count(krt::app::Database& db, const QString& sql)
{
    Query q(db.connection(), sql);
    q.exec();
    return q.next() ? q.integer(0) : -1;
}

// Per branch and product: the balance, and what the postings still present
// have moved it by (outputs take away, inputs add).
QMap<QString, std::pair<double, double>> stockState(krt::app::Database& db)
{
    QMap<QString, std::pair<double, double>> out;
    Query b(db.connection(), QStringLiteral("SELECT CDFILIAL, CDPRODUTO, QTSALDO FROM SALDOESTQ"));
    b.exec();
    while (b.next())
        out[b.text(0) + QLatin1Char('/') + b.text(1)].first = b.number(2);
    Query p(db.connection(),
            QStringLiteral("SELECT I.CDFILIAL, I.CDPRODUTO, SUM(CASE WHEN L.IDTIPOLANC = 'S'"
                           " THEN -I.QTLANCTOEST ELSE I.QTLANCTOEST END) FROM ITLANCTOEST I"
                           " JOIN LANCTOESTQ L ON L.CDFILIAL = I.CDFILIAL AND L.NRLANCESTQ ="
                           " I.NRLANCESTQ GROUP BY I.CDFILIAL, I.CDPRODUTO"));
    p.exec();
    while (p.next())
        out[p.text(0) + QLatin1Char('/') + p.text(1)].second = p.number(2);
    return out;
}

// What can be wrong after the runs, one line each; empty when consistent.
QStringList inconsistencies(krt::app::Database& db, qint64 pendingBefore,
                            const QMap<QString, std::pair<double, double>>& before,
                            const QDate& from, const QDate& to)
{
    QStringList wrong;
    const QString range =
        QStringLiteral("'%1' AND '%2'").arg(from.toString(Qt::ISODate), to.toString(Qt::ISODate));
    const struct
    {
        const char* what;
        QString sql;
    } orphans[] = {
        {"itens de notas canceladas",
         "SELECT COUNT(*) FROM ITEMNOTAFISCAL I WHERE NOT EXISTS (SELECT 1 FROM NOTAFISCAL N"
         " WHERE N.CDFILIALNF = I.CDFILIALNF AND N.NRLANCTONF = I.NRLANCTONF)"},
        {"vendas ligadas a notas canceladas",
         "SELECT COUNT(*) FROM VENDA V WHERE V.NRLANCTONF IS NOT NULL AND NOT EXISTS (SELECT 1"
         " FROM NOTAFISCAL N WHERE N.CDFILIALNF = V.CDFILIALNF AND N.NRLANCTONF = V.NRLANCTONF)"},
        {"lançamentos de estoque de notas canceladas",
         "SELECT COUNT(*) FROM LANCTOESTQ L WHERE L.NRLANCTONF IS NOT NULL AND NOT EXISTS (SELECT"
         " 1 FROM NOTAFISCAL N WHERE N.CDFILIALNF = L.CDFILIALNF AND N.NRLANCTONF = L.NRLANCTONF)"},
        {"itens de lançamentos removidos",
         "SELECT COUNT(*) FROM ITLANCTOEST I WHERE NOT EXISTS (SELECT 1 FROM LANCTOESTQ L"
         " WHERE L.CDFILIAL = I.CDFILIAL AND L.NRLANCESTQ = I.NRLANCESTQ)"},
        {"notas pendentes nos dias trabalhados",
         "SELECT COUNT(*) FROM NOTAFISCAL WHERE IDSTATUS = 'P' AND IDORIGEM = 'C' AND DTENTRSAID"
         " BETWEEN " +
             range},
    };
    for (const auto& o : orphans) {
        const qint64 n = count(db, o.sql);
        if (n != 0)
            wrong << QStringLiteral("%1: %2").arg(QString::fromUtf8(o.what)).arg(n);
    }
    const qint64 audited =
        count(db, QStringLiteral("SELECT COALESCE(SUM(QTCANCELADOS), 0) FROM"
                                 " AUDITCANCEL WHERE NMOPERACAO = 'setDeletaNF'"));
    if (audited != pendingBefore)
        wrong << QStringLiteral("canceladas segundo a auditoria: %1; pendentes antes: %2")
                     .arg(audited)
                     .arg(pendingBefore);
    const auto after = stockState(db);
    int off = 0;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        const auto was = before.value(it.key());
        const double balanceMoved = it->first - was.first;
        const double postingsMoved = it->second - was.second;
        if (std::abs(balanceMoved - postingsMoved) > 1e-6)
            ++off;
    }
    if (off)
        wrong << QStringLiteral("saldos que não batem com os lançamentos removidos: %1").arg(off);
    return wrong;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption branchesOpt("branches", "Filiais (4).", "n", "4");
    const QCommandLineOption storesOpt("stores-per-branch", "Lojas por filial (5).", "n", "5");
    // Eight days a run (1 280 calls): with two (320 calls, under half a second) the
    // floor's first calls, slow while PostgreSQL warms up, made most of its time, and
    // the ratio came out 0.82–0.96 where longer runs give 0.4–0.56.
    const QCommandLineOption daysOpt("days", "Dias trabalhados em cada rodada (8).", "n", "8");
    const QCommandLineOption salesOpt("sales", "Vendas por caixa por dia (12).", "n", "12");
    const QCommandLineOption detailsOpt("details", "Notas abertas por dia (5).", "n", "5");
    const QCommandLineOption balancerOpt(
        "balancer", "N processos atrás do HAProxy em vez de um (3); mede o custo de cada método.",
        "n", "3");
    const QCommandLineOption threadsOpt("threads",
                                        "--threads de cada processo (o padrão do servidor).", "n");
    parser.addOptions(
        {branchesOpt, storesOpt, daysOpt, salesOpt, detailsOpt, balancerOpt, threadsOpt});
    // --balancer alone means three processes.
    QStringList arguments = app.arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i)
        if (arguments[i] == QLatin1String("--balancer") &&
            (i + 1 == arguments.size() || arguments[i + 1].startsWith(QLatin1Char('-'))))
            arguments.insert(++i, QStringLiteral("3"));
    parser.process(arguments);
    const int balanced = parser.isSet(balancerOpt) ? parser.value(balancerOpt).toInt() : 0;
    if (parser.isSet(balancerOpt) && balanced < 1) {
        say(QStringLiteral("erro: --balancer precisa de um número de processos (1 ou mais)"));
        return 1;
    }
    if (balanced && HaproxyProcess::program().isEmpty()) {
        say(QStringLiteral("erro: --balancer precisa do haproxy (pacote haproxy)"));
        return 1;
    }
    if (!krt::bench::postgresAvailable()) {
        say(QStringLiteral("erro: KRT_PG_HOST e KRT_PG_PORT não definidas (rode "
                           "scripts/bench-stores.sh)"));
        return 1;
    }

    const int daysPerRun = std::max(1, parser.value(daysOpt).toInt());
    krt::app::DemoConfig config;
    config.branchesPerCompany = std::max(1, parser.value(branchesOpt).toInt());
    config.storesPerBranch = std::max(1, parser.value(storesOpt).toInt());
    config.registersPerStore = 2;
    // A share of the days for each run: one process (or the balancer) and the
    // replay on cores shared by all, the same two with PostgreSQL on a core
    // of its own, the doubled cancellations; behind the balancer, the
    // methods' costs as well.
    config.days = (balanced ? 6 : 5) * daysPerRun;
    config.salesPerRegisterPerDay = std::max(1, parser.value(salesOpt).toInt());
    config.customers = config.salesPerRegisterPerDay * config.registersPerStore + 10;
    config.oneInvoicePerSale = true;
    const int details = std::max(0, parser.value(detailsOpt).toInt());

    const QString name = QStringLiteral("krt_bench_stores_%1").arg(app.applicationPid());
    krt::app::DbOptions options;
    try {
        options = krt::bench::createPostgresDatabase(name);
    } catch (const std::exception& e) {
        say(QStringLiteral("erro: %1").arg(QString::fromUtf8(e.what())));
        return 1;
    }
    int status = 0;
    {
        krt::app::Database db(options);
        krt::app::Migrator(db).migrate();
        QElapsedTimer t;
        t.start();
        const krt::app::DemoSummary s = krt::app::generateDemo(db, config);
        say(QStringLiteral("base gerada no PostgreSQL: %1 lojas, %2 vendas, %3 notas fiscais "
                           "(%4 aprovadas) em %5 s")
                .arg(s.stores)
                .arg(s.sales)
                .arg(s.invoices)
                .arg(s.approved)
                .arg(msSince(t) / 1000, 0, 'f', 1));

        QList<Store> stores;
        Query q(db.connection(), QStringLiteral("SELECT CDFILIAL, CDLOJA FROM LOJA ORDER BY 1, 2"));
        q.exec();
        while (q.next())
            stores << Store{q.text(0), q.text(1)};
        enum Share
        {
            SharedOurs,
            SharedReplay,
            ApartOurs,
            ApartReplay,
            Doubled,
            Costs
        };
        QList<QDate> shares[Costs + 1];
        for (int d = 0; d < config.days; ++d)
            shares[d / daysPerRun] << config.firstDay.addDays(d);

        const qint64 pendingBefore =
            count(db, QStringLiteral("SELECT COUNT(*) FROM NOTAFISCAL WHERE IDSTATUS = 'P' AND"
                                     " IDORIGEM = 'C'"));
        const auto stockBefore = stockState(db);

        const QString connection = krt::bench::databaseArgument(options);
        QTemporaryDir logs;
        // Behind the balancer every process takes every other's tokens.
        const QString keyFile = logs.filePath(QStringLiteral("token.key"));
        QStringList extra;
        if (parser.isSet(threadsOpt))
            extra << QStringLiteral("--threads") << parser.value(threadsOpt);
        if (balanced) {
            QProcess admin;
            admin.start(QCoreApplication::applicationDirPath() + QStringLiteral("/krt-admin"),
                        {QStringLiteral("token-key"), keyFile});
            if (!admin.waitForFinished(60000) || admin.exitCode() != 0) {
                say(QStringLiteral("erro: krt-admin token-key falhou"));
                return 1;
            }
            extra << QStringList{"--token-key", keyFile, "--trusted-proxy", "127.0.0.1"};
        }
        std::vector<std::unique_ptr<krt::bench::ServerProcess>> servers;
        bool started = true;
        for (int i = 0; i < std::max(2, balanced) && started; ++i) {
            servers.push_back(std::make_unique<krt::bench::ServerProcess>());
            started = servers.back()->start(
                connection, logs.filePath(QStringLiteral("%1.log").arg(i + 1)), extra);
        }
        testpki::TestPki pki;
        HaproxyProcess balancer;
        if (started && balanced) {
            QList<quint16> ports;
            for (const auto& server : servers)
                ports << server->port();
            started =
                pki.make() && balancer.start(ports, pki.file("server.crt"), pki.file("server.key"));
            if (!started)
                say(QStringLiteral("erro: %1").arg(balancer.error));
        }
        for (const auto& server : servers)
            serverPids << server->pid();
        if (!started) {
            say(QStringLiteral("erro: o servidor não iniciou (logs em %1)").arg(logs.path()));
            logs.setAutoRemove(false);
            status = 1;
        } else {
            const Endpoint front{balancer.port(), pki.file("ca.crt")};
            const Endpoint one{servers[0]->port(), {}}, two{servers.back()->port(), {}};
            const QString ours = balanced
                                     ? QStringLiteral("%1 processos atrás do HAProxy").arg(balanced)
                                     : QStringLiteral("1 processo");
            const QByteArray direct = krt::bench::libpqConnection(options);
            auto pair = [&](Share oursDays, Share replayDays, const QString& cores) {
                return std::pair{
                    run(ours + cores, stores, shares[oursDays], details, {balanced ? front : one}),
                    replay(QStringLiteral("réplica direta (libpq)") + cores, stores,
                           shares[replayDays], details, direct)};
            };
            const auto [shared, sharedFloor] =
                pair(SharedOurs, SharedReplay, QStringLiteral(", núcleos compartilhados"));
            // The database's capacity is the same core in both runs: what the
            // servers spend does not come out of it, as on a machine of its own.
            krt::bench::PgSession probe(direct); // its backend leads to the postmaster
            krt::bench::CoreSplit split(
                std::atoll(PQgetvalue(probe.exec("SELECT pg_backend_pid()").get(), 0, 0)));
            QList<qint64> ourPids = serverPids;
            if (balanced)
                ourPids << balancer.pid();
            std::optional<std::pair<RunFigures, RunFigures>> apart;
            if (split.apart(ourPids)) {
                say(split.describe());
                apart = pair(ApartOurs, ApartReplay, QStringLiteral(", PostgreSQL à parte"));
                split.together();
            } else {
                say(QStringLiteral("PostgreSQL num núcleo à parte: não (%1)")
                        .arg(split.impossible()));
            }
            const RunFigures f =
                balanced ? run(QStringLiteral("%1 processos atrás do HAProxy, cancelamento em "
                                              "dobro")
                                   .arg(balanced),
                               stores, shares[Doubled], details, {front, front})
                         : run(QStringLiteral("2 processos, cancelamento em dobro"), stores,
                               shares[Doubled], details, {one, two});
            int costFailures = 0;
            if (balanced) {
                QList<qint64> pids;
                for (const auto& server : servers)
                    pids << server->pid();
                krt::bench::CostMeter meter(krt::bench::libpqConnection(options), pids,
                                            [&balancer] { return balancer.backendBytes(); });
                costFailures = measureCosts(stores, shares[Costs], details, front, meter);
            }
            const QStringList wrong =
                inconsistencies(db, pendingBefore, stockBefore, config.firstDay, config.lastDay());
            for (const QString& w : wrong)
                say(QStringLiteral("inconsistência: %1").arg(w));
            const bool consistent =
                wrong.isEmpty() && shared.failed == 0 && sharedFloor.failed == 0 &&
                (!apart || (apart->first.failed == 0 && apart->second.failed == 0)) &&
                f.failed == 0 && costFailures == 0;
            auto line = [&](const char* head, const RunFigures& o, const RunFigures& floor) {
                say(QStringLiteral("%1: %2 calls/s (floor %3 calls/s, ratio %4), p50 %5 ms, p99 "
                                   "%6 ms, consistent: %7")
                        .arg(QString::fromLatin1(head))
                        .arg(o.callsPerSecond, 0, 'f', 1)
                        .arg(floor.callsPerSecond, 0, 'f', 1)
                        .arg(o.callsPerSecond / floor.callsPerSecond, 0, 'f', 2)
                        .arg(o.p50, 0, 'f', 1)
                        .arg(o.p99, 0, 'f', 1)
                        .arg(consistent ? "yes" : "no"));
            };
            // The last line is the one machine shared by all, the database's
            // capacity less what the clients and servers take from it; before
            // it, with the database on a core of its own, when it could be.
            if (apart)
                line("stores, PostgreSQL apart", apart->first, apart->second);
            line("stores", shared, sharedFloor);
            status = consistent ? 0 : 2;
        }
    }
    try {
        krt::bench::dropPostgresDatabase(name);
    } catch (const std::exception& e) {
        say(QStringLiteral("aviso: %1").arg(QString::fromUtf8(e.what())));
    }
    return status;
}
