#include "januslink.h"
#include "rtclog.h"
#include <QJsonDocument>
#include <QNetworkRequest>

namespace qtwebrtc::rtc {

namespace {
const QString kJanus = QStringLiteral("janus");

QJsonObject pluginData(const QJsonObject &message)
{
    return message.value(QStringLiteral("plugindata"))
        .toObject()
        .value(QStringLiteral("data"))
        .toObject();
}
} // namespace

JanusLink::JanusLink(QObject *parent)
    : QObject(parent), m_socket(QString(), QWebSocketProtocol::VersionLatest, this)
{
    // Janus drops a session after 60 s of silence.
    m_keepalive.setInterval(10000);
    connect(&m_keepalive, &QTimer::timeout, this, [this] {
        send({{kJanus, QStringLiteral("keepalive")}}, {});
    });
    connect(&m_socket, &QWebSocket::textMessageReceived, this, &JanusLink::onText);
    connect(&m_socket, &QWebSocket::disconnected, this,
            [this] { fail(QStringLiteral("the media server closed the connection")); });
    connect(&m_socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
            [this](QAbstractSocket::SocketError) { fail(m_socket.errorString()); });
    connect(&m_socket, &QWebSocket::connected, this, [this] {
        send({{kJanus, QStringLiteral("create")}}, [this](bool ok, const QJsonObject &m) {
            m_session = quint64(
                m.value(QStringLiteral("data")).toObject().value(QStringLiteral("id")).toDouble());
            if (!ok || m_session == 0)
                return fail(QStringLiteral("the media server refused a session"));
            m_keepalive.start();
            emit ready();
        });
    });
}

JanusLink::~JanusLink()
{
    close();
}

void JanusLink::open(const QUrl &url)
{
    QNetworkRequest request(url);
    // Qt 6.4 has no sub-protocol option; Janus answers only this one.
    request.setRawHeader("Sec-WebSocket-Protocol", "janus-protocol");
    m_closing = false;
    m_socket.open(request);
}

void JanusLink::close()
{
    if (m_closing)
        return;
    m_closing = true;
    m_keepalive.stop();
    m_pending.clear();
    if (m_session != 0)
        send({{kJanus, QStringLiteral("destroy")}}, {});
    m_session = 0;
    m_socket.close();
}

void JanusLink::attach(Reply reply)
{
    send({{kJanus, QStringLiteral("attach")},
          {QStringLiteral("plugin"), QStringLiteral("janus.plugin.videoroom")}},
         std::move(reply));
}

void JanusLink::message(quint64 handle, const QJsonObject &body, const QJsonObject &jsep,
                        Reply reply)
{
    QJsonObject m{{kJanus, QStringLiteral("message")},
                  {QStringLiteral("handle_id"), double(handle)},
                  {QStringLiteral("body"), body}};
    if (!jsep.isEmpty())
        m.insert(QStringLiteral("jsep"), jsep);
    send(m, std::move(reply));
}

void JanusLink::trickle(quint64 handle, const QJsonObject &candidate)
{
    send({{kJanus, QStringLiteral("trickle")},
          {QStringLiteral("handle_id"), double(handle)},
          {QStringLiteral("candidate"), candidate}},
         {});
}

void JanusLink::detach(quint64 handle)
{
    send({{kJanus, QStringLiteral("detach")}, {QStringLiteral("handle_id"), double(handle)}}, {});
}

QString JanusLink::pluginError(const QJsonObject &message, int *code)
{
    const QJsonObject data = pluginData(message);
    if (code)
        *code = data.value(QStringLiteral("error_code")).toInt();
    return data.value(QStringLiteral("error")).toString();
}

void JanusLink::send(QJsonObject message, Reply reply)
{
    if (m_socket.state() != QAbstractSocket::ConnectedState)
        return;
    const QString transaction = QString::number(m_nextTransaction++);
    message.insert(QStringLiteral("transaction"), transaction);
    if (m_session != 0)
        message.insert(QStringLiteral("session_id"), double(m_session));
    if (reply)
        m_pending.insert(transaction, std::move(reply));
    m_socket.sendTextMessage(
        QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
}

void JanusLink::onText(const QString &text)
{
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &parseError);
    if (!doc.isObject()) {
        qCWarning(lcRtc) << "media server sent a message that is not a JSON object";
        return;
    }
    const QJsonObject m = doc.object();
    const QString kind = m.value(kJanus).toString();
    if (kind == QStringLiteral("ack") || kind == QStringLiteral("keepalive"))
        return; // the answer of an asynchronous request follows as an event
    const QString transaction = m.value(QStringLiteral("transaction")).toString();
    if (Reply reply = m_pending.take(transaction)) {
        const bool ok = kind != QStringLiteral("error") && pluginError(m).isEmpty();
        reply(ok, m);
        return;
    }
    const quint64 handle = quint64(m.value(QStringLiteral("sender")).toDouble());
    if (handle != 0)
        emit handleEvent(handle, m);
}

void JanusLink::fail(const QString &reason)
{
    if (m_closing)
        return;
    m_closing = true;
    m_keepalive.stop();
    m_pending.clear();
    m_session = 0;
    emit lost(reason);
}

} // namespace qtwebrtc::rtc
