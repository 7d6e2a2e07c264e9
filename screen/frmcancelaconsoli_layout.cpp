#include "screen/frmcancelaconsoli.h"

#include "framework/data/datasource.h"
#include "framework/widgets/btnpesquisa.h"
#include "framework/widgets/maskedit.h"
#include "screen/screenglyphs.h"
#include "screen/tanimate.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

template <class W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// The "info" colour of detail grids and code edits, and the face colour of
// display-only edits, from the style in use.
QColor infoColour()
{
    return QApplication::palette().color(QPalette::ToolTipBase);
}

QColor buttonFaceColour()
{
    return QApplication::palette().color(QPalette::Button);
}

void paintBase(QWidget* w, const QColor& colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Base, colour);
    w->setPalette(p);
}

QLabel* statusImage(QWidget* parent, const char* name, const QPixmap& picture, int left, int top)
{
    auto* image = named(new QLabel(parent), name);
    image->setPixmap(picture);
    image->setAttribute(Qt::WA_TranslucentBackground);
    image->setGeometry(left, top, picture.width(), picture.height());
    image->hide();
    return image;
}

TDBGrid* pageGrid(TTabSheet* page, const char* name, TDataSource* source, bool infoBackground)
{
    auto* grid = named(new TDBGrid(page), name);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(grid);
    grid->setDataSource(source);
    grid->setShowGrid(true);
    if (infoBackground)
        grid->setColor(infoColour());
    return grid;
}

TMenuItem* menuItem(QObject* owner, const char* name, const QString& caption)
{
    return named(new TMenuItem(caption, owner), name);
}

} // namespace

void TfrmCancelaConsoli::createToolbarAdditions()
{
    sbtImprimir->setEnabled(false);
    sbtAjuda->move(290, sbtAjuda->y());
    sbtFechar->move(326, sbtFechar->y());

    sbtCancelaCons = named(new TButtonFlat(panMenu), "sbtCancelaCons");
    sbtCancelaCons->setGeometry(216, 4, 22, 21);
    sbtCancelaCons->setHint(QStringLiteral("Cancelar Consolidação"));
    sbtCancelaCons->setGlyph(screenglyphs::cancelConsolidation(true));
    sbtCancelaCons->setEnabled(false);

    sbtFiltro = named(new TButtonFlat(panMenu), "sbtFiltro");
    sbtFiltro->setGeometry(256, 4, 19, 21);
    sbtFiltro->setHint(QStringLiteral("Filtrar"));
    sbtFiltro->setGlyph(screenglyphs::filter(true));
    sbtFiltro->setDisabledGlyph(screenglyphs::filter(false));

    imgAprovado = statusImage(panMenu, "imgAprovado", screenglyphs::approved(), 466, 2);
    imgNFNaoOk = statusImage(panMenu, "imgNFNaoOk", screenglyphs::invoiceNotOk(), 495, 5);
    imgNFOk = statusImage(panMenu, "imgNFOk", screenglyphs::invoiceOk(), 523, 5);
}

