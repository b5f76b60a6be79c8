#include "mediaroom.h"
#include "broadcaster.h"
#include "cast.h"
#include "simserver.h"
#include "syntheticvideo.h"
#include "whiteboardcontent.pb.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QUrlQuery>
#include <QtMath>

using qtwebrtc::Broadcaster;

namespace {
const QString kSpeaker = QStringLiteral("speaker");
const QString kListener = QStringLiteral("listener");

int mediumIndex(int muteType)
{
    return muteType == qtwebrtc::MUTE_AUDIO ? 0 : 1;
}

// A hand-drawn flow sketch: three steps joined by arrows, then a tick and an underline.
QList<QPolygonF> sketch()
{
    auto box = [](qreal x, qreal y, qreal w, qreal h) {
        return QPolygonF({{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}, {x, y + 0.01}});
    };
    auto arrow = [](qreal x1, qreal x2, qreal y) {
        return QPolygonF(
            {{x1, y}, {x2, y}, {x2 - 0.025, y - 0.04}, {x2, y}, {x2 - 0.025, y + 0.04}});
    };
    QPolygonF circle;
    for (int i = 0; i <= 28; ++i) {
        const qreal a = i * 2 * M_PI / 28;
        circle << QPointF(0.84 + 0.085 * qCos(a), 0.42 + 0.15 * qSin(a));
    }
    QPolygonF wave;
    for (int i = 0; i <= 40; ++i)
        wave << QPointF(0.1 + i * 0.02, 0.8 + 0.02 * qSin(i * 0.9));
    return {box(0.06, 0.28, 0.2, 0.28),
            arrow(0.28, 0.38, 0.42),
            box(0.4, 0.28, 0.2, 0.28),
            arrow(0.62, 0.72, 0.42),
            circle,
            QPolygonF(QList<QPointF>{{0.8, 0.43}, {0.83, 0.49}, {0.89, 0.35}}),
            QPolygonF(QList<QPointF>{{0.1, 0.36}, {0.22, 0.36}}),
            QPolygonF(QList<QPointF>{{0.1, 0.42}, {0.2, 0.42}}),
            QPolygonF(QList<QPointF>{{0.1, 0.48}, {0.17, 0.48}}),
            QPolygonF(QList<QPointF>{{0.44, 0.36}, {0.56, 0.36}}),
            QPolygonF(QList<QPointF>{{0.44, 0.42}, {0.53, 0.42}}),
            wave};
}

// Ink per stroke of the sketch: outlines blue, the tick green, notes grey, the underline red.
quint32 inkFor(int stroke)
{
    if (stroke < 5)
        return 0xff1d4ed8;
    if (stroke == 5)
        return 0xff15803d;
    return stroke < 11 ? 0xff4b5563 : 0xffdc2626;
}
} // namespace

MediaRoom::MediaRoom(const QString &meetingId, qint64 hostId, bool privateCall,
                     bool speakingPrivileges, const Cast &cast, SimServer *server)
    : QObject(server), m_meetingId(meetingId), m_hostId(hostId), m_private(privateCall),
      m_speakingPrivileges(speakingPrivileges), m_cast(cast), m_server(server),
      m_rng(quint32(qHash(meetingId)))
{
    m_clock.start();
    m_audioTimer.setInterval(200);
    m_videoTimer.setInterval(100);
    m_screenTimer.setInterval(250);
    m_boardTimer.setInterval(450);
    m_scoreTimer.setInterval(3500);
    m_rotationTimer.setSingleShot(true);
    m_floorTimer.setSingleShot(true);
    connect(&m_audioTimer, &QTimer::timeout, this, &MediaRoom::tickAudio);
    connect(&m_videoTimer, &QTimer::timeout, this, &MediaRoom::tickVideo);
    connect(&m_screenTimer, &QTimer::timeout, this, &MediaRoom::tickScreens);
    connect(&m_boardTimer, &QTimer::timeout, this, &MediaRoom::tickBoards);
    connect(&m_scoreTimer, &QTimer::timeout, this, &MediaRoom::jitterScores);
    connect(&m_rotationTimer, &QTimer::timeout, this, &MediaRoom::rotateTalker);
    connect(&m_floorTimer, &QTimer::timeout, this, [this] { m_floor = 0; });
}

MediaRoom::~MediaRoom() = default;

const MediaRoom::Member *MediaRoom::member(qint64 uid) const
{
    return const_cast<MediaRoom *>(this)->find(uid);
}

MediaRoom::Member *MediaRoom::find(qint64 uid)
{
    for (Member &m : m_members) {
        if (m.id == uid)
            return &m;
    }
    return nullptr;
}

qint64 MediaRoom::selfId() const
{
    return m_cast.selfId();
}

