#include "rtcpeer.h"
#include "framefeed.h"
#include "framestamp.h"
#include "mailbox.h"
#include "rtclog.h"
#include "stagetimes.h"
#include "temporallayers.h"
#include <QVideoFrameFormat>
#include <atomic>
#define GST_USE_UNSTABLE_API
#include <gst/app/gstappsink.h>
#include <gst/sdp/sdp.h>
#include <gst/video/video.h>
#include <gst/webrtc/webrtc.h>

namespace qtwebrtc::rtc {

namespace {
std::atomic<int> g_livePipelines{0};

constexpr int kCameraFps = 15;
const char *kCamera = "videotestsrc is-live=true pattern=ball ! "
                      "video/x-raw,format=I420,width=320,height=240,framerate=15/1";
const char *kVideoSend =
    " ! identity name=camera ! valve name=videovalve drop-mode=forward-sticky-events ! "
    "vp8enc name=videoenc deadline=1 cpu-used=8 lag-in-frames=0 end-usage=cbr "
    "target-bitrate=%1 keyframe-max-dist=30 threads=1 ! rtpvp8pay picture-id-mode=15-bit ! "
    "application/x-rtp,media=video,encoding-name=VP8,payload=96,clock-rate=90000 ! rtc. ";
const char *kVoice =
    "audiotestsrc name=voicesrc is-live=true wave=sine volume=0.3 samplesperbuffer=960 ! "
    "audio/x-raw,format=S16LE,rate=48000,channels=1";
const char *kAudioSend =
    " ! identity name=voice ! "
    "valve name=audiovalve drop-mode=forward-sticky-events ! audioconvert ! opusenc ! rtpopuspay ! "
    "application/x-rtp,media=audio,encoding-name=OPUS,payload=111,clock-rate=48000 ! rtc.";

const char *kVideoBranch = "queue ! rtpvp8depay ! vp8dec name=decoder ! videoconvert ! "
                           "video/x-raw,format=I420 ! appsink name=frames sync=false "
                           "max-buffers=2 drop=true";
const char *kAudioBranch = "queue ! rtpopusdepay ! opusdec ! audioconvert ! "
                           "level interval=100000000 post-messages=true ! "
                           "volume name=playout ! "
                           "level name=played interval=100000000 post-messages=true ! "
                           "audioconvert ! audioresample ! ";
} // namespace

// What GStreamer's callbacks may reach. Owned jointly by the peer and every callback
// registration, so it outlives both.
struct PeerShared
{
    explicit PeerShared(RtcPeer *peer) : mailbox(peer), owner(peer) {}

    Mailbox mailbox;
    RtcPeer *owner; // dereferenced only in posted calls, which die with the peer
    ElementRef webrtc;
    QString audioSink;
    quint32 stampSender = 0;
    QSize stampSize;
    std::atomic<quint32> frameCounter{0};
    std::atomic<quint32> lastStampMs{0};
    std::atomic<double> gain{1.0};
    std::atomic<bool> audioOn{true};
    std::atomic<bool> videoOn{true};

