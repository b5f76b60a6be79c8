// An example client of the meeting module: one account with the reference host library, the
// meetings of one conversation, a call joined and shown as attendee tiles, then left.
//
//   client          opens the window; click Join, then Leave
//   client --check  plays the same steps by itself and exits 0 once a call was started with
//                   its attendees on screen and then left (for headless runs)
#include "mediaroom.h"
#include "session.h"
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QTimer>
#include <accountbase.h>
#include <cstdio>
#include <functional>
#include <meetingdefines.h>
#include <meetingmanager.h>
#include <meetingmodel.h>
#include <memory>

namespace {

QStringList tileLabels(QObject *root)
{
    QVariant labels;
    QMetaObject::invokeMethod(root, "tileLabels", Q_RETURN_ARG(QVariant, labels));
    return labels.toStringList();
}

// On screen: three people, the shared screen, a muted microphone and someone speaking.
bool callOnScreen(const QStringList &labels)
{
    return labels.size() == 4 && labels.filter(QStringLiteral("screen")).size() == 1 &&
           labels.filter(QStringLiteral("mic off")).size() == 1 &&
           labels.filter(QStringLiteral("speaking")).size() == 1;
}

// Waits for `done`, checking every 50 ms for at most 30 s (a loaded machine is slow to start
// QML); calls `then` or exits with 1.
void waitFor(std::function<bool()> done, std::function<void()> then, const char *what)
{
    auto *timer = new QTimer(qApp);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, qApp, [=] {
        if (done()) {
            timer->deleteLater();
            then();
        } else if (++*tries > 600) {
            std::fprintf(stderr, "client: timed out waiting for %s\n", what);
            QCoreApplication::exit(1);
        }
    });
    timer->start(50);
}

void playCheck(Session *session, QObject *root)
{
    session->join(QStringLiteral("stand-up"));
    waitFor([=] { return MediaRoom::callsStarted() == 1 && callOnScreen(tileLabels(root)); },
            [=] {
                for (const QString &label : tileLabels(root))
                    std::printf("client: tile %s\n", qPrintable(label));
                session->leave();
                waitFor([=] { return session->call() == nullptr; },
                        [] {
                            std::printf("client: call started, shown and left\n");
                            QCoreApplication::exit(0);
                        },
                        "the leave");
            },
            "the call on screen");
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const bool check = app.arguments().contains(QStringLiteral("--check"));

    // The host: a signed-in account, its contacts and the conversation shown.
    AccountBase account(100, 1);
    account.addDialog(Session::dialogId(), true, account.accountId());
    account.userManager()->addContact(100, QStringLiteral("Ada"));
    account.userManager()->addContact(200, QStringLiteral("Bo"));
    account.userManager()->addContact(300, QStringLiteral("Cy"));
    MediaRoom room(&account);

    // Once per process, before any QML that imports the module is loaded.
    MeetingManager::registerMetaType("Example.Meeting");
    Session session(&account);
    session.loadMeetings();

    int status = 0;
    {
        QQmlApplicationEngine engine;
        qmlRegisterSingletonInstance("Example.Client", 1, 0, "Session", &session);
        engine.load(QUrl(QStringLiteral("qrc:/Main.qml")));
        if (engine.rootObjects().isEmpty())
            return 1;
        if (check)
            playCheck(&session, engine.rootObjects().constFirst());
        status = app.exec();
    }
    // The QML is gone; now the module's objects may go.
    session.signOut();
    return status;
}
