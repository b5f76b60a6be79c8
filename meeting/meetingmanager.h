#pragma once
#include "meetingdefines.h"
#include "modelbase.h"
#include <QHash>
#include <QObject>
#include <QVariantList>
#include <memory>

class AccountBase;
class MeetingList;
class MeetingLinkList;
class MeetingServiceCmd;
namespace im {
class Meeting;
}
struct MeetingManagerPrivate;

/// The per-account meeting directory: one meeting list per conversation.
///
/// The host creates one per signed-in account, with the account as parent, and hands it to
/// the account (`AccountBase::setMeetingManager`). Main thread only. Every object it hands out
/// stays owned by the module; QML never owns any of them.
///
/// The host feeds it the meeting records it receives (`setMeetings`, `updateMeeting`,
/// `meetingBeFinished`), takes the list of each conversation it shows (`meetingList`) and hands
/// lists and models to QML; on sign-out it calls `clearData`. Outcomes of create, join, invite
/// and link commands reach the host through `AccountManager`, not through signals of this class.
/// The README's integration guide walks through the whole lifecycle.
class MEETING_EXPORT MeetingManager : public QObject, public ModelBase
{
    Q_OBJECT
    Q_MOC_INCLUDE("meetinglinklist.h")
    Q_MOC_INCLUDE("meetingservicecmd.h")
    Q_MOC_INCLUDE("meetinglist.h")
    Q_MOC_INCLUDE("im.pb.h")
    Q_MOC_INCLUDE("accountbase.h")
    /// The account's meeting links and the link being joined. Owned by the manager and never
    /// null; it lives as long as the manager.
    Q_PROPERTY(MeetingLinkList *meetingLinkList READ meetingLinkList CONSTANT)
    /// The account's server commands. Owned by the manager and never null. It is not a
    /// `QObject`: QML can only pass the pointer on; C++ calls it.
    Q_PROPERTY(MeetingServiceCmd *meetingServiceCmd READ meetingServiceCmd CONSTANT)
    /// The largest number of attendees the account's meetings may have, as the host sets it;
    /// 0 until set. The module only stores it for the user interface.
    Q_PROPERTY(int meetingCapacity READ meetingCapacity NOTIFY meetingCapacityChanged)
public:
    // Conversations whose meetings pushes may list; a server cannot grow the client past it.
    /// The most conversations that fed records (`updateMeeting` with a `MeetingInfo`,
    /// `setMeetings`) may open lists for; a record for one more is refused with a warning in
    /// "im.meeting". `meetingList` with `create` and `createMeeting` are not limited.
    static constexpr int kMaxMeetingLists = 1000;

    /// Creates the directory of `account`, which becomes its parent, together with its server
    /// commands and its link list. No list exists yet; the capacity is 0.
    explicit MeetingManager(AccountBase *account);
    /// Deletes the server commands and the link list. Lists still registered are left to
    /// `clearData`, which the host calls first, or to the account, their parent.
    ~MeetingManager() override;

    /// The account given to the constructor; not owned.
    AccountBase *account() const;
    /// \copydoc MeetingManager::meetingServiceCmd
    MeetingServiceCmd *meetingServiceCmd() const;
    /// \copydoc MeetingManager::meetingLinkList
    MeetingLinkList *meetingLinkList() const;
    /// \copydoc MeetingManager::meetingCapacity
    int meetingCapacity() const;
    /// Stores `capacity` (any value is taken) and emits `meetingCapacityChanged` when it
    /// differs from the stored one.
    void setMeetingCapacity(int capacity);
    /// The meetings of the conversation `dialogId`; with `create`, an empty list is made when
    /// there is none, else null is returned. The manager owns the list; `clearData` deletes it.
    ///
    /// A new list is announced with `meetingListChanged` before it is returned.
    MeetingList *meetingList(const QString &dialogId, bool create);
    /// The server says the meeting `meetingId` has ended; the host's hub hears of it.
    ///
    /// When that meeting is the hub's current meeting model (`AccountManager::meetingModel`) of
    /// this account, the hub's current model is cleared first. Then, also for an empty id,
    /// `AccountManager::meetingBeFinished` gets the account id and `meetingId`. The meeting's
    /// model stays in its list.
    void meetingBeFinished(QString meetingId);
    /// Sign-out: deletes every meeting list and with it every meeting model (each stops its
    /// engine thread and uploads its log). Drop QML references to them first.
    ///
    /// Each list is announced gone with `meetingListChanged(dialogId, nullptr)` just before it
    /// is deleted; lists that `createMeeting` replaced go too. The argument is ignored. Blocks
    /// until every running engine thread has stopped.
    void clearData(bool) override;