void TfrmCancelaConsoli::createFilterPanel()
{
    auto* panel = named(new TPanel(this), "panFiltro");
    panFiltro = panel;
    panel->setFrameShape(QFrame::NoFrame);
    panel->setFixedHeight(52);
    addTopPanel(panel);

    // First row: branch and store; second row: the mode.
    Label2 = named(new QLabel(QStringLiteral("Filial"), panel), "Label2");
    Label2->setGeometry(6, 8, 26, 13);

    medFilial = named(new TMaskEdit(panel), "medFilial");
    medFilial->setEditMask(QStringLiteral(">aaaa;0; "));
    medFilial->setMaxLength(4);
    medFilial->setGeometry(34, 4, 40, 21);
    paintBase(medFilial, infoColour());

    btpPesqFilial = named(new TBtnPesquisa(panel), "btpPesqFilial");
    btpPesqFilial->setGeometry(76, 4, 21, 21);
    btpPesqFilial->setControl(medFilial);
    btpPesqFilial->setTitle(QStringLiteral("Filial"));
    btpPesqFilial->setDataSource(dtsFilial);
    btpPesqFilial->setEmptyListError(QStringLiteral("Não há filial cadastrada"));
    btpPesqFilial->setHint(QStringLiteral("Pesquisar"));

    edtFilial = named(new QLineEdit(panel), "edtFilial");
    edtFilial->setGeometry(99, 4, 206, 21);
    edtFilial->setEnabled(false);
    paintBase(edtFilial, buttonFaceColour());

    Label3 = named(new QLabel(QStringLiteral("Loja"), panel), "Label3");
    Label3->setGeometry(341, 8, 24, 13);

    medCdLoja = named(new TMaskEdit(panel), "medCdLoja");
    medCdLoja->setMaxLength(10);
    medCdLoja->setGeometry(368, 4, 90, 21);
    paintBase(medCdLoja, infoColour());

    btpLoja = named(new TBtnPesquisa(panel), "btpLoja");
    btpLoja->setGeometry(460, 4, 21, 21);
    btpLoja->setControl(medCdLoja);
    btpLoja->setTitle(QStringLiteral("Loja"));
    btpLoja->setDataSource(dtsLoja);
    btpLoja->setHint(QStringLiteral("Pesquisar"));

    edtNmLoja = named(new QLineEdit(panel), "edtNmLoja");
    edtNmLoja->setGeometry(483, 4, 174, 21);
    edtNmLoja->setEnabled(false);
    paintBase(edtNmLoja, buttonFaceColour());

    ckbCancRetirada = named(new QCheckBox(QStringLiteral("Cancela retirada de estoque"), panel),
                            "ckbCancRetirada");
    ckbCancRetirada->setGeometry(34, 30, 220, 17);
    ckbCancRetirada->setChecked(false);

    QWidget::setTabOrder(medFilial, edtFilial);
    QWidget::setTabOrder(edtFilial, medCdLoja);
    QWidget::setTabOrder(medCdLoja, edtNmLoja);
    QWidget::setTabOrder(edtNmLoja, ckbCancRetirada);
}

void TfrmCancelaConsoli::createInvoicePages()
{
    tshPadrao->setCaption(QStringLiteral("Notas Fiscais"));
    dbgPadrao->setDataSource(dtsPrincipal);
    dbgPadrao->setShowGrid(true);
    dbgPadrao->setColumns({{"IDSTATUS", 0, {}},
                           {"DTENTRSAID", 77, {}},
                           {"NRLANCTONF", 0, {}},
                           {"DTEMISSAO", 0, {}},
                           {"NRNOTAFISC", 0, {}},
                           {"NMRAZSOCCLIE", 0, {}}});

    tshItens = named(new TTabSheet(pgcPadrao, QStringLiteral("Vendas")), "tshItens");
    dbgItens = pageGrid(tshItens, "dbgItens", dtsItemVenda, true);
    dbgItens->setColumns({{"CDCAIXA", 31, {}},
                          {"DTENTRVENDA", 87, {}},
                          {"NRSEQVENDA", 71, QStringLiteral("Nr da Venda")},
                          {"NRCUPOMFIS", 72, {}},
                          {"CDPRODUTO", 85, QStringLiteral("Produto")},
                          {"NMPRODUTO", 178, {}},
                          {"QTPRODVEND", 59, {}},
                          {"VRUNITVEND", 63, {}},
                          {"TOTITEM", 0, {}},
                          {"NMCONSUMIDOR", 190, {}}});

    tshItemNota =
        named(new TTabSheet(pgcPadrao, QStringLiteral("Itens da Nota Fiscal")), "tshItemNota");
    DBGrid1 = pageGrid(tshItemNota, "DBGrid1", dtsItemProduto, true);
    DBGrid1->setColumns({{"CDPRODUTO", 88, {}},
                         {"NMPRODUTO", 280, {}},
                         {"QTITEMPROD", 0, {}},
                         {"VRUNITITEM", 0, {}},
                         {"VRTOTAITEM", 0, {}}});

    tshItLanctoEst = named(new TTabSheet(pgcPadrao, QStringLiteral("Itens baixados no estoque")),
                           "tshItLanctoEst");
    DBGrid2 = pageGrid(tshItLanctoEst, "DBGrid2", dtsItlanctoEst, true);
    DBGrid2->setColumns({{"NRLANCESTQ", 82, {}},
                         {"NRSEQUITEM", 0, {}},
                         {"CDPRODUTO", 92, {}},
                         {"NMPRODUTO", 238, {}},
                         {"QTLANCTOEST", 0, {}}});
}

