// Every declared method (api/methods.h) against the implementation the
// server binds to it, through the dispatcher as a client reaches it: the
// shape and fields of what it answers, and how it reads each argument.
#include "apptest.h"

#include "api/methodtable.h"
#include "framework/wire/errors.h"

using krt::Packet;
using krt::Variant;
using krt::api::ArgDecl;
using krt::api::ArgKind;
using krt::api::MethodDecl;

namespace {

QString fieldsOf(const QList<krt::FieldDef>& fields)
{
    QStringList out;
    for (const krt::FieldDef& f : fields)
        out << QStringLiteral("%1:%2:%3")
                   .arg(QString::fromLatin1(f.name))
                   .arg(int(f.type))
                   .arg(f.size);
    return out.join(QLatin1Char(' '));
}

QString errorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const krt::Error& e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

// The code that selects everything for a flag of this selection.
QString allCode(const ArgDecl& a)
{
    return a.selects == krt::api::Selects::Sales ? QStringLiteral("S") : QStringLiteral("T");
}

} // namespace

class ContractTest : public AppTest
{
protected:
    // Arguments every method answers with rows on the small demo data: the
    // first invoice and withdrawal of branch 0001, every selection "all",
    // the demo's days. A text argument no sample covers fails the test by
    // its description, so that a new one gets its sample here.
    QList<Variant> sampleArgs(const MethodDecl& m)
    {
        const Packet invoices = principal("0001", "LJ01");
        const Packet withdrawals =
            obj->call(api::getRetLanctoEstq, "0001", "", "T", "", "S", first(), last())
                .at(0)
                .asPacket();
        EXPECT_GT(invoices.rowCount(), 0);
        EXPECT_GT(withdrawals.rowCount(), 0);
        const QHash<QString, QString> texts{
            {"filial", "0001"},
            {"loja", "LJ01"},
            {"filial da nota fiscal", invoices.textQ(0, 2)},
            {"número de lançamento da nota fiscal", invoices.textQ(0, 3)},
            {"filial da retirada", withdrawals.textQ(0, 0)},
            {"número do lançamento de estoque", withdrawals.textQ(0, 2)}};
        QList<Variant> args;
        for (const ArgDecl& a : m.args) {
            const QString what = QString::fromUtf8(a.description);
            switch (a.kind) {
            case ArgKind::Text:
                if (a.isFlag)
                    args << Variant(allCode(a));
                else if (a.selects != krt::api::Selects::Nothing)
                    args << Variant(QString());
                else if (texts.contains(what))
                    args << Variant(texts.value(what));
                else
                    ADD_FAILURE() << m.name << ": no sample for the text \"" << what.toStdString()
                                  << "\"";
                break;
            case ArgKind::Date:
                args << Variant(what == QLatin1String("data final") ? last() : first());
                break;
            case ArgKind::Boolean:
                args << Variant(false);
                break;
            case ArgKind::Packet:
                // Nothing to undo: the writing methods answer false.
                args << Variant(Packet::empty(a.packet->fields()));
                break;
            }
        }
        return args;
    }
};

// What each method answers is the shape it declares, each packet with the
// fields of the data set declared in its place, with rows: so every writer
// of the implementation ran against the fields it must write.
TEST_F(ContractTest, EveryMethodAnswersItsDeclaredResultWithRows)
{
    for (const MethodDecl& m : krt::api::methods()) {
        SCOPED_TRACE(m.name);
        const Variant result = obj->dispatch(m.nameQ(), sampleArgs(m), "contrato");
        ASSERT_NO_THROW(krt::api::checkResult(m, result));
        for (int i = 0; i < m.result.count; ++i) {
            const Packet p = m.result.count == 1 && result.isPacket() ? result.asPacket()
                                                                      : result.at(i).asPacket();
            const krt::api::DataSet& set = *m.result.sets[size_t(i)];
            EXPECT_EQ(fieldsOf(p.fields()), fieldsOf(set.fields())) << set.name;
            EXPECT_GT(p.rowCount(), 0) << set.name;
        }
        if (m.writes) {
            EXPECT_FALSE(result.asBool()) << "an empty packet undoes nothing";
        }
    }
}

