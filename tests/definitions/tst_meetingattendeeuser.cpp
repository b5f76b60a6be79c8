#include "accountbase.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "signallog.h"
#include "videosink.h"
#include <QTest>
#include <functional>

namespace {
using Step = std::function<void(MeetingAttendeeUser &)>;
using Props = QList<QPair<QByteArray, QVariant>>;
constexpr qint64 kSelf = 7;

// QML writes go through the meta-object, as they do here.
Step write(const char *property, const QVariant &value)
{
    return [=](MeetingAttendeeUser &u) {
        QVERIFY(u.setProperty(property, value));
    };
}
Step confirm(int mute, int operatorType, int muteType)
{
    return [=](MeetingAttendeeUser &u) {
        u.setMute(mute, operatorType, muteType);
    };
}
Step volume(double v)
{
    return [=](MeetingAttendeeUser &u) {
        u.setPlayoutVolume(v);
    };
}
Step status(int s)
{
    return [=](MeetingAttendeeUser &u) {
        u.setParticipationStatus(s);
    };
}
const Step none = [](MeetingAttendeeUser &) {
};
const Step localVoiceOff = confirm(1, 1, 0);
Step both(Step a, Step b)
{
    return [=](MeetingAttendeeUser &u) {
        a(u);
        b(u);
    };
}
} // namespace

Q_DECLARE_METATYPE(Step)
Q_DECLARE_METATYPE(Props)

class TestMeetingAttendeeUser : public QObject
{
    Q_OBJECT
private slots:
    void emissions_data();
    void emissions();
    void destructionAnnouncedFirst();
};

