#include "broadcaster.h"
#include "../engine/mediachannel.h"
#include "devicecapture.h"
#include "framefeed.h"
#include "januslink.h"
#include "janustarget.h"
#include "mediametrics.h"
#include "rtclog.h"
#include "rtcpeer.h"
#include "screensource.h"
#include "sharelabel.h"
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTimer>
#include <QUrlQuery>
#include <atomic>
#include <gst/gst.h>
#include <map>
#include <set>

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

quint64 handleOf(const QJsonObject &attached)
{
    return quint64(qMax(
        0LL, idOf(attached.value(QStringLiteral("data")).toObject().value(QStringLiteral("id")))));
}

QJsonObject jsep(const QString &type, const QString &sdp)
{
    return {{QStringLiteral("type"), type}, {QStringLiteral("sdp"), sdp}};
}

// What the meeting server hands out: its media room, a WebSocket address with a signed token.
bool isServerUrl(const QUrl &url)
{
    const bool socket = url.scheme() == QLatin1String("ws") || url.scheme() == QLatin1String("wss");
    return socket && QUrlQuery(url).hasQueryItem(QStringLiteral("token"));
}
} // namespace

class BroadcasterPrivate
{
public:
    // One remote feed: a participant's camera and voice (fed under the participant's id) or
    // a participant's share (under an id of its own, named by its display text).
    struct Remote
    {
        qint64 uid = 0;
        QString shareId; // empty for a camera feed
        ShareType shareType = SHARE_NONE;
        quint64 handle = 0;
        RtcPeer *peer = nullptr;
        double gain = 1.0;
        bool audioOn = true;
        bool videoOn = true;
        double rmsDb = kSilenceDb;
        double peakDb = kSilenceDb;
        qint64 levelAtMs = 0;
        double playedPeakDb = kSilenceDb; // after the playout gain
        qint64 playedAtMs = 0;
        int score = -1;

        bool isShare() const { return !shareId.isEmpty(); }
    };
    // This engine's own share: a second publisher in the room.
    struct OwnShare
    {
        quint64 handle = 0;
        quint64 feed = 0;
        RtcPeer *peer = nullptr;
        ShareType type = SHARE_NONE; // SHARE_NONE: no share, not even one being set up
        QString id;                  // known once Janus has given the feed its id
        QString serverId;            // the control channel's name for it
        bool announced = false;
    };

    BroadcasterPrivate(Broadcaster *owner, qint64 uid) : q(owner), userId(uid) {}

    void start(const QString &mediaServerUrl);
    void openControl(const QUrl &url);
    void closeControl();
    void forward(const char *name, const QVariantList &args = {});
    void setSending(bool mute, MuteType type);
    void onSessionReady();
    void createRoom();
    void joinRoom();
    void onJoined(const QJsonObject &data);
    void startPublisher();
    void startCapture(const DeviceCapture::Choice &choice);
    void switchDevices();
    void publish(RtcPeer *peer, quint64 handle);
    void onPublishers(const QJsonArray &publishers);
    void subscribe(quint64 feed, const Remote &what);
    void startSubscriber(quint64 feed, const QString &offer);
    void wirePeer(RtcPeer *peer, quint64 handle, quint64 feed);
    void onHandleEvent(quint64 handle, const QJsonObject &m);
    void onFeedGone(quint64 feed, bool kicked);
    void dropRemote(quint64 feed);
    void onConnection(quint64 feed, bool connected);
    void onMediaFailed(const QString &reason);
    void onLost(const QString &reason);
    void reportLevels();
    void reportScore(quint64 feed, const MediaMetrics::Transport &t, bool connected);
    void startShare(ShareType type, const ScreenSource &source);
    void onShareJoined(const QJsonObject &data, const ScreenSource &source);
    void stopShare();
    void failShare(const QString &reason);
    void stopPeer(RtcPeer *&peer);
    void teardown();
    QJsonObject withSecret(QJsonObject body) const;
    QByteArray roomInfo() const;
    void applyPlayout(Remote &r);