QList<qint64> MediaRoom::connected() const
{
    QList<qint64> ids;
    for (const Member &m : m_members) {
        if (m.state == State::Active)
            ids.append(m.id);
    }
    return ids;
}

bool MediaRoom::selfConnected() const
{
    const Member *self = member(selfId());
    return m_engine && self && self->state == State::Active;
}

QByteArray MediaRoom::roomInfo() const
{
    QJsonArray attendees;
    for (const Member &m : m_members) {
        if (m.state == State::Gone)
            continue;
        QJsonObject a{
            {QStringLiteral("id"), m.id},
            {QStringLiteral("inviter"), m.inviter},
            {QStringLiteral("status"),
             m.state == State::Active ? QStringLiteral("ACTIVE") : QStringLiteral("CALLING")},
            {QStringLiteral("role"), m.listener ? kListener : kSpeaker},
            {QStringLiteral("raiseHand"), m.raiseHand},
            {QStringLiteral("invitingSpeak"), m.invitingSpeak},
            {QStringLiteral("score"), m.score},
            {QStringLiteral("host"), m.id == m_hostId},
            {QStringLiteral("mute"), QJsonObject{{QStringLiteral("audio"), m.muteAudio},
                                                 {QStringLiteral("video"), m.muteVideo},
                                                 {QStringLiteral("screen"), m.muteShare},
                                                 {QStringLiteral("whiteBoard"), m.muteShare}}}};
        if (!m.shareId.isEmpty()) {
            a.insert(QStringLiteral("share"),
                     QJsonArray{QJsonObject{
                         {QStringLiteral("type"), m.shareIsWhiteboard ? QStringLiteral("whiteBoard")
                                                                      : QStringLiteral("screen")},
                         {QStringLiteral("id"), m.shareId},
                         {QStringLiteral("otherMark"), m.otherMark}}});
        }
        attendees.append(a);
    }
    const QJsonObject room{
        {QStringLiteral("muteAll"),
         QJsonObject{{QStringLiteral("themselves_operation_audio"), m_themselves[0]},
                     {QStringLiteral("themselves_operation_video"), m_themselves[1]},
                     {QStringLiteral("audio"), m_muteAll[0]},
                     {QStringLiteral("video"), m_muteAll[1]}}},
        {QStringLiteral("permissions"),
         QJsonObject{{QStringLiteral("whoCanShare"), m_whoCanShare},
                     {QStringLiteral("disableSpeaker"), !m_speakingPrivileges}}},
        {QStringLiteral("attendees"), attendees}};
    return QJsonDocument(room).toJson(QJsonDocument::Compact);
}

void MediaRoom::emitEngine(std::function<void(Broadcaster *)> fn)
{
    if (m_engine)
        m_engine->emitFromOwnThread(std::move(fn));
}

void MediaRoom::later(int ms, std::function<void()> fn)
{
    QTimer::singleShot(ms, this, std::move(fn));
}

void MediaRoom::setStatus(qint64 uid, int serverStatus)
{
    m_server->memberChanged(m_meetingId, uid, serverStatus);
}

void MediaRoom::log(const QString &line)
{
    const QString text = QStringLiteral("[room %1] %2\n").arg(m_meetingId, line);
    emitEngine([text](Broadcaster *b) { emit b->sigWriteLog(text, QString()); });
}

void MediaRoom::refuse(int error, const QString &text)
{
    emitEngine(
        [error, text](Broadcaster *b) { emit b->sigNotifyError(qtwebrtc::Error(error), text); });
}

void MediaRoom::attach(Broadcaster *engine)
{
    m_engine = engine;
}

