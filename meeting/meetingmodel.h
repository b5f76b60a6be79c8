#pragma once
#include "meetingdefines.h"
#include "meetingmodelbase.h"
#include "whiteboard.pb.h"
#include <QHash>
#include <QScreen>
#include <QSet>
#include <QSize>
#include <QStringList>
#include <QUrl>
#include <QVariantList>
#include <QVideoFrame>
#include <QVideoFrameFormat>
#include <memory>

class AccountBase;
class MeetingAttendeeList;
class MeetingAttendeeUser;
class MeetingServiceCmd;
class QImage;
class QThread;
struct MeetingModelPrivate;
namespace im {
class Meeting;
}

/// One group meeting or private call. Drives the media engine on a thread of its own: every
/// request is posted, every report arrives queued on the model's thread.
///
/// Owned by its `MeetingList`; main thread only. The call starts with `setDevices` (engine)
/// then `createCall` (call); `leave` ends it. `state` is a `MeetingDefines::MeetingStatus`.
///
/// A client gets models from a `MeetingList` (role `meeting`) or from the host's hub
/// (`AccountManager::receiveMeetingInvite`, `joinMeetingFinished`, `createMeetingFinished`),
/// binds QML to the properties and the five attendee lists, and calls the slots for the user's
/// actions. The engine's reports reach private slots (`notify…`) through queued connections
/// from the engine thread, so they run on the main thread; they update the properties and lists
/// and emit the signals below. Requests that need the engine (mutes, shares, speaking
/// privileges, devices) are dropped silently while none runs.
///
/// Ownership: the meeting list deletes the model (`startDestroy` comes first); the model owns
/// its attendee lists, its engine thread and the engine on it. Never owned by the QML engine.
/// The integer codes (states, mute types, errors) are listed in the README's reference tables.
/// The record's key material (`nonce`, key, media server address) is never to be logged.
class MEETING_EXPORT MeetingModel : public MeetingModelBase
{
    Q_OBJECT
    Q_MOC_INCLUDE("accountbase.h")
    Q_MOC_INCLUDE("meetingattendeelist.h")
    /// The server's meeting id; empty for a meeting this user starts until the server's first
    /// record brings it. `meetingIdChanged` may repeat an unchanged id when a record is applied.
    Q_PROPERTY(QString meetingId READ meetingId NOTIFY meetingIdChanged)
    /// The conversation the meeting belongs to.
    Q_PROPERTY(QString dialogId READ dialogId NOTIFY dialogIdChanged)
    /// Id of the conversation message that carries the meeting (0 when unknown); revoking that
    /// message removes the meeting from its list.
    Q_PROPERTY(qlonglong messageId READ messageId NOTIFY messageIdChanged)
    /// Time in the call as "hh:mm:ss", "00:00:00" until the meeting timer starts; changes every
    /// second while it runs.
    Q_PROPERTY(QString meetingTime READ meetingTime NOTIFY meetingTimeChanged)
    /// Whether attendees may unmute their own microphone, as the host set it (room information
    /// and the engine's reports). Published for the user interface, which decides what to offer;
    /// a write changes only this flag.
    Q_PROPERTY(bool canUnmuteAudio READ canUnmuteAudio WRITE setCanUnmuteAudio NOTIFY
                   canUnmuteAudioChanged)
    /// True while this user hosts the meeting; follows `hostUid` and the own room entry.
    Q_PROPERTY(bool isHost READ isHost NOTIFY isHostChanged)
    /// Display names of the people heard in the last one-second period, in the order in which
    /// they were first heard; changes at most once a second.
    Q_PROPERTY(QStringList whoRSpeaking READ whoRSpeaking NOTIFY whoRSpeakingChanged)
    /// The call's state, a `MeetingDefines::MeetingStatus`: 0 NOTCREATE (no call), 1 CREATED
    /// (joined or created, no call yet; set by the meeting list), 2 CONNECTED (the engine's room
    /// information for the own user was applied). The own leave sets it back to 0.
    Q_PROPERTY(int state READ state WRITE setState NOTIFY stateChanged)
    /// The account the model belongs to; not owned, outlives the model.
    Q_PROPERTY(AccountBase *account READ account CONSTANT)
    /// The results of the latest `search`; borrows the tiles of the other lists.
    Q_PROPERTY(MeetingAttendeeList *searchModel READ searchModel CONSTANT)
    /// The tiles of the call (attendees in it and their shares) in display order; refreshed from
    /// `attendeeList` after each change. Borrows the tiles.
    Q_PROPERTY(MeetingAttendeeList *activeAttendeeList READ activeAttendeeList CONSTANT)
    /// Every attendee and share of the meeting, the master list; owns and deletes their tiles.
    Q_PROPERTY(MeetingAttendeeList *attendeeList READ attendeeList CONSTANT)
    /// People who applied through a meeting link and wait for the host's approval; owns their
    /// tiles.
    Q_PROPERTY(MeetingAttendeeList *pendingAttendeeList READ pendingAttendeeList CONSTANT)
    /// Invited people not (yet) in the call; refreshed from `attendeeList`. Borrows the tiles.
    Q_PROPERTY(MeetingAttendeeList *callingAttendeeList READ callingAttendeeList CONSTANT)
    /// The host's user id; 0 before the engine names one. Changes with join and reconnect
    /// reports and when the host role is transferred.
    Q_PROPERTY(qlonglong hostUid READ hostUid NOTIFY hostUidChanged)
    /// True when everyone may share, false when only the host may (room information and the
    /// share-permission report). A write changes only this flag; the host changes the meeting's
    /// rule with `setSharePremission`.
    Q_PROPERTY(
        bool canMultiShare READ canMultiShare WRITE setCanMultiShare NOTIFY canMultiShareChanged)
    /// Whether attendees may turn their own camera back on, as the host set it; see
    /// `canUnmuteAudio`.
    Q_PROPERTY(bool canUnmuteVideo READ canUnmuteVideo WRITE setCanUnmuteVideo NOTIFY
                   canUnmuteVideoChanged)
    /// True for a one-to-one call, false for a group meeting.
    Q_PROPERTY(bool isPrivateCall READ isPrivateCall NOTIFY isPrivateCallChanged)
    /// Whether the own camera picture is mirrored; true by default. A write takes effect only
    /// while the engine runs (it is passed to the engine); without an engine it is ignored.
    Q_PROPERTY(bool mirror READ mirror WRITE setMirror NOTIFY mirrorChanged)
    /// The value every join request of this meeting carries back to the server; comes with the
    /// host's records and is never replaced by an empty one. Never log it.
    Q_PROPERTY(QString nonce READ nonce NOTIFY nonceChanged)
    /// Whether the computer's sound goes out with the own screen share; read when the share
    /// starts (otherwise the share starts silent). False by default.
    Q_PROPERTY(bool shareDesktopVoice READ shareDesktopVoice WRITE setShareDesktopVoice NOTIFY
                   shareDesktopVoiceChanged)
    /// True while this user has a share open (a whiteboard or a picture share).
    Q_PROPERTY(bool isShared READ isShared NOTIFY isSharedChanged)
    /// True when the meeting runs with speaking privileges (speakers and listeners, raised
    /// hands): the inverse of the record's, the room's or the host's "disable speaker" setting.
    /// A write changes only this flag.
    Q_PROPERTY(bool canSpeakingPrivileges READ canSpeakingPrivileges WRITE setcanSpeakingPrivileges
                   NOTIFY canSpeakingPrivilegesChanged)
    /// The own user id in this meeting: the conversation's own-user id in a group conversation,
    /// else the account id. `userIdChanged` fires each time it is worked out, changed or not.
    Q_PROPERTY(qlonglong userId READ userId NOTIFY userIdChanged)
    /// The most attendees who may speak at once, from the meeting's record (0 when unknown).
    Q_PROPERTY(int speakerCapacity READ speakerCapacity NOTIFY speakerCapacityChanged)
    /// Whether the called side rings, as the engine reports it: a `MeetingDefines::RingingStatus`
    /// (0 CALLING, 1 RINGING, 2 SILENT).
    Q_PROPERTY(int ringingStatus READ ringingStatus NOTIFY ringingStatusChanged)
public:
    /// Creates the model of the meeting `info` describes and lists its attendees; no engine runs
    /// yet. `account` is required and not owned; `parent` (the meeting list) owns the model.
    MeetingModel(const MeetingInfo &info, AccountBase *account, QObject *parent = nullptr);
    /// Creates a model with an empty record, to be filled by `setMeeting`.
    explicit MeetingModel(AccountBase *account, QObject *parent = nullptr);
    ~MeetingModel() override;

