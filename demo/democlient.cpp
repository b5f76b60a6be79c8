#include "democlient.h"
#include "accountbase.h"
#include "accountmanager.h"
#include "cast.h"
#include "contactbase.h"
#include "conversationmodel.h"
#include "im.pb.h"
#include "mediaroom.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetinglinkitem.h"
#include "meetinglinklist.h"
#include "meetinglist.h"
#include "meetingmanager.h"
#include "meetingmodel.h"
#include "meetingservicecmd.h"
#include "simserver.h"
#ifdef MEETING_DEMO_NETWORK
#include "networkchannel.h"
#endif
#include "timeline.h"
#include "whiteboardstore.h"
#include <QRandomGenerator>
#include <QUuid>

namespace {
MeetingInfo infoFrom(const MeetingPush &push)
{
    MeetingInfo info = MeetingInfo::fromMeeting(push.meeting);
    info.nonce = push.nonce;
    info.meetingKey = push.key;
    info.clientId = push.clientId;
    return info;
}

MeetingModel *modelArg(const QVariantList &args, int i)
{
    return qobject_cast<MeetingModel *>(
        static_cast<MeetingModelBase *>(args.value(i).value<void *>()));
}
} // namespace

DemoClient::DemoClient(const Cast &cast, SimServer *server, QObject *parent)
    : QObject(parent), m_cast(cast), m_server(server),
      m_account(std::make_unique<AccountBase>(cast.selfId(), 1))
{
    for (const Person &p : cast.people())
        m_account->userManager()->addContact(p.id, p.name);
    for (const Conversation &c : cast.conversations()) {
        auto dialog = m_account->addDialog(c.dialogId, c.isGroup, cast.selfId());
        if (!c.isGroup)
            continue;
        GroupMemberModel *members = dialog->groupModel()->getMemberModel();
        members->addMember(cast.selfId(), cast.self().name);
        for (qint64 uid : c.members)
            members->addMember(uid, cast.name(uid));
    }

    m_manager = new MeetingManager(m_account.get());
    m_account->setMeetingManager(m_manager);
    m_manager->setMeetingCapacity(50);
    m_timeline = new Timeline(cast, this);
    m_timeline->watch(m_manager);
    m_whiteboards = new WhiteboardStore(this);
    connect(m_manager, &MeetingManager::meetingListChanged, this,
            [this](const QString &, MeetingList *list) {
                if (!list)
                    return;
                connect(list, &QAbstractItemModel::rowsInserted, this,
                        [this, list](const QModelIndex &, int first, int last) {
                            for (int row = first; row <= last; ++row) {
                                const QVariant v =
                                    list->data(list->index(row), MeetingList::USER_ROLE);
                                if (auto *model = v.value<MeetingModel *>())
                                    watchModel(model);
                            }
                        });
            });
    connect(m_manager, &MeetingManager::cmdError, this,
            [this](int, const QString &text, const QString &) { emit notice(text); });
    m_conversations = new ConversationModel(cast, m_manager, this);

    connect(AccountManager::getInstance(), &AccountManager::called, this,
            &DemoClient::onAccountCall);
    connect(this, &DemoClient::notice, m_timeline,
            [this](const QString &text) { m_timeline->add(QStringLiteral("client"), text); });
    connect(
        links(), &QAbstractItemModel::rowsInserted, this,
        [this](const QModelIndex &, int first, int last) {
            for (int row = first; row <= last; ++row) {
                auto *item =
                    links()->data(links()->index(row), Qt::UserRole + 1).value<MeetingLinkItem *>();
                if (item)
                    m_conversations->add(item->dialogId(), item->name());
            }
        });
    if (!server)
        return;
    m_account->setServer([server](int command, const QByteArray &payload) {
        return server->answer(command, payload);
    });
    m_account->setSyncServer([server](int command, const QByteArray &payload) {
        return server->answerSync(command, payload);
    });
    connect(server, &SimServer::pushed, this, &DemoClient::onPushed);
    connect(server, &SimServer::meetingEnded, this, &DemoClient::onMeetingEnded);
    connect(server, &SimServer::note, m_timeline,
            [this](const QString &text) { m_timeline->add(QStringLiteral("server"), text); });
    m_signedIn = true;
    links()->listMeetingLinks();
}

#ifdef MEETING_DEMO_NETWORK
void DemoClient::connectToServer(const QUrl &url, const QByteArray &token)
{
    auto *channel = new NetworkChannel(m_account.get(), url, token, this);
    connect(channel, &NetworkChannel::signedIn, this, [this](const im::wire::SignInResp &answer) {
        for (const im::wire::MeetingPush &p : answer.meetings())
            onServerPush(im::wire::MEETING_UPDATED, p);
        if (!std::exchange(m_signedIn, true))
            links()->listMeetingLinks();
        m_timeline->add(QStringLiteral("client"), tr("signed in at the meeting server"));
    });
    connect(channel, &NetworkChannel::signInRefused, this, [this](int code) {
        emit notice(tr("The server refused the sign-in (%1).").arg(code));
    });
    connect(channel, &NetworkChannel::pushReceived, this,
            [this](im::wire::PushKind kind, const QByteArray &payload) {
                im::wire::MeetingPush push;
                if (push.ParseFromArray(payload.constData(), int(payload.size())))
                    onServerPush(kind, push);
            });
    channel->open();
}

