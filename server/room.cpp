#include "room.h"
#include "directory.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <google/protobuf/util/json_util.h>
#include <utility>

namespace {

im::wire::MediaMessage mediaEvent(im::wire::MediaKind kind, qint64 uid, qint64 operatorId = 0)
{
    im::wire::MediaMessage m;
    m.set_kind(kind);
    m.set_uid(uid);
    m.set_operator_id(operatorId);
    return m;
}

// The engine's error numbers the room answers refusals with.
constexpr int kErrMute = 8;
constexpr int kErrKick = 9;
constexpr int kErrTransfer = 16;
constexpr int kErrSharePermission = 21;
constexpr int kErrPermissionDenied = 29;
constexpr int kErrUnknown = 30;
constexpr int kMaxShareId = 128;
} // namespace

QString Room::frame(const Msg &m)
{
    std::string json;
    google::protobuf::util::MessageToJsonString(m, &json);
    return QString::fromStdString(json);
}

bool Room::parseFrame(const QString &text, Msg *m)
{
    google::protobuf::util::JsonParseOptions options;
    options.ignore_unknown_fields = true;
    return google::protobuf::util::JsonStringToMessage(text.toStdString(), m, options).ok();
}

Room::Room(const QString &meetingId, Directory &directory, QObject *parent)
    : QObject(parent), m_meetingId(meetingId), m_directory(directory)
{
    m_disableSpeaker = directory.isPrivateCall(meetingId);
    // Users the directory is already calling show up as calling in the room.
    for (const im::MeetingAttendeeEntry &e : directory.attendees(meetingId)) {
        if (e.status() == Directory::Inviting)
            called(e.user_id(), e.inviter_id());
    }
}

int Room::connectedCount() const
{
    return int(std::count_if(m_members.begin(), m_members.end(),
                             [](const Member &m) { return !m.socket.isNull(); }));
}

bool Room::isHost(qint64 uid) const
{
    return m_directory.hostOf(m_meetingId) == uid;
}

void Room::send(qint64 uid, const Msg &m)
{
    const Member member = m_members.value(uid);
    if (member.socket)
        member.socket->sendTextMessage(frame(m));
}

void Room::broadcast(const Msg &m, qint64 except)
{
    const QString text = frame(m);
    for (auto it = m_members.cbegin(); it != m_members.cend(); ++it) {
        if (it.key() != except && it->socket)
            it->socket->sendTextMessage(text);
    }
}

void Room::refuse(qint64 uid, int error, const QString &text)
{
    Msg m = mediaEvent(im::wire::ERROR, uid);
    m.set_code(error);
    m.set_text(text.toStdString());
    send(uid, m);
}

QJsonObject Room::entry(qint64 uid, const Member &m) const
{
    QJsonObject mute{{QStringLiteral("audio"), m.muteAudio},
                     {QStringLiteral("video"), m.muteVideo}};
    QJsonObject e{{QStringLiteral("id"), double(uid)},
                  {QStringLiteral("inviter"), double(m.inviter)},
                  {QStringLiteral("status"),
                   m.calling ? QStringLiteral("CALLING") : QStringLiteral("ACTIVE")},
                  {QStringLiteral("role"),
                   m.listener ? QStringLiteral("listener") : QStringLiteral("speaker")},
                  {QStringLiteral("raiseHand"), m.raiseHand},
                  {QStringLiteral("invitingSpeak"), m.invitingSpeak},
                  {QStringLiteral("host"), isHost(uid)}};
    if (!m.shareId.isEmpty()) {
        const bool board = m.shareType == 1;
        mute.insert(board ? QStringLiteral("whiteBoard") : QStringLiteral("screen"), 0);
        e.insert(
            QStringLiteral("share"),
            QJsonArray{QJsonObject{{QStringLiteral("type"), board ? QStringLiteral("whiteBoard")
                                                                  : QStringLiteral("screen")},
                                   {QStringLiteral("id"), m.shareId},
                                   {QStringLiteral("otherMark"), m.otherMark}}});
    }
    e.insert(QStringLiteral("mute"), mute);
    return e;
}

