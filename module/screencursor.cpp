#include "module/screencursor.h"

#include <QApplication>

namespace {
int current = crDefault;
} // namespace

void SetScreenCursor(int cursor)
{
    if (cursor == current)
        return;
    // Only one override of ours is ever on Qt's stack: others' overrides
    // (the wait animation's) nest inside or around it untouched.
    if (current != crDefault)
        QApplication::restoreOverrideCursor();
    current = cursor;
    if (cursor == crHourGlass)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (cursor != crDefault)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
}

int ScreenCursor()
{
    return current;
}