namespace {

// A framed box with a text and the copy animation, floating over a page.
void buildProgressPanel(QWidget* page, QFrame*& panel, QFrame*& bevel, QLabel*& label,
                        TAnimate*& animation, const char* names[4])
{
    panel = named(new QFrame(page), names[0]);
    panel->setGeometry(144, 58, 361, 99);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setAutoFillBackground(true);

    bevel = named(new QFrame(panel), names[1]);
    bevel->setGeometry(6, 6, 349, 87);
    bevel->setFrameShape(QFrame::Box);
    bevel->setFrameShadow(QFrame::Sunken);

    label = named(new QLabel(QStringLiteral("Cancelando Consolidação  ..."), panel), names[2]);
    label->setGeometry(16, 12, 329, 16);

    animation = named(new TAnimate(panel), names[3]);
    animation->setGeometry(44, 30, 272, 60);
    animation->setStopFrame(26);
    animation->setActive(false);
    panel->hide();
}

} // namespace

void TfrmCancelaConsoli::createProgressPanels()
{
    const char* main[4] = {"panProgresso", "bvlProgresso", "lblCancela", "anmPassaTempo"};
    buildProgressPanel(tshPadrao, panProgresso, bvlProgresso, lblCancela, anmPassaTempo, main);
    const char* twin[4] = {"Panel5", "Bevel2", "Label4", "Animate2"};
    buildProgressPanel(tshItLanctoEst, Panel5, Bevel2, Label4, Animate2, twin);
}

void TfrmCancelaConsoli::createWithdrawalPanel()
{
    panRetLanctoEstq = named(new QFrame(this), "panRetLanctoEstq");
    panRetLanctoEstq->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(panRetLanctoEstq);
    layout->setContentsMargins(0, 0, 0, 0);

    pgcRetLanctoEstq = named(new TPageControl(panRetLanctoEstq), "pgcRetLanctoEstq");
    layout->addWidget(pgcRetLanctoEstq);

    tshRetLanctoEstq =
        named(new TTabSheet(pgcRetLanctoEstq, QStringLiteral("Retirada")), "tshRetLanctoEstq");
    dbgRetLanctoEstq = pageGrid(tshRetLanctoEstq, "dbgRetLanctoEstq", dtsRetLanctoEstq, true);
    dbgRetLanctoEstq->setColumns(
        {{"NRRETEST", 71, {}}, {"NRLANCESTQ", 0, {}}, {"DTLANCESTQ", 0, {}}});

    tshRetItLanctoEst = named(new TTabSheet(pgcRetLanctoEstq, QStringLiteral("Itens da Retirada")),
                              "tshRetItLanctoEst");
    dbgRetItLanctoEst = pageGrid(tshRetItLanctoEst, "dbgRetItLanctoEst", dtsRetItLanctoEst, true);
    dbgRetItLanctoEst->setColumns({{"CDARVPROD", 0, {}},
                                   {"NMPRODUTO", 314, {}},
                                   {"QTLANCTOEST", 0, {}},
                                   {"VRUNILANCTO", 0, {}},
                                   {"VRTOTLANCTO", 0, {}}});
    pgcRetLanctoEstq->SetActivePage(tshRetLanctoEstq);

    panRetLanctoEstq->hide();
    addClientOverlay(panRetLanctoEstq);
}

void TfrmCancelaConsoli::createMenuAdditions()
{
    N1 = menuItem(this, "N1", QStringLiteral("-"));
    mnuOperacao->InsertBefore(mnuListagem, N1);
    mnuItemVenda = menuItem(this, "mnuItemVenda", QStringLiteral("I&tens da Venda"));
    mnuOperacao->Add(mnuItemVenda);
    mnuVenda = menuItem(this, "mnuVenda", QStringLiteral("&Venda"));
    mnuVenda->setItemChecked(true);
    // A mark, not a choice: choosing the item must not take the mark away.
    QObject::connect(mnuVenda, &QAction::toggled, mnuVenda, [item = mnuVenda](bool checked) {
        if (!checked)
            item->setChecked(true);
    });
    mnuOperacao->Add(mnuVenda);

    for (TMenuItem* item : {mnuIncluir, mnuAlterar, mnuExcluir, mnuCancelar, mnuConfirmar})
        item->setEnabled(false);
    N2 = menuItem(this, "N2", QStringLiteral("-"));
    mnuManutencao->Add(N2);
    mnuCanCons = menuItem(this, "mnuCanCons", QStringLiteral("Cance&lar Consolidação"));
    mnuCanCons->setShortCut(16462);
    mnuManutencao->Add(mnuCanCons);
    mnuFiltrar = menuItem(this, "mnuFiltrar", QStringLiteral("&Filtrar"));
    mnuFiltrar->setShortCut(16460);
    mnuManutencao->Add(mnuFiltrar);
}
