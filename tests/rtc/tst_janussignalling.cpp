// The engine's Janus signalling against a scripted server on loopback: replies matched to
// requests, events routed to their handle, malformed or unknown input ignored without harm, a
// lost server reported once, and room events turned into the engine's signals.
#include "broadcaster.h"
#include "januslink.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>
#include <QWebSocket>
#include <QWebSocketServer>
#include <functional>

using namespace qtwebrtc;
using namespace qtwebrtc::rtc;

namespace {
constexpr double kHandle = 77;

QJsonObject plugin(const QJsonObject &data)
{
    return {{QStringLiteral("plugin"), QStringLiteral("janus.plugin.videoroom")},
            {QStringLiteral("data"), data}};
}

// Answers like Janus: sessions, handles, room creation and a publisher's join. Tests change
// the answers through `onPluginRequest` and push events with `push`.
class FakeJanus : public QObject
{
public:
    FakeJanus() : m_server(QStringLiteral("fake"), QWebSocketServer::NonSecureMode)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QWebSocketServer::newConnection, this, [this] {
            m_client = m_server.nextPendingConnection();
            m_client->setParent(this); // the server does not own what it hands out
            connect(m_client, &QWebSocket::textMessageReceived, this, &FakeJanus::onMessage);
        });
    }
    QString url() const { return QStringLiteral("ws://127.0.0.1:%1").arg(m_server.serverPort()); }
    QString mediaUrl() const { return QStringLiteral("https://m.invalid/?room=5&janus=") + url(); }
    void push(const QJsonObject &m) { send(m); }
    void pushEvent(const QJsonObject &data)
    {
        send({{QStringLiteral("janus"), QStringLiteral("event")},
              {QStringLiteral("sender"), kHandle},
              {QStringLiteral("plugindata"), plugin(data)}});
    }
    void pushRaw(const QString &text) { m_client->sendTextMessage(text); }
    void drop() { m_client->abort(); }

    // Returns the plugin data to answer a message request with (event or success).
    std::function<QJsonObject(const QJsonObject &body)> onPluginRequest = [](const QJsonObject &b) {
        const QString request = b.value(QStringLiteral("request")).toString();
        if (request == QStringLiteral("join"))
            return QJsonObject{{QStringLiteral("videoroom"), QStringLiteral("joined")},
                               {QStringLiteral("publishers"), QJsonArray{}}};
        if (request == QStringLiteral("create"))
            return QJsonObject{{QStringLiteral("videoroom"), QStringLiteral("created")}};
        return QJsonObject{}; // no answer beyond the ack
    };
    QList<QJsonObject> received;

private:
    void send(const QJsonObject &m)
    {
        m_client->sendTextMessage(QString::fromUtf8(QJsonDocument(m).toJson()));
    }
    void reply(const QJsonObject &request, QJsonObject m)
    {
        m.insert(QStringLiteral("transaction"), request.value(QStringLiteral("transaction")));
        send(m);
    }
    void onMessage(const QString &text)
    {
        const QJsonObject m = QJsonDocument::fromJson(text.toUtf8()).object();
        received.append(m);
        const QString kind = m.value(QStringLiteral("janus")).toString();
        const QJsonObject id{{QStringLiteral("id"), kHandle}};
        if (kind == QStringLiteral("create") || kind == QStringLiteral("attach"))
            return reply(m, {{QStringLiteral("janus"), QStringLiteral("success")},
                             {QStringLiteral("data"), id}});
        if (kind != QStringLiteral("message"))
            return;
        const QJsonObject data = onPluginRequest(m.value(QStringLiteral("body")).toObject());
        reply(m, {{QStringLiteral("janus"), QStringLiteral("ack")}});
        if (!data.isEmpty())
            reply(m, {{QStringLiteral("janus"), QStringLiteral("event")},
                      {QStringLiteral("sender"), kHandle},
                      {QStringLiteral("plugindata"), plugin(data)}});
    }

    QWebSocketServer m_server;
    QWebSocket *m_client = nullptr;
};

QJsonArray attendeeIds(const QByteArray &roomInfo)
{
    QJsonArray ids;
    const QJsonArray list =
        QJsonDocument::fromJson(roomInfo).object().value(QStringLiteral("attendees")).toArray();
    for (const QJsonValue &a : list)
        ids.append(a.toObject().value(QStringLiteral("id")));
    return ids;
}
} // namespace

