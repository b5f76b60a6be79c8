#pragma once
#include "meeting_global.h"
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QLoggingCategory>
#include <QMetaType>
#include <QObject>
#include <QSharedPointer>
#include <QString>

namespace im {
class Meeting;
}

/// \file
/// The enumerations and value records that the whole module and its QML user interface share,
/// and the module's logging category.

class ContactBase;
class MeetingAttendeeUser;

// The "im.meeting" category (Q_DECLARE_LOGGING_CATEGORY written out, for the export).
/// The logging category "im.meeting": call set-up, engine errors and rejected input. Every level is
/// on by default; secrets are never written to it.
///
/// Safe to use from any thread. Silence or filter it with `QLoggingCategory` rules.
MEETING_EXPORT const QLoggingCategory &lcMeeting();

/// The module's enumerations, readable from QML as `MeetingDefines.NAME` after
/// `MeetingManager::registerMetaType`.
///
/// The values are fixed: they travel as plain integers through properties, signals, server
/// messages and QML, so a property or argument typed `int` takes the value of the enumeration its
/// documentation names.
namespace MeetingDefines {
Q_NAMESPACE_EXPORT(MEETING_EXPORT)

/// The device kind of `MeetingModel::setDevice`: `DEVICE_AUDIO_IN` the microphone (recording
/// device), `DEVICE_AUDIO_OUT` the loudspeaker or headset (playout device), `DEVICE_VIDEO_IN` the
/// camera.
enum DeviceType { DEVICE_AUDIO_IN = 0, DEVICE_AUDIO_OUT = 1, DEVICE_VIDEO_IN = 2 };
Q_ENUM_NS(DeviceType)

/// An attendee's attendance. RECONNECT, DISCONNECT and CONNECTING count as ACTIVE for the lists.
///
/// The server's and the room information's numbers map to these as the README's reference tables
/// show.
enum AttendeeStatus {
    /// Not known, or a server value without a meaning here.
    UNKNOWN = 0,
    /// In the call.
    ACTIVE = 1,
    /// In the call, its media connection being restored.
    RECONNECT = 2,
    /// In the call, its media connection lost for now.
    DISCONNECT = 3,
    /// Accepted, its media connection being set up.
    CONNECTING = 4,
    /// Invited and ringing; not answered yet.
    INVITING = 5,
    /// Declined the invitation.
    REJECTED = 6,
    /// Did not answer the invitation in time.
    TIMEOUT = 7,
    /// Declined the invitation as busy (in another call).
    BUSY = 8
};
Q_ENUM_NS(AttendeeStatus)

/// A meeting model's `state`: no call, joined or created without a call yet, in the call.
///
/// `NOTCREATE` before a join or create and again after the own leave; `CREATED` once the server
/// answered the join or create; `CONNECTED` once the engine's room information lists this user.
enum MeetingStatus { NOTCREATE = 0, CREATED = 1, CONNECTED = 2 };
Q_ENUM_NS(MeetingStatus)

/// The reason passed to `MeetingModel::rejectMeeting` and sent to the server with the refusal:
/// `MEET_REASON_REJECT` the user declined, `MEET_REASON_BUSY` the user is in another call,
/// `MEET_REASON_UNKNOWN` no reason given.
enum MeetingRejectReason { MEET_REASON_UNKNOWN = 0, MEET_REASON_REJECT = 1, MEET_REASON_BUSY = 2 };
Q_ENUM_NS(MeetingRejectReason)

/// The first argument of `MeetingModel::meetingError`.
///
/// Each value stands for one or more engine error numbers; the README's reference tables give
/// the mapping.
enum MediaServerError {
    /// Connecting failed or was refused (also when the room does not list this user); also any
    /// engine error without a value of its own.
    ERR_CONNECT = 0,
    /// Handing the host role to another attendee failed.
    ERR_TRANSFER = 1,
    /// Removing an attendee from the meeting failed.
    ERR_KICKED = 2,
    /// A mute or unmute was refused, for example unmuting while the host's mute-all forbids it.
    ERR_MUTE = 3,
    /// A host action was refused for lack of permission.
    ERR_PermissionDenied = 4,
    /// The connection to the media server broke; the text is the engine's.
    ERR_SOCKET = 5,
    /// The media server refused the token (invalid, expired or missing); the model joins again
    /// by itself to get a fresh address.
    ERR_TOKEN = 6,
    /// A share could not be started.
    ERR_SHARE = 7,
    /// Sharing is reserved to the host.
    ERR_SHARE_PERMISSION = 8,
    /// An error the engine could not classify; the text is the engine's.
    ERR_UNKNOW = 9
};
Q_ENUM_NS(MediaServerError)

/// The kind of an attendee row or tile: camera, whiteboard share, screen share.
///
/// One user has at most one row of each kind in a list. `SHARESCREEN` also stands for a window
/// share (`APP_SHARE`).
enum AttendeeType { VIDEO = 0, WHITEBOARD = 1, SHARESCREEN = 2 };
Q_ENUM_NS(AttendeeType)

/// What `MeetingModel::createShare` shares: `WHITEBOARD_SHARE` a whiteboard, `DESKTOP_SHARE` a
/// screen, `APP_SHARE` one application window; `NO_SHARE` is nothing and is refused.
enum ShareType { NO_SHARE = 0, WHITEBOARD_SHARE = 1, DESKTOP_SHARE = 2, APP_SHARE = 3 };
Q_ENUM_NS(ShareType)

/// The medium of `MeetingModel::setMuteAll` and `setAllowUnmute`: `MUTE_AUDIO` the
/// microphones, `MUTE_VIDEO` the cameras. These equal the engine's mute types 0 and 1 (README,
/// reference tables).
enum MuteType { MUTE_AUDIO = 0, MUTE_VIDEO = 1 };
Q_ENUM_NS(MuteType)

/// Server codes the user interface handles itself: a wrong link password, and the get-link command.
///
/// `INVALID_PASSWORD` arrives as the code of `AccountManager::getJoinMeetingLinkFinished`
/// without an error text: ask for the password again. `GET_MEETING_LINK` is the command id of
/// the get-link request (`MeetingServiceCmd::GetLink`), whose failures arrive through
/// `MeetingManager::cmdError`.
enum PbError { INVALID_PASSWORD = 2113, GET_MEETING_LINK = 284 };
Q_ENUM_NS(PbError)

/// Who may share: everyone or the host only.
///
/// `MeetingModel::setSharePremission` sends "all" for any non-zero value and "host" for 0
/// (README, design notes).
enum SharePremission { ALL_SHARE = 0, ONLY_HOST_SHARE = 1 };
Q_ENUM_NS(SharePremission)

/// An attendee's speaking privilege: `SPEAKER` may speak, `RAISE_HAND` is a listener asking to
/// speak, `INVITE` is a listener the host invited to speak, `LISTENER` only listens. Attendee
/// lists order rows in this order.
enum ParticipationStatus { SPEAKER = 0, RAISE_HAND = 1, INVITE = 2, LISTENER = 3 };
Q_ENUM_NS(ParticipationStatus)

/// Flags of the connection problems in `MeetingManager::rateMeeting`, combined with OR:
/// `OWN_DISCONNET` this user was disconnected, `OTHER_DISCONNECT` others were, `CALL_END` the
/// call ended unexpectedly.
enum ConnectingIssues { OWN_DISCONNET = 1, OTHER_DISCONNECT = 2, CALL_END = 4 };
Q_ENUM_NS(ConnectingIssues)

/// Flags of the audio problems in `MeetingManager::rateMeeting`, combined with OR; 0 is none.
enum AudioIssues {
    /// A mechanical or robotic sound.
    MECHANICAL_SOUND = 1,
    /// Short bursts of noise.
    TRANSIENT_NOISE = 2,
    /// Others could not hear this user.
    OWN_INAUDIBLE = 4,
    /// This user could not hear others.
    OTHER_INAUDIBLE = 8,
    /// The volume was too low.
    LOW_SOUND = 16
};
Q_ENUM_NS(AudioIssues)

/// Flags of the video problems in `MeetingManager::rateMeeting`, combined with OR; 0 is none.
enum VideoIssues {
    /// Video stuttered.
    STUTTERING_VIDEO = 1,
    /// This user's own video froze.
    OWN_FROZEN_VIDEO = 2,
    /// Others could not see this user's video.
    NOT_SEE_MY_VIDEO = 4,
    /// This user could not see others' video.
    NOT_SEE_OTHER_VIDEO = 8,
    /// The picture quality was low.
    LOW_VIDEO = 16
};
Q_ENUM_NS(VideoIssues)

/// A meeting model's `ringingStatus`: what the engine says of the callee's ringing.
///
/// `CALLING` until the engine reports, then `RINGING` when the callee's client rings and
/// `SILENT` when it was reached but does not ring.
enum RingingStatus { CALLING = 0, RINGING = 1, SILENT = 2 };
Q_ENUM_NS(RingingStatus)
} // namespace MeetingDefines

