#include "screensource.h"
#include "gstref.h"
#include <QScreen>

namespace qtwebrtc::rtc {

namespace {
constexpr int kDefaultFps = 15;
constexpr int kMaxFps = 30;
const QSize kDefaultSize(1280, 720);
const QSize kMinSize(320, 240); // room for the frame stamp
const QSize kMaxSize(1920, 1080);

int even(int v)
{
    return v & ~1;
}

QSize outputSize(QScreen *screen, const QRect &rect)
{
    QSize s = rect.isValid() ? rect.size() : screen ? screen->geometry().size() : kDefaultSize;
    s = s.expandedTo(kMinSize).boundedTo(kMaxSize);
    return {even(s.width()), even(s.height())};
}

QByteArray rawCaps(const QSize &size, int fps)
{
    return QStringLiteral("video/x-raw,format=I420,width=%1,height=%2,framerate=%3/1")
        .arg(size.width())
        .arg(size.height())
        .arg(fps)
        .toLatin1();
}
} // namespace

bool ScreenSource::displayReachable()
{
    if (qEnvironmentVariable("MEETING_RTC_SCREEN") == QStringLiteral("synthetic") ||
        qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    // The element opens the display when it starts; a display that does not open fails here.
    ElementRef probe(gst_element_factory_make("ximagesrc", nullptr));
    if (!probe)
        return false;
    gst_object_ref_sink(probe.get());
    const bool opens =
        gst_element_set_state(probe.get(), GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE;
    gst_element_set_state(probe.get(), GST_STATE_NULL);
    return opens;
}

ScreenSource ScreenSource::forShare(QScreen *screen, const QRect &rect, int frameRate)
{
    ScreenSource s;
    s.fps = frameRate > 0 ? qMin(frameRate, kMaxFps) : kDefaultFps;
    s.size = outputSize(screen, rect);
    s.synthetic = !displayReachable();
    QByteArray source = "videotestsrc is-live=true pattern=smpte";
    if (!s.synthetic) {
        source = "ximagesrc use-damage=false";
        if (screen) {
            // Read once on the engine thread: a screen's geometry is plain data.
            const QRect g = screen->geometry();
            source += QStringLiteral(" startx=%1 starty=%2 endx=%3 endy=%4")
                          .arg(g.left())
                          .arg(g.top())
                          .arg(g.right())
                          .arg(g.bottom())
                          .toLatin1();
        }
        source += " ! videoconvert ! videoscale ! videorate";
    }
    s.description = source + " ! " + rawCaps(s.size, s.fps);
    return s;
}

} // namespace qtwebrtc::rtc
