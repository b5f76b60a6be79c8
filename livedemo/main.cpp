// The live demo of the meeting module over the real media engine.
//
//   meetinglive --coordinate [N] --seconds S --out DIR
//       starts a private Janus and N clients (default 3) in one room, then prints a summary
//       line per client and draws DIR/latency.png
//   meetinglive --client UID --users U1,U2,.. --media-url URL --seconds S --out DIR
//       one participant: stays S seconds in the call once connected, then writes
//       DIR/client-UID.png and DIR/client-UID.json
#include "liveclient.h"
#include "livecoordinator.h"
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <cstdio>
#include <meetingmanager.h>

namespace {

QList<qint64> parseUsers(const QString &text)
{
    QList<qint64> users;
    for (const QString &part : text.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const qint64 uid = part.toLongLong(&ok);
        if (!ok || uid <= 0)
            return {};
        users.append(uid);
    }
    return users;
}

int runClient(const QCommandLineParser &args, int seconds, const QString &out)
{
    LiveClient::Options o;
    o.uid = args.value(QStringLiteral("client")).toLongLong();
    o.users = parseUsers(args.value(QStringLiteral("users")));
    o.mediaUrl = args.value(QStringLiteral("media-url"));
    o.seconds = seconds;
    o.outDir = out;
    if (o.uid <= 0 || !o.users.contains(o.uid) || o.mediaUrl.isEmpty()) {
        std::fprintf(stderr,
                     "meetinglive: --client needs its uid among --users and a --media-url\n");
        return 2;
    }
    // Once per process, before any QML that imports the module is loaded.
    MeetingManager::registerMetaType("Live.Meeting");
    LiveClient client(o);
    if (!client.start()) {
        std::fprintf(stderr, "meetinglive: the client window or meeting did not load\n");
        return 1;
    }
    return QApplication::exec();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser args;
    args.addOptions(
        {{QStringLiteral("coordinate"), QStringLiteral("Run N clients."), QStringLiteral("N")},
         {QStringLiteral("client"), QStringLiteral("Run one client."), QStringLiteral("UID")},
         {QStringLiteral("users"), QStringLiteral("Everyone in the call."), QStringLiteral("UIDS")},
         {QStringLiteral("media-url"), QStringLiteral("The media room."), QStringLiteral("URL")},
         {QStringLiteral("seconds"), QStringLiteral("Time in the call."), QStringLiteral("S"),
          QStringLiteral("10")},
         {QStringLiteral("out"), QStringLiteral("Output folder."), QStringLiteral("DIR"),
          QStringLiteral("demo-output/live")}});
    args.addHelpOption();
    args.process(app);
    const int seconds = args.value(QStringLiteral("seconds")).toInt();
    const QString out = QDir(args.value(QStringLiteral("out"))).absolutePath();
    if (seconds <= 0 || seconds > 3600) {
        std::fprintf(stderr, "meetinglive: --seconds takes 1 to 3600\n");
        return 2;
    }
    if (args.isSet(QStringLiteral("client")))
        return runClient(args, seconds, out);

    LiveCoordinator::Options o;
    o.clients = args.isSet(QStringLiteral("coordinate"))
                    ? args.value(QStringLiteral("coordinate")).toInt()
                    : 3;
    o.seconds = seconds;
    o.outDir = out;
    o.clientProgram = QCoreApplication::applicationFilePath();
    if (o.clients < 2 || o.clients > 16) {
        std::fprintf(stderr, "meetinglive: a call takes 2 to 16 clients\n");
        return 2;
    }
    return LiveCoordinator(o).run();
}
