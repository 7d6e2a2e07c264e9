#pragma once

class QWidget;

namespace krt {

// Gives a dialog or message box the frame a window manager shows for a
// dialog: a title and a close button, no minimise and no maximise. Qt asks
// the window manager for every button unless the window lists its hints.
void useDialogFrame(QWidget* dialog);

} // namespace krt
