#pragma once
#include "meeting_global.h"
#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QVariantList>
#include <memory>

class ContactBase;
class MeetingAttendeeList;
class MeetingModel;
class VideoSink;
struct MeetingAttendeeUserPrivate;
struct MeetingAttendeeWhiteBoardPrivate;

/// The live object of one attendee tile. QML writes to muteVideo, muteVoice and volume are
/// requests: they emit muteChanged / playoutVolumeChanged and the confirmed value comes back
/// through setMute / setPlayoutVolume.
///
/// A tile is a person's camera (`type` VIDEO) or one of their shares (WHITEBOARD, a
/// `MeetingAttendeeWhiteBoard`, or SHARESCREEN). QML reaches these objects through the `user`
/// role of a `MeetingAttendeeList` and binds to their properties; the meeting model writes the
/// values the engine reports and carries the requests to the engine.
///
/// Ownership: the attendee list that created the object is its parent and deletes it when the
/// tile goes; other lists and the search results only borrow it (their `user` role reads null
/// once it is gone). Never owned by the QML engine; `startDestroy` is the first step of its
/// destruction. Main thread only.
///
/// Integer codes (mute states, mute types, operator types) are listed in the README's
/// reference tables.
class MEETING_EXPORT MeetingAttendeeUser : public QObject
{
    Q_OBJECT
    Q_MOC_INCLUDE("contactbase.h")
    Q_MOC_INCLUDE("videosink.h")
    Q_MOC_INCLUDE("meetingattendeelist.h")
    /// This client does not show this tile's picture (a local choice: the engine stops handing on
    /// its frames, the attendee is not told). A QML write takes effect at once and is passed to
    /// the engine.
    Q_PROPERTY(bool muteVideoLocal READ muteVideoLocal WRITE setMuteVideoLocal NOTIFY
                   muteVideoLocalChanged)
    /// This client does not play this tile's sound (a local choice; the attendee is not told). A
    /// QML write takes effect at once and is passed to the engine.
    Q_PROPERTY(bool muteVoiceLocal READ muteVoiceLocal WRITE setMuteVoiceLocal NOTIFY
                   muteVoiceLocalChanged)
    /// True while the attendee is heard: the latest peak level reached 20 (on the WebRTC
    /// engine's 0 to 100 scale, -48 dBFS). Cleared by a lower report or at the next one-second
    /// period that brought no report.
    Q_PROPERTY(bool isSpeaking READ isSpeaking NOTIFY isSpeakingChanged)
    /// Connection quality of the attendee as the engine scores it (the WebRTC engine: 5 best, 1
    /// worst, 0 transport down); 3 until the engine reports one.
    Q_PROPERTY(int networkScore READ networkScore NOTIFY networkScoreChanged)
    /// The attendee's own picture state: 0 open, 1 muted, 3 muted by the host's mute-all;
    /// starts at 1. A QML write is a request; the property changes when the engine confirms.
    Q_PROPERTY(int muteVideo READ muteVideo WRITE setMuteVideo NOTIFY muteVideoChanged)
    /// The attendee's own sound state: 0 open, 1 muted, 3 muted by the host's mute-all; starts at
    /// 0. A QML write is a request; the property changes when the engine confirms.
    Q_PROPERTY(int muteVoice READ muteVoice WRITE setMuteVoice NOTIFY muteVoiceChanged)
    /// The latest peak audio level the engine reported, on its scale (the WebRTC engine: 0 to
    /// 100, 0 for -60 dBFS and below, 100 for 0 dBFS); 20 and above counts as speaking.
    Q_PROPERTY(double decibel READ decibel NOTIFY decibelChanged)
    /// The attendee's contact (name and so on); null when the host has none. Owned by the host
    /// through a shared pointer that this object holds.
    Q_PROPERTY(ContactBase *userInfo READ userInfo NOTIFY userInfoChanged)
    /// The sink to register QML video outputs with; owned by this object, never null, never
    /// replaced.
    Q_PROPERTY(VideoSink *videoSink READ videoSink NOTIFY videoSinkChanged)
    /// Attendance, a `MeetingDefines::AttendeeStatus`; share tiles follow their owner's.
    Q_PROPERTY(int state READ state NOTIFY stateChanged)
    /// The tile kind, a `MeetingDefines::AttendeeType`: 0 camera, 1 whiteboard, 2 screen share.
    Q_PROPERTY(int type READ type NOTIFY typeChanged)
    /// Playback volume of this attendee, 5 by default; 0 silences. The engine gives the scale its
    /// meaning (the WebRTC engine: 5 unity gain, 10 doubles). A QML write is a request; the
    /// property changes once the meeting model has passed it to a running engine.
    Q_PROPERTY(double volume READ volume WRITE setVolume NOTIFY volumeChanged)
    /// The id of the share this tile shows; empty for camera tiles.
    Q_PROPERTY(QString shareId READ shareId NOTIFY shareIdChanged)
    /// The attendee's speaking role, a `MeetingDefines::ParticipationStatus` (0 speaker, 1 hand
    /// raised, 2 invited to speak, 3 listener); camera tiles only.
    Q_PROPERTY(int participationStatus READ participationStatus NOTIFY participationStatusChanged)
    /// "speaker" while `participationStatus` is SPEAKER, else "listener".
    Q_PROPERTY(QString role READ role NOTIFY roleChanged)
    /// A series of audio levels for a level meter, as the engine reported them last.
    Q_PROPERTY(QVariantList decibels READ decibels NOTIFY decibelsChanged)
    /// The latest average audio level the engine reported, on the scale of `decibel`.
    Q_PROPERTY(double averageDecibel READ averageDecibel NOTIFY averageDecibelChanged)
public:
    /// Creates the tile of user `uid` with its video sink. Attendee lists create these; `parent`
    /// owns the object and gives the own user id (read once, to tell the own tile apart).
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
    /// The contact as the shared pointer this object holds, for C++ code that keeps it longer.
    QSharedPointer<ContactBase> sharedUserInfo() const;
    /// True while the engine hears this attendee above the speaking level.
    bool isSpeaking() const;
    /// The sink that fans the attendee's video frames out to QML outputs; owned by this object,
    /// made on first use, never null, never replaced.
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
    /// Own tile: the camera was on before the host's mute-all, so lifting it offers to reopen the
    /// camera (`MeetingModel::requestOpenDev`). Starts false.
    bool videoDevStatusLast() const;
    /// Own tile: the microphone was on before the host's mute-all, as for `videoDevStatusLast`.
    /// Starts true.
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
    /// Stores a confirmed mute state. `muteType` 1 to 3 address the picture, 0 and 4 the sound,
    /// others are ignored; `operatorType` 1 sets the local flag (`mute` != 0), 0 the attendee's
    /// state. An unmuted sound on another user's silent tile asks for volume 5 again
    /// (`playoutVolumeChanged`). Emits only what changed; sends nothing to the engine.
    void setMute(int mute, int operatorType, int muteType);
    /// Stores the volume the meeting model has passed to the engine; `volumeChanged` unless
    /// equal within Qt's fuzzy comparison.
    void setPlayoutVolume(double volume);
    /// Sets the tile kind (a `MeetingDefines::AttendeeType`); the lists set it when they create
    /// a share tile.
    void setType(int type);
    /// Sets the speaking indicator; the meeting model derives it from the decibel reports.
    void setIsSpeaking(bool speaking);
    /// Stores the latest peak level (the engine's scale); no signal when fuzzily equal.
    void setDecibel(double decibel);
    /// Stores the latest average level (the engine's scale); no signal when fuzzily equal.
    void setAverageDecibel(double decibel);
    /// Stores the level series for the meter; no signal when every element is equal.
    void setDecibels(const QVariantList &decibels);
    /// Sets the id of the share this tile shows; the lists set it on share tiles only.
    void setShareId(const QString &shareId);
    /// Sets the role text directly; `setParticipationStatus` keeps it in step otherwise.
    void setRole(const QString &role);
    /// Holds `info` (null allowed); `userInfoChanged` when it points to another contact.
    void setUserInfo(QSharedPointer<ContactBase> info);
    /// Sets the speaking role (a `MeetingDefines::ParticipationStatus`) and with it `role`:
    /// "speaker" for SPEAKER (0), "listener" for any other value; each signal only on change.
    void setParticipationStatus(int status);
    /// Remembers whether the own camera is on; no signal.
    void setVideoDevStatusLast(bool on);
    /// Remembers whether the own microphone is on; no signal.
    void setVoiceDevStatusLast(bool on);

public slots:
    /// Hides (true) or shows this tile's picture on this client; on change emits `muteChanged`
    /// (operator type 1) for the engine, then `muteVideoLocalChanged`.
    void setMuteVideoLocal(bool mute);
    /// Silences (true) or plays this tile's sound on this client; on change emits `muteChanged`
    /// (operator type 1), then `muteVoiceLocalChanged`. Unmuting a tile whose volume is 0 asks
    /// for volume 5 (`playoutVolumeChanged`), except on the own tile.
    void setMuteVoiceLocal(bool mute);
    /// Asks the engine to set the attendee's picture state (0 open, 1 muted): emits `muteChanged`
    /// (operator type 0) when `mute` differs from `muteVideo`, which keeps its value until the
    /// engine confirms. Muting another attendee is the host's right; a refused request comes
    /// back as `MeetingModel::meetingError` (ERR_MUTE).
    void setMuteVideo(int mute);
    /// Asks the engine to set the attendee's sound state (0 open, 1 muted), as `setMuteVideo`
    /// does for the picture.
    void setMuteVoice(int mute);
    /// Asks for a playback volume (5 the default, 0 silent): emits `playoutVolumeChanged`, even
    /// for the current value. Volume 0 also mutes the sound locally (`setMuteVoiceLocal(true)`).
    void setVolume(double volume);
    /// Stores the engine's network score (see `networkScore`); share tiles follow their
    /// owner's through this slot.
    void setNetworkScore(int score);
    /// Stores the attendance (a `MeetingDefines::AttendeeStatus`); share tiles follow their
    /// owner's through this slot.
    void setState(int state);

signals:
    /// `muteVideoLocal` changed.
    void muteVideoLocalChanged(bool muteVideoLocal);
    /// `muteVoiceLocal` changed.
    void muteVoiceLocalChanged(bool muteVoiceLocal);
    /// The confirmed picture state changed; a QML write alone never emits it.
    void muteVideoChanged(int muteVideo);
    /// The confirmed sound state changed; a QML write alone never emits it.
    void muteVoiceChanged(int muteVoice);
    /// The engine scored the connection differently.
    void networkScoreChanged(int networkScore);
    /// The tile now points to another contact, or to none (null).
    void userInfoChanged(ContactBase *userInfo);
    /// The attendee started or stopped being heard.
    void isSpeakingChanged(bool isSpeaking);
    /// Declared for the property; never emitted, as the sink is never replaced.
    void videoSinkChanged(VideoSink *videoSink);
    /// The attendance changed (a `MeetingDefines::AttendeeStatus`).
    void stateChanged(int state);
    /// A new peak level arrived (no signal for a fuzzily equal one).
    void decibelChanged(double decibel);
    /// The tile kind changed (a `MeetingDefines::AttendeeType`).
    void typeChanged(int type);
    /// The stored volume changed: the meeting model passed a request on to the engine.
    void volumeChanged(double volume);
    /// A request for a playback volume: from `setVolume`, from an unmute of a silent
    /// tile (5) or from the model re-applying the volume to a new stream. The meeting model
    /// passes it to the engine and confirms it with `setPlayoutVolume`.
    void playoutVolumeChanged(double volume);
    /// A mute request for the engine: `mute` the wanted state, `operatorType` 1 for this
    /// client's local choice or 0 for the attendee's own state, `muteType` the stream (0
    /// microphone, 1 camera, 2 whiteboard, 3 screen-share picture, 4 share sound). The meeting
    /// model posts it to the engine.
    void muteChanged(int mute, int operatorType, int muteType);
    /// The object is being destroyed: QML must drop every reference to it now.
    void startDestroy();
    /// The tile shows another share.
    void shareIdChanged(QString shareId);
    /// The speaking role changed (a `MeetingDefines::ParticipationStatus`).
    void participationStatusChanged(int status);
    /// The role text changed between "speaker" and "listener".
    void roleChanged(QString role);
    /// A new level series arrived.
    void decibelsChanged(QVariantList decibels);
    /// A new average level arrived (no signal for a fuzzily equal one).
    void averageDecibelChanged(double averageDecibel);

private:
    friend class MeetingAttendeeList;
    friend class MeetingModel;
    void addHolder(MeetingAttendeeList *list);
    void removeHolder(MeetingAttendeeList *list);
    // The model that passes this object's mute and volume requests to the engine, from the time
    // the attendee is in the call; a direct call costs no connection per attendee.
    void setModel(MeetingModel *model);
    void requestMute(int mute, int operatorType, int muteType);
    void requestPlayoutVolume(double volume);
    void stopVideoSink();
    int getMuteType() const;
    int voiceMuteType() const;
    bool isSelf() const;
    void askAudibleAgain();

