#include "lookupdatabase.h"

#include "filter/frmfiltrocancelaconsoli.h"
#include "framework/data/scriptedhostservices.h"
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

class LookupQueries : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const QString file = dir.filePath("lookups.db");
        createLookupTables(file);
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