QByteArray Room::roomInfo(qint64 onlyUid) const
{
    QJsonArray attendees;
    for (auto it = m_members.cbegin(); it != m_members.cend(); ++it) {
        if (onlyUid == 0 || it.key() == onlyUid)
            attendees.append(entry(it.key(), *it));
    }
    const QJsonObject room{
        {QStringLiteral("muteAll"),
         QJsonObject{{QStringLiteral("themselves_operation_audio"), m_unmuteAudio},
                     {QStringLiteral("themselves_operation_video"), m_unmuteVideo},
                     {QStringLiteral("audio"), m_muteAllAudio},
                     {QStringLiteral("video"), m_muteAllVideo}}},
        {QStringLiteral("permissions"),
         QJsonObject{{QStringLiteral("whoCanShare"), m_whoCanShare},
                     {QStringLiteral("disableSpeaker"), m_disableSpeaker}}},
        {QStringLiteral("attendees"), attendees}};
    return QJsonDocument(room).toJson(QJsonDocument::Compact);
}

void Room::connectEngine(qint64 uid, QWebSocket *socket, const QString &logUrl)
{
    Member &m = m_members[uid];
    if (m.socket && m.socket != socket) {
        // The same account took the call on another device.
        QPointer<QWebSocket> old = m.socket;
        old->sendTextMessage(frame(mediaEvent(im::wire::KICK, uid, uid)));
        old->close();
    }
    for (const im::MeetingAttendeeEntry &e : m_directory.attendees(m_meetingId)) {
        if (e.user_id() == uid)
            m.inviter = e.inviter_id();
    }
    m.socket = socket;
    m.calling = false;
    if (m_muteAllAudio && !isHost(uid))
        m.muteAudio = 1;
    m_directory.setStatus(m_meetingId, uid, Directory::Active);
    const qint64 host = m_directory.hostOf(m_meetingId);
    Msg room = mediaEvent(im::wire::ROOM, uid);
    room.set_host(host);
    room.set_data(roomInfo().toStdString());
    room.set_text(logUrl.toStdString());
    send(uid, room);
    Msg joined = mediaEvent(im::wire::JOIN, uid);
    joined.set_host(host);
    joined.set_data(roomInfo(uid).toStdString());
    broadcast(joined, uid);
}

void Room::disconnected(qint64 uid, QWebSocket *socket)
{
    auto it = m_members.find(uid);
    if (it == m_members.end() || it->socket != socket)
        return;
    it->socket = nullptr;
    // A dropped connection gets a moment to come back before the user counts as gone.
    QTimer::singleShot(5000, this, [this, uid] {
        auto again = m_members.constFind(uid);
        if (again != m_members.constEnd() && !again->socket && !again->calling)
            leave(uid, false);
    });
}

void Room::called(qint64 uid, qint64 inviter)
{
    Member &m = m_members[uid];
    if (m.socket)
        return;
    m.calling = true;
    m.inviter = inviter;
    broadcast(mediaEvent(im::wire::INVITE, uid, inviter));
}

void Room::declined(qint64 uid)
{
    auto it = m_members.find(uid);
    if (it == m_members.end() || it->socket)
        return;
    m_members.erase(it);
    broadcast(mediaEvent(im::wire::REJECT, uid));
}

void Room::dismiss()
{
    const qint64 host = m_directory.hostOf(m_meetingId);
    const QHash<qint64, Member> members = std::exchange(m_members, {});
    for (const Member &m : members) {
        if (!m.socket)
            continue;
        m.socket->sendTextMessage(frame(mediaEvent(im::wire::DISMISS, host)));
        m.socket->close();
    }
}

void Room::receive(qint64 uid, const Msg &m)
{
    // A late message of a user already gone from the room acts on nothing.
    if (!m_members.value(uid).socket)
        return;
    switch (m.kind()) {
    case im::wire::LEAVE:
        return leave(uid, m.flag());
    case im::wire::MUTE:
        return onMute(uid, m);
    case im::wire::MUTE_ALL:
    case im::wire::ALLOW_UNMUTE:
        return onMuteAll(uid, m);
    case im::wire::KICK:
        return onKick(uid, m);
    case im::wire::TRANSFER:
        return onTransfer(uid, m);
    case im::wire::RAISE_HAND:
    case im::wire::INVITE_SPEAK:
    case im::wire::AGREE_SPEAK:
    case im::wire::REJECT_SPEAK:
    case im::wire::BE_LISTENER:
        return onSpeaking(uid, m);
    case im::wire::CREATE_SHARE:
    case im::wire::CLOSE_SHARE:
        return onShare(uid, m);
    case im::wire::SHARE_PERMISSION:
        return onPermission(uid, m);
    case im::wire::WHITEBOARD: {
        Msg out = mediaEvent(im::wire::WHITEBOARD, uid, uid);
        out.set_data(m.data());
        return broadcast(out, uid);
    }
    default:
        return refuse(uid, kErrUnknown, QStringLiteral("unknown request"));
    }
}

