// Users and what they may touch: the user table (passwords, branches, the
// fixed-branch and active flags), the branch check of every method, the
// documents of another branch inside a cancellation packet, and an audit
// trail that names the user and stays small whatever the packet holds.
#include "appserver/auth/users.h"
#include "appserver/db/sql.h"
#include "cancellationtest.h"
#include "framework/wire/errors.h"

#include <QSet>

using krt::Error;
using krt::FieldType;
using krt::Packet;
using krt::PacketWriter;
using krt::Variant;
using krt::app::Caller;
using krt::app::UserRecord;
using krt::app::UserStore;

namespace {

Caller callerFor(const UserRecord& user)
{
    Caller c;
    c.user = user.name;
    c.requester = user.name + QStringLiteral(" (127.0.0.1:40000 #1)");
    c.allBranches = user.allBranches;
    c.branches = user.branches;
    return c;
}

// A cancellation packet of invoice keys (branch + number), as the screen sends.
Packet invoicePacketOf(const QStringList& keys)
{
    PacketWriter w({{"CDFILIALNF", FieldType::String, 4}, {"NRLANCTONF", FieldType::String, 10}});
    for (const QString& k : keys) {
        w.addText(k.left(4));
        w.addText(k.mid(4));
    }
    return w.finish();
}

// Expects `statement` to be refused for access, naming `part`.
#define EXPECT_ACCESS_DENIED(statement, part)                                                      \
    do {                                                                                           \
        try {                                                                                      \
            statement;                                                                             \
            ADD_FAILURE() << "no refusal from " #statement;                                        \
        } catch (const Error& e) {                                                                 \
            EXPECT_EQ(e.code(), krt::ErrorCode::AccessDenied) << e.what();                         \
            EXPECT_TRUE(e.text().contains(part)) << e.text().toStdString();                        \
        }                                                                                          \
    } while (false)

class AccessTest : public CancellationTest
{
protected:
    void SetUp() override
    {
        CancellationTest::SetUp();
        if (IsSkipped())
            return;
        UserStore users(tdb->db());
        users.add("loja1", "senha-loja-1", false, {"0001"}, true);
        users.add("gerente", "senha-gerente", true, {}, false);
        loja1 = callerFor(*users.find("loja1"));
        gerente = callerFor(*users.find("gerente"));
    }

    // The audit rows refused for `user`, with their reasons.
    QStringList refusalsOf(const QString& user)
    {
        krt::app::Query q(tdb->db().connection(),
                          "SELECT NMOPERACAO, DSMOTIVO FROM AUDITCANCEL WHERE IDRESULTADO = "
                          "'RECUSADO' AND NMUSUARIO = ? ORDER BY DTHRAUDIT");
        q.bindText(user).exec();
        QStringList out;
        while (q.next())
            out << q.text(0) + ": " + q.text(1);
        return out;
    }

    Caller loja1;
    Caller gerente;
};

} // namespace

