#include "simserver.h"
#include "cast.h"
#include "mediaroom.h"
#include "meeting.pb.h"
#include "meetingservicecmd.h"
#include <QTimer>
#include <algorithm>

namespace {
template <class Message> QByteArray bytesOf(const Message &message)
{
    QByteArray bytes(int(message.ByteSizeLong()), Qt::Uninitialized);
    message.SerializeToArray(bytes.data(), int(bytes.size()));
    return bytes;
}

template <class Message> bool parse(Message &message, const QByteArray &payload)
{
    return message.ParseFromArray(payload.constData(), int(payload.size()));
}

QString str(const std::string &s)
{
    return QString::fromStdString(s);
}

constexpr int kBadRequest = 400;
constexpr int kForbidden = 403;
constexpr int kNotFound = 404;
constexpr int kTooManyLinks = 28101;
constexpr int kWrongPassword = 2113;
constexpr int kMaxLinks = 5;
} // namespace

SimServer::SimServer(const Cast &cast, QObject *parent)
    : QObject(parent), m_cast(cast), m_rng(0x5eed)
{
    auto addLink = [this](const QString &id, const QString &name, const QString &dialogId,
                          qint64 owner) {
        im::MeetingLink link;
        link.set_id(id.toStdString());
        link.set_name(name.toStdString());
        link.set_password(QString::number(100000 + m_rng.bounded(900000)).toStdString());
        link.set_token(randomHex(12).toStdString());
        link.set_dialog_id(dialogId.toStdString());
        link.set_owner_id(qint32(owner));
        m_links.append(link);
    };
    addLink(QStringLiteral("lnk-design"), QStringLiteral("Design team room"),
            QStringLiteral("grp-design"), m_cast.selfId());
    addLink(QStringLiteral("lnk-office"), QStringLiteral("Open office hours"),
            QStringLiteral("grp-office"), 1007);
}

SimServer::~SimServer() = default;

std::optional<AccountBase::Answer> SimServer::answer(int commandId, const QByteArray &payload)
{
    Reply reply;
    switch (commandId) {
    case MeetingServiceCmd::InviteUser:
        reply = invite(payload);
        break;
    case MeetingServiceCmd::RejectMeeting:
        reply = reject(payload);
        break;
    case MeetingServiceCmd::JoinMeeting:
        reply = join(payload);
        break;
    case MeetingServiceCmd::CreateOrUpdateLink:
        reply = createOrUpdateLink(payload);
        break;
    case MeetingServiceCmd::ListLinks:
        reply = listLinks();
        break;
    case MeetingServiceCmd::DeleteLink:
        reply = deleteLink(payload);
        break;
    case MeetingServiceCmd::GetLink:
        reply = getLink(payload);
        break;
    case MeetingServiceCmd::JoinByLink:
        reply = joinByLink(payload);
        break;
    case MeetingServiceCmd::DeletePendingAttendees:
        reply = deletePending(payload);
        break;
    case MeetingServiceCmd::RateMeeting:
        reply = rate(payload);
        break;
    default:
        emit note(QStringLiteral("unknown command %1 refused").arg(commandId));
        reply.code = kNotFound;
        break;
    }
    AccountBase::Answer answer;
    answer.code = reply.code;
    answer.body = reply.body;
    answer.delayMs = m_maxDelay > 0 ? 20 + m_rng.bounded(m_maxDelay) : 0;
    return answer;
}

