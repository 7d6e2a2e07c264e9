#include "framework/core/errors.h"
#include "framework/data/clientdataset.h"
#include "framework/data/datasource.h"
#include "tests/data/testpackets.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

krt::Packet codes(const QStringList& values)
{
    std::vector<std::vector<QVariant>> rows;
    for (const QString& v : values)
        rows.push_back({v});
    return makePacket({textDef("CODIGO", 5)}, rows);
}

QString stateName(TDataSetState s)
{
    return s == dsInactive ? "inactive" : s == dsBrowse ? "browse" : "other";
}

TEST(DataSource, SeesEveryStateChangeOfItsDataSet)
{
    TClientDataSet ds;
    ds.addStringField("CODIGO", 5);
    TDataSource dts(&ds);
    QStringList seen;
    dts.OnStateChange = [&](QObject* sender) {
        EXPECT_EQ(sender, &dts);
        // The handler sees the set as it now is (empty test included).
        seen << stateName(dts.State()) + (ds.IsEmpty() ? "/empty" : "/rows");
    };
    QSignalSpy stateSignals(&dts, &TDataSource::stateChanged);

    ds.setData(codes({"A"})); // open
    ds.setData(codes({}));    // close and re-open
    ds.Close();               // close
    ds.Close();               // nothing to do
    ds.Open();                // open, empty
    EXPECT_EQ(seen, QStringList({"browse/rows", "inactive/empty", "browse/empty", "inactive/empty",
                                 "browse/empty"}));
    EXPECT_EQ(stateSignals.count(), 5);
}

TEST(DataSource, DataChangeOnLoadAndMoveAndRebinding)
{
    TClientDataSet a, b;
    a.addStringField("CODIGO", 5);
    b.addStringField("CODIGO", 5);
    TDataSource dts;
    int dataChanges = 0;
    dts.OnDataChange = [&](QObject*, TField* field) {
        EXPECT_EQ(field, nullptr);
        ++dataChanges;
    };
    QSignalSpy rebinds(&dts, &TDataSource::dataSetChanged);
    QSignalSpy moves(&dts, &TDataSource::currentChanged);
    dts.setDataSet(&a);
    a.setData(codes({"A", "B"}));
    a.Next();
    a.Next(); // no move
    EXPECT_EQ(dataChanges, 2);
    EXPECT_EQ(moves.count(), 1);

    // Rebound to another set, it follows that one only.
    dts.setDataSet(&b);
    a.setData(codes({"C"}));
    b.setData(codes({"D"}));
    EXPECT_EQ(dataChanges, 3);
    EXPECT_EQ(rebinds.count(), 2);
    EXPECT_EQ(dts.DataSet(), &b);
}

TEST(DataSource, AHookThatThrowsReachesTheLoaderAndLifetimesAreIndependent)
{
    auto* ds = new TClientDataSet;
    ds->addStringField("CODIGO", 5);
    {
        TDataSource dts(ds);
        dts.OnStateChange = [](QObject*) { throw EKrtError("estado"); };
        EXPECT_THROW(ds->setData(codes({"A"})), EKrtError);
        EXPECT_TRUE(ds->Active());
    }
    ds->setData(codes({"B"})); // the destroyed source is no longer called

    TDataSource survivor(ds);
    delete ds;
    EXPECT_EQ(survivor.DataSet(), nullptr);
    EXPECT_EQ(survivor.State(), dsInactive);
}

TEST(DataSource, AHookThatUnlinksOrDestroysAnotherSourceSkipsItSafely)
{
    TClientDataSet ds;
    ds.addStringField("CODIGO", 5);
    TDataSource first(&ds);
    auto* second = new TDataSource(&ds);
    TDataSource third(&ds);
    QStringList told;
    first.OnStateChange = [&](QObject*) {
        told << "first";
        delete second; // told after this one: must not be reached
        second = nullptr;
        third.setDataSet(nullptr);
    };
    third.OnStateChange = [&](QObject*) { told << "third"; };
    ds.setData(codes({"A"}));
    EXPECT_EQ(told, QStringList{"first"});
    EXPECT_EQ(third.DataSet(), nullptr);
}

TEST(PacketRoundTrip, DataGivesBackExactlyWhatWasLoaded)
{
    using krt::FieldType;
    const QList<krt::FieldDef> defs = {textDef("CDFILIAL", 4),
                                       textDef("NMRAZSOCCLIE", 50),
                                       def("DTEMISSAO", FieldType::DateTime),
                                       def("VRTOTAL", FieldType::Float),
                                       def("IDOK", FieldType::Boolean),
                                       def("NRITENS", FieldType::Integer)};
    const krt::Packet original = makePacket(
        defs, {{"0001", "Açougue São João", QDateTime(QDate(2026, 2, 28), QTime(23, 59, 59, 999)),
                0.1 + 0.2, true, qint64(1) << 40},
               {"", QVariant(), QVariant(), -0.0, false, -1},
               {QVariant(), "x", QDateTime(QDate(1899, 12, 30), QTime(0, 0)), 1e300, QVariant(),
                QVariant()}});

    TClientDataSet ds;
    ds.addStringField("CDFILIAL", 4);
    ds.addStringField("NMRAZSOCCLIE", 50);
    ds.addDateTimeField("DTEMISSAO");
    ds.addFloatField("VRTOTAL");
    ds.addBooleanField("IDOK");
    ds.addIntegerField("NRITENS");
    ds.addBooleanField("CALC", {}, fkCalculated);   // calculated fields stay out of Data()
    EXPECT_EQ(ds.Data(), krt::Packet::empty(defs)); // closed: definitions only

    ds.setData(original);
    EXPECT_EQ(ds.Data(), original);
    EXPECT_EQ(ds.FieldByName("CDFILIAL")->IsNull(), false); // "" is a value, not null
    ds.Next();
    EXPECT_TRUE(ds.FieldByName("NMRAZSOCCLIE")->IsNull());

    // Through a set defined by its content, and with extra columns dropped.
    TClientDataSet copy;
    copy.setData(ds.Data());
    EXPECT_EQ(copy.FieldCount(), 6);
    EXPECT_EQ(copy.Data(), original);

    TClientDataSet narrow;
    narrow.addStringField("NMRAZSOCCLIE", 5); // narrower than the packet's column
    narrow.setData(original);
    const krt::Packet back = narrow.Data();
    ASSERT_EQ(back.fieldCount(), 1);
    EXPECT_EQ(back.rowCount(), 3);
    EXPECT_EQ(back.textQ(0, 0), "Açougue São João"); // never cut
    EXPECT_TRUE(back.isNull(1, 0));
}

} // namespace
