#pragma once
#include "meetingdefines.h"
#include <QAbstractListModel>
#include <QHash>
#include <QSet>
#include <memory>

class AccountBase;
struct MeetingAttendeeListPrivate;

/// The attendees of one meeting in display order. Several lists may hold the same live
/// objects; a list deletes only those it created, and only when a caller asks it to.
class MEETING_EXPORT MeetingAttendeeList : public QAbstractListModel
{
    Q_OBJECT
    Q_MOC_INCLUDE("accountbase.h")
    Q_MOC_INCLUDE("meetingattendeeuser.h")
    Q_MOC_INCLUDE("contactbase.h")
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(int actualCount READ actualCount NOTIFY actualCountChanged)
    Q_PROPERTY(int maxCountHistory READ maxCountHistory NOTIFY maxCountHistoryChanged)
    Q_PROPERTY(int speakerCount READ speakerCount NOTIFY speakerCountChanged)
public:
    /// Roles, as QML names them: 257 `user` (the row's `MeetingAttendeeUser`, null once another
    /// list deleted it), 258 `inviter` (the inviter's contact), 259 `status` (a
    /// `MeetingDefines::AttendeeStatus`), 260 `itemModel` (the whole row as a map). Any other role
    /// also answers the row map.
    enum DataRole { USER_ROLE = Qt::UserRole + 1, INVITER_ROLE, STATUS_ROLE, ITEM_MODEL, ROLE_MAX };
    Q_ENUM(DataRole)

    MeetingAttendeeList(AccountBase *account, QObject *parent);
    ~MeetingAttendeeList() override;

    AccountBase *account() const;
    qint64 userId() const;
    void setUserId(qint64 userId);
    QString dialogId() const;
    void setDialogId(const QString &dialogId);

    /// Rows, share tiles included.
    int count() const;
    /// People in the list: camera rows only, without share tiles.
    int actualCount() const;
    /// The most people this list has held at once.
    int maxCountHistory() const;
    /// Camera rows whose attendee is a speaker (refreshed when the whole set is applied).
    int speakerCount() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Look-ups.
    bool existAttendee(qint64 uid) const;
    bool getAttendee(qint64 uid, MeetingDefines::AttendeeType type, MeetingAttendee &out) const;
    int getAttendeeIndex(qint64 uid, MeetingDefines::AttendeeType type) const;
    bool isAttendeeInviter(qint64 uid, qint64 inviterUid) const;
    QList<MeetingAttendee> activeAttendees() const;
    QList<MeetingAttendee> callingAttendees() const;
    const QList<MeetingAttendee> &rows() const;

    // Mutations.
    void appendAttendee(const MeetingAttendee &a);
    void appendAttendee(const QList<MeetingAttendee> &list, bool atFront);
    QSet<qint64> initAttendees(const QList<MeetingAttendee> &list, bool &added);
    void setDifferentAttendees(const QList<MeetingAttendee> &list);
    void updateAttendeeUser(MeetingAttendee &a);
    void updateAttendee(const QList<qint64> &uids, bool deleteUser);
    void removeAttendee(qint64 uid, bool kicked, const QString &shareId);
    // Lets go of the rows showing a live object that another list is about to delete.
    void removeRowsOf(const QObject *user);
    void clearAttendee(bool deleteUsers);

    // Ordering. Between beginBatch and endBatch new rows go to the end and changed rows stay
    // where they are; endBatch then places them, row by row when few, by one sort otherwise.
    void beginBatch();
    void endBatch();
    void sortAttendee();
    void sortAttendeeByStatus(qint64 uid, int status, int index);
    void sortAttendeeByVideo(qint64 uid, int muteVideo, int type, int index);
    bool updateAttendee(qint64 uid, int muteVoice, int muteVideo, int status, int role,
                        int networkScore);
    void updateAttendeesStatus(qint64 uid, int status);

    // Shares and queries.
    void createShareAttendee(qint64 uid, const QString &shareId, MeetingDefines::AttendeeType type,
                             bool allowDraw, int muteVideo);
    bool updateShareAttendee(qint64 uid, MeetingDefines::AttendeeType type, bool allowDraw, int);
    QList<MeetingAttendee> search(const QString &text) const;
    void setVideoSink(bool all, qint64 uid);

public slots:
    /// The live object of row `index`; null out of range.
    QObject *getAttendeeInfoByIndex(int index) const;
    /// The live object of the user's row of the given kind; null when none.
    QObject *getAttendeeInfoByUid(qlonglong uid,
                                  MeetingDefines::AttendeeType type = MeetingDefines::VIDEO) const;
    QObject *attendeeSelfInviter() const;
    /// The live object of the share tile `shareId`; null when none.
    QObject *getShareByShareId(const QString &shareId) const;
    bool speakersFull(int maxSpeakerCount) const;
    int getSpeakerCount() const;
    int getRaiseHandCount(int speakerCount) const;
    int getFirstAttendeeIndex(MeetingDefines::AttendeeType type) const;

signals:
    void startDestroy();
    void countChanged(int count);
    /// The row of `uid` at `oldIndex` (a `MeetingDefines::AttendeeType`) is about to go because the
    /// attendee was removed; emitted while the row still stands.
    void kickedOut(qlonglong uid, int oldIndex, int type);
    /// A row moved for display order.
    void moved(int oldIndex, int newIndex);
    void actualCountChanged(int actualCount);
    void maxCountHistoryChanged(int maxCountHistory);
    void speakerCountChanged(int speakerCount);

private:
    int searchAttendee(const MeetingAttendee &a) const;
    void rowsChangedFrom(int row);
    void markUnplaced(const MeetingAttendee &a);
    void placeRow(int row);
    void removeAttendee(bool kicked, int index, MeetingAttendee &a);
    void sortAttendeeByState(qint64 uid, int state, int index);
    void moveRow(int index, int target);
    void publishCounters();
    void updateActualCount();
    void updateMaxCountHistory(int count);
    void setspeakerCount(int count);

    enum class Tables { ByType, Bulk };

    template <typename T> T *createLiveObject(qint64 uid);
    void deleteLiveObject(const MeetingAttendee &a);
    void hold(const MeetingAttendee &a);
    void forgetLiveObject(const MeetingAttendeeUser *user);
    MeetingAttendeeUser *alive(const MeetingAttendee &a) const;
    int typeOf(const MeetingAttendee &a) const;
    const MeetingAttendee *entry(qint64 uid, int type) const;
    bool validRow(int index) const { return index >= 0 && index < count(); }
    int rowNear(const MeetingAttendee &a, int hint) const;
    bool selfOnTop() const;
    bool selfIsSpeaker() const;
    bool notAfter(const MeetingAttendee &a, const MeetingAttendee &b) const;
    bool followsOwner(const MeetingAttendee &a) const;
    int placementOf(const MeetingAttendee &a) const;
    int targetAbove(const MeetingAttendee &a, int index, int floor, int fallback) const;
    int targetBelow(const MeetingAttendee &a, int index) const;
    void insertRowAt(int pos, const MeetingAttendee &a, Tables tables);
    void enterTables(const MeetingAttendee &a, Tables tables);
    bool kickOut(const MeetingAttendee &gone, int hint);
    void reenterTables(qint64 uid);
    bool removeRowsNotIn(const QList<MeetingAttendee> &list, int head, int tail);
    bool placeRows(const QList<MeetingAttendee> &list, int head, int tail);
    void updateKnownAttendees(const QList<MeetingAttendee> &list, bool &added);
    void rebuildTables();
    int countSpeakers() const;
    void sortRows();

    std::unique_ptr<MeetingAttendeeListPrivate> d;
};