QVariantMap SimServer::answerSync(int commandId, const QByteArray &payload)
{
    im::meeting::CreateMeetingReq req;
    if (commandId != MeetingServiceCmd::CreateMeeting || !parse(req, payload) ||
        req.invite_message().dialog_id().empty())
        return {{QStringLiteral("code"), kBadRequest}};
    const QString dialogId = str(req.invite_message().dialog_id());
    const Conversation *conversation = m_cast.conversation(dialogId);
    const bool privateCall = conversation && !conversation->isGroup;
    QString name = str(req.text());
    if (name.isEmpty())
        name = conversation ? conversation->title : QStringLiteral("Meeting");

    Meeting &m = create(m_cast.selfId(), dialogId, name, privateCall);
    // The key travels to the invitees inside the invitation message.
    m.key = QByteArray::fromStdString(req.invite_message().content());
    m.clientId = str(req.invite_message().client_id());
    setEntry(m, m_cast.selfId(), Active, m_cast.selfId());
    m.room->addMember(m_cast.selfId(), m_cast.selfId(), false);
    for (qint64 uid : conversation ? conversation->members : QList<qint64>()) {
        setEntry(m, uid, Inviting, m_cast.selfId());
        m.room->call(uid, m_cast.selfId(), 1500 + m_rng.bounded(2500));
    }
    emit note(QStringLiteral("meeting \"%1\" created in %2").arg(name, dialogId));
    return {{QStringLiteral("code"), 0},
            {QStringLiteral("meeting"), bytesOf(m.msg)},
            {QStringLiteral("nonce"), m.nonce}};
}

QString SimServer::startMeeting(qint64 hostId, const QString &dialogId, const QString &name,
                                const QList<qint64> &inRoom, const QList<qint64> &invited)
{
    const Conversation *conversation = m_cast.conversation(dialogId);
    const bool privateCall = conversation && !conversation->isGroup;
    Meeting &m = create(hostId, dialogId, name, privateCall);
    m.key = QByteArray(32, Qt::Uninitialized);
    for (char &c : m.key)
        c = char(m_rng.bounded(256));
    m.clientId = randomHex(8);
    setEntry(m, hostId, Active, hostId);
    m.room->addMember(hostId, hostId, true);
    for (qint64 uid : inRoom) {
        setEntry(m, uid, Active, hostId);
        m.room->addMember(uid, hostId, true);
    }
    for (qint64 uid : invited) {
        setEntry(m, uid, Inviting, hostId);
        m.room->addMember(uid, hostId, false);
    }
    emit note(QStringLiteral("%1 starts \"%2\"").arg(nameOf(hostId), name));
    push(m, invited.contains(m_cast.selfId()));
    return str(m.msg.id());
}

bool SimServer::applyByLink(qint64 uid, const QString &linkId)
{
    const im::MeetingLink *l = link(linkId);
    Meeting *m = l ? meeting(runningMeeting(str(l->dialog_id()))) : nullptr;
    if (!m)
        return false;
    im::MeetingAttendeeEntry *e = m->msg.add_pending_attendees();
    e->set_user_id(uid);
    e->set_status(Inviting);
    m->msg.set_version(m->msg.version() + 1);
    emit note(QStringLiteral("%1 asks to join \"%2\" through a link")
                  .arg(nameOf(uid), str(m->msg.name())));
    push(*m, false);
    return true;
}

MediaRoom *SimServer::room(const QString &meetingId) const
{
    auto it = m_meetings.constFind(meetingId);
    return it == m_meetings.constEnd() ? nullptr : it->room;
}

QString SimServer::runningMeeting(const QString &dialogId) const
{
    for (const Meeting &m : m_meetings) {
        if (str(m.msg.dialog_id()) == dialogId)
            return str(m.msg.id());
    }
    return {};
}

QList<MeetingPush> SimServer::meetingsOf(const QString &dialogId) const
{
    QList<MeetingPush> out;
    for (const Meeting &m : m_meetings) {
        if (str(m.msg.dialog_id()) != dialogId)
            continue;
        MeetingPush p;
        p.dialogId = dialogId;
        p.meeting = m.msg;
        // Attendees and members of the conversation received the key material.
        const bool attendee = std::any_of(
            m.msg.attendees().begin(), m.msg.attendees().end(),
            [this](const im::MeetingAttendeeEntry &e) { return e.user_id() == m_cast.selfId(); });
        if (attendee || m_cast.conversation(dialogId)) {
            p.nonce = m.nonce;
            p.key = m.key;
            p.clientId = m.clientId;
        }
        out.append(p);
    }
    return out;
}