void DemoClient::onServerPush(int kind, const im::wire::MeetingPush &wire)
{
    MeetingPush push;
    push.dialogId = QString::fromStdString(wire.dialog_id());
    push.meeting = wire.meeting();
    push.nonce = QString::fromStdString(wire.nonce());
    push.key = QByteArray::fromStdString(wire.key());
    push.clientId = QString::fromStdString(wire.client_id());
    push.invitation = wire.invitation();
    const QString id = QString::fromStdString(wire.meeting().id());
    if (kind == im::wire::MEETING_FINISHED) {
        m_running.remove(id);
        m_manager->meetingBeFinished(id);
        onMeetingEnded(push.dialogId, id);
        return;
    }
    m_running.insert(id, push);
    onPushed(push);
}
#else
void DemoClient::connectToServer(const QUrl &, const QByteArray &)
{
    emit notice(tr("This demo was built without the meeting server."));
}
#endif

QString DemoClient::runningMeeting(const QString &dialogId) const
{
    if (m_server)
        return m_server->runningMeeting(dialogId);
    for (const MeetingPush &p : m_running) {
        if (p.dialogId == dialogId)
            return QString::fromStdString(p.meeting.id());
    }
    return {};
}

DemoClient::~DemoClient()
{
    disconnect(AccountManager::getInstance(), nullptr, this, nullptr);
    // Every meeting model goes, and with it its engine thread.
    m_manager->clearData(false);
    m_account.reset();
    AccountManager::getInstance()->reset();
}

MeetingLinkList *DemoClient::links() const
{
    return m_manager->meetingLinkList();
}

qlonglong DemoClient::selfId() const
{
    return m_cast.selfId();
}

QString DemoClient::incomingCaller() const
{
    return m_incoming ? m_cast.name(incomingCallerId()) : QString();
}

qlonglong DemoClient::incomingCallerId() const
{
    if (!m_incoming)
        return 0;
    // The module knows who invited this account.
    auto *inviter = qobject_cast<ContactBase *>(m_incoming->attendeeList()->attendeeSelfInviter());
    return inviter ? inviter->uid() : m_incoming->hostUid();
}

QString DemoClient::incomingPlace() const
{
    return m_incoming ? conversationTitle(m_incoming->dialogId()) : QString();
}

QString DemoClient::receivedLinkName() const
{
    const auto link = m_server ? m_server->receivedLink() : std::nullopt;
    return link ? QString::fromStdString(link->name()) : QString();
}

void DemoClient::acceptIncoming(bool withCamera)
{
    MeetingModel *model = m_incoming;
    if (!model)
        return;
    setIncoming(nullptr);
    m_cameraOnJoin.insert(model->meetingId(), withCamera);
    if (!model->joinMeeting())
        emit notice(tr("Another meeting is still being joined."));
}

void DemoClient::declineIncoming()
{
    MeetingModel *model = m_incoming;
    if (!model)
        return;
    setIncoming(nullptr);
    model->rejectMeeting(MeetingDefines::MEET_REASON_REJECT);
}

void DemoClient::startMeeting(const QString &dialogId)
{
    const QString running = runningMeeting(dialogId);
    if (!running.isEmpty()) {
        MeetingList *list = m_manager->meetingList(dialogId, false);
        if (MeetingModel *model = list ? list->getMeetingModel(running) : nullptr)
            join(model);
        return;
    }
    const Conversation *conversation = m_cast.conversation(dialogId);
    if (conversation && !conversation->isGroup) {
        // A call: the list builds the two-person meeting locally until the server's record
        // arrives with its id.
        m_manager->createMeeting(dialogId, conversation->members.value(0));
    }
    createOnServer(dialogId);
}

