#include "bench/stores/replay.h"

#include "bench/support/benchsupport.h"
#include "framework/wire/keylist.h"

#include <QDateTime>
#include <QStringList>
#include <QUuid>
#include <string_view>

namespace krt::bench {

namespace {

// The server's statements, as it sends them to PostgreSQL.
const char* const kUser =
    "SELECT U.DSSENHA, U.IDTODASFILIAIS, U.IDFILIALFIXA, U.IDATIVO, U.NRGERACAO, F.CDFILIAL, "
    "(SELECT COUNT(*) FROM KRTSESSAOENCERRADA WHERE IDSESSAO = $1) FROM KRTUSUARIO U LEFT JOIN "
    "KRTUSUARIOFILIAL F ON F.NMUSUARIO = U.NMUSUARIO WHERE U.NMUSUARIO = $2 ORDER BY F.CDFILIAL";
const char* const kSales =
    "SELECT V.CDFILIAL, V.NRSEQVENDA, V.CDCLIENTE, V.CDCAIXA, V.DTVENDA, V.IDTIPOIMPV, "
    "P.NMPRODUTO, I.QTPRODVEND, I.VRUNITVEND, I.NRSEQUITVEND, I.VRDESITVEND, P.CDPRODESTO, "
    "C.NMRAZSOCCLIE, V.NRLANCTONF, V.NRCUPOMFIS, V.CDFILIALNF, V.NMCONSUMIDOR, I.CDPRODUTO, "
    "P.CDARVPROD FROM VENDA V JOIN ITEMVENDA I ON I.CDFILIAL = V.CDFILIAL AND I.NRSEQVENDA = "
    "V.NRSEQVENDA JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO LEFT JOIN CLIENTE C ON "
    "C.CDCLIENTE = V.CDCLIENTE WHERE V.CDFILIALNF = $1 AND V.NRLANCTONF = $2 ORDER BY "
    "V.NRSEQVENDA, I.NRSEQUITVEND";
const char* const kItems = "SELECT I.CDPRODUTO, P.NMPRODUTO, I.QTITEMPROD, I.VRUNITITEM, "
                           "I.VRTOTAITEM FROM ITEMNOTAFISCAL I JOIN PRODUTO P ON P.CDPRODUTO = "
                           "I.CDPRODUTO WHERE I.CDFILIALNF = $1 AND I.NRLANCTONF = $2 ORDER BY "
                           "I.NRSEQUITEM";
const char* const kStock =
    "SELECT I.NRLANCESTQ, I.NRSEQUITEM, I.CDPRODUTO, P.NMPRODUTO, I.QTLANCTOEST, I.VRUNILANCTO, "
    "I.VRTOTLANCTO, P.CDARVPROD FROM LANCTOESTQ L JOIN ITLANCTOEST I ON I.CDFILIAL = L.CDFILIAL "
    "AND I.NRLANCESTQ = L.NRLANCESTQ JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO WHERE "
    "L.CDFILIALNF = $1 AND L.NRLANCTONF = $2 ORDER BY I.NRLANCESTQ, I.NRSEQUITEM";
const char* const kPeriod =
    "SELECT P.DTINICIAL, P.DTFINAL FROM PERIODOCTB P JOIN FILIAL F ON F.CDEMPRESA = P.CDEMPRESA"
    " WHERE F.CDFILIAL = $1 AND (P.CDFILIAL = $2 OR P.CDFILIAL = '') ORDER BY P.CDFILIAL DESC";
const char* const kPeriodLocked =
    "SELECT P.DTINICIAL, P.DTFINAL FROM PERIODOCTB P JOIN FILIAL F ON F.CDEMPRESA = P.CDEMPRESA"
    " WHERE F.CDFILIAL = $1 AND (P.CDFILIAL = $2 OR P.CDFILIAL = '') ORDER BY P.CDFILIAL DESC"
    " FOR SHARE OF P";
const char* const kInvoicesOutside =
    "SELECT 1 FROM NOTAFISCAL WHERE CDFILIAL = $1 AND DTENTRSAID >= $2 AND DTENTRSAID <= $3 AND "
    "(DTENTRSAID < $4 OR DTENTRSAID > $5) LIMIT 1";
const char* const kPostingsOutside =
    "SELECT 1 FROM LANCTOESTQ WHERE CDFILIAL = $1 AND DTLANCESTQ >= $2 AND DTLANCESTQ <= $3 AND "
    "(DTLANCESTQ < $4 OR DTLANCESTQ > $5) LIMIT 1";
const char* const kLockBranch = "SELECT CDFILIAL FROM FILIAL WHERE CDFILIAL = $1 FOR UPDATE";
const char* const kStatus =
    "SELECT NF.NRLANCTONF, NF.CDFILIAL, NF.IDSTATUS, NF.IDORIGEM, NF.DTENTRSAID, CASE WHEN EXISTS"
    " (SELECT 1 FROM LANCTOESTQ L WHERE L.CDFILIALNF = NF.CDFILIALNF AND L.NRLANCTONF ="
    " NF.NRLANCTONF AND L.CDFILIAL <> NF.CDFILIALNF) OR EXISTS (SELECT 1 FROM VENDA V WHERE"
    " V.CDFILIALNF = NF.CDFILIALNF AND V.NRLANCTONF = NF.NRLANCTONF AND V.CDFILIAL <>"
    " NF.CDFILIALNF) THEN 1 ELSE 0 END FROM NOTAFISCAL NF WHERE NF.CDFILIALNF = $1 AND"
    " NF.NRLANCTONF = ANY (CAST($2 AS VARCHAR[])) FOR UPDATE";
// Before the changes: each of the invoices' postings' branches with its first
// and last day, for the period check.
const char* const kPostingDays =
    "SELECT L.CDFILIAL, MIN(L.DTLANCESTQ), MAX(L.DTLANCESTQ), COUNT(*) FROM LANCTOESTQ L WHERE"
    " L.CDFILIALNF = $1 AND L.NRLANCTONF = ANY (CAST($2 AS VARCHAR[])) GROUP BY L.CDFILIAL";
// The cancellation's changes, as the server runs them today: sent together
// with the audit row and the COMMIT, as it sends them.
const char* const kChanges[] = {
    "INSERT INTO SALDOESTQ (CDFILIAL, CDPRODUTO, QTSALDO) SELECT I.CDFILIAL, I.CDPRODUTO,"
    " SUM(CASE WHEN L.IDTIPOLANC = 'S' THEN I.QTLANCTOEST ELSE -I.QTLANCTOEST END) FROM"
    " LANCTOESTQ L JOIN ITLANCTOEST I ON I.CDFILIAL = L.CDFILIAL AND I.NRLANCESTQ = L.NRLANCESTQ"
    " WHERE L.CDFILIALNF = $1 AND L.NRLANCTONF = ANY (CAST($2 AS VARCHAR[])) GROUP BY"
    " I.CDFILIAL, I.CDPRODUTO ON CONFLICT (CDFILIAL, CDPRODUTO) DO UPDATE SET QTSALDO ="
    " SALDOESTQ.QTSALDO + excluded.QTSALDO",
    "DELETE FROM ITLANCTOEST WHERE (CDFILIAL, NRLANCESTQ) IN (SELECT L.CDFILIAL, L.NRLANCESTQ"
    " FROM LANCTOESTQ L WHERE L.CDFILIALNF = $1 AND L.NRLANCTONF = ANY (CAST($2 AS"
    " VARCHAR[])))",
    "DELETE FROM LANCTOESTQ WHERE CDFILIALNF = $1 AND NRLANCTONF = ANY (CAST($2 AS VARCHAR[]))",
    "UPDATE VENDA SET CDFILIALNF = NULL, NRLANCTONF = NULL WHERE CDFILIALNF = $1 AND NRLANCTONF"
    " = ANY (CAST($2 AS VARCHAR[]))",
    "DELETE FROM ITEMNOTAFISCAL WHERE CDFILIALNF = $1 AND NRLANCTONF = ANY (CAST($2 AS"
    " VARCHAR[]))",
    "DELETE FROM NOTAFISCAL WHERE CDFILIALNF = $1 AND NRLANCTONF = ANY (CAST($2 AS VARCHAR[]))",
};
const char* const kAudit =
    "INSERT INTO AUDITCANCEL (IDAUDIT, DTHRAUDIT, NMOPERACAO, CDFILIAL, DSSOLICITANTE, "
    "IDRESULTADO, QTCANCELADOS, QTIGNORADOS, DSCANCELADOS, DSIGNORADOS, DSMOTIVO, NMUSUARIO) "
    "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, NULL, $11)";

std::string day(const QDate& d)
{
    return d.toString(Qt::ISODate).toStdString();
}

// Every row's every value read, as the server reads them into its answer.
void consume(const PgResult& r)
{
    size_t bytes = 0;
    for (int row = 0; row < PQntuples(r.get()); ++row)
        for (int col = 0; col < PQnfields(r.get()); ++col)
            bytes +=
                std::string(PQgetvalue(r.get(), row, col), size_t(PQgetlength(r.get(), row, col)))
                    .size();
    (void)bytes;
}

} // namespace

ClerkReplay::ClerkReplay(const QByteArray& connection, const QString& user)
    : pg_(connection), user_(user.toStdString())
{
}

void ClerkReplay::readUser()
{
    // A session's id as the server's token carries it: the check that it
    // was not ended finds nothing, as for a live session.
    static const std::string session = "0123456789abcdef0123456789abcdef";
    consume(pg_.run(kUser, {session, user_}));
}

void ClerkReplay::warm(const QString& branch, const QString& store, const QDate& d)
{
    const auto keys = list(branch, store, d);
    if (!keys.empty())
        details(keys.front().first, keys.front().second);
    period(branch, d);
    for (const char* sql : {kLockBranch, kPeriodLocked, kStatus, kPostingDays, kAudit, "COMMIT"})
        pg_.prepare(sql);
    for (const char* sql : kChanges)
        pg_.prepare(sql);
}

std::vector<std::pair<std::string, std::string>>
ClerkReplay::list(const QString& branch, const QString& store, const QDate& d)
{
    static const QByteArray sql = listStatement(true);
    readUser();
    const PgResult r =
        pg_.run(sql.constData(), {branch.toStdString(), store.toStdString(), day(d), day(d)});
    consume(r);
    std::vector<std::pair<std::string, std::string>> keys;
    for (int row = 0; row < PQntuples(r.get()); ++row)
        keys.emplace_back(PQgetvalue(r.get(), row, 2), PQgetvalue(r.get(), row, 3));
    return keys;
}

void ClerkReplay::details(const std::string& branch, const std::string& number)
{
    readUser();
    pg_.exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    for (const char* sql : {kSales, kItems, kStock})
        consume(pg_.run(sql, {branch, number}));
    pg_.exec("COMMIT");
}

void ClerkReplay::period(const QString& branch, const QDate& d)
{
    readUser();
    const std::string b = branch.toStdString();
    pg_.exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    const PgResult open = pg_.run(kPeriod, {b, b});
    if (PQntuples(open.get()) > 0) {
        const std::string from = PQgetvalue(open.get(), 0, 0), to = PQgetvalue(open.get(), 0, 1);
        consume(pg_.run(kInvoicesOutside, {b, day(d), day(d), from, to}));
        consume(pg_.run(kPostingsOutside, {b, day(d), day(d), from, to}));
    }
    pg_.exec("COMMIT");
}

int ClerkReplay::cancel(const QString& branch,
                        const std::vector<std::pair<std::string, std::string>>& keys)
{
    readUser();
    const std::string b = branch.toStdString();
    std::string numbers = "{";
    for (const auto& key : keys)
        numbers.append(numbers.size() > 1 ? "," : "").append(key.second);
    numbers += "}";
    pg_.exec("BEGIN");
    consume(pg_.run(kLockBranch, {b}));
    consume(pg_.run(kPeriodLocked, {b, b}));
    // The database's copy decides: pending, consolidated invoices of the
    // branch alone.
    const PgResult found = pg_.run(kStatus, {b, numbers});
    std::string doomed = "{";
    QStringList cancelled;
    for (int row = 0; row < PQntuples(found.get()); ++row) {
        const std::string number = PQgetvalue(found.get(), row, 0);
        if (PQgetvalue(found.get(), row, 1) != b ||
            std::string_view(PQgetvalue(found.get(), row, 2)) == "A" ||
            std::string_view(PQgetvalue(found.get(), row, 3)) != "C" ||
            std::string_view(PQgetvalue(found.get(), row, 5)) != "0")
            continue;
        doomed.append(doomed.size() > 1 ? "," : "").append(number);
        cancelled << QString::fromStdString(b).leftJustified(4, QLatin1Char(' ')) +
                         QString::fromStdString(number);
    }
    doomed += "}";
    const int count = int(cancelled.size());
    if (count > 0)
        consume(pg_.run(kPostingDays, {b, doomed}));
    std::vector<PgSession::Pipelined> changes;
    if (count > 0)
        for (const char* sql : kChanges)
            changes.push_back({sql, {b, doomed}});
    changes.push_back(
        {kAudit,
         {QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString(),
          QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toStdString(), "setDeletaNF", b,
          user_ + " (replay)", count ? "OK" : "NADA", std::to_string(count), "0",
          formatKeyList(cancelled).toStdString(), "", user_}});
    changes.push_back({"COMMIT", {}});
    pg_.runTogether(changes);
    return count;
}

} // namespace krt::bench
