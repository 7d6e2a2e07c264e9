#pragma once

// A small branch database for the screen's lookups: two companies, three
// branches (inserted out of order), stores in two branches and registers in
// two stores.
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <gtest/gtest.h>

inline void createLookupTables(const QString& file)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "lookup-setup");
        db.setDatabaseName(file);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const char* sql :
             {"CREATE TABLE EMPRESA (CDEMPRESA VARCHAR(2) PRIMARY KEY, NMEMPRESA "
              "VARCHAR(40), NMRAZSOCEMPR VARCHAR(80))",
              "CREATE TABLE FILIAL (CDFILIAL VARCHAR(4) PRIMARY KEY, NMFILIAL VARCHAR(30), "
              "CDEMPRESA VARCHAR(2), CDINSCESTA VARCHAR(16), CDSERIE VARCHAR(5), "
              "CDINSCMUNI VARCHAR(16))",
              "CREATE TABLE LOJA (CDFILIAL VARCHAR(4), CDLOJA VARCHAR(10), NMLOJA "
              "VARCHAR(50), PRIMARY KEY (CDFILIAL, CDLOJA))",
              "CREATE TABLE CAIXA (CDFILIAL VARCHAR(4), CDLOJA VARCHAR(10), CDCAIXA "
              "VARCHAR(3), NMCAIXA VARCHAR(30), PRIMARY KEY (CDFILIAL, CDCAIXA))",
              "INSERT INTO EMPRESA VALUES ('01', 'Alfa', 'Alfa Comércio Ltda')",
              "INSERT INTO EMPRESA VALUES ('02', 'Beta', 'Beta Varejo S.A.')",
              "INSERT INTO FILIAL VALUES ('0003', 'Filial Três', '02', '3', '3', '33')",
              "INSERT INTO FILIAL VALUES ('0001', 'Matriz', '01', '1', '1', '11')",
              "INSERT INTO FILIAL VALUES ('0002', 'Filial Dois', '01', '2', '2', '22')",
              "INSERT INTO LOJA VALUES ('0001', 'L2', 'Loja Dois')",
              "INSERT INTO LOJA VALUES ('0001', 'L1', 'Loja Um')",
              "INSERT INTO LOJA VALUES ('0002', 'L9', 'Loja Nove')",
              "INSERT INTO CAIXA VALUES ('0001', 'L1', '002', 'Caixa Dois')",
              "INSERT INTO CAIXA VALUES ('0001', 'L1', '001', 'Caixa Um')",
              "INSERT INTO CAIXA VALUES ('0001', 'L2', '003', 'Caixa Três')"})
            ASSERT_TRUE(q.exec(QString::fromUtf8(sql))) << qPrintable(q.lastError().text());
        db.close();
    }
    QSqlDatabase::removeDatabase("lookup-setup");
}
