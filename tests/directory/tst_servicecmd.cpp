#include "directoryfixture.h"
#include "meeting.pb.h"
#include "meetingservicecmd.h"
#include "settings.h"
#include <QTest>
#include <google/protobuf/text_format.h>

using namespace directorytest;
using Send = std::function<void(MeetingServiceCmd &)>;
Q_DECLARE_METATYPE(Send)
using Request = std::shared_ptr<google::protobuf::Message>;
Q_DECLARE_METATYPE(Request)

namespace {

const QString m1 = QStringLiteral("m1"), d1 = QStringLiteral("d1"), l1 = QStringLiteral("l1");

im::Message message(const char *clientId)
{
    im::Message m;
    m.set_client_id(clientId);
    return m;
}

// One command: what is sent (the request in text form), the answer, and what follows from it.
template <typename M>
void row(int commandId, const char *name, Send send, const char *request, int code = 0,
         QByteArray body = {}, const char *outcome = "")
{
    auto expected = std::make_shared<M>();
    QVERIFY(google::protobuf::TextFormat::ParseFromString(request, expected.get()));
    QTest::newRow(name) << send << commandId << Request(expected) << code << body
                        << QString::fromLatin1(outcome);
}

} // namespace

class TestServiceCmd : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { AppSettingModel::instance()->setUseStandRouting(true); }
    void commands_data();
    void commands();
};

