#include "directoryfixture.h"
#include "meeting.pb.h"
#include "meetinglinkitem.h"
#include "meetinglinklist.h"
#include "meetingservicecmd.h"
#include "settings.h"
#include <QSignalSpy>
#include <QTest>
#include <google/protobuf/text_format.h>
#include <memory>

using namespace directorytest;
using Send = std::function<void(MeetingServiceCmd &)>;
Q_DECLARE_METATYPE(Send)
using Expected = std::shared_ptr<google::protobuf::Message>;
Q_DECLARE_METATYPE(Expected)

namespace {

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
    void getLinkOwnerRule_data();
    void getLinkOwnerRule();
};

void TestServiceCmd::requests_data()
{
    using namespace im::meeting;
    QTest::addColumn<Send>("send");
    QTest::addColumn<int>("commandId");
    QTest::addColumn<Expected>("expected");
    const QString m1 = QStringLiteral("m1"), d1 = QStringLiteral("d1");
    addRequest<CreateMeetingReq>(
        "create", 231,
        [](MeetingServiceCmd &c) { c.createMeeting(message("c1"), QStringLiteral("hi")); },
        R"(invite_message { client_id: "c1" dialog_id: "d1" } text: "hi" stand_routing: true)");
    addRequest<MeetingInviteReq>(
        "invite", 232,
        [=](MeetingServiceCmd &c) {
            c.inviteUser(m1, d1, {200, QStringLiteral("300")});
        },
        R"(meeting_id: "m1" targets: [200, 300])");
    addRequest<RejectMeetingReq>(
        "reject", 233, [=](MeetingServiceCmd &c) { c.rejectMeeting(m1, 2); },
        R"(meeting_id: "m1" reason: 2)");
    addRequest<RejectMeetingReq>(
        "cancel with client id", 233,
        [=](MeetingServiceCmd &c) { c.cancelCall(QStringLiteral("c2"), d1); },
        R"(dialog_id: "d1" client_id: "c2")");
    addRequest<RejectMeetingReq>(
        "cancel with stored client id", 233,
        [=](MeetingServiceCmd &c) {
            c.createMeeting(message("c3"), {});
            c.cancelCall({}, d1);
        },
        R"(dialog_id: "d1" client_id: "c3")");
    addRequest<RejectMeetingReq>(
        "cancel before any create", 233, [=](MeetingServiceCmd &c) { c.cancelCall({}, d1); },
        R"(dialog_id: "d1")");
    addRequest<JoinMeetingReq>(
        "join", 234, [=](MeetingServiceCmd &c) { c.joinMeeting(m1, QStringLiteral("n1"), true); },
        R"(meeting_id: "m1" nonce: "n1" stand_routing: true)");
    addRequest<CreateOrUpdateMeetingLinkReq>(
        "create link", 281,
        [](MeetingServiceCmd &c) { c.createOrUpdateMeetingLink({}, QStringLiteral("n")); },
        R"(meeting_link { name: "n" })");
    addRequest<ListMeetingLinksResp>(
        "list links", 282, [](MeetingServiceCmd &c) { c.listMeetingLinks(); }, "");
    addRequest<DeleteMeetingLinkReq>(
        "delete link", 283,
        [](MeetingServiceCmd &c) { c.deleteMeetingLink(QStringLiteral("l1"), true); },
        R"(meeting_link { id: "l1" } flag: true)");
    addRequest<GetMeetingLinkReq>(
        "get link", 284,
        [=](MeetingServiceCmd &c) {
            c.getMeetingLink(QStringLiteral("l1"), QStringLiteral("p"), QStringLiteral("t"), d1);
        },
        R"(meeting_link { id: "l1" password: "p" token: "t" })");
    addRequest<JoinMeetingByLinkReq>(
        "withdraw by link", 285,
        [](MeetingServiceCmd &c) {
            c.joinMeetingByLink(QStringLiteral("l1"), QStringLiteral("p"), QStringLiteral("t"),
                                true);
        },
        R"(meeting_link { id: "l1" password: "p" token: "t" } cancel: true)");
    addRequest<DeletePendingAttendeesReq>(
        "delete pending", 286,
        [=](MeetingServiceCmd &c) {
            c.deletePendingAttendees(m1, {7, 8});
        },
        R"(meeting_id: "m1" user_ids: [7, 8])");
    addRequest<RateMeetingReq>(
        "rate", 287,
        [=](MeetingServiceCmd &c) {
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
    QTest::addColumn<Send>("send");
    QTest::addColumn<int>("commandId");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QVariantList>("hostCalls");
    QTest::addColumn<QVariantList>("managerSignals");

    const QString m1 = QStringLiteral("m1"), d1 = QStringLiteral("d1"), l1 = QStringLiteral("l1");
    const QByteArray garbage("\xff\xff\xff", 3);
    im::meeting::MeetingInviteResp invited;
    invited.add_succ_members(200);
    im::meeting::GetMeetingLinkResp idle;
    *idle.mutable_meeting_link() = link("l1", "d1", 500, 0);
    const QVariant none = AccountManager::ptr(nullptr);

    const Send invite = [=](MeetingServiceCmd &c) {
        c.inviteUser(m1, d1, {200});
    };
    const Send join = [=](MeetingServiceCmd &c) {
        c.joinMeeting(m1, {}, true);
    };
    const Send mediaUrl = [=](MeetingServiceCmd &c) {
        c.joinMeeting(m1, {}, false);
    };
    const Send create = [](MeetingServiceCmd &c) {
        c.createOrUpdateMeetingLink({}, {});
    };
    const Send rename = [=](MeetingServiceCmd &c) {
        c.createOrUpdateMeetingLink(l1, {});
    };
    const Send list = [](MeetingServiceCmd &c) {
        c.listMeetingLinks();
    };
    const Send remove = [=](MeetingServiceCmd &c) {
        c.deleteMeetingLink(l1, true);
    };
    const Send get = [=](MeetingServiceCmd &c) {
        c.getMeetingLink(l1, {}, {}, d1);
    };
    const Send apply = [=](MeetingServiceCmd &c) {
        c.joinMeetingByLink(l1, {}, {}, false);
    };
    const Send withdraw = [=](MeetingServiceCmd &c) {
        c.joinMeetingByLink(l1, {}, {}, true);
    };
    const Send pending = [=](MeetingServiceCmd &c) {
        c.deletePendingAttendees(m1, {200});
    };

    auto error = [](int code, const char *text, int cmd) {
        return QVariantList{call("error", {code, QString::fromLatin1(text), cmd})};
    };
    auto linkFinished = [=](int code) {
        return QVariantList{call("getJoinMeetingLinkFinished", {none, code})};
    };
    auto cmdError = [=](int code, const char *text) {
        return QVariantList{call("cmdError", {code, QString::fromLatin1(text), d1})};
    };
    QTest::newRow("invite ok") << invite << 232 << 0 << bytes(invited)
                               << error(0, "ab_meeting_invite_ok", 232) << QVariantList();
    QTest::newRow("invite, nobody invited")
        << invite << 232 << 0 << QByteArray() << error(0, "ab_meeting_invite_fail", 232)
        << QVariantList();
    QTest::newRow("invite unreadable")
        << invite << 232 << 0 << garbage << error(-2, "ab_meeting_invite_fail", 232)
        << QVariantList();
    QTest::newRow("invite failed") << invite << 232 << 9 << QByteArray()
                                   << error(9, "ab_meeting_invite_fail", 232) << QVariantList();
    QTest::newRow("invite, keys missing")
        << invite << 232 << 23201 << garbage << QVariantList()
        << QVariantList{call("inviteMeetingMissKeys", {garbage, d1, m1})};
    QTest::newRow("join failed") << join << 234 << 9 << QByteArray()
                                 << QVariantList{call("joinMeetingFinished", {false, none, m1})}
                                 << QVariantList();
    QTest::newRow("join answer without meeting")
        << join << 234 << 0 << QByteArray()
        << QVariantList{call("joinMeetingFinished", {false, none, m1})} << QVariantList();
    QTest::newRow("media url failed")
        << mediaUrl << 234 << 9 << QByteArray() << QVariantList() << QVariantList();
    QTest::newRow("create link exceeded")
        << create << 281 << 28101 << QByteArray() << error(28101, "create_meeting_link_exceed", 281)
        << QVariantList();
    QTest::newRow("create link failed")
        << create << 281 << 9 << QByteArray() << error(9, "create_meeting_link_failed", 281)
        << QVariantList();
    QTest::newRow("create link, no link in answer")
        << create << 281 << 0 << QByteArray() << error(-2, "create_meeting_link_failed", 281)
        << QVariantList();
    QTest::newRow("rename link failed")
        << rename << 281 << 9 << QByteArray() << error(9, "update_meeting_link_failed", 281)
        << QVariantList();
    QTest::newRow("list failed") << list << 282 << 9 << QByteArray()
                                 << error(9, "general_loading_failed", 282) << QVariantList();
    QTest::newRow("list unreadable") << list << 282 << 0 << garbage
                                     << error(-2, "general_loading_failed", 282) << QVariantList();
    QTest::newRow("delete failed") << remove << 283 << 9 << QByteArray()
                                   << error(9, "delete_meeting_link_failed", 283) << QVariantList();
    QTest::newRow("get, not found") << get << 284 << 404 << QByteArray() << linkFinished(404)
                                    << cmdError(404, "no_active_meeting");
    QTest::newRow("get, no meeting") << get << 284 << 28501 << QByteArray() << linkFinished(28501)
                                     << cmdError(28501, "no_active_meeting");
    QTest::newRow("get, idle link of another owner")
        << get << 284 << 0 << bytes(idle) << linkFinished(28501)
        << cmdError(28501, "no_active_meeting");
    QTest::newRow("get, wrong password")
        << get << 284 << 2113 << QByteArray() << linkFinished(2113) << QVariantList();
    QTest::newRow("get failed") << get << 284 << 9 << QByteArray() << linkFinished(9)
                                << cmdError(9, "get_meeting_link_failed");
    QTest::newRow("get, no link in answer") << get << 284 << 0 << QByteArray() << linkFinished(-2)
                                            << cmdError(-2, "get_meeting_link_failed");
    QTest::newRow("apply failed") << apply << 285 << 9 << QByteArray()
                                  << error(9, "join_meeting_by_link_failed", 0) << QVariantList();
    QTest::newRow("withdraw failed")
        << withdraw << 285 << 9 << QByteArray() << error(9, "general_fail", 0) << QVariantList();
    QTest::newRow("delete pending failed")
        << pending << 286 << 9 << QByteArray() << error(9, "operation_failed", 0) << QVariantList();
    QTest::newRow("delete pending ok")
        << pending << 286 << 0 << QByteArray() << QVariantList() << QVariantList();
}

void TestServiceCmd::answers()
{
    QFETCH(Send, send);
    QFETCH(int, commandId);
    QFETCH(int, code);
    QFETCH(QByteArray, body);
    QFETCH(QVariantList, hostCalls);
    QFETCH(QVariantList, managerSignals);
    Fixture f;
    QVariantList emitted;
    connect(f.manager, &MeetingManager::cmdError, this, [&](int c, QString text, QString dialog) {
        emitted.append(QVariant(call("cmdError", {c, text, dialog})));
    });
    connect(f.manager, &MeetingManager::inviteMeetingMissKeys, this,
            [&](QByteArray data, QString dialog, QString meeting) {
                emitted.append(QVariant(call("inviteMeetingMissKeys", {data, dialog, meeting})));
            });
    f.account->scriptAnswer(commandId, code, body);
    send(*f.manager->meetingServiceCmd());
    QVERIFY(directorytest::hostCalls().isEmpty()); // answers arrive later, never inside the send
    testsupport::drainEvents();

    QCOMPARE(directorytest::hostCalls(), hostCalls);
    QCOMPARE(emitted, managerSignals);
}

void TestServiceCmd::getLinkOwnerRule_data()
{
    QTest::addColumn<int>("owner");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("code");
    QTest::newRow("running meeting, other owner") << 500 << 1 << 0;
    QTest::newRow("no meeting, other owner") << 500 << 0 << 28501;
    QTest::newRow("no meeting, own link") << 100 << 0 << 0;
}

void TestServiceCmd::getLinkOwnerRule()
{
    QFETCH(int, owner);
    QFETCH(int, status);
    QFETCH(int, code);
    Fixture f;
    im::meeting::GetMeetingLinkResp resp;
    *resp.mutable_meeting_link() = link("l1", "d1", owner, status);
    f.account->scriptAnswer(284, 0, bytes(resp));
    QList<QPair<int, QSharedPointer<MeetingLinkItem>>> done;
    f.manager->meetingLinkList()->getMeetingLinkItemByToken(
        QStringLiteral("l1"), QStringLiteral("t"),
        [&](int c, const QSharedPointer<MeetingLinkItem> &item) {
            done.append({c, item});
        });
    QTRY_COMPARE(done.size(), 1);

    QCOMPARE(done[0].first, code);
    QCOMPARE(done[0].second.isNull(), code != 0);
    if (done[0].second) // the answer carries neither; the request's values are written in
        QCOMPARE(done[0].second->token(), QStringLiteral("t"));
    QCOMPARE(f.lastRequest<im::meeting::GetMeetingLinkReq>(284).meeting_link().password(), "");
}

QTEST_GUILESS_MAIN(TestServiceCmd)
#include "tst_servicecmd.moc"
