#pragma once
#include "meeting_global.h"
#include <QList>
#include <QObject>
#include <QVideoFrame>
#include <QVideoFrameFormat>
#include <memory>

class QVideoSink;
struct VideoSinkPrivate;

/// Fans one decoded stream out to every QML video output that shows it; frames are shared,
/// never copied.
class MEETING_EXPORT VideoSink : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool started READ started WRITE setStarted NOTIFY startedChanged)
    Q_PROPERTY(int orientation READ orientation NOTIFY orientationChanged)
public:
    explicit VideoSink(QObject *parent = nullptr);
    ~VideoSink() override;

    /// The orientation of the latest frame, as the engine reported it.
    Q_INVOKABLE int orientation() const;
    /// Adds a QML output (not owned); a destroyed output is forgotten by itself, null is ignored.
    Q_INVOKABLE void appendSink(QVideoSink *sink);
    /// Stops feeding `sink`.
    Q_INVOKABLE void removeSink(QVideoSink *sink);
    /// Stops feeding every output.
    Q_INVOKABLE void clearSinks();

    /// Frames are passed on only while started; the meeting model starts the sinks it feeds.
    bool started() const;
    void setStarted(bool started);
    int sinkCount() const;

public slots:
    /// Hands one frame to every output while started; ignored otherwise. Main thread.
    void setOutputFrame(int orientation, QVideoFrameFormat format, QVideoFrame frame);

signals:
    void startedChanged();
    void orientationChanged(int orientation);

private:
    std::unique_ptr<VideoSinkPrivate> d;
};
