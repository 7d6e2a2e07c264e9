#include "framework/widgets/focustracker.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLoggingCategory>
#include <QMdiSubWindow>
#include <QTimer>
#include <QWidget>
#include <algorithm>

namespace krt {

namespace {

Q_LOGGING_CATEGORY(lcFocus, "krt.focus", QtWarningMsg)

QString describe(const QWidget* w)
{
    if (!w)
        return QStringLiteral("(none)");
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                     : w->objectName();
}

bool contains(QWidget* scope, QWidget* w)
{
    return scope && w && (scope == w || scope->isAncestorOf(w));
}

// The window a widget's focus belongs to: its MDI subwindow when it has one
// (each MDI child keeps its own focus), else its top-level window.
QWidget* focusRoot(QWidget* w)
{
    for (QWidget* p = w; p; p = p->parentWidget()) {
        if (qobject_cast<QMdiSubWindow*>(p) || p->isWindow())
            return p;
    }
    return nullptr;
}

bool isActivation(Qt::FocusReason reason)
{
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
}

} // namespace

FocusTracker& FocusTracker::instance()
{
    static FocusTracker* tracker = new FocusTracker();
    return *tracker;
}

FocusTracker::FocusTracker()
{
    // Qt sends the focus-in event, with its reason, before it announces the
    // change; deactivations are counted to tell when a handler showed a window.
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, &FocusTracker::onFocusChanged);
}

bool FocusTracker::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn && watched->isWidgetType()) {
        m_focusInWidget = static_cast<QWidget*>(watched);
        m_focusInReason = static_cast<QFocusEvent*>(event)->reason();
    } else if (event->type() == QEvent::WindowDeactivate) {
        ++m_deactivations;
    }
    return false;
}

Qt::FocusReason FocusTracker::reasonFor(QWidget* now) const
{
    return now && m_focusInWidget == now ? m_focusInReason : Qt::OtherFocusReason;
}

void FocusTracker::track(QWidget* widget, TNotifyEvent onEnter, TNotifyEvent onExit)
{
    prune();
    if (Scope* s = find(widget)) {
        s->onEnter = std::move(onEnter);
        s->onExit = std::move(onExit);
        return;
    }
    Scope s;
    s.widget = widget;
    s.onEnter = std::move(onEnter);
    s.onExit = std::move(onExit);
    s.inside = contains(widget, QApplication::focusWidget());
    m_scopes.append(std::move(s));
}

void FocusTracker::untrack(QWidget* widget)
{
    m_scopes.removeIf([widget](const Scope& s) { return s.widget == widget || !s.widget; });
}

bool FocusTracker::isInside(QWidget* widget) const
{
    for (const Scope& s : m_scopes) {
        if (s.widget == widget)
            return s.inside;
    }
    return contains(widget, QApplication::focusWidget());
}

FocusTracker::Scope* FocusTracker::find(QWidget* widget)
{
    for (Scope& s : m_scopes) {
        if (s.widget == widget)
            return &s;
    }
    return nullptr;
}

void FocusTracker::prune()
{
    m_scopes.removeIf([](const Scope& s) { return !s.widget; });
    m_known.removeIf([](const auto& entry) { return !entry.value(); });
    m_returnTo.removeIf([](const auto& entry) { return !entry.value(); });
}

int FocusTracker::depthOf(QWidget* w)
{
    int depth = 0;
    for (; w; w = w->parentWidget())
        ++depth;
    return depth;
}

void FocusTracker::recompute(QWidget* now)
{
    QWidget* nowRoot = focusRoot(now);
    for (Scope& s : m_scopes) {
        if (focusRoot(s.widget) == nowRoot)
            s.inside = contains(s.widget, now);
    }
}

void FocusTracker::setFocusSilently(QWidget* widget)
{
    if (!widget)
        return;
    ++m_silent;
    widget->setFocus(Qt::OtherFocusReason);
    --m_silent;
    QWidget* now = QApplication::focusWidget();
    recompute(now);
    // Also when the window is not active (no change is announced then): the
    // focus belongs there when it comes back.
    m_known.insert(focusRoot(widget), widget);
}