    template <typename Fn> void post(Fn fn)
    {
        mailbox.post([o = owner, fn = std::move(fn)]() mutable { fn(o); });
    }
};

namespace {
using SharedPtr = std::shared_ptr<PeerShared>;

SharedPtr &shared(gpointer data)
{
    return *static_cast<SharedPtr *>(data);
}

gpointer hold(const SharedPtr &s)
{
    return new SharedPtr(s);
}

void release(gpointer data)
{
    delete static_cast<SharedPtr *>(data);
}

void releaseClosure(gpointer data, GClosure *)
{
    release(data);
}

template <typename Callback>
void connectSignal(GstElement *e, const char *name, Callback cb, const SharedPtr &s)
{
    g_signal_connect_data(e, name, G_CALLBACK(cb), hold(s), releaseClosure, GConnectFlags(0));
}

QString sdpText(GstWebRTCSessionDescription *desc)
{
    gchar *text = gst_sdp_message_as_text(desc->sdp);
    const QString out = QString::fromUtf8(text);
    g_free(text);
    return out;
}

GstWebRTCSessionDescription *parseSdp(const QString &sdp, GstWebRTCSDPType type)
{
    GstSDPMessage *msg = nullptr;
    const QByteArray bytes = sdp.toUtf8();
    if (gst_sdp_message_new_from_text(bytes.constData(), &msg) != GST_SDP_OK)
        return nullptr;
    return gst_webrtc_session_description_new(type, msg);
}

GstPadProbeReturn stampFrame(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    PeerShared &s = *shared(data);
    GstBuffer *buf = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
    GST_PAD_PROBE_INFO_DATA(info) = buf;
    GstMapInfo map;
    if (gst_buffer_map(buf, &map, GST_MAP_WRITE)) {
        const FrameStamp stamp{s.stampSender, s.frameCounter++, FrameStamp::nowMs()};
        s.lastStampMs = stamp.captureMs;
        const int stride = GST_ROUND_UP_4(s.stampSize.width()); // I420's luma stride
        if (map.size >= gsize(stride * s.stampSize.height()))
            stamp.write(map.data, stride, s.stampSize.width(), s.stampSize.height());
        gst_buffer_unmap(buf, &map);
    }
    return GST_PAD_PROBE_OK;
}

// The encoder works in the capture thread and emits each frame before the next is captured.
GstPadProbeReturn timeEncoded(GstPad *, GstPadProbeInfo *, gpointer data)
{
    StageTimes::add(StageTimes::Encoded,
                    FrameStamp::elapsedMs(shared(data)->lastStampMs, FrameStamp::nowMs()));
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn timeDecoded(GstPad *pad, GstPadProbeInfo *info, gpointer)
{
    CapsRef caps(gst_pad_get_current_caps(pad));
    GstVideoInfo vi;
    GstVideoFrame frame;
    if (!caps || !gst_video_info_from_caps(&vi, caps.get()) ||
        !gst_video_frame_map(&frame, &vi, GST_PAD_PROBE_INFO_BUFFER(info), GST_MAP_READ))
        return GST_PAD_PROBE_OK;
    const auto stamp =
        FrameStamp::read(static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                         GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), GST_VIDEO_FRAME_WIDTH(&frame),
                         GST_VIDEO_FRAME_HEIGHT(&frame));
    gst_video_frame_unmap(&frame);
    if (stamp)
        StageTimes::add(StageTimes::Decoded,
                        FrameStamp::elapsedMs(stamp->captureMs, FrameStamp::nowMs()));
    return GST_PAD_PROBE_OK;
}

// Tone bursts: three seconds of tone, one of silence.
GstPadProbeReturn shapeVoice(GstPad *, GstPadProbeInfo *info, gpointer)
{
    GstBuffer *buf = GST_PAD_PROBE_INFO_BUFFER(info);
    if (!GST_BUFFER_PTS_IS_VALID(buf) || (GST_BUFFER_PTS(buf) / GST_SECOND) % 4 != 3)
        return GST_PAD_PROBE_OK;
    buf = gst_buffer_make_writable(buf);
    GST_PAD_PROBE_INFO_DATA(info) = buf;
    gst_buffer_memset(buf, 0, 0, gst_buffer_get_size(buf));
    return GST_PAD_PROBE_OK;
}

void addProbe(GstElement *bin, const char *element, GstPadProbeCallback cb, const SharedPtr &s)
{
    ElementRef e(gst_bin_get_by_name(GST_BIN(bin), element));
    PadRef pad(gst_element_get_static_pad(e.get(), "src"));
    gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, cb, hold(s), release);
}

QVideoFrame toVideoFrame(GstSample *sample)
{
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, gst_sample_get_caps(sample)))
        return {};
    GstVideoFrame in;
    if (!gst_video_frame_map(&in, &info, gst_sample_get_buffer(sample), GST_MAP_READ))
        return {};
    const QVideoFrameFormat format(QSize(GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info)),
                                   QVideoFrameFormat::Format_YUV420P);
    QVideoFrame out(format);
    // Qt 6.4 builds no frame from foreign memory, so the planes are copied.
    if (out.map(QVideoFrame::WriteOnly)) {
        for (int p = 0; p < 3 && p < out.planeCount(); ++p) {
            const int rows = GST_VIDEO_FRAME_COMP_HEIGHT(&in, p);
            const int srcStride = GST_VIDEO_FRAME_PLANE_STRIDE(&in, p);
            const int dstStride = out.bytesPerLine(p);
            const int bytes = qMin(qMin(srcStride, dstStride), GST_VIDEO_FRAME_COMP_WIDTH(&in, p));
            const auto *src = static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&in, p));
            for (int y = 0; y < rows; ++y)
                memcpy(out.bits(p) + y * dstStride, src + y * srcStride, size_t(bytes));
        }
        out.unmap();
    }
    gst_video_frame_unmap(&in);
    return out;
}

