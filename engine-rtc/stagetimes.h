#pragma once
#include <QList>
#include <QtGlobal>

namespace qtwebrtc::rtc {

// Where a frame's delay goes, for the benchmark: publishers record capture to encoder output,
// subscribers capture to decoder output (both read from the frame stamps, so only stamped
// frames count). Shared by every engine in the process; off until enabled, as reading the
// stamps costs a little on every frame.
class StageTimes
{
public:
    enum Stage { Encoded, Decoded, StageCount };

    static void setEnabled(bool on);
    static bool enabled();
    static void add(Stage stage, qint32 ms);
    // The delays recorded since the last call, in ms; clears them.
    static QList<qint32> take(Stage stage);
};

} // namespace qtwebrtc::rtc
