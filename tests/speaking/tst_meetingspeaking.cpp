#include "meetingfixture.h"

using namespace MeetingDefines;

class TestMeetingSpeaking : public QObject
{
    Q_OBJECT
private slots:
    void commandsArePosted();
    void reports_data();
    void reports();
    void roleChangeMute_data();
    void roleChangeMute();
};

void TestMeetingSpeaking::commandsArePosted()
{
    const Act issue = [](MeetingModel &m) {
        m.raiseHand(true);
        m.inviteSpeak(7, false);
        m.agreeSpeak(7, true);
        m.rejectSpeak(7);
        m.beListener(7);
    };
    {
        Meeting idle({}, false);
        issue(idle.model);
        QVERIFY(Broadcaster::calls().isEmpty());
    }
    Meeting m;
    issue(m.model);
    m.engine->sync();
    QList<QVariantList> calls;
    for (const Broadcaster::Call &call : Broadcaster::calls()) {
        QCOMPARE(call.thread, m.engine->thread());
        calls << QVariantList{call.name} + call.args;
    }
    QCOMPARE(calls, (QList<QVariantList>{{QStringLiteral("raiseHand"), true},
                                         {QStringLiteral("inviteSpeak"), 7LL, false},
                                         {QStringLiteral("agreeSpeak"), 7LL, true},
                                         {QStringLiteral("rejectSpeak"), 7LL},
                                         {QStringLiteral("beListener"), 7LL}}));
}

void TestMeetingSpeaking::reports_data()
{
    QTest::addColumn<QString>("rows");
    QTest::addColumn<bool>("host");
    QTest::addColumn<Report>("report");
    QTest::addColumn<qint64>("uid");
    QTest::addColumn<int>("status");
    QTest::addColumn<QList<qint64>>("order");
    QTest::addColumn<QVariantList>("prompt"); // signal and arguments; empty: none
    // Equal rows are inserted above each other, so 203 lands above 202.
    const QString rows = QStringLiteral("100S 201S 202L 203L");
    const QList<qint64> initial{100, 201, 203, 202};
    const QVariantList none;
    auto hand = [](const char *name, bool cancel) {
        return QVariantList{QStringLiteral("hand"), QLatin1String(name), cancel};
    };
    auto raise = [](qint64 uid, bool cancel) {
        return Report([=](Broadcaster *b) { emit b->sigNotifyRaiseHand(uid, cancel); });
    };
    auto invite = [](qint64 op, qint64 uid, bool cancel) {
        return Report([=](Broadcaster *b) { emit b->sigNotifyInviteSpeak(op, uid, cancel); });
    };
    auto role = [](qint64 uid, const char *r) {
        return Report([=](Broadcaster *b) {
            emit b->sigNotifyRoleChange(uid, QLatin1String(r), QByteArray());
        });
    };
    QTest::addRow("hand raised, shown to host")
        << rows << true << raise(202, false) << 202LL << int(RAISE_HAND)
        << QList<qint64>{100, 201, 202, 203} << hand("u202", false);
    QTest::addRow("raised hand stays below row 0")
        << QStringLiteral("201L 202L 203L") << true << raise(202, false) << 202LL << int(RAISE_HAND)
        << QList<qint64>{201, 202, 203} << hand("u202", false);
    QTest::addRow("repeated hand")
        << QStringLiteral("100S 201S 203R") << true << raise(203, false) << 203LL << int(RAISE_HAND)
        << QList<qint64>{100, 201, 203} << none;
    QTest::addRow("hand, not host") << rows << false << raise(202, false) << 202LL
                                    << int(RAISE_HAND) << QList<qint64>{100, 201, 202, 203} << none;
    QTest::addRow("own hand") << rows << true << raise(kSelf, false) << kSelf << int(RAISE_HAND)
                              << initial << none;
    QTest::addRow("hand lowered") << QStringLiteral("100S 201S 203R 202L") << true
                                  << raise(203, true) << 203LL << int(LISTENER)
                                  << QList<qint64>{100, 201, 203, 202} << hand("u203", true);
    QTest::addRow("agreed") << QStringLiteral("100S 201s 203R") << true
                            << Report([](Broadcaster *b) {
                                   emit b->sigNotifyAgreeSpeak(1, 203, false);
                               })
                            << 203LL << int(SPEAKER) << QList<qint64>{100, 203, 201} << none;
    QTest::addRow("rejected") << QStringLiteral("100S 201S 203R 202L") << true
                              << Report([](Broadcaster *b) { emit b->sigNotifyRejectSpeak(203); })
                              << 203LL << int(LISTENER) << QList<qint64>{100, 201, 203, 202}
                              << none;
    QTest::addRow("own invitation") << rows << true << invite(kSelf, 202, false) << 202LL
                                    << int(INVITE) << QList<qint64>{100, 201, 202, 203} << none;
    QTest::addRow("own invitation to all")
        << rows << true << invite(kSelf, -1, false) << 203LL << int(LISTENER) << initial
        << QVariantList{QStringLiteral("invite"), kSelf, false};
    QTest::addRow("invited by another")
        << rows << false << invite(201, kSelf, true) << kSelf << int(SPEAKER) << initial
        << QVariantList{QStringLiteral("invite"), 201LL, true};
    QTest::addRow("unknown attendee")
        << rows << true << raise(999, false) << 202LL << int(LISTENER) << initial << none;
    QTest::addRow("role speaker") << QStringLiteral("100S 201s 203L") << true
                                  << role(203, "speaker") << 203LL << int(SPEAKER)
                                  << QList<qint64>{100, 203, 201} << none;
    QTest::addRow("role Speaker") << QStringLiteral("100S 201S 202S") << true
                                  << role(201, "Speaker") << 201LL << int(LISTENER)
                                  << QList<qint64>{100, 202, 201} << none;
}

