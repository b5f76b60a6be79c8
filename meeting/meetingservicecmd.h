#pragma once
#include "meeting_global.h"
#include <QSharedPointer>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <memory>

class MeetingManager;
class MeetingLinkItem;
namespace im {
class Message;
namespace meeting {
class MeetingInviteReq;
}
} // namespace im
struct MeetingServiceCmdPrivate;

/// Turns meeting operations into server commands sent through the account's request channel.
class MEETING_EXPORT MeetingServiceCmd
{
public:
    using LinkDone = std::function<void(int code, const QSharedPointer<MeetingLinkItem> &item)>;

    /// A plain, copyable object; answers reach the manager's lists and the host's hub on the main
    /// thread. Failures go to `AccountManager::error` or `MeetingManager::cmdError`, never thrown.
    explicit MeetingServiceCmd(MeetingManager *manager);
    MeetingServiceCmd(const MeetingServiceCmd &other);
    MeetingServiceCmd &operator=(const MeetingServiceCmd &other);
    ~MeetingServiceCmd();

    QVariantMap createMeeting(const im::Message &message, const QString &text);
    void inviteUser(const QString &meetingId, const QString &dialogId, const QVariantList &userIds);
    void inviteUser(const im::meeting::MeetingInviteReq &req, const QString &dialogId);
    void rejectMeeting(const QString &meetingId, int reason);
    void cancelCall(const QString &clientId, const QString &dialogId);
    void joinMeeting(const QString &meetingId, const QString &nonce, bool join);
    void createOrUpdateMeetingLink(const QString &id, const QString &name);
    void listMeetingLinks();
    void deleteMeetingLink(const QString &id, bool flag);
    void getMeetingLink(const QString &id, const QString &password, const QString &token,
                        LinkDone done);
    void getMeetingLink(const QString &id, const QString &password, const QString &token,
                        const QString &dialogId);
    void joinMeetingByLink(const QString &id, const QString &password, const QString &token,
                           bool cancel);
    void deletePendingAttendees(const QString &meetingId, const QVariantList &userIds);
    void rateMeeting(const QString &meetingId, int score, int connectingIssues, int audioIssues,
                     int videoIssues, const QString &comment);

    QString clientId() const;

    /// The command ids sent with `AccountBase::sendRequest`; the messages are in `meeting.proto`.
    enum Command {
        CreateMeeting = 231,
        InviteUser = 232,
        RejectMeeting = 233,
        JoinMeeting = 234,
        CreateOrUpdateLink = 281,
        ListLinks = 282,
        DeleteLink = 283,
        GetLink = 284,
        JoinByLink = 285,
        DeletePendingAttendees = 286,
        RateMeeting = 287
    };

private:
    std::unique_ptr<MeetingServiceCmdPrivate> d;
};
