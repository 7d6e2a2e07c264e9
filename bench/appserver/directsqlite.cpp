#include "bench/appserver/direct.h"
#include "bench/support/benchsupport.h"

#include <sqlite3.h>
#include <string>
#include <vector>

namespace krt::bench {

namespace {

struct Row
{
    std::string filial, cliente, filialNf, lancto, nome, emissao, nota, status, saida;
};

double listRows(const QString& path, const QDate& from, const QDate& to, qsizetype* rows)
{
    QElapsedTimer t;
    t.start();
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = listStatement(false);
    sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr);
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
double cancelKeys(const QString& path, const QDate& from, const QDate& to, int* cancelled)
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

class SqliteAccess : public DirectAccess
{
public:
    explicit SqliteAccess(const QString& path) : path_(path) {}
    double list(const QDate& from, const QDate& to, qsizetype* rows) override
    {
        return listRows(path_, from, to, rows);
    }
    double cancel(const QDate& from, const QDate& to, int* cancelled) override
    {
        return cancelKeys(path_, from, to, cancelled);
    }

private:
    QString path_;
};

} // namespace

QByteArray listStatement(bool dollarPlaceholders)
{
    QByteArray sql = "SELECT NF.CDFILIAL, NF.CDCLIENTE, NF.CDFILIALNF, NF.NRLANCTONF, "
                     "C.NMRAZSOCCLIE, NF.DTEMISSAO, NF.NRNOTAFISC, NF.IDSTATUS, NF.DTENTRSAID"
                     " FROM NOTAFISCAL NF LEFT JOIN CLIENTE C ON C.CDCLIENTE = NF.CDCLIENTE"
                     " WHERE NF.CDFILIAL = ? AND NF.CDLOJA = ? AND NF.DTENTRSAID >= ? AND "
                     "NF.DTENTRSAID <= ? AND NF.IDORIGEM = 'C'"
                     " ORDER BY NF.DTENTRSAID, NF.NRLANCTONF";
    if (dollarPlaceholders)
        for (int n = 1; sql.contains('?'); ++n)
            sql.replace(sql.indexOf('?'), 1, "$" + QByteArray::number(n));
    return sql;
}

std::unique_ptr<DirectAccess> directSqlite(const QString& path)
{
    return std::make_unique<SqliteAccess>(path);
}

} // namespace krt::bench
