#pragma once
#include "meeting_global.h"
#include <QAbstractListModel>
#include <QHash>
#include <QSharedPointer>
#include <functional>
#include <memory>

class MeetingLinkItem;
class MeetingManager;
namespace im {
class MeetingLink;
namespace meeting {
class ListMeetingLinksResp;
}
} // namespace im
struct MeetingLinkListPrivate;

/// The account's own meeting links, one per conversation, plus the link being joined.
///
/// The manager owns one (`MeetingManager::meetingLinkList`). QML lists the user's links (role
/// `meetingLink`, a `MeetingLinkItem`), creates, renames and deletes them with the invokable
/// methods, and opens a link received from someone else with `getJoinMeetingLinkInfo`. Outcomes
/// reach the host through `AccountManager::getJoinMeetingLinkFinished` and
/// `AccountManager::error`.
///
/// Items are held through shared pointers: an item lives while a row, the join link or a
/// caller's `QSharedPointer` holds it, and emits `MeetingLinkItem::startDestroy` when it goes;
/// a plain pointer handed out (to QML too) is valid until then. Main thread only; never owned by
/// QML.
class MEETING_EXPORT MeetingLinkList : public QAbstractListModel
{
    Q_OBJECT
    Q_MOC_INCLUDE("meetinglinkitem.h")
    Q_MOC_INCLUDE("meeting.pb.h")
    /// The link being joined, opened with `getJoinMeetingLinkInfo`; null when none.
    ///
    /// Set by the answer to an open, and by the list answer when the server still holds an
    /// application of this user; cleared by the next open, by `clearJoinMeetingLink` and when
    /// the link is the user's own. Held by the list.
    Q_PROPERTY(MeetingLinkItem *joinMeetingLink READ joinMeetingLink NOTIFY joinMeetingLinkChanged)
public:
    // Links that answers may list; one per conversation, so far more than anyone owns.
    /// The most links the list holds; links beyond it in an answer are dropped with a warning
    /// in "im.meeting".
    static constexpr int kMaxLinks = 1000;

    /// An empty list owned by `manager`, its parent.
    explicit MeetingLinkList(MeetingManager *manager);
    /// Emits `startDestroy`; each item goes with its last shared reference.
    ~MeetingLinkList() override;

    /// For a valid row and role 257 (`meetingLink`), the row's `MeetingLinkItem *`, held by the
    /// list; an invalid `QVariant` for any other index or role.
    QVariant data(const QModelIndex &index, int role) const override;
    /// Number of links; 0 below a valid parent.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    /// One role: 257 `meetingLink`.
    QHash<int, QByteArray> roleNames() const override;

    /// Opens a link received from someone else: asks the server for link `id` with its
    /// `password` and `token`.
    ///
    /// Does nothing while an earlier open is under way; opening the current join link again
    /// reports it at once with code 0. Otherwise the join link is cleared and the answer ends
    /// in `AccountManager::getJoinMeetingLinkFinished(item, code)`: 0 with the item (now the
    /// join link), 2113 for a wrong password (ask again), 404 or 28501 when no meeting runs on
    /// the link, with a null item on failure. Failures other than a wrong password also emit
    /// `MeetingManager::cmdError` with `dialogId`.
    Q_INVOKABLE void getJoinMeetingLinkInfo(QString id, QString password, QString token,
                                            QString dialogId = QString());
    /// Asks the server for the user's links. The answer goes to `setMeetingLinks`; a failure
    /// is reported through `AccountManager::error`.
    Q_INVOKABLE void listMeetingLinks();
    /// Creates a link named `name` (empty `id`) or renames link `id`. The answer's link goes to
    /// `setMeetingLink`; a failure is reported through `AccountManager::error` (28101: the
    /// user has too many links).
    Q_INVOKABLE void createOrUpdateMeetingLink(QString id, QString name);
    /// Deletes link `id` on the server. The answer removes its row; a failure is reported
    /// through `AccountManager::error`.
    Q_INVOKABLE void removeMeetingLink(QString id);
    /// Hands `meetingLink` to the host as opened, with code 0
    /// (`AccountManager::getJoinMeetingLinkFinished`), for the host to start or join its
    /// meeting. Sends nothing.
    Q_INVOKABLE void startMeeting(MeetingLinkItem *meetingLink);
    /// Clears the join link, emitting `joinMeetingLinkChanged(nullptr)` when one was set.
    Q_INVOKABLE void clearJoinMeetingLink();
    /// The link of the conversation `dialogId`, held by the list; null when none.
    Q_INVOKABLE MeetingLinkItem *getMeetingLinkItem(QString dialogId) const;

