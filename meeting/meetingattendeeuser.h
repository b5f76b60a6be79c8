#pragma once
#include "meeting_global.h"
#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QVariantList>

class ContactBase;
class MeetingAttendeeList;
class VideoSink;

/// The live object of one attendee tile. QML writes to muteVideo, muteVoice and volume are
/// requests: they emit muteChanged / playoutVolumeChanged and the confirmed value comes back
/// through setMute / setPlayoutVolume.
class MEETING_EXPORT MeetingAttendeeUser : public QObject
{
    Q_OBJECT
    Q_MOC_INCLUDE("contactbase.h")
    Q_MOC_INCLUDE("videosink.h")
    Q_MOC_INCLUDE("meetingattendeelist.h")
    Q_PROPERTY(bool muteVideoLocal READ muteVideoLocal WRITE setMuteVideoLocal NOTIFY muteVideoLocalChanged)
    Q_PROPERTY(bool muteVoiceLocal READ muteVoiceLocal WRITE setMuteVoiceLocal NOTIFY muteVoiceLocalChanged)
    Q_PROPERTY(bool isSpeaking READ isSpeaking NOTIFY isSpeakingChanged)
    Q_PROPERTY(int networkScore READ networkScore NOTIFY networkScoreChanged)
    Q_PROPERTY(int muteVideo READ muteVideo WRITE setMuteVideo NOTIFY muteVideoChanged)
    Q_PROPERTY(int muteVoice READ muteVoice WRITE setMuteVoice NOTIFY muteVoiceChanged)
    Q_PROPERTY(double decibel READ decibel NOTIFY decibelChanged)
    Q_PROPERTY(ContactBase *userInfo READ userInfo NOTIFY userInfoChanged)
    Q_PROPERTY(VideoSink *videoSink READ videoSink NOTIFY videoSinkChanged)
    Q_PROPERTY(int state READ state NOTIFY stateChanged)
    Q_PROPERTY(int type READ type NOTIFY typeChanged)
    Q_PROPERTY(double volume READ volume WRITE setVolume NOTIFY volumeChanged)
    Q_PROPERTY(QString shareId READ shareId NOTIFY shareIdChanged)
    Q_PROPERTY(int participationStatus READ participationStatus NOTIFY participationStatusChanged)
    Q_PROPERTY(QString role READ role NOTIFY roleChanged)
    Q_PROPERTY(QVariantList decibels READ decibels NOTIFY decibelsChanged)
    Q_PROPERTY(double averageDecibel READ averageDecibel NOTIFY averageDecibelChanged)
public:
    MeetingAttendeeUser(qint64 uid, MeetingAttendeeList *parent);
    ~MeetingAttendeeUser() override;

    bool muteVideoLocal() const { return m_muteVideoLocal; }
    bool muteVoiceLocal() const { return m_muteVoiceLocal; }
    int muteVideo() const { return m_muteVideo; }
    int muteVoice() const { return m_muteVoice; }
    int networkScore() const { return m_networkScore; }
    ContactBase *userInfo() const { return m_userInfo.data(); }
    QSharedPointer<ContactBase> sharedUserInfo() const { return m_userInfo; }
    bool isSpeaking() const { return m_isSpeaking; }
    VideoSink *videoSink() const { return m_videoSink; }
    int state() const { return m_state; }
    double decibel() const { return m_decibel; }
    int type() const { return m_type; }
    double volume() const { return m_volume; }
    bool videoDevStatusLast() const { return m_videoDevStatusLast; }
    bool voiceDevStatusLast() const { return m_voiceDevStatusLast; }
    qint64 getUserId() const { return m_userId; }
    QString shareId() const { return m_shareId; }
    int participationStatus() const { return m_participationStatus; }
    QString role() const { return m_role; }
    const QVariantList &decibels() const { return m_decibels; }
    double averageDecibel() const { return m_averageDecibel; }

    // Confirmed values. operatorType 1: this client's local flag; 0: the attendee's own mute.
    void setMute(int mute, int operatorType, int muteType);
    void setPlayoutVolume(double volume);
    void setType(int type);
    void setIsSpeaking(bool speaking);
    void setDecibel(double decibel);
    void setAverageDecibel(double decibel);
    void setDecibels(const QVariantList &decibels);
    void setShareId(const QString &shareId);
    void setRole(const QString &role);
    void setUserInfo(QSharedPointer<ContactBase> info);
    void setParticipationStatus(int status);
    void setVideoDevStatusLast(bool on) { m_videoDevStatusLast = on; }
    void setVoiceDevStatusLast(bool on) { m_voiceDevStatusLast = on; }

public slots:
    void setMuteVideoLocal(bool mute);
    void setMuteVoiceLocal(bool mute);
    void setMuteVideo(int mute);
    void setMuteVoice(int mute);
    void setVolume(double volume);
    void setNetworkScore(int score);
    void setState(int state);

signals:
    void muteVideoLocalChanged(bool muteVideoLocal);
    void muteVoiceLocalChanged(bool muteVoiceLocal);
    void muteVideoChanged(int muteVideo);
    void muteVoiceChanged(int muteVoice);
    void networkScoreChanged(int networkScore);
    void userInfoChanged(ContactBase *userInfo);
    void isSpeakingChanged(bool isSpeaking);
    void videoSinkChanged(VideoSink *videoSink);
    void stateChanged(int state);
    void decibelChanged(double decibel);
    void typeChanged(int type);
    void volumeChanged(double volume);
    void playoutVolumeChanged(double volume);
    void muteChanged(int mute, int operatorType, int muteType);
    void startDestroy();
    void shareIdChanged(QString shareId);
    void participationStatusChanged(int status);
    void roleChanged(QString role);
    void decibelsChanged(QVariantList decibels);
    void averageDecibelChanged(double averageDecibel);

private:
    int getMuteType() const;
    int voiceMuteType() const;
    bool isSelf() const { return m_selfId == m_userId; }
    void askAudibleAgain();

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
};

/// The live object of a whiteboard share; adds the permission to draw.
class MEETING_EXPORT MeetingAttendeeWhiteBoard : public MeetingAttendeeUser
{
    Q_OBJECT
    Q_PROPERTY(bool allowDraw READ allowDraw WRITE setAllowDraw NOTIFY allowDrawChanged)
public:
    MeetingAttendeeWhiteBoard(qint64 uid, MeetingAttendeeList *parent);
    ~MeetingAttendeeWhiteBoard() override;
    bool allowDraw() const { return m_allowDraw; }

public slots:
    void setAllowDraw(bool allowDraw);

signals:
    void allowDrawChanged(bool allowDraw);

private:
    bool m_allowDraw = true;
};