/// One attendee of a meeting. `user` points to the live object without owning it.
///
/// A plain value, copied freely. The meeting model builds records from the server's meeting
/// messages and the engine's room information; attendee lists (`MeetingAttendeeList`) store
/// their rows as records and attach the inviter's contact and the live object. Records of
/// different lists may point to the same live object.
struct MEETING_EXPORT MeetingAttendee
{
    /// All numbers 0, `inviter` and `user` null.
    MeetingAttendee() = default;
    /// An attendee without inviter contact or live object. With `fromServer`, `status` and
    /// `role` are the server's numbers and are stored as `coverStatus(status)` and
    /// `coverRole(role)`; otherwise they are stored as given (an `AttendeeStatus` and a
    /// `ParticipationStatus`).
    MeetingAttendee(qint64 userId, int deviceId, int status, qint64 inviterId, int role,
                    bool fromServer);
    /// Member by member: `inviter` is shared, `user` copied as a plain pointer.
    MeetingAttendee(const MeetingAttendee &other) = default;
    /// Member by member: `inviter` is shared, `user` copied as a plain pointer.
    MeetingAttendee &operator=(const MeetingAttendee &other) = default;
    /// Lets go of the inviter; never deletes `user`.
    ~MeetingAttendee();

    // Connected-like states (RECONNECT, DISCONNECT, CONNECTING) count as ACTIVE.
    /// `state` folded for ordering: RECONNECT, DISCONNECT and CONNECTING give ACTIVE; any other
    /// value, also one outside `MeetingDefines::AttendeeStatus`, comes back unchanged.
    int converState(int state) const;
    // Server attendee status to AttendeeStatus.
    /// The server's attendee status as a `MeetingDefines::AttendeeStatus`: 1 INVITING,
    /// 2 REJECTED, 3 ACTIVE, 4 TIMEOUT, 5 BUSY, any other value UNKNOWN.
    int coverStatus(int serverStatus) const;
    // Server role to ParticipationStatus.
    /// The server's role as a `MeetingDefines::ParticipationStatus`: 1 gives LISTENER, any other
    /// value SPEAKER.
    int coverRole(int serverRole) const;

