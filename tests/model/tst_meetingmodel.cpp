#include "accountbase.h"
#include "accountmanager.h"
#include "broadcaster.h"
#include "im.pb.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetingmanager.h"
#include "meetingmodel.h"
#include "modeltestkit.h"
#include "testsupport.h"
#include <QtTest>
#include <memory>

using qtwebrtc::Broadcaster;
using namespace modeltest;

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

QStringList callNames()
{
    QStringList names;
    for (const Broadcaster::Call &c : Broadcaster::calls())
        names << c.name;
    return names;
}

// A model on its own account, with the model tester on all five lists before they fill.
struct Fixture
{
    explicit Fixture(const MeetingInfo &info = meetingInfo())
        : model(std::make_unique<MeetingModel>(info, &account))
    {
        for (MeetingAttendeeList *list :
             {model->searchModel(), model->activeAttendeeList(), model->attendeeList(),
              model->pendingAttendeeList(), model->callingAttendeeList()})
            checkers.push_back(std::make_unique<testsupport::ModelChecker>(list));
    }
    AccountBase account{kSelf, 7};
    std::unique_ptr<MeetingModel> model;
    std::vector<std::unique_ptr<testsupport::ModelChecker>> checkers;
};
} // namespace

class MeetingModelTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void engineCallsRunOnEngineThreadInOrder_data();
    void engineCallsRunOnEngineThreadInOrder();
    void refusedCallPostsNothing_data();
    void refusedCallPostsNothing();
    void nothingPostedWithoutEngine();
    void secondSetDevicesKeepsOneEngine();
    void stoppingThreadDeletesEngine_data();
    void stoppingThreadDeletesEngine();
    void meetingTimer_data();
    void meetingTimer();
    void meetingTimerRestartKeepsCounting();
    void verifyKeyIsComputedOnce();
    void serverMessage_data();
    void serverMessage();
    void clearResetsModel();

private:
    static void removeSelf(MeetingModel &m, bool entry) { m.removeSelf(entry); }
    static void startMeetingTimer(MeetingModel &m) { m.startMeetingTimer(); }
    static int meetingTimerId(const MeetingModel &m) { return m.m_meetingTimerId; }
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
    const QString url = meetingInfo().mediaServerUrl;
    const QString id = QStringLiteral("m1");
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

    f.model->setDevices(QStringLiteral("cam"), QStringLiteral("mic"), QStringLiteral("spk"));
    f.model->createCall(flags[0], flags[1], flags[2]);
    Broadcaster *engine = Broadcaster::last();
    QVERIFY(engine);
    engine->sync();

    const QStringList expected =
        QStringLiteral("init setVideoRecordingDevice setAudioPlayoutDevice "
                       "setAudioRecordingDevice setEncryptionKey createCall")
            .split(QLatin1Char(' '));
    QCOMPARE(callNames(), expected);
    const QList<Broadcaster::Call> calls = Broadcaster::calls();
    for (const Broadcaster::Call &c : calls) {
        QVERIFY(c.thread == f.model->engineThread());
        QVERIFY(c.engine == engine);
    }
    QVERIFY(engine->thread() != QThread::currentThread());
    QCOMPARE(f.model->engineThread()->objectName(), QStringLiteral("meeting_broadcaster_thread"));
    QCOMPARE(calls[1].args, QVariantList{QStringLiteral("cam")});
    QCOMPARE(calls[2].args, QVariantList{QStringLiteral("spk")});
    QCOMPARE(calls[3].args, QVariantList{QStringLiteral("mic")});
    QCOMPARE(calls[4].args, (QVariantList{32, int(qtwebrtc::kEncryptionKeyValue)}));
    QCOMPARE(calls[5].args, callArgs);
}

void MeetingModelTest::refusedCallPostsNothing_data()
{
    QTest::addColumn<bool>("startEngine");
    QTest::addColumn<QByteArray>("key");
    QTest::addRow("before setDevices") << false << QByteArray(32, 'k');
    QTest::addRow("empty key") << true << QByteArray();
}

void MeetingModelTest::refusedCallPostsNothing()
{
    QFETCH(bool, startEngine);
    QFETCH(QByteArray, key);
    Fixture f(meetingInfo(false, key));
    if (startEngine)
        f.model->setDevices({}, {}, {});
    if (f.model->hasEngine())
        Broadcaster::last()->sync();
    Broadcaster::clearCalls();
    MeetingLog log;

    f.model->createCall(false, false, true);
    if (f.model->hasEngine())
        Broadcaster::last()->sync();

    QVERIFY(Broadcaster::calls().isEmpty());
    QVERIFY(log.contains(QtDebugMsg, QStringLiteral("meeting key is empty")));
    QCOMPARE(f.model->attendeeList()->count(), 0);
}

