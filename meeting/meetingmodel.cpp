#include "meetingmodel.h"
#include "accountbase.h"
#include "accountmanager.h"
#include "broadcaster.h"
#include "im.pb.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetinglinkitem.h"
#include "meetinglinklist.h"
#include "meetingmanager.h"
#include "meetingservicecmd.h"
#include "videosink.h"
#include <QCryptographicHash>
#include <QJSEngine>
#include <QOperatingSystemVersion>
#include <QTime>
#include <QTimerEvent>
#include <algorithm>

using qtwebrtc::Broadcaster;

namespace {
QSet<qint64> userIdsOf(const QList<MeetingAttendee> &list)
{
    QSet<qint64> ids;
    for (const MeetingAttendee &a : list)
        ids.insert(a.userId);
    return ids;
}
} // namespace

MeetingModel::MeetingModel(const MeetingInfo &info, AccountBase *account, QObject *parent)
    : MeetingModelBase(parent), m_account(account)
{
    createLists();
    m_info.update(info);
    init();
    bool added = false;
    m_attendeeList->initAttendees(info.attendees, added);
    refreshDerivedLists();
}

MeetingModel::MeetingModel(AccountBase *account, QObject *parent)
    : MeetingModelBase(parent), m_account(account)
{
    createLists();
    init();
}

MeetingModel::~MeetingModel()
{
    if (!m_whiteboardShareId.isEmpty())
        sendUserAction(false, m_whiteboardShareId);
    stopEngineThread();
    clear();
    emit startDestroy();
    if (m_logFile.isOpen()) {
        m_logFile.flush();
        m_logFile.close();
        m_account->fileManager()->fileDataMgr()->uploadMeetingLog(m_logFile.fileName(), m_logUrl);
    }
    delete m_keptUserJoin;
    AccountManager::getInstance()->meetingWillBeDeleted(this);
}

void MeetingModel::createLists()
{
    Q_ASSERT(m_account);
    m_searchModel = new MeetingAttendeeList(m_account, this);
    m_activeAttendeeList = new MeetingAttendeeList(m_account, this);
    m_attendeeList = new MeetingAttendeeList(m_account, this);
    m_pendingAttendeeList = new MeetingAttendeeList(m_account, this);
    m_callingAttendeeList = new MeetingAttendeeList(m_account, this);
}

void MeetingModel::init()
{
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
    // Queued connections carry these under their written names.
    qRegisterMetaType<im::whiteboard::TransferData *>("im::whiteboard::TransferData*");
    qRegisterMetaType<MeetingDefines::AttendeeType>("MeetingDefines::AttendeeType");
    qRegisterMetaType<qtwebrtc::CallInfo>("qtwebrtc::CallInfo");
    qRegisterMetaType<size_t>("size_t");
    qRegisterMetaType<qtwebrtc::SoundEffectType>("qtwebrtc::SoundEffectType");
    m_engineThread.setObjectName(QStringLiteral("meeting_broadcaster_thread"));
    setUserId();
    for (MeetingAttendeeList *list :
         {m_attendeeList, m_activeAttendeeList, m_pendingAttendeeList, m_callingAttendeeList}) {
        list->setDialogId(m_info.dialogId);
        list->setUserId(m_userId);
    }
    m_searchModel->setUserId(m_userId);
    setcanSpeakingPrivileges(!m_info.disableSpeakingPrivileges);
}

void MeetingModel::setUserId()
{
    const QSharedPointer<DialogBase> dialog = m_account->dialog(m_info.dialogId, false);
    m_userId = dialog && dialog->isGroup() ? dialog->ownUserId() : m_account->accountId();
    emit userIdChanged();
}

void MeetingModel::refreshDerivedLists()
{
    m_activeAttendeeList->setDifferentAttendees(m_attendeeList->activeAttendees());
    m_callingAttendeeList->setDifferentAttendees(m_attendeeList->callingAttendees());
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
    for (MeetingAttendeeList *list : {m_activeAttendeeList, m_callingAttendeeList}) {
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
            releaseFromSearch(m_attendeeList, uid, QString());
    }
}

