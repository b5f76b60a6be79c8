#include "broadcaster.h"
#include "directoryfixture.h"
#include "meeting.pb.h"
#include "meetingmodel.h"
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

using namespace directorytest;

namespace {

const QString d1 = QStringLiteral("d1");

// Each row's meeting id and nonce, as "id:nonce,…".
QString rows(const MeetingList *list)
{
    QStringList out;
    for (int row = 0; row < list->rowCount(); ++row) {
        auto *m = list->data(list->index(row), MeetingList::USER_ROLE).value<MeetingModel *>();
        out << m->meetingId() + QLatin1Char(':') + m->nonce();
    }
    return out.join(QLatin1Char(','));
}

MeetingInfo withNonce(MeetingInfo info, const char *nonce)
{
    info.nonce = QString::fromLatin1(nonce);
    return info;
}

} // namespace

class TestMeetingList : public QObject
{
    Q_OBJECT
private slots:
    void recordMerging_data();
    void recordMerging();
    void invitation_data();
    void invitation();
    void noSecondInvitationWhileInviting_data();
    void noSecondInvitationWhileInviting();
    void joinWhileConnectedCreatesTheCall();
    void joinAnswerOvertakenByPush_data();
    void joinAnswerOvertakenByPush();
    void setMeetingsReplacesRows();
    void revokeAndDestroy();
};

void TestMeetingList::recordMerging_data()
{
    QTest::addColumn<QByteArray>("meetingId");
    QTest::addColumn<qint64>("version");
    QTest::addColumn<bool>("attendees");
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("rows");
    const int update = MeetingList::UPDATE_MEETING;
    QTest::newRow("same version") << QByteArray("m1") << 5LL << true << update << "m1:n2";
    QTest::newRow("older") << QByteArray("m1") << 4LL << true << update << "m1:n1";
    QTest::newRow("older but new")
        << QByteArray("m1") << 4LL << true << +MeetingList::NEW_MEETING << "m1:n2";
    QTest::newRow("no attendees") << QByteArray("m1") << 5LL << false << update << "m1:n1";
    QTest::newRow("another meeting") << QByteArray("m2") << 1LL << true << update << "m2:n2,m1:n1";
    QTest::newRow("another, no attendees") << QByteArray("m2") << 1LL << false << update << "m1:n1";
}

void TestMeetingList::recordMerging()
{
    QFETCH(QByteArray, meetingId);
    QFETCH(qint64, version);
    QFETCH(bool, attendees);
    QFETCH(int, from);
    QFETCH(QString, rows);
    Fixture f;
    MeetingList *list = f.manager->meetingList(d1, true);
    testsupport::ModelChecker checker(list);
    list->updateMeeting(withNonce(record("m1", 5, {{500, 0, 1, 0}}), "n1"),
                        MeetingList::UPDATE_MEETING, false);
    MeetingInfo next = withNonce(record(meetingId.constData(), version, {{500, 0, 1, 0}}), "n2");
    if (!attendees)
        next.attendees.clear();
    list->updateMeeting(next, MeetingList::UpdateFrom(from), false);
    QCOMPARE(::rows(list), rows);
}

void TestMeetingList::invitation_data()
{
    QTest::addColumn<int>("ownStatus");
    QTest::addColumn<int>("ownDevice");
    QTest::addColumn<QByteArray>("nonce");
    QTest::addColumn<int>("permissions");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<bool>("announced");
    QTest::newRow("every condition holds") << 5 << 0 << QByteArray("n1") << 0 << false << true;
    QTest::newRow("own entry active") << 1 << 0 << QByteArray("n1") << 0 << false << false;
    QTest::newRow("no nonce") << 5 << 0 << QByteArray() << 0 << false << false;
    QTest::newRow("restricted device") << 5 << 0 << QByteArray("n1") << 1 << false << false;
    QTest::newRow("busy") << 5 << 0 << QByteArray("n1") << 0 << true << false;
    QTest::newRow("called on this device") << 5 << 7 << QByteArray("n1") << 0 << false << true;
    QTest::newRow("called on another device") << 5 << 8 << QByteArray("n1") << 0 << false << false;
}

