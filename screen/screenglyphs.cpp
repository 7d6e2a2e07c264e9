#include "screen/screenglyphs.h"

#include <QPainter>
#include <QPainterPath>

namespace screenglyphs {

namespace {

QPixmap blank(int w, int h)
{
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    return pm;
}

QColor tone(const QColor& colour, bool enabled)
{
    if (enabled)
        return colour;
    const int g = qGray(colour.rgb());
    return QColor(g, g, g).lighter(130);
}

void drawCheck(QPainter& p, const QRectF& r, const QColor& colour)
{
    QPainterPath path;
    path.moveTo(r.left() + r.width() * 0.15, r.top() + r.height() * 0.55);
    path.lineTo(r.left() + r.width() * 0.42, r.top() + r.height() * 0.8);
    path.lineTo(r.left() + r.width() * 0.85, r.top() + r.height() * 0.2);
    p.setPen(QPen(colour, qMax(2.0, r.width() / 7), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void drawCross(QPainter& p, const QRectF& r, const QColor& colour)
{
    p.setPen(QPen(colour, qMax(2.0, r.width() / 7), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(r.topLeft() + QPointF(r.width() * 0.2, r.height() * 0.2),
               r.bottomRight() - QPointF(r.width() * 0.2, r.height() * 0.2));
    p.drawLine(r.topRight() + QPointF(-r.width() * 0.2, r.height() * 0.2),
               r.bottomLeft() + QPointF(r.width() * 0.2, -r.height() * 0.2));
}

// A sheet of paper, the base of the invoice pictures.
void drawSheet(QPainter& p, const QRectF& r, bool enabled)
{
    p.setPen(QPen(tone(Qt::darkGray, enabled), 1));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setPen(QPen(tone(QColor(90, 90, 160), enabled), 1));
    for (int i = 1; i <= 3; ++i) {
        const qreal y = r.top() + r.height() * i / 4.5;
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
    }
}

} // namespace

QIcon cancelConsolidation(bool enabled)
{
    QPixmap pm = blank(18, 18);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    drawSheet(p, QRectF(2.5, 1.5, 11, 14), enabled);
    drawCross(p, QRectF(7, 7, 10, 10), tone(QColor(200, 30, 30), enabled));
    return QIcon(pm);
}

QIcon filter(bool enabled)
{
    QPixmap pm = blank(16, 18);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath funnel;
    funnel.moveTo(1, 2);
    funnel.lineTo(15, 2);
    funnel.lineTo(9.5, 9);
    funnel.lineTo(9.5, 15);
    funnel.lineTo(6.5, 16.5);
    funnel.lineTo(6.5, 9);
    funnel.closeSubpath();
    p.setPen(QPen(tone(QColor(30, 60, 130), enabled), 1));
    p.setBrush(tone(QColor(80, 140, 220), enabled));
    p.drawPath(funnel);
    return QIcon(pm);
}

QPixmap approved()
{
    QPixmap pm = blank(20, 20);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 110, 20), 1.5));
    p.setBrush(QColor(200, 240, 200));
    p.drawEllipse(QRectF(1, 1, 18, 18));
    drawCheck(p, QRectF(3, 3, 14, 14), QColor(20, 130, 20));
    return pm;
}

QPixmap invoiceNotOk()
{
    QPixmap pm = blank(16, 16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    drawSheet(p, QRectF(1.5, 0.5, 10, 13), true);
    drawCross(p, QRectF(6, 6, 10, 10), QColor(200, 30, 30));
    return pm;
}

QPixmap invoiceOk()
{
    QPixmap pm = blank(16, 16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    drawSheet(p, QRectF(1.5, 0.5, 10, 13), true);
    drawCheck(p, QRectF(6, 6, 10, 10), QColor(20, 130, 20));
    return pm;
}

} // namespace screenglyphs
