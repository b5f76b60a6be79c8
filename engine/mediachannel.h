#pragma once
#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <QVariantList>
#include <QWebSocket>

namespace qtwebrtc {

class Broadcaster;

// The engine's control channel to a media server: what the engine is asked to do goes out as
// one JSON message, what the server reports comes back as the engine's signals. Lives on the
// engine's thread, as a child of its engine. Both engine libraries build it.
class MediaChannel : public QObject
{
    Q_OBJECT
public:
    MediaChannel(Broadcaster *engine, const QUrl &url);

    // One recorded engine call; calls the server does not need are ignored.
    void forward(const QString &name, const QVariantList &args);

private:
    void send(const char *kind, QJsonObject fields);
    void onText(const QString &text);
    void dispatch(const QString &kind, const QJsonObject &m);
    void onDisconnected();
    void stop();

    Broadcaster *m_engine;
    QUrl m_url;
    QWebSocket m_socket;
    QTimer m_retry;
    int m_retryMs = 250;
    bool m_joined = false;
    bool m_inRoom = false;
    QStringList m_outbox;
    bool m_stopped = false;
};

} // namespace qtwebrtc
