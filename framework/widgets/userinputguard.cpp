#include "framework/widgets/userinputguard.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace krt {

namespace {

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

// The widget an event's receiver belongs to: the receiver itself, or for an
// action or shortcut the widget that owns it.
QWidget* owningWidget(QObject* receiver)
{
    for (QObject* o = receiver; o; o = o->parent()) {
        if (o->isWidgetType())
            return static_cast<QWidget*>(o);
    }
    return nullptr;
}

} // namespace

UserInputGuard::UserInputGuard(QWidget* window) : m_window(window ? window->window() : nullptr)
{
    if (m_window)
        QCoreApplication::instance()->installEventFilter(this);
}

UserInputGuard::~UserInputGuard()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool UserInputGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_window || !isUserInput(event->type()))
        return false;
    QWidget* widget = owningWidget(watched);
    if (!widget || widget->window() != m_window)
        return false;
    ++m_dropped;
    event->accept();
    return true;
}

} // namespace krt
