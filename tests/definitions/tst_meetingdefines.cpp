#include "meetingattendeeuser.h"
#include "meetingdefines.h"
#include <QMetaEnum>
#include <QTest>
#include <memory>

namespace {
using Keys = QList<QByteArray>;

// Ordering keys of one live object: state, participation status, muteVideo, muteVideoLocal.
struct Order
{
    int state, status, video;
    bool local;
};

std::unique_ptr<MeetingAttendeeUser> liveObject(const Order &o)
{
    auto user = std::make_unique<MeetingAttendeeUser>(1, nullptr);
    user->setState(o.state);
    user->setParticipationStatus(o.status);
    user->setMute(o.video, 0, 1);
    user->setMute(o.local, 1, 1);
    return user;
}

MeetingInfo record(const char *id, qint64 version)
{
    MeetingInfo info;
    info.meetingId = QString::fromLatin1(id);
    info.version = version;
    return info;
}

MeetingInfo filled(const char *id, qint64 version, const char *tag, int attendee)
{
    MeetingInfo info = record(id, version);
    const QString t = QString::fromLatin1(tag);
    info.dialogId = t + QStringLiteral("-dialog");
    info.mediaServerUrl = t + QStringLiteral("-url");
    info.nonce = t + QStringLiteral("-nonce");
    info.meetingName = t + QStringLiteral("-name");
    info.clientId = t + QStringLiteral("-client");
    info.meetingKey = QByteArray(tag) + "-key";
    info.speakerCapacity = attendee + 10;
    info.messageId = attendee + 20;
    info.extra = attendee + 30;
    info.attendees = {MeetingAttendee(attendee, 1, 1, 0, 0, false)};
    info.isPrivateCall = info.disableSpeakingPrivileges = true;
    return info;
}

void compareRecords(const MeetingInfo &a, const MeetingInfo &e)
{
    QCOMPARE(a.meetingId, e.meetingId);
    QCOMPARE(a.dialogId, e.dialogId);
    QCOMPARE(a.mediaServerUrl, e.mediaServerUrl);
    QCOMPARE(a.nonce, e.nonce);
    QCOMPARE(a.meetingName, e.meetingName);
    QCOMPARE(a.clientId, e.clientId);
    QCOMPARE(a.meetingKey, e.meetingKey);
    QCOMPARE(a.speakerCapacity, e.speakerCapacity);
    QCOMPARE(a.messageId, e.messageId);
    QCOMPARE(a.extra, e.extra);
    QCOMPARE(a.version, e.version);
    QVERIFY(a.attendees == e.attendees);
    QCOMPARE(a.isPrivateCall, e.isPrivateCall);
    QCOMPARE(a.disableSpeakingPrivileges, e.disableSpeakingPrivileges);
}
} // namespace

Q_DECLARE_METATYPE(Order)

class TestMeetingDefines : public QObject
{
    Q_OBJECT
private slots:
    void enumKeys_data();
    void enumKeys();
    void update_data();
    void update();
    void ordering_data();
    void ordering();
    void equality();
    void conversions_data();
    void conversions();
};

