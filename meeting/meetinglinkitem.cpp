#include "meetinglinkitem.h"
#include "accountbase.h"
#include "accountmanager.h"
#include "im.pb.h"
#include "meetingdefines.h"
#include "meetinglist.h"
#include "meetingmanager.h"
#include "meetingmodel.h"
#include "meetingservicecmd.h"
#include <QJSEngine>
#include <QPointer>

struct MeetingLinkItemPrivate
{
    int m_state = MeetingLinkItem::NOT_APPLIED;
    std::unique_ptr<im::MeetingLink> m_link;
    AccountBase *m_account = nullptr;
    QPointer<MeetingModel> m_meetingModel;
    qint64 m_ownerId = 0;
    QString m_name;
};

MeetingLinkItem::MeetingLinkItem(AccountBase *account, QObject *parent)
    : QObject(parent), d(std::make_unique<MeetingLinkItemPrivate>())
{
    d->m_link = std::make_unique<im::MeetingLink>();
    d->m_account = account;
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
}

// The message goes first; anyone reading the item from startDestroy sees an empty link.
MeetingLinkItem::~MeetingLinkItem()
{
    d->m_link.reset();
    emit startDestroy();
}

int MeetingLinkItem::state() const
{
    return d->m_state;
}

QString MeetingLinkItem::name() const
{
    return d->m_name;
}

qint64 MeetingLinkItem::ownerId() const
{
    return d->m_ownerId;
}

AccountBase *MeetingLinkItem::account() const
{
    return d->m_account;
}

void MeetingLinkItem::setAccount(AccountBase *account)
{
    d->m_account = account;
}

const im::MeetingLink &MeetingLinkItem::meetingLink() const
{
    return d->m_link ? *d->m_link : im::MeetingLink::default_instance();
}

QString MeetingLinkItem::id() const
{
    return QString::fromStdString(meetingLink().id());
}

QString MeetingLinkItem::password() const
{
    return QString::fromStdString(meetingLink().password());
}

QString MeetingLinkItem::token() const
{
    return QString::fromStdString(meetingLink().token());
}

QString MeetingLinkItem::dialogId() const
{
    return QString::fromStdString(meetingLink().dialog_id());
}

MeetingModel *MeetingLinkItem::meetingModel() const
{
    return d->m_meetingModel.data();
}

void MeetingLinkItem::updateLink(const im::MeetingLink &link)
{
    if (!d->m_link)
        return;
    // Copied first: `link` may be our own message, and binding below may run for a while.
    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization)
    const im::Meeting meeting = link.meeting();
    const bool hasMeeting = link.has_meeting();
    const im::MeetingLink old = *d->m_link;
    *d->m_link = link;
    d->m_ownerId = d->m_link->owner_id();
    // Every field is in place before the first signal, so a binding reads a whole link.
    setName(QString::fromStdString(d->m_link->name()));
    if (old.id() != d->m_link->id())
        emit idChanged();
    if (old.password() != d->m_link->password())
        emit passwordChanged();
    if (old.token() != d->m_link->token())
        emit tokenChanged();
    if (old.dialog_id() != d->m_link->dialog_id())
        emit dialogIdChanged(dialogId());
    if (old.owner_id() != d->m_ownerId)
        emit ownerIdChanged();

    MeetingManager *manager = d->m_account ? d->m_account->meetingManager() : nullptr;
    if (!hasMeeting || !manager) {
        setMeetingModel(nullptr);
        return;
    }
    if (meeting.id().empty() || meeting.dialog_id().empty()) {
        qCWarning(lcMeeting) << "meeting link names a meeting without an id";
        setMeetingModel(nullptr);
        return;
    }
    MeetingList *list = manager->meetingList(QString::fromStdString(meeting.dialog_id()), true);
    list->updateMeeting(meeting, QString(), true);
    setMeetingModel(list->getMeetingModel(QString::fromStdString(meeting.id())));
}

void MeetingLinkItem::setMeetingModel(MeetingModel *model)
{
    if (d->m_meetingModel == model)
        return;
    if (d->m_meetingModel)
        disconnect(d->m_meetingModel, &MeetingModel::startDestroy, this, nullptr);
    d->m_meetingModel = model;
    if (model)
        connect(model, &MeetingModel::startDestroy, this, [this] { setMeetingModel(nullptr); });
    emit meetingModelChanged();
}

void MeetingLinkItem::setName(const QString &name)
{
    if (d->m_name == name)
        return;
    d->m_name = name;
    emit nameChanged();
}

void MeetingLinkItem::setState(int state)
{
    if (d->m_state == state)
        return;
    d->m_state = state;
    emit stateChanged();
}

void MeetingLinkItem::joinMeeting(AccountBase *account, bool cancel)
{
    if (!account)
        account = d->m_account;
    MeetingManager *manager = account ? account->meetingManager() : nullptr;
    if (!manager) {
        qCWarning(lcMeeting) << "join by link without a meeting manager";
        return;
    }
    AccountManager *accounts = AccountManager::getInstance();
    if (cancel) {
        if (d->m_state != APPLYING && d->m_state != APPLIED)
            return;
        manager->meetingServiceCmd()->joinMeetingByLink(id(), password(), token(), true);
        setState(NOT_APPLIED);
        accounts->setJoiningMeetingId(QString());
        return;
    }
    if (accounts->joiningMeeting()) {
        accounts->error(0, qtTrId("Meeting_ join"), 0);
        return;
    }
    manager->meetingServiceCmd()->joinMeetingByLink(id(), password(), token(), false);
    setState(APPLYING);
    accounts->setJoiningMeetingId(d->m_meetingModel ? d->m_meetingModel->meetingId() : QString());
}
