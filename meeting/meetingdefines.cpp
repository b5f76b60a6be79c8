#include "meetingdefines.h"
#include "contactbase.h"
#include "im.pb.h"
#include "meetingattendeeuser.h"

Q_LOGGING_CATEGORY(lcMeeting, "im.meeting")

MeetingAttendee::MeetingAttendee(qint64 userId, int deviceId, int status, qint64 inviterId,
                                 int role, bool fromServer)
    : inviterId(inviterId), userId(userId), deviceId(deviceId),
      status(fromServer ? coverStatus(status) : status), role(fromServer ? coverRole(role) : role)
{}

MeetingAttendee::~MeetingAttendee()
{
    inviter.reset();
}

int MeetingAttendee::converState(int state) const
{
    switch (state) {
    case MeetingDefines::RECONNECT:
    case MeetingDefines::DISCONNECT:
    case MeetingDefines::CONNECTING:
        return MeetingDefines::ACTIVE;
    default:
        return state;
    }
}

int MeetingAttendee::coverStatus(int serverStatus) const
{
    switch (serverStatus) {
    case 1:
        return MeetingDefines::INVITING;
    case 2:
        return MeetingDefines::REJECTED;
    case 3:
        return MeetingDefines::ACTIVE;
    case 4:
        return MeetingDefines::TIMEOUT;
    case 5:
        return MeetingDefines::BUSY;
    default:
        return MeetingDefines::UNKNOWN;
    }
}

int MeetingAttendee::coverRole(int serverRole) const
{
    return serverRole == 1 ? MeetingDefines::LISTENER : MeetingDefines::SPEAKER;
}

bool MeetingAttendee::operator==(const MeetingAttendee &other) const
{
    return inviterId == other.inviterId && userId == other.userId && deviceId == other.deviceId &&
           user == other.user;
}

namespace {
// The ordering chain: the first key on which the two sides differ decides, with `rel`.
template <typename Rel>
bool compareChain(const MeetingAttendee &a, const MeetingAttendee &b, Rel rel)
{
    if (!a.user || !b.user)
        return false;
    const int sa = a.user->state();
    const int sb = b.user->state();
    if (a.converState(sa) != b.converState(sb))
        return rel(sa, sb);
    const int pa = a.user->participationStatus();
    const int pb = b.user->participationStatus();
    if (pa != pb)
        return rel(pa, pb);
    const int va = a.user->muteVideo();
    const int vb = b.user->muteVideo();
    if ((va != 0) != (vb != 0))
        return rel(va, vb);
    return rel(int(a.user->muteVideoLocal()), int(b.user->muteVideoLocal()));
}
} // namespace

bool MeetingAttendee::operator<(const MeetingAttendee &other) const
{
    return compareChain(*this, other, [](int l, int r) { return l < r; });
}

bool MeetingAttendee::operator<=(const MeetingAttendee &other) const
{
    return compareChain(*this, other, [](int l, int r) { return l <= r; });
}

bool MeetingAttendee::operator>(const MeetingAttendee &other) const
{
    return compareChain(*this, other, [](int l, int r) { return l > r; });
}

bool MeetingAttendee::operator>=(const MeetingAttendee &other) const
{
    return compareChain(*this, other, [](int l, int r) { return l >= r; });
}

MeetingInfo MeetingInfo::fromMeeting(const im::Meeting &meeting)
{
    MeetingInfo info;
    info.meetingId = QString::fromStdString(meeting.id());
    info.dialogId = QString::fromStdString(meeting.dialog_id());
    info.meetingName = QString::fromStdString(meeting.name());
    info.messageId = meeting.msg_id();
    info.version = meeting.version();
    info.speakerCapacity = meeting.speaker_capacity();
    info.isPrivateCall = meeting.is_private_call();
    info.disableSpeakingPrivileges = meeting.disable_speaking_privileges();
    info.attendees.reserve(meeting.attendees_size());
    for (const im::MeetingAttendeeEntry &e : meeting.attendees())
        info.attendees.append(MeetingAttendee(e.user_id(), e.device_id(), e.status(),
                                              e.inviter_id(), e.role(), true));
    return info;
}

void MeetingInfo::update(const MeetingInfo &other)
{
    if (meetingId != other.meetingId) {
        meetingId = other.meetingId;
        mediaServerUrl.clear();
        meetingKey.clear();
        nonce.clear();
        meetingName.clear();
        clientId.clear();
        speakerCapacity = 0;
        extra = 0;
        version = 0;
        isPrivateCall = false;
        disableSpeakingPrivileges = false;
    }
    if (!other.nonce.isEmpty())
        nonce = other.nonce;
    if (!other.meetingKey.isEmpty())
        meetingKey = other.meetingKey;
    if (version > other.version)
        return;
    dialogId = other.dialogId;
    messageId = other.messageId;
    speakerCapacity = other.speakerCapacity;
    extra = other.extra;
    version = other.version;
    isPrivateCall = other.isPrivateCall;
    disableSpeakingPrivileges = other.disableSpeakingPrivileges;
    if (!other.mediaServerUrl.isEmpty())
        mediaServerUrl = other.mediaServerUrl;
    if (!other.meetingName.isEmpty())
        meetingName = other.meetingName;
    if (!other.clientId.isEmpty())
        clientId = other.clientId;
    attendees = other.attendees;
}
