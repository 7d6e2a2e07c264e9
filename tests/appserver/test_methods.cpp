// The read methods against a real database: result shapes, and every filter
// checked against what the tables hold.
#include "apptest.h"

#include "api/packetfields.h"
#include "appserver/db/sql.h"
#include "appserver/methods/arguments.h"
#include "framework/wire/errors.h"

using krt::Packet;
using krt::Variant;

namespace {

QString describeFields(const Packet& p)
{
    static const char* types[] = {"?", "S", "F", "D", "B", "I"};
    QStringList out;
    for (const krt::FieldDef& f : p.fields())
        out << QStringLiteral("%1:%2%3")
                   .arg(QString::fromLatin1(f.name), QString::fromLatin1(types[int(f.type)]))
                   .arg(f.size ? QString::number(f.size) : QString());
    return out.join(QLatin1Char(','));
}

} // namespace

class MethodsTest : public AppTest
{
};

TEST_F(MethodsTest, AnswersCarryExactlyTheFieldsOfTheClientDataSets)
{
    const Packet p = principal("0001", "LJ01");
    ASSERT_GT(p.rowCount(), 0);
    EXPECT_EQ(describeFields(p), "CDFILIAL:S4,CDCLIENTE:S21,CDFILIALNF:S4,NRLANCTONF:S10,"
                                 "NMRAZSOCCLIE:S50,DTEMISSAO:D,NRNOTAFISC:S20,IDSTATUS:S1,"
                                 "DTENTRSAID:D,NAVEGA:S72");
    const Variant details = obj->call(api::getItLanctoEst, p.textQ(0, 2), p.textQ(0, 3));
    ASSERT_EQ(details.size(), 3);
    EXPECT_EQ(describeFields(details.at(0).asPacket()),
              "CDFILIAL:S4,NRSEQVENDA:S10,CDCLIENTE:S21,CDCAIXA:S3,DTENTRVENDA:D,IDTIPOIMPV:S1,"
              "NMPRODUTO:S50,QTPRODVEND:F,VRUNITVEND:F,TOTITEM:F,NRSEQUITVEND:S3,VRDESITVEND:F,"
              "CDPRODESTO:S10,NMRAZSOCCLIE:S50,NRLANCTONF:S10,NRCUPOMFIS:S10,CDFILIALNF:S4,"
              "NMCONSUMIDOR:S50,CDPRODUTO:S10,CDARVPROD:S20");
    EXPECT_EQ(describeFields(details.at(1).asPacket()),
              "CDPRODUTO:S10,NMPRODUTO:S50,QTITEMPROD:F,VRUNITITEM:F,VRTOTAITEM:F");
    EXPECT_EQ(describeFields(details.at(2).asPacket()),
              "NRLANCESTQ:S10,NRSEQUITEM:S4,CDPRODUTO:S10,NMPRODUTO:S50,QTLANCTOEST:F,"
              "VRUNILANCTO:F,VRTOTLANCTO:F,CDARVPROD:S20");
    const Variant ret = obj->call(api::getRetLanctoEstq, "0001", "", "T", "", "S", first(), last());
    ASSERT_EQ(ret.size(), 2);
    EXPECT_EQ(describeFields(ret.at(0).asPacket()),
              "CDFILIAL:S4,NRRETEST:S10,NRLANCESTQ:S10,DTLANCESTQ:D");
    const Packet withdrawal = ret.at(0).asPacket();
    ASSERT_GT(withdrawal.rowCount(), 0);
    EXPECT_EQ(
        describeFields(
            obj->call(api::getRetItLanctoEst, withdrawal.textQ(0, 0), withdrawal.textQ(0, 2))
                .asPacket()),
        "NRLANCESTQ:S10,CDARVPROD:S20,NMPRODUTO:S50,QTLANCTOEST:F,VRUNILANCTO:F,VRTOTLANCTO:F");
    EXPECT_EQ(describeFields(
                  obj->call(api::getVendas, "0001", "", "T", first(), last(), false).asPacket()),
              "IDMARCADO:S1,CHAVE:S14,CDCAIXA:S3,NRSEQVENDA:S10,DTVENDA:S20,NMRAZSOCCLIE:S50");
    EXPECT_EQ(describeFields(
                  obj->call(api::getLancamento, "0001", "LJ01", "", "T", first(), last(), "S", "")
                      .asPacket()),
              "IDMARCADO:S1,CDFILIAL:S4,CDCLIENTE:S21,CDFILIALNF:S4,IDSTATUS:S1,NRLANCTONF:S10,"
              "NMRAZSOCCLIE:S50,DTEMISSAO:S10,NRNOTAFISC:S20,DTENTRSAID:D,CHAVE:S14");
    EXPECT_EQ(describeFields(obj->call(api::getParamVend, "0001").asPacket()),
              "CDLOJA:S10,IDTESESTCONS:S1,NMLOJA:S50");
    EXPECT_EQ(describeFields(obj->call(api::getParamFilial, "0001").asPacket()),
              "IDUTILALMOX:S1,IDUTILLCESTQ:S1,IDCTRLESTQ:S1");
    EXPECT_EQ(describeFields(obj->call(api::getInforPad, "0001").asPacket()), "CDSERIE:S5");
    // An unknown branch gives the same fields and no rows.
    const Packet none = obj->call(api::getParamVend, "9999").asPacket();
    EXPECT_EQ(none.rowCount(), 0);
    EXPECT_EQ(none.fieldCount(), 3);
}

