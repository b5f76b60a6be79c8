#include "accountbase.h"
#include "broadcaster.h"
#include "contactbase.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetingmodel.h"
#include <QMetaEnum>
#include <algorithm>

using namespace MeetingDefines;

namespace {

constexpr double kSpeakingPeak = 20.0;

// Values from QML or the engine reach an engine enum only when the engine declares them.
template <typename E> bool toEngine(int value, E &out)
{
    if (!QMetaEnum::fromType<E>().valueToKey(value)) {
        qCWarning(lcMeeting) << "dropped an engine call with the unknown value" << value << "for"
                             << QMetaEnum::fromType<E>().name();
        return false;
    }
    out = static_cast<E>(value);
    return true;
}

AttendeeType entryForMuteType(int type)
{
    switch (type) {
    case qtwebrtc::MUTE_WHITEBOARD:
        return WHITEBOARD;
    case qtwebrtc::MUTE_SCREEN:
    case qtwebrtc::MUTE_SHARE_AUDIO:
        return SHARESCREEN;
    default:
        return VIDEO;
    }
}

QString contactName(const MeetingAttendeeUser *user)
{
    const ContactBase *contact = user->userInfo();
    return contact ? contact->name() : QString();
}

} // namespace

int MeetingModel::setDevice(QString deviceUid, int type)
{
    if (!m_engineThread.isRunning() || !m_broadcaster)
        return -1;
    const char *method = nullptr;
    switch (type) {
    case DEVICE_AUDIO_IN:
        method = "setAudioRecordingDevice";
        break;
    case DEVICE_AUDIO_OUT:
        method = "setAudioPlayoutDevice";
        break;
    case DEVICE_VIDEO_IN:
        method = "setVideoRecordingDevice";
        break;
    default:
        return -1;
    }
    QMetaObject::invokeMethod(m_broadcaster, method, Qt::AutoConnection, Q_ARG(QString, deviceUid));
    return -1;
}

void MeetingModel::setMuteAll(bool mute, bool themselvesOperation, int type)
{
    qtwebrtc::MuteType muteType;
    if (toEngine(type, muteType))
        post([=](qtwebrtc::Broadcaster *b) { b->setMuteAll(mute, themselvesOperation, muteType); });
}

void MeetingModel::setAllowUnmute(bool allowUnmute, int type)
{
    qtwebrtc::MuteType muteType;
    if (toEngine(type, muteType))
        post([=](qtwebrtc::Broadcaster *b) { b->setAllowUnmute(allowUnmute, muteType); });
}

void MeetingModel::setCanUnmuteAudio(bool canUnmuteAudio)
{
    if (m_canUnmuteAudio == canUnmuteAudio)
        return;
    m_canUnmuteAudio = canUnmuteAudio;
    emit canUnmuteAudioChanged(canUnmuteAudio);
}

void MeetingModel::setCanUnmuteVideo(bool canUnmuteVideo)
{
    if (m_canUnmuteVideo == canUnmuteVideo)
        return;
    m_canUnmuteVideo = canUnmuteVideo;
    emit canUnmuteVideoChanged(canUnmuteVideo);
}

void MeetingModel::setRequestOpenDev(int type)
{
    qtwebrtc::MuteType muteType;
    if (!m_broadcaster || !toEngine(type, muteType))
        return;
    const bool audio = type == qtwebrtc::MUTE_AUDIO;
    if (audio ? m_muteAllAudio : m_muteAllVideo)
        setMuteAll(false, audio ? m_canUnmuteAudio : m_canUnmuteVideo, type);
    post([muteType](qtwebrtc::Broadcaster *b) { b->setRequestOpenDev(muteType); });
}

void MeetingModel::setConsumerlayers(int spatialLayer, int temporalLayer, qlonglong uid)
{
    qtwebrtc::LayersLevel spatial, temporal;
    if (toEngine(spatialLayer, spatial) && toEngine(temporalLayer, temporal))
        post([=](qtwebrtc::Broadcaster *b) { b->setConsumerlayers(spatial, temporal, uid); });
}

int MeetingModel::getMaxDecibel()
{
    // A blocking call into a thread that is not running would never return.
    if (!m_broadcaster || !m_engineThread.isRunning())
        return -1;
    int decibel = -1;
    QMetaObject::invokeMethod(m_broadcaster, "getMaxDecibel", Qt::BlockingQueuedConnection,
                              Q_RETURN_ARG(int, decibel));
    return decibel;
}

