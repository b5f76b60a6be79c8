// The engine given a meeting server URL: the server's room reports attendees and takes the
// meeting calls, while the media path (absent here) only reports its own failure.
#include "broadcaster.h"
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>
#include <QWebSocket>
#include <QWebSocketServer>
#include <functional>

using namespace qtwebrtc;

namespace {
constexpr qint64 kSelf = 7;
constexpr qint64 kOther = 8;
using Call = std::function<void(Broadcaster &)>;

// One loopback room that records what the engine sends.
struct FakeRoom
{
    QWebSocketServer server{QStringLiteral("room"), QWebSocketServer::NonSecureMode};
    QWebSocket *peer = nullptr;
    QList<QJsonObject> received;

    FakeRoom()
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QWebSocketServer::newConnection, &server, [this] {
            peer = server.nextPendingConnection();
            peer->setParent(&server);
            QObject::connect(peer, &QWebSocket::textMessageReceived, &server,
                             [this](const QString &text) {
                                 received.append(QJsonDocument::fromJson(text.toUtf8()).object());
                             });
        });
    }
    QString url(bool withToken) const
    {
        return QStringLiteral("ws://127.0.0.1:%1/media/?meeting=m&uid=7%2")
            .arg(server.serverPort())
            .arg(withToken ? QStringLiteral("&token=t") : QString());
    }
    void send(const QJsonObject &m)
    {
        peer->sendTextMessage(QString::fromUtf8(QJsonDocument(m).toJson()));
    }
    void sendRoom()
    {
        const QByteArray info = QJsonDocument::fromJson(R"({"attendees":[
            {"id":7,"status":"ACTIVE"},{"id":8,"status":"ACTIVE"},{"id":9,"status":"INVITED"}]})")
                                    .toJson(QJsonDocument::Compact);
        send({{QStringLiteral("kind"), QStringLiteral("ROOM")},
              {QStringLiteral("uid"), QStringLiteral("7")},
              {QStringLiteral("host"), QStringLiteral("7")},
              {QStringLiteral("data"), QString::fromLatin1(info.toBase64())}});
    }
};
} // namespace

Q_DECLARE_METATYPE(Call)

class TestRtcControl : public QObject
{
    Q_OBJECT
private slots:
    void serverReportsAttendees();
    void callsReachTheServer_data();
    void callsReachTheServer();
    void directUrlOpensNoRoom();
};

void TestRtcControl::serverReportsAttendees()
{
    FakeRoom room;
    Broadcaster engine(kSelf);
    QSignalSpy ready(&engine, &Broadcaster::sigNotifyReady);
    QSignalSpy states(&engine, &Broadcaster::sigNotifyStateChange);
    QSignalSpy mutes(&engine, &Broadcaster::sigNotifyMute);
    QSignalSpy errors(&engine, &Broadcaster::sigNotifyError);
    engine.createCall(room.url(true), CallInfo{});
    // No Janus is named: a media error, but the call itself goes on.
    QCOMPARE(errors.count(), 1);
    QTRY_VERIFY(room.peer);
    room.sendRoom();
    QTRY_COMPARE(ready.count(), 2);
    QCOMPARE(ready.at(0).at(0).toLongLong(), kSelf);
    QCOMPARE(ready.at(1).at(0).toLongLong(), kOther);
    QCOMPARE(states.count(), 1);
    QCOMPARE(states.at(0).at(0).value<CallState>(), CALL_CONNECTED);
    room.send({{QStringLiteral("kind"), QStringLiteral("MUTE")},
               {QStringLiteral("uid"), QStringLiteral("8")},
               {QStringLiteral("operatorId"), QStringLiteral("8")},
               {QStringLiteral("status"), 1}});
    QTRY_COMPARE(mutes.count(), 1);
    QCOMPARE(mutes.at(0).at(1).toLongLong(), kOther);
}

void TestRtcControl::callsReachTheServer_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<QString>("kind");
    QTest::addRow("own mute") << Call([](Broadcaster &b) {
        b.setMute(true, kSelf, MUTE_AUDIO, false);
    }) << "MUTE";
    QTest::addRow("hand") << Call([](Broadcaster &b) { b.raiseHand(false); }) << "RAISE_HAND";
    QTest::addRow("removal") << Call([](Broadcaster &b) { b.kicked(kOther, false); }) << "KICK";
    QTest::addRow("host role") << Call([](Broadcaster &b) { b.transfer(kOther); }) << "TRANSFER";
    QTest::addRow("whiteboard share")
        << Call([](Broadcaster &b) { b.createShare(SHARE_WHITEBOARD, nullptr, {}, 0); })
        << "CREATE_SHARE";
    QTest::addRow("whiteboard data")
        << Call([](Broadcaster &b) { b.sendData(new im::whiteboard::TransferData); })
        << "WHITEBOARD";
    QTest::addRow("leave") << Call([](Broadcaster &b) { b.leave(false); }) << "LEAVE";
}

void TestRtcControl::callsReachTheServer()
{
    QFETCH(Call, call);
    QFETCH(QString, kind);
    FakeRoom room;
    Broadcaster engine(kSelf);
    QSignalSpy mutes(&engine, &Broadcaster::sigNotifyMute);
    QSignalSpy ready(&engine, &Broadcaster::sigNotifyReady);
    engine.createCall(room.url(true), CallInfo{});
    QTRY_VERIFY(room.peer);
    room.sendRoom();
    QTRY_VERIFY(!ready.isEmpty());
    call(engine);
    QTRY_COMPARE(room.received.size(), 1);
    QCOMPARE(room.received.at(0).value(QStringLiteral("kind")).toString(), kind);
    // Only the server confirms a mute.
    QCOMPARE(mutes.count(), 0);
}

// The engine's own tests and benchmarks name Janus directly; no control channel is opened.
void TestRtcControl::directUrlOpensNoRoom()
{
    FakeRoom room;
    Broadcaster engine(kSelf);
    engine.createCall(room.url(false), CallInfo{});
    QTest::qWait(200);
    QVERIFY(!room.peer);
}

QTEST_GUILESS_MAIN(TestRtcControl)
#include "tst_rtccontrol.moc"
