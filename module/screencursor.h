#pragma once

// The application-wide mouse cursor, set the classic way: one value at a
// time, not a stack. Setting it back to the default undoes any earlier
// setting of this routine, however many there were.
enum TScreenCursor
{
    crDefault = 0,
    crHourGlass = -11
};

void SetScreenCursor(int cursor);
int ScreenCursor();
