#pragma once

#include "framework/db/adoibquery.h"

// The three lookup queries of the cancellation screen and its filter, set up
// line by line as the screen sets them, for running against test databases.

inline void setUpQryFilial(TADOIBQuery& q)
{
    q.setObjectName("qryFilial");
    q.SQL = QStringList{"SELECT",
                        "   FI.CDFILIAL , FI.NMFILIAL    , FI.CDEMPRESA, FI.CDINSCESTA,",
                        "   EM.NMEMPRESA, EM.NMRAZSOCEMPR, FI.CDSERIE  , FI.CDINSCMUNI",
                        "FROM",
                        "   FILIAL FI, EMPRESA EM",
                        "WHERE",
                        "   (FI.CDFILIAL  = NVL(:P_CDFILIAL,FI.CDFILIAL)) AND",
                        "   (FI.CDEMPRESA = EM.CDEMPRESA)",
                        "ORDER BY",
                        "   FI.CDFILIAL"};
    q.SQL_ORACLE = q.SQL;
    q.SQL_MSSQL = QStringList{"SELECT",
                              "   FI.CDFILIAL ,  FI.NMFILIAL   , FI.CDEMPRESA, FI.CDINSCESTA,",
                              "   EM.NMEMPRESA, EM.NMRAZSOCEMPR, FI.CDSERIE  , FI.CDINSCMUNI",
                              "FROM",
                              "   FILIAL FI, EMPRESA EM",
                              "WHERE",
                              "   (FI.CDFILIAL  = ISNULL(:P_CDFILIAL,FI.CDFILIAL)) AND",
                              "   (FI.CDEMPRESA = EM.CDEMPRESA)",
                              "ORDER BY",
                              "   FI.CDFILIAL",
                              " "};
    q.SQL_IB = QStringList{"SELECT",
                           "   FI.CDFILIAL , FI.NMFILIAL    , FI.CDEMPRESA, FI.CDINSCESTA,",
                           "   EM.NMEMPRESA, EM.NMRAZSOCEMPR, FI.CDSERIE  , FI.CDINSCMUNI",
                           "FROM",
                           "   FILIAL FI, EMPRESA EM, PARAM(:P_CDFILIAL) P_CDFILIAL",
                           "WHERE",
                           "   (FI.CDFILIAL  = NVLSTR(P_CDFILIAL.PARAM,FI.CDFILIAL)) AND",
                           "   (FI.CDEMPRESA = EM.CDEMPRESA)",
                           "ORDER BY",
                           "   FI.CDFILIAL"};
    q.Parameters().AddParameter("P_CDFILIAL");
    (new TADOIBStringField(&q, "CDFILIAL", 4))->setDisplayLabel("Código");
    (new TADOIBStringField(&q, "NMFILIAL", 30))->setDisplayLabel("Nome");
    (new TADOIBStringField(&q, "CDSERIE", 5))->setDisplayLabel("Série Padrão");
    (new TADOIBStringField(&q, "CDEMPRESA", 2))->setVisible(false);
    (new TADOIBStringField(&q, "CDINSCESTA", 16))->setVisible(false);
    (new TADOIBStringField(&q, "NMEMPRESA", 40))->setVisible(false);
    (new TADOIBStringField(&q, "NMRAZSOCEMPR", 80))->setVisible(false);
    (new TADOIBStringField(&q, "CDINSCMUNI", 16))->setDisplayLabel("Inscrição Municipal");
}

inline void setUpQryLoja(TADOIBQuery& q)
{
    q.setObjectName("qryLoja");
    q.SQL = QStringList{"SELECT",
                        "   CDLOJA, NMLOJA",
                        "FROM",
                        "   LOJA",
                        "WHERE",
                        "   (CDFILIAL = :P_CDFILIAL) AND",
                        "   (CDLOJA   = NVL(:P_CDLOJA, CDLOJA))",
                        "ORDER BY",
                        "   CDLOJA"};
    q.SQL_ORACLE = q.SQL;
    q.SQL_MSSQL = QStringList{"SELECT",
                              "   CDLOJA, NMLOJA",
                              "FROM",
                              "   LOJA",
                              "WHERE",
                              "   (CDFILIAL = :P_CDFILIAL) AND",
                              "   (CDLOJA   = ISNULL(:P_CDLOJA, CDLOJA))",
                              "ORDER BY",
                              "   CDLOJA "};
    q.SQL_IB = QStringList{"SELECT",
                           "   CDLOJA, NMLOJA",
                           "FROM",
                           "   LOJA, PARAM(:P_CDLOJA) P_CDLOJA",
                           "WHERE",
                           "   (CDFILIAL = :P_CDFILIAL) AND",
                           "   (CDLOJA   = NVLSTR(P_CDLOJA.PARAM, CDLOJA))",
                           "ORDER BY",
                           "   CDLOJA"};
    q.Parameters().AddParameter("P_CDLOJA");
    q.Parameters().AddParameter("P_CDFILIAL");
    (new TADOIBStringField(&q, "CDLOJA", 10))->setDisplayLabel("Código");
    (new TADOIBStringField(&q, "NMLOJA", 50))->setDisplayLabel("Nome");
}

