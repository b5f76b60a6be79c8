#include "accountbase.h"
#include "accountmanager.h"
#include "broadcaster.h"
#include "builders.h"
#include "im.pb.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetingmanager.h"
#include "meetingmodel.h"
#include "meetingmodel_p.h"
#include "modeltestkit.h"
#include "signallog.h"
#include "testsupport.h"
#include <QtTest>
#include <memory>

using qtwebrtc::Broadcaster;
using namespace modeltest;
using namespace MeetingDefines;

namespace {
constexpr qint64 kSelf = 1001;

MeetingInfo meetingInfo(bool privateCall = false, const QByteArray &key = QByteArray(32, 'k'))
{
    MeetingInfo info;
    info.meetingId = QStringLiteral("m1");
    info.dialogId = QStringLiteral("d1");
    info.mediaServerUrl = QStringLiteral("wss://media.example.org/room?t=1");
    info.nonce = QStringLiteral("n0nce");
    info.meetingKey = key;
    info.version = 1;
    info.isPrivateCall = privateCall;
    return info;
}

// A model on its own account, with the model tester on all five lists before they fill.
struct Fixture
{
    explicit Fixture(const MeetingInfo &info = meetingInfo())
        : model(std::make_unique<MeetingModel>(info, &account))
    {
        for (MeetingAttendeeList *list : lists())
            checkers.push_back(std::make_unique<testsupport::ModelChecker>(list));
    }
    QList<MeetingAttendeeList *> lists() const
    {
        return {model->searchModel(), model->activeAttendeeList(), model->attendeeList(),
                model->pendingAttendeeList(), model->callingAttendeeList()};
    }
    MeetingAttendeeUser *user(qint64 uid, AttendeeType type = VIDEO) const
    {
        return qobject_cast<MeetingAttendeeUser *>(
            model->attendeeList()->getAttendeeInfoByUid(uid, type));
    }
    AccountBase account{kSelf, 7};
    std::unique_ptr<MeetingModel> model;
    std::vector<std::unique_ptr<testsupport::ModelChecker>> checkers;
};

QList<qint64> userIds(const MeetingAttendeeList *list)
{
    QList<qint64> ids;
    for (const MeetingAttendee &a : list->rows())
        ids << a.userId;
    return ids;
}

} // namespace

class MeetingModelTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void engineCallsRunOnEngineThreadInOrder_data();
    void engineCallsRunOnEngineThreadInOrder();
    void nothingPostedWithoutEngineOrKey_data();
    void nothingPostedWithoutEngineOrKey();
    void stoppingThreadDeletesEngine_data();
    void stoppingThreadDeletesEngine();
    void engineEndingItsThreadIsNoticed();
    void meetingTimer_data();
    void meetingTimer();
    void verifyKeyIsComputedOnce();
    void recordReplacesAttendeesUntilConnected();
    void roomAttendee_data();
    void roomAttendee();
    void privateCallTimer_data();
    void privateCallTimer();
    void sharesFromRoom();
    void malformedRoomChangesNothing_data();
    void malformedRoomChangesNothing();
    void rejectionSaysWhere_data();
    void rejectionSaysWhere();
    void borrowingListsLetGoFirst();

private:
    static MeetingModelPrivate *d(MeetingModel &m) { return MeetingModelPrivate::get(&m); }
    static void applyRoom(MeetingModel &m, const QByteArray &text) { d(m)->parseRoomInfo(text); }
    static void removeSelf(MeetingModel &m) { d(m)->removeSelf(true); }
    static void restartTimer(MeetingModel &m) { d(m)->startMeetingTimer(); }
    static int timerId(const MeetingModel &m)
    {
        return MeetingModelPrivate::get(&m)->m_meetingTimerId;
    }
    static QVariantList snapshot(const Fixture &f);
};

void MeetingModelTest::init()
{
    AccountManager::getInstance()->reset();
    Broadcaster::clearCalls();
    QCOMPARE(Broadcaster::aliveCount(), 0);
}

