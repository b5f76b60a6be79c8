// Server answer bodies, through the real command callbacks.
#include "accountbase.h"
#include "accountmanager.h"
#include "fuzzcommon.h"
#include "im.pb.h"
#include "meetinglinklist.h"
#include "meetingmanager.h"
#include "meetingservicecmd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    AccountBase *account = fuzz::account();
    if (size < 2)
        return 0;
    // The first byte picks the code: success most of the time, else one with a meaning.
    static const int codes[] = {0, 0, 0, 0, 404, 2113, 23201, 28101, 28501, 1};
    const int code = codes[data[0] % (sizeof(codes) / sizeof(codes[0]))];
    const QByteArray body = fuzz::bytes(data + 1, size - 1);
    auto *manager = new MeetingManager(account);
    account->setMeetingManager(manager);
    for (int cmd : {232, 234, 281, 282, 283, 284, 285, 286})
        account->scriptAnswer(cmd, code, body);

    MeetingServiceCmd *cmd = manager->meetingServiceCmd();
    cmd->inviteUser(QStringLiteral("m1"), QStringLiteral("d1"), {QVariant(200), QVariant(300)});
    cmd->joinMeeting(QStringLiteral("m1"), QStringLiteral("n1"), data[0] & 1);
    cmd->createOrUpdateMeetingLink(QString(), QStringLiteral("link"));
    cmd->listMeetingLinks();
    cmd->deleteMeetingLink(QStringLiteral("l1"), true);
    manager->meetingLinkList()->getJoinMeetingLinkInfo(QStringLiteral("l2"), QStringLiteral("p"),
                                                       QStringLiteral("t"), QStringLiteral("d1"));
    cmd->joinMeetingByLink(QStringLiteral("l2"), QStringLiteral("p"), QStringLiteral("t"),
                           data[0] & 2);
    cmd->deletePendingAttendees(QStringLiteral("m1"), {QVariant(300)});
    fuzz::drain();

    manager->clearData(false);
    account->setMeetingManager(nullptr);
    delete manager;
    account->clearRequests();
    AccountManager::getInstance()->reset();
    fuzz::drain();
    return 0;
}
