#include "meetingserver.h"
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char **argv)
{
    // Qt's own event loop rather than GLib's: GLib's finds a socket notifier in a list, and
    // every write to a connection registers and drops one, so with many connections each
    // message cost time linear in all of them.
    qputenv("QT_NO_GLIB", "1");
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
    const QCommandLineOption mediaPort(QStringLiteral("media-port"),
                                       QStringLiteral("TLS port of the media server; 0 picks one."),
                                       QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption certDir(
        QStringLiteral("cert-dir"),
        QStringLiteral("Where the media certificate is made and kept (default: beside --db)."),
        QStringLiteral("dir"));
    const QCommandLineOption janus(
        QStringLiteral("janus"),
        QStringLiteral("Janus WebSocket address (ws://127.0.0.1:PORT): one VideoRoom per meeting."),
        QStringLiteral("url"));
    parser.addOptions({port, listen, db, config, mediaPort, certDir, janus});
    parser.process(app);

    MeetingServer::Options options;
    options.address = QHostAddress(parser.value(listen));
    options.port = quint16(parser.value(port).toUInt());
    options.database = parser.value(db);
    options.config = parser.value(config);
    options.mediaPort = quint16(parser.value(mediaPort).toUInt());
    options.certDir =
        parser.isSet(certDir) ? parser.value(certDir) : QFileInfo(options.database).absolutePath();
    if (options.database.isEmpty() || options.address.isNull()) {
        std::fprintf(stderr, "meetingserver: --db and a valid --listen address are needed\n");
        return 2;
    }
    if (parser.isSet(janus)) {
        options.janus = QUrl(parser.value(janus), QUrl::StrictMode);
        const QString scheme = options.janus.scheme();
        if (options.janus.host().isEmpty() ||
            (scheme != QLatin1String("ws") && scheme != QLatin1String("wss"))) {
            std::fprintf(stderr, "meetingserver: --janus takes a ws:// or wss:// address\n");
            return 2;
        }
    }
    MeetingServer server;
    QObject::connect(&server, &MeetingServer::reported, [](const QString &line) {
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    });
    QString error;
    if (!server.start(options, &error)) {
        std::fprintf(stderr, "meetingserver: %s\n", qPrintable(error));
        return 1;
    }
    // The readiness line that scripts and tests wait for.
    std::printf("certificate %s\n", qPrintable(MediaGate::certificatePath(options.certDir)));
    std::printf("media %u\n", unsigned(server.mediaPort()));
    std::printf("listening %u\n", unsigned(server.port()));
    std::fflush(stdout);
    return app.exec();
}