void MeetingModelTest::engineCallsRunOnEngineThreadInOrder_data()
{
    QTest::addColumn<bool>("privateCall");
    QTest::addColumn<int>("meetingType");
    QTest::addColumn<QList<bool>>("flags"); // muteVideo, muteVoice, isSpeaker
    QTest::addColumn<QVariantList>("callArgs");
    const QString url = meetingInfo().mediaServerUrl, id = QStringLiteral("m1");
    QTest::addRow("meeting speaker") << false << 2 << QList<bool>{false, true, true}
                                     << QVariantList{url, false, true, true, false, true, 16, id};
    QTest::addRow("private call listener, meeting type 1")
        << true << 1 << QList<bool>{true, false, false}
        << QVariantList{url, true, false, false, true, false, 16, id};
}

void MeetingModelTest::engineCallsRunOnEngineThreadInOrder()
{
    QFETCH(bool, privateCall);
    QFETCH(int, meetingType);
    QFETCH(QList<bool>, flags);
    QFETCH(QVariantList, callArgs);
    Fixture f(meetingInfo(privateCall));
    f.account.accountSettingModel()->setSupportedMeetingType(meetingType);
    MeetingManager manager(&f.account);
    f.account.setMeetingManager(&manager);
    QSignalSpy bytes(&manager, &MeetingManager::addBytes);

    f.model->setDevices(QStringLiteral("x"), QStringLiteral("x"), QStringLiteral("x"));
    Broadcaster *engine = Broadcaster::last();
    f.model->setDevices(QStringLiteral("cam"), QStringLiteral("mic"), QStringLiteral("spk"));
    f.model->createCall(flags[0], flags[1], flags[2]);
    engine->emitFromOwnThread([](Broadcaster *b) { emit b->sigUseBytes(512, true); });
    engine->sync();
    testsupport::drainEvents();

    // A second setDevices reuses the engine: one init, one relay of each signal.
    QCOMPARE(Broadcaster::aliveCount(), 1);
    QCOMPARE(bytes, (QList<QVariantList>{{qint64(512), true}}));
    const QList<Broadcaster::Call> calls = Broadcaster::calls().mid(4);
    QStringList names;
    for (const Broadcaster::Call &c : Broadcaster::calls()) {
        names << c.name;
        QVERIFY(c.thread == f.model->engineThread() && c.engine == engine);
    }
    const QString devices =
        QStringLiteral("setVideoRecordingDevice setAudioPlayoutDevice setAudioRecordingDevice ");
    QCOMPARE(names.join(QLatin1Char(' ')), QStringLiteral("init ") + devices + devices +
                                               QStringLiteral("setEncryptionKey createCall"));
    QVERIFY(engine->thread() != QThread::currentThread());
    QCOMPARE(f.model->engineThread()->objectName(), QStringLiteral("meeting_broadcaster_thread"));
    QCOMPARE(calls[0].args + calls[1].args + calls[2].args,
             (QVariantList{QStringLiteral("cam"), QStringLiteral("spk"), QStringLiteral("mic")}));
    QCOMPARE(calls[3].args, (QVariantList{32, int(qtwebrtc::kEncryptionKeyValue)}));
    QCOMPARE(calls[4].args, callArgs);
    f.account.setMeetingManager(nullptr);

    MeetingAttendeeUser *self = f.user(kSelf);
    QVERIFY(self);
    QCOMPARE((QList<int>{self->muteVideo(), self->muteVideoLocal(), self->voiceDevStatusLast(),
                         self->participationStatus()}),
             (QList<int>{flags[0], flags[0], !flags[1], flags[2] ? SPEAKER : LISTENER}));
    f.model->createCall(!flags[0], flags[1], flags[2]);
    QCOMPARE(f.model->attendeeList()->count(), 1);
    QCOMPARE(self->muteVideo(), int(!flags[0]));
}

void MeetingModelTest::nothingPostedWithoutEngineOrKey_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<bool>("namesSetDevices");
    QTest::addRow("before setDevices") << QStringLiteral("none") << QByteArray(32, 'k') << true;
    QTest::addRow("empty key") << QStringLiteral("running") << QByteArray() << false;
    QTest::addRow("after the thread stopped")
        << QStringLiteral("stopped") << QByteArray(32, 'k') << true;
}

