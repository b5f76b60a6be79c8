#include "broadcaster.h"
#include "cast.h"
#include "conversationmodel.h"
#include "democlient.h"
#include "enginerouter.h"
#include "icon.h"
#include "meetingmanager.h"
#include "scenario.h"
#include "screenshotcheck.h"
#include "serverconfig.h"
#include "settings.h"
#include "simpeople.h"
#include "simserver.h"
#include "timeline.h"
#include "whiteboardstore.h"
#ifdef MEETING_DEMO_NETWORK
#include "botpeople.h"
#endif
#include <QCursor>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QSslConfiguration>
#include <QTimer>
#include <QTranslator>
#include <QUrl>
#include <cstdio>

namespace {
struct Options
{
    bool headless = false;
    bool offscreen = false;
    bool autoplay = false;
    QString out = QStringLiteral("demo-output");
    QString check;
    QString scenario = QStringLiteral("invited");
    int minColours = 1000;
    int videoColours = 0;
    double pace = 1.0;
    QString server; // a meeting server's request channel, instead of the simulated one
    QString ca;
    QString config;
    QString writeConfig;
};

// How long the people's clients and the account may take to sign in.
constexpr int kSignInMs = 30000;

void usage()
{
    std::fputs(
        "usage: meetingdemo [--headless | --offscreen] [--play] [--scenario NAME] [--out DIR]\n"
        "                   [--pace F]\n"
        "       meetingdemo --check-screenshots DIR [--scenario NAME] [--min-colours N]\n"
        "                   [--video-colours N]\n"
        "       meetingdemo --server ws://127.0.0.1:PORT/im --config FILE [--ca CERT] [...]\n"
        "       meetingdemo --write-server-config FILE\n"
        "\n"
        "  --headless   play the built-in scenario on the current display, write\n"
        "               screenshots and a timeline, then exit (also when no display)\n"
        "  --offscreen  the same on Qt's offscreen platform (video tiles stay dark)\n"
        "  --play       open the window and start the scenario at once\n"
        "  --scenario   invited (an incoming team meeting; the default) or hosting\n"
        "               (your own meeting, a call, a meeting joined through a link)\n"
        "  --out DIR    where screenshots, the timeline and meeting logs go\n"
        "  --pace F     stretch (F > 1) or shorten the scenario\n"
        "  --server URL play against a meeting server seeded with --config; the other\n"
        "               people are clients of their own (the invited scenario only)\n"
        "  --ca CERT    the media server's certificate, the only one trusted\n"
        "  --write-server-config FILE\n"
        "               write the server config of the demo's accounts and\n"
        "               conversations, with fresh tokens, then exit\n",
        stderr);
}

bool parse(int argc, char **argv, Options &o)
{
    const QStringList args = [&] {
        QStringList out;
        for (int i = 1; i < argc; ++i)
            out.append(QString::fromLocal8Bit(argv[i]));
        return out;
    }();
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        auto value = [&]() {
            return i + 1 < args.size() ? args.at(++i) : QString();
        };
        if (a == QLatin1String("--headless"))
            o.headless = true;
        else if (a == QLatin1String("--offscreen"))
            o.offscreen = true;
        else if (a == QLatin1String("--play"))
            o.autoplay = true;
        else if (a == QLatin1String("--out"))
            o.out = value();
        else if (a == QLatin1String("--check-screenshots"))
            o.check = value();
        else if (a == QLatin1String("--min-colours"))
            o.minColours = value().toInt();
        else if (a == QLatin1String("--video-colours"))
            o.videoColours = value().toInt();
        else if (a == QLatin1String("--scenario"))
            o.scenario = value();
        else if (a == QLatin1String("--server"))
            o.server = value();
        else if (a == QLatin1String("--ca"))
            o.ca = value();
        else if (a == QLatin1String("--config"))
            o.config = value();
        else if (a == QLatin1String("--write-server-config"))
            o.writeConfig = value();
        else if (a == QLatin1String("--pace"))
            o.pace = qBound(0.2, value().toDouble(), 5.0);
        else if (a.startsWith(QLatin1String("-platform")) || a.startsWith(QLatin1String("-style")))
            ++i; // Qt's own options
        else
            return false;
    }
    const bool serverOk = o.server.isEmpty() || !o.config.isEmpty();
    return !o.out.isEmpty() && Scenario::names().contains(o.scenario) && serverOk;
}

