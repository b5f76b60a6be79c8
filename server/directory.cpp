#include "directory.h"
#include "meeting.pb.h"
#include "wireformat.h"
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QUuid>
#include <algorithm>

Q_LOGGING_CATEGORY(lcDirectory, "im.server.directory")

using wire::bytesOf;
using wire::parse;
using wire::str;

namespace {
QString randomDigits(int n)
{
    QString out;
    for (int i = 0; i < n; ++i)
        out += QChar(u'0' + QRandomGenerator::system()->bounded(10));
    return out;
}

im::MeetingAttendeeEntry *entryOf(im::Meeting &m, qint64 uid, bool pending)
{
    auto *list = pending ? m.mutable_pending_attendees() : m.mutable_attendees();
    auto it = std::find_if(list->begin(), list->end(),
                           [uid](const im::MeetingAttendeeEntry &e) { return e.user_id() == uid; });
    return it == list->end() ? nullptr : &*it;
}

bool removeEntry(im::Meeting &m, qint64 uid, bool pending)
{
    auto *list = pending ? m.mutable_pending_attendees() : m.mutable_attendees();
    for (int i = 0; i < list->size(); ++i) {
        if (list->Get(i).user_id() == uid) {
            list->DeleteSubrange(i, 1);
            return true;
        }
    }
    return false;
}

constexpr int kMaxNameLength = 200;
} // namespace

Directory::Directory(Store &store, MediaUrl mediaUrl, QObject *parent)
    : QObject(parent), m_store(store), m_mediaUrl(std::move(mediaUrl))
{}

void Directory::load()
{
    for (const StoredConversation &c : m_store.conversations())
        m_conversations.insert(c.id, c);
    for (const StoredMeeting &m : m_store.runningMeetings()) {
        m_meetings.insert(str(m.record.id()), m);
        m_nextMessage = std::max(m_nextMessage, m.record.msg_id() + 1);
    }
    m_links = m_store.links();
}

Directory::Reply Directory::handle(qint64 account, int command, const QByteArray &payload)
{
    switch (command) {
    case 231:
        return create(account, payload);
    case 232:
        return invite(account, payload);
    case 233:
        return reject(account, payload);
    case 234:
        return join(account, payload);
    case 281:
        return createOrUpdateLink(account, payload);
    case 282:
        return listLinks(account);
    case 283:
        return deleteLink(account, payload);
    case 284:
        return getLink(account, payload);
    case 285:
        return joinByLink(account, payload);
    case 286:
        return deletePending(account, payload);
    case 287:
        return rate(account, payload);
    default:
        return {NotFound, {}};
    }
}

im::wire::SignInResp Directory::signInAnswer(qint64 account) const
{
    im::wire::SignInResp resp;
    for (const StoredConversation &c : m_conversations) {
        if (!c.members.contains(account))
            continue;
        im::wire::Conversation *out = resp.add_conversations();
        out->set_id(c.id.toStdString());
        out->set_is_group(c.isGroup);
        for (qint64 uid : c.members)
            out->add_members(uid);
    }
    for (const StoredMeeting &m : m_meetings) {
        if (!audience(m).contains(account))
            continue;
        im::wire::MeetingPush *p = resp.add_meetings();
        p->set_dialog_id(m.record.dialog_id());
        *p->mutable_meeting() = m.record;
        p->set_nonce(m.nonce.toStdString());
        p->set_key(m.key.toStdString());
        p->set_client_id(m.clientId.toStdString());
    }
    return resp;
}

