#pragma once

#include "filter/frmfiltrocancelaconsoli.h"
#include "framework/core/errors.h"
#include "framework/data/scriptedhostservices.h"
#include "framework/db/adoibquery.h"
#include "framework/db/dtmdbgeral.h"
#include "framework/widgets/maskedit.h"
#include "screen/frmcancelaconsoli.h"
#include "tests/core/scriptedtest.h" // readable texts in failure messages

#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>

// The tables behind the lookups, for SQLite and PostgreSQL (a Firebird
// database gets them from the host's host/firebird/lookup-tables.sql).
inline QStringList lookupTables()
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
    };
}

// Two companies, three branches, stores in two branches and their cash
// registers, inserted out of order.
inline QStringList lookupRows()
{
    return {
        "INSERT INTO EMPRESA VALUES ('01', 'Mercados Sul', 'Mercados Sul Ltda')",
        "INSERT INTO EMPRESA VALUES ('02', 'Atacado Norte', 'Atacado Norte S.A.')",
        "INSERT INTO FILIAL VALUES ('0003', 'Filial Três', '02', NULL, 'U', NULL)",
        "INSERT INTO FILIAL VALUES ('0001', 'Matriz São Paulo', '01', '123', '1', '999')",
        "INSERT INTO FILIAL VALUES ('0002', 'Filial Campinas', '01', NULL, '2', NULL)",
        "INSERT INTO LOJA VALUES ('0001', 'L02', 'Loja Centro')",
        "INSERT INTO LOJA VALUES ('0001', 'L01', 'Loja Shopping')",
        "INSERT INTO LOJA VALUES ('0002', 'L09', 'Loja Campinas')",
        "INSERT INTO CAIXA (CDFILIAL, CDLOJA, CDCAIXA, NMCAIXA) "
        "VALUES ('0001', 'L01', '002', 'Caixa dois')",
        "INSERT INTO CAIXA (CDFILIAL, CDLOJA, CDCAIXA, NMCAIXA) "
        "VALUES ('0001', 'L01', '001', 'Caixa um')",
        "INSERT INTO CAIXA (CDFILIAL, CDLOJA, CDCAIXA, NMCAIXA) "
        "VALUES ('0001', 'L02', '003', 'Caixa três')",
        "INSERT INTO CAIXA (CDFILIAL, CDLOJA, CDCAIXA, NMCAIXA) "
        "VALUES ('0002', 'L09', '001', 'Caixa Campinas')",
    };
}

inline void execAll(const QSqlDatabase& db, const QStringList& statements)
{
    for (const QString& statement : statements) {
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(statement)) << q.lastError().text().toStdString();
    }
}

inline void createLookupSchema(const QSqlDatabase& db)
{
    execAll(db, lookupTables());
    execAll(db, lookupRows());
}

inline QStringList column(TDataSet& ds, const QString& field)
{
    QStringList values;
    const TField* f = ds.FieldByName(field);
    for (int row = 0; row < ds.RecordCount(); ++row)
        values << f->ValueAt(row).toString();
    return values;
}

// Scripted host services in place before anything that might use them is built.
struct InstalledHostServices : krt::ScriptedHostServices
{
    InstalledHostServices() { install(); }
};

// The cancellation screen and its filter dialog with their own lookup queries
// (the screen's qryFilial and qryLoja, the filter's qryCaixa) pointed at one
// database module.
struct ScreenLookups
{
    explicit ScreenLookups(TdtmDBGeral& db)
    {
        for (TADOIBQuery* q : {screen.qryFilial, screen.qryLoja, filter.qryCaixa})
            q->setConnection(&db);
    }

    InstalledHostServices services;
    TfrmCancelaConsoli screen;
    TfrmFiltroCancelaConsoli filter;
};

