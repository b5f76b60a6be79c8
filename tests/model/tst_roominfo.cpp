#include "modeltestkit.h"
#include "roominfo.h"
#include <QtTest>

using namespace modeltest;

class RoomInfoTest : public QObject
{
    Q_OBJECT
private slots:
    void readsAttendee_data();
    void readsAttendee();
    void nullRoom_data();
    void nullRoom();
    void rejects_data();
    void rejects();
};

void RoomInfoTest::readsAttendee_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QList<qint64>>("expected"); // id, raiseHand, audio, video, score, host
    QTest::addColumn<QString>("share");          // "" none, "s:<id>" screen, "w:<id>:<mark>"

    QTest::addRow("defaults") << roomEntry(5) << QList<qint64>{5, 0, 0, 1, -1, 0} << QString();
    QTest::addRow("float id truncated") << roomEntry(5).replace("\"id\":5", "\"id\":12.9")
                                        << QList<qint64>{12, 0, 0, 1, -1, 0} << QString();
    QTest::addRow("64-bit id") << roomEntry(5).replace("\"id\":5", "\"id\":9007199254740993")
                               << QList<qint64>{9007199254740993, 0, 0, 1, -1, 0} << QString();
    QTest::addRow("booleans as numbers")
        << roomEntry(5, "\"mute\":{\"audio\":true,\"video\":false},\"score\":false")
               .replace("\"raiseHand\":0", "\"raiseHand\":true")
        << QList<qint64>{5, 1, 1, 0, 0, 0} << QString();
    QTest::addRow("null and empty members")
        << roomEntry(5, "\"mute\":{},\"score\":null,\"share\":[],\"host\":null")
        << QList<qint64>{5, 0, 0, 1, -1, 0} << QString();
    QTest::addRow("host not boolean")
        << roomEntry(5, "\"host\":1") << QList<qint64>{5, 0, 0, 1, -1, 0} << QString();
    QTest::addRow("first share only")
        << roomEntry(5, "\"host\":true,\"share\":[{\"type\":\"desktop\",\"id\":\"s1\"},7]")
        << QList<qint64>{5, 0, 0, 1, -1, 1} << QStringLiteral("s:s1");
    QTest::addRow("whiteboard") << roomEntry(5, "\"share\":[{\"type\":\"whiteBoard\",\"id\":\"w\","
                                                "\"otherMark\":true}],\"score\":2.7")
                                << QList<qint64>{5, 0, 0, 1, 2, 0} << QStringLiteral("w:w:1");
}

void RoomInfoTest::readsAttendee()
{
    QFETCH(QByteArray, entry);
    QFETCH(QList<qint64>, expected);
    QFETCH(QString, share);

    const std::optional<RoomInfo> room = RoomInfo::parse(roomText({entry}));
    QVERIFY(room);
    QCOMPARE(room->attendees.size(), 1);
    const RoomAttendee &a = room->attendees.first();
    QCOMPARE((QList<qint64>{a.id, a.raiseHand, a.muteAudio, a.muteVideo, a.score, a.host}),
             expected);
    QString shareText;
    if (a.share) {
        shareText = a.share->whiteboard
                        ? QStringLiteral("w:%1:%2").arg(a.share->id).arg(a.share->otherMark)
                        : QStringLiteral("s:") + a.share->id;
    }
    QCOMPARE(shareText, share);
}

void RoomInfoTest::nullRoom_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addRow("empty") << QByteArray();
    QTest::addRow("blank") << QByteArray(" \n");
    QTest::addRow("null") << QByteArray("null");
}

void RoomInfoTest::nullRoom()
{
    QFETCH(QByteArray, text);
    const std::optional<RoomInfo> room = RoomInfo::parse(text);
    QVERIFY(room);
    QVERIFY(room->isNull);
    QVERIFY(!room->muteAll && !room->permissions && room->attendees.isEmpty());
}

void RoomInfoTest::rejects_data()
{
    QTest::addColumn<QByteArray>("text");
    for (const auto &row : malformedRooms())
        QTest::addRow("%s", row.first) << row.second;
}

void RoomInfoTest::rejects()
{
    QFETCH(QByteArray, text);
    MeetingLog log;
    QVERIFY(!RoomInfo::parse(text));
    QVERIFY(log.contains(QtWarningMsg, QStringLiteral("room information rejected")));
}

QTEST_GUILESS_MAIN(RoomInfoTest)
#include "tst_roominfo.moc"
