#include "broadcaster.h"
#include "clientsession.h"
#include "meetingmanager.h"
#include <QCommandLineParser>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <unistd.h>

// A headless meeting client for tests and scripts: commands on stdin, one report per line on
// stdout. The account's secret is read from the environment, never from the command line.
int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption server(QStringLiteral("server"), QStringLiteral("ws://host:port/im"),
                                    QStringLiteral("url"));
    const QCommandLineOption account(QStringLiteral("account"), QStringLiteral("Account id."),
                                     QStringLiteral("id"));
    parser.addOptions({server, account});
    parser.process(app);
    const QByteArray token = qgetenv("MEETING_CLIENT_TOKEN");
    const QUrl url(parser.value(server));
    if (!url.isValid() || parser.value(account).toLongLong() <= 0 || token.isEmpty()) {
        std::fprintf(stderr,
                     "meetingclient: --server, --account and MEETING_CLIENT_TOKEN needed\n");
        return 2;
    }
    ClientSession::trustServerCertificate();
    MeetingManager::registerMetaType("Client.Meeting");
    qtwebrtc::Broadcaster::setNetworkEnabled(true);
    ClientSession session(parser.value(account).toLongLong(), token, url);
    QObject::connect(&session, &ClientSession::report, [](const QString &line) {
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, int(n));
        for (int eol = pending.indexOf('\n'); eol >= 0; eol = pending.indexOf('\n')) {
            const QString line = QString::fromUtf8(pending.left(eol)).trimmed();
            pending.remove(0, eol + 1);
            if (line == QLatin1String("quit"))
                QCoreApplication::quit();
            else if (!line.isEmpty() && !session.command(line))
                std::printf("unknown %s\n", qPrintable(line));
        }
        std::fflush(stdout);
    });
    session.start();
    return app.exec();
}
