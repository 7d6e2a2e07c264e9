// Two clerks cancelling overlapping lists at the same moment, each on its own
// connection: every invoice is undone once, never twice.
#include "cancellationtest.h"

#include "framework/wire/errors.h"

#include <atomic>
#include <chrono>
#include <thread>

using krt::Packet;
using krt::Variant;

namespace {

Packet keysPacket(const QStringList& keys)
{
    krt::PacketWriter w(
        {{"CDFILIALNF", krt::FieldType::String, 4}, {"NRLANCTONF", krt::FieldType::String, 10}});
    for (const QString& k : keys) {
        w.addText(k.left(4));
        w.addText(k.mid(4));
    }
    return w.finish();
}

} // namespace

TEST_F(CancellationTest, OverlappingConcurrentCancellationsReverseEachPostingOnce)
{
    for (const char* branch : {"0001", "0002"}) {
        const QStringList pending = tdb->invoiceKeys(
            QStringLiteral("IDSTATUS = 'P' AND CDFILIAL = '%1'").arg(QLatin1String(branch)));
        ASSERT_GE(pending.size(), 6);
        const qsizetype third = pending.size() / 3;
        const QList<Packet> lists{keysPacket(pending.mid(0, 2 * third)),
                                  keysPacket(pending.mid(third))};
        std::atomic<int> ready{0};
        std::atomic<int> failures{0};
        std::vector<std::thread> clerks;
        for (const Packet& list : lists)
            clerks.emplace_back([&, list] {
                krt::app::RdmCancelaConsoli own(tdb->db());
                ++ready;
                while (ready < 2) {
                }
                try {
                    own.call("clerk", api::setDeletaNF, QString::fromLatin1(branch), list);
                } catch (...) {
                    ++failures;
                }
                tdb->db().releaseThisThread();
            });
        for (std::thread& t : clerks)
            t.join();
        EXPECT_EQ(failures, 0);
        EXPECT_TRUE(
            tdb->invoiceKeys(
                   QStringLiteral("IDSTATUS = 'P' AND CDFILIAL = '%1'").arg(QLatin1String(branch)))
                .isEmpty());
        EXPECT_EQ(tdb->count(QStringLiteral("SELECT SUM(QTCANCELADOS) FROM AUDITCANCEL WHERE "
                                            "CDFILIAL = '%1'")
                                 .arg(QLatin1String(branch))),
                  pending.size());
        expectBalancesMatchPostings();
    }
    EXPECT_TRUE(halfCancelled(tdb->invoiceKeys()).isEmpty());
}

TEST_F(CancellationTest, ConcurrentCancellationsOfDifferentBranchesBothComplete)
{
    std::vector<std::thread> clerks;
    std::atomic<int> cancelled{0};
    for (const char* branch : {"0001", "0002"})
        for (const char* store : {"LJ01", "LJ02"}) {
            const Packet list = principal(branch, store);
            clerks.emplace_back([&, list, branch] {
                krt::app::RdmCancelaConsoli own(tdb->db());
                if (own.call("clerk", api::setDeletaNF, QString::fromLatin1(branch), list).asBool())
                    ++cancelled;
                tdb->db().releaseThisThread();
            });
        }
    for (std::thread& t : clerks)
        t.join();
    EXPECT_EQ(cancelled, 4);
    EXPECT_EQ(tdb->count("SELECT COUNT(*) FROM NOTAFISCAL WHERE IDSTATUS = 'P'"), 0);
    expectBalancesMatchPostings();
}

// An accountant closes days while a clerk cancels them: the cancellation must
// see the closed period (wait for the accountant's commit), never the period
// as it was before the close.
TEST_F(CancellationTest, APeriodClosedDuringTheCancellationRefusesIt)
{
    const QStringList all = tdb->invoiceKeys();
    const Packet list = principal("0001", "LJ01");
    ASSERT_GT(list.rowCount(), 0);
    QSqlDatabase accountant = tdb->db().connection();
    krt::app::Transaction close(accountant, tdb->db().kind(), krt::app::Transaction::Mode::Write);
    krt::app::execStatement(accountant,
                            QStringLiteral("UPDATE PERIODOCTB SET DTINICIAL = '2026-03-05'"));
    std::atomic<bool> refused{false};
    std::thread clerk([&] {
        krt::app::RdmCancelaConsoli own(tdb->db());
        try {
            own.call("clerk", api::setDeletaNF, "0001", list);
        } catch (const krt::Error& e) {
            refused = e.text().contains(QStringLiteral("Operação Bloqueada!"));
        }
        tdb->db().releaseThisThread();
    });
    // Let the clerk reach the period check before the close is committed.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    close.commit();
    clerk.join();
    EXPECT_TRUE(refused);
    EXPECT_EQ(tdb->invoiceKeys(), all);
}

// Each thread gets a connection of its own under a name never used before
// (thread ids are reused), and the thread itself closes it when it ends: no
// connection is left for another thread to remove.
TEST_F(CancellationTest, EachThreadOpensAndClosesItsOwnConnection)
{
    QStringList names;
    for (int i = 0; i < 3; ++i) {
        std::thread worker([&] {
            const QSqlDatabase db = tdb->db().connection();
            names << db.connectionName();
            EXPECT_EQ(tdb->db().connection().connectionName(), names.last())
                << "a second call on the same thread reuses its connection";
        });
        worker.join();
        EXPECT_FALSE(QSqlDatabase::contains(names.last())) << "left open by a thread that ended";
    }
    names.removeDuplicates();
    EXPECT_EQ(names.size(), 3);
    EXPECT_NE(tdb->db().connection().connectionName(), names.first());
}
