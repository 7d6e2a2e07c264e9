#include "framework/core/errors.h"
#include "framework/data/clientdataset.h"
#include "framework/data/fieldlayout.h"
#include "tests/data/testpackets.h"

#include <gtest/gtest.h>

namespace {

using krt::FieldType;

// A set with one field of each type, loaded with one full and one null row.
struct FieldsFixture : ::testing::Test
{
    TClientDataSet ds;
    TStringField* code = nullptr;
    TFloatField* value = nullptr;
    TFloatField* qty = nullptr;
    TDateTimeField* date = nullptr;
    TBooleanField* flag = nullptr;
    TIntegerField* count = nullptr;

    void SetUp() override
    {
        ds.setObjectName("cdsTeste");
        code = ds.addStringField("CDCODIGO", 10, "Código");
        value = ds.addFloatField("VRTOTAL", "Total", "#,##0.00");
        qty = ds.addFloatField("QTITEM", "Qtde.", "#0.000");
        qty->setEditFormat("#0.000");
        date = ds.addDateTimeField("DTVENDA", "Data");
        flag = ds.addBooleanField("IDATIVO", "Ativo");
        count = ds.addIntegerField("NRITENS");
        ds.setData(
            makePacket({textDef("CDCODIGO", 10), def("VRTOTAL", FieldType::Float),
                        def("QTITEM", FieldType::Float), def("DTVENDA", FieldType::DateTime),
                        def("IDATIVO", FieldType::Boolean), def("NRITENS", FieldType::Integer)},
                       {{"123", 1234.5, 2.0, QDateTime(QDate(2026, 1, 2), QTime(0, 0)), true, 7},
                        {QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()}}));
    }
};

TEST_F(FieldsFixture, DisplayTextFollowsEachTypesFormat)
{
    EXPECT_EQ(code->DisplayText(), "123");
    EXPECT_EQ(value->DisplayText(), "1.234,50");
    EXPECT_EQ(value->Text(), "1234,5"); // no edit picture: plain number
    EXPECT_EQ(qty->DisplayText(), "2,000");
    EXPECT_EQ(qty->Text(), "2,000");
    EXPECT_EQ(date->DisplayText(), "02/01/2026");
    EXPECT_EQ(flag->DisplayText(), "Sim");
    flag->setDisplayValues("S;N");
    EXPECT_EQ(flag->DisplayText(), "S");
    EXPECT_EQ(count->DisplayText(), "7");
    code->setEditMask("9.99;0;_"); // literals not stored: shown through the mask
    EXPECT_EQ(code->DisplayText(), "1.23");
    EXPECT_EQ(code->AsString(), "123");
    code->setEditMask(">99.99.aaa;0;_");
    EXPECT_EQ(code->DisplayText(), "12.3_.___");
    code->setEditMask("99.99;1;_"); // literals stored with the value
    EXPECT_EQ(code->DisplayText(), "123");
    code->setEditMask("99.99"); // no save flag: the literals are stored, as the edit keeps them
    EXPECT_EQ(code->DisplayText(), "123");

    ds.Next(); // the null row: every text empty, IsNull everywhere
    for (TField* f : ds.Fields()) {
        EXPECT_TRUE(f->IsNull()) << f->FieldName().toStdString();
        EXPECT_EQ(f->DisplayText(), "") << f->FieldName().toStdString();
    }
    EXPECT_EQ(value->AsFloat(), 0.0);
    EXPECT_FALSE(date->AsDateTime().isValid());
}

TEST_F(FieldsFixture, ConversionsBetweenTypes)
{
    EXPECT_EQ(code->AsInteger(), 123);
    EXPECT_DOUBLE_EQ(code->AsFloat(), 123.0);
    EXPECT_EQ(value->AsString(), "1234,5");
    EXPECT_EQ(value->AsInteger(), 1235); // rounds, as a person would
    EXPECT_EQ(count->AsString(), "7");
    EXPECT_TRUE(flag->AsBoolean());
    EXPECT_EQ(date->AsString(), "02/01/2026");
    EXPECT_EQ(date->Value().toDateTime(), QDateTime(QDate(2026, 1, 2), QTime(0, 0)));

    // A text that is not a number names the value and the field.
    TClientDataSet other;
    auto* text = other.addStringField("NMCLIENTE", 20);
    other.setData(makePacket({textDef("NMCLIENTE", 20)}, {{"abc"}}));
    try {
        text->AsFloat();
        FAIL() << "no error";
    } catch (const EKrtError& e) {
        EXPECT_TRUE(e.text().contains("'abc'"));
        EXPECT_TRUE(e.text().contains("NMCLIENTE"));
    }
    EXPECT_THROW(text->AsDateTime(), EKrtError);
    EXPECT_THROW(text->AsBoolean(), EKrtError);
}

TEST_F(FieldsFixture, OnGetTextReceivesTheFormattedTextAndMayReplaceIt)
{
    QStringList seen;
    value->OnGetText = [&](TField* sender, QString& text, bool display) {
        EXPECT_EQ(sender, value);
        seen << text;
        if (display)
            text = "R$ " + text;
    };
    EXPECT_EQ(value->DisplayText(), "R$ 1.234,50");
    EXPECT_EQ(value->Text(), "1234,5");
    EXPECT_EQ(seen, QStringList({"1.234,50", "1234,5"}));
    // The handler reads the record being displayed, also for other rows.
    code->OnGetText = [&](TField* sender, QString& text, bool) {
        text = sender->IsNull() ? "vazio" : text + "/" + count->AsString();
    };
    EXPECT_EQ(code->DisplayTextAt(0), "123/7");
    EXPECT_EQ(code->DisplayTextAt(1), "vazio");
    EXPECT_EQ(ds.RecNo(), 1);
}

TEST(FieldDefinition, PropertiesDefaultsAndGuards)
{
    TClientDataSet ds;
    ds.setObjectName("qryPrincipal");
    auto* f = ds.addField<TStringField>("NAVEGA", 72);
    f->setVisible(false);
    auto* plain = ds.addField<TStringField>("CDSERIE");
    auto* total = ds.addFloatField("TOTITEM", "Total", "#,##0.00", false);

    EXPECT_EQ(plain->Size(), 20);
    EXPECT_EQ(plain->DisplayLabel(), "CDSERIE"); // no label: the name
    EXPECT_EQ(total->Alignment(), taRightJustify);

    EXPECT_THROW(ds.addField<TStringField>("navega", 5), EKrtError); // same name, any case
    ds.Open();
    EXPECT_THROW(ds.addField<TStringField>("OUTRO", 5), EKrtError);
    EXPECT_THROW(total->setFieldKind(fkCalculated), EKrtError);
    // Data fields of a read-only set cannot be written.
    EXPECT_THROW(f->setValue("x"), EKrtError);
    EXPECT_EQ(ds.FieldCount(), 3);
}

TEST(FieldDefinition, AFieldJoinsItsSetOnlyWhenAdoptedAndOnlyThatSet)
{
    TClientDataSet ds, other;
    ds.setObjectName("cdsVenda");
    auto made = std::make_unique<TStringField>(&ds, "CDCAIXA", 7);
    EXPECT_EQ(made->Index(), -1);
    EXPECT_EQ(ds.FieldCount(), 0) << "constructing a field does not register it";

    TField* adopted = ds.adoptField(std::move(made));
    EXPECT_EQ(adopted->Index(), 0);
    EXPECT_EQ(ds.FindField("cdcaixa"), adopted);

    // A field made for another set, or a second of the same name, is refused
    // and destroyed with its unique_ptr: nothing is left half-registered.
    EXPECT_THROW(ds.adoptField(std::make_unique<TStringField>(&other, "NRVENDA")), EKrtError);
    EXPECT_THROW(ds.adoptField(std::make_unique<TStringField>(&ds, "CDCAIXA")), EKrtError);
    EXPECT_EQ(ds.FieldCount(), 1);
    EXPECT_EQ(other.FieldCount(), 0);
    EXPECT_EQ(ds.addField<TFloatField>("VRTOTAL")->Index(), 1);
}
} // namespace

