#include "server/methodtable.h"
#include "server/packetfields.h"

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

QString errorOf(const MethodSignature& m, const QList<Variant>& args)
{
    try {
        checkArguments(m, args);
    } catch (const WireError& e) {
        return e.text();
    }
    return QString();
}

} // namespace

TEST(MethodTable, KnowsTheTwelveMethodsWithTheirShapes)
{
    EXPECT_EQ(methods().size(), 12);
    EXPECT_EQ(remoteObjectName(), QStringLiteral("Krt52600.rdmCancelaConsoli"));
    EXPECT_EQ(findMethod("getprincipal"), nullptr);
    const struct
    {
        const char* name;
        int args;
        ResultShape shape;
        int count;
    } expected[] = {{"getInforPad", 1, ResultShape::Packet, 0},
                    {"getParamVend", 1, ResultShape::Packet, 0},
                    {"getParamFilial", 1, ResultShape::Packet, 0},
                    {"getPrincipal", 10, ResultShape::Packet, 0},
                    {"getItLanctoEst", 2, ResultShape::PacketArray, 3},
                    {"getRetLanctoEstq", 7, ResultShape::PacketArray, 2},
                    {"getRetItLanctoEst", 2, ResultShape::Packet, 0},
                    {"getVendas", 6, ResultShape::Packet, 0},
                    {"getLancamento", 8, ResultShape::Packet, 0},
                    {"getPeriodoCTBOK", 3, ResultShape::Boolean, 0},
                    {"getDeletaRetiEst", 1, ResultShape::Boolean, 0},
                    {"setDeletaNF", 2, ResultShape::Boolean, 0}};
    for (const auto& e : expected) {
        const MethodSignature* m = findMethod(e.name);
        ASSERT_NE(m, nullptr) << e.name;
        EXPECT_EQ(m->args.size(), e.args) << e.name;
        EXPECT_EQ(m->result, e.shape) << e.name;
        EXPECT_EQ(m->resultCount, e.count) << e.name;
        // Every data set a result fills has a packet layout.
        for (const QString& target : m->targets)
            EXPECT_FALSE(packetFields(target).isEmpty()) << target.toStdString();
        if (e.shape == ResultShape::PacketArray) {
            EXPECT_EQ(m->targets.size(), e.count) << e.name;
        }
    }
    // Argument kinds where order matters most.
    const MethodSignature& vendas = *findMethod("getVendas");
    EXPECT_EQ(vendas.args[3].kind, ArgKind::Date);
    EXPECT_EQ(vendas.args[5].kind, ArgKind::Boolean);
    EXPECT_EQ(findMethod("setDeletaNF")->args[1].kind, ArgKind::Packet);
    EXPECT_EQ(findMethod("getRetLanctoEstq")->args[5].kind, ArgKind::Date);
}

TEST(MethodTable, ArgumentChecksNameTheMethodAndPosition)
{
    const MethodSignature& m = *findMethod("getPrincipal");
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
    EXPECT_THROW(checkResult(*findMethod("getItLanctoEst"), two), WireError);
    two.set(1, Variant());
    EXPECT_THROW(checkResult(*findMethod("getRetLanctoEstq"), two), WireError);
    EXPECT_THROW(checkResult(*findMethod("getPrincipal"), Variant(true)), WireError);
    EXPECT_THROW(checkResult(*findMethod("setDeletaNF"), Variant(1)), WireError);
    EXPECT_NO_THROW(checkResult(*findMethod("getDeletaRetiEst"), Variant(false)));
    EXPECT_THROW(checkResult(*findMethod("getDeletaRetiEst"), Variant()), WireError)
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
    EXPECT_THROW(packetFields("cdsNada"), WireError);
}
