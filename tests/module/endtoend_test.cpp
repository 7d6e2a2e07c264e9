// The whole chain, for real and through the screen's own handlers: the module
// opened by its entry points, a krt-appserver process on a demo database, the
// refresh and cancel commands clicked, the questions answered by the scripted
// host services, and the database read back to see what really changed.
#include "../appserver/serverprocess.h"
#include "../core/scriptedtest.h"
#include "../support/databaseprobe.h"
#include "../support/logcapture.h"

#include "filter/filtro.h"
#include "framework/core/busyindicator.h"
#include "framework/core/usercontext.h"
#include "framework/data/clientdataset.h"
#include "framework/db/dtmdbgeral.h"
#include "framework/net/netconnection.h"
#include "framework/widgets/maskedit.h"
#include "framework/widgets/pagecontrol.h"
#include "module/pkg_krt52600.h"
#include "screen/frmcancelaconsoli.h"
#include "shared/moduleglobals.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDate>
#include <QEvent>
#include <QMap>
#include <QPointer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {

// The balances of branch 0001 plus what the given stock postings took out.
QMap<QString, double> expectedBalances(const DatabaseProbe& probe, const QString& postingFilter)
{
    QMap<QString, double> expected =
        probe.perKey("SELECT CDPRODUTO, QTSALDO FROM SALDOESTQ WHERE CDFILIAL = '0001'");
    const QMap<QString, double> out = probe.perKey(
        "SELECT I.CDPRODUTO, CASE L.IDTIPOLANC WHEN 'S' THEN I.QTLANCTOEST ELSE -I.QTLANCTOEST END"
        " FROM ITLANCTOEST I JOIN LANCTOESTQ L"
        " ON L.CDFILIAL = I.CDFILIAL AND L.NRLANCESTQ = I.NRLANCESTQ WHERE " +
        postingFilter);
    for (auto it = out.cbegin(); it != out.cend(); ++it)
        expected[it.key()] += it.value();
    return expected;
}

void expectBalances(const DatabaseProbe& probe, const QMap<QString, double>& expected)
{
    const QMap<QString, double> now =
        probe.perKey("SELECT CDPRODUTO, QTSALDO FROM SALDOESTQ WHERE CDFILIAL = '0001'");
    ASSERT_EQ(now.keys(), expected.keys());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        EXPECT_NEAR(now.value(it.key()), it.value(), 1e-6) << it.key().toStdString();
}

class EndToEnd : public ScriptedTest
{
protected:
    void SetUp() override
    {
        ScriptedTest::SetUp();
        file = dir.filePath(QStringLiteral("demo.db"));
        const QString made = createDemoDatabase(file, QStringLiteral("2026-03-06"));
        ASSERT_TRUE(made.isEmpty()) << made.toStdString();
        ASSERT_TRUE(server.start(QStringLiteral("sqlite:") + file)) << server.error.toStdString();

        // The host's lookups read the same file.
        database.openSqlite(file);
        dtmDBGeral = &database;

        krt::UserContext context;
        context.branch = QStringLiteral("0001");
        context.webUrl = QStringLiteral("127.0.0.1");
        context.webPort = server.port();
        // The demo database's documented user.
        context.serverUser = QStringLiteral("demo");
        context.serverPassword = QStringLiteral("demo");
        krt::setUserContext(context);

        // The module as the host opens it.
        Initialize();
        IniProc();
        screen = frmCancelaConsoli;
        ASSERT_TRUE(screen);
        ASSERT_TRUE(QTest::qWaitForWindowActive(screen));
        ASSERT_TRUE(screen->netCancConsoli->Connected())
            << screen->netCancConsoli->LastError().toStdString();

        // The branch, store and period of the demo's consolidated sales.
        screen->medFilial->setText(QStringLiteral("0001"));
        screen->medCdLoja->setText(QStringLiteral("LJ01"));
        Filtro.dtInicial = DateToDayCount(QDate(2026, 3, 2));
        Filtro.dtFinal = DateToDayCount(QDate(2026, 3, 6));
        Filtro.boTodosCaixas = true;
        Filtro.boTodasVendas = true;
        host.clearRecords();
    }

