// What a screen reader reads and edits in the framework's line edits.
#include "framework/widgets/accessibility.h"
#include "framework/widgets/dateeditplus.h"
#include "framework/widgets/lineeditaccessible.h"
#include "framework/widgets/maskedit.h"
#include "tests/core/scriptedtest.h"

#include <QAccessible>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>

namespace {

using krt::TextSide;

struct Piece
{
    QString text;
    int start;
    int end;
    bool operator==(const Piece&) const = default;
};

void PrintTo(const Piece& p, std::ostream* os)
{
    *os << '"' << p.text.toStdString() << "\" " << p.start << ' ' << p.end;
}

Piece around(const QString& text, int offset, QAccessible::TextBoundaryType type, TextSide side)
{
    Piece p;
    p.text = krt::textAround(text, offset, type, side, &p.start, &p.end);
    return p;
}

const Piece none{QString(), -1, -1};

TEST(TextAround, WordsBeforeAtAndAfterEveryOffsetTheEndOfTheTextIncluded)
{
    const QString t = QStringLiteral("Loja Centro");
    const Piece loja{QStringLiteral("Loja"), 0, 4};
    const Piece space{QStringLiteral(" "), 4, 5};
    const Piece centro{QStringLiteral("Centro"), 5, 11};
    const auto w = QAccessible::WordBoundary;
    for (int offset = 0; offset < 4; ++offset) {
        EXPECT_EQ(around(t, offset, w, TextSide::At), loja) << offset;
        EXPECT_EQ(around(t, offset, w, TextSide::Before), none) << offset;
        EXPECT_EQ(around(t, offset, w, TextSide::After), space) << offset;
    }
    EXPECT_EQ(around(t, 4, w, TextSide::At), space);
    EXPECT_EQ(around(t, 7, w, TextSide::Before), space);
    EXPECT_EQ(around(t, 7, w, TextSide::After), none);
    // The caret after the last letter typed: the word just typed.
    EXPECT_EQ(around(t, 11, w, TextSide::At), centro);
    EXPECT_EQ(around(t, 11, w, TextSide::Before), space);
    EXPECT_EQ(around(t, 11, w, TextSide::After), none);
    EXPECT_EQ(around(t, 12, w, TextSide::At), none);
    EXPECT_EQ(around(t, -1, w, TextSide::At), none);
    EXPECT_EQ(around(QString(), 0, w, TextSide::At), none);

    const auto s = QAccessible::SentenceBoundary;
    EXPECT_EQ(around(QStringLiteral("Sem caixas. Sem vendas"), 22, s, TextSide::At),
              (Piece{QStringLiteral("Sem vendas"), 12, 22}));
    EXPECT_EQ(around(QStringLiteral("Sem caixas. Sem vendas"), 22, s, TextSide::Before),
              (Piece{QStringLiteral("Sem caixas. "), 0, 12}));
}

TEST(TextAround, CharactersEndBeforeTheCaretAndALineIsTheWholeText)
{
    const QString t = QStringLiteral("0001");
    const auto c = QAccessible::CharBoundary;
    EXPECT_EQ(around(t, 0, c, TextSide::At), (Piece{QStringLiteral("0"), 0, 1}));
    EXPECT_EQ(around(t, 4, c, TextSide::At), none);
    EXPECT_EQ(around(t, 4, c, TextSide::Before), (Piece{QStringLiteral("1"), 3, 4}));
    EXPECT_EQ(around(t, 3, c, TextSide::After), none);
    // "ç" typed as c and a combining cedilla is one character to the reader.
    const QString decomposed = QStringLiteral("Cac\u0327a");
    EXPECT_EQ(around(decomposed, 2, c, TextSide::At), (Piece{QStringLiteral("c\u0327"), 2, 4}));

    for (const auto type :
         {QAccessible::LineBoundary, QAccessible::ParagraphBoundary, QAccessible::NoBoundary}) {
        EXPECT_EQ(around(t, 4, type, TextSide::At), (Piece{t, 0, 4}));
        EXPECT_EQ(around(t, 2, type, TextSide::Before), none);
        EXPECT_EQ(around(t, 2, type, TextSide::After), none);
    }
}

class LineEditReading : public ScriptedTest
{
protected:
    void SetUp() override
    {
        ScriptedTest::SetUp();
        krt::installAccessibility();
    }

