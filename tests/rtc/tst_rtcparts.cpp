// The engine's pure parts: the frame stamp a receiver reads back, the Janus address taken from
// the media server URL, and the scales the module is given.
#include "broadcaster.h"
#include "framestamp.h"
#include "janustarget.h"
#include "mediametrics.h"
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <vector>

using namespace qtwebrtc;
using namespace qtwebrtc::rtc;

class TestRtcParts : public QObject
{
    Q_OBJECT
private slots:
    void stampSurvivesCoding_data();
    void stampSurvivesCoding();
    void stampRejectsWhatIsNoStamp_data();
    void stampRejectsWhatIsNoStamp();
    void elapsedAcrossWrap();
    void target_data();
    void target();
    void targetErrorsNeverQuoteTheUrl();
    void score_data();
    void score();
    void levelsAndGain();
    void badAddressIsReported();
};

// Coding changes pixel values a little and blurs block edges; a stamp must still read back.
void TestRtcParts::stampSurvivesCoding_data()
{
    QTest::addColumn<quint32>("sender");
    QTest::addColumn<quint32>("counter");
    QTest::addColumn<quint32>("captureMs");
    QTest::addColumn<int>("noise");
    QTest::addColumn<int>("stride");
    QTest::addRow("zeros") << 0u << 0u << 0u << 0 << 320;
    QTest::addRow("all ones") << 0xFFFFFFFFu << 0xFFFFFFFFu << 0xFFFFFFFFu << 0 << 320;
    QTest::addRow("noisy") << 101u << 4242u << 0x89ABCDEFu << 40 << 320;
    QTest::addRow("padded stride") << 7u << 1u << 123456u << 30 << 384;
}

void TestRtcParts::stampSurvivesCoding()
{
    QFETCH(quint32, sender);
    QFETCH(quint32, counter);
    QFETCH(quint32, captureMs);
    QFETCH(int, noise);
    QFETCH(int, stride);
    std::vector<uchar> luma(size_t(stride) * 240, 128);
    const FrameStamp stamp{sender, counter, captureMs};
    QVERIFY(stamp.write(luma.data(), stride, 320, 240));
    QRandomGenerator rng(7);
    for (uchar &v : luma)
        v = uchar(qBound(0, int(v) + int(rng.bounded(2 * noise + 1)) - noise, 255));
    // A smeared column at every block edge.
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 320; x += FrameStamp::kBlockWidth)
            luma[size_t(y * stride + x)] = 128;
    }
    const auto read = FrameStamp::read(luma.data(), stride, 320, 240);
    QVERIFY(read.has_value());
    QCOMPARE(*read, stamp);
}

void TestRtcParts::stampRejectsWhatIsNoStamp_data()
{
    QTest::addColumn<int>("fill");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("flipBit");
    QTest::addRow("black frame") << 16 << 320 << -1;
    QTest::addRow("white frame") << 235 << 320 << -1;
    QTest::addRow("one bit flipped") << -1 << 320 << 40;
    QTest::addRow("too narrow") << -1 << 300 << -1;
}

void TestRtcParts::stampRejectsWhatIsNoStamp()
{
    QFETCH(int, fill);
    QFETCH(int, width);
    QFETCH(int, flipBit);
    std::vector<uchar> luma(size_t(320) * 240, uchar(qMax(fill, 0)));
    if (fill < 0)
        FrameStamp{5, 6, 7}.write(luma.data(), 320, 320, 240);
    if (flipBit >= 0) {
        const int row = flipBit / 32;
        const int x = (flipBit % 32) * FrameStamp::kBlockWidth;
        for (int y = 0; y < FrameStamp::kBlockHeight; ++y) {
            for (int i = 0; i < FrameStamp::kBlockWidth; ++i) {
                uchar &v = luma[size_t((row * FrameStamp::kBlockHeight + y) * 320 + x + i)];
                v = v > 128 ? 16 : 235;
            }
        }
    }
    QVERIFY(!FrameStamp::read(luma.data(), 320, width, 240).has_value());
}

void TestRtcParts::elapsedAcrossWrap()
{
    QCOMPARE(FrameStamp::elapsedMs(0xFFFFFFF0u, 0x10u), 32);
    QCOMPARE(FrameStamp::elapsedMs(100u, 90u), -10);
}