TEST_F(MethodsTest, InvoiceListFollowsBranchStoreAndPeriod)
{
    const Packet all = principal("0001", "LJ01");
    EXPECT_EQ(
        all.rowCount(),
        tdb->count("SELECT COUNT(*) FROM NOTAFISCAL WHERE CDFILIAL = '0001' AND CDLOJA = 'LJ01'"));
    // Ordered by exit date, then posting number; one branch and store only.
    for (int r = 1; r < all.rowCount(); ++r) {
        const auto prev = std::make_pair(all.dateTime(r - 1, 8), all.textQ(r - 1, 3));
        const auto cur = std::make_pair(all.dateTime(r, 8), all.textQ(r, 3));
        EXPECT_LT(prev, cur);
    }
    for (int r = 0; r < all.rowCount(); ++r) {
        EXPECT_EQ(all.textQ(r, 0), "0001");
        EXPECT_TRUE(all.textQ(r, 9).contains(all.textQ(r, 6))) << all.textQ(r, 9).toStdString();
        EXPECT_LE(all.textQ(r, 9).size(), 72);
    }
    const QStringList lj01Keys = keysOf(all);
    const QSet<QString> lj01(lj01Keys.begin(), lj01Keys.end());
    for (const QString& k : keysOf(principal("0001", "LJ02")))
        EXPECT_FALSE(lj01.contains(k));

    // Whole days, both ends included.
    const Packet firstDay = principal("0001", "LJ01", {}, "T", first(), first());
    EXPECT_EQ(firstDay.rowCount(),
              tdb->count("SELECT COUNT(*) FROM NOTAFISCAL WHERE CDFILIAL = '0001' AND CDLOJA = "
                         "'LJ01' AND DTENTRSAID = '2026-03-02'"));
    EXPECT_GT(firstDay.rowCount(), 0);
    for (int r = 0; r < firstDay.rowCount(); ++r)
        EXPECT_EQ(firstDay.dateTime(r, 8).date(), QDate(2026, 3, 2));
    const QDateTime lateInDay(QDate(2026, 3, 6), QTime(23, 59));
    EXPECT_EQ(principal("0001", "LJ01", {}, "T", lateInDay, lateInDay).rowCount(),
              tdb->count("SELECT COUNT(*) FROM NOTAFISCAL WHERE CDFILIAL = '0001' AND CDLOJA = "
                         "'LJ01' AND DTENTRSAID = '2026-03-06'"));
    EXPECT_EQ(principal("0001", "LJ01", {}, "T", day(2026, 3, 1), day(2026, 3, 1)).rowCount(), 0);
    EXPECT_EQ(principal("0001", "LJ01", {}, "T", last(), first()).rowCount(), 0);
}

