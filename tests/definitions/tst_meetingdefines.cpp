#include "meetingattendeeuser.h"
#include "meetingdefines.h"
#include <QMetaEnum>
#include <QTest>
#include <memory>

namespace {
// Ordering keys of a live object: state, participation status, muteVideo, muteVideoLocal;
// a state of -1 stands for a record without one.
using Keys = QList<int>;

// A record of meeting `id` whose strings all read `tag` and whose numbers are all `n`.
MeetingInfo record(const char *id, qint64 version, const char *tag, int n)
{
    MeetingInfo m;
    const QString t = QString::fromLatin1(tag);
    m.meetingId = QString::fromLatin1(id);
    m.dialogId = m.mediaServerUrl = m.nonce = m.meetingName = m.clientId = t;
    m.meetingKey = tag;
    m.speakerCapacity = n;
    m.messageId = m.extra = n;
    m.version = version;
    if (n)
        m.attendees = {MeetingAttendee(n, 1, 1, 0, 0, false)};
    m.isPrivateCall = m.disableSpeakingPrivileges = n != 0;
    return m;
}

// "id dialog url nonce name client key capacity message extra version attendees flags"
QByteArray render(const MeetingInfo &m)
{
    QByteArrayList out;
    for (const QString &text :
         {m.meetingId, m.dialogId, m.mediaServerUrl, m.nonce, m.meetingName, m.clientId})
        out << (text.isEmpty() ? QByteArray("-") : text.toUtf8());
    out << (m.meetingKey.isEmpty() ? QByteArray("-") : m.meetingKey);
    for (qint64 n : {qint64(m.speakerCapacity), m.messageId, m.extra, m.version})
        out << QByteArray::number(n);
    out << (m.attendees.isEmpty() ? QByteArray("-") : QByteArray());
    for (const MeetingAttendee &a : m.attendees)
        out.last() += QByteArray::number(a.userId);
    out << QByteArray::number(m.isPrivateCall) + QByteArray::number(m.disableSpeakingPrivileges);
    return out.join(' ');
}
} // namespace

class TestMeetingDefines : public QObject
{
    Q_OBJECT
private slots:
    void enumKeys();
    void update_data();
    void update();
    void ordering_data();
    void ordering();
    void equality();
    void conversions();
};

void TestMeetingDefines::enumKeys()
{
    // Long entries wrap onto two lines.
    // NOLINTBEGIN(bugprone-suspicious-missing-comma)
    const QByteArrayList expected{
        "DeviceType DEVICE_AUDIO_IN=0 DEVICE_AUDIO_OUT=1 DEVICE_VIDEO_IN=2",
        "AttendeeStatus UNKNOWN=0 ACTIVE=1 RECONNECT=2 DISCONNECT=3 CONNECTING=4 INVITING=5 "
        "REJECTED=6 TIMEOUT=7 BUSY=8",
        "MeetingStatus NOTCREATE=0 CREATED=1 CONNECTED=2",
        "MeetingRejectReason MEET_REASON_UNKNOWN=0 MEET_REASON_REJECT=1 MEET_REASON_BUSY=2",
        "MediaServerError ERR_CONNECT=0 ERR_TRANSFER=1 ERR_KICKED=2 ERR_MUTE=3 "
        "ERR_PermissionDenied=4 ERR_SOCKET=5 ERR_TOKEN=6 ERR_SHARE=7 ERR_SHARE_PERMISSION=8 "
        "ERR_UNKNOW=9",
        "AttendeeType VIDEO=0 WHITEBOARD=1 SHARESCREEN=2",
        "ShareType NO_SHARE=0 WHITEBOARD_SHARE=1 DESKTOP_SHARE=2 APP_SHARE=3",
        "MuteType MUTE_AUDIO=0 MUTE_VIDEO=1",
        "PbError INVALID_PASSWORD=2113 GET_MEETING_LINK=284",
        "SharePremission ALL_SHARE=0 ONLY_HOST_SHARE=1",
        "ParticipationStatus SPEAKER=0 RAISE_HAND=1 INVITE=2 LISTENER=3",
        "ConnectingIssues OWN_DISCONNET=1 OTHER_DISCONNECT=2 CALL_END=4",
        "AudioIssues MECHANICAL_SOUND=1 TRANSIENT_NOISE=2 OWN_INAUDIBLE=4 OTHER_INAUDIBLE=8 "
        "LOW_SOUND=16",
        "VideoIssues STUTTERING_VIDEO=1 OWN_FROZEN_VIDEO=2 NOT_SEE_MY_VIDEO=4 "
        "NOT_SEE_OTHER_VIDEO=8 LOW_VIDEO=16",
        "RingingStatus CALLING=0 RINGING=1 SILENT=2"};
    // NOLINTEND(bugprone-suspicious-missing-comma)
    const QMetaObject &mo = MeetingDefines::staticMetaObject;
    QByteArrayList actual;
    for (int i = 0; i < mo.enumeratorCount(); ++i) {
        const QMetaEnum e = mo.enumerator(i);
        QVERIFY(!e.isFlag() && !e.isScoped());
        QByteArray line = e.name();
        int bits = 0, sum = 0;
        for (int k = 0; k < e.keyCount(); ++k) {
            line += ' ' + QByteArray(e.key(k)) + '=' + QByteArray::number(e.value(k));
            QCOMPARE(QByteArray(e.valueToKey(e.value(k))), QByteArray(e.key(k)));
            bits |= e.value(k);
            sum += e.value(k);
        }
        // Issue values are summed into one rating field, so they must not overlap.
        if (line.contains("Issues "))
            QCOMPARE(bits, sum);
        actual << line;
    }
    QCOMPARE(actual, expected);
    QVERIFY(!mo.enumerator(2).valueToKey(3));
}

