#pragma once
#include "accountbase.h"
#include "wire.pb.h"
#include <QHash>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>

// The account's request channel over a WebSocket to the meeting server: numbered requests,
// their answers, and pushes. A lost connection fails every pending answer with
// `ConnectionLost` and is retried with growing pauses until `close`.
class NetworkChannel : public QObject
{
    Q_OBJECT
public:
    enum Code { ConnectionLost = 503, TimedOut = 504 };
    static constexpr int kSignIn = 1;

    NetworkChannel(AccountBase *account, const QUrl &serverUrl, const QByteArray &token,
                   QObject *parent = nullptr);
    ~NetworkChannel() override;

    // Installs itself as the account's server and connects.
    void open();
    void close();
    bool isSignedIn() const { return m_signedIn; }
    int retryDelayMs() const { return m_retryMs; }
    void request(int commandId, const QByteArray &payload, AccountBase::Callback callback);
    // Waits for the answer in a local event loop, at most `timeoutMs`.
    QVariantMap requestSync(int commandId, const QByteArray &payload, int timeoutMs = 10000);

signals:
    void signedIn(const im::wire::SignInResp &answer);
    void signInRefused(int code);
    void pushReceived(im::wire::PushKind kind, const QByteArray &payload);
    void connectionLost();

private:
    struct Queued
    {
        int commandId;
        QByteArray payload;
        AccountBase::Callback callback;
    };

    void onConnected();
    void onDisconnected();
    void onFrame(const QByteArray &frame);
    void send(quint64 id, int commandId, const QByteArray &payload);
    void failAll();

    AccountBase *m_account;
    QUrl m_url;
    QByteArray m_token;
    QWebSocket m_socket;
    QTimer m_retry;
    int m_retryMs = 250;
    bool m_open = false;
    bool m_signedIn = false;
    quint64 m_nextId = 1;
    quint64 m_signInId = 0;
    QHash<quint64, AccountBase::Callback> m_pending;
    QList<Queued> m_queued;
};
