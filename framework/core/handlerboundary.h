#pragma once

#include <QObject>
#include <functional>

class QAbstractButton;
class QAction;

// Every call from Qt into application code (clicks, menu commands, focus
// enter/exit, grid cursor moves, timers) runs through this one boundary so that
// no exception ever reaches Qt's event loop.
namespace krt {

// Handler signature used across the framework: the object that raised the event.
using TNotifyEvent = std::function<void(QObject* Sender)>;

// Runs fn; any exception (EKrtError, krt::Error, std::exception, anything
// else) is caught and its text is shown through hostServices().showError.
// EAbort is swallowed silently. `name` identifies the handler in diagnostics.
void invokeHandler(const char* name, std::function<void()> fn);

// Same as invokeHandler but tells whether fn ran to its end (false when it raised).
bool invokeHandlerChecked(const char* name, std::function<void()> fn);

// Wires QAbstractButton::clicked through the boundary, passing the button as sender.
QMetaObject::Connection connectClick(QAbstractButton* button, TNotifyEvent fn,
                                     const char* name = "OnClick");

// Wires QAction::triggered through the boundary, passing the action as sender.
QMetaObject::Connection connectTriggered(QAction* action, TNotifyEvent fn,
                                         const char* name = "OnClick");

// Runs fn through the boundary on the next turn of the event loop.
void postHandler(QObject* context, const char* name, std::function<void()> fn);

} // namespace krt