Directory::Reply Directory::create(qint64 account, const QByteArray &payload)
{
    im::meeting::CreateMeetingReq req;
    if (!parse(req, payload) || req.text().size() > kMaxNameLength)
        return {BadRequest, {}};
    const QString dialogId = str(req.invite_message().dialog_id());
    if (!isMember(dialogId, account))
        return {Forbidden, {}};
    const StoredConversation &c = m_conversations[dialogId];
    StoredMeeting m;
    m.record.set_id(newId("mtg-").toStdString());
    m.record.set_dialog_id(dialogId.toStdString());
    m.record.set_name(req.text().empty() ? "Meeting" : req.text());
    m.record.set_msg_id(m_nextMessage++);
    m.record.set_speaker_capacity(6);
    m.record.set_is_private_call(!c.isGroup);
    m.record.set_disable_speaking_privileges(!c.isGroup);
    m.nonce = QString::fromLatin1(QUuid::createUuid().toRfc4122().toHex());
    m.key = QByteArray::fromStdString(req.invite_message().content());
    m.clientId = str(req.invite_message().client_id());
    m.hostId = account;
    setEntry(m, account, Active, account);
    QList<qint64> called;
    for (qint64 uid : c.members) {
        if (uid != account) {
            setEntry(m, uid, Inviting, account);
            called.append(uid);
        }
    }
    const QString id = str(m.record.id());
    m_meetings.insert(id, m);
    emit meetingStarted(id);
    changed(m_meetings[id], called);
    im::wire::CreateMeetingResp resp;
    *resp.mutable_meeting() = m_meetings[id].record;
    resp.set_nonce(m.nonce.toStdString());
    return {0, bytesOf(resp)};
}

Directory::Reply Directory::invite(qint64 account, const QByteArray &payload)
{
    im::meeting::MeetingInviteReq req;
    if (!parse(req, payload))
        return {BadRequest, {}};
    StoredMeeting *m = meeting(str(req.meeting_id()));
    if (!m || !isAttendee(str(req.meeting_id()), account))
        return {NotFound, {}};
    im::meeting::MeetingInviteResp resp;
    QList<qint64> called;
    const QString dialogId = str(m->record.dialog_id());
    for (qint32 uid : req.targets()) {
        const bool applicant = removeEntry(m->record, uid, true);
        const im::MeetingAttendeeEntry *e = entryOf(m->record, uid, false);
        if ((!applicant && !isMember(dialogId, uid)) || (e && e->status() == Active)) {
            resp.add_fail_members(uid);
            continue;
        }
        setEntry(*m, uid, Inviting, account);
        called.append(uid);
        resp.add_succ_members(uid);
    }
    changed(*m, called);
    return {0, bytesOf(resp)};
}

Directory::Reply Directory::reject(qint64 account, const QByteArray &payload)
{
    im::meeting::RejectMeetingReq req;
    if (!parse(req, payload))
        return {BadRequest, {}};
    if (req.meeting_id().empty()) {
        // The creator withdraws an unanswered call by its chat message's client id.
        for (const StoredMeeting &m : std::as_const(m_meetings)) {
            if (m.record.dialog_id() == req.dialog_id() && !m.clientId.isEmpty() &&
                m.clientId == str(req.client_id()) && m.hostId == account) {
                endMeeting(str(m.record.id()));
                return {};
            }
        }
        return {NotFound, {}};
    }
    const QString id = str(req.meeting_id());
    StoredMeeting *m = meeting(id);
    if (!m || !entryOf(m->record, account, false))
        return {NotFound, {}};
    setStatus(id, account, req.reason() == 2 ? Busy : Rejected);
    emit declined(id, account);
    m = meeting(id);
    if (m && m->record.is_private_call())
        endMeeting(id);
    return {};
}

Directory::Reply Directory::join(qint64 account, const QByteArray &payload)
{
    im::meeting::JoinMeetingReq req;
    if (!parse(req, payload))
        return {BadRequest, {}};
    const QString id = str(req.meeting_id());
    StoredMeeting *m = meeting(id);
    if (!m || !entryOf(m->record, account, false))
        return {NotFound, {}};
    if (str(req.nonce()) != m->nonce)
        return {Forbidden, {}};
    im::meeting::JoinMeetingResp resp;
    resp.set_media_server_url(m_mediaUrl(id, account).toStdString());
    *resp.mutable_meeting() = m->record;
    return {0, bytesOf(resp)};
}

