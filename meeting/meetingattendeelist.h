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
///
/// A meeting model owns and fills its lists (`MeetingModel::attendeeList` and the lists derived
/// from it); QML shows them in views whose delegates read the roles below and each row's live
/// object (`MeetingAttendeeUser`). Each row is one tile: a user's camera (`VIDEO`) and each of
/// their shares (`WHITEBOARD`, `SHARESCREEN`) are rows of their own. The own camera stands on
/// top while this user speaks; the other rows follow `MeetingAttendee::operator<`. A changed
/// row moves alone (`moved`); only a first fill, a clear and a full sort reset the model.
///
/// The mutating members are the meeting model's; QML uses the properties and the slots. Main
/// thread only; never owned by QML.
class MEETING_EXPORT MeetingAttendeeList : public QAbstractListModel
{
    Q_OBJECT
    Q_MOC_INCLUDE("accountbase.h")
    Q_MOC_INCLUDE("meetingattendeeuser.h")
    Q_MOC_INCLUDE("contactbase.h")
    /// Number of rows, share tiles included.
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    /// Number of people: camera rows, without share tiles.
    Q_PROPERTY(int actualCount READ actualCount NOTIFY actualCountChanged)
    /// The most people (`actualCount`) this list has held at once; it never decreases, not even
    /// when the list is cleared.
    Q_PROPERTY(int maxCountHistory READ maxCountHistory NOTIFY maxCountHistoryChanged)
    /// Camera rows whose attendee is a speaker, counted when a whole set is applied with
    /// `setDifferentAttendees` (as the active list is); other changes leave it as it was.
    Q_PROPERTY(int speakerCount READ speakerCount NOTIFY speakerCountChanged)
public:
    /// Roles, as QML names them: 257 `user` (the row's `MeetingAttendeeUser`, null once another
    /// list deleted it), 258 `inviter` (the inviter's contact), 259 `status` (a
    /// `MeetingDefines::AttendeeStatus`), 260 `itemModel` (the whole row as a map). Any other role
    /// also answers the row map.
    enum DataRole { USER_ROLE = Qt::UserRole + 1, INVITER_ROLE, STATUS_ROLE, ITEM_MODEL, ROLE_MAX };
    Q_ENUM(DataRole)

    /// An empty list owned by `parent` (the meeting model). `account`, not owned, supplies the
    /// contacts of attendees.
    MeetingAttendeeList(AccountBase *account, QObject *parent);
    /// Emits `startDestroy`; the live objects this list made go with it.
    ~MeetingAttendeeList() override;

    /// The account given at construction; not owned.
    AccountBase *account() const;
    /// The own user: its camera row stands on top while the user speaks, and
    /// `setVideoSink(true, …)` spares its sink. 0 until set.
    qint64 userId() const;
    /// Sets `userId`; emits nothing and moves no row.
    void setUserId(qint64 userId);
    /// The meeting's conversation, whose group members are asked first for attendee contacts;
    /// empty until set.
    QString dialogId() const;
    /// Sets `dialogId`; emits nothing.
    void setDialogId(const QString &dialogId);

    /// Rows, share tiles included.
    int count() const;
    /// People in the list: camera rows only, without share tiles.
    int actualCount() const;
    /// The most people this list has held at once.
    int maxCountHistory() const;
    /// Camera rows whose attendee is a speaker (refreshed when the whole set is applied).
    int speakerCount() const;

    /// Number of rows; the parent is ignored.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    /// The value of `role` (see `DataRole`) for the row of `index`; an invalid `QVariant` for an
    /// index out of range or of another model. Objects stay owned as they are.
    QVariant data(const QModelIndex &index, int role) const override;
    /// 257 `user`, 258 `inviter`, 259 `status`, 260 `itemModel`.
    QHash<int, QByteArray> roleNames() const override;