void MeetingModelTest::nothingPostedWithoutEngine()
{
    Fixture f;
    f.model->leave(false);
    f.model->closeWebrtc();
    QCOMPARE(f.model->getMaxDecibel(), -1);
    QVERIFY(Broadcaster::calls().isEmpty());

    f.model->setDevices({}, {}, {});
    Broadcaster::last()->sync();
    removeSelf(*f.model, false);
    Broadcaster::clearCalls();

    f.model->closeWebrtc();
    f.model->createCall(false, false, true);
    QVERIFY(!f.model->hasEngine());
    QVERIFY(!f.model->engineThread()->isRunning());
    QCOMPARE(f.model->getMaxDecibel(), -1);
    QVERIFY(Broadcaster::calls().isEmpty());
}

void MeetingModelTest::secondSetDevicesKeepsOneEngine()
{
    Fixture f;
    MeetingManager manager(&f.account);
    f.account.setMeetingManager(&manager);
    f.model->setDevices(QStringLiteral("a"), {}, {});
    Broadcaster *engine = Broadcaster::last();
    f.model->setDevices(QStringLiteral("b"), {}, {});
    engine->sync();
    QCOMPARE(Broadcaster::aliveCount(), 1);
    QCOMPARE(Broadcaster::last(), engine);
    QCOMPARE(Broadcaster::calls(QStringLiteral("init")).size(), 1);
    QCOMPARE(Broadcaster::calls(QStringLiteral("setVideoRecordingDevice")).last().args,
             QVariantList{QStringLiteral("b")});

    // One relay per engine, delivered on the main thread.
    QSignalSpy bytes(&manager, &MeetingManager::addBytes);
    QThread *deliveredOn = nullptr;
    connect(&manager, &MeetingManager::addBytes, this,
            [&] { deliveredOn = QThread::currentThread(); });
    engine->emitFromOwnThread([](Broadcaster *b) { emit b->sigUseBytes(512, true); });
    engine->sync();
    testsupport::drainEvents();
    QCOMPARE(bytes.count(), 1);
    QCOMPARE(bytes.first(), (QVariantList{qint64(512), true}));
    QCOMPARE(deliveredOn, QThread::currentThread());
    f.account.setMeetingManager(nullptr);
}

void MeetingModelTest::stoppingThreadDeletesEngine_data()
{
    QTest::addColumn<QString>("how");
    QTest::addRow("removeSelf") << QStringLiteral("removeSelf");
    QTest::addRow("destruction") << QStringLiteral("destruction");
}

void MeetingModelTest::stoppingThreadDeletesEngine()
{
    QFETCH(QString, how);
    auto f = std::make_unique<Fixture>();
    f->model->setDevices({}, {}, {});
    QPointer<Broadcaster> engine = Broadcaster::last();
    engine->sync();
    f->model->setState(MeetingDefines::CONNECTED);
    AccountManager::getInstance()->setMeetingModel(f->model.get());
    QSignalSpy state(f->model.get(), &MeetingModel::stateChanged);
    QSignalSpy destroying(f->model.get(), &MeetingModel::startDestroy);
    // Posted right before the stop: still reaches the engine.
    f->model->setDevices({}, {}, QStringLiteral("last"));

    if (how == QLatin1String("removeSelf"))
        removeSelf(*f->model, false);
    else
        f.reset();

    QVERIFY(engine.isNull());
    QCOMPARE(Broadcaster::aliveCount(), 0);
    QCOMPARE(Broadcaster::calls(QStringLiteral("setAudioPlayoutDevice")).last().args,
             QVariantList{QStringLiteral("last")});
    QCOMPARE(state, (QList<QVariantList>{{int(MeetingDefines::NOTCREATE)}}));
    QVERIFY(!AccountManager::getInstance()->meetingModel());
    if (f) {
        QVERIFY(!f->model->hasEngine());
        QVERIFY(!f->model->engineThread()->isRunning());
        QCOMPARE(destroying.count(), 0);
    } else {
        QCOMPARE(destroying.count(), 1);
        QCOMPARE(
            AccountManager::getInstance()->calls(QStringLiteral("meetingWillBeDeleted")).size(), 1);
    }
}

