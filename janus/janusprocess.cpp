#include "janusprocess.h"
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUdpSocket>

namespace meetingjanus {

namespace {
const QString kPlugin = QStringLiteral("libjanus_videoroom.so");
const QString kTransport = QStringLiteral("libjanus_websockets.so");

QString pluginDir()
{
    return QStringLiteral(MEETING_JANUS_LIBDIR "/plugins");
}

QString transportDir()
{
    return QStringLiteral(MEETING_JANUS_LIBDIR "/transports");
}

quint16 freeTcpPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

quint16 freeUdpPort()
{
    QUdpSocket probe;
    return probe.bind(QHostAddress::LocalHost, 0) ? probe.localPort() : 0;
}

bool writeFile(const QString &path, const QString &text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           f.write(text.toUtf8()) == text.toUtf8().size();
}
} // namespace

JanusProcess::JanusProcess() = default;

JanusProcess::~JanusProcess()
{
    stop();
}

QString JanusProcess::missingReason()
{
    if (QStandardPaths::findExecutable(QStringLiteral("janus")).isEmpty())
        return QStringLiteral("the janus binary is not installed");
    if (!QFileInfo::exists(pluginDir() + u'/' + kPlugin))
        return QStringLiteral("the Janus VideoRoom plugin is not installed");
    if (!QFileInfo::exists(transportDir() + u'/' + kTransport))
        return QStringLiteral("the Janus WebSockets transport is not installed");
    if (!QFileInfo::exists(QStringLiteral(MEETING_JANUS_SHIM)))
        return QStringLiteral("the getifaddrs shim was not built");
    return {};
}

bool JanusProcess::writeConfig(quint16 wsPort, quint16 rtpBase, QString *error)
{
    const QString dir = m_dir->path();
    // Folders holding only what we use, so no other plugin or transport (the HTTP one would
    // listen on every interface) is ever loaded.
    for (const char *sub : {"plugins", "transports", "events", "loggers"})
        QDir(dir).mkpath(QString::fromLatin1(sub));
    const bool linked =
        QFile::link(pluginDir() + u'/' + kPlugin, dir + QStringLiteral("/plugins/") + kPlugin) &&
        QFile::link(transportDir() + u'/' + kTransport,
                    dir + QStringLiteral("/transports/") + kTransport);
    const QString core =
        QStringLiteral("general: {\n"
                       "  configs_folder = \"%1\"\n"
                       "  plugins_folder = \"%1/plugins\"\n"
                       "  transports_folder = \"%1/transports\"\n"
                       "  events_folder = \"%1/events\"\n"
                       "  loggers_folder = \"%1/loggers\"\n"
                       "  debug_level = 4\n"
                       "  interface = \"127.0.0.1\"\n"
                       "  protected_folders = []\n"
                       "}\n"
                       "media: {\n  ipv6 = false\n  rtp_port_range = \"%2-%3\"\n}\n"
                       "nat: {\n  ice_enforce_list = \"127.0.0.1\"\n  ice_tcp = false\n}\n"
                       "plugins: {}\ntransports: {}\nloggers: {}\nevents: {}\n")
            .arg(dir)
            .arg(rtpBase)
            .arg(qMin(65535, rtpBase + 400));
    const QString ws = QStringLiteral("general: {\n  json = \"compact\"\n  ws = true\n"
                                      "  ws_port = %1\n  ws_ip = \"127.0.0.1\"\n  wss = false\n}\n"
                                      "admin: {\n  admin_ws = false\n  admin_wss = false\n}\n")
                           .arg(wsPort);
    const bool written = writeFile(dir + QStringLiteral("/janus.jcfg"), core) &&
                         writeFile(dir + QStringLiteral("/janus.transport.websockets.jcfg"), ws) &&
                         writeFile(dir + QStringLiteral("/janus.plugin.videoroom.jcfg"),
                                   QStringLiteral("general: {}\n"));
    if (!linked || !written)
        *error = QStringLiteral("cannot write the Janus configuration into ") + dir;
    return linked && written;
}

bool JanusProcess::start(QString *error, int timeoutMs)
{
    QString ignored;
    if (!error)
        error = &ignored;
    stop();
    *error = missingReason();
    if (!error->isEmpty())
        return false;
    m_dir = std::make_unique<QTemporaryDir>();
    const quint16 wsPort = freeTcpPort();
    const quint16 rtpBase = freeUdpPort();
    if (!m_dir->isValid() || wsPort == 0 || rtpBase == 0) {
        *error = QStringLiteral("no temporary folder or free loopback port for Janus");
        return false;
    }
    if (!writeConfig(wsPort, rtpBase, error))
        return false;

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(MEETING_JANUS_SHIM));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_dir->filePath(QStringLiteral("janus.log")));
    m_process.start(QStringLiteral("janus"),
                    {QStringLiteral("-F"), m_dir->path(), QStringLiteral("-C"),
                     m_dir->filePath(QStringLiteral("janus.jcfg"))});
    if (!m_process.waitForStarted(5000)) {
        *error = QStringLiteral("janus did not start: ") + m_process.errorString();
        return false;
    }
    if (!waitReady(wsPort, timeoutMs, error)) {
        *error += QStringLiteral("\n") + logText().right(2000);
        stop();
        return false;
    }
    m_port = wsPort;
    return true;
}

bool JanusProcess::waitReady(quint16 wsPort, int timeoutMs, QString *error)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        if (m_process.state() != QProcess::Running) {
            *error = QStringLiteral("janus exited during start-up");
            return false;
        }
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, wsPort);
        if (probe.waitForConnected(200))
            return true;
        QThread::msleep(100);
    }
    *error = QStringLiteral("janus did not open its WebSocket port in time");
    return false;
}

void JanusProcess::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        // It sometimes ignores TERM while plugins shut down.
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
    m_port = 0;
}

QUrl JanusProcess::url() const
{
    if (m_port == 0)
        return {};
    return QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(m_port));
}

qint64 JanusProcess::pid() const
{
    return m_process.processId();
}

QString JanusProcess::logText() const
{
    if (!m_dir)
        return {};
    QFile f(m_dir->filePath(QStringLiteral("janus.log")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace meetingjanus
