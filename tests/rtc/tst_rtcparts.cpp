// The engine's parts: the frame stamp a receiver reads back, the Janus address taken from the
// media server URL, the scales the module is given, and the feed that carries captured
// pictures and sound into a publisher.
#include "broadcaster.h"
#include "callparticipant.h"
#include "framefeed.h"
#include "framestamp.h"
#include "janustarget.h"
#include "mediametrics.h"
#include "rtcpeer.h"
#include "screensource.h"
#include "sharelabel.h"
#include "temporallayers.h"
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

using namespace qtwebrtc;
using namespace qtwebrtc::rtc;

class TestRtcParts : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(gst_init_check(nullptr, nullptr, nullptr)); }
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
    void layersAnnounced_data();
    void layersAnnounced();
    void feedCaps_data();
    void feedCaps();
    void feedReachesReceiver_data();
    void feedReachesReceiver();
};

namespace {
using Pixel = QVideoFrameFormat::PixelFormat;
constexpr quint32 kFeedSender = 7;

// A 320x240 grey picture in `format` whose luma carries `stamp`.
QVideoFrame stampedFrame(Pixel format, const FrameStamp &stamp)
{
    const int w = 320;
    const int h = 240;
    std::vector<uchar> grey(size_t(w * h), 128);
    stamp.write(grey.data(), w, w, h);
    QVideoFrame frame(QVideoFrameFormat(QSize(w, h), format));
    if (!frame.map(QVideoFrame::WriteOnly))
        return {};
    const bool packed = format == QVideoFrameFormat::Format_BGRA8888;
    for (int y = 0; y < h; ++y) {
        uchar *row = frame.bits(0) + y * frame.bytesPerLine(0);
        for (int x = 0; x < w; ++x) {
            const uchar v = grey[size_t(y * w + x)];
            const uchar bgra[4] = {v, v, v, 255};
            if (packed)
                memcpy(row + 4 * x, bgra, 4);
            else
                row[x] = v;
        }
    }
    for (int p = 1; p < frame.planeCount(); ++p)
        memset(frame.bits(p), 128, size_t(frame.mappedBytes(p)));
    frame.unmap();
    return frame;
}

// `ms` of a 440 Hz tone at amplitude 0.3 (about -13.5 dBFS RMS) in `format`.
QByteArray tone(const QAudioFormat &format, int ms, qint64 *sample)
{
    const int frames = format.sampleRate() * ms / 1000;
    QByteArray out(frames * format.bytesPerFrame(), Qt::Uninitialized);
    char *at = out.data();
    for (int i = 0; i < frames; ++i, ++*sample) {
        const double v = 0.3 * std::sin(2 * M_PI * 440 * double(*sample) / format.sampleRate());
        for (int c = 0; c < format.channelCount(); ++c) {
            if (format.sampleFormat() == QAudioFormat::Float) {
                const float f = float(v);
                memcpy(at, &f, sizeof f);
            } else {
                const qint16 s16 = qint16(v * 32767);
                memcpy(at, &s16, sizeof s16);
            }
            at += format.bytesPerSample();
        }
    }
    return out;
}

QAudioFormat audioFormat(QAudioFormat::SampleFormat sample, int rate, int channels)
{
    QAudioFormat f;
    f.setSampleFormat(sample);
    f.setSampleRate(rate);
    f.setChannelCount(channels);
    return f;
}

// Two peers offering and answering to each other directly, as Janus would with each.
void pair(rtc::RtcPeer &sender, rtc::RtcPeer &receiver)
{
    QObject::connect(&sender, &RtcPeer::localDescription, &receiver, [&](const QString &sdp) {
        receiver.acceptOffer(sdp);
        sender.signalingSent();
    });
    QObject::connect(&receiver, &RtcPeer::localDescription, &sender, [&](const QString &sdp) {
        sender.acceptAnswer(sdp);
        receiver.signalingSent();
    });
    QObject::connect(&sender, &RtcPeer::localCandidate, &receiver, &RtcPeer::addRemoteCandidate);
    QObject::connect(&receiver, &RtcPeer::localCandidate, &sender, &RtcPeer::addRemoteCandidate);
}

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(50);
    return done();
}
} // namespace

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