// The search results may show one user twice, as attendee and as applicant: only the rows
// holding the owner's objects go.
void MeetingModel::releaseFromSearch(const MeetingAttendeeList *owner, qint64 uid,
                                     const QString &shareId)
{
    if (shareId.isEmpty())
        m_searchModel->removeRowsOf(owner->getAttendeeInfoByUid(uid, MeetingDefines::VIDEO));
    m_searchModel->removeRowsOf(owner->getAttendeeInfoByUid(uid, MeetingDefines::SHARESCREEN));
}

void MeetingModel::setMeeting(const MeetingInfo &info)
{
    const QString oldNonce = m_info.nonce;
    m_info.update(info);
    setcanSpeakingPrivileges(!m_info.disableSpeakingPrivileges);
    if (m_info.version > info.version || m_webSocketConnected)
        return;
    m_attendeeList->setDialogId(info.dialogId);
    releaseBorrowedUsers(leavingUsers(m_attendeeList, userIdsOf(info.attendees)), true);
    bool added = false;
    const QSet<qint64> dropped = m_attendeeList->initAttendees(info.attendees, added);
    if (dropped.contains(m_account->accountId()))
        AccountManager::getInstance()->meetingBeFinished(m_account->accountId(), info.meetingId);
    refreshDerivedLists();
    announceMeetingRecord(oldNonce);
    if (m_activeAttendeeList->getAttendeeInfoByUid(m_userId, MeetingDefines::VIDEO))
        emit alreadyOnCall();
}

void MeetingModel::announceMeetingRecord(const QString &oldNonce)
{
    emit meetingIdChanged(m_info.meetingId);
    emit dialogIdChanged(m_info.dialogId);
    emit messageIdChanged(m_info.messageId);
    emit isPrivateCallChanged(m_info.isPrivateCall);
    if (m_info.nonce != oldNonce)
        emit nonceChanged(m_info.nonce);
}

void MeetingModel::setMeeting(const im::Meeting &meeting, const QString &mediaServerUrl, bool join)
{
    if (!join) {
        m_info.mediaServerUrl = mediaServerUrl;
        if (m_ringingPending)
            reportRinging(m_ringing);
        m_ringingPending = false;
        return;
    }
    if (m_info.version > meeting.version()) {
        // A join answer overtaken by a newer push: its record is old, its media address is not.
        if (!mediaServerUrl.isEmpty())
            m_info.mediaServerUrl = mediaServerUrl;
        return;
    }
    if (m_webSocketConnected && !m_isHost)
        return;

    const MeetingInfo old = m_info;
    m_info.dialogId = QString::fromStdString(meeting.dialog_id());
    m_info.meetingId = QString::fromStdString(meeting.id());
    m_info.messageId = qint64(meeting.msg_id());
    m_info.isPrivateCall = meeting.is_private_call();
    m_info.disableSpeakingPrivileges = meeting.disable_speaking_privileges();
    setcanSpeakingPrivileges(!m_info.disableSpeakingPrivileges);
    m_info.version = meeting.version();
    if (!mediaServerUrl.isEmpty())
        m_info.mediaServerUrl = mediaServerUrl;
    m_attendeeList->setDialogId(m_info.dialogId);

    // These properties change here outside a full record; bindings must still follow.
    if (m_info.meetingId != old.meetingId)
        emit meetingIdChanged(m_info.meetingId);
    if (m_info.dialogId != old.dialogId)
        emit dialogIdChanged(m_info.dialogId);
    if (m_info.messageId != old.messageId)
        emit messageIdChanged(m_info.messageId);
    if (m_info.isPrivateCall != old.isPrivateCall)
        emit isPrivateCallChanged(m_info.isPrivateCall);

    const QList<MeetingAttendee> pending = attendeesFromServer(meeting, true, nullptr);
    // The search results borrow the applicants' live objects, which the pending list deletes.
    for (qint64 uid : leavingUsers(m_pendingAttendeeList, userIdsOf(pending)))
        releaseFromSearch(m_pendingAttendeeList, uid, QString());
    bool added = false;
    m_pendingAttendeeList->initAttendees(pending, added);
    if (added && m_isHost)
        emit notifyRequestJoin();

    if (m_webSocketConnected)
        return;
    bool ownIdListed = false;
    const QList<MeetingAttendee> attendees = attendeesFromServer(meeting, false, &ownIdListed);
    releaseBorrowedUsers(leavingUsers(m_attendeeList, userIdsOf(attendees)), true);
    bool flag = false;
    if (m_attendeeList->initAttendees(attendees, flag).contains(m_userId))
        AccountManager::getInstance()->meetingBeFinished(m_account->accountId(), m_info.meetingId);
    checkApplicationRefused(ownIdListed);
    refreshDerivedLists();
}

