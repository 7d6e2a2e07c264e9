// Texts longer than their field are cut after as many characters as the field
// holds, never inside a character.
#include "api/methodtable.h"
#include "appserver/db/sql.h"
#include "appserver/methods/rowwriter.h"
#include "testdatabase.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

QString written(const QString& text, quint16 size)
{
    krt::app::RowWriter out({krt::FieldDef{"DS", krt::FieldType::String, size}});
    const QByteArray utf8 = text.toUtf8();
    out.utf8("DS", std::string_view(utf8.constData(), size_t(utf8.size())));
    return out.finish().textQ(0, 0);
}

QString firstCharacters(const QString& text, int count)
{
    const QList<uint> all = text.toUcs4();
    const QList<uint> kept = all.mid(0, count);
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(kept.constData()), kept.size());
}

TEST(RowWriterTest, LongTextsAreCutAtCharacters)
{
    const QStringList texts = {
        QStringLiteral("NF 000123456 - Lanç. 0000012345 - Saída 02/03/2026 - José Ávila Conceição"),
        QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz"),
        QStringLiteral("çãõéíúàèçãõéíúàèçãõéíúàèçãõéíúàè"),
        QString::fromUtf8("\xF0\x9F\x98\x80 emoji \xF0\x9F\x98\x80\xF0\x9F\x98\x80 mais texto "
                          "\xE2\x82\xAC\xE2\x82\xAC fim"),
    };
    for (const QString& text : texts) {
        const int chars = int(text.toUcs4().size());
        for (int size = 1; size <= chars + 2; ++size)
            ASSERT_EQ(written(text, quint16(size)), firstCharacters(text, size))
                << text.toStdString() << " / " << size;
    }
}

} // namespace

// A method writes its rows by the fields of the data set it declares: a
// statement without the column of a field, a value written under another
// field than the next one, or of another type, is refused naming the method,
// the data set and the field, before any row reaches a client.
class RowsByField : public DatabaseTest
{
protected:
    krt::app::Caller caller{"teste"};
    krt::app::MethodCall inforPad{*krt::api::findMethod("getInforPad"), caller};
    krt::app::MethodCall itens{*krt::api::findMethod("getItLanctoEst"), caller};

    static QString mismatchOf(const std::function<void()>& work)
    {
        try {
            work();
        } catch (const krt::Error& e) {
            return QString::fromStdString(e.what());
        }
        return QString();
    }
};

TEST_F(RowsByField, AStatementWithoutAFieldsColumnIsRefusedBeforeAnyRow)
{
    // No row at all: the columns are known once the statement ran.
    krt::app::Query q(tdb->db().connection(),
                      QStringLiteral("SELECT CDFILIAL FROM INFORPAD WHERE CDFILIAL = 'nada'"));
    q.exec();
    krt::app::RowWriter out(inforPad);
    EXPECT_TRUE(mismatchOf([&] { out.bind(q); })
                    .startsWith("getInforPad: cdsInforPad: a consulta não tem a coluna do campo "
                                "CDSERIE"));
    EXPECT_EQ(mismatchOf([&] { out.bind(q, {"CDSERIE"}); }), QString()) << "a computed field";
    EXPECT_EQ(mismatchOf([&] { out.bind(q, {"CDSERI"}); }),
              "getInforPad: cdsInforPad: o campo calculado CDSERI não existe.");

    // Columns match by name in any case and in any order.
    tdb->generate(smallConfig());
    krt::app::Query named(tdb->db().connection(),
                          QStringLiteral("SELECT 'x' AS nada, CDSERIE AS cdserie FROM INFORPAD"));
    named.exec();
    krt::app::RowWriter copied(inforPad);
    copied.bind(named);
    while (named.next())
        copied.copy("CDSERIE");
    EXPECT_GT(copied.finish().rowCount(), 0);
}

TEST_F(RowsByField, AValueOutOfItsFieldsPlaceOrTypeIsRefused)
{
    // cdsItemProduto: CDPRODUTO, NMPRODUTO, QTITEMPROD, VRUNITITEM, VRTOTAITEM.
    krt::app::RowWriter out(itens, 1);
    out.text("CDPRODUTO", "1");
    EXPECT_EQ(mismatchOf([&] { out.number("QTITEMPROD", 1); }),
              "getItLanctoEst: cdsItemProduto: o valor de QTITEMPROD foi escrito onde o campo é "
              "NMPRODUTO.");
    krt::app::RowWriter typed(itens, 1);
    typed.text("CDPRODUTO", "1").text("NMPRODUTO", "x");
    EXPECT_EQ(mismatchOf([&] { typed.text("QTITEMPROD", "1"); }),
              "getItLanctoEst: cdsItemProduto: o campo QTITEMPROD é número, não texto.");
    krt::app::RowWriter unbound(itens, 1);
    EXPECT_EQ(mismatchOf([&] { unbound.copy("CDPRODUTO"); }),
              "getItLanctoEst: cdsItemProduto: o campo CDPRODUTO não tem coluna de onde copiar.");
}
