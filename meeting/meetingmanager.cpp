#include "meetingmanager.h"
#include "accountbase.h"
#include "accountmanager.h"
#include "im.pb.h"
#include "meetingattendeelist.h"
#include "meetinglinkitem.h"
#include "meetinglinklist.h"
#include "meetinglist.h"
#include "meetingmodel.h"
#include "meetingservicecmd.h"
#include "videosink.h"
#include "whiteboard.h"
#include <QAssociativeIterable>
#include <QJSEngine>
#include <QMetaType>
#include <QPointer>
#include <QtQml>
#include <utility>

struct MeetingManagerPrivate
{
    QHash<QString, MeetingList *> m_lists;
    MeetingServiceCmd *m_serviceCmd = nullptr;
    AccountBase *m_account = nullptr;
    MeetingLinkList *m_linkList = nullptr;
    int m_meetingCapacity = 0;
    // Lists that createMeeting replaced: still alive for whoever shows them, gone with clearData.
    QList<QPointer<MeetingList>> m_retiredLists;
};

MeetingManager::MeetingManager(AccountBase *account)
    : QObject(account), d(std::make_unique<MeetingManagerPrivate>())
{
    d->m_serviceCmd = new MeetingServiceCmd(this);
    d->m_account = account;
    d->m_linkList = new MeetingLinkList(this);
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
}

// The lists still registered belong to the account (their parent); clearData deletes them.
MeetingManager::~MeetingManager()
{
    delete d->m_serviceCmd;
    d->m_serviceCmd = nullptr;
    d->m_lists.clear();
}

AccountBase *MeetingManager::account() const
{
    return d->m_account;
}

MeetingServiceCmd *MeetingManager::meetingServiceCmd() const
{
    return d->m_serviceCmd;
}

MeetingLinkList *MeetingManager::meetingLinkList() const
{
    return d->m_linkList;
}

int MeetingManager::meetingCapacity() const
{
    return d->m_meetingCapacity;
}

void MeetingManager::setMeetingCapacity(int capacity)
{
    if (d->m_meetingCapacity == capacity)
        return;
    d->m_meetingCapacity = capacity;
    emit meetingCapacityChanged(capacity);
}

MeetingList *MeetingManager::meetingList(const QString &dialogId, bool create)
{
    if (MeetingList *list = d->m_lists.value(dialogId))
        return list;
    return create ? createMeetings(dialogId) : nullptr;
}

void MeetingManager::meetingBeFinished(QString meetingId)
{
    AccountManager *accounts = AccountManager::getInstance();
    MeetingModelBase *current = accounts->meetingModel();
    if (!meetingId.isEmpty() && current && current->account() == d->m_account &&
        current->meetingId() == meetingId)
        accounts->setMeetingModel(nullptr);
    accounts->meetingBeFinished(d->m_account ? d->m_account->accountId() : 0, meetingId);
}

void MeetingManager::clearData(bool)
{
    // Take everything out first: handlers of meetingListChanged may call back into the registry.
    const QList<QPointer<MeetingList>> retired = std::exchange(d->m_retiredLists, {});
    for (const QPointer<MeetingList> &list : retired)
        delete list.data();
    const QHash<QString, MeetingList *> lists = std::exchange(d->m_lists, {});
    for (MeetingList *list : lists)
        deleteMeetingList(list);
}

void MeetingManager::updateMeeting(QString dialogId, MeetingInfo meeting, int updateFrom)
{
    if (updateFrom < MeetingList::CREATE_MEETING || updateFrom > MeetingList::NEW_MEETING) {
        qCWarning(lcMeeting) << "meeting record with unknown origin" << updateFrom;
        return;
    }
    if (MeetingList *list = listForPush(dialogId))
        list->updateMeeting(meeting, MeetingList::UpdateFrom(updateFrom), false);
}

void MeetingManager::updateMeeting(QString dialogId, im::Meeting meeting, QString mediaServerUrl,
                                   bool join)
{
    if (MeetingList *list = meetingList(dialogId, false))
        list->updateMeeting(meeting, mediaServerUrl, join);
}

void MeetingManager::setMeetings(QString dialogId, MeetingInfoHash meetingInfos)
{
    if (!meetingInfos.isEmpty()) {
        if (MeetingList *list = listForPush(dialogId))
            list->setMeetings(meetingInfos);
        return;
    }
    deleteMeetingList(d->m_lists.take(dialogId));
}

