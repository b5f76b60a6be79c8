#include "accountbase.h"
#include "accountmanager.h"
#include "broadcaster.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetingmanager.h"
#include "meetingmodel.h"
#include "meetingservicecmd.h"
#include "roominfo.h"
#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

using namespace MeetingDefines;

// A user holds one share entry at a time; this answers only when it is of the kind asked for.
MeetingAttendeeUser *MeetingModel::shareOfKind(qint64 uid, AttendeeType type) const
{
    MeetingAttendeeUser *share = liveObject(uid, type);
    return share && share->type() == type ? share : nullptr;
}

// The borrowing lists let go of the rows before the owning list deletes their live objects.
void MeetingModel::dropAttendee(qint64 uid, const QString &shareId)
{
    releaseFromSearch(m_attendeeList, uid, shareId);
    m_activeAttendeeList->removeAttendee(uid, false, shareId);
    m_callingAttendeeList->removeAttendee(uid, false, shareId);
    m_attendeeList->removeAttendee(uid, true, shareId);
}

void MeetingModel::notifyJoin(qlonglong uid, qlonglong host, QByteArray roomInfo)
{
    // A report whose room information is rejected changes nothing, the host included.
    const std::optional<RoomInfo> room = RoomInfo::parse(roomInfo);
    if (!room)
        return;
    setHostUid(host);
    if (m_attendeeList->count() == 0)
        return;
    if (uid == m_userId) {
        applyRoomInfo(*room);
        m_attendeeList->sortAttendee();
        refreshDerivedLists();
        emit notifySwitchWindow();
        return;
    }
    if (isPrivateCall())
        startMeetingTimer();
    int muteAudio = 0, muteVideo = 0, status = 0, participation = 0;
    getAttendeeInfo(uid, roomInfo, muteAudio, muteVideo, status, participation);
    if (!m_attendeeList->updateAttendee(uid, muteAudio, muteVideo, status, participation, -1)) {
        MeetingAttendee joined(uid, m_account->deviceId(), ACTIVE, 0,
                               participation > 0 ? LISTENER : SPEAKER, false);
        m_attendeeList->updateAttendeeUser(joined);
        m_attendeeList->appendAttendee(joined);
        m_attendeeList->updateAttendee(uid, muteAudio, muteVideo, status, participation, -1);
    }
    refreshDerivedLists();
}

void MeetingModel::notifyReady(qlonglong uid, QByteArray roomInfo)
{
    if (!m_broadcaster || !RoomInfo::parse(roomInfo))
        return;
    int muteAudio = 0, muteVideo = 0, status = 0, participation = 0;
    getAttendeeInfo(uid, roomInfo, muteAudio, muteVideo, status, participation);
    if (!m_attendeeList->updateAttendee(uid, muteAudio, muteVideo, status, participation, -1))
        return;
    refreshDerivedLists();
    if (uid != m_userId) {
        if (isPrivateCall())
            emit privateCallStatus(ACTIVE);
        connectLiveObject(liveObject(uid, VIDEO));
        return;
    }
    if (MeetingAttendeeUser *self = liveObject(uid, VIDEO)) {
        if (m_muteAllAudio) {
            self->setMute(3, 0, 0);
            self->setMute(1, 1, 0);
            post([uid](qtwebrtc::Broadcaster *b) {
                b->setMute(true, uid, qtwebrtc::MUTE_AUDIO, true);
            });
        }
        if (m_muteAllVideo) {
            self->setMute(3, 0, 1);
            self->setMute(1, 1, 1);
            post([uid](qtwebrtc::Broadcaster *b) {
                b->setMute(true, uid, qtwebrtc::MUTE_VIDEO, true);
            });
        }
    }
    for (int i = 0; i < m_attendeeList->count(); ++i)
        connectLiveObject(m_attendeeList->rows().at(i).user);
}

