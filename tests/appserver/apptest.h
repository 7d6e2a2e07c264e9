#pragma once

#include "appserver/methods/rdmcancelaconsoli.h"
#include "framework/wire/keylist.h"
#include "testdatabase.h"

#include <gtest/gtest.h>
#include <memory>

namespace api = krt::api;

// A fresh database with the small demo data and the remote object on it.
// `consolidated` false leaves every sale waiting (the test consolidates).
class AppTest : public DatabaseTest
{
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (IsSkipped())
            return;
        krt::app::DemoConfig config = smallConfig();
        config.consolidate = consolidated();
        summary = tdb->generate(config);
        obj = std::make_unique<krt::app::RdmCancelaConsoli>(tdb->db());
    }
    virtual bool consolidated() const { return true; }

    static QDateTime day(int y, int m, int d) { return QDateTime(QDate(y, m, d), QTime(0, 0)); }
    static QDateTime first() { return day(2026, 3, 2); }
    static QDateTime last() { return day(2026, 3, 6); }

    // getPrincipal with the argument order the screen uses.
    krt::Packet principal(const QString& branch, const QString& store, const QString& cashList = {},
                          const QString& cashFlag = QStringLiteral("T"),
                          const QDateTime& from = first(), const QDateTime& to = last(),
                          const QString& salesFlag = QStringLiteral("S"),
                          const QString& salesList = {})
    {
        return obj
            ->call(krt::api::getPrincipal, branch, store, cashList, cashFlag, QString(),
                   QStringLiteral("T"), from, to, salesFlag, salesList)
            .asPacket();
    }

    static QStringList column(const krt::Packet& p, const char* name)
    {
        QStringList out;
        const int c = p.fieldIndex(std::string_view(name));
        for (int r = 0; r < p.rowCount(); ++r)
            out << p.textQ(r, c);
        return out;
    }

    static QStringList keysOf(const krt::Packet& p)
    {
        QStringList out;
        const int b = p.fieldIndex(std::string_view("CDFILIALNF"));
        const int n = p.fieldIndex(std::string_view("NRLANCTONF"));
        for (int r = 0; r < p.rowCount(); ++r)
            out << p.textQ(r, b) + p.textQ(r, n);
        return out;
    }

    krt::app::DemoSummary summary;
    std::unique_ptr<krt::app::RdmCancelaConsoli> obj;
};

// Expects `statement` to throw krt::Error whose text, method included, contains `part`.
#define EXPECT_APP_ERROR(statement, part)                                                          \
    do {                                                                                           \
        try {                                                                                      \
            statement;                                                                             \
            ADD_FAILURE() << "no error from " #statement;                                          \
        } catch (const krt::Error& e) {                                                            \
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains(part)) << e.what();                   \
        }                                                                                          \
    } while (false)
