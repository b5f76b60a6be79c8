#pragma once
#include "meetingmodelbase.h"
#include <QObject>
#include <QPointer>
#include <QVariantList>

class MeetingLinkItem;

// The host's account-wide hub. Records every call the module makes, in order.
class IMHOST_EXPORT AccountManager : public QObject
{
    Q_OBJECT
public:
    struct Call
    {
        QString name;
        QVariantList args;
    };

    static AccountManager *getInstance();

    MeetingModelBase *meetingModel() const { return m_meetingModel; }
    void setMeetingModel(MeetingModelBase *model);
    void createMeetingFinished(int code, MeetingModelBase *model, const QString &dialogId,
                               const QString &name);
    void joinMeetingFinished(bool ok, MeetingModelBase *model, const QString &meetingId);
    void receiveMeetingInvite(MeetingModelBase *model);
    void meetingBeFinished(qint64 accountId, const QString &meetingId);
    void meetingWillBeDeleted(MeetingModelBase *model);
    bool joiningMeeting() const { return m_joining; }
    void setJoiningMeeting(bool joining);
    QString joiningMeetingId() const { return m_joiningId; }
    void setJoiningMeetingId(const QString &meetingId);
    void getJoinMeetingLinkFinished(MeetingLinkItem *item, int code);
    void error(int code, const QString &text, int commandId);

    // For tests and the demo.
    QList<Call> calls() const { return m_calls; }
    QList<Call> calls(const QString &name) const;
    void reset();

    // Pointers are recorded as void* so a test can compare them with the objects it holds.
    static QVariant ptr(const void *p) { return QVariant::fromValue(const_cast<void *>(p)); }

signals:
    void called(const QString &name, const QVariantList &args);

private:
    void record(const QString &name, const QVariantList &args);

    QPointer<MeetingModelBase> m_meetingModel;
    bool m_joining = false;
    QString m_joiningId;
    QList<Call> m_calls;
};