TEST_F(MethodsTest, RegisterAndSalesListsNarrowTheInvoices)
{
    // Register 002 of branch 0001 (a key is branch + register).
    const Packet reg = principal("0001", "LJ01", "'0001002'", "N");
    const qint64 expected = tdb->count(
        "SELECT COUNT(*) FROM NOTAFISCAL NF WHERE NF.CDFILIAL = '0001' AND NF.CDLOJA = 'LJ01' AND "
        "EXISTS (SELECT 1 FROM VENDA V WHERE V.CDFILIALNF = NF.CDFILIALNF AND V.NRLANCTONF = "
        "NF.NRLANCTONF AND V.CDCAIXA = '002')");
    EXPECT_EQ(reg.rowCount(), expected);
    EXPECT_GT(expected, 0);
    EXPECT_LT(expected, principal("0001", "LJ01").rowCount());
    // Two registers give at least as many; another branch's register gives none.
    EXPECT_GE(principal("0001", "LJ01", "'0001002','0001003'", "N").rowCount(), reg.rowCount());
    EXPECT_EQ(principal("0001", "LJ01", "'0002002'", "N").rowCount(), 0);
    EXPECT_EQ(principal("0001", "LJ01", "", "N").rowCount(), 0);

    // Sales picked from the pick list select exactly the invoices holding them.
    const Packet sales =
        obj->call(api::getVendas, "0001", "", "T", first(), last(), false).asPacket();
    ASSERT_GT(sales.rowCount(), 3);
    const QStringList chosen{sales.textQ(0, 1), sales.textQ(3, 1)};
    const Packet bySales =
        principal("0001", "LJ01", {}, "T", first(), last(), "N", krt::formatKeyList(chosen));
    const qint64 holding = tdb->count(
        QStringLiteral("SELECT COUNT(DISTINCT NRLANCTONF) FROM VENDA WHERE CDFILIAL = '0001' AND "
                       "CDLOJA = 'LJ01' AND NRSEQVENDA IN ('%1', '%2')")
            .arg(chosen[0].mid(4), chosen[1].mid(4)));
    EXPECT_EQ(bySales.rowCount(), holding);
    // With the flag for all sales, a list sent along is ignored.
    EXPECT_EQ(principal("0001", "LJ01", {}, "T", first(), last(), "S", krt::formatKeyList(chosen))
                  .rowCount(),
              principal("0001", "LJ01").rowCount());

    // The postings pick list's keys select exactly those invoices.
    const Packet postings =
        obj->call(api::getLancamento, "0001", "LJ01", "", "T", first(), last(), "S", "").asPacket();
    ASSERT_EQ(postings.rowCount(), principal("0001", "LJ01").rowCount());
    const QString key = postings.textQ(2, postings.fieldIndex(std::string_view("CHAVE")));
    EXPECT_EQ(key.size(), 14);
    const Packet one = obj->call(api::getPrincipal, "0001", "LJ01", "", "T",
                                 krt::formatKeyList({key}), "N", first(), last(), "S", "")
                           .asPacket();
    ASSERT_EQ(one.rowCount(), 1);
    EXPECT_EQ(keysOf(one).first(), key);
}

TEST_F(MethodsTest, InvoiceDetailsDescribeTheSameInvoice)
{
    const Packet list = principal("0002", "LJ02");
    ASSERT_GT(list.rowCount(), 0);
    const QString branch = list.textQ(0, 2), number = list.textQ(0, 3);
    const Variant d = obj->call(api::getItLanctoEst, branch, number);
    const Packet sales = d.at(0).asPacket(), items = d.at(1).asPacket(), stock = d.at(2).asPacket();
    EXPECT_EQ(sales.rowCount(),
              tdb->count(QStringLiteral("SELECT COUNT(*) FROM ITEMVENDA I JOIN VENDA V ON "
                                        "V.CDFILIAL = I.CDFILIAL AND V.NRSEQVENDA = I.NRSEQVENDA "
                                        "WHERE V.CDFILIALNF = '%1' AND V.NRLANCTONF = '%2'")
                             .arg(branch, number)));
    QMap<QString, double> soldQty, soldTotal, itemQty, stockQty;
    for (int r = 0; r < sales.rowCount(); ++r) {
        EXPECT_EQ(sales.textQ(r, 14), number);
        EXPECT_EQ(sales.textQ(r, 16), branch);
        EXPECT_NEAR(sales.number(r, 9),
                    sales.number(r, 7) * sales.number(r, 8) - sales.number(r, 11), 1e-9);
        soldQty[sales.textQ(r, 18)] += sales.number(r, 7);
        soldTotal[sales.textQ(r, 18)] += sales.number(r, 9);
    }
    for (int r = 0; r < items.rowCount(); ++r) {
        itemQty[items.textQ(r, 0)] += items.number(r, 2);
        EXPECT_NEAR(items.number(r, 4), soldTotal[items.textQ(r, 0)], 0.005);
    }
    for (int r = 0; r < stock.rowCount(); ++r)
        stockQty[stock.textQ(r, 2)] += stock.number(r, 4);
    EXPECT_EQ(soldQty, itemQty);
    EXPECT_EQ(soldQty, stockQty);
    // An unknown invoice: three empty lists.
    const Variant none = obj->call(api::getItLanctoEst, "0002", "9999999999");
    EXPECT_EQ(none.at(0).asPacket().rowCount() + none.at(1).asPacket().rowCount() +
                  none.at(2).asPacket().rowCount(),
              0);
}

