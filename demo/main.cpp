#include "broadcaster.h"
#include "cast.h"
#include "conversationmodel.h"
#include "democlient.h"
#include "enginerouter.h"
#include "icon.h"
#include "meetingmanager.h"
#include "scenario.h"
#include "screenshotcheck.h"
#include "settings.h"
#include "simserver.h"
#include "timeline.h"
#include "whiteboardstore.h"
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QTimer>
#include <QTranslator>
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
};

void usage()
{
    std::fputs(
        "usage: meetingdemo [--headless | --offscreen] [--play] [--scenario NAME] [--out DIR]\n"
        "                   [--pace F]\n"
        "       meetingdemo --check-screenshots DIR [--scenario NAME] [--min-colours N]\n"
        "                   [--video-colours N]\n"
        "\n"
        "  --headless   play the built-in scenario on the current display, write\n"
        "               screenshots and a timeline, then exit (also when no display)\n"
        "  --offscreen  the same on Qt's offscreen platform (video tiles stay dark)\n"
        "  --play       open the window and start the scenario at once\n"
        "  --scenario   invited (an incoming team meeting; the default) or hosting\n"
        "               (your own meeting, a call, a meeting joined through a link)\n"
        "  --out DIR    where screenshots, the timeline and meeting logs go\n"
        "  --pace F     stretch (F > 1) or shorten the scenario\n",
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
        else if (a == QLatin1String("--pace"))
            o.pace = qBound(0.2, value().toDouble(), 5.0);
        else if (a.startsWith(QLatin1String("-platform")) || a.startsWith(QLatin1String("-style")))
            ++i; // Qt's own options
        else
            return false;
    }
    return !o.out.isEmpty() && Scenario::names().contains(o.scenario);
}
} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parse(argc, argv, options)) {
        usage();
        return 2;
    }
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
    auto server = std::make_unique<SimServer>(cast);
    auto router = std::make_unique<EngineRouter>(server.get());
    auto client = std::make_unique<DemoClient>(cast, server.get());
    client->timeline()->setEcho(headless);
    // Ravi's weekly sync already runs in the launch crew when the account signs in.
    server->startMeeting(1007, QStringLiteral("grp-launch"), QStringLiteral("Weekly sync"), {1005},
                         {});

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

    Scenario scenario(cast, client.get(), server.get(), window);
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
        QTimer::singleShot(600, &scenario, &Scenario::start);
    app.exec();

    // Views first, then the account with its meetings and engines, then the room behind them.
    engine.reset();
    client.reset();
    router.reset();
    server.reset();
    return exitCode;
}
