// Three engines in one Janus room, each on its own engine thread as the meeting model runs
// them: real video and audio must arrive from both others, mutes must really stop what is
// sent, a lost server must be reported, and leaving must leave nothing behind.
#include "broadcaster.h"
#include "callparticipant.h"
#include "janusprocess.h"
#include <QDateTime>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <memory>

using namespace qtwebrtc;
using Client = meetingjanus::CallParticipant;

namespace {
constexpr double kNoiseFloor = 10; // the module's level scale; a tone reads about 77
constexpr quint64 kRoom = 4242;

} // namespace

class TestRtcCall : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void threeClientsExchangeMedia();
    void lostServerIsReported();
    void cleanupTestCase();

private:
    QString mediaUrl(quint64 room) const;
    static bool waitAll(const std::function<bool()> &done, int timeoutMs);

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

void TestRtcCall::threeClientsExchangeMedia()
{
    std::vector<std::unique_ptr<Client>> clients;
    for (qint64 uid : {101, 102, 103})
        clients.push_back(std::make_unique<Client>(uid));
    const QString url = mediaUrl(kRoom);
    CallInfo info;
    info.muteVideo = false;
    for (auto &c : clients) {
        c->post([](Broadcaster *b) { b->init(); });
        c->post([url, info](Broadcaster *b) { b->createCall(url, info); });
    }
    auto everyoneSees = [&](int frames) {
        for (auto &c : clients) {
            for (auto &o : clients) {
                if (c != o && c->tracks.value(o->uid).frames < frames)
                    return false;
            }
        }
        return true;
    };
    QVERIFY2(waitAll([&] { return everyoneSees(10); }, 40000), "video did not arrive everywhere");
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
    for (auto &c : clients)
        c->post([](Broadcaster *b) { b->leave(false); });
    QVERIFY(waitAll(
        [&] {
            return std::all_of(clients.begin(), clients.end(),
                               [](auto &c) { return c->states.contains(CALL_ENDED); });
        },
        5000));
    QCOMPARE(Broadcaster::pipelineCount(), 0);
    clients.clear();
    QCOMPARE(Broadcaster::aliveCount(), 0);
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
    QCOMPARE(Broadcaster::pipelineCount(), 0);
}

void TestRtcCall::cleanupTestCase()
{
    m_janus.stop();
}

QTEST_GUILESS_MAIN(TestRtcCall)
#include "tst_rtccall.moc"