void Room::leave(qint64 uid, bool dismiss)
{
    if (dismiss && isHost(uid))
        return m_directory.endMeeting(m_meetingId);
    auto it = m_members.find(uid);
    if (it == m_members.end())
        return;
    QPointer<QWebSocket> socket = it->socket;
    m_members.erase(it);
    broadcast(mediaEvent(im::wire::LEAVE, uid));
    if (socket)
        socket->close();
    // The host's role goes to whoever has been connected longest among those left.
    if (isHost(uid)) {
        for (auto m = m_members.cbegin(); m != m_members.cend(); ++m) {
            if (m->socket) {
                m_directory.setHost(m_meetingId, m.key());
                broadcast(mediaEvent(im::wire::TRANSFER, m.key(), uid));
                break;
            }
        }
    }
    m_directory.removeAttendee(m_meetingId, uid);
}

void Room::onMute(qint64 uid, const Msg &m)
{
    const qint64 target = m.uid() ? m.uid() : uid;
    auto it = m_members.find(target);
    if (it == m_members.end() || m.type() < 0 || m.type() > 4) {
        return refuse(uid, kErrMute, QStringLiteral("no such attendee"));
    }
    const bool mute = m.flag();
    if (target != uid && (!isHost(uid) || !mute))
        return refuse(uid, kErrMute, QStringLiteral("only the host mutes others"));
    const bool locked =
        m.type() == 0 ? (m_muteAllAudio && !m_unmuteAudio) : (m_muteAllVideo && !m_unmuteVideo);
    if (target == uid && !mute && locked && !isHost(uid) && m.type() <= 1)
        return refuse(uid, kErrMute, QStringLiteral("unmuting is not allowed"));
    if (m.type() == 0)
        it->muteAudio = mute ? 1 : 0;
    else if (m.type() == 1)
        it->muteVideo = mute ? 1 : 0;
    Msg out = mediaEvent(im::wire::MUTE, target, uid);
    out.set_status(mute ? 1 : 0);
    out.set_type(m.type());
    broadcast(out);
}

void Room::onMuteAll(qint64 uid, const Msg &m)
{
    if (!isHost(uid) || m.type() < 0 || m.type() > 1)
        return refuse(uid, kErrPermissionDenied, QStringLiteral("only the host does this"));
    const bool audio = m.type() == 0;
    Msg out = mediaEvent(m.kind(), uid, uid);
    out.set_flag(m.flag());
    out.set_type(m.type());
    if (m.kind() == im::wire::ALLOW_UNMUTE) {
        (audio ? m_unmuteAudio : m_unmuteVideo) = m.flag();
        return broadcast(out);
    }
    (audio ? m_muteAllAudio : m_muteAllVideo) = m.flag();
    (audio ? m_unmuteAudio : m_unmuteVideo) = m.status() != 0;
    out.set_status(m.status());
    for (auto it = m_members.begin(); it != m_members.end(); ++it) {
        if (m.flag() && it.key() != uid)
            (audio ? it->muteAudio : it->muteVideo) = 1;
    }
    broadcast(out);
}

void Room::onKick(qint64 uid, const Msg &m)
{
    auto it = m_members.find(m.uid());
    if (!isHost(uid) || it == m_members.end() || m.uid() == uid)
        return refuse(uid, kErrKick, QStringLiteral("cannot remove this attendee"));
    QPointer<QWebSocket> socket = it->socket;
    broadcast(mediaEvent(im::wire::KICK, m.uid(), uid));
    m_members.erase(it);
    if (socket)
        socket->close();
    m_directory.removeAttendee(m_meetingId, m.uid());
}

void Room::onTransfer(qint64 uid, const Msg &m)
{
    const Member target = m_members.value(m.uid());
    if (!isHost(uid) || !target.socket || m.uid() == uid)
        return refuse(uid, kErrTransfer, QStringLiteral("cannot hand the host role over"));
    m_directory.setHost(m_meetingId, m.uid());
    broadcast(mediaEvent(im::wire::TRANSFER, m.uid(), uid));
}