Directory::Reply Directory::createOrUpdateLink(qint64 account, const QByteArray &payload)
{
    im::meeting::CreateOrUpdateMeetingLinkReq req;
    if (!parse(req, payload) || req.meeting_link().name().size() > kMaxNameLength)
        return {BadRequest, {}};
    const QString id = str(req.meeting_link().id());
    const QString name = str(req.meeting_link().name()).trimmed();
    im::MeetingLink *l = nullptr;
    if (id.isEmpty()) {
        const auto own = std::count_if(m_links.begin(), m_links.end(), [account](const auto &x) {
            return x.owner_id() == account;
        });
        if (own >= kMaxLinksPerOwner)
            return {TooManyLinks, {}};
        im::MeetingLink created;
        created.set_id(newId("lnk-").toStdString());
        // A link opens the meeting its owner is holding now, or a conversation of its own.
        const QString running = meetingOfHost(account);
        QString dialogId =
            running.isEmpty() ? QString() : str(m_meetings[running].record.dialog_id());
        if (dialogId.isEmpty()) {
            dialogId = newId("dlg-link-");
            StoredConversation c{dialogId, true, {account}};
            if (!m_store.upsertConversation(c))
                return {Unavailable, {}};
            m_conversations.insert(dialogId, c);
        }
        created.set_dialog_id(dialogId.toStdString());
        created.set_password(randomDigits(6).toStdString());
        created.set_token(
            QString::fromLatin1(QUuid::createUuid().toRfc4122().toHex()).toStdString());
        created.set_owner_id(qint32(account));
        m_links.append(created);
        l = &m_links.last();
    } else {
        l = link(id);
        if (!l || l->owner_id() != account)
            return {NotFound, {}};
    }
    l->set_name((name.isEmpty() ? QStringLiteral("Meeting room") : name).toStdString());
    if (!m_store.saveLink(*l))
        return {Unavailable, {}};
    im::meeting::CreateOrUpdateMeetingLinkResp resp;
    *resp.mutable_meeting_link() = linkAnswer(*l);
    return {0, bytesOf(resp)};
}

Directory::Reply Directory::listLinks(qint64 account) const
{
    im::meeting::ListMeetingLinksResp resp;
    for (const im::MeetingLink &l : m_links) {
        if (l.owner_id() == account)
            *resp.add_meeting_links() = linkAnswer(l);
    }
    return {0, bytesOf(resp)};
}

Directory::Reply Directory::deleteLink(qint64 account, const QByteArray &payload)
{
    im::meeting::DeleteMeetingLinkReq req;
    if (!parse(req, payload))
        return {BadRequest, {}};
    for (int i = 0; i < m_links.size(); ++i) {
        if (m_links[i].id() == req.meeting_link().id() && m_links[i].owner_id() == account) {
            if (!m_store.deleteLink(str(m_links[i].id())))
                return {Unavailable, {}};
            m_links.removeAt(i);
            return {};
        }
    }
    return {NotFound, {}};
}

bool Directory::mayUse(const im::MeetingLink &l, const im::MeetingLink &asked) const
{
    return l.token() == asked.token() && l.password() == asked.password();
}

Directory::Reply Directory::getLink(qint64 account, const QByteArray &payload) const
{
    im::meeting::GetMeetingLinkReq req;
    if (!parse(req, payload))
        return {BadRequest, {}};
    auto it = std::find_if(m_links.begin(), m_links.end(), [&](const im::MeetingLink &l) {
        return l.id() == req.meeting_link().id();
    });
    if (it == m_links.end() || it->token() != req.meeting_link().token())
        return {NotFound, {}};
    // The owner looks its own link up by token alone; everyone else needs the password.
    const bool owner = it->owner_id() == account;
    if (!owner && it->password() != req.meeting_link().password())
        return {WrongPassword, {}};
    im::MeetingLink answer = linkAnswer(*it);
    answer.clear_password();
    answer.clear_token();
    if (!owner)
        answer.clear_meeting();
    im::meeting::GetMeetingLinkResp resp;
    *resp.mutable_meeting_link() = answer;
    return {0, bytesOf(resp)};
}