QString SimServer::ownLinkId(const QString &dialogId) const
{
    for (const im::MeetingLink &l : m_links) {
        if (str(l.dialog_id()) == dialogId && l.owner_id() == m_cast.selfId())
            return str(l.id());
    }
    return {};
}

std::optional<im::MeetingLink> SimServer::receivedLink() const
{
    for (const im::MeetingLink &l : m_links) {
        if (l.owner_id() != m_cast.selfId())
            return l;
    }
    return std::nullopt;
}

QString SimServer::meetingName(const QString &meetingId) const
{
    auto it = m_meetings.constFind(meetingId);
    return it == m_meetings.constEnd() ? QString() : str(it->msg.name());
}

void SimServer::memberChanged(const QString &meetingId, qint64 uid, int status)
{
    Meeting *m = meeting(meetingId);
    if (!m)
        return;
    if (status == 0)
        removeEntry(m->msg, uid, false);
    else
        setEntry(*m, uid, status, 0);
    m->msg.set_version(m->msg.version() + 1);
    const bool anyoneIn =
        std::any_of(m->msg.attendees().begin(), m->msg.attendees().end(),
                    [](const im::MeetingAttendeeEntry &e) { return e.status() == Active; });
    if (!anyoneIn) {
        end(meetingId);
        return;
    }
    push(*m, false);
}

bool SimServer::acceptsToken(const QString &meetingId, const QString &token) const
{
    auto it = m_meetings.constFind(meetingId);
    return it != m_meetings.constEnd() && it->tokens.contains(token);
}

SimServer::Reply SimServer::invite(const QByteArray &payload)
{
    im::meeting::MeetingInviteReq req;
    if (!parse(req, payload))
        return {kBadRequest, {}};
    Meeting *m = meeting(str(req.meeting_id()));
    if (!m)
        return {kNotFound, {}};
    im::meeting::MeetingInviteResp resp;
    for (qint32 uid : req.targets()) {
        const im::MeetingAttendeeEntry *e = entry(m->msg, uid, false);
        if (!m_cast.person(uid) || (e && e->status() == Active)) {
            resp.add_fail_members(uid);
            continue;
        }
        removeEntry(m->msg, uid, true);
        setEntry(*m, uid, Inviting, m_cast.selfId());
        m->room->call(uid, m_cast.selfId(), 1200 + m_rng.bounded(1300));
        resp.add_succ_members(uid);
        emit note(QStringLiteral("%1 is invited to \"%2\"").arg(nameOf(uid), str(m->msg.name())));
    }
    m->msg.set_version(m->msg.version() + 1);
    push(*m, false);
    return {0, bytesOf(resp)};
}

SimServer::Reply SimServer::reject(const QByteArray &payload)
{
    im::meeting::RejectMeetingReq req;
    if (!parse(req, payload))
        return {kBadRequest, {}};
    if (!req.meeting_id().empty()) {
        Meeting *m = meeting(str(req.meeting_id()));
        if (!m)
            return {kNotFound, {}};
        const bool busy = req.reason() == 2;
        emit note(QStringLiteral("%1 declines \"%2\"%3")
                      .arg(nameOf(m_cast.selfId()), str(m->msg.name()),
                           busy ? QStringLiteral(" (busy)") : QString()));
        setEntry(*m, m_cast.selfId(), busy ? Busy : Rejected, 0);
        // Declining may end a call, and with it the record.
        m->room->decline(m_cast.selfId());
        return {};
    }
    // The creator withdraws an unanswered call.
    for (const Meeting &m : std::as_const(m_meetings)) {
        if (str(m.msg.dialog_id()) == str(req.dialog_id()) && m.clientId == str(req.client_id())) {
            emit note(QStringLiteral("call \"%1\" cancelled").arg(str(m.msg.name())));
            end(str(m.msg.id()));
            return {};
        }
    }
    return {kNotFound, {}};
}

