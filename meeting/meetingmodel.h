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
class MEETING_EXPORT MeetingModel : public MeetingModelBase
{
    Q_OBJECT
    Q_MOC_INCLUDE("accountbase.h")
    Q_MOC_INCLUDE("meetingattendeelist.h")
    Q_PROPERTY(QString meetingId READ meetingId NOTIFY meetingIdChanged)
    Q_PROPERTY(QString dialogId READ dialogId NOTIFY dialogIdChanged)
    Q_PROPERTY(qlonglong messageId READ messageId NOTIFY messageIdChanged)
    Q_PROPERTY(QString meetingTime READ meetingTime NOTIFY meetingTimeChanged)
    Q_PROPERTY(bool canUnmuteAudio READ canUnmuteAudio WRITE setCanUnmuteAudio NOTIFY
                   canUnmuteAudioChanged)
    Q_PROPERTY(bool isHost READ isHost NOTIFY isHostChanged)
    Q_PROPERTY(QStringList whoRSpeaking READ whoRSpeaking NOTIFY whoRSpeakingChanged)
    Q_PROPERTY(int state READ state WRITE setState NOTIFY stateChanged)
    Q_PROPERTY(AccountBase *account READ account CONSTANT)
    Q_PROPERTY(MeetingAttendeeList *searchModel READ searchModel CONSTANT)
    Q_PROPERTY(MeetingAttendeeList *activeAttendeeList READ activeAttendeeList CONSTANT)
    Q_PROPERTY(MeetingAttendeeList *attendeeList READ attendeeList CONSTANT)
    Q_PROPERTY(MeetingAttendeeList *pendingAttendeeList READ pendingAttendeeList CONSTANT)
    Q_PROPERTY(MeetingAttendeeList *callingAttendeeList READ callingAttendeeList CONSTANT)
    Q_PROPERTY(qlonglong hostUid READ hostUid NOTIFY hostUidChanged)
    Q_PROPERTY(
        bool canMultiShare READ canMultiShare WRITE setCanMultiShare NOTIFY canMultiShareChanged)
    Q_PROPERTY(bool canUnmuteVideo READ canUnmuteVideo WRITE setCanUnmuteVideo NOTIFY
                   canUnmuteVideoChanged)
    Q_PROPERTY(bool isPrivateCall READ isPrivateCall NOTIFY isPrivateCallChanged)
    Q_PROPERTY(bool mirror READ mirror WRITE setMirror NOTIFY mirrorChanged)
    Q_PROPERTY(QString nonce READ nonce NOTIFY nonceChanged)
    Q_PROPERTY(bool shareDesktopVoice READ shareDesktopVoice WRITE setShareDesktopVoice NOTIFY
                   shareDesktopVoiceChanged)
    Q_PROPERTY(bool isShared READ isShared NOTIFY isSharedChanged)
    Q_PROPERTY(bool canSpeakingPrivileges READ canSpeakingPrivileges WRITE setcanSpeakingPrivileges
                   NOTIFY canSpeakingPrivilegesChanged)
    Q_PROPERTY(qlonglong userId READ userId NOTIFY userIdChanged)
    Q_PROPERTY(int speakerCapacity READ speakerCapacity NOTIFY speakerCapacityChanged)
    Q_PROPERTY(int ringingStatus READ ringingStatus NOTIFY ringingStatusChanged)
public:
    MeetingModel(const MeetingInfo &info, AccountBase *account, QObject *parent = nullptr);
    explicit MeetingModel(AccountBase *account, QObject *parent = nullptr);
    ~MeetingModel() override;

    // MeetingModelBase
    QString meetingId() override;
    QString dialogId() override;
    int state() const override;
    AccountBase *account() const override;

    // Record and server updates.
    void setMeeting(const MeetingInfo &info);
    void setMeeting(const im::Meeting &meeting, const QString &mediaServerUrl, bool join);
    void constructsData(qint64 targetId);
    void clear();
    void getJoinMediaUrl();