void MeetingModel::checkApplicationRefused(bool ownIdListed)
{
    if (ownIdListed || m_pendingAttendeeList->existAttendee(m_userId))
        return;
    MeetingManager *manager = m_account->meetingManager();
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
        if (hasOwnId && e.user_id() == m_userId)
            *hasOwnId = true;
    }
    return list;
}

void MeetingModel::clear()
{
    killMeetingTimer();
    if (AccountManager::getInstance()->meetingModel() == this)
        AccountManager::getInstance()->setMeetingModel(nullptr);
    for (MeetingAttendeeList *list :
         {m_searchModel, m_activeAttendeeList, m_callingAttendeeList, m_pendingAttendeeList})
        list->clearAttendee(false);
    m_attendeeList->clearAttendee(true);
    m_webSocketConnected = false;
    setState(MeetingDefines::NOTCREATE);
}

MeetingServiceCmd *MeetingModel::serviceCmd() const
{
    MeetingManager *manager = m_account->meetingManager();
    return manager ? manager->meetingServiceCmd() : nullptr;
}

void MeetingModel::getJoinMediaUrl()
{
    if (MeetingServiceCmd *cmd = serviceCmd())
        cmd->joinMeeting(m_info.meetingId, m_info.nonce, false);
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
    cmd->joinMeeting(m_info.meetingId, m_info.nonce, true);
    return true;
}

void MeetingModel::setDevices(QString videoDevice, QString audioInDevice, QString audioOutDevice)
{
    startEngine();
    post([videoDevice](Broadcaster *b) { b->setVideoRecordingDevice(videoDevice); });
    post([audioOutDevice](Broadcaster *b) { b->setAudioPlayoutDevice(audioOutDevice); });
    post([audioInDevice](Broadcaster *b) { b->setAudioRecordingDevice(audioInDevice); });
}

void MeetingModel::startEngine()
{
    setUserId();
    if (m_engineThread.isRunning())
        return;
    m_engineThread.start(QThread::InheritPriority);
    m_broadcaster = new Broadcaster(m_userId, nullptr);
    m_broadcaster->moveToThread(&m_engineThread);
    connectEngine();
    post([](Broadcaster *b) { b->init(); });
}

