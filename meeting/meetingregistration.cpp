#include "meetingattendeelist.h"
#include "meetinglinkitem.h"
#include "meetinglinklist.h"
#include "meetinglist.h"
#include "meetingmanager.h"
#include "meetingmodel.h"
#include "meetingservicecmd.h"
#include "videosink.h"
#include "whiteboard.h"
#include <QAssociativeIterable>
#include <QMetaType>
#include <QtQml>

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
