#include "meetingmodel.h"
#include "accountbase.h"
#include "accountmanager.h"
#include "broadcaster.h"
#include "contactbase.h"
#include "im.pb.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetinglinkitem.h"
#include "meetinglinklist.h"
#include "meetingmanager.h"
#include "meetingmodel_p.h"
#include "meetingservicecmd.h"
#include "roominfo.h"
#include "settings.h"
#include "videosink.h"
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QJSEngine>
#include <QMetaEnum>
#include <QMetaMethod>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QOperatingSystemVersion>
#include <QPointer>
#include <QRect>
#include <QRegularExpression>
#include <QSemaphore>
#include <QTime>
#include <QTimer>
#include <QTimerEvent>
#include <QUrl>
#include <algorithm>
#include <memory>
#include <type_traits>
#include <utility>

using im::whiteboard::TransferData;
using namespace MeetingDefines;
using qtwebrtc::Broadcaster;

namespace {
// The one meeting type whose shares and whiteboards the engine supports.
constexpr int kShareMeetingType = 2;
// Far above the boards a meeting shows; keeps a hostile engine from growing the fan-out.
constexpr int kMaxWhiteboards = 64;

QSet<qint64> userIdsOf(const QList<MeetingAttendee> &list)
{
    QSet<qint64> ids;
    for (const MeetingAttendee &a : list)
        ids.insert(a.userId);
    return ids;
}
} // namespace

MeetingModel::MeetingModel(const MeetingInfo &info, AccountBase *account, QObject *parent)
    : MeetingModelBase(parent), d(std::make_unique<MeetingModelPrivate>(this))
{
    d->m_account = account;
    createLists();
    d->m_info.update(info);
    init();
    bool added = false;
    d->m_attendeeList->initAttendees(info.attendees, added);
    d->refreshDerivedLists();
}

MeetingModel::MeetingModel(AccountBase *account, QObject *parent)
    : MeetingModelBase(parent), d(std::make_unique<MeetingModelPrivate>(this))
{
    d->m_account = account;
    createLists();
    init();
}

MeetingModel::~MeetingModel()
{
    if (!d->m_whiteboardShareId.isEmpty())
        sendUserAction(false, d->m_whiteboardShareId);
    d->stopEngineThread();
    clear();
    emit startDestroy();
    if (d->logOpen()) {
        d->m_logFile->flush();
        d->m_logFile->close();
        d->m_account->fileManager()->fileDataMgr()->uploadMeetingLog(d->m_logFile->fileName(),
                                                                     d->m_logUrl);
    }
    delete d->m_keptUserJoin;
    AccountManager::getInstance()->meetingWillBeDeleted(this);
}

QString MeetingModel::meetingId()
{
    return d->m_info.meetingId;
}

QString MeetingModel::dialogId()
{
    return d->m_info.dialogId;
}

int MeetingModel::state() const
{
    return d->m_state;
}

AccountBase *MeetingModel::account() const
{
    return d->m_account;
}

const MeetingInfo &MeetingModel::meetingInfo() const
{
    return d->m_info;
}

QString MeetingModel::mediaServerUrl() const
{
    return d->m_info.mediaServerUrl;
}

QString MeetingModel::nonce() const
{
    return d->m_info.nonce;
}

qlonglong MeetingModel::messageId() const
{
    return d->m_info.messageId;
}

bool MeetingModel::isPrivateCall() const
{
    return d->m_info.isPrivateCall;
}

int MeetingModel::speakerCapacity() const
{
    return d->m_info.speakerCapacity;
}

bool MeetingModel::webSocketConnected() const
{
    return d->m_webSocketConnected;
}

QString MeetingModel::meetingTime() const
{
    return d->m_meetingTime;
}

bool MeetingModel::canUnmuteAudio() const
{
    return d->m_canUnmuteAudio;
}

bool MeetingModel::canUnmuteVideo() const
{
    return d->m_canUnmuteVideo;
}

bool MeetingModel::isHost() const
{
    return d->m_isHost;
}

QStringList MeetingModel::whoRSpeaking() const
{
    return d->m_whoRSpeaking;
}

MeetingAttendeeList *MeetingModel::attendeeList() const
{
    return d->m_attendeeList;
}

MeetingAttendeeList *MeetingModel::pendingAttendeeList() const
{
    return d->m_pendingAttendeeList;
}

MeetingAttendeeList *MeetingModel::callingAttendeeList() const
{
    return d->m_callingAttendeeList;
}

qlonglong MeetingModel::hostUid() const
{
    return d->m_hostUid;
}

bool MeetingModel::canMultiShare() const
{
    return d->m_canMultiShare;
}

bool MeetingModel::mirror() const
{
    return d->m_mirror;
}

bool MeetingModel::shareDesktopVoice() const
{
    return d->m_shareDesktopVoice;
}

bool MeetingModel::isShared() const
{
    return d->m_isShared;
}

bool MeetingModel::canSpeakingPrivileges() const
{
    return d->m_canSpeakingPrivileges;
}

qlonglong MeetingModel::userId() const
{
    return d->m_userId;
}

int MeetingModel::ringingStatus() const
{
    return d->m_ringingStatus;
}

bool MeetingModel::hasEngine() const
{
    return d->m_broadcaster != nullptr;
}

MeetingAttendeeList *MeetingModel::searchModel() const
{
    return d->m_searchModel;
}

MeetingAttendeeList *MeetingModel::activeAttendeeList() const
{
    return d->m_activeAttendeeList;
}

QString MeetingModel::meetingName() const
{
    return d->m_info.meetingName;
}

bool MeetingModel::getRinging() const
{
    return d->m_ringing;
}

bool MeetingModel::getLocalConstructs() const
{
    return d->m_localConstructs;
}

const QThread *MeetingModel::engineThread() const
{
    return d->m_engineThread.get();
}

void MeetingModel::createLists()
{
    Q_ASSERT(d->m_account);
    d->m_searchModel = new MeetingAttendeeList(d->m_account, this);
    d->m_activeAttendeeList = new MeetingAttendeeList(d->m_account, this);
    d->m_attendeeList = new MeetingAttendeeList(d->m_account, this);
    d->m_pendingAttendeeList = new MeetingAttendeeList(d->m_account, this);
    d->m_callingAttendeeList = new MeetingAttendeeList(d->m_account, this);
}

void MeetingModel::init()
{
    // QML never deletes an object with a parent; marking one would cost it QML data.
    if (!QObject::parent())
        QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
    // Queued connections carry these under their written names. Registering normalises each
    // name, so it is done once, not for every model.
    static const bool registered = [] {
        qRegisterMetaType<im::whiteboard::TransferData *>("im::whiteboard::TransferData*");
        qRegisterMetaType<MeetingDefines::AttendeeType>("MeetingDefines::AttendeeType");
        qRegisterMetaType<qtwebrtc::CallInfo>("qtwebrtc::CallInfo");
        qRegisterMetaType<size_t>("size_t");
        qRegisterMetaType<qtwebrtc::SoundEffectType>("qtwebrtc::SoundEffectType");
        return true;
    }();
    Q_UNUSED(registered);
    setUserId();
    for (MeetingAttendeeList *list : {d->m_attendeeList, d->m_activeAttendeeList,
                                      d->m_pendingAttendeeList, d->m_callingAttendeeList}) {
        list->setDialogId(d->m_info.dialogId);
        list->setUserId(d->m_userId);
    }
    d->m_searchModel->setUserId(d->m_userId);
    setcanSpeakingPrivileges(!d->m_info.disableSpeakingPrivileges);
}

void MeetingModel::setUserId()
{
    const QSharedPointer<DialogBase> dialog = d->m_account->dialog(d->m_info.dialogId, false);
    d->m_userId = dialog && dialog->isGroup() ? dialog->ownUserId() : d->m_account->accountId();
    emit userIdChanged();
}

void MeetingModelPrivate::refreshDerivedLists()
{
    q->refreshActiveList();
    q->refreshCallingList();
}

QSet<qint64> MeetingModel::leavingUsers(const MeetingAttendeeList *list,
                                        const QSet<qint64> &staying)
{
    QSet<qint64> leaving;
    for (const MeetingAttendee &a : list->rows()) {
        if (!staying.contains(a.userId))
            leaving.insert(a.userId);
    }
    return leaving;
}

// The owning list deletes the live objects of users it drops; the lists that borrow those
// objects must let go of them first, or their rows would point at freed memory.
void MeetingModel::releaseBorrowedUsers(const QSet<qint64> &leaving, bool fromSearch)
{
    if (leaving.isEmpty())
        return;
    for (MeetingAttendeeList *list : {d->m_activeAttendeeList, d->m_callingAttendeeList}) {
        QList<MeetingAttendee> rows = list->rows();
        const auto gone = std::remove_if(rows.begin(), rows.end(), [&](const MeetingAttendee &a) {
            return leaving.contains(a.userId);
        });
        if (gone == rows.end())
            continue;
        rows.erase(gone, rows.end());
        list->setDifferentAttendees(rows);
    }
    if (fromSearch) {
        for (qint64 uid : leaving)
            releaseFromSearch(d->m_attendeeList, uid, QString());
    }
}

// The search results may show one user twice, as attendee and as applicant: only the rows
// holding the owner's objects go.
void MeetingModel::releaseFromSearch(const MeetingAttendeeList *owner, qint64 uid,
                                     const QString &shareId)
{
    for (const AttendeeType type : {VIDEO, WHITEBOARD, SHARESCREEN}) {
        const auto *user =
            qobject_cast<MeetingAttendeeUser *>(owner->getAttendeeInfoByUid(uid, type));
        if (user && (shareId.isEmpty() || (type != VIDEO && user->shareId() == shareId)))
            d->m_searchModel->removeRowsOf(user);
    }
}

