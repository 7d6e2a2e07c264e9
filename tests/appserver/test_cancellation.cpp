// Undoing the consolidation: what is cancelled, what is left alone, the
// balances, the audit trail, the period check and hostile input.
#include "cancellationtest.h"

#include "framework/wire/errors.h"

#include <algorithm>

using krt::FieldDef;
using krt::FieldType;
using krt::Packet;
using krt::PacketWriter;
using krt::Variant;

namespace {

// A packet shaped like the invoice list, with only the key fields filled.
Packet invoicePacket(const QStringList& keys, const QString& status = QStringLiteral("P"),
                     quint16 size = 10)
{
    PacketWriter w({{"CDFILIALNF", FieldType::String, size},
                    {"NRLANCTONF", FieldType::String, size},
                    {"IDSTATUS", FieldType::String, 1}});
    for (const QString& k : keys) {
        w.addText(k.left(4));
        w.addText(k.mid(4));
        w.addText(status);
    }
    return w.finish();
}

} // namespace

TEST_F(CancellationTest, CancelsPendingInvoicesCompletelyAndLeavesTheRestAlone)
{
    const QStringList otherBranch = tdb->invoiceKeys("CDFILIAL = '0002'");
    const QStringList otherStore = tdb->invoiceKeys("CDFILIAL = '0001' AND CDLOJA = 'LJ02'");
    const QStringList approved =
        tdb->invoiceKeys("CDFILIAL = '0001' AND CDLOJA = 'LJ01' AND IDSTATUS = 'A'");
    const QStringList pending =
        tdb->invoiceKeys("CDFILIAL = '0001' AND CDLOJA = 'LJ01' AND IDSTATUS = 'P'");
    ASSERT_FALSE(approved.isEmpty());
    ASSERT_FALSE(pending.isEmpty());
    const auto linksBefore = tdb->saleLinks();
    const auto balancesBefore = tdb->balances();

    const Packet list = principal("0001", "LJ01");
    ASSERT_EQ(list.rowCount(), approved.size() + pending.size());
    EXPECT_TRUE(obj->call("teste", api::setDeletaNF, "0001", list).asBool());

    EXPECT_EQ(tdb->invoiceKeys("CDFILIAL = '0001' AND CDLOJA = 'LJ01'"), approved);
    EXPECT_EQ(tdb->invoiceKeys("CDFILIAL = '0002'"), otherBranch);
    EXPECT_EQ(tdb->invoiceKeys("CDFILIAL = '0001' AND CDLOJA = 'LJ02'"), otherStore);
    EXPECT_TRUE(halfCancelled(pending + approved).isEmpty());
    // Freed sales can be consolidated again; the others keep their links.
    const QSet<QString> pendingSet(pending.begin(), pending.end());
    const auto linksAfter = tdb->saleLinks();
    for (auto it = linksBefore.cbegin(); it != linksBefore.cend(); ++it) {
        const bool freed = it.value().startsWith("nf:") && pendingSet.contains(it.value().mid(3));
        EXPECT_EQ(linksAfter.value(it.key()), freed ? QString() : it.value())
            << it.key().toStdString();
    }
    // Branch 0002's balances did not move; branch 0001's match its postings.
    const auto balancesAfter = tdb->balances();
    for (auto it = balancesBefore.cbegin(); it != balancesBefore.cend(); ++it) {
        if (it.key().startsWith("0002/")) {
            EXPECT_EQ(balancesAfter.value(it.key()), it.value());
        }
    }
    expectBalancesMatchPostings();

    // The audit names what was cancelled and what was skipped, and why.
    krt::app::Query audit(tdb->db().connection(),
                          "SELECT IDRESULTADO, QTCANCELADOS, QTIGNORADOS, DSIGNORADOS, "
                          "DSSOLICITANTE, CDFILIAL FROM AUDITCANCEL");
    audit.exec();
    ASSERT_TRUE(audit.next());
    EXPECT_EQ(audit.text(0), "OK");
    EXPECT_EQ(audit.integer(1), pending.size());
    EXPECT_EQ(audit.integer(2), approved.size());
    EXPECT_TRUE(audit.text(3).contains(approved.first() + ": aprovada"));
    EXPECT_EQ(audit.text(4), "teste");
    EXPECT_EQ(audit.text(5), "0001");
}