    const MeetingInfo &meetingInfo() const;
    QString mediaServerUrl() const;
    QString nonce() const;
    qlonglong messageId() const;
    bool isPrivateCall() const;
    int speakerCapacity() const;
    void setSpeakerCapacity(int capacity);
    bool webSocketConnected() const;
    /// Time in the call as "hh:mm:ss", counted each second from the moment the engine's room
    /// information for the own user was applied.
    QString meetingTime() const;
    bool canUnmuteAudio() const;
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
    bool canMultiShare() const;
    bool mirror() const;
    bool shareDesktopVoice() const;
    bool isShared() const;
    bool canSpeakingPrivileges() const;
    /// The own user id in this meeting: the conversation's own-user id in a group conversation,
    /// else the account id.
    qlonglong userId() const;
    int ringingStatus() const;
    // The engine thread; exposed so tests can watch its life.
    const QThread *engineThread() const;
    bool hasEngine() const;

public slots:
    /// Hands the meeting key and the call to the engine that `setDevices` started. Without an
    /// engine or a key it does nothing but log (and, without an engine, warns once).
    void createCall(bool muteVideo, bool muteVoice, bool isSpeaker = true);
    /// Starts the engine thread and the engine when not running, then chooses the devices by
    /// name (empty: the system default). Must come before `createCall`.
    void setDevices(QString videoDevice, QString audioInDevice, QString audioOutDevice);
    int setDevice(QString deviceUid, int type);
    void setMuteAll(bool mute, bool themselvesOperation, int type);
    void setAllowUnmute(bool allowUnmute, int type);
    void setCanUnmuteAudio(bool canUnmuteAudio);
    void inviteUser(QVariantList userIds);
    void rejectMeeting(int reason);
    void cancelCall();
    /// Asks the server to join; false while another join is under way. The outcome reaches
    /// the host through `AccountManager::joinMeetingFinished`.
    bool joinMeeting();
    void kicked(qlonglong uid);
    /// Leaves the call; `dismiss` ends it for everyone (host only). The engine's report of the
    /// own leave stops the engine and sets `state` back to `NOTCREATE`.
    void leave(bool dismiss);
    void transfer(qlonglong uid);
    /// Fills `searchModel` with the attendees and applicants that match `name`.
    void search(QString name);
    /// The results of the latest `search`.
    MeetingAttendeeList *searchModel() const;
    /// The tiles of the call: attendees in it and their shares, in display order; refreshed from
    /// `attendeeList`.
    MeetingAttendeeList *activeAttendeeList() const;
    QByteArray verifyKey();
    void setConsumerlayers(int spatialLayer, int temporalLayer, qlonglong uid);
    /// The engine's loudest input level; blocks the calling thread until the engine answers,
    /// -1 without an engine.
    int getMaxDecibel();
    QString meetingName() const;
    void setState(int state);
    void createShare(int type, QScreen *screen = nullptr, QSize size = QSize(), int frameRate = 30);
    void closeShare(QString shareId);
    void setAllowDraw(bool allow);
    void setSharePremission(int sharePremission, bool disableSpeaker);
    void setCanUnmuteVideo(bool canUnmuteVideo);
    void setRequestOpenDev(int type);
    void setMirror(bool mirror);
    void closeWebrtc();
    void setSoundEffectType(int type);
    void setCanMultiShare(bool canMultiShare);
    void setShareDesktopVoice(bool shareDesktopVoice);
    void setHost(bool isHost) { setIsHost(isHost); }
    void setProxy(QString networkProxy);
    bool checkVersion(int major, int minor);
    void sendData(im::whiteboard::TransferData *data, QString shareId);
    void sendUserAction(bool join, QString shareId);
    void setWhiteboard(QImage *whiteboard, QString shareId);
    void setcanSpeakingPrivileges(bool canSpeakingPrivileges);
    void raiseHand(bool cancel);
    void inviteSpeak(qlonglong uid, bool cancel);
    void agreeSpeak(qlonglong uid, bool all);
    void rejectSpeak(qlonglong uid);
    void beListener(qlonglong uid);
    void reportRinging(bool ringing);
    bool getRinging() const;
    bool getLocalConstructs() const;

signals:
    void meetingIdChanged(QString meetingId);
    void dialogIdChanged(QString dialogId);
    void messageIdChanged(qlonglong messageId);
    void meetingTimeChanged(QString meetingTime);
    void canUnmuteAudioChanged(bool canUnmuteAudio);
    void isHostChanged(bool isHost);
    /// A media failure: `mediaServerError` is a `MeetingDefines::MediaServerError`, `errorStr`
    /// a translated text (or the engine's own text for socket and unknown errors).
    void meetingError(int mediaServerError, QString errorStr);
    /// `state` changed; a `MeetingDefines::MeetingStatus`.
    void stateChanged(int state);
    void whoRSpeakingChanged(QStringList whoRSpeaking);
    void kickedOut(qlonglong uid, int oldIndex);
    void transferred(qlonglong uid);
    void hostUidChanged(qlonglong hostUid);
    void requestOpenDev(int type, bool hostRquest);
    void canUnmuteVideoChanged(bool canUnmuteVideo);
    void isPrivateCallChanged(bool isPrivateCall);
    /// The model is being destroyed: QML must drop it now.
    void startDestroy();
    void mirrorChanged(bool mirror);
    void nonceChanged(QString nonce);
    void applicationRejected();
    void privateCallStatus(int status);
    void canMultiShareChanged(bool canMultiShare);
    void shareDesktopVoiceChanged(bool shareDesktopVoice);
    void createShareSuccess(int shareType, qlonglong uid, QString shareId);
    void sigCloseShare(qlonglong uid, QString shareId);
    void isSharedChanged(bool isShared);
    void sigRecvData(im::whiteboard::TransferData *data, QString shareId);
    void userJoinData(qlonglong timestamp, QString shareId);
    void canSpeakingPrivilegesChanged(bool canSpeakingPrivileges);
    void sigRecvUserJoinData(im::whiteboard::TransferData *data, QString shareId);
    void inviteSpeaker(qlonglong operatorId, bool cancel);
    void notifyRaiseHand(QString name, bool cancel);
    void alreadyOnCall();
    void notifyRequestJoin();
    void userIdChanged();
    void notifySwitchWindow();
    void speakerCapacityChanged(int speakerCapacity);
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
    void setPlayoutVolume(double volume);
    void userMuteChanged(int mute, int operatorType, int muteType);
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
    static QUrl ringingUrl(const QString &mediaServerUrl, bool ringing);
    static QString logNamePart(const QString &meetingId);
    // Engine text with URL queries, tokens, keys and passwords removed.
    static QString scrubbed(const QString &engineText);
    // Beyond this the meeting log keeps its head and drops later lines.
    static constexpr qint64 kMaxLogBytes = 20 * 1024 * 1024;

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    friend struct MeetingModelPrivate;

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
