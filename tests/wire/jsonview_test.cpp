#include "framework/wire/jsonview.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace krt;

namespace {

Packet sample()
{
    PacketWriter w({{"NM", FieldType::String, 10},
                    {"DT", FieldType::DateTime, 0},
                    {"QT", FieldType::Float, 0}});
    w.addText(QStringLiteral("João \"Zé\""));
    w.addDateTime(QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5, 6)));
    w.addNull();
    return w.finish();
}

} // namespace

TEST(JsonView, RendersPacketsCallsAndRepliesReadably)
{
    EXPECT_EQ(
        packetToJson(sample(), -1),
        R"({"fields":[{"name":"NM","size":10,"type":"string"},{"name":"DT","type":"datetime"},)"
        R"({"name":"QT","type":"float"}],"rows":[["João \"Zé\"","2024-01-02T03:04:05.006",null]]})");
    const QByteArray call = encodeCall("O", "m", {Variant(), Variant(true), Variant(sample())});
    const std::string text = wireBytesToJson(call, -1);
    EXPECT_NE(text.find(R"("args":[{"unassigned":true},true,{"packet":)"), std::string::npos)
        << text;
    EXPECT_EQ(wireBytesToJson(encodeErrorReply(QStringLiteral("falhou")), -1),
              R"({"error":"falhou"})");
    EXPECT_THROW(wireBytesToJson("nonsense"), Error);
}

TEST(JsonView, DumpToolPrintsAFileAndFailsClearlyOnGarbage)
{
    const QString binDir =
        qEnvironmentVariable("KRT_BIN_DIR", QCoreApplication::applicationDirPath());
    const QString tool = binDir + "/krt-packet-dump";
    QTemporaryDir dir;
    QFile good(dir.filePath("p.bin"));
    ASSERT_TRUE(good.open(QIODevice::WriteOnly));
    good.write(sample().bytes());
    good.close();
    QFile bad(dir.filePath("bad.bin"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(sample().bytes().left(20));
    bad.close();

    QProcess p;
    p.start(tool, {good.fileName(), "--compacto"});
    ASSERT_TRUE(p.waitForFinished(10000)) << tool.toStdString();
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(p.readAllStandardOutput().trimmed().toStdString(), packetToJson(sample(), -1));

    p.start(tool, {bad.fileName()});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(p.readAllStandardError().contains("malformado"));
}
