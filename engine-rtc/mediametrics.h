#pragma once

namespace qtwebrtc::rtc {

// Conversions from what the transport and the level meter measure to the scales the meeting
// module shows.
struct MediaMetrics
{
    // What one statistics poll found; a negative round trip means none was measured yet.
    struct Transport
    {
        double rttMs = -1;
        double lossFraction = 0; // 0..1 over the last poll
        double jitterMs = 0;
    };

    // 5 best .. 1 worst while media flows; 0 when the transport is down.
    static int networkScore(const Transport &t, bool connected);
    // dBFS (0 loudest, more negative quieter) to the module's 0..100 level, where 20 and above
    // counts as speaking: -60 dBFS and below read 0, -48 dBFS reads 20, 0 dBFS reads 100.
    static double displayLevel(double dbfs);
    // The module's playout volume (5 is unity) to a gain for the volume element.
    static double playoutGain(double volume);
};

} // namespace qtwebrtc::rtc