bool FocusTracker::runHandler(const char* name, QWidget* scope, const TNotifyEvent& handler)
{
    QWidget* root = focusRoot(scope);
    const int deactivationsBefore = m_deactivations;
    const bool ok = invokeHandlerChecked(name, [&] { handler(scope); });
    if (m_deactivations != deactivationsBefore && root) {
        // The handler showed a window (a dialog, a message): the focus belongs
        // where the user's move (or the handler) put it. Qt and the window
        // manager choose their own control when they give this window the
        // focus back, and Qt may finish the move in a window that is no
        // longer active: whatever they chose is undone then.
        QPointer<QWidget> back = m_known.value(root);
        if (back) {
            m_returnTo.insert(root, back);
            if (root->window()->isActiveWindow())
                returnFocus(root);
        }
    }
    return ok;
}

void FocusTracker::returnFocus(QWidget* root)
{
    const QPointer<QWidget> wanted = m_returnTo.take(root);
    if (!wanted)
        return;
    // Queued: the activation's own work (the MDI area's, the dialog's end)
    // finishes first. The scopes still stand where the user's move left them.
    QTimer::singleShot(0, this, [this, wanted, root] {
        if (!wanted || focusRoot(wanted) != root || !wanted->isVisible() || !wanted->isEnabled() ||
            QApplication::focusWidget() == wanted)
            return;
        qCDebug(lcFocus) << "focus given back to" << describe(wanted) << "from"
                         << describe(QApplication::focusWidget());
        setFocusSilently(wanted);
    });
}

bool FocusTracker::isOwnMove(QWidget* old, QWidget* now)
{
    QWidget* nowRoot = focusRoot(now);
    // The window itself taking the focus (an MDI child minimised, or its
    // frame clicked): its controls keep their state, so the focus coming back
    // to the same control later is no move either, and going to another one
    // is judged against where it was before.
    if (now == nowRoot && !find(now))
        return false;
    // Qt moving the focus away from a control it is hiding (a page switched
    // away, a window closing): it passes the focus along the chain on its way
    // to where it lands, often through a panel it has nothing to do with.
    if (old && !old->isVisible() && focusRoot(old) == nowRoot)
        return false;
    // The focus coming back to a window whose exit handler is still running
    // (after an error box or another window it showed): the move being
    // decided there settles the scopes when it ends.
    if (m_exitRoot && nowRoot == m_exitRoot && (!old || focusRoot(old) != m_exitRoot))
        return false;
    return true;
}

void FocusTracker::onFocusChanged(QWidget* old, QWidget* now)
{
    prune();
    const Qt::FocusReason reason = reasonFor(now);
    if (m_silent > 0 || !now) {
        // A silent move, or the window lost activation (the focus comes back
        // to the same widget when it is activated again): no events.
        qCDebug(lcFocus) << describe(old) << "->" << describe(now) << reason
                         << (m_silent > 0 ? "silent" : "deactivated");
        if (m_silent > 0)
            recompute(now);
        return;
    }

    QWidget* nowRoot = focusRoot(now);
    if (isActivation(reason)) {
        // The window got the focus back. After a handler that showed a
        // window, the focus returns where that move put it. Otherwise the
        // control Qt gives it is the one the window had: where the tracker saw
        // it last, or where the program put it while the window was away,
        // which counts as that move, made now.
        if (m_returnTo.contains(nowRoot)) {
            qCDebug(lcFocus) << describe(old) << "->" << describe(now) << reason
                             << "window back after a handler's window";
            returnFocus(nowRoot);
            return;
        }
        const QPointer<QWidget> known = m_known.value(nowRoot);
        if (known == now || (m_exitRoot && nowRoot == m_exitRoot)) {
            qCDebug(lcFocus) << describe(old) << "->" << describe(now) << reason << "window back";
            return;
        }
        // (A window seen for the first time: its first focus is a move too.)
        qCDebug(lcFocus) << describe(known ? known.data() : old) << "->" << describe(now) << reason
                         << "moved while the window was away";
        judgeMove(known ? known.data() : old, now);
        return;
    }
    if (!isOwnMove(old, now)) {
        qCDebug(lcFocus) << describe(old) << "->" << describe(now) << reason << "not a move";
        return;
    }
    qCDebug(lcFocus) << describe(old) << "->" << describe(now) << reason << "a move";
    judgeMove(old, now);
}