void TestServiceCmd::commands_data()
{
    using namespace im::meeting;
    using C = MeetingServiceCmd;
    QTest::addColumn<Send>("send");
    QTest::addColumn<int>("commandId");
    QTest::addColumn<Request>("request");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("outcome");

    const QByteArray junk("\xff\xff", 2);
    MeetingInviteResp invited;
    invited.add_succ_members(200);
    GetMeetingLinkResp idle;
    *idle.mutable_meeting_link() = link("l1", "d1", 500, 0);
    const Send invite = [](C &c) {
        c.inviteUser(m1, d1, {200, QStringLiteral("300")});
    };
    const char *inviteReq = R"(meeting_id: "m1" targets: [200, 300])";
    const Send join = [](C &c) {
        c.joinMeeting(m1, QStringLiteral("n1"), true);
    };
    const char *joinReq = R"(meeting_id: "m1" nonce: "n1" stand_routing: true)";
    const Send create = [](C &c) {
        c.createOrUpdateMeetingLink({}, QStringLiteral("n"));
    };
    const char *createReq = R"(meeting_link { name: "n" })";
    const Send list = [](C &c) {
        c.listMeetingLinks();
    };
    const Send get = [](C &c) {
        c.getMeetingLink(l1, QStringLiteral("p"), QStringLiteral("t"), d1);
    };
    const char *getReq = R"(meeting_link { id: "l1" password: "p" token: "t" })";
    const Send apply = [](C &c) {
        c.joinMeetingByLink(l1, {}, QStringLiteral("t"), false);
    };
    const Send withdraw = [](C &c) {
        c.joinMeetingByLink(l1, {}, QStringLiteral("t"), true);
    };
    const Send pending = [](C &c) {
        c.deletePendingAttendees(m1, {7, 8});
    };
    const char *pendingReq = R"(meeting_id: "m1" user_ids: [7, 8])";

    row<CreateMeetingReq>(
        MeetingServiceCmd::CreateMeeting, "create",
        [](C &c) { c.createMeeting(message("c1"), QStringLiteral("hi")); },
        R"(invite_message { client_id: "c1" } text: "hi" stand_routing: true)");
    row<RejectMeetingReq>(
        MeetingServiceCmd::RejectMeeting, "reject", [](C &c) { c.rejectMeeting(m1, 2); },
        R"(meeting_id: "m1" reason: 2)");
    row<RejectMeetingReq>(
        MeetingServiceCmd::RejectMeeting, "cancel",
        [](C &c) { c.cancelCall(QStringLiteral("c2"), d1); }, R"(dialog_id: "d1" client_id: "c2")");
    row<RejectMeetingReq>(
        MeetingServiceCmd::RejectMeeting, "cancel, client id of the last create",
        [](C &c) {
            c.createMeeting(message("c3"), {});
            c.cancelCall({}, d1);
        },
        R"(dialog_id: "d1" client_id: "c3")");
    row<RejectMeetingReq>(
        MeetingServiceCmd::RejectMeeting, "cancel before any create",
        [](C &c) { c.cancelCall({}, d1); }, R"(dialog_id: "d1")");
    row<RateMeetingReq>(
        MeetingServiceCmd::RateMeeting, "rate",
        [](C &c) {
            c.rateMeeting(m1, 4, MeetingDefines::CALL_END,
                          MeetingDefines::OWN_INAUDIBLE | MeetingDefines::LOW_SOUND, 0,
                          QStringLiteral("ok"));
        },
        R"(meeting_id: "m1" comment: "ok" score: 4 connecting_issues: 4 audio_issues: 20)");
    row<MeetingInviteReq>(MeetingServiceCmd::InviteUser, "invite ok", invite, inviteReq, 0,
                          bytes(invited), "error(0,ab_meeting_invite_ok,232)");
    row<MeetingInviteReq>(MeetingServiceCmd::InviteUser, "invite, nobody invited", invite,
                          inviteReq, 0, {}, "error(0,ab_meeting_invite_fail,232)");
    row<MeetingInviteReq>(MeetingServiceCmd::InviteUser, "invite, unreadable", invite, inviteReq, 0,
                          junk, "error(-2,ab_meeting_invite_fail,232)");
    row<MeetingInviteReq>(MeetingServiceCmd::InviteUser, "invite failed", invite, inviteReq, 9, {},
                          "error(9,ab_meeting_invite_fail,232)");
    row<MeetingInviteReq>(MeetingServiceCmd::InviteUser, "invite, keys missing", invite, inviteReq,
                          23201, junk, "inviteMeetingMissKeys(ffff,d1,m1)");
    row<JoinMeetingReq>(MeetingServiceCmd::JoinMeeting, "join failed", join, joinReq, 9, {},
                        "joinMeetingFinished(false,null,m1)");
    row<JoinMeetingReq>(MeetingServiceCmd::JoinMeeting, "join, no meeting", join, joinReq, 0, {},
                        "joinMeetingFinished(false,null,m1)");
    JoinMeetingResp elsewhere;
    elsewhere.set_media_server_url("wss://127.0.0.1:9/?token=t");
    elsewhere.mutable_meeting()->set_id("m2");
    elsewhere.mutable_meeting()->set_dialog_id("d1");
    elsewhere.mutable_meeting()->add_attendees()->set_user_id(100);
    row<JoinMeetingReq>(234, "join, answer for another meeting", join, joinReq, 0, bytes(elsewhere),
                        "joinMeetingFinished(false,null,m1)");
    row<JoinMeetingReq>(
        MeetingServiceCmd::JoinMeeting, "media url failed",
        [](C &c) { c.joinMeeting(m1, QStringLiteral("n1"), false); }, joinReq, 9);
    row<CreateOrUpdateMeetingLinkReq>(MeetingServiceCmd::CreateOrUpdateLink,
                                      "create link, too many", create, createReq, 28101, {},
                                      "error(28101,create_meeting_link_exceed,281)");
    row<CreateOrUpdateMeetingLinkReq>(MeetingServiceCmd::CreateOrUpdateLink, "create link failed",
                                      create, createReq, 9, {},
                                      "error(9,create_meeting_link_failed,281)");
    row<CreateOrUpdateMeetingLinkReq>(MeetingServiceCmd::CreateOrUpdateLink, "create link, no link",
                                      create, createReq, 0, {},
                                      "error(-2,create_meeting_link_failed,281)");
    row<CreateOrUpdateMeetingLinkReq>(
        MeetingServiceCmd::CreateOrUpdateLink, "rename link failed",
        [](C &c) { c.createOrUpdateMeetingLink(l1, {}); }, R"(meeting_link { id: "l1" })", 9, {},
        "error(9,update_meeting_link_failed,281)");
    row<ListMeetingLinksResp>(MeetingServiceCmd::ListLinks, "list failed", list, "", 9, {},
                              "error(9,general_loading_failed,282)");
    row<ListMeetingLinksResp>(MeetingServiceCmd::ListLinks, "list, unreadable", list, "", 0, junk,
                              "error(-2,general_loading_failed,282)");
    row<DeleteMeetingLinkReq>(
        MeetingServiceCmd::DeleteLink, "delete link failed",
        [](C &c) { c.deleteMeetingLink(l1, true); }, R"(meeting_link { id: "l1" } flag: true)", 9,
        {}, "error(9,delete_meeting_link_failed,283)");
    row<GetMeetingLinkReq>(
        MeetingServiceCmd::GetLink, "get, not found", get, getReq, 404, {},
        "getJoinMeetingLinkFinished(null,404) cmdError(404,no_active_meeting,d1)");
    row<GetMeetingLinkReq>(
        MeetingServiceCmd::GetLink, "get, no meeting", get, getReq, 28501, {},
        "getJoinMeetingLinkFinished(null,28501) cmdError(28501,no_active_meeting,d1)");
    row<GetMeetingLinkReq>(
        MeetingServiceCmd::GetLink, "get, idle link of another", get, getReq, 0, bytes(idle),
        "getJoinMeetingLinkFinished(null,28501) cmdError(28501,no_active_meeting,d1)");
    row<GetMeetingLinkReq>(MeetingServiceCmd::GetLink, "get, wrong password", get, getReq, 2113, {},
                           "getJoinMeetingLinkFinished(null,2113)");
    row<GetMeetingLinkReq>(
        MeetingServiceCmd::GetLink, "get failed", get, getReq, 9, {},
        "getJoinMeetingLinkFinished(null,9) cmdError(9,get_meeting_link_failed,d1)");
    row<GetMeetingLinkReq>(
        MeetingServiceCmd::GetLink, "get, no link", get, getReq, 0, {},
        "getJoinMeetingLinkFinished(null,-2) cmdError(-2,get_meeting_link_failed,d1)");
    row<JoinMeetingByLinkReq>(MeetingServiceCmd::JoinByLink, "apply failed", apply,
                              R"(meeting_link { id: "l1" token: "t" })", 9, {},
                              "error(9,join_meeting_by_link_failed,0)");
    row<JoinMeetingByLinkReq>(MeetingServiceCmd::JoinByLink, "withdraw failed", withdraw,
                              R"(meeting_link { id: "l1" token: "t" } cancel: true)", 9, {},
                              "error(9,general_fail,0)");
    row<DeletePendingAttendeesReq>(MeetingServiceCmd::DeletePendingAttendees,
                                   "delete pending failed", pending, pendingReq, 9, {},
                                   "error(9,operation_failed,0)");
    row<DeletePendingAttendeesReq>(MeetingServiceCmd::DeletePendingAttendees, "delete pending ok",
                                   pending, pendingReq);
}

void TestServiceCmd::commands()
{
    QFETCH(Send, send);
    QFETCH(int, commandId);
    QFETCH(Request, request);
    QFETCH(int, code);
    QFETCH(QByteArray, body);
    QFETCH(QString, outcome);
    Fixture f;
    f.account->setServer([&](int, const QByteArray &) {
        return AccountBase::Answer{code, body, 0};
    });
    send(*f.manager->meetingServiceCmd());
    QVERIFY(f.log.isEmpty()); // answers arrive later, never inside the send

    const AccountBase::Request sent = f.account->requests().last();
    QCOMPARE(sent.commandId, commandId);
    QCOMPARE(sent.sync, commandId == MeetingServiceCmd::CreateMeeting);
    std::unique_ptr<google::protobuf::Message> actual(request->New());
    QVERIFY(actual->ParseFromString(sent.payload.toStdString()));
    QCOMPARE(QString::fromStdString(actual->DebugString()),
             QString::fromStdString(request->DebugString()));
    testsupport::drainEvents();
    QCOMPARE(f.take(), outcome);
}

QTEST_GUILESS_MAIN(TestServiceCmd)
#include "tst_servicecmd.moc"
