#pragma once
#include "meetingdefines.h"
#include "modelbase.h"
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QVariantList>

class AccountBase;
class MeetingList;
class MeetingLinkList;
class MeetingServiceCmd;
namespace im {
class Meeting;
}

// The per-account meeting directory: one meeting list per conversation.
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

    AccountBase *account() const { return m_account; }
    MeetingServiceCmd *meetingServiceCmd() const { return m_serviceCmd; }
    MeetingLinkList *meetingLinkList() const { return m_linkList; }
    int meetingCapacity() const { return m_meetingCapacity; }
    void setMeetingCapacity(int capacity);
    MeetingList *meetingList(const QString &dialogId, bool create);
    void meetingBeFinished(QString meetingId);
    void clearData(bool) override;

    static void registerMetaType(const char *uri);

public slots:
    void updateMeeting(QString dialogId, MeetingInfo meeting, int updateFrom);
    void updateMeeting(QString dialogId, im::Meeting meeting, QString mediaServerUrl = QString(),
                       bool join = true);
    void setMeetings(QString dialogId, MeetingInfoHash meetingInfos);
    void deletePendingAttendees(QString meetingId, QVariantList userIds);
    void rateMeeting(QString meetingId, int score, int connectingIssues, int audioIssues,
                     int videoIssues, QString comment);
    void cancelCall(QString clientId, QString dialogId);
    void createMeeting(QString dialogId, qint64 targetId);

signals:
    void inviteMeetingMissKeys(QByteArray data, QString dialogId, QString meetingId);
    void meetingListChanged(QString dialogId, MeetingList *meetings);
    void addBytes(qint64 bytes, bool bSent);
    void meetingCapacityChanged(int meetingCapacity);
    void cmdError(int code, QString error, QString dialogId);

private:
    MeetingList *listForPush(const QString &dialogId);
    MeetingList *createMeetings(const QString &dialogId);
    void deleteMeetingList(MeetingList *list);

    QHash<QString, MeetingList *> m_lists;
    MeetingServiceCmd *m_serviceCmd = nullptr;
    AccountBase *m_account = nullptr;
    MeetingLinkList *m_linkList = nullptr;
    int m_meetingCapacity = 0;
    // Lists that createMeeting replaced: still alive for whoever shows them, gone with clearData.
    QList<QPointer<MeetingList>> m_retiredLists;
};
