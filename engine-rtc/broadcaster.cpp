#include "broadcaster.h"
#include "januslink.h"
#include "janustarget.h"
#include "mediametrics.h"
#include "rtclog.h"
#include "rtcpeer.h"
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <atomic>
#include <gst/gst.h>
#include <map>

namespace qtwebrtc {

namespace rtc {
Q_LOGGING_CATEGORY(lcRtc, "im.meeting")
} // namespace rtc

using namespace rtc;

namespace {
std::atomic<int> g_aliveEngines{0};
constexpr int kLevelIntervalMs = 100;
constexpr int kStatsIntervalMs = 2000;
// Level reports stop when no audio arrives (a muted sender sends nothing): a stale level is
// silence.
constexpr qint64 kLevelStaleMs = 400;
constexpr double kSilenceDb = -200;

QJsonObject pluginData(const QJsonObject &m)
{
    return m.value(QStringLiteral("plugindata"))
        .toObject()
        .value(QStringLiteral("data"))
        .toObject();
}

qint64 idOf(const QJsonValue &v)
{
    return qint64(v.toDouble());
}

QJsonObject jsep(const QString &type, const QString &sdp)
{
    return {{QStringLiteral("type"), type}, {QStringLiteral("sdp"), sdp}};
}
} // namespace

class BroadcasterPrivate
{
public:
    struct Remote
    {
        quint64 handle = 0;
        RtcPeer *peer = nullptr;
        double gain = 1.0;
        bool audioOn = true;
        bool videoOn = true;
        double rmsDb = kSilenceDb;
        double peakDb = kSilenceDb;
        qint64 levelAtMs = 0;
        int score = -1;
    };

    BroadcasterPrivate(Broadcaster *owner, qint64 uid) : q(owner), userId(uid) {}

    void start(const QString &mediaServerUrl);
    void onSessionReady();
    void createRoom();
    void joinRoom();
    void onJoined(const QJsonObject &data);
    void startPublisher();
    void subscribe(qint64 uid);
    void startSubscriber(qint64 uid, const QString &offer);
    void wirePeer(RtcPeer *peer, quint64 handle, qint64 uid);
    void onHandleEvent(quint64 handle, const QJsonObject &m);
    void onRemoteGone(qint64 uid, bool kicked);
    void dropRemote(qint64 uid);
    void onConnection(qint64 uid, bool connected);
    void onMediaFailed(const QString &reason);
    void onLost(const QString &reason);
    void reportLevels();
    void reportScore(qint64 uid, const MediaMetrics::Transport &t, bool connected);
    void stopPeer(RtcPeer *&peer);
    void teardown();
    QByteArray roomInfo() const;
    void applyPlayout(Remote &r);