Directory::Reply Directory::joinByLink(qint64 account, const QByteArray &payload)
{
    im::meeting::JoinMeetingByLinkReq req;
    if (!parse(req, payload))
        return {BadRequest, {}};
    const im::MeetingLink *l = link(str(req.meeting_link().id()));
    if (!l || !mayUse(*l, req.meeting_link()))
        return {Forbidden, {}};
    StoredMeeting *m = meeting(runningMeetingOf(str(l->dialog_id())));
    if (!m)
        return {NotFound, {}};
    const bool wasPending = removeEntry(m->record, account, true);
    if (!req.cancel()) {
        im::MeetingAttendeeEntry *e = m->record.add_pending_attendees();
        e->set_user_id(account);
        e->set_status(Inviting);
    } else if (!wasPending) {
        return {NotFound, {}};
    }
    changed(*m);
    return {};
}

Directory::Reply Directory::deletePending(qint64 account, const QByteArray &payload)
{
    im::meeting::DeletePendingAttendeesReq req;
    if (!parse(req, payload))
        return {BadRequest, {}};
    StoredMeeting *m = meeting(str(req.meeting_id()));
    if (!m || !isAttendee(str(req.meeting_id()), account))
        return {NotFound, {}};
    if (m->hostId != account)
        return {Forbidden, {}};
    for (qint32 uid : req.user_ids())
        removeEntry(m->record, uid, true);
    changed(*m);
    return {};
}

Directory::Reply Directory::rate(qint64 account, const QByteArray &payload)
{
    im::meeting::RateMeetingReq req;
    if (!parse(req, payload) || req.comment().size() > 4000)
        return {BadRequest, {}};
    const QString id = str(req.meeting_id());
    if (!isAttendee(id, account) && !m_pastAttendees.value(id).contains(account))
        return {NotFound, {}};
    StoredRating r{account,
                   id,
                   req.score(),
                   req.connecting_issues(),
                   req.audio_issues(),
                   req.video_issues(),
                   str(req.comment())};
    return {m_store.addRating(r) ? 0 : int(Unavailable), {}};
}

bool Directory::isAttendee(const QString &meetingId, qint64 uid) const
{
    const StoredMeeting *m = meeting(meetingId);
    return m && entryOf(const_cast<im::Meeting &>(m->record), uid, false);
}

qint64 Directory::hostOf(const QString &meetingId) const
{
    const StoredMeeting *m = meeting(meetingId);
    return m ? m->hostId : 0;
}

bool Directory::isPrivateCall(const QString &meetingId) const
{
    const StoredMeeting *m = meeting(meetingId);
    return m && m->record.is_private_call();
}

QList<im::MeetingAttendeeEntry> Directory::attendees(const QString &meetingId) const
{
    const StoredMeeting *m = meeting(meetingId);
    if (!m)
        return {};
    return {m->record.attendees().begin(), m->record.attendees().end()};
}

void Directory::setStatus(const QString &meetingId, qint64 uid, int status)
{
    StoredMeeting *m = meeting(meetingId);
    if (!m)
        return;
    const im::MeetingAttendeeEntry *e = entryOf(m->record, uid, false);
    if (e && e->status() == status)
        return;
    setEntry(*m, uid, status, e ? e->inviter_id() : 0);
    changed(*m);
}

void Directory::removeAttendee(const QString &meetingId, qint64 uid)
{
    StoredMeeting *m = meeting(meetingId);
    if (!m || !removeEntry(m->record, uid, false))
        return;
    // Who left before the end was still in the meeting and may rate it.
    m_pastAttendees[meetingId].insert(uid);
    const bool anyoneIn = std::any_of(m->record.attendees().begin(), m->record.attendees().end(),
                                      [](const auto &e) { return e.status() == Active; });
    if (!anyoneIn) {
        endMeeting(meetingId);
        return;
    }
    changed(*m);
}

void Directory::setHost(const QString &meetingId, qint64 uid)
{
    StoredMeeting *m = meeting(meetingId);
    if (!m || m->hostId == uid)
        return;
    m->hostId = uid;
    changed(*m);
}

void Directory::endMeeting(const QString &meetingId)
{
    auto it = m_meetings.find(meetingId);
    if (it == m_meetings.end())
        return;
    if (!m_store.endMeeting(meetingId))
        qCWarning(lcDirectory) << "a finished meeting could not be stored";
    im::wire::MeetingPush p;
    p.set_dialog_id(it->record.dialog_id());
    *p.mutable_meeting() = it->record;
    const QList<qint64> to = audience(*it);
    QSet<qint64> &past = m_pastAttendees[meetingId];
    for (const im::MeetingAttendeeEntry &e : it->record.attendees())
        past.insert(e.user_id());
    m_meetings.erase(it);
    emit pushReady(to, im::wire::MEETING_FINISHED, bytesOf(p), meetingId);
    emit meetingEnded(meetingId);
}

