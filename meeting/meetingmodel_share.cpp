#include "accountbase.h"
#include "broadcaster.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetingmodel.h"
#include "roominfo.h"
#include <QDebug>
#include <QMetaMethod>
#include <QPointer>
#include <QRect>
#include <memory>
#include <utility>

using im::whiteboard::TransferData;
using qtwebrtc::Broadcaster;

namespace {
// The one meeting type whose shares and whiteboards the engine supports.
constexpr int kShareMeetingType = 2;

TransferData *userJoinMessage(qint64 timestamp)
{
    auto *message = new TransferData;
    message->mutable_userjoin()->set_timestamp(timestamp);
    return message;
}
} // namespace

void MeetingModel::createShare(int type, QScreen *screen, QSize size, int frameRate)
{
    if (!hasEngine() || (!m_isHost && !m_canMultiShare) || !m_account ||
        m_account->accountSettingModel()->supportedMeetingType() != kShareMeetingType)
        return;
    if (type == MeetingDefines::WHITEBOARD_SHARE) {
        post([](Broadcaster *engine) {
            engine->createShare(qtwebrtc::SHARE_WHITEBOARD, nullptr, QRect(), 30);
        });
        return;
    }
    // The screen may go away before the engine thread gets to the call.
    const QPointer<QScreen> target(screen);
    const QRect area(QPoint(0, 0), size);
    post([target, area, frameRate](Broadcaster *engine) {
        engine->createShare(qtwebrtc::SHARE_PICTURE, target.data(), area, frameRate);
    });
}

void MeetingModel::closeShare(QString shareId)
{
    post([shareId](Broadcaster *engine) { engine->closeShare(shareId); });
}

void MeetingModel::setAllowDraw(bool allow)
{
    const auto *board = qobject_cast<MeetingAttendeeWhiteBoard *>(
        m_attendeeList->getAttendeeInfoByUid(m_userId, MeetingDefines::WHITEBOARD));
    if (!board)
        return;
    const QString shareId = board->shareId();
    post([shareId, allow](Broadcaster *engine) { engine->setAllowDraw(shareId, allow); });
}

void MeetingModel::setSharePremission(int sharePremission, bool disableSpeaker)
{
    if (!m_isHost)
        return;
    const QString whoCanShare =
        sharePremission != 0 ? QStringLiteral("all") : QStringLiteral("host");
    post([whoCanShare, disableSpeaker](Broadcaster *engine) {
        engine->setSharePremission(whoCanShare, disableSpeaker);
    });
}

void MeetingModel::setCanMultiShare(bool canMultiShare)
{
    if (m_canMultiShare == canMultiShare)
        return;
    m_canMultiShare = canMultiShare;
    emit canMultiShareChanged(canMultiShare);
}

void MeetingModel::setShareDesktopVoice(bool shareDesktopVoice)
{
    if (m_shareDesktopVoice == shareDesktopVoice)
        return;
    m_shareDesktopVoice = shareDesktopVoice;
    emit shareDesktopVoiceChanged(shareDesktopVoice);
}

void MeetingModel::setIsShared(bool isShared)
{
    if (m_isShared == isShared)
        return;
    m_isShared = isShared;
    emit isSharedChanged(isShared);
}

void MeetingModel::sendUserAction(bool join, QString shareId)
{
    if (!hasEngine())
        return;
    m_whiteboardShareId = join ? shareId : QString();
    const qint64 now = m_account ? m_account->currentTimestamp() : 0;

    im::whiteboard::WhiteboardData item;
    item.set_kind(1);
    im::whiteboard::UserAction *action = item.mutable_useractiondata();
    action->set_user_id(m_userId);
    action->set_time(now);
    action->set_action(join ? 0 : 1);
    QByteArray bytes(qsizetype(item.ByteSizeLong()), Qt::Uninitialized);
    if (!item.SerializeToArray(bytes.data(), int(bytes.size())))
        qDebug() << "=====Serialize proto buffer failed";

    auto *message = new TransferData;
    im::whiteboard::SingleWhiteboardData *single =
        message->mutable_multi()->add_whiteboarddatalist();
    single->set_timestamp(now);
    single->set_data(bytes.constData(), size_t(bytes.size()));
    message->set_share_id(shareId.toStdString());
    sendData(message, shareId);
}

void MeetingModel::sendData(TransferData *data, QString)
{
    if (!data)
        return;
    if (!hasEngine()) {
        delete data;
        return;
    }
    if (isUserJoin(data))
        keepUserJoin(data);
    else
        postToEngine(data);
}

void MeetingModel::keepUserJoin(TransferData *data)
{
    // Only the newest join time has to reach the engine, once every whiteboard has replied.
    if (!m_keptUserJoin) {
        m_keptUserJoin = data;
    } else if (data->userjoin().timestamp() > m_keptUserJoin->userjoin().timestamp()) {
        delete m_keptUserJoin;
        m_keptUserJoin = data;
    } else {
        delete data;
    }
    ++m_whiteboardReplyCount;
    if (m_whiteboardReplyCount != m_whiteboardShareIds.size())
        return;
    m_whiteboardReplyCount = 0;
    postToEngine(std::exchange(m_keptUserJoin, nullptr));
}

