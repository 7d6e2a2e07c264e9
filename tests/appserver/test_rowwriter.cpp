// Texts longer than their field are cut after as many characters as the field
// holds, never inside a character.
#include "appserver/methods/rowwriter.h"

#include <gtest/gtest.h>

namespace {

QString written(const QString& text, quint16 size)
{
    krt::app::RowWriter out({krt::FieldDef{"DS", krt::FieldType::String, size}});
    const QByteArray utf8 = text.toUtf8();
    out.utf8(std::string_view(utf8.constData(), size_t(utf8.size())));
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
