// The engine's pure parts: the frame stamp a receiver reads back, the Janus address taken from
// the media server URL, and the scales the module is given.
#include "broadcaster.h"
#include "framestamp.h"
#include "janustarget.h"
#include "mediametrics.h"
#include "screensource.h"
#include "sharelabel.h"
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
    void targetSecretAndHost_data();
    void targetSecretAndHost();
    void shareLabel_data();
    void shareLabel();
    void screenSource_data();
    void screenSource();
    void shareNeedsACallAndItsOwnId();
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

void TestRtcParts::targetSecretAndHost_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("secret");
    QTest::addColumn<qint64>("host");
    QTest::addRow("neither") << QString() << QString() << qint64(0);
    QTest::addRow("encoded secret")
        << QStringLiteral("&secret=a%26b%3D&host=101") << QStringLiteral("a&b=") << qint64(101);
    QTest::addRow("negative host") << QStringLiteral("&host=-4") << QString() << qint64(0);
    QTest::addRow("host not a number") << QStringLiteral("&host=x1") << QString() << qint64(0);
}

void TestRtcParts::targetSecretAndHost()
{
    QFETCH(QString, query);
    QFETCH(QString, secret);
    QFETCH(qint64, host);
    const JanusTarget t = JanusTarget::fromMediaUrl(
        QStringLiteral("https://m.example/?janus=ws://127.0.0.1:1&room=2") + query, {}, {});
    QVERIFY(t.isValid());
    QCOMPARE(t.secret, secret);
    QCOMPARE(t.host, host);
}

// Display texts come from other clients: only the exact form names a share.
void TestRtcParts::shareLabel_data()
{
    QTest::addColumn<QString>("display");
    QTest::addColumn<bool>("looksLikeShare");
    QTest::addColumn<qint64>("uid"); // 0: not a valid share
    QTest::addRow("share") << QStringLiteral("share:101:2") << true << qint64(101);
    QTest::addRow("largest id") << QStringLiteral("share:9007199254740991:2") << true
                                << qint64(9007199254740991);
    QTest::addRow("camera") << QStringLiteral("101") << false << qint64(0);
    QTest::addRow("empty") << QString() << false << qint64(0);
    QTest::addRow("id past 2^53") << QStringLiteral("share:9007199254740992:2") << true
                                  << qint64(0);
    QTest::addRow("id zero") << QStringLiteral("share:0:2") << true << qint64(0);
    QTest::addRow("negative id") << QStringLiteral("share:-5:2") << true << qint64(0);
    QTest::addRow("whiteboard kind") << QStringLiteral("share:5:1") << true << qint64(0);
    QTest::addRow("extra part") << QStringLiteral("share:5:2:9") << true << qint64(0);
    QTest::addRow("space") << QStringLiteral("share: 5:2") << true << qint64(0);
    QTest::addRow("huge digits") << QStringLiteral("share:99999999999999999999:2") << true
                                 << qint64(0);
    QTest::addRow("no kind") << QStringLiteral("share:5") << true << qint64(0);
}

void TestRtcParts::shareLabel()
{
    QFETCH(QString, display);
    QFETCH(bool, looksLikeShare);
    QFETCH(qint64, uid);
    QCOMPARE(ShareLabel::looksLikeShare(display), looksLikeShare);
    const auto label = ShareLabel::parse(display);
    QCOMPARE(label.has_value(), uid != 0);
    if (label) {
        QCOMPARE(label->uid, uid);
        QCOMPARE(label->display(), display);
    }
}

void TestRtcParts::screenSource_data()
{
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<int>("fps");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("actualFps");
    QTest::addRow("as asked") << QRect(0, 0, 640, 360) << 10 << QSize(640, 360) << 10;
    QTest::addRow("no size") << QRect() << 15 << QSize(1280, 720) << 15;
    QTest::addRow("too small for a stamp") << QRect(0, 0, 100, 20) << 5 << QSize(320, 240) << 5;
    QTest::addRow("too large") << QRect(0, 0, 4000, 3000) << 60 << QSize(1920, 1080) << 30;
    QTest::addRow("odd sizes") << QRect(0, 0, 641, 361) << 0 << QSize(640, 360) << 15;
}

void TestRtcParts::screenSource()
{
    QFETCH(QRect, rect);
    QFETCH(int, fps);
    QFETCH(QSize, size);
    QFETCH(int, actualFps);
    qputenv("MEETING_RTC_SCREEN", "synthetic");
    const ScreenSource s = ScreenSource::forShare(nullptr, rect, fps);
    QVERIFY(s.synthetic);
    QCOMPARE(s.size, size);
    QCOMPARE(s.fps, actualFps);
    const QByteArray caps = QStringLiteral("width=%1,height=%2,framerate=%3/1")
                                .arg(size.width())
                                .arg(size.height())
                                .arg(actualFps)
                                .toLatin1();
    QVERIFY2(s.description.endsWith(caps), s.description.constData());
}

void TestRtcParts::shareNeedsACallAndItsOwnId()
{
    Broadcaster engine(1);
    QSignalSpy errors(&engine, &Broadcaster::sigNotifyError);
    QSignalSpy created(&engine, &Broadcaster::sigNotifyCreateShare);
    engine.createShare(SHARE_PICTURE, nullptr, QRect(0, 0, 640, 360), 10);
    engine.closeShare(QStringLiteral("share-1"));
    QCOMPARE(errors.count(), 2);
    QCOMPARE(errors.at(0).at(0).value<Error>(), ERR_SHARE);
    QCOMPARE(errors.at(1).at(0).value<Error>(), ERR_SHARE_PERMISSION);
    QVERIFY(created.isEmpty());
    QTRY_COMPARE(Broadcaster::pipelineCount(), 0);
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
    QTRY_COMPARE(Broadcaster::pipelineCount(), 0);
}

QTEST_GUILESS_MAIN(TestRtcParts)
#include "tst_rtcparts.moc"