StoredMeeting *Directory::meeting(const QString &id)
{
    auto it = m_meetings.find(id);
    return it == m_meetings.end() ? nullptr : &*it;
}

const StoredMeeting *Directory::meeting(const QString &id) const
{
    auto it = m_meetings.constFind(id);
    return it == m_meetings.constEnd() ? nullptr : &*it;
}

QString Directory::runningMeetingOf(const QString &dialogId) const
{
    for (const StoredMeeting &m : m_meetings) {
        if (str(m.record.dialog_id()) == dialogId)
            return str(m.record.id());
    }
    return {};
}

QString Directory::meetingOfHost(qint64 uid) const
{
    for (const StoredMeeting &m : m_meetings) {
        if (m.hostId == uid && !m.record.is_private_call())
            return str(m.record.id());
    }
    return {};
}

bool Directory::isMember(const QString &dialogId, qint64 uid) const
{
    auto it = m_conversations.constFind(dialogId);
    return it != m_conversations.constEnd() && it->members.contains(uid);
}

im::MeetingLink *Directory::link(const QString &id)
{
    for (im::MeetingLink &l : m_links) {
        if (str(l.id()) == id)
            return &l;
    }
    return nullptr;
}

im::MeetingLink Directory::linkAnswer(const im::MeetingLink &l) const
{
    im::MeetingLink out = l;
    const QString running = runningMeetingOf(str(l.dialog_id()));
    out.set_status(running.isEmpty() ? 0 : 1);
    if (!running.isEmpty())
        *out.mutable_meeting() = m_meetings.value(running).record;
    return out;
}

void Directory::setEntry(StoredMeeting &m, qint64 uid, int status, qint64 inviter)
{
    im::MeetingAttendeeEntry *e = entryOf(m.record, uid, false);
    if (!e) {
        e = m.record.add_attendees();
        e->set_user_id(uid);
        e->set_inviter_id(inviter);
    }
    e->set_status(status);
}

void Directory::changed(StoredMeeting &m, const QList<qint64> &invitedNow)
{
    m.record.set_version(m.record.version() + 1);
    if (!m_store.saveMeeting(m))
        qCWarning(lcDirectory) << "a meeting change could not be stored";
    const QString id = str(m.record.id());
    im::wire::MeetingPush p;
    p.set_dialog_id(m.record.dialog_id());
    *p.mutable_meeting() = m.record;
    p.set_nonce(m.nonce.toStdString());
    p.set_key(m.key.toStdString());
    p.set_client_id(m.clientId.toStdString());
    QList<qint64> others = audience(m);
    const QSet<qint64> called(invitedNow.begin(), invitedNow.end());
    others.removeIf([&](qint64 uid) { return called.contains(uid); });
    emit pushReady(others, im::wire::MEETING_UPDATED, bytesOf(p), id);
    if (!invitedNow.isEmpty()) {
        // An invitation is never merged away: the called must hear it as one.
        p.set_invitation(true);
        emit pushReady(invitedNow, im::wire::MEETING_UPDATED, bytesOf(p), QString());
    }
    for (qint64 uid : invitedNow)
        emit invited(id, uid, entryOf(m.record, uid, false)->inviter_id());
}

QList<qint64> Directory::audience(const StoredMeeting &m) const
{
    QList<qint64> out = m_conversations.value(str(m.record.dialog_id())).members;
    QSet<qint64> listed(out.begin(), out.end());
    for (const im::MeetingAttendeeEntry &e : m.record.attendees()) {
        if (!listed.contains(e.user_id())) {
            listed.insert(e.user_id());
            out.append(e.user_id());
        }
    }
    return out;
}

QString Directory::newId(const char *prefix) const
{
    return QString::fromLatin1(prefix) +
           QString::fromLatin1(QUuid::createUuid().toRfc4122().toHex().left(16));
}