// The branch, store and cash-register lookups as the screen and the filter
// run them, on whatever database `db` is connected to.
inline void expectLookupsWork(TdtmDBGeral& db)
{
    ScreenLookups lookups(db);
    TADOIBQuery& filial = *lookups.screen.qryFilial;
    filial.ParamByName("P_CDFILIAL")->setValue(QStringLiteral("0001"));
    filial.Open();
    ASSERT_EQ(filial.RecordCount(), 1);
    EXPECT_EQ(filial.FieldByName("NMFILIAL")->AsString(), "Matriz São Paulo");
    EXPECT_EQ(filial.FieldByName("NMEMPRESA")->AsString(), "Mercados Sul");
    EXPECT_EQ(filial.FieldByName("CDINSCMUNI")->AsString(), "999");
    EXPECT_EQ(filial.FieldByName("CDINSCESTA")->AsString(), "123");
    EXPECT_EQ(filial.FieldByName("CDSERIE")->DisplayLabel(), "Série Padrão");

    // A null parameter lists every branch, ordered by code.
    filial.Close();
    filial.ParamByName("P_CDFILIAL")->Clear();
    filial.Open();
    EXPECT_EQ(column(filial, "CDFILIAL"), QStringList({"0001", "0002", "0003"}));
    EXPECT_EQ(column(filial, "NMEMPRESA"),
              QStringList({"Mercados Sul", "Mercados Sul", "Atacado Norte"}));
    EXPECT_EQ(column(filial, "CDINSCESTA"), QStringList({"123", "", ""})) << "nulls stay empty";

    // An empty text is bound as it is and matches nothing; an unknown code neither.
    filial.Close();
    filial.ParamByName("P_CDFILIAL")->setValue(QString(""));
    filial.Open();
    EXPECT_TRUE(filial.IsEmpty());
    filial.Close();
    filial.ParamByName("P_CDFILIAL")->setValue(QStringLiteral("9999"));
    filial.Open();
    EXPECT_TRUE(filial.IsEmpty());

    // The store lookup takes its branch from the branch edit at every
    // opening, whatever the parameter held before.
    TADOIBQuery& loja = *lookups.screen.qryLoja;
    loja.ParamByName("P_CDFILIAL")->setValue(QStringLiteral("0002"));
    lookups.screen.medFilial->setText(QStringLiteral("0001"));
    loja.ParamByName("P_CDLOJA")->setValue(QStringLiteral("L02"));
    loja.Open();
    ASSERT_EQ(loja.RecordCount(), 1);
    EXPECT_EQ(loja.FieldByName("NMLOJA")->AsString(), "Loja Centro");

    loja.Close();
    loja.ParamByName("P_CDLOJA")->setValue(QStringLiteral("L09")); // a store of another branch
    loja.Open();
    EXPECT_TRUE(loja.IsEmpty());
    loja.Close();
    lookups.screen.medFilial->setText(QStringLiteral("0002"));
    loja.Open();
    EXPECT_EQ(column(loja, "NMLOJA"), QStringList({"Loja Campinas"}));

    loja.Close();
    lookups.screen.medFilial->setText(QStringLiteral("0001"));
    loja.ParamByName("P_CDLOJA")->Clear();
    loja.Open();
    EXPECT_EQ(column(loja, "CDLOJA"), QStringList({"L01", "L02"}));

    // Cash registers of one store, keyed by branch and register.
    TADOIBQuery& caixa = *lookups.filter.qryCaixa;
    caixa.ParamByName("CDFILIAL")->setValue(QStringLiteral("0001"));
    caixa.ParamByName("CDLOJA")->setValue(QStringLiteral("L01"));
    caixa.Open();
    EXPECT_EQ(column(caixa, "CDCAIXA"), QStringList({"001", "002"}));
    EXPECT_EQ(column(caixa, "CHAVE"), QStringList({"0001001", "0001002"}));
    EXPECT_EQ(column(caixa, "NMCAIXA"), QStringList({"Caixa um", "Caixa dois"}));
    caixa.Close();
    caixa.ParamByName("CDFILIAL")->setValue(QStringLiteral("0002"));
    caixa.ParamByName("CDLOJA")->setValue(QStringLiteral("L09"));
    caixa.Open();
    EXPECT_EQ(column(caixa, "CHAVE"), QStringList({"0002001"}))
        << "a register number shared by two branches";
}
