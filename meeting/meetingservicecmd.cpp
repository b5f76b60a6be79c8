#include "meetingservicecmd.h"
#include "accountbase.h"
#include "accountmanager.h"
#include "meeting.pb.h"
#include "meetingdefines.h"
#include "meetinglinkitem.h"
#include "meetinglinklist.h"
#include "meetingmanager.h"
#include "settings.h"
#include <QDebug>
#include <QPointer>
#include <limits>

namespace {

// Reported when a success answer does not carry the message it must carry. -1 already marks
// the joining link of the list answer, so a malformed answer gets a code of its own.
constexpr int kMalformedAnswer = -2;

// Without a loaded translation the text is its id, which has no place for the link id; Qt
// would warn on every failure.
QString withId(const QString &text, const QString &id)
{
    return text.contains(QLatin1String("%1")) ? text.arg(id) : text;
}

// The exact bytes of a request; false when the message cannot be encoded (over 2 GiB).
bool serialize(const google::protobuf::MessageLite &request, QByteArray &out)
{
    const size_t size = request.ByteSizeLong();
    if (size > size_t(std::numeric_limits<int>::max())) {
        qDebug() << "=====Serialize proto buffer failed";
        return false;
    }
    out.resize(qsizetype(size));
    if (!request.SerializeToArray(out.data(), int(out.size()))) {
        qDebug() << "=====Serialize proto buffer failed";
        return false;
    }
    return true;
}

// A request that cannot be encoded is not sent: a half-written buffer would reach the server.
void send(AccountBase *account, int commandId, const google::protobuf::MessageLite &request,
          AccountBase::Callback answer = {})
{
    QByteArray payload;
    if (serialize(request, payload))
        account->sendRequest(commandId, payload, std::move(answer), false, {});
}

template <typename Message> bool parseAnswer(Message &out, const QByteArray &body, int commandId)
{
    if (out.ParseFromArray(body.constData(), int(body.size())))
        return true;
    qCWarning(lcMeeting) << "unreadable answer to command" << commandId;
    return false;
}

QString fromStd(const std::string &s)
{
    return QString::fromStdString(s);
}

void reportError(int code, const QString &text, int commandId)
{
    AccountManager::getInstance()->error(code, text, commandId);
}

// The manager of an account that may have dropped it while the answer was on its way.
MeetingManager *managerOf(const QPointer<AccountBase> &account)
{
    return account ? account->meetingManager() : nullptr;
}

void setCredentials(im::MeetingLink *link, const QString &password, const QString &token)
{
    link->set_password(password.toStdString());
    link->set_token(token.toStdString());
}

AccountBase *accountOf(MeetingManager *manager)
{
    return manager ? manager->account() : nullptr;
}

} // namespace

struct MeetingServiceCmdPrivate
{
    MeetingManager *m_manager = nullptr;
    QString m_clientId;
};

MeetingServiceCmd::MeetingServiceCmd(MeetingManager *manager)
    : d(std::make_unique<MeetingServiceCmdPrivate>())
{
    d->m_manager = manager;
}

MeetingServiceCmd::MeetingServiceCmd(const MeetingServiceCmd &other)
    : d(std::make_unique<MeetingServiceCmdPrivate>(*other.d))
{}

MeetingServiceCmd &MeetingServiceCmd::operator=(const MeetingServiceCmd &other)
{
    *d = *other.d;
    return *this;
}

MeetingServiceCmd::~MeetingServiceCmd() = default;

QString MeetingServiceCmd::clientId() const
{
    return d->m_clientId;
}

QVariantMap MeetingServiceCmd::createMeeting(const im::Message &message, const QString &text)
{
    AccountBase *account = accountOf(d->m_manager);
    d->m_clientId = fromStd(message.client_id());
    if (!account)
        return {};
    im::meeting::CreateMeetingReq req;
    *req.mutable_invite_message() = message;
    req.set_text(text.toStdString());
    req.set_stand_routing(AppSettingModel::instance()->useStandRouting());
    QByteArray payload;
    return serialize(req, payload) ? account->sendSyncRequest(CreateMeeting, payload)
                                   : QVariantMap();
}