SimServer::Reply SimServer::join(const QByteArray &payload)
{
    im::meeting::JoinMeetingReq req;
    if (!parse(req, payload))
        return {kBadRequest, {}};
    Meeting *m = meeting(str(req.meeting_id()));
    if (!m)
        return {kNotFound, {}};
    if (str(req.nonce()) != m->nonce) {
        emit note(QStringLiteral("join of \"%1\" refused: the invitation does not match")
                      .arg(str(m->msg.name())));
        return {kForbidden, {}};
    }
    const QString token = randomHex(16);
    m->tokens.insert(token);
    im::meeting::JoinMeetingResp resp;
    resp.set_media_server_url(QStringLiteral("wss://media.example.test/room/?token=%1&meeting=%2")
                                  .arg(token, str(m->msg.id()))
                                  .toStdString());
    *resp.mutable_meeting() = m->msg;
    return {0, bytesOf(resp)};
}

SimServer::Reply SimServer::createOrUpdateLink(const QByteArray &payload)
{
    im::meeting::CreateOrUpdateMeetingLinkReq req;
    if (!parse(req, payload))
        return {kBadRequest, {}};
    const QString id = str(req.meeting_link().id());
    const QString name = str(req.meeting_link().name()).trimmed();
    im::MeetingLink *l = nullptr;
    if (id.isEmpty()) {
        const auto own = std::count_if(m_links.begin(), m_links.end(), [this](const auto &x) {
            return x.owner_id() == m_cast.selfId();
        });
        if (own >= kMaxLinks)
            return {kTooManyLinks, {}};
        im::MeetingLink created;
        created.set_id(QStringLiteral("lnk-%1").arg(m_nextLink).toStdString());
        // A link of its own gets a conversation of its own.
        created.set_dialog_id(QStringLiteral("dlg-link-%1").arg(m_nextLink++).toStdString());
        created.set_password(QString::number(100000 + m_rng.bounded(900000)).toStdString());
        created.set_token(randomHex(12).toStdString());
        created.set_owner_id(qint32(m_cast.selfId()));
        m_links.append(created);
        l = &m_links.last();
        emit note(QStringLiteral("meeting link \"%1\" created").arg(name));
    } else {
        l = link(id);
        if (!l || l->owner_id() != m_cast.selfId())
            return {kNotFound, {}};
        emit note(QStringLiteral("meeting link renamed to \"%1\"").arg(name));
    }
    l->set_name((name.isEmpty() ? QStringLiteral("Meeting room") : name).toStdString());
    im::meeting::CreateOrUpdateMeetingLinkResp resp;
    *resp.mutable_meeting_link() = linkAnswer(*l);
    return {0, bytesOf(resp)};
}

SimServer::Reply SimServer::listLinks()
{
    im::meeting::ListMeetingLinksResp resp;
    for (const im::MeetingLink &l : std::as_const(m_links)) {
        if (l.owner_id() == m_cast.selfId())
            *resp.add_meeting_links() = linkAnswer(l);
    }
    return {0, bytesOf(resp)};
}

SimServer::Reply SimServer::deleteLink(const QByteArray &payload)
{
    im::meeting::DeleteMeetingLinkReq req;
    if (!parse(req, payload))
        return {kBadRequest, {}};
    for (int i = 0; i < m_links.size(); ++i) {
        if (m_links[i].id() == req.meeting_link().id() &&
            m_links[i].owner_id() == m_cast.selfId()) {
            emit note(QStringLiteral("meeting link \"%1\" deleted").arg(str(m_links[i].name())));
            m_links.removeAt(i);
            return {};
        }
    }
    return {kNotFound, {}};
}

SimServer::Reply SimServer::getLink(const QByteArray &payload)
{
    im::meeting::GetMeetingLinkReq req;
    if (!parse(req, payload))
        return {kBadRequest, {}};
    const im::MeetingLink *l = link(str(req.meeting_link().id()));
    if (!l || l->token() != req.meeting_link().token())
        return {kNotFound, {}};
    // Asking by token alone is how the owner's client looks a link up.
    if (!req.meeting_link().password().empty() && l->password() != req.meeting_link().password())
        return {kWrongPassword, {}};
    im::meeting::GetMeetingLinkResp resp;
    im::MeetingLink answer = linkAnswer(*l);
    answer.clear_password();
    answer.clear_token();
    *resp.mutable_meeting_link() = answer;
    return {0, bytesOf(resp)};
}

