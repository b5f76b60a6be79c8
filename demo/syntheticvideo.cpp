#include "syntheticvideo.h"
#include "cast.h"
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QVideoFrameFormat>
#include <QtMath>
#include <cstring>

namespace SyntheticVideo {

QImage camera(const Person &person, qint64 ms, double voice)
{
    const QSize size(480, 270);
    QImage image(size, QImage::Format_ARGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double t = ms / 1000.0;
    const QColor base = person.colour;

    // A softly lit room behind the person, with drifting light spots.
    QLinearGradient wall(0, 0, size.width(), size.height());
    wall.setColorAt(0, base.darker(260));
    wall.setColorAt(1, base.darker(150));
    p.fillRect(image.rect(), wall);
    for (int i = 0; i < 4; ++i) {
        const QPointF c(size.width() * (0.15 + 0.25 * i) + 30 * qSin(t * 0.7 + i),
                        size.height() * (0.25 + 0.1 * (i % 2)) + 12 * qCos(t * 0.5 + i * 2));
        QRadialGradient spot(c, 70);
        QColor glow = base.lighter(170);
        glow.setAlpha(70);
        spot.setColorAt(0, glow);
        spot.setColorAt(1, Qt::transparent);
        p.setBrush(spot);
        p.setPen(Qt::NoPen);
        p.drawEllipse(c, 70, 70);
    }

    // Head and shoulders, breathing and moving a little.
    const double sway = 10 * qSin(t * 0.9 + person.id);
    const double bob = 4 * qSin(t * 1.7);
    const QPointF head(size.width() / 2.0 + sway, 112 + bob);
    QLinearGradient shirt(0, 170, 0, size.height());
    shirt.setColorAt(0, base.lighter(115));
    shirt.setColorAt(1, base.darker(130));
    p.setBrush(shirt);
    p.drawRoundedRect(QRectF(head.x() - 110, 185 + bob, 220, 140), 70, 70);
    const QColor skin = QColor::fromHsv(25, 70 + (person.id % 4) * 20, 235 - (person.id % 5) * 25);
    p.setBrush(skin.darker(110));
    p.drawRect(QRectF(head.x() - 22, 150 + bob, 44, 40));
    p.setBrush(skin);
    p.drawEllipse(head, 52, 62);
    p.setBrush(base.darker(220));
    p.drawChord(QRectF(head.x() - 54, head.y() - 66, 108, 84), 0, 180 * 16);

    // Eyes blink now and then; the mouth follows the voice.
    const bool blink = std::fmod(t + person.id * 0.37, 3.7) < 0.12;
    p.setBrush(QColor(0x222222));
    for (int side : {-1, 1}) {
        const QPointF eye(head.x() + side * 19, head.y() - 2);
        blink ? p.drawRect(QRectF(eye.x() - 7, eye.y() - 1, 14, 2)) : p.drawEllipse(eye, 5, 6);
    }
    const double open = 2 + 16 * voice;
    p.setBrush(QColor(0x7a2a2a));
    p.drawRoundedRect(QRectF(head.x() - 15, head.y() + 26 - open / 4, 30, open), 6, 6);

    // The camera's own caption, as some cameras burn in.
    p.setPen(QColor(255, 255, 255, 215));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(15);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(14, 10, 300, 22), Qt::AlignLeft | Qt::AlignVCenter, person.name);
    font.setPixelSize(12);
    font.setBold(false);
    p.setFont(font);
    const qint64 s = ms / 1000;
    p.drawText(QRectF(14, 30, 200, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("cam %1:%2.%3")
                   .arg(s / 60, 2, 10, QLatin1Char('0'))
                   .arg(s % 60, 2, 10, QLatin1Char('0'))
                   .arg((ms / 100) % 10));
    return image;
}

QImage screen(const QString &owner, qint64 ms)
{
    const QSize size(960, 540);
    QImage image(size, QImage::Format_ARGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double t = ms / 1000.0;
    p.fillRect(image.rect(), QColor(0x1f2937));

    // A presentation window.
    const QRectF window(40, 30, size.width() - 80, size.height() - 60);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf8fafc));
    p.drawRoundedRect(window, 8, 8);
    p.setBrush(QColor(0xe2e8f0));
    p.drawRoundedRect(QRectF(window.left(), window.top(), window.width(), 34), 8, 8);
    for (int i = 0; i < 3; ++i) {
        p.setBrush(QColor(i == 0 ? 0xef4444 : i == 1 ? 0xf59e0b : 0x22c55e));
        p.drawEllipse(QPointF(window.left() + 20 + i * 20, window.top() + 17), 6, 6);
    }
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(14);
    p.setFont(font);
    p.setPen(QColor(0x475569));
    p.drawText(QRectF(window.left(), window.top(), window.width(), 34), Qt::AlignCenter,
               QStringLiteral("Release plan — shared by %1").arg(owner));

    font.setPixelSize(34);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0x0f172a));
    p.drawText(QPointF(window.left() + 40, window.top() + 95), QStringLiteral("Release plan"));
    font.setPixelSize(17);
    font.setBold(false);
    p.setFont(font);
    const QStringList bullets = {
        QStringLiteral("Beta to the first 200 teams"), QStringLiteral("Crash rate under 0.1 %"),
        QStringLiteral("Docs and videos ready"), QStringLiteral("Go / no-go on Thursday")};
    for (int i = 0; i < bullets.size(); ++i) {
        const double y = window.top() + 145 + i * 42;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x3b82f6));
        p.drawEllipse(QPointF(window.left() + 50, y - 6), 5, 5);
        p.setPen(QColor(0x334155));
        p.drawText(QPointF(window.left() + 66, y), bullets.at(i));
    }

    // A chart whose bars grow while the presenter talks about it.
    const QRectF chart(window.left() + 480, window.top() + 80, 340, 300);
    p.setPen(QPen(QColor(0x94a3b8), 2));
    p.drawLine(chart.bottomLeft(), chart.bottomRight());
    const QList<QColor> colours = {QColor(0x60a5fa), QColor(0x34d399), QColor(0xfbbf24),
                                   QColor(0xf87171), QColor(0xa78bfa)};
    for (int i = 0; i < 5; ++i) {
        const double h = chart.height() * (0.25 + 0.12 * i + 0.08 * qSin(t * 1.3 + i));
        p.setPen(Qt::NoPen);
        p.setBrush(colours.at(i));
        p.drawRoundedRect(QRectF(chart.left() + 20 + i * 64, chart.bottom() - h, 44, h), 4, 4);
    }

    // The presenter's pointer.
    const QPointF cursor(window.left() + 300 + 260 * qSin(t * 0.8),
                         window.top() + 260 + 120 * qSin(t * 1.1));
    QPainterPath arrow;
    arrow.moveTo(cursor);
    arrow.lineTo(cursor + QPointF(0, 22));
    arrow.lineTo(cursor + QPointF(6, 16));
    arrow.lineTo(cursor + QPointF(12, 26));
    arrow.lineTo(cursor + QPointF(15, 24));
    arrow.lineTo(cursor + QPointF(9, 15));
    arrow.lineTo(cursor + QPointF(17, 15));
    arrow.closeSubpath();
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(Qt::black);
    p.drawPath(arrow);
    return image;
}

QVideoFrame frame(const QImage &image)
{
    const QImage source = image.convertToFormat(QImage::Format_RGBA8888);
    QVideoFrame frame(QVideoFrameFormat(source.size(), QVideoFrameFormat::Format_RGBA8888));
    if (!frame.map(QVideoFrame::WriteOnly))
        return {};
    const int rowBytes = source.width() * 4;
    for (int y = 0; y < source.height(); ++y)
        std::memcpy(frame.bits(0) + qsizetype(y) * frame.bytesPerLine(0), source.constScanLine(y),
                    size_t(rowBytes));
    frame.unmap();
    return frame;
}

} // namespace SyntheticVideo
