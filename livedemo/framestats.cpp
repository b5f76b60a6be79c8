#include "framestats.h"
#include "framestamp.h"
#include <QDateTime>
#include <QJsonArray>
#include <QVideoFrame>
#include <QVideoSink>
#include <algorithm>
#include <meetingattendeeuser.h>

using qtwebrtc::rtc::FrameStamp;

FrameStats::FrameStats(qint64 uid, QObject *parent) : QObject(parent), m_uid(uid) {}

void FrameStats::watch(QVideoSink *output, MeetingAttendeeUser *user)
{
    if (!output || !user)
        return;
    // The tile's video output is where the frame is shown: its delay is the one people see.
    connect(output, &QVideoSink::videoFrameChanged, this, &FrameStats::onFrame,
            Qt::UniqueConnection);
    const qint64 uid = user->getUserId();
    connect(user, &MeetingAttendeeUser::decibelChanged, this, [this, user, uid] {
        double &peak = m_peakLevel[uid];
        peak = std::max(peak, user->decibel());
    });
}

void FrameStats::onFrame(const QVideoFrame &shown)
{
    QVideoFrame frame(shown);
    if (!frame.isValid() || !frame.map(QVideoFrame::ReadOnly))
        return; // the blank frame a removed output gets
    const auto stamp =
        FrameStamp::read(frame.bits(0), frame.bytesPerLine(0), frame.width(), frame.height());
    frame.unmap();
    if (!stamp) {
        ++m_streams[-1].badStamps;
        return;
    }
    Stream &s = m_streams[qint64(stamp->sender)];
    if (s.frames > 0 && stamp->counter == s.lastCounter) {
        ++s.repeats;
        return;
    }
    s.lastCounter = stamp->counter;
    ++s.frames;
    s.samples.append({QDateTime::currentMSecsSinceEpoch(),
                      FrameStamp::elapsedMs(stamp->captureMs, FrameStamp::nowMs())});
}

QJsonObject FrameStats::toJson() const
{
    QJsonArray streams;
    QJsonObject framesFrom;
    for (auto it = m_streams.cbegin(); it != m_streams.cend(); ++it) {
        framesFrom.insert(QString::number(it.key()), it->frames);
        QJsonArray samples;
        for (const Sample &s : it->samples)
            samples.append(QJsonArray{double(s.atMs), s.latencyMs});
        streams.append(QJsonObject{{QStringLiteral("sender"), double(it.key())},
                                   {QStringLiteral("frames"), it->frames},
                                   {QStringLiteral("badStamps"), it->badStamps},
                                   {QStringLiteral("repeats"), it->repeats},
                                   {QStringLiteral("samples"), samples}});
    }
    QJsonObject levels;
    for (auto it = m_peakLevel.cbegin(); it != m_peakLevel.cend(); ++it)
        levels.insert(QString::number(it.key()), it.value());
    return {{QStringLiteral("uid"), double(m_uid)},
            {QStringLiteral("framesFrom"), framesFrom},
            {QStringLiteral("streams"), streams},
            {QStringLiteral("peakLevels"), levels}};
}

FrameStats::Percentiles FrameStats::percentiles(QList<int> ms)
{
    if (ms.isEmpty())
        return {};
    std::sort(ms.begin(), ms.end());
    return {ms.at(ms.size() / 2), ms.at(ms.size() * 95 / 100), ms.last()};
}
