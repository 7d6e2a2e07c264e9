// The packets the application server sends are built from the shared method
// table's field lists; the screen and the dialog define their client data sets
// by hand. If the two drift apart, every load fails at run time, so the test
// holds them together.
#include "filter/frmfiltrocancelaconsoli.h"
#include "framework/core/scriptedhostservices.h"
#include "framework/data/clientdataset.h"
#include "screen/frmcancelaconsoli.h"
#include "server/packetfields.h"

#include <gtest/gtest.h>

namespace {

QString describe(const QList<krt::FieldDef>& fields)
{
    QStringList parts;
    for (const krt::FieldDef& f : fields)
        parts << QStringLiteral("%1:%2:%3")
                     .arg(QString::fromUtf8(f.name))
                     .arg(int(f.type))
                     .arg(f.size);
    return parts.join(QLatin1Char(' '));
}

} // namespace

TEST(PacketShapes, EveryServerPacketFitsTheClientDataSetItFills)
{
    krt::ScriptedHostServices services;
    services.install();
    TfrmCancelaConsoli screen;
    TfrmFiltroCancelaConsoli dialog;

    const QStringList names = krt::api::packetDataSets();
    ASSERT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        auto* dataSet = screen.findChild<TClientDataSet*>(name);
        if (!dataSet)
            dataSet = dialog.findChild<TClientDataSet*>(name);
        ASSERT_NE(dataSet, nullptr) << "no client data set named " << name.toStdString();

        const QList<krt::FieldDef>& sent = krt::api::packetFields(name);
        EXPECT_EQ(describe(dataSet->Data().fields()), describe(sent)) << name.toStdString();

        // A load of what the server sends must be accepted as it is.
        EXPECT_NO_THROW(dataSet->setData(krt::Packet::empty(sent))) << name.toStdString();
        EXPECT_TRUE(dataSet->Active()) << name.toStdString();
    }
}
