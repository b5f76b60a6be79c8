// Server answer bodies through the real command callbacks, and the same bodies pushed as meeting
// messages, with the meeting they name already held by its list. Input: a code byte, then the
// body.
#include "accountbase.h"
#include "accountmanager.h"
#include "fuzzcommon.h"
#include "meeting.pb.h"
#include "meetingattendeelist.h"
#include "meetinglinklist.h"
#include "meetinglist.h"
#include "meetingmanager.h"
#include "meetingmodel.h"
#include "meetingmodel_p.h"
#include "meetingservicecmd.h"
#include "testsupport.h"
#include <QMetaMethod>
#include <QPointer>
#include <QSet>
#include <memory>
#include <optional>

namespace {

const QString kMeeting = QStringLiteral("m1");
const QString kDialog = QStringLiteral("d1");

// Counts the signals of the objects it watches; one connection per signal, made once.
class SignalCount : public QObject
{
public:
    void watch(QObject *o)
    {
        const QMetaObject *mo = o->metaObject();
        for (int i = QObject::staticMetaObject.methodCount(); i < mo->methodCount(); ++i) {
            if (mo->method(i).methodType() == QMetaMethod::Signal)
                QMetaObject::connect(o, i, this, QObject::staticMetaObject.methodCount());
        }
    }
    void add() { ++m_count; }
    int take() { return std::exchange(m_count, 0); }
    // Every watched signal lands on the one method past QObject's own.
    int qt_metacall(QMetaObject::Call call, int id, void **args) override
    {
        id = QObject::qt_metacall(call, id, args);
        if (id < 0)
            return id;
        if (call == QMetaObject::InvokeMetaMethod && id == 0)
            ++m_count;
        return id - 1;
    }

private:
    int m_count = 0;
};

// What a change of the held meeting may leave without a signal.
struct Silent
{
    MeetingInfo info;
    qint64 hostUid;
    bool isHost, webSocketConnected, ringingPending, ringing;

    static Silent of(MeetingModel *model)
    {
        const MeetingModelPrivate *d = MeetingModelPrivate::get(model);
        return {d->m_info,           d->m_hostUid, d->m_isHost, d->m_webSocketConnected,
                d->m_ringingPending, d->m_ringing};
    }
    bool operator==(const Silent &o) const
    {
        const MeetingInfo &a = info, &b = o.info;
        return a.meetingId == b.meetingId && a.dialogId == b.dialogId &&
               a.mediaServerUrl == b.mediaServerUrl && a.nonce == b.nonce &&
               a.meetingName == b.meetingName && a.clientId == b.clientId &&
               a.meetingKey == b.meetingKey && a.speakerCapacity == b.speakerCapacity &&
               a.messageId == b.messageId && a.extra == b.extra && a.version == b.version &&
               a.attendees == b.attendees && a.isPrivateCall == b.isPrivateCall &&
               a.disableSpeakingPrivileges == b.disableSpeakingPrivileges && hostUid == o.hostUid &&
               isHost == o.isHost && webSocketConnected == o.webSocketConnected &&
               ringingPending == o.ringingPending && ringing == o.ringing;
    }
};

// One manager for the run. Each input starts from the one meeting it holds: the meeting as the
// last input left it when nothing of it signalled a change (no list made or dropped by the
// manager, no signal from the meeting list, the model, the model's lists and live objects) and
// its silent state is as built; else a new one. Most answers are refused before they reach the
// meeting, and building it was a third of an input.
class Directory
{
public:
    explicit Directory(AccountBase *account) : m_account(account)
    {
        m_manager = new MeetingManager(account);
        account->setMeetingManager(m_manager);
    }

    MeetingManager *manager() const { return m_manager; }

    void reset()
    {
        m_account->clearRequests();
        AccountManager::getInstance()->reset();
        const bool unchanged =
            m_model && m_signals && m_signals->take() == 0 && Silent::of(m_model) == *m_built;
        if (!unchanged)
            rebuild();
    }