void MediaRoom::engineCall(const QString &name, const QVariantList &args)
{
    auto arg = [&args](int i) {
        return i < args.size() ? args.at(i) : QVariant();
    };
    const qint64 self = selfId();
    const bool host = isHost(self);
    if (name == QLatin1String("createCall")) {
        const QString token =
            QUrlQuery(QUrl(arg(0).toString())).queryItemValue(QStringLiteral("token"));
        if (!m_server->acceptsToken(m_meetingId, token)) {
            refuse(qtwebrtc::ERR_TOKEN_INVALID, QStringLiteral("media token not accepted"));
            return;
        }
        Member *me = find(self);
        if (!me) {
            addMember(self, self, false);
            me = find(self);
        }
        me->muteVideo = arg(1).toBool() ? 1 : 0;
        me->muteAudio = arg(2).toBool() ? 1 : 0;
        me->listener = !arg(5).toBool() && m_speakingPrivileges;
        if (m_muteAll[0] && !host)
            me->muteAudio = 3;
        ownJoined();
    } else if (name == QLatin1String("leave")) {
        ownLeft(arg(0).toBool() && host);
    } else if (name == QLatin1String("closeWebrtc")) {
        emitEngine([](Broadcaster *b) { emit b->sigNotifyStateChange(qtwebrtc::CALL_ENDED); });
        ownLeft(false);
    } else if (name == QLatin1String("setMute")) {
        onSetMute(arg(0).toBool(), arg(1).toLongLong(), arg(2).toInt(), arg(3).toBool());
    } else if (name == QLatin1String("setMuteAll")) {
        onSetMuteAll(arg(0).toBool(), arg(1).toBool(), arg(2).toInt());
    } else if (name == QLatin1String("setAllowUnmute")) {
        if (!host)
            return refuse(qtwebrtc::ERR_PERMISSION_DENIED, QStringLiteral("host only"));
        const int type = arg(1).toInt();
        m_themselves[mediumIndex(type)] = arg(0).toBool();
        emitEngine([allow = arg(0).toBool(), type](Broadcaster *b) {
            emit b->sigNotifyAllowUnmute(allow, qtwebrtc::MuteType(type));
        });
    } else if (name == QLatin1String("setRequestOpenDev")) {
        const bool video = arg(0).toInt() != qtwebrtc::MUTE_AUDIO;
        int delay = 700;
        for (const Member &m : std::as_const(m_members)) {
            if (m.state != State::Active || m.id == self || m.listener)
                continue;
            const qint64 uid = m.id;
            later(delay, [this, uid, video] { video ? setCamera(uid, true) : setMic(uid, true); });
            delay += 450;
        }
    } else if (name == QLatin1String("kicked") || name == QLatin1String("transfer")) {
        const qint64 uid = arg(0).toLongLong();
        if (!host || !find(uid))
            return refuse(name == QLatin1String("kicked") ? qtwebrtc::ERR_KICK
                                                          : qtwebrtc::ERR_TRANSFER,
                          QStringLiteral("not allowed"));
        if (name == QLatin1String("transfer")) {
            m_hostId = uid;
            emitEngine([self, uid](Broadcaster *b) { emit b->sigNotifyTransfer(self, uid); });
            return;
        }
        stopShare(uid);
        emitEngine([self, uid](Broadcaster *b) { emit b->sigNotifyKicked(self, uid); });
        find(uid)->state = State::Gone;
        setStatus(uid, 0);
    } else if (name == QLatin1String("createShare")) {
        onCreateShare(arg(0).toInt());
    } else if (name == QLatin1String("closeShare")) {
        for (const Member &m : std::as_const(m_members)) {
            if (m.shareId == arg(0).toString() && (m.id == self || host))
                return stopShare(m.id);
        }
    } else if (name == QLatin1String("setAllowDraw")) {
        Member *me = find(self);
        if (!me || me->shareId != arg(0).toString())
            return;
        me->otherMark = arg(1).toBool();
        emitEngine([self, id = me->shareId, allow = me->otherMark](Broadcaster *b) {
            emit b->sigNotifySetAllowDraw(self, id, allow);
        });
    } else if (name == QLatin1String("setSharePremission")) {
        if (!host)
            return refuse(qtwebrtc::ERR_PERMISSION_DENIED, QStringLiteral("host only"));
        m_whoCanShare = arg(0).toString();
        m_speakingPrivileges = !arg(1).toBool();
        emitEngine([who = m_whoCanShare, disable = arg(1).toBool(), info = roomInfo()](
                       Broadcaster *b) { emit b->sigNotifySharePremission(who, disable, info); });
    } else if (name == QLatin1String("sendData")) {
        onSendData(arg(0).toByteArray());
    } else {
        onRoleAction(name, args);
    }
}

void MediaRoom::ownJoined()
{
    Member *me = find(selfId());
    me->state = State::Active;
    setStatus(selfId(), SimServer::Active);
    const qint64 self = selfId();
    const qint64 host = m_hostId;
    const QByteArray info = roomInfo();
    QList<qint64> others;
    QList<QPair<qint64, qint64>> calling;
    for (const Member &m : std::as_const(m_members)) {
        if (m.id != self && m.state == State::Active)
            others.append(m.id);
        if (m.state == State::Calling)
            calling.append({m.id, m.inviter});
    }
    const QString logUrl = QStringLiteral("https://logs.example.test/meeting/%1").arg(m_meetingId);
    emitEngine([=](Broadcaster *b) {
        emit b->sigWriteLog(QString(), logUrl);
        emit b->sigNotifyJoin(self, host, info);
        emit b->sigNotifyStateChange(qtwebrtc::CALL_CONNECTED);
        emit b->sigNotifyReady(self, info);
        for (qint64 uid : others) {
            emit b->sigNotifyReady(uid, info);
            emit b->sigNotifyNewConsumer(uid, qtwebrtc::MUTE_VIDEO);
        }
        for (const auto &c : calling)
            emit b->sigNotifyInvite(c.first, c.second);
    });
    log(QStringLiteral("connected, %1 others in the room").arg(others.size()));
    for (const auto &answer : std::as_const(m_answers)) {
        const qint64 uid = answer.first;
        later(answer.second, [this, uid] { join(uid); });
    }
    m_answers.clear();
    m_audioTimer.start();
    m_videoTimer.start();
    m_screenTimer.start();
    m_boardTimer.start();
    m_scoreTimer.start();
    m_rotationTimer.start(400);
}

