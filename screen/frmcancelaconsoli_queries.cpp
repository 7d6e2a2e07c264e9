#include "screen/frmcancelaconsoli.h"

#include "framework/data/datasource.h"
#include "framework/db/adoibquery.h"

// The branch and store lookups read the host's database directly, one
// statement per dialect; the query runs the one that fits the connection.
void TfrmCancelaConsoli::createLookupQueries()
{
    qryFilial = new TADOIBQuery(this);
    qryFilial->setObjectName(QStringLiteral("qryFilial"));
    qryFilial->SQL = {
        "SELECT",
        "   FI.CDFILIAL , FI.NMFILIAL    , FI.CDEMPRESA, FI.CDINSCESTA,",
        "   EM.NMEMPRESA, EM.NMRAZSOCEMPR, FI.CDSERIE  , FI.CDINSCMUNI",
        "FROM",
        "   FILIAL FI, EMPRESA EM",
        "WHERE",
        "   (FI.CDFILIAL  = NVL(:P_CDFILIAL,FI.CDFILIAL)) AND",
        "   (FI.CDEMPRESA = EM.CDEMPRESA)",
        "ORDER BY",
        "   FI.CDFILIAL",
    };
    qryFilial->SQL_ORACLE = qryFilial->SQL;
    qryFilial->SQL_MSSQL = {
        "SELECT",
        "   FI.CDFILIAL ,  FI.NMFILIAL   , FI.CDEMPRESA, FI.CDINSCESTA,",
        "   EM.NMEMPRESA, EM.NMRAZSOCEMPR, FI.CDSERIE  , FI.CDINSCMUNI",
        "FROM",
        "   FILIAL FI, EMPRESA EM",
        "WHERE",
        "   (FI.CDFILIAL  = ISNULL(:P_CDFILIAL,FI.CDFILIAL)) AND",
        "   (FI.CDEMPRESA = EM.CDEMPRESA)",
        "ORDER BY",
        "   FI.CDFILIAL",
        " ",
    };
    qryFilial->SQL_IB = {
        "SELECT",
        "   FI.CDFILIAL , FI.NMFILIAL    , FI.CDEMPRESA, FI.CDINSCESTA,",
        "   EM.NMEMPRESA, EM.NMRAZSOCEMPR, FI.CDSERIE  , FI.CDINSCMUNI",
        "FROM",
        "   FILIAL FI, EMPRESA EM, PARAM(:P_CDFILIAL) P_CDFILIAL",
        "WHERE",
        "   (FI.CDFILIAL  = NVLSTR(P_CDFILIAL.PARAM,FI.CDFILIAL)) AND",
        "   (FI.CDEMPRESA = EM.CDEMPRESA)",
        "ORDER BY",
        "   FI.CDFILIAL",
    };
    qryFilial->Parameters().AddParameter("P_CDFILIAL");
    qryFilialCDFILIAL = qryFilial->addQueryStringField("CDFILIAL", 4, "Código");
    qryFilialNMFILIAL = qryFilial->addQueryStringField("NMFILIAL", 30, "Nome");
    qryFilialCDSERIE = qryFilial->addQueryStringField("CDSERIE", 5, "Série Padrão");
    qryFilialCDEMPRESA = qryFilial->addQueryStringField("CDEMPRESA", 2, {}, false);
    qryFilialCDINSCESTA = qryFilial->addQueryStringField("CDINSCESTA", 16, {}, false);
    qryFilialNMEMPRESA = qryFilial->addQueryStringField("NMEMPRESA", 40, {}, false);
    qryFilialNMRAZSOCEMPR = qryFilial->addQueryStringField("NMRAZSOCEMPR", 80, {}, false);
    qryFilialCDINSCMUNI = qryFilial->addQueryStringField("CDINSCMUNI", 16, "Inscrição Municipal");

    qryLoja = new TADOIBQuery(this);
    qryLoja->setObjectName(QStringLiteral("qryLoja"));
    qryLoja->SQL = {
        "SELECT",
        "   CDLOJA, NMLOJA",
        "FROM",
        "   LOJA",
        "WHERE",
        "   (CDFILIAL = :P_CDFILIAL) AND",
        "   (CDLOJA   = NVL(:P_CDLOJA, CDLOJA))",
        "ORDER BY",
        "   CDLOJA",
    };
    qryLoja->SQL_ORACLE = qryLoja->SQL;
    qryLoja->SQL_MSSQL = {
        "SELECT",
        "   CDLOJA, NMLOJA",
        "FROM",
        "   LOJA",
        "WHERE",
        "   (CDFILIAL = :P_CDFILIAL) AND",
        "   (CDLOJA   = ISNULL(:P_CDLOJA, CDLOJA))",
        "ORDER BY",
        "   CDLOJA ",
    };
    qryLoja->SQL_IB = {
        "SELECT",
        "   CDLOJA, NMLOJA",
        "FROM",
        "   LOJA, PARAM(:P_CDLOJA) P_CDLOJA",
        "WHERE",
        "   (CDFILIAL = :P_CDFILIAL) AND",
        "   (CDLOJA   = NVLSTR(P_CDLOJA.PARAM, CDLOJA))",
        "ORDER BY",
        "   CDLOJA",
    };
    qryLoja->Parameters().AddParameter("P_CDLOJA");
    qryLoja->Parameters().AddParameter("P_CDFILIAL");
    qryLojaCDLOJA = qryLoja->addQueryStringField("CDLOJA", 10, "Código");
    qryLojaNMLOJA = qryLoja->addQueryStringField("NMLOJA", 50, "Nome");
}