TEST_F(CancellationTest, RepeatingACancellationAnswersFalseAndChangesNothing)
{
    const Packet list = principal("0002", "LJ02");
    ASSERT_TRUE(obj->call("a", api::setDeletaNF, "0002", list).asBool());
    const auto balances = tdb->balances();
    const auto links = tdb->saleLinks();
    const QStringList invoices = tdb->invoiceKeys();

    EXPECT_FALSE(obj->call("b", api::setDeletaNF, "0002", list).asBool());
    EXPECT_EQ(tdb->balances(), balances);
    EXPECT_EQ(tdb->saleLinks(), links);
    EXPECT_EQ(tdb->invoiceKeys(), invoices);
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM AUDITCANCEL WHERE IDRESULTADO = 'NADA' AND "
                         "DSSOLICITANTE = 'b'"),
              1);
    // An empty list (a closed data set) is not an error either.
    EXPECT_FALSE(obj->call("c", api::setDeletaNF, "0002", Packet::empty(list.fields())).asBool());
}

// A clerk's selection may name an invoice more than once, in any order: it is
// undone once and counted once.
TEST_F(CancellationTest, AnInvoiceListedTwiceIsCancelledAndAuditedOnce)
{
    const QStringList pending =
        tdb->invoiceKeys("CDFILIAL = '0001' AND CDLOJA = 'LJ01' AND IDSTATUS = 'P'");
    ASSERT_GE(pending.size(), 2);
    QStringList repeated = pending;
    std::reverse(repeated.begin(), repeated.end());
    repeated += pending;
    ASSERT_TRUE(obj->call("t", api::setDeletaNF, "0001", invoicePacket(repeated)).asBool());
    EXPECT_TRUE(halfCancelled(pending).isEmpty());
    expectBalancesMatchPostings();
    krt::app::Query audit(tdb->db().connection(),
                          "SELECT QTCANCELADOS, QTIGNORADOS, DSCANCELADOS FROM AUDITCANCEL");
    audit.exec();
    ASSERT_TRUE(audit.next());
    EXPECT_EQ(audit.integer(0), pending.size());
    EXPECT_EQ(audit.integer(1), 0);
    EXPECT_EQ(audit.text(2).count(pending.first()), 1);
}

// A list that was never loaded may come without rows and without fields: the
// answer is "nothing cancelled", through the wire as well, not an error.
TEST_F(CancellationTest, APacketWithoutFieldsCancelsNothing)
{
    const QStringList all = tdb->invoiceKeys();
    EXPECT_FALSE(
        obj->dispatch("setDeletaNF", {Variant("0001"), Variant(Packet::empty({}))}, "e").asBool());
    EXPECT_FALSE(obj->dispatch("getDeletaRetiEst", {Variant(Packet::empty({}))}, "e").asBool());
    EXPECT_EQ(tdb->invoiceKeys(), all);
}

TEST_F(CancellationTest, TheDatabaseDecidesStatusAndBranchNotThePacket)
{
    const QStringList approved = tdb->invoiceKeys("IDSTATUS = 'A' AND CDFILIAL = '0001'");
    const QStringList ofBranch2 = tdb->invoiceKeys("IDSTATUS = 'P' AND CDFILIAL = '0002'");
    const QStringList all = tdb->invoiceKeys();
    // Approved invoices claimed as pending, and another branch's invoices.
    EXPECT_FALSE(obj->call("x", api::setDeletaNF, "0001", invoicePacket(approved + ofBranch2, "P"))
                     .asBool());
    EXPECT_EQ(tdb->invoiceKeys(), all);
    // A bare packet of keys (no other fields) cancels the branch's pending invoices.
    const QStringList pending = tdb->invoiceKeys("IDSTATUS = 'P' AND CDFILIAL = '0001'");
    EXPECT_TRUE(
        obj->call("x", api::setDeletaNF, "0001", invoicePacket(pending.mid(0, 2), "A")).asBool());
    EXPECT_EQ(tdb->invoiceKeys().size(), all.size() - 2);
    expectBalancesMatchPostings();
}