    /// True for the same tile: equal `inviterId`, `userId` and `deviceId` and the same `user`
    /// object. `status`, `inviter` and `role` are not compared.
    bool operator==(const MeetingAttendee &other) const;
    /// The negation of `operator==`.
    bool operator!=(const MeetingAttendee &other) const { return !(*this == other); }
    // Display order, read from the live objects; false when either has none.
    /// True when this record sorts before `other` in display order.
    ///
    /// The keys are read from the live objects (`user`), never from `status` or `role`; the
    /// first key that differs decides: attendance state (RECONNECT, DISCONNECT and CONNECTING
    /// fold into ACTIVE), then participation status, then camera on before camera off, then
    /// not muted locally before muted locally. False when either record has no live object.
    bool operator<(const MeetingAttendee &other) const;
    /// The keys of `operator<`, compared with `<=` at the deciding key; true when all keys are
    /// equal, false when either record has no live object.
    bool operator<=(const MeetingAttendee &other) const;
    /// The keys of `operator<`, compared with `>` at the deciding key; false when either record
    /// has no live object.
    bool operator>(const MeetingAttendee &other) const;
    /// The keys of `operator<`, compared with `>=` at the deciding key; true when all keys are
    /// equal, false when either record has no live object.
    bool operator>=(const MeetingAttendee &other) const;

