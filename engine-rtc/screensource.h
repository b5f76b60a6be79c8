#pragma once
#include <QByteArray>
#include <QRect>
#include <QSize>

class QScreen;

namespace qtwebrtc::rtc {

// Where a screen share's pictures come from: the X display when one can be opened, otherwise a
// synthetic screen whose frames carry the same stamps as the synthetic camera, so receivers
// can count them (a machine without a display, such as CI, shares that one).
// MEETING_RTC_SCREEN=synthetic picks the synthetic screen even where a display is there.
struct ScreenSource
{
    QByteArray description; // a GStreamer chain ending in raw I420 of `size` at `fps`
    QSize size;
    int fps = 0;
    bool synthetic = true;

    // `screen` may be null (the primary display); an invalid `rect` keeps the screen's size.
    static ScreenSource forShare(QScreen *screen, const QRect &rect, int frameRate);
    static bool displayReachable();
};

} // namespace qtwebrtc::rtc