void MeetingModel::setMirror(bool mirror)
{
    if (m_mirror == mirror || !m_broadcaster)
        return;
    m_mirror = mirror;
    emit mirrorChanged(mirror);
    post([mirror](qtwebrtc::Broadcaster *b) { b->setMirror(mirror); });
}

void MeetingModel::setSoundEffectType(int type)
{
    qtwebrtc::SoundEffectType effect;
    if (toEngine(type, effect))
        post([effect](qtwebrtc::Broadcaster *b) { b->setSoundEffectType(effect); });
}

void MeetingModel::setProxy(QString networkProxy)
{
    post([networkProxy](qtwebrtc::Broadcaster *b) { b->setProxy(networkProxy); });
}

void MeetingModel::notifyMute(qlonglong operatorId, qlonglong uid, int status, int type)
{
    const AttendeeType entry = entryForMuteType(type);
    MeetingAttendeeUser *user = liveObject(uid, entry);
    if (!user || type < qtwebrtc::MUTE_AUDIO || type > qtwebrtc::MUTE_SHARE_AUDIO)
        return;
    const bool self = uid == m_userId;
    const bool byUser = operatorId == uid;

    if (type == qtwebrtc::MUTE_AUDIO || type == qtwebrtc::MUTE_SHARE_AUDIO) {
        const int old = user->muteVoice();
        user->setMute(status, 0, type);
        if (!self)
            return;
        if (byUser && type == qtwebrtc::MUTE_AUDIO)
            user->setVoiceDevStatusLast(status == 0);
        // The host lifted mute-all while the microphone had been on: offer to reopen it.
        const bool askReopen = type == qtwebrtc::MUTE_AUDIO && !byUser &&
                               user->voiceDevStatusLast() && old == 3 && status == 1;
        user->setMute(status, 1, type);
        if (askReopen)
            emit requestOpenDev(0, false);
        return;
    }

    const bool pictureShown = type == qtwebrtc::MUTE_VIDEO && activeListShowsPicture();
    const int old = user->muteVideo();
    user->setMute(status, 0, type);
    if (self) {
        if (type == qtwebrtc::MUTE_VIDEO) {
            if (byUser)
                user->setVideoDevStatusLast(status == 0);
            const bool askReopen = !byUser && user->videoDevStatusLast() && old == 3 && status == 1;
            user->setMute(status, 1, type);
            if (askReopen)
                emit requestOpenDev(2, false);
            return;
        }
        user->setMute(status, 1, type);
    } else if (status != 0 && (user->muteVideoLocal() || old != 0)) {
        return; // the picture was off already: nothing moves
    }
    const int index = m_attendeeList->getAttendeeIndex(uid, entry);
    if (index != -1) {
        m_attendeeList->sortAttendeeByVideo(uid, status, entry, index);
        refreshActiveList();
    }
    if (type == qtwebrtc::MUTE_VIDEO && status == 0 && !pictureShown)
        emit notifySwitchWindow();
}

void MeetingModel::notifyMuteAll(bool status, int type)
{
    const bool audio = type == qtwebrtc::MUTE_AUDIO;
    (audio ? m_muteAllAudio : m_muteAllVideo) = status;
    for (int i = 0; i < m_attendeeList->count(); ++i) {
        MeetingAttendeeUser *user = m_attendeeList->rows().at(i).user;
        if (!user || user->getUserId() == m_hostUid)
            continue;
        if (user->getUserId() == m_userId && user->type() == VIDEO) {
            if (status)
                user->setMute(3, 1, type);
            else if (audio ? user->muteVoiceLocal() : user->muteVideoLocal())
                user->setMute(1, 1, type);
        }
        if (status)
            user->setMute(3, 0, type);
        else if ((audio ? user->muteVoice() : user->muteVideo()) != 0)
            user->setMute(1, 0, type);
    }
}

void MeetingModel::notifyAllowUnmute(bool allowUnmute, int type)
{
    if (type == qtwebrtc::MUTE_AUDIO)
        setCanUnmuteAudio(allowUnmute);
    else
        setCanUnmuteVideo(allowUnmute);
}

void MeetingModel::notifyRequestEnable(int type)
{
    const MeetingAttendeeUser *self = liveObject(m_userId, VIDEO);
    if (!self)
        return;
    int muted = 0;
    if (type == qtwebrtc::MUTE_AUDIO)
        muted = self->muteVoice();
    else if (m_account->accountSettingModel()->supportedMeetingType() == 2)
        muted = self->muteVideo();
    if (muted != 0)
        emit requestOpenDev(type, true);
}

