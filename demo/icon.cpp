#include "icon.h"
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

Icon::Icon(QQuickItem *parent) : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
}

void Icon::setName(const QString &name)
{
    if (m_name == name)
        return;
    m_name = name;
    update();
    emit nameChanged();
}

void Icon::setColor(const QColor &color)
{
    if (m_color == color)
        return;
    m_color = color;
    update();
    emit colorChanged();
}

void Icon::setLevel(int level)
{
    if (m_level == level)
        return;
    m_level = level;
    update();
    emit levelChanged();
}

void Icon::paint(QPainter *p)
{
    // Drawn on a 24 x 24 grid.
    const qreal s = qMin(width(), height()) / 24.0;
    p->setRenderHint(QPainter::Antialiasing);
    p->translate((width() - 24 * s) / 2, (height() - 24 * s) / 2);
    p->scale(s, s);
    QPen pen(m_color, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p->setPen(pen);
    p->setBrush(Qt::NoBrush);
    const QString &n = m_name;
    const bool off = n.endsWith(QLatin1String("-off"));
    if (n.startsWith(QLatin1String("mic"))) {
        p->drawRoundedRect(QRectF(9, 3, 6, 11), 3, 3);
        p->drawArc(QRectF(5.5, 6, 13, 11), 200 * 16, 140 * 16);
        p->drawLine(QPointF(12, 17), QPointF(12, 21));
        p->drawLine(QPointF(8.5, 21), QPointF(15.5, 21));
    } else if (n.startsWith(QLatin1String("camera"))) {
        p->drawRoundedRect(QRectF(2.5, 6.5, 13, 11), 2, 2);
        QPainterPath lens;
        lens.moveTo(15.5, 10.5);
        lens.lineTo(21.5, 7);
        lens.lineTo(21.5, 17);
        lens.lineTo(15.5, 13.5);
        p->drawPath(lens);
    } else if (n == QLatin1String("hand")) {
        QPainterPath hand;
        hand.moveTo(7, 12);
        hand.lineTo(7, 5.5);
        hand.arcTo(QRectF(7, 4, 3, 3), 180, -180);
        hand.lineTo(10, 11);
        hand.moveTo(10, 4.5);
        hand.arcTo(QRectF(10, 2.5, 3, 3), 180, -180);
        hand.lineTo(13, 11);
        hand.moveTo(13, 5);
        hand.arcTo(QRectF(13, 3.5, 3, 3), 180, -180);
        hand.lineTo(16, 11.5);
        hand.moveTo(16, 7);
        hand.arcTo(QRectF(16, 5.5, 3, 3), 180, -180);
        hand.lineTo(19, 14);
        hand.cubicTo(19, 19, 16, 21.5, 12.5, 21.5);
        hand.cubicTo(9, 21.5, 7.5, 19.5, 5.5, 16.5);
        hand.lineTo(3.8, 13.8);
        hand.cubicTo(3, 12.5, 5, 11, 6, 12.2);
        hand.lineTo(7, 13.5);
        p->drawPath(hand);
    } else if (n == QLatin1String("screen")) {
        p->drawRoundedRect(QRectF(2.5, 4, 19, 13), 2, 2);
        p->drawLine(QPointF(8, 21), QPointF(16, 21));
        p->drawLine(QPointF(12, 17), QPointF(12, 21));
        p->drawLine(QPointF(12, 14), QPointF(12, 7.5));
        p->drawLine(QPointF(9, 10.5), QPointF(12, 7.5));
        p->drawLine(QPointF(15, 10.5), QPointF(12, 7.5));
    } else if (n == QLatin1String("board")) {
        p->drawRoundedRect(QRectF(2.5, 3.5, 19, 13), 1.5, 1.5);
        p->drawLine(QPointF(8, 21), QPointF(12, 16.5));
        p->drawLine(QPointF(16, 21), QPointF(12, 16.5));
        QPainterPath squiggle;
        squiggle.moveTo(6, 12);
        squiggle.cubicTo(8, 7, 10, 13, 12, 9);
        squiggle.cubicTo(14, 6, 16, 12, 18, 8);
        p->drawPath(squiggle);
    } else if (n == QLatin1String("leave")) {
        QPainterPath phone;
        phone.moveTo(3, 14.5);
        phone.cubicTo(3, 9, 21, 9, 21, 14.5);
        phone.lineTo(21, 16);
        phone.lineTo(17, 16.5);
        phone.lineTo(16.5, 13.5);
        phone.cubicTo(14, 12.5, 10, 12.5, 7.5, 13.5);
        phone.lineTo(7, 16.5);
        phone.lineTo(3, 16);
        phone.closeSubpath();
        p->setBrush(m_color);
        p->drawPath(phone);
    } else if (n == QLatin1String("people")) {
        p->drawEllipse(QPointF(9, 8), 3.5, 3.5);
        p->drawArc(QRectF(2.5, 13, 13, 12), 0, 180 * 16);
        p->drawEllipse(QPointF(17, 9), 2.8, 2.8);
        p->drawArc(QRectF(14, 14, 8, 9), 20 * 16, 160 * 16);
    } else if (n == QLatin1String("link")) {
        p->drawRoundedRect(QRectF(2.5, 8.5, 11, 7), 3.5, 3.5);
        p->drawRoundedRect(QRectF(10.5, 8.5, 11, 7), 3.5, 3.5);
    } else if (n == QLatin1String("star")) {
        QPainterPath star;
        for (int i = 0; i < 10; ++i) {
            const qreal r = i % 2 ? 4.2 : 9.5;
            const qreal a = -M_PI / 2 + i * M_PI / 5;
            const QPointF pt(12 + r * qCos(a), 12.5 + r * qSin(a));
            i ? star.lineTo(pt) : star.moveTo(pt);
        }
        star.closeSubpath();
        p->setBrush(m_color);
        p->drawPath(star);
    } else if (n == QLatin1String("signal")) {
        p->setPen(Qt::NoPen);
        for (int i = 0; i < 5; ++i) {
            QColor c = m_color;
            if (i >= m_level)
                c.setAlphaF(0.25);
            p->setBrush(c);
            const qreal h = 4 + i * 3.5;
            p->drawRoundedRect(QRectF(2 + i * 4.2, 21 - h, 3, h), 1, 1);
        }
    } else if (n == QLatin1String("phone")) {
        QPainterPath phone;
        phone.moveTo(6, 3);
        phone.lineTo(9.5, 3);
        phone.lineTo(11, 8);
        phone.lineTo(8.5, 9.5);
        phone.cubicTo(9.5, 12, 12, 14.5, 14.5, 15.5);
        phone.lineTo(16, 13);
        phone.lineTo(21, 14.5);
        phone.lineTo(21, 18);
        phone.cubicTo(21, 20, 19, 21, 17, 21);
        phone.cubicTo(9, 20, 4, 15, 3, 7);
        phone.cubicTo(3, 5, 4, 3, 6, 3);
        p->setBrush(m_color);
        p->drawPath(phone);
    } else if (n == QLatin1String("check")) {
        p->drawPolyline(QPolygonF({{4, 12.5}, {9.5, 18}, {20, 6}}));
    } else if (n == QLatin1String("close")) {
        p->drawLine(QPointF(5, 5), QPointF(19, 19));
        p->drawLine(QPointF(19, 5), QPointF(5, 19));
    } else if (n == QLatin1String("plus")) {
        p->drawLine(QPointF(12, 4), QPointF(12, 20));
        p->drawLine(QPointF(4, 12), QPointF(20, 12));
    } else if (n == QLatin1String("play")) {
        p->setBrush(m_color);
        p->drawPolygon(QPolygonF({{7, 4}, {20, 12}, {7, 20}}));
    }
    if (off) {
        p->setPen(QPen(m_color, 2.2, Qt::SolidLine, Qt::RoundCap));
        p->drawLine(QPointF(3.5, 3.5), QPointF(20.5, 20.5));
    }
}