    Broadcaster *q;
    qint64 userId;
    CallInfo info;
    JanusTarget target;
    JanusLink *link = nullptr;
    quint64 publisherHandle = 0;
    RtcPeer *publisher = nullptr;
    std::map<qint64, Remote> remotes;
    QTimer *levelTimer = nullptr;
    QTimer *statsTimer = nullptr;
    bool sendAudio = true;
    bool sendVideo = true;
    int ownScore = -1;
    QString audioSink = QStringLiteral("autoaudiosink");
};

void BroadcasterPrivate::start(const QString &mediaServerUrl)
{
    target = JanusTarget::fromMediaUrl(mediaServerUrl);
    if (!target.isValid()) {
        qCWarning(lcRtc) << "call not started:" << target.error;
        emit q->sigNotifyError(ERR_UNKNOWN, target.error);
        return;
    }
    if (!gst_init_check(nullptr, nullptr, nullptr) ||
        !gst_registry_check_feature_version(gst_registry_get(), "webrtcbin", 1, 16, 0)) {
        emit q->sigNotifyError(ERR_UNKNOWN, QStringLiteral("GStreamer's WebRTC plugin is missing"));
        return;
    }
    const QString sink = qEnvironmentVariable("MEETING_RTC_AUDIO_SINK");
    if (!sink.isEmpty())
        audioSink = sink;
    link = new JanusLink(q);
    QObject::connect(link, &JanusLink::ready, q, [this] { onSessionReady(); });
    QObject::connect(link, &JanusLink::lost, q, [this](const QString &why) { onLost(why); });
    QObject::connect(link, &JanusLink::handleEvent, q,
                     [this](quint64 h, const QJsonObject &m) { onHandleEvent(h, m); });
    levelTimer = new QTimer(q);
    levelTimer->setInterval(kLevelIntervalMs);
    QObject::connect(levelTimer, &QTimer::timeout, q, [this] { reportLevels(); });
    statsTimer = new QTimer(q);
    statsTimer->setInterval(kStatsIntervalMs);
    QObject::connect(statsTimer, &QTimer::timeout, q, [this] {
        if (publisher)
            publisher->pollStats();
        for (auto &[uid, r] : remotes) {
            if (r.peer)
                r.peer->pollStats();
        }
    });
    link->open(target.url);
}

void BroadcasterPrivate::onSessionReady()
{
    link->attach([this](bool ok, const QJsonObject &m) {
        publisherHandle = quint64(
            m.value(QStringLiteral("data")).toObject().value(QStringLiteral("id")).toDouble());
        if (!ok || publisherHandle == 0)
            return onLost(QStringLiteral("the media server refused the VideoRoom plugin"));
        createRoom();
    });
}

// Until the meeting server creates rooms, the first engine in a room creates it.
void BroadcasterPrivate::createRoom()
{
    const QJsonObject body{{QStringLiteral("request"), QStringLiteral("create")},
                           {QStringLiteral("room"), double(target.room)},
                           {QStringLiteral("publishers"), qMax(2, info.limit)},
                           {QStringLiteral("audiocodec"), QStringLiteral("opus")},
                           {QStringLiteral("videocodec"), QStringLiteral("vp8")}};
    link->message(publisherHandle, body, {}, [this](bool ok, const QJsonObject &m) {
        int code = 0;
        const QString error = JanusLink::pluginError(m, &code);
        const int kRoomExists = 427;
        if (!ok && code != kRoomExists)
            return onLost(QStringLiteral("the media server refused the room: ") + error);
        joinRoom();
    });
}

void BroadcasterPrivate::joinRoom()
{
    const QJsonObject body{{QStringLiteral("request"), QStringLiteral("join")},
                           {QStringLiteral("ptype"), QStringLiteral("publisher")},
                           {QStringLiteral("room"), double(target.room)},
                           {QStringLiteral("id"), double(userId)},
                           {QStringLiteral("display"), QString::number(userId)}};
    link->message(publisherHandle, body, {}, [this](bool ok, const QJsonObject &m) {
        if (!ok)
            return onLost(QStringLiteral("the media server refused the join: ") +
                          JanusLink::pluginError(m));
        onJoined(pluginData(m));
    });
}

void BroadcasterPrivate::onJoined(const QJsonObject &data)
{
    emit q->sigNotifyJoin(userId, 0, roomInfo());
    for (const QJsonValue &p : data.value(QStringLiteral("publishers")).toArray())
        subscribe(idOf(p.toObject().value(QStringLiteral("id"))));
    levelTimer->start();
    statsTimer->start();
    startPublisher();
}

void BroadcasterPrivate::startPublisher()
{
    RtcPeer::Options o;
    o.stampSender = quint32(userId);
    o.toneHz = 300 + double(userId % 8) * 60; // tells senders apart by ear
    o.sendAudio = sendAudio;
    o.sendVideo = sendVideo;
    o.loopbackOnly = target.isLoopback();
    publisher = new RtcPeer(RtcPeer::Role::Publisher, o, q);
    QObject::connect(publisher, &RtcPeer::localDescription, q, [this](const QString &sdp) {
        const QJsonObject body{{QStringLiteral("request"), QStringLiteral("publish")}};
        link->message(publisherHandle, body, jsep(QStringLiteral("offer"), sdp),
                      [this](bool ok, const QJsonObject &m) {
                          const QJsonObject answer = m.value(QStringLiteral("jsep")).toObject();
                          if (!ok || !publisher || answer.isEmpty())
                              return onMediaFailed(QStringLiteral("publishing was refused"));
                          publisher->acceptAnswer(answer.value(QStringLiteral("sdp")).toString());
                      });
        publisher->signalingSent();
    });
    wirePeer(publisher, publisherHandle, userId);
    QString error;
    if (!publisher->start(&error))
        onMediaFailed(error);
}

void BroadcasterPrivate::subscribe(qint64 uid)
{
    if (uid <= 0 || uid == userId || remotes.count(uid))
        return;
    remotes[uid] = Remote{};
    emit q->sigNotifyJoin(uid, 0, roomInfo());
    link->attach([this, uid](bool ok, const QJsonObject &m) {
        const quint64 handle = quint64(
            m.value(QStringLiteral("data")).toObject().value(QStringLiteral("id")).toDouble());
        auto it = remotes.find(uid);
        if (!ok || it == remotes.end()) {
            if (handle != 0)
                link->detach(handle);
            return;
        }
        it->second.handle = handle;
        const QJsonObject body{{QStringLiteral("request"), QStringLiteral("join")},
                               {QStringLiteral("ptype"), QStringLiteral("subscriber")},
                               {QStringLiteral("room"), double(target.room)},
                               {QStringLiteral("streams"),
                                QJsonArray{QJsonObject{{QStringLiteral("feed"), double(uid)}}}}};
        link->message(handle, body, {}, [this, uid, handle](bool ok, const QJsonObject &m) {
            const QString offer =
                m.value(QStringLiteral("jsep")).toObject().value(QStringLiteral("sdp")).toString();
            auto it = remotes.find(uid);
            if (it == remotes.end() || it->second.handle != handle)
                return;
            if (!ok || offer.isEmpty()) {
                qCWarning(lcRtc) << "media server refused the stream of" << uid;
                return;
            }
            startSubscriber(uid, offer);
        });
    });
}

void BroadcasterPrivate::startSubscriber(qint64 uid, const QString &offer)
{
    Remote &r = remotes[uid];
    RtcPeer::Options o;
    o.loopbackOnly = target.isLoopback();
    o.audioSink = audioSink;
    r.peer = new RtcPeer(RtcPeer::Role::Subscriber, o, q);
    const quint64 handle = r.handle;
    RtcPeer *peer = r.peer;
    QObject::connect(peer, &RtcPeer::localDescription, q, [this, peer, handle](const QString &sdp) {
        const QJsonObject body{{QStringLiteral("request"), QStringLiteral("start")}};
        link->message(handle, body, jsep(QStringLiteral("answer"), sdp), {});
        peer->signalingSent();
    });
    QObject::connect(peer, &RtcPeer::videoFrame, q, [this, uid](const QVideoFrame &frame) {
        emit q->sigVideoFrame(uid, CONSUMER_VIDEO, 0, frame.surfaceFormat(), frame);
    });
    QObject::connect(peer, &RtcPeer::audioLevel, q, [this, uid](double rms, double peak) {
        auto it = remotes.find(uid);
        if (it == remotes.end())
            return;
        it->second.rmsDb = rms;
        it->second.peakDb = peak;
        it->second.levelAtMs = QDateTime::currentMSecsSinceEpoch();
    });
    wirePeer(peer, handle, uid);
    applyPlayout(r);
    QString error;
    if (!peer->start(&error))
        return onMediaFailed(error);
    peer->acceptOffer(offer);
}

void BroadcasterPrivate::wirePeer(RtcPeer *peer, quint64 handle, qint64 uid)
{
    QObject::connect(peer, &RtcPeer::localCandidate, q,
                     [this, handle](int mline, const QString &candidate) {
                         link->trickle(handle, {{QStringLiteral("candidate"), candidate},
                                                {QStringLiteral("sdpMLineIndex"), mline}});
                     });
    QObject::connect(peer, &RtcPeer::candidatesDone, q, [this, handle] {
        link->trickle(handle, {{QStringLiteral("completed"), true}});
    });
    QObject::connect(peer, &RtcPeer::connectionChanged, q,
                     [this, uid](bool connected) { onConnection(uid, connected); });
    QObject::connect(peer, &RtcPeer::failed, q, [this](const QString &why) { onMediaFailed(why); });
    QObject::connect(peer, &RtcPeer::transportStats, q,
                     [this, peer, uid](const MediaMetrics::Transport &t) {
                         reportScore(uid, t, peer->isConnected());
                     });
}

void BroadcasterPrivate::onConnection(qint64 uid, bool connected)
{
    if (uid == userId) {
        emit q->sigNotifyStateChange(connected ? CALL_CONNECTED : CALL_CONNECTING);
        if (connected)
            emit q->sigNotifyReady(userId, roomInfo());
        return;
    }
    if (!connected)
        return reportScore(uid, {}, false);
    emit q->sigNotifyReady(uid, roomInfo());
    emit q->sigNotifyNewConsumer(uid, MUTE_AUDIO);
    emit q->sigNotifyNewConsumer(uid, MUTE_VIDEO);
}

void BroadcasterPrivate::onHandleEvent(quint64 handle, const QJsonObject &m)
{
    const QString kind = m.value(QStringLiteral("janus")).toString();
    if (kind == QStringLiteral("hangup")) {
        qCWarning(lcRtc) << "media server hung up a stream:"
                         << m.value(QStringLiteral("reason")).toString();
        if (handle == publisherHandle)
            onMediaFailed(QStringLiteral("the media server ended our stream"));
        return;
    }
    if (handle != publisherHandle || kind != QStringLiteral("event"))
        return;
    const QJsonObject data = pluginData(m);
    for (const QJsonValue &p : data.value(QStringLiteral("publishers")).toArray())
        subscribe(idOf(p.toObject().value(QStringLiteral("id"))));
    const bool kicked = data.value(QStringLiteral("reason")).toString() == QStringLiteral("kicked");
    const QJsonValue leaving = data.value(QStringLiteral("leaving"));
    if (leaving.isString() && kicked) {
        teardown();
        emit q->sigNotifyKicked(0, userId);
        emit q->sigNotifyStateChange(CALL_ENDED);
    } else if (leaving.isDouble()) {
        onRemoteGone(idOf(leaving), kicked);
    } else if (data.value(QStringLiteral("kicked")).isDouble()) {
        onRemoteGone(idOf(data.value(QStringLiteral("kicked"))), true);
    } else if (data.value(QStringLiteral("unpublished")).isDouble()) {
        dropRemote(idOf(data.value(QStringLiteral("unpublished"))));
    }
}

void BroadcasterPrivate::onRemoteGone(qint64 uid, bool kicked)
{
    if (!remotes.count(uid))
        return;
    dropRemote(uid);
    if (kicked)
        emit q->sigNotifyKicked(0, uid);
    else
        emit q->sigNotifyLeave(uid);
}

void BroadcasterPrivate::dropRemote(qint64 uid)
{
    auto it = remotes.find(uid);
    if (it == remotes.end())
        return;
    stopPeer(it->second.peer);
    if (it->second.handle != 0 && link)
        link->detach(it->second.handle);
    remotes.erase(it);
}

void BroadcasterPrivate::onMediaFailed(const QString &reason)
{
    qCWarning(lcRtc) << "media failure:" << reason;
    emit q->sigNotifyError(ERR_MEDIA_CONNECT, reason);
}

void BroadcasterPrivate::onLost(const QString &reason)
{
    qCWarning(lcRtc) << "media server lost:" << reason;
    teardown();
    emit q->sigNotifyError(ERR_SOCKET, reason);
    emit q->sigNotifyStateChange(CALL_ENDED);
}

void BroadcasterPrivate::reportLevels()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (auto &[uid, r] : remotes) {
        if (!r.peer)
            continue;
        const bool fresh = now - r.levelAtMs <= kLevelStaleMs && r.audioOn;
        const double peak = MediaMetrics::displayLevel(fresh ? r.peakDb : kSilenceDb);
        const double average = MediaMetrics::displayLevel(fresh ? r.rmsDb : kSilenceDb);
        emit q->sigNotifyDecibel(uid, CONSUMER_VIDEO, average, peak, {QVariant(peak)});
    }
}