    /// Registers the module's QML types, enumerations and value types under the import name
    /// `uri`, version 1.0. Call once per process, before loading QML that imports `uri`.
    ///
    /// The README's "QML registration" section lists what it registers. Main thread.
    static void registerMetaType(const char *uri);

public slots:
    /// Merges one meeting record; `updateFrom` is a `MeetingList::UpdateFrom` saying why it
    /// arrives. An unknown value is refused with a warning.
    ///
    /// Makes the conversation's list when there is none (refused with a warning beyond
    /// `kMaxMeetingLists`). The list ignores a record without attendees and refuses one
    /// without a meeting id.
    void updateMeeting(QString dialogId, MeetingInfo meeting, int updateFrom);
    /// Merges a meeting message from the server, with the media server address when known;
    /// `join` marks the answer to this user's join request.
    ///
    /// Only a conversation that has a list takes it; this overload never makes one. With
    /// `join` false only an existing model of that meeting takes the message.
    void updateMeeting(QString dialogId, im::Meeting meeting, QString mediaServerUrl = QString(),
                       bool join = true);
    /// Replaces the records of a conversation (keyed by meeting id); an empty hash drops the
    /// conversation's list.
    ///
    /// Meetings the list shows that the hash lacks are removed and their models deleted. A
    /// dropped list is announced with `meetingListChanged(dialogId, nullptr)`, then deleted.
    void setMeetings(QString dialogId, MeetingInfoHash meetingInfos);
    /// Asks the server to turn the applicants `userIds` (user ids, sent as 32-bit integers)
    /// away from the waiting room of `meetingId`. Only a failure is reported, through
    /// `AccountManager::error` with command id 0.
    void deletePendingAttendees(QString meetingId, QVariantList userIds);
    /// Sends this user's rating of `meetingId`: `score` on the user interface's scale (passed
    /// on unchanged), OR-combined flags of `MeetingDefines::ConnectingIssues`, `AudioIssues`
    /// and `VideoIssues` (0 for none) and a free `comment`. No answer is reported.
    void rateMeeting(QString meetingId, int score, int connectingIssues, int audioIssues,
                     int videoIssues, QString comment);
    /// Withdraws the call this user started in `dialogId` before it was answered. An empty
    /// `clientId` stands for the client id of the last `MeetingServiceCmd::createMeeting`. No
    /// answer is reported.
    void cancelCall(QString clientId, QString dialogId);
    /// Starts a meeting in `dialogId` with `targetId` invited (the other user of a private
    /// conversation); the outcome reaches the host through
    /// `AccountManager::createMeetingFinished`.
    ///
    /// Every call makes a new list for the conversation, announced with `meetingListChanged`;
    /// the list it replaces stays alive until `clearData`. The new meeting model becomes the
    /// hub's current meeting model (`AccountManager::setMeetingModel`).
    void createMeeting(QString dialogId, qint64 targetId);

signals:
    /// The server refused an invitation to `meetingId` because the invited users' meeting keys
    /// are missing (code 23201). `data` is the server's answer, unparsed, from which the host
    /// supplies the keys and invites again.
    void inviteMeetingMissKeys(QByteArray data, QString dialogId, QString meetingId);
    /// The list of `dialogId` was created or replaced; `meetings` may be null when dropped.
    ///
    /// Emitted after a list is made and registered, and just before a list is deleted (null
    /// `meetings`): let go of the old list then.
    void meetingListChanged(QString dialogId, MeetingList *meetings);
    /// Media traffic of a running call as the engine counts it: `bytes` sent when `bSent` is
    /// true, else received. Relayed from the engine thread; emitted on the main thread.
    void addBytes(qint64 bytes, bool bSent);
    /// `meetingCapacity` changed to the value given.
    void meetingCapacityChanged(int meetingCapacity);
    /// A meeting-link command failed with the server's `code` and a translated text.
    ///
    /// Only opening a received link (`MeetingLinkList::getJoinMeetingLinkInfo`) reports here,
    /// with the `dialogId` it was given; a wrong password (2113) is not reported. Other
    /// commands report through `AccountManager::error`.
    void cmdError(int code, QString error, QString dialogId);

private:
    MeetingList *listForPush(const QString &dialogId);
    MeetingList *createMeetings(const QString &dialogId);
    void deleteMeetingList(MeetingList *list);

    std::unique_ptr<MeetingManagerPrivate> d;
};