TEST_F(AccessTest, TheUserTableKeepsHashesBranchesAndFlags)
{
    UserStore users(tdb->db());
    UserRecord user;
    EXPECT_EQ(users.verify("loja1", "senha-loja-1", &user), UserStore::Verdict::Ok);
    EXPECT_EQ(user.branches, QStringList{"0001"});
    EXPECT_TRUE(user.fixedBranch);
    EXPECT_EQ(users.verify("loja1", "Senha-loja-1", nullptr), UserStore::Verdict::WrongPassword);
    EXPECT_EQ(users.verify("ninguém", "senha-loja-1", nullptr), UserStore::Verdict::Unknown);
    EXPECT_EQ(users.verify("loja1'--", "senha-loja-1", nullptr), UserStore::Verdict::Unknown);

    // Only an Argon2id string is stored, never the password.
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM KRTUSUARIO WHERE DSSENHA LIKE '$argon2id$%'"), 3);
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM KRTUSUARIO WHERE DSSENHA LIKE '%senha-loja-1%'"), 0);

    users.setActive("loja1", false);
    EXPECT_EQ(users.verify("loja1", "senha-loja-1", &user), UserStore::Verdict::Disabled);
    users.setActive("loja1", true);
    users.setPassword("loja1", "nova-senha");
    EXPECT_EQ(users.verify("loja1", "senha-loja-1", nullptr), UserStore::Verdict::WrongPassword);
    EXPECT_EQ(users.verify("loja1", "nova-senha", nullptr), UserStore::Verdict::Ok);

    EXPECT_APP_ERROR(users.add("loja1", "xxxxxxxxxx", true, {}, false), "já existe");
    EXPECT_APP_ERROR(users.add("a b", "xxxxxxxxxx", true, {}, false), "inválido");
    // New passwords have at least 10 characters (code points, not bytes).
    EXPECT_APP_ERROR(users.add("curta", "123456789", true, {}, false), "pelo menos 10");
    EXPECT_APP_ERROR(users.setPassword("loja1", "çççççççç"), "pelo menos 10");
    EXPECT_EQ(users.verify("loja1", "nova-senha", nullptr), UserStore::Verdict::Ok);
    EXPECT_APP_ERROR(users.add("fixo", "xxxxxxxxxx", false, {"0001", "0002"}, true),
                     "exatamente uma");
    EXPECT_APP_ERROR(users.add("longe", "xxxxxxxxxx", false, {"9999"}, false), "9999");
    EXPECT_APP_ERROR(users.setActive("ninguém", false), "não cadastrado");

    // Branches change in place: added, removed, all; what would leave a user
    // without a branch, or a fixed-branch user with other than one, is refused
    // and changes nothing.
    EXPECT_EQ(users.changeBranches("loja1", {"0002"}, {"0001"}, false).branches,
              QStringList{"0002"});
    EXPECT_APP_ERROR(users.changeBranches("loja1", {"0001"}, {}, false), "exatamente uma");
    EXPECT_APP_ERROR(users.changeBranches("loja1", {}, {}, true), "exatamente uma");
    EXPECT_APP_ERROR(users.changeBranches("loja1", {}, {"0002"}, false), "sem filiais");
    EXPECT_APP_ERROR(users.changeBranches("loja1", {}, {"0001"}, false), "não tem a filial 0001");
    EXPECT_APP_ERROR(users.changeBranches("gerente", {}, {"0001"}, false), "todas as filiais");
    EXPECT_APP_ERROR(users.changeBranches("gerente", {"9999"}, {}, false), "9999");
    EXPECT_EQ(users.find("loja1")->branches, QStringList{"0002"});
    EXPECT_TRUE(users.find("gerente")->allBranches);
    const UserRecord narrowed = users.changeBranches("gerente", {"0002", "0001"}, {}, false);
    EXPECT_FALSE(narrowed.allBranches);
    EXPECT_EQ(narrowed.branches, (QStringList{"0001", "0002"}));
    EXPECT_EQ(users.changeBranches("gerente", {}, {"0002"}, false).branches, QStringList{"0001"});
    const UserRecord widened = users.changeBranches("gerente", {}, {}, true);
    EXPECT_TRUE(widened.allBranches);
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM KRTUSUARIOFILIAL WHERE NMUSUARIO = 'gerente'"), 0);

    QStringList names;
    for (const UserRecord& u : users.list())
        names << u.name;
    EXPECT_EQ(names, (QStringList{"demo", "gerente", "loja1"}));
}

TEST_F(AccessTest, ReadingMethodsRefuseABranchOutsideTheUsersAndAuditIt)
{
    EXPECT_GT(obj->dispatch("getParamVend", {Variant("0001")}, loja1).asPacket().rowCount(), 0);
    EXPECT_ACCESS_DENIED(obj->dispatch("getParamVend", {Variant("0002")}, loja1), "0002");
    EXPECT_ACCESS_DENIED(obj->dispatch("getPrincipal",
                                       {"0002", "LJ01", "", "T", "", "T", first(), last(), "S", ""},
                                       loja1),
                         "loja1");
    // Naming no branch is no way around the check.
    EXPECT_ACCESS_DENIED(obj->dispatch("getParamVend", {Variant("")}, loja1), "não informou");
    EXPECT_ACCESS_DENIED(obj->dispatch("getInforPad", {Variant::null()}, loja1), "não informou");
    EXPECT_GT(obj->dispatch("getParamVend", {Variant("0002")}, gerente).asPacket().rowCount(), 0);
    const QStringList refusals = refusalsOf("loja1");
    ASSERT_EQ(refusals.size(), 4) << refusals.join('\n').toStdString();
    EXPECT_TRUE(
        refusals[0].startsWith("getParamVend: o usuário loja1 não tem acesso à filial 0002"))
        << refusals[0].toStdString();
}

