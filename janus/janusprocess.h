#pragma once
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>

namespace meetingjanus {

// One private Janus instance for a test, benchmark or demo: VideoRoom over WebSockets only,
// bound to 127.0.0.1 on a free port, configured in a temporary folder and stopped by its PID.
class JanusProcess
{
public:
    JanusProcess();
    ~JanusProcess();
    JanusProcess(const JanusProcess &) = delete;
    JanusProcess &operator=(const JanusProcess &) = delete;

    // Empty when Janus and the plugin and transport we use are installed; otherwise why not.
    static QString missingReason();

    // Blocks until Janus accepts WebSocket connections or `timeoutMs` runs out.
    bool start(QString *error, int timeoutMs = 15000);
    // TERM, then KILL if it is still there after a grace period; safe to call twice.
    void stop();

    QUrl url() const;
    qint64 pid() const;
    QString logText() const;

private:
    bool writeConfig(quint16 wsPort, quint16 rtpBase, QString *error);
    bool waitReady(quint16 wsPort, int timeoutMs, QString *error);

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

} // namespace meetingjanus