void MeetingModel::connectEngine()
{
    Broadcaster *b = m_broadcaster;
    connect(b, &Broadcaster::sigNotifyJoin, this, &MeetingModel::notifyJoin);
    connect(b, &Broadcaster::sigNotifyMute, this, &MeetingModel::notifyMute);
    connect(b, &Broadcaster::sigNotifyLeave, this, &MeetingModel::notifyLeave);
    connect(b, &Broadcaster::sigNotifyScore, this, &MeetingModel::notifyScore);
    connect(b, &Broadcaster::sigNotifyInvite, this, &MeetingModel::notifyInvite);
    connect(b, &Broadcaster::sigNotifyKicked, this, &MeetingModel::notifyKicked);
    connect(b, &Broadcaster::sigNotifyReject, this, &MeetingModel::notifyReject);
    connect(b, &Broadcaster::sigNotifyDismiss, this, &MeetingModel::notifyDismiss);
    connect(b, &Broadcaster::sigNotifyMuteAll, this, &MeetingModel::notifyMuteAll);
    connect(b, &Broadcaster::sigNotifyTimeout, this, &MeetingModel::notifyTimeout);
    connect(b, &Broadcaster::sigNotifyTransfer, this, &MeetingModel::notifyTransfer);
    connect(b, &Broadcaster::sigNotifyReconnect, this, &MeetingModel::notifyReconnect);
    connect(b, &Broadcaster::sigNotifyStateChange, this, &MeetingModel::notifyStateChange);
    connect(b, &Broadcaster::sigNotifyDecibel, this, &MeetingModel::notifyDecibel);
    connect(b, &Broadcaster::sigNotifyNewConsumer, this, &MeetingModel::notifyNewConsumer);
    connect(b, &Broadcaster::sigNotifyReady, this, &MeetingModel::notifyReady);
    connect(b, &Broadcaster::sigNotifyError, this, &MeetingModel::notifyError);
    connect(b, &Broadcaster::sigNotifyRestartIce, this, &MeetingModel::notifyRestartIce);
    connect(b, &Broadcaster::sigNotifyAllowUnmute, this, &MeetingModel::notifyAllowUnmute);
    connect(b, &Broadcaster::sigNotifyCreateShare, this, &MeetingModel::notifyCreateShare);
    connect(b, &Broadcaster::sigNotifyCloseShare, this, &MeetingModel::notifyCloseShare);
    connect(b, &Broadcaster::sigNotifySetAllowDraw, this, &MeetingModel::notifySetAllowDraw);
    connect(b, &Broadcaster::sigNotifySharePremission, this, &MeetingModel::notifySharePremission);
    connect(b, &Broadcaster::sigNotifyRequestEnable, this, &MeetingModel::notifyRequestEnable);
    connect(b, &Broadcaster::sigNotifyData, this, &MeetingModel::recvData);
    connect(b, &Broadcaster::sigVideoFrame, this, &MeetingModel::videoFrame);
    connect(b, &Broadcaster::sigNotifyRaiseHand, this, &MeetingModel::onNotifyRaiseHand);
    connect(b, &Broadcaster::sigNotifyInviteSpeak, this, &MeetingModel::onNotifyInviteSpeak);
    connect(b, &Broadcaster::sigNotifyAgreeSpeak, this, &MeetingModel::onNotifyAgreeSpeak);
    connect(b, &Broadcaster::sigNotifyRejectSpeak, this, &MeetingModel::onNotifyRejectSpeak);
    connect(b, &Broadcaster::sigNotifyRoleChange, this, &MeetingModel::onNotifyRoleChange);
    connect(b, &Broadcaster::sigWriteLog, this, &MeetingModel::onWriteLog);
    if (MeetingManager *manager = m_account->meetingManager())
        connect(b, &Broadcaster::sigUseBytes, manager, &MeetingManager::addBytes);
    connect(b, &Broadcaster::sigRinging, this, &MeetingModel::onNotifyRinging);
    connect(&m_engineThread, &QThread::finished, b, &QObject::deleteLater);
}

void MeetingModel::post(std::function<void(Broadcaster *)> call)
{
    if (!m_broadcaster)
        return;
    Broadcaster *engine = m_broadcaster;
    QMetaObject::invokeMethod(
        engine, [engine, call = std::move(call)] { call(engine); }, Qt::AutoConnection);
}

void MeetingModel::stopEngineThread()
{
    if (!m_engineThread.isRunning())
        return;
    // Quitting from the engine's own queue lets the calls posted before it (a whiteboard
    // goodbye, a leave) still reach the engine.
    if (m_broadcaster) {
        QThread *thread = &m_engineThread;
        QMetaObject::invokeMethod(
            m_broadcaster, [thread] { thread->quit(); }, Qt::QueuedConnection);
    } else {
        m_engineThread.quit();
    }
    m_engineThread.wait();
    m_broadcaster = nullptr;
}