void BroadcasterPrivate::reportScore(qint64 uid, const MediaMetrics::Transport &t, bool connected)
{
    const int score = MediaMetrics::networkScore(t, connected);
    int *last = &ownScore;
    if (uid != userId) {
        auto it = remotes.find(uid);
        if (it == remotes.end())
            return;
        last = &it->second.score;
    }
    if (*last == score)
        return;
    *last = score;
    emit q->sigNotifyScore(uid, score);
}

// Stops the pipeline now; the object itself goes later, as this may run inside its own signal.
void BroadcasterPrivate::stopPeer(RtcPeer *&peer)
{
    if (!peer)
        return;
    QObject::disconnect(peer, nullptr, q, nullptr);
    peer->stop();
    peer->deleteLater();
    peer = nullptr;
}

void BroadcasterPrivate::teardown()
{
    if (levelTimer)
        levelTimer->stop();
    if (statsTimer)
        statsTimer->stop();
    stopPeer(publisher);
    for (auto &[uid, r] : remotes)
        stopPeer(r.peer);
    remotes.clear();
    if (link) {
        QObject::disconnect(link, nullptr, q, nullptr);
        link->close();
        link->deleteLater();
        link = nullptr;
    }
    publisherHandle = 0;
}

QByteArray BroadcasterPrivate::roomInfo() const
{
    auto entry = [](qint64 id, bool audio, bool video) {
        return QJsonObject{
            {QStringLiteral("id"), double(id)},
            {QStringLiteral("inviter"), 0},
            {QStringLiteral("status"), QStringLiteral("ACTIVE")},
            {QStringLiteral("role"), QStringLiteral("speaker")},
            {QStringLiteral("raiseHand"), 0},
            {QStringLiteral("invitingSpeak"), 0},
            {QStringLiteral("mute"), QJsonObject{{QStringLiteral("audio"), audio ? 0 : 1},
                                                 {QStringLiteral("video"), video ? 0 : 1}}}};
    };
    QJsonArray attendees{entry(userId, sendAudio, sendVideo)};
    for (const auto &[uid, r] : remotes)
        attendees.append(entry(uid, true, true));
    return QJsonDocument(QJsonObject{{QStringLiteral("attendees"), attendees}})
        .toJson(QJsonDocument::Compact);
}