void MeetingModel::setMeeting(const MeetingInfo &info)
{
    const QString oldNonce = d->m_info.nonce;
    const int oldCapacity = d->m_info.speakerCapacity;
    d->m_info.update(info);
    if (d->m_info.speakerCapacity != oldCapacity)
        emit speakerCapacityChanged(d->m_info.speakerCapacity);
    setcanSpeakingPrivileges(!d->m_info.disableSpeakingPrivileges);
    if (d->m_info.version > info.version || d->m_webSocketConnected)
        return;
    d->m_attendeeList->setDialogId(info.dialogId);
    releaseBorrowedUsers(leavingUsers(d->m_attendeeList, userIdsOf(info.attendees)), true);
    bool added = false;
    const QSet<qint64> dropped = d->m_attendeeList->initAttendees(info.attendees, added);
    if (dropped.contains(d->m_account->accountId()))
        AccountManager::getInstance()->meetingBeFinished(d->m_account->accountId(), info.meetingId);
    d->refreshDerivedLists();
    announceMeetingRecord(oldNonce);
    if (d->m_activeAttendeeList->getAttendeeInfoByUid(d->m_userId, MeetingDefines::VIDEO))
        emit alreadyOnCall();
}

void MeetingModel::announceMeetingRecord(const QString &oldNonce)
{
    emit meetingIdChanged(d->m_info.meetingId);
    emit dialogIdChanged(d->m_info.dialogId);
    emit messageIdChanged(d->m_info.messageId);
    emit isPrivateCallChanged(d->m_info.isPrivateCall);
    if (d->m_info.nonce != oldNonce)
        emit nonceChanged(d->m_info.nonce);
}

void MeetingModel::setMeeting(const im::Meeting &meeting, const QString &mediaServerUrl, bool join)
{
    if (!join) {
        d->m_info.mediaServerUrl = mediaServerUrl;
        if (d->m_ringingPending)
            reportRinging(d->m_ringing);
        d->m_ringingPending = false;
        return;
    }
    if (d->m_info.version > meeting.version()) {
        // A join answer overtaken by a newer push: its record is old, its media address is not.
        if (!mediaServerUrl.isEmpty())
            d->m_info.mediaServerUrl = mediaServerUrl;
        return;
    }
    if (d->m_webSocketConnected && !d->m_isHost)
        return;

    const MeetingInfo old = d->m_info;
    d->m_info.dialogId = QString::fromStdString(meeting.dialog_id());
    d->m_info.meetingId = QString::fromStdString(meeting.id());
    d->m_info.messageId = qint64(meeting.msg_id());
    d->m_info.isPrivateCall = meeting.is_private_call();
    d->m_info.disableSpeakingPrivileges = meeting.disable_speaking_privileges();
    setcanSpeakingPrivileges(!d->m_info.disableSpeakingPrivileges);
    d->m_info.version = meeting.version();
    if (!mediaServerUrl.isEmpty())
        d->m_info.mediaServerUrl = mediaServerUrl;
    d->m_attendeeList->setDialogId(d->m_info.dialogId);

    // These properties change here outside a full record; bindings must still follow.
    if (d->m_info.meetingId != old.meetingId)
        emit meetingIdChanged(d->m_info.meetingId);
    if (d->m_info.dialogId != old.dialogId)
        emit dialogIdChanged(d->m_info.dialogId);
    if (d->m_info.messageId != old.messageId)
        emit messageIdChanged(d->m_info.messageId);
    if (d->m_info.isPrivateCall != old.isPrivateCall)
        emit isPrivateCallChanged(d->m_info.isPrivateCall);

    const QList<MeetingAttendee> pending = attendeesFromServer(meeting, true, nullptr);
    // The search results borrow the applicants' live objects, which the pending list deletes.
    for (qint64 uid : leavingUsers(d->m_pendingAttendeeList, userIdsOf(pending)))
        releaseFromSearch(d->m_pendingAttendeeList, uid, QString());
    bool added = false;
    d->m_pendingAttendeeList->initAttendees(pending, added);
    if (added && d->m_isHost)
        emit notifyRequestJoin();

    if (d->m_webSocketConnected)
        return;
    bool ownIdListed = false;
    const QList<MeetingAttendee> attendees = attendeesFromServer(meeting, false, &ownIdListed);
    releaseBorrowedUsers(leavingUsers(d->m_attendeeList, userIdsOf(attendees)), true);
    bool flag = false;
    if (d->m_attendeeList->initAttendees(attendees, flag).contains(d->m_userId))
        AccountManager::getInstance()->meetingBeFinished(d->m_account->accountId(),
                                                         d->m_info.meetingId);
    checkApplicationRefused(ownIdListed);
    d->refreshDerivedLists();
}

void MeetingModel::checkApplicationRefused(bool ownIdListed)
{
    if (ownIdListed || d->m_pendingAttendeeList->existAttendee(d->m_userId))
        return;
    MeetingManager *manager = d->m_account->meetingManager();
    MeetingLinkList *links = manager ? manager->meetingLinkList() : nullptr;
    MeetingLinkItem *link = links ? links->joinMeetingLink() : nullptr;
    if (!link || link->meetingModel() != this)
        return;
    emit applicationRejected();
    AccountManager::getInstance()->setJoiningMeeting(false);
    AccountManager::getInstance()->setJoiningMeetingId(QString());
    links->setJoinMeetingLink({});
}

QList<MeetingAttendee> MeetingModel::attendeesFromServer(const im::Meeting &meeting, bool pending,
                                                         bool *hasOwnId) const
{
    const auto &entries = pending ? meeting.pending_attendees() : meeting.attendees();
    QList<MeetingAttendee> list;
    list.reserve(entries.size());
    for (const im::MeetingAttendeeEntry &e : entries) {
        list.append(MeetingAttendee(e.user_id(), e.device_id(), e.status(), e.inviter_id(),
                                    e.role(), true));
        if (hasOwnId && e.user_id() == d->m_userId)
            *hasOwnId = true;
    }
    return list;
}

void MeetingModel::clear()
{
    d->killMeetingTimer();
    if (AccountManager::getInstance()->meetingModel() == this)
        AccountManager::getInstance()->setMeetingModel(nullptr);
    for (MeetingAttendeeList *list : {d->m_searchModel, d->m_activeAttendeeList,
                                      d->m_callingAttendeeList, d->m_pendingAttendeeList})
        list->clearAttendee(false);
    d->m_attendeeList->clearAttendee(true);
    d->m_webSocketConnected = false;
    setState(MeetingDefines::NOTCREATE);
}

MeetingServiceCmd *MeetingModel::serviceCmd() const
{
    MeetingManager *manager = d->m_account->meetingManager();
    return manager ? manager->meetingServiceCmd() : nullptr;
}

void MeetingModel::getJoinMediaUrl()
{
    if (MeetingServiceCmd *cmd = serviceCmd())
        cmd->joinMeeting(d->m_info.meetingId, d->m_info.nonce, false);
}

bool MeetingModel::joinMeeting()
{
    AccountManager *accounts = AccountManager::getInstance();
    if (accounts->joiningMeeting())
        return false;
    MeetingServiceCmd *cmd = serviceCmd();
    if (!cmd) {
        // Claiming the join without a way to send it would block every later join.
        qCWarning(lcMeeting) << "cannot join: the account has no meeting manager";
        return false;
    }
    accounts->setJoiningMeeting(true);
    cmd->joinMeeting(d->m_info.meetingId, d->m_info.nonce, true);
    return true;
}

void MeetingModel::setDevices(QString videoDevice, QString audioInDevice, QString audioOutDevice)
{
    d->startEngine();
    d->post([videoDevice](Broadcaster *b) { b->setVideoRecordingDevice(videoDevice); });
    d->post([audioOutDevice](Broadcaster *b) { b->setAudioPlayoutDevice(audioOutDevice); });
    d->post([audioInDevice](Broadcaster *b) { b->setAudioRecordingDevice(audioInDevice); });
}

void MeetingModelPrivate::startEngine()
{
    q->setUserId();
    if (engineThreadRunning())
        return;
    if (!m_engineThread) {
        m_engineThread = std::make_unique<QThread>();
        m_engineThread->setObjectName(QStringLiteral("meeting_broadcaster_thread"));
    }
    m_engineThread->start(QThread::InheritPriority);
    m_broadcaster = new Broadcaster(m_userId, nullptr);
    m_broadcaster->moveToThread(m_engineThread.get());
    m_engineGate = std::make_shared<EngineGate>();
    connectEngine();
    watchEngineThread();
    post([](Broadcaster *b) { b->init(); });
}

void MeetingModelPrivate::connectEngine()
{
    Broadcaster *b = m_broadcaster;
    QObject::connect(b, &Broadcaster::sigNotifyJoin, q, &MeetingModel::notifyJoin);
    QObject::connect(b, &Broadcaster::sigNotifyMute, q, &MeetingModel::notifyMute);
    QObject::connect(b, &Broadcaster::sigNotifyLeave, q, &MeetingModel::notifyLeave);
    QObject::connect(b, &Broadcaster::sigNotifyScore, q, &MeetingModel::notifyScore);
    QObject::connect(b, &Broadcaster::sigNotifyInvite, q, &MeetingModel::notifyInvite);
    QObject::connect(b, &Broadcaster::sigNotifyKicked, q, &MeetingModel::notifyKicked);
    QObject::connect(b, &Broadcaster::sigNotifyReject, q, &MeetingModel::notifyReject);
    QObject::connect(b, &Broadcaster::sigNotifyDismiss, q, &MeetingModel::notifyDismiss);
    QObject::connect(b, &Broadcaster::sigNotifyMuteAll, q, &MeetingModel::notifyMuteAll);
    QObject::connect(b, &Broadcaster::sigNotifyTimeout, q, &MeetingModel::notifyTimeout);
    QObject::connect(b, &Broadcaster::sigNotifyTransfer, q, &MeetingModel::notifyTransfer);
    QObject::connect(b, &Broadcaster::sigNotifyReconnect, q, &MeetingModel::notifyReconnect);
    QObject::connect(b, &Broadcaster::sigNotifyStateChange, q, &MeetingModel::notifyStateChange);
    QObject::connect(b, &Broadcaster::sigNotifyDecibel, q, &MeetingModel::notifyDecibel);
    QObject::connect(b, &Broadcaster::sigNotifyNewConsumer, q, &MeetingModel::notifyNewConsumer);
    QObject::connect(b, &Broadcaster::sigNotifyReady, q, &MeetingModel::notifyReady);
    QObject::connect(b, &Broadcaster::sigNotifyError, q, &MeetingModel::notifyError);
    QObject::connect(b, &Broadcaster::sigNotifyRestartIce, q, &MeetingModel::notifyRestartIce);
    QObject::connect(b, &Broadcaster::sigNotifyAllowUnmute, q, &MeetingModel::notifyAllowUnmute);
    QObject::connect(b, &Broadcaster::sigNotifyCreateShare, q, &MeetingModel::notifyCreateShare);
    QObject::connect(b, &Broadcaster::sigNotifyCloseShare, q, &MeetingModel::notifyCloseShare);
    QObject::connect(b, &Broadcaster::sigNotifySetAllowDraw, q, &MeetingModel::notifySetAllowDraw);
    QObject::connect(b, &Broadcaster::sigNotifySharePremission, q,
                     &MeetingModel::notifySharePremission);
    QObject::connect(b, &Broadcaster::sigNotifyRequestEnable, q,
                     &MeetingModel::notifyRequestEnable);
    QObject::connect(b, &Broadcaster::sigNotifyData, q, &MeetingModel::recvData);
    QObject::connect(b, &Broadcaster::sigVideoFrame, q, &MeetingModel::videoFrame);
    QObject::connect(b, &Broadcaster::sigNotifyRaiseHand, q, &MeetingModel::onNotifyRaiseHand);
    QObject::connect(b, &Broadcaster::sigNotifyInviteSpeak, q, &MeetingModel::onNotifyInviteSpeak);
    QObject::connect(b, &Broadcaster::sigNotifyAgreeSpeak, q, &MeetingModel::onNotifyAgreeSpeak);
    QObject::connect(b, &Broadcaster::sigNotifyRejectSpeak, q, &MeetingModel::onNotifyRejectSpeak);
    QObject::connect(b, &Broadcaster::sigNotifyRoleChange, q, &MeetingModel::onNotifyRoleChange);
    QObject::connect(b, &Broadcaster::sigWriteLog, q, &MeetingModel::onWriteLog);
    if (MeetingManager *manager = m_account->meetingManager())
        QObject::connect(b, &Broadcaster::sigUseBytes, manager, &MeetingManager::addBytes);
    QObject::connect(b, &Broadcaster::sigRinging, q, &MeetingModel::onNotifyRinging);
    QObject::connect(m_engineThread.get(), &QThread::finished, b, &QObject::deleteLater);
}

