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
#include <QtQml>
#include <utility>

MeetingManager::MeetingManager(AccountBase *account)
    : QObject(account), m_serviceCmd(new MeetingServiceCmd(this)), m_account(account),
      m_linkList(new MeetingLinkList(this))
{
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
}

// The lists still registered belong to the account (their parent); clearData deletes them.
MeetingManager::~MeetingManager()
{
    delete m_serviceCmd;
    m_serviceCmd = nullptr;
    m_lists.clear();
}

void MeetingManager::setMeetingCapacity(int capacity)
{
    if (m_meetingCapacity == capacity)
        return;
    m_meetingCapacity = capacity;
    emit meetingCapacityChanged(capacity);
}

MeetingList *MeetingManager::meetingList(const QString &dialogId, bool create)
{
    if (MeetingList *list = m_lists.value(dialogId))
        return list;
    return create ? createMeetings(dialogId) : nullptr;
}

void MeetingManager::meetingBeFinished(QString meetingId)
{
    AccountManager *accounts = AccountManager::getInstance();
    MeetingModelBase *current = accounts->meetingModel();
    if (!meetingId.isEmpty() && current && current->account() == m_account &&
        current->meetingId() == meetingId)
        accounts->setMeetingModel(nullptr);
    accounts->meetingBeFinished(m_account ? m_account->accountId() : 0, meetingId);
}

void MeetingManager::clearData(bool)
{
    // Take everything out first: handlers of meetingListChanged may call back into the registry.
    const QList<QPointer<MeetingList>> retired = std::exchange(m_retiredLists, {});
    for (const QPointer<MeetingList> &list : retired)
        delete list.data();
    const QHash<QString, MeetingList *> lists = std::exchange(m_lists, {});
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
    deleteMeetingList(m_lists.take(dialogId));
}

void MeetingManager::deletePendingAttendees(QString meetingId, QVariantList userIds)
{
    m_serviceCmd->deletePendingAttendees(meetingId, userIds);
}

void MeetingManager::rateMeeting(QString meetingId, int score, int connectingIssues,
                                 int audioIssues, int videoIssues, QString comment)
{
    m_serviceCmd->rateMeeting(meetingId, score, connectingIssues, audioIssues, videoIssues,
                              comment);
}

void MeetingManager::cancelCall(QString clientId, QString dialogId)
{
    m_serviceCmd->cancelCall(clientId, dialogId);
}

void MeetingManager::createMeeting(QString dialogId, qint64 targetId)
{
    createMeetings(dialogId)->createMeeting(targetId);
}

MeetingList *MeetingManager::listForPush(const QString &dialogId)
{
    if (MeetingList *list = m_lists.value(dialogId))
        return list;
    if (m_lists.size() >= kMaxMeetingLists) {
        qCWarning(lcMeeting) << "meeting record refused: meetings of" << kMaxMeetingLists
                             << "conversations are listed already";
        return nullptr;
    }
    return createMeetings(dialogId);
}

MeetingList *MeetingManager::createMeetings(const QString &dialogId)
{
    auto *list = new MeetingList(dialogId, m_account);
    m_retiredLists.removeIf([](const QPointer<MeetingList> &l) { return l.isNull(); });
    if (MeetingList *old = m_lists.value(dialogId))
        m_retiredLists.append(old);
    m_lists.insert(dialogId, list);
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