GstFlowReturn onSample(GstAppSink *sink, gpointer data)
{
    PeerShared &s = *shared(data);
    SampleRef sample(gst_app_sink_pull_sample(sink));
    if (!sample)
        return GST_FLOW_EOS;
    if (!s.videoOn)
        return GST_FLOW_OK;
    QVideoFrame frame = toVideoFrame(sample.get());
    if (frame.isValid())
        s.post([frame](RtcPeer *p) { emit p->videoFrame(frame); });
    return GST_FLOW_OK;
}

// Links the decoding branch of a new remote stream. Runs on a streaming thread and touches
// only GStreamer objects, as GStreamer requires the link before data flows.
void onPadAdded(GstElement *webrtc, GstPad *pad, gpointer data)
{
    const SharedPtr &s = shared(data);
    if (GST_PAD_DIRECTION(pad) != GST_PAD_SRC)
        return;
    CapsRef caps(gst_pad_get_current_caps(pad));
    const GstStructure *st = caps ? gst_caps_get_structure(caps.get(), 0) : nullptr;
    const gchar *media = st ? gst_structure_get_string(st, "media") : nullptr;
    const bool video = g_strcmp0(media, "video") == 0;
    // A stream that appears while the pipeline is being taken down has nowhere to go.
    ElementRef pipeline(GST_ELEMENT(gst_element_get_parent(webrtc)));
    if ((!video && g_strcmp0(media, "audio") != 0) || !pipeline)
        return;
    const QByteArray desc =
        video ? QByteArray(kVideoBranch) : QByteArray(kAudioBranch) + s->audioSink.toUtf8();
    GError *err = nullptr;
    GstElement *branch = gst_parse_bin_from_description(desc.constData(), TRUE, &err);
    if (!branch) {
        const QString why = QString::fromUtf8(err ? err->message : "unknown");
        g_clear_error(&err);
        s->post([why](RtcPeer *p) { emit p->failed(QStringLiteral("cannot decode: ") + why); });
        return;
    }
    gst_bin_add(GST_BIN(pipeline.get()), branch);
    if (video) {
        if (StageTimes::enabled())
            addProbe(branch, "decoder", timeDecoded, s);
        ElementRef sink(gst_bin_get_by_name(GST_BIN(branch), "frames"));
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = onSample;
        gst_app_sink_set_callbacks(GST_APP_SINK(sink.get()), &callbacks, hold(s), release);
    } else {
        ElementRef volume(gst_bin_get_by_name(GST_BIN(branch), "playout"));
        g_object_set(volume.get(), "volume", s->gain.load(), "mute", !s->audioOn.load(), nullptr);
    }
    gst_element_sync_state_with_parent(branch);
    PadRef sinkPad(gst_element_get_static_pad(branch, "sink"));
    gst_pad_link(pad, sinkPad.get());
}

void onNegotiationNeeded(GstElement *, gpointer data)
{
    shared(data)->post([](RtcPeer *p) { p->createOffer(); });
}

void onIceCandidate(GstElement *, guint mline, gchar *candidate, gpointer data)
{
    const QString text = QString::fromUtf8(candidate);
    shared(data)->post([mline, text](RtcPeer *p) { p->onLocalCandidate(int(mline), text); });
}

void onGatheringState(GstElement *webrtc, GParamSpec *, gpointer data)
{
    GstWebRTCICEGatheringState state = GST_WEBRTC_ICE_GATHERING_STATE_NEW;
    g_object_get(webrtc, "ice-gathering-state", &state, nullptr);
    if (state == GST_WEBRTC_ICE_GATHERING_STATE_COMPLETE)
        shared(data)->post([](RtcPeer *p) { p->onGatheringDone(); });
}

