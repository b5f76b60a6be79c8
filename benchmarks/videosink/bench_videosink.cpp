// Cost of fanning one frame out through VideoSink, against handing it to the same outputs
// directly, measured in the same run.
#include "videosink.h"
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QVideoSink>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
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

// Best of several rounds, in nanoseconds per frame; the machine is shared.
double nsPerFrame(int frames, const std::function<void(int)> &deliver)
{
    qint64 best = std::numeric_limits<qint64>::max();
    for (int round = 0; round < 7; ++round) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < frames; ++i)
            deliver(i);
        best = std::min(best, timer.nsecsElapsed());
    }
    return double(best) / frames;
}
} // namespace

int main(int argc, char **argv)
{
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
        const int count = 400000 / n;
        const double direct = nsPerFrame(count, [&](int i) {
            for (const auto &out : outputs)
                out->setVideoFrame(frames[i & 1]);
        });
        const double viaSink =
            nsPerFrame(count, [&](int i) { fanOut.setOutputFrame(0, format, frames[i & 1]); });
        std::printf("%8d %14.1f %14.1f %8.3f\n", n, direct, viaSink, viaSink / direct);
    }
    return 0;
}