    Broadcaster *q;
    qint64 userId;
    CallInfo info;
    JanusTarget target;
    JanusLink *link = nullptr;
    // The meeting server's room: with it, attendees and their states come from the server and
    // Janus carries media only.
    MediaChannel *control = nullptr;
    quint64 publisherHandle = 0;
    RtcPeer *publisher = nullptr;
    std::map<quint64, Remote> remotes; // by feed id
    std::set<qint64> present;          // participants announced with a join
    OwnShare share;
    QString cameraWanted; // by id or description; empty for the default
    QString microphoneWanted;
    DeviceCapture *capture = nullptr; // only while the call captures from devices
    std::shared_ptr<FrameFeed> deviceFeed;
    quint64 shareSerial = 0; // outdates the answers of a share that was stopped meanwhile
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
        for (auto &[feed, r] : remotes) {
            if (r.peer && !r.isShare())
                r.peer->pollStats();
        }
    });
    link->open(target.url);
}

void BroadcasterPrivate::onSessionReady()
{
    link->attach([this](bool ok, const QJsonObject &m) {
        publisherHandle = handleOf(m);
        if (!ok || publisherHandle == 0)
            return onLost(QStringLiteral("the media server refused the VideoRoom plugin"));
        createRoom();
    });
}

// Until the meeting server creates rooms, the first engine in a room creates it.
void BroadcasterPrivate::createRoom()
{
    const QJsonObject body = withSecret({{QStringLiteral("request"), QStringLiteral("create")},
                                         {QStringLiteral("room"), double(target.room)},
                                         // every attendee may share besides its camera
                                         {QStringLiteral("publishers"), 2 * qMax(2, info.limit)},
                                         {QStringLiteral("audiocodec"), QStringLiteral("opus")},
                                         {QStringLiteral("videocodec"), QStringLiteral("vp8")}});
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
    if (!control)
        emit q->sigNotifyJoin(userId, 0, roomInfo());
    onPublishers(data.value(QStringLiteral("publishers")).toArray());
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
    startCapture(DeviceCapture::choose(cameraWanted, microphoneWanted));
    o.feed = deviceFeed;
    o.stampVideo = !(deviceFeed && deviceFeed->carriesVideo()); // only the synthetic camera stamps
    o.temporalLayers = true;
    publisher = new RtcPeer(RtcPeer::Role::Publisher, o, q);
    publish(publisher, publisherHandle);
    wirePeer(publisher, publisherHandle, quint64(userId));
    QString error;
    if (!publisher->start(&error))
        onMediaFailed(error);
}

void BroadcasterPrivate::startCapture(const DeviceCapture::Choice &choice)
{
    if (choice.camera.isNull() && choice.microphone.isNull())
        return;
    if (!deviceFeed)
        deviceFeed =
            std::make_shared<FrameFeed>(!choice.camera.isNull(), !choice.microphone.isNull());
    capture = new DeviceCapture(choice, deviceFeed, q);
    capture->start(sendVideo);
}

// A device named during a call replaces the one in use; whether the call captures from
// devices or sends the synthetic sources was settled when it started.
void BroadcasterPrivate::switchDevices()
{
    if (!capture)
        return;
    const DeviceCapture::Choice choice = DeviceCapture::choose(cameraWanted, microphoneWanted);
    if (choice.camera.isNull() == deviceFeed->carriesVideo() ||
        choice.microphone.isNull() == deviceFeed->carriesAudio()) {
        qCWarning(lcRtc) << "the devices chosen now take effect with the next call";
        return;
    }
    delete std::exchange(capture, nullptr);
    startCapture(choice);
}

