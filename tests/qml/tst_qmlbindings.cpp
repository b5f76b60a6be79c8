// A QML item binds to a property or a list role; after a change from C++ the bound value
// must be the new one, which holds only when the change was notified.
#include "builders.h"
#include "im.pb.h"
#include "meetingfixture.h"
#include "meetinglinkitem.h"
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>

using namespace MeetingDefines;

namespace {

struct Scene
{
    Meeting meeting{QStringLiteral("100S 201S 202S")};
    MeetingLinkItem link{&meeting.account};
};

using SceneAct = std::function<void(Scene &)>;

// "link" and "model" bind `target.<expression>`; the lists bind `<expression>` in the
// delegate of the given row.
QObject *targetOf(Scene &s, const QString &name)
{
    if (name == u"link")
        return &s.link;
    if (name == u"model")
        return &s.meeting.model;
    return name == u"active" ? s.meeting.model.activeAttendeeList()
                             : s.meeting.model.attendeeList();
}

} // namespace

Q_DECLARE_METATYPE(SceneAct)

class TestQmlBindings : public QObject
{
    Q_OBJECT
    QQmlEngine m_engine;

private slots:
    void bound_data();
    void bound();
};

void TestQmlBindings::bound_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("expression");
    QTest::addColumn<int>("row"); // -1: a property of the target
    QTest::addColumn<SceneAct>("act");
    QTest::addColumn<QVariant>("expected");

    const SceneAct relink = [](Scene &s) {
        im::MeetingLink link;
        link.set_id("l-2");
        link.set_password("pw-2");
        link.set_token("tk-2");
        link.set_dialog_id("d-2");
        link.set_owner_id(42);
        s.link.updateLink(link);
    };
    QTest::addRow("link id") << "link"
                             << "id" << -1 << relink << QVariant(u"l-2"_qs);
    QTest::addRow("link password") << "link"
                                   << "password" << -1 << relink << QVariant(u"pw-2"_qs);
    QTest::addRow("link token") << "link"
                                << "token" << -1 << relink << QVariant(u"tk-2"_qs);
    QTest::addRow("link dialog") << "link"
                                 << "dialogId" << -1 << relink << QVariant(u"d-2"_qs);
    QTest::addRow("link owner") << "link"
                                << "ownerId" << -1 << relink << QVariant(42);
    QTest::addRow("host") << "model"
                          << "isHost" << -1
                          << SceneAct([](Scene &s) { s.meeting.model.setHost(true); })
                          << QVariant(true);
    QTest::addRow("speaker capacity") << "model"
                                      << "speakerCapacity" << -1 << SceneAct([](Scene &s) {
                                             MeetingInfo info = testsupport::record("m", 1, {});
                                             info.speakerCapacity = 7;
                                             s.meeting.model.setMeeting(info);
                                         })
                                      << QVariant(7);
    QTest::addRow("status role") << "attendees"
                                 << "status" << 2 << SceneAct([](Scene &s) {
                                        s.meeting.model.attendeeList()->updateAttendeesStatus(202,
                                                                                              6);
                                    })
                                 << QVariant(6);
    // Hiding a camera moves its row down in the attendee list; the active list follows.
    QTest::addRow("active order") << "active"
                                  << "itemModel.userId" << 1 << SceneAct([](Scene &s) {
                                         s.meeting.user(201)->setMuteVideoLocal(true);
                                     })
                                  << QVariant(202);
}

void TestQmlBindings::bound()
{
    QFETCH(QString, target);
    QFETCH(QString, expression);
    QFETCH(int, row);
    const QString qml =
        row < 0 ? u"import QtQuick\nItem { property var target; property var v: target ? "
                  u"target.%1 : undefined }"_qs.arg(expression)
                : u"import QtQuick\nItem { property var target; property alias r: r\n"
                  u"Repeater { id: r; model: target; Item { property var v: %1 } } }"_qs.arg(
                      expression);
    Scene scene;
    QQmlComponent component(&m_engine);
    component.setData(qml.toUtf8(), QUrl());
    std::unique_ptr<QObject> item(component.create());
    QVERIFY2(item, qPrintable(component.errorString()));
    item->setProperty("target", QVariant::fromValue(targetOf(scene, target)));

    QFETCH(SceneAct, act);
    act(scene);
    testsupport::drainEvents();
    QObject *bound = item.get();
    if (row >= 0) {
        auto *repeater = item->property("r").value<QQuickItem *>();
        QVERIFY(repeater);
        QQuickItem *delegate = nullptr;
        QMetaObject::invokeMethod(repeater, "itemAt", Q_RETURN_ARG(QQuickItem *, delegate),
                                  Q_ARG(int, row));
        QVERIFY(delegate);
        bound = delegate;
    }
    QTEST(bound->property("v"), "expected");
}

QTEST_MAIN(TestQmlBindings)
#include "tst_qmlbindings.moc"
