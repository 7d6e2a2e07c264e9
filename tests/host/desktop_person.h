#pragma once

// The person at a real X desktop, for the host's desktop tests: every modal
// window the product opens (filter dialog, pick list, question, message) is
// really shown and run by Qt's own modal loop, and worked by the next scripted
// step once it is the active window, as a person can only type into the
// window that has the keyboard. Steps run from the event loop, so a step that
// opens another modal window (F4 in the dialog opens a pick list) is itself
// waiting in that window's loop while the next step works it.
#include <QApplication>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>

class DesktopPerson : public QObject
{
public:
    using Step = std::function<void(QWidget& window)>;

    // `mainWindow` is the window a person clicks to get back to work on a
    // bare X server, where no window manager gives activation back when a
    // modal window closes. Under a window manager the person never does:
    // what the manager does is what is tested.
    DesktopPerson(QWidget* mainWindow, bool bareDisplay);

    // What to do in the next modal window that comes up; `what` names it in
    // failure messages.
    void then(const QString& what, Step step);
    bool done() const { return m_steps.isEmpty(); }
    QString next() const { return m_steps.isEmpty() ? QString() : m_steps.head().what; }
    // Windows that came up with no step for them (closed unanswered).
    const QStringList& unexpected() const { return m_unexpected; }

private:
    struct Planned
    {
        QString what;
        Step step;
    };
    void look();

    QPointer<QWidget> m_main;
    bool m_bare;
    QTimer m_eyes;
    QQueue<Planned> m_steps;
    QSet<QWidget*> m_working;
    QStringList m_unexpected;
};