SimServer::Reply SimServer::joinByLink(const QByteArray &payload)
{
    im::meeting::JoinMeetingByLinkReq req;
    if (!parse(req, payload))
        return {kBadRequest, {}};
    const im::MeetingLink *l = link(str(req.meeting_link().id()));
    if (!l || l->token() != req.meeting_link().token() ||
        l->password() != req.meeting_link().password())
        return {kForbidden, {}};
    Meeting *m = meeting(runningMeeting(str(l->dialog_id())));
    if (!m)
        return {kNotFound, {}};
    const qint64 self = m_cast.selfId();
    const QString meetingId = str(m->msg.id());
    removeEntry(m->msg, self, true);
    if (req.cancel()) {
        emit note(QStringLiteral("%1 withdraws the request to join").arg(nameOf(self)));
    } else {
        im::MeetingAttendeeEntry *e = m->msg.add_pending_attendees();
        e->set_user_id(self);
        e->set_status(Inviting);
        emit note(QStringLiteral("%1 asks %2 to be let in")
                      .arg(nameOf(self), nameOf(qint64(l->owner_id()))));
        // The link's owner lets the applicant in a moment later.
        QTimer::singleShot(2500, this, [this, meetingId, self] {
            Meeting *m = meeting(meetingId);
            if (!m || !entry(m->msg, self, true))
                return;
            removeEntry(m->msg, self, true);
            setEntry(*m, self, Inviting, m->hostId);
            m->room->addMember(self, m->hostId, false);
            m->msg.set_version(m->msg.version() + 1);
            emit note(QStringLiteral("%1 lets %2 in").arg(nameOf(m->hostId), nameOf(self)));
            push(*m, true);
        });
    }
    m->msg.set_version(m->msg.version() + 1);
    return {};
}

SimServer::Reply SimServer::deletePending(const QByteArray &payload)
{
    im::meeting::DeletePendingAttendeesReq req;
    if (!parse(req, payload))
        return {kBadRequest, {}};
    Meeting *m = meeting(str(req.meeting_id()));
    if (!m)
        return {kNotFound, {}};
    if (m->hostId != m_cast.selfId())
        return {kForbidden, {}};
    for (qint32 uid : req.user_ids()) {
        removeEntry(m->msg, uid, true);
        emit note(QStringLiteral("%1 is turned away").arg(nameOf(uid)));
    }
    m->msg.set_version(m->msg.version() + 1);
    push(*m, false);
    return {};
}

SimServer::Reply SimServer::rate(const QByteArray &payload)
{
    im::meeting::RateMeetingReq req;
    if (!parse(req, payload))
        return {kBadRequest, {}};
    emit note(QStringLiteral("rating %1/5 received (issues %2/%3/%4)")
                  .arg(req.score())
                  .arg(req.connecting_issues())
                  .arg(req.audio_issues())
                  .arg(req.video_issues()));
    return {};
}

SimServer::Meeting *SimServer::meeting(const QString &id)
{
    auto it = m_meetings.find(id);
    return it == m_meetings.end() ? nullptr : &*it;
}

SimServer::Meeting &SimServer::create(qint64 hostId, const QString &dialogId, const QString &name,
                                      bool privateCall)
{
    const QString id = QStringLiteral("mtg-%1").arg(m_nextMeeting++);
    Meeting &m = m_meetings[id];
    m.msg.set_id(id.toStdString());
    m.msg.set_dialog_id(dialogId.toStdString());
    m.msg.set_name(name.toStdString());
    m.msg.set_msg_id(m_nextMessage++);
    m.msg.set_version(1);
    m.msg.set_speaker_capacity(6);
    m.msg.set_is_private_call(privateCall);
    m.msg.set_disable_speaking_privileges(privateCall);
    m.nonce = randomHex(16);
    m.hostId = hostId;
    m.room = new MediaRoom(id, hostId, privateCall, !privateCall, m_cast, this);
    return m;
}

