#include "meetinglinklist.h"
#include "accountbase.h"
#include "accountmanager.h"
#include "meeting.pb.h"
#include "meetingdefines.h"
#include "meetinglinkitem.h"
#include "meetingmanager.h"
#include "meetingmodel.h"
#include "meetingservicecmd.h"
#include <QJSEngine>
#include <QSet>

namespace {

enum { LinkRole = Qt::UserRole + 1 };

QString dialogOf(const im::MeetingLink &link)
{
    return QString::fromStdString(link.dialog_id());
}

// A link without an id can be neither opened nor deleted.
bool usable(const im::MeetingLink &link)
{
    if (!link.id().empty())
        return true;
    qCWarning(lcMeeting) << "meeting link without an id ignored";
    return false;
}

} // namespace

struct MeetingLinkListPrivate
{
    QHash<int, QByteArray> m_roleNames;
    QList<QSharedPointer<MeetingLinkItem>> m_items;
    QHash<QString, QSharedPointer<MeetingLinkItem>> m_byDialog;
    QSharedPointer<MeetingLinkItem> m_joinLink;
    MeetingManager *m_manager = nullptr;
    bool m_requesting = false;
};

MeetingLinkList::MeetingLinkList(MeetingManager *manager)
    : QAbstractListModel(manager), d(std::make_unique<MeetingLinkListPrivate>())
{
    d->m_manager = manager;
    d->m_roleNames.insert(LinkRole, QByteArrayLiteral("meetingLink"));
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
}

MeetingLinkList::~MeetingLinkList()
{
    emit startDestroy();
}

MeetingLinkItem *MeetingLinkList::joinMeetingLink() const
{
    return d->m_joinLink.data();
}

QVariant MeetingLinkList::data(const QModelIndex &index, int role) const
{
    if (index.row() < 0 || index.column() < 0 || index.row() >= d->m_items.size() ||
        role != LinkRole)
        return {};
    return QVariant::fromValue(d->m_items.at(index.row()).data());
}

int MeetingLinkList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(d->m_items.size());
}

QHash<int, QByteArray> MeetingLinkList::roleNames() const
{
    return d->m_roleNames;
}

void MeetingLinkList::getJoinMeetingLinkInfo(QString id, QString password, QString token,
                                             QString dialogId)
{
    if (d->m_requesting)
        return;
    if (d->m_joinLink && d->m_joinLink->id() == id) {
        AccountManager::getInstance()->getJoinMeetingLinkFinished(d->m_joinLink.data(), 0);
        return;
    }
    d->m_requesting = true;
    clearJoinMeetingLink();
    d->m_manager->meetingServiceCmd()->getMeetingLink(id, password, token, dialogId);
}

void MeetingLinkList::listMeetingLinks()
{
    d->m_manager->meetingServiceCmd()->listMeetingLinks();
}

void MeetingLinkList::createOrUpdateMeetingLink(QString id, QString name)
{
    d->m_manager->meetingServiceCmd()->createOrUpdateMeetingLink(id, name);
}

void MeetingLinkList::removeMeetingLink(QString id)
{
    d->m_manager->meetingServiceCmd()->deleteMeetingLink(id, true);
}

void MeetingLinkList::startMeeting(MeetingLinkItem *meetingLink)
{
    AccountManager::getInstance()->getJoinMeetingLinkFinished(meetingLink, 0);
}

void MeetingLinkList::clearJoinMeetingLink()
{
    setJoinMeetingLink({});
}

MeetingLinkItem *MeetingLinkList::getMeetingLinkItem(QString dialogId) const
{
    return d->m_byDialog.value(dialogId).data();
}

QSharedPointer<MeetingLinkItem>
MeetingLinkList::getMeetingLinkItemPtr(const QString &dialogId) const
{
    return d->m_byDialog.value(dialogId);
}

void MeetingLinkList::getMeetingLinkItemByToken(
    const QString &id, const QString &token,
    std::function<void(int, const QSharedPointer<MeetingLinkItem> &)> done) const
{
    if (id.isEmpty() || token.isEmpty())
        return;
    d->m_manager->meetingServiceCmd()->getMeetingLink(id, QString(), token, std::move(done));
}

void MeetingLinkList::setJoinMeetingLink(const QSharedPointer<MeetingLinkItem> &item)
{
    if (d->m_joinLink == item)
        return;
    d->m_joinLink = item;
    emit joinMeetingLinkChanged(d->m_joinLink.data());
}