void MeetingModelTest::nothingPostedWithoutEngineOrKey()
{
    QFETCH(QString, engine);
    QFETCH(QByteArray, key);
    QFETCH(bool, namesSetDevices);
    Fixture f(meetingInfo(false, key));
    if (engine != QLatin1String("none")) {
        f.model->setDevices({}, {}, {});
        Broadcaster::last()->sync();
    }
    if (engine == QLatin1String("stopped"))
        removeSelf(*f.model);
    Broadcaster::clearCalls();
    MeetingLog log;

    f.model->createCall(false, false, true);
    f.model->createCall(false, false, true); // a retry must not repeat the advice
    f.model->leave(false);                   // no attendees yet
    if (!f.model->hasEngine()) {
        f.model->closeWebrtc();
        QCOMPARE(f.model->getMaxDecibel(), -1);
    } else {
        Broadcaster::last()->sync();
    }
    QVERIFY(Broadcaster::calls().isEmpty());
    QVERIFY(log.contains(QtDebugMsg, QStringLiteral("meeting key is empty")));
    const QString advice = QString::number(QtWarningMsg) + QStringLiteral(" createCall: no media");
    QCOMPARE(log.lines.filter(advice).size(), namesSetDevices ? 1 : 0);
    QCOMPARE(f.model->attendeeList()->count(), 0);
}

void MeetingModelTest::stoppingThreadDeletesEngine_data()
{
    QTest::addColumn<QString>("how");
    for (const char *how : {"own leave", "call ended", "removeSelf", "destruction"})
        QTest::addRow("%s", how) << QString::fromLatin1(how);
}

void MeetingModelTest::stoppingThreadDeletesEngine()
{
    QFETCH(QString, how);
    auto f = std::make_unique<Fixture>();
    f->model->setDevices({}, {}, {});
    QPointer<Broadcaster> engine = Broadcaster::last();
    engine->sync();
    f->model->setState(CONNECTED);
    AccountManager::getInstance()->setMeetingModel(f->model.get());
    QSignalSpy state(f->model.get(), &MeetingModel::stateChanged);
    QSignalSpy destroying(f->model.get(), &MeetingModel::startDestroy);
    // Posted right before the stop: still reaches the engine.
    f->model->setDevices({}, {}, QStringLiteral("last"));

    if (how == QLatin1String("own leave") || how == QLatin1String("call ended")) {
        const bool leave = how == QLatin1String("own leave");
        engine->emitFromOwnThread([leave](Broadcaster *b) {
            if (leave)
                emit b->sigNotifyLeave(kSelf);
            else
                emit b->sigNotifyStateChange(qtwebrtc::CALL_ENDED);
        });
        engine->sync();
        testsupport::drainEvents();
    } else if (how == QLatin1String("removeSelf")) {
        removeSelf(*f->model);
    } else {
        f.reset();
    }

    QVERIFY(engine.isNull());
    QCOMPARE(Broadcaster::aliveCount(), 0);
    QCOMPARE(Broadcaster::calls(QStringLiteral("setAudioPlayoutDevice")).last().args,
             QVariantList{QStringLiteral("last")});
    const bool reset = how != QLatin1String("call ended");
    QCOMPARE(state.count(), reset ? 1 : 0);
    QCOMPARE(AccountManager::getInstance()->meetingModel() == nullptr, reset);
    QCOMPARE(destroying.count(), f ? 0 : 1);
    if (f)
        QVERIFY(!f->model->hasEngine() && !f->model->engineThread()->isRunning());
}

