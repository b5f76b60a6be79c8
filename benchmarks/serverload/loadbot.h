#pragma once
#include "wire.pb.h"
#include <QHash>
#include <QObject>
#include <QSslConfiguration>
#include <QWebSocket>
#include <functional>

// One benchmark participant speaking the wire protocol directly: the request channel for
// sign-in, create and join, the media control channel for the room. It keeps nothing of the
// meeting but what the benchmark measures, so the run measures the server, not the clients.
class LoadBot : public QObject
{
    Q_OBJECT
public:
    enum class Stage { Idle, SigningIn, SignedIn, Joining, Joined, Leaving, Left, Failed };
    // A MUTE change that reached this bot: whose, the new state, when it arrived (ns).
    using MuteSeen = std::function<void(qint64 receiver, qint64 uid, int status, qint64 atNs)>;

    LoadBot(qint64 uid, QByteArray token, QObject *parent = nullptr);

    qint64 uid() const { return m_uid; }
    Stage stage() const { return m_stage; }
    // From the join request to the room's arrival on the media channel.
    qint64 joinNs() const { return m_joinNs; }
    void setMuteSeen(MuteSeen seen) { m_muteSeen = std::move(seen); }

    void signIn(const QUrl &requestChannel);
    // Starts a meeting in the conversation; `created` gives its id and nonce.
    void createMeeting(const QString &dialogId,
                       std::function<void(const QString &id, const QString &nonce)> created);
    void join(const QString &meetingId, const QString &nonce, const QSslConfiguration &tls);
    void setAudioMuted(bool muted);
    void leave();

private:
    void request(int command, const QByteArray &payload,
                 std::function<void(const im::wire::Envelope &)> answered);
    void onAnswer(const QByteArray &frame);
    void onMedia(const QString &text);
    void fail(const char *why);

    qint64 m_uid;
    QByteArray m_token;
    QWebSocket m_requests;
    QWebSocket m_media;
    Stage m_stage = Stage::Idle;
    quint64 m_nextRequest = 1;
    QHash<quint64, std::function<void(const im::wire::Envelope &)>> m_pending;
    qint64 m_joinStartNs = 0;
    qint64 m_joinNs = 0;
    MuteSeen m_muteSeen;
};

// The benchmark's one clock, shared by senders and receivers in this process.
qint64 nowNs();