void MediaRoom::ownLeft(bool dismissed)
{
    const qint64 self = selfId();
    Member *me = find(self);
    if (!me || me->state != State::Active)
        return;
    if (!me->shareId.isEmpty())
        stopShare(self);
    if (dismissed) {
        emitEngine([self](Broadcaster *b) { emit b->sigNotifyDismiss(self); });
        for (Member &m : m_members)
            m.state = State::Gone;
    } else {
        emitEngine([self](Broadcaster *b) { emit b->sigNotifyLeave(self); });
        me->state = State::Gone;
    }
    m_engine = nullptr;
    for (QTimer *t : {&m_audioTimer, &m_videoTimer, &m_screenTimer, &m_boardTimer, &m_scoreTimer,
                      &m_rotationTimer})
        t->stop();
    // Ending it for everyone, or hanging up a call, leaves nobody behind.
    if (dismissed || m_private) {
        for (Member &m : m_members) {
            m.state = State::Gone;
            setStatus(m.id, 0);
        }
    } else {
        setStatus(self, 0);
    }
}

void MediaRoom::onSetMute(bool mute, qint64 uid, int type, bool local)
{
    Member *m = find(uid);
    // Local flags only change what this client plays or shows.
    if (local || !m)
        return;
    const qint64 self = selfId();
    const int medium = mediumIndex(type);
    if (uid != self) {
        if (!isHost(self))
            return refuse(qtwebrtc::ERR_PERMISSION_DENIED, QStringLiteral("host only"));
        if (!mute) {
            // Nobody's device is switched on for them: the person is asked and agrees.
            askToUnmute(uid);
            return;
        }
    } else if (!mute && m_muteAll[medium] && !m_themselves[medium] && !isHost(self)) {
        return refuse(qtwebrtc::ERR_MUTE, QStringLiteral("the host keeps everyone muted"));
    }
    const int value = mute ? 1 : 0;
    if (type == qtwebrtc::MUTE_AUDIO)
        m->muteAudio = value;
    else if (type == qtwebrtc::MUTE_VIDEO)
        m->muteVideo = value;
    else if (type == qtwebrtc::MUTE_SHARE_AUDIO)
        m->muteShareAudio = value;
    else
        m->muteShare = value;
    emitEngine([self, uid, value, type](Broadcaster *b) {
        emit b->sigNotifyMute(self, uid, value, qtwebrtc::MuteType(type));
        if (type == qtwebrtc::MUTE_VIDEO && value == 0)
            emit b->sigNotifyNewConsumer(uid, qtwebrtc::MUTE_VIDEO);
    });
}

void MediaRoom::onSetMuteAll(bool mute, bool themselves, int type)
{
    if (!isHost(selfId()))
        return refuse(qtwebrtc::ERR_PERMISSION_DENIED, QStringLiteral("host only"));
    const int medium = mediumIndex(type);
    m_muteAll[medium] = mute;
    m_themselves[medium] = themselves;
    int delay = 800;
    for (Member &m : m_members) {
        if (m.id == m_hostId || m.state != State::Active)
            continue;
        int &state = medium == 0 ? m.muteAudio : m.muteVideo;
        if (mute) {
            state = 3;
        } else if (state == 3) {
            state = 1;
            const bool wants = medium == 0 ? m.wantsMic : m.wantsCamera;
            if (m_autopilot && wants && !m.listener && m.id != selfId()) {
                const qint64 uid = m.id;
                later(delay, [this, uid, medium] {
                    medium == 0 ? setMic(uid, true) : setCamera(uid, true);
                });
                delay += 600;
            }
        }
    }
    emitEngine([mute, themselves, type](Broadcaster *b) {
        emit b->sigNotifyAllowUnmute(themselves, qtwebrtc::MuteType(type));
        emit b->sigNotifyMuteAll(mute, qtwebrtc::MuteType(type));
    });
}

