#include "framework/core/busyindicator.h"

#include "framework/core/busyoverlay.h"
#include "framework/core/hostservices.h"

#include <QApplication>
#include <QList>
#include <QPointer>

namespace {

struct BusyState
{
    QList<int> kinds; // one entry per open ActiveShowAvi, innermost last
    QPointer<krt::BusyOverlay> overlay;
};

BusyState& state()
{
    static BusyState s;
    return s;
}

QWidget* overlayHost(QWidget* form)
{
    if (QWidget* main = krt::hostServices().mainWindow())
        return main;
    if (form)
        return form->window();
    return QApplication::activeWindow();
}

void showOverlay(QWidget* form, int kind)
{
    BusyState& s = state();
    if (!s.overlay) {
        QWidget* host = overlayHost(form);
        if (!host)
            return;
        s.overlay = new krt::BusyOverlay(host);
    }
    s.overlay->setText(krt::busyText(kind));
    s.overlay->placeOverParent();
    s.overlay->show();
    // Server calls block the event loop: paint now or the box never appears.
    s.overlay->repaint();
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
    BusyState& s = state();
    s.kinds.append(kind);
    const bool widgets = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
    if (s.kinds.size() == 1 && widgets)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    if (widgets)
        showOverlay(form, kind);
    notify(s.kinds.size(), kind);
}

void DeactiveShowAvi()
{
    BusyState& s = state();
    if (s.kinds.isEmpty())
        return;
    const int kind = s.kinds.takeLast();
    if (s.kinds.isEmpty()) {
        if (qobject_cast<QApplication*>(QCoreApplication::instance()))
            QApplication::restoreOverrideCursor();
        if (s.overlay) {
            s.overlay->hide();
            s.overlay->deleteLater();
            s.overlay = nullptr;
        }
    } else if (s.overlay) {
        s.overlay->setText(krt::busyText(s.kinds.last()));
    }
    notify(s.kinds.size(), kind);
}

namespace krt {

int busyDepth()
{
    return int(state().kinds.size());
}

QString busyText(int kind)
{
    return kind == 0 ? QStringLiteral("Conectando ao servidor...") : QStringLiteral("Aguarde...");
}

QWidget* busyOverlay()
{
    return state().overlay;
}

} // namespace krt