    /// User id of the attendee who invited this one; 0 when none.
    qint64 inviterId = 0;
    /// The attendee's user id.
    qint64 userId = 0;
    /// The attendee's client device; 0 when the server names none, which matches any device.
    int deviceId = 0;
    /// Attendance, a `MeetingDefines::AttendeeStatus`.
    int status = 0;
    /// The inviter's contact, shared; null until an attendee list looks it up, and when the
    /// host's contacts know none.
    QSharedPointer<ContactBase> inviter;
    /// The attendee's live object, owned by the attendee list that created it, never by the
    /// record; null until a list created it. It may be deleted while a copy of the record still
    /// points to it, so read it through a list (`MeetingAttendeeList::USER_ROLE`), which answers
    /// null for a deleted object.
    MeetingAttendeeUser *user = nullptr;
    /// Speaking role, a `MeetingDefines::ParticipationStatus`.
    int role = 0;
};

/// One meeting as the directory knows it.
///
/// A plain value. The host builds records from stored history and pushes
/// (`MeetingManager::setMeetings`, `MeetingManager::updateMeeting`); a meeting list builds them
/// from server messages; each meeting model keeps one and merges newer ones with `update`.
/// Strings default to empty (never null), numbers to 0, flags to false.
struct MEETING_EXPORT MeetingInfo
{
    // Merges a newer record. Records can arrive out of order, so the version decides what is
    // taken; nonce and key are never lost to a record that lacks them.
    /// Merges `other` into this record.
    ///
    /// A record of another meeting id first clears everything tied to the old meeting. A
    /// non-empty `nonce` or `meetingKey` of `other` is always taken. The rest is taken only when
    /// `other.version` is not lower than the stored one; then `mediaServerUrl`, `meetingName`
    /// and `clientId` only when not empty in `other`, and `attendees` always (an empty list
    /// empties the stored one).
    void update(const MeetingInfo &other);

    /// The record a server message describes: id, conversation, name, message id, version,
    /// speaker capacity, the two flags and the attendees. What the message does not carry
    /// (media server address, nonce, key, client id, extra) stays empty.
    static MeetingInfo fromMeeting(const im::Meeting &meeting);

    /// The server's id of the meeting; empty while a meeting this user starts has no id yet.
    QString meetingId{QLatin1String("")};
    /// The conversation the meeting belongs to.
    QString dialogId{QLatin1String("")};
    /// Address of the media server the call connects to, with its access token in the query;
    /// given by the join answer, empty before. Never logged.
    QString mediaServerUrl{QLatin1String("")};
    /// Carried back to the server with every join request; an invitation is announced only
    /// when the model has one. A secret: never logged.
    QString nonce{QLatin1String("")};
    /// Display name of the meeting.
    QString meetingName{QLatin1String("")};
    /// Client-side id of the chat message that created the meeting; sent back when the creator
    /// cancels the call.
    QString clientId{QLatin1String("")};
    /// The meeting's encryption key, which the call hands to the engine. The host supplies it;
    /// server messages do not carry it. A secret: never logged.
    QByteArray meetingKey;
    /// How many attendees may speak at once, as the server sets it.
    int speakerCapacity = 0;
    /// Id of the chat message that announced the meeting; revoking that message drops the
    /// meeting (`MeetingList::messageBeRevoked`).
    qint64 messageId = 0;
    /// Carried along for the host; the module neither fills nor reads it.
    qint64 extra = 0;
    /// Order of records: `update` takes a record's values only when its version is not lower.
    qint64 version = 0;
    /// The attendees the server knows, with their server-side status and role.
    QList<MeetingAttendee> attendees;
    /// A one-to-one call rather than a group meeting.
    bool isPrivateCall = false;
    /// The meeting has no speaking-privilege control; everyone may speak.
    bool disableSpeakingPrivileges = false;
};

/// Meeting records of one conversation keyed by meeting id, as `MeetingManager::setMeetings`
/// takes them. Registered for `QVariant` and QML as "MeetingInfoHash", iterable as an
/// associative container.
using MeetingInfoHash = QHash<QString, MeetingInfo>;

Q_DECLARE_METATYPE(MeetingInfo)
Q_DECLARE_METATYPE(MeetingAttendee)
