#pragma once
#include "meeting_global.h"
#include <QObject>
#include <memory>

class AccountBase;
class MeetingModel;
struct MeetingLinkItemPrivate;
namespace im {
class MeetingLink;
}

/// One meeting link as QML sees it, and this user's application to join through it.
class MEETING_EXPORT MeetingLinkItem : public QObject
{
    Q_OBJECT
    Q_MOC_INCLUDE("accountbase.h")
    Q_MOC_INCLUDE("meetingmodel.h")
    Q_MOC_INCLUDE("im.pb.h")
    Q_PROPERTY(int state READ state WRITE setState NOTIFY stateChanged)
    Q_PROPERTY(QString id READ id NOTIFY idChanged)
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(QString password READ password NOTIFY passwordChanged)
    Q_PROPERTY(QString token READ token NOTIFY tokenChanged)
    Q_PROPERTY(QString dialogId READ dialogId NOTIFY dialogIdChanged)
    Q_PROPERTY(qint64 ownerId READ ownerId NOTIFY ownerIdChanged)
    Q_PROPERTY(AccountBase *account READ account CONSTANT)
    Q_PROPERTY(MeetingModel *meetingModel READ meetingModel NOTIFY meetingModelChanged)
    Q_PROPERTY(QObject *meetingLinkList READ meetingLinkList CONSTANT)
public:
    enum JoinState { NOT_APPLIED = 0, APPLYING = 1, APPLIED = 2, APPROVED = 3 };
    Q_ENUM(JoinState)

    MeetingLinkItem(AccountBase *account, QObject *parent = nullptr);
    ~MeetingLinkItem() override;

    int state() const;
    QString id() const;
    QString name() const;
    QString password() const;
    QString token() const;
    QString dialogId() const;
    qint64 ownerId() const;
    AccountBase *account() const;
    MeetingModel *meetingModel() const;
    QObject *meetingLinkList() const { return parent(); }

    void updateLink(const im::MeetingLink &link);
    const im::MeetingLink &meetingLink() const;
    void setMeetingModel(MeetingModel *model);
    void setName(const QString &name);
    void setState(int state);
    void setAccount(AccountBase *account);

    Q_INVOKABLE void joinMeeting(AccountBase *account, bool cancel);

signals:
    void startDestroy();
    void stateChanged();
    void idChanged();
    void nameChanged();
    void meetingModelChanged();
    void passwordChanged();
    void tokenChanged();
    void dialogIdChanged(QString dialogId);
    void ownerIdChanged();

private:
    std::unique_ptr<MeetingLinkItemPrivate> d;
};