// The simulcast group that makes Janus filter temporal layers names the sent SSRC first and
// two that appear nowhere else; offers it cannot apply to stay as they are.
void TestRtcParts::layersAnnounced_data()
{
    QTest::addColumn<QString>("offer");
    QTest::addColumn<QString>("group"); // empty: the offer stays unchanged
    const QString head = QStringLiteral("v=0\r\ns=-\r\nm=audio 9 UDP/TLS/RTP/SAVPF 111\r\n");
    const QString audio101 = QStringLiteral("a=ssrc:101 cname:x\r\n");
    const QString video = QStringLiteral("m=video 9 UDP/TLS/RTP/SAVPF 96\r\na=mid:video0\r\n");
    QTest::addRow("video ssrc") << head + video + QStringLiteral("a=ssrc:100 cname:x\r\n")
                                << QStringLiteral("a=ssrc-group:SIM 100 101 102\r\na=ssrc:100 ");
    QTest::addRow("next ssrc taken by audio")
        << head + audio101 + video + QStringLiteral("a=ssrc:100 cname:x\r\n")
        << QStringLiteral("a=ssrc-group:SIM 100 102 103\r\n");
    QTest::addRow("across the wrap")
        << head + video + QStringLiteral("a=ssrc:4294967295 cname:x\r\n")
        << QStringLiteral("a=ssrc-group:SIM 4294967295 1 2\r\n");
    QTest::addRow("no video") << head + audio101 << QString();
    QTest::addRow("ssrc only in audio") << head + audio101 + video << QString();
    QTest::addRow("group there already")
        << head + video + QStringLiteral("a=ssrc-group:FID 5 6\r\na=ssrc:5 cname:x\r\n")
        << QString();
    QTest::addRow("ssrc not a number")
        << head + video + QStringLiteral("a=ssrc:99999999999 cname:x\r\n") << QString();
}

void TestRtcParts::layersAnnounced()
{
    QFETCH(QString, offer);
    QFETCH(QString, group);
    const QString out = TemporalLayers::announce(offer);
    if (group.isEmpty()) {
        QCOMPARE(out, offer);
        return;
    }
    QVERIFY2(out.contains(group), qPrintable(out));
    QCOMPARE(out.size(), offer.size() + group.indexOf(QLatin1String("\r\n")) + 2);
    QVERIFY(out.indexOf(QLatin1String("a=ssrc-group")) > out.indexOf(QLatin1String("m=video")));
}

// What a capture device hands over must reach GStreamer with caps that say what it is; what
// cannot be described is refused rather than sent as garbage.
void TestRtcParts::feedCaps_data()
{
    QTest::addColumn<int>("pixel"); // -1: the row is about sound
    QTest::addColumn<QAudioFormat>("audio");
    QTest::addColumn<QByteArray>("caps"); // empty: refused
    const QAudioFormat none;
    QTest::addRow("I420") << int(QVideoFrameFormat::Format_YUV420P) << none
                          << QByteArray("format=(string)I420");
    QTest::addRow("NV12") << int(QVideoFrameFormat::Format_NV12) << none
                          << QByteArray("format=(string)NV12");
    QTest::addRow("BGRA") << int(QVideoFrameFormat::Format_BGRA8888) << none
                          << QByteArray("format=(string)BGRA");
    QTest::addRow("YUYV") << int(QVideoFrameFormat::Format_YUYV) << none
                          << QByteArray("format=(string)YUY2");
    QTest::addRow("JPEG refused") << int(QVideoFrameFormat::Format_Jpeg) << none << QByteArray();
    QTest::addRow("S16 mono") << -1 << audioFormat(QAudioFormat::Int16, 48000, 1)
                              << QByteArray("format=S16LE,rate=48000,channels=1");
    QTest::addRow("float stereo") << -1 << audioFormat(QAudioFormat::Float, 44100, 2)
                                  << QByteArray("format=F32LE,rate=44100,channels=2");
    QTest::addRow("six channels unpositioned")
        << -1 << audioFormat(QAudioFormat::Int32, 48000, 6)
        << QByteArray("channels=6,layout=interleaved,channel-mask=(bitmask)0");
    QTest::addRow("no channels") << -1 << audioFormat(QAudioFormat::Int16, 48000, 0)
                                 << QByteArray();
    QTest::addRow("no sample format")
        << -1 << audioFormat(QAudioFormat::Unknown, 48000, 1) << QByteArray();
    QTest::addRow("rate zero") << -1 << audioFormat(QAudioFormat::Int16, 0, 1) << QByteArray();
}

void TestRtcParts::feedCaps()
{
    QFETCH(int, pixel);
    QFETCH(QAudioFormat, audio);
    QFETCH(QByteArray, caps);
    const QByteArray got =
        pixel >= 0 ? FrameFeed::videoCaps(QVideoFrameFormat(QSize(320, 240), Pixel(pixel)))
                   : FrameFeed::audioCaps(audio);
    QVERIFY2(caps.isEmpty() ? got.isEmpty() : got.contains(caps), got.constData());
    // Nothing attached: nothing is pushed, whatever the format.
    FrameFeed detached(true, true);
    if (pixel >= 0)
        QVERIFY(!detached.pushVideo(QVideoFrame(QVideoFrameFormat(QSize(320, 240), Pixel(pixel)))));
    else
        QVERIFY(!detached.pushAudio(QByteArray(4096, 1), audio));
}

