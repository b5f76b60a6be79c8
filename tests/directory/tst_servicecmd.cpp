#include "directoryfixture.h"
#include "meeting.pb.h"
#include "meetingservicecmd.h"
#include "settings.h"
#include <QTest>
#include <google/protobuf/text_format.h>

using namespace directorytest;
using Send = std::function<void(MeetingServiceCmd &)>;
Q_DECLARE_METATYPE(Send)
using Expected = std::shared_ptr<google::protobuf::Message>;
Q_DECLARE_METATYPE(Expected)

namespace {

const QString m1 = QStringLiteral("m1"), d1 = QStringLiteral("d1"), l1 = QStringLiteral("l1");

template <typename M> void addRequest(const char *name, int commandId, Send send, const char *text)
{
    auto expected = std::make_shared<M>();
    QVERIFY(google::protobuf::TextFormat::ParseFromString(text, expected.get()));
    QTest::addRow("%s", name) << send << commandId << Expected(expected);
}

im::Message message(const char *clientId)
{
    im::Message m;
    m.set_client_id(clientId);
    m.set_dialog_id("d1");
    return m;
}

} // namespace

class TestServiceCmd : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { AppSettingModel::instance()->setUseStandRouting(true); }
    void requests_data();
    void requests();
    void answers_data();
    void answers();
};

void TestServiceCmd::requests_data()
{
    using namespace im::meeting;
    using C = MeetingServiceCmd;
    QTest::addColumn<Send>("send");
    QTest::addColumn<int>("commandId");
    QTest::addColumn<Expected>("expected");
    addRequest<CreateMeetingReq>(
        "create", 231, [](C &c) { c.createMeeting(message("c1"), QStringLiteral("hi")); },
        R"(invite_message { client_id: "c1" dialog_id: "d1" } text: "hi" stand_routing: true)");
    addRequest<MeetingInviteReq>(
        "invite", 232,
        [](C &c) {
            c.inviteUser(m1, d1, {200, QStringLiteral("300")});
        },
        R"(meeting_id: "m1" targets: [200, 300])");
    addRequest<RejectMeetingReq>(
        "reject", 233, [](C &c) { c.rejectMeeting(m1, 2); }, R"(meeting_id: "m1" reason: 2)");
    addRequest<RejectMeetingReq>(
        "cancel", 233, [](C &c) { c.cancelCall(QStringLiteral("c2"), d1); },
        R"(dialog_id: "d1" client_id: "c2")");
    addRequest<RejectMeetingReq>(
        "cancel, client id of the last create", 233,
        [](C &c) {
            c.createMeeting(message("c3"), {});
            c.cancelCall({}, d1);
        },
        R"(dialog_id: "d1" client_id: "c3")");
    addRequest<RejectMeetingReq>(
        "cancel before any create", 233, [](C &c) { c.cancelCall({}, d1); }, R"(dialog_id: "d1")");
    addRequest<JoinMeetingReq>(
        "join", 234, [](C &c) { c.joinMeeting(m1, QStringLiteral("n1"), true); },
        R"(meeting_id: "m1" nonce: "n1" stand_routing: true)");
    addRequest<CreateOrUpdateMeetingLinkReq>(
        "rename link", 281, [](C &c) { c.createOrUpdateMeetingLink(l1, QStringLiteral("n")); },
        R"(meeting_link { id: "l1" name: "n" })");
    addRequest<ListMeetingLinksResp>(
        "list links", 282, [](C &c) { c.listMeetingLinks(); }, "");
    addRequest<DeleteMeetingLinkReq>(
        "delete link", 283, [](C &c) { c.deleteMeetingLink(l1, true); },
        R"(meeting_link { id: "l1" } flag: true)");
    addRequest<GetMeetingLinkReq>(
        "get link", 284,
        [](C &c) { c.getMeetingLink(l1, QStringLiteral("p"), QStringLiteral("t"), d1); },
        R"(meeting_link { id: "l1" password: "p" token: "t" })");
    addRequest<JoinMeetingByLinkReq>(
        "withdraw by link", 285,
        [](C &c) { c.joinMeetingByLink(l1, QStringLiteral("p"), QStringLiteral("t"), true); },
        R"(meeting_link { id: "l1" password: "p" token: "t" } cancel: true)");
    addRequest<DeletePendingAttendeesReq>(
        "delete pending", 286,
        [](C &c) {
            c.deletePendingAttendees(m1, {7, 8});
        },
        R"(meeting_id: "m1" user_ids: [7, 8])");
    addRequest<RateMeetingReq>(
        "rate", 287,
        [](C &c) {
            c.rateMeeting(m1, 4, MeetingDefines::CALL_END,
                          MeetingDefines::OWN_INAUDIBLE | MeetingDefines::LOW_SOUND, 0,
                          QStringLiteral("ok"));
        },
        R"(meeting_id: "m1" comment: "ok" score: 4 connecting_issues: 4 audio_issues: 20)");
}

void TestServiceCmd::requests()
{
    QFETCH(Send, send);
    QFETCH(int, commandId);
    QFETCH(Expected, expected);
    Fixture f;
    send(*f.manager->meetingServiceCmd());

    const auto sent = f.account->requests(commandId);
    QVERIFY(!sent.isEmpty());
    QCOMPARE(sent.last().sync, commandId == 231);
    std::unique_ptr<google::protobuf::Message> actual(expected->New());
    QVERIFY(actual->ParseFromString(sent.last().payload.toStdString()));
    QCOMPARE(QString::fromStdString(actual->DebugString()),
             QString::fromStdString(expected->DebugString()));
}