void MeetingModelTest::engineEndingItsThreadIsNoticed()
{
    // Run under the sanitizers: a post to the engine deleted with its thread fails here.
    Fixture f;
    f.model->setDevices({}, {}, {});
    QPointer<Broadcaster> engine = Broadcaster::last();
    engine->sync();
    engine->emitFromOwnThread([](Broadcaster *) { QThread::currentThread()->quit(); });
    // Ended, and the engine deleted, before the model's thread has heard of it.
    QDeadlineTimer deadline(5000);
    while (!f.model->engineThread()->isFinished() && !deadline.hasExpired())
        QThread::msleep(1);
    QVERIFY(f.model->engineThread()->isFinished());
    f.model->setMirror(!f.model->mirror());
    QCOMPARE(f.model->getMaxDecibel(), -1);
    f.model->setDevice(QStringLiteral("mic"), MeetingDefines::DEVICE_AUDIO_IN);
    QTRY_VERIFY(!f.model->hasEngine());
    QCOMPARE(Broadcaster::aliveCount(), 0);

    // A fresh engine serves again.
    f.model->setDevices({}, {}, QStringLiteral("again"));
    QVERIFY(f.model->hasEngine());
    Broadcaster::last()->sync();
    QCOMPARE(Broadcaster::calls(QStringLiteral("setAudioPlayoutDevice")).last().args,
             QVariantList{QStringLiteral("again")});
}

void MeetingModelTest::meetingTimer_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<int>("restartAfter");
    QTest::addColumn<QString>("text");
    QTest::addRow("one second") << 1 << -1 << QStringLiteral("00:00:01");
    QTest::addRow("restart keeps counting") << 2 << 1 << QStringLiteral("00:00:02");
    QTest::addRow("an hour, a minute, a second") << 3661 << -1 << QStringLiteral("01:01:01");
}

void MeetingModelTest::meetingTimer()
{
    QFETCH(int, ticks);
    QFETCH(int, restartAfter);
    QFETCH(QString, text);
    Fixture f;
    restartTimer(*f.model);
    QSignalSpy changed(f.model.get(), &MeetingModel::meetingTimeChanged);
    QTimerEvent foreign(timerId(*f.model) + 1000);
    QCoreApplication::sendEvent(f.model.get(), &foreign);
    for (int i = 0; i < ticks; ++i) {
        if (i == restartAfter)
            restartTimer(*f.model);
        QTimerEvent tick(timerId(*f.model));
        QCoreApplication::sendEvent(f.model.get(), &tick);
    }
    QCOMPARE(f.model->meetingTime(), text);
    QCOMPARE(changed.count(), ticks);
    QCOMPARE(changed.last(), QVariantList{text});
}

void MeetingModelTest::verifyKeyIsComputedOnce()
{
    MeetingInfo info = meetingInfo();
    info.nonce.clear();
    Fixture f(info);
    QVERIFY(f.model->verifyKey().isEmpty());
    QSignalSpy nonce(f.model.get(), &MeetingModel::nonceChanged);
    f.model->setMeeting(meetingInfo());
    QCOMPARE(nonce, (QList<QVariantList>{{QStringLiteral("n0nce")}}));
    const QByteArray digest = "67b98d42d867e5ac5fe76f35023745cba81f991900b15fefbe7e8a5b1b28babc";
    QCOMPARE(f.model->verifyKey().toHex(), digest);
    info.nonce = QStringLiteral("other");
    f.model->setMeeting(info);
    QCOMPARE(f.model->verifyKey().toHex(), digest);
}

void MeetingModelTest::recordReplacesAttendeesUntilConnected()
{
    Fixture f;
    QSignalSpy onCall(f.model.get(), &MeetingModel::alreadyOnCall);
    MeetingInfo info = meetingInfo();
    info.attendees = {MeetingAttendee(kSelf, 7, 3, 0, 0, true),
                      MeetingAttendee(5, 0, 3, 0, 0, true)};
    f.model->setMeeting(info);
    QCOMPARE(onCall.count(), 1);
    QCOMPARE(userIds(f.model->activeAttendeeList()).size(), 2);

    info.version = 2;
    info.attendees.removeFirst();
    f.model->setMeeting(info);
    QCOMPARE(AccountManager::getInstance()->calls(QStringLiteral("meetingBeFinished")).size(), 1);
    QCOMPARE(userIds(f.model->activeAttendeeList()), QList<qint64>{5});

    applyRoom(*f.model, roomText({roomEntry(kSelf), roomEntry(5)}));
    info.version = 3;
    info.attendees.clear();
    info.disableSpeakingPrivileges = true;
    f.model->setMeeting(info);
    QCOMPARE(f.model->attendeeList()->count(), 2);
    QVERIFY(!f.model->canSpeakingPrivileges());
}