class TestJanusSignalling : public QObject
{
    Q_OBJECT
private slots:
    void repliesFollowTheirRequest_data();
    void repliesFollowTheirRequest();
    void malformedInputChangesNothing_data();
    void malformedInputChangesNothing();
    void lostServerIsReportedOnce();
    void roomEventsBecomeEngineSignals();
    void refusedRoomEndsTheCall_data();
    void refusedRoomEndsTheCall();
    void shareFeedsBecomeShareSignals();
    void removalUsesTheRoomSecret();
};

void TestJanusSignalling::repliesFollowTheirRequest_data()
{
    QTest::addColumn<QJsonObject>("answer");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("code");
    QTest::addRow("event after the ack")
        << QJsonObject{{QStringLiteral("videoroom"), QStringLiteral("event")}} << true << 0;
    QTest::addRow("plugin error") << QJsonObject{{QStringLiteral("error_code"), 426},
                                                 {QStringLiteral("error"),
                                                  QStringLiteral("no room")}}
                                  << false << 426;
}

void TestJanusSignalling::repliesFollowTheirRequest()
{
    QFETCH(QJsonObject, answer);
    QFETCH(bool, ok);
    QFETCH(int, code);
    FakeJanus janus;
    janus.onPluginRequest = [answer](const QJsonObject &) {
        return answer;
    };
    JanusLink link;
    QSignalSpy ready(&link, &JanusLink::ready);
    link.open(QUrl(janus.url()));
    QVERIFY(ready.wait(5000));
    QList<bool> results;
    int gotCode = -1;
    link.message(quint64(kHandle), {{QStringLiteral("request"), QStringLiteral("x")}}, {},
                 [&](bool success, const QJsonObject &m) {
                     results.append(success);
                     JanusLink::pluginError(m, &gotCode);
                 });
    QTRY_COMPARE(results.size(), 1);
    QCOMPARE(results.first(), ok);
    QCOMPARE(gotCode, code);
    // Every request carries the session; the ack alone never answered it.
    QCOMPARE(janus.received.last().value(QStringLiteral("session_id")).toDouble(), kHandle);
}

void TestJanusSignalling::malformedInputChangesNothing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("events");
    QTest::addRow("not JSON") << QStringLiteral("{oops") << 0;
    QTest::addRow("an array") << QStringLiteral("[1,2]") << 0;
    QTest::addRow("unknown transaction")
        << QStringLiteral(R"({"janus":"success","transaction":"999"})") << 0;
    QTest::addRow("event without sender") << QStringLiteral(R"({"janus":"event"})") << 0;
    QTest::addRow("event for a handle") << QStringLiteral(R"({"janus":"event","sender":77})") << 1;
}

void TestJanusSignalling::malformedInputChangesNothing()
{
    QFETCH(QString, text);
    QFETCH(int, events);
    FakeJanus janus;
    JanusLink link;
    QSignalSpy ready(&link, &JanusLink::ready);
    QSignalSpy lost(&link, &JanusLink::lost);
    QSignalSpy handleEvents(&link, &JanusLink::handleEvent);
    link.open(QUrl(janus.url()));
    QVERIFY(ready.wait(5000));
    janus.pushRaw(text);
    bool answered = false;
    link.attach([&](bool ok, const QJsonObject &) { answered = ok; });
    QTRY_VERIFY(answered);
    QCOMPARE(handleEvents.count(), events);
    QVERIFY(lost.isEmpty());
    QVERIFY(link.isReady());
}

void TestJanusSignalling::lostServerIsReportedOnce()
{
    FakeJanus janus;
    JanusLink link;
    QSignalSpy ready(&link, &JanusLink::ready);
    QSignalSpy lost(&link, &JanusLink::lost);
    link.open(QUrl(janus.url()));
    QVERIFY(ready.wait(5000));
    janus.drop();
    QTRY_COMPARE(lost.count(), 1);
    QTest::qWait(200);
    QCOMPARE(lost.count(), 1);
    QVERIFY(!link.isReady());
    link.close(); // after a loss, closing is quiet
    QCOMPARE(lost.count(), 1);
}