void Room::onSpeaking(qint64 uid, const Msg &m)
{
    const qint64 target = m.kind() == im::wire::RAISE_HAND ? uid : (m.uid() ? m.uid() : uid);
    auto it = m_members.find(target);
    const bool self = target == uid;
    // Users act on themselves (raise, accept, decline, step down); the host on anyone.
    const bool allowed =
        it != m_members.end() && (isHost(uid) || (self && m.kind() != im::wire::INVITE_SPEAK));
    if (!allowed)
        return refuse(uid, kErrPermissionDenied, QStringLiteral("not allowed"));
    switch (m.kind()) {
    case im::wire::RAISE_HAND:
        it->raiseHand = !m.flag();
        break;
    case im::wire::INVITE_SPEAK:
        it->invitingSpeak = !m.flag();
        break;
    case im::wire::AGREE_SPEAK:
        return setRole(target, false, uid);
    case im::wire::BE_LISTENER:
        return setRole(target, true, uid);
    default:
        it->raiseHand = false;
        it->invitingSpeak = false;
        break;
    }
    Msg out = mediaEvent(m.kind(), target, uid);
    out.set_flag(m.flag());
    broadcast(out);
}

void Room::setRole(qint64 uid, bool listener, qint64 operatorId)
{
    Member &m = m_members[uid];
    m.listener = listener;
    m.raiseHand = false;
    m.invitingSpeak = false;
    if (listener)
        m.muteAudio = 1;
    if (!listener)
        broadcast(mediaEvent(im::wire::AGREE_SPEAK, uid, operatorId));
    Msg out = mediaEvent(im::wire::ROLE, uid, operatorId);
    out.set_text(listener ? "listener" : "speaker");
    out.set_data(roomInfo(uid).toStdString());
    broadcast(out);
}

void Room::onShare(qint64 uid, const Msg &m)
{
    Member &self = m_members[uid];
    if (m.kind() == im::wire::CLOSE_SHARE) {
        auto owner = std::find_if(m_members.begin(), m_members.end(), [&](const Member &x) {
            return !x.shareId.isEmpty() && x.shareId.toStdString() == m.text();
        });
        if (owner == m_members.end() || (owner.key() != uid && !isHost(uid)))
            return refuse(uid, kErrSharePermission, QStringLiteral("no such share"));
        Msg out = mediaEvent(im::wire::CLOSE_SHARE, owner.key(), uid);
        out.set_text(m.text());
        owner->shareId.clear();
        return broadcast(out);
    }
    if (m_whoCanShare == QLatin1String("host") && !isHost(uid))
        return refuse(uid, kErrSharePermission, QStringLiteral("only the host shares"));
    if (m.type() < 1 || m.type() > 2)
        return refuse(uid, kErrUnknown, QStringLiteral("unknown share type"));
    self.shareId = QStringLiteral("share-%1").arg(m_nextShare++).left(kMaxShareId);
    self.shareType = m.type();
    self.otherMark = false;
    Msg out = mediaEvent(im::wire::CREATE_SHARE, uid, uid);
    out.set_text(self.shareId.toStdString());
    out.set_type(m.type());
    broadcast(out);
}

void Room::onPermission(qint64 uid, const Msg &m)
{
    if (!isHost(uid))
        return refuse(uid, kErrPermissionDenied, QStringLiteral("only the host does this"));
    m_whoCanShare = m.text() == "host" ? QStringLiteral("host") : QStringLiteral("all");
    m_disableSpeaker = m.flag();
    Msg out = mediaEvent(im::wire::SHARE_PERMISSION, uid, uid);
    out.set_text(m_whoCanShare.toStdString());
    out.set_flag(m_disableSpeaker);
    // Only listeners' entries matter to the receivers.
    QJsonArray listeners;
    for (auto it = m_members.cbegin(); it != m_members.cend(); ++it) {
        if (it->listener)
            listeners.append(entry(it.key(), *it));
    }
    out.set_data(QJsonDocument(QJsonObject{{QStringLiteral("attendees"), listeners}})
                     .toJson(QJsonDocument::Compact)
                     .toStdString());
    broadcast(out);
}
