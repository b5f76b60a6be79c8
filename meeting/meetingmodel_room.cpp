#include "accountbase.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetingmodel.h"
#include "roominfo.h"

void MeetingModel::parseRoomInfo(const QByteArray &roomInfo)
{
    // A rejected text has been reported by the parser and changes nothing.
    if (const std::optional<RoomInfo> room = RoomInfo::parse(roomInfo))
        applyRoomInfo(*room);
}

void MeetingModel::applyRoomInfo(const RoomInfo &room)
{
    applyRoomSettings(room);

    QList<qint64> ids;
    ids.reserve(room.attendees.size());
    int otherPartyStatus = MeetingDefines::INVITING;
    for (const RoomAttendee &entry : room.attendees) {
        ids.append(entry.id);
        if (m_info.isPrivateCall && entry.id != m_userId) {
            otherPartyStatus = entry.status.contains(QLatin1String("CALLING"))
                                   ? MeetingDefines::INVITING
                                   : MeetingDefines::ACTIVE;
        }
    }
    const QSet<qint64> staying(ids.cbegin(), ids.cend());
    // The search results borrow live objects from the attendee list, which deletes those of
    // the users that left; they must go from the borrowers first.
    releaseBorrowedUsers(leavingUsers(m_attendeeList, staying), false);
    m_searchModel->updateAttendee(ids, false);
    m_attendeeList->updateAttendee(ids, true);

    for (int i = 0; i < room.attendees.size(); ++i) {
        const RoomAttendee &entry = room.attendees.at(i);
        if (entry.id == m_userId)
            applyOwnEntry(entry, otherPartyStatus);
        else
            applyOtherEntry(entry);
        applyShareFromRoom(entry.id, room, i);
    }
    for (const QString &shareId : std::as_const(m_whiteboardShareIds))
        emit userJoinData(m_account->currentTimestamp(), shareId);
}

void MeetingModel::applyRoomSettings(const RoomInfo &room)
{
    if (const std::optional<RoomMuteAll> &muteAll = room.muteAll) {
        setCanUnmuteAudio(muteAll->themselvesOperationAudio);
        setCanUnmuteVideo(muteAll->themselvesOperationVideo);
        m_muteAllAudio = muteAll->audio;
        m_muteAllVideo = muteAll->video;
    }
    if (const std::optional<RoomPermissions> &permissions = room.permissions) {
        setCanMultiShare(permissions->whoCanShare != QLatin1String("host"));
        if (permissions->disableSpeaker)
            setcanSpeakingPrivileges(!*permissions->disableSpeaker);
    }
}

MeetingAttendee MeetingModel::recordFromRoom(const RoomAttendee &entry, int deviceId) const
{
    MeetingAttendee record;
    record.inviterId = entry.inviter;
    record.userId = entry.id;
    record.deviceId = deviceId;
    record.status = converStatus(entry.status);
    const int participation =
        getParticipationStatus(entry.raiseHand, entry.invitingSpeak, entry.role);
    record.role = participation != MeetingDefines::SPEAKER ? MeetingDefines::LISTENER
                                                           : MeetingDefines::SPEAKER;
    return record;
}

void MeetingModel::applyOtherEntry(const RoomAttendee &entry)
{
    const int status = converStatus(entry.status);
    const int participation =
        getParticipationStatus(entry.raiseHand, entry.invitingSpeak, entry.role);
    const auto update = [&] {
        return m_attendeeList->updateAttendee(entry.id, entry.muteAudio, entry.muteVideo, status,
                                              participation, entry.score);
    };
    if (update())
        return;
    MeetingAttendee record = recordFromRoom(entry, 0);
    m_attendeeList->updateAttendeeUser(record);
    m_attendeeList->appendAttendee(record);
    update();
}

void MeetingModel::applyOwnEntry(const RoomAttendee &entry, int otherPartyStatus)
{
    setIsHost(entry.host);
    MeetingAttendee existing;
    if (!m_attendeeList->getAttendee(m_userId, MeetingDefines::VIDEO, existing)) {
        MeetingAttendee record = recordFromRoom(entry, m_account->deviceId());
        m_attendeeList->updateAttendeeUser(record);
        m_attendeeList->appendAttendee(record);
    }
    m_attendeeList->updateAttendee(
        entry.id, entry.muteAudio, entry.muteVideo, converStatus(entry.status),
        getParticipationStatus(entry.raiseHand, entry.invitingSpeak, entry.role), entry.score);
    setState(MeetingDefines::CONNECTED);
    m_webSocketConnected = true;
    // The host of a private call counts the time only once the other party has answered.
    if (!(m_info.isPrivateCall && m_isHost && otherPartyStatus != MeetingDefines::ACTIVE))
        startMeetingTimer();
    for (auto it = m_heldWhiteboards.cbegin(); it != m_heldWhiteboards.cend(); ++it)
        emit createShareSuccess(MeetingDefines::WHITEBOARD_SHARE, it.key(), it.value());
    m_heldWhiteboards.clear();
    if (m_info.isPrivateCall && entry.inviter == m_userId)
        emit privateCallStatus(otherPartyStatus);
}