// The engine may end its thread by itself; it is deleted there as the thread finishes.
void MeetingModelPrivate::watchEngineThread()
{
    const std::shared_ptr<EngineGate> gate = m_engineGate;
    // Runs on the engine thread before the engine's deletion, so no post can race with it.
    QObject::connect(
        m_engineThread.get(), &QThread::finished, m_broadcaster,
        [gate] {
            QMutexLocker lock(&gate->mutex);
            gate->open = false;
        },
        Qt::DirectConnection);
    QObject::connect(
        m_engineThread.get(), &QThread::finished, q,
        [this, gate] {
            if (gate != m_engineGate)
                return; // stopped by the model, or a newer engine runs
            qCDebug(lcMeeting) << "engine thread ended on its own";
            m_engineThread->wait();
            m_broadcaster = nullptr;
            m_engineGate.reset();
        },
        static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::SingleShotConnection));
}

QObject *MeetingModelPrivate::engineObject() const
{
    return m_broadcaster;
}

void MeetingModelPrivate::stopEngineThread()
{
    if (!engineThreadRunning() && !m_broadcaster)
        return;
    // Quitting from the engine's own queue lets the calls posted before it (a whiteboard
    // goodbye, a leave) still reach the engine.
    QThread *thread = m_engineThread.get();
    if (m_broadcaster)
        post([thread](Broadcaster *) { thread->quit(); });
    else
        m_engineThread->quit();
    m_engineThread->wait();
    m_broadcaster = nullptr;
    m_engineGate.reset();
}

void MeetingModel::createCall(bool muteVideo, bool muteVoice, bool isSpeaker)
{
    if (d->m_info.meetingKey.isEmpty() || !d->m_broadcaster) {
        qCDebug(lcMeeting, "meeting key is empty");
        // The usual integration slip: say once what is missing, not on every retry.
        if (!d->m_broadcaster && !std::exchange(d->m_warnedNoEngine, true))
            qCWarning(lcMeeting,
                      "createCall: no media engine yet; the engine is started by setDevices, "
                      "which must be called first");
        return;
    }
    d->m_whiteboardShareIds.clear();
    d->m_heldWhiteboards.clear();

    MeetingAttendee self;
    if (!d->m_attendeeList->getAttendee(d->m_userId, MeetingDefines::VIDEO, self)) {
        self.inviterId = d->m_userId;
        self.userId = d->m_userId;
        self.deviceId = d->m_account->deviceId();
        self.status = MeetingDefines::ACTIVE;
        self.role = isSpeaker ? MeetingDefines::SPEAKER : MeetingDefines::LISTENER;
        d->m_attendeeList->updateAttendeeUser(self);
        d->m_attendeeList->appendAttendee(self);
        d->refreshDerivedLists();
    }
    if (MeetingAttendeeUser *user = self.user) {
        user->setMute(muteVideo, 0, 1);
        user->setMute(muteVoice, 0, 0);
        user->setMute(muteVideo, 1, 1);
        user->setMute(muteVoice, 1, 0);
        user->setVideoDevStatusLast(!muteVideo);
        user->setVoiceDevStatusLast(!muteVoice);
    }

    qtwebrtc::CallInfo info;
    info.muteVideo = muteVideo;
    info.muteVoice = muteVoice;
    info.isMeeting = !d->m_info.isPrivateCall;
    info.typeEnabled = !sharesSupported();
    info.isSpeaker = isSpeaker;
    info.limit = 16;
    info.meetingId = d->m_info.meetingId;
    const QByteArray key = d->m_info.meetingKey;
    const QString url = d->m_info.mediaServerUrl;
    d->post([key](Broadcaster *b) { b->setEncryptionKey(key, qtwebrtc::kEncryptionKeyValue); });
    d->post([url, info](Broadcaster *b) { b->createCall(url, info); });
}

void MeetingModel::leave(bool dismiss)
{
    if (d->m_attendeeList->count() > 0)
        d->post([dismiss](Broadcaster *b) { b->leave(dismiss); });
}

void MeetingModel::closeWebrtc()
{
    AccountManager::getInstance()->setJoiningMeeting(false);
    AccountManager::getInstance()->setMeetingModel(nullptr);
    d->post([](Broadcaster *b) { b->closeWebrtc(); });
}

void MeetingModelPrivate::removeSelf(bool removeEntry)
{
    if (AccountManager::getInstance()->meetingModel() == q)
        AccountManager::getInstance()->setMeetingModel(nullptr);
    stopEngineThread();
    q->setIsShared(false);
    if (removeEntry)
        q->dropAttendee(m_userId, QString());
    killMeetingTimer();
    m_webSocketConnected = false;
    q->setState(MeetingDefines::NOTCREATE);
}

void MeetingModel::search(QString name)
{
    d->m_searchModel->setDifferentAttendees(d->m_attendeeList->search(name));
    if (d->m_pendingAttendeeList->count() == 0)
        return;
    const QList<MeetingAttendee> applicants = d->m_pendingAttendeeList->search(name);
    if (!applicants.isEmpty())
        d->m_searchModel->appendAttendee(applicants, true);
}

QByteArray MeetingModel::verifyKey()
{
    if (d->m_verifyKey.isEmpty() && !d->m_info.nonce.isEmpty() && !d->m_info.meetingKey.isEmpty()) {
        d->m_verifyKey = QCryptographicHash::hash(d->m_info.nonce.toUtf8() + d->m_info.meetingKey,
                                                  QCryptographicHash::Sha256);
    }
    return d->m_verifyKey;
}

bool MeetingModel::checkVersion(int major, int minor)
{
    const QOperatingSystemVersion current = QOperatingSystemVersion::current();
    return major < current.majorVersion() ||
           (major == current.majorVersion() && minor <= current.minorVersion());
}

void MeetingModel::setState(int state)
{
    if (d->m_state == state)
        return;
    d->m_state = state;
    emit stateChanged(state);
}

void MeetingModel::videoFrame(qlonglong uid, int consumerType, int orientation,
                              QVideoFrameFormat format, QVideoFrame frame)
{
    if (consumerType != qtwebrtc::CONSUMER_VIDEO && consumerType != qtwebrtc::CONSUMER_SCREEN)
        return;
    const auto type = consumerType == qtwebrtc::CONSUMER_VIDEO ? MeetingDefines::VIDEO
                                                               : MeetingDefines::SHARESCREEN;
    MeetingAttendeeUser *user = liveObject(uid, type);
    if (user && user->videoSink())
        user->videoSink()->setOutputFrame(orientation, format, frame);
}

void MeetingModel::timerEvent(QTimerEvent *event)
{
    if (d->m_meetingTimerId == 0 || event->timerId() != d->m_meetingTimerId) {
        MeetingModelBase::timerEvent(event);
        return;
    }
    ++d->m_elapsedSeconds;
    const QString time =
        QTime(0, 0, 0, 0).addSecs(d->m_elapsedSeconds).toString(QStringLiteral("hh:mm:ss"));
    if (time != d->m_meetingTime) {
        d->m_meetingTime = time;
        emit meetingTimeChanged(time);
    }
    d->setWhoSpeaks();
}

void MeetingModelPrivate::startMeetingTimer()
{
    // A restart replaces the running timer; the seconds keep counting where they stopped.
    killMeetingTimer();
    m_meetingTimerId = q->startTimer(1000, Qt::CoarseTimer);
}

void MeetingModelPrivate::killMeetingTimer()
{
    if (m_meetingTimerId == 0)
        return;
    q->killTimer(m_meetingTimerId);
    m_meetingTimerId = 0;
}

void MeetingModel::setHostUid(qint64 uid)
{
    if (d->m_hostUid == uid)
        return;
    d->m_hostUid = uid;
    setIsHost(uid == d->m_userId);
    emit hostUidChanged(uid);
}

void MeetingModel::setIsHost(bool isHost)
{
    if (d->m_isHost == isHost)
        return;
    d->m_isHost = isHost;
    emit isHostChanged(isHost);
}

void MeetingModel::connectLiveObject(MeetingAttendeeUser *user)
{
    if (user)
        user->setModel(this);
}