void MeetingModel::postToEngine(TransferData *data)
{
    // Boxed until the engine takes it over, so a call dropped with its engine frees it.
    auto box = std::make_shared<std::unique_ptr<TransferData>>(data);
    post([box](Broadcaster *engine) { engine->sendData(box->release()); });
}

void MeetingModel::setWhiteboard(QImage *whiteboard, QString shareId)
{
    if (shareId != m_whiteboardShareId)
        return;
    post([whiteboard](Broadcaster *engine) { engine->setWhiteboard(whiteboard); });
}

void MeetingModel::notifyCreateShare(qlonglong operatorId, QString id, int type)
{
    if ((type != MeetingDefines::WHITEBOARD && type != MeetingDefines::SHARESCREEN) ||
        id.isEmpty()) {
        qCWarning(lcMeeting) << "share report rejected: kind" << type << "empty id" << id.isEmpty();
        return;
    }
    const bool own = operatorId == m_userId;
    const bool hadPicture = activeListShowsPicture();
    if (own && m_shareDesktopVoice)
        post([](Broadcaster *engine) { engine->createComputerAudio(); });

    const auto entryType = MeetingDefines::AttendeeType(type);
    m_attendeeList->createShareAttendee(operatorId, id, entryType, true, 0);
    refreshActiveList();
    MeetingAttendee entry;
    QPointer<MeetingAttendeeUser> user;
    if (m_attendeeList->getAttendee(operatorId, entryType, entry) && entry.user) {
        user = entry.user;
        connectLiveObject(entry.user);
    }
    // The own share goes out silent unless the computer's sound was asked for.
    if (own && !m_shareDesktopVoice && user)
        user->setMuteVoice(1);

    emit createShareSuccess(type, operatorId, id);
    if (own)
        setIsShared(true);
    else if (!hadPicture)
        emit notifySwitchWindow();

    if (type != MeetingDefines::WHITEBOARD || m_whiteboardShareIds.contains(id))
        return;
    m_whiteboardShareIds.append(id);
    // Nobody would own the message without a receiver.
    if (isSignalConnected(QMetaMethod::fromSignal(&MeetingModel::sigRecvUserJoinData)))
        emit sigRecvUserJoinData(userJoinMessage(1), id);
}

void MeetingModel::notifyCloseShare(qlonglong operatorId, QString shareId)
{
    // An empty id would take the owner's camera entry along with the share.
    if (shareId.isEmpty()) {
        qCWarning(lcMeeting) << "share close rejected: empty id";
        return;
    }
    if (operatorId == m_userId) {
        if (!m_isShared)
            return;
        setIsShared(false);
    }
    m_whiteboardShareIds.removeOne(shareId);
    emit sigCloseShare(operatorId, shareId);
    dropAttendee(operatorId, shareId);
}

void MeetingModel::notifySetAllowDraw(qlonglong, QString shareId, bool allow)
{
    if (auto *board =
            qobject_cast<MeetingAttendeeWhiteBoard *>(m_attendeeList->getShareByShareId(shareId)))
        board->setAllowDraw(allow);
}

void MeetingModel::notifySharePremission(QString whoCanShare, bool disableSpeaker,
                                         QByteArray roomInfo)
{
    setCanMultiShare(whoCanShare != QLatin1String("host"));
    setcanSpeakingPrivileges(!disableSpeaker);
    if (roomInfo.isEmpty())
        return;
    const std::optional<RoomInfo> room = RoomInfo::parse(roomInfo);
    if (!room)
        return;
    // A listener with neither a raised hand nor an invitation has its hand lowered.
    for (const RoomAttendee &entry : room->attendees) {
        if (entry.raiseHand == 0 && entry.invitingSpeak == 0 &&
            entry.role == QLatin1String("listener"))
            onNotifyRaiseHand(entry.id, true);
    }
}

void MeetingModel::recvData(TransferData *data)
{
    if (!data)
        return;
    if (!isUserJoin(data)) {
        // Receivers own what they get; without one the message would be lost.
        if (isSignalConnected(QMetaMethod::fromSignal(&MeetingModel::sigRecvData)))
            emit sigRecvData(data, QString::fromStdString(data->share_id()));
        else
            delete data;
        return;
    }
    const qint64 timestamp = data->userjoin().timestamp();
    delete data;
    if (!isSignalConnected(QMetaMethod::fromSignal(&MeetingModel::sigRecvUserJoinData)))
        return;
    // A receiver may open or close whiteboards while it handles one.
    const QList<QString> shareIds = m_whiteboardShareIds;
    for (const QString &shareId : shareIds) {
        TransferData *message = userJoinMessage(timestamp);
        message->set_share_id(shareId.toStdString());
        emit sigRecvUserJoinData(message, shareId);
    }
}

bool MeetingModel::isUserJoin(const TransferData *data)
{
    return data && data->content_case() == TransferData::kUserjoin;
}