void onConnectionStateNotify(GstElement *webrtc, GParamSpec *, gpointer data)
{
    GstWebRTCPeerConnectionState state = GST_WEBRTC_PEER_CONNECTION_STATE_NEW;
    g_object_get(webrtc, "connection-state", &state, nullptr);
    shared(data)->post([state](RtcPeer *p) { p->onConnectionState(int(state)); });
}

double maxOf(const GstStructure *s, const char *field)
{
    const GValue *v = gst_structure_get_value(s, field);
    // The level element still reports in the deprecated GValueArray.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    if (!v || !G_VALUE_HOLDS_BOXED(v))
        return -200;
    auto *arr = static_cast<GValueArray *>(g_value_get_boxed(v));
    double best = -200;
    for (guint i = 0; arr && i < arr->n_values; ++i)
        best = qMax(best, g_value_get_double(g_value_array_get_nth(arr, i)));
    G_GNUC_END_IGNORE_DEPRECATIONS
    return best;
}

GstBusSyncReply onBusMessage(GstBus *, GstMessage *msg, gpointer data)
{
    PeerShared &s = *shared(data);
    if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
        GError *err = nullptr;
        gst_message_parse_error(msg, &err, nullptr);
        const QString why = QString::fromUtf8(err ? err->message : "unknown");
        g_clear_error(&err);
        s.post([why](RtcPeer *p) { emit p->failed(why); });
    } else if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ELEMENT && gst_message_has_name(msg, "level")) {
        const GstStructure *st = gst_message_get_structure(msg);
        const double rms = maxOf(st, "rms");
        const double peak = maxOf(st, "peak");
        if (g_strcmp0(GST_OBJECT_NAME(GST_MESSAGE_SRC(msg)), "played") == 0)
            s.post([rms, peak](RtcPeer *p) { emit p->playedLevel(rms, peak); });
        else
            s.post([rms, peak](RtcPeer *p) { emit p->audioLevel(rms, peak); });
    }
    // A dropped message is ours to release; each one holds its sender, which would leak the
    // element with it.
    gst_message_unref(msg);
    return GST_BUS_DROP;
}

struct StatsTally
{
    MediaMetrics::Transport t;
    quint64 lost = 0;
    quint64 received = 0;
};

gboolean tallyStat(GQuark, const GValue *value, gpointer data)
{
    auto &tally = *static_cast<StatsTally *>(data);
    if (!GST_VALUE_HOLDS_STRUCTURE(value))
        return TRUE;
    const GstStructure *s = gst_value_get_structure(value);
    GstWebRTCStatsType type{};
    if (!gst_structure_get(s, "type", GST_TYPE_WEBRTC_STATS_TYPE, &type, nullptr))
        return TRUE;
    double d = 0;
    if (gst_structure_get_double(s, "jitter", &d))
        tally.t.jitterMs = qMax(tally.t.jitterMs, d * 1000);
    if (type == GST_WEBRTC_STATS_REMOTE_INBOUND_RTP) {
        if (gst_structure_get_double(s, "round-trip-time", &d))
            tally.t.rttMs = qMax(tally.t.rttMs, d * 1000);
        if (gst_structure_get_double(s, "fraction-lost", &d))
            tally.t.lossFraction = qMax(tally.t.lossFraction, d);
    } else if (type == GST_WEBRTC_STATS_INBOUND_RTP) {
        gint64 lost = 0;
        guint64 received = 0;
        if (gst_structure_get_int64(s, "packets-lost", &lost))
            tally.lost += quint64(qMax<gint64>(0, lost));
        if (gst_structure_get_uint64(s, "packets-received", &received))
            tally.received += received;
    }
    return TRUE;
}

void onStats(GstPromise *promise, gpointer data)
{
    if (gst_promise_wait(promise) != GST_PROMISE_RESULT_REPLIED)
        return;
    const GstStructure *reply = gst_promise_get_reply(promise);
    if (!reply)
        return;
    StatsTally tally;
    gst_structure_foreach(reply, tallyStat, &tally);
    shared(data)->post(
        [tally](RtcPeer *p) { p->onReceiveCounters(tally.lost, tally.received, tally.t); });
}