void TestMeetingSpeaking::reports()
{
    QFETCH(QString, rows);
    QFETCH(QList<qint64>, order);
    Meeting m(rows);
    QFETCH(bool, host);
    m.model.setHost(host);
    QSignalSpy raised(&m.model, &MeetingModel::notifyRaiseHand);
    QSignalSpy invited(&m.model, &MeetingModel::inviteSpeaker);
    QFETCH(Report, report);
    m.report(report);
    QFETCH(qint64, uid);
    QTEST(m.user(uid)->participationStatus(), "status");
    QCOMPARE(Meeting::order(m.model.attendeeList()), order);
    QCOMPARE(Meeting::order(m.model.activeAttendeeList()), order);
    QList<QVariantList> prompts;
    for (const QVariantList &args : std::as_const(raised))
        prompts << QVariantList{QStringLiteral("hand")} + args;
    for (const QVariantList &args : std::as_const(invited))
        prompts << QVariantList{QStringLiteral("invite")} + args;
    QFETCH(QVariantList, prompt);
    QCOMPARE(prompts, prompt.isEmpty() ? QList<QVariantList>() : QList<QVariantList>{prompt});
}

void TestMeetingSpeaking::roleChangeMute_data()
{
    QTest::addColumn<qint64>("uid");
    QTest::addColumn<QByteArray>("room");
    QTest::addColumn<int>("audio");
    QTest::addColumn<int>("video");
    QTest::addColumn<QList<qint64>>("order");
    QTest::addColumn<bool>("rejected");
    const QList<qint64> unchanged{100, 202, 201, 204, 203};
    QTest::addRow("no mute member")
        << 202LL << roomWith(202, "") << 0 << 1 << QList<qint64>{100, 201, 202, 204, 203} << false;
    QTest::addRow("states in place") << 201LL << roomWith(201, R"(,"mute":{"audio":0,"video":0})")
                                     << 0 << 0 << unchanged << false;
    QTest::addRow("camera on, booleans")
        << 203LL << roomWith(203, R"(,"mute":{"audio":true,"video":false})") << 1 << 0
        << QList<qint64>{100, 202, 201, 203, 204} << false;
    QTest::addRow("other attendee only")
        << 201LL << roomWith(202, R"(,"mute":{"audio":1,"video":0})") << 0 << 0 << unchanged
        << false;
    QTest::addRow("unparsable") << 201LL << QByteArray("{\"attendees\":[") << 0 << 0 << unchanged
                                << true;
    QTest::addRow("mute of wrong type")
        << 201LL << roomWith(201, R"(,"mute":{"audio":"on","video":1})") << 0 << 0 << unchanged
        << true;
    QTest::addRow("attendees not an array")
        << 201LL << QByteArray(R"({"attendees":7})") << 0 << 0 << unchanged << true;
}

void TestMeetingSpeaking::roleChangeMute()
{
    QFETCH(qint64, uid);
    QFETCH(QByteArray, room);
    QFETCH(bool, rejected);
    Meeting m(QStringLiteral("100S 201S 202S 203s 204s"));
    MeetingAttendeeUser *user = m.user(uid);
    user->setParticipationStatus(LISTENER);
    if (rejected)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(".+")));
    m.report(
        [=](Broadcaster *b) { emit b->sigNotifyRoleChange(uid, QStringLiteral("speaker"), room); });
    QCOMPARE(user->participationStatus(), int(SPEAKER));
    QTEST(user->muteVoice(), "audio");
    QTEST(user->muteVideo(), "video");
    QTEST(Meeting::order(m.model.attendeeList()), "order");
    QTEST(Meeting::order(m.model.activeAttendeeList()), "order");

    // The own entry takes the states as its local flags as well.
    m.report([](Broadcaster *b) {
        emit b->sigNotifyRoleChange(kSelf, QStringLiteral("speaker"),
                                    roomWith(kSelf, R"(,"mute":{"audio":1,"video":1})"));
    });
    QVERIFY(m.user(kSelf)->muteVoiceLocal());
    QVERIFY(m.user(kSelf)->muteVideoLocal());
}

QTEST_MAIN(TestMeetingSpeaking)
#include "tst_meetingspeaking.moc"