void MeetingModelTest::roomAttendee_data()
{
    QTest::addColumn<QByteArray>("own");
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QList<int>>("expected"); // voice, video, score, state, participation, host
    const QByteArray listener = roomEntry(5, {}, "CALLING").replace("speaker", "listener");
    const QByteArray none;
    QTest::addRow("no mute, no score") << none << roomEntry(5) << QList<int>{0, 1, 3, 1, 0, 0};
    QTest::addRow("empty mute, null score")
        << none << roomEntry(5, "\"mute\":{},\"score\":null") << QList<int>{0, 1, 3, 1, 0, 0};
    QTest::addRow("numbers, float truncated")
        << none << roomEntry(5, "\"mute\":{\"audio\":1,\"video\":0},\"score\":2.9")
        << QList<int>{1, 0, 2, 1, 0, 0};
    QTest::addRow("booleans as numbers")
        << none << roomEntry(5, "\"mute\":{\"audio\":true,\"video\":false},\"score\":false")
        << QList<int>{1, 0, 0, 1, 0, 0};
    QTest::addRow("calling listener") << none << listener << QList<int>{0, 1, 3, 5, 3, 0};
    QTest::addRow("raised hand before role")
        << none << QByteArray(listener).replace("\"raiseHand\":0", "\"raiseHand\":true")
        << QList<int>{0, 1, 3, 5, 1, 0};
    QTest::addRow("unknown status")
        << none << roomEntry(5, {}, "active") << QList<int>{0, 1, 3, 0, 0, 0};
    QTest::addRow("host on own entry")
        << QByteArray("\"host\":true") << roomEntry(5) << QList<int>{0, 1, 3, 1, 0, 1};
    QTest::addRow("host not a boolean")
        << QByteArray("\"host\":1") << roomEntry(5) << QList<int>{0, 1, 3, 1, 0, 0};
    QTest::addRow("host on another entry")
        << none << roomEntry(5, "\"host\":true") << QList<int>{0, 1, 3, 1, 0, 0};
}

void MeetingModelTest::roomAttendee()
{
    QFETCH(QByteArray, own);
    QFETCH(QByteArray, entry);
    QFETCH(QList<int>, expected);
    Fixture f;
    QSignalSpy host(f.model.get(), &MeetingModel::isHostChanged);
    applyRoom(*f.model, roomText({roomEntry(kSelf, own), entry}));
    MeetingAttendeeUser *u = f.user(5);
    QVERIFY(u);
    QCOMPARE((QList<int>{u->muteVoice(), u->muteVideo(), u->networkScore(), u->state(),
                         u->participationStatus(), f.model->isHost()}),
             expected);
    QCOMPARE(host.count(), expected.last());
    QCOMPARE(f.model->state(), int(CONNECTED));
}

void MeetingModelTest::privateCallTimer_data()
{
    QTest::addColumn<bool>("privateCall");
    QTest::addColumn<qint64>("ownInviter");
    QTest::addColumn<QByteArray>("callee");
    QTest::addColumn<bool>("timerRuns");
    QTest::addColumn<QList<QVariantList>>("statuses");
    QTest::addRow("placed, callee ringing")
        << true << kSelf << QByteArray("CALLING") << false << QList<QVariantList>{{int(INVITING)}};
    QTest::addRow("placed, callee answered")
        << true << kSelf << QByteArray("ACTIVE") << true << QList<QVariantList>{{int(ACTIVE)}};
    QTest::addRow("received") << true << qint64(5) << QByteArray("ACTIVE") << true
                              << QList<QVariantList>{};
    QTest::addRow("group meeting")
        << false << kSelf << QByteArray("CALLING") << true << QList<QVariantList>{};
}

