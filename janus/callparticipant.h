#pragma once
#include "broadcaster.h"
#include <QHash>
#include <QList>
#include <QObject>
#include <QThread>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

namespace meetingjanus {

// One engine on its own thread, driven as the meeting model drives it (queued calls), and what
// it received: per sender, the frames whose stamps read back and their delays, and the levels.
class CallParticipant : public QObject
{
    Q_OBJECT
public:
    struct Track
    {
        int frames = 0;
        int badStamps = 0;
        quint32 lastCounter = 0;
        QList<qint32> latencies; // capture to hand-over, ms
    };
    struct LevelReport
    {
        qint64 atMs;
        double peak;
    };
    // A share or removal report: who did it, to whom or to which share.
    struct Report
    {
        qint64 operatorId;
        QVariant subject;
        int type;
        bool operator==(const Report &o) const
        {
            return operatorId == o.operatorId && subject == o.subject && type == o.type;
        }
    };

    explicit CallParticipant(qint64 uid, QObject *parent = nullptr);
    ~CallParticipant() override;

    // Runs `fn` on the engine's thread, queued behind everything posted before.
    void post(std::function<void(qtwebrtc::Broadcaster *)> fn);
    // Quits the engine thread and waits; the thread's end deletes the engine.
    void stop();

    double peakSince(qint64 from, qint64 sinceMs) const;
    void clearLatencies();

    const qint64 uid;
    QHash<qint64, Track> tracks;      // camera frames, by sender
    QHash<qint64, Track> shareTracks; // shared-screen frames, by sender
    QList<Report> sharesCreated;      // (operator, share id, type)
    QList<Report> sharesClosed;       // (operator, share id, 0)
    QList<Report> kicks;              // (operator, removed uid, 0)
    QHash<qint64, QList<LevelReport>> levels;
    QList<qtwebrtc::CallState> states;
    QList<qtwebrtc::Error> errors;
    QHash<int, qint64> mutedAtMs; // when the engine confirmed its own mute, by mute type

    // True when every participant has received `frames` camera frames from every other one.
    static bool everyoneSees(const std::vector<std::unique_ptr<CallParticipant>> &call, int frames);
    // The media URL that sends an engine to `room` of the Janus at `janus`; the host's engine
    // also gets the room's secret.
    static QString mediaUrl(const QUrl &janus, quint64 room, const QString &secret = {},
                            qint64 host = 0);
    // Creates `room` with `secret`, as the meeting server would before anyone joins. Blocks
    // (running events) for at most `timeoutMs`.
    static bool createRoom(const QUrl &janus, quint64 room, const QString &secret, QString *error,
                           int timeoutMs = 10000);
    // Empty when GStreamer has every element the engine uses; otherwise the first missing one.
    static QString missingElements();

private:
    void onFrame(Track &t, qint64 from, QVideoFrame frame);

    QThread m_thread;
    qtwebrtc::Broadcaster *m_engine;
};

} // namespace meetingjanus
