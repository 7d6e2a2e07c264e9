#include "framework/widgets/focustracker.h"

#include <QApplication>
#include <QMdiSubWindow>
#include <QTimer>
#include <QWidget>
#include <algorithm>

namespace krt {

namespace {

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

} // namespace

FocusTracker& FocusTracker::instance()
{
    static FocusTracker* tracker = new FocusTracker();
    return *tracker;
}

FocusTracker::FocusTracker()
{
    connect(qApp, &QApplication::focusChanged, this, &FocusTracker::onFocusChanged);
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
    recompute(QApplication::focusWidget());
}

void FocusTracker::onFocusChanged(QWidget* old, QWidget* now)
{
    prune();
    if (m_silent > 0 || !now) {
        // A silent move, or the window lost activation (the focus comes back
        // to the same widget when it is activated again): no events.
        if (m_silent > 0)
            recompute(now);
        return;
    }

    QWidget* nowRoot = focusRoot(now);
    // The window itself taking the focus (an MDI child minimised, or its
    // frame clicked) is no move between its controls: they keep their state,
    // so the focus coming back to the same control later is no move either,
    // and going to another one is judged against where it was before.
    if (now == nowRoot && !find(now))
        return;
    // Nor is Qt moving the focus away from a control it is hiding (a page of
    // a page control being switched away, a window closing): it passes the
    // focus to the next control in the chain on its way to where it lands,
    // often through a panel it has nothing to do with. The controls keep
    // their state; the move that settles the focus is judged against it.
    if (old && !old->isVisible() && focusRoot(old) == nowRoot)
        return;

    // The focus coming back to a window whose exit handler is still running
    // (after an error box or another window it showed) is not a move of its
    // own: the move being decided there settles the scopes when it ends.
    if (m_exitRoot && nowRoot == m_exitRoot && (!old || focusRoot(old) != m_exitRoot))
        return;

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
        const bool ok = invokeHandlerChecked("OnExit", [&] { handler(w); });
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
        invokeHandler("OnEnter", [&] { handler(w); });
    }
}

} // namespace krt
