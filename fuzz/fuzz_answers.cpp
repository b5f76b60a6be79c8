// Server answer bodies through the real command callbacks, and the same bodies pushed as meeting
// messages, with the meeting they name already held by its list. Input: a code byte, then the
// body.
#include "accountbase.h"
#include "accountmanager.h"
#include "fuzzcommon.h"
#include "meeting.pb.h"
#include "meetinglinklist.h"
#include "meetinglist.h"
#include "meetingmanager.h"
#include "meetingmodel.h"
#include "meetingservicecmd.h"
#include "testsupport.h"
#include <QSet>

namespace {

const QString kMeeting = QStringLiteral("m1");
const QString kDialog = QStringLiteral("d1");

// One manager for the run; each input starts from the one meeting it holds.
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
        m_manager->clearData(false);
        m_account->clearRequests();
        AccountManager::getInstance()->reset();
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
        MeetingModel *model = list ? list->getMeetingModel(kMeeting) : nullptr;
        if (!model)
            fuzz::fail("reset", QStringLiteral("no model for the held meeting"));
        m_invariants.forgetDestroyed();
        m_invariants.watch(model);
    }

    void check(const char *step) const
    {
        const QString broken = m_invariants.check();
        if (!broken.isEmpty())
            fuzz::fail(step, broken);
    }

private:
    AccountBase *m_account;
    MeetingManager *m_manager;
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
