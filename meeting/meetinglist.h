#pragma once
#include "meetingdefines.h"
#include <QAbstractListModel>
#include <QHash>
#include <memory>

class AccountBase;
class MeetingModel;
namespace im {
class Meeting;
}
struct MeetingListPrivate;

/// The meetings of one conversation; each row is a meeting model the list owns.
class MEETING_EXPORT MeetingList : public QAbstractListModel
{
    Q_OBJECT
    Q_MOC_INCLUDE("im.pb.h")
    Q_MOC_INCLUDE("accountbase.h")
    Q_MOC_INCLUDE("meetingmodel.h")
    Q_PROPERTY(int count READ count NOTIFY countChanged)
public:
    /// Why a meeting record arrives: the answer to this user's create or join, a change of a known
    /// meeting, or a pushed record (taken even when its version is older).
    enum UpdateFrom { CREATE_MEETING = 0, JOIN_MEETING = 1, UPDATE_MEETING = 2, NEW_MEETING = 3 };
    Q_ENUM(UpdateFrom)
    /// Role 257, `meeting`: the row's `MeetingModel`. The other values are reserved.
    enum DataRole { USER_ROLE = 257, STATUS_ROLE = 258, USER_ID_ROLE = 259, ROLE_MAX = 260 };
    Q_ENUM(DataRole)
    // Meetings that records may add to one conversation.
    static constexpr int kMaxMeetings = 64;

    MeetingList(const QString &dialogId, AccountBase *account);
    explicit MeetingList(AccountBase *account);
    ~MeetingList() override;

    QVariant data(const QModelIndex &index, int role) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QHash<int, QByteArray> roleNames() const override;

    QString dialogId() const;
    AccountBase *account() const;
    int count() const;
    /// The model of the meeting `key` (a meeting id, or the dialog id of a meeting this user is
    /// starting); null when none.
    MeetingModel *getMeetingModel(const QString &key) const;
    void createMeeting(qint64 targetId);
    void setMeetings(QHash<QString, MeetingInfo> meetings);
    void updateMeeting(const MeetingInfo &info, UpdateFrom from, bool wasInviting);
    void updateMeeting(const im::Meeting &meeting, const QString &mediaServerUrl, bool join);
    void reset();

    /// The chat message `msgId` was revoked; drops the meeting it announced. True when one was
    /// dropped.
    Q_INVOKABLE bool messageBeRevoked(qint64 msgId);

signals:
    /// Rows were added or removed; `count` is the new number.
    void countChanged(int count);
    void startDestroy();

private:
    qint64 ownId() const;
    MeetingModel *findModel(const QString &meetingId, const QString &dialogId);
    void insertModel(MeetingModel *model, const QString &key, bool offerToLink);
    void removeModel(MeetingModel *model);
    void forgetModel(MeetingModel *model);
    bool ownEntry(MeetingModel *model, MeetingAttendee &out) const;
    bool invitationDue(MeetingModel *model) const;
    // Null when the answer was overtaken by a newer record.
    void finishJoin(MeetingModel *model, const MeetingInfo *fresh);

    std::unique_ptr<MeetingListPrivate> d;
};
