#include "stagetimes.h"
#include <QMutex>
#include <atomic>

namespace qtwebrtc::rtc {

namespace {
std::atomic<bool> g_enabled{false};
QMutex g_lock;
QList<qint32> g_times[StageTimes::StageCount];
} // namespace

void StageTimes::setEnabled(bool on)
{
    g_enabled = on;
}

bool StageTimes::enabled()
{
    return g_enabled;
}

void StageTimes::add(Stage stage, qint32 ms)
{
    QMutexLocker locker(&g_lock);
    g_times[stage].append(ms);
}

QList<qint32> StageTimes::take(Stage stage)
{
    QMutexLocker locker(&g_lock);
    return std::exchange(g_times[stage], {});
}

} // namespace qtwebrtc::rtc
