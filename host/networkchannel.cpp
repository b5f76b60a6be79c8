#include "networkchannel.h"
#include <QEventLoop>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcChannel, "im.host.channel")

namespace {
constexpr int kMaxRetryMs = 8000;
}

NetworkChannel::NetworkChannel(AccountBase *account, const QUrl &serverUrl, const QByteArray &token,
                               QObject *parent)
    : QObject(parent), m_account(account), m_url(serverUrl), m_token(token)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] { m_socket.open(m_url); });
    connect(&m_socket, &QWebSocket::connected, this, &NetworkChannel::onConnected);
    connect(&m_socket, &QWebSocket::disconnected, this, &NetworkChannel::onDisconnected);
    connect(&m_socket, &QWebSocket::binaryMessageReceived, this, &NetworkChannel::onFrame);
}

NetworkChannel::~NetworkChannel()
{
    m_open = false;
    m_socket.disconnect(this);
    m_socket.abort();
    failAll();
}

void NetworkChannel::open()
{
    m_account->setRemoteServer(
        [this](int commandId, const QByteArray &payload, AccountBase::Callback callback) {
            request(commandId, payload, std::move(callback));
        });
    m_account->setSyncServer([this](int commandId, const QByteArray &payload) {
        return requestSync(commandId, payload);
    });
    m_open = true;
    m_socket.open(m_url);
}

void NetworkChannel::close()
{
    m_open = false;
    m_retry.stop();
    m_socket.close();
    failAll();
}

void NetworkChannel::request(int commandId, const QByteArray &payload,
                             AccountBase::Callback callback)
{
    if (!m_open || (!m_signedIn && m_socket.state() == QAbstractSocket::UnconnectedState)) {
        // Answers never arrive inside the call that asked.
        QTimer::singleShot(0, this, [callback] {
            if (callback)
                callback(ConnectionLost, {});
        });
        return;
    }
    if (!m_signedIn) {
        m_queued.append({commandId, payload, std::move(callback)});
        return;
    }
    const quint64 id = m_nextId++;
    m_pending.insert(id, std::move(callback));
    send(id, commandId, payload);
}

QVariantMap NetworkChannel::requestSync(int commandId, const QByteArray &payload, int timeoutMs)
{
    QEventLoop loop;
    QVariantMap answer{{QStringLiteral("code"), int(TimedOut)}};
    bool done = false;
    request(commandId, payload, [&](int code, const QByteArray &body) {
        if (done)
            return;
        done = true;
        answer = {{QStringLiteral("code"), code}};
        im::wire::CreateMeetingResp resp;
        if (code == 0 && resp.ParseFromArray(body.constData(), int(body.size()))) {
            QByteArray meeting(int(resp.meeting().ByteSizeLong()), Qt::Uninitialized);
            resp.meeting().SerializeToArray(meeting.data(), int(meeting.size()));
            answer.insert(QStringLiteral("meeting"), meeting);
            answer.insert(QStringLiteral("nonce"), QString::fromStdString(resp.nonce()));
        }
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!done)
        loop.exec();
    // A late answer must not write into this finished frame.
    done = true;
    return answer;
}

void NetworkChannel::send(quint64 id, int commandId, const QByteArray &payload)
{
    im::wire::Envelope e;
    e.set_request_id(id);
    e.set_command(commandId);
    e.set_payload(payload.toStdString());
    QByteArray bytes(int(e.ByteSizeLong()), Qt::Uninitialized);
    e.SerializeToArray(bytes.data(), int(bytes.size()));
    m_socket.sendBinaryMessage(bytes);
}

void NetworkChannel::onConnected()
{
    im::wire::SignInReq req;
    req.set_account_id(m_account->accountId());
    req.set_token(m_token.toStdString());
    req.set_device_id(m_account->deviceId());
    QByteArray bytes(int(req.ByteSizeLong()), Qt::Uninitialized);
    req.SerializeToArray(bytes.data(), int(bytes.size()));
    m_signInId = m_nextId++;
    send(m_signInId, kSignIn, bytes);
}

void NetworkChannel::onDisconnected()
{
    const bool wasSignedIn = m_signedIn;
    m_signedIn = false;
    failAll();
    if (wasSignedIn)
        emit connectionLost();
    if (!m_open)
        return;
    m_retry.start(m_retryMs);
    m_retryMs = std::min(m_retryMs * 2, kMaxRetryMs);
}

void NetworkChannel::failAll()
{
    // Callbacks may send new requests; work on copies.
    const QHash<quint64, AccountBase::Callback> pending = std::exchange(m_pending, {});
    const QList<Queued> queued = std::exchange(m_queued, {});
    for (const AccountBase::Callback &cb : pending) {
        if (cb)
            cb(ConnectionLost, {});
    }
    for (const Queued &q : queued) {
        if (q.callback)
            q.callback(ConnectionLost, {});
    }
}

void NetworkChannel::onFrame(const QByteArray &frame)
{
    im::wire::Envelope e;
    if (!e.ParseFromArray(frame.constData(), int(frame.size()))) {
        qCWarning(lcChannel) << "an unreadable frame from the server was dropped";
        return;
    }
    const QByteArray payload = QByteArray::fromStdString(e.payload());
    if (e.request_id() == 0) {
        if (e.push() != im::wire::NO_PUSH)
            emit pushReceived(e.push(), payload);
        else
            qCWarning(lcChannel) << "the server refused a frame, code" << e.code();
        return;
    }
    if (e.request_id() == m_signInId) {
        im::wire::SignInResp resp;
        if (e.code() != 0 || !resp.ParseFromArray(payload.constData(), int(payload.size()))) {
            emit signInRefused(e.code());
            return;
        }
        m_signedIn = true;
        m_retryMs = 250;
        emit signedIn(resp);
        const QList<Queued> queued = std::exchange(m_queued, {});
        for (const Queued &q : queued)
            request(q.commandId, q.payload, q.callback);
        return;
    }
    const AccountBase::Callback cb = m_pending.take(e.request_id());
    if (cb)
        cb(e.code(), payload);
}
