// Cost of fanning one frame out through VideoSink, against handing it to the same outputs
// directly, measured in the same run.
#include "videosink.h"
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QVideoSink>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {
QVideoFrame makeFrame(uchar fill)
{
    QVideoFrame frame(QVideoFrameFormat(QSize(640, 480), QVideoFrameFormat::Format_BGRA8888));
    if (frame.map(QVideoFrame::WriteOnly)) {
        memset(frame.bits(0), fill, size_t(frame.mappedBytes(0)));
        frame.unmap();
    }
    return frame;
}

// Nanoseconds per frame for one round of `frames` deliveries.
double timeRound(int frames, const std::function<void(int)> &deliver)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < frames; ++i)
        deliver(i);
    return double(timer.nsecsElapsed()) / frames;
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // Outputs ignore a frame equal to their current one, so alternate two frames.
    const QVideoFrame frames[2] = {makeFrame(0x10), makeFrame(0xf0)};
    const QVideoFrameFormat format = frames[0].surfaceFormat();
    std::printf("%8s %14s %14s %8s\n", "outputs", "direct ns", "VideoSink ns", "ratio");
    for (int n : {1, 4, 16}) {
        std::vector<std::unique_ptr<QVideoSink>> outputs;
        VideoSink fanOut;
        for (int i = 0; i < n; ++i) {
            outputs.push_back(std::make_unique<QVideoSink>());
            fanOut.appendSink(outputs.back().get());
        }
        const int count = 20000 / n;
        const auto direct = [&](int i) {
            for (const auto &out : outputs)
                out->setVideoFrame(frames[i & 1]);
        };
        const auto viaSink = [&](int i) {
            fanOut.setOutputFrame(0, format, frames[i & 1]);
        };
        // Alternate the two in many short rounds and keep the best of each: the machine is
        // shared, and this way both see the same load.
        double best[2] = {1e30, 1e30};
        for (int r = 0; r < 101; ++r) {
            best[0] = std::min(best[0], timeRound(count, direct));
            best[1] = std::min(best[1], timeRound(count, viaSink));
        }
        std::printf("%8d %14.1f %14.1f %8.3f\n", n, best[0], best[1], best[1] / best[0]);
    }
    return 0;
}
