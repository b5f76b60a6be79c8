#include "meetingserver.h"
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("meetingserver"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Meeting server: request channel and media "
                                                    "control channel over WebSocket."));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Port to listen on; 0 picks a free one."),
                                  QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    QStringLiteral("Address to listen on (default 127.0.0.1)."),
                                    QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption db(QStringLiteral("db"), QStringLiteral("SQLite database file."),
                                QStringLiteral("file"));
    const QCommandLineOption config(QStringLiteral("config"),
                                    QStringLiteral("JSON file of accounts and conversations."),
                                    QStringLiteral("file"));
    parser.addOptions({port, listen, db, config});
    parser.process(app);

    MeetingServer::Options options;
    options.address = QHostAddress(parser.value(listen));
    options.port = quint16(parser.value(port).toUInt());
    options.database = parser.value(db);
    options.config = parser.value(config);
    if (options.database.isEmpty() || options.address.isNull()) {
        std::fprintf(stderr, "meetingserver: --db and a valid --listen address are needed\n");
        return 2;
    }
    MeetingServer server;
    QString error;
    if (!server.start(options, &error)) {
        std::fprintf(stderr, "meetingserver: %s\n", qPrintable(error));
        return 1;
    }
    // The readiness line that scripts and tests wait for.
    std::printf("listening %u\n", unsigned(server.port()));
    std::fflush(stdout);
    return app.exec();
}
