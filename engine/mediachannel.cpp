#include "mediachannel.h"
// Angle brackets: each engine library finds its own header, as this file builds into both.
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <algorithm>
#include <broadcaster.h>
#include <utility>

Q_LOGGING_CATEGORY(lcMedia, "im.engine.media")

namespace qtwebrtc {

namespace {
qint64 id(const QJsonValue &v)
{
    // Protobuf's JSON form writes 64-bit numbers as strings.
    return v.isString() ? v.toString().toLongLong() : qint64(v.toDouble());
}

QByteArray bytes(const QJsonValue &v)
{
    return QByteArray::fromBase64(v.toString().toLatin1());
}

QString str(qint64 v)
{
    return QString::number(v);
}

constexpr int kMaxRetryMs = 8000;
constexpr int kMaxOutbox = 256;
} // namespace

MediaChannel::MediaChannel(Broadcaster *engine, const QUrl &url)
    : QObject(engine), m_engine(engine), m_url(url)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] { m_socket.open(m_url); });
    connect(&m_socket, &QWebSocket::textMessageReceived, this, &MediaChannel::onText);
    connect(&m_socket, &QWebSocket::disconnected, this, &MediaChannel::onDisconnected);
    m_socket.open(m_url);
}

void MediaChannel::send(const char *kind, QJsonObject fields)
{
    fields.insert(QStringLiteral("kind"), QLatin1String(kind));
    const QString text = QString::fromUtf8(QJsonDocument(fields).toJson(QJsonDocument::Compact));
    // What the user did while the connection was away is sent once the room is back.
    if (!m_inRoom) {
        if (m_outbox.size() < kMaxOutbox)
            m_outbox.append(text);
        return;
    }
    m_socket.sendTextMessage(text);
}

void MediaChannel::forward(const QString &name, const QVariantList &a)
{
    const QString self = str(m_engine->userId());
    auto uid = [&a](int i) {
        return str(a.value(i).toLongLong());
    };
    if (name == QLatin1String("leave")) {
        send("LEAVE", {{QStringLiteral("flag"), a.value(0).toBool()}});
        stop();
        emit m_engine->sigNotifyLeave(m_engine->userId());
    } else if (name == QLatin1String("closeWebrtc")) {
        stop();
    } else if (name == QLatin1String("setMute")) {
        send("MUTE", {{QStringLiteral("flag"), a.value(0).toBool()},
                      {QStringLiteral("uid"), a.value(1).toLongLong() ? uid(1) : self},
                      {QStringLiteral("type"), a.value(2).toInt()}});
    } else if (name == QLatin1String("setMuteAll")) {
        send("MUTE_ALL", {{QStringLiteral("flag"), a.value(0).toBool()},
                          {QStringLiteral("status"), a.value(1).toBool() ? 1 : 0},
                          {QStringLiteral("type"), a.value(2).toInt()}});
    } else if (name == QLatin1String("setAllowUnmute")) {
        send("ALLOW_UNMUTE", {{QStringLiteral("flag"), a.value(0).toBool()},
                              {QStringLiteral("type"), a.value(1).toInt()}});
    } else if (name == QLatin1String("kicked")) {
        send("KICK", {{QStringLiteral("uid"), uid(0)}});
    } else if (name == QLatin1String("transfer")) {
        send("TRANSFER", {{QStringLiteral("uid"), uid(0)}});
    } else if (name == QLatin1String("raiseHand")) {
        send("RAISE_HAND", {{QStringLiteral("flag"), a.value(0).toBool()}});
    } else if (name == QLatin1String("inviteSpeak") || name == QLatin1String("agreeSpeak")) {
        send(name == QLatin1String("inviteSpeak") ? "INVITE_SPEAK" : "AGREE_SPEAK",
             {{QStringLiteral("uid"), uid(0)}, {QStringLiteral("flag"), a.value(1).toBool()}});
    } else if (name == QLatin1String("rejectSpeak") || name == QLatin1String("beListener")) {
        send(name == QLatin1String("rejectSpeak") ? "REJECT_SPEAK" : "BE_LISTENER",
             {{QStringLiteral("uid"), uid(0)}});
    } else if (name == QLatin1String("createShare")) {
        send("CREATE_SHARE", {{QStringLiteral("type"), a.value(0).toInt()}});
    } else if (name == QLatin1String("closeShare")) {
        send("CLOSE_SHARE", {{QStringLiteral("text"), a.value(0).toString()}});
    } else if (name == QLatin1String("setSharePremission")) {
        send("SHARE_PERMISSION", {{QStringLiteral("text"), a.value(0).toString()},
                                  {QStringLiteral("flag"), a.value(1).toBool()}});
    } else if (name == QLatin1String("sendData")) {
        send("WHITEBOARD",
             {{QStringLiteral("data"), QString::fromLatin1(a.value(0).toByteArray().toBase64())}});
    }
}

void MediaChannel::onText(const QString &text)
{
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
    if (!doc.isObject()) {
        qCWarning(lcMedia) << "an unreadable media server message was dropped";
        return;
    }
    const QJsonObject m = doc.object();
    dispatch(m.value(QStringLiteral("kind")).toString(), m);
}