void TestJanusSignalling::roomEventsBecomeEngineSignals()
{
    FakeJanus janus;
    janus.onPluginRequest = [base = janus.onPluginRequest](const QJsonObject &body) {
        QJsonObject data = base(body);
        if (data.value(QStringLiteral("videoroom")) == QStringLiteral("joined"))
            data.insert(QStringLiteral("publishers"),
                        QJsonArray{QJsonObject{{QStringLiteral("id"), 7}}});
        return data;
    };
    Broadcaster engine(3);
    QSignalSpy joins(&engine, &Broadcaster::sigNotifyJoin);
    QSignalSpy leaves(&engine, &Broadcaster::sigNotifyLeave);
    QSignalSpy kicks(&engine, &Broadcaster::sigNotifyKicked);
    engine.createCall(janus.mediaUrl(), CallInfo{});
    QTRY_COMPARE(joins.count(), 2);
    QCOMPARE(joins.at(0).at(0).toLongLong(), 3);
    QCOMPARE(joins.at(1).at(0).toLongLong(), 7);
    QCOMPARE(attendeeIds(joins.at(1).at(2).toByteArray()), (QJsonArray{3, 7}));

    janus.pushEvent(
        {{QStringLiteral("publishers"), QJsonArray{QJsonObject{{QStringLiteral("id"), 8}}}}});
    QTRY_COMPARE(joins.count(), 3);
    QCOMPARE(joins.at(2).at(0).toLongLong(), 8);
    janus.pushEvent({{QStringLiteral("leaving"), 7}});
    QTRY_COMPARE(leaves.count(), 1);
    QCOMPARE(leaves.at(0).at(0).toLongLong(), 7);
    janus.pushEvent(
        {{QStringLiteral("leaving"), 8}, {QStringLiteral("reason"), QStringLiteral("kicked")}});
    QTRY_COMPARE(kicks.count(), 1);
    QCOMPARE(kicks.at(0).at(1).toLongLong(), 8);
    // Someone who already left leaves no second time.
    janus.pushEvent({{QStringLiteral("leaving"), 7}});
    QTest::qWait(100);
    QCOMPARE(leaves.count(), 1);

    QSignalSpy states(&engine, &Broadcaster::sigNotifyStateChange);
    engine.leave(false);
    QCOMPARE(leaves.count(), 2);
    QCOMPARE(states.count(), 1);
    QCOMPARE(states.at(0).at(0).value<CallState>(), CALL_ENDED);
    QTRY_COMPARE(Broadcaster::pipelineCount(), 0);
}

void TestJanusSignalling::refusedRoomEndsTheCall_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("joins");
    QTest::addRow("room exists already") << 427 << true;
    QTest::addRow("refused") << 403 << false;
}

void TestJanusSignalling::refusedRoomEndsTheCall()
{
    QFETCH(int, code);
    QFETCH(bool, joins);
    FakeJanus janus;
    janus.onPluginRequest = [code, base = janus.onPluginRequest](const QJsonObject &body) {
        if (body.value(QStringLiteral("request")) == QStringLiteral("create"))
            return QJsonObject{{QStringLiteral("error_code"), code},
                               {QStringLiteral("error"), QStringLiteral("no")}};
        return base(body);
    };
    Broadcaster engine(3);
    QSignalSpy joined(&engine, &Broadcaster::sigNotifyJoin);
    QSignalSpy errors(&engine, &Broadcaster::sigNotifyError);
    QSignalSpy states(&engine, &Broadcaster::sigNotifyStateChange);
    engine.createCall(janus.mediaUrl(), CallInfo{});
    if (joins) {
        QTRY_COMPARE(joined.count(), 1);
        QVERIFY(errors.isEmpty());
    } else {
        QTRY_COMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).value<Error>(), ERR_SOCKET);
        QCOMPARE(states.count(), 1);
        QVERIFY(joined.isEmpty());
        QTRY_COMPARE(Broadcaster::pipelineCount(), 0);
    }
}

namespace {
QJsonObject feed(int id, const QString &display)
{
    return {{QStringLiteral("id"), id}, {QStringLiteral("display"), display}};
}
} // namespace