TEST_F(CancellationTest, AClosedPeriodRefusesTheWholeRequest)
{
    tdb->exec("UPDATE PERIODOCTB SET DTINICIAL = '2026-03-04'");
    const QStringList all = tdb->invoiceKeys();
    const auto balances = tdb->balances();
    EXPECT_APP_ERROR(obj->call("p", api::setDeletaNF, "0001", principal("0001", "LJ01")),
                     "Operação Bloqueada! Existem lançamentos fora do período contábil permitido! "
                     "Favor entrar em contato com a Contabilidade.");
    EXPECT_EQ(tdb->invoiceKeys(), all);
    EXPECT_EQ(tdb->balances(), balances);
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM AUDITCANCEL WHERE IDRESULTADO = 'RECUSADO'"), 1);
    // Invoices of the open days alone go through.
    EXPECT_TRUE(obj->call("p", api::setDeletaNF, "0001",
                          principal("0001", "LJ01", {}, "T", day(2026, 3, 4), last()))
                    .asBool());
    const Variant ret = obj->call(api::getRetLanctoEstq, "0001", "", "T", "", "S", first(), last());
    EXPECT_APP_ERROR(obj->call("p", api::getDeletaRetiEst, ret.at(1).asPacket()),
                     "Operação Bloqueada!");
    try {
        obj->call("p", api::getDeletaRetiEst, ret.at(1).asPacket());
    } catch (const krt::Error& e) {
        EXPECT_EQ(e.code(), krt::ErrorCode::Refused) << "a refusal, not a bad argument";
        EXPECT_EQ(e.method(), QStringLiteral("getDeletaRetiEst"));
    }
}

// The period is checked on every stock posting, not only on the invoice's
// date: an invoice of an open day whose posting lies on a closed day is
// refused, and the refusal names that posting.
TEST_F(CancellationTest, APostingOnAClosedDayRefusesItsInvoice)
{
    tdb->exec("UPDATE PERIODOCTB SET DTINICIAL = '2026-03-04'");
    const QStringList open =
        tdb->invoiceKeys("CDFILIAL = '0001' AND CDLOJA = 'LJ01' AND IDSTATUS = 'P' AND "
                         "DTENTRSAID >= '2026-03-04'");
    ASSERT_GE(open.size(), 2);
    const QString key = open.first();
    krt::app::Query posting(tdb->db().connection(),
                            QStringLiteral("SELECT NRLANCESTQ FROM LANCTOESTQ WHERE CDFILIALNF = "
                                           "'%1' AND NRLANCTONF = '%2'")
                                .arg(key.left(4), key.mid(4)));
    posting.exec();
    ASSERT_TRUE(posting.next());
    const QString number = posting.text(0);
    tdb->exec(QStringLiteral("UPDATE LANCTOESTQ SET DTLANCESTQ = '2026-03-03' WHERE CDFILIAL = "
                             "'0001' AND NRLANCESTQ = '%1'")
                  .arg(number));
    const QStringList all = tdb->invoiceKeys();
    const auto balances = tdb->balances();
    const Packet list = principal("0001", "LJ01", {}, "T", day(2026, 3, 4), last());
    EXPECT_APP_ERROR(obj->call("p", api::setDeletaNF, "0001", list), "Operação Bloqueada!");
    EXPECT_EQ(tdb->invoiceKeys(), all);
    EXPECT_EQ(tdb->balances(), balances);
    krt::app::Query audit(tdb->db().connection(),
                          "SELECT DSMOTIVO FROM AUDITCANCEL WHERE IDRESULTADO = 'RECUSADO'");
    audit.exec();
    ASSERT_TRUE(audit.next());
    EXPECT_TRUE(audit.text(0).contains(
        QStringLiteral("lançamento de estoque 0001/%1 de 2026-03-03").arg(number)))
        << audit.text(0).toStdString();
    // With the posting back on an open day the same request goes through.
    tdb->exec(QStringLiteral("UPDATE LANCTOESTQ SET DTLANCESTQ = '2026-03-04' WHERE CDFILIAL = "
                             "'0001' AND NRLANCESTQ = '%1'")
                  .arg(number));
    EXPECT_TRUE(obj->call("p", api::setDeletaNF, "0001", list).asBool());
    expectBalancesMatchPostings();
}

