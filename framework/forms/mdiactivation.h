#pragma once

#include <functional>

class QMdiSubWindow;
class QObject;

namespace krt {

// Runs onActivate (through the handler boundary) every time the MDI
// subwindow becomes the active one, the first time included. Switching
// between subwindows sends the child no Show or WindowActivate event, so
// this follows the subwindow's own aboutToActivate.
void onMdiActivate(QMdiSubWindow* window, QObject* context, std::function<void()> onActivate);

} // namespace krt
