#include "framework/core/errors.h"
#include "framework/data/clientdataset.h"
#include "framework/data/datasource.h"
#include "tests/data/testpackets.h"

#include <gtest/gtest.h>

namespace {

using krt::FieldType;

const QList<krt::FieldDef> kInvoiceDefs = {textDef("CDFILIAL", 4), textDef("NRLANCTONF", 10),
                                           def("DTEMISSAO", FieldType::DateTime),
                                           def("VRTOTAL", FieldType::Float)};

krt::Packet invoices(const QStringList& numbers)
{
    std::vector<std::vector<QVariant>> rows;
    int i = 0;
    for (const QString& n : numbers)
        rows.push_back({"0001", n, QDateTime(QDate(2026, 1, 1 + i), QTime(0, 0)), 10.0 * ++i});
    return makePacket(kInvoiceDefs, rows);
}

// An invoice list as the screen defines it, recording its events.
struct InvoiceSet : ::testing::Test
{
    TClientDataSet ds;
    QStringList events;

    void SetUp() override
    {
        ds.setObjectName("qryPrincipal");
        ds.addStringField("CDFILIAL", 4, {}, false);
        ds.addStringField("NRLANCTONF", 10, "Nr. Lançamento");
        ds.addDateTimeField("DTEMISSAO", "Dt. Emissão");
        ds.addFloatField("VRTOTAL", "Total", "#,##0.00");
        ds.BeforeOpen = [this](TDataSet*) { events << "BeforeOpen"; };
        ds.AfterOpen = [this](TDataSet*) { events << "AfterOpen"; };
        ds.BeforeClose = [this](TDataSet*) { events << "BeforeClose"; };
        ds.AfterClose = [this](TDataSet*) { events << "AfterClose"; };
        ds.AfterScroll = [this](TDataSet* d) {
            events << "AfterScroll:" + d->FieldByName("NRLANCTONF")->AsString();
        };
    }
    QString current() const { return ds.FieldByName("NRLANCTONF")->AsString(); }
};

TEST_F(InvoiceSet, LoadReplacesTheContentAndStandsOnTheFirstRecord)
{
    ds.setData(invoices({"A1", "A2", "A3"}));
    EXPECT_EQ(events, QStringList({"BeforeOpen", "AfterOpen", "AfterScroll:A1"}));
    ds.Last();
    events.clear();

    ds.setData(invoices({"B1", "B2"}));
    EXPECT_EQ(events, QStringList({"BeforeClose", "AfterClose", "BeforeOpen", "AfterOpen",
                                   "AfterScroll:B1"}));
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.RecordCount(), 2);
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_TRUE(ds.Bof());
    EXPECT_FALSE(ds.Eof());
    EXPECT_EQ(current(), "B1");
    EXPECT_EQ(ds.FieldByName("VRTOTAL")->DisplayText(), "10,00");
}

TEST_F(InvoiceSet, AnEmptyLoadOpensWithoutAfterScroll)
{
    ds.setData(invoices({}));
    EXPECT_EQ(events, QStringList({"BeforeOpen", "AfterOpen"}));
    EXPECT_TRUE(ds.Active());
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_EQ(ds.RecNo(), 0);
    EXPECT_TRUE(ds.Eof() && ds.Bof());
    EXPECT_TRUE(ds.FieldByName("NRLANCTONF")->IsNull());
    events.clear();
    ds.Next();
    ds.First();
    ds.Last();
    EXPECT_TRUE(events.isEmpty());
    ds.Close();
    EXPECT_TRUE(ds.IsEmpty()); // closed counts as empty
}

TEST_F(InvoiceSet, NavigationFiresAfterScrollOnlyWhenTheRecordChanges)
{
    ds.setData(invoices({"A1", "A2", "A3"}));
    events.clear();
    ds.Next();
    ds.Next();
    ds.Next(); // already on the last one
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.RecNo(), 3);
    ds.Prior();
    EXPECT_EQ(ds.MoveBy(-5), -1);
    EXPECT_TRUE(ds.Bof());
    ds.First(); // already there
    EXPECT_EQ(ds.MoveBy(10), 2);
    EXPECT_TRUE(ds.Eof());
    EXPECT_TRUE(ds.MoveTo(1));
    EXPECT_FALSE(ds.MoveTo(3));
    EXPECT_EQ(events, QStringList({"AfterScroll:A2", "AfterScroll:A3", "AfterScroll:A2",
                                   "AfterScroll:A1", "AfterScroll:A3", "AfterScroll:A2"}));

    // The usual loop visits every record once.
    QStringList visited;
    for (ds.First(); !ds.Eof(); ds.Next())
        visited << current();
    EXPECT_EQ(visited, QStringList({"A1", "A2", "A3"}));

    EXPECT_TRUE(ds.Locate("nrlanctonf", "A3"));
    EXPECT_EQ(ds.RecNo(), 3);
    EXPECT_TRUE(ds.Locate("NRLANCTONF", "a2", loCaseInsensitive));
    EXPECT_TRUE(ds.Locate("VRTOTAL", 10.0));
    EXPECT_EQ(current(), "A1");
    EXPECT_FALSE(ds.Locate("NRLANCTONF", "Z9"));
    EXPECT_EQ(current(), "A1");
}

