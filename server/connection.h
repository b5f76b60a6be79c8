#pragma once
#include "wire.pb.h"
#include <QObject>
#include <QPointer>
#include <QWebSocket>

// One client's request channel: turns frames into typed envelopes and answers refusals that
// happen before a command is known. It never closes the connection over bad input.
class Connection : public QObject
{
    Q_OBJECT
public:
    enum Code { BadFrame = 400, NotSignedIn = 401, TooLarge = 413 };

    Connection(QWebSocket *socket, qint64 maxFrame, QObject *parent = nullptr);
    ~Connection() override;

    qint64 accountId() const { return m_accountId; }
    void setAccountId(qint64 id) { m_accountId = id; }
    void answer(quint64 requestId, int command, int code, const QByteArray &body = {});
    static QByteArray pushFrame(im::wire::PushKind kind, const QByteArray &payload);
    void sendFrame(const QByteArray &frame);

signals:
    void request(Connection *connection, const im::wire::Envelope &envelope);
    void closed(Connection *connection);

private:
    void onBinary(const QByteArray &frame);
    void send(const im::wire::Envelope &e);

    QPointer<QWebSocket> m_socket;
    qint64 m_maxFrame;
    qint64 m_accountId = 0;
};
