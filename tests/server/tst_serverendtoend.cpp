#include "serverprocess.h"
#include <QObject>
#include <memory>

namespace {
// A headless client process for one of the server's accounts.
std::unique_ptr<TestProcess> client(const ServerUnderTest &server, qint64 account,
                                    const QByteArray &token)
{
    auto p = std::make_unique<TestProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MEETING_CLIENT_TOKEN"), QString::fromLatin1(token));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("MEETING_CLIENT_CA"), server.certificate());
    const QStringList args{QStringLiteral("--server"), server.url(), QStringLiteral("--account"),
                           QString::number(account)};
    if (!p->start(QStringLiteral(MEETINGCLIENT_PATH), args, env) ||
        p->waitFor(QStringLiteral("^ready$")).isEmpty())
        return nullptr;
    return p;
}

// A client's report of its current meeting, e.g. "room m state 2 host 1001 attendees
// 1001:0,1002:1 pending -": the expected attendee list, each with its audio mute state.
QString room(const QString &attendees, const QString &pending = QStringLiteral("-"))
{
    return QStringLiteral("^room \\S+ state 2 host \\d+ attendees %1 pending %2$")
        .arg(attendees, pending);
}
} // namespace

// Several client processes meet through one server process over loopback sockets.
class tst_ServerEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void groupCallWithLinkGuest();
    void answeredBeforeTheRingThenHandedOver();
    void restartInTheMiddle();
};

void tst_ServerEndToEnd::groupCallWithLinkGuest()
{
    ServerUnderTest server;
    QVERIFY(server.start());
    auto a = client(server, 1001, "token-a");
    auto b = client(server, 1002, "token-b");
    auto c = client(server, 1003, "token-c");
    QVERIFY(a && b && c);

    a->send(QStringLiteral("call grp-team"));
    QVERIFY(!b->waitFor(QStringLiteral("^incoming ")).isEmpty());
    // The callee's client reports its ringing to the media server, over TLS.
    QVERIFY(!server.output().waitFor(QStringLiteral("^ringing \\S+ 1002 ringing$")).isEmpty());
    b->send(QStringLiteral("accept"));
    QVERIFY(!b->waitFor(room(QStringLiteral("1001:0,1002:0"))).isEmpty());
    QVERIFY(!a->waitFor(room(QStringLiteral("1001:0,1002:0"))).isEmpty());

    a->send(QStringLiteral("mute on"));
    QVERIFY(!b->waitFor(room(QStringLiteral("1001:1,1002:0"))).isEmpty());

    const QString linkFile = server.dir() + QStringLiteral("/link.txt");
    a->send(QStringLiteral("link Team %1").arg(linkFile));
    QVERIFY(!a->waitFor(QStringLiteral("^linkmade$")).isEmpty());
    c->send(QStringLiteral("joinlink %1").arg(linkFile));
    QVERIFY(!c->waitFor(QStringLiteral("^link 0$")).isEmpty());
    QVERIFY(!a->waitFor(room(QStringLiteral("1001:1,1002:0"), QStringLiteral("1003"))).isEmpty());
    a->send(QStringLiteral("admit"));
    QVERIFY(!c->waitFor(QStringLiteral("^incoming ")).isEmpty());
    c->send(QStringLiteral("accept"));
    QVERIFY(!c->waitFor(room(QStringLiteral("1001:1,1002:0,1003:0"))).isEmpty());
    QVERIFY(!b->waitFor(room(QStringLiteral("1001:1,1002:0,1003:0"))).isEmpty());

    a->send(QStringLiteral("kick 1003"));
    QVERIFY(!b->waitFor(room(QStringLiteral("1001:1,1002:0"))).isEmpty());
    QVERIFY(!c->waitFor(QStringLiteral("^room \\S+ state 0 ")).isEmpty());

    a->send(QStringLiteral("end"));
    QVERIFY(!a->waitFor(QStringLiteral("^finished ")).isEmpty());
    QVERIFY(!b->waitFor(QStringLiteral("^finished ")).isEmpty());
    // The finished meeting's log goes up, each account's to its own store.
    QVERIFY(!a->waitFor(QStringLiteral("^logsent 204$")).isEmpty());
    QVERIFY(!server.output().waitFor(QStringLiteral("^log 1001 [1-9]\\d*$")).isEmpty());
}

// Scripts give "accept" before the call reaches the client; the call is answered when it rings.
void tst_ServerEndToEnd::answeredBeforeTheRingThenHandedOver()
{
    ServerUnderTest server;
    QVERIFY(server.start());
    auto a = client(server, 1001, "token-a");
    auto b = client(server, 1002, "token-b");
    QVERIFY(a && b);

    b->send(QStringLiteral("accept"));
    a->send(QStringLiteral("call grp-team Morning standup"));
    QVERIFY(!b->waitFor(room(QStringLiteral("1001:0,1002:0"))).isEmpty());
    a->send(QStringLiteral("transfer 1002"));
    const QString handedOver = QStringLiteral("^room \\S+ state 2 host 1002 ");
    QVERIFY(!a->waitFor(handedOver).isEmpty());
    QVERIFY(!b->waitFor(handedOver).isEmpty());
}

void tst_ServerEndToEnd::restartInTheMiddle()
{
    ServerUnderTest server;
    QVERIFY(server.start());
    auto a = client(server, 1001, "token-a");
    auto b = client(server, 1002, "token-b");
    QVERIFY(a && b);
    a->send(QStringLiteral("call grp-team"));
    QVERIFY(!b->waitFor(QStringLiteral("^incoming ")).isEmpty());
    b->send(QStringLiteral("accept"));
    QVERIFY(!a->waitFor(room(QStringLiteral("1001:0,1002:0"))).isEmpty());
    const QString linkFile = server.dir() + QStringLiteral("/link.txt");
    a->send(QStringLiteral("link Team %1").arg(linkFile));
    QVERIFY(!a->waitFor(QStringLiteral("^linkmade$")).isEmpty());

    const quint16 port = server.port();
    server.stop();
    QVERIFY(!a->waitFor(QStringLiteral("^disconnected$")).isEmpty());
    QVERIFY(!b->waitFor(QStringLiteral("^disconnected$")).isEmpty());
    QVERIFY(server.start(port, server.mediaPort()));
    QVERIFY(!a->waitFor(QStringLiteral("^ready$")).isEmpty());
    QVERIFY(!b->waitFor(QStringLiteral("^ready$")).isEmpty());

    // The meeting, its people and the link came back; the room works again.
    a->send(QStringLiteral("mute on"));
    QVERIFY(!b->waitFor(room(QStringLiteral("1001:1,1002:0"))).isEmpty());
    auto c = client(server, 1003, "token-c");
    QVERIFY(c);
    c->send(QStringLiteral("joinlink %1").arg(linkFile));
    QVERIFY(!a->waitFor(room(QStringLiteral("1001:1,1002:0"), QStringLiteral("1003"))).isEmpty());
    a->send(QStringLiteral("end"));
    QVERIFY(!b->waitFor(QStringLiteral("^finished ")).isEmpty());
}

QTEST_GUILESS_MAIN(tst_ServerEndToEnd)
#include "tst_serverendtoend.moc"
