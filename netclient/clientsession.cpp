#include "clientsession.h"
#include "accountmanager.h"
#include "groupmodel.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetinglinkitem.h"
#include "meetinglinklist.h"
#include "meetinglist.h"
#include "meetingmanager.h"
#include "meetingmodel.h"
#include "meetingservicecmd.h"
#include <QFile>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QSslConfiguration>
#include <QUuid>
#include <algorithm>

namespace {
MeetingInfo infoFrom(const im::wire::MeetingPush &push)
{
    MeetingInfo info = MeetingInfo::fromMeeting(push.meeting());
    info.nonce = QString::fromStdString(push.nonce());
    info.meetingKey = QByteArray::fromStdString(push.key());
    info.clientId = QString::fromStdString(push.client_id());
    return info;
}

MeetingModel *modelArg(const QVariantList &args, int i)
{
    return qobject_cast<MeetingModel *>(
        static_cast<MeetingModelBase *>(args.value(i).value<void *>()));
}

QString uidList(const QList<MeetingAttendee> &rows, bool withMute)
{
    QList<const MeetingAttendee *> sorted;
    for (const MeetingAttendee &a : rows) {
        if (a.user && a.user->type() == MeetingDefines::VIDEO)
            sorted.append(&a);
    }
    std::sort(sorted.begin(), sorted.end(),
              [](const auto *l, const auto *r) { return l->userId < r->userId; });
    QStringList out;
    for (const MeetingAttendee *a : sorted) {
        out.append(withMute ? QStringLiteral("%1:%2").arg(a->userId).arg(a->user->muteVoice())
                            : QString::number(a->userId));
    }
    return out.isEmpty() ? QStringLiteral("-") : out.join(QLatin1Char(','));
}
} // namespace

void ClientSession::trustServerCertificate()
{
    const QString ca = qEnvironmentVariable("MEETING_CLIENT_CA");
    if (!ca.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setCaCertificates(QSslCertificate::fromPath(ca));
        QSslConfiguration::setDefaultConfiguration(tls);
    }
}

ClientSession::ClientSession(qint64 accountId, const QByteArray &token, const QUrl &server,
                             QObject *parent)
    : QObject(parent), m_account(std::make_unique<AccountBase>(accountId, 1))
{
    m_channel = new NetworkChannel(m_account.get(), server, token, this);
    m_manager = new MeetingManager(m_account.get());
    m_account->setMeetingManager(m_manager);
    m_manager->setMeetingCapacity(50);
    connect(m_channel, &NetworkChannel::signedIn, this, &ClientSession::onSignedIn);
    connect(m_channel, &NetworkChannel::pushReceived, this, &ClientSession::onPush);
    connect(m_channel, &NetworkChannel::signInRefused, this,
            [this](int code) { emit report(QStringLiteral("refused %1").arg(code)); });
    connect(m_channel, &NetworkChannel::connectionLost, this,
            [this] { emit report(QStringLiteral("disconnected")); });
    connect(AccountManager::getInstance(), &AccountManager::called, this,
            &ClientSession::onAccountCall);
    MeetingLinkList *links = m_manager->meetingLinkList();
    connect(links, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int) {
                if (!m_linkFile.isEmpty())
                    writeLink(std::exchange(m_linkFile, {}));
                Q_UNUSED(first)
            });
    connect(m_account->fileManager()->fileDataMgr(), &FileDataMgr::meetingLogUploaded, this,
            &ClientSession::uploadLog);
    m_watch.setInterval(20);
    connect(&m_watch, &QTimer::timeout, this, &ClientSession::snapshot);
}

ClientSession::~ClientSession()
{
    m_watch.stop();
    m_manager->clearData(false);
    delete m_manager;
}

void ClientSession::start()
{
    m_channel->open();
    m_watch.start();
}

void ClientSession::onSignedIn(const im::wire::SignInResp &answer)
{
    for (const im::wire::Conversation &c : answer.conversations())
        ensureDialog(QString::fromStdString(c.id()), c.is_group(),
                     {c.members().begin(), c.members().end()});
    for (const im::wire::MeetingPush &p : answer.meetings())
        onMeetingPush(p);
    emit report(QStringLiteral("ready"));
}

void ClientSession::ensureDialog(const QString &dialogId, bool isGroup,
                                 const QList<qint64> &members)
{
    if (m_account->dialog(dialogId, false))
        return;
    auto dialog = m_account->addDialog(dialogId, isGroup, m_account->accountId());
    for (qint64 uid : members) {
        m_account->userManager()->addContact(uid, QStringLiteral("User %1").arg(uid));
        if (isGroup)
            dialog->groupModel()->getMemberModel()->addMember(uid,
                                                              QStringLiteral("User %1").arg(uid));
    }
}