void MeetingLinkList::setMeetingLinks(const im::meeting::ListMeetingLinksResp &resp)
{
    if (d->m_items.isEmpty()) {
        QList<QSharedPointer<MeetingLinkItem>> items;
        QHash<QString, QSharedPointer<MeetingLinkItem>> byDialog;
        for (const im::MeetingLink &link : resp.meeting_links()) {
            if (!usable(link))
                continue;
            // One link per conversation, even when the answer names one twice.
            if (const QSharedPointer<MeetingLinkItem> seen = byDialog.value(dialogOf(link))) {
                seen->updateLink(link);
                continue;
            }
            if (items.size() >= kMaxLinks) {
                qCWarning(lcMeeting) << "link list answer cut at" << kMaxLinks << "links";
                break;
            }
            const QSharedPointer<MeetingLinkItem> item = createMeetingLinkItemPtr(link);
            items.append(item);
            byDialog.insert(item->dialogId(), item);
        }
        if (items.isEmpty())
            return;
        beginInsertRows({}, 0, int(items.size()) - 1);
        d->m_items = items;
        d->m_byDialog = byDialog;
        endInsertRows();
        return;
    }

    QSet<QString> dialogs;
    for (const im::MeetingLink &link : resp.meeting_links()) {
        if (!link.id().empty())
            dialogs.insert(dialogOf(link));
    }
    for (int row = int(d->m_items.size()) - 1; row >= 0; --row) {
        if (!dialogs.contains(d->m_items.at(row)->dialogId()))
            removeItem(row);
    }
    for (const im::MeetingLink &link : resp.meeting_links())
        setMeetingLink(link);
}

void MeetingLinkList::setMeetingLink(const im::MeetingLink &link)
{
    if (!usable(link))
        return;
    if (const QSharedPointer<MeetingLinkItem> item = d->m_byDialog.value(dialogOf(link)))
        item->updateLink(link);
    else if (d->m_items.size() >= kMaxLinks)
        qCWarning(lcMeeting) << "link refused: the list holds" << kMaxLinks << "links already";
    else
        insertItem(0, createMeetingLinkItemPtr(link));
}

void MeetingLinkList::deleteMeetingLink(const QString &id)
{
    for (int row = 0; row < d->m_items.size(); ++row) {
        if (d->m_items.at(row)->id() == id) {
            removeItem(row);
            return;
        }
    }
}

QSharedPointer<MeetingLinkItem>
MeetingLinkList::createMeetingLinkItemPtr(const im::MeetingLink &link)
{
    if (link.id().empty())
        return {};
    QSharedPointer<MeetingLinkItem> item(new MeetingLinkItem(d->m_manager->account(), nullptr));
    item->updateLink(link);
    return item;
}

void MeetingLinkList::setJoiningMeetingLink(const QSharedPointer<MeetingLinkItem> &item, int code)
{
    AccountManager *accounts = AccountManager::getInstance();
    if (d->m_joinLink && item && d->m_joinLink->id() == item->id()) {
        if (code == -1)
            return;
        d->m_requesting = false;
        accounts->getJoinMeetingLinkFinished(d->m_joinLink.data(), 0);
        return;
    }
    setJoinMeetingLink(item);
    if (code != -1) {
        d->m_requesting = false;
        accounts->getJoinMeetingLinkFinished(d->m_joinLink.data(), code);
    } else if (d->m_joinLink) {
        // The server remembers an application of ours that is still open.
        d->m_joinLink->setState(MeetingLinkItem::APPLYING);
        accounts->setJoiningMeeting(true);
        MeetingModel *model = d->m_joinLink->meetingModel();
        accounts->setJoiningMeetingId(model ? model->meetingId() : QString());
    } else {
        d->m_requesting = false;
        accounts->getJoinMeetingLinkFinished(nullptr, -1);
    }
    // Our own link needs no application.
    if (d->m_joinLink && d->m_joinLink->account() &&
        d->m_joinLink->ownerId() == d->m_joinLink->account()->accountId())
        clearJoinMeetingLink();
}

void MeetingLinkList::setJoiningMeetingLinkState(const QString &id, int state)
{
    if (d->m_joinLink && d->m_joinLink->id() == id)
        d->m_joinLink->setState(state);
}

void MeetingLinkList::insertItem(int row, const QSharedPointer<MeetingLinkItem> &item)
{
    if (!item || row < 0 || row > d->m_items.size())
        return;
    beginInsertRows({}, row, row);
    d->m_byDialog.insert(item->dialogId(), item);
    d->m_items.insert(row, item);
    endInsertRows();
}

void MeetingLinkList::removeItem(int row)
{
    if (row < 0 || row >= d->m_items.size())
        return;
    // Held until the removal is over, so the item dies outside the transaction.
    QSharedPointer<MeetingLinkItem> item;
    beginRemoveRows({}, row, row);
    item = d->m_items.takeAt(row);
    const auto entry = d->m_byDialog.constFind(item->dialogId());
    if (entry != d->m_byDialog.constEnd() && *entry == item)
        d->m_byDialog.erase(entry);
    endRemoveRows();
}
