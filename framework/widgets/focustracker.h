#pragma once

#include "framework/core/handlerboundary.h"

#include <QHash>
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
//
// One rule decides what counts: the user's own moves between the controls of
// a window (a key, a click, or the program moving the focus on the user's
// behalf) enter and leave; focus that the window system or Qt moves on its
// own does not. A window getting the focus back when it is activated again (a
// dialog, message box or pick list closed, the window manager's doing, the
// user back from another window) gets it where it was: when a handler showed
// a window, on the control that handler's move went to, whatever control the
// window manager or the MDI area chose; otherwise a control the program chose
// while the window was away counts as that move, made now. Nor do the window
// itself taking the focus (an MDI child minimised) or Qt passing it on from a
// control it hides (a page switched away, a window closing) count: the
// controls keep their state until the next move.
// Handlers run through the handler boundary, exits (innermost first) before enters.
// QT_LOGGING_RULES="krt.focus.debug=true" logs every change with its reason
// and how it was judged.
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

    bool eventFilter(QObject* watched, QEvent* event) override;
    void onFocusChanged(QWidget* old, QWidget* now);
    // Why the focus came to `now`, as the focus-in event Qt sent it said.
    Qt::FocusReason reasonFor(QWidget* now) const;
    // False for what Qt does with the focus on its own (see above).
    bool isOwnMove(QWidget* old, QWidget* now);
    // Runs the enters and exits of a move from `old` to `now`.
    void judgeMove(QWidget* old, QWidget* now);
    // Runs a scope's handler; notes where the focus belongs when it showed a window.
    bool runHandler(const char* name, QWidget* scope, const TNotifyEvent& handler);
    // Puts the focus of a window back where a handler's move left it.
    void returnFocus(QWidget* root);
    void recompute(QWidget* now);
    void prune();
    Scope* find(QWidget* widget);
    static int depthOf(QWidget* w);

    QList<Scope> m_scopes;
    int m_silent = 0;
    // The reason of the last focus-in event and the widget it went to.
    QPointer<QWidget> m_focusInWidget;
    Qt::FocusReason m_focusInReason = Qt::OtherFocusReason;
    int m_deactivations = 0;
    // Per window (focus root): where the scopes saw the focus last, and where
    // it goes back when the window is activated again after a handler's window.
    QHash<QWidget*, QPointer<QWidget>> m_known;
    QHash<QWidget*, QPointer<QWidget>> m_returnTo;
    // The window whose exit handler is running (nullptr when none).
    QWidget* m_exitRoot = nullptr;
};

} // namespace krt
