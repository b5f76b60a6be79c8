#include "latencychart.h"
#include <QChart>
#include <QGraphicsScene>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>

namespace latencychart {

bool save(const QList<Line> &lines, const QString &title, const QString &path)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    auto *x = new QValueAxis;
    x->setTitleText(QStringLiteral("seconds since start"));
    auto *y = new QValueAxis;
    y->setTitleText(QStringLiteral("capture to display, ms"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    double maxX = 1, maxY = 10;
    for (const Line &line : lines) {
        auto *series = new QLineSeries;
        series->setName(line.name);
        series->append(line.points);
        for (const QPointF &p : line.points) {
            maxX = std::max(maxX, p.x());
            maxY = std::max(maxY, p.y());
        }
        chart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
    }
    x->setRange(0, maxX);
    y->setRange(0, maxY * 1.1);

    // A view never shown lays nothing out: the chart is sized and painted through its scene.
    QGraphicsScene scene; // owns the chart
    chart->resize(1200, 700);
    scene.addItem(chart);
    QImage image(1200, 700, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter, QRectF(image.rect()), QRectF(0, 0, 1200, 700));
    painter.end();
    return image.save(path);
}

} // namespace latencychart
