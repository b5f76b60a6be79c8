#pragma once
#include "gstref.h"
#include "mediametrics.h"
#include <QObject>
#include <QSize>
#include <QString>
#include <QVideoFrame>
#include <memory>

namespace qtwebrtc::rtc {

class FrameFeed;
struct PeerShared;

// One WebRTC connection to Janus in a pipeline of its own: the publisher sends the camera and
// the voice (synthetic, or pushed through a feed); a subscriber receives one remote feed, hands its
// decoded frames on and measures and plays its audio. Lives on the engine thread; GStreamer's
// threads only post to it.
class RtcPeer : public QObject
{
    Q_OBJECT
public:
    enum class Role { Publisher, Subscriber };
    struct Options
    {
        quint32 stampSender = 0; // publisher: the id stamped into each frame
        double toneHz = 440;     // publisher: pitch of the synthetic voice
        bool sendAudio = true;   // publisher: initial state of each medium
        bool sendVideo = true;
        // Publisher: a chain ending in raw I420 of `videoSize`; empty for the synthetic camera.
        QByteArray videoSource;
        QSize videoSize{320, 240};
        bool stampVideo = true; // only synthetic pictures carry stamps
        bool withAudio = true;
        int videoBitrate = 300000;
        bool temporalLayers = false; // publisher: video in layers a receiver can pick from
        bool loopbackOnly = false;   // gather only 127.0.0.1 (Janus on this machine)
        QString audioSink;           // subscriber: playout element description
        // Publisher: what the feed carries replaces the synthetic camera or voice.
        std::shared_ptr<FrameFeed> feed;
    };

    RtcPeer(Role role, const Options &options, QObject *parent = nullptr);
    ~RtcPeer() override;

    // Builds the pipeline and sets it playing; a publisher then offers by itself.
    bool start(QString *error);
    // Takes the pipeline to NULL at once; no signal follows. Also done by the destructor.
    void stop();
    void acceptOffer(const QString &sdp);
    void acceptAnswer(const QString &sdp);
    // The message carrying our description has gone out: candidates may follow it now.
    void signalingSent();
    // A candidate the other side trickled (Janus sends none: its own are in its description).
    void addRemoteCandidate(int mline, const QString &candidate);

    // Publisher: stops or resumes sending one medium (nothing leaves the encoder while off).
    void setSending(bool audio, bool on);
    // Subscriber: playout gain and whether audio and frames are handed on at all.
    void setPlayout(double gain, bool audioOn, bool videoOn);
    void pollStats();

    bool isConnected() const { return m_connected; }
    // Pipelines alive in this process, for leak checks.
    static int liveCount();

signals:
    void localDescription(QString sdp);
    void localCandidate(int mline, QString candidate);
    void candidatesDone();
    void connectionChanged(bool connected);
    void failed(QString reason);
    void videoFrame(QVideoFrame frame);
    // Subscriber: the level as received (who speaks) and as played, after the playout gain.
    void audioLevel(double rmsDb, double peakDb);
    void playedLevel(double rmsDb, double peakDb);
    void transportStats(qtwebrtc::rtc::MediaMetrics::Transport stats);

public:
    // What GStreamer's threads post; each runs on the engine thread.
    void createOffer();
    void onLocalDescription(const QString &sdp);
    void onConnectionState(int state);
    void onReceiveCounters(quint64 lost, quint64 received, MediaMetrics::Transport t);
    void onLocalCandidate(int mline, const QString &candidate);
    void onGatheringDone();

private:
    QByteArray description() const;
    bool build(QString *error);
    void setUpPublisher();
    bool setRemote(const QString &sdp, int type);
    void request(const char *signal, void (*onReply)(GstPromise *, gpointer));

    Role m_role;
    Options m_options;
    std::shared_ptr<PeerShared> m_shared;
    ElementRef m_pipeline;
    ElementRef m_webrtc;
    bool m_signalingSent = false;
    bool m_gatheringDone = false;
    bool m_connected = false;
    QList<QPair<int, QString>> m_candidates;
    quint64 m_lastLost = 0;
    quint64 m_lastReceived = 0;
};

} // namespace qtwebrtc::rtc

Q_DECLARE_METATYPE(qtwebrtc::rtc::MediaMetrics::Transport)