    /// \copydoc MeetingLinkList::joinMeetingLink
    MeetingLinkItem *joinMeetingLink() const;
    /// The link of the conversation `dialogId` as a shared pointer that keeps it alive; null
    /// when none.
    QSharedPointer<MeetingLinkItem> getMeetingLinkItemPtr(const QString &dialogId) const;
    /// Looks link `id` up by `token` alone, as its owner may, and calls `done(code, item)` with
    /// the answer: 0 and a new item outside the list, or the failure code (28501 when no
    /// meeting runs on another user's link) and null. With an empty `id` or `token` nothing is
    /// sent and `done` is never called.
    void getMeetingLinkItemByToken(
        const QString &id, const QString &token,
        std::function<void(int, const QSharedPointer<MeetingLinkItem> &)> done) const;
    /// Makes `item` the join link (null clears it), emitting `joinMeetingLinkChanged` when it
    /// changes.
    void setJoinMeetingLink(const QSharedPointer<MeetingLinkItem> &item);

    // Answers of the server commands.
    /// Applies the answer listing the user's links. An empty list takes the answer's links in
    /// order in one insertion; otherwise rows of conversations the answer lacks are removed and
    /// each link updates its conversation's row or is inserted at row 0. Links without an id
    /// are skipped with a warning, a conversation named twice keeps one row, and at most
    /// `kMaxLinks` rows are kept.
    void setMeetingLinks(const im::meeting::ListMeetingLinksResp &resp);
    /// Applies one link from a create or rename answer: the item of its conversation takes it,
    /// else a new item is inserted at row 0. A link without an id is ignored with a warning; a
    /// new one beyond `kMaxLinks` is refused.
    void setMeetingLink(const im::MeetingLink &link);
    /// Removes the row of link `id` (compared case-sensitively); nothing when none.
    void deleteMeetingLink(const QString &id);
    /// A new item for `link`, outside the list and without parent, deleted with its last
    /// shared reference; null for a link without an id. When a meeting runs on the link, the
    /// item is bound to its model, made in the conversation's meeting list if need be.
    QSharedPointer<MeetingLinkItem> createMeetingLinkItemPtr(const im::MeetingLink &link);
    /// Applies the outcome of opening a link: `code` -1 for the application still open that
    /// the list answer names, else the code of an open's answer with its item (null on
    /// failure).
    ///
    /// A new item becomes the join link. With -1 it turns `APPLYING` and the hub records a join
    /// in progress; any other code ends the open and reports
    /// `AccountManager::getJoinMeetingLinkFinished(joinMeetingLink, code)`. The user's own link
    /// does not stay the join link.
    void setJoiningMeetingLink(const QSharedPointer<MeetingLinkItem> &item, int code);
    /// Sets the join link's `state` (a `MeetingLinkItem::JoinState`) when its id is `id`;
    /// nothing otherwise. The answer to an application or withdrawal calls it.
    void setJoiningMeetingLinkState(const QString &id, int state);

signals:
    /// The list is being deleted; emitted first in its destructor. Let go of the list.
    void startDestroy();
    /// The join link changed; the argument is the new one, null when cleared.
    void joinMeetingLinkChanged(MeetingLinkItem *joinMeetingLink);
    /// Declared for the user interface's own use; the module never emits it.
    void meetingLink(QVariant meetingLink);

private:
    void insertItem(int row, const QSharedPointer<MeetingLinkItem> &item);
    void removeItem(int row);

    std::unique_ptr<MeetingLinkListPrivate> d;
};