inline void setUpQryCaixa(TADOIBQuery& q)
{
    q.setObjectName("qryCaixa");
    q.SQL = QStringList{"SELECT",
                        "   CDCAIXA, NMCAIXA,",
                        "   CDFILIAL||CDCAIXA AS CHAVE",
                        "FROM",
                        "   CAIXA",
                        "WHERE (CDFILIAL = :CDFILIAL)",
                        "  AND (CDLOJA = :CDLOJA)",
                        "ORDER BY CDCAIXA"};
    q.SQL_ORACLE = q.SQL;
    q.SQL_IB = q.SQL;
    q.SQL_MSSQL = q.SQL;
    q.SQL_MSSQL[2] = "   CDFILIAL+CDCAIXA AS CHAVE";
    q.SQL_MSSQL << " ";
    q.Parameters().AddParameter("CDFILIAL");
    q.Parameters().AddParameter("CDLOJA");
    (new TADOIBStringField(&q, "CDCAIXA", 3))->setDisplayLabel("Código");
    (new TADOIBStringField(&q, "NMCAIXA", 30))->setDisplayLabel("Nome");
    (new TADOIBStringField(&q, "CHAVE", 33))->setVisible(false);
}

// The tables behind the lookups: two companies, three branches, stores in
// two branches and their cash registers, inserted out of order.
inline QStringList lookupSchema()
{
    return {
        "CREATE TABLE EMPRESA (CDEMPRESA VARCHAR(2) PRIMARY KEY, NMEMPRESA VARCHAR(40), "
        "NMRAZSOCEMPR VARCHAR(80))",
        "CREATE TABLE FILIAL (CDFILIAL VARCHAR(4) PRIMARY KEY, NMFILIAL VARCHAR(30), "
        "CDEMPRESA VARCHAR(2), CDINSCESTA VARCHAR(16), CDSERIE VARCHAR(5), "
        "CDINSCMUNI VARCHAR(16))",
        "CREATE TABLE LOJA (CDFILIAL VARCHAR(4), CDLOJA VARCHAR(10), NMLOJA VARCHAR(50), "
        "PRIMARY KEY (CDFILIAL, CDLOJA))",
        "CREATE TABLE CAIXA (CDFILIAL VARCHAR(4), CDLOJA VARCHAR(10), CDCAIXA VARCHAR(3), "
        "NMCAIXA VARCHAR(30), PRIMARY KEY (CDFILIAL, CDLOJA, CDCAIXA))",
        "INSERT INTO EMPRESA VALUES ('01', 'Mercados Sul', 'Mercados Sul Ltda')",
        "INSERT INTO EMPRESA VALUES ('02', 'Atacado Norte', 'Atacado Norte S.A.')",
        "INSERT INTO FILIAL VALUES ('0003', 'Filial Três', '02', NULL, 'U', NULL)",
        "INSERT INTO FILIAL VALUES ('0001', 'Matriz São Paulo', '01', '123', '1', '999')",
        "INSERT INTO FILIAL VALUES ('0002', 'Filial Campinas', '01', NULL, '2', NULL)",
        "INSERT INTO LOJA VALUES ('0001', 'L02', 'Loja Centro')",
        "INSERT INTO LOJA VALUES ('0001', 'L01', 'Loja Shopping')",
        "INSERT INTO LOJA VALUES ('0002', 'L09', 'Loja Campinas')",
        "INSERT INTO CAIXA VALUES ('0001', 'L01', '002', 'Caixa dois')",
        "INSERT INTO CAIXA VALUES ('0001', 'L01', '001', 'Caixa um')",
        "INSERT INTO CAIXA VALUES ('0001', 'L02', '003', 'Caixa três')",
        "INSERT INTO CAIXA VALUES ('0002', 'L09', '001', 'Caixa Campinas')",
    };
}
