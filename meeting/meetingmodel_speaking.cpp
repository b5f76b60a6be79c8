#include "broadcaster.h"
#include "contactbase.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetingmodel.h"
#include "roominfo.h"
#include <QPointer>

using qtwebrtc::Broadcaster;

void MeetingModel::raiseHand(bool cancel)
{
    post([cancel](Broadcaster *engine) { engine->raiseHand(cancel); });
}

void MeetingModel::inviteSpeak(qlonglong uid, bool cancel)
{
    post([uid, cancel](Broadcaster *engine) { engine->inviteSpeak(uid, cancel); });
}

void MeetingModel::agreeSpeak(qlonglong uid, bool all)
{
    post([uid, all](Broadcaster *engine) { engine->agreeSpeak(uid, all); });
}

void MeetingModel::rejectSpeak(qlonglong uid)
{
    post([uid](Broadcaster *engine) { engine->rejectSpeak(uid); });
}

void MeetingModel::beListener(qlonglong uid)
{
    post([uid](Broadcaster *engine) { engine->beListener(uid); });
}

void MeetingModel::setcanSpeakingPrivileges(bool canSpeakingPrivileges)
{
    if (m_canSpeakingPrivileges == canSpeakingPrivileges)
        return;
    m_canSpeakingPrivileges = canSpeakingPrivileges;
    emit canSpeakingPrivilegesChanged(canSpeakingPrivileges);
}

void MeetingModel::setSpeakerCapacity(int capacity)
{
    if (m_info.speakerCapacity == capacity)
        return;
    m_info.speakerCapacity = capacity;
    emit speakerCapacityChanged(capacity);
}

bool MeetingModel::changeParticipationStatus(qint64 uid, int status)
{
    MeetingAttendeeUser *user = liveObject(uid, MeetingDefines::VIDEO);
    if (!user || user->participationStatus() == status)
        return false;
    user->setParticipationStatus(status);
    m_attendeeList->sortAttendeeByStatus(
        uid, status, m_attendeeList->getAttendeeIndex(uid, MeetingDefines::VIDEO));
    refreshActiveList();
    return true;
}

void MeetingModel::onNotifyRaiseHand(qlonglong uid, bool cancel)
{
    const int status = cancel ? MeetingDefines::LISTENER : MeetingDefines::RAISE_HAND;
    if (!changeParticipationStatus(uid, status) || uid == m_userId || !m_isHost)
        return;
    // Re-read: the list signals of the status change reach outside code.
    const MeetingAttendeeUser *user = liveObject(uid, MeetingDefines::VIDEO);
    if (user && user->userInfo())
        emit notifyRaiseHand(user->userInfo()->name(), cancel);
}

void MeetingModel::onNotifyInviteSpeak(qlonglong operatorId, qlonglong uid, bool cancel)
{
    if (operatorId == m_userId) {
        changeParticipationStatus(uid, cancel ? MeetingDefines::LISTENER : MeetingDefines::INVITE);
        // -1 addresses every listener, so there is no row to show the invitation on.
        if (uid != -1)
            return;
    }
    emit inviteSpeaker(operatorId, cancel);
}

void MeetingModel::onNotifyAgreeSpeak(qlonglong, qlonglong uid, bool)
{
    changeParticipationStatus(uid, MeetingDefines::SPEAKER);
}

void MeetingModel::onNotifyRejectSpeak(qlonglong uid)
{
    changeParticipationStatus(uid, MeetingDefines::LISTENER);
}

void MeetingModel::onNotifyRoleChange(qlonglong uid, QString role, QByteArray roomInfo)
{
    const bool speaker = role == QLatin1String("speaker");
    changeParticipationStatus(uid, speaker ? MeetingDefines::SPEAKER : MeetingDefines::LISTENER);
    if (!liveObject(uid, MeetingDefines::VIDEO) || roomInfo.isEmpty())
        return;
    // A rejected text keeps the mute states the attendee already has.
    const std::optional<RoomInfo> room = RoomInfo::parse(roomInfo);
    if (!room)
        return;
    for (const RoomAttendee &entry : room->attendees) {
        if (entry.id != uid)
            continue;
        if (!applyRoleMute(uid, entry.muteAudio, entry.muteVideo))
            return;
    }
}

bool MeetingModel::applyRoleMute(qint64 uid, int muteAudio, int muteVideo)
{
    // Outside code reacts to every mute signal; it may take the attendee away meanwhile.
    QPointer<MeetingAttendeeUser> user = liveObject(uid, MeetingDefines::VIDEO);
    if (!user || (muteAudio == user->muteVoice() && muteVideo == user->muteVideo()))
        return false;
    const int oldVideo = user->muteVideo();
    auto setMute = [&user](int mute, int operatorType, int muteType) {
        if (user)
            user->setMute(mute, operatorType, muteType);
    };
    setMute(muteVideo, 0, MeetingDefines::MUTE_VIDEO);
    setMute(muteAudio, 0, MeetingDefines::MUTE_AUDIO);
    if (uid == m_userId) {
        setMute(muteVideo, 1, MeetingDefines::MUTE_VIDEO);
        setMute(muteAudio, 1, MeetingDefines::MUTE_AUDIO);
    }
    if (!user)
        return false;
    if ((oldVideo == 0) != (muteVideo == 0)) {
        m_attendeeList->sortAttendeeByVideo(
            uid, muteVideo, MeetingDefines::VIDEO,
            m_attendeeList->getAttendeeIndex(uid, MeetingDefines::VIDEO));
        refreshActiveList();
    }
    return true;
}