// An invoice whose own branch (CDFILIALNF) is 0002 but whose sales' branch
// (CDFILIAL) is 0001 is listed for 0001; undoing it would move 0002's stock.
TEST_F(AccessTest, AnInvoiceOfAnotherBranchListedForThisOneIsNotCancelled)
{
    const QString mixed = tdb->invoiceKeys("IDSTATUS = 'P' AND CDFILIALNF = '0002'").first();
    tdb->exec(QStringLiteral("UPDATE NOTAFISCAL SET CDFILIAL = '0001' WHERE CDFILIALNF = '0002' "
                             "AND NRLANCTONF = '%1'")
                  .arg(mixed.mid(4)));
    const Packet list = principal("0001", "LJ01");
    ASSERT_TRUE(keysOf(list).contains(mixed) || keysOf(principal("0001", "LJ02")).contains(mixed));
    const QMap<QString, double> before = tdb->balances();

    // A user of every branch: the 0001 invoices go, the mixed one stays.
    obj->call(gerente, api::setDeletaNF, "0001", invoicePacketOf({mixed}));
    EXPECT_TRUE(tdb->invoiceKeys().contains(mixed));
    const QMap<QString, double> after = tdb->balances();
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (it.key().startsWith("0002/")) {
            EXPECT_EQ(after.value(it.key()), it.value()) << it.key().toStdString();
        }
    }
    krt::app::Query audit(tdb->db().connection(),
                          "SELECT DSIGNORADOS, NMUSUARIO, DSSOLICITANTE FROM AUDITCANCEL");
    audit.exec();
    ASSERT_TRUE(audit.next());
    EXPECT_TRUE(audit.text(0).contains(mixed + ": de outra filial")) << audit.text(0).toStdString();
    EXPECT_EQ(audit.text(1), "gerente");
    EXPECT_TRUE(audit.text(2).startsWith("gerente (127.0.0.1:40000"));
}

// An invoice of 0001 with a sale of 0002 linked to it: undoing it would free
// a sale of another branch. A user of 0001 alone is refused; a user of every
// branch gets it skipped.
TEST_F(AccessTest, AnInvoiceWhoseSalesReachAnotherBranchIsNeitherShownNorUndone)
{
    const QString invoice = tdb->invoiceKeys("IDSTATUS = 'P' AND CDFILIALNF = '0001'").first();
    tdb->exec(
        QStringLiteral("UPDATE VENDA SET CDFILIALNF = '0001', NRLANCTONF = '%1' WHERE "
                       "CDFILIAL = '0002' AND NRSEQVENDA = (SELECT MIN(NRSEQVENDA) FROM VENDA "
                       "WHERE CDFILIAL = '0002')")
            .arg(invoice.mid(4)));
    // Its details show each user the sales of the branches the user may see.
    auto salesBranches = [&](const Caller& who) {
        const Packet sales =
            obj->call(who, api::getItLanctoEst, "0001", invoice.mid(4)).at(0).asPacket();
        QStringList branches;
        for (int r = 0; r < sales.rowCount(); ++r)
            branches << sales.textQ(r, 0);
        branches.removeDuplicates();
        branches.sort();
        return branches;
    };
    EXPECT_EQ(salesBranches(gerente), (QStringList{"0001", "0002"}));
    EXPECT_EQ(salesBranches(loja1), QStringList{"0001"});
    const QStringList all = tdb->invoiceKeys();
    EXPECT_ACCESS_DENIED(obj->call(loja1, api::setDeletaNF, "0001", invoicePacketOf({invoice})),
                         "0002");
    EXPECT_FALSE(obj->call(gerente, api::setDeletaNF, "0001", invoicePacketOf({invoice})).asBool());
    EXPECT_EQ(tdb->invoiceKeys(), all);
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM AUDITCANCEL WHERE DSIGNORADOS LIKE '%envolve "
                         "outra filial%'"),
              1);
}

TEST_F(AccessTest, AFixedBranchUsersCancellationWithAnotherBranchsInvoicesChangesNothing)
{
    const QStringList own = tdb->invoiceKeys("IDSTATUS = 'P' AND CDFILIALNF = '0001'");
    const QStringList other = tdb->invoiceKeys("IDSTATUS = 'P' AND CDFILIALNF = '0002'");
    const QStringList all = tdb->invoiceKeys();
    const QMap<QString, double> balances = tdb->balances();
    EXPECT_ACCESS_DENIED(
        obj->call(loja1, api::setDeletaNF, "0001", invoicePacketOf(own + other.mid(0, 1))), "0002");
    EXPECT_EQ(tdb->invoiceKeys(), all);
    EXPECT_EQ(tdb->balances(), balances);
    // Asking about branch 0002 outright is refused the same way.
    EXPECT_ACCESS_DENIED(obj->call(loja1, api::setDeletaNF, "0002", invoicePacketOf(other)),
                         "0002");
    EXPECT_EQ(tdb->invoiceKeys(), all);
    const QStringList refusals = refusalsOf("loja1");
    ASSERT_EQ(refusals.size(), 2);
    EXPECT_TRUE(refusals[0].startsWith("setDeletaNF: o usuário loja1 não tem acesso à filial 0002"))
        << refusals[0].toStdString();
    // Its own branch's invoices it may cancel.
    EXPECT_TRUE(obj->call(loja1, api::setDeletaNF, "0001", invoicePacketOf(own)).asBool());
}

