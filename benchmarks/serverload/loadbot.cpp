#include "loadbot.h"
#include "meeting.pb.h"
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>
#include <chrono>
#include <cstdio>

namespace {
constexpr int kSignIn = 1;
constexpr int kCreate = 231;
constexpr int kJoin = 234;

template <class Message> QByteArray bytesOf(const Message &m)
{
    QByteArray bytes(int(m.ByteSizeLong()), Qt::Uninitialized);
    m.SerializeToArray(bytes.data(), int(bytes.size()));
    return bytes;
}
} // namespace

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

LoadBot::LoadBot(qint64 uid, QByteArray token, QObject *parent)
    : QObject(parent), m_uid(uid), m_token(std::move(token))
{
    connect(&m_requests, &QWebSocket::binaryMessageReceived, this, &LoadBot::onAnswer);
    connect(&m_requests, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
            [this] { fail("request channel error"); });
    connect(&m_media, &QWebSocket::textMessageReceived, this, &LoadBot::onMedia);
    connect(&m_media, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this, [this] {
        if (m_stage != Stage::Leaving && m_stage != Stage::Left)
            fail("media channel error");
    });
    connect(&m_media, &QWebSocket::disconnected, this, [this] {
        if (m_stage == Stage::Leaving)
            m_stage = Stage::Left;
        else if (m_stage == Stage::Joining || m_stage == Stage::Joined)
            fail("media channel closed");
    });
}

void LoadBot::signIn(const QUrl &requestChannel)
{
    m_stage = Stage::SigningIn;
    connect(&m_requests, &QWebSocket::connected, this, [this] {
        im::wire::SignInReq req;
        req.set_account_id(m_uid);
        req.set_token(m_token.toStdString());
        request(kSignIn, bytesOf(req), [this](const im::wire::Envelope &answer) {
            if (answer.code() != 0)
                return fail("sign-in refused");
            m_stage = Stage::SignedIn;
        });
    });
    m_requests.open(requestChannel);
}

void LoadBot::createMeeting(const QString &dialogId,
                            std::function<void(const QString &, const QString &)> created)
{
    im::meeting::CreateMeetingReq req;
    req.mutable_invite_message()->set_dialog_id(dialogId.toStdString());
    req.mutable_invite_message()->set_content("load-key");
    req.set_text("Load");
    request(kCreate, bytesOf(req), [this, created](const im::wire::Envelope &answer) {
        im::wire::CreateMeetingResp resp;
        if (answer.code() != 0 || !resp.ParseFromString(answer.payload()))
            return fail("create refused");
        created(QString::fromStdString(resp.meeting().id()), QString::fromStdString(resp.nonce()));
    });
}

void LoadBot::join(const QString &meetingId, const QString &nonce, const QSslConfiguration &tls)
{
    m_stage = Stage::Joining;
    m_joinStartNs = nowNs();
    im::meeting::JoinMeetingReq req;
    req.set_meeting_id(meetingId.toStdString());
    req.set_nonce(nonce.toStdString());
    request(kJoin, bytesOf(req), [this, tls](const im::wire::Envelope &answer) {
        im::meeting::JoinMeetingResp resp;
        if (answer.code() != 0 || !resp.ParseFromString(answer.payload()))
            return fail("join refused");
        m_media.setSslConfiguration(tls);
        m_media.open(QNetworkRequest(QUrl(QString::fromStdString(resp.media_server_url()))));
    });
}

void LoadBot::setAudioMuted(bool muted)
{
    const QJsonObject change{{QStringLiteral("kind"), QStringLiteral("MUTE")},
                             {QStringLiteral("type"), 0},
                             {QStringLiteral("flag"), muted}};
    m_media.sendTextMessage(
        QString::fromUtf8(QJsonDocument(change).toJson(QJsonDocument::Compact)));
}

void LoadBot::leave()
{
    m_stage = Stage::Leaving;
    m_media.sendTextMessage(QStringLiteral(R"({"kind":"LEAVE"})"));
}

void LoadBot::request(int command, const QByteArray &payload,
                      std::function<void(const im::wire::Envelope &)> answered)
{
    im::wire::Envelope e;
    e.set_request_id(m_nextRequest);
    e.set_command(command);
    e.set_payload(payload.toStdString());
    m_pending.insert(m_nextRequest++, std::move(answered));
    m_requests.sendBinaryMessage(bytesOf(e));
}

void LoadBot::onAnswer(const QByteArray &frame)
{
    im::wire::Envelope e;
    if (!e.ParseFromArray(frame.constData(), int(frame.size())))
        return fail("unreadable frame");
    // Pushes (request id 0) are the record changes every member hears; nothing here needs them.
    if (e.request_id() == 0)
        return;
    const auto answered = m_pending.take(e.request_id());
    if (answered)
        answered(e);
}

void LoadBot::onMedia(const QString &text)
{
    const qint64 at = nowNs();
    const QJsonObject m = QJsonDocument::fromJson(text.toUtf8()).object();
    const QString kind = m.value(QLatin1String("kind")).toString();
    if (kind == QLatin1String("MUTE")) {
        if (m_muteSeen)
            m_muteSeen(m_uid, m.value(QLatin1String("uid")).toString().toLongLong(),
                       m.value(QLatin1String("status")).toInt(), at);
    } else if (kind == QLatin1String("ROOM") && m_stage == Stage::Joining) {
        m_joinNs = at - m_joinStartNs;
        m_stage = Stage::Joined;
    } else if (kind == QLatin1String("ERROR")) {
        fail("media request refused");
    }
}

void LoadBot::fail(const char *why)
{
    if (m_stage == Stage::Failed)
        return;
    m_stage = Stage::Failed;
    std::fprintf(stderr, "bot %lld: %s\n", static_cast<long long>(m_uid), why);
}