void TestRtcParts::feedReachesReceiver_data()
{
    QTest::addColumn<int>("pixel");
    QTest::addColumn<QAudioFormat>("audio");
    QTest::addRow("I420, 48 kHz mono S16")
        << int(QVideoFrameFormat::Format_YUV420P) << audioFormat(QAudioFormat::Int16, 48000, 1);
    QTest::addRow("BGRA, 44.1 kHz stereo float")
        << int(QVideoFrameFormat::Format_BGRA8888) << audioFormat(QAudioFormat::Float, 44100, 2);
}

// Pictures and sound pushed as a camera and a microphone would push them travel through a
// publisher to a receiver: its frames carry the pushed stamps, advancing, and it hears the
// tone. The receiver's playout gain changes what is played, not what is heard.
void TestRtcParts::feedReachesReceiver()
{
    QFETCH(int, pixel);
    QFETCH(QAudioFormat, audio);
    const QString missing = meetingjanus::CallParticipant::missingElements();
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    auto feed = std::make_shared<FrameFeed>(true, true);
    RtcPeer::Options po;
    po.feed = feed;
    po.stampVideo = false;
    po.loopbackOnly = true;
    RtcPeer::Options so;
    so.loopbackOnly = true;
    so.audioSink = QStringLiteral("fakesink sync=false async=false");
    RtcPeer sender(RtcPeer::Role::Publisher, po);
    RtcPeer receiver(RtcPeer::Role::Subscriber, so);
    pair(sender, receiver);
    QStringList failures;
    for (RtcPeer *p : {&sender, &receiver})
        connect(p, &RtcPeer::failed, this, [&](const QString &why) { failures << why; });
    // The publisher repeats a picture when pushes come late; only new ones count.
    std::optional<quint32> lastCounter;
    int frames = 0;
    connect(&receiver, &RtcPeer::videoFrame, this, [&](QVideoFrame f) {
        if (!f.map(QVideoFrame::ReadOnly))
            return;
        const auto stamp = FrameStamp::read(f.bits(0), f.bytesPerLine(0), f.width(), f.height());
        f.unmap();
        if (stamp && stamp->sender == kFeedSender && stamp->counter != lastCounter) {
            ++frames;
            lastCounter = stamp->counter;
        }
    });
    double heard = -200;
    double played = -200;
    connect(&receiver, &RtcPeer::audioLevel, this, [&](double, double peak) { heard = peak; });
    connect(&receiver, &RtcPeer::playedLevel, this, [&](double, double peak) { played = peak; });

    quint32 counter = 0;
    qint64 sample = 0;
    QTimer pump;
    connect(&pump, &QTimer::timeout, this, [&] {
        feed->pushVideo(stampedFrame(Pixel(pixel), {kFeedSender, counter++, FrameStamp::nowMs()}));
        feed->pushAudio(tone(audio, 66, &sample), audio);
    });
    pump.start(66);
    QString error;
    QVERIFY2(sender.start(&error), qPrintable(error));
    QVERIFY2(receiver.start(&error), qPrintable(error));
    QVERIFY2(waitFor([&] { return frames >= 20 && heard > -30 && played > -30; }, 20000),
             qPrintable(QStringLiteral("%1 frames, heard %2 dB, played %3 dB, failures: %4")
                            .arg(frames)
                            .arg(heard)
                            .arg(played)
                            .arg(failures.join(QStringLiteral("; ")))));

    receiver.setPlayout(0, true, true);
    QVERIFY2(waitFor([&] { return MediaMetrics::displayLevel(played) == 0; }, 3000),
             qPrintable(QStringLiteral("played at %1 dB with no gain").arg(played)));
    QVERIFY(heard > -30);
    receiver.setPlayout(1, true, true);
    QVERIFY(waitFor([&] { return played > -30; }, 3000));
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QStringLiteral("; "))));

    pump.stop();
    sender.stop();
    receiver.stop();
    QTRY_COMPARE(RtcPeer::liveCount(), 0);
    QVERIFY(!feed->pushVideo(stampedFrame(Pixel(pixel), {kFeedSender, 0, 0})));
}

QTEST_GUILESS_MAIN(TestRtcParts)
#include "tst_rtcparts.moc"
