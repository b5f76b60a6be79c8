#pragma once
#include <QList>
#include <QPointF>
#include <QString>

// A line chart of delays over time, one line per stream, drawn without a window into a PNG.
namespace latencychart {

struct Line
{
    QString name;
    QList<QPointF> points; // x seconds, y milliseconds
};

bool save(const QList<Line> &lines, const QString &title, const QString &path);

} // namespace latencychart