    // Look-ups.
    /// True when `uid` has a camera row.
    bool existAttendee(qint64 uid) const;
    /// Copies the record of `uid`'s tile of kind `type` into `out`; false, leaving `out` as it
    /// was, when `uid` has no camera row or no tile of that kind.
    bool getAttendee(qint64 uid, MeetingDefines::AttendeeType type, MeetingAttendee &out) const;
    /// The row of `uid`'s tile of kind `type`; -1 when `uid` has no camera row or no such tile.
    int getAttendeeIndex(qint64 uid, MeetingDefines::AttendeeType type) const;
    /// True when `uid` has a camera row whose inviter is `inviterUid`.
    bool isAttendeeInviter(qint64 uid, qint64 inviterUid) const;
    /// Copies of the rows whose status is `ACTIVE` or `CONNECTING`, in row order: what the
    /// active list shows.
    QList<MeetingAttendee> activeAttendees() const;
    /// Copies of every other row, in row order: what the calling list shows.
    QList<MeetingAttendee> callingAttendees() const;
    /// As `activeAttendees()`, into `out`, which is emptied first and keeps its capacity.
    void activeAttendees(QList<MeetingAttendee> &out) const;
    /// As `callingAttendees()`, into `out`, which is emptied first and keeps its capacity.
    void callingAttendees(QList<MeetingAttendee> &out) const;
    /// The rows in display order. A row's `user` may point to an object another list has
    /// deleted since; read live objects through `data` or the slots, which answer null then.
    const QList<MeetingAttendee> &rows() const;

    // Mutations.
    /// Inserts one record at its place and publishes the counters.
    ///
    /// The own camera of a speaker goes to row 0, an active share whose owner's camera is on
    /// right below the owner's row, any other record before the first row from row 1 on that it
    /// does not sort after. Refused with a warning when the record has no live object or its
    /// user has a tile of that kind already. Between `beginBatch` and `endBatch` the record
    /// goes to the end instead.
    void appendAttendee(const MeetingAttendee &a);
    /// Inserts the records one by one, each at row 0 (`atFront`) or at the end, without placing
    /// them, then publishes the counters once.
    void appendAttendee(const QList<MeetingAttendee> &list, bool atFront);
    /// Reconciles the rows with the server's whole attendee set `list`; returns the user ids
    /// whose rows were removed and sets `added` when a row was added.
    ///
    /// An empty list takes the set in one reset (a user named twice keeps the first place and
    /// the later values). Otherwise the rows of users missing from `list` are announced with
    /// `kickedOut`, removed, and their live objects deleted when this list made them; known
    /// users take the new values, keeping their live object and inviter (`dataChanged` for the
    /// row); new users are completed (`updateAttendeeUser`) and placed as by `appendAttendee`.
    QSet<qint64> initAttendees(const QList<MeetingAttendee> &list, bool &added);
    /// Makes the rows equal to `list`, in order, with the fewest row operations.
    ///
    /// Rows that no record matches (`MeetingAttendee::operator==`) are removed, missing records
    /// inserted and the others moved up (`moved`); matching rows at both ends are not touched,
    /// and the same list twice emits no row signal. Nothing is deleted: the records' live
    /// objects belong to the list they came from. An empty list is filled in one reset.
    /// Refreshes `speakerCount`.
    void setDifferentAttendees(const QList<MeetingAttendee> &list);
    /// Completes `a` in place: looks up the inviter's contact when it has none (the
    /// conversation's group members first, then the account's users), and makes its live object
    /// when it has none, owned by this list, with its contact. The live object takes the
    /// record's status and role.
    void updateAttendeeUser(MeetingAttendee &a);
    /// Removes every row whose user is not in `uids`, each announced with `kickedOut` first.
    /// With `deleteUser` the live objects this list made are muted locally and deleted.
    void updateAttendee(const QList<qint64> &uids, bool deleteUser);
    /// Removes `uid`'s tiles: with an empty `shareId` the camera row and every share, else only
    /// the share whose id is `shareId`. Each tile's video sink is stopped first. With `kicked`
    /// each removal is announced with `kickedOut` and the live object is deleted when this list
    /// made it.
    void removeAttendee(qint64 uid, bool kicked, const QString &shareId);
    // Lets go of the rows showing a live object that another list is about to delete.
    /// Removes every row showing `user` without deleting it, for an object that another list is
    /// about to delete. Null does nothing.
    void removeRowsOf(const QObject *user);
    /// Empties the list in one reset, then emits `countChanged(0)` and `actualCountChanged(0)`.
    /// With `deleteUsers` the live objects this list made are deleted: clear the lists that
    /// share them first. `maxCountHistory` stays.
    void clearAttendee(bool deleteUsers);