MeetingAttendeeUser *MeetingModel::liveObject(qint64 uid, MeetingDefines::AttendeeType type) const
{
    return qobject_cast<MeetingAttendeeUser *>(d->m_attendeeList->getAttendeeInfoByUid(uid, type));
}

void MeetingModel::refreshActiveList()
{
    d->refreshFromAttendees(d->m_activeAttendeeList, true);
}

void MeetingModel::refreshCallingList()
{
    d->refreshFromAttendees(d->m_callingAttendeeList, false);
}

// The rows are gathered in a buffer kept across refreshes. It is taken for the time of one
// refresh, so that a refresh started by a receiver of the first gathers into its own.
void MeetingModelPrivate::refreshFromAttendees(MeetingAttendeeList *target, bool active)
{
    QList<MeetingAttendee> rows = std::exchange(m_refreshRows, {});
    if (active)
        m_attendeeList->activeAttendees(rows);
    else
        m_attendeeList->callingAttendees(rows);
    target->setDifferentAttendees(rows);
    m_refreshRows = std::move(rows);
}

void MeetingModel::announceWhiteboardJoins()
{
    // Receivers may close a whiteboard meanwhile.
    const QList<QString> shareIds = openWhiteboards();
    for (const QString &shareId : shareIds)
        emit userJoinData(d->m_account->currentTimestamp(), shareId);
}

bool MeetingModel::sharesSupported() const
{
    return d->m_account->accountSettingModel()->supportedMeetingType() == kShareMeetingType;
}

// ---- room information ----

void MeetingModelPrivate::parseRoomInfo(const QByteArray &roomInfo)
{
    // A rejected text has been reported by the parser and changes nothing.
    if (const std::optional<RoomInfo> room = RoomInfo::parse(roomInfo))
        applyRoomInfo(*room);
}

void MeetingModelPrivate::applyRoomInfo(const RoomInfo &room)
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
    // The attendee list deletes the live objects of the users that left; the lists borrowing
    // them let go first.
    q->releaseBorrowedUsers(q->leavingUsers(m_attendeeList, staying), false);
    m_searchModel->updateAttendee(ids, false);
    m_attendeeList->updateAttendee(ids, true);

    // Rows are placed once at the end, so a large room costs linear time.
    m_attendeeList->beginBatch();
    for (const RoomAttendee &entry : room.attendees) {
        if (entry.id == m_userId)
            applyOwnEntry(entry, otherPartyStatus);
        else
            applyOtherEntry(entry);
        applyShareFromRoom(entry);
    }
    m_attendeeList->endBatch();
    q->announceWhiteboardJoins();
}

void MeetingModelPrivate::applyRoomSettings(const RoomInfo &room)
{
    if (const std::optional<RoomMuteAll> &muteAll = room.muteAll) {
        q->setCanUnmuteAudio(muteAll->themselvesOperationAudio);
        q->setCanUnmuteVideo(muteAll->themselvesOperationVideo);
        m_muteAllAudio = muteAll->audio;
        m_muteAllVideo = muteAll->video;
    }
    if (const std::optional<RoomPermissions> &permissions = room.permissions) {
        q->setCanMultiShare(permissions->whoCanShare != QLatin1String("host"));
        if (permissions->disableSpeaker)
            q->setcanSpeakingPrivileges(!*permissions->disableSpeaker);
    }
}

MeetingAttendee MeetingModelPrivate::recordFromRoom(const RoomAttendee &entry, int deviceId) const
{
    MeetingAttendee record;
    record.inviterId = entry.inviter;
    record.userId = entry.id;
    record.deviceId = deviceId;
    record.status = q->converStatus(entry.status);
    const int participation =
        q->getParticipationStatus(entry.raiseHand, entry.invitingSpeak, entry.role);
    record.role = participation != MeetingDefines::SPEAKER ? MeetingDefines::LISTENER
                                                           : MeetingDefines::SPEAKER;
    return record;
}

void MeetingModelPrivate::applyOtherEntry(const RoomAttendee &entry)
{
    q->listAndUpdate(
        recordFromRoom(entry, 0), entry.muteAudio, entry.muteVideo, q->converStatus(entry.status),
        q->getParticipationStatus(entry.raiseHand, entry.invitingSpeak, entry.role), entry.score);
}

// Lists the attendee of `record` unless listed already, then applies the states.
void MeetingModel::listAndUpdate(MeetingAttendee record, int muteAudio, int muteVideo, int status,
                                 int participation, int score)
{
    if (!d->m_attendeeList->existAttendee(record.userId)) {
        d->m_attendeeList->updateAttendeeUser(record);
        d->m_attendeeList->appendAttendee(record);
    }
    d->m_attendeeList->updateAttendee(record.userId, muteAudio, muteVideo, status, participation,
                                      score);
}

void MeetingModelPrivate::applyOwnEntry(const RoomAttendee &entry, int otherPartyStatus)
{
    q->setIsHost(entry.host);
    q->listAndUpdate(recordFromRoom(entry, m_account->deviceId()), entry.muteAudio, entry.muteVideo,
                     q->converStatus(entry.status),
                     q->getParticipationStatus(entry.raiseHand, entry.invitingSpeak, entry.role),
                     entry.score);
    q->setState(MeetingDefines::CONNECTED);
    m_webSocketConnected = true;
    // The host of a private call counts the time only once the other party has answered.
    if (!(m_info.isPrivateCall && m_isHost && otherPartyStatus != MeetingDefines::ACTIVE))
        startMeetingTimer();
    for (auto it = m_heldWhiteboards.cbegin(); it != m_heldWhiteboards.cend(); ++it)
        emit q->createShareSuccess(MeetingDefines::WHITEBOARD_SHARE, it.key(), it.value());
    m_heldWhiteboards.clear();
    if (m_info.isPrivateCall && entry.inviter == m_userId)
        emit q->privateCallStatus(otherPartyStatus);
}

void MeetingModelPrivate::applyShareFromRoom(const RoomAttendee &entry)
{
    const qint64 uid = entry.id;
    if (!entry.share) {
        if (MeetingAttendeeUser *screen = q->shareOfKind(uid, SHARESCREEN))
            q->notifyCloseShare(uid, screen->shareId());
        return;
    }
    if (!q->sharesSupported())
        return;

    const RoomShare &share = *entry.share;
    // A share without an id could never be closed: an empty id on close means the whole user.
    if (share.id.isEmpty()) {
        qCWarning(lcMeeting) << "room information: share of attendee" << uid << "has no id";
        return;
    }
    const auto type = share.whiteboard ? MeetingDefines::WHITEBOARD : MeetingDefines::SHARESCREEN;
    const bool otherMark = share.whiteboard && share.otherMark;
    const int mute = share.whiteboard ? entry.muteWhiteBoard : entry.muteScreen;
    if (!m_attendeeList->updateShareAttendee(uid, type, otherMark, mute)) {
        m_attendeeList->createShareAttendee(uid, share.id, type, otherMark, mute);
        if (MeetingAttendeeUser *user = q->liveObject(uid, type)) {
            q->connectLiveObject(user);
            if (uid == m_userId)
                q->setIsShared(true);
        }
    }
    if (!share.whiteboard || !q->recordWhiteboard(uid, share.id))
        return;
    if (m_state == MeetingDefines::CONNECTED)
        emit q->createShareSuccess(MeetingDefines::WHITEBOARD_SHARE, uid, share.id);
    else
        m_heldWhiteboards.insert(uid, share.id);
}

void MeetingModelPrivate::getAttendeeInfo(qint64 uid, const QByteArray &roomInfo, int &muteAudio,
                                          int &muteVideo, int &status, int &participationStatus)
{
    if (const std::optional<RoomInfo> room = RoomInfo::parse(roomInfo))
        getAttendeeInfo(uid, *room, muteAudio, muteVideo, status, participationStatus);
}

void MeetingModelPrivate::getAttendeeInfo(qint64 uid, const RoomInfo &room, int &muteAudio,
                                          int &muteVideo, int &status, int &participationStatus)
{
    const RoomAttendee *entry = room.attendee(uid);
    if (!entry)
        return;
    // An entry without mute states reads as in a whole room: audio open, video off.
    muteAudio = entry->muteAudio;
    muteVideo = entry->muteVideo;
    status = q->converStatus(entry->status);
    participationStatus =
        q->getParticipationStatus(entry->raiseHand, entry->invitingSpeak, entry->role);
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
    caller.userId = d->m_account->accountId();
    caller.deviceId = d->m_account->deviceId();
    caller.status = MeetingDefines::ACTIVE;
    caller.role = MeetingDefines::SPEAKER;
    MeetingAttendee callee;
    callee.inviterId = d->m_account->accountId();
    callee.userId = targetId;
    callee.status = MeetingDefines::INVITING;
    callee.role = MeetingDefines::SPEAKER;

    d->m_attendeeList->updateAttendeeUser(caller);
    d->m_attendeeList->updateAttendeeUser(callee);
    d->m_attendeeList->appendAttendee(callee);
    d->m_attendeeList->appendAttendee(caller);
    d->m_activeAttendeeList->appendAttendee(caller);
    d->m_callingAttendeeList->appendAttendee(callee);
    if (caller.user)
        caller.user->setNetworkScore(0);

    setHostUid(d->m_userId);
    d->m_info.isPrivateCall = true;
    emit isPrivateCallChanged(true);
    d->m_localConstructs = true;
}

// ---- engine events ----

// Answers only an object of the kind asked for, never one whose type was changed since.
MeetingAttendeeUser *MeetingModel::shareOfKind(qint64 uid, AttendeeType type) const
{
    MeetingAttendeeUser *share = liveObject(uid, type);
    return share && share->type() == type ? share : nullptr;
}

// The borrowing lists let go of the rows before the owning list deletes their live objects.
void MeetingModel::dropAttendee(qint64 uid, const QString &shareId)
{
    releaseFromSearch(d->m_attendeeList, uid, shareId);
    d->m_activeAttendeeList->removeAttendee(uid, false, shareId);
    d->m_callingAttendeeList->removeAttendee(uid, false, shareId);
    d->m_attendeeList->removeAttendee(uid, true, shareId);
}

