#include "desktop_person.h"

#include <QDialog>
#include <QTest>

DesktopPerson::DesktopPerson(QWidget* mainWindow, bool bareDisplay)
    : m_main(mainWindow), m_bare(bareDisplay)
{
    m_eyes.setInterval(25);
    connect(&m_eyes, &QTimer::timeout, this, &DesktopPerson::look);
    m_eyes.start();
}

void DesktopPerson::then(const QString& what, Step step)
{
    m_steps.enqueue({what, std::move(step)});
}

void DesktopPerson::look()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
        // Nothing modal: on a bare server the person clicks the main window
        // when nothing has the keyboard.
        if (m_bare && m_main && !QApplication::activeWindow())
            m_main->activateWindow();
        return;
    }
    if (!modal->isVisible())
        return;
    if (QApplication::activeWindow() != modal) {
        // A person types only into the window that has the keyboard; on a
        // bare server they click the window first.
        if (m_bare)
            modal->activateWindow();
        return;
    }
    if (m_working.contains(modal))
        return;
    if (m_steps.isEmpty()) {
        m_unexpected << modal->windowTitle();
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        return;
    }
    const Planned planned = m_steps.dequeue();
    m_working.insert(modal);
    QPointer<QWidget> window = modal;
    QTimer::singleShot(0, this, [this, key = modal, window, planned] {
        if (window)
            planned.step(*window);
        // What the step did may close the window a moment later (a button's
        // Alt letter clicks it as a click is drawn): the next step is not for it.
        (void)QTest::qWaitFor([window] { return !window || !window->isVisible(); }, 2000);
        m_working.remove(key);
    });
}
