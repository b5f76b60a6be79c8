#pragma once
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// A program a test starts, read line by line. Stopped by its own PID when the object goes,
// so a failing test leaves nothing running.
class TestProcess
{
public:
    ~TestProcess() { stop(); }

    bool start(const QString &program, const QStringList &args,
               const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, args);
        return m_process.waitForStarted(10000);
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(10000);
    }

    void send(const QString &line)
    {
        m_process.write((line + QLatin1Char('\n')).toUtf8());
        m_process.waitForBytesWritten(1000);
    }

    // Waits, at most `timeoutMs`, for a line that matches; lines before it are consumed.
    QString waitFor(const QString &pattern, int timeoutMs = 20000)
    {
        const QRegularExpression re(pattern);
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            while (m_process.canReadLine()) {
                const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
                m_seen.append(line);
                if (re.match(line).hasMatch())
                    return line;
            }
            if (m_process.state() == QProcess::NotRunning)
                break;
            m_process.waitForReadyRead(int(qMin<qint64>(200, deadline.remainingTime() + 1)));
        }
        qWarning().noquote() << "no line matched" << pattern
                             << "; last lines:" << m_seen.mid(qMax(0, int(m_seen.size()) - 5));
        return {};
    }

private:
    QProcess m_process;
    QStringList m_seen;
};

// A meeting server on a free loopback port with a database and accounts of its own.
class ServerUnderTest
{
public:
    static QByteArray config()
    {
        return QByteArrayLiteral(
            R"({"accounts":[{"id":1001,"token":"token-a"},{"id":1002,"token":"token-b"},)"
            R"({"id":1003,"token":"token-c"}],)"
            R"("conversations":[{"id":"grp-team","group":true,"members":[1001,1002]}]})");
    }

    bool start(quint16 port = 0, quint16 mediaPort = 0, const QStringList &extraArgs = {})
    {
        QFile f(m_dir.filePath(QStringLiteral("config.json")));
        if (!f.open(QIODevice::WriteOnly) || f.write(config()) < 0)
            return false;
        f.close();
        const QStringList args{
            QStringLiteral("--db"),         m_dir.filePath(QStringLiteral("s.db")),
            QStringLiteral("--config"),     f.fileName(),
            QStringLiteral("--port"),       QString::number(port),
            QStringLiteral("--media-port"), QString::number(mediaPort),
            QStringLiteral("--cert-dir"),   m_dir.path()};
        if (!m_process.start(QStringLiteral(MEETINGSERVER_PATH), args + extraArgs))
            return false;
        const QString media = m_process.waitFor(QStringLiteral("^media \\d+$"));
        m_mediaPort = quint16(media.section(QLatin1Char(' '), 1).toUInt());
        const QString ready = m_process.waitFor(QStringLiteral("^listening \\d+$"));
        m_port = quint16(ready.section(QLatin1Char(' '), 1).toUInt());
        return m_port != 0;
    }
    void stop() { m_process.stop(); }
    quint16 port() const { return m_port; }
    quint16 mediaPort() const { return m_mediaPort; }
    QString certificate() const { return m_dir.filePath(QStringLiteral("media-cert.pem")); }
    // Reports of the web endpoints ("ringing …", "log …") arrive here.
    TestProcess &output() { return m_process; }
    QString url() const { return QStringLiteral("ws://127.0.0.1:%1/im").arg(m_port); }
    QString dir() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    TestProcess m_process;
    quint16 m_port = 0;
    quint16 m_mediaPort = 0;
};