void MeetingModel::notifyJoin(qlonglong uid, qlonglong host, QByteArray roomInfo)
{
    // A report whose room information is rejected changes nothing, the host included.
    const std::optional<RoomInfo> room = RoomInfo::parse(roomInfo);
    if (!room)
        return;
    setHostUid(host);
    if (d->m_attendeeList->count() == 0)
        return;
    if (uid == d->m_userId) {
        d->applyRoomInfo(*room);
        d->m_attendeeList->sortAttendee();
        d->refreshDerivedLists();
        emit notifySwitchWindow();
        return;
    }
    if (isPrivateCall())
        d->startMeetingTimer();
    int muteAudio = 0, muteVideo = 0, status = 0, participation = 0;
    d->getAttendeeInfo(uid, *room, muteAudio, muteVideo, status, participation);
    const MeetingAttendee joined(uid, d->m_account->deviceId(), ACTIVE, 0,
                                 participation > 0 ? LISTENER : SPEAKER, false);
    listAndUpdate(joined, muteAudio, muteVideo, status, participation, -1);
    d->refreshDerivedLists();
}

void MeetingModel::notifyReady(qlonglong uid, QByteArray roomInfo)
{
    if (!d->m_broadcaster)
        return;
    const std::optional<RoomInfo> room = RoomInfo::parse(roomInfo);
    if (!room)
        return;
    int muteAudio = 0, muteVideo = 0, status = 0, participation = 0;
    d->getAttendeeInfo(uid, *room, muteAudio, muteVideo, status, participation);
    if (!d->m_attendeeList->updateAttendee(uid, muteAudio, muteVideo, status, participation, -1))
        return;
    d->refreshDerivedLists();
    if (uid != d->m_userId) {
        if (isPrivateCall())
            emit privateCallStatus(ACTIVE);
        connectLiveObject(liveObject(uid, VIDEO));
        return;
    }
    if (MeetingAttendeeUser *self = liveObject(uid, VIDEO)) {
        if (d->m_muteAllAudio) {
            self->setMute(3, 0, 0);
            self->setMute(1, 1, 0);
            d->post([uid](qtwebrtc::Broadcaster *b) {
                b->setMute(true, uid, qtwebrtc::MUTE_AUDIO, true);
            });
        }
        if (d->m_muteAllVideo) {
            self->setMute(3, 0, 1);
            self->setMute(1, 1, 1);
            d->post([uid](qtwebrtc::Broadcaster *b) {
                b->setMute(true, uid, qtwebrtc::MUTE_VIDEO, true);
            });
        }
    }
    for (int i = 0; i < d->m_attendeeList->count(); ++i)
        connectLiveObject(
            qobject_cast<MeetingAttendeeUser *>(d->m_attendeeList->getAttendeeInfoByIndex(i)));
}

void MeetingModel::notifyReconnect(qlonglong uid, qlonglong host, QByteArray roomInfo)
{
    const std::optional<RoomInfo> room = RoomInfo::parse(roomInfo);
    if (!room)
        return;
    setHostUid(host);
    if (uid == d->m_userId) {
        d->applyRoomInfo(*room);
        d->m_attendeeList->setVideoSink(true, -1);
        d->m_attendeeList->sortAttendee();
    } else {
        d->m_attendeeList->setVideoSink(false, uid);
        const RoomAttendee *entry = room->attendee(uid);
        MeetingAttendeeUser *board = shareOfKind(uid, WHITEBOARD);
        if (entry && !entry->share && board)
            dropAttendee(uid, board->shareId());
    }
    d->m_attendeeList->updateAttendeesStatus(uid, ACTIVE);
    d->refreshDerivedLists();
    if (uid == d->m_userId)
        emit notifySwitchWindow();
}

void MeetingModel::notifyLeave(qlonglong uid)
{
    if (uid == d->m_userId)
        d->removeSelf(true);
    else
        dropAttendee(uid, QString());
}

void MeetingModel::notifyInvite(qlonglong uid, qlonglong inviter)
{
    if (MeetingAttendeeUser *user = liveObject(uid, VIDEO)) {
        user->setState(INVITING);
    } else {
        MeetingAttendee invited(uid, 0, INVITING, inviter, LISTENER, false);
        d->m_attendeeList->updateAttendeeUser(invited);
        d->m_attendeeList->appendAttendee(invited);
    }
    refreshCallingList();
}

void MeetingModel::notifyKicked(qlonglong operatorId, qlonglong uid)
{
    if (uid != d->m_userId) {
        notifyLeave(uid);
        return;
    }
    AccountManager *manager = AccountManager::getInstance();
    if (operatorId != uid) {
        d->removeSelf(true);
        if (operatorId != 0)
            manager->error(0, qtTrId("meeting_call_removed"), 0);
        return;
    }
    // The same account took the call on another device.
    if (MeetingAttendeeUser *screen = shareOfKind(uid, SHARESCREEN))
        notifyCloseShare(operatorId, screen->shareId());
    const int index = d->m_attendeeList->getAttendeeIndex(uid, VIDEO);
    if (index != -1) {
        emit d->m_attendeeList->kickedOut(uid, index, VIDEO);
        d->removeSelf(false);
    }
    manager->error(0, qtTrId("meeting_call_exist"), 0);
}

void MeetingModel::notifyReject(qlonglong uid)
{
    endInvitation(uid, REJECTED);
}

void MeetingModel::notifyTimeout(qlonglong uid)
{
    endInvitation(uid, TIMEOUT);
}

void MeetingModel::endInvitation(qint64 uid, int status)
{
    d->m_attendeeList->updateAttendeesStatus(uid, status);
    d->m_activeAttendeeList->removeAttendee(uid, false, QString());
    refreshCallingList();
}

void MeetingModel::notifyDismiss(qlonglong)
{
    // The list may delete this model inside the call: nothing of it is touched afterwards.
    QPointer<QObject> list = parent();
    const qint64 messageId = d->m_info.messageId;
    if (!list || !QMetaObject::invokeMethod(list, "messageBeRevoked", Qt::AutoConnection,
                                            Q_ARG(qint64, messageId)))
        qCWarning(lcMeeting) << "meeting dismissed, but no meeting list took it back";
}

void MeetingModel::notifyTransfer(qlonglong, qlonglong uid)
{
    setHostUid(uid);
    emit transferred(uid);
}

