#include "meeting.pb.h"
#include "serverprocess.h"
#include "wire.pb.h"
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QUrlQuery>
#include <QWebSocket>

namespace {
template <class Message> QByteArray bytesOf(const Message &m)
{
    QByteArray bytes(int(m.ByteSizeLong()), Qt::Uninitialized);
    m.SerializeToArray(bytes.data(), int(bytes.size()));
    return bytes;
}

QByteArray envelope(quint64 id, int command, const QByteArray &payload = {})
{
    im::wire::Envelope e;
    e.set_request_id(id);
    e.set_command(command);
    e.set_payload(payload.toStdString());
    return bytesOf(e);
}

QByteArray signIn(qint64 account, const char *token)
{
    im::wire::SignInReq r;
    r.set_account_id(account);
    r.set_token(token);
    return bytesOf(r);
}

void waitUntil(const std::function<bool()> &done)
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
    QWebSocket m_socket;
    QList<QByteArray> m_frames;
    QList<QString> m_texts;
};
} // namespace

// Whatever a client sends, the server answers with an error and keeps serving that connection.
class tst_ServerWire : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void refusedFrames_data();
    void refusedFrames();
    void mediaRefusals_data();
    void mediaRefusals();

private:
    ServerUnderTest m_server;
    QString m_mediaUrl;
};

void tst_ServerWire::initTestCase()
{
    QVERIFY(m_server.start());
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setCaCertificates(QSslCertificate::fromPath(m_server.certificate()));
    QSslConfiguration::setDefaultConfiguration(tls);
    Wire w;
    QVERIFY(w.open(QUrl(m_server.url())));
    w.m_socket.sendBinaryMessage(envelope(1, 1, signIn(1001, "token-a")));
    QCOMPARE(w.answer().code(), 0);
    im::meeting::CreateMeetingReq create;
    create.mutable_invite_message()->set_dialog_id("grp-team");
    w.m_socket.sendBinaryMessage(envelope(2, 231, bytesOf(create)));
    const im::wire::Envelope created = w.answer();
    QCOMPARE(created.code(), 0);
    im::wire::CreateMeetingResp resp;
    QVERIFY(resp.ParseFromString(created.payload()));
    im::meeting::JoinMeetingReq join;
    join.set_meeting_id(resp.meeting().id());
    join.set_nonce(resp.nonce());
    w.m_socket.sendBinaryMessage(envelope(3, 234, bytesOf(join)));
    const im::wire::Envelope joined = w.answer();
    QCOMPARE(joined.code(), 0);
    im::meeting::JoinMeetingResp joinResp;
    QVERIFY(joinResp.ParseFromString(joined.payload()));
    m_mediaUrl = QString::fromStdString(joinResp.media_server_url());
    QVERIFY(m_mediaUrl.startsWith(QStringLiteral("wss://127.0.0.1:")));
}

void tst_ServerWire::refusedFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("signedIn");
    QTest::addColumn<int>("code");

    QTest::addRow("garbage") << QByteArray("\x0a\xff\xff\xff", 4) << true << 400;
    QTest::addRow("no request id") << envelope(0, 282) << true << 400;
    QTest::addRow("oversized") << QByteArray((1 << 20) + 1, 'x') << true << 413;
    QTest::addRow("text frame") << QByteArray() << true << 400;
    QTest::addRow("unknown command") << envelope(7, 4242) << true << 404;
    QTest::addRow("before sign-in") << envelope(7, 282) << false << 401;
    QTest::addRow("wrong token") << envelope(7, 1, signIn(1002, "token-a")) << false << 401;
    QTest::addRow("unknown account") << envelope(7, 1, signIn(9, "token-a")) << false << 401;
    QTest::addRow("another account's id") << envelope(7, 1, signIn(1002, "token-b")) << true << 401;
    im::meeting::JoinMeetingReq foreign;
    foreign.set_meeting_id("mtg-of-someone-else");
    QTest::addRow("unknown meeting") << envelope(7, 234, bytesOf(foreign)) << true << 404;
}

void tst_ServerWire::refusedFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, signedIn);
    QFETCH(int, code);
    Wire w;
    QVERIFY(w.open(QUrl(m_server.url())));
    if (signedIn) {
        w.m_socket.sendBinaryMessage(envelope(1, 1, signIn(1003, "token-c")));
        QCOMPARE(w.answer().code(), 0);
    }
    if (frame.isEmpty())
        w.m_socket.sendTextMessage(QStringLiteral("hello"));
    else
        w.m_socket.sendBinaryMessage(frame);
    QCOMPARE(w.answer().code(), code);

    // The same connection still serves.
    w.m_socket.sendBinaryMessage(envelope(50, 1, signIn(1003, "token-c")));
    const im::wire::Envelope again = w.answer();
    QCOMPARE(again.request_id(), quint64(50));
    QCOMPARE(again.code(), 0);
    w.m_socket.sendBinaryMessage(envelope(51, 282));
    QCOMPARE(w.answer().code(), 0);
}

void tst_ServerWire::mediaRefusals_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("error");

    QTest::addRow("forged uid") << "uid"
                                << "1002" << 11;
    QTest::addRow("other meeting") << "meeting"
                                   << "mtg-other" << 11;
    QTest::addRow("extended expiry") << "expires"
                                     << "99999999999" << 11;
    QTest::addRow("no token") << "token"
                              << "" << 13;
    QTest::addRow("garbage after joining") << ""
                                           << "" << 30;
}

void tst_ServerWire::mediaRefusals()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(int, error);
    QUrl url(m_mediaUrl);
    QUrlQuery query(url);
    if (!field.isEmpty()) {
        query.removeQueryItem(field);
        query.addQueryItem(field, value);
    }
    url.setQuery(query);
    Wire w;
    QVERIFY(w.open(url));
    if (field.isEmpty()) {
        QCOMPARE(w.nextText().value(QStringLiteral("kind")).toString(), QStringLiteral("ROOM"));
        w.m_socket.sendTextMessage(QStringLiteral("{not json"));
    }
    const QJsonObject refusal = w.nextText();
    QCOMPARE(refusal.value(QStringLiteral("kind")).toString(), QStringLiteral("ERROR"));
    QCOMPARE(refusal.value(QStringLiteral("code")).toInt(), error);
    if (field.isEmpty()) {
        // Still in the room: a mute of its own is echoed.
        w.m_socket.sendTextMessage(QStringLiteral(R"({"kind":"MUTE","flag":true,"type":0})"));
        QCOMPARE(w.nextText().value(QStringLiteral("kind")).toString(), QStringLiteral("MUTE"));
    }
}

QTEST_GUILESS_MAIN(tst_ServerWire)
#include "tst_serverwire.moc"
