// The screen and the dialog define the data fields of their client data sets
// from the shared table the server builds its answers from. What is left to
// hold together is the other half of the table: every data set a method's
// result is meant to fill exists under that name, carries the packet's fields
// in order (calculated ones after them) and takes the packet as it comes.
#include "api/methodtable.h"
#include "api/packetfields.h"
#include "filter/frmfiltrocancelaconsoli.h"
#include "framework/data/clientdataset.h"
#include "framework/data/scriptedhostservices.h"
#include "screen/frmcancelaconsoli.h"

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

TEST(PacketShapes, EveryMethodResultFillsAClientDataSetOfThatName)
{
    krt::ScriptedHostServices services;
    services.install();
    TfrmCancelaConsoli screen;
    TfrmFiltroCancelaConsoli dialog;

    QStringList filled;
    for (const krt::api::MethodDecl& method : krt::api::methods())
        for (int i = 0; i < method.result.count; ++i)
            filled << QString::fromLatin1(method.result.sets[size_t(i)]->name);
    // Every packet the table describes is some method's result.
    for (const QString& name : krt::api::packetDataSets())
        EXPECT_TRUE(filled.contains(name)) << name.toStdString() << " is filled by no method";

    for (const QString& name : filled) {
        auto* dataSet = screen.findChild<TClientDataSet*>(name);
        if (!dataSet)
            dataSet = dialog.findChild<TClientDataSet*>(name);
        ASSERT_NE(dataSet, nullptr) << "no client data set named " << name.toStdString();

        const QList<krt::FieldDef>& sent = krt::api::packetFields(name);
        EXPECT_EQ(describe(dataSet->Data().fields()), describe(sent)) << name.toStdString();
        EXPECT_NO_THROW(dataSet->setData(krt::Packet::empty(sent))) << name.toStdString();
        EXPECT_TRUE(dataSet->Active()) << name.toStdString();
    }
}