    void check(const char *step) const
    {
        const QString broken = m_invariants.check();
        if (!broken.isEmpty())
            fuzz::fail(step, broken);
    }

private:
    void rebuild()
    {
        m_manager->clearData(false);
        MeetingInfo info;
        info.meetingId = kMeeting;
        info.dialogId = kDialog;
        info.meetingKey = QByteArray(32, 'k');
        info.nonce = QStringLiteral("n1");
        info.version = 1;
        info.attendees = {MeetingAttendee(100, 1, 1, 100, 0, true),
                          MeetingAttendee(200, 0, 5, 100, 0, true)};
        m_manager->updateMeeting(kDialog, info, MeetingList::UPDATE_MEETING);
        MeetingList *list = m_manager->meetingList(kDialog, false);
        m_model = list ? list->getMeetingModel(kMeeting) : nullptr;
        if (!m_model)
            fuzz::fail("reset", QStringLiteral("no model for the held meeting"));
        m_invariants.forgetDestroyed();
        m_invariants.watch(m_model);
        watch(list);
        m_built = Silent::of(m_model);
    }

    void watch(MeetingList *list)
    {
        m_signals = std::make_unique<SignalCount>();
        // The manager's other signals report refusals; they change nothing it holds.
        QObject::connect(m_manager, &MeetingManager::meetingListChanged, m_signals.get(),
                         [count = m_signals.get()] { count->add(); });
        for (QObject *o : std::initializer_list<QObject *>{list, m_model})
            m_signals->watch(o);
        for (MeetingAttendeeList *l : m_invariants.lists()) {
            m_signals->watch(l);
            for (QObject *user : l->children())
                m_signals->watch(user);
        }
    }

    AccountBase *m_account;
    MeetingManager *m_manager;
    QPointer<MeetingModel> m_model;
    std::unique_ptr<SignalCount> m_signals;
    std::optional<Silent> m_built;
    testsupport::ListInvariants m_invariants;
};

void ask(MeetingManager *manager, int flags)
{
    MeetingServiceCmd *cmd = manager->meetingServiceCmd();
    cmd->inviteUser(kMeeting, kDialog, {QVariant(200), QVariant(300)});
    cmd->joinMeeting(kMeeting, QStringLiteral("n1"), flags & 1);
    cmd->createOrUpdateMeetingLink(QString(), QStringLiteral("link"));
    cmd->listMeetingLinks();
    cmd->deleteMeetingLink(QStringLiteral("l1"), true);
    manager->meetingLinkList()->getJoinMeetingLinkInfo(QStringLiteral("l2"), QStringLiteral("p"),
                                                       QStringLiteral("t"), kDialog);
    cmd->joinMeetingByLink(QStringLiteral("l2"), QStringLiteral("p"), QStringLiteral("t"),
                           flags & 2);
    cmd->deletePendingAttendees(kMeeting, {QVariant(300)});
}

// The body as the server would push it unasked.
void push(MeetingManager *manager, const QByteArray &body, int flags)
{
    im::meeting::JoinMeetingResp resp;
    if (!resp.ParseFromArray(body.constData(), int(body.size())) || !resp.has_meeting())
        return;
    manager->updateMeeting(QString::fromStdString(resp.meeting().dialog_id()), resp.meeting(),
                           QString::fromStdString(resp.media_server_url()), flags & 4);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Directory *directory = new Directory(fuzz::account());
    AccountBase *account = fuzz::account();
    if (size < 2)
        return 0;
    // The first byte picks the code: success most of the time, else one with a meaning.
    static const int codes[] = {0, 0, 0, 0, 404, 2113, 23201, 28101, 28501, 1};
    const int code = codes[data[0] % (sizeof(codes) / sizeof(codes[0]))];
    const QByteArray body = fuzz::bytes(data + 1, size - 1);
    directory->reset();
    // Every command asked gets this input's answer; nothing is left over for the next input.
    account->setServer([code, body](int command, const QByteArray &) {
        using Cmd = MeetingServiceCmd;
        static const QSet<int> asked = {Cmd::InviteUser,         Cmd::JoinMeeting,
                                        Cmd::CreateOrUpdateLink, Cmd::ListLinks,
                                        Cmd::DeleteLink,         Cmd::GetLink,
                                        Cmd::JoinByLink,         Cmd::DeletePendingAttendees};
        return asked.contains(command) ? std::optional<AccountBase::Answer>({code, body, 0})
                                       : std::nullopt;
    });
    ask(directory->manager(), data[0] >> 4);
    fuzz::drain();
    directory->check("the answers");
    push(directory->manager(), body, data[0] >> 4);
    fuzz::drain();
    directory->check("the pushed meeting");
    return 0;
}