// Sets the description webrtcbin created as our own and posts its text.
void onDescriptionCreated(GstPromise *promise, gpointer data, const char *field)
{
    PeerShared &s = *shared(data);
    if (gst_promise_wait(promise) != GST_PROMISE_RESULT_REPLIED || !s.webrtc)
        return;
    const GstStructure *reply = gst_promise_get_reply(promise);
    GstWebRTCSessionDescription *desc = nullptr;
    if (!reply ||
        !gst_structure_get(reply, field, GST_TYPE_WEBRTC_SESSION_DESCRIPTION, &desc, nullptr)) {
        s.post([](RtcPeer *p) { emit p->failed(QStringLiteral("no session description")); });
        return;
    }
    g_signal_emit_by_name(s.webrtc.get(), "set-local-description", desc, nullptr);
    const QString text = sdpText(desc);
    gst_webrtc_session_description_free(desc);
    s.post([text](RtcPeer *p) { p->onLocalDescription(text); });
}

void onOffer(GstPromise *promise, gpointer data)
{
    onDescriptionCreated(promise, data, "offer");
}

void onAnswer(GstPromise *promise, gpointer data)
{
    onDescriptionCreated(promise, data, "answer");
}

// The media server has an address of its own, so router port mapping buys nothing; and the
// agent's port-mapping thread outlives the peer, still running when the process exits.
void configureIce(GstElement *webrtc, bool loopbackOnly)
{
    GstWebRTCICE *ice = nullptr;
    g_object_get(webrtc, "ice-agent", &ice, nullptr);
    if (!ice)
        return;
    GObject *agent = nullptr;
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(ice), "agent"))
        g_object_get(ice, "agent", &agent, nullptr);
    if (agent) {
        g_object_set(agent, "upnp", FALSE, nullptr);
        g_object_unref(agent);
    }
    if (loopbackOnly) {
        gboolean added = FALSE;
        g_signal_emit_by_name(ice, "add-local-ip-address", "127.0.0.1", &added);
        g_object_set(ice, "ice-tcp", FALSE, nullptr);
    }
    gst_object_unref(ice);
}

void setDirections(GstElement *webrtc, GstWebRTCRTPTransceiverDirection direction)
{
    GArray *transceivers = nullptr;
    g_signal_emit_by_name(webrtc, "get-transceivers", &transceivers);
    for (guint i = 0; transceivers && i < transceivers->len; ++i)
        g_object_set(g_array_index(transceivers, GstWebRTCRTPTransceiver *, i), "direction",
                     direction, nullptr);
    if (transceivers)
        g_array_unref(transceivers);
}
} // namespace

RtcPeer::RtcPeer(Role role, const Options &options, QObject *parent)
    : QObject(parent), m_role(role), m_options(options),
      m_shared(std::make_shared<PeerShared>(this))
{
    qRegisterMetaType<MediaMetrics::Transport>();
    m_shared->audioSink = options.audioSink;
    m_shared->stampSender = options.stampSender;
    m_shared->stampSize = options.videoSize;
}

RtcPeer::~RtcPeer()
{
    stop();
}

void RtcPeer::stop()
{
    m_shared->mailbox.close();
    if (!m_pipeline)
        return;
    if (m_options.feed)
        m_options.feed->detach();
    BusRef bus(gst_element_get_bus(m_pipeline.get()));
    gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
    // The element's signal handlers hold the shared state: drop its reference to the element
    // so neither keeps the other alive.
    m_shared->webrtc.reset();
    m_webrtc.reset();
    m_pipeline.reset();
}

int RtcPeer::liveCount()
{
    return g_livePipelines.load();
}

bool RtcPeer::start(QString *error)
{
    if (!build(error))
        return false;
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        *error = QStringLiteral("the media pipeline does not start");
        return false;
    }
    return true;
}

QByteArray RtcPeer::description() const
{
    QByteArray d = "webrtcbin name=rtc bundle-policy=max-bundle ";
    if (m_role == Role::Subscriber)
        return d;
    const FrameFeed *feed = m_options.feed.get();
    if (!m_options.videoSource.isEmpty())
        d += m_options.videoSource;
    else if (feed && feed->carriesVideo())
        d += FrameFeed::videoChain(m_options.videoSize, kCameraFps);
    else
        d += kCamera;
    d += QByteArray(kVideoSend).replace("%1", QByteArray::number(m_options.videoBitrate));
    if (m_options.withAudio)
        d += (feed && feed->carriesAudio() ? FrameFeed::audioChain() : QByteArray(kVoice)) +
             kAudioSend;
    return d;
}

