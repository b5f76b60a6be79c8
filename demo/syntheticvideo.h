#pragma once
#include <QImage>
#include <QVideoFrame>

struct Person;

// Pictures that stand in for cameras and shared screens: moving, in each person's colour, with
// their name on them, so a screenshot shows whose stream reached which tile.
namespace SyntheticVideo {
// `voice` 0..1 opens the mouth.
QImage camera(const Person &person, qint64 ms, double voice);
QImage screen(const QString &owner, qint64 ms);
// A mapped copy in a pixel format every video output takes.
QVideoFrame frame(const QImage &image);
} // namespace SyntheticVideo
