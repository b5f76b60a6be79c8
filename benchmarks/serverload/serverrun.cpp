#include "serverrun.h"
#include "../procstat.h"
#include <QDeadlineTimer>
#include <QFile>

bool ServerRun::start(const QString &program, const QByteArray &config, int timeoutMs,
                      QString *error)
{
    QFile f(m_dir.filePath(QStringLiteral("config.json")));
    if (!m_dir.isValid() || !f.open(QIODevice::WriteOnly) || f.write(config) != config.size()) {
        *error = QStringLiteral("the config cannot be written");
        return false;
    }
    f.close();
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program,
                    {QStringLiteral("--db"), m_dir.filePath(QStringLiteral("load.db")),
                     QStringLiteral("--config"), f.fileName(), QStringLiteral("--cert-dir"),
                     m_dir.path(), QStringLiteral("--listen"), QStringLiteral("127.0.0.1")});
    QDeadlineTimer deadline(timeoutMs);
    while (m_port == 0 && !deadline.hasExpired()) {
        const QString line = readLine(int(deadline.remainingTime()));
        if (line.startsWith(QLatin1String("listening ")))
            m_port = quint16(line.section(QLatin1Char(' '), 1).toUInt());
        if (line.isNull() && m_process.state() == QProcess::NotRunning)
            break;
    }
    if (m_port == 0)
        *error = QStringLiteral("the server did not start listening");
    return m_port != 0;
}

QString ServerRun::readLine(int timeoutMs)
{
    if (!m_process.canReadLine() && !m_process.waitForReadyRead(qMax(1, timeoutMs)))
        return {};
    return m_process.canReadLine() ? QString::fromUtf8(m_process.readLine()).trimmed()
                                   : QLatin1String("");
}

void ServerRun::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString ServerRun::certificate() const
{
    return m_dir.filePath(QStringLiteral("media-cert.pem"));
}

qint64 ServerRun::peakMemoryKiB() const
{
    return procstat::peakMemoryKiB(m_process.processId());
}

double ServerRun::cpuSeconds() const
{
    return procstat::cpuSeconds(m_process.processId());
}
