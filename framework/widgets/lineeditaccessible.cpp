#include "framework/widgets/lineeditaccessible.h"

#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QLineEdit>
#include <QTextBoundaryFinder>
#include <QValidator>

#include <vector>

namespace krt {

namespace {

// Where the items of `text` begin, and its end: for "Loja Centro." the words
// are "Loja", " ", "Centro" and ".", so 0, 4, 5, 11, 12.
std::vector<int> boundaries(const QString& text, QAccessible::TextBoundaryType type)
{
    std::vector<int> at{0};
    const int length = int(text.size());
    auto finder = [&](QTextBoundaryFinder::BoundaryType kind) {
        QTextBoundaryFinder f(kind, text);
        for (qsizetype p = f.toNextBoundary(); p > 0 && p <= length; p = f.toNextBoundary())
            at.push_back(int(p));
    };
    switch (type) {
    case QAccessible::CharBoundary:
        finder(QTextBoundaryFinder::Grapheme);
        break;
    case QAccessible::WordBoundary:
        finder(QTextBoundaryFinder::Word);
        break;
    case QAccessible::SentenceBoundary:
        finder(QTextBoundaryFinder::Sentence);
        break;
    case QAccessible::ParagraphBoundary:
    case QAccessible::LineBoundary:
    case QAccessible::NoBoundary:
        at.push_back(length); // one line: the whole text is the item
        break;
    }
    if (at.back() != length)
        at.push_back(length);
    return at;
}

class LineEditAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface
{
public:
    explicit LineEditAccessible(QLineEdit* edit)
        : QAccessibleWidget(edit, QAccessible::EditableText)
    {
    }

    QLineEdit* edit() const { return static_cast<QLineEdit*>(widget()); }

    // What a reader may read: nothing of a hidden entry, the dots of a password.
    QString shownText() const
    {
        switch (edit()->echoMode()) {
        case QLineEdit::Normal:
            return edit()->text();
        case QLineEdit::NoEcho:
            return QString();
        default:
            return edit()->displayText();
        }
    }
    bool textReadable() const { return edit()->echoMode() == QLineEdit::Normal; }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        if (t == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return shownText();
        QString s = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && s.isEmpty())
            s = edit()->placeholderText();
        return s;
    }

    void setText(QAccessible::Text t, const QString& value) override
    {
        if (t != QAccessible::Value) {
            QAccessibleWidget::setText(t, value);
            return;
        }
        if (!accepts(value))
            return;
        edit()->setText(value);
    }

    QAccessible::State state() const override
    {
        QAccessible::State st = QAccessibleWidget::state();
        st.editable = !edit()->isReadOnly();
        st.readOnly = edit()->isReadOnly();
        st.passwordEdit = edit()->echoMode() != QLineEdit::Normal;
        st.selectableText = true;
        return st;
    }

    // --- text ---
    void selection(int index, int* start, int* end) const override
    {
        *start = *end = 0;
        if (index != 0 || !edit()->hasSelectedText())
            return;
        *start = int(edit()->selectionStart());
        *end = *start + int(edit()->selectionLength());
    }
    int selectionCount() const override { return edit()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override
    {
        if (index == 0)
            edit()->deselect();
    }
    void setSelection(int index, int start, int end) override
    {
        if (index == 0)
            edit()->setSelection(start, end - start);
    }
    int cursorPosition() const override { return edit()->cursorPosition(); }
    void setCursorPosition(int position) override { edit()->setCursorPosition(position); }
    QString text(int start, int end) const override
    {
        if (!textReadable() || start < 0 || end < start)
            return QString();
        return shownText().mid(start, end - start);
    }
    int characterCount() const override { return int(shownText().size()); }

    // The caret's rectangle is the only position Qt gives out; every other
    // offset is measured from it, so a scrolled text still lands right.
    QRect characterRect(int offset) const override
    {
        const QString shown = edit()->displayText();
        if (offset < 0 || offset >= shown.size())
            return QRect();
        const QFontMetrics fm(edit()->font());
        const QRect caret = edit()->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        const int caretX = fm.horizontalAdvance(shown.left(edit()->cursorPosition()));
        const int x = caret.x() + fm.horizontalAdvance(shown.left(offset)) - caretX;
        const QRect local(x, caret.y(), fm.horizontalAdvance(shown.mid(offset, 1)), caret.height());
        return QRect(edit()->mapToGlobal(local.topLeft()), local.size());
    }
    int offsetAtPoint(const QPoint& point) const override
    {
        const QPoint local = edit()->mapFromGlobal(point);
        if (!edit()->rect().contains(local))
            return -1;
        const int count = int(edit()->displayText().size());
        for (int i = 0; i < count; ++i) {
            if (characterRect(i).contains(point))
                return i;
        }
        return -1;
    }
    void scrollToSubstring(int start, int end) override
    {
        edit()->setCursorPosition(end);
        edit()->setCursorPosition(start);
    }
    QString attributes(int offset, int* start, int* end) const override
    {
        *start = 0;
        *end = characterCount();
        if (offset < 0 || offset > *end)
            *start = *end = -1;
        return QString();
    }

    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                             int* end) const override
    {
        return around(offset, type, TextSide::Before, start, end);
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                         int* end) const override
    {
        return around(offset, type, TextSide::At, start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                            int* end) const override
    {
        return around(offset, type, TextSide::After, start, end);
    }

    // --- editing ---
    void deleteText(int start, int end) override { replaceText(start, end, QString()); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString& text) override
    {
        QString value = edit()->text();
        if (start < 0 || end < start || start > value.size())
            return;
        value.replace(start, end - start, text);
        if (!accepts(value))
            return;
        edit()->setText(value);
        edit()->setCursorPosition(start + int(text.size()));
    }

private:
    QString around(int offset, QAccessible::TextBoundaryType type, TextSide side, int* start,
                   int* end) const
    {
        if (!textReadable()) {
            *start = *end = -1;
            return QString();
        }
        if (offset == -2) // the caret
            offset = edit()->cursorPosition();
        return textAround(edit()->text(), offset, type, side, start, end);
    }

    // A value a reader sets goes through what the user's typing goes through.
    bool accepts(const QString& value) const
    {
        if (edit()->isReadOnly())
            return false;
        const QValidator* v = edit()->validator();
        if (!v)
            return true;
        QString copy = value;
        int pos = 0;
        return v->validate(copy, pos) != QValidator::Invalid;
    }
};

} // namespace

QString textAround(const QString& text, int offset, QAccessible::TextBoundaryType type,
                   TextSide side, int* start, int* end)
{
    *start = *end = -1;
    const int length = int(text.size());
    if (length == 0 || offset < 0 || offset > length)
        return QString();
    const std::vector<int> at = boundaries(text, type);
    const int items = int(at.size()) - 1;
    // The item holding the offset; the end of the text holds the last word or
    // sentence (what was just typed), but no character.
    int item = items;
    for (int i = 0; i < items; ++i) {
        if (offset < at[i + 1]) {
            item = i;
            break;
        }
    }
    if (item == items && type != QAccessible::CharBoundary)
        item = items - 1;
    if (side == TextSide::Before)
        --item;
    else if (side == TextSide::After)
        ++item;
    if (item < 0 || item >= items)
        return QString();
    *start = at[item];
    *end = at[item + 1];
    return text.mid(*start, *end - *start);
}

QAccessibleInterface* lineEditAccessibleFactory(const QString& className, QObject* object)
{
    if (className != QLatin1String("QLineEdit"))
        return nullptr;
    auto* edit = qobject_cast<QLineEdit*>(object);
    return edit ? new LineEditAccessible(edit) : nullptr;
}

} // namespace krt