void TestMeetingDefines::enumKeys_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<Keys>("keys");
    QTest::addColumn<QList<int>>("values");
    int index = 0;
    const auto row = [&index](const char *name, const Keys &keys, const QList<int> &values) {
        QTest::newRow(name) << index++ << keys << values;
    };
    row("DeviceType", {"DEVICE_AUDIO_IN", "DEVICE_AUDIO_OUT", "DEVICE_VIDEO_IN"}, {0, 1, 2});
    row("AttendeeStatus",
        {"UNKNOWN", "ACTIVE", "RECONNECT", "DISCONNECT", "CONNECTING", "INVITING", "REJECTED",
         "TIMEOUT", "BUSY"},
        {0, 1, 2, 3, 4, 5, 6, 7, 8});
    row("MeetingStatus", {"NOTCREATE", "CREATED", "CONNECTED"}, {0, 1, 2});
    row("MeetingRejectReason", {"MEET_REASON_UNKNOWN", "MEET_REASON_REJECT", "MEET_REASON_BUSY"},
        {0, 1, 2});
    row("MediaServerError",
        {"ERR_CONNECT", "ERR_TRANSFER", "ERR_KICKED", "ERR_MUTE", "ERR_PermissionDenied",
         "ERR_SOCKET", "ERR_TOKEN", "ERR_SHARE", "ERR_SHARE_PERMISSION", "ERR_UNKNOW"},
        {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    row("AttendeeType", {"VIDEO", "WHITEBOARD", "SHARESCREEN"}, {0, 1, 2});
    row("ShareType", {"NO_SHARE", "WHITEBOARD_SHARE", "DESKTOP_SHARE", "APP_SHARE"}, {0, 1, 2, 3});
    row("MuteType", {"MUTE_AUDIO", "MUTE_VIDEO"}, {0, 1});
    row("PbError", {"INVALID_PASSWORD", "GET_MEETING_LINK"}, {2113, 284});
    row("SharePremission", {"ALL_SHARE", "ONLY_HOST_SHARE"}, {0, 1});
    row("ParticipationStatus", {"SPEAKER", "RAISE_HAND", "INVITE", "LISTENER"}, {0, 1, 2, 3});
    row("ConnectingIssues", {"OWN_DISCONNET", "OTHER_DISCONNECT", "CALL_END"}, {1, 2, 4});
    row("AudioIssues",
        {"MECHANICAL_SOUND", "TRANSIENT_NOISE", "OWN_INAUDIBLE", "OTHER_INAUDIBLE", "LOW_SOUND"},
        {1, 2, 4, 8, 16});
    row("VideoIssues",
        {"STUTTERING_VIDEO", "OWN_FROZEN_VIDEO", "NOT_SEE_MY_VIDEO", "NOT_SEE_OTHER_VIDEO",
         "LOW_VIDEO"},
        {1, 2, 4, 8, 16});
    row("RingingStatus", {"CALLING", "RINGING", "SILENT"}, {0, 1, 2});
}

void TestMeetingDefines::enumKeys()
{
    QFETCH(int, index);
    QFETCH(Keys, keys);
    QFETCH(QList<int>, values);
    const QMetaObject &mo = MeetingDefines::staticMetaObject;
    QCOMPARE(mo.enumeratorCount(), 15);
    const QMetaEnum e = mo.enumerator(index);
    QCOMPARE(e.name(), QTest::currentDataTag());
    QVERIFY(!e.isFlag() && !e.isScoped());
    QCOMPARE(qsizetype(e.keyCount()), keys.size());
    int bits = 0, sum = 0;
    for (int i = 0; i < keys.size(); ++i) {
        QCOMPARE(QByteArray(e.key(i)), keys.at(i));
        QCOMPARE(e.value(i), values.at(i));
        QCOMPARE(QByteArray(e.valueToKey(values.at(i))), keys.at(i));
        bits |= values.at(i);
        sum += values.at(i);
    }
    // Issue values are summed into one rating field, so they must not overlap.
    if (QByteArray(e.name()).endsWith("Issues"))
        QCOMPARE(bits, sum);
    if (index == 2)
        QVERIFY(!e.valueToKey(3));
}

void TestMeetingDefines::update_data()
{
    QTest::addColumn<MeetingInfo>("stored");
    QTest::addColumn<MeetingInfo>("other");
    QTest::addColumn<MeetingInfo>("expected");

    const MeetingInfo old = filled("m1", 5, "old", 1);
    MeetingInfo same = filled("m1", 5, "new", 2);
    QTest::newRow("equal version replaces") << old << same << same;

    MeetingInfo older = filled("m1", 4, "new", 2);
    MeetingInfo keptButSecrets = old;
    keptButSecrets.nonce = older.nonce;
    keptButSecrets.meetingKey = older.meetingKey;
    QTest::newRow("lower version takes only nonce and key") << old << older << keptButSecrets;
    QTest::newRow("lower version without secrets changes nothing") << old << record("m1", 4) << old;

    MeetingInfo sparse = record("m1", 6);
    sparse.dialogId = QStringLiteral("d2");
    MeetingInfo sparseMerged = old;
    sparseMerged.version = 6;
    sparseMerged.dialogId = sparse.dialogId;
    sparseMerged.speakerCapacity = sparseMerged.messageId = sparseMerged.extra = 0;
    sparseMerged.isPrivateCall = sparseMerged.disableSpeakingPrivileges = false;
    sparseMerged.attendees.clear();
    QTest::newRow("newer keeps non-empty strings, empties attendees")
        << old << sparse << sparseMerged;

    MeetingInfo moved = record("m2", 0);
    moved.dialogId = QStringLiteral("d2");
    moved.attendees = {MeetingAttendee(3, 1, 1, 0, 0, false)};
    QTest::newRow("other meeting at version 0 replaces all") << old << moved << moved;

    MeetingInfo negative = record("m2", -1);
    negative.nonce = QStringLiteral("n2");
    negative.dialogId = QStringLiteral("d2");
    MeetingInfo reset = record("m2", 0);
    reset.nonce = negative.nonce;
    reset.dialogId = old.dialogId;
    reset.messageId = old.messageId;
    reset.attendees = old.attendees;
    QTest::newRow("other meeting at negative version only resets") << old << negative << reset;
}

void TestMeetingDefines::update()
{
    QFETCH(MeetingInfo, stored);
    QFETCH(MeetingInfo, other);
    QFETCH(MeetingInfo, expected);
    stored.update(other);
    compareRecords(stored, expected);
}

void TestMeetingDefines::ordering_data()
{
    QTest::addColumn<Order>("left");
    QTest::addColumn<Order>("right");
    QTest::addColumn<int>("expected"); // -1 left first, 0 equal keys, 2 incomparable (null)
    using namespace MeetingDefines;
    const auto row = [](const char *name, Order l, Order r, int expected) {
        QTest::newRow(name) << l << r << expected;
    };
    row("unknown before active", {UNKNOWN, LISTENER, 1, true}, {ACTIVE, SPEAKER, 0, false}, -1);
    row("active-like fold, role decides", {RECONNECT, SPEAKER, 1, true},
        {ACTIVE, RAISE_HAND, 0, false}, -1);
    row("connecting folds into active", {CONNECTING, SPEAKER, 1, true},
        {ACTIVE, LISTENER, 0, false}, -1);
    row("disconnect equals connecting", {DISCONNECT, SPEAKER, 0, false},
        {CONNECTING, SPEAKER, 0, false}, 0);
    row("connecting before inviting", {CONNECTING, LISTENER, 1, true},
        {INVITING, SPEAKER, 0, false}, -1);
    row("state order past inviting", {REJECTED, SPEAKER, 0, false}, {TIMEOUT, SPEAKER, 0, false},
        -1);
    row("busy last", {BUSY, SPEAKER, 0, false}, {TIMEOUT, SPEAKER, 0, false}, 1);
    row("invite before listener", {ACTIVE, INVITE, 1, true}, {ACTIVE, LISTENER, 0, false}, -1);
    row("video on first", {ACTIVE, SPEAKER, 0, true}, {ACTIVE, SPEAKER, 1, false}, -1);
    row("negative video compares signed", {ACTIVE, SPEAKER, -1, false}, {ACTIVE, SPEAKER, 0, false},
        -1);
    row("video-off values are one class", {ACTIVE, SPEAKER, 2, false}, {ACTIVE, SPEAKER, 1, false},
        0);
    row("local mute decides last", {ACTIVE, SPEAKER, 2, true}, {ACTIVE, SPEAKER, 1, false}, 1);
    row("null left", {-1, 0, 0, false}, {ACTIVE, SPEAKER, 0, false}, 2);
    row("null right", {ACTIVE, SPEAKER, 0, false}, {-1, 0, 0, false}, 2);
}

void TestMeetingDefines::ordering()
{
    QFETCH(Order, left);
    QFETCH(Order, right);
    QFETCH(int, expected);
    const auto l = liveObject(left), r = liveObject(right);
    MeetingAttendee a, b;
    a.user = left.state < 0 ? nullptr : l.get();
    b.user = right.state < 0 ? nullptr : r.get();
    const bool comparable = expected != 2;
    for (int swap = 0; swap < 2; ++swap) {
        const int e = swap ? -expected : expected;
        QCOMPARE(a < b, comparable && e < 0);
        QCOMPARE(a <= b, comparable && e <= 0);
        QCOMPARE(a > b, comparable && e > 0);
        QCOMPARE(a >= b, comparable && e >= 0);
        std::swap(a, b);
    }
}

void TestMeetingDefines::equality()
{
    MeetingAttendeeUser live(1, nullptr), other(1, nullptr);
    MeetingAttendee a(1, 2, 1, 3, 0, false);
    a.user = &live;
    MeetingAttendee b(1, 2, 5, 3, 3, false);
    b.user = &live;
    QVERIFY(a == b);
    b.user = &other;
    QVERIFY(a != b);
    b.user = &live;
    b.deviceId = 9;
    QVERIFY(a != b);
    b.deviceId = a.deviceId;
    b.inviterId = 9;
    QVERIFY(a != b);
}

void TestMeetingDefines::conversions_data()
{
    QTest::addColumn<int>("kind"); // 0 converState, 1 coverStatus, 2 coverRole
    QTest::addColumn<QList<int>>("in");
    QTest::addColumn<QList<int>>("out");
    QTest::newRow("converState") << 0 << QList<int>{-1, 0, 1, 2, 3, 4, 5, 8, 9}
                                 << QList<int>{-1, 0, 1, 1, 1, 1, 5, 8, 9};
    QTest::newRow("coverStatus") << 1 << QList<int>{-1, 0, 1, 2, 3, 4, 5, 6}
                                 << QList<int>{0, 0, 5, 6, 1, 7, 8, 0};
    QTest::newRow("coverRole") << 2 << QList<int>{-1, 0, 1, 2, 3} << QList<int>{0, 0, 3, 0, 0};
}

void TestMeetingDefines::conversions()
{
    QFETCH(int, kind);
    QFETCH(QList<int>, in);
    QFETCH(QList<int>, out);
    const MeetingAttendee a;
    for (int i = 0; i < in.size(); ++i) {
        const int v = in.at(i);
        const int got = kind == 0   ? a.converState(v)
                        : kind == 1 ? a.coverStatus(v)
                                    : a.coverRole(v);
        QCOMPARE(got, out.at(i));
        if (kind == 0)
            continue;
        // The constructor converts only what comes from the server.
        const MeetingAttendee server(1, 1, v, 0, v, true), local(1, 1, v, 0, v, false);
        QCOMPARE(kind == 1 ? server.status : server.role, out.at(i));
        QCOMPARE(kind == 1 ? local.status : local.role, v);
    }
}

QTEST_GUILESS_MAIN(TestMeetingDefines)
#include "tst_meetingdefines.moc"