void BroadcasterPrivate::applyPlayout(Remote &r)
{
    if (r.peer)
        r.peer->setPlayout(r.gain, r.audioOn, r.videoOn);
}

Broadcaster::Broadcaster(qint64 userId, QObject *parent)
    : QObject(parent), d(std::make_unique<BroadcasterPrivate>(this, userId))
{
    ++g_aliveEngines;
}

Broadcaster::~Broadcaster()
{
    d->teardown();
    --g_aliveEngines;
}

qint64 Broadcaster::userId() const
{
    return d->userId;
}

int Broadcaster::aliveCount()
{
    return g_aliveEngines.load();
}

int Broadcaster::pipelineCount()
{
    return RtcPeer::liveCount();
}

void Broadcaster::init()
{
    if (!gst_init_check(nullptr, nullptr, nullptr))
        qCWarning(lcRtc) << "GStreamer did not initialise";
}

// Media is protected by DTLS-SRTP; the meeting key belongs to the control channel.
void Broadcaster::setEncryptionKey(const QByteArray &, unsigned short) {}

void Broadcaster::createCall(const QString &mediaServerUrl, const CallInfo &info)
{
    if (d->link) {
        qCWarning(lcRtc) << "a call is already running in this engine";
        return;
    }
    d->info = info;
    d->sendAudio = !info.muteVoice;
    d->sendVideo = !info.muteVideo;
    d->start(mediaServerUrl);
}

