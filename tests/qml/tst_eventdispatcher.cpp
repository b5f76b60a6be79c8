#include "meetingmanager.h"
#include "whiteboard.h"
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickView>
#include <QtTest>

// The dispatcher lies over a flickable whose mouse area counts what reaches it.
static const char kScene[] = R"(
import QtQuick 2.15
import Test.Meeting 1.0
Item {
    id: root
    width: 200; height: 200
    property int presses: 0
    property int releases: 0
    property int modifiers: 0
    property point angleDelta
    Flickable {
        objectName: "flickable"
        anchors.fill: parent
        contentHeight: 5000
        MouseArea {
            width: 200; height: 5000
            onPressed: root.presses++
            onReleased: root.releases++
        }
    }
    EventDispatcher {
        objectName: "dispatcher"
        anchors.fill: parent
        onWheel: (event) => { root.modifiers = event.modifiers; root.angleDelta = event.angleDelta }
    }
}
)";

class TestEventDispatcher : public QObject
{
    Q_OBJECT
    std::unique_ptr<QQuickView> m_view;
    Whiteboard::EventDispatcher *m_dispatcher = nullptr;

    void sendWheel(QPoint angleDelta, Qt::KeyboardModifiers modifiers)
    {
        const QPointF pos(100, 100);
        QWheelEvent event(pos, m_view->mapToGlobal(pos), QPoint(), angleDelta, Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QGuiApplication::sendEvent(m_view.get(), &event);
    }

private slots:
    void initTestCase() { MeetingManager::registerMetaType("Test.Meeting"); }

    void init()
    {
        m_view = std::make_unique<QQuickView>();
        QQmlComponent component(m_view->engine());
        component.setData(kScene, QUrl());
        QObject *root = component.create();
        QVERIFY2(root, qPrintable(component.errorString()));
        m_view->setContent(QUrl(), &component, root);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        m_dispatcher = m_view->rootObject()->findChild<Whiteboard::EventDispatcher *>();
        QVERIFY(m_dispatcher);
    }

    void pressPassesThrough()
    {
        QSignalSpy presses(m_dispatcher, &Whiteboard::EventDispatcher::mouseEventTrigger);
        QSignalSpy wheels(m_dispatcher, &Whiteboard::EventDispatcher::wheel);
        QTest::mousePress(m_view.get(), Qt::LeftButton, {}, QPoint(50, 50));
        QCOMPARE(presses.size(), 1);
        QCOMPARE(m_view->rootObject()->property("presses").toInt(), 1);

        QTest::mouseMove(m_view.get(), QPoint(60, 60));
        QTest::mouseRelease(m_view.get(), Qt::LeftButton, {}, QPoint(60, 60));
        QTest::mouseMove(m_view.get(), QPoint(70, 70));
        QCOMPARE(presses.size(), 1);
        QCOMPARE(wheels.size(), 0);
        QCOMPARE(m_view->rootObject()->property("releases").toInt(), 1);
    }

    void wheelPassesThrough()
    {
        QObject *root = m_view->rootObject();
        QObject *flickable = root->findChild<QObject *>(QStringLiteral("flickable"));
        QSignalSpy wheels(m_dispatcher, &Whiteboard::EventDispatcher::wheel);

        flickable->setProperty("contentY", 1000);

        sendWheel(QPoint(0, 120), Qt::ControlModifier);
        QCOMPARE(wheels.size(), 1);
        QCOMPARE(root->property("modifiers").toInt(), int(Qt::ControlModifier));
        QCOMPARE(root->property("angleDelta").toPoint(), QPoint(0, 120));
        QTRY_VERIFY(flickable->property("contentY").toReal() < 1000);

        sendWheel(QPoint(-240, 0), Qt::ShiftModifier | Qt::AltModifier);
        QCOMPARE(wheels.size(), 2);
        QCOMPARE(wheels.at(1).first().value<Whiteboard::CustomWheelEvent *>(),
                 wheels.at(0).first().value<Whiteboard::CustomWheelEvent *>());
        QCOMPARE(root->property("modifiers").toInt(), int(Qt::ShiftModifier | Qt::AltModifier));
        QCOMPARE(root->property("angleDelta").toPoint(), QPoint(-240, 0));
    }
};

QTEST_MAIN(TestEventDispatcher)
#include "tst_eventdispatcher.moc"
