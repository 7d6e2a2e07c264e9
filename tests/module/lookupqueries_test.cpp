#include "filter/frmfiltrocancelaconsoli.h"
#include "framework/core/scriptedhostservices.h"
#include "framework/db/adoibquery.h"
#include "framework/db/dtmdbgeral.h"
#include "framework/widgets/maskedit.h"
#include "screen/frmcancelaconsoli.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A small branch database: two companies, three branches (inserted out of
// order), stores in two branches and registers in two stores.
class LookupQueries : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const QString file = dir.filePath("lookups.db");
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
        database.openSqlite(file);
        dtmDBGeral = &database;
        services.install();
    }

    void TearDown() override { dtmDBGeral = nullptr; }

    static QStringList column(TDataSet* d, const char* field)
    {
        QStringList values;
        for (d->First(); !d->Eof(); d->Next())
            values << d->FieldByName(field)->AsString();
        return values;
    }

    QTemporaryDir dir;
    TdtmDBGeral database;
    krt::ScriptedHostServices services;
};

TEST_F(LookupQueries, BranchLookupFindsOneBranchOrEveryBranchInOrder)
{
    TfrmCancelaConsoli screen;
    TADOIBQuery* q = screen.qryFilial;
    q->ParamByName("P_CDFILIAL")->setValue(QStringLiteral("0002"));
    q->Open();
    EXPECT_EQ(column(q, "CDFILIAL"), QStringList({"0002"}));
    EXPECT_EQ(q->FieldByName("NMFILIAL")->AsString(), "Filial Dois");
    EXPECT_EQ(q->FieldByName("NMRAZSOCEMPR")->AsString(), "Alfa Comércio Ltda");

    q->Close();
    q->ParamByName("P_CDFILIAL")->Clear();
    q->Open();
    EXPECT_EQ(column(q, "CDFILIAL"), QStringList({"0001", "0002", "0003"}));

    q->Close();
    q->ParamByName("P_CDFILIAL")->setValue(QStringLiteral("0009"));
    q->Open();
    EXPECT_TRUE(q->IsEmpty());
}

TEST_F(LookupQueries, StoreLookupStaysInsideTheBranch)
{
    TfrmCancelaConsoli screen;
    TADOIBQuery* q = screen.qryLoja;
    // Every opening takes the branch from the branch edit.
    q->ParamByName("P_CDFILIAL")->setValue(QStringLiteral("0002"));
    screen.medFilial->setText(QStringLiteral("0001"));
    q->ParamByName("P_CDLOJA")->Clear();
    q->Open();
    EXPECT_EQ(column(q, "CDLOJA"), QStringList({"L1", "L2"}));

    q->Close();
    q->ParamByName("P_CDLOJA")->setValue(QStringLiteral("L2"));
    q->Open();
    EXPECT_EQ(column(q, "NMLOJA"), QStringList({"Loja Dois"}));

    q->Close();
    q->ParamByName("P_CDLOJA")->setValue(QStringLiteral("L9"));
    q->Open();
    EXPECT_TRUE(q->IsEmpty()) << "a store of another branch is not found";

    q->Close();
    screen.medFilial->setText(QStringLiteral("0002"));
    q->Open();
    EXPECT_EQ(column(q, "NMLOJA"), QStringList({"Loja Nove"}));
}

TEST_F(LookupQueries, CashRegistersOfOneStoreWithBranchAndRegisterAsKey)
{
    TfrmFiltroCancelaConsoli dialog;
    TADOIBQuery* q = dialog.qryCaixa;
    q->ParamByName("CDFILIAL")->setValue(QStringLiteral("0001"));
    q->ParamByName("CDLOJA")->setValue(QStringLiteral("L1"));
    q->Open();
    EXPECT_EQ(column(q, "CDCAIXA"), QStringList({"001", "002"}));
    EXPECT_EQ(column(q, "CHAVE"), QStringList({"0001001", "0001002"}));
    EXPECT_FALSE(q->FieldByName("CHAVE")->Visible());
}

} // namespace
