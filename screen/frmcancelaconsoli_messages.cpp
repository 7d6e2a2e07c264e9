#include "screen/frmcancelaconsoli.h"

#include "framework/core/messages.h"

// The screen's message table. Code shows messages by key only, so every text
// the screen can show lives here.
void TfrmCancelaConsoli::fillMessages()
{
    msgPadrao->setItems({
        // General entries shared by the screens of the application.
        QStringLiteral("Excl|Confirma exclusão?"),
        QStringLiteral("Conf|Confirma operação?"),
        QStringLiteral("DSLANC_VENDA|Lançamento gerado pela consolidação de vendas"),
        QStringLiteral("Atua_Prod|Atualizando produtos..."),
        QStringLiteral("Ok|Ok"),
        QStringLiteral("SimT|Sim para todos"),
        QStringLiteral("Sim|Sim"),
        QStringLiteral("Não|Não"),
        QStringLiteral("NaoT|Não para todos"),

        // Branch and store.
        QStringLiteral("INFO_COD_FILIAL|Filial deve deve ser informada."),
        QStringLiteral("COD_NAO_CAD_FILIAL|Filial não cadastrada."),
        QStringLiteral("Loja_inf|Loja deve ser informada."),
        QStringLiteral("Loja_cad|Loja não cadastrada."),

        // Period (read by the filter dialog).
        QStringLiteral("DATAINI_VAZIA|Data inicial deve ser informada."),
        QStringLiteral("DATAFIM_VAZIA|Data final deve ser informada."),
        QStringLiteral("DATA_INV|não é uma data válida."),
        QStringLiteral("PERIODO_INV|Data final deve ser maior ou igual à data inicial."),
        QStringLiteral("DATAINI_MAIOR|Data inicial deve ser menor ou igual a data final."),

        // Cancellation.
        QStringLiteral("MOVIFORAPERIODOCTB|Operação Bloqueada! Existem lançamentos fora do "
                       "período contábil permitido! Favor entrar em contato com a "
                       "Contabilidade."),
        QStringLiteral("CONF_CAN|Confirma cancelamento da consolidação?"),
        QStringLiteral("CONF_Cons|As notas fiscais já aprovadas não serão canceladas. Confirma "
                       "cancelamento da consolidação ?"),
        QStringLiteral("Cancel_OK|Cancelamento realizado com sucesso."),
        QStringLiteral("Cancel_NOk|Não há notas fiscais a serem canceladas."),
        QStringLiteral("Cancel_NOkRet|Não há retiradas a serem canceladas."),

        // Status of an invoice in the list.
        QStringLiteral("Aprovado|Aprovada"),
        QStringLiteral("NAprovado|Não aprovada"),

        // Consolidation and stock, kept with the table for the screens that share it.
        QStringLiteral("Inc_bloq_prod|Inclusão bloqueada: produto bloqueado."),
        QStringLiteral("Alt_bloq_prod|Alteração bloqueada: produto bloqueado."),
        QStringLiteral("Exc_prod_bloq|Exclusão bloqueada: produto bloqueado."),
        QStringLiteral("LANC_BLOQ|Lançamento bloqueado."),
        QStringLiteral("Venda|Venda"),
        QStringLiteral("NF_OK|Notas fiscais geradas com sucesso."),
        QStringLiteral("NF_ERRO|Erro ao gerar as notas fiscais."),
        QStringLiteral("LancNFVnd|Lançamento de nota fiscal de venda"),
        QStringLiteral("EmitNFVnd|Emissão de nota fiscal de venda"),
        QStringLiteral("Almox_inf|Almoxarifado deve ser informado."),
        QStringLiteral("Almox_cad|Almoxarifado não cadastrado."),
        QStringLiteral("Loca_inf|Local deve ser informado."),
        QStringLiteral("Loca_cad|Local não cadastrado."),
        QStringLiteral("NRMAXITEM_ZERO|O número máximo de itens por nota fiscal não pode ser "
                       "zero."),
        QStringLiteral("SERIE_NAO_CAD|Série não cadastrada."),
        QStringLiteral("NF_OK_ZERO|Nenhuma nota fiscal foi gerada."),
        QStringLiteral("NF_OK_UMA|Uma nota fiscal foi gerada."),
        QStringLiteral("SERIE|Série"),
        QStringLiteral("L|Lançamento"),
        QStringLiteral("C|Cancelado"),
        QStringLiteral("F|Faturado"),
        QStringLiteral("tp_oper|Tipo de operação deve ser informado."),
        QStringLiteral("Oper_Inv|Operação inválida."),
        QStringLiteral("N_CTRL_ESTOQ|A filial não controla estoque."),
        QStringLiteral("OPERA_BLOQ|Operação bloqueada."),
        QStringLiteral("Conf_ProdEst|Existem produtos com estoque irregular. Confirma operação?"),
        QStringLiteral("PROD_EST_IRREG|Produto com estoque irregular."),
        QStringLiteral("NAO_PROD|Não há produtos."),
        QStringLiteral("EstIrreg|Estoque irregular"),
    });
}
