#include "signallog.h"
#include "videosink.h"
#include <QTest>
#include <QVideoSink>
#include <functional>
#include <memory>

namespace {
QVideoFrame makeFrame(uchar fill)
{
    QVideoFrame frame(QVideoFrameFormat(QSize(64, 48), QVideoFrameFormat::Format_BGRA8888));
    if (frame.map(QVideoFrame::WriteOnly)) {
        memset(frame.bits(0), fill, size_t(frame.mappedBytes(0)));
        frame.unmap();
    }
    return frame;
}

// One VideoSink with three outputs a, b, c. Every output starts with an old picture, so a
// blank is visible, and reports each frame it gets to one shared recorder, in order.
struct Rig
{
    Rig()
    {
        for (int i = 0; i < 3; ++i) {
            out[i] = std::make_unique<QVideoSink>();
            out[i]->setVideoFrame(old);
            QObject::connect(
                out[i].get(), &QVideoSink::videoFrameChanged, out[i].get(),
                [this, i](const QVideoFrame &f) {
                    const QByteArray what = f == frame ? "" : f.isValid() ? ":other" : ":blank";
                    seen << char('a' + i) + what;
                });
        }
    }
    void deliver(int orientation)
    {
        sink.setOutputFrame(orientation, frame.surfaceFormat(), frame);
    }
    QVideoSink *at(int i) { return out[i].get(); }

    VideoSink sink;
    QVideoFrame old = makeFrame(0), frame = makeFrame(0xff);
    std::unique_ptr<QVideoSink> out[3];
    QByteArrayList seen;
};
using Step = std::function<void(Rig &)>;
} // namespace

Q_DECLARE_METATYPE(Step)

class TestVideoSink : public QObject
{
    Q_OBJECT
private slots:
    void fanOut_data();
    void fanOut();
};

void TestVideoSink::fanOut_data()
{
    QTest::addColumn<Step>("action");
    QTest::addColumn<QByteArrayList>("seen");
    QTest::addColumn<QByteArrayList>("emitted");
    QTest::addColumn<bool>("started");
    QTest::addColumn<int>("outputs");
    const QByteArray started = "startedChanged()";

    QTest::newRow("frame before any output is dropped")
        << Step([](Rig &r) { r.deliver(90); }) << QByteArrayList{} << QByteArrayList{} << false
        << 0;
    QTest::newRow("same frame to each output in registration order") << Step([](Rig &r) {
        for (QVideoSink *s :
             {r.at(2), r.at(0), static_cast<QVideoSink *>(nullptr), r.at(1), r.at(0)})
            r.sink.appendSink(s);
        r.deliver(0);
    }) << QByteArrayList{"c", "a", "b"} << QByteArrayList{started} << true
                                                                     << 3;
    QTest::newRow("orientation reported on change only") << Step([](Rig &r) {
        r.sink.appendSink(r.at(0));
        r.deliver(90);
        r.deliver(90);
    }) << QByteArrayList{"a"} << QByteArrayList{started, "orientationChanged(90)"}
                                                         << true << 1;
    QTest::newRow("registered twice, removed once") << Step([](Rig &r) {
        r.sink.appendSink(r.at(0));
        r.sink.appendSink(r.at(0));
        r.sink.removeSink(r.at(0));
        r.deliver(0);
    }) << QByteArrayList{"a:blank"} << QByteArrayList{started, started}
                                                    << false << 0;
    QTest::newRow("removing an unknown output blanks it and stops") << Step([](Rig &r) {
        r.sink.setStarted(true);
        r.sink.removeSink(r.at(1));
    }) << QByteArrayList{"b:blank"} << QByteArrayList{started, started}
                                                                    << false << 0;
    QTest::newRow("removing one of two keeps running") << Step([](Rig &r) {
        r.sink.appendSink(r.at(0));
        r.sink.appendSink(r.at(1));
        r.sink.removeSink(r.at(0));
        r.deliver(0);
    }) << QByteArrayList{"a:blank", "b"} << QByteArrayList{started}
                                                       << true << 1;
    QTest::newRow("clearing keeps running and pictures") << Step([](Rig &r) {
        r.sink.appendSink(r.at(0));
        r.sink.clearSinks();
        r.deliver(0);
    }) << QByteArrayList{} << QByteArrayList{started} << true
                                                         << 0;
    QTest::newRow("null outputs ignored") << Step([](Rig &r) {
        r.sink.appendSink(nullptr);
        r.sink.removeSink(nullptr);
    }) << QByteArrayList{} << QByteArrayList{}
                                          << false << 0;
    QTest::newRow("stopped drops frames until an output registers again") << Step([](Rig &r) {
        r.sink.appendSink(r.at(0));
        r.sink.setStarted(false);
        r.sink.setStarted(false);
        r.deliver(0);
        r.sink.appendSink(r.at(0));
        r.deliver(0);
    }) << QByteArrayList{"a"} << QByteArrayList{started, started, started} << true
                                                                          << 1;
    QTest::newRow("destroyed output is forgotten") << Step([](Rig &r) {
        r.sink.appendSink(r.at(0));
        r.sink.appendSink(r.at(1));
        r.out[0].reset();
        r.deliver(0);
    }) << QByteArrayList{"b"} << QByteArrayList{started}
                                                   << true << 1;
    QTest::newRow("output destroyed while a frame is delivered") << Step([](Rig &r) {
        for (int i = 0; i < 3; ++i)
            r.sink.appendSink(r.at(i));
        QObject::connect(r.at(0), &QVideoSink::videoFrameChanged, r.at(0),
                         [&r] { r.out[1].reset(); });
        r.deliver(0);
    }) << QByteArrayList{"a", "c"} << QByteArrayList{started} << true
                                                                 << 2;
}

void TestVideoSink::fanOut()
{
    QFETCH(Step, action);
    QFETCH(QByteArrayList, seen);
    QFETCH(QByteArrayList, emitted);
    QFETCH(bool, started);
    QFETCH(int, outputs);
    Rig rig;
    QVERIFY(rig.frame.isValid());
    SignalLog log(&rig.sink);
    action(rig);
    QCOMPARE(rig.seen, seen);
    QCOMPARE(log.take(), emitted);
    QCOMPARE(rig.sink.started(), started);
    QCOMPARE(rig.sink.sinkCount(), outputs);
}

QTEST_MAIN(TestVideoSink)
#include "tst_videosink.moc"