void MeetingModel::notifyReconnect(qlonglong uid, qlonglong host, QByteArray roomInfo)
{
    const std::optional<RoomInfo> room = RoomInfo::parse(roomInfo);
    if (!room)
        return;
    setHostUid(host);
    if (uid == m_userId) {
        applyRoomInfo(*room);
        m_attendeeList->setVideoSink(true, -1);
        m_attendeeList->sortAttendee();
    } else {
        m_attendeeList->setVideoSink(false, uid);
        const RoomAttendee *entry = room->attendee(uid);
        MeetingAttendeeUser *board = shareOfKind(uid, WHITEBOARD);
        if (entry && !entry->share && board)
            dropAttendee(uid, board->shareId());
    }
    m_attendeeList->updateAttendeesStatus(uid, ACTIVE);
    refreshDerivedLists();
    if (uid == m_userId)
        emit notifySwitchWindow();
}

void MeetingModel::notifyLeave(qlonglong uid)
{
    if (uid == m_userId)
        removeSelf(true);
    else
        dropAttendee(uid, QString());
}

void MeetingModel::notifyInvite(qlonglong uid, qlonglong inviter)
{
    if (MeetingAttendeeUser *user = liveObject(uid, VIDEO)) {
        user->setState(INVITING);
    } else {
        MeetingAttendee invited(uid, 0, INVITING, inviter, LISTENER, false);
        m_attendeeList->updateAttendeeUser(invited);
        m_attendeeList->appendAttendee(invited);
    }
    m_callingAttendeeList->setDifferentAttendees(m_attendeeList->callingAttendees());
}

void MeetingModel::notifyKicked(qlonglong operatorId, qlonglong uid)
{
    if (uid != m_userId) {
        notifyLeave(uid);
        return;
    }
    AccountManager *manager = AccountManager::getInstance();
    if (operatorId != uid) {
        removeSelf(true);
        if (operatorId != 0)
            manager->error(0, qtTrId("meeting_call_removed"), 0);
        return;
    }
    // The same account took the call on another device.
    if (MeetingAttendeeUser *screen = shareOfKind(uid, SHARESCREEN))
        notifyCloseShare(operatorId, screen->shareId());
    const int index = m_attendeeList->getAttendeeIndex(uid, VIDEO);
    if (index != -1) {
        emit m_attendeeList->kickedOut(uid, index, VIDEO);
        removeSelf(false);
    }
    manager->error(0, qtTrId("meeting_call_exist"), 0);
}

void MeetingModel::notifyReject(qlonglong uid)
{
    m_attendeeList->updateAttendeesStatus(uid, REJECTED);
    m_activeAttendeeList->removeAttendee(uid, false, QString());
    m_callingAttendeeList->setDifferentAttendees(m_attendeeList->callingAttendees());
}

void MeetingModel::notifyTimeout(qlonglong uid)
{
    m_attendeeList->updateAttendeesStatus(uid, TIMEOUT);
    m_activeAttendeeList->removeAttendee(uid, false, QString());
    m_callingAttendeeList->setDifferentAttendees(m_attendeeList->callingAttendees());
}

void MeetingModel::notifyDismiss(qlonglong)
{
    // The list deletes this model inside the call: take what is needed first.
    QPointer<QObject> list = parent();
    const qint64 messageId = m_info.messageId;
    QPointer<MeetingModel> self(this);
    if (!list || !QMetaObject::invokeMethod(list, "messageBeRevoked", Qt::AutoConnection,
                                            Q_ARG(qint64, messageId))) {
        qCWarning(lcMeeting) << "meeting dismissed, but no meeting list took it back";
    }
    // A list that kept the model still must not leave it in a call that has ended.
    if (self)
        self->removeSelf(true);
}

void MeetingModel::notifyTransfer(qlonglong, qlonglong uid)
{
    setHostUid(uid);
    emit transferred(uid);
}

void MeetingModel::notifyStateChange(int state)
{
    switch (state) {
    case qtwebrtc::CALL_CONNECTED: {
        const QList<QString> shareIds = m_whiteboardShareIds;
        for (const QString &shareId : shareIds)
            emit userJoinData(m_account->currentTimestamp(), shareId);
        m_attendeeList->updateAttendeesStatus(m_userId, ACTIVE);
        break;
    }
    case qtwebrtc::CALL_ENDED:
        stopEngineThread();
        break;
    default:
        m_attendeeList->updateAttendeesStatus(m_userId, DISCONNECT);
        break;
    }
}