    // Ordering. Between beginBatch and endBatch new rows go to the end and changed rows stay
    // where they are; endBatch then places them, row by row when few, by one sort otherwise.
    /// Starts a batch (a whole room applied at once): until `endBatch`, new rows go to the end
    /// and changed rows stay where they are.
    void beginBatch();
    /// Ends the batch and places the rows it touched: one move each for up to 32 rows, else one
    /// full sort (`sortAttendee`).
    void endBatch();
    /// Sorts every row in one model reset: display order (equal rows keep their order), rows
    /// whose live object is gone last, then the own camera on top while the user speaks, with
    /// the own shares right below it while the own camera is on. Nothing for fewer than two
    /// rows.
    void sortAttendee();
    /// Moves `uid`'s camera row at `index` after its speaking role became `status`, a
    /// `MeetingDefines::ParticipationStatus`: a speaker up (the own user to the top), a raised
    /// hand or an invited listener up but not above row 1, a listener down. At most one move;
    /// nothing when `uid` has no camera row or `index` is not a row.
    void sortAttendeeByStatus(qint64 uid, int status, int index);
    /// Moves the row at `index`, `uid`'s tile of kind `type` (a `MeetingDefines::AttendeeType`),
    /// after its video mute became `muteVideo` (a mute state; README, reference tables): turned
    /// off it moves down, turned on it moves up, a share right below its owner's row while the
    /// owner's camera is on. At most one move; nothing when `uid` has no camera row or `index`
    /// is not a row.
    void sortAttendeeByVideo(qint64 uid, int muteVideo, int type, int index);
    /// Applies one attendee's values; false when `uid` has no camera row.
    ///
    /// `muteVoice` and `muteVideo` are mute states (README, reference tables), `status` a
    /// `MeetingDefines::AttendeeStatus`, `role` a `MeetingDefines::ParticipationStatus`,
    /// `networkScore` 5 best to 1 worst, 0 transport down (-1 keeps the score). A changed status
    /// or role updates the record (`dataChanged` for the row); each change of state, camera or
    /// role moves the row, or leaves it to `endBatch` in a batch. For the own user the local
    /// mute flags follow too, and a camera change does not move the row.
    bool updateAttendee(qint64 uid, int muteVoice, int muteVideo, int status, int role,
                        int networkScore);
    /// Applies the attendance `status` (a `MeetingDefines::AttendeeStatus`) to `uid`'s camera
    /// row: its record (`dataChanged`) and its live object. The row moves for `ACTIVE`,
    /// `CONNECTING`, `REJECTED`, `TIMEOUT` and `BUSY`. Nothing when `uid` has no camera row.
    void updateAttendeesStatus(qint64 uid, int status);