TEST_F(MethodsTest, WithdrawalsAndSalesPickListFollowTheirFilters)
{
    const Variant all = obj->call(api::getRetLanctoEstq, "0001", "", "T", "", "S", first(), last());
    const Packet list = all.at(0).asPacket();
    EXPECT_EQ(list, all.at(1).asPacket());
    EXPECT_EQ(list.rowCount(),
              tdb->count("SELECT COUNT(*) FROM RETIRADAEST WHERE CDFILIAL = '0001'"));
    const Packet reg =
        obj->call(api::getRetLanctoEstq, "0001", "'0001001'", "N", "", "S", first(), last())
            .at(0)
            .asPacket();
    EXPECT_EQ(reg.rowCount(), tdb->count("SELECT COUNT(*) FROM RETIRADAEST WHERE CDFILIAL = '0001' "
                                         "AND CDCAIXA = '001'"));
    EXPECT_EQ(
        obj->call(api::getRetLanctoEstq, "0001", "", "T", "", "S", day(2026, 3, 3), day(2026, 3, 3))
            .at(0)
            .asPacket()
            .rowCount(),
        tdb->count("SELECT COUNT(*) FROM RETIRADAEST WHERE CDFILIAL = '0001' AND DTRETIRADA "
                   "= '2026-03-03'"));

    // Withdrawal mode offers the sales that have withdrawals, invoice mode the invoiced ones.
    const Packet retSales =
        obj->call(api::getVendas, "0001", "", "T", first(), last(), true).asPacket();
    EXPECT_EQ(
        retSales.rowCount(),
        tdb->count("SELECT COUNT(*) FROM VENDA WHERE CDFILIAL = '0001' AND NRRETEST IS NOT NULL"));
    // Picking sales of one withdrawal selects it.
    ASSERT_GT(retSales.rowCount(), 0);
    const Packet bySale =
        obj->call(api::getRetLanctoEstq, "0001", "", "T",
                  krt::formatKeyList({retSales.textQ(0, 1)}), "N", first(), last())
            .at(0)
            .asPacket();
    EXPECT_EQ(bySale.rowCount(), 1);
    const Packet nfSales =
        obj->call(api::getVendas, "0001", "'0001004'", "N", first(), last(), false).asPacket();
    EXPECT_EQ(
        nfSales.rowCount(),
        tdb->count("SELECT COUNT(*) FROM VENDA WHERE CDFILIAL = '0001' AND CDCAIXA = '004' AND "
                   "NRLANCTONF IS NOT NULL"));
    for (int r = 0; r < nfSales.rowCount(); ++r) {
        EXPECT_EQ(nfSales.textQ(r, 1), "0001" + nfSales.textQ(r, 3));
        EXPECT_EQ(nfSales.textQ(r, 2), "004");
        EXPECT_TRUE(QDate::fromString(nfSales.textQ(r, 4), "dd/MM/yyyy").isValid());
    }
    // Items of one withdrawal.
    const Packet items =
        obj->call(api::getRetItLanctoEst, list.textQ(0, 0), list.textQ(0, 2)).asPacket();
    EXPECT_EQ(items.rowCount(), tdb->count(QStringLiteral("SELECT COUNT(*) FROM ITLANCTOEST WHERE "
                                                          "CDFILIAL = '0001' AND NRLANCESTQ = '%1'")
                                               .arg(list.textQ(0, 2))));
}