void MeetingServiceCmd::inviteUser(const QString &meetingId, const QString &dialogId,
                                   const QVariantList &userIds)
{
    im::meeting::MeetingInviteReq req;
    req.set_meeting_id(meetingId.toStdString());
    for (const QVariant &id : userIds)
        req.add_targets(id.toInt());
    inviteUser(req, dialogId);
}

void MeetingServiceCmd::inviteUser(const im::meeting::MeetingInviteReq &req,
                                   const QString &dialogId)
{
    AccountBase *account = accountOf(d->m_manager);
    if (!account)
        return;
    const QString meetingId = fromStd(req.meeting_id());
    auto answer = [account = QPointer<AccountBase>(account), dialogId,
                   meetingId](int code, const QByteArray &body) {
        MeetingManager *manager = managerOf(account);
        if (!manager)
            return;
        if (code == 23201) {
            emit manager->inviteMeetingMissKeys(body, dialogId, meetingId);
            return;
        }
        if (code != 0) {
            reportError(code, qtTrId("ab_meeting_invite_fail"), InviteUser);
            return;
        }
        im::meeting::MeetingInviteResp resp;
        if (!parseAnswer(resp, body, InviteUser)) {
            reportError(kMalformedAnswer, qtTrId("ab_meeting_invite_fail"), InviteUser);
            return;
        }
        reportError(0,
                    resp.succ_members_size() == 0 ? qtTrId("ab_meeting_invite_fail")
                                                  : qtTrId("ab_meeting_invite_ok"),
                    InviteUser);
    };
    send(account, InviteUser, req, answer);
}

void MeetingServiceCmd::rejectMeeting(const QString &meetingId, int reason)
{
    AccountBase *account = accountOf(d->m_manager);
    if (!account)
        return;
    im::meeting::RejectMeetingReq req;
    req.set_meeting_id(meetingId.toStdString());
    req.set_reason(reason);
    send(account, RejectMeeting, req);
}

void MeetingServiceCmd::cancelCall(const QString &clientId, const QString &dialogId)
{
    AccountBase *account = accountOf(d->m_manager);
    if (!account)
        return;
    im::meeting::RejectMeetingReq req;
    req.set_dialog_id(dialogId.toStdString());
    req.set_client_id((clientId.isEmpty() ? d->m_clientId : clientId).toStdString());
    send(account, RejectMeeting, req);
}

void MeetingServiceCmd::joinMeeting(const QString &meetingId, const QString &nonce, bool join)
{
    AccountBase *account = accountOf(d->m_manager);
    if (!account)
        return;
    im::meeting::JoinMeetingReq req;
    req.set_meeting_id(meetingId.toStdString());
    req.set_nonce(nonce.toStdString());
    req.set_stand_routing(AppSettingModel::instance()->useStandRouting());
    auto answer = [account = QPointer<AccountBase>(account), meetingId,
                   join](int code, const QByteArray &body) {
        MeetingManager *manager = managerOf(account);
        if (!manager)
            return;
        im::meeting::JoinMeetingResp resp;
        // Without its meeting the answer cannot be routed to a list: the join has failed.
        bool ok = code == 0 && parseAnswer(resp, body, JoinMeeting) && resp.has_meeting();
        if (code == 0 && !ok)
            qCWarning(lcMeeting) << "join answer without a meeting";
        // Another meeting would join the user to a call they never asked for.
        if (ok && fromStd(resp.meeting().id()) != meetingId) {
            qCWarning(lcMeeting) << "join answer names another meeting than the one requested";
            ok = false;
        }
        if (!ok) {
            if (join)
                AccountManager::getInstance()->joinMeetingFinished(false, nullptr, meetingId);
            return;
        }
        manager->updateMeeting(fromStd(resp.meeting().dialog_id()), resp.meeting(),
                               fromStd(resp.media_server_url()), join);
    };
    send(account, JoinMeeting, req, answer);
}

