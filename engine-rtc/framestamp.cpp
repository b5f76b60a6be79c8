#include "framestamp.h"
#include <QDateTime>

namespace qtwebrtc::rtc {

namespace {
constexpr uchar kBlack = 16;
constexpr uchar kWhite = 235;
// Makes an all-black or all-white band fail the check.
constexpr quint32 kCheckSalt = 0x5A5AC3C3u;

quint32 checkWord(quint32 a, quint32 b, quint32 c)
{
    return a ^ b ^ c ^ kCheckSalt;
}

bool fits(int stride, int width, int height)
{
    return width >= FrameStamp::kMinWidth && height >= FrameStamp::kMinHeight && stride >= width;
}

void writeRow(uchar *luma, int stride, int row, quint32 value)
{
    for (int bit = 0; bit < 32; ++bit) {
        const uchar v = (value >> (31 - bit)) & 1u ? kWhite : kBlack;
        for (int y = 0; y < FrameStamp::kBlockHeight; ++y) {
            uchar *line = luma + (row * FrameStamp::kBlockHeight + y) * stride;
            std::fill_n(line + bit * FrameStamp::kBlockWidth, FrameStamp::kBlockWidth, v);
        }
    }
}

// Reads the middle of each block only: coding blurs the edges between blocks.
quint32 readRow(const uchar *luma, int stride, int row)
{
    quint32 value = 0;
    for (int bit = 0; bit < 32; ++bit) {
        int sum = 0;
        int count = 0;
        for (int y = 2; y < FrameStamp::kBlockHeight - 2; ++y) {
            const uchar *line = luma + (row * FrameStamp::kBlockHeight + y) * stride;
            for (int x = 2; x < FrameStamp::kBlockWidth - 2; ++x) {
                sum += line[bit * FrameStamp::kBlockWidth + x];
                ++count;
            }
        }
        value = (value << 1) | (sum / count > (kBlack + kWhite) / 2 ? 1u : 0u);
    }
    return value;
}
} // namespace

bool FrameStamp::write(uchar *luma, int stride, int width, int height) const
{
    if (!luma || !fits(stride, width, height))
        return false;
    writeRow(luma, stride, 0, sender);
    writeRow(luma, stride, 1, counter);
    writeRow(luma, stride, 2, captureMs);
    writeRow(luma, stride, 3, checkWord(sender, counter, captureMs));
    return true;
}

std::optional<FrameStamp> FrameStamp::read(const uchar *luma, int stride, int width, int height)
{
    if (!luma || !fits(stride, width, height))
        return std::nullopt;
    FrameStamp s;
    s.sender = readRow(luma, stride, 0);
    s.counter = readRow(luma, stride, 1);
    s.captureMs = readRow(luma, stride, 2);
    if (readRow(luma, stride, 3) != checkWord(s.sender, s.counter, s.captureMs))
        return std::nullopt;
    return s;
}

quint32 FrameStamp::nowMs()
{
    return quint32(QDateTime::currentMSecsSinceEpoch() & 0xFFFFFFFF);
}

} // namespace qtwebrtc::rtc