void MeetingModelTest::privateCallTimer()
{
    QFETCH(bool, privateCall);
    QFETCH(qint64, ownInviter);
    QFETCH(QByteArray, callee);
    QFETCH(bool, timerRuns);
    QFETCH(QList<QVariantList>, statuses);
    Fixture f(meetingInfo(privateCall));
    QSignalSpy status(f.model.get(), &MeetingModel::privateCallStatus);
    const QByteArray own = roomEntry(kSelf, "\"host\":true", "ACTIVE", ownInviter);

    applyRoom(*f.model, roomText({own, roomEntry(5, {}, callee)}));
    QCOMPARE(f.model->state(), int(CONNECTED));
    QCOMPARE(timerId(*f.model) != 0, timerRuns);
    QCOMPARE(status, statuses);
    if (!timerRuns) { // the answer starts the clock
        applyRoom(*f.model, roomText({own, roomEntry(5)}));
        QVERIFY(timerId(*f.model) != 0);
        QCOMPARE(status.last(), QVariantList{int(ACTIVE)});
    }
}

void MeetingModelTest::sharesFromRoom()
{
    Fixture f;
    f.account.setCurrentTimestamp(42);
    QSignalSpy created(f.model.get(), &MeetingModel::createShareSuccess);
    QSignalSpy joins(f.model.get(), &MeetingModel::userJoinData);
    // Whiteboards seen before the own entry wait for it and go out in owner order.
    applyRoom(*f.model, roomText({roomEntry(300, share("whiteBoard", "w3")),
                                  roomEntry(200, share("whiteBoard", "w2")),
                                  roomEntry(kSelf, share("screen", "s1")),
                                  roomEntry(400, share("whiteBoard", "w4"))}));
    QList<QVariantList> announced, joined;
    for (auto [uid, id] : {std::pair(200, "w2"), std::pair(300, "w3"), std::pair(400, "w4")})
        announced << QVariantList{int(WHITEBOARD_SHARE), qlonglong(uid), QString::fromLatin1(id)};
    for (const char *id : {"w3", "w2", "w4"})
        joined << QVariantList{qlonglong(42), QString::fromLatin1(id)};
    QCOMPARE(created, announced);
    QCOMPARE(joins, joined);
    QVERIFY(f.model->isShared() && f.user(kSelf, SHARESCREEN));

    // An empty share list closes a screen share but keeps a whiteboard.
    applyRoom(*f.model,
              roomText({roomEntry(kSelf, "\"share\":[]"), roomEntry(300, "\"share\":[]")}));
    QVERIFY(!f.user(kSelf, SHARESCREEN) && f.user(300, WHITEBOARD) && !f.model->isShared());

    // A share without an id could never be closed, so it is not listed.
    created.clear();
    applyRoom(*f.model, roomText({roomEntry(kSelf), roomEntry(500, share("whiteBoard", ""))}));
    QVERIFY(f.user(500) && !f.user(500, WHITEBOARD));
    QCOMPARE(created.count(), 0);

    Fixture other;
    other.account.accountSettingModel()->setSupportedMeetingType(1);
    QSignalSpy none(other.model.get(), &MeetingModel::createShareSuccess);
    applyRoom(*other.model, roomText({roomEntry(kSelf, share("screen", "s1")),
                                      roomEntry(5, share("whiteBoard", "w5"))}));
    QCOMPARE(other.model->attendeeList()->count(), 2);
    QCOMPARE(none.count(), 0);
}

QVariantList MeetingModelTest::snapshot(const Fixture &f)
{
    const MeetingModel &m = *f.model;
    const MeetingModelPrivate *p = MeetingModelPrivate::get(&m);
    QVariantList state{p->m_muteAllAudio, p->m_muteAllVideo, p->m_webSocketConnected,
                       p->m_meetingTimerId, QStringList(p->m_whiteboardShareIds)};
    const QMetaObject *meta = m.metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        if (!(meta->property(i).metaType().flags() & QMetaType::PointerToQObject))
            state << meta->property(i).read(&m);
    }
    for (const MeetingAttendeeList *list : f.lists()) {
        for (const MeetingAttendee &a : list->rows()) {
            const MeetingAttendeeUser *u = a.user;
            state << a.userId << a.status << a.role << u->type() << u->muteVoice() << u->muteVideo()
                  << u->networkScore() << u->participationStatus();
        }
    }
    return state;
}