void MeetingManager::deletePendingAttendees(QString meetingId, QVariantList userIds)
{
    d->m_serviceCmd->deletePendingAttendees(meetingId, userIds);
}

void MeetingManager::rateMeeting(QString meetingId, int score, int connectingIssues,
                                 int audioIssues, int videoIssues, QString comment)
{
    d->m_serviceCmd->rateMeeting(meetingId, score, connectingIssues, audioIssues, videoIssues,
                                 comment);
}

void MeetingManager::cancelCall(QString clientId, QString dialogId)
{
    d->m_serviceCmd->cancelCall(clientId, dialogId);
}

void MeetingManager::createMeeting(QString dialogId, qint64 targetId)
{
    createMeetings(dialogId)->createMeeting(targetId);
}

MeetingList *MeetingManager::listForPush(const QString &dialogId)
{
    if (MeetingList *list = d->m_lists.value(dialogId))
        return list;
    if (d->m_lists.size() >= kMaxMeetingLists) {
        qCWarning(lcMeeting) << "meeting record refused: meetings of" << kMaxMeetingLists
                             << "conversations are listed already";
        return nullptr;
    }
    return createMeetings(dialogId);
}

MeetingList *MeetingManager::createMeetings(const QString &dialogId)
{
    auto *list = new MeetingList(dialogId, d->m_account);
    d->m_retiredLists.removeIf([](const QPointer<MeetingList> &l) { return l.isNull(); });
    if (MeetingList *old = d->m_lists.value(dialogId))
        d->m_retiredLists.append(old);
    d->m_lists.insert(dialogId, list);
    emit meetingListChanged(list->dialogId(), list);
    return list;
}

void MeetingManager::deleteMeetingList(MeetingList *list)
{
    if (!list)
        return;
    emit meetingListChanged(list->dialogId(), nullptr);
    delete list;
}

namespace {

// QVariant looks for these views when asked for a QAssociativeIterable; they let QML and C++
// walk a hash of records without knowing its type.
template <typename Container> void registerAssociativeViews()
{
    using View = QIterable<QMetaAssociation>;
    const QMetaType from = QMetaType::fromType<Container>();
    const QMetaType to = QMetaType::fromType<View>();
    // qRegisterMetaType may have added them already; a second registration only warns.
    if (!QMetaType::hasRegisteredConverterFunction(from, to)) {
        QMetaType::registerConverter<Container, View>([](const Container &c) {
            return View(QMetaAssociation::fromContainer<Container>(), &c);
        });
    }
    if (!QMetaType::hasRegisteredMutableViewFunction(from, to)) {
        QMetaType::registerMutableView<Container, View>(
            [](Container &c) { return View(QMetaAssociation::fromContainer<Container>(), &c); });
    }
}

} // namespace

void MeetingManager::registerMetaType(const char *uri)
{
    qmlRegisterType<Whiteboard::EventDispatcher>(uri, 1, 0, "EventDispatcher");

    qRegisterMetaType<Whiteboard::CustomWheelEvent *>("CustomWheelEvent *");
    qRegisterMetaType<MeetingModelBase *>("MeetingModelBase *");
    qRegisterMetaType<MeetingModel *>("MeetingModel *");
    qRegisterMetaType<MeetingList *>("MeetingList *");
    qRegisterMetaType<MeetingManager *>("MeetingManager *");
    qRegisterMetaType<MeetingInfo>("MeetingInfo");
    qRegisterMetaType<MeetingInfoHash>("MeetingInfoHash");
    registerAssociativeViews<MeetingInfoHash>();
    qRegisterMetaType<MeetingServiceCmd *>("MeetingServiceCmd *");
    qRegisterMetaType<MeetingLinkList *>("MeetingLinkList *");
    qRegisterMetaType<MeetingLinkItem *>("MeetingLinkItem *");
    qRegisterMetaType<MeetingAttendeeList *>("MeetingAttendeeList *");
    qRegisterMetaType<VideoSink *>("VideoSink *");

    qmlRegisterUncreatableType<MeetingLinkItem>(uri, 1, 0, "MeetingLinkItem",
                                                QStringLiteral("MeetingLinkItemis uncreatable"));
    qmlRegisterUncreatableType<MeetingList>(uri, 1, 0, "MeetingList",
                                            QStringLiteral("MeetingListis uncreatable"));
    qmlRegisterUncreatableMetaObject(MeetingDefines::staticMetaObject, uri, 1, 0, "MeetingDefines",
                                     QStringLiteral("MeetingDefinesaccess to enums & flags only"));
}
