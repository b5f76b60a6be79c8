#pragma once
#include "gstref.h"
#include <QAudioFormat>
#include <QByteArray>
#include <QMutex>
#include <QSize>
#include <QVideoFrame>

namespace qtwebrtc::rtc {

// Pictures and sound made outside GStreamer (the devices through QtMultimedia, or a test) on
// their way into a publisher's pipeline, through one `appsrc` for each. Any thread may push;
// the publisher attaches its sources once built and detaches them before it stops, and what
// is pushed while nothing is attached is dropped.
class FrameFeed
{
public:
    FrameFeed(bool video, bool audio) : m_carriesVideo(video), m_carriesAudio(audio) {}

    bool carriesVideo() const { return m_carriesVideo; }
    bool carriesAudio() const { return m_carriesAudio; }

    // Chains that end in what the synthetic sources give: raw I420 of `size` at `fps` (a
    // picture of another shape keeps its proportions, with borders), and 48 kHz mono S16.
    static QByteArray videoChain(const QSize &size, int fps);
    static QByteArray audioChain();

    void attach(GstElement *pipeline);
    void detach();

    // False when the frame is not sent: nothing attached, a format GStreamer is not given here
    // (compressed pictures), or planes smaller than the format says.
    bool pushVideo(const QVideoFrame &frame);
    // Whole sample frames of `pcm`; false when not sent.
    bool pushAudio(const QByteArray &pcm, const QAudioFormat &format);

    // The caps that describe such pictures or sound; empty when they cannot be pushed.
    static QByteArray videoCaps(const QVideoFrameFormat &format);
    static QByteArray audioCaps(const QAudioFormat &format);

private:
    // A reference to the attached source, and whether `caps` must be set on it first.
    ElementRef source(bool video, const QByteArray &caps, bool *newCaps);

    const bool m_carriesVideo;
    const bool m_carriesAudio;
    QMutex m_lock;
    ElementRef m_video;
    ElementRef m_audio;
    QByteArray m_videoCaps;
    QByteArray m_audioCaps;
};

} // namespace qtwebrtc::rtc
