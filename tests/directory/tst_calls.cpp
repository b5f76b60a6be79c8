// A whole call through the real classes, the host's stand-in and the engine's stand-in.
#include "broadcaster.h"
#include "directoryfixture.h"
#include "meeting.pb.h"
#include "meetingmodel.h"
#include "meetingservicecmd.h"
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

using namespace directorytest;
using qtwebrtc::Broadcaster;

namespace {

QByteArray joinAnswer(const QString &url, const im::Meeting &meeting)
{
    im::meeting::JoinMeetingResp resp;
    resp.set_media_server_url(url.toStdString());
    *resp.mutable_meeting() = meeting;
    return bytes(resp);
}

QByteArray entry(qint64 id, qint64 inviter, const char *status)
{
    return QStringLiteral(R"({"id":%1,"inviter":%2,"status":"%3","role":"speaker",)"
                          R"("raiseHand":0,"invitingSpeak":0,"mute":{"audio":0,"video":0}})")
        .arg(id)
        .arg(inviter)
        .arg(QLatin1String(status))
        .toUtf8();
}

QByteArray room(const QByteArray &a, const QByteArray &b)
{
    return "{\"attendees\":[" + a + ',' + b + "]}";
}

// The engine calls of interest, in the order the engine ran them, and that it ran them all on
// the model's engine thread.
QString engineCalls(const MeetingModel *model, const QStringList &names)
{
    QStringList out;
    for (const Broadcaster::Call &c : Broadcaster::calls()) {
        if (names.contains(c.name))
            out << (c.thread == model->engineThread() ? c.name : c.name + QStringLiteral("@main"));
    }
    return out.join(QLatin1Char(','));
}

const QStringList callSetUp{QStringLiteral("init"), QStringLiteral("setEncryptionKey"),
                            QStringLiteral("createCall")};

} // namespace

class TestCalls : public QObject
{
    Q_OBJECT
private slots:
    void init() { Broadcaster::clearCalls(); }
    void incomingCall();
    void outgoingPrivateCall();
};

void TestCalls::incomingCall()
{
    Fixture f;
    const QString d1 = QStringLiteral("d1"), m1 = QStringLiteral("m1");
    const QString url = QStringLiteral("wss://127.0.0.1:1/?token=abc");
    f.account->scriptAnswer(MeetingServiceCmd::JoinMeeting, 0,
                            joinAnswer(url, serverMeeting("m1", 1, {{100, 1}, {500, 3}})));

    // The host hands over the meeting that calls us, with the nonce and key it keeps.
    MeetingInfo info = record(
        "m1", 1, {{500, 0, MeetingDefines::ACTIVE, 0}, {100, 0, MeetingDefines::INVITING, 500}});
    info.nonce = QStringLiteral("n1");
    info.meetingKey = QByteArray(32, 'k');
    info.isPrivateCall = true;
    f.manager->updateMeeting(d1, info, MeetingList::NEW_MEETING);
    MeetingModel *model = f.manager->meetingList(d1, false)->getMeetingModel(m1);
    QVERIFY(model);
    f.name(model, "call");
    QVERIFY(f.take().endsWith(QStringLiteral("receiveMeetingInvite(call)")));
    QCOMPARE(f.lastRequest<im::meeting::JoinMeetingReq>(MeetingServiceCmd::JoinMeeting).nonce(),
             "n1");

    // The prompt rings before the media server is known; the report waits for it.
    model->reportRinging(true);
    QTRY_COMPARE(model->mediaServerUrl(), url);

    // The user accepts.
    f.account->scriptAnswer(MeetingServiceCmd::JoinMeeting, 0,
                            joinAnswer(url, serverMeeting("m1", 2, {{100, 3}, {500, 3}})));
    QVERIFY(model->joinMeeting());
    QTRY_COMPARE(model->state(), int(MeetingDefines::CREATED));
    QVERIFY(f.take().endsWith(QStringLiteral("joinMeetingFinished(true,call,m1)")));

    model->setDevices(QStringLiteral("cam"), QStringLiteral("mic"), QStringLiteral("speaker"));
    model->createCall(false, false, true);
    Broadcaster *engine = Broadcaster::last();
    QVERIFY(engine);
    engine->sync();
    QCOMPARE(engineCalls(model, callSetUp), QStringLiteral("init,setEncryptionKey,createCall"));
    QCOMPARE(Broadcaster::calls(QStringLiteral("createCall")).at(0).args.at(0).toString(), url);

    // The engine lets us in; the meeting time starts running.
    const QByteArray roomInfo = room(entry(100, 500, "ACTIVE"), entry(500, 0, "ACTIVE"));
    engine->emitFromOwnThread([=](Broadcaster *b) { emit b->sigNotifyJoin(100, 500, roomInfo); });
    QTRY_COMPARE(model->state(), int(MeetingDefines::CONNECTED));
    QSignalSpy ticks(model, &MeetingModel::meetingTimeChanged);
    QVERIFY(ticks.wait(3000));

    model->leave(false);
    engine->sync();
    QCOMPARE(Broadcaster::calls().last().name, QStringLiteral("leave"));
    QCOMPARE(Broadcaster::calls().last().args, QVariantList{false});

    // The engine reports our own leave: the engine and its thread go, the call is over.
    engine->emitFromOwnThread([](Broadcaster *b) { emit b->sigNotifyLeave(100); });
    QTRY_COMPARE(model->state(), int(MeetingDefines::NOTCREATE));
    QVERIFY(!model->engineThread()->isRunning());
    QVERIFY(!model->hasEngine());
    QCOMPARE(Broadcaster::aliveCount(), 0);
}