void BroadcasterPrivate::publish(RtcPeer *peer, quint64 handle)
{
    const QPointer<RtcPeer> alive(peer);
    QObject::connect(
        peer, &RtcPeer::localDescription, q, [this, alive, handle](const QString &sdp) {
            const QJsonObject body{{QStringLiteral("request"), QStringLiteral("publish")}};
            link->message(handle, body, jsep(QStringLiteral("offer"), sdp),
                          [this, alive](bool ok, const QJsonObject &m) {
                              const QJsonObject answer = m.value(QStringLiteral("jsep")).toObject();
                              if (!alive)
                                  return;
                              if (!ok || answer.isEmpty())
                                  return onMediaFailed(QStringLiteral("publishing was refused"));
                              alive->acceptAnswer(answer.value(QStringLiteral("sdp")).toString());
                          });
            alive->signalingSent();
        });
}

// Cameras first, so that a share's owner is known before its share.
void BroadcasterPrivate::onPublishers(const QJsonArray &publishers)
{
    for (const bool shares : {false, true}) {
        for (const QJsonValue &v : publishers) {
            const QJsonObject p = v.toObject();
            const quint64 feed = quint64(qMax(0LL, idOf(p.value(QStringLiteral("id")))));
            const QString display = p.value(QStringLiteral("display")).toString();
            if (ShareLabel::looksLikeShare(display) != shares)
                continue;
            Remote r;
            r.uid = qint64(feed);
            const auto label = ShareLabel::parse(display);
            if (shares && !label) {
                qCWarning(lcRtc) << "ignored a feed that claims to be a share but is not one";
                continue;
            }
            if (shares) {
                r.uid = label->uid;
                r.shareId = ShareLabel::shareId(feed);
                r.shareType = ShareType(label->type);
            }
            if (r.uid != userId)
                subscribe(feed, r);
        }
    }
}

void BroadcasterPrivate::subscribe(quint64 feed, const Remote &what)
{
    if (feed == 0 || feed == quint64(userId) || feed == share.feed || remotes.count(feed))
        return;
    remotes[feed] = what;
    const bool arrived = !what.isShare() && present.insert(what.uid).second;
    // With a control channel the server announces attendees and shares.
    if (!control && what.isShare())
        emit q->sigNotifyCreateShare(what.uid, what.shareId, what.shareType);
    else if (!control && arrived)
        emit q->sigNotifyJoin(what.uid, 0, roomInfo());
    link->attach([this, feed](bool ok, const QJsonObject &m) {
        const quint64 handle = handleOf(m);
        auto it = remotes.find(feed);
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
                                QJsonArray{QJsonObject{{QStringLiteral("feed"), double(feed)}}}}};
        link->message(handle, body, {}, [this, feed, handle](bool ok, const QJsonObject &m) {
            const QString offer =
                m.value(QStringLiteral("jsep")).toObject().value(QStringLiteral("sdp")).toString();
            auto it = remotes.find(feed);
            if (it == remotes.end() || it->second.handle != handle)
                return;
            if (!ok || offer.isEmpty()) {
                qCWarning(lcRtc) << "media server refused a stream of" << it->second.uid;
                return;
            }
            startSubscriber(feed, offer);
        });
    });
}

void BroadcasterPrivate::startSubscriber(quint64 feed, const QString &offer)
{
    Remote &r = remotes[feed];
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
    const qint64 uid = r.uid;
    const ConsumerType consumer = r.isShare() ? CONSUMER_SCREEN : CONSUMER_VIDEO;
    QObject::connect(peer, &RtcPeer::videoFrame, q, [this, uid, consumer](const QVideoFrame &f) {
        emit q->sigVideoFrame(uid, consumer, 0, f.surfaceFormat(), f);
    });
    QObject::connect(peer, &RtcPeer::audioLevel, q, [this, feed](double rms, double peak) {
        auto it = remotes.find(feed);
        if (it == remotes.end())
            return;
        it->second.rmsDb = rms;
        it->second.peakDb = peak;
        it->second.levelAtMs = QDateTime::currentMSecsSinceEpoch();
    });
    QObject::connect(peer, &RtcPeer::playedLevel, q, [this, feed](double, double peak) {
        auto it = remotes.find(feed);
        if (it == remotes.end())
            return;
        it->second.playedPeakDb = peak;
        it->second.playedAtMs = QDateTime::currentMSecsSinceEpoch();
    });
    wirePeer(peer, handle, feed);
    applyPlayout(r);
    QString error;
    if (!peer->start(&error))
        return onMediaFailed(error);
    peer->acceptOffer(offer);
}