void MeetingModel::applyShareFromRoom(qint64 uid, const RoomInfo &room, int index)
{
    const RoomAttendee &entry = room.attendees.at(index);
    if (!entry.share) {
        MeetingAttendee screen;
        if (m_attendeeList->getAttendee(uid, MeetingDefines::SHARESCREEN, screen) && screen.user &&
            screen.user->type() == MeetingDefines::SHARESCREEN)
            notifyCloseShare(uid, screen.user->shareId());
        return;
    }
    if (m_account->accountSettingModel()->supportedMeetingType() != 2)
        return;

    const RoomShare &share = *entry.share;
    const auto type = share.whiteboard ? MeetingDefines::WHITEBOARD : MeetingDefines::SHARESCREEN;
    const bool otherMark = share.whiteboard && share.otherMark;
    const int mute = share.whiteboard ? entry.muteWhiteBoard : entry.muteScreen;
    if (!m_attendeeList->updateShareAttendee(uid, type, otherMark, mute)) {
        m_attendeeList->createShareAttendee(uid, share.id, type, otherMark, mute);
        if (MeetingAttendeeUser *user = liveObject(uid, type)) {
            connectLiveObject(user);
            if (uid == m_userId)
                setIsShared(true);
        }
    }
    if (!share.whiteboard)
        return;
    m_whiteboardShareIds.append(share.id);
    if (m_state == MeetingDefines::CONNECTED)
        emit createShareSuccess(MeetingDefines::WHITEBOARD_SHARE, uid, share.id);
    else
        m_heldWhiteboards.insert(uid, share.id);
}

void MeetingModel::getAttendeeInfo(qint64 uid, const QByteArray &roomInfo, int &muteAudio,
                                   int &muteVideo, int &status, int &participationStatus)
{
    const std::optional<RoomInfo> room = RoomInfo::parse(roomInfo);
    const RoomAttendee *entry = room ? room->attendee(uid) : nullptr;
    if (!entry)
        return;
    // An entry without mute states reads as in a whole room: audio open, video off.
    muteAudio = entry->muteAudio;
    muteVideo = entry->muteVideo;
    status = converStatus(entry->status);
    participationStatus =
        getParticipationStatus(entry->raiseHand, entry->invitingSpeak, entry->role);
}

int MeetingModel::converStatus(const QString &status) const
{
    static const QList<QPair<QLatin1String, int>> table = {
        {QLatin1String("ACTIVE"), MeetingDefines::ACTIVE},
        {QLatin1String("CALLING"), MeetingDefines::INVITING},
        {QLatin1String("CONNECTING"), MeetingDefines::CONNECTING},
        {QLatin1String("TIMEOUT"), MeetingDefines::TIMEOUT},
        {QLatin1String("REJECT"), MeetingDefines::REJECTED},
        {QLatin1String("BUSY"), MeetingDefines::BUSY}};
    for (const auto &row : table) {
        if (status == row.first)
            return row.second;
    }
    return MeetingDefines::UNKNOWN;
}

int MeetingModel::getParticipationStatus(int raiseHand, int invitingSpeak,
                                         const QString &role) const
{
    if (raiseHand != 0)
        return MeetingDefines::RAISE_HAND;
    if (invitingSpeak != 0)
        return MeetingDefines::INVITE;
    if (role == QLatin1String("listener"))
        return MeetingDefines::LISTENER;
    return MeetingDefines::SPEAKER;
}

int MeetingModel::converMuteStatus(bool mute, bool themselvesOperation) const
{
    if (themselvesOperation)
        return mute ? 1 : 0;
    return mute ? 3 : 1;
}

void MeetingModel::constructsData(qint64 targetId)
{
    MeetingAttendee caller;
    caller.userId = m_account->accountId();
    caller.deviceId = m_account->deviceId();
    caller.status = MeetingDefines::ACTIVE;
    caller.role = MeetingDefines::SPEAKER;
    MeetingAttendee callee;
    callee.inviterId = m_account->accountId();
    callee.userId = targetId;
    callee.status = MeetingDefines::INVITING;
    callee.role = MeetingDefines::SPEAKER;

    m_attendeeList->updateAttendeeUser(caller);
    m_attendeeList->updateAttendeeUser(callee);
    m_attendeeList->appendAttendee(callee);
    m_attendeeList->appendAttendee(caller);
    m_activeAttendeeList->appendAttendee(caller);
    m_callingAttendeeList->appendAttendee(callee);
    if (caller.user)
        caller.user->setNetworkScore(0);

    setHostUid(m_userId);
    m_info.isPrivateCall = true;
    emit isPrivateCallChanged(true);
    m_localConstructs = true;
}
