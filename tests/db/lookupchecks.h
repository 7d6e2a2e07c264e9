#pragma once

#include "framework/core/errors.h"
#include "framework/db/dtmdbgeral.h"
#include "tests/db/lookupqueries.h"

#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>

inline void createLookupSchema(const QSqlDatabase& db)
{
    for (const QString& statement : lookupSchema()) {
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(statement)) << q.lastError().text().toStdString();
    }
}

inline QStringList column(TDataSet& ds, const QString& field)
{
    QStringList values;
    const TField* f = ds.FieldByName(field);
    for (int row = 0; row < ds.RecordCount(); ++row)
        values << f->ValueAt(row).toString();
    return values;
}

// The branch, store and cash-register lookups as the screen and the filter
// run them, on whatever database `db` is connected to.
inline void expectLookupsWork(TdtmDBGeral& db)
{
    TADOIBQuery filial;
    setUpQryFilial(filial);
    filial.setConnection(&db);
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

    // An empty text is bound as it is and matches nothing; an unknown code neither.
    filial.Close();
    filial.ParamByName("P_CDFILIAL")->setValue(QString(""));
    filial.Open();
    EXPECT_TRUE(filial.IsEmpty());
    filial.Close();
    filial.ParamByName("P_CDFILIAL")->setValue(QStringLiteral("9999"));
    filial.Open();
    EXPECT_TRUE(filial.IsEmpty());

    // The store lookup takes its branch from its before-open handler.
    TADOIBQuery loja;
    setUpQryLoja(loja);
    loja.setConnection(&db);
    QString typedBranch = "0001";
    loja.BeforeOpen = [&](TDataSet*) { loja.ParamByName("P_CDFILIAL")->setValue(typedBranch); };
    loja.ParamByName("P_CDLOJA")->setValue(QStringLiteral("L02"));
    loja.Open();
    ASSERT_EQ(loja.RecordCount(), 1);
    EXPECT_EQ(loja.FieldByName("NMLOJA")->AsString(), "Loja Centro");

    loja.Close();
    loja.ParamByName("P_CDLOJA")->setValue(QStringLiteral("L09")); // a store of another branch
    loja.Open();
    EXPECT_TRUE(loja.IsEmpty());
    loja.Close();
    typedBranch = "0002";
    loja.Open();
    EXPECT_EQ(column(loja, "NMLOJA"), QStringList({"Loja Campinas"}));

    loja.Close();
    typedBranch = "0001";
    loja.ParamByName("P_CDLOJA")->Clear();
    loja.Open();
    EXPECT_EQ(column(loja, "CDLOJA"), QStringList({"L01", "L02"}));

    TADOIBQuery caixa;
    setUpQryCaixa(caixa);
    caixa.setConnection(&db);
    caixa.ParamByName("CDFILIAL")->setValue(QStringLiteral("0001"));
    caixa.ParamByName("CDLOJA")->setValue(QStringLiteral("L01"));
    caixa.Open();
    EXPECT_EQ(column(caixa, "CDCAIXA"), QStringList({"001", "002"}));
    EXPECT_EQ(column(caixa, "CHAVE"), QStringList({"0001001", "0001002"}));
    EXPECT_EQ(column(caixa, "NMCAIXA"), QStringList({"Caixa um", "Caixa dois"}));
}
