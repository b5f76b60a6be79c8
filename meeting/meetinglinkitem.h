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
///
/// The link list makes the items and holds them through shared pointers (`MeetingLinkList`);
/// QML never owns one. The string properties are read from the last link message taken
/// (`updateLink`); while a meeting runs on the link, `meetingModel` is its model. To join a
/// meeting through someone else's link, QML calls `joinMeeting(account, false)`: the user waits
/// for the host to admit them, and `state` follows the server's answers. Main thread only.
class MEETING_EXPORT MeetingLinkItem : public QObject
{
    Q_OBJECT
    Q_MOC_INCLUDE("accountbase.h")
    Q_MOC_INCLUDE("meetingmodel.h")
    Q_MOC_INCLUDE("im.pb.h")
    /// This user's application to join through the link, a `JoinState`; `NOT_APPLIED` at
    /// first. The module moves it between `NOT_APPLIED`, `APPLYING` and `APPLIED`; `APPROVED`
    /// is only ever written from outside.
    Q_PROPERTY(int state READ state WRITE setState NOTIFY stateChanged)
    /// The link's id; empty before a link is taken.
    Q_PROPERTY(QString id READ id NOTIFY idChanged)
    /// Display name: the link's name, replaced by the meeting's name when a meeting of the
    /// link's conversation is listed. Writable.
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    /// The link's password, for sharing the link; empty when the server sent none. A secret:
    /// never logged.
    Q_PROPERTY(QString password READ password NOTIFY passwordChanged)
    /// The link's token; with the id (and, for others than the owner, the password) it opens
    /// the link. A secret: never logged.
    Q_PROPERTY(QString token READ token NOTIFY tokenChanged)
    /// The conversation the link belongs to.
    Q_PROPERTY(QString dialogId READ dialogId NOTIFY dialogIdChanged)
    /// User id of the link's owner; 0 before a link is taken.
    Q_PROPERTY(qint64 ownerId READ ownerId NOTIFY ownerIdChanged)
    /// The account the item belongs to; not owned.
    Q_PROPERTY(AccountBase *account READ account CONSTANT)
    /// The meeting running on the link, or null. Owned by its meeting list; the item lets go of
    /// it when the model is deleted.
    Q_PROPERTY(MeetingModel *meetingModel READ meetingModel NOTIFY meetingModelChanged)
    /// The item's `QObject` parent; null for the items the link list makes, which shared
    /// pointers hold instead.
    Q_PROPERTY(QObject *meetingLinkList READ meetingLinkList CONSTANT)
public:
    /// This user's application to join a meeting through a link: `NOT_APPLIED` none (never
    /// sent, withdrawn or failed), `APPLYING` sent and not answered yet, `APPLIED` taken by the
    /// server and waiting for the host, `APPROVED` admitted.
    enum JoinState { NOT_APPLIED = 0, APPLYING = 1, APPLIED = 2, APPROVED = 3 };
    Q_ENUM(JoinState)

    /// An item of `account` without a link, in state `NOT_APPLIED`; `parent` becomes its
    /// `QObject` parent.
    MeetingLinkItem(AccountBase *account, QObject *parent = nullptr);
    /// Drops the link message, then emits `startDestroy`, so receivers read an empty link.
    ~MeetingLinkItem() override;

    /// \copydoc MeetingLinkItem::state
    int state() const;
    /// \copydoc MeetingLinkItem::id
    QString id() const;
    /// \copydoc MeetingLinkItem::name
    QString name() const;
    /// \copydoc MeetingLinkItem::password
    QString password() const;
    /// \copydoc MeetingLinkItem::token
    QString token() const;
    /// \copydoc MeetingLinkItem::dialogId
    QString dialogId() const;
    /// \copydoc MeetingLinkItem::ownerId
    qint64 ownerId() const;
    /// \copydoc MeetingLinkItem::account
    AccountBase *account() const;
    /// \copydoc MeetingLinkItem::meetingModel
    MeetingModel *meetingModel() const;
    /// \copydoc MeetingLinkItem::meetingLinkList
    QObject *meetingLinkList() const { return parent(); }

    /// Takes over `link`: id, name, password, token, conversation and owner.
    ///
    /// The whole link is stored before any signal; `idChanged`, `nameChanged`,
    /// `passwordChanged`, `tokenChanged`, `dialogIdChanged` and `ownerIdChanged` are each
    /// emitted only when their value changed. A meeting running on the link is merged into its
    /// conversation's meeting list (made if need be) and its model bound; without one, or when
    /// it has no id (warning), `meetingModel` becomes null.
    void updateLink(const im::MeetingLink &link);
    /// The last link message taken; an empty message before the first one and while the item
    /// is destroyed.
    const im::MeetingLink &meetingLink() const;
    /// Binds `model` (null unbinds), not owning it, and emits `meetingModelChanged` when it
    /// changes. The item unbinds by itself when the model emits `startDestroy`.
    void setMeetingModel(MeetingModel *model);
    /// Stores `name`, emitting `nameChanged` when it differs.
    void setName(const QString &name);
    /// Stores `state` (a `JoinState`, not checked), emitting `stateChanged` when it differs.
    void setState(int state);
    /// Replaces the account without a signal: `account` is a constant property, so call it
    /// before QML reads the item.
    void setAccount(AccountBase *account);

    /// Applies to join through this link (`cancel` false) or withdraws the application
    /// (`cancel` true), as `account` (null: the item's own).
    ///
    /// Applying while the hub is joining a meeting already (`AccountManager::joiningMeeting`)
    /// sends nothing and reports a translated text with code 0 through `AccountManager::error`;
    /// otherwise `state` becomes `APPLYING` and the hub's joining meeting id the bound
    /// meeting's (empty without one). Withdrawing acts only in `APPLYING` or `APPLIED` and
    /// returns to `NOT_APPLIED` at once. The server's answer sets the final state: `APPLIED`
    /// after a successful application, `NOT_APPLIED` after a failed one, `APPLIED` again after a
    /// failed withdrawal; failures are reported through `AccountManager::error`. Without a
    /// meeting manager nothing is sent (warning).
    Q_INVOKABLE void joinMeeting(AccountBase *account, bool cancel);

signals:
    /// The item is being deleted; its link is empty already. Let go of the item.
    void startDestroy();
    /// `state` changed, by the module or by a write.
    void stateChanged();
    /// `updateLink` took a link with another id.
    void idChanged();
    /// `name` changed: a new link name, the listed meeting's name, or a write.
    void nameChanged();
    /// `meetingModel` changed: bound, unbound, or its model was deleted.
    void meetingModelChanged();
    /// `updateLink` took a link with another password.
    void passwordChanged();
    /// `updateLink` took a link with another token.
    void tokenChanged();
    /// `updateLink` took a link of another conversation, `dialogId`.
    void dialogIdChanged(QString dialogId);
    /// `updateLink` took a link of another owner.
    void ownerIdChanged();

private:
    std::unique_ptr<MeetingLinkItemPrivate> d;
};