void ClientSession::onPush(im::wire::PushKind kind, const QByteArray &payload)
{
    im::wire::MeetingPush push;
    if (!push.ParseFromArray(payload.constData(), int(payload.size())))
        return;
    if (kind == im::wire::MEETING_UPDATED)
        onMeetingPush(push);
    else if (kind == im::wire::MEETING_FINISHED)
        onMeetingFinished(push);
}

void ClientSession::onMeetingPush(const im::wire::MeetingPush &push)
{
    const QString id = QString::fromStdString(push.meeting().id());
    const QString dialogId = QString::fromStdString(push.dialog_id());
    // A meeting opened through a link belongs to a conversation this account is not in.
    ensureDialog(dialogId, true, {});
    m_running.insert(id, push);
    if (!push.key().empty() && (push.invitation() || !m_keyed.contains(id))) {
        // Like a chat message with the meeting's key material: the host builds the full record.
        m_keyed.insert(id);
        m_manager->updateMeeting(dialogId, infoFrom(push), MeetingList::NEW_MEETING);
    } else {
        m_manager->updateMeeting(dialogId, push.meeting(), QString(), true);
    }
}

void ClientSession::onMeetingFinished(const im::wire::MeetingPush &push)
{
    const QString id = QString::fromStdString(push.meeting().id());
    const QString dialogId = QString::fromStdString(push.dialog_id());
    m_running.remove(id);
    m_manager->meetingBeFinished(id);
    MeetingInfoHash remaining;
    for (const im::wire::MeetingPush &p : std::as_const(m_running)) {
        if (p.dialog_id() == push.dialog_id())
            remaining.insert(QString::fromStdString(p.meeting().id()), infoFrom(p));
    }
    m_manager->setMeetings(dialogId, remaining);
    emit report(QStringLiteral("finished %1").arg(id));
}

void ClientSession::onAccountCall(const QString &name, const QVariantList &args)
{
    if (name == QLatin1String("receiveMeetingInvite")) {
        m_incoming = modelArg(args, 0);
        if (m_incoming) {
            m_incoming->reportRinging(true);
            emit report(QStringLiteral("incoming %1").arg(m_incoming->meetingId()));
            if (m_acceptNext)
                accept();
        }
    } else if (name == QLatin1String("joinMeetingFinished")) {
        AccountManager::getInstance()->setJoiningMeeting(false);
        MeetingModel *model = modelArg(args, 1);
        if (args.value(0).toBool() && model)
            startMedia(model);
        else
            emit report(QStringLiteral("joinfailed"));
    } else if (name == QLatin1String("createMeetingFinished")) {
        MeetingModel *model = modelArg(args, 1);
        if (model && m_creating.remove(model->meetingId())) {
            m_current = model;
            model->joinMeeting();
        }
    } else if (name == QLatin1String("getJoinMeetingLinkFinished")) {
        auto *item = static_cast<MeetingLinkItem *>(args.value(0).value<void *>());
        const int code = args.value(1).toInt();
        emit report(QStringLiteral("link %1").arg(code));
        if (code == 0 && item) {
            m_linkOffer = item;
            item->joinMeeting(m_account.get(), false);
        }
    } else if (name == QLatin1String("error")) {
        emit report(
            QStringLiteral("error %1 %2").arg(args.value(0).toInt()).arg(args.value(2).toInt()));
    }
}

bool ClientSession::command(const QString &line)
{
    const QStringList w = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString verb = w.value(0);
    const bool on = w.value(1) == QLatin1String("on");
    MeetingModel *m = m_current;
    if (verb == QLatin1String("call")) {
        call(w.value(1), w.mid(2).join(QLatin1Char(' ')));
    } else if (verb == QLatin1String("accept")) {
        m_acceptNext = !m_incoming;
        if (m_incoming)
            accept();
    } else if (verb == QLatin1String("decline") && m_incoming) {
        std::exchange(m_incoming, nullptr)->rejectMeeting(MeetingDefines::MEET_REASON_REJECT);
    } else if (verb == QLatin1String("camera") && self()) {
        self()->setMuteVideo(on ? 0 : 1);
    } else if (verb == QLatin1String("mute") && self()) {
        self()->setMuteVoice(on ? 1 : 0);
    } else if (verb == QLatin1String("hand") && m) {
        m->raiseHand(w.value(1) != QLatin1String("up"));
    } else if (verb == QLatin1String("listener") && m) {
        m->beListener(m->userId());
    } else if (verb == QLatin1String("share") && m) {
        m->createShare(w.value(1) == QLatin1String("board") ? MeetingDefines::WHITEBOARD_SHARE
                                                            : MeetingDefines::DESKTOP_SHARE);
    } else if (verb == QLatin1String("unshare") && m) {
        closeOwnShares(m);
    } else if (verb == QLatin1String("transfer") && m) {
        m->transfer(w.value(1).toLongLong());
    } else if (verb == QLatin1String("link")) {
        m_linkFile = w.value(2);
        m_manager->meetingLinkList()->createOrUpdateMeetingLink(QString(), w.value(1));
    } else if (verb == QLatin1String("joinlink")) {
        joinLink(w.value(1));
    } else if (verb == QLatin1String("admit") && m) {
        QVariantList uids;
        for (const MeetingAttendee &a : m->pendingAttendeeList()->rows())
            uids.append(a.userId);
        m->inviteUser(uids);
    } else if (verb == QLatin1String("kick") && m) {
        m->kicked(w.value(1).toLongLong());
    } else if ((verb == QLatin1String("end") || verb == QLatin1String("leave")) && m) {
        m->leave(verb == QLatin1String("end"));
    } else {
        return false;
    }
    return true;
}

