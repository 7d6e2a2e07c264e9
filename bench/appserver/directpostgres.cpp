// The PostgreSQL floor: one libpq connection opened once, with the server's
// session settings, statements prepared once on the server, as the server's
// workers keep theirs.
#include "bench/appserver/cancelstatements.h"
#include "bench/appserver/direct.h"
#include "bench/support/benchsupport.h"
#include "bench/support/pgsession.h"

#include <QElapsedTimer>
#include <array>
#include <map>
#include <string>
#include <vector>

namespace krt::bench {

namespace {

struct Row
{
    std::string filial, cliente, filialNf, lancto, nome, emissao, nota, status, saida;
};

// The array variant: the same six changes with the numbers of one branch as
// one array parameter ($1 the branch, $2 the numbers).
const char* const kCancelByArray[] = {
    "INSERT INTO SALDOESTQ (CDFILIAL, CDPRODUTO, QTSALDO) SELECT I.CDFILIAL, I.CDPRODUTO,"
    " SUM(CASE WHEN L.IDTIPOLANC = 'S' THEN I.QTLANCTOEST ELSE -I.QTLANCTOEST END)"
    " FROM LANCTOESTQ L JOIN ITLANCTOEST I ON I.CDFILIAL = L.CDFILIAL AND I.NRLANCESTQ ="
    " L.NRLANCESTQ WHERE L.CDFILIALNF = $1 AND L.NRLANCTONF = ANY ($2::varchar[])"
    " GROUP BY I.CDFILIAL, I.CDPRODUTO ON CONFLICT (CDFILIAL, CDPRODUTO) DO UPDATE SET QTSALDO ="
    " SALDOESTQ.QTSALDO + excluded.QTSALDO",
    "DELETE FROM ITLANCTOEST WHERE (CDFILIAL, NRLANCESTQ) IN (SELECT CDFILIAL, NRLANCESTQ"
    " FROM LANCTOESTQ WHERE CDFILIALNF = $1 AND NRLANCTONF = ANY ($2::varchar[]))",
    "DELETE FROM LANCTOESTQ WHERE CDFILIALNF = $1 AND NRLANCTONF = ANY ($2::varchar[])",
    "UPDATE VENDA SET CDFILIALNF = NULL, NRLANCTONF = NULL WHERE CDFILIALNF = $1 AND"
    " NRLANCTONF = ANY ($2::varchar[])",
    "DELETE FROM ITEMNOTAFISCAL WHERE CDFILIALNF = $1 AND NRLANCTONF = ANY ($2::varchar[])",
    "DELETE FROM NOTAFISCAL WHERE CDFILIALNF = $1 AND NRLANCTONF = ANY ($2::varchar[])",
};

// The checks of kChecksByKeyTable over one branch's array of numbers.
const std::array<std::string, 2> kChecksByArray = {
    std::string(kInvoiceStatesWhere) +
        " NF.CDFILIALNF = $1 AND NF.NRLANCTONF = ANY ($2::varchar[]) FOR UPDATE",
    std::string(kPostingSpansWhere) +
        " L.CDFILIALNF = $1 AND L.NRLANCTONF = ANY ($2::varchar[]) GROUP BY L.CDFILIAL",
};

// Every value of `r` as a text, as a program that looks at them would.
void readAll(const PgResult& r)
{
    std::vector<std::string> values;
    for (int i = 0, n = PQntuples(r.get()); i < n; ++i)
        for (int c = 0, m = PQnfields(r.get()); c < m; ++c)
            values.emplace_back(PQgetvalue(r.get(), i, c), size_t(PQgetlength(r.get(), i, c)));
}

class PostgresAccess : public DirectAccess
{
public:
    explicit PostgresAccess(const QByteArray& connection) : pg_(connection)
    {
        pg_.exec(kCreateKeyTable);
    }

