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

MeetingLinkItem::MeetingLinkItem(AccountBase *account, QObject *parent)
    : QObject(parent), m_link(new im::MeetingLink), m_account(account)
{
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
}

// The message goes first; anyone reading the item from startDestroy sees an empty link.
MeetingLinkItem::~MeetingLinkItem()
{
    m_link.reset();
    emit startDestroy();
}

const im::MeetingLink &MeetingLinkItem::meetingLink() const
{
    return m_link ? *m_link : im::MeetingLink::default_instance();
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
    return m_meetingModel.data();
}

void MeetingLinkItem::updateLink(const im::MeetingLink &link)
{
    if (!m_link)
        return;
    // Copied first: `link` may be our own message, and binding below may run for a while.
    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization)
    const im::Meeting meeting = link.meeting();
    const bool hasMeeting = link.has_meeting();
    const im::MeetingLink old = *m_link;
    *m_link = link;
    m_ownerId = m_link->owner_id();
    // Every field is in place before the first signal, so a binding reads a whole link.
    setName(QString::fromStdString(m_link->name()));
    if (old.id() != m_link->id())
        emit idChanged();
    if (old.password() != m_link->password())
        emit passwordChanged();
    if (old.token() != m_link->token())
        emit tokenChanged();
    if (old.dialog_id() != m_link->dialog_id())
        emit dialogIdChanged(dialogId());
    if (old.owner_id() != m_ownerId)
        emit ownerIdChanged();

    MeetingManager *manager = m_account ? m_account->meetingManager() : nullptr;
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
    if (m_meetingModel == model)
        return;
    if (m_meetingModel)
        disconnect(m_meetingModel, &MeetingModel::startDestroy, this, nullptr);
    m_meetingModel = model;
    if (model)
        connect(model, &MeetingModel::startDestroy, this, [this] { setMeetingModel(nullptr); });
    emit meetingModelChanged();
}

void MeetingLinkItem::setName(const QString &name)
{
    if (m_name == name)
        return;
    m_name = name;
    emit nameChanged();
}

void MeetingLinkItem::setState(int state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged();
}

void MeetingLinkItem::joinMeeting(AccountBase *account, bool cancel)
{
    if (!account)
        account = m_account;
    MeetingManager *manager = account ? account->meetingManager() : nullptr;
    if (!manager) {
        qCWarning(lcMeeting) << "join by link without a meeting manager";
        return;
    }
    AccountManager *accounts = AccountManager::getInstance();
    if (cancel) {
        if (m_state != APPLYING && m_state != APPLIED)
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
    accounts->setJoiningMeetingId(m_meetingModel ? m_meetingModel->meetingId() : QString());
}