void MeetingModel::notifyStateChange(int state)
{
    switch (state) {
    case qtwebrtc::CALL_CONNECTED:
        announceWhiteboardJoins();
        d->m_attendeeList->updateAttendeesStatus(d->m_userId, ACTIVE);
        break;
    case qtwebrtc::CALL_ENDED:
        d->stopEngineThread();
        break;
    default:
        d->m_attendeeList->updateAttendeesStatus(d->m_userId, DISCONNECT);
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
        text = scrubbed(errStr);
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
        text = scrubbed(errStr);
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
    d->m_attendeeList->updateAttendeesStatus(d->m_userId, ACTIVE);
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
        user->requestPlayoutVolume(user->volume());
}

void MeetingModel::kicked(qlonglong uid)
{
    const bool byInviter = d->m_attendeeList->isAttendeeInviter(uid, d->m_userId);
    d->post([uid, byInviter](qtwebrtc::Broadcaster *b) { b->kicked(uid, byInviter); });
}

void MeetingModel::transfer(qlonglong uid)
{
    // Only the host may share while sharing is host-only, and we are about to stop being it.
    if (d->m_isShared && !d->m_canMultiShare) {
        if (MeetingAttendeeUser *screen = shareOfKind(d->m_userId, SHARESCREEN))
            closeShare(screen->shareId());
    }
    d->post([uid](qtwebrtc::Broadcaster *b) { b->transfer(uid); });
}

void MeetingModel::inviteUser(QVariantList userIds)
{
    if (MeetingServiceCmd *cmd = serviceCmd())
        cmd->inviteUser(d->m_info.meetingId, d->m_info.dialogId, userIds);
    else
        qCWarning(lcMeeting) << "invite dropped: the account has no meeting manager";
}

void MeetingModel::rejectMeeting(int reason)
{
    if (MeetingServiceCmd *cmd = serviceCmd())
        cmd->rejectMeeting(d->m_info.meetingId, reason);
    else
        qCWarning(lcMeeting) << "reject dropped: the account has no meeting manager";
}

void MeetingModel::cancelCall()
{
    QTimer::singleShot(200, this, [this] {
        if (MeetingManager *manager = d->m_account->meetingManager())
            manager->cancelCall(d->m_info.clientId, d->m_info.dialogId);
        else
            qCWarning(lcMeeting) << "cancel dropped: the account has no meeting manager";
    });
}

// ---- audio and video ----

namespace {

constexpr double kSpeakingPeak = 20.0;

// The engine gives meaning to its values, also to ones it does not declare: they pass
// unchanged. Its enums are fixed to int, so every value is representable.
template <typename E> E toEngine(int value)
{
    static_assert(std::is_same_v<std::underlying_type_t<E>, int>);
    return static_cast<E>(value);
}

AttendeeType entryForMuteType(int type)
{
    switch (type) {
    case qtwebrtc::MUTE_WHITEBOARD:
        return WHITEBOARD;
    case qtwebrtc::MUTE_SCREEN:
    case qtwebrtc::MUTE_SHARE_AUDIO:
        return SHARESCREEN;
    default:
        return VIDEO;
    }
}

QString contactName(const MeetingAttendeeUser *user)
{
    const ContactBase *contact = user->userInfo();
    return contact ? contact->name() : QString();
}

} // namespace

int MeetingModel::setDevice(QString deviceUid, int type)
{
    if (!d->engineThreadRunning() || !d->m_broadcaster)
        return -1;
    const char *method = nullptr;
    switch (type) {
    case DEVICE_AUDIO_IN:
        method = "setAudioRecordingDevice";
        break;
    case DEVICE_AUDIO_OUT:
        method = "setAudioPlayoutDevice";
        break;
    case DEVICE_VIDEO_IN:
        method = "setVideoRecordingDevice";
        break;
    default:
        return -1;
    }
    d->post([method, deviceUid](Broadcaster *b) {
        QMetaObject::invokeMethod(b, method, Qt::DirectConnection, Q_ARG(QString, deviceUid));
    });
    return -1;
}

void MeetingModel::setMuteAll(bool mute, bool themselvesOperation, int type)
{
    const auto muteType = toEngine<qtwebrtc::MuteType>(type);
    d->post([=](qtwebrtc::Broadcaster *b) { b->setMuteAll(mute, themselvesOperation, muteType); });
}

void MeetingModel::setAllowUnmute(bool allowUnmute, int type)
{
    const auto muteType = toEngine<qtwebrtc::MuteType>(type);
    d->post([=](qtwebrtc::Broadcaster *b) { b->setAllowUnmute(allowUnmute, muteType); });
}

void MeetingModel::setCanUnmuteAudio(bool canUnmuteAudio)
{
    if (d->m_canUnmuteAudio == canUnmuteAudio)
        return;
    d->m_canUnmuteAudio = canUnmuteAudio;
    emit canUnmuteAudioChanged(canUnmuteAudio);
}

void MeetingModel::setCanUnmuteVideo(bool canUnmuteVideo)
{
    if (d->m_canUnmuteVideo == canUnmuteVideo)
        return;
    d->m_canUnmuteVideo = canUnmuteVideo;
    emit canUnmuteVideoChanged(canUnmuteVideo);
}

void MeetingModel::setRequestOpenDev(int type)
{
    if (!d->m_broadcaster)
        return;
    const auto muteType = toEngine<qtwebrtc::MuteType>(type);
    const bool audio = type == qtwebrtc::MUTE_AUDIO;
    if (audio ? d->m_muteAllAudio : d->m_muteAllVideo)
        setMuteAll(false, audio ? d->m_canUnmuteAudio : d->m_canUnmuteVideo, type);
    d->post([muteType](qtwebrtc::Broadcaster *b) { b->setRequestOpenDev(muteType); });
}

void MeetingModel::setConsumerlayers(int spatialLayer, int temporalLayer, qlonglong uid)
{
    const auto spatial = toEngine<qtwebrtc::LayersLevel>(spatialLayer);
    const auto temporal = toEngine<qtwebrtc::LayersLevel>(temporalLayer);
    d->post([=](qtwebrtc::Broadcaster *b) { b->setConsumerlayers(spatial, temporal, uid); });
}

int MeetingModel::getMaxDecibel()
{
    // A blocking call into a thread that is not running would never return.
    if (!d->m_broadcaster || !d->engineThreadRunning())
        return -1;
    int decibel = -1;
    QSemaphore answered;
    {
        // Released once the call has run, or when it is dropped because the engine ended first.
        auto releaser = std::make_shared<QSemaphoreReleaser>(answered);
        d->post([&decibel, releaser](Broadcaster *b) { decibel = b->getMaxDecibel(); });
    }
    answered.acquire();
    return decibel;
}

void MeetingModel::setMirror(bool mirror)
{
    if (d->m_mirror == mirror || !d->m_broadcaster)
        return;
    d->m_mirror = mirror;
    emit mirrorChanged(mirror);
    d->post([mirror](qtwebrtc::Broadcaster *b) { b->setMirror(mirror); });
}

void MeetingModel::setSoundEffectType(int type)
{
    const auto effect = toEngine<qtwebrtc::SoundEffectType>(type);
    d->post([effect](qtwebrtc::Broadcaster *b) { b->setSoundEffectType(effect); });
}

void MeetingModel::setProxy(QString networkProxy)
{
    d->post([networkProxy](qtwebrtc::Broadcaster *b) { b->setProxy(networkProxy); });
}

void MeetingModel::notifyMute(qlonglong operatorId, qlonglong uid, int status, int type)
{
    const AttendeeType entry = entryForMuteType(type);
    MeetingAttendeeUser *user = liveObject(uid, entry);
    if (!user || type < qtwebrtc::MUTE_AUDIO || type > qtwebrtc::MUTE_SHARE_AUDIO)
        return;
    const bool self = uid == d->m_userId;
    const bool byUser = operatorId == uid;

    if (type == qtwebrtc::MUTE_AUDIO || type == qtwebrtc::MUTE_SHARE_AUDIO) {
        const int old = user->muteVoice();
        user->setMute(status, 0, type);
        if (!self)
            return;
        if (byUser && type == qtwebrtc::MUTE_AUDIO)
            user->setVoiceDevStatusLast(status == 0);
        // The host lifted mute-all while the microphone had been on: offer to reopen it.
        const bool askReopen = type == qtwebrtc::MUTE_AUDIO && !byUser &&
                               user->voiceDevStatusLast() && old == 3 && status == 1;
        user->setMute(status, 1, type);
        if (askReopen)
            emit requestOpenDev(0, false);
        return;
    }

    const bool pictureShown = type == qtwebrtc::MUTE_VIDEO && activeListShowsPicture();
    const int old = user->muteVideo();
    user->setMute(status, 0, type);
    if (self) {
        if (type == qtwebrtc::MUTE_VIDEO) {
            if (byUser)
                user->setVideoDevStatusLast(status == 0);
            const bool askReopen = !byUser && user->videoDevStatusLast() && old == 3 && status == 1;
            user->setMute(status, 1, type);
            if (askReopen)
                emit requestOpenDev(2, false);
            return;
        }
        user->setMute(status, 1, type);
    } else if (status != 0 && (user->muteVideoLocal() || old != 0)) {
        return; // the picture was off already: nothing moves
    }
    const int index = d->m_attendeeList->getAttendeeIndex(uid, entry);
    if (index != -1) {
        d->m_attendeeList->sortAttendeeByVideo(uid, status, entry, index);
        refreshActiveList();
    }
    if (type == qtwebrtc::MUTE_VIDEO && status == 0 && !pictureShown)
        emit notifySwitchWindow();
}

void MeetingModel::notifyMuteAll(bool status, int type)
{
    const bool audio = type == qtwebrtc::MUTE_AUDIO;
    (audio ? d->m_muteAllAudio : d->m_muteAllVideo) = status;
    for (int i = 0; i < d->m_attendeeList->count(); ++i) {
        auto *user =
            qobject_cast<MeetingAttendeeUser *>(d->m_attendeeList->getAttendeeInfoByIndex(i));
        if (!user || user->getUserId() == d->m_hostUid)
            continue;
        if (user->getUserId() == d->m_userId && user->type() == VIDEO) {
            if (status)
                user->setMute(3, 1, type);
            else if (audio ? user->muteVoiceLocal() : user->muteVideoLocal())
                user->setMute(1, 1, type);
        }
        if (status)
            user->setMute(3, 0, type);
        else if ((audio ? user->muteVoice() : user->muteVideo()) != 0)
            user->setMute(1, 0, type);
    }
}

void MeetingModel::notifyAllowUnmute(bool allowUnmute, int type)
{
    if (type == qtwebrtc::MUTE_AUDIO)
        setCanUnmuteAudio(allowUnmute);
    else
        setCanUnmuteVideo(allowUnmute);
}

void MeetingModel::notifyRequestEnable(int type)
{
    const MeetingAttendeeUser *self = liveObject(d->m_userId, VIDEO);
    if (!self)
        return;
    int muted = 0;
    if (type == qtwebrtc::MUTE_AUDIO)
        muted = self->muteVoice();
    else if (sharesSupported())
        muted = self->muteVideo();
    if (muted != 0)
        emit requestOpenDev(type, true);
}

void MeetingModel::userMuteChanged(MeetingAttendeeUser *user, int mute, int operatorType,
                                   int muteType)
{
    if (!d->m_broadcaster)
        return;
    const auto engineType = toEngine<qtwebrtc::MuteType>(muteType);
    const qint64 uid = user->getUserId();
    const bool local = operatorType == 1;
    d->post([=](qtwebrtc::Broadcaster *b) { b->setMute(mute != 0, uid, engineType, local); });

    // Muting the microphone silences one's own screen share as well.
    if (uid == d->m_userId && muteType == qtwebrtc::MUTE_AUDIO && mute != 0) {
        MeetingAttendeeUser *screen = shareOfKind(uid, SHARESCREEN);
        if (screen && screen->muteVoice() == 0)
            screen->setMuteVoice(1);
    }
    if (local && muteType != qtwebrtc::MUTE_AUDIO && muteType != qtwebrtc::MUTE_SHARE_AUDIO &&
        user->muteVideo() == 0) {
        const auto entry = static_cast<AttendeeType>(user->type());
        const int index = d->m_attendeeList->getAttendeeIndex(uid, entry);
        if (index != -1) {
            d->m_attendeeList->sortAttendeeByVideo(uid, mute, entry, index);
            // Views of the active attendees show the same order.
            refreshActiveList();
        }
    }
}

void MeetingModel::setPlayoutVolume(MeetingAttendeeUser *user, double volume)
{
    if (!d->m_broadcaster)
        return;
    const qint64 uid = user->getUserId();
    d->post([uid, volume](qtwebrtc::Broadcaster *b) { b->setVolume(uid, volume); });
    const bool wasSilent = user->volume() == 0.0 && volume != 0.0;
    // Store first: unmuting a silent attendee would otherwise ask for the default volume and
    // the engine would end on that instead of this one.
    user->setPlayoutVolume(volume);
    if (wasSilent)
        user->setMuteVoiceLocal(false);
}

void MeetingModel::notifyDecibel(qlonglong uid, int consumerType, double averageDecibel,
                                 double peakDecibel, QVariantList decibels)
{
    if (!d->m_broadcaster)
        return;
    const bool camera = consumerType == qtwebrtc::CONSUMER_VIDEO;
    MeetingAttendeeUser *user = liveObject(uid, camera ? VIDEO : WHITEBOARD);
    if (!user)
        return;
    if (uid == d->m_userId && user->muteVoice() != 0) {
        // The engine hears a microphone we hold muted: say so again and show nothing.
        d->post(
            [uid](qtwebrtc::Broadcaster *b) { b->setMute(true, uid, qtwebrtc::MUTE_AUDIO, true); });
        return;
    }
    user->setDecibels(decibels);
    user->setDecibel(peakDecibel);
    user->setAverageDecibel(averageDecibel);
    const bool speaking = peakDecibel >= kSpeakingPeak;
    user->setIsSpeaking(speaking);
    if (!camera)
        return;
    const QString name = contactName(user);
    if (name.isEmpty())
        return;
    if (!speaking)
        d->m_speakingList.remove(name);
    else if (!d->m_speakingList.contains(name))
        d->m_speakingList.insert(name, ++d->m_speakingSeq);
}

void MeetingModel::setWhoRSpeaking(const QList<QString> &list)
{
    if (list == d->m_whoRSpeaking)
        return;
    d->m_whoRSpeaking = list;
    emit whoRSpeakingChanged(d->m_whoRSpeaking);
}

void MeetingModelPrivate::setWhoSpeaks()
{
    for (int i = 0; i < m_attendeeList->count(); ++i) {
        auto *user = qobject_cast<MeetingAttendeeUser *>(m_attendeeList->getAttendeeInfoByIndex(i));
        if (user && user->isSpeaking() && !m_speakingList.contains(contactName(user)))
            user->setIsSpeaking(false);
    }
    QList<std::pair<quint64, QString>> heard;
    heard.reserve(m_speakingList.size());
    for (auto it = m_speakingList.cbegin(); it != m_speakingList.cend(); ++it)
        heard.append({it.value(), it.key()});
    std::sort(heard.begin(), heard.end());
    QList<QString> names;
    names.reserve(heard.size());
    for (const auto &entry : heard)
        names.append(entry.second);
    m_speakingList.clear();
    q->setWhoRSpeaking(names);
}

bool MeetingModel::activeListShowsPicture() const
{
    return d->m_activeAttendeeList->getFirstAttendeeIndex(VIDEO) != -1 ||
           d->m_activeAttendeeList->getFirstAttendeeIndex(SHARESCREEN) != -1;
}

// ---- speaking privileges ----

void MeetingModel::raiseHand(bool cancel)
{
    d->post([cancel](Broadcaster *engine) { engine->raiseHand(cancel); });
}

void MeetingModel::inviteSpeak(qlonglong uid, bool cancel)
{
    d->post([uid, cancel](Broadcaster *engine) { engine->inviteSpeak(uid, cancel); });
}

void MeetingModel::agreeSpeak(qlonglong uid, bool all)
{
    d->post([uid, all](Broadcaster *engine) { engine->agreeSpeak(uid, all); });
}

void MeetingModel::rejectSpeak(qlonglong uid)
{
    d->post([uid](Broadcaster *engine) { engine->rejectSpeak(uid); });
}

void MeetingModel::beListener(qlonglong uid)
{
    d->post([uid](Broadcaster *engine) { engine->beListener(uid); });
}

void MeetingModel::setcanSpeakingPrivileges(bool canSpeakingPrivileges)
{
    if (d->m_canSpeakingPrivileges == canSpeakingPrivileges)
        return;
    d->m_canSpeakingPrivileges = canSpeakingPrivileges;
    emit canSpeakingPrivilegesChanged(canSpeakingPrivileges);
}

void MeetingModel::setSpeakerCapacity(int capacity)
{
    if (d->m_info.speakerCapacity == capacity)
        return;
    d->m_info.speakerCapacity = capacity;
    emit speakerCapacityChanged(capacity);
}

bool MeetingModel::changeParticipationStatus(qint64 uid, int status)
{
    MeetingAttendeeUser *user = liveObject(uid, MeetingDefines::VIDEO);
    if (!user || user->participationStatus() == status)
        return false;
    user->setParticipationStatus(status);
    d->m_attendeeList->sortAttendeeByStatus(
        uid, status, d->m_attendeeList->getAttendeeIndex(uid, MeetingDefines::VIDEO));
    refreshActiveList();
    return true;
}

void MeetingModel::onNotifyRaiseHand(qlonglong uid, bool cancel)
{
    const int status = cancel ? MeetingDefines::LISTENER : MeetingDefines::RAISE_HAND;
    if (!changeParticipationStatus(uid, status) || uid == d->m_userId || !d->m_isHost)
        return;
    // Re-read: the list signals of the status change reach outside code.
    const MeetingAttendeeUser *user = liveObject(uid, MeetingDefines::VIDEO);
    if (user && user->userInfo())
        emit notifyRaiseHand(user->userInfo()->name(), cancel);
}

void MeetingModel::onNotifyInviteSpeak(qlonglong operatorId, qlonglong uid, bool cancel)
{
    if (operatorId == d->m_userId) {
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
    if (uid == d->m_userId) {
        setMute(muteVideo, 1, MeetingDefines::MUTE_VIDEO);
        setMute(muteAudio, 1, MeetingDefines::MUTE_AUDIO);
    }
    if (!user)
        return false;
    if ((oldVideo == 0) != (muteVideo == 0)) {
        d->m_attendeeList->sortAttendeeByVideo(
            uid, muteVideo, MeetingDefines::VIDEO,
            d->m_attendeeList->getAttendeeIndex(uid, MeetingDefines::VIDEO));
        refreshActiveList();
    }
    return true;
}

// ---- share and whiteboard ----

namespace {

TransferData *userJoinMessage(qint64 timestamp)
{
    auto *message = new TransferData;
    message->mutable_userjoin()->set_timestamp(timestamp);
    return message;
}
} // namespace

void MeetingModel::createShare(int type, QScreen *screen, QSize size, int frameRate)
{
    if (!hasEngine() || (!d->m_isHost && !d->m_canMultiShare) || !sharesSupported())
        return;
    if (type == MeetingDefines::WHITEBOARD_SHARE) {
        d->post([](Broadcaster *engine) {
            engine->createShare(qtwebrtc::SHARE_WHITEBOARD, nullptr, QRect(), 30);
        });
        return;
    }
    // The screen may go away before the engine thread gets to the call.
    const QPointer<QScreen> target(screen);
    const QRect area(QPoint(0, 0), size);
    d->post([target, area, frameRate](Broadcaster *engine) {
        engine->createShare(qtwebrtc::SHARE_PICTURE, target.data(), area, frameRate);
    });
}

void MeetingModel::closeShare(QString shareId)
{
    d->post([shareId](Broadcaster *engine) { engine->closeShare(shareId); });
}

void MeetingModel::setAllowDraw(bool allow)
{
    const auto *board = qobject_cast<MeetingAttendeeWhiteBoard *>(
        d->m_attendeeList->getAttendeeInfoByUid(d->m_userId, MeetingDefines::WHITEBOARD));
    if (!board)
        return;
    const QString shareId = board->shareId();
    d->post([shareId, allow](Broadcaster *engine) { engine->setAllowDraw(shareId, allow); });
}

void MeetingModel::setSharePremission(int sharePremission, bool disableSpeaker)
{
    if (!d->m_isHost)
        return;
    const QString whoCanShare =
        sharePremission != 0 ? QStringLiteral("all") : QStringLiteral("host");
    d->post([whoCanShare, disableSpeaker](Broadcaster *engine) {
        engine->setSharePremission(whoCanShare, disableSpeaker);
    });
}

void MeetingModel::setCanMultiShare(bool canMultiShare)
{
    if (d->m_canMultiShare == canMultiShare)
        return;
    d->m_canMultiShare = canMultiShare;
    emit canMultiShareChanged(canMultiShare);
}

void MeetingModel::setShareDesktopVoice(bool shareDesktopVoice)
{
    if (d->m_shareDesktopVoice == shareDesktopVoice)
        return;
    d->m_shareDesktopVoice = shareDesktopVoice;
    emit shareDesktopVoiceChanged(shareDesktopVoice);
}

void MeetingModel::setIsShared(bool isShared)
{
    if (d->m_isShared == isShared)
        return;
    d->m_isShared = isShared;
    emit isSharedChanged(isShared);
}

void MeetingModel::sendUserAction(bool join, QString shareId)
{
    if (!hasEngine())
        return;
    d->m_whiteboardShareId = join ? shareId : QString();
    const qint64 now = d->m_account->currentTimestamp();

    im::whiteboard::WhiteboardData item;
    item.set_kind(1);
    im::whiteboard::UserAction *action = item.mutable_useractiondata();
    action->set_user_id(d->m_userId);
    action->set_time(now);
    action->set_action(join ? 0 : 1);
    QByteArray bytes(qsizetype(item.ByteSizeLong()), Qt::Uninitialized);
    // A half-written buffer must not reach the other side.
    if (!item.SerializeToArray(bytes.data(), int(bytes.size()))) {
        qCWarning(lcMeeting) << "whiteboard message could not be serialized";
        return;
    }

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
    if (!d->m_keptUserJoin) {
        d->m_keptUserJoin = data;
    } else if (data->userjoin().timestamp() > d->m_keptUserJoin->userjoin().timestamp()) {
        delete d->m_keptUserJoin;
        d->m_keptUserJoin = data;
    } else {
        delete data;
    }
    ++d->m_whiteboardReplyCount;
    if (d->m_whiteboardReplyCount != openWhiteboards().size())
        return;
    d->m_whiteboardReplyCount = 0;
    postToEngine(std::exchange(d->m_keptUserJoin, nullptr));
}

// Boards whose tile went with its owner are forgotten here, so every use sees open ones only.
const QList<QString> &MeetingModel::openWhiteboards()
{
    d->m_whiteboardShareIds.removeIf(
        [this](const QString &id) { return !d->m_attendeeList->getShareByShareId(id); });
    return d->m_whiteboardShareIds;
}

// Lists a whiteboard once, and only while its tile stands; true when it was new.
bool MeetingModel::recordWhiteboard(qint64 owner, const QString &shareId)
{
    const MeetingAttendeeUser *board = liveObject(owner, WHITEBOARD);
    if (!board || board->shareId() != shareId || openWhiteboards().contains(shareId))
        return false;
    if (d->m_whiteboardShareIds.size() >= kMaxWhiteboards) {
        qCWarning(lcMeeting) << "whiteboard of attendee" << owner << "not listed: too many boards";
        return false;
    }
    d->m_whiteboardShareIds.append(shareId);
    return true;
}

void MeetingModel::postToEngine(TransferData *data)
{
    // Boxed until the engine takes it over, so a call dropped with its engine frees it.
    d->post([box = std::unique_ptr<TransferData>(data)](Broadcaster *engine) mutable {
        engine->sendData(box.release());
    });
}

void MeetingModel::setWhiteboard(QImage *whiteboard, QString shareId)
{
    if (shareId != d->m_whiteboardShareId)
        return;
    d->post([whiteboard](Broadcaster *engine) { engine->setWhiteboard(whiteboard); });
}

void MeetingModel::notifyCreateShare(qlonglong operatorId, QString id, int type)
{
    if (type < MeetingDefines::WHITEBOARD_SHARE || type > MeetingDefines::APP_SHARE ||
        id.isEmpty()) {
        qCWarning(lcMeeting) << "share report rejected: kind" << type << "empty id" << id.isEmpty();
        return;
    }
    const bool own = operatorId == d->m_userId;
    const bool hadPicture = activeListShowsPicture();
    // A window share is a picture share like the screen.
    const auto entryType = type == MeetingDefines::WHITEBOARD_SHARE ? WHITEBOARD : SHARESCREEN;
    d->m_attendeeList->createShareAttendee(operatorId, id, entryType, true, 0);
    QPointer<MeetingAttendeeUser> user = liveObject(operatorId, entryType);
    // A refused entry (no owner, or one of its kind open already) is not announced.
    if (!user || user->shareId() != id)
        return;
    if (own && d->m_shareDesktopVoice)
        d->post([](Broadcaster *engine) { engine->createComputerAudio(); });
    refreshActiveList();
    connectLiveObject(user);
    // The own share goes out silent unless the computer's sound was asked for.
    if (own && !d->m_shareDesktopVoice && user)
        user->setMuteVoice(1);

    emit createShareSuccess(type, operatorId, id);
    if (own)
        setIsShared(true);
    else if (!hadPicture)
        emit notifySwitchWindow();

    if (type != MeetingDefines::WHITEBOARD_SHARE || !recordWhiteboard(operatorId, id))
        return;
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
    const bool own = operatorId == d->m_userId;
    if (own && !d->m_isShared)
        return;
    d->m_whiteboardShareIds.removeOne(shareId);
    emit sigCloseShare(operatorId, shareId);
    dropAttendee(operatorId, shareId);
    // The other kind of share may still be open.
    if (own)
        setIsShared(liveObject(d->m_userId, WHITEBOARD) || liveObject(d->m_userId, SHARESCREEN));
}

void MeetingModel::notifySetAllowDraw(qlonglong, QString shareId, bool allow)
{
    if (auto *board = qobject_cast<MeetingAttendeeWhiteBoard *>(
            d->m_attendeeList->getShareByShareId(shareId)))
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
        const QString shareId = QString::fromStdString(data->share_id());
        if (!openWhiteboards().contains(shareId)) {
            qCDebug(lcMeeting) << "whiteboard message for a board that is not open dropped";
            delete data;
            return;
        }
        // Receivers own what they get; without one the message would be lost.
        if (isSignalConnected(QMetaMethod::fromSignal(&MeetingModel::sigRecvData)))
            emit sigRecvData(data, shareId);
        else
            delete data;
        return;
    }
    const qint64 timestamp = data->userjoin().timestamp();
    delete data;
    if (!isSignalConnected(QMetaMethod::fromSignal(&MeetingModel::sigRecvUserJoinData)))
        return;
    // A receiver may open or close whiteboards while it handles one.
    const QList<QString> shareIds = openWhiteboards();
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

// ---- ringing report and meeting log ----

namespace {

const QString kStampFormat = QStringLiteral("yyyy-MM-dd_hh-mm-ss");
const QString kLogSuffix = QStringLiteral(".qt.txt");
// A media server that never answers must not keep the request's manager alive for good.
constexpr int kRingingTimeoutMs = 30000;
// Keeps the whole file name far below common file-name limits.
constexpr int kMaxLogNameLength = 64;

// How many names a model tries before it gives up on a log of its own.
constexpr int kLogNameTries = 100;

QString logDirectory()
{
    const QString sep = QDir::separator();
    return AppDirManager::instance()->cacheDataDir() + QStringLiteral("log") + sep +
           QStringLiteral("meeting") + sep;
}

} // namespace

// The ringing endpoint on the media server's host, carrying the media server URL's query
// (which may hold tokens, so it never goes to a log). Empty when the URL has no usable host.
QUrl MeetingModel::ringingUrl(const QString &mediaServerUrl, bool ringing)
{
    const int hostStart = mediaServerUrl.indexOf(QLatin1String("//"));
    const int queryStart =
        hostStart < 0 ? -1 : mediaServerUrl.indexOf(QLatin1String("/?"), hostStart + 2);
    if (queryStart < 0)
        return {};
    QUrl url(QStringLiteral("https:%1/ringing?%2&status=%3")
                 .arg(mediaServerUrl.mid(hostStart, queryStart - hostStart),
                      mediaServerUrl.mid(queryStart + 2),
                      ringing ? QStringLiteral("ringing") : QStringLiteral("silent")));
    // A fragment would swallow the status parameter; user info would be sent as credentials.
    if (!url.isValid() || url.host().isEmpty() || url.hasFragment() || !url.userInfo().isEmpty())
        return {};
    return url;
}

// Engine texts quote server addresses and messages as they come; whatever follows a '?' in a
// URL, and the value after a secret-looking name, is cut out before the text is kept or shown.
QString MeetingModel::scrubbed(const QString &engineText)
{
    static const QRegularExpression query(QStringLiteral("(\\b[a-z][a-z0-9+.-]*://[^\\s?#\"']*)"
                                                         "[?#][^\\s\"']*"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression userInfo(
        QStringLiteral("(\\b[a-z][a-z0-9+.-]*://)[^\\s/@\"']*@"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression secret(
        QStringLiteral("((?:token|password|passwd|pwd|secret|key|nonce|auth[a-z]*|signature|sig)"
                       "[\"']?\\s*[=:]\\s*[\"']?)[^\\s\"'&,;}]+"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression bearer(QStringLiteral("(bearer\\s+)\\S+"),
                                           QRegularExpression::CaseInsensitiveOption);
    QString text = engineText;
    text.replace(query, QStringLiteral("\\1?***"));
    text.replace(userInfo, QStringLiteral("\\1***@"));
    text.replace(secret, QStringLiteral("\\1***"));
    text.replace(bearer, QStringLiteral("\\1***"));
    return text;
}

// The meeting id part of a log file name: the id up to its first ':', reduced to ASCII letters,
// digits, '-' and '_' (anything else becomes '_'), so no id can reach outside the log directory
// or name a hidden file.
QString MeetingModel::logNamePart(const QString &meetingId)
{
    QString part = meetingId.section(QLatin1Char(':'), 0, 0).left(kMaxLogNameLength);
    for (QChar &c : part) {
        const char16_t u = c.unicode();
        const bool safe = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') ||
                          (u >= u'0' && u <= u'9') || u == u'-' || u == u'_';
        if (!safe)
            c = QLatin1Char('_');
    }
    return part;
}

void MeetingModel::reportRinging(bool ringing)
{
    d->m_ringing = ringing;
    if (d->m_info.mediaServerUrl.isEmpty()) {
        d->m_ringingPending = true;
        return;
    }
    const QUrl url = ringingUrl(d->m_info.mediaServerUrl, ringing);
    if (url.isEmpty()) {
        qCWarning(lcMeeting) << "ringing report not sent: unusable media server URL";
        return;
    }
    // Without a parent, so a report still goes out when the model is deleted meanwhile.
    auto *manager = new QNetworkAccessManager;
    connect(manager, &QNetworkAccessManager::finished, manager, &QObject::deleteLater,
            Qt::DirectConnection);
    QNetworkRequest request(url);
    request.setTransferTimeout(kRingingTimeoutMs);
    // A redirect could carry the query's tokens to another host.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    manager->get(request);
}

void MeetingModel::onNotifyRinging(QString ringing)
{
    if (ringing == QLatin1String("ringing"))
        setRingingStatus(MeetingDefines::RINGING);
    else if (ringing == QLatin1String("silent"))
        setRingingStatus(MeetingDefines::SILENT);
    else
        setRingingStatus(MeetingDefines::CALLING);
}

void MeetingModel::setRingingStatus(int status)
{
    if (d->m_ringingStatus == status)
        return;
    d->m_ringingStatus = status;
    emit ringingStatusChanged(d->m_ringingStatus);
}

void MeetingModel::onWriteLog(QString log, QString url)
{
    if (!url.isEmpty() && log.isEmpty()) {
        setLogUrl(url);
        return;
    }
    if (d->m_logFull || (!d->logOpen() && !openLogFile()))
        return;
    const QString stamp = QDateTime::currentDateTimeUtc().toString(kStampFormat);
    const QByteArray entry = (stamp + QLatin1String(": ") + scrubbed(log)).toUtf8();
    if (d->m_logFile->size() + entry.size() > kMaxLogBytes) {
        d->m_logFull = true;
        d->m_logFile->write((stamp + QLatin1String(": log full, later lines dropped\n")).toUtf8());
        qCWarning(lcMeeting) << "meeting log full; later engine lines are dropped";
    } else {
        d->m_logFile->write(entry);
    }
    // The log matters most when the process dies, so nothing waits in a buffer.
    d->m_logFile->flush();
}

// The log goes to whoever the engine names, so only over an authenticated channel.
void MeetingModel::setLogUrl(const QString &url)
{
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.scheme() != QLatin1String("https") || parsed.host().isEmpty() ||
        !parsed.userInfo().isEmpty()) {
        qCWarning(lcMeeting) << "meeting log upload address refused: not a plain HTTPS URL";
        return;
    }
    d->m_logUrl = url;
}

bool MeetingModel::openLogFile()
{
    if (!QDir().mkpath(logDirectory())) {
        reportLogFailure();
        return false;
    }
    // Two models of one meeting may start their logs in the same second.
    const QString base = logFileName();
    if (!d->m_logFile)
        d->m_logFile = std::make_unique<QFile>();
    for (int i = 1; i <= kLogNameTries; ++i) {
        d->m_logFile->setFileName(i == 1
                                      ? base + kLogSuffix
                                      : QStringLiteral("%1-%2%3").arg(base).arg(i).arg(kLogSuffix));
        if (d->m_logFile->open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return true;
        if (!d->m_logFile->exists())
            break;
    }
    reportLogFailure();
    return false;
}

// Once per model: the engine writes many lines, and each would fail the same way.
void MeetingModel::reportLogFailure()
{
    if (d->m_logFailureReported)
        return;
    d->m_logFailureReported = true;
    qCWarning(lcMeeting) << "meeting log cannot be written in" << logDirectory();
}

QString MeetingModel::logFileName() const
{
    return QStringLiteral("%1%2_%3").arg(logDirectory(), logNamePart(d->m_info.meetingId),
                                         QDateTime::currentDateTime().toString(kStampFormat));
}
