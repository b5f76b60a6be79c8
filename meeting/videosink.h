#pragma once
#include "meeting_global.h"
#include <QList>
#include <QObject>
#include <QVideoFrame>
#include <QVideoFrameFormat>

class QVideoSink;

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

    Q_INVOKABLE int orientation() const { return m_orientation; }
    Q_INVOKABLE void appendSink(QVideoSink *sink);
    Q_INVOKABLE void removeSink(QVideoSink *sink);
    Q_INVOKABLE void clearSinks();

    bool started() const { return m_started; }
    void setStarted(bool started);
    int sinkCount() const { return int(m_sinks.size()); }

public slots:
    void setOutputFrame(int orientation, QVideoFrameFormat format, QVideoFrame frame);

signals:
    void startedChanged();
    void orientationChanged(int orientation);

private:
    QList<QVideoSink *> m_sinks;
    bool m_started = false;
    int m_orientation = 0;
};
