#include "screen/tanimate.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

namespace {

void drawFolder(QPainter& p, const QRectF& r)
{
    QPainterPath tab;
    tab.addRoundedRect(
        QRectF(r.left(), r.top() - r.height() * 0.18, r.width() * 0.4, r.height() * 0.3), 2, 2);
    p.setPen(QPen(QColor(150, 115, 20), 1));
    p.setBrush(QColor(240, 200, 80));
    p.drawPath(tab);
    p.drawRoundedRect(r, 3, 3);
}

} // namespace

TAnimate::TAnimate(QWidget* parent) : QWidget(parent)
{
    m_timer.setInterval(60);
    connect(&m_timer, &QTimer::timeout, this, &TAnimate::advance);
    m_frame = m_stopFrame;
}

void TAnimate::setActive(bool active)
{
    if (active == Active())
        return;
    if (active) {
        m_frame = 0;
        m_timer.start();
    } else {
        m_timer.stop();
        m_frame = m_stopFrame;
    }
    update();
}

void TAnimate::setStopFrame(int frame)
{
    m_stopFrame = qBound(0, frame, FrameCount - 1);
    if (!Active()) {
        m_frame = m_stopFrame;
        update();
    }
}

void TAnimate::advance()
{
    m_frame = (m_frame + 1) % FrameCount;
    update();
}

void TAnimate::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = width();
    const qreal h = height();
    const qreal folderW = qMin(w * 0.18, h * 0.9);
    const qreal folderH = folderW * 0.7;
    const QRectF from(w * 0.08, h - folderH - 4, folderW, folderH);
    const QRectF to(w * 0.92 - folderW, h - folderH - 4, folderW, folderH);
    drawFolder(p, from);
    drawFolder(p, to);

    // The sheet follows an arc from one folder to the other.
    const qreal t = qreal(m_frame) / (FrameCount - 1);
    const qreal x = from.center().x() + (to.center().x() - from.center().x()) * t;
    const qreal y = from.top() - std::sin(t * std::numbers::pi) * (h * 0.55);
    const QRectF sheet(x - folderW * 0.22, y - folderH * 0.35, folderW * 0.44, folderH * 0.6);
    p.save();
    p.translate(sheet.center());
    p.rotate(-20 + 40 * t);
    p.translate(-sheet.center());
    p.setPen(QPen(Qt::darkGray, 1));
    p.setBrush(Qt::white);
    p.drawRect(sheet);
    p.setPen(QPen(QColor(90, 90, 160), 1));
    for (int i = 1; i <= 3; ++i) {
        const qreal ly = sheet.top() + sheet.height() * i / 4.0;
        p.drawLine(QPointF(sheet.left() + 3, ly), QPointF(sheet.right() - 3, ly));
    }
    p.restore();
}
