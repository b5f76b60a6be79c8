#include "mediagate.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSslKey>
#include <QSslSocket>
#include <QWebSocket>

namespace {
constexpr qint64 kMaxHead = 16 * 1024;

QString keyPath(const QString &dir)
{
    return QDir(dir).filePath(QStringLiteral("media-key.pem"));
}
} // namespace

MediaGate::MediaGate(Handler handler, qint64 maxBody, QObject *parent)
    : QObject(parent), m_handler(std::move(handler)), m_maxBody(maxBody),
      m_upgrades(QStringLiteral("media"), QWebSocketServer::NonSecureMode)
{
    connect(&m_upgrades, &QWebSocketServer::newConnection, this, [this] {
        while (QWebSocket *s = m_upgrades.nextPendingConnection())
            emit mediaConnection(s);
    });
    connect(&m_tls, &QTcpServer::pendingConnectionAvailable, this, [this] {
        while (auto *s = qobject_cast<QSslSocket *>(m_tls.nextPendingConnection())) {
            connect(s, &QSslSocket::readyRead, this, [this, s] { onReadable(s); });
            connect(s, &QSslSocket::disconnected, s, &QObject::deleteLater);
        }
    });
}

QString MediaGate::certificatePath(const QString &dir)
{
    return QDir(dir).filePath(QStringLiteral("media-cert.pem"));
}

bool MediaGate::ensureCertificate(const QString &dir, QString *error)
{
    if (QFile::exists(certificatePath(dir)) && QFile::exists(keyPath(dir)))
        return true;
    // A self-signed certificate for the loopback address, made once and kept, so clients
    // told to trust it keep trusting the server across restarts.
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                   QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-keyout"), keyPath(dir), QStringLiteral("-out"),
                   certificatePath(dir), QStringLiteral("-days"), QStringLiteral("30"),
                   QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                   QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=IP:127.0.0.1,DNS:localhost")});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) {
        *error = QStringLiteral("the media certificate could not be made");
        return false;
    }
    QFile::setPermissions(keyPath(dir), QFile::ReadOwner | QFile::WriteOwner);
    return true;
}

bool MediaGate::listen(const QString &certDir, const QHostAddress &address, quint16 port,
                       QString *error)
{
    QFile certFile(certificatePath(certDir));
    QFile keyFile(keyPath(certDir));
    if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("the media certificate cannot be read");
        return false;
    }
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificate(QSslCertificate(&certFile, QSsl::Pem));
    config.setPrivateKey(QSslKey(&keyFile, QSsl::Ec, QSsl::Pem));
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_tls.setSslConfiguration(config);
    if (!m_tls.listen(address, port)) {
        *error = m_tls.errorString();
        return false;
    }
    return true;
}

void MediaGate::onReadable(QSslSocket *socket)
{
    const QByteArray head = socket->peek(kMaxHead);
    const qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0) {
        if (head.size() >= kMaxHead)
            answer(socket, 431);
        return;
    }
    if (head.left(end).toLower().contains("upgrade: websocket")) {
        socket->disconnect(this);
        m_upgrades.handleConnection(socket);
        return;
    }
    const QList<QByteArray> lines = head.left(end).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    qint64 length = 0;
    for (const QByteArray &line : lines) {
        if (line.toLower().startsWith("content-length:"))
            length = line.mid(15).trimmed().toLongLong();
    }
    if (requestLine.size() != 3 || length < 0 || length > m_maxBody)
        return answer(socket, length > m_maxBody ? 413 : 400);
    if (socket->bytesAvailable() < end + 4 + length)
        return;
    socket->read(end + 4);
    Request r;
    r.method = QString::fromLatin1(requestLine[0]);
    const QString target = QString::fromLatin1(requestLine[1]);
    r.path = target.section(QLatin1Char('?'), 0, 0);
    r.query = target.section(QLatin1Char('?'), 1);
    r.body = socket->read(length);
    answer(socket, m_handler(r));
}

void MediaGate::answer(QSslSocket *socket, int status)
{
    socket->disconnect(this);
    socket->write(QByteArrayLiteral("HTTP/1.1 ") + QByteArray::number(status) +
                  QByteArrayLiteral(" \r\nContent-Length: 0\r\nConnection: close\r\n\r\n"));
    socket->disconnectFromHost();
}