int writeServerConfig(const QString &path)
{
    const Cast cast;
    QString error;
    if (ServerConfig::write(cast, path, &error))
        return 0;
    std::fprintf(stderr, "meetingdemo: %s\n", qPrintable(error));
    return 1;
}

// The account signs in at the server and every other person starts a client of their own.
std::unique_ptr<People> joinServer(const Options &o, const Cast &cast, DemoClient *client,
                                   const QString &outDir)
{
#ifdef MEETING_DEMO_NETWORK
    const QHash<qint64, QByteArray> tokens = ServerConfig::tokens(o.config);
    if (!tokens.contains(cast.selfId())) {
        std::fputs("meetingdemo: --config holds no token for the demo's account\n", stderr);
        return {};
    }
    if (!o.ca.isEmpty()) {
        // The media server's certificate, and only it, is trusted.
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setCaCertificates(QSslCertificate::fromPath(o.ca));
        QSslConfiguration::setDefaultConfiguration(tls);
    }
    qtwebrtc::Broadcaster::setNetworkEnabled(true);
    client->connectToServer(QUrl(o.server), tokens.value(cast.selfId()));
    auto people = std::make_unique<BotPeople>(
        cast, BotPeople::Setup{QStringLiteral(MEETINGCLIENT_PATH), QUrl(o.server),
                               o.ca.isEmpty() ? QString() : QFileInfo(o.ca).absoluteFilePath(),
                               tokens, outDir});
    Timeline *timeline = client->timeline();
    QObject::connect(people.get(), &BotPeople::note, timeline, [timeline](const QString &text) {
        timeline->add(QStringLiteral("people"), text);
    });
    if (!people->start()) {
        std::fputs("meetingdemo: the people's clients did not start\n", stderr);
        return {};
    }
    return people;
#else
    Q_UNUSED(o)
    Q_UNUSED(cast)
    Q_UNUSED(client)
    Q_UNUSED(outDir)
    std::fputs("meetingdemo: built without the meeting server (MEETING_BUILD_SERVER)\n", stderr);
    return {};
#endif
}

