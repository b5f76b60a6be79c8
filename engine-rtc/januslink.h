#pragma once
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>
#include <functional>

namespace qtwebrtc::rtc {

// One Janus session over one WebSocket: requests matched to their answers by transaction,
// keepalives, and plugin events that answer no request.
class JanusLink : public QObject
{
    Q_OBJECT
public:
    // Gets the answer's whole message; an "error" answer or a plugin error comes as `ok` false.
    using Reply = std::function<void(bool ok, const QJsonObject &message)>;

    explicit JanusLink(QObject *parent = nullptr);
    ~JanusLink() override;

    // Connects and creates the session; `ready` or `lost` follows.
    void open(const QUrl &url);
    // Destroys the session (best effort) and closes the socket without reporting `lost`.
    void close();
    bool isReady() const { return m_session != 0; }

    void attach(Reply reply);
    void message(quint64 handle, const QJsonObject &body, const QJsonObject &jsep, Reply reply);
    void trickle(quint64 handle, const QJsonObject &candidate);
    void detach(quint64 handle);

    // The plugin's error, if the message carries one.
    static QString pluginError(const QJsonObject &message, int *code = nullptr);

signals:
    void ready();
    void lost(QString reason);
    // A message for a handle that answers none of our requests (publishers joining, leaving,
    // hang-ups).
    void handleEvent(quint64 handle, QJsonObject message);

private:
    void send(QJsonObject message, Reply reply);
    void onText(const QString &text);
    void fail(const QString &reason);

    QWebSocket m_socket;
    QTimer m_keepalive;
    quint64 m_session = 0;
    quint64 m_nextTransaction = 1;
    QHash<QString, Reply> m_pending;
    bool m_closing = false;
};

} // namespace qtwebrtc::rtc
