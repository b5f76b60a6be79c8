// Three engines in one Janus room, each on its own engine thread as the meeting model runs
// them: real video and audio must arrive from both others, mutes must really stop what is
// sent, volume must change what is played, a lower layer must lower the frame rate, a share must
// arrive as a share, a removed client's media must stop, a lost server must be reported, and
// leaving must leave nothing behind.
#include "broadcaster.h"
#include "callparticipant.h"
#include "janusprocess.h"
#include <QDateTime>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <memory>

using namespace qtwebrtc;
using Client = meetingjanus::CallParticipant;
using Clients = std::vector<std::unique_ptr<Client>>;

namespace {
constexpr double kNoiseFloor = 10; // the module's level scale; a tone reads about 77
constexpr quint64 kRoom = 4242;
constexpr int kPipelinesPerClient = 3; // its own publisher and one subscriber per other client

} // namespace

class TestRtcCall : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void threeClientsExchangeMedia();
    void volumeChangesWhatIsPlayed();
    void lowerLayerLowersFrameRate();
    void shareArrivesAsShare();
    void removedClientsMediaStops();
    void lostServerIsReported();
    void cleanupTestCase();

private:
    QString mediaUrl(quint64 room) const;
    static bool waitAll(const std::function<bool()> &done, int timeoutMs);
    // Three clients in `room`, each seeing both others; the first one's engine holds the room's
    // secret when `secret` is given.
    bool startCall(Clients &clients, quint64 room, const QString &secret = {});
    static void leaveAll(Clients &clients);
    static int counterOf(const Client &c, qint64 from, bool share);
    // The loudest of what `c` plays, polled over `windowMs` as the model polls it.
    static int loudestPlayed(Client &c, int windowMs);

    meetingjanus::JanusProcess m_janus;
};