void MeetingModel::userMuteChanged(int mute, int operatorType, int muteType)
{
    MeetingAttendeeUser *user = qobject_cast<MeetingAttendeeUser *>(sender());
    qtwebrtc::MuteType engineType;
    if (!user || !m_broadcaster || !toEngine(muteType, engineType))
        return;
    const qint64 uid = user->getUserId();
    const bool local = operatorType == 1;
    post([=](qtwebrtc::Broadcaster *b) { b->setMute(mute != 0, uid, engineType, local); });

    // Muting the microphone silences one's own screen share as well.
    if (uid == m_userId && muteType == qtwebrtc::MUTE_AUDIO && mute != 0) {
        MeetingAttendeeUser *screen = shareOfKind(uid, SHARESCREEN);
        if (screen && screen->muteVoice() == 0)
            screen->setMuteVoice(1);
    }
    if (local && muteType != qtwebrtc::MUTE_AUDIO && muteType != qtwebrtc::MUTE_SHARE_AUDIO &&
        user->muteVideo() == 0) {
        const auto entry = static_cast<AttendeeType>(user->type());
        const int index = m_attendeeList->getAttendeeIndex(uid, entry);
        if (index != -1)
            m_attendeeList->sortAttendeeByVideo(uid, mute, entry, index);
    }
}

void MeetingModel::setPlayoutVolume(double volume)
{
    MeetingAttendeeUser *user = qobject_cast<MeetingAttendeeUser *>(sender());
    if (!user || !m_broadcaster)
        return;
    const qint64 uid = user->getUserId();
    post([uid, volume](qtwebrtc::Broadcaster *b) { b->setVolume(uid, volume); });
    const bool wasSilent = user->volume() == 0.0 && volume != 0.0;
    // Store first: unmuting a silent attendee would otherwise ask for the default volume and
    // the engine would end on that instead of this one.
    user->setPlayoutVolume(volume);
    if (wasSilent)
        user->setMuteVoiceLocal(false);
}

void MeetingModel::notifyDecibel(qlonglong uid, int consumerType, double averageDecibel,
                                 double peakDecibel, QVariantList decibels)
{
    if (!m_broadcaster)
        return;
    const bool camera = consumerType == qtwebrtc::CONSUMER_VIDEO;
    MeetingAttendeeUser *user = liveObject(uid, camera ? VIDEO : WHITEBOARD);
    if (!user)
        return;
    if (uid == m_userId && user->muteVoice() != 0) {
        // The engine hears a microphone we hold muted: say so again and show nothing.
        post(
            [uid](qtwebrtc::Broadcaster *b) { b->setMute(true, uid, qtwebrtc::MUTE_AUDIO, true); });
        return;
    }
    user->setDecibels(decibels);
    user->setDecibel(peakDecibel);
    user->setAverageDecibel(averageDecibel);
    const bool speaking = peakDecibel >= kSpeakingPeak;
    user->setIsSpeaking(speaking);
    if (!camera)
        return;
    const QString name = contactName(user);
    if (name.isEmpty())
        return;
    if (!speaking)
        m_speakingList.remove(name);
    else if (!m_speakingList.contains(name))
        m_speakingList.insert(name, ++m_speakingSeq);
}

void MeetingModel::setWhoRSpeaking(const QList<QString> &list)
{
    if (list == m_whoRSpeaking)
        return;
    m_whoRSpeaking = list;
    emit whoRSpeakingChanged(m_whoRSpeaking);
}

void MeetingModel::setWhoSpeaks()
{
    for (int i = 0; i < m_attendeeList->count(); ++i) {
        MeetingAttendeeUser *user = m_attendeeList->rows().at(i).user;
        if (user && user->isSpeaking() && !m_speakingList.contains(contactName(user)))
            user->setIsSpeaking(false);
    }
    QList<std::pair<quint64, QString>> heard;
    heard.reserve(m_speakingList.size());
    for (auto it = m_speakingList.cbegin(); it != m_speakingList.cend(); ++it)
        heard.append({it.value(), it.key()});
    std::sort(heard.begin(), heard.end());
    QList<QString> names;
    names.reserve(heard.size());
    for (const auto &entry : heard)
        names.append(entry.second);
    m_speakingList.clear();
    setWhoRSpeaking(names);
}

bool MeetingModel::activeListShowsPicture() const
{
    return m_activeAttendeeList->getFirstAttendeeIndex(VIDEO) != -1 ||
           m_activeAttendeeList->getFirstAttendeeIndex(SHARESCREEN) != -1;
}
