#include "api/methodtable.h"
#include "api/packetfields.h"

#include <QFile>
#include <iterator>

#include <gtest/gtest.h>

using namespace krt;
using namespace krt::api;

namespace {

QList<Variant> principalArgs()
{
    const QDateTime day(QDate(2024, 3, 1), QTime(0, 0));
    return {Variant("0001"), Variant("L01"), Variant(""),  Variant("T"), Variant(""),
            Variant("T"),    Variant(day),   Variant(day), Variant("S"), Variant("")};
}

QString errorOf(const MethodDecl& m, const QList<Variant>& args)
{
    try {
        checkArguments(m, args);
    } catch (const Error& e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

} // namespace

// The shapes clients rely on: a change here changes the wire contract.
TEST(MethodTable, KnowsTheMethodsWithTheirShapes)
{
    EXPECT_EQ(remoteObjectName(), QStringLiteral("Krt52600.rdmCancelaConsoli"));
    EXPECT_EQ(findMethod("getprincipal"), nullptr);
    const struct
    {
        const char* name;
        int args;
        ResultShape shape;
        int count;
    } expected[] = {{"getInforPad", 1, ResultShape::Packet, 1},
                    {"getParamVend", 1, ResultShape::Packet, 1},
                    {"getParamFilial", 1, ResultShape::Packet, 1},
                    {"getPrincipal", 10, ResultShape::Packet, 1},
                    {"getItLanctoEst", 2, ResultShape::PacketArray, 3},
                    {"getRetLanctoEstq", 7, ResultShape::PacketArray, 2},
                    {"getRetItLanctoEst", 2, ResultShape::Packet, 1},
                    {"getVendas", 6, ResultShape::Packet, 1},
                    {"getLancamento", 8, ResultShape::Packet, 1},
                    {"getPeriodoCTBOK", 3, ResultShape::Boolean, 0},
                    {"getDeletaRetiEst", 1, ResultShape::Boolean, 0},
                    {"setDeletaNF", 2, ResultShape::Boolean, 0}};
    EXPECT_EQ(methods().size(), qsizetype(std::size(expected)));
    EXPECT_EQ(methods().size(), qsizetype(AllMethods::size));
    for (const auto& e : expected) {
        const MethodDecl* m = findMethod(e.name);
        ASSERT_NE(m, nullptr) << e.name;
        EXPECT_EQ(m->args.size(), size_t(e.args)) << e.name;
        EXPECT_EQ(m->result.shape, e.shape) << e.name;
        EXPECT_EQ(m->result.count, e.count) << e.name;
        // Every data set a result fills has a packet layout.
        for (int i = 0; i < m->result.count; ++i)
            EXPECT_FALSE(packetFields(m->result.sets[size_t(i)]->name).isEmpty()) << e.name;
    }
    // Argument kinds where order matters most.
    const MethodDecl& vendas = *findMethod("getVendas");
    EXPECT_EQ(vendas.args[3].kind, ArgKind::Date);
    EXPECT_EQ(vendas.args[5].kind, ArgKind::Boolean);
    EXPECT_EQ(findMethod("setDeletaNF")->args[1].kind, ArgKind::Packet);
    EXPECT_EQ(findMethod("getRetLanctoEstq")->args[5].kind, ArgKind::Date);
}

TEST(MethodTable, ArgumentChecksNameTheMethodAndPosition)
{
    const MethodDecl& m = *findMethod("getPrincipal");
    EXPECT_EQ(errorOf(m, principalArgs()), QString());

    QList<Variant> nulls = principalArgs();
    nulls[2] = Variant::null(); // a null text is the empty text
    nulls[9] = Variant();
    EXPECT_EQ(errorOf(m, nulls), QString());

    QList<Variant> shortList = principalArgs();
    shortList.removeLast();
    EXPECT_EQ(errorOf(m, shortList),
              QStringLiteral("getPrincipal: esperados 10 argumentos, recebidos 9."));

    QList<Variant> swapped = principalArgs();
    swapped[6] = Variant("01/03/2024");
    EXPECT_EQ(errorOf(m, swapped), QStringLiteral("getPrincipal: o argumento 7 (data inicial) "
                                                  "deve ser data, mas é texto."));

    EXPECT_FALSE(errorOf(*findMethod("getVendas"), {Variant("0001"), Variant(""), Variant("T"),
                                                    Variant::null(), Variant::null(), Variant("N")})
                     .isEmpty());
    EXPECT_FALSE(errorOf(*findMethod("setDeletaNF"), {Variant("0001"), Variant::null()}).isEmpty());
}

TEST(MethodTable, ResultChecksRejectTheWrongShape)
{
    const QList<FieldDef>& fields = packetFields("cdsItemVenda");
    const Packet p = Packet::empty(fields);
    Variant three = Variant::array(3);
    for (int i = 0; i < 3; ++i)
        three.set(i, p);
    EXPECT_NO_THROW(checkResult(*findMethod("getItLanctoEst"), three));
    Variant two = Variant::array(2);
    two.set(0, p);
    two.set(1, p);
    EXPECT_THROW(checkResult(*findMethod("getItLanctoEst"), two), Error);
    two.set(1, Variant());
    EXPECT_THROW(checkResult(*findMethod("getRetLanctoEstq"), two), Error);
    EXPECT_THROW(checkResult(*findMethod("getPrincipal"), Variant(true)), Error);
    EXPECT_THROW(checkResult(*findMethod("setDeletaNF"), Variant(1)), Error);
    EXPECT_NO_THROW(checkResult(*findMethod("getDeletaRetiEst"), Variant(false)));
    EXPECT_THROW(checkResult(*findMethod("getDeletaRetiEst"), Variant()), Error)
        << "the screen reads whether anything was reversed";
}

TEST(PacketFields, LayoutsAreValidAndCarryTheDeclaredSizes)
{
    for (const QString& name : packetDataSets())
        EXPECT_NO_THROW(Packet::empty(packetFields(name))) << name.toStdString();
    const QList<FieldDef>& principal = packetFields("qryPrincipal");
    ASSERT_EQ(principal.size(), 10);
    EXPECT_EQ(principal[9], (FieldDef{"NAVEGA", FieldType::String, 72}));
    EXPECT_EQ(packetFields("cdsItemVenda").size(), 20); // the calculated field stays home
    EXPECT_EQ(packetFields("cdsLancamento")[7], (FieldDef{"DTEMISSAO", FieldType::String, 10}));
    EXPECT_THROW(packetFields("cdsNada"), Error);
}

// Which methods may stream, which write and which argument is the branch the
// caller must hold: the server acts on these flags, so they are part of what
// a method declares.
TEST(MethodTable, DeclaresStreamingWritingAndTheBranchArgument)
{
    QStringList streaming, writing, noBranch;
    for (const MethodDecl& m : methods()) {
        if (m.streams)
            streaming << m.nameQ();
        if (m.writes)
            writing << m.nameQ();
        if (m.branchArg() < 0) {
            noBranch << m.nameQ();
        } else {
            EXPECT_EQ(m.branchArg(), 0) << m.name;
        }
        if (m.streams) {
            EXPECT_EQ(m.result.shape, ResultShape::Packet) << m.name;
        }
    }
    EXPECT_EQ(streaming, (QStringList{"getPrincipal", "getVendas", "getLancamento"}));
    EXPECT_EQ(writing, (QStringList{"getDeletaRetiEst", "setDeletaNF"}));
    EXPECT_EQ(noBranch, QStringList{"getDeletaRetiEst"});
    // A packet argument names the data set whose rows it carries.
    EXPECT_STREQ(findMethod("setDeletaNF")->args[1].packet->name, "qryPrincipal");
    EXPECT_STREQ(findMethod("getDeletaRetiEst")->args[0].packet->name, "cdsLanctoEstoq");
}

// The client's typed call: arguments go out as the wire values the server
// reads, and the result comes back as its declared kind or not at all.
TEST(MethodTable, TypedCallsEncodeTheDeclaredKindsAndReadTheDeclaredResult)
{
    const QDateTime day(QDate(2024, 3, 1), QTime(0, 0));
    const QList<Variant> sent =
        getVendas.arguments(QStringLiteral("0001"), QString(), QStringLiteral("T"), day, day, true);
    EXPECT_EQ(sent, (QList<Variant>{Variant("0001"), Variant(""), Variant("T"), Variant(day),
                                    Variant(day), Variant(true)}));
    EXPECT_EQ(errorOf(*findMethod("getVendas"), sent), QString());
    EXPECT_TRUE(getVendas.arguments("0001", "", "T", QDateTime(), day, false)[3].isNull())
        << "an invalid date travels as no date";

    const Packet p = Packet::empty(sets::cdsItemVenda.fields());
    Variant three = Variant::array(3);
    for (int i = 0; i < 3; ++i)
        three.set(i, p);
    EXPECT_EQ(getItLanctoEst.read(three)[2], p);
    EXPECT_THROW(getItLanctoEst.read(Variant(p)), Error);
    // Each element is checked as it is taken.
    three.set(1, Variant(true));
    EXPECT_EQ(getItLanctoEst.read(three)[2], p);
    EXPECT_THROW(getItLanctoEst.read(three)[1], Error);
    EXPECT_THROW(getRetLanctoEstq.read(Variant::array(1))[1], Error);
    EXPECT_TRUE(setDeletaNF.read(Variant(true)));
    EXPECT_THROW(setDeletaNF.read(Variant("#ERRO#")), Error);
}

// docs/protocol.md shows the table the declarations make; a method added,
// changed or removed without its line there fails here, with the line to write.
TEST(MethodTable, TheProtocolDocumentShowsTheDeclaredMethods)
{
    QFile doc(qEnvironmentVariable("KRT_SOURCE_DIR") + QStringLiteral("/docs/protocol.md"));
    ASSERT_TRUE(doc.open(QIODevice::ReadOnly)) << doc.fileName().toStdString();
    const QString text = QString::fromUtf8(doc.readAll());
    const QString begin = QStringLiteral("<!-- methods: begin -->\n");
    const qsizetype from = text.indexOf(begin);
    const qsizetype to = text.indexOf(QStringLiteral("<!-- methods: end -->"));
    ASSERT_TRUE(from >= 0 && to > from) << "the table's markers are missing";
    const QString shown = text.mid(from + begin.size(), to - from - begin.size());
    EXPECT_EQ(shown.toStdString(), methodTableMarkdown().toStdString());
}
