#pragma once

namespace krt {

// Gives every table view of the application (data grids, pick lists, the
// date edits' calendars) the accessible description that screen readers
// read, in place of Qt's own. Qt's answers no cell, a null pointer, for a
// row or column outside the model, and its AT-SPI bridge calls through that
// pointer when a reader asks for a cell's extents, selection or row header:
// an empty grid, a child index past the header row, or a row count read just
// before a list reloaded kill the process. Here every cell asked for exists:
// one outside the model is an invalid cell. The children also follow the
// numbering of the view's own focus and selection events, which leave hidden
// headers out.
//
// Line edits get theirs too (lineeditaccessible.h): Qt's hangs when a reader
// asks for the word at the caret at the end of the text. So do tab bars
// (tabbaraccessible.h): Qt's reports a disabled tab as enabled.
//
// Call once after the QApplication exists and before any table view is
// shown; later calls do nothing.
void installAccessibility();

} // namespace krt
