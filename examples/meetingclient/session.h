#pragma once
#include <QObject>
#include <QPointer>
#include <QString>
#include <meetinglist.h>
#include <meetingmodel.h>

class AccountBase;
class MeetingManager;

// The host's side of the meeting module for one signed-in account, in the order a client
// drives it: construct the manager, feed meeting records, hand a conversation's list to QML,
// join, start the engine and the call once the join is confirmed, leave, sign out.
class Session : public QObject
{
    Q_OBJECT
    Q_PROPERTY(MeetingList *meetings READ meetings CONSTANT)
    Q_PROPERTY(MeetingModel *call READ call NOTIFY callChanged)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
public:
    // The conversation this example shows.
    static QString dialogId() { return QStringLiteral("team-chat"); }

    explicit Session(AccountBase *account, QObject *parent = nullptr);
    ~Session() override;

    MeetingList *meetings() const { return m_meetings; }
    MeetingModel *call() const { return m_call; }
    QString status() const { return m_status; }

    // The records the host received from its own message sync.
    void loadMeetings();
    Q_INVOKABLE void join(const QString &meetingId);
    Q_INVOKABLE void leave();
    // Before the account goes away.
    void signOut();

signals:
    void callChanged();
    void statusChanged();

private:
    void onHostCall(const QString &name, const QVariantList &args);
    void onJoinFinished(bool ok, const QString &meetingId);
    void onCallState(int state);
    void setStatus(const QString &status);

    AccountBase *m_account;
    MeetingManager *m_manager = nullptr;
    MeetingList *m_meetings = nullptr;
    QPointer<MeetingModel> m_call;
    QString m_status;
};
