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

class ContactBase;
class MeetingAttendeeUser;

// The "im.meeting" category (Q_DECLARE_LOGGING_CATEGORY written out, for the export).
/// The logging category "im.meeting": call set-up, engine errors and rejected input. Every level is
/// on by default; secrets are never written to it.
MEETING_EXPORT const QLoggingCategory &lcMeeting();

/// The module's enumerations, readable from QML as `MeetingDefines.NAME` after
/// `MeetingManager::registerMetaType`.
namespace MeetingDefines {
Q_NAMESPACE_EXPORT(MEETING_EXPORT)

/// The device kind of `MeetingModel::setDevice`.
enum DeviceType { DEVICE_AUDIO_IN = 0, DEVICE_AUDIO_OUT = 1, DEVICE_VIDEO_IN = 2 };
Q_ENUM_NS(DeviceType)

/// An attendee's attendance. RECONNECT, DISCONNECT and CONNECTING count as ACTIVE for the lists.
enum AttendeeStatus {
    UNKNOWN = 0,
    ACTIVE = 1,
    RECONNECT = 2,
    DISCONNECT = 3,
    CONNECTING = 4,
    INVITING = 5,
    REJECTED = 6,
    TIMEOUT = 7,
    BUSY = 8
};
Q_ENUM_NS(AttendeeStatus)

/// A meeting model's `state`: no call, joined or created without a call yet, in the call.
enum MeetingStatus { NOTCREATE = 0, CREATED = 1, CONNECTED = 2 };
Q_ENUM_NS(MeetingStatus)

/// The reason passed to `MeetingModel::rejectMeeting`.
enum MeetingRejectReason { MEET_REASON_UNKNOWN = 0, MEET_REASON_REJECT = 1, MEET_REASON_BUSY = 2 };
Q_ENUM_NS(MeetingRejectReason)

/// The first argument of `MeetingModel::meetingError`.
enum MediaServerError {
    ERR_CONNECT = 0,
    ERR_TRANSFER = 1,
    ERR_KICKED = 2,
    ERR_MUTE = 3,
    ERR_PermissionDenied = 4,
    ERR_SOCKET = 5,
    ERR_TOKEN = 6,
    ERR_SHARE = 7,
    ERR_SHARE_PERMISSION = 8,
    ERR_UNKNOW = 9
};
Q_ENUM_NS(MediaServerError)

/// The kind of an attendee row or tile: camera, whiteboard share, screen share.
enum AttendeeType { VIDEO = 0, WHITEBOARD = 1, SHARESCREEN = 2 };
Q_ENUM_NS(AttendeeType)

/// What `MeetingModel::createShare` shares.
enum ShareType { NO_SHARE = 0, WHITEBOARD_SHARE = 1, DESKTOP_SHARE = 2, APP_SHARE = 3 };
Q_ENUM_NS(ShareType)

/// The medium of `MeetingModel::setMuteAll` and `setAllowUnmute`.
enum MuteType { MUTE_AUDIO = 0, MUTE_VIDEO = 1 };
Q_ENUM_NS(MuteType)

/// Server codes the user interface handles itself: a wrong link password, and the get-link command.
enum PbError { INVALID_PASSWORD = 2113, GET_MEETING_LINK = 284 };
Q_ENUM_NS(PbError)

/// Who may share: everyone or the host only.
enum SharePremission { ALL_SHARE = 0, ONLY_HOST_SHARE = 1 };
Q_ENUM_NS(SharePremission)

/// An attendee's speaking privilege.
enum ParticipationStatus { SPEAKER = 0, RAISE_HAND = 1, INVITE = 2, LISTENER = 3 };
Q_ENUM_NS(ParticipationStatus)

/// Flags of the connection problems in `MeetingManager::rateMeeting`.
enum ConnectingIssues { OWN_DISCONNET = 1, OTHER_DISCONNECT = 2, CALL_END = 4 };
Q_ENUM_NS(ConnectingIssues)

/// Flags of the audio problems in `MeetingManager::rateMeeting`.
enum AudioIssues {
    MECHANICAL_SOUND = 1,
    TRANSIENT_NOISE = 2,
    OWN_INAUDIBLE = 4,
    OTHER_INAUDIBLE = 8,
    LOW_SOUND = 16
};
Q_ENUM_NS(AudioIssues)

/// Flags of the video problems in `MeetingManager::rateMeeting`.
enum VideoIssues {
    STUTTERING_VIDEO = 1,
    OWN_FROZEN_VIDEO = 2,
    NOT_SEE_MY_VIDEO = 4,
    NOT_SEE_OTHER_VIDEO = 8,
    LOW_VIDEO = 16
};
Q_ENUM_NS(VideoIssues)

/// A meeting model's `ringingStatus`: what the engine says of the callee's ringing.
enum RingingStatus { CALLING = 0, RINGING = 1, SILENT = 2 };
Q_ENUM_NS(RingingStatus)
} // namespace MeetingDefines

/// One attendee of a meeting. `user` points to the live object without owning it.
struct MEETING_EXPORT MeetingAttendee
{
    MeetingAttendee() = default;
    MeetingAttendee(qint64 userId, int deviceId, int status, qint64 inviterId, int role,
                    bool fromServer);
    MeetingAttendee(const MeetingAttendee &other) = default;
    MeetingAttendee &operator=(const MeetingAttendee &other) = default;
    ~MeetingAttendee();

    // Connected-like states (RECONNECT, DISCONNECT, CONNECTING) count as ACTIVE.
    int converState(int state) const;
    // Server attendee status to AttendeeStatus.
    int coverStatus(int serverStatus) const;
    // Server role to ParticipationStatus.
    int coverRole(int serverRole) const;

    bool operator==(const MeetingAttendee &other) const;
    bool operator!=(const MeetingAttendee &other) const { return !(*this == other); }
    // Display order, read from the live objects; false when either has none.
    bool operator<(const MeetingAttendee &other) const;
    bool operator<=(const MeetingAttendee &other) const;
    bool operator>(const MeetingAttendee &other) const;
    bool operator>=(const MeetingAttendee &other) const;

    qint64 inviterId = 0;
    qint64 userId = 0;
    int deviceId = 0;
    int status = 0;
    QSharedPointer<ContactBase> inviter;
    MeetingAttendeeUser *user = nullptr;
    int role = 0;
};

/// One meeting as the directory knows it.
struct MEETING_EXPORT MeetingInfo
{
    // Merges a newer record. Records can arrive out of order, so the version decides what is
    // taken; nonce and key are never lost to a record that lacks them.
    void update(const MeetingInfo &other);

    QString meetingId{QLatin1String("")};
    QString dialogId{QLatin1String("")};
    QString mediaServerUrl{QLatin1String("")};
    QString nonce{QLatin1String("")};
    QString meetingName{QLatin1String("")};
    QString clientId{QLatin1String("")};
    QByteArray meetingKey;
    int speakerCapacity = 0;
    qint64 messageId = 0;
    qint64 extra = 0;
    qint64 version = 0;
    QList<MeetingAttendee> attendees;
    bool isPrivateCall = false;
    bool disableSpeakingPrivileges = false;
};

using MeetingInfoHash = QHash<QString, MeetingInfo>;

Q_DECLARE_METATYPE(MeetingInfo)
Q_DECLARE_METATYPE(MeetingAttendee)