void SimServer::end(const QString &meetingId)
{
    auto it = m_meetings.find(meetingId);
    if (it == m_meetings.end())
        return;
    const QString dialogId = str(it->msg.dialog_id());
    const QString name = str(it->msg.name());
    it->room->deleteLater();
    m_meetings.erase(it);
    emit note(QStringLiteral("\"%1\" has ended").arg(name));
    emit meetingEnded(dialogId, meetingId);
}

void SimServer::push(const Meeting &m, bool invitation)
{
    // Only members of the conversation and the meeting's own people hear about it.
    const qint64 self = m_cast.selfId();
    auto listed = [self](const auto &entries) {
        return std::any_of(
            entries.begin(), entries.end(),
            [self](const im::MeetingAttendeeEntry &e) { return e.user_id() == self; });
    };
    if (!m_cast.conversation(QString::fromStdString(m.msg.dialog_id())) &&
        !listed(m.msg.attendees()) && !listed(m.msg.pending_attendees()))
        return;
    // Pushes travel the same channel as answers and never overtake one sent before them.
    MeetingPush p;
    p.dialogId = str(m.msg.dialog_id());
    p.meeting = m.msg;
    p.invitation = invitation;
    // Members of the conversation read the key material in its chat message.
    if (invitation || m_cast.conversation(p.dialogId)) {
        p.nonce = m.nonce;
        p.key = m.key;
        p.clientId = m.clientId;
    }
    if (m_maxDelay <= 0) {
        emit pushed(p);
        return;
    }
    // A meeting that ended meanwhile is not brought back by its last updates.
    const QString id = QString::fromStdString(m.msg.id());
    QTimer::singleShot(m_maxDelay + 40, this, [this, p, id] {
        if (m_meetings.contains(id))
            emit pushed(p);
    });
}

im::MeetingAttendeeEntry *SimServer::entry(im::Meeting &msg, qint64 uid, bool pending)
{
    auto *list = pending ? msg.mutable_pending_attendees() : msg.mutable_attendees();
    for (im::MeetingAttendeeEntry &e : *list) {
        if (e.user_id() == uid)
            return &e;
    }
    return nullptr;
}

void SimServer::removeEntry(im::Meeting &msg, qint64 uid, bool pending)
{
    auto *list = pending ? msg.mutable_pending_attendees() : msg.mutable_attendees();
    for (int i = 0; i < list->size(); ++i) {
        if (list->Get(i).user_id() == uid) {
            list->DeleteSubrange(i, 1);
            return;
        }
    }
}

void SimServer::setEntry(Meeting &m, qint64 uid, int status, qint64 inviter)
{
    if (status == 0)
        return;
    im::MeetingAttendeeEntry *e = entry(m.msg, uid, false);
    if (!e) {
        e = m.msg.add_attendees();
        e->set_user_id(uid);
        e->set_inviter_id(inviter);
        const Person *p = m_cast.person(uid);
        if (p && p->listener && !m.msg.disable_speaking_privileges() && uid != m.hostId)
            e->set_role(kRoleListener);
    }
    e->set_status(status);
}

im::MeetingLink *SimServer::link(const QString &id)
{
    for (im::MeetingLink &l : m_links) {
        if (str(l.id()) == id)
            return &l;
    }
    return nullptr;
}

im::MeetingLink SimServer::linkAnswer(const im::MeetingLink &link) const
{
    im::MeetingLink out = link;
    const QString running = runningMeeting(str(link.dialog_id()));
    out.set_status(running.isEmpty() ? 0 : 1);
    if (!running.isEmpty())
        *out.mutable_meeting() = m_meetings.value(running).msg;
    return out;
}

QString SimServer::randomHex(int bytes)
{
    QByteArray raw(bytes, Qt::Uninitialized);
    for (char &c : raw)
        c = char(m_rng.bounded(256));
    return QString::fromLatin1(raw.toHex());
}

QString SimServer::nameOf(qint64 uid) const
{
    return m_cast.name(uid);
}
