#include "session.h"
#include <QVariantList>
#include <accountbase.h>
#include <accountmanager.h>
#include <meetingdefines.h>
#include <meetingmanager.h>

Session::Session(AccountBase *account, QObject *parent) : QObject(parent), m_account(account)
{
    // The account owns its manager, and the module finds the manager only through the account.
    m_manager = new MeetingManager(account);
    account->setMeetingManager(m_manager);
    // The module reports join outcomes to the host's account-wide hub, not through its own
    // signals; the reference hub re-emits every call it receives.
    connect(AccountManager::getInstance(), &AccountManager::called, this, &Session::onHostCall);
    m_meetings = m_manager->meetingList(dialogId(), true);
}

Session::~Session()
{
    signOut();
}

void Session::loadMeetings()
{
    MeetingInfo standUp;
    standUp.meetingId = QStringLiteral("stand-up");
    standUp.dialogId = dialogId();
    standUp.meetingName = QStringLiteral("Daily stand-up");
    standUp.meetingKey = QByteArrayLiteral("0123456789abcdef0123456789abcdef");
    standUp.version = 1;
    const qint64 me = m_account->accountId();
    // Two colleagues are in the meeting already; this user is invited.
    standUp.attendees = {MeetingAttendee(200, 1, MeetingDefines::ACTIVE, 200, 0, true),
                         MeetingAttendee(300, 1, MeetingDefines::ACTIVE, 200, 0, true),
                         MeetingAttendee(me, 1, MeetingDefines::INVITING, 200, 0, true)};
    MeetingInfoHash records;
    records.insert(standUp.meetingId, standUp);
    m_manager->setMeetings(dialogId(), records);
    setStatus(QStringLiteral("%1 meeting(s)").arg(m_meetings->rowCount()));
}

void Session::join(const QString &meetingId)
{
    MeetingModel *model = m_meetings->getMeetingModel(meetingId);
    if (!model || m_call)
        return;
    m_call = model;
    connect(model, &MeetingModel::stateChanged, this, &Session::onCallState);
    emit callChanged();
    setStatus(QStringLiteral("joining"));
    // Asks the server for the media server address; the answer arrives later.
    if (!model->joinMeeting())
        setStatus(QStringLiteral("cannot join"));
}

void Session::onHostCall(const QString &name, const QVariantList &args)
{
    if (name == QLatin1String("joinMeetingFinished"))
        onJoinFinished(args.value(0).toBool(), args.value(2).toString());
}

void Session::onJoinFinished(bool ok, const QString &meetingId)
{
    if (!m_call || m_call->meetingId() != meetingId)
        return;
    if (!ok) {
        setStatus(QStringLiteral("join refused"));
        return;
    }
    // setDevices starts the engine (empty names: the system's default devices); createCall
    // without a running engine does nothing.
    m_call->setDevices(QString(), QString(), QString());
    m_call->createCall(/*muteVideo=*/true, /*muteVoice=*/false);
    setStatus(QStringLiteral("connecting"));
}

void Session::onCallState(int state)
{
    if (state == MeetingDefines::CONNECTED) {
        setStatus(QStringLiteral("in the call"));
    } else if (state == MeetingDefines::NOTCREATE) {
        setStatus(QStringLiteral("left"));
        disconnect(m_call, nullptr, this, nullptr);
        m_call = nullptr;
        emit callChanged();
    }
}

void Session::leave()
{
    if (m_call)
        m_call->leave(/*dismiss=*/false);
}

void Session::signOut()
{
    if (!m_manager)
        return;
    disconnect(AccountManager::getInstance(), nullptr, this, nullptr);
    // Deletes every list and meeting model; QML must not hold them any more.
    m_call = nullptr;
    m_manager->clearData(false);
    m_account->setMeetingManager(nullptr);
    delete m_manager;
    m_manager = nullptr;
    m_meetings = nullptr;
}

void Session::setStatus(const QString &status)
{
    if (status == m_status)
        return;
    m_status = status;
    emit statusChanged();
}