void BroadcasterPrivate::wirePeer(RtcPeer *peer, quint64 handle, quint64 feed)
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
                     [this, feed](bool connected) { onConnection(feed, connected); });
    QObject::connect(peer, &RtcPeer::failed, q, [this](const QString &why) { onMediaFailed(why); });
    QObject::connect(peer, &RtcPeer::transportStats, q,
                     [this, peer, feed](const MediaMetrics::Transport &t) {
                         reportScore(feed, t, peer->isConnected());
                     });
}

void BroadcasterPrivate::onConnection(quint64 feed, bool connected)
{
    if (feed == quint64(userId)) {
        if (control)
            return;
        emit q->sigNotifyStateChange(connected ? CALL_CONNECTED : CALL_CONNECTING);
        if (connected)
            emit q->sigNotifyReady(userId, roomInfo());
        return;
    }
    if (feed == share.feed) {
        if (connected && !control && !std::exchange(share.announced, true))
            emit q->sigNotifyCreateShare(userId, share.id, share.type);
        return;
    }
    auto it = remotes.find(feed);
    if (it == remotes.end())
        return;
    const Remote &r = it->second;
    if (!connected)
        return reportScore(feed, {}, false);
    if (r.isShare())
        return emit q->sigNotifyNewConsumer(r.uid, MUTE_SCREEN);
    if (!control)
        emit q->sigNotifyReady(r.uid, roomInfo());
    emit q->sigNotifyNewConsumer(r.uid, MUTE_AUDIO);
    emit q->sigNotifyNewConsumer(r.uid, MUTE_VIDEO);
}

void BroadcasterPrivate::onHandleEvent(quint64 handle, const QJsonObject &m)
{
    const QString kind = m.value(QStringLiteral("janus")).toString();
    if (kind == QStringLiteral("hangup")) {
        qCWarning(lcRtc) << "media server hung up a stream:"
                         << m.value(QStringLiteral("reason")).toString();
        if (handle == publisherHandle)
            onMediaFailed(QStringLiteral("the media server ended our stream"));
        else if (handle == share.handle)
            failShare(QStringLiteral("the media server ended the share"));
        return;
    }
    if (handle != publisherHandle || kind != QStringLiteral("event"))
        return;
    const QJsonObject data = pluginData(m);
    onPublishers(data.value(QStringLiteral("publishers")).toArray());
    const bool kicked = data.value(QStringLiteral("reason")).toString() == QStringLiteral("kicked");
    const QJsonValue leaving = data.value(QStringLiteral("leaving"));
    if (leaving.isString() && kicked) {
        teardown();
        if (control)
            return;
        emit q->sigNotifyKicked(target.host, userId);
        emit q->sigNotifyStateChange(CALL_ENDED);
    } else if (leaving.isDouble()) {
        onFeedGone(quint64(idOf(leaving)), kicked);
    } else if (data.value(QStringLiteral("kicked")).isDouble()) {
        onFeedGone(quint64(idOf(data.value(QStringLiteral("kicked")))), true);
    } else if (data.value(QStringLiteral("unpublished")).isDouble()) {
        dropRemote(quint64(idOf(data.value(QStringLiteral("unpublished")))));
    }
}

// A participant that goes takes its shares along; Janus may report those later or never.
void BroadcasterPrivate::onFeedGone(quint64 feed, bool kicked)
{
    const qint64 uid = qint64(feed);
    auto it = remotes.find(feed);
    if (it != remotes.end() && it->second.isShare())
        return dropRemote(feed);
    std::vector<quint64> shares;
    for (const auto &[id, r] : remotes) {
        if (r.isShare() && r.uid == uid)
            shares.push_back(id);
    }
    for (quint64 id : shares)
        dropRemote(id);
    dropRemote(feed);
    if (present.erase(uid) == 0 || control)
        return;
    if (kicked)
        emit q->sigNotifyKicked(target.host, uid);
    else
        emit q->sigNotifyLeave(uid);
}

