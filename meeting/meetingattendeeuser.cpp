#include "meetingattendeeuser.h"
#include "contactbase.h"
#include "meetingattendeelist.h"
#include "videosink.h"
#include <QJSEngine>

namespace {
constexpr double kAudibleVolume = 5.0;

template <typename T, typename Signal>
void store(MeetingAttendeeUser *self, T &member, const T &value, Signal signal)
{
    if (member == value)
        return;
    member = value;
    emit(self->*signal)(value);
}

template <typename Signal>
void storeFuzzy(MeetingAttendeeUser *self, double &member, double value, Signal signal)
{
    if (qFuzzyCompare(member, value))
        return;
    member = value;
    emit(self->*signal)(value);
}
} // namespace

MeetingAttendeeUser::MeetingAttendeeUser(qint64 uid, MeetingAttendeeList *parent)
    : QObject(parent), m_videoSink(new VideoSink(this)), m_selfId(parent ? parent->userId() : 0),
      m_userId(uid), m_role(QStringLiteral("speaker"))
{
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
}

MeetingAttendeeUser::~MeetingAttendeeUser()
{
    emit startDestroy();
    m_userInfo.reset();
    m_decibels.clear();
}

int MeetingAttendeeUser::getMuteType() const
{
    switch (m_type) {
    case 0:
        return 1;
    case 1:
        return 2;
    default:
        return 3;
    }
}

int MeetingAttendeeUser::voiceMuteType() const
{
    return m_type > 0 ? 4 : 0;
}

void MeetingAttendeeUser::askAudibleAgain()
{
    if (m_volume == 0.0 && !isSelf())
        emit playoutVolumeChanged(kAudibleVolume);
}

void MeetingAttendeeUser::setMute(int mute, int operatorType, int muteType)
{
    if (muteType >= 1 && muteType <= 3) {
        if (operatorType == 1)
            store(this, m_muteVideoLocal, mute != 0, &MeetingAttendeeUser::muteVideoLocalChanged);
        else
            store(this, m_muteVideo, mute, &MeetingAttendeeUser::muteVideoChanged);
        return;
    }
    if (muteType != 0 && muteType != 4)
        return;
    if (operatorType == 1)
        store(this, m_muteVoiceLocal, mute != 0, &MeetingAttendeeUser::muteVoiceLocalChanged);
    else
        store(this, m_muteVoice, mute, &MeetingAttendeeUser::muteVoiceChanged);
    if (mute == 0)
        askAudibleAgain();
}

void MeetingAttendeeUser::setPlayoutVolume(double volume)
{
    storeFuzzy(this, m_volume, volume, &MeetingAttendeeUser::volumeChanged);
}

void MeetingAttendeeUser::setType(int type)
{
    store(this, m_type, type, &MeetingAttendeeUser::typeChanged);
}

void MeetingAttendeeUser::setIsSpeaking(bool speaking)
{
    store(this, m_isSpeaking, speaking, &MeetingAttendeeUser::isSpeakingChanged);
}

void MeetingAttendeeUser::setDecibel(double decibel)
{
    storeFuzzy(this, m_decibel, decibel, &MeetingAttendeeUser::decibelChanged);
}

void MeetingAttendeeUser::setAverageDecibel(double decibel)
{
    storeFuzzy(this, m_averageDecibel, decibel, &MeetingAttendeeUser::averageDecibelChanged);
}

void MeetingAttendeeUser::setDecibels(const QVariantList &decibels)
{
    store(this, m_decibels, decibels, &MeetingAttendeeUser::decibelsChanged);
}

void MeetingAttendeeUser::setShareId(const QString &shareId)
{
    store(this, m_shareId, shareId, &MeetingAttendeeUser::shareIdChanged);
}

void MeetingAttendeeUser::setRole(const QString &role)
{
    store(this, m_role, role, &MeetingAttendeeUser::roleChanged);
}

void MeetingAttendeeUser::setUserInfo(QSharedPointer<ContactBase> info)
{
    if (m_userInfo == info)
        return;
    m_userInfo = std::move(info);
    emit userInfoChanged(m_userInfo.data());
}

void MeetingAttendeeUser::setParticipationStatus(int status)
{
    store(this, m_participationStatus, status, &MeetingAttendeeUser::participationStatusChanged);
    setRole(status == 0 ? QStringLiteral("speaker") : QStringLiteral("listener"));
}

void MeetingAttendeeUser::setMuteVideoLocal(bool mute)
{
    if (m_muteVideoLocal == mute)
        return;
    m_muteVideoLocal = mute;
    emit muteChanged(mute, 1, getMuteType());
    emit muteVideoLocalChanged(mute);
}

void MeetingAttendeeUser::setMuteVoiceLocal(bool mute)
{
    if (m_muteVoiceLocal == mute)
        return;
    m_muteVoiceLocal = mute;
    emit muteChanged(mute, 1, voiceMuteType());
    emit muteVoiceLocalChanged(mute);
    if (!mute)
        askAudibleAgain();
}

void MeetingAttendeeUser::setMuteVideo(int mute)
{
    if (m_muteVideo != mute)
        emit muteChanged(mute, 0, getMuteType());
}

void MeetingAttendeeUser::setMuteVoice(int mute)
{
    if (m_muteVoice != mute)
        emit muteChanged(mute, 0, voiceMuteType());
}

void MeetingAttendeeUser::setVolume(double volume)
{
    if (volume == 0.0)
        setMuteVoiceLocal(true);
    emit playoutVolumeChanged(volume);
}

void MeetingAttendeeUser::setNetworkScore(int score)
{
    store(this, m_networkScore, score, &MeetingAttendeeUser::networkScoreChanged);
}

void MeetingAttendeeUser::setState(int state)
{
    store(this, m_state, state, &MeetingAttendeeUser::stateChanged);
}

MeetingAttendeeWhiteBoard::MeetingAttendeeWhiteBoard(qint64 uid, MeetingAttendeeList *parent)
    : MeetingAttendeeUser(uid, parent)
{}

MeetingAttendeeWhiteBoard::~MeetingAttendeeWhiteBoard() = default;

void MeetingAttendeeWhiteBoard::setAllowDraw(bool allowDraw)
{
    if (m_allowDraw == allowDraw)
        return;
    m_allowDraw = allowDraw;
    emit allowDrawChanged(allowDraw);
}