// Starts the scenario once the account and the people are signed in; gives up after a while.
void startWhenReady(Scenario *scenario, const DemoClient *client, const People *people,
                    const QDeadlineTimer &deadline)
{
    if (client->signedIn() && people->ready()) {
        QTimer::singleShot(600, scenario, &Scenario::start);
    } else if (deadline.hasExpired()) {
        std::fputs("meetingdemo: the meeting server did not sign everyone in\n", stderr);
        QCoreApplication::exit(1);
    } else {
        QTimer::singleShot(100, scenario,
                           [=] { startWhenReady(scenario, client, people, deadline); });
    }
}
} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parse(argc, argv, options)) {
        usage();
        return 2;
    }
    if (!options.server.isEmpty() && options.scenario != QLatin1String("invited")) {
        std::fputs("meetingdemo: against a meeting server only the invited scenario plays\n",
                   stderr);
        return 2;
    }
    if (!options.writeConfig.isEmpty())
        return writeServerConfig(options.writeConfig);
    if (!options.check.isEmpty()) {
        QCoreApplication app(argc, argv);
        const bool ok = checkScreenshots(options.check, Scenario::screenshots(options.scenario),
                                         options.minColours, options.videoColours);
        return ok ? 0 : 1;
    }

    const bool noDisplay =
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    const bool headless = options.headless || options.offscreen || noDisplay;
    if ((options.offscreen || noDisplay) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        std::fputs("meetingdemo: no display; playing on the offscreen platform, where video "
                   "tiles stay dark (run it under xvfb-run to see them)\n",
                   stderr);
    }
    QGuiApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("meetingdemo"));
    app.setOrganizationName(QStringLiteral("meetingdemo"));

    QDir().mkpath(options.out);
    const QString outDir = QDir(options.out).absolutePath();
    AppDirManager::instance()->setCacheDataDir(QDir(outDir).filePath(QStringLiteral("cache")));

    QTranslator translator;
    if (translator.load(QStringLiteral(":/i18n/meeting_en.qm")))
        QCoreApplication::installTranslator(&translator);

    MeetingManager::registerMetaType("Im.Meeting");
    qmlRegisterType<Icon>("MeetingDemo", 1, 0, "Icon");
    qmlRegisterType<WhiteboardCanvas>("MeetingDemo", 1, 0, "WhiteboardCanvas");
    qmlRegisterUncreatableType<DemoClient>("MeetingDemo", 1, 0, "DemoClient",
                                           QStringLiteral("provided by the application"));

    Cast cast;
    std::unique_ptr<SimServer> server;
    std::unique_ptr<EngineRouter> router;
    if (options.server.isEmpty()) {
        server = std::make_unique<SimServer>(cast);
        router = std::make_unique<EngineRouter>(server.get());
    }
    auto client = std::make_unique<DemoClient>(cast, server.get());
    client->timeline()->setEcho(headless);
    std::unique_ptr<People> people;
    if (server) {
        // Ravi's weekly sync already runs in the launch crew when the account signs in.
        server->startMeeting(1007, QStringLiteral("grp-launch"), QStringLiteral("Weekly sync"),
                             {1005}, {});
        people = std::make_unique<SimPeople>(server.get());
    } else if (!(people = joinServer(options, cast, client.get(), outDir))) {
        return 1;
    }

    auto engine = std::make_unique<QQmlApplicationEngine>();
    engine->rootContext()->setContextProperty(QStringLiteral("demo"), client.get());
    engine->rootContext()->setContextProperty(QStringLiteral("headless"), headless);
    engine->load(QUrl(QStringLiteral("qrc:/qml/Main.qml")));
    auto *window = engine->rootObjects().isEmpty()
                       ? nullptr
                       : qobject_cast<QQuickWindow *>(engine->rootObjects().first());
    if (!window) {
        std::fputs("meetingdemo: the user interface did not load\n", stderr);
        return 1;
    }

    Scenario scenario(cast, client.get(), server.get(), people.get(), window);
    scenario.setName(options.scenario);
    scenario.setPace(options.pace);
    QObject::connect(window, SIGNAL(playScenario(QString)), &scenario, SLOT(play(QString)));
    int exitCode = 0;
    if (headless) {
        scenario.setScreenshotDir(outDir);
        QObject::connect(&scenario, &Scenario::finished, &app, [&] {
            QFile file(QDir(outDir).filePath(QStringLiteral("timeline.txt")));
            if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                file.write(client->timeline()->lines().join(QLatin1Char('\n')).toUtf8() + '\n');
            const QStringList failures = scenario.failures();
            for (const QString &f : failures)
                std::fprintf(stderr, "meetingdemo: check failed: %s\n", qPrintable(f));
            std::printf("\nScreenshots and timeline.txt are in %s\n", qPrintable(outDir));
            std::fflush(stdout);
            exitCode = failures.isEmpty() ? 0 : 1;
            app.quit();
        });
    }
    if (headless) {
        // Out of the way, so no control shows a hover in the screenshots.
        QCursor::setPos(window->screen(), QPoint(0, 0));
    }
    if (headless || options.autoplay)
        startWhenReady(&scenario, client.get(), people.get(), QDeadlineTimer(kSignInMs));
    const int appCode = app.exec();

    // Views first, then the account with its meetings and engines, then the people and the
    // room behind them.
    engine.reset();
    client.reset();
    people.reset();
    router.reset();
    server.reset();
    return appCode != 0 ? appCode : exitCode;
}