// Shares are feeds whose display text names their owner; texts of any other form are no
// share, and a share goes with its owner.
void TestJanusSignalling::shareFeedsBecomeShareSignals()
{
    FakeJanus janus;
    Broadcaster engine(3);
    QStringList log;
    connect(
        &engine, &Broadcaster::sigNotifyJoin, this,
        [&](qint64 uid, qint64, const QByteArray &) { log << QStringLiteral("join %1").arg(uid); });
    connect(&engine, &Broadcaster::sigNotifyLeave, this,
            [&](qint64 uid) { log << QStringLiteral("leave %1").arg(uid); });
    connect(&engine, &Broadcaster::sigNotifyCreateShare, this,
            [&](qint64 op, const QString &id, ShareType type) {
                log << QStringLiteral("share %1 %2 %3").arg(op).arg(id).arg(int(type));
            });
    connect(&engine, &Broadcaster::sigNotifyCloseShare, this, [&](qint64 op, const QString &id) {
        log << QStringLiteral("close %1 %2").arg(op).arg(id);
    });
    engine.createCall(janus.mediaUrl(), CallInfo{});
    QTRY_COMPARE(log, QStringList{QStringLiteral("join 3")});

    // The share comes first in the list; its owner is reported first all the same.
    janus.pushEvent(
        {{QStringLiteral("publishers"),
          QJsonArray{feed(900, QStringLiteral("share:7:2")), feed(7, QStringLiteral("7")),
                     feed(901, QStringLiteral("share:abc")), feed(902, QStringLiteral("share:3:2")),
                     feed(903, QStringLiteral("share:7:1")),
                     feed(904, QStringLiteral("share:0:2"))}}});
    QTRY_COMPARE(log.size(), 3);
    QCOMPARE(log.mid(1),
             (QStringList{QStringLiteral("join 7"), QStringLiteral("share 7 share-900 2")}));

    janus.pushEvent({{QStringLiteral("unpublished"), 900}});
    QTRY_COMPARE(log.size(), 4);
    QCOMPARE(log.last(), QStringLiteral("close 7 share-900"));

    janus.pushEvent(
        {{QStringLiteral("publishers"), QJsonArray{feed(905, QStringLiteral("share:7:2"))}}});
    QTRY_COMPARE(log.size(), 5);
    janus.pushEvent({{QStringLiteral("leaving"), 7}});
    QTRY_COMPARE(log.size(), 7);
    QCOMPARE(log.mid(5),
             (QStringList{QStringLiteral("close 7 share-905"), QStringLiteral("leave 7")}));
    // Janus reporting the share's own end later changes nothing.
    janus.pushEvent({{QStringLiteral("leaving"), 905}});
    QTest::qWait(100);
    QCOMPARE(log.size(), 7);
}

// Only the host's engine has the room's secret; a removal Janus refuses is reported, and a
// removal of this engine names the host.
void TestJanusSignalling::removalUsesTheRoomSecret()
{
    FakeJanus janus;
    janus.onPluginRequest = [base = janus.onPluginRequest](const QJsonObject &body) {
        if (body.value(QStringLiteral("request")) == QStringLiteral("kick"))
            return QJsonObject{{QStringLiteral("error_code"), 433},
                               {QStringLiteral("error"), QStringLiteral("Unauthorized")}};
        return base(body);
    };
    Broadcaster engine(3);
    QSignalSpy joins(&engine, &Broadcaster::sigNotifyJoin);
    QSignalSpy errors(&engine, &Broadcaster::sigNotifyError);
    QSignalSpy kicks(&engine, &Broadcaster::sigNotifyKicked);
    QSignalSpy states(&engine, &Broadcaster::sigNotifyStateChange);
    engine.createCall(janus.mediaUrl() + QStringLiteral("&secret=s%26t&host=1"), CallInfo{});
    QTRY_COMPARE(joins.count(), 1);
    engine.kicked(8, false);
    QTRY_COMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).value<Error>(), ERR_KICK);
    QJsonObject body;
    for (const QJsonObject &m : std::as_const(janus.received)) {
        if (m.value(QStringLiteral("body"))[QStringLiteral("request")] == QStringLiteral("kick"))
            body = m.value(QStringLiteral("body")).toObject();
    }
    QCOMPARE(body.value(QStringLiteral("secret")).toString(), QStringLiteral("s&t"));
    QCOMPARE(body.value(QStringLiteral("id")).toInt(), 8);

    janus.pushEvent({{QStringLiteral("leaving"), QStringLiteral("ok")},
                     {QStringLiteral("reason"), QStringLiteral("kicked")}});
    QTRY_COMPARE(kicks.count(), 1);
    QCOMPARE(kicks.at(0).at(0).toLongLong(), 1);
    QCOMPARE(kicks.at(0).at(1).toLongLong(), 3);
    QCOMPARE(states.last().at(0).value<CallState>(), CALL_ENDED);
    QTRY_COMPARE(Broadcaster::pipelineCount(), 0);
}

QTEST_GUILESS_MAIN(TestJanusSignalling)
#include "tst_janussignalling.moc"