    void TearDown() override
    {
        if (screen) {
            screen->Close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        Finalize();
        dtmDBGeral = nullptr;
        database.Close();
    }

    QTemporaryDir dir;
    QString file;
    ServerProcess server;
    TdtmDBGeral database;
    QPointer<TfrmCancelaConsoli> screen;
};

TEST_F(EndToEnd, RefreshListsTheInvoicesCancelRemovesThePendingOnesAndRestoresTheStock)
{
    screen->sbtVerificar->click();
    ASSERT_TRUE(host.errors().isEmpty()) << host.errors().join('\n').toStdString();
    TClientDataSet* list = screen->qryPrincipal;
    ASSERT_GT(list->RecordCount(), 1);
    EXPECT_FALSE(screen->cdsItemVenda->IsEmpty()) << "the first invoice's sales";
    EXPECT_FALSE(screen->cdsItemProduto->IsEmpty());
    EXPECT_FALSE(screen->cdsItLanctoEst->IsEmpty());
    const QString firstSaleInvoice = screen->cdsItemVenda->FieldByName("NRLANCTONF")->AsString();
    EXPECT_EQ(firstSaleInvoice, list->FieldByName("NRLANCTONF")->AsString());

    // Moving through the grid loads the next invoice's details.
    list->Next();
    EXPECT_EQ(screen->cdsItemVenda->FieldByName("NRLANCTONF")->AsString(),
              list->FieldByName("NRLANCTONF")->AsString());

    QStringList pending, approved;
    for (int row = 0; row < list->RecordCount(); ++row) {
        list->MoveTo(row);
        const QString key = list->FieldByName("NRLANCTONF")->AsString();
        (list->FieldByName("IDSTATUS")->AsString() == "A" ? approved : pending) << key;
    }
    ASSERT_FALSE(pending.isEmpty());
    ASSERT_FALSE(approved.isEmpty()) << "the demo approves about a fifth of the invoices";

    DatabaseProbe probe(file);
    const QString listed = "'" + pending.join("','") + "'";
    const QMap<QString, double> expected =
        expectedBalances(probe, "L.CDFILIALNF = '0001' AND L.NRLANCTONF IN (" + listed + ")");

    host.answerMessage(mrYes);
    screen->mnuCanCons->Click();
    ASSERT_TRUE(host.errors().isEmpty()) << host.errors().join('\n').toStdString();
    EXPECT_EQ(host.messages(mtInformation), (QStringList{"Cancelamento realizado com sucesso."}));

    EXPECT_EQ(probe.count("SELECT COUNT(*) FROM NOTAFISCAL WHERE CDFILIALNF = '0001'"
                          " AND NRLANCTONF IN (" +
                          listed + ")"),
              0);
    EXPECT_EQ(probe.count("SELECT COUNT(*) FROM NOTAFISCAL WHERE CDFILIALNF = '0001'"
                          " AND NRLANCTONF IN ('" +
                          approved.join("','") + "')"),
              approved.size())
        << "approved invoices stay";
    EXPECT_EQ(probe.count("SELECT COUNT(*) FROM LANCTOESTQ WHERE CDFILIALNF = '0001'"
                          " AND NRLANCTONF IN (" +
                          listed + ")"),
              0);
    EXPECT_EQ(probe.count("SELECT COUNT(*) FROM VENDA WHERE CDFILIALNF = '0001'"
                          " AND NRLANCTONF IN (" +
                          listed + ")"),
              0)
        << "the sales are waiting again";
    expectBalances(probe, expected);

    // The same list again: nothing left to cancel.
    host.clearRecords();
    host.answerMessage(mrYes);
    screen->mnuCanCons->Click();
    EXPECT_EQ(host.messages(mtInformation),
              (QStringList{"Não há notas fiscais a serem canceladas."}));
}

TEST_F(EndToEnd, WithdrawalModeListsAndReversesTheWithdrawalsOfTheBranch)
{
    screen->ckbCancRetirada->setChecked(true);
    screen->pgcRetLanctoEstq->SetActivePage(screen->tshRetLanctoEstq);
    screen->sbtVerificar->click();
    ASSERT_TRUE(host.errors().isEmpty()) << host.errors().join('\n').toStdString();
    ASSERT_FALSE(screen->cdsRetLanctoEstq->IsEmpty());
    EXPECT_EQ(screen->cdsLanctoEstoq->RecordCount(), screen->cdsRetLanctoEstq->RecordCount());
    EXPECT_FALSE(screen->cdsRetItLanctoEst->IsEmpty()) << "the first withdrawal's items";

    DatabaseProbe probe(file);
    const QString inPeriod = "DTRETIRADA BETWEEN '2026-03-02' AND '2026-03-06'";
    const int before = probe.count("SELECT COUNT(*) FROM RETIRADAEST WHERE CDFILIAL = '0001'");
    ASSERT_GT(before, 0);
    const QMap<QString, double> expected = expectedBalances(
        probe, "L.CDFILIAL = '0001' AND L.NRRETEST IN (SELECT NRRETEST FROM RETIRADAEST WHERE "
               "CDFILIAL = '0001' AND " +
                   inPeriod + ")");

    host.answerMessage(mrYes);
    screen->mnuCanCons->Click();
    ASSERT_TRUE(host.errors().isEmpty()) << host.errors().join('\n').toStdString();
    EXPECT_EQ(host.messages(mtInformation), (QStringList{"Cancelamento realizado com sucesso."}));
    EXPECT_EQ(
        probe.count("SELECT COUNT(*) FROM RETIRADAEST WHERE CDFILIAL = '0001' AND " + inPeriod), 0);
    EXPECT_EQ(probe.count("SELECT COUNT(*) FROM VENDA WHERE CDFILIAL = '0001' AND NRRETEST IS NOT "
                          "NULL AND DTVENDA BETWEEN '2026-03-02' AND '2026-03-06'"),
              0);
    expectBalances(probe, expected);

    host.clearRecords();
    host.answerMessage(mrYes);
    screen->mnuCanCons->Click();
    EXPECT_EQ(host.messages(mtInformation), (QStringList{"Não há retiradas a serem canceladas."}));
}

TEST_F(EndToEnd, AServerStoppedMidSessionTellsTheClerkWhatToDoAndTheLogWhatHappened)
{
    screen->sbtVerificar->click();
    ASSERT_TRUE(host.errors().isEmpty()) << host.errors().join('\n').toStdString();
    ASSERT_GT(screen->qryPrincipal->RecordCount(), 0);

    ASSERT_TRUE(server.stopWith(SIGTERM)) << server.log().toStdString();
    host.clearRecords();
    LogCapture log;
    screen->sbtVerificar->click();

    // One message, in the clerk's words: no method, no address, what to do.
    EXPECT_EQ(host.errors(),
              QStringList{QStringLiteral("O servidor de aplicação está inacessível. Tente "
                                         "novamente em instantes; se o problema persistir, chame "
                                         "o suporte técnico.")});
    EXPECT_EQ(krt::busyDepth(), 0);
    // The host's log has what support needs.
    const QString logged = log.text();
    EXPECT_TRUE(logged.contains(QStringLiteral("getPrincipal")) &&
                logged.contains(QStringLiteral("127.0.0.1:%1").arg(server.port())))
        << logged.toStdString();
}

} // namespace