void Broadcaster::leave(bool dismiss)
{
    if (!d->link)
        return;
    const QJsonObject body{
        {QStringLiteral("request"), dismiss ? QStringLiteral("destroy") : QStringLiteral("leave")},
        {QStringLiteral("room"), double(d->target.room)}};
    d->link->message(d->publisherHandle, body, {}, {});
    d->teardown();
    emit sigNotifyLeave(d->userId);
    emit sigNotifyStateChange(CALL_ENDED);
}

void Broadcaster::closeWebrtc()
{
    const bool running = d->link != nullptr;
    d->teardown();
    if (running)
        emit sigNotifyStateChange(CALL_ENDED);
}

void Broadcaster::kicked(qint64 uid, bool)
{
    if (!d->link)
        return;
    const QJsonObject body{{QStringLiteral("request"), QStringLiteral("kick")},
                           {QStringLiteral("room"), double(d->target.room)},
                           {QStringLiteral("id"), double(uid)}};
    d->link->message(d->publisherHandle, body, {}, {});
}

// Roles, hands, shares and the whiteboard travel on the meeting server's control channel.
void Broadcaster::transfer(qint64) {}

void Broadcaster::setMute(bool mute, qint64 uid, MuteType type, bool local)
{
    if (type != MUTE_AUDIO && type != MUTE_VIDEO)
        return;
    const bool audio = type == MUTE_AUDIO;
    if (uid == d->userId) {
        (audio ? d->sendAudio : d->sendVideo) = !mute;
        if (d->publisher)
            d->publisher->setSending(audio, !mute);
        emit sigNotifyMute(d->userId, d->userId, mute ? 1 : 0, type);
        return;
    }
    auto it = d->remotes.find(uid);
    if (!local || it == d->remotes.end())
        return;
    (audio ? it->second.audioOn : it->second.videoOn) = !mute;
    d->applyPlayout(it->second);
}