    // MeetingModelBase
    /// The server's meeting id; empty until known for a meeting this user starts.
    QString meetingId() override;
    /// The conversation the meeting belongs to.
    QString dialogId() override;
    /// The call's state, a `MeetingDefines::MeetingStatus`.
    int state() const override;
    /// The account given at construction; not owned.
    AccountBase *account() const override;

    // Record and server updates.
    /// Merges a record from the host or the meeting list (`MeetingInfo::update`: the newer
    /// version wins; nonce and key are never lost). Unless the record is older or the call is
    /// connected, it also replaces the attendees, refreshes the derived lists, re-announces the
    /// record's properties and emits `alreadyOnCall` when the own tile stands in the call. An own
    /// entry dropped by the record ends the meeting for this user on the hub.
    void setMeeting(const MeetingInfo &info);
    /// Applies a server message. With `join` false it only stores `mediaServerUrl` (the answer
    /// to `getJoinMediaUrl`) and sends a ringing report that waited for it. With `join` true (a
    /// join answer or a push) a message older than the record keeps only its address; otherwise
    /// it takes the identity and flags, replaces the applicants (`notifyRequestJoin` for a new
    /// one, on the host) and, unless the call is connected, the attendees; a refused link
    /// application emits `applicationRejected`. While connected, only the host takes it.
    void setMeeting(const im::Meeting &meeting, const QString &mediaServerUrl, bool join);
    /// Builds the lists of an outgoing private call to `targetId` before the engine knows the
    /// room: this account active and host, the callee INVITING in `callingAttendeeList`.
    void constructsData(qint64 targetId);
    /// Empties the five lists (the master list deletes its tiles), stops the meeting timer,
    /// forgets the connection and sets `state` to NOTCREATE. A running engine keeps running.
    void clear();
    /// Asks the server for the media server address without joining; the answer comes back
    /// through `setMeeting(meeting, url, false)`. Nothing without a meeting manager.
    void getJoinMediaUrl();

