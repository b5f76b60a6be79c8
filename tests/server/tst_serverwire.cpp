#include "meeting.pb.h"
#include "serverprocess.h"
#include "wireclient.h"
#include <QJsonDocument>
#include <QJsonObject>
#include <QSslConfiguration>
#include <QUrlQuery>

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
    QCOMPARE(w.ask(1, signIn(1001, "token-a")).code(), 0);
    QCOMPARE(w.join(w.createMeeting("grp-team"), &m_mediaUrl).code(), 0);
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