void MeetingModel::notifyError(int error, QString errStr)
{
    int code = ERR_CONNECT;
    QString text;
    switch (error) {
    case qtwebrtc::ERR_MUTE:
        code = ERR_MUTE;
        text = qtTrId("meeting_mute_fail");
        break;
    case qtwebrtc::ERR_KICK:
        code = ERR_KICKED;
        text = qtTrId("meeting_kick_fail");
        break;
    case qtwebrtc::ERR_TOKEN_INVALID:
    case qtwebrtc::ERR_TOKEN_EXPIRED:
    case qtwebrtc::ERR_TOKEN_MISSING:
        code = ERR_TOKEN;
        text = qtTrId("meeting_token_expired");
        joinMeeting(); // a fresh token comes with the join answer
        break;
    case qtwebrtc::ERR_TRANSFER:
        code = ERR_TRANSFER;
        text = qtTrId("meeting_transfer_fail");
        break;
    case qtwebrtc::ERR_SOCKET:
        code = ERR_SOCKET;
        text = errStr;
        break;
    case qtwebrtc::ERR_REMOVED:
        text = qtTrId("meeting_call_removed");
        break;
    case qtwebrtc::ERR_SHARE:
        code = ERR_SHARE;
        text = qtTrId("meeting_share_failed");
        break;
    case qtwebrtc::ERR_SHARE_PERMISSION:
        code = ERR_SHARE_PERMISSION;
        text = qtTrId("meeting_share_permission_failed");
        break;
    case qtwebrtc::ERR_PERMISSION_DENIED:
        code = ERR_PermissionDenied;
        text = qtTrId("meeting_permission_denied");
        break;
    case qtwebrtc::ERR_UNKNOWN:
        code = ERR_UNKNOW;
        text = errStr;
        break;
    default:
        text = qtTrId("meeting_connection_fail");
        break;
    }
    // The engine's own texts may quote server addresses with their tokens; the code says enough.
    qCDebug(lcMeeting).nospace() << "meetingError: engine error " << error << ", code " << code;
    emit meetingError(code, text);
}

void MeetingModel::notifyRestartIce()
{
    m_attendeeList->updateAttendeesStatus(m_userId, ACTIVE);
}

void MeetingModel::notifyScore(qlonglong uid, int score)
{
    MeetingAttendeeUser *user = liveObject(uid, VIDEO);
    if (!user)
        return;
    user->setNetworkScore(score);
    if (score == 0 && isPrivateCall())
        emit privateCallStatus(RECONNECT);
}

void MeetingModel::notifyNewConsumer(qlonglong uid, int type)
{
    MeetingAttendeeUser *user =
        liveObject(uid, type == qtwebrtc::MUTE_SCREEN ? SHARESCREEN : VIDEO);
    if (user)
        emit user->playoutVolumeChanged(user->volume());
}

void MeetingModel::kicked(qlonglong uid)
{
    const bool byInviter = m_attendeeList->isAttendeeInviter(uid, m_userId);
    post([uid, byInviter](qtwebrtc::Broadcaster *b) { b->kicked(uid, byInviter); });
}

void MeetingModel::transfer(qlonglong uid)
{
    // Only the host may share while sharing is host-only, and we are about to stop being it.
    if (m_isShared && !m_canMultiShare) {
        if (MeetingAttendeeUser *screen = shareOfKind(m_userId, SHARESCREEN))
            closeShare(screen->shareId());
    }
    post([uid](qtwebrtc::Broadcaster *b) { b->transfer(uid); });
}

void MeetingModel::inviteUser(QVariantList userIds)
{
    if (MeetingServiceCmd *cmd = serviceCmd())
        cmd->inviteUser(m_info.meetingId, m_info.dialogId, userIds);
    else
        qCWarning(lcMeeting) << "invite dropped: the account has no meeting manager";
}

void MeetingModel::rejectMeeting(int reason)
{
    if (MeetingServiceCmd *cmd = serviceCmd())
        cmd->rejectMeeting(m_info.meetingId, reason);
    else
        qCWarning(lcMeeting) << "reject dropped: the account has no meeting manager";
}

void MeetingModel::cancelCall()
{
    QTimer::singleShot(200, this, [this] {
        if (MeetingManager *manager = m_account->meetingManager())
            manager->cancelCall(m_info.clientId, m_info.dialogId);
        else
            qCWarning(lcMeeting) << "cancel dropped: the account has no meeting manager";
    });
}
