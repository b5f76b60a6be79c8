#include "janusprocess.h"
#include "roomrequest.h"
#include "serverprocess.h"
#include "wireclient.h"
#include <QTcpServer>
#include <QUrlQuery>

using meetingjanus::JanusProcess;
using meetingjanus::RoomRequest;

namespace {
QUrlQuery queryOf(const QString &url)
{
    return QUrlQuery(QUrl(url));
}

// Asks Janus itself, not the server.
bool roomExists(const QUrl &janus, quint64 room)
{
    QJsonObject data;
    QString error;
    const bool answered = RoomRequest::sendAndWait(janus, RoomRequest::exists(room), &data, &error);
    if (!answered)
        qWarning().noquote() << "exists:" << error;
    return answered && data.value(QStringLiteral("exists")).toBool();
}
} // namespace

// A server started with a Janus gives every meeting a VideoRoom there and names it in the
// media server URLs it hands out.
class tst_ServerMediaRooms : public QObject
{
    Q_OBJECT
private slots:
    void roomFollowsTheMeeting();
    void unreachableJanusRefusesTheJoin();
};

void tst_ServerMediaRooms::roomFollowsTheMeeting()
{
    if (const QString why = JanusProcess::missingReason(); !why.isEmpty())
        QSKIP(qPrintable(QStringLiteral("SKIP: %1").arg(why)));
    JanusProcess janus;
    QString error;
    QVERIFY2(janus.start(&error), qPrintable(error));
    ServerUnderTest server;
    QVERIFY(server.start(0, 0, {QStringLiteral("--janus"), janus.url().toString()}));
    Wire host;
    Wire guest;
    QVERIFY(host.open(QUrl(server.url())) && guest.open(QUrl(server.url())));
    QCOMPARE(host.ask(1, signIn(1001, "token-a")).code(), 0);
    QCOMPARE(guest.ask(1, signIn(1002, "token-b")).code(), 0);

    // The host's join comes at once, while the room may still be in the making.
    const im::wire::CreateMeetingResp meeting = host.createMeeting("grp-team", "c-1");
    QString hostUrl;
    QString guestUrl;
    QCOMPARE(host.join(meeting, &hostUrl).code(), 0);
    QCOMPARE(guest.join(meeting, &guestUrl).code(), 0);

    const QUrlQuery h = queryOf(hostUrl);
    const QUrlQuery g = queryOf(guestUrl);
    for (const QUrlQuery &q : {h, g}) {
        QCOMPARE(QUrl(q.queryItemValue(QStringLiteral("janus"), QUrl::FullyDecoded)), janus.url());
        QCOMPARE(q.queryItemValue(QStringLiteral("host")), QStringLiteral("1001"));
        QVERIFY(q.hasQueryItem(QStringLiteral("token")));
    }
    const quint64 room = h.queryItemValue(QStringLiteral("room")).toULongLong();
    QVERIFY(room != 0);
    QCOMPARE(g.queryItemValue(QStringLiteral("room")).toULongLong(), room);
    QVERIFY(h.queryItemValue(QStringLiteral("secret")).size() >= 32);
    QVERIFY(!g.hasQueryItem(QStringLiteral("secret")));
    QVERIFY(roomExists(janus.url(), room));

    // A second meeting of the same people gets a room of its own, which outlives the first.
    const im::wire::CreateMeetingResp second = guest.createMeeting("grp-team", "c-2");
    QString secondUrl;
    QCOMPARE(guest.join(second, &secondUrl).code(), 0);
    const quint64 secondRoom =
        queryOf(secondUrl).queryItemValue(QStringLiteral("room")).toULongLong();
    QVERIFY(secondRoom != 0 && secondRoom != room);
    QCOMPARE(queryOf(secondUrl).queryItemValue(QStringLiteral("host")), QStringLiteral("1002"));
    QVERIFY(queryOf(secondUrl).hasQueryItem(QStringLiteral("secret")));

    // The host withdraws the call: the meeting finishes and its room goes.
    im::meeting::RejectMeetingReq withdraw;
    withdraw.set_dialog_id("grp-team");
    withdraw.set_client_id("c-1");
    QCOMPARE(host.ask(233, bytesOf(withdraw)).code(), 0);
    QDeadlineTimer deadline(5000);
    while (roomExists(janus.url(), room) && !deadline.hasExpired())
        QTest::qWait(50);
    QVERIFY(!roomExists(janus.url(), room));
    QVERIFY(roomExists(janus.url(), secondRoom));

    // The secret guards the room: a guest's guess is refused with Janus's reason.
    QString why;
    QVERIFY(!RoomRequest::sendAndWait(
        janus.url(), RoomRequest::destroy(secondRoom, QStringLiteral("guess")), nullptr, &why));
    QVERIFY(!why.isEmpty() && !why.contains(QStringLiteral("guess")));
    QVERIFY(roomExists(janus.url(), secondRoom));
}

void tst_ServerMediaRooms::unreachableJanusRefusesTheJoin()
{
    // A port that was free a moment ago: nothing answers there.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const QString nowhere = QStringLiteral("ws://127.0.0.1:%1").arg(probe.serverPort());
    probe.close();
    ServerUnderTest server;
    QVERIFY(server.start(0, 0, {QStringLiteral("--janus"), nowhere}));
    Wire host;
    QVERIFY(host.open(QUrl(server.url())));
    QCOMPARE(host.ask(1, signIn(1001, "token-a")).code(), 0);
    const im::wire::CreateMeetingResp meeting = host.createMeeting("grp-team");
    QCOMPARE(host.join(meeting).code(), 503);
    // The server keeps serving, and tries again at the next join.
    QCOMPARE(host.join(meeting).code(), 503);
    QCOMPARE(host.ask(282, {}).code(), 0);
}

QTEST_GUILESS_MAIN(tst_ServerMediaRooms)
#include "tst_servermediarooms.moc"
