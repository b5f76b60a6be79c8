#pragma once
#include <QHash>
#include <QObject>
#include <QSslServer>
#include <QWebSocketServer>
#include <functional>

class QSslSocket;

// The media server's TLS port. A WebSocket upgrade becomes a media control connection; plain
// requests are the web endpoints: the ringing report (GET .../ringing) and the meeting log
// upload (PUT .../log). Both carry the media token's query and are refused without it.
class MediaGate : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        QString method;
        QString path;
        QString query;
        QByteArray body;
    };
    // Returns the HTTP status to answer with.
    using Handler = std::function<int(const Request &request)>;

    MediaGate(Handler handler, qint64 maxBody, QObject *parent = nullptr);

    // Makes the certificate and key in `dir` unless they are there already.
    static bool ensureCertificate(const QString &dir, QString *error);
    static QString certificatePath(const QString &dir);
    bool listen(const QString &certDir, const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const { return m_tls.serverPort(); }

signals:
    void mediaConnection(QWebSocket *socket);

private:
    void onReadable(QSslSocket *socket);
    void answer(QSslSocket *socket, int status);

    Handler m_handler;
    qint64 m_maxBody;
    QSslServer m_tls;
    QWebSocketServer m_upgrades;
};