    double list(const QDate& from, const QDate& to, qsizetype* rows) override
    {
        static const QByteArray sql = listStatement(true);
        QElapsedTimer t;
        t.start();
        const PgResult r =
            pg_.run(sql.constData(), {"0001", "LJ01", from.toString(Qt::ISODate).toStdString(),
                                      to.toString(Qt::ISODate).toStdString()});
        std::vector<Row> out;
        const int n = PQntuples(r.get());
        out.reserve(size_t(n));
        auto text = [&](int row, int col) {
            return std::string(PQgetvalue(r.get(), row, col),
                               size_t(PQgetlength(r.get(), row, col)));
        };
        for (int i = 0; i < n; ++i)
            out.push_back(Row{text(i, 0), text(i, 1), text(i, 2), text(i, 3), text(i, 4),
                              text(i, 5), text(i, 6), text(i, 7), text(i, 8)});
        *rows = qsizetype(out.size());
        return msSince(t);
    }

    std::vector<CancelWay> cancelWays() const override
    {
        return {CancelWay::TemporaryTable, CancelWay::ArrayParameter};
    }

    double cancel(CancelWay way, const InvoiceKeys& keys) override
    {
        QElapsedTimer t;
        t.start();
        pg_.exec("BEGIN");
        // Each way ends with its changes and the COMMIT sent together, as
        // the server sends its own.
        if (way == CancelWay::ArrayParameter)
            cancelByArray(keys);
        else
            cancelByKeyTable(keys);
        return msSince(t);
    }

    qsizetype remaining(const InvoiceKeys& keys) override
    {
        qsizetype n = 0;
        for (const auto& [branch, number] : keys)
            n += std::stoll(PQgetvalue(
                pg_.run("SELECT COUNT(*) FROM NOTAFISCAL WHERE CDFILIALNF = $1 AND NRLANCTONF = $2",
                        {branch, number})
                    .get(),
                0, 0));
        return n;
    }

private:
    // The keys once into the temporary table (COPY), then one statement per
    // table joined to it.
    void cancelByKeyTable(const InvoiceKeys& keys)
    {
        pg_.exec(kClearKeyTable);
        std::string data;
        for (const auto& [branch, number] : keys)
            data.append(branch).append(1, '\t').append(number).append(1, '\n');
        pg_.copyIn("CANCELKEYS", data);
        // The planner knows nothing of a new temporary table's rows.
        pg_.exec("ANALYZE CANCELKEYS");
        // The server locks the invoices it checks, as their state decides.
        readAll(pg_.run((kChecksByKeyTable[0] + " FOR UPDATE OF NF").c_str()));
        readAll(pg_.run(kChecksByKeyTable[1].c_str()));
        std::vector<PgSession::Pipelined> changes;
        for (const char* sql : kCancelByKeyTable)
            changes.push_back({sql, {}});
        changes.push_back({"COMMIT", {}});
        pg_.runTogether(changes);
    }

    // The numbers of each branch as one array literal.
    void cancelByArray(const InvoiceKeys& keys)
    {
        std::map<std::string, std::string> byBranch;
        for (const auto& [branch, number] : keys) {
            std::string& a = byBranch[branch];
            a.append(a.empty() ? "{" : ",").append(number);
        }
        // Each branch's changes go out together before the next branch's
        // checks, the last ones with the COMMIT.
        std::vector<PgSession::Pipelined> changes;
        for (auto& [branch, numbers] : byBranch) {
            numbers += "}";
            if (!changes.empty())
                pg_.runTogether(changes);
            changes.clear();
            for (const std::string& sql : kChecksByArray)
                readAll(pg_.run(sql.c_str(), {branch, numbers}));
            for (const char* sql : kCancelByArray)
                changes.push_back({sql, {branch, numbers}});
        }
        changes.push_back({"COMMIT", {}});
        pg_.runTogether(changes);
    }

    PgSession pg_;
};

} // namespace

std::unique_ptr<DirectAccess> directPostgres(const QByteArray& connection)
{
    return std::make_unique<PostgresAccess>(connection);
}

} // namespace krt::bench
