#pragma once

#include "framework/data/scriptedhostservices.h"

#include <QString>
#include <gtest/gtest.h>
#include <ostream>

// Readable QString values in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

// Fixture: scripted host services installed for the test; any question the
// test did not script fails it.
class ScriptedTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host.install();
        host.setOnUnscripted(
            [](const QString& what) { ADD_FAILURE() << "unscripted: " << what.toStdString(); });
    }

    krt::ScriptedHostServices host;
};

// A small data set helper shared by widget and form tests.
#include "framework/data/clientdataset.h"
#include "framework/wire/packet.h"

// CODE (string 4), NAME (string 20), HIDDEN (string 4, not visible); rows
// given as {code, name, hidden}.
inline void fillCodes(TClientDataSet& ds, const QList<QStringList>& rows)
{
    if (ds.FieldCount() == 0) {
        ds.addStringField(QStringLiteral("CODE"), 4, QStringLiteral("Código"));
        ds.addStringField(QStringLiteral("NAME"), 20, QStringLiteral("Nome"));
        ds.addStringField(QStringLiteral("HIDDEN"), 4, QStringLiteral("Oculto"), false);
    }
    krt::PacketWriter w({{"CODE", krt::FieldType::String, 4},
                         {"NAME", krt::FieldType::String, 20},
                         {"HIDDEN", krt::FieldType::String, 4}});
    for (const QStringList& r : rows)
        for (const QString& v : r)
            w.addText(v);
    ds.setData(w.finish());
}