// A camera feed that stops publishing leaves its participant in the call; a share that stops
// is closed.
void BroadcasterPrivate::dropRemote(quint64 feed)
{
    auto it = remotes.find(feed);
    if (it == remotes.end())
        return;
    const Remote gone = it->second;
    stopPeer(it->second.peer);
    if (gone.handle != 0 && link)
        link->detach(gone.handle);
    remotes.erase(it);
    if (gone.isShare() && !control)
        emit q->sigNotifyCloseShare(gone.uid, gone.shareId);
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
    // With a control channel the call goes on without media; the server says when it ends.
    if (control)
        return emit q->sigNotifyError(ERR_MEDIA_CONNECT, reason);
    emit q->sigNotifyError(ERR_SOCKET, reason);
    emit q->sigNotifyStateChange(CALL_ENDED);
}

void BroadcasterPrivate::reportLevels()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (auto &[feed, r] : remotes) {
        if (!r.peer || r.isShare())
            continue;
        const bool fresh = now - r.levelAtMs <= kLevelStaleMs && r.audioOn;
        const double peak = MediaMetrics::displayLevel(fresh ? r.peakDb : kSilenceDb);
        const double average = MediaMetrics::displayLevel(fresh ? r.rmsDb : kSilenceDb);
        emit q->sigNotifyDecibel(r.uid, CONSUMER_VIDEO, average, peak, {QVariant(peak)});
    }
}

// Scores follow the camera feeds only: a share's transport is the same network.
void BroadcasterPrivate::reportScore(quint64 feed, const MediaMetrics::Transport &t, bool connected)
{
    const int score = MediaMetrics::networkScore(t, connected);
    int *last = &ownScore;
    if (feed != quint64(userId)) {
        auto it = remotes.find(feed);
        if (it == remotes.end() || it->second.isShare())
            return;
        last = &it->second.score;
    }
    if (*last == score)
        return;
    *last = score;
    emit q->sigNotifyScore(qint64(feed), score);
}

void BroadcasterPrivate::startShare(ShareType type, const ScreenSource &source)
{
    share.type = type;
    const quint64 serial = ++shareSerial;
    link->attach([this, serial, source](bool ok, const QJsonObject &m) {
        const quint64 handle = handleOf(m);
        if (serial != shareSerial || !ok || handle == 0) {
            if (handle != 0 && link)
                link->detach(handle);
            if (serial == shareSerial)
                failShare(QStringLiteral("the media server refused the share"));
            return;
        }
        share.handle = handle;
        const QJsonObject body{
            {QStringLiteral("request"), QStringLiteral("join")},
            {QStringLiteral("ptype"), QStringLiteral("publisher")},
            {QStringLiteral("room"), double(target.room)},
            {QStringLiteral("display"), ShareLabel{userId, int(share.type)}.display()}};
        link->message(handle, body, {}, [this, serial, source](bool ok, const QJsonObject &m) {
            if (serial != shareSerial)
                return;
            if (!ok)
                return failShare(QStringLiteral("the media server refused the share: ") +
                                 JanusLink::pluginError(m));
            onShareJoined(pluginData(m), source);
        });
    });
}

void BroadcasterPrivate::onShareJoined(const QJsonObject &data, const ScreenSource &source)
{
    share.feed = quint64(qMax(0LL, idOf(data.value(QStringLiteral("id")))));
    if (share.feed == 0)
        return failShare(QStringLiteral("the media server gave the share no id"));
    share.id = ShareLabel::shareId(share.feed);
    RtcPeer::Options o;
    o.stampSender = quint32(userId);
    o.videoSource = source.description;
    o.videoSize = source.size;
    o.stampVideo = source.synthetic;
    o.withAudio = false;
    o.videoBitrate = 800000;
    o.loopbackOnly = target.isLoopback();
    share.peer = new RtcPeer(RtcPeer::Role::Publisher, o, q);
    publish(share.peer, share.handle);
    wirePeer(share.peer, share.handle, share.feed);
    QString error;
    if (!share.peer->start(&error))
        failShare(error);
}