MeetingAttendeeUser *ClientSession::self() const
{
    MeetingModel *m = m_current;
    return m ? qobject_cast<MeetingAttendeeUser *>(
                   m->attendeeList()->getAttendeeInfoByUid(m->userId()))
             : nullptr;
}

void ClientSession::accept()
{
    m_acceptNext = false;
    m_current = std::exchange(m_incoming, nullptr);
    m_current->joinMeeting();
}

void ClientSession::closeOwnShares(MeetingModel *m)
{
    QStringList ids;
    for (const MeetingAttendee &a : m->attendeeList()->rows()) {
        if (a.userId == m->userId() && a.user && a.user->type() != MeetingDefines::VIDEO)
            ids.append(a.user->shareId());
    }
    for (const QString &id : std::as_const(ids))
        m->closeShare(id);
}

void ClientSession::call(const QString &dialogId, const QString &name)
{
    QByteArray key(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(key.data()), 8);
    im::Message message;
    message.set_client_id(QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString());
    message.set_dialog_id(dialogId.toStdString());
    message.set_sender_id(m_account->accountId());
    message.set_content(key.toStdString());
    const QVariantMap answer = m_manager->meetingServiceCmd()->createMeeting(
        message, name.isEmpty() ? QStringLiteral("Meeting") : name);
    im::wire::MeetingPush push;
    const QByteArray bytes = answer.value(QStringLiteral("meeting")).toByteArray();
    if (answer.value(QStringLiteral("code")).toInt() != 0 ||
        !push.mutable_meeting()->ParseFromArray(bytes.constData(), int(bytes.size()))) {
        emit report(
            QStringLiteral("callfailed %1").arg(answer.value(QStringLiteral("code")).toInt()));
        return;
    }
    push.set_dialog_id(dialogId.toStdString());
    push.set_nonce(answer.value(QStringLiteral("nonce")).toString().toStdString());
    push.set_key(key.toStdString());
    push.set_client_id(message.client_id());
    const QString id = QString::fromStdString(push.meeting().id());
    m_keyed.insert(id);
    m_creating.insert(id);
    m_running.insert(id, push);
    m_manager->updateMeeting(dialogId, infoFrom(push), MeetingList::CREATE_MEETING);
}

void ClientSession::startMedia(MeetingModel *model)
{
    m_current = model;
    AccountManager::getInstance()->setMeetingModel(model);
    model->setDevices(m_media.camera, m_media.microphone, m_media.speaker);
    model->createCall(!m_media.cameraOn, false, true);
    emit mediaStarted(model);
}

void ClientSession::writeLink(const QString &file)
{
    MeetingLinkList *links = m_manager->meetingLinkList();
    auto *item = links->data(links->index(links->rowCount() - 1), Qt::UserRole + 1)
                     .value<MeetingLinkItem *>();
    QFile f(file);
    if (!item || !f.open(QIODevice::WriteOnly))
        return;
    f.write(
        QStringList{item->id(), item->token(), item->password()}.join(QLatin1Char('\n')).toUtf8());
    // Whoever reads the file acts on the report; it must be complete by then.
    f.close();
    emit report(QStringLiteral("linkmade"));
}

void ClientSession::joinLink(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QStringList parts = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    m_manager->meetingLinkList()->getJoinMeetingLinkInfo(parts.value(0), parts.value(2),
                                                         parts.value(1));
}

void ClientSession::uploadLog(const QString &fileName, const QString &url)
{
    QFile file(fileName);
    if (url.isEmpty() || !file.open(QIODevice::ReadOnly))
        return;
    QNetworkRequest request{QUrl(url)};
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("text/plain"));
    QNetworkReply *reply = m_network.put(request, file.readAll());
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        emit report(QStringLiteral("logsent %1")
                        .arg(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt()));
    });
}

void ClientSession::snapshot()
{
    MeetingModel *m = m_current;
    const QString line = m ? QStringLiteral("room %1 state %2 host %3 attendees %4 pending %5")
                                 .arg(m->meetingId())
                                 .arg(m->state())
                                 .arg(m->hostUid())
                                 .arg(uidList(m->activeAttendeeList()->rows(), true),
                                      uidList(m->pendingAttendeeList()->rows(), false))
                           : QStringLiteral("room -");
    if (line != m_last) {
        m_last = line;
        emit report(line);
    }
}
