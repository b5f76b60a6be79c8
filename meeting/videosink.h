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
///
/// Each attendee tile (`MeetingAttendeeUser::videoSink`) owns one sink; the meeting model hands
/// it the engine's frames for that tile. QML registers the `QVideoSink` of each `VideoOutput`
/// showing the tile with `appendSink` and unregisters it with `removeSink`, so one stream can
/// fill a large tile and a thumbnail at once without a second decode.
///
/// Main thread only, like QML. Never owned by the QML engine: its owner (the tile) deletes it.
class MEETING_EXPORT VideoSink : public QObject
{
    Q_OBJECT
    /// True while frames are passed on. `appendSink` starts the sink; removing its last output
    /// stops it, and so do the attendee lists when the tile's row goes or its attendee
    /// reconnects (until an output is added again). `startedChanged` fires on every change.
    Q_PROPERTY(bool started READ started WRITE setStarted NOTIFY startedChanged)
    /// The orientation value that came with the latest frame passed on (0 until then), as the
    /// engine reports it; `orientationChanged` fires when a frame brings another value.
    Q_PROPERTY(int orientation READ orientation NOTIFY orientationChanged)
public:
    /// Creates a stopped sink without outputs; C++ ownership (the QML engine never deletes it).
    explicit VideoSink(QObject *parent = nullptr);
    ~VideoSink() override;

    /// The orientation of the latest frame, as the engine reported it.
    Q_INVOKABLE int orientation() const;
    /// Adds a QML output (not owned) and starts the sink. An output registered already is not
    /// added twice, a destroyed output is forgotten by itself, null is ignored.
    Q_INVOKABLE void appendSink(QVideoSink *sink);
    /// Stops feeding `sink` and blanks it with an empty frame, registered or not; the sink stops
    /// when no output is left. Null is ignored.
    Q_INVOKABLE void removeSink(QVideoSink *sink);
    /// Forgets every output without blanking it; `started` keeps its value, so frames then
    /// reach nobody until an output is added.
    Q_INVOKABLE void clearSinks();

    /// Frames are passed on only while started; `appendSink` starts the sink.
    bool started() const;
    /// Switches frame delivery on or off without touching the registered outputs (they keep
    /// their last picture); emits `startedChanged` only on change.
    void setStarted(bool started);
    /// Number of registered outputs; an output registered twice counts once.
    int sinkCount() const;

public slots:
    /// Hands one frame to every output while started; ignored otherwise. Main thread.
    void setOutputFrame(int orientation, QVideoFrameFormat format, QVideoFrame frame);

signals:
    /// `started` changed; read the new value with `started()`.
    void startedChanged();
    /// A frame passed on carried another orientation than the one before.
    void orientationChanged(int orientation);

private:
    std::unique_ptr<VideoSinkPrivate> d;
};
