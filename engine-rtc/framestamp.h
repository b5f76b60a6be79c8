#pragma once
#include <QtGlobal>
#include <optional>

namespace qtwebrtc::rtc {

// What the synthetic camera writes into the top rows of each frame's luma plane, as blocks of
// black and white that survive lossy coding, so a receiver can tell who sent a frame, which
// one it was and when it was captured.
struct FrameStamp
{
    quint32 sender = 0;
    quint32 counter = 0;
    quint32 captureMs = 0; // wall clock, milliseconds modulo 2^32

    static constexpr int kBlockWidth = 10;
    static constexpr int kBlockHeight = 8;
    static constexpr int kRows = 4; // three values and a check word
    static constexpr int kMinWidth = 32 * kBlockWidth;
    static constexpr int kMinHeight = kRows * kBlockHeight;

    // False when the plane is too small to hold a stamp.
    bool write(uchar *luma, int stride, int width, int height) const;
    // Empty when the plane is too small or the check word does not match.
    static std::optional<FrameStamp> read(const uchar *luma, int stride, int width, int height);

    static quint32 nowMs();
    // Milliseconds from `from` to `to`, across the 2^32 wrap.
    static qint32 elapsedMs(quint32 from, quint32 to) { return qint32(to - from); }

    bool operator==(const FrameStamp &o) const
    {
        return sender == o.sender && counter == o.counter && captureMs == o.captureMs;
    }
};

} // namespace qtwebrtc::rtc
