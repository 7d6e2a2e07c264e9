// krt-appserver's peak memory (VmHWM) under framing that never ends, sent
// without a login to the login call: a chunk-size line and a trailer, each
// from two connections at once. Each connection may hold only its read
// buffer (docs/appserver.md, "Limits"), so the peak barely moves.
#include "rawhttp.h"
#include "serverprocess.h"
#include "testdatabase.h"

#include <QRegularExpression>
#include <csignal>
#include <gtest/gtest.h>
#include <iostream>
#include <thread>

namespace {

// A sanitizer's shadow memory and quarantine grow the server's peak with
// every thread and buffer it touches: the bound holds for a normal build.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitizedBuild = true;
#else
constexpr bool kSanitizedBuild = false;
#endif

class FramingMemoryTest : public DatabaseTest
{
};

// Opens `connections` connections, starts a chunked login on each with
// `start`, then offers `megabytes` MiB of `filler` on each at once. Returns
// the status each got.
QList<int> attack(quint16 port, const QByteArray& start, char filler, int connections,
                  int megabytes)
{
    QList<int> statuses(connections, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < connections; ++i)
        threads.emplace_back([&, i] {
            RawConnection c(port);
            c.send("POST /call/Krt.Sessao/login HTTP/1.1\r\nHost: x\r\n"
                   "Content-Type: application/x-krt-call\r\nTransfer-Encoding: chunked\r\n\r\n" +
                   start);
            std::thread sender([&] {
                const QByteArray piece(64 * 1024, filler);
                for (int k = 0; k < megabytes * 16; ++k)
                    if (!c.send(piece))
                        break;
            });
            statuses[i] = statusOf(c.readUntil("\r\n\r\n", 20000));
            sender.join();
        });
    for (std::thread& t : threads)
        t.join();
    return statuses;
}

} // namespace

TEST_F(FramingMemoryTest, EndlessChunkLinesAndTrailersLeaveThePeakWithinItsBound)
{
    tdb->generate(smallConfig());
    ServerProcess server;
    ASSERT_TRUE(server.start(tdb->connectionText())) << server.error.toStdString();
    const qint64 before = server.peakKb();
    ASSERT_GT(before, 0);
    // Two connections each offer 32 MiB of one chunk-size line...
    EXPECT_EQ(attack(server.port(), "1", 'f', 2, 32), QList<int>({400, 400}));
    const qint64 afterLines = server.peakKb();
    // ...then two more 32 MiB of one trailer field.
    EXPECT_EQ(attack(server.port(), "0\r\nX-Rastro: ", 'a', 2, 32), QList<int>({431, 431}));
    const qint64 afterTrailers = server.peakKb();
    std::cout << "[ info ] server peak memory " << before << " kB before, " << afterLines
              << " kB after endless chunk lines, " << afterTrailers
              << " kB after endless trailers (4 connections x 32 MiB)\n";
    // The documented bound: 64 KiB of read buffer per connection; the rest is
    // the allocator's and the threads' own slack.
    if (!kSanitizedBuild) {
        EXPECT_LT(afterTrailers - before, 16 * 1024);
    }

    ASSERT_TRUE(server.stopWith(SIGTERM));
    const QString log = server.log();
    EXPECT_EQ(log.count(QRegularExpression(" - login erro rows=0 [^\\n]*linha")), 2)
        << log.toStdString();
    EXPECT_EQ(log.count(QRegularExpression(" - login erro rows=0 [^\\n]*trailer")), 2)
        << log.toStdString();
}
