#include "connection.h"
#include "wireformat.h"

Connection::Connection(QWebSocket *socket, qint64 maxFrame, QObject *parent)
    : QObject(parent), m_socket(socket), m_maxFrame(maxFrame)
{
    socket->setParent(this);
    connect(socket, &QWebSocket::binaryMessageReceived, this, &Connection::onBinary);
    connect(socket, &QWebSocket::textMessageReceived, this,
            [this](const QString &) { answer(0, 0, BadFrame); });
    connect(socket, &QWebSocket::disconnected, this, [this] { emit closed(this); });
}

Connection::~Connection() = default;

void Connection::onBinary(const QByteArray &frame)
{
    if (frame.size() > m_maxFrame)
        return answer(0, 0, TooLarge);
    im::wire::Envelope envelope;
    if (!envelope.ParseFromArray(frame.constData(), int(frame.size())) ||
        envelope.request_id() == 0)
        return answer(envelope.request_id(), envelope.command(), BadFrame);
    emit request(this, envelope);
}

void Connection::answer(quint64 requestId, int command, int code, const QByteArray &body)
{
    im::wire::Envelope e;
    e.set_request_id(requestId);
    e.set_command(command);
    e.set_code(code);
    e.set_payload(body.toStdString());
    send(e);
}

QByteArray Connection::pushFrame(im::wire::PushKind kind, const QByteArray &payload)
{
    im::wire::Envelope e;
    e.set_push(kind);
    e.set_payload(payload.toStdString());
    return wire::bytesOf(e);
}

void Connection::sendFrame(const QByteArray &frame)
{
    if (m_socket)
        m_socket->sendBinaryMessage(frame);
}

void Connection::send(const im::wire::Envelope &e)
{
    sendFrame(wire::bytesOf(e));
}
