#pragma once
#include "meeting_global.h"
#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QVariantList>
#include <memory>

class ContactBase;
class MeetingAttendeeList;
class VideoSink;
struct MeetingAttendeeUserPrivate;
struct MeetingAttendeeWhiteBoardPrivate;

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

    /// This client stopped receiving this attendee's video (a local choice; the attendee is not
    /// told).
    bool muteVideoLocal() const;
    /// This client stopped playing this attendee's voice (a local choice).
    bool muteVoiceLocal() const;
    /// The attendee's camera or share video: 0 open, 1 muted, 3 muted by the host's mute-all. A QML
    /// write is a request to the engine; the confirmed value comes back later.
    int muteVideo() const;
    /// The attendee's microphone (or share audio): 0 open, 1 muted, 3 muted by the host's mute-all.
    /// A QML write is a request, as for `muteVideo`.
    int muteVoice() const;
    /// The engine's network quality score for this attendee (3 until the engine reports one).
    int networkScore() const;
    /// The attendee's contact record (name, second name); null when the host has none.
    ContactBase *userInfo() const;
    QSharedPointer<ContactBase> sharedUserInfo() const;
    /// True while the engine hears this attendee above the speaking level.
    bool isSpeaking() const;
    /// The sink that fans the attendee's video frames out to QML outputs; owned by this object,
    /// never null, never replaced.
    VideoSink *videoSink() const;
    /// Attendance, a `MeetingDefines::AttendeeStatus`.
    int state() const;
    /// The latest peak audio level the engine reported.
    double decibel() const;
    /// The tile kind, a `MeetingDefines::AttendeeType`: camera, whiteboard share or screen share.
    int type() const;
    /// Playback volume of this attendee (5.0 by default; 0 silences). A QML write is a request to
    /// the engine.
    double volume() const;
    bool videoDevStatusLast() const;
    bool voiceDevStatusLast() const;
    /// The attendee's user id.
    qint64 getUserId() const;
    /// The id of the share this tile shows; empty for camera tiles.
    QString shareId() const;
    /// A `MeetingDefines::ParticipationStatus`: speaker, raised hand, invited to speak, listener.
    int participationStatus() const;
    /// The engine's role text, "speaker" or "listener".
    QString role() const;
    /// A series of audio levels for a level meter, as the engine reported them.
    const QVariantList &decibels() const;
    /// The latest average audio level the engine reported.
    double averageDecibel() const;

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
    void setVideoDevStatusLast(bool on);
    void setVoiceDevStatusLast(bool on);

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
    bool isSelf() const;
    void askAudibleAgain();

    std::unique_ptr<MeetingAttendeeUserPrivate> d;
};

/// The live object of a whiteboard share; adds the permission to draw.
class MEETING_EXPORT MeetingAttendeeWhiteBoard : public MeetingAttendeeUser
{
    Q_OBJECT
    Q_PROPERTY(bool allowDraw READ allowDraw WRITE setAllowDraw NOTIFY allowDrawChanged)
public:
    MeetingAttendeeWhiteBoard(qint64 uid, MeetingAttendeeList *parent);
    ~MeetingAttendeeWhiteBoard() override;
    bool allowDraw() const;

public slots:
    void setAllowDraw(bool allowDraw);

signals:
    void allowDrawChanged(bool allowDraw);

private:
    std::unique_ptr<MeetingAttendeeWhiteBoardPrivate> d;
};