bool RtcPeer::build(QString *error)
{
    GError *err = nullptr;
    const bool publisher = m_role == Role::Publisher;
    GstElement *parsed = gst_parse_launch(description().constData(), &err);
    if (!parsed) {
        *error = QStringLiteral("cannot build the media pipeline: ") +
                 QString::fromUtf8(err ? err->message : "unknown");
        g_clear_error(&err);
        return false;
    }
    g_clear_error(&err);
    // A lone element comes back bare, not in a pipeline.
    if (GST_IS_PIPELINE(parsed)) {
        m_pipeline.reset(parsed);
    } else {
        m_pipeline.reset(gst_pipeline_new(nullptr));
        gst_bin_add(GST_BIN(m_pipeline.get()), parsed);
    }
    m_webrtc.reset(gst_bin_get_by_name(GST_BIN(m_pipeline.get()), "rtc"));
    m_shared->webrtc.reset(GST_ELEMENT(gst_object_ref(m_webrtc.get())));
    // Counted until GStreamer frees the element, so a reference left behind shows as a leak.
    ++g_livePipelines;
    g_object_weak_ref(
        G_OBJECT(m_webrtc.get()), [](gpointer, GObject *) { --g_livePipelines; }, nullptr);

    GstElement *rtc = m_webrtc.get();
    configureIce(rtc, m_options.loopbackOnly);
    connectSignal(rtc, "on-ice-candidate", onIceCandidate, m_shared);
    connectSignal(rtc, "notify::ice-gathering-state", onGatheringState, m_shared);
    connectSignal(rtc, "notify::connection-state", onConnectionStateNotify, m_shared);
    BusRef bus(gst_element_get_bus(m_pipeline.get()));
    gst_bus_set_sync_handler(bus.get(), onBusMessage, hold(m_shared), release);

    if (publisher) {
        setUpPublisher();
        connectSignal(rtc, "on-negotiation-needed", onNegotiationNeeded, m_shared);
    } else {
        connectSignal(rtc, "pad-added", onPadAdded, m_shared);
    }
    return true;
}

void RtcPeer::setUpPublisher()
{
    GstElement *pipeline = m_pipeline.get();
    setDirections(m_webrtc.get(), GST_WEBRTC_RTP_TRANSCEIVER_DIRECTION_SENDONLY);
    if (m_options.stampVideo)
        addProbe(pipeline, "camera", stampFrame, m_shared);
    if (m_options.stampVideo && StageTimes::enabled())
        addProbe(pipeline, "videoenc", timeEncoded, m_shared);
    if (m_options.feed)
        m_options.feed->attach(pipeline);
    if (m_options.withAudio && !(m_options.feed && m_options.feed->carriesAudio())) {
        addProbe(pipeline, "voice", shapeVoice, m_shared);
        ElementRef voice(gst_bin_get_by_name(GST_BIN(pipeline), "voicesrc"));
        g_object_set(voice.get(), "freq", m_options.toneHz, nullptr);
    }
    if (m_options.temporalLayers) {
        ElementRef enc(gst_bin_get_by_name(GST_BIN(pipeline), "videoenc"));
        TemporalLayers::configure(enc.get(), m_options.videoBitrate);
    }
    setSending(true, m_options.sendAudio);
    setSending(false, m_options.sendVideo);
}

void RtcPeer::createOffer()
{
    request("create-offer", onOffer);
}

void RtcPeer::onLocalDescription(const QString &sdp)
{
    const bool layered = m_role == Role::Publisher && m_options.temporalLayers;
    emit localDescription(layered ? TemporalLayers::announce(sdp) : sdp);
}

void RtcPeer::acceptOffer(const QString &sdp)
{
    if (setRemote(sdp, GST_WEBRTC_SDP_TYPE_OFFER))
        request("create-answer", onAnswer);
}

void RtcPeer::acceptAnswer(const QString &sdp)
{
    setRemote(sdp, GST_WEBRTC_SDP_TYPE_ANSWER);
}

bool RtcPeer::setRemote(const QString &sdp, int type)
{
    if (!m_webrtc)
        return false;
    GstWebRTCSessionDescription *desc = parseSdp(sdp, GstWebRTCSDPType(type));
    if (!desc) {
        emit failed(QStringLiteral("the media server's session description does not parse"));
        return false;
    }
    g_signal_emit_by_name(m_webrtc.get(), "set-remote-description", desc, nullptr);
    gst_webrtc_session_description_free(desc);
    return true;
}

