#include "framefeed.h"
#include <gst/app/gstappsrc.h>
#include <gst/video/video.h>

namespace qtwebrtc::rtc {

namespace {
// Old buffers go first when the encoder falls behind: a live picture must not queue up.
const char *kSource = "appsrc name=%1 is-live=true format=time do-timestamp=true "
                      "max-buffers=4 leaky-type=downstream ! ";

GstVideoFormat gstFormat(QVideoFrameFormat::PixelFormat f)
{
    using F = QVideoFrameFormat;
    switch (f) {
    case F::Format_YUV420P:
        return GST_VIDEO_FORMAT_I420;
    case F::Format_YV12:
        return GST_VIDEO_FORMAT_YV12;
    case F::Format_YUV422P:
        return GST_VIDEO_FORMAT_Y42B;
    case F::Format_NV12:
        return GST_VIDEO_FORMAT_NV12;
    case F::Format_NV21:
        return GST_VIDEO_FORMAT_NV21;
    case F::Format_YUYV:
        return GST_VIDEO_FORMAT_YUY2;
    case F::Format_UYVY:
        return GST_VIDEO_FORMAT_UYVY;
    case F::Format_Y8:
        return GST_VIDEO_FORMAT_GRAY8;
    case F::Format_ARGB8888:
    case F::Format_ARGB8888_Premultiplied:
        return GST_VIDEO_FORMAT_ARGB;
    case F::Format_XRGB8888:
        return GST_VIDEO_FORMAT_xRGB;
    case F::Format_BGRA8888:
    case F::Format_BGRA8888_Premultiplied:
        return GST_VIDEO_FORMAT_BGRA;
    case F::Format_BGRX8888:
        return GST_VIDEO_FORMAT_BGRx;
    case F::Format_ABGR8888:
        return GST_VIDEO_FORMAT_ABGR;
    case F::Format_XBGR8888:
        return GST_VIDEO_FORMAT_xBGR;
    case F::Format_RGBA8888:
        return GST_VIDEO_FORMAT_RGBA;
    case F::Format_RGBX8888:
        return GST_VIDEO_FORMAT_RGBx;
    default:
        return GST_VIDEO_FORMAT_UNKNOWN;
    }
}

bool videoInfo(const QVideoFrameFormat &format, GstVideoInfo *info)
{
    const GstVideoFormat f = gstFormat(format.pixelFormat());
    const QSize s = format.frameSize();
    return f != GST_VIDEO_FORMAT_UNKNOWN && s.width() > 0 && s.height() > 0 &&
           gst_video_info_set_format(info, f, guint(s.width()), guint(s.height()));
}

// Qt hands out mapped planes only, so each row is copied into GStreamer's layout.
bool copyPlanes(const QVideoFrame &in, GstVideoFrame *out)
{
    const int planes = int(GST_VIDEO_FRAME_N_PLANES(out));
    if (in.planeCount() < planes)
        return false;
    for (int p = 0; p < planes; ++p) {
        gint comps[GST_VIDEO_MAX_COMPONENTS];
        gst_video_format_info_component(out->info.finfo, guint(p), comps);
        const int rows = GST_VIDEO_FRAME_COMP_HEIGHT(out, comps[0]);
        const int bytes =
            GST_VIDEO_FRAME_COMP_WIDTH(out, comps[0]) * GST_VIDEO_FRAME_COMP_PSTRIDE(out, comps[0]);
        const int srcStride = in.bytesPerLine(p);
        const int dstStride = GST_VIDEO_FRAME_PLANE_STRIDE(out, p);
        if (rows <= 0 || srcStride < bytes ||
            qint64(rows - 1) * srcStride + bytes > qint64(in.mappedBytes(p)))
            return false;
        auto *dst = static_cast<uchar *>(GST_VIDEO_FRAME_PLANE_DATA(out, p));
        for (int y = 0; y < rows; ++y)
            memcpy(dst + qint64(y) * dstStride, in.bits(p) + qint64(y) * srcStride, size_t(bytes));
    }
    return true;
}

GstBuffer *toBuffer(QVideoFrame frame)
{
    GstVideoInfo info;
    if (!videoInfo(frame.surfaceFormat(), &info) || !frame.map(QVideoFrame::ReadOnly))
        return nullptr;
    GstBuffer *buf = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr);
    GstVideoFrame out;
    bool ok = gst_video_frame_map(&out, &info, buf, GST_MAP_WRITE);
    if (ok) {
        ok = copyPlanes(frame, &out);
        gst_video_frame_unmap(&out);
    }
    frame.unmap();
    if (!ok)
        gst_clear_buffer(&buf);
    return buf;
}

bool push(const ElementRef &src, const QByteArray &caps, bool newCaps, GstBuffer *buf)
{
    if (newCaps) {
        CapsRef c(gst_caps_from_string(caps.constData()));
        gst_app_src_set_caps(GST_APP_SRC(src.get()), c.get());
    }
    // The source takes the buffer; a stopping pipeline refuses it.
    return gst_app_src_push_buffer(GST_APP_SRC(src.get()), buf) == GST_FLOW_OK;
}
} // namespace