void MeetingModelTest::malformedRoomChangesNothing_data()
{
    QTest::addColumn<QByteArray>("text");
    for (const auto &row : malformedRooms())
        QTest::addRow("%s", row.first) << row.second;
}

void MeetingModelTest::malformedRoomChangesNothing()
{
    QFETCH(QByteArray, text);
    Fixture f;
    applyRoom(*f.model, roomText({roomEntry(kSelf), roomEntry(5, share("screen", "s5"))}));
    f.model->search(QString());
    const QVariantList before = snapshot(f);
    QList<QObject *> objects{f.model.get()};
    for (MeetingAttendeeList *list : f.lists())
        objects << list;
    std::vector<std::unique_ptr<SignalLog>> signalLogs;
    for (QObject *o : objects)
        signalLogs.push_back(std::make_unique<SignalLog>(o));
    MeetingLog log;

    applyRoom(*f.model, text);
    QCOMPARE(snapshot(f), before);
    for (const auto &signalLog : signalLogs)
        QCOMPARE(signalLog->take(), QByteArray());
    QVERIFY(log.contains(QtWarningMsg, QStringLiteral("room information rejected")));
}

void MeetingModelTest::rejectionSaysWhere_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason");
    const QByteArray permissions = "\"permissions\":{\"whoCanShare\":\"host\"}";
    const QByteArray own = roomEntry(kSelf);
    QTest::addRow("room member") << roomText({own}, "\"muteAll\":{\"audio\":true}")
                                 << "muteAll: \"themselves_operation_audio\" must be a boolean";
    QTest::addRow("attendee") << roomText({own, "7"}, permissions) << "attendee 1: not an object";
    QTest::addRow("attendee member")
        << roomText({own, roomEntry(5).replace("\"id\":5", "\"id\":\"5\"")}, permissions)
        << "attendee 1: \"id\" must be a number in range";
    QTest::addRow("mute member") << roomText({roomEntry(kSelf, "\"mute\":{\"audio\":0}")})
                                 << "attendee 0: mute: \"video\" must be";
    QTest::addRow("share after mute")
        << roomText({own, roomEntry(5, "\"mute\":{\"audio\":0,\"video\":0},"
                                       "\"share\":[{\"type\":\"screen\"}]")})
        << "attendee 1: share: \"id\" must be a string";
}

// The reason names the member that broke the text, and nothing the reader left behind.
void MeetingModelTest::rejectionSaysWhere()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    Fixture f;
    MeetingLog log;
    applyRoom(*f.model, text);
    QVERIFY2(log.contains(QtWarningMsg, QStringLiteral("room information rejected: ") + reason),
             qPrintable(log.lines.join(QLatin1Char('\n'))));
}

void MeetingModelTest::borrowingListsLetGoFirst()
{
    // Run under the sanitizers: a list left holding a deleted live object fails here.
    Fixture f;
    applyRoom(*f.model, roomText({roomEntry(kSelf), roomEntry(5), roomEntry(6, {}, "CALLING")}));
    f.model->search(QString());
    d(*f.model)->refreshDerivedLists();
    applyRoom(*f.model, roomText({roomEntry(kSelf)}));
    for (MeetingAttendeeList *list : f.lists())
        QVERIFY(!userIds(list).contains(5) && !userIds(list).contains(6));

    Fixture g;
    g.model->setMeeting(testsupport::serverMeeting("m1", 2, {{kSelf, 0}}, "d2", {{9, 0}}), {},
                        true);
    g.model->search(QString());
    QVERIFY(userIds(g.model->searchModel()).contains(9));
    g.model->setMeeting(testsupport::serverMeeting("m1", 3, {{kSelf, 0}}, "d2"), {}, true);
    QVERIFY(!userIds(g.model->searchModel()).contains(9));
}

QTEST_MAIN(MeetingModelTest)
#include "tst_meetingmodel.moc"
