// The live demo of the meeting module over the real media engine.
//
//   meetinglive --coordinate [N] --seconds S --out DIR
//       starts a private Janus, a meeting server using it and N clients (default 3) in one
//       meeting, then prints a summary line per client and draws DIR/latency.png
//   meetinglive --client UID [--host] [--mute-halfway] --server URL --dialog ID --seconds S
//               --out DIR
//       one participant (its account's secret in MEETING_CLIENT_TOKEN): the host starts the
//       meeting in the conversation, the others accept; each stays S seconds in the call once
//       connected, then writes DIR/client-UID.png and DIR/client-UID.json
#include "clientsession.h"
#include "liveclient.h"
#include "livecoordinator.h"
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <cstdio>
#include <meetingmanager.h>

namespace {

int runClient(const QCommandLineParser &args, int seconds, const QString &out)
{
    LiveClient::Options o;
    o.uid = args.value(QStringLiteral("client")).toLongLong();
    o.host = args.isSet(QStringLiteral("host"));
    o.server = QUrl(args.value(QStringLiteral("server")));
    o.token = qgetenv("MEETING_CLIENT_TOKEN");
    o.dialog = args.value(QStringLiteral("dialog"));
    o.seconds = seconds;
    o.outDir = out;
    o.muteHalfway = args.isSet(QStringLiteral("mute-halfway"));
    if (o.uid <= 0 || !o.server.isValid() || o.token.isEmpty() || o.dialog.isEmpty()) {
        std::fprintf(stderr, "meetinglive: --client needs its uid, --server, --dialog and "
                             "MEETING_CLIENT_TOKEN\n");
        return 2;
    }
    ClientSession::trustServerCertificate();
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
         {QStringLiteral("host"), QStringLiteral("This client starts the meeting.")},
         {QStringLiteral("mute-halfway"), QStringLiteral("Mute the microphone halfway through.")},
         {QStringLiteral("server"), QStringLiteral("The meeting server."), QStringLiteral("URL")},
         {QStringLiteral("dialog"), QStringLiteral("The conversation."), QStringLiteral("ID")},
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
    o.serverProgram = QStringLiteral(MEETINGSERVER_PATH);
    if (o.clients < 2 || o.clients > 16) {
        std::fprintf(stderr, "meetinglive: a call takes 2 to 16 clients\n");
        return 2;
    }
    return LiveCoordinator(o).run();
}