QByteArray FrameFeed::videoChain(const QSize &size, int fps)
{
    return QByteArray(kSource).replace("%1", "camerafeed") +
           QStringLiteral("videoconvert ! videoscale add-borders=true ! videorate ! "
                          "video/x-raw,format=I420,width=%1,height=%2,framerate=%3/1,"
                          "pixel-aspect-ratio=1/1")
               .arg(size.width())
               .arg(size.height())
               .arg(fps)
               .toLatin1();
}

QByteArray FrameFeed::audioChain()
{
    return QByteArray(kSource).replace("%1", "voicefeed") +
           "audioconvert ! audioresample ! audio/x-raw,format=S16LE,rate=48000,channels=1";
}

void FrameFeed::attach(GstElement *pipeline)
{
    QMutexLocker locker(&m_lock);
    if (m_carriesVideo)
        m_video.reset(gst_bin_get_by_name(GST_BIN(pipeline), "camerafeed"));
    if (m_carriesAudio)
        m_audio.reset(gst_bin_get_by_name(GST_BIN(pipeline), "voicefeed"));
    m_videoCaps.clear();
    m_audioCaps.clear();
}

void FrameFeed::detach()
{
    QMutexLocker locker(&m_lock);
    m_video.reset();
    m_audio.reset();
}

ElementRef FrameFeed::source(bool video, const QByteArray &caps, bool *newCaps)
{
    QMutexLocker locker(&m_lock);
    const ElementRef &src = video ? m_video : m_audio;
    QByteArray &current = video ? m_videoCaps : m_audioCaps;
    if (!src)
        return {};
    *newCaps = current != caps;
    current = caps;
    return ElementRef(GST_ELEMENT(gst_object_ref(src.get())));
}

bool FrameFeed::pushVideo(const QVideoFrame &frame)
{
    const QByteArray caps = videoCaps(frame.surfaceFormat());
    bool newCaps = false;
    const ElementRef src = caps.isEmpty() ? ElementRef() : source(true, caps, &newCaps);
    if (!src)
        return false;
    GstBuffer *buf = toBuffer(frame);
    return buf && push(src, caps, newCaps, buf);
}

bool FrameFeed::pushAudio(const QByteArray &pcm, const QAudioFormat &format)
{
    const QByteArray caps = audioCaps(format);
    const qsizetype whole = caps.isEmpty() ? 0 : pcm.size() - pcm.size() % format.bytesPerFrame();
    bool newCaps = false;
    const ElementRef src = whole > 0 ? source(false, caps, &newCaps) : ElementRef();
    if (!src)
        return false;
    return push(src, caps, newCaps, gst_buffer_new_memdup(pcm.constData(), gsize(whole)));
}

QByteArray FrameFeed::videoCaps(const QVideoFrameFormat &format)
{
    GstVideoInfo info;
    if (!videoInfo(format, &info))
        return {};
    // A frame time stamped on arrival has no fixed rate.
    info.fps_n = 0;
    info.fps_d = 1;
    CapsRef caps(gst_video_info_to_caps(&info));
    gchar *text = gst_caps_to_string(caps.get());
    const QByteArray out(text);
    g_free(text);
    return out;
}

QByteArray FrameFeed::audioCaps(const QAudioFormat &format)
{
    const char *sample = nullptr;
    switch (format.sampleFormat()) {
    case QAudioFormat::UInt8:
        sample = "U8";
        break;
    case QAudioFormat::Int16:
        sample = "S16LE";
        break;
    case QAudioFormat::Int32:
        sample = "S32LE";
        break;
    case QAudioFormat::Float:
        sample = "F32LE";
        break;
    default:
        return {};
    }
    const int channels = format.channelCount();
    if (channels < 1 || channels > 8 || format.sampleRate() < 8000 || format.sampleRate() > 192000)
        return {};
    // More than two channels have no positions GStreamer could guess.
    return QStringLiteral("audio/x-raw,format=%1,rate=%2,channels=%3,layout=interleaved%4")
        .arg(QLatin1String(sample))
        .arg(format.sampleRate())
        .arg(channels)
        .arg(channels > 2 ? QStringLiteral(",channel-mask=(bitmask)0") : QString())
        .toLatin1();
}

} // namespace qtwebrtc::rtc