void DemoClient::createOnServer(const QString &dialogId)
{
    QByteArray key(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(key.data()), 8);
    im::Message message;
    message.set_client_id(QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString());
    message.set_dialog_id(dialogId.toStdString());
    message.set_sender_id(m_cast.selfId());
    message.set_content(key.toStdString());
    const Conversation *conversation = m_cast.conversation(dialogId);
    const QString name = conversation && !conversation->isGroup
                             ? tr("Call with %1").arg(conversation->title)
                             : tr("%1 meeting").arg(conversationTitle(dialogId));
    const QVariantMap answer = m_manager->meetingServiceCmd()->createMeeting(message, name);
    im::Meeting meeting;
    const QByteArray bytes = answer.value(QStringLiteral("meeting")).toByteArray();
    if (answer.value(QStringLiteral("code")).toInt() != 0 ||
        !meeting.ParseFromArray(bytes.constData(), int(bytes.size()))) {
        emit notice(tr("The meeting could not be created."));
        return;
    }
    MeetingPush push;
    push.dialogId = dialogId;
    push.meeting = meeting;
    push.nonce = answer.value(QStringLiteral("nonce")).toString();
    push.key = key;
    push.clientId = QString::fromStdString(message.client_id());
    const MeetingInfo info = infoFrom(push);
    m_keyed.insert(info.meetingId);
    m_creating.insert(info.meetingId);
    m_manager->updateMeeting(dialogId, info, MeetingList::CREATE_MEETING);
}

void DemoClient::join(MeetingModel *model)
{
    if (!model)
        return;
    setCurrent(model);
    if (model->state() == MeetingDefines::CONNECTED)
        return;
    m_cameraOnJoin.insert(model->meetingId(), true);
    if (!model->joinMeeting())
        emit notice(tr("Another meeting is still being joined."));
}

void DemoClient::show(MeetingModel *model)
{
    setCurrent(model);
}

void DemoClient::leave(bool endForAll)
{
    if (m_current)
        m_current->leave(endForAll);
}

void DemoClient::rate(int score)
{
    if (m_ratingFor.isEmpty())
        return;
    const int connecting = score <= 2 ? MeetingDefines::OWN_DISCONNET : 0;
    m_manager->rateMeeting(m_ratingFor, score, connecting, 0, 0, tr("Rated in the demo"));
    m_ratingFor.clear();
    emit ratingForChanged();
}

void DemoClient::admit(qlonglong uid)
{
    if (m_current)
        m_current->inviteUser({uid});
}

void DemoClient::turnAway(qlonglong uid)
{
    if (m_current)
        m_manager->deletePendingAttendees(m_current->meetingId(), {uid});
}

void DemoClient::inviteMissing()
{
    if (!m_current)
        return;
    const Conversation *conversation = m_cast.conversation(m_current->dialogId());
    QVariantList missing;
    for (qint64 uid : conversation ? conversation->members : QList<qint64>()) {
        auto *user = qobject_cast<MeetingAttendeeUser *>(
            m_current->attendeeList()->getAttendeeInfoByUid(uid));
        if (!user || user->state() != MeetingDefines::ACTIVE)
            missing.append(uid);
    }
    if (missing.isEmpty())
        emit notice(tr("Everyone in the conversation is already here."));
    else
        m_current->inviteUser(missing);
}

void DemoClient::simulateIncomingCall(const QString &dialogId)
{
    const Conversation *conversation = m_cast.conversation(dialogId);
    if (!m_server || !conversation || conversation->members.isEmpty())
        return;
    if (!m_server->runningMeeting(dialogId).isEmpty()) {
        emit notice(tr("A meeting is already running in %1.").arg(conversation->title));
        return;
    }
    const qint64 caller = conversation->members.first();
    QList<qint64> inRoom;
    QList<qint64> invited{m_cast.selfId()};
    for (qint64 uid : conversation->members.mid(1))
        (inRoom.size() < 1 ? inRoom : invited).append(uid);
    const QString name = conversation->isGroup ? tr("%1 sync").arg(conversation->title)
                                               : tr("Call from %1").arg(m_cast.name(caller));
    const QString id = m_server->startMeeting(caller, dialogId, name, inRoom, invited);
    if (MediaRoom *room = m_server->room(id)) {
        int delay = 2500;
        for (qint64 uid : invited) {
            if (uid != m_cast.selfId())
                room->call(uid, caller, delay += 1800);
        }
    }
}

void DemoClient::openReceivedLink()
{
    const auto link = m_server ? m_server->receivedLink() : std::nullopt;
    if (!link)
        return;
    // The link's id, password and token came in a chat message.
    links()->getJoinMeetingLinkInfo(QString::fromStdString(link->id()),
                                    QString::fromStdString(link->password()),
                                    QString::fromStdString(link->token()));
}

void DemoClient::askToJoinByLink()
{
    if (m_linkOffer)
        m_linkOffer->joinMeeting(m_account.get(), false);
}

void DemoClient::dismissLinkOffer()
{
    if (m_linkOffer && m_linkOffer->state() != MeetingLinkItem::NOT_APPLIED)
        m_linkOffer->joinMeeting(m_account.get(), true);
    m_linkOffer = nullptr;
    links()->clearJoinMeetingLink();
    emit linkOfferChanged();
}

QString DemoClient::nameOf(qlonglong uid) const
{
    return m_cast.name(uid);
}