// An argument of another kind is refused by its declared position and
// description, before the implementation runs; a missing date likewise.
TEST_F(ContractTest, EveryArgumentIsReadByItsDeclaredPositionKindAndDescription)
{
    for (const MethodDecl& m : krt::api::methods()) {
        const QList<Variant> valid = sampleArgs(m);
        for (size_t i = 0; i < m.args.size(); ++i) {
            const ArgDecl& a = m.args[i];
            const QString position = QString::number(i + 1);
            const QString description = QString::fromUtf8(a.description);
            QList<Variant> args = valid;
            args[qsizetype(i)] = a.kind == ArgKind::Text ? Variant(qint64(7)) : Variant("7");
            EXPECT_EQ(errorOf([&] { obj->dispatch(m.nameQ(), args, "contrato"); }),
                      QStringLiteral("%1: o argumento %2 (%3) deve ser %4, mas é %5.")
                          .arg(m.nameQ(), position, description, krt::api::argKindName(a.kind),
                               args[qsizetype(i)].kindName()));
            if (a.kind == ArgKind::Date) {
                args[qsizetype(i)] = Variant::null();
                EXPECT_EQ(errorOf([&] { obj->dispatch(m.nameQ(), args, "contrato"); }),
                          QStringLiteral("%1: a %2 (argumento %3) não foi informada.")
                              .arg(m.nameQ(), description, position));
            }
            if (a.kind == ArgKind::Text) {
                args[qsizetype(i)] = Variant(QStringLiteral("00") + QChar(0));
                EXPECT_EQ(errorOf([&] { obj->dispatch(m.nameQ(), args, "contrato"); }),
                          QStringLiteral("%1: o argumento %2 (%3) contém um caractere nulo.")
                              .arg(m.nameQ(), position, description));
            }
        }
    }
}

// A selection reads its list under "N" only, and its flag from the position
// declared for it: a malformed list is named by the list's position, a wrong
// flag by the flag's, and under "all" the list is not read at all.
TEST_F(ContractTest, EverySelectionReadsTheListAndFlagItsMethodDeclares)
{
    int selections = 0;
    for (const MethodDecl& m : krt::api::methods()) {
        const QList<Variant> valid = sampleArgs(m);
        for (size_t l = 0; l < m.args.size(); ++l) {
            const ArgDecl& list = m.args[l];
            if (list.selects == krt::api::Selects::Nothing || list.isFlag)
                continue;
            size_t f = 0;
            while (f < m.args.size() && !(m.args[f].isFlag && m.args[f].selects == list.selects))
                ++f;
            ASSERT_LT(f, m.args.size()) << m.name << ": a list without its flag";
            ++selections;
            QList<Variant> args = valid;
            args[qsizetype(l)] = Variant("'aberta");
            EXPECT_EQ(errorOf([&] { obj->dispatch(m.nameQ(), args, "contrato"); }), QString())
                << m.name << ": the list was read under \"all\"";
            args[qsizetype(f)] = Variant("N");
            EXPECT_TRUE(
                errorOf([&] { obj->dispatch(m.nameQ(), args, "contrato"); })
                    .startsWith(QStringLiteral("%1: a lista do argumento %2 está malformada")
                                    .arg(m.nameQ())
                                    .arg(l + 1)))
                << m.name << " " << list.description;
            args[qsizetype(f)] = Variant("X");
            EXPECT_TRUE(errorOf([&] { obj->dispatch(m.nameQ(), args, "contrato"); })
                            .startsWith(QStringLiteral("%1: o indicador do argumento %2 deve ser")
                                            .arg(m.nameQ())
                                            .arg(f + 1)))
                << m.name << " " << m.args[f].description;
        }
    }
    EXPECT_GT(selections, 0);
}
