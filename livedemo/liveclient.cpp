#include "liveclient.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QTimer>
#include <accountmanager.h>
#include <cstdio>
#include <meeting.pb.h>
#include <meetingdefines.h>
#include <meetinglist.h>
#include <meetingmanager.h>
#include <meetingmodel.h>
#include <meetingservicecmd.h>
#include <usermanager.h>

namespace {
const QString kDialog = QStringLiteral("live-room");
const QString kMeeting = QStringLiteral("live");
constexpr int kConnectTimeoutMs = 90000;
constexpr int kLeaveTimeoutMs = 5000;
} // namespace

LiveClient::LiveClient(const Options &options, QObject *parent)
    : QObject(parent), m_options(options), m_account(options.uid, 1),
      m_stats(new FrameStats(options.uid, this))
{
    m_account.addDialog(kDialog, true, options.uid);
    for (qint64 uid : options.users)
        m_account.userManager()->addContact(uid, QStringLiteral("User %1").arg(uid));
    // Only the join answer of a server is needed: it carries the media room's address.
    m_account.setServer([this](int command, const QByteArray &payload) {
        return command == MeetingServiceCmd::JoinMeeting ? answerJoin(payload)
                                                         : std::optional<AccountBase::Answer>();
    });
    m_manager = new MeetingManager(&m_account);
    m_account.setMeetingManager(m_manager);
    connect(AccountManager::getInstance(), &AccountManager::called, this, &LiveClient::onHostCall);
    loadMeeting();
}

LiveClient::~LiveClient()
{
    m_qml.reset();
    signOut();
}

std::optional<AccountBase::Answer> LiveClient::answerJoin(const QByteArray &payload) const
{
    im::meeting::JoinMeetingReq req;
    if (!req.ParseFromArray(payload.constData(), int(payload.size())))
        return AccountBase::Answer{400, {}, 0};
    im::meeting::JoinMeetingResp resp;
    resp.set_media_server_url(m_options.mediaUrl.toStdString());
    im::Meeting *meeting = resp.mutable_meeting();
    meeting->set_id(req.meeting_id());
    meeting->set_dialog_id(kDialog.toStdString());
    meeting->set_name("Live call");
    meeting->set_version(2);
    const qint64 host = m_options.users.value(0);
    for (qint64 uid : m_options.users) {
        im::MeetingAttendeeEntry *entry = meeting->add_attendees();
        entry->set_user_id(uid);
        entry->set_inviter_id(host);
        entry->set_status(uid == m_options.uid ? 1 : 3);
    }
    return AccountBase::Answer{0, QByteArray::fromStdString(resp.SerializeAsString()), 0};
}

void LiveClient::loadMeeting()
{
    MeetingInfo info;
    info.meetingId = kMeeting;
    info.dialogId = kDialog;
    info.meetingName = QStringLiteral("Live call");
    info.meetingKey = QByteArrayLiteral("0123456789abcdef0123456789abcdef");
    info.version = 1;
    const qint64 host = m_options.users.value(0);
    for (qint64 uid : m_options.users) {
        const int status = uid == m_options.uid ? MeetingDefines::INVITING : MeetingDefines::ACTIVE;
        info.attendees.append(MeetingAttendee(uid, 1, status, host, 0, true));
    }
    MeetingInfoHash records;
    records.insert(info.meetingId, info);
    m_manager->meetingList(kDialog, true);
    m_manager->setMeetings(kDialog, records);
}

bool LiveClient::start()
{
    m_qml = std::make_unique<QQmlApplicationEngine>();
    m_qml->rootContext()->setContextProperty(QStringLiteral("live"), this);
    m_qml->load(QUrl(QStringLiteral("qrc:/live/Live.qml")));
    if (m_qml->rootObjects().isEmpty())
        return false;
    MeetingList *list = m_manager->meetingList(kDialog, false);
    m_call = list ? list->getMeetingModel(kMeeting) : nullptr;
    if (!m_call)
        return false;
    connect(m_call, &MeetingModel::stateChanged, this, &LiveClient::onCallState);
    emit callChanged();
    QTimer::singleShot(kConnectTimeoutMs, this, [this] {
        if (!m_finishing) {
            std::fprintf(stderr, "client %lld: the call did not connect in time\n", m_options.uid);
            finish(1);
        }
    });
    return m_call->joinMeeting();
}

void LiveClient::onHostCall(const QString &name, const QVariantList &args)
{
    if (name != QLatin1String("joinMeetingFinished") || !m_call ||
        args.value(2).toString() != kMeeting)
        return;
    if (!args.value(0).toBool()) {
        std::fprintf(stderr, "client %lld: the join was refused\n", m_options.uid);
        return finish(1);
    }
    m_call->setDevices(QString(), QString(), QString());
    m_call->createCall(/*muteVideo=*/false, /*muteVoice=*/false);
}

void LiveClient::onCallState(int state)
{
    if (state == MeetingDefines::CONNECTED && !m_finishing) {
        std::printf("client %lld: in the call\n", m_options.uid);
        std::fflush(stdout);
        QTimer::singleShot(m_options.seconds * 1000, this, [this] { finish(0); });
    } else if (state == MeetingDefines::NOTCREATE && m_finishing) {
        QCoreApplication::exit(m_status);
    }
}

bool LiveClient::writeResults()
{
    QDir().mkpath(m_options.outDir);
    const QString base =
        QDir(m_options.outDir).filePath(QStringLiteral("client-%1").arg(m_options.uid));
    bool ok = false;
    if (auto *window = qobject_cast<QQuickWindow *>(m_qml->rootObjects().value(0)))
        ok = window->grabWindow().save(base + QStringLiteral(".png"));
    QFile json(base + QStringLiteral(".json"));
    const QByteArray text = QJsonDocument(m_stats->toJson()).toJson(QJsonDocument::Compact);
    return ok && json.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           json.write(text) == text.size();
}

// Saves the results, then leaves; the engine's report of the leave (or a bounded wait) ends
// the process.
void LiveClient::finish(int status)
{
    if (std::exchange(m_finishing, true))
        return;
    if (!writeResults()) {
        std::fprintf(stderr, "client %lld: cannot write into %s\n", m_options.uid,
                     qPrintable(m_options.outDir));
        status = 1;
    }
    m_status = status;
    QTimer::singleShot(kLeaveTimeoutMs, qApp, [status] { QCoreApplication::exit(status); });
    if (m_call && m_call->state() != MeetingDefines::NOTCREATE)
        m_call->leave(/*dismiss=*/false);
    else
        QCoreApplication::exit(status);
}

void LiveClient::signOut()
{
    if (!m_manager)
        return;
    disconnect(AccountManager::getInstance(), nullptr, this, nullptr);
    m_call = nullptr;
    m_manager->clearData(false);
    m_account.setMeetingManager(nullptr);
    delete m_manager;
    m_manager = nullptr;
    m_account.setServer({});
}
