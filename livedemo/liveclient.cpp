#include "liveclient.h"
#include "clientsession.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QTimer>
#include <cstdio>
#include <meetingdefines.h>
#include <meetingmodel.h>

namespace {
constexpr int kConnectTimeoutMs = 90000;
constexpr int kLeaveTimeoutMs = 5000;
} // namespace

LiveClient::LiveClient(const Options &options, QObject *parent)
    : QObject(parent), m_options(options),
      m_session(std::make_unique<ClientSession>(options.uid, options.token, options.server)),
      m_stats(new FrameStats(options.uid, this))
{
    ClientSession::Media media;
    media.camera = media.microphone = media.speaker = QString();
    media.cameraOn = true;
    m_session->setMedia(media);
    connect(m_session.get(), &ClientSession::report, this, &LiveClient::onReport);
    connect(m_session.get(), &ClientSession::mediaStarted, this, &LiveClient::onMediaStarted);
}

LiveClient::~LiveClient()
{
    m_qml.reset();
    m_session.reset();
}

bool LiveClient::start()
{
    m_qml = std::make_unique<QQmlApplicationEngine>();
    m_qml->rootContext()->setContextProperty(QStringLiteral("live"), this);
    m_qml->load(QUrl(QStringLiteral("qrc:/live/Live.qml")));
    if (m_qml->rootObjects().isEmpty())
        return false;
    QTimer::singleShot(kConnectTimeoutMs, this, [this] {
        if (!m_finishing) {
            std::fprintf(stderr, "client %lld: the call did not connect in time\n", m_options.uid);
            finish(1);
        }
    });
    // A guest answers the host's invitation whenever it rings, also before sign-in is done.
    if (!m_options.host)
        m_session->command(QStringLiteral("accept"));
    m_session->start();
    return true;
}

// The session's view, one line per change, goes to the client's log.
void LiveClient::onReport(const QString &line)
{
    std::printf("client %lld: %s\n", m_options.uid, qPrintable(line));
    std::fflush(stdout);
    // Signed in (again, after a reconnect): the host starts the meeting once, from the event
    // loop, as the creation waits for its answer, which the sign-in answer's own delivery,
    // still running here, would hold back.
    if (line == QLatin1String("ready") && m_options.host && !std::exchange(m_meetingStarted, true))
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_session->command(QStringLiteral("call %1 Live call").arg(m_options.dialog));
            },
            Qt::QueuedConnection);
    else if (line.startsWith(QLatin1String("callfailed")) || line == QLatin1String("joinfailed") ||
             line.startsWith(QLatin1String("refused")))
        finish(1);
}

void LiveClient::onMediaStarted(MeetingModel *model)
{
    if (m_call)
        return;
    m_call = model;
    connect(model, &MeetingModel::stateChanged, this, &LiveClient::onCallState);
    emit callChanged();
}

void LiveClient::onCallState(int state)
{
    if (state == MeetingDefines::CONNECTED && !m_finishing) {
        std::printf("client %lld: in the call\n", m_options.uid);
        std::fflush(stdout);
        QTimer::singleShot(m_options.seconds * 1000, this, [this] { finish(0); });
        if (m_options.muteHalfway)
            QTimer::singleShot(m_options.seconds * 500, this,
                               [this] { m_session->command(QStringLiteral("mute on")); });
    } else if (state == MeetingDefines::NOTCREATE && m_finishing) {
        QCoreApplication::exit(m_status);
    }
}

bool LiveClient::writeResults()
{
    QDir().mkpath(m_options.outDir);
    const QString base =
        QDir(m_options.outDir).filePath(QStringLiteral("client-%1").arg(m_options.uid));
    bool ok = false;
    if (auto *window = qobject_cast<QQuickWindow *>(m_qml->rootObjects().value(0)))
        ok = window->grabWindow().save(base + QStringLiteral(".png"));
    QFile json(base + QStringLiteral(".json"));
    const QByteArray text = QJsonDocument(m_stats->toJson()).toJson(QJsonDocument::Compact);
    return ok && json.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           json.write(text) == text.size();
}

// Saves the results, then leaves; the engine's report of the leave (or a bounded wait) ends
// the process.
void LiveClient::finish(int status)
{
    if (std::exchange(m_finishing, true))
        return;
    if (!writeResults()) {
        std::fprintf(stderr, "client %lld: cannot write into %s\n", m_options.uid,
                     qPrintable(m_options.outDir));
        status = 1;
    }
    m_status = status;
    QTimer::singleShot(kLeaveTimeoutMs, qApp, [status] { QCoreApplication::exit(status); });
    if (m_call && m_call->state() != MeetingDefines::NOTCREATE)
        m_call->leave(/*dismiss=*/false);
    else
        QCoreApplication::exit(status);
}
