#include "callparticipant.h"
#include "framestamp.h"
#include "roomrequest.h"
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
            [this](qint64 from, ConsumerType type, int, const QVideoFrameFormat &,
                   const QVideoFrame &frame) {
                onFrame(type == CONSUMER_SCREEN ? shareTracks[from] : tracks[from], from, frame);
            });
    connect(m_engine, &Broadcaster::sigNotifyCreateShare, this,
            [this](qint64 op, const QString &id, ShareType type) {
                sharesCreated.append({op, id, int(type)});
            });
    connect(m_engine, &Broadcaster::sigNotifyCloseShare, this,
            [this](qint64 op, const QString &id) {
                sharesClosed.append({op, id, 0});
            });
    connect(m_engine, &Broadcaster::sigNotifyKicked, this, [this](qint64 op, qint64 who) {
        kicks.append({op, who, 0});
    });
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

void CallParticipant::onFrame(Track &t, qint64 from, QVideoFrame frame)
{
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

bool CallParticipant::everyoneSees(const std::vector<std::unique_ptr<CallParticipant>> &call,
                                   int frames)
{
    for (const auto &c : call) {
        for (const auto &o : call) {
            if (c != o && c->tracks.value(o->uid).frames < frames)
                return false;
        }
    }
    return true;
}

QString CallParticipant::mediaUrl(const QUrl &janus, quint64 room, const QString &secret,
                                  qint64 host)
{
    QUrlQuery q;
    q.addQueryItem(QStringLiteral("janus"), janus.toString());
    q.addQueryItem(QStringLiteral("room"), QString::number(room));
    if (!secret.isEmpty())
        q.addQueryItem(QStringLiteral("secret"), secret);
    if (host != 0)
        q.addQueryItem(QStringLiteral("host"), QString::number(host));
    return QStringLiteral("https://media.invalid/?") + q.toString(QUrl::FullyEncoded);
}

bool CallParticipant::createRoom(const QUrl &janus, quint64 room, const QString &secret,
                                 QString *error, int timeoutMs)
{
    return RoomRequest::sendAndWait(janus, RoomRequest::create(room, secret), nullptr, error,
                                    timeoutMs);
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