void Broadcaster::setMuteAll(bool, bool, MuteType) {}
void Broadcaster::setAllowUnmute(bool, MuteType) {}
void Broadcaster::setRequestOpenDev(MuteType) {}

int Broadcaster::setVolume(qint64 uid, double volume)
{
    auto it = d->remotes.find(uid);
    if (it == d->remotes.end())
        return -1;
    it->second.gain = MediaMetrics::playoutGain(volume);
    d->applyPlayout(it->second);
    return 0;
}

// Janus switches layers only for a publisher that sends simulcast, which ours do not yet.
void Broadcaster::setConsumerlayers(LayersLevel spatial, LayersLevel temporal, qint64 uid)
{
    auto it = d->remotes.find(uid);
    if (it == d->remotes.end() || !d->link || it->second.handle == 0)
        return;
    const QJsonObject body{{QStringLiteral("request"), QStringLiteral("configure")},
                           {QStringLiteral("substream"), int(spatial)},
                           {QStringLiteral("temporal"), int(temporal)}};
    d->link->message(it->second.handle, body, {}, {});
}

void Broadcaster::setMirror(bool) {}
void Broadcaster::setSoundEffectType(SoundEffectType) {}
void Broadcaster::setProxy(const QString &) {}

// Capture is synthetic for now; the device names are accepted and kept for later.
int Broadcaster::setAudioRecordingDevice(QString)
{
    return 0;
}

int Broadcaster::setAudioPlayoutDevice(QString)
{
    return 0;
}

int Broadcaster::setVideoRecordingDevice(QString)
{
    return 0;
}

int Broadcaster::getMaxDecibel()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    double best = 0;
    for (const auto &[uid, r] : d->remotes) {
        if (now - r.levelAtMs <= kLevelStaleMs)
            best = qMax(best, MediaMetrics::displayLevel(r.peakDb));
    }
    return int(best);
}

void Broadcaster::raiseHand(bool) {}
void Broadcaster::inviteSpeak(qint64, bool) {}
void Broadcaster::agreeSpeak(qint64, bool) {}
void Broadcaster::rejectSpeak(qint64) {}
void Broadcaster::beListener(qint64) {}

void Broadcaster::createShare(ShareType, QScreen *, const QRect &, int)
{
    emit sigNotifyError(ERR_SHARE, QStringLiteral("screen sharing is not available yet"));
}

void Broadcaster::createComputerAudio() {}
void Broadcaster::closeShare(const QString &) {}
void Broadcaster::setAllowDraw(const QString &, bool) {}
void Broadcaster::setSharePremission(const QString &, bool) {}

void Broadcaster::sendData(im::whiteboard::TransferData *data)
{
    delete data;
}

void Broadcaster::setWhiteboard(QImage *) {}

} // namespace qtwebrtc
