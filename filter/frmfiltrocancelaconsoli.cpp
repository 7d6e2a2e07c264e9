#include "filter/frmfiltrocancelaconsoli.h"

#include "framework/widgets/btnpesquisa.h"
#include "framework/widgets/checkwidgets.h"
#include "framework/widgets/dateeditplus.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>

namespace {

template <class W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// Group boxes carry a bold caption; their contents keep the dialog's font.
QGroupBox* groupBox(QWidget* parent, const char* name, const QString& caption, int left, int top,
                    int captionPixels)
{
    auto* box = named(new QGroupBox(caption, parent), name);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(captionPixels);
    font.setBold(true);
    box->setFont(font);
    box->setGeometry(left, top, 156, 72);
    return box;
}

template <class W> W* inBox(W* widget, const QFont& font, int left, int top, int width, int height)
{
    widget->setFont(font);
    widget->setGeometry(left, top, width, height);
    return widget;
}

TBtnPesquisa* lookupButton(QGroupBox* box, const QFont& font, const char* name, QWidget* control,
                           const QString& title, const QString& emptyListError)
{
    auto* button = inBox(named(new TBtnPesquisa(box), name), font, 74, 42, 21, 21);
    button->setControl(control);
    button->setTitle(title);
    button->setEmptyListError(emptyListError);
    button->setHint(QStringLiteral("Pesquisar"));
    // Second glyph: the greyed picture shown while the button is disabled.
    button->setDisabledGlyph(QIcon(button->icon().pixmap(16, QIcon::Disabled)));
    button->setEnabled(false);
    return button;
}

// The dialog's own font with every attribute set explicitly, so the controls
// inside a group box do not inherit its bold caption font.
QFont plainFont(const QFont& base)
{
    QFont font = base;
    font.setFamily(base.family());
    font.setBold(false);
    font.setItalic(false);
    if (base.pixelSize() > 0)
        font.setPixelSize(base.pixelSize());
    else
        font.setPointSizeF(base.pointSizeF());
    return font;
}

} // namespace

TfrmFiltroCancelaConsoli::TfrmFiltroCancelaConsoli(QWidget* parent) : TfrmFiltroPadrao(parent)
{
    setObjectName(QStringLiteral("frmFiltroCancelaConsoli"));
    setCaption(QStringLiteral("Filtro Cancelamento da Consolidação de Vendas"));
    setScreenCode(QStringLiteral("KRT52601"));
    setHelpContext(13005401);
    setClientSize(377, 156);
    move(255, 101);

    createPickListData();
    createPeriodBox();
    createSelectionBoxes();
    fillMessages();
    wireEvents();
}

TfrmFiltroCancelaConsoli::~TfrmFiltroCancelaConsoli() = default;

void TfrmFiltroCancelaConsoli::createPeriodBox()
{
    const QFont font = plainFont(this->font());
    grbDtMov = groupBox(grbFiltroPadrao, "grbDtMov", QStringLiteral(" Data de Saída"), 4, 7, 11);
    lblnicial = inBox(named(new QLabel(QStringLiteral("Inicial"), grbDtMov), "lblnicial"), font, 6,
                      21, 44, 13);
    lblFinal = inBox(named(new QLabel(QStringLiteral("Final"), grbDtMov), "lblFinal"), font, 5, 45,
                     44, 13);

    const QStringList dayNames{QStringLiteral("Domingo"), QStringLiteral("Segunda"),
                               QStringLiteral("Terça"),   QStringLiteral("Quarta"),
                               QStringLiteral("Quinta"),  QStringLiteral("Sexta"),
                               QStringLiteral("Sábado")};
    const QColor info = QApplication::palette().color(QPalette::ToolTipBase);
    for (auto [edit, name, top] :
         {std::tuple{&depInicial, "depInicial", 18}, std::tuple{&depFinal, "depFinal", 42}}) {
        *edit = inBox(named(new TDateEditPlus(grbDtMov), name), font, 51, top, 100, 21);
        (*edit)->setWeekDayNames(dayNames);
        QPalette p = (*edit)->palette();
        p.setColor(QPalette::Base, info);
        (*edit)->setPalette(p);
    }
    QWidget::setTabOrder(depInicial, depFinal);
    // Both edits sit in the same box: without names of their own a screen
    // reader announces each by the box's title ("Data de Saída").
    lblnicial->setBuddy(depInicial);
    lblFinal->setBuddy(depFinal);
    depInicial->setAccessibleName(QStringLiteral("Data Inicial"));
    depFinal->setAccessibleName(QStringLiteral("Data Final"));
}