void TestMeetingDefines::update_data()
{
    QTest::addColumn<MeetingInfo>("other");
    QTest::addColumn<QByteArray>("expected");
    // Merged into a stored record("m1", 5, "o", 1).
    const auto row = [](const char *name, const MeetingInfo &other, const char *expected) {
        QTest::newRow(name) << other << QByteArray(expected);
    };
    row("equal version replaces", record("m1", 5, "n", 2), "m1 n n n n n n 2 2 2 5 2 11");
    row("lower version takes nonce and key", record("m1", 4, "n", 2),
        "m1 o o n o o n 1 1 1 5 1 11");
    row("lower version without them", record("m1", 4, "", 2), "m1 o o o o o o 1 1 1 5 1 11");
    row("newer keeps what it lacks", record("m1", 6, "", 0), "m1 - o o o o o 0 0 0 6 - 00");
    row("other meeting replaces all", record("m2", 0, "", 3), "m2 - - - - - - 3 3 3 0 3 11");
    row("other meeting at negative version", record("m2", -1, "n", 3),
        "m2 o - n - - n 0 1 0 0 1 00");
}

void TestMeetingDefines::update()
{
    QFETCH(MeetingInfo, other);
    QFETCH(QByteArray, expected);
    MeetingInfo stored = record("m1", 5, "o", 1);
    stored.update(other);
    QCOMPARE(render(stored), expected);
}

void TestMeetingDefines::ordering_data()
{
    QTest::addColumn<Keys>("left");
    QTest::addColumn<Keys>("right");
    QTest::addColumn<int>("expected"); // -1 left first, 0 equal keys, 1 right first, 2 neither
    const auto row = [](const char *name, Keys l, Keys r, int expected) {
        QTest::newRow(name) << l << r << expected;
    };
    row("unknown before active", {0, 3, 1, 1}, {1, 0, 0, 0}, -1);
    row("reconnect folds into active", {2, 0, 1, 1}, {1, 1, 0, 0}, -1);
    row("disconnect equals connecting", {3, 0, 0, 0}, {4, 0, 0, 0}, 0);
    row("connecting before inviting", {4, 3, 1, 1}, {5, 0, 0, 0}, -1);
    row("busy after timeout", {8, 0, 0, 0}, {7, 0, 0, 0}, 1);
    row("invite before listener", {1, 2, 1, 1}, {1, 3, 0, 0}, -1);
    row("video on first", {1, 0, 0, 1}, {1, 0, 1, 0}, -1);
    row("video compares signed", {1, 0, -1, 0}, {1, 0, 0, 0}, -1);
    row("video off is one class", {1, 0, 2, 0}, {1, 0, 1, 0}, 0);
    row("local mute decides last", {1, 0, 2, 1}, {1, 0, 1, 0}, 1);
    row("no live object", {-1, 0, 0, 0}, {1, 0, 0, 0}, 2);
}

void TestMeetingDefines::ordering()
{
    QFETCH(Keys, left);
    QFETCH(Keys, right);
    QFETCH(int, expected);
    MeetingAttendee a, b;
    std::unique_ptr<MeetingAttendeeUser> live[2];
    for (int i = 0; i < 2; ++i) {
        const Keys &k = i ? right : left;
        if (k[0] < 0)
            continue;
        live[i] = std::make_unique<MeetingAttendeeUser>(1, nullptr);
        live[i]->setState(k[0]);
        live[i]->setParticipationStatus(k[1]);
        live[i]->setMute(k[2], 0, 1);
        live[i]->setMute(k[3], 1, 1);
        (i ? b : a).user = live[i].get();
    }
    for (int swap = 0; swap < 2; ++swap, std::swap(a, b)) {
        const int e = swap && expected != 2 ? -expected : expected;
        QCOMPARE(a < b, e < 0);
        QCOMPARE(a <= b, e <= 0);
        QCOMPARE(a > b, e == 1);
        QCOMPARE(a >= b, e >= 0 && e != 2);
    }
}

void TestMeetingDefines::equality()
{
    MeetingAttendeeUser live(1, nullptr), other(1, nullptr);
    MeetingAttendee a(1, 2, 1, 3, 0, false), b(1, 2, 5, 3, 3, false);
    a.user = b.user = &live;
    QVERIFY(a == b); // status and role take no part
    b.user = &other;
    QVERIFY(a != b);
    b.user = &live;
    b.deviceId = 9;
    QVERIFY(a != b);
    b.deviceId = a.deviceId;
    b.inviterId = 9;
    QVERIFY(a != b);
}

void TestMeetingDefines::conversions()
{
    const MeetingAttendee a;
    QByteArray states, statuses, roles;
    for (int v = -1; v <= 9; ++v) {
        states += QByteArray::number(a.converState(v)) + ' ';
        statuses += QByteArray::number(a.coverStatus(v)) + ' ';
        roles += QByteArray::number(a.coverRole(v)) + ' ';
        // The constructor converts only what comes from the server.
        const MeetingAttendee server(1, 1, v, 0, v, true), local(1, 1, v, 0, v, false);
        QCOMPARE(server.status, a.coverStatus(v));
        QCOMPARE(server.role, a.coverRole(v));
        QCOMPARE(local.status, v);
        QCOMPARE(local.role, v);
    }
    QCOMPARE(states, "-1 0 1 1 1 1 5 6 7 8 9 ");
    QCOMPARE(statuses, "0 0 5 6 1 7 8 0 0 0 0 ");
    QCOMPARE(roles, "0 0 3 0 0 0 0 0 0 0 0 ");
}

QTEST_GUILESS_MAIN(TestMeetingDefines)
#include "tst_meetingdefines.moc"