void TestMeetingList::invitation()
{
    QFETCH(int, ownStatus);
    QFETCH(int, ownDevice);
    QFETCH(QByteArray, nonce);
    QFETCH(int, permissions);
    QFETCH(bool, busy);
    QFETCH(bool, announced);
    Fixture f;
    f.account->deviceModel()->setCurrentDevice({{QStringLiteral("permissions"), permissions}});
    f.account->selfContact()->setUserStatus({{QStringLiteral("busy"), busy}});
    f.manager->updateMeeting(
        d1, withNonce(record("m1", 1, {{100, ownDevice, ownStatus, 500}, {500, 0, 1, 0}}), nonce),
        MeetingList::NEW_MEETING);
    f.name(f.manager->meetingList(d1, false)->getMeetingModel(QStringLiteral("m1")), "call");
    QCOMPARE(f.take().contains(QStringLiteral("receiveMeetingInvite(call)")), announced);
    QCOMPARE(f.account->requests(MeetingServiceCmd::JoinMeeting).size(), int(announced));
    if (announced)
        QCOMPARE(f.lastRequest<im::meeting::JoinMeetingReq>(MeetingServiceCmd::JoinMeeting).nonce(),
                 "n1");
}

void TestMeetingList::noSecondInvitationWhileInviting_data()
{
    QTest::addColumn<int>("ownStatus");
    QTest::addColumn<int>("invitesByHostRecord");
    QTest::newRow("the host's record was already inviting") << 5 << 1;
    QTest::newRow("the host's record was active") << 1 << 0;
}

void TestMeetingList::noSecondInvitationWhileInviting()
{
    QFETCH(int, ownStatus);
    QFETCH(int, invitesByHostRecord);
    Fixture f;
    f.manager->updateMeeting(
        d1, withNonce(record("m1", 1, {{100, 0, ownStatus, 500}, {500, 0, 1, 0}}), "n1"),
        MeetingList::UPDATE_MEETING);
    QCOMPARE(f.account->requests(MeetingServiceCmd::JoinMeeting).size(), invitesByHostRecord);
    // The server's message calls this user (1); only a new call is announced. Such messages
    // carry no nonce: the one the model keeps from the host's record is the one that counts.
    f.manager->updateMeeting(d1, serverMeeting("m1", 2, {{100, 1}, {500, 3}}), QString(), true);
    QCOMPARE(f.account->requests(MeetingServiceCmd::JoinMeeting).size(), 1);
}

void TestMeetingList::joinWhileConnectedCreatesTheCall()
{
    Fixture f;
    qtwebrtc::Broadcaster::clearCalls();
    MeetingInfo info = record("m1", 1, {{100, 7, 1, 500}, {500, 0, 1, 0}});
    info.meetingKey = QByteArray(32, 'k');
    f.manager->updateMeeting(d1, info, MeetingList::UPDATE_MEETING);
    MeetingModel *model = f.manager->meetingList(d1, false)->getMeetingModel(QStringLiteral("m1"));
    model->setDevices({}, {}, {});
    model->setState(MeetingDefines::CONNECTED);
    f.take();

    const QString url = QStringLiteral("wss://media/?t=1");
    f.manager->updateMeeting(d1, serverMeeting("m1", 2, {{100, 3}, {500, 3}}), url, true);
    QCOMPARE(f.take(), QStringLiteral("setJoiningMeeting(false)"));
    qtwebrtc::Broadcaster::last()->sync();
    const auto created = qtwebrtc::Broadcaster::calls(QStringLiteral("createCall"));
    QCOMPARE(created.size(), 1);
    QCOMPARE(created[0].args.at(0).toString(), url);
}

void TestMeetingList::joinAnswerOvertakenByPush_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("calls");
    QTest::newRow("joining") << false << "joinMeetingFinished(true,m1,m1)";
    QTest::newRow("in the call") << true << "setJoiningMeeting(false)";
}