void TestServiceCmd::answers_data()
{
    using C = MeetingServiceCmd;
    QTest::addColumn<Send>("send");
    QTest::addColumn<int>("commandId");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("outcome");

    const QByteArray junk("\xff\xff", 2);
    im::meeting::MeetingInviteResp invited;
    invited.add_succ_members(200);
    im::meeting::GetMeetingLinkResp idle;
    *idle.mutable_meeting_link() = link("l1", "d1", 500, 0);
    const Send invite = [](C &c) {
        c.inviteUser(m1, d1, {200});
    };
    const Send join = [](C &c) {
        c.joinMeeting(m1, {}, true);
    };
    const Send create = [](C &c) {
        c.createOrUpdateMeetingLink({}, {});
    };
    const Send rename = [](C &c) {
        c.createOrUpdateMeetingLink(l1, {});
    };
    const Send list = [](C &c) {
        c.listMeetingLinks();
    };
    const Send get = [](C &c) {
        c.getMeetingLink(l1, {}, {}, d1);
    };
    const Send apply = [](C &c) {
        c.joinMeetingByLink(l1, {}, {}, false);
    };
    const Send withdraw = [](C &c) {
        c.joinMeetingByLink(l1, {}, {}, true);
    };
    const Send pending = [](C &c) {
        c.deletePendingAttendees(m1, {200});
    };

    auto row = [](const char *name, Send send, int cmd, int code, QByteArray body, const char *o) {
        QTest::newRow(name) << send << cmd << code << body << QString::fromLatin1(o);
    };
    row("invite ok", invite, 232, 0, bytes(invited), "error(0,ab_meeting_invite_ok,232)");
    row("invite, nobody invited", invite, 232, 0, {}, "error(0,ab_meeting_invite_fail,232)");
    row("invite, unreadable", invite, 232, 0, junk, "error(-2,ab_meeting_invite_fail,232)");
    row("invite failed", invite, 232, 9, {}, "error(9,ab_meeting_invite_fail,232)");
    row("invite, keys missing", invite, 232, 23201, junk, "inviteMeetingMissKeys(ffff,d1,m1)");
    row("join failed", join, 234, 9, {}, "joinMeetingFinished(false,null,m1)");
    row("join, no meeting in answer", join, 234, 0, {}, "joinMeetingFinished(false,null,m1)");
    row(
        "media url failed", [](C &c) { c.joinMeeting(m1, {}, false); }, 234, 9, {}, "");
    row("create link, too many", create, 281, 28101, {},
        "error(28101,create_meeting_link_exceed,281)");
    row("create link failed", create, 281, 9, {}, "error(9,create_meeting_link_failed,281)");
    row("create link, no link", create, 281, 0, {}, "error(-2,create_meeting_link_failed,281)");
    row("rename link failed", rename, 281, 9, {}, "error(9,update_meeting_link_failed,281)");
    row("list failed", list, 282, 9, {}, "error(9,general_loading_failed,282)");
    row("list, unreadable", list, 282, 0, junk, "error(-2,general_loading_failed,282)");
    row(
        "delete failed", [](C &c) { c.deleteMeetingLink(l1, true); }, 283, 9, {},
        "error(9,delete_meeting_link_failed,283)");
    row("get, not found", get, 284, 404, {},
        "getJoinMeetingLinkFinished(null,404) cmdError(404,no_active_meeting,d1)");
    row("get, no meeting", get, 284, 28501, {},
        "getJoinMeetingLinkFinished(null,28501) cmdError(28501,no_active_meeting,d1)");
    row("get, idle link of another", get, 284, 0, bytes(idle),
        "getJoinMeetingLinkFinished(null,28501) cmdError(28501,no_active_meeting,d1)");
    row("get, wrong password", get, 284, 2113, {}, "getJoinMeetingLinkFinished(null,2113)");
    row("get failed", get, 284, 9, {},
        "getJoinMeetingLinkFinished(null,9) cmdError(9,get_meeting_link_failed,d1)");
    row("get, no link", get, 284, 0, {},
        "getJoinMeetingLinkFinished(null,-2) cmdError(-2,get_meeting_link_failed,d1)");
    row("apply failed", apply, 285, 9, {}, "error(9,join_meeting_by_link_failed,0)");
    row("withdraw failed", withdraw, 285, 9, {}, "error(9,general_fail,0)");
    row("delete pending failed", pending, 286, 9, {}, "error(9,operation_failed,0)");
    row("delete pending ok", pending, 286, 0, {}, "");
}

void TestServiceCmd::answers()
{
    QFETCH(Send, send);
    QFETCH(int, commandId);
    QFETCH(int, code);
    QFETCH(QByteArray, body);
    QFETCH(QString, outcome);
    Fixture f;
    f.account->scriptAnswer(commandId, code, body);
    send(*f.manager->meetingServiceCmd());
    QVERIFY(f.log.isEmpty()); // answers arrive later, never inside the send
    testsupport::drainEvents();
    QCOMPARE(f.take(), outcome);
}

QTEST_GUILESS_MAIN(TestServiceCmd)
#include "tst_servicecmd.moc"
