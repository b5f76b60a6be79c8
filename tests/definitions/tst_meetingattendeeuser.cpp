#include "accountbase.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "signallog.h"
#include <QTest>

namespace {
enum Who { Camera, Whiteboard, Screen, OwnCamera };
constexpr qint64 kSelf = 7;

// "prop=v" writes a property as QML does; "mute(m,o,t)", "volume(v)", "status(s)" and
// "decibel(v)" call the confirming setters.
void run(MeetingAttendeeUser &u, const QByteArray &script)
{
    for (const QByteArray &step : script.split(' ')) {
        if (step.isEmpty())
            continue;
        if (step.contains('=')) {
            const QByteArrayList kv = step.split('=');
            QVERIFY(u.setProperty(kv[0], QString::fromLatin1(kv[1])));
            continue;
        }
        const QByteArray name = step.left(step.indexOf('('));
        const QByteArrayList args = step.mid(name.size() + 1).chopped(1).split(',');
        if (name == "mute")
            u.setMute(args[0].toInt(), args[1].toInt(), args[2].toInt());
        else if (name == "volume")
            u.setPlayoutVolume(args[0].toDouble());
        else if (name == "status")
            u.setParticipationStatus(args[0].toInt());
        else if (name == "decibel")
            u.setDecibel(args[0].toDouble());
    }
}
} // namespace

class TestMeetingAttendeeUser : public QObject
{
    Q_OBJECT
private slots:
    void emissions_data();
    void emissions();
};

void TestMeetingAttendeeUser::emissions_data()
{
    QTest::addColumn<int>("who");
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QByteArray>("after"); // "prop=value" read back afterwards
    const auto row = [](const char *name, Who who, const char *setup, const char *action,
                        const char *expected, const char *after = "") {
        QTest::newRow(name) << int(who) << QByteArray(setup) << QByteArray(action)
                            << QByteArray(expected) << QByteArray(after);
    };
    // Requests: the value is asked for, not stored.
    row("camera video", Camera, "", "muteVideo=0", "muteChanged(0,0,1)", "muteVideo=1");
    row("whiteboard video", Whiteboard, "", "muteVideo=0", "muteChanged(0,0,2)");
    row("screen video", Screen, "", "muteVideo=0", "muteChanged(0,0,3)");
    row("camera voice", Camera, "", "muteVoice=1", "muteChanged(1,0,0)", "muteVoice=0");
    row("share voice", Screen, "", "muteVoice=1", "muteChanged(1,0,4)");
    row("local video", Whiteboard, "", "muteVideoLocal=true",
        "muteVideoLocalChanged(true) muteChanged(1,1,2)", "muteVideoLocal=true");
    row("local voice on asks audible", Camera, "volume(0) mute(1,1,0)", "muteVoiceLocal=false",
        "muteVoiceLocalChanged(false) playoutVolumeChanged(5) muteChanged(0,1,0)");
    row("own local voice on", OwnCamera, "volume(0) mute(1,1,0)", "muteVoiceLocal=false",
        "muteVoiceLocalChanged(false) muteChanged(0,1,0)");
    row("local voice on, audible", Whiteboard, "mute(1,1,4)", "muteVoiceLocal=false",
        "muteVoiceLocalChanged(false) muteChanged(0,1,4)");
    row("volume 0 mutes locally", Camera, "", "volume=0",
        "muteVoiceLocalChanged(true) playoutVolumeChanged(0) muteChanged(1,1,0)",
        "volume=5 muteVoiceLocal=true");
    row("volume 0, already muted", Camera, "mute(1,1,0)", "volume=0", "playoutVolumeChanged(0)");
    row("volume", Camera, "", "volume=3", "playoutVolumeChanged(3)", "volume=5");

    // Confirmed values.
    row("remote video", Screen, "", "mute(2,0,3)", "muteVideoChanged(2)");
    row("remote video unchanged", Whiteboard, "", "mute(1,0,2)", "");
    row("local video flag", Camera, "", "mute(5,1,3)", "muteVideoLocalChanged(true)");
    row("remote voice", Camera, "", "mute(1,0,0)", "muteVoiceChanged(1)");
    row("voice on at volume 0", Camera, "volume(0)", "mute(0,0,0)", "playoutVolumeChanged(5)",
        "volume=0");
    row("own voice on at volume 0", OwnCamera, "volume(0)", "mute(0,0,0)", "");
    row("local voice on at volume 0", Camera, "volume(0) mute(1,1,0)", "mute(0,1,4)",
        "muteVoiceLocalChanged(false) playoutVolumeChanged(5)");
    row("video on never asks audible", Camera, "volume(0)", "mute(0,0,1)", "muteVideoChanged(0)");
    row("unknown mute type", Camera, "", "mute(1,0,7) mute(1,1,-1)", "");
    row("playout volume", Camera, "", "volume(4)", "volumeChanged(4)");
    row("playout volume fuzzy", Camera, "", "volume(5.000000000001)", "");

    // Plain setters.
    row("raise hand", Camera, "", "status(1)",
        "participationStatusChanged(1) roleChanged(listener)");
    row("listener after raise hand", Camera, "status(1)", "status(3)",
        "participationStatusChanged(3)");
    row("back to speaker", Camera, "status(3)", "status(0)",
        "participationStatusChanged(0) roleChanged(speaker)");
    row("decibel 0", Camera, "", "decibel(0)", "");
    row("decibel tiny", Camera, "", "decibel(1e-300)", "decibelChanged(1e-300)");
    row("draw allowed from start", Whiteboard, "", "allowDraw=true", "");
    row("draw denied", Whiteboard, "", "allowDraw=false", "allowDrawChanged(false)");
}

void TestMeetingAttendeeUser::emissions()
{
    QFETCH(int, who);
    QFETCH(QByteArray, setup);
    QFETCH(QByteArray, action);
    QFETCH(QByteArray, expected);
    QFETCH(QByteArray, after);
    AccountBase account(kSelf, 1);
    MeetingAttendeeList list(&account, nullptr);
    list.setUserId(kSelf);
    const qint64 uid = who == OwnCamera ? kSelf : kSelf + 1;
    MeetingAttendeeUser *user = who == Whiteboard ? new MeetingAttendeeWhiteBoard(uid, &list)
                                                  : new MeetingAttendeeUser(uid, &list);
    user->setType(who == OwnCamera ? 0 : who);
    run(*user, setup);
    SignalLog log(user);
    run(*user, action);
    QCOMPARE(log.take(), expected);
    for (const QByteArray &check : after.split(' ')) {
        if (const QByteArrayList kv = check.split('='); kv.size() == 2)
            QCOMPARE(user->property(kv[0]).toString().toLatin1(), kv[1]);
    }
}

QTEST_GUILESS_MAIN(TestMeetingAttendeeUser)
#include "tst_meetingattendeeuser.moc"
