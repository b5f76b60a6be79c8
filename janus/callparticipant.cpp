#include "callparticipant.h"
#include "framestamp.h"
#include <QDateTime>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>
#include <gst/gst.h>

namespace meetingjanus {

using namespace qtwebrtc;
using qtwebrtc::rtc::FrameStamp;

CallParticipant::CallParticipant(qint64 uid, QObject *parent)
    : QObject(parent), uid(uid), m_engine(new Broadcaster(uid))
{
    m_engine->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_engine, &QObject::deleteLater);
    connect(m_engine, &Broadcaster::sigVideoFrame, this,
            [this](qint64 from, ConsumerType, int, const QVideoFrameFormat &,
                   const QVideoFrame &frame) { onFrame(from, frame); });
    connect(m_engine, &Broadcaster::sigNotifyDecibel, this,
            [this](qint64 from, ConsumerType, double, double peak, const QList<QVariant> &) {
                levels[from].append({QDateTime::currentMSecsSinceEpoch(), peak});
            });
    connect(m_engine, &Broadcaster::sigNotifyStateChange, this,
            [this](CallState s) { states.append(s); });
    connect(m_engine, &Broadcaster::sigNotifyMute, this,
            [this](qint64, qint64 who, int status, MuteType type) {
                if (who == this->uid && status != 0)
                    mutedAtMs.insert(type, QDateTime::currentMSecsSinceEpoch());
            });
    connect(m_engine, &Broadcaster::sigNotifyError, this,
            [this](Error e, const QString &) { errors.append(e); });
    m_thread.start();
}

CallParticipant::~CallParticipant()
{
    stop();
}

void CallParticipant::post(std::function<void(Broadcaster *)> fn)
{
    if (m_thread.isRunning())
        QMetaObject::invokeMethod(m_engine, [e = m_engine, fn] { fn(e); });
}

void CallParticipant::stop()
{
    m_thread.quit();
    m_thread.wait();
}

double CallParticipant::peakSince(qint64 from, qint64 sinceMs) const
{
    double best = 0;
    for (const LevelReport &r : levels.value(from)) {
        if (r.atMs >= sinceMs)
            best = std::max(best, r.peak);
    }
    return best;
}

void CallParticipant::clearLatencies()
{
    for (Track &t : tracks)
        t.latencies.clear();
}

void CallParticipant::onFrame(qint64 from, QVideoFrame frame)
{
    Track &t = tracks[from];
    if (!frame.map(QVideoFrame::ReadOnly))
        return;
    const auto stamp =
        FrameStamp::read(frame.bits(0), frame.bytesPerLine(0), frame.width(), frame.height());
    frame.unmap();
    if (!stamp || qint64(stamp->sender) != from) {
        ++t.badStamps;
        return;
    }
    ++t.frames;
    t.lastCounter = stamp->counter;
    t.latencies.append(FrameStamp::elapsedMs(stamp->captureMs, FrameStamp::nowMs()));
}

QString CallParticipant::mediaUrl(const QUrl &janus, quint64 room)
{
    QUrlQuery q;
    q.addQueryItem(QStringLiteral("janus"), janus.toString());
    q.addQueryItem(QStringLiteral("room"), QString::number(room));
    return QStringLiteral("https://media.invalid/?") + q.toString(QUrl::FullyEncoded);
}

QString CallParticipant::missingElements()
{
    if (!gst_init_check(nullptr, nullptr, nullptr))
        return QStringLiteral("GStreamer does not initialise");
    for (const char *name :
         {"webrtcbin", "nicesrc", "vp8enc", "vp8dec", "opusenc", "opusdec", "rtpvp8pay",
          "rtpopuspay", "level", "appsink", "videotestsrc", "audiotestsrc", "valve", "fakesink"}) {
        GstElementFactory *f = gst_element_factory_find(name);
        if (!f)
            return QStringLiteral("the GStreamer element %1 is not installed")
                .arg(QString::fromLatin1(name));
        gst_object_unref(f);
    }
    return {};
}

} // namespace meetingjanus
