// The whole chain once, for real: the screen's connection takes the server's
// address from the user context, reaches a krt-appserver process over HTTP,
// and the packets it answers load into the screen's own client data sets and
// go back to the server for a cancellation.
#include "../appserver/serverprocess.h"

#include "framework/core/checkresult.h"
#include "framework/core/scriptedhostservices.h"
#include "framework/core/usercontext.h"
#include "framework/data/clientdataset.h"
#include "framework/forms/formtypes.h"
#include "framework/net/netconnection.h"
#include "screen/frmcancelaconsoli.h"

#include <QCoreApplication>
#include <QDate>
#include <QEvent>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using krt::Variant;

Variant day(int d)
{
    return Variant(QDateTime(QDate(2026, 3, d), QTime(0, 0)));
}

Variant load(TNetConnection* net, const QString& method, const QList<Variant>& args)
{
    return CheckResultServ(net->AppServer().call(method, args), true, 0);
}

} // namespace

TEST(EndToEnd, ScreenConnectsLoadsServerPacketsAndSendsTheListBackToCancel)
{
    QTemporaryDir dir;
    const QString database = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("demo.db"));
    QProcess admin;
    admin.start(qEnvironmentVariable("KRT_BIN_DIR") + QStringLiteral("/krt-admin"),
                {QStringLiteral("create-demo"), QStringLiteral("--database"), database,
                 QStringLiteral("--to"), QStringLiteral("2026-03-06")});
    ASSERT_TRUE(admin.waitForFinished(60000));
    ASSERT_EQ(admin.exitCode(), 0) << admin.readAllStandardError().toStdString();

    ServerProcess server;
    ASSERT_TRUE(server.start(database)) << server.error.toStdString();

    krt::ScriptedHostServices services;
    services.install();
    krt::UserContext context;
    context.branch = QStringLiteral("0001");
    context.webUrl = QStringLiteral("127.0.0.1");
    context.webPort = server.port();
    krt::setUserContext(context);

    auto* screen = krt::createForm<TfrmCancelaConsoli>();
    TNetConnection* net = screen->netCancConsoli;
    ASSERT_TRUE(net->Connected()) << net->LastError().toStdString();
    EXPECT_TRUE(services.errors().isEmpty());

    screen->cdsParamVend->setData(load(net, "getParamVend", {Variant("0001")}).asPacket());
    EXPECT_EQ(screen->cdsParamVend->FieldByName("CDLOJA")->AsString(), "LJ01");

    // The invoice list as the screen asks for it, then the details of its first invoice.
    screen->qryPrincipal->setData(
        load(net, "getPrincipal",
             {Variant("0001"), Variant("LJ01"), Variant(""), Variant("T"), Variant(""),
              Variant("T"), day(2), day(6), Variant("S"), Variant("")})
            .asPacket());
    ASSERT_FALSE(screen->qryPrincipal->IsEmpty());
    const Variant details =
        load(net, "getItLanctoEst",
             {Variant(screen->qryPrincipal->FieldByName("CDFILIALNF")->AsString()),
              Variant(screen->qryPrincipal->FieldByName("NRLANCTONF")->AsString())});
    screen->cdsItLanctoEst->setData(details.at(2).asPacket());
    screen->cdsItemProduto->setData(details.at(1).asPacket());
    screen->cdsItemVenda->setData(details.at(0).asPacket());
    EXPECT_FALSE(screen->cdsItemVenda->IsEmpty());
    EXPECT_FALSE(screen->cdsItemProduto->IsEmpty());

    // The withdrawal lists arrive as two packets of the same rows.
    const Variant withdrawals = load(
        net, "getRetLanctoEstq",
        {Variant("0001"), Variant(""), Variant("T"), Variant(""), Variant("S"), day(2), day(6)});
    screen->cdsRetLanctoEstq->setData(withdrawals.at(0).asPacket());
    screen->cdsLanctoEstoq->setData(withdrawals.at(1).asPacket());
    EXPECT_EQ(screen->cdsRetLanctoEstq->RecordCount(), screen->cdsLanctoEstoq->RecordCount());

    // The whole loaded list goes back; the approved invoices stay, the others go.
    EXPECT_TRUE(load(net, "getPeriodoCTBOK", {Variant("0001"), day(2), day(6)}).asBool());
    EXPECT_TRUE(load(net, "setDeletaNF", {Variant("0001"), Variant(screen->qryPrincipal->Data())})
                    .asBool());
    EXPECT_FALSE(
        load(net, "setDeletaNF", {Variant("0001"), Variant(screen->qryPrincipal->Data())}).asBool())
        << "a second identical cancellation finds nothing left to cancel";

    QPointer<TfrmCancelaConsoli> closed(screen);
    screen->Close();
    EXPECT_FALSE(net->Connected());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull()) << "a closed screen is released";
}
