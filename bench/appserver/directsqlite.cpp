// The SQLite floor: one connection opened once with the server's own session
// settings (WAL, synchronous=NORMAL, foreign keys on) and threading mode,
// statements prepared once and kept, as the server's workers keep theirs.
#include "appserver/db/dialect.h"
#include "bench/appserver/cancelstatements.h"
#include "bench/appserver/direct.h"
#include "bench/support/benchsupport.h"

#include <map>
#include <sqlite3.h>
#include <stdexcept>

namespace krt::bench {

namespace {

struct Row
{
    std::string filial, cliente, filialNf, lancto, nome, emissao, nota, status, saida;
};

class SqliteAccess : public DirectAccess
{
public:
    explicit SqliteAccess(const QString& path)
    {
        // Without SQLite's per-call locks, as Qt's driver opens the server's
        // connections (each used by one thread at a time): a floor that takes
        // a mutex on every column read is slower than the server for nothing.
        if (sqlite3_open_v2(path.toUtf8().constData(), &db_,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
            fail("open");
        sqlite3_busy_timeout(db_, 60000);
        for (const QString& setup : app::Dialect::of(app::DbKind::SQLite).sessionSetup())
            exec(setup.toUtf8().constData());
        exec(kCreateKeyTable);
    }

    ~SqliteAccess() override
    {
        for (sqlite3_stmt* st : statements_)
            sqlite3_finalize(st);
        sqlite3_close(db_);
    }

    double list(const QDate& from, const QDate& to, qsizetype* rows) override
    {
        static const QByteArray sql = listStatement(false);
        sqlite3_stmt* st = prepared(sql.constData());
        QElapsedTimer t;
        t.start();
        const QByteArray a = from.toString(Qt::ISODate).toUtf8(),
                         b = to.toString(Qt::ISODate).toUtf8();
        sqlite3_bind_text(st, 1, "0001", -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 2, "LJ01", -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 3, a.constData(), -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 4, b.constData(), -1, SQLITE_STATIC);
        std::vector<Row> out;
        auto text = [&](int c) {
            const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            return p ? std::string(p, size_t(sqlite3_column_bytes(st, c))) : std::string();
        };
        while (sqlite3_step(st) == SQLITE_ROW)
            out.push_back(Row{text(0), text(1), text(2), text(3), text(4), text(5), text(6),
                              text(7), text(8)});
        sqlite3_reset(st);
        *rows = qsizetype(out.size());
        return msSince(t);
    }

    std::vector<CancelWay> cancelWays() const override
    {
        return {CancelWay::TemporaryTable, CancelWay::KeyByKey};
    }

    double cancel(CancelWay way, const InvoiceKeys& keys) override
    {
        QElapsedTimer t;
        t.start();
        exec("BEGIN IMMEDIATE");
        if (way == CancelWay::KeyByKey)
            cancelKeyByKey(keys);
        else
            cancelSetBased(keys);
        exec("COMMIT");
        return msSince(t);
    }

    qsizetype remaining(const InvoiceKeys& keys) override
    {
        sqlite3_stmt* st =
            prepared("SELECT COUNT(*) FROM NOTAFISCAL WHERE CDFILIALNF = ? AND NRLANCTONF = ?");
        qsizetype n = 0;
        for (const auto& [branch, number] : keys) {
            bind(st, branch, number);
            if (sqlite3_step(st) == SQLITE_ROW)
                n += sqlite3_column_int64(st, 0);
            sqlite3_reset(st);
        }
        return n;
    }

private:
    [[noreturn]] void fail(const char* what)
    {
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db_));
    }

    void exec(const char* sql)
    {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            fail(sql);
    }

    sqlite3_stmt* prepared(const char* sql)
    {
        auto it = byText_.find(sql);
        if (it != byText_.end())
            return it->second;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK)
            fail(sql);
        statements_.push_back(st);
        byText_.emplace(sql, st);
        return st;
    }

    static void bind(sqlite3_stmt* st, const std::string& a, const std::string& b)
    {
        sqlite3_bind_text(st, 1, a.c_str(), int(a.size()), SQLITE_STATIC);
        sqlite3_bind_text(st, 2, b.c_str(), int(b.size()), SQLITE_STATIC);
    }

    void run(sqlite3_stmt* st)
    {
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE)
            fail(sqlite3_sql(st));
        sqlite3_reset(st);
    }