void MediaRoom::onCreateShare(int type)
{
    const qint64 self = selfId();
    Member *me = find(self);
    if (!me)
        return;
    if (m_whoCanShare == QLatin1String("host") && !isHost(self))
        return refuse(qtwebrtc::ERR_SHARE_PERMISSION, QStringLiteral("only the host may share"));
    if (!me->shareId.isEmpty())
        return refuse(qtwebrtc::ERR_SHARE, QStringLiteral("You are already sharing."));
    const bool whiteboard = type == qtwebrtc::SHARE_WHITEBOARD;
    for (const Member &m : std::as_const(m_members)) {
        if (!whiteboard && !m.shareId.isEmpty() && !m.shareIsWhiteboard)
            return refuse(qtwebrtc::ERR_SHARE,
                          QStringLiteral("%1 is already sharing a screen.").arg(m_cast.name(m.id)));
    }
    whiteboard ? openWhiteboard(self) : startScreenShare(self);
}

void MediaRoom::onSendData(const QByteArray &bytes)
{
    im::whiteboard::TransferData data;
    if (!data.ParseFromArray(bytes.constData(), int(bytes.size())))
        return;
    if (data.has_userjoin()) {
        // A newcomer to the boards gets everything drawn so far.
        for (auto it = m_boards.cbegin(); it != m_boards.cend(); ++it) {
            if (it->items.isEmpty())
                continue;
            const QByteArray history = strokeMessage(it.key(), it->items);
            emitEngine([history](Broadcaster *b) {
                auto *message = new im::whiteboard::TransferData;
                message->ParseFromArray(history.constData(), int(history.size()));
                emit b->sigNotifyData(message);
            });
        }
        return;
    }
    auto board = m_boards.find(QString::fromStdString(data.share_id()));
    if (board == m_boards.end() || !data.has_multi())
        return;
    for (const auto &single : data.multi().whiteboarddatalist())
        board->items.append(QByteArray::fromStdString(single.data()));
}

void MediaRoom::onRoleAction(const QString &name, const QVariantList &args)
{
    const qint64 self = selfId();
    const qint64 uid = args.isEmpty() ? 0 : args.at(0).toLongLong();
    if (name == QLatin1String("raiseHand")) {
        const bool cancel = args.value(0).toBool();
        Member *me = find(self);
        if (!me)
            return;
        me->raiseHand = !cancel;
        emitEngine([self, cancel](Broadcaster *b) { emit b->sigNotifyRaiseHand(self, cancel); });
        if (cancel || isHost(self) || !m_autopilot)
            return;
        // A simulated host lets the raised hand speak.
        later(2500, [this, self] {
            Member *me = find(self);
            if (!me || !me->raiseHand || me->state != State::Active)
                return;
            me->raiseHand = false;
            me->listener = false;
            const qint64 host = m_hostId;
            emitEngine([host, self, info = roomInfo()](Broadcaster *b) {
                emit b->sigNotifyAgreeSpeak(host, self, false);
                emit b->sigNotifyRoleChange(self, kSpeaker, info);
            });
        });
        return;
    }
    const bool roleAction =
        name == QLatin1String("inviteSpeak") || name == QLatin1String("agreeSpeak") ||
        name == QLatin1String("rejectSpeak") || name == QLatin1String("beListener");
    if (!roleAction)
        return;
    Member *m = find(uid);
    if (!isHost(self) || !m)
        return refuse(qtwebrtc::ERR_PERMISSION_DENIED, QStringLiteral("host only"));
    if (name == QLatin1String("inviteSpeak")) {
        const bool cancel = args.value(1).toBool();
        m->invitingSpeak = !cancel;
        emitEngine([self, uid, cancel](Broadcaster *b) {
            emit b->sigNotifyInviteSpeak(self, uid, cancel);
        });
        if (cancel || !m_autopilot || uid == self)
            return;
        later(1400, [this, uid] {
            Member *m = find(uid);
            if (!m || !m->invitingSpeak)
                return;
            m->invitingSpeak = false;
            m->listener = false;
            m->muteAudio = 0;
            m->muteVideo = m->wantsCamera ? 0 : 1;
            emitEngine([uid, info = roomInfo()](Broadcaster *b) {
                emit b->sigNotifyRoleChange(uid, kSpeaker, info);
                emit b->sigNotifyNewConsumer(uid, qtwebrtc::MUTE_VIDEO);
            });
        });
    } else if (name == QLatin1String("agreeSpeak")) {
        const bool all = args.value(1).toBool();
        QList<qint64> granted;
        for (Member &x : m_members) {
            if (x.id == uid || (all && x.raiseHand)) {
                x.raiseHand = false;
                x.listener = false;
                x.muteAudio = 0;
                x.muteVideo = x.wantsCamera ? 0 : 1;
                granted.append(x.id);
            }
        }
        emitEngine([self, uid, all, granted, info = roomInfo()](Broadcaster *b) {
            emit b->sigNotifyAgreeSpeak(self, uid, all);
            for (qint64 g : granted) {
                emit b->sigNotifyRoleChange(g, kSpeaker, info);
                emit b->sigNotifyNewConsumer(g, qtwebrtc::MUTE_VIDEO);
            }
        });
    } else if (name == QLatin1String("rejectSpeak")) {
        m->raiseHand = false;
        emitEngine([uid](Broadcaster *b) { emit b->sigNotifyRejectSpeak(uid); });
    } else {
        m->listener = true;
        m->raiseHand = false;
        m->muteAudio = 1;
        m->muteVideo = 1;
        emitEngine([uid, info = roomInfo()](Broadcaster *b) {
            emit b->sigNotifyRoleChange(uid, kListener, info);
        });
    }
}