// Leaves the room with the share's handle; the others see its feed go.
void BroadcasterPrivate::stopShare()
{
    ++shareSerial;
    stopPeer(share.peer);
    if (share.handle != 0 && link) {
        link->message(share.handle, {{QStringLiteral("request"), QStringLiteral("leave")}}, {}, {});
        link->detach(share.handle);
    }
    const OwnShare was = std::exchange(share, OwnShare{});
    if (was.announced)
        emit q->sigNotifyCloseShare(userId, was.id);
}

void BroadcasterPrivate::failShare(const QString &reason)
{
    qCWarning(lcRtc) << "share failed:" << reason;
    stopShare();
    emit q->sigNotifyError(ERR_SHARE, reason);
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
    ++shareSerial;
    stopPeer(share.peer);
    share = OwnShare{};
    stopPeer(publisher);
    delete std::exchange(capture, nullptr);
    deviceFeed.reset();
    for (auto &[feed, r] : remotes)
        stopPeer(r.peer);
    remotes.clear();
    present.clear();
    if (link) {
        QObject::disconnect(link, nullptr, q, nullptr);
        link->close();
        link->deleteLater();
        link = nullptr;
    }
    publisherHandle = 0;
}

QJsonObject BroadcasterPrivate::withSecret(QJsonObject body) const
{
    if (!target.secret.isEmpty())
        body.insert(QStringLiteral("secret"), target.secret);
    return body;
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
    for (qint64 uid : present)
        attendees.append(entry(uid, true, true));
    return QJsonDocument(QJsonObject{{QStringLiteral("attendees"), attendees}})
        .toJson(QJsonDocument::Compact);
}

void BroadcasterPrivate::applyPlayout(Remote &r)
{
    if (r.peer)
        r.peer->setPlayout(r.gain, r.audioOn, r.videoOn);
}

// What the server decides about this engine reaches its media: a removal or the meeting's end
// stops every pipeline, a mute of our own stream stops or resumes sending.
void BroadcasterPrivate::openControl(const QUrl &url)
{
    closeControl();
    control = new MediaChannel(q, url);
    QObject::connect(q, &Broadcaster::sigNotifyKicked, control, [this](qint64, qint64 uid) {
        if (uid == userId)
            teardown();
    });
    QObject::connect(q, &Broadcaster::sigNotifyDismiss, control, [this] { teardown(); });
    QObject::connect(q, &Broadcaster::sigNotifyCreateShare, control,
                     [this](qint64 owner, const QString &id, ShareType) {
                         if (owner == userId && share.type != SHARE_NONE)
                             share.serverId = id;
                     });
    QObject::connect(q, &Broadcaster::sigNotifyCloseShare, control,
                     [this](qint64, const QString &id) {
                         if (!id.isEmpty() && id == share.serverId)
                             stopShare();
                     });
    // A share the server refused is taken down before anyone sees it.
    QObject::connect(q, &Broadcaster::sigNotifyError, control, [this](Error error) {
        if (error == ERR_SHARE_PERMISSION && share.type != SHARE_NONE && share.serverId.isEmpty())
            stopShare();
    });
    QObject::connect(q, &Broadcaster::sigNotifyMute, control,
                     [this](qint64, qint64 uid, int status, MuteType type) {
                         if (uid == userId)
                             setSending(status != 0, type);
                     });
}

// The channel may be the one emitting right now: it goes once control is back in the loop.
void BroadcasterPrivate::closeControl()
{
    if (!control)
        return;
    control->forward(QStringLiteral("closeWebrtc"), {});
    QObject::disconnect(q, nullptr, control, nullptr);
    std::exchange(control, nullptr)->deleteLater();
}