    static QAccessibleInterface* of(QWidget* w) { return QAccessible::queryAccessibleInterface(w); }
};

TEST_F(LineEditReading, EveryKindOfEditAnswersTheWordAtTheCaretAtTheEndOfItsText)
{
    // Qt's own line edit answer never returned here: the host froze as soon
    // as a reader asked after a key typed.
    QLineEdit plain(QStringLiteral("Loja Centro"));
    TMaskEdit masked;
    masked.setEditMask(QStringLiteral(">aaaa;0; "));
    masked.setText(QStringLiteral("abcd"));
    TDateEditPlus date;
    date.setText(QStringLiteral("01/12/2026"));
    for (QWidget* w : std::initializer_list<QWidget*>{&plain, &masked, &date}) {
        QAccessibleTextInterface* text = of(w)->textInterface();
        ASSERT_NE(text, nullptr) << w->metaObject()->className();
        const int end = text->characterCount();
        ASSERT_GT(end, 0);
        int start = -9, stop = -9;
        for (const auto type : {QAccessible::WordBoundary, QAccessible::SentenceBoundary}) {
            EXPECT_FALSE(text->textAtOffset(end, type, &start, &stop).isEmpty());
            EXPECT_EQ(stop, end);
            EXPECT_FALSE(text->textAtOffset(-2, type, &start, &stop).isEmpty()); // the caret
        }
    }
    EXPECT_EQ(of(&masked)->text(QAccessible::Value), QStringLiteral("ABCD"));
    EXPECT_EQ(of(&plain)->role(), QAccessible::EditableText);
}

TEST_F(LineEditReading, NamesSelectionsAndPasswordsReadAsTheUserSeesThem)
{
    QWidget form;
    QLabel label(QStringLiteral("&Filial:"), &form);
    QLineEdit edit(&form);
    label.setBuddy(&edit);
    edit.setText(QStringLiteral("0001 Matriz"));
    EXPECT_EQ(of(&edit)->text(QAccessible::Name), QStringLiteral("Filial:"));
    QLineEdit filter;
    filter.setPlaceholderText(QStringLiteral("Filtrar"));
    EXPECT_EQ(of(&filter)->text(QAccessible::Name), QStringLiteral("Filtrar"));

    QAccessibleTextInterface* text = of(&edit)->textInterface();
    text->setSelection(0, 5, 11);
    EXPECT_EQ(edit.selectedText(), QStringLiteral("Matriz"));
    int start = 0, end = 0;
    ASSERT_EQ(text->selectionCount(), 1);
    text->selection(0, &start, &end);
    EXPECT_EQ(start, 5);
    EXPECT_EQ(end, 11);
    text->removeSelection(0);
    EXPECT_EQ(text->selectionCount(), 0);
    EXPECT_EQ(text->text(5, 11), QStringLiteral("Matriz"));

    QLineEdit password;
    password.setEchoMode(QLineEdit::Password);
    password.setText(QStringLiteral("segredo"));
    QAccessibleInterface* secret = of(&password);
    EXPECT_TRUE(secret->state().passwordEdit);
    EXPECT_NE(secret->text(QAccessible::Value), QStringLiteral("segredo"));
    EXPECT_TRUE(secret->textInterface()->text(0, 7).isEmpty());
    EXPECT_TRUE(secret->textInterface()
                    ->textAtOffset(3, QAccessible::WordBoundary, &start, &end)
                    .isEmpty());
    EXPECT_EQ(start, -1);
}

TEST_F(LineEditReading, AReaderEditsOnlyWhatTheUserCouldType)
{
    QLineEdit number;
    QIntValidator digits(0, 9999);
    number.setValidator(&digits);
    number.setText(QStringLiteral("12"));
    QAccessibleInterface* a = of(&number);
    QAccessibleEditableTextInterface* editing = a->editableTextInterface();
    ASSERT_NE(editing, nullptr);
    editing->insertText(2, QStringLiteral("34"));
    EXPECT_EQ(number.text(), QStringLiteral("1234"));
    EXPECT_EQ(number.cursorPosition(), 4);
    editing->insertText(0, QStringLiteral("x"));
    a->setText(QAccessible::Value, QStringLiteral("abc"));
    EXPECT_EQ(number.text(), QStringLiteral("1234"));
    editing->deleteText(0, 2);
    EXPECT_EQ(number.text(), QStringLiteral("34"));
    editing->replaceText(0, 2, QStringLiteral("7"));
    EXPECT_EQ(number.text(), QStringLiteral("7"));

    number.setReadOnly(true);
    EXPECT_TRUE(a->state().readOnly);
    EXPECT_FALSE(a->state().editable);
    editing->insertText(1, QStringLiteral("8"));
    a->setText(QAccessible::Value, QStringLiteral("9"));
    EXPECT_EQ(number.text(), QStringLiteral("7"));
}

} // namespace
