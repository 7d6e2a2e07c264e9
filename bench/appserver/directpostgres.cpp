#include "bench/appserver/direct.h"
#include "bench/support/benchsupport.h"

#include <QElapsedTimer>
#include <libpq-fe.h>
#include <string>
#include <vector>

namespace krt::bench {

namespace {

struct Row
{
    std::string filial, cliente, filialNf, lancto, nome, emissao, nota, status, saida;
};

class PostgresAccess : public DirectAccess
{
public:
    explicit PostgresAccess(const QByteArray& connection) : connection_(connection) {}

    double list(const QDate& from, const QDate& to, qsizetype* rows) override
    {
        QElapsedTimer t;
        t.start();
        PGconn* conn = PQconnectdb(connection_.constData());
        const QByteArray sql = listStatement(true);
        const QByteArray a = from.toString(Qt::ISODate).toUtf8(),
                         b = to.toString(Qt::ISODate).toUtf8();
        const char* values[4] = {"0001", "LJ01", a.constData(), b.constData()};
        PGresult* r = PQexecParams(conn, sql.constData(), 4, nullptr, values, nullptr, nullptr, 0);
        if (PQresultStatus(r) != PGRES_TUPLES_OK)
            say(QStringLiteral("erro: %1").arg(QString::fromUtf8(PQresultErrorMessage(r))));
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
        PQfinish(conn);
        *rows = qsizetype(out.size());
        return msSince(t);
    }

    double cancel(const QDate& from, const QDate& to, int* cancelled) override
    {
        PGconn* conn = PQconnectdb(connection_.constData());
        auto run = [&](const char* sql, int count, const char* const* values) {
            PGresult* r = PQexecParams(conn, sql, count, nullptr, values, nullptr, nullptr, 0);
            const ExecStatusType status = PQresultStatus(r);
            if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
                say(QStringLiteral("erro: %1").arg(QString::fromUtf8(PQresultErrorMessage(r))));
            return r;
        };
        // The keys, as a text array parameter.
        const QByteArray a = from.toString(Qt::ISODate).toUtf8(),
                         b = to.toString(Qt::ISODate).toUtf8();
        const char* days[2] = {a.constData(), b.constData()};
        PGresult* keys = run("SELECT NRLANCTONF FROM NOTAFISCAL WHERE CDFILIAL = '0001' AND "
                             "DTENTRSAID >= $1 AND DTENTRSAID <= $2 AND IDSTATUS = 'P'",
                             2, days);
        std::string numbers = "{";
        for (int i = 0; i < PQntuples(keys); ++i)
            numbers.append(i ? "," : "").append(PQgetvalue(keys, i, 0));
        numbers += "}";
        *cancelled = PQntuples(keys);
        PQclear(keys);
        const char* set[1] = {numbers.c_str()};

        QElapsedTimer t;
        t.start();
        PQclear(run("BEGIN", 0, nullptr));
        for (const char* sql :
             {"INSERT INTO SALDOESTQ (CDFILIAL, CDPRODUTO, QTSALDO) SELECT I.CDFILIAL, "
              "I.CDPRODUTO, SUM(CASE WHEN L.IDTIPOLANC = 'S' THEN I.QTLANCTOEST ELSE "
              "-I.QTLANCTOEST END) FROM LANCTOESTQ L JOIN ITLANCTOEST I ON I.CDFILIAL = "
              "L.CDFILIAL AND I.NRLANCESTQ = L.NRLANCESTQ WHERE L.CDFILIALNF = '0001' AND "
              "L.NRLANCTONF = ANY($1::varchar[]) GROUP BY I.CDFILIAL, I.CDPRODUTO ON CONFLICT "
              "(CDFILIAL, CDPRODUTO) DO UPDATE SET QTSALDO = SALDOESTQ.QTSALDO + "
              "excluded.QTSALDO",
              "DELETE FROM ITLANCTOEST WHERE (CDFILIAL, NRLANCESTQ) IN (SELECT CDFILIAL, "
              "NRLANCESTQ FROM LANCTOESTQ WHERE CDFILIALNF = '0001' AND NRLANCTONF = "
              "ANY($1::varchar[]))",
              "DELETE FROM LANCTOESTQ WHERE CDFILIALNF = '0001' AND NRLANCTONF = "
              "ANY($1::varchar[])",
              "UPDATE VENDA SET CDFILIALNF = NULL, NRLANCTONF = NULL WHERE CDFILIALNF = "
              "'0001' AND NRLANCTONF = ANY($1::varchar[])",
              "DELETE FROM ITEMNOTAFISCAL WHERE CDFILIALNF = '0001' AND NRLANCTONF = "
              "ANY($1::varchar[])",
              "DELETE FROM NOTAFISCAL WHERE CDFILIALNF = '0001' AND NRLANCTONF = "
              "ANY($1::varchar[])"})
            PQclear(run(sql, 1, set));
        PQclear(run("COMMIT", 0, nullptr));
        const double ms = msSince(t);
        PQfinish(conn);
        return ms;
    }

private:
    QByteArray connection_;
};

} // namespace

std::unique_ptr<DirectAccess> directPostgres(const QByteArray& connection)
{
    return std::make_unique<PostgresAccess>(connection);
}

} // namespace krt::bench
