#pragma once
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>

class MeetingAttendeeUser;
class QVideoFrame;
class QVideoSink;

// What one client saw: per sender, the frames it displayed and their capture-to-display delays
// over time, and the loudest level its tile reported.
class FrameStats : public QObject
{
    Q_OBJECT
public:
    struct Sample
    {
        qint64 atMs; // wall clock when displayed
        int latencyMs;
    };
    struct Stream
    {
        int frames = 0;
        int badStamps = 0;
        int repeats = 0; // the same frame handed to an output again
        quint32 lastCounter = 0;
        QList<Sample> samples;
    };

    explicit FrameStats(qint64 uid, QObject *parent = nullptr);

    // Counts the frames `output` displays and follows the level of `user`'s tile, for as long
    // as both live.
    Q_INVOKABLE void watch(QVideoSink *output, MeetingAttendeeUser *user);

    QJsonObject toJson() const;

    // Summary figures of a series, for the printed lines.
    struct Percentiles
    {
        int p50 = 0, p95 = 0, max = 0;
    };
    static Percentiles percentiles(QList<int> ms);

private:
    void onFrame(const QVideoFrame &frame);

    const qint64 m_uid;
    QHash<qint64, Stream> m_streams;   // by sender read from the stamp
    QHash<qint64, double> m_peakLevel; // by attendee
};