void BroadcasterPrivate::forward(const char *name, const QVariantList &args)
{
    if (control)
        control->forward(QString::fromLatin1(name), args);
}

void BroadcasterPrivate::setSending(bool mute, MuteType type)
{
    if (type != MUTE_AUDIO && type != MUTE_VIDEO)
        return;
    const bool audio = type == MUTE_AUDIO;
    (audio ? sendAudio : sendVideo) = !mute;
    if (publisher)
        publisher->setSending(audio, !mute);
    if (capture && !audio)
        capture->setCameraOn(!mute);
}

Broadcaster::Broadcaster(qint64 userId, QObject *parent)
    : QObject(parent), d(std::make_unique<BroadcasterPrivate>(this, userId))
{
    ++g_aliveEngines;
}

Broadcaster::~Broadcaster()
{
    d->closeControl();
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
    const QUrl url(mediaServerUrl);
    if (isServerUrl(url))
        d->openControl(url);
    d->start(mediaServerUrl);
}

// The control channel reports our own leave; the meeting server destroys its rooms itself.
void Broadcaster::leave(bool dismiss)
{
    d->forward("leave", {dismiss});
    if (!d->link)
        return;
    const bool destroy = dismiss && !d->control;
    const QJsonObject body = d->withSecret(
        {{QStringLiteral("request"), destroy ? QStringLiteral("destroy") : QStringLiteral("leave")},
         {QStringLiteral("room"), double(d->target.room)}});
    d->link->message(d->publisherHandle, body, {}, {});
    d->teardown();
    if (!d->control)
        emit sigNotifyLeave(d->userId);
    emit sigNotifyStateChange(CALL_ENDED);
}

void Broadcaster::closeWebrtc()
{
    d->forward("closeWebrtc");
    const bool running = d->link != nullptr;
    d->teardown();
    if (running)
        emit sigNotifyStateChange(CALL_ENDED);
}

// Removals go through the server; without it, Janus asks for the room's secret, which only the
// host's engine is given.
void Broadcaster::kicked(qint64 uid, bool byInviter)
{
    d->forward("kicked", {uid, byInviter});
    if (!d->link || d->control)
        return;
    const QJsonObject body = d->withSecret({{QStringLiteral("request"), QStringLiteral("kick")},
                                            {QStringLiteral("room"), double(d->target.room)},
                                            {QStringLiteral("id"), double(uid)}});
    d->link->message(d->publisherHandle, body, {}, [this](bool ok, const QJsonObject &m) {
        if (!ok)
            emit sigNotifyError(ERR_KICK, QStringLiteral("the media server refused the removal: ") +
                                              JanusLink::pluginError(m));
    });
}

// Roles, hands, whiteboards and share permissions travel on the meeting server's control channel.
void Broadcaster::transfer(qint64 uid)
{
    d->forward("transfer", {uid});
}

// Our own mute stops sending at once; with a control channel an unmute waits for the server's
// confirmation, so a refused one never opens the microphone.
void Broadcaster::setMute(bool mute, qint64 uid, MuteType type, bool local)
{
    d->forward("setMute", {mute, uid, int(type), local});
    if (type != MUTE_AUDIO && type != MUTE_VIDEO)
        return;
    const bool audio = type == MUTE_AUDIO;
    if (uid == d->userId) {
        if (mute || !d->control)
            d->setSending(mute, type);
        if (!d->control)
            emit sigNotifyMute(d->userId, d->userId, mute ? 1 : 0, type);
        return;
    }
    auto it = d->remotes.find(uid);
    if (!local || it == d->remotes.end())
        return;
    (audio ? it->second.audioOn : it->second.videoOn) = !mute;
    d->applyPlayout(it->second);
}

void Broadcaster::setMuteAll(bool mute, bool themselvesOperation, MuteType type)
{
    d->forward("setMuteAll", {mute, themselvesOperation, int(type)});
}

