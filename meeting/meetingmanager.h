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
class MEETING_EXPORT MeetingManager : public QObject, public ModelBase
{
    Q_OBJECT
    Q_MOC_INCLUDE("meetinglinklist.h")
    Q_MOC_INCLUDE("meetingservicecmd.h")
    Q_MOC_INCLUDE("meetinglist.h")
    Q_MOC_INCLUDE("im.pb.h")
    Q_MOC_INCLUDE("accountbase.h")
    Q_PROPERTY(MeetingLinkList *meetingLinkList READ meetingLinkList CONSTANT)
    Q_PROPERTY(MeetingServiceCmd *meetingServiceCmd READ meetingServiceCmd CONSTANT)
    Q_PROPERTY(int meetingCapacity READ meetingCapacity NOTIFY meetingCapacityChanged)
public:
    // Conversations whose meetings pushes may list; a server cannot grow the client past it.
    static constexpr int kMaxMeetingLists = 1000;

    explicit MeetingManager(AccountBase *account);
    ~MeetingManager() override;

    AccountBase *account() const;
    MeetingServiceCmd *meetingServiceCmd() const;
    MeetingLinkList *meetingLinkList() const;
    int meetingCapacity() const;
    void setMeetingCapacity(int capacity);
    /// The meetings of the conversation `dialogId`; with `create`, an empty list is made when
    /// there is none, else null is returned. The manager owns the list; `clearData` deletes it.
    MeetingList *meetingList(const QString &dialogId, bool create);
    /// The server says the meeting `meetingId` has ended; the host's hub hears of it.
    void meetingBeFinished(QString meetingId);
    /// Sign-out: deletes every meeting list and with it every meeting model (each stops its
    /// engine thread and uploads its log). Drop QML references to them first.
    void clearData(bool) override;

    /// Registers the module's QML types, enumerations and value types under the import name
    /// `uri`, version 1.0. Call once per process, before loading QML that imports `uri`.
    static void registerMetaType(const char *uri);

public slots:
    /// Merges one meeting record; `updateFrom` is a `MeetingList::UpdateFrom` saying why it
    /// arrives. An unknown value is refused with a warning.
    void updateMeeting(QString dialogId, MeetingInfo meeting, int updateFrom);
    /// Merges a meeting message from the server, with the media server address when known;
    /// `join` marks the answer to this user's join request.
    void updateMeeting(QString dialogId, im::Meeting meeting, QString mediaServerUrl = QString(),
                       bool join = true);
    /// Replaces the records of a conversation (keyed by meeting id); an empty hash drops the
    /// conversation's list.
    void setMeetings(QString dialogId, MeetingInfoHash meetingInfos);
    void deletePendingAttendees(QString meetingId, QVariantList userIds);
    void rateMeeting(QString meetingId, int score, int connectingIssues, int audioIssues,
                     int videoIssues, QString comment);
    void cancelCall(QString clientId, QString dialogId);
    /// Starts a meeting in `dialogId` with `targetId` invited (the other user of a private
    /// conversation); the outcome reaches the host through
    /// `AccountManager::createMeetingFinished`.
    void createMeeting(QString dialogId, qint64 targetId);

signals:
    void inviteMeetingMissKeys(QByteArray data, QString dialogId, QString meetingId);
    /// The list of `dialogId` was created or replaced; `meetings` may be null when dropped.
    void meetingListChanged(QString dialogId, MeetingList *meetings);
    void addBytes(qint64 bytes, bool bSent);
    void meetingCapacityChanged(int meetingCapacity);
    /// A meeting-link command failed with the server's `code` and a translated text.
    void cmdError(int code, QString error, QString dialogId);

private:
    MeetingList *listForPush(const QString &dialogId);
    MeetingList *createMeetings(const QString &dialogId);
    void deleteMeetingList(MeetingList *list);

    std::unique_ptr<MeetingManagerPrivate> d;
};
