#include "filter/frmfiltrocancelaconsoli.h"
#include "framework/data/clientdataset.h"
#include "framework/data/datasource.h"
#include "framework/data/scriptedhostservices.h"
#include "framework/db/adoibquery.h"
#include "framework/net/netconnection.h"
#include "framework/widgets/btnpesquisa.h"
#include "framework/widgets/checkwidgets.h"
#include "framework/widgets/maskedit.h"
#include "framework/wire/packet.h"
#include "screen/frmcancelaconsoli.h"
#include "shared/moduleglobals.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSet>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The screen with its two command handlers watched.
class WatchedScreen : public TfrmCancelaConsoli
{
public:
    QList<QObject*> cancelSenders;
    QList<QObject*> filterSenders;
    void sbtCancelaConsClick(QObject* Sender) override { cancelSenders << Sender; }
    void sbtFiltroClick(QObject* Sender) override { filterSenders << Sender; }
    // Layout tests load rows without a server behind the screen.
    void qryPrincipalAfterScroll(TDataSet*) override {}
};

class Screen : public ::testing::Test
{
protected:
    void SetUp() override
    {
        services.install();
        // The first activation's work is tested with a server behind the screen.
        boPrimVez = false;
    }
    krt::ScriptedHostServices services;
    WatchedScreen screen;
};

QStringList columnFields(const TDBGrid* grid)
{
    QStringList fields;
    for (const krt::GridColumn& c : grid->Columns())
        fields << c.fieldName;
    return fields;
}

TEST_F(Screen, BranchEditTakesFourLettersOrDigitsInUpperCaseStoreEditTenOfAnyCase)
{
    QTest::keyClicks(screen.medFilial, "a1b2c");
    EXPECT_EQ(screen.medFilial->text(), "A1B2");
    EXPECT_EQ(screen.medFilial->Text(), "A1B2");
    screen.medFilial->clear();
    QTest::keyClicks(screen.medFilial, "x-9");
    EXPECT_EQ(screen.medFilial->Text(), "X9") << "only letters and digits";

    QTest::keyClicks(screen.medCdLoja, "aBc-DeF 1234");
    EXPECT_EQ(screen.medCdLoja->Text(), "aBc-DeF 12");
}

TEST_F(Screen, MenuShortcutsRunTheButtonHandlersWithTheButtonAsSender)
{
    screen.show();
    screen.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&screen));
    // Outside the branch panel, whose entry withdraws the commands.
    screen.dbgPadrao->setFocus();

    ASSERT_FALSE(screen.sbtCancelaCons->isEnabled()) << "disabled at creation";
    QTest::keyClick(screen.dbgPadrao, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(screen.dbgPadrao, Qt::Key_L, Qt::ControlModifier);
    ASSERT_EQ(screen.cancelSenders.size(), 1) << "Ctrl+N runs even with the button disabled";
    EXPECT_EQ(screen.cancelSenders[0], screen.sbtCancelaCons);
    ASSERT_EQ(screen.filterSenders.size(), 1);
    EXPECT_EQ(screen.filterSenders[0], screen.sbtFiltro);

    screen.sbtFiltro->Click();
    screen.sbtCancelaCons->setEnabled(true);
    screen.sbtCancelaCons->Click();
    ASSERT_EQ(screen.filterSenders.size(), 2);
    EXPECT_EQ(screen.filterSenders[1], screen.sbtFiltro);
    ASSERT_EQ(screen.cancelSenders.size(), 2);
    EXPECT_EQ(screen.cancelSenders[1], screen.sbtCancelaCons);
}

TEST_F(Screen, ColumnsOfHiddenFieldsAreShownWithTheirValues)
{
    ASSERT_FALSE(screen.qryPrincipalIDSTATUS->Visible());
    ASSERT_FALSE(screen.cdsItemVendaNRSEQVENDA->Visible());
    ASSERT_FALSE(screen.cdsItemVendaTOTITEM->Visible());
    EXPECT_EQ(columnFields(screen.dbgPadrao),
              QStringList({"IDSTATUS", "DTENTRSAID", "NRLANCTONF", "DTEMISSAO", "NRNOTAFISC",
                           "NMRAZSOCCLIE"}));
    EXPECT_EQ(columnFields(screen.dbgItens),
              QStringList({"CDCAIXA", "DTENTRVENDA", "NRSEQVENDA", "NRCUPOMFIS", "CDPRODUTO",
                           "NMPRODUTO", "QTPRODVEND", "VRUNITVEND", "TOTITEM", "NMCONSUMIDOR"}));

    // One invoice whose only value is its status letter.
    const auto fields = screen.qryPrincipal->Data().fields();
    krt::PacketWriter w(fields);
    for (const krt::FieldDef& f : fields) {
        if (f.name == "IDSTATUS")
            w.addText(QStringLiteral("A"));
        else
            w.addNull();
    }
    screen.qryPrincipal->setData(w.finish());
    const QAbstractItemModel* model = screen.dbgPadrao->model();
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "Status");
    EXPECT_EQ(model->index(0, 0).data().toString(), "Aprovada") << "the status reads as a word";

    const QAbstractItemModel* sales = screen.dbgItens->model();
    EXPECT_EQ(sales->headerData(2, Qt::Horizontal).toString(), "Nr da Venda");
    EXPECT_EQ(sales->headerData(8, Qt::Horizontal).toString(), "Total");
}