void MediaRoom::addMember(qint64 uid, qint64 inviter, bool isConnected)
{
    if (find(uid))
        return;
    Member m;
    m.id = uid;
    m.inviter = inviter;
    const Person *p = m_cast.person(uid);
    // Whoever runs the meeting speaks.
    m.listener = p && p->listener && m_speakingPrivileges && uid != m_hostId;
    m.state = isConnected ? State::Active : State::Calling;
    m.muteAudio = m.listener ? 1 : 0;
    m.muteVideo = m.listener ? 1 : 0;
    m.score = 4 + int(m_rng.bounded(2));
    m_members.append(m);
}

void MediaRoom::call(qint64 uid, qint64 inviter, int answerAfterMs)
{
    Member *m = find(uid);
    if (!m) {
        addMember(uid, inviter, false);
        m = find(uid);
    }
    m->state = State::Calling;
    m->inviter = inviter;
    emitEngine([uid, inviter](Broadcaster *b) { emit b->sigNotifyInvite(uid, inviter); });
    if (answerAfterMs < 0 || !m_autopilot)
        return;
    // Phones ring once the caller's call is up.
    if (selfConnected() || !isHost(selfId()))
        later(answerAfterMs, [this, uid] { join(uid); });
    else
        m_answers.append({uid, answerAfterMs});
}

void MediaRoom::join(qint64 uid)
{
    Member *m = find(uid);
    if (!m) {
        addMember(uid, m_hostId, false);
        m = find(uid);
    }
    if (m->state == State::Active)
        return;
    m->state = State::Active;
    if (!m->listener) {
        m->muteAudio = m_muteAll[0] && !isHost(uid) ? 3 : (m->wantsMic ? 0 : 1);
        m->muteVideo = m_muteAll[1] && !isHost(uid) ? 3 : (m->wantsCamera ? 0 : 1);
    }
    setStatus(uid, SimServer::Active);
    const qint64 host = m_hostId;
    emitEngine([uid, host, info = roomInfo()](Broadcaster *b) {
        emit b->sigNotifyJoin(uid, host, info);
        emit b->sigNotifyReady(uid, info);
        emit b->sigNotifyNewConsumer(uid, qtwebrtc::MUTE_VIDEO);
    });
    log(QStringLiteral("%1 joined").arg(uid));
}

void MediaRoom::decline(qint64 uid)
{
    Member *m = find(uid);
    if (!m || m->state != State::Calling)
        return;
    m->state = State::Gone;
    setStatus(uid, SimServer::Rejected);
    emitEngine([uid](Broadcaster *b) { emit b->sigNotifyReject(uid); });
    if (!m_private)
        return;
    // A declined call is over.
    for (Member &other : m_members) {
        other.state = State::Gone;
        setStatus(other.id, 0);
    }
}

void MediaRoom::leave(qint64 uid)
{
    Member *m = find(uid);
    if (!m || m->state != State::Active || uid == selfId())
        return;
    stopShare(uid);
    m->state = State::Gone;
    if (m_talker == uid)
        m_talker = 0;
    emitEngine([uid](Broadcaster *b) { emit b->sigNotifyLeave(uid); });
    setStatus(uid, 0);
}

void MediaRoom::setCamera(qint64 uid, bool on)
{
    Member *m = find(uid);
    if (!m || m->state != State::Active || (on && m->listener))
        return;
    m->wantsCamera = on;
    if (on && m_muteAll[1] && !m_themselves[1] && !isHost(uid))
        return;
    m->muteVideo = on ? 0 : 1;
    emitEngine([uid, on](Broadcaster *b) {
        emit b->sigNotifyMute(uid, uid, on ? 0 : 1, qtwebrtc::MUTE_VIDEO);
        if (on)
            emit b->sigNotifyNewConsumer(uid, qtwebrtc::MUTE_VIDEO);
    });
}