void TestCalls::outgoingPrivateCall()
{
    Fixture f;
    const QString d2 = QStringLiteral("d2"), m2 = QStringLiteral("m2");
    f.manager->createMeeting(d2, 500);
    MeetingList *list = f.manager->meetingList(d2, false);
    QPointer<MeetingModel> model = list->getMeetingModel(d2);
    QVERIFY(model && model->isPrivateCall());
    QCOMPARE(AccountManager::getInstance()->meetingModel(), model.data());

    // The host sends the call's chat message, and brings the server's record of the meeting.
    const QVariantMap answer{{QStringLiteral("ok"), true}};
    f.account->setSyncServer([=](int, const QByteArray &) { return QVariantMap(answer); });
    im::Message message;
    message.set_client_id("c1");
    QCOMPARE(f.manager->meetingServiceCmd()->createMeeting(message, {}), answer);
    MeetingInfo info = record(
        "m2", 1, {{100, 7, MeetingDefines::ACTIVE, 0}, {500, 0, MeetingDefines::INVITING, 100}},
        "d2");
    info.meetingKey = QByteArray(32, 'k');
    info.mediaServerUrl = QStringLiteral("wss://media/?t=2");
    info.isPrivateCall = true;
    f.name(model, "call");
    f.take();
    f.manager->updateMeeting(d2, info, MeetingList::CREATE_MEETING);
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->getMeetingModel(m2), model.data());
    QCOMPARE(model->state(), int(MeetingDefines::CREATED));
    QCOMPARE(f.take(), QStringLiteral("createMeetingFinished(0,call,d2,)"));

    model->setDevices({}, {}, {});
    model->createCall(true, false, true);
    Broadcaster *engine = Broadcaster::last();
    engine->sync();
    QCOMPARE(engineCalls(model, callSetUp), QStringLiteral("init,setEncryptionKey,createCall"));
    const QVariantList call = Broadcaster::calls(QStringLiteral("createCall")).at(0).args;
    QCOMPARE(call.at(3), QVariant(false)); // not a group meeting

    // In, while the callee is still being called.
    QSignalSpy status(model, &MeetingModel::privateCallStatus);
    const QByteArray roomInfo = room(entry(100, 100, "ACTIVE"), entry(500, 100, "CALLING"));
    engine->emitFromOwnThread([=](Broadcaster *b) { emit b->sigNotifyJoin(100, 100, roomInfo); });
    QTRY_COMPARE(model->state(), int(MeetingDefines::CONNECTED));
    QCOMPARE(status, QList<QVariantList>{{int(MeetingDefines::INVITING)}});

    // Nobody answers: the call is withdrawn with the stored client id, and the engine ends it.
    f.manager->cancelCall({}, d2);
    QCOMPARE(
        f.lastRequest<im::meeting::RejectMeetingReq>(MeetingServiceCmd::RejectMeeting).client_id(),
        "c1");
    engine->emitFromOwnThread(
        [](Broadcaster *b) { emit b->sigNotifyStateChange(qtwebrtc::CALL_ENDED); });
    QTRY_VERIFY(!model->engineThread()->isRunning());
    QCOMPARE(Broadcaster::aliveCount(), 0);
}

QTEST_MAIN(TestCalls)
#include "tst_calls.moc"
