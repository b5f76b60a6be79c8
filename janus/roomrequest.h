#pragma once
#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>
#include <functional>

namespace meetingjanus {

// One VideoRoom management request (create, destroy, exists, ...) over a Janus session of its
// own: connect, create the session, attach the plugin, send, answer once, destroy the session.
// Rooms are made and dropped twice per meeting, so a connection per request spares its users
// any session upkeep (keepalives, reconnects).
class RoomRequest : public QObject
{
    Q_OBJECT
public:
    // `data` is the plugin's answer; on failure `error` says why, never quoting the request.
    using Done = std::function<void(bool ok, const QJsonObject &data, const QString &error)>;

    // Sends `body` to the Janus at `janus`; `done` runs exactly once, from the event loop,
    // within `timeoutMs`, unless `context` is destroyed first (which drops the request).
    static void send(const QUrl &janus, const QJsonObject &body, int timeoutMs, QObject *context,
                     Done done);
    // The same, waiting in a local event loop: for tools and tests, never for a server.
    static bool sendAndWait(const QUrl &janus, const QJsonObject &body, QJsonObject *data,
                            QString *error, int timeoutMs = 10000);

    static QJsonObject create(quint64 room, const QString &secret, int publishers = 32);
    static QJsonObject destroy(quint64 room, const QString &secret);
    static QJsonObject exists(quint64 room);

private:
    RoomRequest(const QJsonObject &body, Done done, QObject *parent);
    ~RoomRequest() override;
    void open(const QUrl &janus, int timeoutMs);
    void sendStep(QJsonObject message);
    void onText(const QString &text);
    void finish(bool ok, const QJsonObject &data, const QString &error);

    QWebSocket m_socket;
    QTimer m_timeout;
    QJsonObject m_body;
    Done m_done;
    int m_step = 0;
    quint64 m_session = 0;
    quint64 m_handle = 0;
};

} // namespace meetingjanus