QColor DemoClient::colourOf(qlonglong uid) const
{
    const Person *p = m_cast.person(uid);
    return p ? p->colour : QColor(0x64748b);
}

QString DemoClient::conversationTitle(const QString &dialogId) const
{
    return m_conversations->title(dialogId);
}

void DemoClient::onPushed(const MeetingPush &push)
{
    const QString id = QString::fromStdString(push.meeting.id());
    if (!push.key.isEmpty() && (push.invitation || !m_keyed.contains(id))) {
        // A chat message with the meeting's key material: the host builds the full record.
        m_keyed.insert(id);
        m_manager->updateMeeting(push.dialogId, infoFrom(push), MeetingList::NEW_MEETING);
    } else {
        m_manager->updateMeeting(push.dialogId, push.meeting, QString(), true);
    }
}

void DemoClient::onMeetingEnded(const QString &dialogId, const QString &)
{
    MeetingInfoHash remaining;
    const QList<MeetingPush> left = m_server ? m_server->meetingsOf(dialogId) : m_running.values();
    for (const MeetingPush &p : left) {
        if (p.dialogId == dialogId)
            remaining.insert(QString::fromStdString(p.meeting.id()), infoFrom(p));
    }
    m_manager->setMeetings(dialogId, remaining);
}

void DemoClient::onAccountCall(const QString &name, const QVariantList &args)
{
    if (name == QLatin1String("receiveMeetingInvite")) {
        MeetingModel *model = modelArg(args, 0);
        if (!model)
            return;
        if (m_linkOffer && m_linkOffer->meetingModel() == model) {
            // The link's owner let this account in.
            m_linkOffer->setState(MeetingLinkItem::APPROVED);
            m_linkOffer = nullptr;
            emit linkOfferChanged();
        }
        setIncoming(model);
        model->reportRinging(true);
    } else if (name == QLatin1String("joinMeetingFinished")) {
        // The join is over either way; the next one may start.
        AccountManager::getInstance()->setJoiningMeeting(false);
        MeetingModel *model = modelArg(args, 1);
        if (args.value(0).toBool() && model)
            startMedia(model);
        else
            emit notice(tr("The meeting could not be joined."));
    } else if (name == QLatin1String("createMeetingFinished")) {
        MeetingModel *model = modelArg(args, 1);
        if (model && m_creating.remove(model->meetingId()))
            join(model);
    } else if (name == QLatin1String("error")) {
        const QString text = args.value(1).toString();
        if (!text.isEmpty())
            emit notice(text);
    } else if (name == QLatin1String("getJoinMeetingLinkFinished")) {
        auto *item = static_cast<MeetingLinkItem *>(args.value(0).value<void *>());
        const int code = args.value(1).toInt();
        if (code != 0 || !item) {
            if (code == MeetingDefines::INVALID_PASSWORD)
                emit notice(tr("The link's password was not accepted."));
            return;
        }
        m_conversations->add(item->dialogId(), item->name());
        m_linkOffer = item;
        emit linkOfferChanged();
    }
}

void DemoClient::watchModel(MeetingModel *model)
{
    m_whiteboards->watch(model);
    connect(model, &MeetingModel::meetingError, this,
            [this](int, const QString &text) { emit notice(text); });
    connect(model, &MeetingModel::startDestroy, this, [this, model] {
        m_wasConnected.remove(model);
        if (m_current == model)
            setCurrent(nullptr);
        if (m_incoming == model)
            setIncoming(nullptr);
    });
    connect(model, &MeetingModel::stateChanged, this, [this, model](int state) {
        if (state == MeetingDefines::CONNECTED) {
            m_wasConnected.insert(model);
        } else if (state == MeetingDefines::NOTCREATE && m_wasConnected.remove(model)) {
            m_ratingFor = model->meetingId();
            emit ratingForChanged();
        }
    });
}

void DemoClient::setCurrent(MeetingModel *model)
{
    if (m_current == model)
        return;
    m_current = model;
    emit currentChanged();
}

void DemoClient::setIncoming(MeetingModel *model)
{
    if (m_incoming == model)
        return;
    m_incoming = model;
    emit incomingChanged();
}

void DemoClient::startMedia(MeetingModel *model)
{
    setCurrent(model);
    AccountManager::getInstance()->setMeetingModel(model);
    auto *me = qobject_cast<MeetingAttendeeUser *>(
        model->attendeeList()->getAttendeeInfoByUid(model->userId()));
    const bool speaker = !me || me->participationStatus() != MeetingDefines::LISTENER ||
                         !model->canSpeakingPrivileges();
    const bool camera = m_cameraOnJoin.take(model->meetingId());
    model->setDevices(QStringLiteral("Demo camera"), QStringLiteral("Demo microphone"),
                      QStringLiteral("Demo speakers"));
    model->createCall(!camera || !speaker, !speaker, speaker);
}
