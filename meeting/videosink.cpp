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
    // By index: an output's frame handler may add or remove outputs while we deliver.
    // NOLINTNEXTLINE(modernize-loop-convert)
    for (qsizetype i = 0; i < m_sinks.size(); ++i)
        m_sinks.at(i)->setVideoFrame(frame);
}

void VideoSink::appendSink(QVideoSink *sink)
{
    if (!sink)
        return;
    if (!m_sinks.contains(sink)) {
        m_sinks.append(sink);
        // An output that QML destroys while registered must not be written to again.
        // Compares addresses only: the output is half destroyed when this runs.
        connect(sink, &QObject::destroyed, this, [this, sink] { m_sinks.removeAll(sink); });
    }
    setStarted(true);
}

void VideoSink::removeSink(QVideoSink *sink)
{
    if (!sink)
        return;
    sink->setVideoFrame(QVideoFrame());
    if (m_sinks.removeOne(sink))
        disconnect(sink, &QObject::destroyed, this, nullptr);
    if (m_sinks.isEmpty())
        setStarted(false);
}

void VideoSink::clearSinks()
{
    for (QVideoSink *sink : std::as_const(m_sinks))
        disconnect(sink, &QObject::destroyed, this, nullptr);
    m_sinks.clear();
}

void VideoSink::setStarted(bool started)
{
    if (m_started == started)
        return;
    m_started = started;
    emit startedChanged();
}