TEST_F(CancellationTest, ConsolidatingAgainAfterCancellingGivesTheSameInvoices)
{
    auto contents = [&] {
        QStringList out;
        krt::app::Query q(
            tdb->db().connection(),
            "SELECT NF.CDFILIAL, NF.CDLOJA, NF.CDCLIENTE, NF.DTENTRSAID, NF.VRTOTALNF, "
            "I.CDPRODUTO, I.QTITEMPROD, I.VRUNITITEM, I.VRTOTAITEM, I.NRSEQUITEM "
            "FROM NOTAFISCAL NF JOIN ITEMNOTAFISCAL I ON I.CDFILIALNF = NF.CDFILIALNF "
            "AND I.NRLANCTONF = NF.NRLANCTONF");
        q.exec();
        while (q.next()) {
            QStringList row;
            for (int c = 0; c < 10; ++c)
                row << q.value(c).toString();
            out << row.join('|');
        }
        out.sort();
        return out;
    };
    const QStringList before = contents();
    const auto balances = tdb->balances();
    for (const char* branch : {"0001", "0002"})
        for (const char* store : {"LJ01", "LJ02"})
            ASSERT_NO_THROW(obj->call("c", api::setDeletaNF, branch, principal(branch, store)));
    ASSERT_LT(tdb->count("SELECT COUNT(*) FROM NOTAFISCAL"), summary.sales);
    expectBalancesMatchPostings();
    consolidateAll();
    EXPECT_EQ(contents(), before);
    const auto again = tdb->balances();
    for (auto it = balances.cbegin(); it != balances.cend(); ++it)
        EXPECT_NEAR(again.value(it.key()), it.value(), 1e-6);
}

TEST_F(CancellationTest, WithdrawalsAreReversedCompletely)
{
    const Variant list =
        obj->call(api::getRetLanctoEstq, "0001", "", "T", "", "S", first(), last());
    const int count = list.at(1).asPacket().rowCount();
    ASSERT_GT(count, 0);
    const qint64 invoices = tdb->count("SELECT COUNT(*) FROM NOTAFISCAL");
    EXPECT_TRUE(obj->call("r", api::getDeletaRetiEst, list.at(1).asPacket()).asBool());
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM RETIRADAEST WHERE CDFILIAL = '0001'"), 0);
    EXPECT_GT(tdb->count("SELECT COUNT(*) FROM RETIRADAEST WHERE CDFILIAL = '0002'"), 0);
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM LANCTOESTQ WHERE CDFILIAL = '0001' AND NRRETEST IS "
                         "NOT NULL"),
              0);
    EXPECT_EQ(
        tdb->count("SELECT COUNT(*) FROM VENDA WHERE CDFILIAL = '0001' AND NRRETEST IS NOT NULL"),
        0);
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM NOTAFISCAL"), invoices);
    expectBalancesMatchPostings();
    EXPECT_FALSE(obj->call("r", api::getDeletaRetiEst, list.at(1).asPacket()).asBool());
    expectBalancesMatchPostings();
}