void MeetingServiceCmd::createOrUpdateMeetingLink(const QString &id, const QString &name)
{
    AccountBase *account = accountOf(d->m_manager);
    if (!account)
        return;
    im::meeting::CreateOrUpdateMeetingLinkReq req;
    req.mutable_meeting_link()->set_id(id.toStdString());
    req.mutable_meeting_link()->set_name(name.toStdString());
    auto answer = [account = QPointer<AccountBase>(account), id](int code, const QByteArray &body) {
        MeetingManager *manager = managerOf(account);
        if (!manager)
            return;
        im::meeting::CreateOrUpdateMeetingLinkResp resp;
        if (code == 0) {
            if (parseAnswer(resp, body, CreateOrUpdateLink) && !resp.meeting_link().id().empty()) {
                manager->meetingLinkList()->setMeetingLink(resp.meeting_link());
                return;
            }
            qCWarning(lcMeeting) << "link answer without a link";
            code = kMalformedAnswer;
        }
        QString text;
        if (code == 28101)
            text = qtTrId("create_meeting_link_exceed");
        else if (!id.isEmpty())
            text = withId(qtTrId("update_meeting_link_failed"), id);
        else
            text = qtTrId("create_meeting_link_failed");
        reportError(code, text, CreateOrUpdateLink);
    };
    send(account, CreateOrUpdateLink, req, answer);
}

void MeetingServiceCmd::listMeetingLinks()
{
    AccountBase *account = accountOf(d->m_manager);
    if (!account)
        return;
    auto answer = [account = QPointer<AccountBase>(account)](int code, const QByteArray &body) {
        MeetingManager *manager = managerOf(account);
        if (!manager)
            return;
        im::meeting::ListMeetingLinksResp resp;
        if (code == 0 && !parseAnswer(resp, body, ListLinks))
            code = kMalformedAnswer;
        if (code != 0) {
            reportError(code, qtTrId("general_loading_failed"), ListLinks);
            return;
        }
        MeetingLinkList *links = manager->meetingLinkList();
        links->setMeetingLinks(resp);
        if (!resp.joining_link().id().empty())
            links->setJoiningMeetingLink(links->createMeetingLinkItemPtr(resp.joining_link()), -1);
    };
    account->sendRequest(ListLinks, QByteArray(), answer, false, {});
}

void MeetingServiceCmd::deleteMeetingLink(const QString &id, bool flag)
{
    AccountBase *account = accountOf(d->m_manager);
    if (!account)
        return;
    im::meeting::DeleteMeetingLinkReq req;
    req.mutable_meeting_link()->set_id(id.toStdString());
    req.set_flag(flag);
    auto answer = [account = QPointer<AccountBase>(account), id](int code, const QByteArray &) {
        MeetingManager *manager = managerOf(account);
        if (!manager)
            return;
        if (code == 0)
            manager->meetingLinkList()->deleteMeetingLink(id);
        else
            reportError(code, withId(qtTrId("delete_meeting_link_failed"), id), DeleteLink);
    };
    send(account, DeleteLink, req, answer);
}

void MeetingServiceCmd::getMeetingLink(const QString &id, const QString &password,
                                       const QString &token, LinkDone done)
{
    AccountBase *account = accountOf(d->m_manager);
    if (!account)
        return;
    im::meeting::GetMeetingLinkReq req;
    req.mutable_meeting_link()->set_id(id.toStdString());
    setCredentials(req.mutable_meeting_link(), password, token);
    auto answer = [account = QPointer<AccountBase>(account), password, token,
                   done = std::move(done)](int code, const QByteArray &body) {
        MeetingManager *manager = managerOf(account);
        if (!manager)
            return;
        QSharedPointer<MeetingLinkItem> item;
        im::meeting::GetMeetingLinkResp resp;
        if (code == 0 && (!parseAnswer(resp, body, GetLink) || resp.meeting_link().id().empty())) {
            qCWarning(lcMeeting) << "link answer without a link";
            code = kMalformedAnswer;
        }
        if (code == 0) {
            im::MeetingLink copy = resp.meeting_link();
            if (copy.status() == 0 && qint64(copy.owner_id()) != account->accountId()) {
                code = 28501;
            } else {
                setCredentials(&copy, password, token);
                item = manager->meetingLinkList()->createMeetingLinkItemPtr(copy);
            }
        }
        if (done)
            done(code, item);
    };
    send(account, GetLink, req, answer);
}