void MediaChannel::dispatch(const QString &kind, const QJsonObject &m)
{
    Broadcaster *e = m_engine;
    const qint64 uid = id(m.value(QStringLiteral("uid")));
    const qint64 op = id(m.value(QStringLiteral("operatorId")));
    const qint64 host = id(m.value(QStringLiteral("host")));
    const int type = m.value(QStringLiteral("type")).toInt();
    const bool flag = m.value(QStringLiteral("flag")).toBool();
    const QString text = m.value(QStringLiteral("text")).toString();
    const QByteArray data = bytes(m.value(QStringLiteral("data")));
    if (kind == QLatin1String("ROOM")) {
        m_retryMs = 250;
        m_inRoom = true;
        for (const QString &queued : std::exchange(m_outbox, {}))
            m_socket.sendTextMessage(queued);
        // The server names where the meeting log goes; the log then has its first line.
        if (!text.isEmpty())
            emit e->sigWriteLog(QString(), text);
        emit e->sigWriteLog(QStringLiteral("media room connected\n"), QString());
        if (std::exchange(m_joined, true)) {
            emit e->sigNotifyReconnect(uid, host, data);
            return;
        }
        emit e->sigNotifyJoin(uid, host, data);
        emit e->sigNotifyStateChange(CALL_CONNECTED);
        emit e->sigNotifyReady(uid, data);
        const QJsonArray people =
            QJsonDocument::fromJson(data).object().value(QStringLiteral("attendees")).toArray();
        for (const QJsonValue &p : people) {
            const QJsonObject entry = p.toObject();
            if (id(entry.value(QStringLiteral("id"))) != uid &&
                entry.value(QStringLiteral("status")).toString() == QLatin1String("ACTIVE"))
                emit e->sigNotifyReady(id(entry.value(QStringLiteral("id"))), data);
        }
    } else if (kind == QLatin1String("JOIN")) {
        emit e->sigNotifyJoin(uid, host, data);
        emit e->sigNotifyReady(uid, data);
    } else if (kind == QLatin1String("LEAVE")) {
        if (uid != e->userId())
            emit e->sigNotifyLeave(uid);
    } else if (kind == QLatin1String("MUTE")) {
        emit e->sigNotifyMute(op, uid, m.value(QStringLiteral("status")).toInt(), MuteType(type));
    } else if (kind == QLatin1String("MUTE_ALL")) {
        emit e->sigNotifyMuteAll(flag, MuteType(type));
    } else if (kind == QLatin1String("ALLOW_UNMUTE")) {
        emit e->sigNotifyAllowUnmute(flag, MuteType(type));
    } else if (kind == QLatin1String("KICK")) {
        if (uid == e->userId())
            stop();
        emit e->sigNotifyKicked(op, uid);
    } else if (kind == QLatin1String("TRANSFER")) {
        emit e->sigNotifyTransfer(op, uid);
    } else if (kind == QLatin1String("RAISE_HAND")) {
        emit e->sigNotifyRaiseHand(uid, flag);
    } else if (kind == QLatin1String("INVITE_SPEAK")) {
        emit e->sigNotifyInviteSpeak(op, uid, flag);
    } else if (kind == QLatin1String("AGREE_SPEAK")) {
        emit e->sigNotifyAgreeSpeak(op, uid, flag);
    } else if (kind == QLatin1String("REJECT_SPEAK")) {
        emit e->sigNotifyRejectSpeak(uid);
    } else if (kind == QLatin1String("ROLE")) {
        emit e->sigNotifyRoleChange(uid, text, data);
    } else if (kind == QLatin1String("CREATE_SHARE")) {
        emit e->sigNotifyCreateShare(op, text, ShareType(type));
    } else if (kind == QLatin1String("CLOSE_SHARE")) {
        emit e->sigNotifyCloseShare(op, text);
    } else if (kind == QLatin1String("SHARE_PERMISSION")) {
        emit e->sigNotifySharePremission(text, flag, data);
    } else if (kind == QLatin1String("WHITEBOARD")) {
        auto *message = new im::whiteboard::TransferData;
        if (!message->ParseFromArray(data.constData(), int(data.size()))) {
            delete message;
            return;
        }
        emit e->sigNotifyData(message);
    } else if (kind == QLatin1String("INVITE")) {
        emit e->sigNotifyInvite(uid, op);
    } else if (kind == QLatin1String("REJECT")) {
        emit e->sigNotifyReject(uid);
    } else if (kind == QLatin1String("DISMISS")) {
        stop();
        emit e->sigNotifyDismiss(uid);
    } else if (kind == QLatin1String("ERROR")) {
        const int code = m.value(QStringLiteral("code")).toInt();
        // A refused token or a removal will not get better by retrying.
        if ((code >= ERR_TOKEN_INVALID && code <= ERR_TOKEN_MISSING) || code == ERR_REMOVED)
            stop();
        emit e->sigNotifyError(Error(code), text);
    }
}

void MediaChannel::onDisconnected()
{
    m_inRoom = false;
    if (m_stopped)
        return;
    if (m_joined)
        emit m_engine->sigNotifyStateChange(CALL_CONNECTING);
    m_retry.start(m_retryMs);
    m_retryMs = std::min(m_retryMs * 2, kMaxRetryMs);
}

void MediaChannel::stop()
{
    m_stopped = true;
    m_retry.stop();
    m_socket.close();
}

} // namespace qtwebrtc