TEST_F(AccessTest, WithdrawalsOfTwoBranchesForAOneBranchUserCancelNothing)
{
    const Packet mine = obj->call(api::getRetLanctoEstq, "0001", "", "T", "", "S", first(), last())
                            .at(1)
                            .asPacket();
    const Packet theirs =
        obj->call(api::getRetLanctoEstq, "0002", "", "T", "", "S", first(), last())
            .at(1)
            .asPacket();
    ASSERT_GT(mine.rowCount(), 0);
    ASSERT_GT(theirs.rowCount(), 0);
    PacketWriter both(mine.fields());
    for (const Packet* p : {&mine, &theirs})
        for (int r = 0; r < p->rowCount(); ++r)
            for (int c = 0; c < p->fieldCount(); ++c) {
                if (p->isNull(r, c)) {
                    both.addNull();
                    continue;
                }
                switch (p->fields()[c].type) {
                case FieldType::String:
                    both.addText(p->text(r, c));
                    break;
                case FieldType::DateTime:
                    both.addDateTime(p->dateTime(r, c));
                    break;
                case FieldType::Float:
                    both.addNumber(p->number(r, c));
                    break;
                case FieldType::Boolean:
                    both.addBoolean(p->boolean(r, c));
                    break;
                case FieldType::Integer:
                    both.addInteger(p->integer(r, c));
                    break;
                }
            }
    const qint64 withdrawals = tdb->count("SELECT COUNT(*) FROM RETIRADAEST");
    const QMap<QString, double> balances = tdb->balances();
    EXPECT_ACCESS_DENIED(obj->call(loja1, api::getDeletaRetiEst, both.finish()), "0002");
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM RETIRADAEST"), withdrawals);
    EXPECT_EQ(tdb->balances(), balances);
    EXPECT_EQ(refusalsOf("loja1").size(), 1);
    EXPECT_TRUE(obj->call(loja1, api::getDeletaRetiEst, mine).asBool());
}

// 60,000 keys that cancel nothing: the audit counts them by reason and lists
// a few, instead of writing every one of them.
TEST_F(AccessTest, TheAuditOfSkippedKeysStaysSmall)
{
    PacketWriter w({{"CDFILIALNF", FieldType::String, 20},
                    {"NRLANCTONF", FieldType::String, 20},
                    {"IDSTATUS", FieldType::String, 1}});
    for (int i = 0; i < 50000; ++i) { // too long to be a key
        w.addText(QStringLiteral("0001"));
        w.addText(QStringLiteral("%1").arg(i, 15, 10, QLatin1Char('0')));
        w.addText(QStringLiteral("P"));
    }
    for (int i = 0; i < 10000; ++i) { // well formed, but no such invoice
        w.addText(QStringLiteral("0001"));
        w.addText(QStringLiteral("X%1").arg(i, 9, 10, QLatin1Char('0')));
        w.addText(QStringLiteral("P"));
    }
    EXPECT_FALSE(obj->call(gerente, api::setDeletaNF, "0001", w.finish()).asBool());
    krt::app::Query audit(tdb->db().connection(),
                          "SELECT QTIGNORADOS, DSIGNORADOS, DSCANCELADOS FROM AUDITCANCEL");
    audit.exec();
    ASSERT_TRUE(audit.next());
    EXPECT_EQ(audit.integer(0), 60000);
    const QString skipped = audit.text(1);
    EXPECT_LT(skipped.size(), 2000) << skipped.size();
    EXPECT_TRUE(skipped.contains("chave inválida: 50000")) << skipped.toStdString();
    EXPECT_TRUE(skipped.contains("não encontrada: 10000")) << skipped.toStdString();
    EXPECT_TRUE(audit.text(2).isEmpty());
}

TEST_F(AccessTest, ACallerRefusedOverAndOverWritesAFewRowsAndOneSum)
{
    for (int i = 0; i < 500; ++i)
        EXPECT_ACCESS_DENIED(obj->dispatch("getParamVend", {Variant("0002")}, loja1), "0002");
    // Another caller's refusals are its own.
    Caller other = loja1;
    other.user = QStringLiteral("outra");
    EXPECT_ACCESS_DENIED(obj->dispatch("getParamVend", {Variant("0002")}, other), "0002");
    EXPECT_EQ(refusalsOf("outra").size(), 1);
    EXPECT_EQ(refusalsOf("loja1").size(), krt::app::RefusalAudit::kRowsPerWindow);
    obj->flushRefusalAudit();
    const QStringList rows = refusalsOf("loja1");
    ASSERT_EQ(rows.size(), krt::app::RefusalAudit::kRowsPerWindow + 1);
    EXPECT_TRUE(rows.last().contains(QStringLiteral("mais 480 recusas de loja1")))
        << rows.last().toStdString();
    EXPECT_TRUE(rows.last().contains(QStringLiteral("a última: o usuário loja1 não tem acesso")))
        << rows.last().toStdString();
}
