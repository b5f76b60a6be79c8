// A real call through a private Janus with 2, 4 and 6 engines in one room (one process, one
// engine thread each): capture-to-hand-over latency read from the stamped frames, frames per
// second on every stream, and CPU per client and for Janus. Growth is printed as ratios
// against the two-client call of the same run. Where the delay goes is read from the same
// stamps at the encoder's output and the decoder's output.
#include "../procstat.h"
#include "callparticipant.h"
#include "janusprocess.h"
#include "stagetimes.h"
#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace qtwebrtc;
using meetingjanus::CallParticipant;
using qtwebrtc::rtc::StageTimes;

namespace {

struct Percentiles
{
    int p50 = 0, p95 = 0, max = 0;

    static Percentiles of(QList<qint32> ms)
    {
        std::sort(ms.begin(), ms.end());
        if (ms.isEmpty())
            return {};
        return {ms.at(ms.size() / 2), ms.at(ms.size() * 95 / 100), ms.last()};
    }
};

struct Result
{
    int clients = 0;
    int p50 = 0, p95 = 0, max = 0;
    Percentiles encoded, decoded; // capture to encoder output, to decoder output
    double minFps = 0, meanFps = 0;
    double cpuPerClient = 0; // percent of one core
    double janusCpu = 0;
};

double processCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void wait(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(5);
    }
}

void pump(int ms)
{
    wait([] { return false; }, ms);
}

Result measure(meetingjanus::JanusProcess &janus, int n, int seconds)
{
    std::vector<std::unique_ptr<CallParticipant>> clients;
    for (int i = 0; i < n; ++i)
        clients.push_back(std::make_unique<CallParticipant>(1000 * n + i + 1));
    const QString url = CallParticipant::mediaUrl(janus.url(), quint64(500 + n));
    CallInfo info;
    info.muteVideo = false;
    for (auto &c : clients)
        c->post([url, info](Broadcaster *b) { b->createCall(url, info); });
    wait([&] { return CallParticipant::everyoneSees(clients, 15); }, 60000);
    for (auto &c : clients)
        c->clearLatencies();
    StageTimes::take(StageTimes::Encoded);
    StageTimes::take(StageTimes::Decoded);
    QHash<QPair<qint64, qint64>, int> before;
    for (auto &c : clients) {
        for (auto &o : clients)
            before[{c->uid, o->uid}] = c->tracks.value(o->uid).frames;
    }
    const double cpu0 = processCpuSeconds();
    const double janus0 = procstat::cpuSeconds(janus.pid());
    const qint64 t0 = QDateTime::currentMSecsSinceEpoch();
    pump(seconds * 1000);
    const double wall = (QDateTime::currentMSecsSinceEpoch() - t0) / 1000.0;
    const QList<qint32> encoded = StageTimes::take(StageTimes::Encoded);
    const QList<qint32> decoded = StageTimes::take(StageTimes::Decoded);

    Result r;
    r.clients = n;
    r.cpuPerClient = (processCpuSeconds() - cpu0) / wall / n * 100;
    r.janusCpu = (procstat::cpuSeconds(janus.pid()) - janus0) / wall * 100;
    QList<qint32> latencies;
    double sumFps = 0;
    r.minFps = 1e9;
    for (auto &c : clients) {
        for (auto &o : clients) {
            if (c == o)
                continue;
            const auto t = c->tracks.value(o->uid);
            const double fps = (t.frames - before[{c->uid, o->uid}]) / wall;
            r.minFps = std::min(r.minFps, fps);
            sumFps += fps;
            latencies += t.latencies;
        }
    }
    r.meanFps = sumFps / (n * (n - 1));
    const Percentiles total = Percentiles::of(latencies);
    r.p50 = total.p50;
    r.p95 = total.p95;
    r.max = total.max;
    r.encoded = Percentiles::of(encoded);
    r.decoded = Percentiles::of(decoded);
    for (auto &c : clients)
        c->post([](Broadcaster *b) { b->leave(false); });
    pump(300);
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qputenv("MEETING_RTC_AUDIO_SINK", "fakesink sync=false async=false");
    // Latency is read from the synthetic camera's stamps, whatever devices the machine has.
    qputenv("MEETING_RTC_CAPTURE", "synthetic");
    QString why = meetingjanus::JanusProcess::missingReason();
    if (why.isEmpty())
        why = CallParticipant::missingElements();
    if (!why.isEmpty()) {
        std::printf("skipped: %s\n", qPrintable(why));
        return 0;
    }
    StageTimes::setEnabled(true);
    meetingjanus::JanusProcess janus;
    QString error;
    if (!janus.start(&error)) {
        std::printf("janus did not start: %s\n", qPrintable(error));
        return 1;
    }
    const int seconds = qEnvironmentVariableIsSet("BENCH_RTC_SECONDS")
                            ? qMax(2, qEnvironmentVariableIntValue("BENCH_RTC_SECONDS"))
                            : 10;
    std::printf("320x240 at 15 fps, VP8 + Opus, %d s per call, one engine thread per client\n",
                seconds);
    std::printf("clients  latency p50/p95/max ms  fps min/mean  CPU/client %%  Janus CPU %%\n");
    std::vector<Result> results;
    for (int n : {2, 4, 6}) {
        const Result r = measure(janus, n, seconds);
        results.push_back(r);
        std::printf("%7d  %6d/%3d/%3d          %5.1f/%5.1f   %11.1f  %11.1f\n", r.clients, r.p50,
                    r.p95, r.max, r.minFps, r.meanFps, r.cpuPerClient, r.janusCpu);
    }
    std::printf(
        "\nWhere the delay goes, p50/p95 ms from capture to: encoder output (encoding),"
        "\ndecoder output (+ sending, Janus, jitter buffer, decoding), hand-over (+ colour"
        "\nconversion, copy into a QVideoFrame, queued signal to the receiver's thread):\n");
    for (const Result &r : results)
        std::printf("%d clients: encoded %d/%d, decoded %d/%d, handed over %d/%d\n", r.clients,
                    r.encoded.p50, r.encoded.p95, r.decoded.p50, r.decoded.p95, r.p50, r.p95);
    const Result &base = results.front();
    std::printf("\nGrowth against the 2-client call of this run:\n");
    for (const Result &r : results) {
        std::printf("%d clients: streams x%.1f, p95 latency x%.2f, CPU per client x%.2f, "
                    "Janus CPU x%.2f\n",
                    r.clients, double(r.clients * (r.clients - 1)) / 2.0,
                    double(qMax(1, r.p95)) / qMax(1, base.p95),
                    r.cpuPerClient / qMax(0.01, base.cpuPerClient),
                    r.janusCpu / qMax(0.01, base.janusCpu));
    }
    return 0;
}