void TestRtcParts::target_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("envUrl");
    QTest::addColumn<QString>("envRoom");
    QTest::addColumn<QString>("janus");
    QTest::addColumn<quint64>("room");
    const QString ws = QStringLiteral("ws://127.0.0.1:8188");
    QTest::addRow("query")
        << QStringLiteral("https://m.example/?janus=ws%3A%2F%2F127.0.0.1%3A8188&room=12&token=x")
        << QString() << QString() << ws << quint64(12);
    QTest::addRow("query wins over environment")
        << QStringLiteral("https://m.example/?janus=ws://127.0.0.1:8188&room=3")
        << QStringLiteral("ws://10.0.0.1:1") << QStringLiteral("9") << ws << quint64(3);
    QTest::addRow("environment fills gaps") << QStringLiteral("https://m.example/?room=4") << ws
                                            << QStringLiteral("8") << ws << quint64(4);
    QTest::addRow("no room") << QStringLiteral("https://m.example/?janus=ws://127.0.0.1:8188")
                             << QString() << QString() << QString() << quint64(0);
    QTest::addRow("room zero") << QStringLiteral("https://m.example/?room=0") << ws << QString()
                               << QString() << quint64(0);
    QTest::addRow("room past 2^53") << QStringLiteral("https://m.example/?room=9007199254740992")
                                    << ws << QString() << QString() << quint64(0);
    QTest::addRow("not a WebSocket") << QStringLiteral("https://m.example/?janus=http://h:1&room=2")
                                     << QString() << QString() << QString() << quint64(0);
    QTest::addRow("no query at all")
        << QStringLiteral("garbage") << QString() << QString() << QString() << quint64(0);
}

void TestRtcParts::target()
{
    QFETCH(QString, url);
    QFETCH(QString, envUrl);
    QFETCH(QString, envRoom);
    QFETCH(QString, janus);
    QFETCH(quint64, room);
    const JanusTarget t = JanusTarget::fromMediaUrl(url, envUrl, envRoom);
    QCOMPARE(t.isValid(), !janus.isEmpty());
    if (t.isValid()) {
        QCOMPARE(t.url.toString(), janus);
        QCOMPARE(t.room, room);
        QVERIFY(t.isLoopback());
    }
}

void TestRtcParts::targetErrorsNeverQuoteTheUrl()
{
    const QString secret = QStringLiteral("s3cr3t-token");
    const JanusTarget t = JanusTarget::fromMediaUrl(
        QStringLiteral("https://m.example/?janus=ftp://") + secret + QStringLiteral("&room=1"),
        QString(), QString());
    QVERIFY(!t.isValid());
    QVERIFY(!t.error.contains(secret));
}

void TestRtcParts::score_data()
{
    QTest::addColumn<double>("rtt");
    QTest::addColumn<double>("loss");
    QTest::addColumn<double>("jitter");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<int>("score");
    QTest::addRow("clean loopback") << 1.0 << 0.0 << 1.0 << true << 5;
    QTest::addRow("no round trip yet") << -1.0 << 0.0 << 0.0 << true << 5;
    QTest::addRow("slow") << 250.0 << 0.0 << 0.0 << true << 3;
    QTest::addRow("lossy") << 20.0 << 0.05 << 0.0 << true << 3;
    QTest::addRow("everything bad") << 900.0 << 0.5 << 300.0 << true << 1;
    QTest::addRow("loss above one is clamped") << 0.0 << 7.0 << 0.0 << true << 2;
    QTest::addRow("down") << 1.0 << 0.0 << 1.0 << false << 0;
}

void TestRtcParts::score()
{
    QFETCH(double, rtt);
    QFETCH(double, loss);
    QFETCH(double, jitter);
    QFETCH(bool, connected);
    QFETCH(int, score);
    QCOMPARE(MediaMetrics::networkScore({rtt, loss, jitter}, connected), score);
}

// The module calls 20 and above speaking; the default volume 5 must play at unity.
void TestRtcParts::levelsAndGain()
{
    QCOMPARE(MediaMetrics::displayLevel(-200), 0.0);
    QCOMPARE(MediaMetrics::displayLevel(-48), 20.0);
    QCOMPARE(MediaMetrics::displayLevel(3), 100.0);
    QCOMPARE(MediaMetrics::displayLevel(std::nan("")), 0.0);
    QCOMPARE(MediaMetrics::playoutGain(5.0), 1.0);
    QCOMPARE(MediaMetrics::playoutGain(-1.0), 0.0);
    QCOMPARE(MediaMetrics::playoutGain(1e9), 2.0);
}

void TestRtcParts::badAddressIsReported()
{
    Broadcaster engine(1);
    QSignalSpy errors(&engine, &Broadcaster::sigNotifyError);
    engine.createCall(QStringLiteral("https://m.example/?token=abc"), CallInfo{});
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).value<Error>(), ERR_UNKNOWN);
    QVERIFY(!errors.at(0).at(1).toString().contains(QStringLiteral("abc")));
    QCOMPARE(Broadcaster::pipelineCount(), 0);
}

QTEST_GUILESS_MAIN(TestRtcParts)
#include "tst_rtcparts.moc"
