// The PostgreSQL floor: one libpq connection opened once, with the server's
// session settings, statements prepared once on the server, as the server's
// workers keep theirs.
#include "appserver/db/dialect.h"
#include "bench/appserver/cancelstatements.h"
#include "bench/appserver/direct.h"
#include "bench/support/benchsupport.h"

#include <QElapsedTimer>
#include <libpq-fe.h>
#include <map>
#include <stdexcept>
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

class PostgresAccess : public DirectAccess
{
public:
    explicit PostgresAccess(const QByteArray& connection)
        : conn_(PQconnectdb(connection.constData()))
    {
        if (PQstatus(conn_) != CONNECTION_OK)
            throw std::runtime_error(PQerrorMessage(conn_));
        for (const QString& setup : app::Dialect::of(app::DbKind::PostgreSQL).sessionSetup())
            check(PQexec(conn_, setup.toUtf8().constData()));
        check(PQexec(conn_, kCreateKeyTable));
    }

    ~PostgresAccess() override { PQfinish(conn_); }

    double list(const QDate& from, const QDate& to, qsizetype* rows) override
    {
        static const QByteArray sql = listStatement(true);
        const std::string& name = prepared(sql.constData(), 4);
        QElapsedTimer t;
        t.start();
        const QByteArray a = from.toString(Qt::ISODate).toUtf8(),
                         b = to.toString(Qt::ISODate).toUtf8();
        const char* values[4] = {"0001", "LJ01", a.constData(), b.constData()};
        PGresult* r = check(PQexecPrepared(conn_, name.c_str(), 4, values, nullptr, nullptr, 0));
        std::vector<Row> out;
        const int n = PQntuples(r);
        out.reserve(size_t(n));
        auto text = [&](int row, int col) {
            return std::string(PQgetvalue(r, row, col), size_t(PQgetlength(r, row, col)));
        };
        for (int i = 0; i < n; ++i)
            out.push_back(Row{text(i, 0), text(i, 1), text(i, 2), text(i, 3), text(i, 4),
                              text(i, 5), text(i, 6), text(i, 7), text(i, 8)});
        PQclear(r);
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
        PQclear(check(PQexec(conn_, "BEGIN")));
        if (way == CancelWay::ArrayParameter)
            cancelByArray(keys);
        else
            cancelByKeyTable(keys);
        PQclear(check(PQexec(conn_, "COMMIT")));
        return msSince(t);
    }

    qsizetype remaining(const InvoiceKeys& keys) override
    {
        const std::string& name = prepared(
            "SELECT COUNT(*) FROM NOTAFISCAL WHERE CDFILIALNF = $1 AND NRLANCTONF = $2", 2);
        qsizetype n = 0;
        for (const auto& [branch, number] : keys) {
            const char* values[2] = {branch.c_str(), number.c_str()};
            PGresult* r =
                check(PQexecPrepared(conn_, name.c_str(), 2, values, nullptr, nullptr, 0));
            n += std::stoll(PQgetvalue(r, 0, 0));
            PQclear(r);
        }
        return n;
    }

private:
    PGresult* check(PGresult* r)
    {
        const ExecStatusType s = PQresultStatus(r);
        if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK && s != PGRES_COPY_IN) {
            const std::string error = PQresultErrorMessage(r);
            PQclear(r);
            throw std::runtime_error(error);
        }
        return r;
    }

    const std::string& prepared(const char* sql, int parameters)
    {
        auto it = names_.find(sql);
        if (it != names_.end())
            return it->second;
        const std::string name = "floor" + std::to_string(names_.size());
        PQclear(check(PQprepare(conn_, name.c_str(), sql, parameters, nullptr)));
        return names_.emplace(sql, name).first->second;
    }

    void run(const char* sql, int count, const char* const* values)
    {
        const std::string& name = prepared(sql, count);
        PQclear(check(PQexecPrepared(conn_, name.c_str(), count, values, nullptr, nullptr, 0)));
    }

    // The keys once into the temporary table (COPY), then one statement per
    // table joined to it.
    void cancelByKeyTable(const InvoiceKeys& keys)
    {
        PQclear(check(PQexec(conn_, kClearKeyTable)));
        PQclear(check(PQexec(conn_, "COPY CANCELKEYS FROM STDIN")));
        std::string data;
        for (const auto& [branch, number] : keys)
            data.append(branch).append(1, '\t').append(number).append(1, '\n');
        if (PQputCopyData(conn_, data.data(), int(data.size())) != 1 ||
            PQputCopyEnd(conn_, nullptr) != 1)
            throw std::runtime_error(PQerrorMessage(conn_));
        while (PGresult* r = PQgetResult(conn_))
            PQclear(check(r));
        // The planner knows nothing of a new temporary table's rows.
        PQclear(check(PQexec(conn_, "ANALYZE CANCELKEYS")));
        for (const char* sql : kCancelByKeyTable)
            run(sql, 0, nullptr);
    }

    // The numbers of each branch as one array literal.
    void cancelByArray(const InvoiceKeys& keys)
    {
        std::map<std::string, std::string> byBranch;
        for (const auto& [branch, number] : keys) {
            std::string& a = byBranch[branch];
            a.append(a.empty() ? "{" : ",").append(number);
        }
        for (auto& [branch, numbers] : byBranch) {
            numbers += "}";
            const char* values[2] = {branch.c_str(), numbers.c_str()};
            for (const char* sql : kCancelByArray)
                run(sql, 2, values);
        }
    }

    PGconn* conn_;
    std::map<std::string, std::string> names_;
};

} // namespace

std::unique_ptr<DirectAccess> directPostgres(const QByteArray& connection)
{
    return std::make_unique<PostgresAccess>(connection);
}

} // namespace krt::bench