    // Every row's values as texts, as a program that looks at them would.
    std::vector<std::string> readAll(sqlite3_stmt* st)
    {
        std::vector<std::string> values;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            for (int c = 0, n = sqlite3_column_count(st); c < n; ++c) {
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                values.emplace_back(p ? p : "", p ? size_t(sqlite3_column_bytes(st, c)) : 0);
            }
        if (rc != SQLITE_DONE)
            fail(sqlite3_sql(st));
        sqlite3_reset(st);
        return values;
    }

    // The keys once into the temporary table, the checks, then one statement
    // per table.
    void cancelSetBased(const InvoiceKeys& keys)
    {
        exec(kClearKeyTable);
        sqlite3_stmt* add = prepared("INSERT INTO CANCELKEYS VALUES (?, ?)");
        for (const auto& [branch, number] : keys) {
            bind(add, branch, number);
            run(add);
        }
        for (const std::string& sql : kChecksByKeyTable)
            readAll(prepared(sql.c_str()));
        for (const char* sql : kCancelByKeyTable)
            run(prepared(sql));
    }

    // Each invoice's postings, then the six changes for that invoice alone.
    void cancelKeyByKey(const InvoiceKeys& keys)
    {
        sqlite3_stmt* postings = prepared(
            "SELECT CDFILIAL, NRLANCESTQ FROM LANCTOESTQ WHERE CDFILIALNF = ? AND NRLANCTONF = ?");
        sqlite3_stmt* restore = prepared(
            "INSERT INTO SALDOESTQ (CDFILIAL, CDPRODUTO, QTSALDO) SELECT I.CDFILIAL, I.CDPRODUTO, "
            "SUM(CASE WHEN L.IDTIPOLANC = 'S' THEN I.QTLANCTOEST ELSE -I.QTLANCTOEST END) FROM "
            "ITLANCTOEST I JOIN LANCTOESTQ L ON L.CDFILIAL = I.CDFILIAL AND L.NRLANCESTQ = "
            "I.NRLANCESTQ WHERE I.CDFILIAL = ? AND I.NRLANCESTQ = ? GROUP BY I.CDFILIAL, "
            "I.CDPRODUTO ON CONFLICT (CDFILIAL, CDPRODUTO) DO UPDATE SET QTSALDO = "
            "SALDOESTQ.QTSALDO + excluded.QTSALDO");
        sqlite3_stmt* items =
            prepared("DELETE FROM ITLANCTOEST WHERE CDFILIAL = ? AND NRLANCESTQ = ?");
        sqlite3_stmt* posting =
            prepared("DELETE FROM LANCTOESTQ WHERE CDFILIAL = ? AND NRLANCESTQ = ?");
        sqlite3_stmt* unlink = prepared("UPDATE VENDA SET CDFILIALNF = NULL, NRLANCTONF = NULL "
                                        "WHERE CDFILIALNF = ? AND NRLANCTONF = ?");
        sqlite3_stmt* nfItems =
            prepared("DELETE FROM ITEMNOTAFISCAL WHERE CDFILIALNF = ? AND NRLANCTONF = ?");
        sqlite3_stmt* nf =
            prepared("DELETE FROM NOTAFISCAL WHERE CDFILIALNF = ? AND NRLANCTONF = ?");
        std::vector<std::pair<std::string, std::string>> list;
        for (const auto& [branch, number] : keys) {
            list.clear();
            bind(postings, branch, number);
            while (sqlite3_step(postings) == SQLITE_ROW)
                list.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(postings, 0)),
                                  reinterpret_cast<const char*>(sqlite3_column_text(postings, 1)));
            sqlite3_reset(postings);
            for (const auto& [pb, pn] : list)
                for (sqlite3_stmt* st : {restore, items, posting}) {
                    bind(st, pb, pn);
                    run(st);
                }
            for (sqlite3_stmt* st : {unlink, nfItems, nf}) {
                bind(st, branch, number);
                run(st);
            }
        }
    }

    sqlite3* db_ = nullptr;
    std::vector<sqlite3_stmt*> statements_;
    std::map<std::string, sqlite3_stmt*> byText_;
};

} // namespace

std::unique_ptr<DirectAccess> directSqlite(const QString& path)
{
    return std::make_unique<SqliteAccess>(path);
}

} // namespace krt::bench
