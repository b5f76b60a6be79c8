#include "accountmanager.h"
#include "meetingfixture.h"
#include <QGuiApplication>
#include <QImage>

using namespace MeetingDefines;
using im::whiteboard::TransferData;

namespace {
TransferData *userJoin(qint64 timestamp)
{
    auto *data = new TransferData;
    data->mutable_userjoin()->set_timestamp(timestamp);
    return data;
}

TransferData sent(int index)
{
    TransferData data;
    const QByteArray bytes =
        Broadcaster::calls(QStringLiteral("sendData")).value(index).args.value(0).toByteArray();
    data.ParseFromArray(bytes.constData(), int(bytes.size()));
    return data;
}

// Opens one whiteboard for each id, each of its own attendee (301, 302, ...).
void openWhiteboards(Meeting &m, const QStringList &ids)
{
    for (const QString &id : ids) {
        const qint64 owner = 301 + ids.indexOf(id);
        m.add(owner, u's');
        m.report([id, owner](Broadcaster *b) {
            emit b->sigNotifyCreateShare(owner, id, qtwebrtc::SHARE_WHITEBOARD);
        });
    }
}
} // namespace

class TestMeetingShare : public QObject
{
    Q_OBJECT
private slots:
    void commands_data();
    void commands();
    void sharesFollowReports();
    void sharePermission_data();
    void sharePermission();
    void userJoinCollection();
    void userAction();
    void receivedData();
};

void TestMeetingShare::commands_data()
{
    QTest::addColumn<bool>("host");
    QTest::addColumn<bool>("multiShare");
    QTest::addColumn<int>("meetingType");
    QTest::addColumn<Act>("act");
    QTest::addColumn<QVariantList>("args"); // empty: nothing posted
    QScreen *screen = QGuiApplication::primaryScreen();
    const Act whiteboard = [screen](MeetingModel &m) {
        m.createShare(1, screen, QSize(8, 8), 5);
    };
    const Act app = [screen](MeetingModel &m) {
        m.createShare(3, screen, QSize(1920, 1080), 15);
    };
    const Act all = [](MeetingModel &m) {
        m.setSharePremission(1, true);
    };
    const Act hostOnly = [](MeetingModel &m) {
        m.setSharePremission(0, false);
    };
    QTest::addRow("host whiteboard") << true << false << 2 << whiteboard
                                     << QVariantList{1, AccountManager::ptr(nullptr), QRect(), 30};
    QTest::addRow("attendee, no multi-share")
        << false << false << 2 << whiteboard << QVariantList();
    QTest::addRow("attendee app share")
        << false << true << 2 << app
        << QVariantList{2, AccountManager::ptr(screen), QRect(0, 0, 1920, 1080), 15};
    QTest::addRow("other meeting type") << true << true << 1 << app << QVariantList();
    QTest::addRow("non-zero permission")
        << true << false << 2 << all << QVariantList{QStringLiteral("all"), true};
    QTest::addRow("zero permission")
        << true << false << 2 << hostOnly << QVariantList{QStringLiteral("host"), false};
    QTest::addRow("permission by attendee") << false << true << 2 << all << QVariantList();
}

void TestMeetingShare::commands()
{
    QFETCH(Act, act);
    QFETCH(QVariantList, args);
    Meeting m;
    QFETCH(bool, host);
    m.model.setHost(host);
    QFETCH(bool, multiShare);
    m.model.setCanMultiShare(multiShare);
    QFETCH(int, meetingType);
    m.account.accountSettingModel()->setSupportedMeetingType(meetingType);
    act(m.model);
    m.engine->sync();
    const QList<Broadcaster::Call> calls = Broadcaster::calls();
    QCOMPARE(calls.size(), args.isEmpty() ? 0 : 1);
    if (!args.isEmpty())
        QCOMPARE(calls[0].args, args);
}

