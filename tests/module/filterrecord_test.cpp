#include "filter/filtro.h"
#include "shared/moduleglobals.h"

#include <gtest/gtest.h>

namespace {

TEST(FilterRecord, SelectionCodesForTheServer)
{
    TFiltro f;
    f.stCaixas = "'0001001','0001002'";
    f.stVendas = "'00010000000001'";

    f.boTodosCaixas = true;
    f.boTodasVendas = true;
    EXPECT_EQ(SelecaoCaixas(f).codigo, "T");
    EXPECT_TRUE(SelecaoCaixas(f).lista.isEmpty()) << "all registers send no list";
    EXPECT_EQ(SelecaoVendas(f).codigo, "S") << "all sales is S, not T";
    EXPECT_TRUE(SelecaoVendas(f).lista.isEmpty());

    f.boTodosCaixas = false;
    f.boTodasVendas = false;
    EXPECT_EQ(SelecaoCaixas(f).codigo, "N");
    EXPECT_EQ(SelecaoCaixas(f).lista, f.stCaixas);
    EXPECT_EQ(SelecaoVendas(f).codigo, "N");
    EXPECT_EQ(SelecaoVendas(f).lista, f.stVendas);

    // The flag-and-list form used with the dialog's radio buttons.
    EXPECT_EQ(SelecaoCaixas(true, "'x'").codigo, "T");
    EXPECT_EQ(SelecaoVendas(false, "'x'").lista, "'x'");
}

TEST(FilterRecord, SalesFlagTableAndDayCounts)
{
    EXPECT_EQ(stFilBool[false], "N");
    EXPECT_EQ(stFilBool[true], "S");
    TFiltro f;
    f.boTodasVendas = true;
    EXPECT_EQ(stFilBool[f.boTodasVendas], "S");

    // Whole days since 30/12/1899, the date edits' representation.
    EXPECT_EQ(DateToDayCount(QDate(1899, 12, 30)), 0);
    EXPECT_EQ(DateToDayCount(QDate(2024, 2, 29)), 45351);
    EXPECT_EQ(DayCountToDate(45351), QDate(2024, 2, 29));
    EXPECT_EQ(DayCountToDate(45351.75), QDate(2024, 2, 29)) << "a time of day is dropped";
    EXPECT_EQ(DateToDayCount(QDate()), 0);
}

TEST(FilterRecord, TheSharedRecordStartsZeroed)
{
    EXPECT_TRUE(Filtro.stCdFilial.isEmpty());
    EXPECT_EQ(Filtro.dtInicial, 0);
    EXPECT_EQ(Filtro.dtFinal, 0);
    EXPECT_FALSE(Filtro.boTodosCaixas || Filtro.boTodasVendas || Filtro.boTodosLanctos);
    EXPECT_TRUE(Filtro.stCaixas.isEmpty() && Filtro.stVendas.isEmpty() &&
                Filtro.stLanctos.isEmpty());
}

} // namespace