    /// The stored record, key material included.
    const MeetingInfo &meetingInfo() const;
    /// The media server address from the join answer; its query carries tokens.
    QString mediaServerUrl() const;
    /// The value every join request carries back to the server.
    QString nonce() const;
    /// Id of the conversation message that carries the meeting.
    qlonglong messageId() const;
    /// True for a one-to-one call.
    bool isPrivateCall() const;
    /// The most attendees who may speak at once (0 when unknown).
    int speakerCapacity() const;
    /// Stores the speaker capacity; `speakerCapacityChanged` only on change.
    void setSpeakerCapacity(int capacity);
    /// True from the moment the engine's room information for the own user was applied until
    /// `clear` or the own leave; meanwhile records no longer replace the attendees.
    bool webSocketConnected() const;
    /// Time in the call as "hh:mm:ss", counted each second from the moment the engine's room
    /// information for the own user was applied.
    QString meetingTime() const;
    /// Whether attendees may unmute their own microphone.
    bool canUnmuteAudio() const;
    /// Whether attendees may turn their own camera back on.
    bool canUnmuteVideo() const;
    /// True when this user hosts the meeting.
    bool isHost() const;
    /// Display names of the people heard now, longest speaking first.
    QStringList whoRSpeaking() const;
    /// Every attendee and share of the meeting (the master list); owned by the model.
    MeetingAttendeeList *attendeeList() const;
    /// People waiting to be admitted; owned by the model.
    MeetingAttendeeList *pendingAttendeeList() const;
    /// Invited people not (yet) in the call; refreshed from `attendeeList`.
    MeetingAttendeeList *callingAttendeeList() const;
    /// The host's user id; 0 before the engine names one.
    qlonglong hostUid() const;
    /// True when everyone may share, false when only the host may.
    bool canMultiShare() const;
    /// Whether the own camera picture is mirrored.
    bool mirror() const;
    /// Whether the computer's sound goes out with the own screen share.
    bool shareDesktopVoice() const;
    /// True while this user has a share open.
    bool isShared() const;
    /// True when the meeting runs with speaking privileges.
    bool canSpeakingPrivileges() const;
    /// The own user id in this meeting: the conversation's own-user id in a group conversation,
    /// else the account id.
    qlonglong userId() const;
    /// Whether the called side rings, a `MeetingDefines::RingingStatus`.
    int ringingStatus() const;
    /// The engine thread ("meeting_broadcaster_thread"), exposed so tests can watch its life;
    /// never start or stop it from outside. Null until the first `setDevices`; one thread serves
    /// every later engine of the model.
    const QThread *engineThread() const;
    /// True while an engine exists: from `setDevices` until its thread stops (the own leave, the
    /// engine's end of the call, the thread's own end or the model's destruction).
    bool hasEngine() const;

public slots:
    /// Hands the meeting key and the call to the engine that `setDevices` started. Without an
    /// engine or a key it does nothing but log (and, without an engine, warns once).
    ///
    /// `muteVideo` and `muteVoice` start the call with the camera or microphone off; `isSpeaker`
    /// false joins as a listener. Adds the own tile when missing. `state` becomes CONNECTED when
    /// the engine reports the room.
    void createCall(bool muteVideo, bool muteVoice, bool isSpeaker = true);
    /// Starts the engine thread and the engine when not running, then chooses the devices by
    /// name (empty: the system default). Must come before `createCall`.
    void setDevices(QString videoDevice, QString audioInDevice, QString audioOutDevice);
    /// Switches one device of the running engine: `type` a `MeetingDefines::DeviceType` (0
    /// microphone, 1 loudspeaker, 2 camera), `deviceUid` its name as for `setDevices`. Returns
    /// -1 always (the engine's answer is not awaited); other types or no engine make no call.
    int setDevice(QString deviceUid, int type);
    /// Host action: mutes (true) or releases everybody's microphone (`type` 0) or camera (1);
    /// `themselvesOperation` says whether attendees may unmute themselves. The engine's report
    /// turns the other tiles' states to 3 (mute-all) or 1. The model checks no role.
    void setMuteAll(bool mute, bool themselvesOperation, int type);
    /// Host action: lets attendees unmute their own microphone (`type` 0) or camera (1), or
    /// forbids it; the engine's report updates `canUnmuteAudio` or `canUnmuteVideo`.
    void setAllowUnmute(bool allowUnmute, int type);
    /// Sets the published flag only (the engine's reports normally do); emits on change.
    void setCanUnmuteAudio(bool canUnmuteAudio);
    /// Invites the users whose ids `userIds` lists into the meeting through the server; the
    /// outcome reaches the hub through `AccountManager::error` (code 0 on success). Without a
    /// meeting manager, a warning and nothing else.
    void inviteUser(QVariantList userIds);
    /// Declines an invitation through the server; `reason` a
    /// `MeetingDefines::MeetingRejectReason` (0 unknown, 1 rejected, 2 busy).
    void rejectMeeting(int reason);
    /// Withdraws this user's unanswered call: 200 ms later the account's meeting manager sends
    /// the cancel with the record's client id.
    void cancelCall();
    /// Asks the server to join; false while another join is under way. The outcome reaches
    /// the host through `AccountManager::joinMeetingFinished`.
    ///
    /// Also false, with a warning, when the account has no meeting manager. The model joins
    /// again by itself when the engine reports an expired media token (`meetingError` ERR_TOKEN).
    bool joinMeeting();
    /// Host action: asks the engine to remove `uid` from the call; the tile goes when the
    /// engine reports the removal.
    void kicked(qlonglong uid);
    /// Leaves the call; `dismiss` ends it for everyone (host only). The engine's report of the
    /// own leave stops the engine and sets `state` back to `NOTCREATE`. Sends nothing while the
    /// attendee list is empty or no engine runs.
    void leave(bool dismiss);
    /// Host action: hands the host role to `uid` through the engine, first closing the own
    /// screen share when only the host may share. `transferred` fires on the engine's report.
    void transfer(qlonglong uid);
    /// Fills `searchModel` with the attendees and applicants that match `name`.
    void search(QString name);
    /// The results of the latest `search`.
    MeetingAttendeeList *searchModel() const;
    /// The tiles of the call: attendees in it and their shares, in display order; refreshed from
    /// `attendeeList`.
    MeetingAttendeeList *activeAttendeeList() const;
    /// A hash of the meeting's key material: SHA-256 over the nonce (UTF-8) followed by the
    /// meeting key; empty while either is unknown, then computed once and kept. Never log it.
    QByteArray verifyKey();
    /// Chooses the simulcast layers of `uid`'s video to receive: a spatial and a temporal
    /// `qtwebrtc::LayersLevel` (0 low, 1 medium, 2 high), passed on unchanged.
    void setConsumerlayers(int spatialLayer, int temporalLayer, qlonglong uid);
    /// The engine's loudest input level; blocks the calling thread until the engine answers,
    /// -1 without an engine.
    ///
    /// The level is on the engine's scale (the WebRTC engine: 0 to 100, the loudest attendee
    /// heard lately). The one blocking call besides stopping the engine; main thread.
    int getMaxDecibel();
    /// The meeting's display name from the record.
    QString meetingName() const;
    /// Sets `state` (a `MeetingDefines::MeetingStatus`); `stateChanged` only on change. The
    /// meeting list sets CREATED; the model sets CONNECTED and NOTCREATE itself.
    void setState(int state);
    /// Starts a share: `type` a `MeetingDefines::ShareType`, 1 a whiteboard, 2 (desktop) or 3
    /// (window) a picture share of `screen`, the area `size` from its top-left corner at
    /// `frameRate` frames per second. Only with an engine, for the host or while
    /// `canMultiShare`, and when the account supports shares (meeting type 2). Success comes
    /// back as `createShareSuccess`, a refusal as `meetingError`.
    void createShare(int type, QScreen *screen = nullptr, QSize size = QSize(), int frameRate = 30);
    /// Asks the engine to close share `shareId`; its report emits `sigCloseShare` and removes
    /// the tile.
    void closeShare(QString shareId);
    /// Lets the others draw on the own whiteboard, or forbids it; nothing without an own
    /// whiteboard. The report updates `MeetingAttendeeWhiteBoard::allowDraw`.
    void setAllowDraw(bool allow);
    /// Host action: a non-zero `sharePremission` lets everyone share, 0 only the host (the
    /// opposite sense of `MeetingDefines::SharePremission`); `disableSpeaker` true switches
    /// speaking privileges off. Not sent unless this user is the host.
    void setSharePremission(int sharePremission, bool disableSpeaker);
    /// Sets the published flag only (the engine's reports normally do); emits on change.
    void setCanUnmuteVideo(bool canUnmuteVideo);
    /// Asks to open the own microphone (`type` 0) or camera (other values, passed on): while
    /// mute-all holds that medium it is first released with `setMuteAll(false, …)`. Nothing
    /// without an engine.
    void setRequestOpenDev(int type);
    /// Mirrors the own camera picture or not; stored, signalled and passed to the engine only
    /// while one runs.
    void setMirror(bool mirror);
    /// Drops the call's media at once: clears the hub's joining flag and current meeting and
    /// asks the engine to close; its end-of-call report (state 0) then stops the engine thread.
    void closeWebrtc();
    /// Chooses the engine's sound processing, a `qtwebrtc::SoundEffectType` (0 `SOUND_NONE`, 1
    /// `SOUND_DENOISE`, 2 `SOUND_ECHO`), passed on unchanged.
    void setSoundEffectType(int type);
    /// Sets the published flag only (the reports normally do); emits on change.
    void setCanMultiShare(bool canMultiShare);
    /// Chooses whether the computer's sound goes out with the next own screen share; emits on
    /// change.
    void setShareDesktopVoice(bool shareDesktopVoice);
    /// Sets `isHost` directly; `isHostChanged` only on change. The engine's reports set it too.
    void setHost(bool isHost) { setIsHost(isHost); }
    /// Hands a network proxy, in the engine's format, to the running engine; dropped without
    /// one, never stored.
    void setProxy(QString networkProxy);
    /// True when the operating system's version is at least `major`.`minor`.
    bool checkVersion(int major, int minor);
    /// Hands whiteboard content to the engine and takes ownership of `data` (deleted at once
    /// without an engine); `shareId` is unused, the message names its board. User-join replies
    /// are collected: once every open board has replied, the newest is sent once.
    void sendData(im::whiteboard::TransferData *data, QString shareId);
    /// Announces that this user opens (`join` true) or leaves whiteboard `shareId`; remembers the
    /// board opened, whose leave the destructor sends. Nothing without an engine.
    void sendUserAction(bool join, QString shareId);
    /// Hands the picture of the board this user opened (`shareId`, see `sendUserAction`) to the
    /// engine; other ids are ignored. The image is not copied: keep it alive while the engine
    /// may use it.
    void setWhiteboard(QImage *whiteboard, QString shareId);
    /// Sets the published flag only (records and reports normally do); emits on change.
    void setcanSpeakingPrivileges(bool canSpeakingPrivileges);
    /// Raises this user's hand, or lowers it (`cancel`); the report changes the own tile's
    /// `participationStatus`.
    void raiseHand(bool cancel);
    /// Host action: invites listener `uid` to speak, or withdraws the invitation; -1 addresses
    /// every listener. The invitee sees `inviteSpeaker`.
    void inviteSpeak(qlonglong uid, bool cancel);
    /// Host action: grants `uid`'s raised hand, or every raised hand with `all`.
    void agreeSpeak(qlonglong uid, bool all);
    /// Host action: turns `uid`'s raised hand down; the attendee stays a listener.
    void rejectSpeak(qlonglong uid);
    /// Host action: turns speaker `uid` into a listener.
    void beListener(qlonglong uid);
    /// Tells the media server whether this client rings for the incoming call or was
    /// silenced: an HTTPS GET on the media server's host (see `ringingUrl`), sent once the
    /// media server address is known. Failures are ignored.
    void reportRinging(bool ringing);
    /// The last value given to `reportRinging`.
    bool getRinging() const;
    /// True once `constructsData` built the lists of an outgoing private call.
    bool getLocalConstructs() const;

signals:
    /// A record was applied; the id may be unchanged.
    void meetingIdChanged(QString meetingId);
    /// A record was applied; the id may be unchanged.
    void dialogIdChanged(QString dialogId);
    /// A record was applied; the id may be unchanged.
    void messageIdChanged(qlonglong messageId);
    /// Once a second while the meeting timer runs.
    void meetingTimeChanged(QString meetingTime);
    /// `canUnmuteAudio` changed.
    void canUnmuteAudioChanged(bool canUnmuteAudio);
    /// This user became the host or stopped being it.
    void isHostChanged(bool isHost);
    /// A media failure: `mediaServerError` is a `MeetingDefines::MediaServerError`, `errorStr`
    /// a translated text (or the engine's own text for socket and unknown errors).
    void meetingError(int mediaServerError, QString errorStr);
    /// `state` changed; a `MeetingDefines::MeetingStatus`.
    void stateChanged(int state);
    /// At most once a second, when the names or their order changed.
    void whoRSpeakingChanged(QStringList whoRSpeaking);
    /// Declared for QML handlers but not emitted: removals are reported by
    /// `MeetingAttendeeList::kickedOut`.
    void kickedOut(qlonglong uid, int oldIndex);
    /// The engine reported that `uid` is the host now; `hostUid` has changed before.
    void transferred(qlonglong uid);
    /// Another user id is the host.
    void hostUidChanged(qlonglong hostUid);
    /// Asks the user to open a muted device again. `hostRquest` true: the host asks for it
    /// (`type` 0 microphone, 1 camera). False: the host lifted mute-all and the device was on
    /// before (`type` 0 microphone, 2 camera).
    void requestOpenDev(int type, bool hostRquest);
    /// `canUnmuteVideo` changed.
    void canUnmuteVideoChanged(bool canUnmuteVideo);
    /// A record was applied or a private call built; the value may be unchanged.
    void isPrivateCallChanged(bool isPrivateCall);
    /// The model is being destroyed: QML must drop it now.
    void startDestroy();
    /// `mirror` changed (only while an engine runs).
    void mirrorChanged(bool mirror);
    /// A record brought another nonce.
    void nonceChanged(QString nonce);
    /// This user's application through a meeting link for this meeting was turned away: the
    /// server's record lists the user neither as attendee nor as applicant.
    void applicationRejected();
    /// The other party of a private call, a `MeetingDefines::AttendeeStatus`: 1 ACTIVE
    /// (answered), 2 RECONNECT (connection lost), 5 INVITING (still being called).
    void privateCallStatus(int status);
    /// `canMultiShare` changed.
    void canMultiShareChanged(bool canMultiShare);
    /// `shareDesktopVoice` changed.
    void shareDesktopVoiceChanged(bool shareDesktopVoice);
    /// A share opened and its tile stands: `shareType` a `MeetingDefines::ShareType` (1
    /// whiteboard, 2 desktop, 3 window), `uid` its owner. A whiteboard from room information is
    /// announced once, when first listed (held back until the call is connected).
    void createShareSuccess(int shareType, qlonglong uid, QString shareId);
    /// The engine closed share `shareId` of `uid`; emitted before its tile is removed.
    void sigCloseShare(qlonglong uid, QString shareId);
    /// This user's first share opened, or the last one closed.
    void isSharedChanged(bool isShared);
    /// Whiteboard content for open board `shareId` arrived. The receiver owns `data` and must
    /// delete it: connect exactly one. Without a receiver the model deletes it.
    void sigRecvData(im::whiteboard::TransferData *data, QString shareId);
    /// After each room information applied and when the engine reports the call connected: once
    /// per open board, with the account's time in ms since the epoch. The board's view answers
    /// with a user-join message through `sendData`.
    void userJoinData(qlonglong timestamp, QString shareId);
    /// `canSpeakingPrivileges` changed.
    void canSpeakingPrivilegesChanged(bool canSpeakingPrivileges);
    /// Someone joined board `shareId`, or the board just opened (timestamp 1): the view answers
    /// through `sendData` with a user-join message saying when its copy last changed. The
    /// receiver owns `data` and must delete it: connect exactly one.
    void sigRecvUserJoinData(im::whiteboard::TransferData *data, QString shareId);
    /// For the invitee: `operatorId` invites this user to speak, or withdrew the invitation
    /// (`cancel`). Also emitted with the own id after this user invited every listener.
    void inviteSpeaker(qlonglong operatorId, bool cancel);
    /// For the host: the attendee shown as `name` raised a hand, or lowered it (`cancel`); once
    /// per change.
    void notifyRaiseHand(QString name, bool cancel);
    /// A record arrived while the own tile already stands in the call.
    void alreadyOnCall();
    /// For the host: a new applicant waits in `pendingAttendeeList`.
    void notifyRequestJoin();
    /// The own user id was worked out again (construction, `setDevices`); it may be unchanged.
    void userIdChanged();
    /// A picture appeared where none was shown (the own join or reconnect, another attendee's
    /// camera or share): the user interface may switch to the call's video view.
    void notifySwitchWindow();
    /// `speakerCapacity` changed.
    void speakerCapacityChanged(int speakerCapacity);
    /// The called side's ringing state changed.
    void ringingStatusChanged(int ringingStatus);

private slots:
    void notifyJoin(qlonglong uid, qlonglong host, QByteArray roomInfo);
    void notifyMute(qlonglong operatorId, qlonglong uid, int status, int type);
    void notifyLeave(qlonglong uid);
    void notifyScore(qlonglong uid, int score);
    void notifyInvite(qlonglong uid, qlonglong inviter);
    void notifyKicked(qlonglong operatorId, qlonglong uid);
    void notifyReject(qlonglong uid);
    void notifyDismiss(qlonglong uid);
    void notifyMuteAll(bool status, int type);
    void notifyTimeout(qlonglong uid);
    void notifyTransfer(qlonglong operatorId, qlonglong uid);
    void notifyReconnect(qlonglong uid, qlonglong host, QByteArray roomInfo);
    void notifyStateChange(int state);
    void notifyDecibel(qlonglong uid, int consumerType, double averageDecibel, double peakDecibel,
                       QVariantList decibels);
    void notifyNewConsumer(qlonglong uid, int type);
    void notifyReady(qlonglong uid, QByteArray roomInfo);
    void notifyError(int error, QString errStr);
    void notifyRestartIce();
    void notifyAllowUnmute(bool allowUnmute, int type);
    void notifyCreateShare(qlonglong operatorId, QString id, int type);
    void notifyCloseShare(qlonglong operatorId, QString shareId);
    void notifySetAllowDraw(qlonglong operatorId, QString shareId, bool allow);
    void notifySharePremission(QString whoCanShare, bool disableSpeaker, QByteArray roomInfo);
    void notifyRequestEnable(int type);
    void recvData(im::whiteboard::TransferData *data);
    void videoFrame(qlonglong uid, int consumerType, int orientation, QVideoFrameFormat format,
                    QVideoFrame frame);
    void onNotifyRaiseHand(qlonglong uid, bool cancel);
    void onNotifyInviteSpeak(qlonglong operatorId, qlonglong uid, bool cancel);
    void onNotifyAgreeSpeak(qlonglong operatorId, qlonglong uid, bool all);
    void onNotifyRejectSpeak(qlonglong uid);
    void onNotifyRoleChange(qlonglong uid, QString role, QByteArray roomInfo);
    void onWriteLog(QString log, QString url);
    void onNotifyRinging(QString ringing);

public:
    // Pure helpers, public so they can be checked without networking or files.
    /// The ringing report's address: "https:", the media server URL from its "//" up to "/?",
    /// then "/ringing?", the URL's query and "&status=ringing" or "&status=silent". Empty when
    /// the URL lacks "//", "/?" or a host, or has a fragment or user info. Never log it (tokens).
    static QUrl ringingUrl(const QString &mediaServerUrl, bool ringing);
    /// The meeting id part of a log file name: the id up to its first ":", at most 64
    /// characters, each character other than an ASCII letter, digit, "-" or "_" made "_".
    static QString logNamePart(const QString &meetingId);
    /// Engine text with URL queries, tokens, keys and passwords removed: what follows "?" or "#"
    /// in a URL, user info, the value after a secret-looking name and bearer tokens become
    /// "***". Errs on the side of cutting too much.
    static QString scrubbed(const QString &engineText);
    /// Size of the meeting log in bytes beyond which it keeps its head, writes one "log full"
    /// line and drops later lines (20 MiB).
    static constexpr qint64 kMaxLogBytes = 20 * 1024 * 1024;

protected:
    /// Advances `meetingTime` and publishes `whoRSpeaking` on each tick of the one-second
    /// meeting timer; other timers go to the base class.
    void timerEvent(QTimerEvent *event) override;

private:
    friend struct MeetingModelPrivate;
    friend class MeetingAttendeeUser;