void TestRtcCall::initTestCase()
{
    QString why = meetingjanus::JanusProcess::missingReason();
    if (why.isEmpty())
        why = Client::missingElements();
    if (!why.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no end-to-end call possible here: ") + why));
    QString error;
    QVERIFY2(m_janus.start(&error), qPrintable(error));
}

QString TestRtcCall::mediaUrl(quint64 room) const
{
    return Client::mediaUrl(m_janus.url(), room);
}

bool TestRtcCall::waitAll(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(50);
    return done();
}

bool TestRtcCall::startCall(Clients &clients, quint64 room, const QString &secret)
{
    const qint64 host = 101;
    for (qint64 uid : {host, host + 1, host + 2})
        clients.push_back(std::make_unique<Client>(uid));
    CallInfo info;
    info.muteVideo = false;
    for (auto &c : clients) {
        const QString url =
            Client::mediaUrl(m_janus.url(), room, c->uid == host ? secret : QString(), host);
        c->post([](Broadcaster *b) { b->init(); });
        c->post([url, info](Broadcaster *b) { b->createCall(url, info); });
    }
    return waitAll([&] { return Client::everyoneSees(clients, 10); }, 40000);
}

void TestRtcCall::leaveAll(Clients &clients)
{
    for (auto &c : clients)
        c->post([](Broadcaster *b) { b->leave(false); });
    QVERIFY(waitAll(
        [&] {
            return std::all_of(clients.begin(), clients.end(),
                               [](auto &c) { return c->states.contains(CALL_ENDED); });
        },
        5000));
    QTRY_COMPARE(Broadcaster::pipelineCount(), 0);
    clients.clear();
    QCOMPARE(Broadcaster::aliveCount(), 0);
}

int TestRtcCall::counterOf(const Client &c, qint64 from, bool share)
{
    return int((share ? c.shareTracks : c.tracks).value(from).lastCounter);
}

void TestRtcCall::threeClientsExchangeMedia()
{
    Clients clients;
    QVERIFY2(startCall(clients, kRoom), "video did not arrive everywhere");
    QCOMPARE(Broadcaster::pipelineCount(), 3 * kPipelinesPerClient);
    for (auto &c : clients) {
        QVERIFY(c->states.contains(CALL_CONNECTED));
        QVERIFY(c->errors.isEmpty());
    }

    // Frame counters advance at 10 per second or more on every one of the six streams.
    QHash<QPair<qint64, qint64>, quint32> before;
    for (auto &c : clients) {
        for (auto &o : clients)
            before[{c->uid, o->uid}] = c->tracks.value(o->uid).lastCounter;
    }
    const qint64 windowStart = QDateTime::currentMSecsSinceEpoch();
    for (auto &c : clients)
        c->clearLatencies(); // start-up fills the jitter buffers first
    QTest::qWait(3000);
    const double seconds = (QDateTime::currentMSecsSinceEpoch() - windowStart) / 1000.0;
    for (auto &c : clients) {
        for (auto &o : clients) {
            if (c == o)
                continue;
            const Client::Track t = c->tracks.value(o->uid);
            const double fps = (t.lastCounter - before[{c->uid, o->uid}]) / seconds;
            QVERIFY2(fps >= 10,
                     qPrintable(
                         QStringLiteral("%1 sees %2 at %3 fps").arg(c->uid).arg(o->uid).arg(fps)));
            QCOMPARE(t.badStamps, 0);
            // Tone bursts: within three seconds the tone plays for at least two.
            QVERIFY2(c->peakSince(o->uid, windowStart) > kNoiseFloor * 3,
                     qPrintable(QStringLiteral("%1 hears %2 at %3")
                                    .arg(c->uid)
                                    .arg(o->uid)
                                    .arg(c->peakSince(o->uid, windowStart))));
        }
    }

    // The first client mutes its microphone and camera: within a second the others hear
    // nothing of it and its frames stop.
    Client &a = *clients[0];
    a.post([uid = a.uid](Broadcaster *b) {
        b->setMute(true, uid, MUTE_AUDIO, true);
        b->setMute(true, uid, MUTE_VIDEO, true);
    });
    // Timed from the engine's confirmation: a loaded machine may run the call late.
    QVERIFY(waitAll([&] { return a.mutedAtMs.contains(MUTE_AUDIO); }, 5000));
    const qint64 muted = a.mutedAtMs.value(MUTE_AUDIO);
    QTest::qWait(1000);
    QHash<qint64, int> framesAt;
    for (auto &c : clients)
        framesAt[c->uid] = c->tracks.value(a.uid).frames;
    QTest::qWait(1000);
    for (size_t i = 1; i < clients.size(); ++i) {
        Client &c = *clients[i];
        QVERIFY2(c.peakSince(a.uid, muted + 1000) < kNoiseFloor,
                 qPrintable(QStringLiteral("%1 still hears the muted sender").arg(c.uid)));
        QCOMPARE(c.tracks.value(a.uid).frames, framesAt[c.uid]);
        // The others are unaffected.
        QVERIFY(c.peakSince(clients[3 - i]->uid, muted) > kNoiseFloor * 3);
    }

    // Unmuting brings both back, video from a fresh key frame.
    a.post([uid = a.uid](Broadcaster *b) {
        b->setMute(false, uid, MUTE_AUDIO, true);
        b->setMute(false, uid, MUTE_VIDEO, true);
    });
    const qint64 unmuted = QDateTime::currentMSecsSinceEpoch();
    QVERIFY2(waitAll(
                 [&] {
                     for (size_t i = 1; i < clients.size(); ++i) {
                         Client &c = *clients[i];
                         if (c.tracks.value(a.uid).frames < framesAt[c.uid] + 10 ||
                             c.peakSince(a.uid, unmuted) < kNoiseFloor * 3)
                             return false;
                     }
                     return true;
                 },
                 6000),
             "media did not resume after unmuting");

    QList<qint32> latencies;
    for (auto &c : clients) {
        for (const Client::Track &t : std::as_const(c->tracks))
            latencies += t.latencies;
    }
    std::sort(latencies.begin(), latencies.end());
    qInfo("capture to hand-over latency over %lld frames: p50 %d ms, p95 %d ms, max %d ms",
          qint64(latencies.size()), latencies.at(latencies.size() / 2),
          latencies.at(latencies.size() * 95 / 100), latencies.last());

    // Leaving ends every call and, once the threads stop, leaves no engine and no pipeline.
    leaveAll(clients);
}

int TestRtcCall::loudestPlayed(Client &c, int windowMs)
{
    auto loudest = std::make_shared<std::atomic<int>>(-1);
    QDeadlineTimer window(windowMs);
    while (!window.hasExpired()) {
        c.post([loudest](Broadcaster *b) { *loudest = qMax(loudest->load(), b->getMaxDecibel()); });
        QTest::qWait(100);
    }
    return loudest->load();
}

// Volume 0 for both others silences what the first client plays, while their levels (who is
// speaking) still arrive; the default volume brings the sound back. Two-second windows always
// hold tone from the bursts.
void TestRtcCall::volumeChangesWhatIsPlayed()
{
    Clients clients;
    QVERIFY2(startCall(clients, kRoom + 4), "video did not arrive everywhere");
    Client &c = *clients[0];
    auto setVolume = [&](double volume) {
        for (size_t i = 1; i < clients.size(); ++i)
            c.post([uid = clients[i]->uid, volume](Broadcaster *b) { b->setVolume(uid, volume); });
    };
    int loudest = loudestPlayed(c, 2000);
    QVERIFY2(loudest > kNoiseFloor * 3, qPrintable(QStringLiteral("plays at %1").arg(loudest)));

    setVolume(0);
    QTest::qWait(500); // levels measured before the change are still on their way
    const qint64 quiet = QDateTime::currentMSecsSinceEpoch();
    loudest = loudestPlayed(c, 2000);
    QVERIFY2(loudest < kNoiseFloor, qPrintable(QStringLiteral("still plays at %1").arg(loudest)));
    for (size_t i = 1; i < clients.size(); ++i)
        QVERIFY(c.peakSince(clients[i]->uid, quiet) > kNoiseFloor * 3);

    setVolume(5);
    QTest::qWait(500);
    loudest = loudestPlayed(c, 2000);
    QVERIFY2(loudest > kNoiseFloor * 3,
             qPrintable(QStringLiteral("plays at %1 after the volume came back").arg(loudest)));
    QVERIFY(c.errors.isEmpty());
    leaveAll(clients);
}

// The lowest temporal layer of a camera is a quarter of its frames: a receiver that asks for it
// gets about 4 fps of that sender, decoding cleanly, while the other sender stays at full
// rate; asking for the highest brings the full rate back.
void TestRtcCall::lowerLayerLowersFrameRate()
{
    Clients clients;
    QVERIFY2(startCall(clients, kRoom + 5), "video did not arrive everywhere");
    Client &a = *clients[0];
    Client &b = *clients[1];
    const qint64 other = clients[2]->uid;
    auto fps = [&](qint64 from) {
        const int before = b.tracks.value(from).frames;
        const qint64 start = QDateTime::currentMSecsSinceEpoch();
        QTest::qWait(2000);
        return (b.tracks.value(from).frames - before) * 1000.0 /
               double(QDateTime::currentMSecsSinceEpoch() - start);
    };
    auto layers = [&](LayersLevel temporal) {
        b.post([uid = a.uid, temporal](Broadcaster *e) {
            e->setConsumerlayers(LAYER_HIGH, temporal, uid);
        });
        QTest::qWait(1000); // the switch waits for a frame that allows it
    };
    layers(LAYER_LOW);
    const double low = fps(a.uid);
    QVERIFY2(low >= 2 && low <= 6, qPrintable(QStringLiteral("lowest layer at %1 fps").arg(low)));
    QVERIFY(fps(other) >= 10);
    layers(LAYER_HIGH);
    const double high = fps(a.uid);
    QVERIFY2(high >= 10, qPrintable(QStringLiteral("highest layer at %1 fps").arg(high)));
    // Janus may switch in the middle of a frame: that frame alone can arrive damaged.
    QVERIFY(b.tracks.value(a.uid).badStamps <= 2);
    QVERIFY(b.errors.isEmpty());
    leaveAll(clients);
}

// The first client shares its (synthetic) screen: both others get a share report naming it and
// its frames as shared-screen frames; closing it reports the close everywhere and takes down
// exactly the share's pipelines.
void TestRtcCall::shareArrivesAsShare()
{
    Clients clients;
    QVERIFY2(startCall(clients, kRoom + 2), "video did not arrive everywhere");
    Client &a = *clients[0];
    a.post(
        [](Broadcaster *b) { b->createShare(SHARE_PICTURE, nullptr, QRect(0, 0, 640, 360), 10); });
    QVERIFY2(waitAll([&] { return !a.sharesCreated.isEmpty(); }, 20000), "the share did not start");
    const Client::Report created = a.sharesCreated.first();
    QCOMPARE(created.operatorId, a.uid);
    QCOMPARE(created.type, int(SHARE_PICTURE));
    const QString shareId = created.subject.toString();
    QVERIFY(!shareId.isEmpty());
    QVERIFY2(waitAll(
                 [&] {
                     return clients[1]->shareTracks.value(a.uid).frames >= 10 &&
                            clients[2]->shareTracks.value(a.uid).frames >= 10;
                 },
                 20000),
             "shared frames did not arrive");
    for (size_t i = 1; i < clients.size(); ++i) {
        QCOMPARE(clients[i]->sharesCreated, QList<Client::Report>{created});
        QCOMPARE(clients[i]->shareTracks.value(a.uid).badStamps, 0);
    }
    QCOMPARE(Broadcaster::pipelineCount(), 3 * kPipelinesPerClient + 3);

    QHash<qint64, int> before;
    for (size_t i = 1; i < clients.size(); ++i)
        before[clients[i]->uid] = counterOf(*clients[i], a.uid, true);
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    QTest::qWait(2000);
    const double seconds = (QDateTime::currentMSecsSinceEpoch() - start) / 1000.0;
    for (size_t i = 1; i < clients.size(); ++i) {
        const double fps =
            (counterOf(*clients[i], a.uid, true) - before[clients[i]->uid]) / seconds;
        QVERIFY2(fps >= 5, qPrintable(QStringLiteral("share arrives at %1 fps").arg(fps)));
    }

    a.post([shareId](Broadcaster *b) { b->closeShare(shareId); });
    const Client::Report closed{a.uid, shareId, 0};
    QVERIFY2(waitAll(
                 [&] {
                     return std::all_of(clients.begin(), clients.end(),
                                        [&](auto &c) { return c->sharesClosed.contains(closed); });
                 },
                 10000),
             "the close did not reach everyone");
    QTRY_COMPARE(Broadcaster::pipelineCount(), 3 * kPipelinesPerClient);
    for (auto &c : clients)
        QVERIFY(c->errors.isEmpty());
    leaveAll(clients);
}

// Only the engine with the room's secret can remove someone. The removed client ends its call
// and tears down its pipelines; the others report the removal and stop getting its frames.
void TestRtcCall::removedClientsMediaStops()
{
    Clients clients;
    const QString secret = QStringLiteral("room-secret-for-the-host");
    QString error;
    QVERIFY2(Client::createRoom(m_janus.url(), kRoom + 3, secret, &error), qPrintable(error));
    QVERIFY2(startCall(clients, kRoom + 3, secret), "video did not arrive everywhere");
    Client &host = *clients[0];
    Client &other = *clients[1];
    Client &gone = *clients[2];

    other.post([uid = gone.uid](Broadcaster *b) { b->kicked(uid, false); });
    QVERIFY(waitAll([&] { return other.errors.contains(ERR_KICK); }, 5000));
    QVERIFY(gone.kicks.isEmpty());

    host.post([uid = gone.uid](Broadcaster *b) { b->kicked(uid, false); });
    QVERIFY2(waitAll([&] { return gone.states.contains(CALL_ENDED); }, 10000),
             "the removed client's call did not end");
    const Client::Report removal{host.uid, gone.uid, 0};
    QCOMPARE(gone.kicks, QList<Client::Report>{removal});
    QVERIFY(waitAll([&] { return host.kicks.contains(removal) && other.kicks.contains(removal); },
                    5000));
    QTRY_COMPARE(Broadcaster::pipelineCount(), 2 * kPipelinesPerClient - 2);

    QTest::qWait(300); // frames already decoded may still be on their way
    const int hostSaw = host.tracks.value(gone.uid).frames;
    const int otherSaw = other.tracks.value(gone.uid).frames;
    const int goneSaw = gone.tracks.value(host.uid).frames;
    const int staying = host.tracks.value(other.uid).frames;
    QTest::qWait(1500);
    QCOMPARE(host.tracks.value(gone.uid).frames, hostSaw);
    QCOMPARE(other.tracks.value(gone.uid).frames, otherSaw);
    QCOMPARE(gone.tracks.value(host.uid).frames, goneSaw);
    // The two who stay still see each other.
    QVERIFY(host.tracks.value(other.uid).frames >= staying + 10);
    leaveAll(clients);
}

void TestRtcCall::lostServerIsReported()
{
    Client c(201);
    const QString url = mediaUrl(kRoom + 1);
    c.post([url](Broadcaster *b) { b->createCall(url, CallInfo{}); });
    QVERIFY(waitAll([&] { return c.states.contains(CALL_CONNECTED); }, 20000));
    m_janus.stop();
    QVERIFY(waitAll([&] { return c.states.contains(CALL_ENDED); }, 10000));
    QCOMPARE(c.errors, QList<Error>{ERR_SOCKET});
    QTRY_COMPARE(Broadcaster::pipelineCount(), 0);
}

void TestRtcCall::cleanupTestCase()
{
    m_janus.stop();
}

QTEST_GUILESS_MAIN(TestRtcCall)
#include "tst_rtccall.moc"
