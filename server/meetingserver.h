#pragma once
#include "directory.h"
#include "mediagate.h"
#include "mediarooms.h"
#include "mediatoken.h"
#include "pushbatcher.h"
#include "store.h"
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QWebSocketServer>
#include <memory>

class Connection;
class Room;

// The server process's network face: one WebSocket port for the request channel ("/im") and
// the media control channel ("/media/"), loopback unless told otherwise.
class MeetingServer : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        QHostAddress address = QHostAddress::LocalHost;
        quint16 port = 0;
        QString database;
        QString config;
        qint64 maxFrame = 1 << 20;
        qint64 tokenLifetimeSecs = 12 * 3600;
        // Where the media certificate is made and kept; the TLS port of the media server.
        QString certDir;
        quint16 mediaPort = 0;
        qint64 maxLogBytesPerAccount = 16 << 20;
        // Record pushes of one meeting within this time are merged into one.
        int pushWindowMs = 200;
        // A Janus WebSocket address: each meeting then gets a VideoRoom there, and media
        // server URLs name it. Joins wait at most `janusTimeoutMs` for a room being made.
        QUrl janus;
        int janusTimeoutMs = 5000;
    };
    static constexpr int kSignIn = 1;
    static constexpr int kJoin = 234;

    explicit MeetingServer(QObject *parent = nullptr);
    ~MeetingServer() override;

    // Opens the store, seeds it from the config and starts listening; false with a reason.
    bool start(const Options &options, QString *error);
    quint16 port() const { return m_server.serverPort(); }
    quint16 mediaPort() const { return m_gate ? m_gate->port() : 0; }

signals:
    // What arrived at the web endpoints, one line each; never a token.
    void reported(const QString &line);

private:
    struct HeldPush
    {
        QList<qint64> recipients;
        im::wire::PushKind kind;
        QByteArray payload;
        QString mergeKey;
    };

    bool seed(const QString &configPath, QString *error);
    void onNewConnection();
    void onRequest(Connection *c, const im::wire::Envelope &e);
    void signIn(Connection *c, const im::wire::Envelope &e);
    void hold(const QList<qint64> &recipients, im::wire::PushKind kind, const QByteArray &payload,
              const QString &mergeKey);
    void deliver(const QList<qint64> &recipients, im::wire::PushKind kind,
                 const QByteArray &payload);
    void watchMediaRooms();
    bool waitsForRoom(Connection *c, const im::wire::Envelope &e);
    void resumeJoins(const QString &meetingId, bool roomMade);
    void acceptMedia(QWebSocket *socket);
    Room *room(const QString &meetingId);
    QString mediaUrl(const QString &meetingId, qint64 uid) const;
    int onWebRequest(const MediaGate::Request &request);

    Options m_options;
    QWebSocketServer m_server;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<MediaToken> m_tokens;
    Directory *m_directory = nullptr;
    MediaGate *m_gate = nullptr;
    PushBatcher *m_batcher = nullptr;
    QMultiHash<qint64, Connection *> m_signedIn;
    QHash<QString, Room *> m_rooms;
    QList<HeldPush> *m_held = nullptr;
    MediaRooms *m_mediaRooms = nullptr;
    struct WaitingJoin
    {
        QPointer<Connection> connection;
        im::wire::Envelope request;
    };
    QHash<QString, QList<WaitingJoin>> m_waitingJoins;
};