void TestMeetingShare::sharesFollowReports()
{
    // Given three speakers with cameras on (202 lands above 201).
    Meeting m(QStringLiteral("100S 201S 202S"));
    QSignalSpy created(&m.model, &MeetingModel::createShareSuccess);
    QSignalSpy closed(&m.model, &MeetingModel::sigCloseShare);
    QSignalSpy shared(&m.model, &MeetingModel::isSharedChanged);
    QSignalSpy switched(&m.model, &MeetingModel::notifySwitchWindow);
    QSignalSpy announced(&m.model, &MeetingModel::sigRecvUserJoinData);

    // When another attendee and this user open shares, each share follows its owner.
    m.report([](Broadcaster *b) {
        emit b->sigNotifyCreateShare(201, QStringLiteral("s-1"), qtwebrtc::SHARE_PICTURE);
    });
    m.report([](Broadcaster *b) {
        emit b->sigNotifyCreateShare(kSelf, QStringLiteral("w-1"), qtwebrtc::SHARE_WHITEBOARD);
    });
    const QList<qint64> both{100, 1001, 202, 201, 2012};
    QCOMPARE(Meeting::order(m.model.attendeeList()), both);
    QCOMPARE(Meeting::order(m.model.activeAttendeeList()), both);
    QCOMPARE(created.size(), 2);
    QCOMPARE(created[0], (QVariantList{2, 201LL, QStringLiteral("s-1")}));
    QCOMPARE(created[1], (QVariantList{1, kSelf, QStringLiteral("w-1")}));
    QCOMPARE(switched.size(), 0);
    QCOMPARE(shared, (QList<QVariantList>{{true}}));
    QCOMPARE(announced.size(), 1);
    std::unique_ptr<TransferData> announcement(announced[0][0].value<TransferData *>());
    QCOMPARE(announcement->userjoin().timestamp(), 1);
    QVERIFY(!announcement->has_share_id());
    m.engine->sync();
    // The own share goes out silent.
    QCOMPARE(Broadcaster::calls(QStringLiteral("setMute")).value(0).args,
             (QVariantList{true, kSelf, 4, false}));

    // Drawing permission, both ways.
    m.model.setAllowDraw(false);
    m.engine->sync();
    QCOMPARE(Broadcaster::calls(QStringLiteral("setAllowDraw")).value(0).args,
             (QVariantList{QStringLiteral("w-1"), false}));
    m.report(
        [](Broadcaster *b) { emit b->sigNotifySetAllowDraw(201, QStringLiteral("w-1"), false); });
    QVERIFY(!qobject_cast<MeetingAttendeeWhiteBoard *>(m.user(kSelf, WHITEBOARD))->allowDraw());

    // Closing removes the share rows; a second own close changes nothing at all.
    m.report([](Broadcaster *b) { emit b->sigNotifyCloseShare(201, QStringLiteral("s-1")); });
    m.report([](Broadcaster *b) { emit b->sigNotifyCloseShare(kSelf, QStringLiteral("w-1")); });
    m.report([](Broadcaster *b) { emit b->sigNotifyCloseShare(kSelf, QStringLiteral("w-1")); });
    QCOMPARE(closed,
             (QList<QVariantList>{{201LL, QStringLiteral("s-1")}, {kSelf, QStringLiteral("w-1")}}));
    QCOMPARE(shared.size(), 2);
    const QList<qint64> none{100, 202, 201};
    QCOMPARE(Meeting::order(m.model.attendeeList()), none);
    QCOMPARE(Meeting::order(m.model.activeAttendeeList()), none);
}

void TestMeetingShare::sharePermission_data()
{
    QTest::addColumn<QString>("who");
    QTest::addColumn<bool>("disable");
    QTest::addColumn<QByteArray>("room");
    QTest::addColumn<bool>("multiShare");
    QTest::addColumn<int>("status"); // of 202, who has a raised hand
    QTest::addColumn<bool>("rejected");
    QTest::addRow("host only, no room")
        << QStringLiteral("host") << true << QByteArray() << false << int(RAISE_HAND) << false;
    QTest::addRow("listener reset")
        << QStringLiteral("all") << false << roomWith(202, "", "listener") << true << int(LISTENER)
        << false;
    QTest::addRow("raised hand kept")
        << QStringLiteral("Host") << false << roomWith(202, "", "listener", 1) << true
        << int(RAISE_HAND) << false;
    QTest::addRow("unparsable room")
        << QStringLiteral("all") << false << QByteArray("[{") << true << int(RAISE_HAND) << true;
}

void TestMeetingShare::sharePermission()
{
    QFETCH(bool, disable);
    QFETCH(QByteArray, room);
    QFETCH(QString, who);
    Meeting m(QStringLiteral("100S 201S 202R"));
    m.model.setHost(true);
    QSignalSpy raised(&m.model, &MeetingModel::notifyRaiseHand);
    QFETCH(bool, rejected);
    if (rejected)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(".+")));
    m.report([=](Broadcaster *b) { emit b->sigNotifySharePremission(who, disable, room); });
    QTEST(m.model.canMultiShare(), "multiShare");
    QCOMPARE(m.model.canSpeakingPrivileges(), !disable);
    QTEST(m.user(202)->participationStatus(), "status");
    QCOMPARE(raised.size(), m.user(202)->participationStatus() == LISTENER ? 1 : 0);
}