    // Shares and queries.
    /// Adds `uid`'s share tile of kind `type` (`WHITEBOARD` or `SHARESCREEN`) with the id
    /// `shareId`.
    ///
    /// Its live object, owned by this list (a whiteboard one taking `allowDraw` for
    /// `WHITEBOARD`), follows the owner's state and network score, starts with the video mute
    /// state `muteVideo` and the owner's microphone state, and is placed as by
    /// `appendAttendee`. Nothing without a camera row of `uid`; refused with a warning for
    /// `VIDEO` or when the user has a share of that kind already.
    void createShareAttendee(qint64 uid, const QString &shareId, MeetingDefines::AttendeeType type,
                             bool allowDraw, int muteVideo);
    /// Sets whether others may draw on `uid`'s whiteboard (`allowDraw`, for `WHITEBOARD`); the
    /// last argument is ignored. False when `uid` has no share of kind `type`.
    bool updateShareAttendee(qint64 uid, MeetingDefines::AttendeeType type, bool allowDraw, int);
    /// Copies of the rows whose contact's name or second name contains `text`, ignoring case,
    /// in row order; every row for an empty text.
    QList<MeetingAttendee> search(const QString &text) const;
    /// Stops video sinks: with `all`, those of every row but the own user's; otherwise those of
    /// `uid`'s camera and shares.
    void setVideoSink(bool all, qint64 uid);

public slots:
    /// The live object of row `index`; null out of range.
    ///
    /// Live objects (`MeetingAttendeeUser`) are owned by the list that made them, never by QML;
    /// each emits `startDestroy` when it goes.
    QObject *getAttendeeInfoByIndex(int index) const;
    /// The live object of the user's row of the given kind; null when none.
    QObject *getAttendeeInfoByUid(qlonglong uid,
                                  MeetingDefines::AttendeeType type = MeetingDefines::VIDEO) const;
    /// The contact (a `ContactBase`) of whoever invited this user; null when unknown. Shared
    /// with the row record: do not delete it.
    QObject *attendeeSelfInviter() const;
    /// The live object of the share tile `shareId`; null when none.
    QObject *getShareByShareId(const QString &shareId) const;
    /// True when at least `maxSpeakerCount` people in the list are speakers (for 0 or less, as
    /// soon as there is one).
    bool speakersFull(int maxSpeakerCount) const;
    /// The speakers on top: rows counted from row 0 up to the first that is not a speaker.
    /// Leaves `speakerCount` alone.
    int getSpeakerCount() const;
    /// Raised hands below the speakers: rows from `speakerCount` on that raise a hand, up to the
    /// first listener; 0 when `speakerCount` is not a row.
    int getRaiseHandCount(int speakerCount) const;
    /// The first row to show large: for `VIDEO` the first row whose camera is on; for a share
    /// kind the first screen share, else the first whiteboard. -1 when none.
    int getFirstAttendeeIndex(MeetingDefines::AttendeeType type) const;

signals:
    /// The list is being deleted; emitted first in its destructor. Let go of the list and the
    /// live objects of its rows.
    void startDestroy();
    /// Emitted after rows were added or removed and after each whole-set update or clear;
    /// `count` is the current number, which may be unchanged.
    void countChanged(int count);
    /// The row of `uid` at `oldIndex`, a tile of kind `type` (a `MeetingDefines::AttendeeType`),
    /// is about to go because the attendee was removed; emitted while the row still stands.
    ///
    /// From `removeAttendee` with `kicked` it comes right after the row went instead, before its
    /// live object is deleted.
    void kickedOut(qlonglong uid, int oldIndex, int type);
    /// A row moved for display order.
    ///
    /// Emitted after the model's row move; `newIndex` is the destination as `beginMoveRows`
    /// counts it, so for a move down it is one past the row's new index.
    void moved(int oldIndex, int newIndex);
    /// Emitted after camera rows may have changed and on a clear; `actualCount` is the current
    /// number, which may be unchanged.
    void actualCountChanged(int actualCount);
    /// `maxCountHistory` grew to the value given.
    void maxCountHistoryChanged(int maxCountHistory);
    /// `speakerCount` changed to the value given.
    void speakerCountChanged(int speakerCount);

private:
    friend class MeetingAttendeeUser;
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
    void collectRows(QList<MeetingAttendee> &out, bool active) const;
    void dropTableEntries(const MeetingAttendee &row);
    int countSpeakers() const;
    void sortRows();

    std::unique_ptr<MeetingAttendeeListPrivate> d;
};