// Asks webrtcbin for something it answers through a promise, on its own thread.
void RtcPeer::request(const char *signal, void (*onReply)(GstPromise *, gpointer))
{
    if (!m_webrtc)
        return;
    // webrtcbin holds the promise while the request is pending.
    PromiseRef promise(gst_promise_new_with_change_func(onReply, hold(m_shared), release));
    g_signal_emit_by_name(m_webrtc.get(), signal, nullptr, promise.get());
}

void RtcPeer::signalingSent()
{
    if (m_signalingSent)
        return;
    m_signalingSent = true;
    for (const auto &c : std::exchange(m_candidates, {}))
        emit localCandidate(c.first, c.second);
    if (m_gatheringDone)
        emit candidatesDone();
}

void RtcPeer::addRemoteCandidate(int mline, const QString &candidate)
{
    if (m_webrtc)
        g_signal_emit_by_name(m_webrtc.get(), "add-ice-candidate", guint(mline),
                              candidate.toUtf8().constData());
}

// Janus takes candidates only for a handle whose description it has seen.
void RtcPeer::onLocalCandidate(int mline, const QString &candidate)
{
    if (m_signalingSent)
        emit localCandidate(mline, candidate);
    else
        m_candidates.append({mline, candidate});
}

void RtcPeer::onGatheringDone()
{
    m_gatheringDone = true;
    if (m_signalingSent)
        emit candidatesDone();
}

void RtcPeer::setSending(bool audio, bool on)
{
    if (m_role != Role::Publisher || !m_pipeline)
        return;
    ElementRef valve(
        gst_bin_get_by_name(GST_BIN(m_pipeline.get()), audio ? "audiovalve" : "videovalve"));
    if (!valve)
        return;
    gboolean dropping = FALSE;
    g_object_get(valve.get(), "drop", &dropping, nullptr);
    if (bool(dropping) == !on)
        return;
    g_object_set(valve.get(), "drop", !on, nullptr);
    if (!audio && on) {
        // Receivers need a key frame to resume decoding.
        ElementRef enc(gst_bin_get_by_name(GST_BIN(m_pipeline.get()), "videoenc"));
        PadRef src(gst_element_get_static_pad(enc.get(), "src"));
        gst_pad_send_event(
            src.get(), gst_video_event_new_upstream_force_key_unit(GST_CLOCK_TIME_NONE, TRUE, 0));
    }
}

void RtcPeer::setPlayout(double gain, bool audioOn, bool videoOn)
{
    m_shared->gain = gain;
    m_shared->audioOn = audioOn;
    m_shared->videoOn = videoOn;
    if (!m_pipeline)
        return;
    ElementRef volume(gst_bin_get_by_name(GST_BIN(m_pipeline.get()), "playout"));
    if (volume)
        g_object_set(volume.get(), "volume", gain, "mute", !audioOn, nullptr);
}

void RtcPeer::pollStats()
{
    request("get-stats", onStats);
}

void RtcPeer::onReceiveCounters(quint64 lost, quint64 received, MediaMetrics::Transport t)
{
    // A subscriber learns its loss only as running totals.
    if (m_role == Role::Subscriber) {
        const quint64 dLost = lost >= m_lastLost ? lost - m_lastLost : 0;
        const quint64 dReceived = received >= m_lastReceived ? received - m_lastReceived : 0;
        if (dLost + dReceived > 0)
            t.lossFraction = double(dLost) / double(dLost + dReceived);
        m_lastLost = lost;
        m_lastReceived = received;
    }
    emit transportStats(t);
}

void RtcPeer::onConnectionState(int state)
{
    const bool connected = state == GST_WEBRTC_PEER_CONNECTION_STATE_CONNECTED;
    if (state == GST_WEBRTC_PEER_CONNECTION_STATE_FAILED)
        emit failed(QStringLiteral("ICE or DTLS negotiation with the media server failed"));
    if (connected != m_connected) {
        m_connected = connected;
        emit connectionChanged(connected);
    }
}

} // namespace qtwebrtc::rtc
