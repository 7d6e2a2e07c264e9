#include "framework/core/handlerboundary.h"

#include "framework/core/errors.h"
#include "framework/core/hostservices.h"

#include <QAbstractButton>
#include <QAction>
#include <QPointer>
#include <QTimer>
#include <QtDebug>

namespace krt {

namespace {

// Showing the error must not throw back into Qt either.
void reportSafely(const char* name, const QString& text)
{
    try {
        hostServices().showError(text);
    } catch (...) {
        qWarning("krt: error while reporting the failure of handler %s: %s", name,
                 qPrintable(text));
    }
}

} // namespace

bool invokeHandlerChecked(const char* name, std::function<void()> fn)
{
    if (!fn)
        return true;
    try {
        fn();
        return true;
    } catch (const EAbort&) {
    } catch (const EKrtError& e) {
        reportSafely(name, e.text());
    } catch (const std::exception& e) {
        reportSafely(name, QString::fromUtf8(e.what()));
    } catch (...) {
        reportSafely(name, QStringLiteral("Erro inesperado em %1.").arg(QString::fromLatin1(name)));
    }
    return false;
}

void invokeHandler(const char* name, std::function<void()> fn)
{
    invokeHandlerChecked(name, std::move(fn));
}

QMetaObject::Connection connectClick(QAbstractButton* button, TNotifyEvent fn, const char* name)
{
    return QObject::connect(
        button, &QAbstractButton::clicked, button,
        [button, fn = std::move(fn), name] { invokeHandler(name, [&] { fn(button); }); });
}

QMetaObject::Connection connectTriggered(QAction* action, TNotifyEvent fn, const char* name)
{
    return QObject::connect(
        action, &QAction::triggered, action,
        [action, fn = std::move(fn), name] { invokeHandler(name, [&] { fn(action); }); });
}

void postHandler(QObject* context, const char* name, std::function<void()> fn)
{
    QTimer::singleShot(0, context, [name, fn = std::move(fn)] { invokeHandler(name, fn); });
}

} // namespace krt