TEST_F(InvoiceSet, PacketThatDoesNotMatchTheFieldsIsRejectedAndChangesNothing)
{
    ds.setData(invoices({"A1", "A2"}));
    ds.Next();
    events.clear();

    const krt::Packet missing = makePacket(
        {textDef("CDFILIAL", 4), textDef("NRLANCTONF", 10), def("VRTOTAL", FieldType::Float)},
        {{"0001", "X", 1.0}});
    const krt::Packet wrongType =
        makePacket({textDef("CDFILIAL", 4), textDef("NRLANCTONF", 10), textDef("DTEMISSAO", 10),
                    def("VRTOTAL", FieldType::Float)},
                   {{"0001", "X", "01/01/2026", 1.0}});
    for (const krt::Packet& bad : {missing, wrongType}) {
        try {
            ds.setData(bad);
            FAIL() << "no error";
        } catch (const EKrtError& e) {
            EXPECT_TRUE(e.text().contains("DTEMISSAO")) << e.text().toStdString();
            EXPECT_TRUE(e.text().contains("qryPrincipal"));
        }
    }
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(ds.RecordCount(), 2);
    EXPECT_EQ(current(), "A2");

    // Extra columns are ignored; field names match whatever their case.
    const krt::Packet extra =
        makePacket({textDef("nrlanctonf", 10), textDef("EXTRA", 3), textDef("cdfilial", 4),
                    def("DTEMISSAO", FieldType::DateTime), def("VRTOTAL", FieldType::Float)},
                   {{"C1", "x", "0002", QDateTime(QDate(2026, 5, 1), QTime(0, 0)), 2.5}});
    ds.setData(extra);
    EXPECT_EQ(current(), "C1");
    EXPECT_EQ(ds.FieldByName("CDFILIAL")->AsString(), "0002");
    EXPECT_EQ(ds.FindField("EXTRA"), nullptr);
}

TEST_F(InvoiceSet, FieldByNameNamesTheFieldAndTheDataSet)
{
    try {
        ds.FieldByName("NRNOTAFISC");
        FAIL() << "no error";
    } catch (const EKrtError& e) {
        EXPECT_EQ(e.text(),
                  "Campo 'NRNOTAFISC' não encontrado no conjunto de dados 'qryPrincipal'.");
    }
    EXPECT_EQ(ds.FindField("NRNOTAFISC"), nullptr);
    EXPECT_EQ(ds.FieldByName("nrLanctoNf")->FieldName(), "NRLANCTONF");
}

TEST_F(InvoiceSet, HandlerExceptionsReachTheCallerAndLeaveTheSetConsistent)
{
    ds.setData(invoices({"A1", "A2"}));
    ds.BeforeClose = [](TDataSet*) { throw EKrtError("não pode fechar"); };
    EXPECT_THROW(ds.setData(invoices({"B1"})), EKrtError);
    EXPECT_EQ(current(), "A1"); // the load was refused before anything changed
    EXPECT_THROW(ds.Close(), EKrtError);
    EXPECT_TRUE(ds.Active());
    ds.BeforeClose = nullptr;

    ds.AfterScroll = [](TDataSet* d) {
        if (d->FieldByName("NRLANCTONF")->AsString() == "B2")
            throw EKrtError("falhou B2");
    };
    ds.setData(invoices({"B1", "B2"}));
    EXPECT_THROW(ds.Next(), EKrtError);
    EXPECT_EQ(current(), "B2"); // the move happened; only the reaction failed
    EXPECT_EQ(ds.RecNo(), 2);

    ds.AfterScroll = [](TDataSet*) { throw EKrtError("falhou"); };
    EXPECT_THROW(ds.setData(invoices({"C1"})), EKrtError);
    EXPECT_TRUE(ds.Active());
    EXPECT_EQ(current(), "C1");

    ds.BeforeOpen = [](TDataSet*) { throw EKrtError("não abre"); };
    EXPECT_THROW(ds.setData(invoices({"D1"})), EKrtError);
    EXPECT_FALSE(ds.Active());
}