TEST_F(CancellationTest, HostilePacketsChangeNothing)
{
    const QStringList all = tdb->invoiceKeys();
    const auto balances = tdb->balances();
    // Keys that would be SQL if pasted, and keys of impossible sizes.
    EXPECT_FALSE(obj->call("h", api::setDeletaNF, "0001",
                           invoicePacket({"0001' OR '1'='1", "0001'; DELETE FROM VENDA; --", "0001",
                                          "00010000000001X"},
                                         "P", 50))
                     .asBool());
    EXPECT_FALSE(
        obj->call("h", api::setDeletaNF, "0001' OR '1'='1", principal("0001", "LJ01")).asBool());
    // Packets the server cannot read as an invoice list.
    PacketWriter noKeys(QList<FieldDef>{{"NRLANCTONF", FieldType::String, 10}});
    noKeys.addText(QStringLiteral("0000000001"));
    EXPECT_APP_ERROR(obj->call("h", api::setDeletaNF, "0001", noKeys.finish()), "CDFILIALNF");
    PacketWriter numbers(
        QList<FieldDef>{{"CDFILIALNF", FieldType::Float, 0}, {"NRLANCTONF", FieldType::Float, 0}});
    numbers.addNumber(1);
    numbers.addNumber(1);
    EXPECT_APP_ERROR(obj->call("h", api::setDeletaNF, "0001", numbers.finish()), "texto");
    EXPECT_APP_ERROR(obj->call("h", api::setDeletaNF, "", principal("0001", "LJ01")), "filial");
    EXPECT_APP_ERROR(obj->dispatch("setDeletaNF", {Variant("0001"), Variant(true)}, "h"),
                     "setDeletaNF");
    EXPECT_APP_ERROR(obj->call("h", api::getDeletaRetiEst, invoicePacket({"00010000000001"})),
                     "CDFILIAL");
    EXPECT_EQ(tdb->invoiceKeys(), all);
    EXPECT_EQ(tdb->balances(), balances);
}

// A NUL character cannot be stored by any of the databases (PostgreSQL fails
// the whole statement over it): an argument holding one is refused with a
// clear error, and a packet row holding one is skipped like any bad key.
TEST_F(CancellationTest, NulCharactersAreRefusedOrSkippedNeverSentToTheDatabase)
{
    const QString nul = QStringLiteral("00") + QChar(0) + QStringLiteral("1");
    EXPECT_APP_ERROR(obj->call(api::getParamVend, nul), "caractere nulo");
    EXPECT_APP_ERROR(principal("0001", "LJ01", krt::formatKeyList({nul}), "N"), "caractere nulo");
    EXPECT_APP_ERROR(obj->call("n", api::setDeletaNF, nul, principal("0001", "LJ01")),
                     "caractere nulo");

    const QStringList pending = tdb->invoiceKeys("IDSTATUS = 'P' AND CDFILIAL = '0001'");
    ASSERT_FALSE(pending.isEmpty());
    EXPECT_TRUE(obj->call("n", api::setDeletaNF, "0001",
                          invoicePacket({pending.first(), QStringLiteral("0001") + nul,
                                         nul + QStringLiteral("0000000001")}))
                    .asBool());
    EXPECT_EQ(tdb->invoiceKeys("IDSTATUS = 'P' AND CDFILIAL = '0001'"), pending.mid(1));
    expectBalancesMatchPostings();
}

// The keys of a request travel to the database as one bound set (a JSON
// array on SQLite, an array literal on PostgreSQL): quotes, backslashes and
// control characters in them are data, never the set's syntax, so the real
// key among them is cancelled and the others are simply not found.
TEST_F(CancellationTest, KeysThatLookLikeTheSetsSyntaxAreOnlyData)
{
    const QStringList pending = tdb->invoiceKeys("IDSTATUS = 'P' AND CDFILIAL = '0001'");
    ASSERT_GE(pending.size(), 2);
    const auto balances = tdb->balances();
    const QStringList hostile = {
        QStringLiteral("0001\"],[\""), QStringLiteral("0001\\"),  QStringLiteral("0001\"}"),
        QStringLiteral("0001a\tb\nc"), QStringLiteral("00011,2"),
    };
    EXPECT_TRUE(obj->call("s", api::setDeletaNF, "0001",
                          invoicePacket(QStringList{pending.first()} + hostile))
                    .asBool());
    EXPECT_EQ(tdb->invoiceKeys("IDSTATUS = 'P' AND CDFILIAL = '0001'"), pending.mid(1));
    EXPECT_NE(tdb->balances(), balances);
    expectBalancesMatchPostings();
}