void Broadcaster::setAllowUnmute(bool allowUnmute, MuteType type)
{
    d->forward("setAllowUnmute", {allowUnmute, int(type)});
}

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

// Cameras send one spatial layer in three temporal ones: Janus picks the temporal layer and,
// having no other, keeps the spatial one whatever is asked.
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

int Broadcaster::setAudioRecordingDevice(QString device)
{
    d->microphoneWanted = device;
    d->switchDevices();
    return 0;
}

// Playout goes to the system's default output.
int Broadcaster::setAudioPlayoutDevice(QString)
{
    return 0;
}

int Broadcaster::setVideoRecordingDevice(QString device)
{
    d->cameraWanted = device;
    d->switchDevices();
    return 0;
}

int Broadcaster::getMaxDecibel()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    double best = 0;
    for (const auto &[uid, r] : d->remotes) {
        if (now - r.playedAtMs <= kLevelStaleMs)
            best = qMax(best, MediaMetrics::displayLevel(r.playedPeakDb));
    }
    return int(best);
}

void Broadcaster::raiseHand(bool cancel)
{
    d->forward("raiseHand", {cancel});
}

void Broadcaster::inviteSpeak(qint64 uid, bool cancel)
{
    d->forward("inviteSpeak", {uid, cancel});
}

void Broadcaster::agreeSpeak(qint64 uid, bool all)
{
    d->forward("agreeSpeak", {uid, all});
}

void Broadcaster::rejectSpeak(qint64 uid)
{
    d->forward("rejectSpeak", {uid});
}

void Broadcaster::beListener(qint64 uid)
{
    d->forward("beListener", {uid});
}

// With a control channel the server names the share and announces it; whiteboards travel
// there only.
void Broadcaster::createShare(ShareType type, QScreen *screen, const QRect &rect, int frameRate)
{
    if (type == SHARE_WHITEBOARD && d->control)
        return d->forward("createShare", {int(type)});
    QString refusal;
    if (!d->link || d->publisherHandle == 0)
        refusal = QStringLiteral("there is no call to share into");
    else if (type == SHARE_WHITEBOARD)
        refusal = QStringLiteral("whiteboards are not shared through this engine");
    else if (type != SHARE_PICTURE)
        refusal = QStringLiteral("unknown share type");
    else if (d->share.type != SHARE_NONE)
        refusal = QStringLiteral("a share is already running");
    if (!refusal.isEmpty()) {
        qCWarning(lcRtc) << "share not started:" << refusal;
        return emit sigNotifyError(ERR_SHARE, refusal);
    }
    d->forward("createShare", {int(type)});
    d->startShare(type, ScreenSource::forShare(screen, rect, frameRate));
}

void Broadcaster::createComputerAudio() {}

// With a control channel the server's report of the close takes the media down.
void Broadcaster::closeShare(const QString &shareId)
{
    if (d->control)
        return d->forward("closeShare", {shareId});
    if (d->share.id.isEmpty() || shareId != d->share.id)
        return emit sigNotifyError(ERR_SHARE_PERMISSION, QStringLiteral("no such share"));
    d->stopShare();
}

void Broadcaster::setAllowDraw(const QString &, bool) {}
void Broadcaster::setSharePremission(const QString &whoCanShare, bool disableSpeaker)
{
    d->forward("setSharePremission", {whoCanShare, disableSpeaker});
}

void Broadcaster::sendData(im::whiteboard::TransferData *data)
{
    const std::unique_ptr<im::whiteboard::TransferData> owned(data);
    if (!owned || !d->control)
        return;
    QByteArray bytes(qsizetype(owned->ByteSizeLong()), Qt::Uninitialized);
    owned->SerializeToArray(bytes.data(), int(bytes.size()));
    d->forward("sendData", {bytes});
}

void Broadcaster::setWhiteboard(QImage *) {}

} // namespace qtwebrtc