TEST(FieldLayout, FieldsComeFromThePacketAndLooksOnlyPresentThem)
{
    const QList<krt::FieldDef> defs{{"CDLOJA", FieldType::String, 10},
                                    {"VRTOTAL", FieldType::Float, 0},
                                    {"DTVENDA", FieldType::DateTime, 0}};
    TClientDataSet ds;
    ds.setObjectName("cdsLoja");
    krt::defineFields(ds, defs, {{"VRTOTAL", "Total", false, "#,##0.00"}});
    EXPECT_EQ(ds.Data().fields(), defs);
    auto* total = krt::fieldAs<TFloatField>(ds, "VRTOTAL");
    EXPECT_EQ(total->DisplayLabel(), QStringLiteral("Total"));
    EXPECT_FALSE(total->Visible());
    EXPECT_EQ(total->DisplayFormat(), QStringLiteral("#,##0.00"));
    EXPECT_TRUE(krt::fieldAs<TStringField>(ds, "CDLOJA")->Visible());
    EXPECT_EQ(krt::fieldAs<TStringField>(ds, "CDLOJA")->Size(), 10);
    // The screen expecting another type, or a field the packet lacks, fails
    // when the data set is built.
    EXPECT_THROW(krt::fieldAs<TStringField>(ds, "VRTOTAL"), EKrtError);
    TClientDataSet other;
    EXPECT_THROW(krt::defineFields(other, defs, {{"NMLOJA", "Nome"}}), EKrtError);
}