void TfrmFiltroCancelaConsoli::createSelectionBoxes()
{
    const QFont font = plainFont(this->font());

    grbCaixa = groupBox(grbFiltroPadrao, "grbCaixa", QStringLiteral(" Caixa "), 162, 7, 11);
    rbtTCaixa = inBox(named(new TRadioButton(QStringLiteral("Todas"), grbCaixa), "rbtTCaixa"), font,
                      6, 21, 64, 17);
    rbtCaixa = inBox(named(new TRadioButton(QStringLiteral("Lista"), grbCaixa), "rbtCaixa"), font,
                     6, 45, 64, 17);
    rbtTCaixa->setChecked(true);
    btpCaixa = lookupButton(grbCaixa, font, "btpCaixa", rbtCaixa, QStringLiteral("Caixa"),
                            QStringLiteral("Não há caixa cadastrado."));
    btpCaixa->setDataSource(dtsCaixa);

    grbVenda = groupBox(grbFiltroPadrao, "grbVenda", QStringLiteral(" Vendas "), 4, 80, 11);
    rbtTVenda = inBox(named(new TRadioButton(QStringLiteral("Todas"), grbVenda), "rbtTVenda"), font,
                      6, 21, 64, 17);
    rbtVenda = inBox(named(new TRadioButton(QStringLiteral("Lista"), grbVenda), "rbtVenda"), font,
                     6, 45, 64, 17);
    rbtTVenda->setChecked(true);
    btpVenda = lookupButton(grbVenda, font, "btpVenda", rbtVenda, QStringLiteral("Venda"),
                            QStringLiteral("Não há vendas concluídas."));
    btpVenda->setDataSource(dtsVenda);

    grbLancamento = groupBox(grbFiltroPadrao, "grbLancamento", QStringLiteral("Nr. do Lançamento"),
                             162, 80, 12);
    rbtTLancamento =
        inBox(named(new TRadioButton(QStringLiteral("Todos"), grbLancamento), "rbtTLancamento"),
              font, 6, 21, 64, 17);
    rbtLancamento =
        inBox(named(new TRadioButton(QStringLiteral("Lista"), grbLancamento), "rbtLancamento"),
              font, 6, 45, 64, 16);
    rbtTLancamento->setChecked(true);
    btpLancamento = lookupButton(grbLancamento, font, "btpLancamento", rbtLancamento, {}, {});
    btpLancamento->setDataSource(dtsLancamento);

    // Tab order: the boxes in order, and inside each box its controls in order.
    QWidget::setTabOrder(depFinal, rbtTCaixa);
    QWidget::setTabOrder(rbtTCaixa, rbtCaixa);
    QWidget::setTabOrder(rbtCaixa, rbtTVenda);
    QWidget::setTabOrder(rbtTVenda, rbtVenda);
    QWidget::setTabOrder(rbtVenda, rbtTLancamento);
    QWidget::setTabOrder(rbtTLancamento, rbtLancamento);
}

void TfrmFiltroCancelaConsoli::fillMessages()
{
    msgPadrao->setItems({
        QStringLiteral("DATAINI_VAZIA|Data inicial deve ser informada."),
        QStringLiteral("DATA_INV|não é uma data válida."),
        QStringLiteral("DATAFIM_VAZIA|Data final deve ser informada."),
        QStringLiteral("DATAINI_MAIOR|Data inicial deve ser menor ou igual a data final."),
        QStringLiteral("VENDA_N_INF|Venda deve ser informada."),
        QStringLiteral("CXA_N_INF|Caixa deve ser informado."),
        QStringLiteral("Caixa|Caixa"),
        QStringLiteral("Venda|Venda"),
        QStringLiteral("Lancto|Nr. do Lançamento"),
        QStringLiteral("LAN_N_CAD|Não há lançamentos gerados."),
        QStringLiteral("LANCTO_N_INF|Lançamento deve ser informado."),
    });
}

void TfrmFiltroCancelaConsoli::wireEvents()
{
    sbtConfirma->OnClick = [this](QObject* s) { sbtConfirmaClick(s); };
    depInicial->OnExit = [this](QObject* s) { depInicialExit(s); };
    depFinal->OnExit = [this](QObject* s) { depFinalExit(s); };
    rbtTCaixa->OnClick = [this](QObject* s) { rbtTCaixaClick(s); };
    rbtCaixa->OnClick = [this](QObject* s) { rbtCaixaClick(s); };
    rbtTVenda->OnClick = [this](QObject* s) { rbtTVendaClick(s); };
    rbtVenda->OnClick = [this](QObject* s) { rbtVendaClick(s); };
    rbtTLancamento->OnClick = [this](QObject* s) { rbtTLancamentoClick(s); };
    rbtLancamento->OnClick = [this](QObject* s) { rbtLancamentoClick(s); };
    btpCaixa->OnClick = [this](QObject* s) { btpCaixaClick(s); };
    btpVenda->OnClick = [this](QObject* s) { btpVendaClick(s); };
    btpLancamento->OnClick = [this](QObject* s) { btpLancamentoClick(s); };
}