void TestMeetingAttendeeUser::emissions_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("self");
    QTest::addColumn<Step>("setup");
    QTest::addColumn<Step>("action");
    QTest::addColumn<QByteArrayList>("expected");
    QTest::addColumn<Props>("after");
    const auto row = [](const char *name, int type, bool self, Step setup, Step action,
                        QByteArrayList expected, Props after = {}) {
        QTest::newRow(name) << type << self << setup << action << expected << after;
    };
    const QVariant speaker = QStringLiteral("speaker");
    row("new object", 0, false, none, none, {},
        {{"muteVideo", 1},
         {"muteVoice", 0},
         {"networkScore", 3},
         {"volume", 5.0},
         {"role", speaker},
         {"muteVideoLocal", false},
         {"muteVoiceLocal", false}});

    // Requests: the value is asked for, not stored.
    row("camera video", 0, false, none, write("muteVideo", 0), {"muteChanged(0,0,1)"},
        {{"muteVideo", 1}});
    row("whiteboard video", 1, false, none, write("muteVideo", 0), {"muteChanged(0,0,2)"});
    row("screen video", 2, false, none, write("muteVideo", 0), {"muteChanged(0,0,3)"});
    row("video unchanged", 0, false, none, write("muteVideo", 1), {});
    row("camera voice", 0, false, none, write("muteVoice", 1), {"muteChanged(1,0,0)"},
        {{"muteVoice", 0}});
    row("share voice", 2, false, none, write("muteVoice", 1), {"muteChanged(1,0,4)"});
    row("voice unchanged", 0, false, none, write("muteVoice", 0), {});
    row("local video", 1, false, none, write("muteVideoLocal", true),
        {"muteVideoLocalChanged(true)", "muteChanged(1,1,2)"}, {{"muteVideoLocal", true}});
    row("local video unchanged", 0, false, none, write("muteVideoLocal", false), {});
    row("local voice on asks audible", 0, false, both(volume(0), localVoiceOff),
        write("muteVoiceLocal", false),
        {"muteVoiceLocalChanged(false)", "playoutVolumeChanged(5)", "muteChanged(0,1,0)"});
    row("own local voice on", 0, true, both(volume(0), localVoiceOff),
        write("muteVoiceLocal", false), {"muteVoiceLocalChanged(false)", "muteChanged(0,1,0)"});
    row("local voice on, audible volume", 1, false, confirm(1, 1, 4),
        write("muteVoiceLocal", false), {"muteVoiceLocalChanged(false)", "muteChanged(0,1,4)"});
    row("volume 0 mutes locally", 0, false, none, write("volume", 0.0),
        {"muteVoiceLocalChanged(true)", "playoutVolumeChanged(0)", "muteChanged(1,1,0)"},
        {{"volume", 5.0}, {"muteVoiceLocal", true}});
    row("share volume 0", 2, false, none, write("volume", 0.0),
        {"muteVoiceLocalChanged(true)", "playoutVolumeChanged(0)", "muteChanged(1,1,4)"});
    row("volume 0, already muted", 0, false, localVoiceOff, write("volume", 0.0),
        {"playoutVolumeChanged(0)"});
    row("volume", 0, false, none, write("volume", 3.0), {"playoutVolumeChanged(3)"},
        {{"volume", 5.0}});
    row("same volume still asks", 0, false, none, write("volume", 5.0),
        {"playoutVolumeChanged(5)"});

    // Confirmed values.
    row("remote video", 0, false, none, confirm(0, 0, 1), {"muteVideoChanged(0)"});
    row("remote video unchanged", 1, false, none, confirm(1, 0, 2), {});
    row("remote video value kept", 2, false, none, confirm(2, 0, 3), {"muteVideoChanged(2)"});
    row("confirmed local video", 0, false, none, confirm(5, 1, 3), {"muteVideoLocalChanged(true)"});
    row("remote voice", 0, false, none, confirm(1, 0, 0), {"muteVoiceChanged(1)"});
    row("local share voice", 2, false, none, confirm(1, 1, 4), {"muteVoiceLocalChanged(true)"});
    row("voice on at volume 0", 0, false, volume(0), confirm(0, 0, 0), {"playoutVolumeChanged(5)"},
        {{"volume", 0.0}});
    row("own voice on at volume 0", 0, true, volume(0), confirm(0, 0, 0), {});
    row("local voice on at volume 0", 0, false, both(volume(0), localVoiceOff), confirm(0, 1, 4),
        {"muteVoiceLocalChanged(false)", "playoutVolumeChanged(5)"});
    row("video on never asks audible", 0, false, volume(0), confirm(0, 0, 1),
        {"muteVideoChanged(0)"});
    row("unknown mute type", 0, false, none, both(confirm(1, 0, 7), confirm(1, 1, -1)), {});
    row("playout volume", 0, false, none, volume(4), {"volumeChanged(4)"});
    row("playout volume fuzzy", 0, false, none, volume(5.0 + 1e-12), {});

    // Plain setters.
    row("raise hand", 0, false, none, status(1),
        {"participationStatusChanged(1)", "roleChanged(listener)"});
    row("listener after raise hand", 0, false, status(1), status(3),
        {"participationStatusChanged(3)"});
    row("back to speaker", 0, false, status(3), status(0),
        {"participationStatusChanged(0)", "roleChanged(speaker)"});
    row("decibel 0", 0, false, none, [](MeetingAttendeeUser &u) { u.setDecibel(0.0); }, {});
    row("decibel tiny", 0, false, none, [](MeetingAttendeeUser &u) { u.setDecibel(1e-300); },
        {"decibelChanged(1e-300)"});
    row(
        "average decibel fuzzy", 0, false, [](MeetingAttendeeUser &u) { u.setAverageDecibel(1.0); },
        [](MeetingAttendeeUser &u) { u.setAverageDecibel(1.0 + 1e-13); }, {});
    const QVariantList levels{1, 2};
    row(
        "decibels equal", 0, false, [=](MeetingAttendeeUser &u) { u.setDecibels(levels); },
        [=](MeetingAttendeeUser &u) { u.setDecibels(levels); }, {});
    row(
        "decibels element differs", 0, false,
        [=](MeetingAttendeeUser &u) { u.setDecibels(levels); },
        [](MeetingAttendeeUser &u) {
            u.setDecibels({1, 3});
        },
        {"decibelsChanged()"}, {{"decibels", QVariantList{1, 3}}});
    row("draw allowed from start", 1, false, none, write("allowDraw", true), {});
    row("draw denied", 1, false, none, write("allowDraw", false), {"allowDrawChanged(false)"});
}

void TestMeetingAttendeeUser::emissions()
{
    QFETCH(int, type);
    QFETCH(bool, self);
    QFETCH(Step, setup);
    QFETCH(Step, action);
    QFETCH(QByteArrayList, expected);
    QFETCH(Props, after);
    AccountBase account(kSelf, 1);
    MeetingAttendeeList list(&account, nullptr);
    list.setUserId(kSelf);
    const qint64 uid = self ? kSelf : kSelf + 1;
    MeetingAttendeeUser *user =
        type == 1 ? new MeetingAttendeeWhiteBoard(uid, &list) : new MeetingAttendeeUser(uid, &list);
    user->setType(type);
    setup(*user);
    SignalLog log(user);
    action(*user);
    QCOMPARE(log.take(), expected);
    for (const auto &[name, value] : std::as_const(after))
        QCOMPARE(user->property(name), value);
}

void TestMeetingAttendeeUser::destructionAnnouncedFirst()
{
    auto *user = new MeetingAttendeeUser(1, nullptr);
    int seen = 0;
    // Listeners still reach the children when they hear of the end.
    connect(user, &MeetingAttendeeUser::startDestroy, this,
            [&] { seen += user->videoSink()->started() ? 10 : 1; });
    delete user;
    QCOMPARE(seen, 1);
}

QTEST_GUILESS_MAIN(TestMeetingAttendeeUser)
#include "tst_meetingattendeeuser.moc"
