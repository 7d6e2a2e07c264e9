// The call log's line against callers that put blanks, placeholders, quotes,
// line breaks, bidirectional overrides and bytes that are not UTF-8 in what
// the server logs: every line keeps the documented shape and parses back to
// exactly the fields that went in.
#include "appserver/server/calllog.h"
#include "appserver/server/logline.h"
#include "logparser.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using krt::app::CallLog;
using krt::app::escapeLogField;

namespace {

// Characters that change how the text around them is shown.
const QList<QString> kHidden{QString(QChar(0x202E)), QString(QChar(0x202D)), QString(QChar(0x2066)),
                             QString(QChar(0x200F)), QString(QChar(0x200B)), QString(QChar(0xFEFF)),
                             QString(QChar(0x2028)), QString(QChar(0x00A0)), QString(QChar(0x0085)),
                             QString(QChar(0x061C))};

QByteArray unescapeBytes(const QByteArray& field)
{
    const auto text = logparser::unescape(field);
    return text ? text->toUtf8() : QByteArray("<ilegível>");
}

} // namespace

TEST(CallLogLine, HostileFieldsParseBackToWhatWentIn)
{
    const QList<QString> users{
        QStringLiteral("ana setDeletaNF ok rows=500 ms=1.0"),
        QStringLiteral("x\n2026-03-05T10:12:01.250 #9 10.0.0.9:5 demo setDeletaNF ok rows=1"),
        QStringLiteral("-"),
        QString(),
        QStringLiteral("a%1b%2 ms=%7"),
        QStringLiteral("\"citado\" \\ barra"),
        QStringLiteral("%1") + QChar(0x202E) + QStringLiteral("omed"),
        QStringLiteral("joão ção 😀"),
    };
    const QList<QString> methods{QStringLiteral("/call/X/a%1b"), QStringLiteral("/x%7%8%9"),
                                 QStringLiteral("getPrincipal"),
                                 QStringLiteral("%1%2%3%4%5%6%7%8%9"), QStringLiteral("a\tb\r\nc")};
    const QList<QString> errors{QString(), QStringLiteral("Usuário ou senha inválidos. (3ª falha)"),
                                QStringLiteral("lista '%1','") + QChar(0x202E) +
                                    QStringLiteral("1000' ms=%7\" \\"),
                                QStringLiteral("linha1\r\nlinha2\x01\x7f")};
    qint64 rows = 0;
    for (const QString& user : users)
        for (const QString& method : methods)
            for (const QString& error : errors) {
                const bool ok = error.isEmpty();
                const QByteArray line = CallLog::callLine(42 + rows, "127.0.0.1:5", user, method,
                                                          ok, rows, 12.5, error);
                const auto parsed = logparser::parseLine("2026-03-05T10:12:01.250 " + line);
                ASSERT_TRUE(parsed) << line.toStdString();
                EXPECT_EQ(parsed->requestId, quint64(42 + rows));
                EXPECT_EQ(parsed->peer, QStringLiteral("127.0.0.1:5"));
                // The documented cut: a user name at 60 characters.
                EXPECT_EQ(parsed->user, user.left(60)) << line.toStdString();
                EXPECT_EQ(parsed->method, method) << line.toStdString();
                EXPECT_EQ(parsed->ok, ok);
                EXPECT_EQ(parsed->rows, rows);
                EXPECT_DOUBLE_EQ(parsed->ms, 12.5);
                EXPECT_EQ(parsed->error, error) << line.toStdString();
                ++rows;
            }
}

TEST(CallLogLine, WhatChangesHowTextIsShownNeverReachesTheLineButPlainTextDoes)
{
    for (const QString& hidden : kHidden) {
        const QString text = QStringLiteral("a") + hidden + QStringLiteral("b");
        const QByteArray escaped = escapeLogField(text.toUtf8());
        EXPECT_FALSE(escaped.contains(hidden.toUtf8())) << escaped.toStdString();
        EXPECT_EQ(unescapeBytes(escaped), text.toUtf8());
    }
    // Bytes that are not UTF-8 (a stray continuation byte, an overlong
    // slash, a surrogate, a sequence cut short) come back byte for byte.
    const QByteArray raw("\x80/\xc0\xaf|\xed\xa0\x80|\xe2\x80", 12);
    const QByteArray escaped = escapeLogField(raw);
    for (const char c : escaped)
        EXPECT_TRUE(c >= 0x21 && c < 0x7f) << escaped.toStdString();
    QByteArray back;
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        if (escaped[i] == '\\' && escaped[i + 1] == 'x') {
            back += char(escaped.mid(i + 2, 2).toInt(nullptr, 16));
            i += 3;
        } else {
            back += escaped[i];
        }
    }
    EXPECT_EQ(back, raw);
    // Accents and other printable characters are written as they are.
    EXPECT_EQ(escapeLogField(QStringLiteral("São João 😀").toUtf8()),
              QStringLiteral("São\\x20João\\x20😀").toUtf8());
}

// Calls logged from many threads at once (the server's workers): every line
// whole, none lost, each parsing back to its own call.
TEST(CallLogLine, LinesFromConcurrentCallsNeverInterleave)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("calls.log"));
    constexpr int kThreads = 8;
    constexpr int kCalls = 250;
    {
        CallLog log(path);
        ASSERT_TRUE(log.isOpen());
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&log, t] {
                for (int i = 0; i < kCalls; ++i)
                    log.call(quint64(t * kCalls + i), QStringLiteral("127.0.0.%1:4000").arg(t),
                             QStringLiteral("user %1\n%2").arg(t).arg(i), "getPrincipal", i % 2, i,
                             1.5, i % 2 ? QString() : QStringLiteral("falha \"%1\"").arg(i));
            });
        for (std::thread& th : threads)
            th.join();
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QSet<quint64> seen;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.isEmpty() || !line.contains(" #"))
            continue;
        const auto call = logparser::parseLine(line);
        ASSERT_TRUE(call) << line.toStdString();
        const int t = int(call->requestId / kCalls);
        const int i = int(call->requestId % kCalls);
        EXPECT_EQ(call->user, QStringLiteral("user %1\n%2").arg(t).arg(i));
        EXPECT_EQ(call->rows, i);
        seen.insert(call->requestId);
    }
    EXPECT_EQ(seen.size(), kThreads * kCalls);
}