TEST_F(MethodsTest, ParametersAndAccountingPeriod)
{
    const Packet vend = obj->call(api::getParamVend, "0002").asPacket();
    ASSERT_EQ(vend.rowCount(), 1);
    EXPECT_EQ(vend.textQ(0, 0), "LJ01");
    EXPECT_EQ(vend.textQ(0, 2), "Loja 1 - Centro");
    EXPECT_EQ(obj->call(api::getInforPad, "0001").asPacket().textQ(0, 0), "1");
    EXPECT_EQ(obj->call(api::getParamFilial, "0001").asPacket().rowCount(), 1);

    EXPECT_TRUE(obj->call(api::getPeriodoCTBOK, "0001", first(), last()).asBool());
    // The company closes everything up to 04/03: a period touching that fails.
    tdb->exec("UPDATE PERIODOCTB SET DTINICIAL = '2026-03-05'");
    EXPECT_FALSE(obj->call(api::getPeriodoCTBOK, "0001", first(), last()).asBool());
    EXPECT_FALSE(
        obj->call(api::getPeriodoCTBOK, "0001", day(2026, 3, 4), day(2026, 3, 4)).asBool());
    EXPECT_TRUE(obj->call(api::getPeriodoCTBOK, "0001", day(2026, 3, 5), last()).asBool());
    // A period without any posting is fine even when closed.
    EXPECT_TRUE(
        obj->call(api::getPeriodoCTBOK, "0001", day(2025, 1, 1), day(2025, 1, 31)).asBool());
    // A branch's own period wins over its company's.
    tdb->exec("INSERT INTO PERIODOCTB (CDEMPRESA, CDFILIAL, DTINICIAL, DTFINAL) VALUES ('01', "
              "'0002', '2026-01-01', '2026-12-31')");
    EXPECT_TRUE(obj->call(api::getPeriodoCTBOK, "0002", first(), last()).asBool());
    EXPECT_FALSE(obj->call(api::getPeriodoCTBOK, "0001", first(), last()).asBool());
}

TEST_F(MethodsTest, BadArgumentsGiveErrorsNamingTheMethod)
{
    EXPECT_APP_ERROR(obj->dispatch("getPrincipal", {Variant("0001")}, "t"), "getPrincipal");
    EXPECT_APP_ERROR(obj->dispatch("dropTables", {}, "t"), "dropTables");
    EXPECT_APP_ERROR(obj->dispatch("getParamVend", {Variant(qint64(1))}, "t"), "getParamVend");
    EXPECT_APP_ERROR(principal("0001", "LJ01", {}, "T", QDateTime(), last()),
                     "getPrincipal: a data inicial (argumento 7) não foi informada.");
    const Variant day("2026-03-02");
    EXPECT_APP_ERROR(obj->dispatch("getPrincipal",
                                   {"0001", "LJ01", "", "T", "", "T", day, last(), "S", ""}, "t"),
                     "o argumento 7 (data inicial) deve ser data, mas é texto");
    EXPECT_APP_ERROR(principal("0001", "LJ01", "'0001001", "N"), "malformada");
    EXPECT_APP_ERROR(principal("0001", "LJ01", "0001001", "N"), "getPrincipal");
    EXPECT_APP_ERROR(principal("0001", "LJ01", {}, "X"), "\"T\" ou \"N\"");
    // One key too many is refused as it is counted, whatever follows it.
    QString many;
    for (int i = 0; i <= krt::app::kMaxListKeys; ++i)
        many += QStringLiteral("'0001%1',").arg(i, 3, 10, QLatin1Char('0'));
    EXPECT_APP_ERROR(principal("0001", "LJ01", many + "lixo", "N"), "mais de 10000 itens");
    EXPECT_APP_ERROR(obj->dispatch("getVendas", {"0001", "", "T", first(), last(), "S"}, "t"),
                     "getVendas");
    EXPECT_APP_ERROR(obj->dispatch("setDeletaNF", {"0001", "pacote"}, "t"), "pacote de dados");
    EXPECT_APP_ERROR(obj->dispatch("getDeletaRetiEst", {Variant(QList<Variant>{})}, "t"),
                     "getDeletaRetiEst");
}