    // Core and engine.
    void createLists();
    void init();
    void setUserId();
    void refreshActiveList();
    void refreshCallingList();
    bool sharesSupported() const;
    MeetingAttendeeUser *liveObject(qint64 uid, MeetingDefines::AttendeeType type) const;
    MeetingAttendeeUser *shareOfKind(qint64 uid, MeetingDefines::AttendeeType type) const;
    void dropAttendee(qint64 uid, const QString &shareId);
    void releaseBorrowedUsers(const QSet<qint64> &leaving, bool fromSearch);
    void releaseFromSearch(const MeetingAttendeeList *owner, qint64 uid, const QString &shareId);
    static QSet<qint64> leavingUsers(const MeetingAttendeeList *list, const QSet<qint64> &staying);
    void announceMeetingRecord(const QString &oldNonce);
    void checkApplicationRefused(bool ownIdListed);
    MeetingServiceCmd *serviceCmd() const;
    void setHostUid(qint64 uid);
    void setIsHost(bool isHost);
    void setIsShared(bool isShared);
    void setRingingStatus(int status);
    void connectLiveObject(MeetingAttendeeUser *user);
    // Mute and volume requests of the live objects connected above, passed to the engine.
    void userMuteChanged(MeetingAttendeeUser *user, int mute, int operatorType, int muteType);
    void setPlayoutVolume(MeetingAttendeeUser *user, double volume);
    QList<MeetingAttendee> attendeesFromServer(const im::Meeting &meeting, bool pending,
                                               bool *hasOwnId) const;