TEST(MasterDetail, AfterScrollLoadsTheDetailsOfEachRecord)
{
    TClientDataSet master, detail;
    master.setObjectName("qryPrincipal");
    detail.setObjectName("cdsItemVenda");
    master.addStringField("NRLANCTONF", 10);
    detail.addStringField("NRLANCTONF", 10);
    detail.addStringField("CDPRODUTO", 10);
    QStringList loads;
    master.AfterScroll = [&](TDataSet* m) {
        const QString nr = m->FieldByName("NRLANCTONF")->AsString();
        loads << nr;
        if (nr == "BAD") // a server answer of the wrong shape
            detail.setData(makePacket({textDef("OUTRO", 3)}, {{"x"}}));
        detail.setData(makePacket({textDef("NRLANCTONF", 10), textDef("CDPRODUTO", 10)},
                                  {{nr, "P-" + nr}, {nr, "Q-" + nr}}));
    };

    master.setData(makePacket({textDef("NRLANCTONF", 10)}, {{"N1"}, {"N2"}, {"BAD"}}));
    EXPECT_EQ(loads, QStringList({"N1"}));
    EXPECT_EQ(detail.FieldByName("CDPRODUTO")->AsString(), "P-N1");
    master.Next();
    EXPECT_EQ(detail.FieldByName("CDPRODUTO")->AsString(), "P-N2");
    EXPECT_EQ(detail.RecordCount(), 2);

    EXPECT_THROW(master.Next(), EKrtError);
    EXPECT_EQ(detail.FieldByName("CDPRODUTO")->AsString(), "P-N2"); // kept its content

    // An empty master list runs no detail load: the details keep what they held.
    master.setData(makePacket({textDef("NRLANCTONF", 10)}, {}));
    EXPECT_EQ(loads, QStringList({"N1", "N2", "BAD"}));
    EXPECT_EQ(detail.FieldByName("CDPRODUTO")->AsString(), "P-N2");

    // A failing detail load propagates out of the master's own load.
    EXPECT_THROW(master.setData(makePacket({textDef("NRLANCTONF", 10)}, {{"BAD"}})), EKrtError);
    EXPECT_TRUE(master.Active());
}

TEST(MasterDetail, ReloadingTheSameSetFromItsAfterScrollEndsOnTheNewContent)
{
    TClientDataSet ds;
    ds.addStringField("CODIGO", 5);
    int scrolls = 0;
    ds.AfterScroll = [&](TDataSet* d) {
        ++scrolls;
        if (d->FieldByName("CODIGO")->AsString() == "OLD")
            static_cast<TClientDataSet*>(d)->setData(
                makePacket({textDef("CODIGO", 5)}, {{"NEW1"}, {"NEW2"}}));
    };
    ds.setData(makePacket({textDef("CODIGO", 5)}, {{"OLD"}}));
    EXPECT_EQ(scrolls, 2);
    EXPECT_EQ(ds.RecordCount(), 2);
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_EQ(ds.FieldByName("CODIGO")->AsString(), "NEW1");
}

TEST(CalculatedFields, ComputedOncePerRecordFromThatRecordsData)
{
    TClientDataSet ds;
    ds.setObjectName("cdsItemVenda");
    ds.addStringField("NRLANCTONF", 10);
    ds.addStringField("CDFILIALNF", 4);
    TBooleanField* invoiced = ds.addBooleanField("IDNOTAFISCAL", "Sit.", fkCalculated);
    int calls = 0;
    int scrolls = 0;
    ds.AfterScroll = [&](TDataSet*) { ++scrolls; };
    ds.OnCalcFields = [&](TDataSet* d) {
        ++calls;
        EXPECT_EQ(d->State(), dsCalcFields);
        d->FieldByName("IDNOTAFISCAL")
            ->setValue(!d->FieldByName("NRLANCTONF")->IsNull() ||
                       !d->FieldByName("CDFILIALNF")->IsNull());
    };
    const QList<krt::FieldDef> defs = {textDef("NRLANCTONF", 10), textDef("CDFILIALNF", 4)};
    ds.setData(
        makePacket(defs, {{QVariant(), QVariant()}, {QVariant(), "0001"}, {"77", QVariant()}}));
    EXPECT_EQ(calls, 1); // the first record, on arrival
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_FALSE(invoiced->AsBoolean());
    EXPECT_FALSE(invoiced->IsNull());

    // A grid reading other rows: computed there, cursor untouched, no scroll.
    EXPECT_TRUE(invoiced->ValueAt(1).toBool());
    EXPECT_TRUE(invoiced->ValueAt(2).toBool());
    EXPECT_EQ(invoiced->DisplayTextAt(2), "Sim");
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_EQ(scrolls, 1);
    EXPECT_EQ(calls, 3);
    for (ds.First(); !ds.Eof(); ds.Next())
        invoiced->AsBoolean();
    EXPECT_EQ(calls, 3); // cached per record

    // Moving the cursor from inside the calculation is refused.
    ds.OnCalcFields = [](TDataSet* d) { d->Next(); };
    EXPECT_THROW(ds.setData(makePacket(defs, {{"1", "1"}, {"2", "2"}})), EKrtError);
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_EQ(ds.State(), dsBrowse);
}

} // namespace
