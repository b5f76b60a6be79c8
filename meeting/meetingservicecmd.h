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
///
/// Each manager creates and deletes one (`MeetingManager::meetingServiceCmd`); meeting models,
/// link lists and link items call it through the manager, and the host calls `createMeeting`.
/// Each call fills one request of `meeting.proto` and sends it with its `Command` id through
/// `AccountBase::sendRequest`, taking the account from the manager at call time; without an
/// account nothing is sent, and a request that cannot be encoded (over 2 GiB) is not sent
/// either. An answer that arrives after the account or its manager went is dropped. Result
/// codes: the README's reference tables. Main thread only.
class MEETING_EXPORT MeetingServiceCmd
{
public:
    /// Receives the outcome of a get-link request: the code (0 success, 28501 no meeting runs on
    /// another user's link, -2 a success answer without a link, else the server's) and the new
    /// item, null unless the code is 0.
    using LinkDone = std::function<void(int code, const QSharedPointer<MeetingLinkItem> &item)>;

    /// A plain, copyable object; answers reach the manager's lists and the host's hub on the main
    /// thread. Failures go to `AccountManager::error` or `MeetingManager::cmdError`, never thrown.
    ///
    /// `manager` is not owned; a copy talks to the same manager.
    explicit MeetingServiceCmd(MeetingManager *manager);
    /// A copy that talks to the same manager.
    MeetingServiceCmd(const MeetingServiceCmd &other);
    /// Makes this object talk to `other`'s manager.
    MeetingServiceCmd &operator=(const MeetingServiceCmd &other);
    /// Pending answers still reach the manager: they do not hold this object.
    ~MeetingServiceCmd();

    /// Asks the server to create a meeting announced by the chat message `message` with the
    /// text `text`, and returns the server's answer as the host's `sendSyncRequest` gives it.
    ///
    /// The one synchronous command: it blocks until the host answers. Remembers the message's
    /// client id for `cancelCall`. An empty map without an account or when the request cannot
    /// be encoded.
    QVariantMap createMeeting(const im::Message &message, const QString &text);
    /// Invites `userIds` (user ids, sent as 32-bit integers) to `meetingId` of the conversation
    /// `dialogId`; the outcome is reported as by the other overload.
    void inviteUser(const QString &meetingId, const QString &dialogId, const QVariantList &userIds);
    /// Sends the invitation `req` for the conversation `dialogId`.
    ///
    /// The outcome goes to `AccountManager::error` with command id 232 and a translated text:
    /// code 0 with the success text, or with the failure text when the server invited nobody;
    /// a failure code (-2 for an unreadable answer) with the failure text. Code 23201 (the
    /// invitees' meeting keys are missing) emits `MeetingManager::inviteMeetingMissKeys`
    /// instead.
    void inviteUser(const im::meeting::MeetingInviteReq &req, const QString &dialogId);
    /// Declines the invitation to `meetingId`; `reason` is a `MeetingDefines::MeetingRejectReason`.
    /// No answer is reported.
    void rejectMeeting(const QString &meetingId, int reason);
    /// Withdraws the call this user started in `dialogId`, named by its chat message's
    /// `clientId` (empty: the one `createMeeting` remembered). No answer is reported.
    void cancelCall(const QString &clientId, const QString &dialogId);
    /// Asks for the media server address of `meetingId`, carrying the record's `nonce`; with
    /// `join` the request also joins.
    ///
    /// The answer's meeting goes to `MeetingManager::updateMeeting` with the address and
    /// `join`. A join that fails (an error code, an unreadable answer, no meeting in it, or
    /// another meeting than the one asked for) reports
    /// `AccountManager::joinMeetingFinished(false, nullptr, meetingId)`; without `join`
    /// failures are silent.
    void joinMeeting(const QString &meetingId, const QString &nonce, bool join);
    /// Creates a link named `name` (empty `id`) or renames link `id`. The answer's link goes to
    /// `MeetingLinkList::setMeetingLink`; failures go to `AccountManager::error` with command
    /// id 281 (28101: the user has too many links).
    void createOrUpdateMeetingLink(const QString &id, const QString &name);
    /// Asks for the user's links. The answer goes to `MeetingLinkList::setMeetingLinks`, and
    /// the application it names as still open to `MeetingLinkList::setJoiningMeetingLink` with
    /// code -1; failures go to `AccountManager::error` with command id 282.
    void listMeetingLinks();
    /// Deletes link `id`; `flag` is sent as given (the link list sends true). Success removes
    /// the link's row; failures go to `AccountManager::error` with command id 283.
    void deleteMeetingLink(const QString &id, bool flag);
    /// Asks for link `id` with `password` and `token` (an empty password: the owner's look-up by
    /// token) and calls `done` with the outcome on the main thread.
    ///
    /// The item made on success carries the given password and token, which the answer does
    /// not; it is outside the link list. `done` is not called when the account went away in the
    /// meantime.
    void getMeetingLink(const QString &id, const QString &password, const QString &token,
                        LinkDone done);
    /// Opens link `id` for the link list: as the other overload, ending in
    /// `MeetingLinkList::setJoiningMeetingLink(item, code)`. Failures other than a wrong
    /// password (2113) also emit `MeetingManager::cmdError(code, text, dialogId)`.
    void getMeetingLink(const QString &id, const QString &password, const QString &token,
                        const QString &dialogId);
    /// Applies to join through link `id` (`cancel` false) or withdraws the application
    /// (`cancel` true). The answer sets the join link's state: `APPLIED` after a successful
    /// application or a failed withdrawal, else `NOT_APPLIED`; failures go to
    /// `AccountManager::error` with command id 0.
    void joinMeetingByLink(const QString &id, const QString &password, const QString &token,
                           bool cancel);
    /// Turns the applicants `userIds` (user ids, sent as 32-bit integers) away from the waiting
    /// room of `meetingId`. Only failures are reported, through `AccountManager::error` with
    /// command id 0.
    void deletePendingAttendees(const QString &meetingId, const QVariantList &userIds);
    /// Sends this user's rating of `meetingId`, as `MeetingManager::rateMeeting` describes it.
    /// No answer is reported.
    void rateMeeting(const QString &meetingId, int score, int connectingIssues, int audioIssues,
                     int videoIssues, const QString &comment);

    /// The client id of the chat message last passed to `createMeeting`; empty before.
    QString clientId() const;

    /// The command ids sent with `AccountBase::sendRequest`; the messages are in `meeting.proto`.
    enum Command {
        /// Create a meeting (synchronous).
        CreateMeeting = 231,
        /// Invite users to a meeting.
        InviteUser = 232,
        /// Decline an invitation, or withdraw a call this user started.
        RejectMeeting = 233,
        /// Join a meeting, or only fetch its media server address.
        JoinMeeting = 234,
        /// Create or rename a meeting link.
        CreateOrUpdateLink = 281,
        /// List the user's meeting links.
        ListLinks = 282,
        /// Delete a meeting link.
        DeleteLink = 283,
        /// Open a meeting link.
        GetLink = 284,
        /// Apply, or withdraw an application, to join through a link.
        JoinByLink = 285,
        /// Turn applicants away from a waiting room.
        DeletePendingAttendees = 286,
        /// Rate a meeting.
        RateMeeting = 287
    };

private:
    std::unique_ptr<MeetingServiceCmdPrivate> d;
};