void MeetingModel::createCall(bool muteVideo, bool muteVoice, bool isSpeaker)
{
    if (m_info.meetingKey.isEmpty() || !m_broadcaster) {
        qCDebug(lcMeeting, "meeting key is empty");
        return;
    }
    m_whiteboardShareIds.clear();
    m_heldWhiteboards.clear();

    MeetingAttendee self;
    if (!m_attendeeList->getAttendee(m_userId, MeetingDefines::VIDEO, self)) {
        self.inviterId = m_userId;
        self.userId = m_userId;
        self.deviceId = m_account->deviceId();
        self.status = MeetingDefines::ACTIVE;
        self.role = isSpeaker ? MeetingDefines::SPEAKER : MeetingDefines::LISTENER;
        m_attendeeList->updateAttendeeUser(self);
        m_attendeeList->appendAttendee(self);
        refreshDerivedLists();
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
    info.isMeeting = !m_info.isPrivateCall;
    info.typeEnabled = m_account->accountSettingModel()->supportedMeetingType() != 2;
    info.isSpeaker = isSpeaker;
    info.limit = 16;
    info.meetingId = m_info.meetingId;
    const QByteArray key = m_info.meetingKey;
    const QString url = m_info.mediaServerUrl;
    post([key](Broadcaster *b) { b->setEncryptionKey(key, qtwebrtc::kEncryptionKeyValue); });
    post([url, info](Broadcaster *b) { b->createCall(url, info); });
}

void MeetingModel::leave(bool dismiss)
{
    if (m_attendeeList->count() > 0)
        post([dismiss](Broadcaster *b) { b->leave(dismiss); });
}

void MeetingModel::closeWebrtc()
{
    AccountManager::getInstance()->setJoiningMeeting(false);
    AccountManager::getInstance()->setMeetingModel(nullptr);
    post([](Broadcaster *b) { b->closeWebrtc(); });
}

void MeetingModel::removeSelf(bool removeEntry)
{
    if (AccountManager::getInstance()->meetingModel() == this)
        AccountManager::getInstance()->setMeetingModel(nullptr);
    stopEngineThread();
    setIsShared(false);
    if (removeEntry)
        dropAttendee(m_userId, QString());
    killMeetingTimer();
    m_webSocketConnected = false;
    setState(MeetingDefines::NOTCREATE);
}

void MeetingModel::search(QString name)
{
    m_searchModel->setDifferentAttendees(m_attendeeList->search(name));
    if (m_pendingAttendeeList->count() == 0)
        return;
    const QList<MeetingAttendee> applicants = m_pendingAttendeeList->search(name);
    if (!applicants.isEmpty())
        m_searchModel->appendAttendee(applicants, true);
}

QByteArray MeetingModel::verifyKey()
{
    if (m_verifyKey.isEmpty() && !m_info.nonce.isEmpty() && !m_info.meetingKey.isEmpty()) {
        m_verifyKey = QCryptographicHash::hash(m_info.nonce.toUtf8() + m_info.meetingKey,
                                               QCryptographicHash::Sha256);
    }
    return m_verifyKey;
}

bool MeetingModel::checkVersion(int major, int minor)
{
    const QOperatingSystemVersion current = QOperatingSystemVersion::current();
    return major < current.majorVersion() ||
           (major == current.majorVersion() && minor <= current.minorVersion());
}

void MeetingModel::setState(int state)
{
    if (m_state == state)
        return;
    m_state = state;
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
    if (m_meetingTimerId == 0 || event->timerId() != m_meetingTimerId) {
        MeetingModelBase::timerEvent(event);
        return;
    }
    ++m_elapsedSeconds;
    const QString time =
        QTime(0, 0, 0, 0).addSecs(m_elapsedSeconds).toString(QStringLiteral("hh:mm:ss"));
    if (time != m_meetingTime) {
        m_meetingTime = time;
        emit meetingTimeChanged(time);
    }
    setWhoSpeaks();
}

void MeetingModel::startMeetingTimer()
{
    // A restart replaces the running timer; the seconds keep counting where they stopped.
    killMeetingTimer();
    m_meetingTimerId = startTimer(1000, Qt::CoarseTimer);
}

void MeetingModel::killMeetingTimer()
{
    if (m_meetingTimerId == 0)
        return;
    killTimer(m_meetingTimerId);
    m_meetingTimerId = 0;
}

void MeetingModel::setHostUid(qint64 uid)
{
    if (m_hostUid == uid)
        return;
    m_hostUid = uid;
    setIsHost(uid == m_userId);
    emit hostUidChanged(uid);
}

void MeetingModel::setIsHost(bool isHost)
{
    if (m_isHost == isHost)
        return;
    m_isHost = isHost;
    emit isHostChanged(isHost);
}

void MeetingModel::connectLiveObject(MeetingAttendeeUser *user)
{
    if (!user)
        return;
    connect(user, &MeetingAttendeeUser::playoutVolumeChanged, this, &MeetingModel::setPlayoutVolume,
            Qt::UniqueConnection);
    connect(user, &MeetingAttendeeUser::muteChanged, this, &MeetingModel::userMuteChanged,
            Qt::UniqueConnection);
}

MeetingAttendeeUser *MeetingModel::liveObject(qint64 uid, MeetingDefines::AttendeeType type) const
{
    return qobject_cast<MeetingAttendeeUser *>(m_attendeeList->getAttendeeInfoByUid(uid, type));
}

// After a single-row move in the master list only the active list can be out of order.
void MeetingModel::refreshActiveList()
{
    m_activeAttendeeList->setDifferentAttendees(m_attendeeList->activeAttendees());
}