void MeetingModelTest::meetingTimer_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QString>("text");
    QTest::addRow("one second") << 1 << QStringLiteral("00:00:01");
    QTest::addRow("one minute") << 60 << QStringLiteral("00:01:00");
    QTest::addRow("an hour, a minute, a second") << 3661 << QStringLiteral("01:01:01");
}

void MeetingModelTest::meetingTimer()
{
    QFETCH(int, ticks);
    QFETCH(QString, text);
    Fixture f;
    startMeetingTimer(*f.model);
    const int id = meetingTimerId(*f.model);
    QVERIFY(id != 0);
    QSignalSpy changed(f.model.get(), &MeetingModel::meetingTimeChanged);

    QTimerEvent foreign(id + 1000);
    QCoreApplication::sendEvent(f.model.get(), &foreign);
    QCOMPARE(changed.count(), 0);
    for (int i = 0; i < ticks; ++i) {
        QTimerEvent tick(id);
        QCoreApplication::sendEvent(f.model.get(), &tick);
    }
    QCOMPARE(f.model->meetingTime(), text);
    QCOMPARE(changed.count(), ticks);
    QCOMPARE(changed.last(), QVariantList{text});
}

void MeetingModelTest::meetingTimerRestartKeepsCounting()
{
    Fixture f;
    startMeetingTimer(*f.model);
    const int first = meetingTimerId(*f.model);
    QTimerEvent tick(first);
    QCoreApplication::sendEvent(f.model.get(), &tick);
    startMeetingTimer(*f.model);
    const int second = meetingTimerId(*f.model);
    QTimerEvent next(second);
    QCoreApplication::sendEvent(f.model.get(), &next);
    QCOMPARE(f.model->meetingTime(), QStringLiteral("00:00:02"));

    f.model->clear();
    QCOMPARE(meetingTimerId(*f.model), 0);
    QCoreApplication::sendEvent(f.model.get(), &next);
    QCOMPARE(f.model->meetingTime(), QStringLiteral("00:00:02"));
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
    const QByteArray expected = "67b98d42d867e5ac5fe76f35023745cba81f991900b15fefbe7e8a5b1b28babc";
    QCOMPARE(f.model->verifyKey().toHex(), expected);
    info = meetingInfo();
    info.nonce = QStringLiteral("other");
    f.model->setMeeting(info);
    QCOMPARE(f.model->verifyKey().toHex(), expected);
}

void MeetingModelTest::serverMessage_data()
{
    QTest::addColumn<bool>("join");
    QTest::addColumn<qint64>("version");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("dialog");    // expected afterwards
    QTest::addColumn<QString>("storedUrl"); // expected afterwards
    const QString d1 = QStringLiteral("d1"), d2 = QStringLiteral("d2");
    const QString oldUrl = meetingInfo().mediaServerUrl, newUrl = QStringLiteral("wss://b/?x");
    QTest::addRow("URL answer only stores the URL") << false << qint64(5) << newUrl << d1 << newUrl;
    QTest::addRow("older version is ignored") << true << qint64(0) << newUrl << d1 << oldUrl;
    QTest::addRow("newer version without URL") << true << qint64(2) << QString() << d2 << oldUrl;
}

void MeetingModelTest::serverMessage()
{
    QFETCH(bool, join);
    QFETCH(qint64, version);
    QFETCH(QString, url);
    QFETCH(QString, dialog);
    QFETCH(QString, storedUrl);
    Fixture f;
    QSignalSpy dialogChanged(f.model.get(), &MeetingModel::dialogIdChanged);
    im::Meeting meeting;
    meeting.set_id("m1");
    meeting.set_dialog_id("d2");
    meeting.set_version(version);

    f.model->setMeeting(meeting, url, join);

    QCOMPARE(f.model->dialogId(), dialog);
    QCOMPARE(f.model->mediaServerUrl(), storedUrl);
    QCOMPARE(dialogChanged.count(), dialog == QLatin1String("d2") ? 1 : 0);
}

void MeetingModelTest::clearResetsModel()
{
    Fixture f;
    f.model->setState(MeetingDefines::CONNECTED);
    AccountManager::getInstance()->setMeetingModel(f.model.get());
    QSignalSpy state(f.model.get(), &MeetingModel::stateChanged);

    f.model->clear();
    QCOMPARE(state, (QList<QVariantList>{{int(MeetingDefines::NOTCREATE)}}));
    QVERIFY(!AccountManager::getInstance()->meetingModel());
    QVERIFY(!f.model->webSocketConnected());
    f.model->clear();
    QCOMPARE(state.count(), 1);
}

QTEST_MAIN(MeetingModelTest)
#include "tst_meetingmodel.moc"
