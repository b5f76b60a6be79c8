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
///
/// The manager makes one list per conversation (`MeetingManager::meetingList`) and deletes it;
/// QML shows it in a view whose delegate reads the role `meeting`. Records that the manager
/// routes here become models: a record of an unknown meeting adds a model at row 0, a newer one
/// updates it, and the list decides whether an incoming invitation is announced to the host
/// (`AccountManager::receiveMeetingInvite`). Main thread only; never owned by QML.
class MEETING_EXPORT MeetingList : public QAbstractListModel
{
    Q_OBJECT
    Q_MOC_INCLUDE("im.pb.h")
    Q_MOC_INCLUDE("accountbase.h")
    Q_MOC_INCLUDE("meetingmodel.h")
    /// Number of meetings (rows).
    Q_PROPERTY(int count READ count NOTIFY countChanged)
public:
    /// Why a meeting record arrives: the answer to this user's create or join, a change of a known
    /// meeting, or a pushed record (taken even when its version is older).
    ///
    /// `CREATE_MEETING` ends the create on the hub (`AccountManager::createMeetingFinished`),
    /// `JOIN_MEETING` ends the join (`AccountManager::joinMeetingFinished`); `UPDATE_MEETING` and
    /// `NEW_MEETING` may announce an incoming invitation.
    enum UpdateFrom { CREATE_MEETING = 0, JOIN_MEETING = 1, UPDATE_MEETING = 2, NEW_MEETING = 3 };
    Q_ENUM(UpdateFrom)
    /// Role 257, `meeting`: the row's `MeetingModel`. The other values are reserved.
    enum DataRole { USER_ROLE = 257, STATUS_ROLE = 258, USER_ID_ROLE = 259, ROLE_MAX = 260 };
    Q_ENUM(DataRole)
    // Meetings that records may add to one conversation.
    /// The most meetings records may add to one conversation; a record of one more is refused
    /// with a warning in "im.meeting" (a join answer so refused fails the join). `createMeeting`
    /// is not limited.
    static constexpr int kMaxMeetings = 64;

    /// An empty list of the conversation `dialogId`. `account` becomes its parent and tells the
    /// own user id and device.
    MeetingList(const QString &dialogId, AccountBase *account);
    /// An empty list without a conversation (empty `dialogId`).
    explicit MeetingList(AccountBase *account);
    /// Emits `startDestroy`, then deletes every meeting model; each stops its engine thread
    /// (blocking until it ends) and uploads its log.
    ~MeetingList() override;

    /// For a valid row and role `USER_ROLE` (`meeting`), the row's `MeetingModel *`, still owned
    /// by the list; an invalid `QVariant` for any other index or role.
    QVariant data(const QModelIndex &index, int role) const override;
    /// Number of meetings; 0 below a valid parent.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    /// One role: 257 `meeting`.
    QHash<int, QByteArray> roleNames() const override;

    /// The conversation; empty for a list made without one.
    QString dialogId() const;
    /// The account given at construction; not owned.
    AccountBase *account() const;
    /// \copydoc MeetingList::count
    int count() const;
    /// The model of the meeting `key` (a meeting id, or the dialog id of a meeting this user is
    /// starting); null when none.
    MeetingModel *getMeetingModel(const QString &key) const;
    /// Starts a meeting of this conversation: a new model at row 0, kept under the dialog id
    /// until the server's first record brings the meeting id, prepared to call `targetId`
    /// (`MeetingModel::constructsData`) and made the hub's current meeting model. Hosts call
    /// `MeetingManager::createMeeting`, which also makes a fresh list.
    void createMeeting(qint64 targetId);
    /// Replaces the records, keyed by meeting id. Rows whose key (meeting id, or dialog id while
    /// a started meeting has none) the hash lacks are removed and their models deleted; each
    /// record then goes through `updateMeeting` as `UPDATE_MEETING`, new meetings at row 0.
    void setMeetings(QHash<QString, MeetingInfo> meetings);
    /// Merges one record into its model, making the model when the meeting is new.
    ///
    /// A record without attendees is ignored, one without a meeting id refused with a warning.
    /// A record with a lower version than the model's is dropped unless `from` is
    /// `NEW_MEETING` (a join answer still ends the join). Then by `from`: `CREATE_MEETING` sets
    /// the model `CREATED` and reports `AccountManager::createMeetingFinished`; `JOIN_MEETING`
    /// sets it `CREATED` and reports `AccountManager::joinMeetingFinished(true, …)`, or restarts
    /// the call of a model already `CONNECTED`; the other two announce an invitation
    /// (`AccountManager::receiveMeetingInvite`) when the own entry is `INVITING` for this
    /// device, the model has a nonce, the device has no restricting permissions and the user
    /// is not busy, unless `wasInviting` says the own entry was inviting already.
    void updateMeeting(const MeetingInfo &info, UpdateFrom from, bool wasInviting);
    /// Merges a meeting message from the server. With `join` false only an existing model takes
    /// it. Otherwise a message without attendees is ignored, and the message goes on as a record
    /// (`JOIN_MEETING` when `mediaServerUrl` is given, else `UPDATE_MEETING`).
    void updateMeeting(const im::Meeting &meeting, const QString &mediaServerUrl, bool join);
    /// Removes every row in one model reset (emitting `countChanged(0)`), then deletes every
    /// model.
    void reset();

    /// The chat message `msgId` was revoked; drops the meeting it announced. True when one was
    /// dropped.
    ///
    /// The hub hears the meeting finished (`AccountManager::meetingBeFinished`) before its row
    /// goes and its model is deleted. Invokable from QML.
    Q_INVOKABLE bool messageBeRevoked(qint64 msgId);

signals:
    /// Rows were added or removed; `count` is the new number.
    ///
    /// Emitted inside the row transaction, before the view sees the rows change.
    void countChanged(int count);
    /// The list is being deleted; emitted first in its destructor, while its models still
    /// exist. Let go of the list and its models.
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