void MediaRoom::setMic(qint64 uid, bool on)
{
    Member *m = find(uid);
    if (!m || m->state != State::Active || (on && m->listener))
        return;
    m->wantsMic = on;
    if (on && m_muteAll[0] && !m_themselves[0] && !isHost(uid))
        return;
    m->muteAudio = on ? 0 : 1;
    emitEngine([uid, on](Broadcaster *b) {
        emit b->sigNotifyMute(uid, uid, on ? 0 : 1, qtwebrtc::MUTE_AUDIO);
    });
}

void MediaRoom::raiseHand(qint64 uid, bool up)
{
    Member *m = find(uid);
    if (!m || m->state != State::Active || m->raiseHand == up)
        return;
    m->raiseHand = up;
    emitEngine([uid, up](Broadcaster *b) { emit b->sigNotifyRaiseHand(uid, !up); });
}

void MediaRoom::startScreenShare(qint64 uid)
{
    Member *m = find(uid);
    if (!m || m->state != State::Active || !m->shareId.isEmpty())
        return;
    m->shareId = QStringLiteral("scr-%1").arg(m_nextShare++);
    m->shareIsWhiteboard = false;
    m->otherMark = false;
    m->muteShare = 0;
    emitEngine([uid, id = m->shareId](Broadcaster *b) {
        emit b->sigNotifyCreateShare(uid, id, qtwebrtc::SHARE_PICTURE);
        emit b->sigNotifyNewConsumer(uid, qtwebrtc::MUTE_SCREEN);
    });
}

void MediaRoom::openWhiteboard(qint64 uid)
{
    Member *m = find(uid);
    if (!m || m->state != State::Active || !m->shareId.isEmpty())
        return;
    m->shareId = QStringLiteral("wb-%1").arg(m_nextShare++);
    m->shareIsWhiteboard = true;
    m->otherMark = true;
    m->muteShare = 0;
    m_boards.insert(m->shareId, Board{uid, {}, 0});
    emitEngine([uid, id = m->shareId](Broadcaster *b) {
        emit b->sigNotifyCreateShare(uid, id, qtwebrtc::SHARE_WHITEBOARD);
    });
}

void MediaRoom::stopShare(qint64 uid)
{
    Member *m = find(uid);
    if (!m || m->shareId.isEmpty())
        return;
    const QString id = m->shareId;
    m->shareId.clear();
    m_boards.remove(id);
    emitEngine([uid, id](Broadcaster *b) { emit b->sigNotifyCloseShare(uid, id); });
}

void MediaRoom::transferHost(qint64 to)
{
    if (!find(to) || to == m_hostId)
        return;
    const qint64 from = m_hostId;
    m_hostId = to;
    emitEngine([from, to](Broadcaster *b) { emit b->sigNotifyTransfer(from, to); });
}

void MediaRoom::askToUnmute(qint64 uid)
{
    if (uid == selfId()) {
        emitEngine([](Broadcaster *b) { emit b->sigNotifyRequestEnable(qtwebrtc::MUTE_AUDIO); });
        return;
    }
    later(900, [this, uid] { setMic(uid, true); });
}

void MediaRoom::giveFloor(qint64 uid, int ms)
{
    m_floor = ms > 0 ? uid : 0;
    if (m_floor)
        m_talker = uid;
    if (ms > 0)
        m_floorTimer.start(ms);
}

void MediaRoom::tickAudio()
{
    struct Report
    {
        qint64 uid;
        double average;
        double peak;
        QVariantList levels;
    };
    QList<Report> reports;
    const qint64 t = m_clock.elapsed();
    QSet<qint64> audible;
    for (const Member &m : std::as_const(m_members)) {
        if (m.state != State::Active || m.muteAudio != 0) {
            // A microphone that just closed falls silent rather than freezing mid-word.
            if (m_audible.contains(m.id))
                reports.append({m.id, 0.0, 0.0, QVariantList(8, QVariant(0.0))});
            continue;
        }
        audible.insert(m.id);
        const bool talking = m.id == m_talker && (m_floor == 0 || m_floor == m.id);
        double peak = 4 + m_rng.bounded(9.0);
        // Speech has short gaps between words.
        if (talking && m_rng.bounded(100) >= 12)
            peak = 27 + 22 * qAbs(qSin(t / 170.0 + m.id)) + m_rng.bounded(8.0);
        QVariantList levels;
        for (int i = 0; i < 8; ++i)
            levels.append(qMax(0.0, peak * (0.55 + 0.45 * qSin(i * 0.8 + t / 90.0))));
        reports.append({m.id, peak * 0.7, peak, levels});
    }
    m_audible = audible;
    emitEngine([reports](Broadcaster *b) {
        for (const Report &r : reports)
            emit b->sigNotifyDecibel(r.uid, qtwebrtc::CONSUMER_VIDEO, r.average, r.peak, r.levels);
    });
}

