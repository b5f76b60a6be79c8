#include "videosink.h"
#include <QJSEngine>
#include <QVideoSink>

struct VideoSinkPrivate
{
    QList<QVideoSink *> m_sinks;
    bool m_started = false;
    int m_orientation = 0;
};

VideoSink::VideoSink(QObject *parent) : QObject(parent), d(std::make_unique<VideoSinkPrivate>())
{
    // QML never deletes an object with a parent; marking one would cost it QML data.
    if (!QObject::parent())
        QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
}

VideoSink::~VideoSink() = default;

int VideoSink::orientation() const
{
    return d->m_orientation;
}

bool VideoSink::started() const
{
    return d->m_started;
}

int VideoSink::sinkCount() const
{
    return int(d->m_sinks.size());
}

void VideoSink::setOutputFrame(int orientation, QVideoFrameFormat, QVideoFrame frame)
{
    if (!d->m_started)
        return;
    if (d->m_orientation != orientation) {
        d->m_orientation = orientation;
        emit orientationChanged(orientation);
    }
    // By index: an output's frame handler may add or remove outputs while we deliver.
    // NOLINTNEXTLINE(modernize-loop-convert)
    for (qsizetype i = 0; i < d->m_sinks.size(); ++i)
        d->m_sinks.at(i)->setVideoFrame(frame);
}

void VideoSink::appendSink(QVideoSink *sink)
{
    if (!sink)
        return;
    if (!d->m_sinks.contains(sink)) {
        d->m_sinks.append(sink);
        // An output that QML destroys while registered must not be written to again.
        // Compares addresses only: the output is half destroyed when this runs.
        connect(sink, &QObject::destroyed, this, [this, sink] { d->m_sinks.removeAll(sink); });
    }
    setStarted(true);
}

void VideoSink::removeSink(QVideoSink *sink)
{
    if (!sink)
        return;
    sink->setVideoFrame(QVideoFrame());
    if (d->m_sinks.removeOne(sink))
        disconnect(sink, &QObject::destroyed, this, nullptr);
    if (d->m_sinks.isEmpty())
        setStarted(false);
}

void VideoSink::clearSinks()
{
    for (QVideoSink *sink : std::as_const(d->m_sinks))
        disconnect(sink, &QObject::destroyed, this, nullptr);
    d->m_sinks.clear();
}

void VideoSink::setStarted(bool started)
{
    if (d->m_started == started)
        return;
    d->m_started = started;
    emit startedChanged();
}