TEST_F(MethodsTest, QuotesAndSqlInTextsAreData)
{
    // The customer names of the demo hold quotes, semicolons and SQL.
    EXPECT_GT(tdb->count("SELECT COUNT(*) FROM CLIENTE WHERE NMRAZSOCCLIE LIKE '%SELECT%'"), 0);
    const Packet all = principal("0001", "LJ01");
    bool sawQuote = false;
    for (const QString& name : column(all, "NMRAZSOCCLIE"))
        sawQuote = sawQuote || name.contains('\'');
    EXPECT_TRUE(sawQuote);
    const qint64 invoices = tdb->count("SELECT COUNT(*) FROM NOTAFISCAL");
    for (const QString& hostile :
         {QStringLiteral("0001' OR '1'='1"), QStringLiteral("0001; DELETE FROM NOTAFISCAL; --"),
          QStringLiteral("Ação ' UNION SELECT * FROM CLIENTE --")}) {
        EXPECT_EQ(principal(hostile, "LJ01").rowCount(), 0);
        EXPECT_EQ(principal("0001", hostile).rowCount(), 0);
        EXPECT_EQ(principal("0001", "LJ01", krt::formatKeyList({hostile}), "N").rowCount(), 0);
        EXPECT_EQ(obj->call(api::getParamVend, hostile).asPacket().rowCount(), 0);
        EXPECT_EQ(obj->call(api::getItLanctoEst, "0001", hostile).at(0).asPacket().rowCount(), 0);
    }
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM NOTAFISCAL"), invoices);
}

// Only a declared name exists: a name that is no method, or a method's name in
// another case, is refused as unknown before anything runs.
TEST_F(MethodsTest, AnUndeclaredNameIsRefusedNotRun)
{
    for (const char* name : {"getprincipal", "serve", "dispatch", "getPrincipal ", ""})
        EXPECT_APP_ERROR(obj->dispatch(name, {Variant("0001")}, "t"), "Método desconhecido");
    try {
        obj->dispatch("GETINFORPAD", {Variant("0001")}, "t");
        ADD_FAILURE() << "an undeclared name ran";
    } catch (const krt::Error& e) {
        EXPECT_EQ(e.code(), krt::ErrorCode::UnknownMethod);
    }
}

TEST_F(MethodsTest, ALostDatabaseConnectionFailsOneCallThenReconnects)
{
    if (!TestDatabase::isPostgres())
        GTEST_SKIP() << "only a database server can drop its connections";
    krt::app::Database own(tdb->options());
    krt::app::RdmCancelaConsoli served(own);
    ASSERT_EQ(served.call(api::getParamVend, "0001").asPacket().rowCount(), 1);
    // As when the database server restarts.
    tdb->exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = "
              "current_database() AND pid <> pg_backend_pid()");
    EXPECT_APP_ERROR(served.dispatch("getParamVend", {Variant("0001")}, "t"), "getParamVend");
    EXPECT_EQ(served.call(api::getParamVend, "0001").asPacket().rowCount(), 1);
}

// Another program may have stored bytes that are not UTF-8 (a name in
// Latin-1): the lists still load, with replacement characters.
TEST_F(MethodsTest, TextsThatAreNotUtf8DoNotFailTheLists)
{
    if (TestDatabase::isPostgres())
        GTEST_SKIP() << "PostgreSQL refuses such bytes when they are stored";
    const Packet before = principal("0001", "LJ01");
    ASSERT_GT(before.rowCount(), 0);
    const QString customer = before.textQ(0, before.fieldIndex(std::string_view("CDCLIENTE")));
    ASSERT_FALSE(customer.isEmpty());
    // "Jo\xE3o" (João in Latin-1), and a long one cut in the middle of the bad bytes.
    tdb->exec(QStringLiteral("UPDATE CLIENTE SET NMRAZSOCCLIE = CAST(X'4A6FE36F' AS TEXT)"
                             " WHERE CDCLIENTE = '%1'")
                  .arg(customer));
    Packet after = principal("0001", "LJ01");
    ASSERT_EQ(after.rowCount(), before.rowCount());
    EXPECT_EQ(after.textQ(0, after.fieldIndex(std::string_view("NMRAZSOCCLIE"))),
              QStringLiteral("Jo\uFFFDo"));
    EXPECT_TRUE(after.textQ(0, after.fieldIndex(std::string_view("NAVEGA")))
                    .endsWith(QStringLiteral("Jo\uFFFDo")));
    tdb->exec(QStringLiteral("UPDATE CLIENTE SET NMRAZSOCCLIE = CAST(X'%1' AS TEXT)"
                             " WHERE CDCLIENTE = '%2'")
                  .arg(QString(QByteArray(49, 'A').toHex() + "E3E3E3E3"), customer));
    after = principal("0001", "LJ01");
    EXPECT_EQ(after.textQ(0, after.fieldIndex(std::string_view("NMRAZSOCCLIE"))),
              QString(49, QLatin1Char('A')) + QChar(0xFFFD));
}