void MediaRoom::tickVideo()
{
    const qint64 t = m_clock.elapsed();
    QList<QPair<qint64, QVideoFrame>> frames;
    for (const Member &m : std::as_const(m_members)) {
        const Person *p = m_cast.person(m.id);
        if (m.state != State::Active || m.muteVideo != 0 || !p)
            continue;
        const bool talking =
            m.id == m_talker && (m_floor == 0 || m_floor == m.id) && m.muteAudio == 0;
        const double voice = talking ? qAbs(qSin(t / 120.0)) : 0.0;
        frames.append({m.id, SyntheticVideo::frame(SyntheticVideo::camera(*p, t, voice))});
    }
    if (frames.isEmpty())
        return;
    emitEngine([frames](Broadcaster *b) {
        for (const auto &f : frames)
            emit b->sigVideoFrame(f.first, qtwebrtc::CONSUMER_VIDEO, 0, f.second.surfaceFormat(),
                                  f.second);
    });
}

void MediaRoom::tickScreens()
{
    const qint64 t = m_clock.elapsed();
    for (const Member &m : std::as_const(m_members)) {
        if (m.state != State::Active || m.shareId.isEmpty() || m.shareIsWhiteboard ||
            m.muteShare != 0)
            continue;
        const QVideoFrame frame =
            SyntheticVideo::frame(SyntheticVideo::screen(m_cast.name(m.id), t));
        const qint64 uid = m.id;
        emitEngine([uid, frame](Broadcaster *b) {
            emit b->sigVideoFrame(uid, qtwebrtc::CONSUMER_SCREEN, 0, frame.surfaceFormat(), frame);
        });
    }
}

void MediaRoom::tickBoards()
{
    static const QList<QPolygonF> plan = sketch();
    for (auto it = m_boards.begin(); it != m_boards.end(); ++it) {
        if (it->owner == selfId() || it->planned >= plan.size())
            continue;
        demo::whiteboard::WhiteboardItem item;
        item.set_kind(2);
        demo::whiteboard::Stroke *stroke = item.mutable_stroke();
        const int index = it->planned++;
        stroke->set_argb(inkFor(index));
        stroke->set_width(index < 6 ? 0.006f : 0.004f);
        for (const QPointF &pt : plan.at(index)) {
            // A steady but human hand.
            stroke->add_points(float(pt.x() + m_rng.bounded(0.004) - 0.002));
            stroke->add_points(float(pt.y() + m_rng.bounded(0.006) - 0.003));
        }
        QByteArray bytes(int(item.ByteSizeLong()), Qt::Uninitialized);
        item.SerializeToArray(bytes.data(), int(bytes.size()));
        it->items.append(bytes);
        const QByteArray message = strokeMessage(it.key(), {bytes});
        emitEngine([message](Broadcaster *b) {
            auto *data = new im::whiteboard::TransferData;
            data->ParseFromArray(message.constData(), int(message.size()));
            emit b->sigNotifyData(data);
        });
    }
}

QByteArray MediaRoom::strokeMessage(const QString &shareId, const QList<QByteArray> &items) const
{
    im::whiteboard::TransferData data;
    data.set_share_id(shareId.toStdString());
    for (const QByteArray &bytes : items) {
        im::whiteboard::SingleWhiteboardData *single =
            data.mutable_multi()->add_whiteboarddatalist();
        single->set_timestamp(m_clock.elapsed());
        single->set_data(bytes.toStdString());
    }
    QByteArray out(int(data.ByteSizeLong()), Qt::Uninitialized);
    data.SerializeToArray(out.data(), int(out.size()));
    return out;
}

void MediaRoom::rotateTalker()
{
    QList<qint64> candidates;
    for (const Member &m : std::as_const(m_members)) {
        if (m.state == State::Active && m.muteAudio == 0 && !m.listener && m.id != selfId())
            candidates.append(m.id);
    }
    if (m_floor) {
        m_talker = m_floor;
    } else if (candidates.isEmpty() || m_rng.bounded(100) < 12) {
        m_talker = 0;
    } else {
        if (candidates.size() > 1)
            candidates.removeAll(m_talker);
        m_talker = candidates.at(m_rng.bounded(int(candidates.size())));
    }
    m_rotationTimer.start(1400 + int(m_rng.bounded(1200)));
}

void MediaRoom::jitterScores()
{
    QList<Member *> active;
    for (Member &m : m_members) {
        if (m.state == State::Active)
            active.append(&m);
    }
    if (active.isEmpty())
        return;
    static const int scores[] = {5, 5, 4, 4, 3, 2};
    Member *m = active.at(m_rng.bounded(int(active.size())));
    m->score = scores[m_rng.bounded(6)];
    emitEngine(
        [uid = m->id, score = m->score](Broadcaster *b) { emit b->sigNotifyScore(uid, score); });
}
