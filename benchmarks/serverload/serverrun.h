#pragma once
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The meeting server as a process of its own, with a temporary database and the accounts of
// a config. Stopped by its PID when the object goes, so a failed run leaves nothing behind.
class ServerRun
{
public:
    ServerRun() = default;
    ServerRun(const ServerRun &) = delete;
    ServerRun &operator=(const ServerRun &) = delete;
    ~ServerRun() { stop(); }

    // Starts `program` on a free loopback port and waits, at most `timeoutMs`, until it listens.
    bool start(const QString &program, const QByteArray &config, int timeoutMs, QString *error);
    void stop();

    quint16 port() const { return m_port; }
    QString certificate() const;
    // From /proc: the resident high-water mark and the CPU time used so far.
    qint64 peakMemoryKiB() const;
    double cpuSeconds() const;

private:
    QString readLine(int timeoutMs);

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};