void FocusTracker::judgeMove(QWidget* old, QWidget* now)
{
    QWidget* nowRoot = focusRoot(now);
    // The user moved on: an earlier return no longer stands.
    m_returnTo.remove(nowRoot);
    m_known.insert(nowRoot, now);

    // Decide every transition first, from the state before this move.
    QList<QPointer<QWidget>> exits, enters;
    for (Scope& s : m_scopes) {
        // The focus moving to another window (a dialog, another MDI child)
        // neither leaves nor enters: the scope's own window keeps its focus.
        if (focusRoot(s.widget) != nowRoot)
            continue;
        const bool inside = contains(s.widget, now);
        if (s.inside && !inside)
            exits.append(s.widget);
        else if (!s.inside && inside && !s.exiting)
            // (a widget whose exit handler is running and puts the focus back
            // inside is not entered again)
            enters.append(s.widget);
    }
    auto byDepth = [](const QPointer<QWidget>& a, const QPointer<QWidget>& b) {
        return depthOf(a) > depthOf(b);
    };
    std::stable_sort(exits.begin(), exits.end(), byDepth);     // innermost first
    std::stable_sort(enters.rbegin(), enters.rend(), byDepth); // outermost first
    recompute(now);
    // A scope changes state only when its own transition runs. An exit handler
    // that puts the focus back (and raises) must not make the scopes still to
    // be left look entered again, nor the scopes still to be entered look left
    // (their exit handlers would check a control never entered); a focus move
    // made by a handler handles the transitions it causes itself.
    for (const QPointer<QWidget>& w : exits)
        if (Scope* s = w ? find(w) : nullptr)
            s->inside = true;
    for (const QPointer<QWidget>& w : enters)
        if (Scope* s = w ? find(w) : nullptr)
            s->inside = false;

    QPointer<QWidget> previous = old;
    for (const QPointer<QWidget>& w : exits) {
        Scope* s = w ? find(w) : nullptr;
        if (!s || !s->inside) // a nested focus move already handled this exit
            continue;
        s->inside = contains(w, QApplication::focusWidget());
        if (s->inside || !s->onExit)
            continue;
        s->exiting = true;
        TNotifyEvent handler = s->onExit;
        QWidget* const outerExitRoot = m_exitRoot;
        m_exitRoot = focusRoot(w);
        const bool ok = runHandler("OnExit", w, handler);
        m_exitRoot = outerExitRoot;
        s = w ? find(w) : nullptr;
        if (!s)
            continue;
        s->exiting = false;
        if (ok)
            continue;
        // The exit was refused: the focus belongs inside again.
        QWidget* current = QApplication::focusWidget();
        recompute(current);
        if (!contains(w, current)) {
            QPointer<QWidget> back = contains(w, previous) ? previous.data()
                                     : w->focusWidget()    ? w->focusWidget()
                                                           : w.data();
            // Mark it inside now so nothing fires before the queued move lands.
            s->inside = true;
            m_known.insert(focusRoot(w), back);
            if (m_returnTo.contains(focusRoot(w)))
                m_returnTo.insert(focusRoot(w), back);
            QTimer::singleShot(0, this, [this, back] {
                if (back)
                    setFocusSilently(back);
            });
        }
        return; // the rest of this move no longer happens
    }

    for (const QPointer<QWidget>& w : enters) {
        Scope* s = w ? find(w) : nullptr;
        if (!s || s->inside || !contains(w, QApplication::focusWidget()))
            continue; // already entered by a nested focus move, or the focus went elsewhere
        s->inside = true;
        if (!s->onEnter)
            continue;
        TNotifyEvent handler = s->onEnter;
        runHandler("OnEnter", w, handler);
    }
}

} // namespace krt
