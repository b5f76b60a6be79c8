#include "meetingattendeeuser.h"
#include "contactbase.h"
#include "meetingattendeelist.h"
#include "meetingmodel.h"
#include "videosink.h"
#include <QJSEngine>
#include <QPointer>
#include <QVarLengthArray>

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

struct MeetingAttendeeUserPrivate
{
    bool m_muteVideoLocal = false;
    bool m_muteVoiceLocal = false;
    int m_muteVideo = 1;
    int m_muteVoice = 0;
    int m_networkScore = 3;
    QSharedPointer<ContactBase> m_userInfo;
    bool m_isSpeaking = false;
    VideoSink *m_videoSink = nullptr;
    int m_state = 0;
    double m_decibel = 0;
    int m_type = 0;
    double m_volume = 5.0;
    bool m_videoDevStatusLast = false;
    bool m_voiceDevStatusLast = true;
    qint64 m_selfId = 0;
    qint64 m_userId = 0;
    QString m_shareId;
    int m_participationStatus = 0;
    QString m_role;
    QVariantList m_decibels;
    double m_averageDecibel = 0;
    // Lists showing this object; each hears of its end before any receiver of startDestroy.
    QVarLengthArray<MeetingAttendeeList *, 4> m_holders;
    QPointer<MeetingModel> m_model;
};

struct MeetingAttendeeWhiteBoardPrivate
{
    bool m_allowDraw = true;
};

MeetingAttendeeUser::MeetingAttendeeUser(qint64 uid, MeetingAttendeeList *parent)
    : QObject(parent), d(std::make_unique<MeetingAttendeeUserPrivate>())
{
    d->m_selfId = parent ? parent->userId() : 0;
    d->m_userId = uid;
    d->m_role = QStringLiteral("speaker");
    // QML never deletes an object with a parent; marking one would cost it QML data.
    if (!QObject::parent())
        QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
}

MeetingAttendeeUser::~MeetingAttendeeUser()
{
    for (MeetingAttendeeList *list : std::as_const(d->m_holders))
        list->forgetLiveObject(this);
    emit startDestroy();
    d->m_userInfo.reset();
    d->m_decibels.clear();
}

bool MeetingAttendeeUser::muteVideoLocal() const
{
    return d->m_muteVideoLocal;
}

bool MeetingAttendeeUser::muteVoiceLocal() const
{
    return d->m_muteVoiceLocal;
}

int MeetingAttendeeUser::muteVideo() const
{
    return d->m_muteVideo;
}

int MeetingAttendeeUser::muteVoice() const
{
    return d->m_muteVoice;
}

int MeetingAttendeeUser::networkScore() const
{
    return d->m_networkScore;
}

ContactBase *MeetingAttendeeUser::userInfo() const
{
    return d->m_userInfo.data();
}

QSharedPointer<ContactBase> MeetingAttendeeUser::sharedUserInfo() const
{
    return d->m_userInfo;
}

bool MeetingAttendeeUser::isSpeaking() const
{
    return d->m_isSpeaking;
}

// Made on first use: most tiles of a large meeting are never on screen.
VideoSink *MeetingAttendeeUser::videoSink() const
{
    if (!d->m_videoSink)
        d->m_videoSink = new VideoSink(const_cast<MeetingAttendeeUser *>(this));
    return d->m_videoSink;
}

// A sink nobody asked for has nothing to stop.
void MeetingAttendeeUser::stopVideoSink()
{
    if (d->m_videoSink)
        d->m_videoSink->setStarted(false);
}

void MeetingAttendeeUser::addHolder(MeetingAttendeeList *list)
{
    d->m_holders.append(list);
}

void MeetingAttendeeUser::removeHolder(MeetingAttendeeList *list)
{
    d->m_holders.removeOne(list);
}

void MeetingAttendeeUser::setModel(MeetingModel *model)
{
    d->m_model = model;
}

// The model first: a receiver of the signal may delete this object.
void MeetingAttendeeUser::requestMute(int mute, int operatorType, int muteType)
{
    if (d->m_model)
        d->m_model->userMuteChanged(this, mute, operatorType, muteType);
    emit muteChanged(mute, operatorType, muteType);
}

void MeetingAttendeeUser::requestPlayoutVolume(double volume)
{
    if (d->m_model)
        d->m_model->setPlayoutVolume(this, volume);
    emit playoutVolumeChanged(volume);
}

int MeetingAttendeeUser::state() const
{
    return d->m_state;
}

double MeetingAttendeeUser::decibel() const
{
    return d->m_decibel;
}

int MeetingAttendeeUser::type() const
{
    return d->m_type;
}

double MeetingAttendeeUser::volume() const
{
    return d->m_volume;
}

bool MeetingAttendeeUser::videoDevStatusLast() const
{
    return d->m_videoDevStatusLast;
}

bool MeetingAttendeeUser::voiceDevStatusLast() const
{
    return d->m_voiceDevStatusLast;
}

qint64 MeetingAttendeeUser::getUserId() const
{
    return d->m_userId;
}

QString MeetingAttendeeUser::shareId() const
{
    return d->m_shareId;
}

int MeetingAttendeeUser::participationStatus() const
{
    return d->m_participationStatus;
}

QString MeetingAttendeeUser::role() const
{
    return d->m_role;
}

const QVariantList &MeetingAttendeeUser::decibels() const
{
    return d->m_decibels;
}

double MeetingAttendeeUser::averageDecibel() const
{
    return d->m_averageDecibel;
}

void MeetingAttendeeUser::setVideoDevStatusLast(bool on)
{
    d->m_videoDevStatusLast = on;
}

