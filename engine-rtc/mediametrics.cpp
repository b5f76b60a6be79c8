#include "mediametrics.h"
#include <QtGlobal>
#include <cmath>

namespace qtwebrtc::rtc {

namespace {
// Each table gives the lower bound of each penalty step.
int penalty(double value, const double (&steps)[3])
{
    int p = 0;
    for (double s : steps) {
        if (value >= s)
            ++p;
    }
    return p;
}
} // namespace

int MediaMetrics::networkScore(const Transport &t, bool connected)
{
    if (!connected)
        return 0;
    static const double rttSteps[] = {100, 200, 400};
    static const double lossSteps[] = {0.01, 0.03, 0.08};
    static const double jitterSteps[] = {20, 50, 100};
    const int p = (t.rttMs >= 0 ? penalty(t.rttMs, rttSteps) : 0) +
                  penalty(qBound(0.0, t.lossFraction, 1.0), lossSteps) +
                  penalty(t.jitterMs, jitterSteps);
    return qMax(1, 5 - p);
}

double MediaMetrics::displayLevel(double dbfs)
{
    if (std::isnan(dbfs))
        return 0;
    return qBound(0.0, (dbfs + 60.0) * 100.0 / 60.0, 100.0);
}

double MediaMetrics::playoutGain(double volume)
{
    if (std::isnan(volume))
        return 1.0;
    return qBound(0.0, volume, 10.0) / 5.0;
}

} // namespace qtwebrtc::rtc
