#include "framework/core/busyindicator.h"

#include "framework/core/hostservices.h"

#include <QApplication>
#include <QList>
#include <QPointer>
#include <QWidget>

namespace {

// One entry per open ActiveShowAvi, innermost last.
QList<int>& openKinds()
{
    static QList<int> kinds;
    return kinds;
}

// The form the outermost open wait was shown for.
QPointer<QWidget>& waitingForm()
{
    static QPointer<QWidget> form;
    return form;
}

void notify(int depth, int kind)
{
    try {
        krt::hostServices().busyChanged(depth, kind);
    } catch (...) {
        // A notification must not break the caller's own error handling.
    }
}

} // namespace

void ActiveShowAvi(QWidget* form, int kind)
{
    QList<int>& kinds = openKinds();
    if (kinds.isEmpty())
        waitingForm() = form;
    kinds.append(kind);
    if (kinds.size() == 1 && qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::setOverrideCursor(Qt::WaitCursor);
    notify(int(kinds.size()), kind);
}

void DeactiveShowAvi()
{
    QList<int>& kinds = openKinds();
    if (kinds.isEmpty())
        return;
    const int kind = kinds.takeLast();
    if (kinds.isEmpty() && qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::restoreOverrideCursor();
    notify(int(kinds.size()), kind);
}

namespace krt {

int busyDepth()
{
    return int(openKinds().size());
}

int busyKind()
{
    return openKinds().isEmpty() ? -1 : openKinds().last();
}

QWidget* busyForm()
{
    return openKinds().isEmpty() ? nullptr : waitingForm().data();
}

QString busyText(int kind)
{
    return kind == 0 ? QStringLiteral("Conectando ao servidor...") : QStringLiteral("Aguarde...");
}

} // namespace krt
