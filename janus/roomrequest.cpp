#include "roomrequest.h"
#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkRequest>

namespace meetingjanus {

namespace {
const QString kJanus = QStringLiteral("janus");

QJsonObject pluginData(const QJsonObject &message)
{
    return message.value(QStringLiteral("plugindata"))
        .toObject()
        .value(QStringLiteral("data"))
        .toObject();
}

quint64 idOf(const QJsonObject &message)
{
    return quint64(
        message.value(QStringLiteral("data")).toObject().value(QStringLiteral("id")).toDouble());
}

// Janus's own reason, or the plugin's; empty when the answer is a success.
QString refusal(const QJsonObject &message)
{
    if (message.value(kJanus).toString() == QStringLiteral("error"))
        return message.value(QStringLiteral("error"))
            .toObject()
            .value(QStringLiteral("reason"))
            .toString(QStringLiteral("Janus refused the request"));
    return pluginData(message).value(QStringLiteral("error")).toString();
}
} // namespace

RoomRequest::RoomRequest(const QJsonObject &body, Done done, QObject *parent)
    : QObject(parent), m_socket(QString(), QWebSocketProtocol::VersionLatest, this), m_body(body),
      m_done(std::move(done))
{
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this,
            [this] { finish(false, {}, QStringLiteral("Janus did not answer in time")); });
    connect(&m_socket, &QWebSocket::connected, this, [this] {
        sendStep({{kJanus, QStringLiteral("create")}});
    });
    connect(&m_socket, &QWebSocket::textMessageReceived, this, &RoomRequest::onText);
    // A refused connection may report its end before its error.
    const auto lost = [this] {
        finish(false, {},
               m_step == 0 ? QStringLiteral("Janus is unreachable: %1").arg(m_socket.errorString())
                           : QStringLiteral("Janus closed the connection"));
    };
    connect(&m_socket, &QWebSocket::disconnected, this, lost);
    connect(&m_socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this, lost);
}

RoomRequest::~RoomRequest()
{
    // Dropped with its context: the socket's last signals must not reach a request half gone.
    disconnect(&m_socket, nullptr, this, nullptr);
}

void RoomRequest::send(const QUrl &janus, const QJsonObject &body, int timeoutMs, QObject *context,
                       Done done)
{
    auto *request = new RoomRequest(body, std::move(done), context);
    // Even a refusal at once reaches `done` from the event loop, never inside this call.
    QMetaObject::invokeMethod(
        request, [request, janus, timeoutMs] { request->open(janus, timeoutMs); },
        Qt::QueuedConnection);
}

bool RoomRequest::sendAndWait(const QUrl &janus, const QJsonObject &body, QJsonObject *data,
                              QString *error, int timeoutMs)
{
    QEventLoop loop;
    bool result = false;
    send(janus, body, timeoutMs, &loop,
         [&](bool ok, const QJsonObject &answer, const QString &why) {
             result = ok;
             if (data)
                 *data = answer;
             if (error)
                 *error = why;
             loop.quit();
         });
    loop.exec();
    return result;
}

QJsonObject RoomRequest::create(quint64 room, const QString &secret, int publishers)
{
    return {{QStringLiteral("request"), QStringLiteral("create")},
            {QStringLiteral("room"), double(room)},
            {QStringLiteral("secret"), secret},
            {QStringLiteral("publishers"), publishers}};
}

QJsonObject RoomRequest::destroy(quint64 room, const QString &secret)
{
    return {{QStringLiteral("request"), QStringLiteral("destroy")},
            {QStringLiteral("room"), double(room)},
            {QStringLiteral("secret"), secret}};
}

QJsonObject RoomRequest::exists(quint64 room)
{
    return {{QStringLiteral("request"), QStringLiteral("exists")},
            {QStringLiteral("room"), double(room)}};
}

void RoomRequest::open(const QUrl &janus, int timeoutMs)
{
    m_timeout.start(timeoutMs);
    QNetworkRequest request(janus);
    // Qt 6.4 has no sub-protocol option; Janus answers only this one.
    request.setRawHeader("Sec-WebSocket-Protocol", "janus-protocol");
    m_socket.open(request);
}

void RoomRequest::sendStep(QJsonObject message)
{
    message.insert(QStringLiteral("transaction"), QString::number(++m_step));
    if (m_session != 0)
        message.insert(QStringLiteral("session_id"), double(m_session));
    m_socket.sendTextMessage(
        QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
}

// Session, plugin handle, then the request itself; acks and events for other transactions
// are not answers.
void RoomRequest::onText(const QString &text)
{
    const QJsonObject m = QJsonDocument::fromJson(text.toUtf8()).object();
    if (m.value(QStringLiteral("transaction")).toString() != QString::number(m_step) ||
        m.value(kJanus).toString() == QStringLiteral("ack"))
        return;
    const QString why = refusal(m);
    if (!why.isEmpty())
        return finish(false, pluginData(m), why);
    if (m_step == 1) {
        m_session = idOf(m);
        sendStep({{kJanus, QStringLiteral("attach")},
                  {QStringLiteral("plugin"), QStringLiteral("janus.plugin.videoroom")}});
    } else if (m_step == 2) {
        m_handle = idOf(m);
        sendStep({{kJanus, QStringLiteral("message")},
                  {QStringLiteral("handle_id"), double(m_handle)},
                  {QStringLiteral("body"), m_body}});
    } else {
        finish(true, pluginData(m), {});
    }
}

void RoomRequest::finish(bool ok, const QJsonObject &data, const QString &error)
{
    if (!m_done)
        return;
    m_timeout.stop();
    disconnect(&m_socket, nullptr, this, nullptr);
    if (m_session != 0 && m_socket.state() == QAbstractSocket::ConnectedState)
        sendStep({{kJanus, QStringLiteral("destroy")}});
    m_socket.close();
    const Done done = std::exchange(m_done, {});
    deleteLater();
    done(ok, data, error);
}

} // namespace meetingjanus