TEST_F(Screen, StartsWithCommandsPanelsAndDataSetsInTheirInitialStates)
{
    EXPECT_EQ(screen.Caption(), "Cancelamento da Consolidação de Vendas");
    EXPECT_EQ(screen.ScreenCode(), "KRT52600");
    EXPECT_EQ(screen.HelpContext(), 13005400);
    EXPECT_FALSE(screen.sbtImprimir->isEnabled());
    EXPECT_TRUE(screen.sbtFiltro->isEnabled());
    for (QWidget* w :
         {static_cast<QWidget*>(screen.panRetLanctoEstq),
          static_cast<QWidget*>(screen.panProgresso), static_cast<QWidget*>(screen.Panel5),
          static_cast<QWidget*>(screen.imgAprovado), static_cast<QWidget*>(screen.imgNFNaoOk),
          static_cast<QWidget*>(screen.imgNFOk)})
        EXPECT_TRUE(w->isHidden()) << qPrintable(w->objectName());
    EXPECT_FALSE(screen.ckbCancRetirada->isChecked());
    for (TMenuItem* item : {screen.mnuIncluir, screen.mnuAlterar, screen.mnuExcluir,
                            screen.mnuCancelar, screen.mnuConfirmar})
        EXPECT_FALSE(item->isEnabled()) << qPrintable(item->objectName());
    EXPECT_TRUE(screen.mnuVenda->isChecked());
    const QList<TDataSet*> dataSets{
        screen.qryPrincipal,      screen.cdsItemVenda,     screen.cdsItemProduto,
        screen.cdsItLanctoEst,    screen.cdsRetLanctoEstq, screen.cdsLanctoEstoq,
        screen.cdsRetItLanctoEst, screen.cdsParamFilial,   screen.cdsParamVend,
        screen.cdsInforPad,       screen.qryFilial,        screen.qryLoja};
    for (TDataSet* d : dataSets)
        EXPECT_FALSE(d->Active()) << qPrintable(d->objectName());
    EXPECT_EQ(screen.netCancConsoli->ServerName(), "Krt52600.rdmCancelaConsoli");
    EXPECT_FALSE(screen.netCancConsoli->ThrowException());
    EXPECT_EQ(screen.dbtNome->DataSource(), screen.dtsPrincipal);
    EXPECT_EQ(screen.dbtNome->DataField(), "NAVEGA");
    EXPECT_EQ(screen.dbnPadrao->DataSource(), screen.dtsPrincipal);
}

TEST_F(Screen, MenusCarryTheAdditionsInPlace)
{
    QStringList operacao;
    for (int i = 0; i < screen.mnuOperacao->Count(); ++i)
        operacao << screen.mnuOperacao->Items(i)->objectName();
    const int n1 = int(operacao.indexOf("N1"));
    ASSERT_GE(n1, 0);
    EXPECT_GT(n1, operacao.indexOf("mnuSair"));
    EXPECT_EQ(operacao.indexOf("mnuListagem"), n1 + 1);
    EXPECT_EQ(operacao.mid(operacao.size() - 2), QStringList({"mnuItemVenda", "mnuVenda"}));

    QStringList manutencao;
    for (int i = 0; i < screen.mnuManutencao->Count(); ++i)
        manutencao << screen.mnuManutencao->Items(i)->objectName();
    EXPECT_EQ(manutencao.mid(manutencao.indexOf("mnuConfirmar") + 1),
              QStringList({"N2", "mnuCanCons", "mnuFiltrar"}));
    EXPECT_EQ(screen.mnuCanCons->shortcut(), QKeySequence("Ctrl+N"));
    EXPECT_EQ(screen.mnuFiltrar->shortcut(), QKeySequence("Ctrl+L"));
}

