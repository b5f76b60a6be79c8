#include "videosink.h"
#include <QJSEngine>
#include <QVideoSink>

VideoSink::VideoSink(QObject *parent) : QObject(parent)
{
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
}

VideoSink::~VideoSink() = default;

void VideoSink::setOutputFrame(int orientation, QVideoFrameFormat, QVideoFrame frame)
{
    if (!m_started)
        return;
    if (m_orientation != orientation) {
        m_orientation = orientation;
        emit orientationChanged(orientation);
    }
    for (QVideoSink *sink : std::as_const(m_sinks))
        sink->setVideoFrame(frame);
}

void VideoSink::appendSink(QVideoSink *sink)
{
    if (!sink)
        return;
    if (!m_sinks.contains(sink)) {
        m_sinks.append(sink);
        // An output that QML destroys while registered must not be written to again.
        connect(sink, &QObject::destroyed, this, &VideoSink::forgetSink, Qt::UniqueConnection);
    }
    setStarted(true);
}

void VideoSink::removeSink(QVideoSink *sink)
{
    if (!sink)
        return;
    sink->setVideoFrame(QVideoFrame());
    if (m_sinks.removeOne(sink))
        disconnect(sink, &QObject::destroyed, this, &VideoSink::forgetSink);
    if (m_sinks.isEmpty())
        setStarted(false);
}

void VideoSink::clearSinks()
{
    for (QVideoSink *sink : std::as_const(m_sinks))
        disconnect(sink, &QObject::destroyed, this, &VideoSink::forgetSink);
    m_sinks.clear();
}

void VideoSink::forgetSink(QObject *sink)
{
    m_sinks.removeAll(static_cast<QVideoSink *>(sink));
}

void VideoSink::setStarted(bool started)
{
    if (m_started == started)
        return;
    m_started = started;
    emit startedChanged();
}
