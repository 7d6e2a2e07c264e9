#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace krt {

// While it lives, the user's input to one window (keys, mouse buttons, wheel,
// shortcuts, context menus) is dropped, also input that was queued before it
// started and is delivered while it lives. Other windows (a question the
// guarded work asks, a message it shows) take their input as usual.
//
// For a command that must act on what the user saw when it started: input
// typed or clicked while the command waits for the server would otherwise run
// when the command lets pending events through, in the middle of its work.
class UserInputGuard : public QObject
{
public:
    explicit UserInputGuard(QWidget* window);
    ~UserInputGuard() override;

    UserInputGuard(const UserInputGuard&) = delete;
    UserInputGuard& operator=(const UserInputGuard&) = delete;

    // How many input events were dropped so far.
    int dropped() const { return m_dropped; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
    int m_dropped = 0;
};

} // namespace krt
