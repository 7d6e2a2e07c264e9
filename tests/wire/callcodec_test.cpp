#include "framework/wire/callcodec.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace krt;

namespace {

Packet smallPacket()
{
    PacketWriter w({{"CDLOJA", FieldType::String, 10}, {"NMLOJA", FieldType::String, 50}});
    w.addText(QStringLiteral("L01"));
    w.addText(QStringLiteral("Loja São João"));
    return w.finish();
}

} // namespace

TEST(CallCodec, CallWithEveryKindOfArgumentRoundTrips)
{
    QList<Variant> args{Variant(),
                        Variant::null(),
                        Variant(false),
                        Variant(qint64(-9000000000LL)),
                        Variant(3.25),
                        Variant(QStringLiteral("'0001','0002'")),
                        Variant(QString()),
                        Variant(QDateTime(QDate(2023, 12, 31), QTime(13, 45, 1, 7))),
                        Variant(smallPacket()),
                        Variant(QList<Variant>{Variant(1), Variant(QList<Variant>{Variant("x")})})};
    const Call call =
        decodeCall(encodeCall("Krt52600.rdmCancelaConsoli", QStringLiteral("getPrincipal"), args));
    EXPECT_EQ(call.object, QStringLiteral("Krt52600.rdmCancelaConsoli"));
    EXPECT_EQ(call.method, QStringLiteral("getPrincipal"));
    ASSERT_EQ(call.args.size(), args.size());
    for (qsizetype i = 0; i < args.size(); ++i)
        EXPECT_TRUE(call.args[i] == args[i]) << "argument " << i;
    EXPECT_TRUE(call.args[0].isUnassigned());
    EXPECT_TRUE(call.args[1].isNull());
    EXPECT_EQ(call.args[8].asPacket().textQ(0, 1), QStringLiteral("Loja São João"));
}

TEST(CallCodec, RepliesCarryResultsOrTheServersErrorText)
{
    Variant result = Variant::array(3);
    result.set(0, smallPacket());
    result.set(2, Packet::empty({{"X", FieldType::Integer, 0}}));
    const Variant back = decodeReply(encodeReply(result));
    ASSERT_TRUE(back.isArray());
    ASSERT_EQ(back.size(), 3);
    EXPECT_EQ(back.at(0).asPacket(), smallPacket());
    EXPECT_TRUE(back.at(1).isUnassigned());
    EXPECT_EQ(back.at(2).asPacket().rowCount(), 0);

    EXPECT_TRUE(decodeReply(encodeReply(Variant())).isUnassigned());

    // The pieces a server sends are the same bytes, with the packets' buffers
    // shared rather than copied.
    const QList<QByteArray> pieces = encodeReplyPieces(result);
    EXPECT_EQ(pieces.join(), encodeReply(result));
    EXPECT_TRUE(std::any_of(pieces.begin(), pieces.end(), [&](const QByteArray& piece) {
        return piece.constData() == result.at(0).asPacket().bytes().constData();
    }));
    EXPECT_EQ(QList<QByteArray>{encodeReply(Variant(true))}, encodeReplyPieces(Variant(true)));

    try {
        decodeReply(
            encodeErrorReply(QStringLiteral("Erro no método setDeletaNF: período fechado")));
        FAIL() << "error reply decoded as a result";
    } catch (const Error& e) {
        EXPECT_EQ(e.text(), QStringLiteral("Erro no método setDeletaNF: período fechado"));
    }
    const Reply full = decodeReplyFull(encodeErrorReply(QStringLiteral("x")));
    EXPECT_TRUE(full.isError);
    EXPECT_EQ(full.errorCode, krt::ErrorCode::Unspecified);
    // A call is not a reply and a reply is not a call.
    EXPECT_THROW(decodeReply(encodeCall("O", "m", {})), Error);
    EXPECT_THROW(decodeCall(encodeReply(Variant(true))), Error);
}

TEST(VariantKinds, WrongKindThrowsAClearTextAndCopiesAreIndependent)
{
    const Variant text(QStringLiteral("abc"));
    try {
        text.asPacket();
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().startsWith(QStringLiteral("valor não é um pacote de dados")))
            << e.text().toStdString();
    }
    EXPECT_THROW(Variant().asBool(), Error);
    EXPECT_THROW(Variant::null().asString(), Error);
    EXPECT_THROW(text.at(0), Error);
    EXPECT_DOUBLE_EQ(Variant(4).asFloat(), 4.0);
    EXPECT_THROW(Variant(4.5).asInteger(), Error);

    Variant a = Variant::array(2);
    EXPECT_THROW(a.at(2), Error);
    EXPECT_THROW(a.set(-1, Variant(1)), Error);
    Variant b = a;
    b.set(0, Variant(true));
    EXPECT_TRUE(a.at(0).isUnassigned()); // copy-on-write, not shared
    EXPECT_TRUE(b.at(0).asBool());
    EXPECT_FALSE(a == b);
    // A null date-time is a null value, not a broken date.
    EXPECT_TRUE(Variant(QDateTime()).isNull());
}