void MeetingServiceCmd::getMeetingLink(const QString &id, const QString &password,
                                       const QString &token, const QString &dialogId)
{
    QPointer<AccountBase> account = accountOf(d->m_manager);
    getMeetingLink(id, password, token,
                   [account, id, dialogId](int code, const QSharedPointer<MeetingLinkItem> &item) {
                       QString text;
                       if (code == 404 || code == 28501)
                           text = qtTrId("no_active_meeting");
                       else if (code != 0 && code != MeetingDefines::INVALID_PASSWORD)
                           text = withId(qtTrId("get_meeting_link_failed"), id);
                       QPointer<MeetingManager> manager = managerOf(account);
                       if (!manager)
                           return;
                       manager->meetingLinkList()->setJoiningMeetingLink(item, code);
                       if (manager && !text.isEmpty())
                           emit manager->cmdError(code, text, dialogId);
                   });
}

void MeetingServiceCmd::joinMeetingByLink(const QString &id, const QString &password,
                                          const QString &token, bool cancel)
{
    AccountBase *account = accountOf(d->m_manager);
    if (!account)
        return;
    im::meeting::JoinMeetingByLinkReq req;
    req.mutable_meeting_link()->set_id(id.toStdString());
    setCredentials(req.mutable_meeting_link(), password, token);
    req.set_cancel(cancel);
    auto answer = [account = QPointer<AccountBase>(account), id, cancel](int code,
                                                                         const QByteArray &) {
        MeetingManager *manager = managerOf(account);
        if (!manager)
            return;
        // A failed withdrawal leaves the application standing; a failed one leaves none.
        const bool ok = code == 0;
        const int state = (ok != cancel) ? MeetingLinkItem::APPLIED : MeetingLinkItem::NOT_APPLIED;
        manager->meetingLinkList()->setJoiningMeetingLinkState(id, state);
        if (!ok)
            reportError(code,
                        cancel ? qtTrId("general_fail")
                               : withId(qtTrId("join_meeting_by_link_failed"), id),
                        0);
    };
    send(account, JoinByLink, req, answer);
}

void MeetingServiceCmd::deletePendingAttendees(const QString &meetingId,
                                               const QVariantList &userIds)
{
    AccountBase *account = accountOf(d->m_manager);
    if (!account)
        return;
    im::meeting::DeletePendingAttendeesReq req;
    req.set_meeting_id(meetingId.toStdString());
    for (const QVariant &id : userIds)
        req.add_user_ids(id.toInt());
    auto answer = [account = QPointer<AccountBase>(account)](int code, const QByteArray &) {
        if (code != 0 && managerOf(account))
            reportError(code, qtTrId("operation_failed"), 0);
    };
    send(account, DeletePendingAttendees, req, answer);
}

void MeetingServiceCmd::rateMeeting(const QString &meetingId, int score, int connectingIssues,
                                    int audioIssues, int videoIssues, const QString &comment)
{
    AccountBase *account = accountOf(d->m_manager);
    if (!account)
        return;
    im::meeting::RateMeetingReq req;
    req.set_meeting_id(meetingId.toStdString());
    req.set_comment(comment.toStdString());
    req.set_score(score);
    req.set_connecting_issues(connectingIssues);
    req.set_audio_issues(audioIssues);
    req.set_video_issues(videoIssues);
    send(account, RateMeeting, req);
}