// The answer ends the join and brings the media address; the newer record stays.
void TestMeetingList::joinAnswerOvertakenByPush()
{
    QFETCH(bool, connected);
    QFETCH(QString, calls);
    Fixture f;
    qtwebrtc::Broadcaster::clearCalls();
    MeetingInfo info = record("m1", 1, {{100, 7, 1, 500}, {500, 0, 1, 0}});
    info.meetingKey = QByteArray(32, 'k');
    f.manager->updateMeeting(d1, info, MeetingList::UPDATE_MEETING);
    MeetingList *list = f.manager->meetingList(d1, false);
    MeetingModel *model = list->getMeetingModel(QStringLiteral("m1"));
    f.name(model, "m1");
    model->setDevices({}, {}, {});
    if (connected)
        model->setState(MeetingDefines::CONNECTED);
    info.version = 3;
    f.manager->updateMeeting(d1, withNonce(info, "n3"), MeetingList::UPDATE_MEETING);
    f.take();

    const QString url = QStringLiteral("wss://media/?t=1");
    f.manager->updateMeeting(d1, serverMeeting("m1", 2, {{100, 3}, {500, 3}}), url, true);
    QCOMPARE(f.take(), calls);
    QCOMPARE(model->meetingInfo().version, 3);
    QCOMPARE(model->nonce(), QStringLiteral("n3"));
    QCOMPARE(model->mediaServerUrl(), url);
    if (connected) {
        qtwebrtc::Broadcaster::last()->sync();
        QCOMPARE(qtwebrtc::Broadcaster::calls(QStringLiteral("createCall")).size(), 1);
    }
}

void TestMeetingList::setMeetingsReplacesRows()
{
    Fixture f;
    MeetingList *list = f.manager->meetingList(d1, true);
    testsupport::ModelChecker checker(list);
    auto rec = [](const char *id, const char *nonce) {
        return std::make_pair(QString::fromLatin1(id),
                              withNonce(record(id, 1, {{500, 0, 1, 0}}), nonce));
    };
    f.manager->setMeetings(d1, {rec("m1", "a"), rec("m2", "a"), rec("m3", "a")});
    QCOMPARE(list->count(), 3);
    QPointer<MeetingModel> m1 = list->getMeetingModel(QStringLiteral("m1"));
    QPointer<MeetingModel> m2 = list->getMeetingModel(QStringLiteral("m2"));
    QSignalSpy removed(list, &QAbstractItemModel::rowsRemoved);

    f.manager->setMeetings(d1, {rec("m2", "b"), rec("m4", "b")});
    QCOMPARE(::rows(list), QStringLiteral("m4:b,m2:b"));
    QVERIFY(!m1 && m2);
    QCOMPARE(removed.size(), 2);
    for (const QVariantList &r : removed)
        QCOMPARE(r.at(1), r.at(2));
}

void TestMeetingList::revokeAndDestroy()
{
    Fixture f;
    MeetingList *list = f.manager->meetingList(d1, true);
    testsupport::ModelChecker checker(list);
    MeetingInfo info = record("m1", 1, {{500, 0, 1, 0}});
    info.messageId = 42;
    f.manager->updateMeeting(d1, info, MeetingList::UPDATE_MEETING);
    QSignalSpy count(list, &MeetingList::countChanged);
    QVERIFY(!list->messageBeRevoked(7));
    QVERIFY(count.isEmpty());
    f.take();
    QVERIFY(list->messageBeRevoked(42));
    QCOMPARE(count.takeFirst(), QVariantList{0});
    QVERIFY(f.take().startsWith(QStringLiteral("meetingBeFinished(100,m1)")));

    // A meeting created here carries no message yet; revoking it must not leave its key behind.
    list->createMeeting(500);
    QVERIFY(list->messageBeRevoked(0));
    QVERIFY(!list->getMeetingModel(d1));

    // Going away, the list tells QML first, while its meetings still exist.
    f.manager->updateMeeting(d1, record("m5", 1, {{500, 0, 1, 0}}), MeetingList::UPDATE_MEETING);
    QPointer<MeetingModel> m5 = list->getMeetingModel(QStringLiteral("m5"));
    bool aliveWhenTold = false;
    connect(list, &MeetingList::startDestroy, this, [&] { aliveWhenTold = !m5.isNull(); });
    f.manager->setMeetings(d1, {});
    QVERIFY(aliveWhenTold && !m5);
}

QTEST_MAIN(TestMeetingList)
#include "tst_meetinglist.moc"