TEST(CallCodec, AnErrorReplysCodeAndMethodSurviveTheRoundTrip)
{
    const QString text = QStringLiteral("Erro no método getPrincipal: falha no banco de dados do "
                                        "servidor (pedido #7; detalhes no log do servidor).");
    const QByteArray bytes =
        encodeErrorReply(krt::ErrorCode::DatabaseFailure, QStringLiteral("getPrincipal"), text);
    try {
        decodeReply(bytes);
        FAIL() << "error reply decoded as a result";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), krt::ErrorCode::DatabaseFailure);
        EXPECT_EQ(e.method(), QStringLiteral("getPrincipal"));
        EXPECT_EQ(e.text(), text);
    }
    // A code this side does not know yet is kept as it came.
    const Reply later = decodeReplyFull(encodeErrorReply(krt::ErrorCode(77), {}, "x"));
    EXPECT_EQ(int(later.errorCode), 77);
    EXPECT_EQ(encodeErrorReply(later.errorCode, later.errorMethod, later.errorText),
              encodeErrorReply(krt::ErrorCode(77), {}, "x"));
    // One encoding per reply: the shaped form without code and method is refused.
    QByteArray shapeless = encodeErrorReply(krt::ErrorCode::Refused, {}, "x");
    shapeless[6] = 0;
    shapeless[7] = 0;
    EXPECT_THROW(decodeReply(shapeless), Error);
}

TEST(CallCodec, ACallDecodesIntoNoMoreThanItsOwnSizeAndFourMegabytes)
{
    const QString object = QStringLiteral("Krt52600.rdmCancelaConsoli");
    // A packet argument shares the body's bytes: it outlives the body the
    // caller held and reads back as sent, its own memory only its table.
    PacketWriter w({{"NRNOTA", FieldType::String, 10}, {"VLNOTA", FieldType::Float, 0}});
    for (int i = 0; i < 20000; ++i) {
        w.addText(QString::number(i).rightJustified(10, u'0'));
        w.addNumber(i * 1.5);
    }
    const Packet sent = w.finish();
    Packet received;
    {
        QByteArray body = encodeCall(object, QStringLiteral("setDeletaNF"), {Variant(sent)});
        received = decodeCall(body).args.at(0).asPacket();
        body = QByteArray();
    }
    EXPECT_TRUE(received == sent);
    EXPECT_EQ(received.bytes(), sent.bytes());
    EXPECT_EQ(received.textQ(19999, 0), QStringLiteral("0000019999"));
    EXPECT_LT(received.memoryBytes(), sent.bytes().size() + 20001 * 3 * 4 + 1024);

    // 5 MiB of one-byte characters would take 10 MiB as text: refused. The
    // same bytes as two-byte characters take 5 MiB: accepted.
    const QByteArray ascii = encodeCall(object, QStringLiteral("getParamVend"),
                                        {Variant(QString(5 << 20, QLatin1Char('a')))});
    try {
        decodeCall(ascii);
        ADD_FAILURE() << "a text twice its size in memory was decoded";
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("memória"))) << e.text().toStdString();
    }
    const QByteArray accented = encodeCall(object, QStringLiteral("getParamVend"),
                                           {Variant(QString(5 << 19, QChar(0xE9)))});
    EXPECT_EQ(decodeCall(accented).args.at(0).asString().size(), 5 << 19);
    // Replies keep their wider budget: the client decodes those.
    EXPECT_EQ(
        decodeReply(encodeReply(Variant(QString(5 << 20, QLatin1Char('a'))))).asString().size(),
        5 << 20);
}

// One error type crosses the wire: its code picks the HTTP status, a method's
// own failure is told under the method's name, a refusal as it is, and a
// code found locally never travels as such.
TEST(ErrorReply, AnErrorTravelsAsItsCodeMethodAndText)
{
    using krt::ErrorCode;
    const krt::Error refused(ErrorCode::Refused, "período fechado", "setDeletaNF");
    EXPECT_EQ(krt::httpStatusFor(refused.code()), 200);
    EXPECT_STREQ(refused.what(), "setDeletaNF: período fechado");
    try {
        krt::decodeReply(krt::encodeErrorReply(refused));
        FAIL() << "an error reply decoded as a result";
    } catch (const krt::Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::Refused);
        EXPECT_EQ(e.method(), QStringLiteral("setDeletaNF"));
        EXPECT_EQ(e.text(), QStringLiteral("Erro no método setDeletaNF: período fechado"));
    }

    const krt::Error unknown(ErrorCode::UnknownMethod, "Método desconhecido: \"x\".", "x");
    EXPECT_EQ(krt::httpStatusFor(unknown.code()), 404);
    EXPECT_EQ(krt::replyText(unknown), unknown.text());
    EXPECT_EQ(krt::httpStatusFor(ErrorCode::AccessDenied), 403);
    EXPECT_EQ(krt::replyText(krt::Error(ErrorCode::AccessDenied, "filial 0002", "getX")),
              QStringLiteral("Erro no método getX: filial 0002"));

    EXPECT_EQ(krt::replyCode(krt::Error(ErrorCode::Malformed, "x")), ErrorCode::BadRequest);
    EXPECT_EQ(krt::replyCode(krt::Error(ErrorCode::Transport, "x")), ErrorCode::ServerFailure);
}