TEST_F(Screen, MessageTableHoldsItsDistinctKeysWithTheScreensTexts)
{
    // The 52 entries of the classic table plus the withdrawal answer "nothing
    // reversed" (Cancel_NOkRet) and the two status words (Aprovado, NAprovado).
    const int expected = 55;
    const QStringList items = screen.msgPadrao->Items();
    EXPECT_EQ(items.size(), expected);
    QSet<QString> keys;
    for (const QString& item : items) {
        ASSERT_TRUE(item.contains('|')) << qPrintable(item);
        keys.insert(item.section('|', 0, 0).toLower());
    }
    EXPECT_EQ(keys.size(), expected) << "keys are looked up ignoring case";
    EXPECT_EQ(items.first(), "Excl|Confirma exclusão?");
    EXPECT_EQ(items[1], "Conf|Confirma operação?");
    EXPECT_EQ(screen.msgPadrao->Msg("INFO_COD_FILIAL"), "Filial deve deve ser informada.");
    EXPECT_EQ(screen.msgPadrao->Msg("CONF_Cons"),
              "As notas fiscais já aprovadas não serão canceladas. Confirma cancelamento da "
              "consolidação ?");
    EXPECT_EQ(screen.msgPadrao->Msg("MOVIFORAPERIODOCTB"),
              "Operação Bloqueada! Existem lançamentos fora do período contábil permitido! Favor "
              "entrar em contato com a Contabilidade.");
    EXPECT_EQ(screen.msgPadrao->Msg("PERIODO_INV"),
              "Data final deve ser maior ou igual à data inicial.");
    EXPECT_EQ(screen.msgPadrao->Msg("Aprovado"), "Aprovada");
    EXPECT_EQ(screen.msgPadrao->Msg("NAprovado"), "Não aprovada");
}

TEST_F(Screen, WithdrawalPanelCoversTheInvoicePagesAndTheWindowResizes)
{
    screen.resize(689, 418);
    screen.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
    screen.panRetLanctoEstq->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(screen.panRetLanctoEstq->geometry(), screen.pgcPadrao->geometry());
    EXPECT_EQ(screen.panFiltro->height(), 52);

    const QRect before = screen.pgcPadrao->geometry();
    screen.resize(900, 600);
    QCoreApplication::processEvents();
    EXPECT_GT(screen.pgcPadrao->width(), before.width());
    EXPECT_GT(screen.pgcPadrao->height(), before.height());
    EXPECT_EQ(screen.panRetLanctoEstq->geometry(), screen.pgcPadrao->geometry());
    EXPECT_EQ(screen.panFiltro->height(), 52) << "the filter panel keeps its height";
    EXPECT_EQ(screen.pgcPadrao->PageCount(), 4);
    EXPECT_EQ(screen.pgcRetLanctoEstq->ActivePage(), screen.tshRetLanctoEstq);
}

// Shown over the invoice pages, the withdrawal panel must be the one on top:
// a click in the middle of the list area lands in its grid, not in the
// invoice grid underneath.
TEST_F(Screen, ShownWithdrawalPanelIsOnTopOfTheInvoicePages)
{
    screen.resize(689, 418);
    screen.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
    QWidget* client = screen.pgcPadrao->parentWidget();
    ASSERT_EQ(screen.panRetLanctoEstq->parentWidget(), client);
    const QPoint middle = screen.pgcPadrao->geometry().center();

    EXPECT_TRUE(screen.pgcPadrao->isAncestorOf(client->childAt(middle)));
    screen.panRetLanctoEstq->show();
    QCoreApplication::processEvents();
    QWidget* hit = client->childAt(middle);
    ASSERT_NE(hit, nullptr);
    EXPECT_TRUE(screen.panRetLanctoEstq->isAncestorOf(hit)) << qPrintable(hit->objectName());
    screen.panRetLanctoEstq->hide();
    EXPECT_TRUE(screen.pgcPadrao->isAncestorOf(client->childAt(middle)));
}

TEST_F(Screen, FilterDialogStartsWithAllChosenAndItsLookupButtonsDisabled)
{
    TfrmFiltroCancelaConsoli dialog;
    EXPECT_EQ(dialog.Caption(), "Filtro Cancelamento da Consolidação de Vendas");
    EXPECT_EQ(dialog.ScreenCode(), "KRT52601");
    EXPECT_EQ(dialog.HelpContext(), 13005401);
    EXPECT_TRUE(dialog.rbtTCaixa->isChecked() && dialog.rbtTVenda->isChecked() &&
                dialog.rbtTLancamento->isChecked());
    for (TBtnPesquisa* b : {dialog.btpCaixa, dialog.btpVenda, dialog.btpLancamento})
        EXPECT_FALSE(b->isEnabled()) << qPrintable(b->objectName());
    EXPECT_EQ(dialog.btpCaixa->DataSource(), dialog.dtsCaixa);
    EXPECT_EQ(dialog.msgPadrao->Items().size(), 11);
    EXPECT_EQ(dialog.msgPadrao->Msg("LAN_N_CAD"), "Não há lançamentos gerados.");
}

} // namespace