    // Room information.
    int converStatus(const QString &status) const;
    int getParticipationStatus(int raiseHand, int invitingSpeak, const QString &role) const;
    int converMuteStatus(bool mute, bool themselvesOperation) const;
    void listAndUpdate(MeetingAttendee record, int muteAudio, int muteVideo, int status,
                       int participation, int score);
    void announceWhiteboardJoins();
    void endInvitation(qint64 uid, int status);

    // Audio and video.
    void setWhoRSpeaking(const QList<QString> &list);
    bool activeListShowsPicture() const;

    // Speaking privileges.
    bool changeParticipationStatus(qint64 uid, int status);
    // False when the states were already in place or the attendee went away.
    bool applyRoleMute(qint64 uid, int muteAudio, int muteVideo);

    // Whiteboard.
    static bool isUserJoin(const im::whiteboard::TransferData *data);
    void keepUserJoin(im::whiteboard::TransferData *data);
    bool recordWhiteboard(qint64 owner, const QString &shareId);
    const QList<QString> &openWhiteboards();
    void postToEngine(im::whiteboard::TransferData *data);

    // Meeting log.
    QString logFileName() const;
    void setLogUrl(const QString &url);
    bool openLogFile();
    void reportLogFailure();

    std::unique_ptr<MeetingModelPrivate> d;
};
