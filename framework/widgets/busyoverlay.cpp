#include "framework/widgets/busyoverlay.h"

#include "framework/core/busyindicator.h"

#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QVBoxLayout>

namespace krt {

BusyOverlay::BusyOverlay(QWidget* parent)
    : QFrame(parent), m_label(new QLabel(this)), m_bar(new QProgressBar(this))
{
    setObjectName(QStringLiteral("krtBusyOverlay"));
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    m_label->setAlignment(Qt::AlignCenter);
    m_bar->setRange(0, 0); // no known end: the bar keeps moving
    m_bar->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_bar);
    setFixedSize(280, 80);
    if (parent)
        parent->installEventFilter(this);
}

void BusyOverlay::setText(const QString& text)
{
    m_label->setText(text);
}

QString BusyOverlay::text() const
{
    return m_label->text();
}

void BusyOverlay::placeOverParent()
{
    if (QWidget* p = parentWidget())
        move((p->width() - width()) / 2, (p->height() - height()) / 2);
    raise();
}

bool BusyOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        placeOverParent();
    return QFrame::eventFilter(watched, event);
}

namespace {

QPointer<BusyOverlay>& current()
{
    static QPointer<BusyOverlay> overlay;
    return overlay;
}

} // namespace

void presentBusy(QWidget* host)
{
    QPointer<BusyOverlay>& overlay = current();
    if (busyDepth() == 0) {
        if (overlay) {
            overlay->hide();
            overlay->deleteLater();
            overlay = nullptr;
        }
        return;
    }
    if (!overlay) {
        if (!host)
            return;
        overlay = new BusyOverlay(host);
    }
    overlay->setText(busyText(busyKind()));
    overlay->placeOverParent();
    overlay->show();
    // Server calls block the event loop: paint now or the box never appears.
    overlay->repaint();
}

QWidget* busyOverlay()
{
    return current();
}

} // namespace krt
