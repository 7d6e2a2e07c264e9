#pragma once

#include <QAccessibleInterface>

class QLineEdit;
class QObject;
class QString;

namespace krt {

// The accessible description of every line edit (the masked edits, the
// date edits' text, the pick lists' filter, the login fields), in place of
// Qt's own. Qt 6.4's answer to a screen reader asking for the word or the
// sentence at the end of the text never returns: the reader asks for it at
// the caret after each key typed, so the application froze as soon as a
// blind user typed into a field. Here the text around an offset is cut from
// the segments that QTextBoundaryFinder lists once, without walking back.
//
// Returns null for anything but a QLineEdit, so Qt's own factory answers
// the rest.
QAccessibleInterface* lineEditAccessibleFactory(const QString& className, QObject* object);

// The text a screen reader gets for `type` around `offset` in `text`, the
// way Qt numbers it: the item at the offset, or the one before or after it.
// An offset at the end of a non-empty text stands for the last item. Returns
// an empty text with -1 offsets for an offset outside the text.
enum class TextSide
{
    Before,
    At,
    After
};
QString textAround(const QString& text, int offset, QAccessible::TextBoundaryType type,
                   TextSide side, int* start, int* end);

} // namespace krt
