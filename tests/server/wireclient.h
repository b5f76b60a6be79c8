#pragma once
#include "meeting.pb.h"
#include "wire.pb.h"
#include "wireformat.h"
#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>
#include <QWebSocket>
#include <functional>

// The request channel spoken by hand, as an untrusted client or a test needs it.
namespace wireclient {
using wire::bytesOf;

inline QByteArray envelope(quint64 id, int command, const QByteArray &payload = {})
{
    im::wire::Envelope e;
    e.set_request_id(id);
    e.set_command(command);
    e.set_payload(payload.toStdString());
    return bytesOf(e);
}

inline QByteArray signIn(qint64 account, const char *token)
{
    im::wire::SignInReq r;
    r.set_account_id(account);
    r.set_token(token);
    return bytesOf(r);
}

inline void waitUntil(const std::function<bool()> &done)
{
    QDeadlineTimer deadline(5000);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(10);
}

// One raw connection to the server, as an untrusted client would hold it.
class Wire
{
public:
    bool open(const QUrl &url)
    {
        QObject::connect(&m_socket, &QWebSocket::binaryMessageReceived,
                         [this](const QByteArray &f) { m_frames.append(f); });
        QObject::connect(&m_socket, &QWebSocket::textMessageReceived,
                         [this](const QString &t) { m_texts.append(t); });
        QSignalSpy connected(&m_socket, &QWebSocket::connected);
        m_socket.open(url);
        return connected.wait(5000);
    }
    // The next answer or refusal, or a code of -1 when none came.
    im::wire::Envelope next()
    {
        waitUntil([this] { return !m_frames.isEmpty(); });
        im::wire::Envelope e;
        e.set_code(-1);
        if (!m_frames.isEmpty()) {
            const QByteArray f = m_frames.takeFirst();
            e.ParseFromArray(f.constData(), int(f.size()));
        }
        return e;
    }
    QJsonObject nextText()
    {
        waitUntil([this] { return !m_texts.isEmpty(); });
        return m_texts.isEmpty() ? QJsonObject()
                                 : QJsonDocument::fromJson(m_texts.takeFirst().toUtf8()).object();
    }
    // Skips pushes.
    im::wire::Envelope answer()
    {
        im::wire::Envelope e = next();
        while (e.code() != -1 && e.push() != im::wire::NO_PUSH)
            e = next();
        return e;
    }
    // One request and its answer, pushes skipped.
    im::wire::Envelope ask(int command, const QByteArray &payload)
    {
        m_socket.sendBinaryMessage(envelope(++m_lastId, command, payload));
        return answer();
    }
    im::wire::CreateMeetingResp createMeeting(const char *dialogId, const char *clientId = "")
    {
        im::meeting::CreateMeetingReq create;
        create.mutable_invite_message()->set_dialog_id(dialogId);
        create.mutable_invite_message()->set_client_id(clientId);
        im::wire::CreateMeetingResp resp;
        resp.ParseFromString(ask(231, bytesOf(create)).payload());
        return resp;
    }
    // The join's answer; its media server URL when `url` is given and the join succeeded.
    im::wire::Envelope join(const im::wire::CreateMeetingResp &meeting, QString *url = nullptr)
    {
        im::meeting::JoinMeetingReq join;
        join.set_meeting_id(meeting.meeting().id());
        join.set_nonce(meeting.nonce());
        const im::wire::Envelope answer = ask(234, bytesOf(join));
        im::meeting::JoinMeetingResp resp;
        if (url && answer.code() == 0 && resp.ParseFromString(answer.payload()))
            *url = QString::fromStdString(resp.media_server_url());
        return answer;
    }

    QWebSocket m_socket;
    quint64 m_lastId = 0;
    QList<QByteArray> m_frames;
    QList<QString> m_texts;
};
} // namespace wireclient

using namespace wireclient;
