#pragma once

#include "framework/core/handlerboundary.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QWidget;

namespace krt {

// Enter/exit events for a widget and everything inside it (a panel, an edit).
// "Enter" means the focus came from outside the widget, "exit" that it went
// outside; moves inside, and the window losing activation, are neither.
//
// An exit handler that raises refuses the exit: the focus stays inside (the
// handler usually put it on the control concerned; if it did not, the focus is
// moved back silently to where it was) and no enter event follows for the
// widget. Other exits and enters of the same focus move are dropped: the
// controls it was going to are neither entered nor left, also when the focus
// comes back from an error box the handler showed.
// The focus going to a window itself (an MDI child when it is minimised), or
// passed on by Qt from a control it hides (a page switched away, a window
// closing), is neither: the controls keep their state until the next move.
// Handlers run through the handler boundary, exits (innermost first) before enters.
class FocusTracker : public QObject
{
    Q_OBJECT
public:
    static FocusTracker& instance();

    // Registers (or replaces) the handlers of a widget; they live as long as it does.
    void track(QWidget* widget, TNotifyEvent onEnter, TNotifyEvent onExit);
    void untrack(QWidget* widget);

    // Moves the focus without raising any enter/exit handlers.
    void setFocusSilently(QWidget* widget);

    // Whether the tracker counts the focus as inside the widget.
    bool isInside(QWidget* widget) const;

private:
    FocusTracker();
    struct Scope
    {
        QPointer<QWidget> widget;
        TNotifyEvent onEnter;
        TNotifyEvent onExit;
        bool inside = false;
        bool exiting = false;
    };

    void onFocusChanged(QWidget* old, QWidget* now);
    void recompute(QWidget* now);
    void prune();
    Scope* find(QWidget* widget);
    static int depthOf(QWidget* w);

    QList<Scope> m_scopes;
    int m_silent = 0;
    // The window whose exit handler is running (nullptr when none).
    QWidget* m_exitRoot = nullptr;
};

} // namespace krt
