#include "signallog.h"
#include "videosink.h"
#include <QTest>
#include <QVideoSink>
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

// One VideoSink with outputs a, b and c. Each output starts with an old picture, so that a
// blank is visible, and tells one shared recorder, in order, what it was handed.
struct Rig
{
    Rig()
    {
        for (int i = 0; i < 3; ++i) {
            out[i] = std::make_unique<QVideoSink>();
            out[i]->setVideoFrame(old);
            QObject::connect(out[i].get(), &QVideoSink::videoFrameChanged, out[i].get(),
                             [this, i](const QVideoFrame &f) {
                                 seen << char('a' + i) + QByteArray(f == frame    ? ""
                                                                    : f.isValid() ? ":copy"
                                                                                  : ":blank");
                             });
        }
    }

    // "+a" appends a, "-a" removes it ("+0" / "-0": null), "~a" destroys it, "Xa" destroys
    // it from a's frame handler, "f90" delivers the frame with orientation 90, "s0" / "s1"
    // stop and start, "c" clears.
    void run(const QByteArray &script)
    {
        for (const QByteArray &step : script.split(' ')) {
            const int i = step.size() > 1 ? step[1] - 'a' : 0;
            QVideoSink *target = i >= 0 && i < 3 ? out[i].get() : nullptr;
            const char op = step[0];
            if (op == '+')
                sink.appendSink(target);
            else if (op == '-')
                sink.removeSink(target);
            else if (op == '~')
                out[i].reset();
            else if (op == 'X')
                QObject::connect(out[0].get(), &QVideoSink::videoFrameChanged, target,
                                 [this, i] { out[i].reset(); });
            else if (op == 'f')
                sink.setOutputFrame(step.mid(1).toInt(), frame.surfaceFormat(), frame);
            else if (op == 's')
                sink.setStarted(step[1] == '1');
            else if (op == 'c')
                sink.clearSinks();
        }
    }

    VideoSink sink;
    QVideoFrame old = makeFrame(0), frame = makeFrame(0xff);
    std::unique_ptr<QVideoSink> out[3];
    QByteArrayList seen;
};
} // namespace

class TestVideoSink : public QObject
{
    Q_OBJECT
private slots:
    void fanOut_data();
    void fanOut();
};

void TestVideoSink::fanOut_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QByteArray>("seen");
    QTest::addColumn<QByteArray>("emitted"); // S: startedChanged()
    QTest::addColumn<bool>("started");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("outputs");
    const auto row = [](const char *name, const char *script, const char *seen, const char *emitted,
                        bool started, int orientation, int outputs) {
        QTest::newRow(name) << QByteArray(script) << QByteArray(seen) << QByteArray(emitted)
                            << started << orientation << outputs;
    };
    row("frame without outputs dropped", "f90", "", "", false, 0, 0);
    row("registration order, nulls ignored", "+c +a +0 +b +a -0 f0", "c a b", "S", true, 0, 3);
    row("orientation on change only", "+a f90 f90", "a", "S orientationChanged(90)", true, 90, 1);
    row("twice registered, once removed", "+a +a -a f0", "a:blank", "S S", false, 0, 0);
    row("unknown output blanked, stops", "s1 -b", "b:blank", "S S", false, 0, 0);
    row("one of two removed", "+a +b -a f0", "a:blank b", "S", true, 0, 1);
    row("clearing keeps running", "+a c f0", "", "S", true, 0, 0);
    row("stopped until registered again", "+a s0 s0 f90 +a f0", "a", "S S S", true, 0, 1);
    row("destroyed output forgotten", "+a +b ~a f0", "b", "S", true, 0, 1);
    row("output destroyed during delivery", "+a +b +c Xb f0", "a c", "S", true, 0, 2);
    row("last output destroyed during delivery", "+a +b +c Xc f0", "a b", "S", true, 0, 2);
}

void TestVideoSink::fanOut()
{
    QFETCH(QByteArray, script);
    QFETCH(QByteArray, seen);
    QFETCH(QByteArray, emitted);
    QFETCH(bool, started);
    QFETCH(int, orientation);
    QFETCH(int, outputs);
    Rig rig;
    SignalLog log(&rig.sink);
    rig.run(script);
    QCOMPARE(rig.seen.join(' '), seen);
    QCOMPARE(log.take(), emitted.replace('S', "startedChanged()"));
    QCOMPARE(rig.sink.started(), started);
    QCOMPARE(rig.sink.orientation(), orientation);
    QCOMPARE(rig.sink.sinkCount(), outputs);
}

QTEST_MAIN(TestVideoSink)
#include "tst_videosink.moc"