    std::unique_ptr<MeetingAttendeeUserPrivate> d;
};

/// The live object of a whiteboard share; adds the permission to draw.
///
/// Created by the attendee lists for a whiteboard share tile (`type` WHITEBOARD); owned and
/// deleted like every tile.
class MEETING_EXPORT MeetingAttendeeWhiteBoard : public MeetingAttendeeUser
{
    Q_OBJECT
    /// Whether attendees other than the owner may draw on this whiteboard; starts true. Set from
    /// room information and the engine's reports; a QML write changes only this object (the
    /// owner changes it for everyone with `MeetingModel::setAllowDraw`).
    Q_PROPERTY(bool allowDraw READ allowDraw WRITE setAllowDraw NOTIFY allowDrawChanged)
public:
    /// Creates the whiteboard tile of user `uid`, drawing allowed; `parent` owns it.
    MeetingAttendeeWhiteBoard(qint64 uid, MeetingAttendeeList *parent);
    ~MeetingAttendeeWhiteBoard() override;
    /// Whether others may draw on this whiteboard.
    bool allowDraw() const;

public slots:
    /// Stores the drawing permission; `allowDrawChanged` only on change. Sends nothing.
    void setAllowDraw(bool allowDraw);

signals:
    /// The drawing permission changed.
    void allowDrawChanged(bool allowDraw);

private:
    std::unique_ptr<MeetingAttendeeWhiteBoardPrivate> d;
};