void MeetingAttendeeUser::setVoiceDevStatusLast(bool on)
{
    d->m_voiceDevStatusLast = on;
}

bool MeetingAttendeeUser::isSelf() const
{
    return d->m_selfId == d->m_userId;
}

int MeetingAttendeeUser::getMuteType() const
{
    switch (d->m_type) {
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
    return d->m_type > 0 ? 4 : 0;
}

void MeetingAttendeeUser::askAudibleAgain()
{
    if (d->m_volume == 0.0 && !isSelf())
        requestPlayoutVolume(kAudibleVolume);
}

void MeetingAttendeeUser::setMute(int mute, int operatorType, int muteType)
{
    if (muteType >= 1 && muteType <= 3) {
        if (operatorType == 1)
            store(this, d->m_muteVideoLocal, mute != 0,
                  &MeetingAttendeeUser::muteVideoLocalChanged);
        else
            store(this, d->m_muteVideo, mute, &MeetingAttendeeUser::muteVideoChanged);
        return;
    }
    if (muteType != 0 && muteType != 4)
        return;
    if (operatorType == 1)
        store(this, d->m_muteVoiceLocal, mute != 0, &MeetingAttendeeUser::muteVoiceLocalChanged);
    else
        store(this, d->m_muteVoice, mute, &MeetingAttendeeUser::muteVoiceChanged);
    if (mute == 0)
        askAudibleAgain();
}

void MeetingAttendeeUser::setPlayoutVolume(double volume)
{
    storeFuzzy(this, d->m_volume, volume, &MeetingAttendeeUser::volumeChanged);
}

void MeetingAttendeeUser::setType(int type)
{
    store(this, d->m_type, type, &MeetingAttendeeUser::typeChanged);
}

void MeetingAttendeeUser::setIsSpeaking(bool speaking)
{
    store(this, d->m_isSpeaking, speaking, &MeetingAttendeeUser::isSpeakingChanged);
}

void MeetingAttendeeUser::setDecibel(double decibel)
{
    storeFuzzy(this, d->m_decibel, decibel, &MeetingAttendeeUser::decibelChanged);
}

void MeetingAttendeeUser::setAverageDecibel(double decibel)
{
    storeFuzzy(this, d->m_averageDecibel, decibel, &MeetingAttendeeUser::averageDecibelChanged);
}

void MeetingAttendeeUser::setDecibels(const QVariantList &decibels)
{
    store(this, d->m_decibels, decibels, &MeetingAttendeeUser::decibelsChanged);
}

void MeetingAttendeeUser::setShareId(const QString &shareId)
{
    store(this, d->m_shareId, shareId, &MeetingAttendeeUser::shareIdChanged);
}

void MeetingAttendeeUser::setRole(const QString &role)
{
    store(this, d->m_role, role, &MeetingAttendeeUser::roleChanged);
}

void MeetingAttendeeUser::setUserInfo(QSharedPointer<ContactBase> info)
{
    if (d->m_userInfo == info)
        return;
    d->m_userInfo = std::move(info);
    emit userInfoChanged(d->m_userInfo.data());
}

void MeetingAttendeeUser::setParticipationStatus(int status)
{
    store(this, d->m_participationStatus, status, &MeetingAttendeeUser::participationStatusChanged);
    setRole(status == 0 ? QStringLiteral("speaker") : QStringLiteral("listener"));
}

void MeetingAttendeeUser::setMuteVideoLocal(bool mute)
{
    if (d->m_muteVideoLocal == mute)
        return;
    d->m_muteVideoLocal = mute;
    requestMute(mute, 1, getMuteType());
    emit muteVideoLocalChanged(mute);
}

void MeetingAttendeeUser::setMuteVoiceLocal(bool mute)
{
    if (d->m_muteVoiceLocal == mute)
        return;
    d->m_muteVoiceLocal = mute;
    requestMute(mute, 1, voiceMuteType());
    emit muteVoiceLocalChanged(mute);
    if (!mute)
        askAudibleAgain();
}

void MeetingAttendeeUser::setMuteVideo(int mute)
{
    if (d->m_muteVideo != mute)
        requestMute(mute, 0, getMuteType());
}

void MeetingAttendeeUser::setMuteVoice(int mute)
{
    if (d->m_muteVoice != mute)
        requestMute(mute, 0, voiceMuteType());
}

void MeetingAttendeeUser::setVolume(double volume)
{
    if (volume == 0.0)
        setMuteVoiceLocal(true);
    requestPlayoutVolume(volume);
}

void MeetingAttendeeUser::setNetworkScore(int score)
{
    store(this, d->m_networkScore, score, &MeetingAttendeeUser::networkScoreChanged);
}

void MeetingAttendeeUser::setState(int state)
{
    store(this, d->m_state, state, &MeetingAttendeeUser::stateChanged);
}

MeetingAttendeeWhiteBoard::MeetingAttendeeWhiteBoard(qint64 uid, MeetingAttendeeList *parent)
    : MeetingAttendeeUser(uid, parent), d(std::make_unique<MeetingAttendeeWhiteBoardPrivate>())
{}

MeetingAttendeeWhiteBoard::~MeetingAttendeeWhiteBoard() = default;

bool MeetingAttendeeWhiteBoard::allowDraw() const
{
    return d->m_allowDraw;
}

void MeetingAttendeeWhiteBoard::setAllowDraw(bool allowDraw)
{
    if (d->m_allowDraw == allowDraw)
        return;
    d->m_allowDraw = allowDraw;
    emit allowDrawChanged(allowDraw);
}
