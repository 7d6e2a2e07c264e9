#pragma once

#include "appserver/consolidation/consolidator.h"
#include "appserver/db/sql.h"
#include "apptest.h"

#include <cmath>

// Sales generated but not consolidated; SetUp records the balances, then
// consolidates every store and approves every third invoice, so each test
// starts from a known "before the consolidation" state.
class CancellationTest : public AppTest
{
protected:
    bool consolidated() const override { return false; }

    void SetUp() override
    {
        AppTest::SetUp();
        if (IsSkipped())
            return;
        beforeConsolidation = tdb->balances();
        consolidateAll();
        const QStringList keys = tdb->invoiceKeys();
        for (int i = 0; i < keys.size(); i += 3)
            tdb->exec(QStringLiteral("UPDATE NOTAFISCAL SET IDSTATUS = 'A' WHERE CDFILIALNF = "
                                     "'%1' AND NRLANCTONF = '%2'")
                          .arg(keys[i].left(4), keys[i].mid(4)));
    }

    void consolidateAll()
    {
        krt::app::Consolidator c(tdb->db());
        for (const char* branch : {"0001", "0002"})
            for (const char* store : {"LJ01", "LJ02"})
                c.consolidate(branch, store, QDate(2026, 3, 2), QDate(2026, 3, 6));
    }

    // Every balance must equal its value before the consolidation minus what
    // the postings still in the database took out: a posting reversed twice,
    // or not at all, breaks it.
    void expectBalancesMatchPostings()
    {
        QMap<QString, double> expected = beforeConsolidation;
        krt::app::Query q(tdb->db().connection(),
                          "SELECT I.CDFILIAL, I.CDPRODUTO, SUM(I.QTLANCTOEST) FROM ITLANCTOEST I "
                          "JOIN LANCTOESTQ L ON L.CDFILIAL = I.CDFILIAL AND L.NRLANCESTQ = "
                          "I.NRLANCESTQ GROUP BY I.CDFILIAL, I.CDPRODUTO");
        q.exec();
        while (q.next())
            expected[q.text(0) + "/" + q.text(1)] -= q.number(2);
        const QMap<QString, double> actual = tdb->balances();
        ASSERT_EQ(actual.keys(), expected.keys());
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            EXPECT_NEAR(actual.value(it.key()), it.value(), 1e-6) << it.key().toStdString();
    }

    // Invoice keys whose rows, items, postings or sale links disagree: each
    // invoice must be fully present or fully gone.
    QStringList halfCancelled(const QStringList& keys)
    {
        QStringList bad;
        for (const QString& k : keys) {
            const QString where =
                QStringLiteral("CDFILIALNF = '%1' AND NRLANCTONF = '%2'").arg(k.left(4), k.mid(4));
            const bool invoice = tdb->count("SELECT COUNT(*) FROM NOTAFISCAL WHERE " + where) > 0;
            const bool items = tdb->count("SELECT COUNT(*) FROM ITEMNOTAFISCAL WHERE " + where) > 0;
            const bool postings = tdb->count("SELECT COUNT(*) FROM LANCTOESTQ WHERE " + where) > 0;
            const bool sales = tdb->count("SELECT COUNT(*) FROM VENDA WHERE " + where) > 0;
            if (!(invoice == items && items == postings && postings == sales))
                bad << k;
        }
        return bad;
    }

    QMap<QString, double> beforeConsolidation;
};
