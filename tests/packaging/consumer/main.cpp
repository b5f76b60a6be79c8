// A minimal client: one account with its meeting manager, the QML types registered under the
// client's own import name, a QML snippet that uses them, and the engine library linked in.
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <accountbase.h>
#include <broadcaster.h>
#include <cstdio>
#include <meetingmanager.h>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    AccountBase account(1001, 1);
    auto *manager = new MeetingManager(&account);
    account.setMeetingManager(manager);
    MeetingManager::registerMetaType("Client.Meeting");

    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData("import QtQuick 2.15\nimport Client.Meeting 1.0\n"
                      "Item { property int connected: MeetingDefines.CONNECTED\n"
                      "       EventDispatcher { anchors.fill: parent } }",
                      QUrl());
    QObject *root = component.create();
    if (!root) {
        std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
        return 1;
    }
    const int connected = root->property("connected").toInt();
    delete root;
    manager->clearData(false);
    std::printf("consumer: MeetingDefines.CONNECTED = %d\n", connected);
    return connected == 2 && qtwebrtc::Broadcaster::aliveCount() == 0 ? 0 : 1;
}