void TestMeetingShare::userJoinCollection()
{
    Meeting m;
    openWhiteboards(m, {QStringLiteral("w-a"), QStringLiteral("w-b")});
    m.model.sendData(userJoin(5), {});
    m.model.sendData(userJoin(3), {});
    m.model.sendData(userJoin(7), {}); // starts the next collection
    m.engine->sync();
    QCOMPARE(Broadcaster::calls(QStringLiteral("sendData")).size(), 1);
    QCOMPARE(sent(0).userjoin().timestamp(), 5);

    // Without whiteboards a reply is kept, and freed with the model; without an engine it is
    // dropped.
    Meeting lone;
    lone.model.sendData(userJoin(2), {});
    Meeting idle({}, false);
    idle.model.sendData(userJoin(2), {});
    lone.engine->sync();
    QVERIFY(Broadcaster::calls(QStringLiteral("sendData")).isEmpty());
}

void TestMeetingShare::userAction()
{
    Meeting m;
    m.account.setCurrentTimestamp(1234);
    QImage image;
    for (const bool join : {true, false}) {
        Broadcaster::clearCalls();
        m.model.sendUserAction(join, QStringLiteral("w-a"));
        m.model.setWhiteboard(&image, QStringLiteral("w-a"));
        m.engine->sync();
        const TransferData data = sent(0);
        QCOMPARE(data.share_id(), std::string("w-a"));
        QCOMPARE(data.multi().whiteboarddatalist_size(), 1);
        QCOMPARE(data.multi().whiteboarddatalist(0).timestamp(), 1234);
        im::whiteboard::WhiteboardData item;
        QVERIFY(item.ParseFromString(data.multi().whiteboarddatalist(0).data()));
        QCOMPARE(item.kind(), 1);
        QCOMPARE(item.useractiondata().user_id(), kSelf);
        QCOMPARE(item.useractiondata().time(), 1234);
        QCOMPARE(item.useractiondata().action(), join ? 0 : 1);
        // Only the joined whiteboard takes pictures.
        QCOMPARE(Broadcaster::calls(QStringLiteral("setWhiteboard")).size(), join ? 1 : 0);
    }
}

void TestMeetingShare::receivedData()
{
    Meeting m;
    QSignalSpy content(&m.model, &MeetingModel::sigRecvData);
    QSignalSpy joins(&m.model, &MeetingModel::sigRecvUserJoinData);
    const QStringList ids{QStringLiteral("w-a"), QStringLiteral("w-b"), QStringLiteral("w-c")};
    openWhiteboards(m, ids);
    for (const QVariantList &announcement : std::as_const(joins))
        delete announcement[0].value<TransferData *>();
    joins.clear();
    const auto drawingOn = [](const char *board) {
        auto *drawing = new TransferData;
        drawing->set_share_id(board);
        drawing->mutable_multi();
        return drawing;
    };
    // A board that is not open, or no longer, hears nothing (and the message is freed).
    m.report([](Broadcaster *b) { emit b->sigNotifyCloseShare(301, QStringLiteral("w-a")); });
    m.report([&](Broadcaster *b) {
        emit b->sigNotifyData(nullptr);
        emit b->sigNotifyData(userJoin(9));
        emit b->sigNotifyData(drawingOn("w-b"));
        emit b->sigNotifyData(drawingOn("w-x"));
        emit b->sigNotifyData(drawingOn("w-a"));
    });
    QCOMPARE(content.size(), 1);
    QCOMPARE(content[0][1].toString(), QStringLiteral("w-b"));
    delete content[0][0].value<TransferData *>();
    QCOMPARE(joins.size(), 2);
    for (int i = 0; i < 2; ++i) {
        std::unique_ptr<TransferData> fan(joins[i][0].value<TransferData *>());
        QCOMPARE(joins[i][1].toString(), ids[i + 1]);
        QCOMPARE(fan->share_id(), ids[i + 1].toStdString());
        QCOMPARE(fan->userjoin().timestamp(), 9);
    }
}

QTEST_MAIN(TestMeetingShare)
#include "tst_meetingshare.moc"
