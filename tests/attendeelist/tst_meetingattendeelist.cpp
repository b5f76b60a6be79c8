#include "accountbase.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "testsupport.h"
#include "videosink.h"
#include <QPointer>
#include <QRandomGenerator>
#include <QtTest>

using namespace MeetingDefines;
using Rows = QList<QList<int>>; // {uid, state, role, muteVideo}

namespace {
constexpr qint64 kSelf = 1;

// Records with live objects, in the given row order.
QList<MeetingAttendee> records(MeetingAttendeeList &list, const Rows &rows)
{
    QList<MeetingAttendee> out;
    for (const QList<int> &r : rows) {
        MeetingAttendee a(r[0], 0, r[1], 0, r[2], false);
        list.updateAttendeeUser(a);
        a.user->setMute(r[3], 0, 1);
        out.append(a);
    }
    return out;
}

// Row user ids; share rows as negative ids.
QList<qint64> order(const MeetingAttendeeList &list)
{
    QList<qint64> out;
    for (const MeetingAttendee &a : list.rows())
        out.append(a.user && a.user->type() != VIDEO ? -a.userId : a.userId);
    return out;
}

QList<QVariantList> args(const QSignalSpy &spy)
{
    return spy;
}

QList<QList<int>> moves(const QSignalSpy &spy)
{
    QList<QList<int>> out;
    for (const QList<QVariant> &args : spy)
        out.append({args.at(1).toInt(), args.at(2).toInt(), args.at(4).toInt()});
    return out;
}

struct Fixture
{
    Fixture() { list.setUserId(kSelf); }
    MeetingAttendeeUser *user(qint64 uid) const
    {
        return qobject_cast<MeetingAttendeeUser *>(list.getAttendeeInfoByUid(uid));
    }
    AccountBase account{kSelf, 1};
    MeetingAttendeeList list{&account, nullptr};
    testsupport::ModelChecker checker{&list};
};
} // namespace

class tst_MeetingAttendeeList : public QObject
{
    Q_OBJECT
private slots:
    void placement_data();
    void placement();
    void singleRowMoves_data();
    void singleRowMoves();
    void reconcileWithServerSet();
    void reconcileDerivedList();
    void removal();
    void updateAttendee();
    void fullSort();
    void shares();
    void queries();
    void randomizedSharedLists();
};

void tst_MeetingAttendeeList::placement_data()
{
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QList<int>>("added");
    QTest::addColumn<QList<qint64>>("expected");
    QTest::addRow("empty list") << Rows{} << QList<int>{5, ACTIVE, SPEAKER, 0} << QList<qint64>{5};
    QTest::addRow("one row: appended though smaller")
        << Rows{{2, INVITING, SPEAKER, 1}} << QList<int>{5, ACTIVE, SPEAKER, 0}
        << QList<qint64>{2, 5};
    QTest::addRow("self speaker on top")
        << Rows{{2, ACTIVE, SPEAKER, 0}, {3, ACTIVE, SPEAKER, 0}}
        << QList<int>{kSelf, ACTIVE, SPEAKER, 1} << QList<qint64>{kSelf, 2, 3};
    QTest::addRow("row 0 never passed over")
        << Rows{{2, ACTIVE, LISTENER, 1}, {3, ACTIVE, SPEAKER, 1}, {4, ACTIVE, SPEAKER, 1}}
        << QList<int>{5, ACTIVE, SPEAKER, 0} << QList<qint64>{2, 5, 3, 4};
    QTest::addRow("equal keys: before")
        << Rows{{2, ACTIVE, SPEAKER, 0}, {3, ACTIVE, LISTENER, 1}, {4, ACTIVE, LISTENER, 1}}
        << QList<int>{5, ACTIVE, LISTENER, 1} << QList<qint64>{2, 5, 3, 4};
    QTest::addRow("largest: appended")
        << Rows{{2, ACTIVE, SPEAKER, 0}, {3, ACTIVE, SPEAKER, 1}}
        << QList<int>{5, INVITING, LISTENER, 1} << QList<qint64>{2, 3, 5};
}

void tst_MeetingAttendeeList::placement()
{
    QFETCH(Rows, rows);
    QFETCH(QList<int>, added);
    QFETCH(QList<qint64>, expected);
    Fixture f;
    f.list.appendAttendee(records(f.list, rows), false);
    QSignalSpy inserted(&f.list, &QAbstractItemModel::rowsInserted);
    QSignalSpy counted(&f.list, &MeetingAttendeeList::countChanged);
    QSignalSpy actual(&f.list, &MeetingAttendeeList::actualCountChanged);
    f.list.appendAttendee(records(f.list, {added}).constFirst());
    QCOMPARE(order(f.list), expected);
    const int at = int(expected.indexOf(added[0]));
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(inserted[0].mid(1), (QVariantList{at, at}));
    QCOMPARE(args(counted), (QList<QVariantList>{{int(expected.size())}}));
    QCOMPARE(args(actual), (QList<QVariantList>{{int(expected.size())}}));
}

void tst_MeetingAttendeeList::singleRowMoves_data()
{
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<qint64>("uid");
    QTest::addColumn<int>("value");
    QTest::addColumn<QList<QList<int>>>("moved"); // {start, end, destination}
    QTest::addColumn<QList<qint64>>("expected");
    const Rows inviting{
        {2, INVITING, SPEAKER, 1}, {3, INVITING, SPEAKER, 1}, {4, INVITING, SPEAKER, 1}};
    const Rows speakers{{2, ACTIVE, SPEAKER, 1},
                        {3, ACTIVE, SPEAKER, 1},
                        {4, ACTIVE, SPEAKER, 1},
                        {5, ACTIVE, SPEAKER, 1},
                        {6, ACTIVE, SPEAKER, 1}};
    QTest::addRow("active: to the top") << inviting << "state" << qint64(4) << int(ACTIVE)
                                        << QList<QList<int>>{{2, 2, 0}} << QList<qint64>{4, 2, 3};
    QTest::addRow("active: below self")
        << Rows{{kSelf, ACTIVE, LISTENER, 1}, {3, INVITING, SPEAKER, 1}, {4, INVITING, SPEAKER, 1}}
        << "state" << qint64(4) << int(ACTIVE) << QList<QList<int>>{{2, 2, 1}}
        << QList<qint64>{kSelf, 4, 3};
    QTest::addRow("active: own index is a no-op")
        << Rows{{2, ACTIVE, SPEAKER, 1}, {3, INVITING, SPEAKER, 1}} << "state" << qint64(3)
        << int(ACTIVE) << QList<QList<int>>{} << QList<qint64>{2, 3};
    QTest::addRow("rejected: to the end")
        << speakers << "state" << qint64(3) << int(REJECTED) << QList<QList<int>>{{1, 1, 5}}
        << QList<qint64>{2, 4, 5, 6, 3};
    QTest::addRow("reconnect: no move") << inviting << "state" << qint64(4) << int(RECONNECT)
                                        << QList<QList<int>>{} << QList<qint64>{2, 3, 4};
    QTest::addRow("listener already last")
        << speakers.mid(0, 3) << "status" << qint64(4) << int(LISTENER) << QList<QList<int>>{}
        << QList<qint64>{2, 3, 4};
    QTest::addRow("raise hand: never above row 1")
        << Rows{{2, ACTIVE, LISTENER, 1}, {3, ACTIVE, LISTENER, 1}, {4, ACTIVE, LISTENER, 1}}
        << "status" << qint64(4) << int(RAISE_HAND) << QList<QList<int>>{{2, 2, 1}}
        << QList<qint64>{2, 4, 3};
    QTest::addRow("self speaker: row 0")
        << speakers.mid(0, 2) + Rows{{kSelf, ACTIVE, LISTENER, 1}} << "status" << kSelf
        << int(SPEAKER) << QList<QList<int>>{{2, 2, 0}} << QList<qint64>{kSelf, 2, 3};
    QTest::addRow("video on: to the top") << speakers.mid(0, 3) << "video" << qint64(4) << 0
                                          << QList<QList<int>>{{2, 2, 0}} << QList<qint64>{4, 2, 3};
    QTest::addRow("video off: below its peers")
        << Rows{{2, ACTIVE, SPEAKER, 0}, {3, ACTIVE, SPEAKER, 0}, {4, ACTIVE, SPEAKER, 1}}
        << "video" << qint64(2) << 1 << QList<QList<int>>{{0, 0, 2}} << QList<qint64>{3, 2, 4};
}

void tst_MeetingAttendeeList::singleRowMoves()
{
    QFETCH(Rows, rows);
    QFETCH(QString, kind);
    QFETCH(qint64, uid);
    QFETCH(int, value);
    QFETCH(QList<QList<int>>, moved);
    QFETCH(QList<qint64>, expected);
    Fixture f;
    f.list.appendAttendee(records(f.list, rows), false);
    QSignalSpy rowsMoved(&f.list, &QAbstractItemModel::rowsMoved);
    QSignalSpy movedSpy(&f.list, &MeetingAttendeeList::moved);
    const int index = f.list.getAttendeeIndex(uid, VIDEO);
    if (kind == QLatin1String("state")) {
        f.list.updateAttendeesStatus(uid, value);
    } else if (kind == QLatin1String("status")) {
        f.user(uid)->setParticipationStatus(value);
        f.list.sortAttendeeByStatus(uid, value, index);
    } else {
        f.user(uid)->setMute(value, 0, 1);
        f.list.sortAttendeeByVideo(uid, value, VIDEO, index);
    }
    QCOMPARE(moves(rowsMoved), moved);
    QCOMPARE(movedSpy.size(), moved.size());
    if (!moved.isEmpty())
        QCOMPARE(movedSpy[0], (QVariantList{moved[0][0], moved[0][2]}));
    QCOMPARE(order(f.list), expected);
}

void tst_MeetingAttendeeList::reconcileWithServerSet()
{
    Fixture f;
    f.account.userManager()->addContact(9, QStringLiteral("Inviter"));
    bool added = false;
    QSignalSpy reset(&f.list, &QAbstractItemModel::modelReset);
    QVERIFY(f.list.initAttendees({}, added).isEmpty());
    QVERIFY(!added);
    QCOMPARE(reset.size(), 0);

    const auto server = [](qint64 uid, int status, int role) {
        return MeetingAttendee(uid, 0, status, 9, role, false);
    };
    QVERIFY(f.list
                .initAttendees({server(2, ACTIVE, SPEAKER), server(3, ACTIVE, SPEAKER),
                                server(4, ACTIVE, SPEAKER)},
                               added)
                .isEmpty());
    QVERIFY(added);
    QCOMPARE(reset.size(), 1);
    QCOMPARE(f.list.maxCountHistory(), 3);
    QPointer<MeetingAttendeeUser> kept = f.user(2), dropped = f.user(3);
    const QSharedPointer<ContactBase> inviter = f.list.rows().constFirst().inviter;
    QCOMPARE(inviter->name(), QStringLiteral("Inviter"));

    QSignalSpy changed(&f.list, &QAbstractItemModel::dataChanged);
    QList<int> countAtKick;
    connect(&f.list, &MeetingAttendeeList::kickedOut, this, [&](qlonglong uid, int row, int type) {
        countAtKick << int(uid) << row << type << f.list.count();
    });
    const QList<MeetingAttendee> next{server(2, INVITING, LISTENER), server(4, ACTIVE, SPEAKER),
                                      server(5, ACTIVE, SPEAKER)};
    QCOMPARE(f.list.initAttendees(next, added), (QSet<qint64>{3}));
    QVERIFY(added);
    QCOMPARE(countAtKick, (QList<int>{3, 1, 0, 3}));
    QVERIFY(dropped.isNull());
    QCOMPARE(f.user(2), kept.data());
    QCOMPARE(kept->state(), int(INVITING));
    QCOMPARE(kept->participationStatus(), int(SPEAKER));
    QCOMPARE(f.list.rows().constFirst().inviter, inviter);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0][0].toModelIndex().row(), 0);
    QCOMPARE(changed[0][1].toModelIndex().row(), 0);
    QCOMPARE(f.list.maxCountHistory(), 3);

    changed.clear();
    QVERIFY(f.list.initAttendees(next, added).isEmpty());
    QVERIFY(!added);
    QCOMPARE(changed.size(), 0);
}

void tst_MeetingAttendeeList::reconcileDerivedList()
{
    Fixture owner;
    MeetingAttendeeList derived(&owner.account, nullptr);
    testsupport::ModelChecker checker(&derived);
    owner.list.appendAttendee(records(owner.list, {{2, ACTIVE, SPEAKER, 1},
                                                   {3, ACTIVE, SPEAKER, 1},
                                                   {4, ACTIVE, LISTENER, 1},
                                                   {5, ACTIVE, LISTENER, 1}}),
                              false);
    QList<MeetingAttendee> rows = owner.list.rows();
    derived.setDifferentAttendees(rows);
    QCOMPARE(derived.speakerCount(), 2);

    QSignalSpy moved(&derived, &QAbstractItemModel::rowsMoved);
    QSignalSpy movedSpy(&derived, &MeetingAttendeeList::moved);
    QSignalSpy inserted(&derived, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&derived, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(&derived, &QAbstractItemModel::modelReset);
    derived.setDifferentAttendees(rows);
    QCOMPARE(moved.size() + inserted.size() + removed.size() + reset.size(), 0);

    std::reverse(rows.begin(), rows.end());
    derived.setDifferentAttendees(rows);
    QCOMPARE(moves(moved), (QList<QList<int>>{{3, 3, 0}, {3, 3, 1}, {3, 3, 2}}));
    QCOMPARE(args(movedSpy), (QList<QVariantList>{{3, 0}, {3, 1}, {3, 2}}));
    QCOMPARE(order(derived), (QList<qint64>{5, 4, 3, 2}));

    // The owner deletes a live object that the derived list still shows until refreshed.
    QPointer<QObject> gone = derived.getAttendeeInfoByUid(3);
    owner.list.removeAttendee(3, true, QString());
    QVERIFY(gone.isNull());
    QCOMPARE(derived.data(derived.index(2), MeetingAttendeeList::USER_ROLE)
                 .value<MeetingAttendeeUser *>(),
             nullptr);
    derived.setDifferentAttendees(owner.list.rows());
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed[0].mid(1), (QVariantList{2, 2}));
    QCOMPARE(order(derived), (QList<qint64>{2, 4, 5}));
    QCOMPARE(derived.actualCount(), 3);
    QCOMPARE(derived.maxCountHistory(), 4);
    QCOMPARE(derived.speakerCount(), 1);
}

void tst_MeetingAttendeeList::removal()
{
    Fixture f;
    f.list.appendAttendee(records(f.list, {{2, ACTIVE, SPEAKER, 0}, {3, ACTIVE, SPEAKER, 0}}),
                          false);
    f.list.createShareAttendee(2, QStringLiteral("s2"), WHITEBOARD, true, 0);
    QCOMPARE(order(f.list), (QList<qint64>{2, -2, 3}));
    QPointer<QObject> camera = f.list.getAttendeeInfoByUid(2);
    QPointer<QObject> board = f.list.getAttendeeInfoByUid(2, WHITEBOARD);
    QSignalSpy kicked(&f.list, &MeetingAttendeeList::kickedOut);

    f.list.removeAttendee(2, true, QStringLiteral("any"));
    QCOMPARE(args(kicked), (QList<QVariantList>{{qlonglong(2), 1, int(WHITEBOARD)}}));
    QVERIFY(board.isNull() && !camera.isNull());
    f.list.createShareAttendee(2, QStringLiteral("s2"), SHARESCREEN, true, 0);
    kicked.clear();
    f.list.removeAttendee(2, true, QString());
    QCOMPARE(args(kicked), (QList<QVariantList>{{qlonglong(2), 0, int(VIDEO)},
                                                {qlonglong(2), 0, int(SHARESCREEN)}}));
    QVERIFY(camera.isNull());
    QCOMPARE(order(f.list), (QList<qint64>{3}));

    f.list.appendAttendee(records(f.list, {{4, ACTIVE, SPEAKER, 0}, {5, ACTIVE, SPEAKER, 0}}),
                          false);
    QPointer<MeetingAttendeeUser> four = f.user(4);
    kicked.clear();
    f.list.updateAttendee(QList<qint64>{3, 5}, true);
    QCOMPARE(args(kicked), (QList<QVariantList>{{qlonglong(4), 1, int(VIDEO)}}));
    QVERIFY(four.isNull());

    QPointer<MeetingAttendeeUser> three = f.user(3);
    f.list.clearAttendee(false);
    QVERIFY(!three.isNull());
    f.list.appendAttendee(records(f.list, {{6, ACTIVE, SPEAKER, 0}}), false);
    f.list.clearAttendee(true);
    QVERIFY(three.isNull());
    QCOMPARE(f.list.findChildren<MeetingAttendeeUser *>().size(), 0);
    QCOMPARE(f.list.maxCountHistory(), 3);
}

void tst_MeetingAttendeeList::updateAttendee()
{
    Fixture f;
    f.list.appendAttendee(
        records(f.list,
                {{kSelf, ACTIVE, SPEAKER, 1}, {2, ACTIVE, SPEAKER, 1}, {3, ACTIVE, SPEAKER, 1}}),
        false);
    QSignalSpy changed(&f.list, &QAbstractItemModel::dataChanged);
    QSignalSpy moved(&f.list, &MeetingAttendeeList::moved);
    QVERIFY(!f.list.updateAttendee(9, 0, 0, ACTIVE, SPEAKER, 2));
    for (int round = 0; round < 2; ++round)
        QVERIFY(f.list.updateAttendee(3, 1, 0, ACTIVE, LISTENER, 2));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(args(moved), (QList<QVariantList>{{2, 1}, {1, 3}})); // video on, then listener
    QCOMPARE(f.user(3)->networkScore(), 2);

    Fixture g; // the own camera never moves the own row
    g.list.appendAttendee(
        records(g.list,
                {{2, ACTIVE, SPEAKER, 1}, {3, ACTIVE, SPEAKER, 1}, {kSelf, ACTIVE, SPEAKER, 1}}),
        false);
    QSignalSpy selfMoved(&g.list, &MeetingAttendeeList::moved);
    QVERIFY(g.list.updateAttendee(kSelf, 1, 0, ACTIVE, SPEAKER, -1));
    QVERIFY(g.user(kSelf)->muteVoiceLocal() && !g.user(kSelf)->muteVideoLocal());
    g.list.updateAttendeesStatus(2, RECONNECT);
    QCOMPARE(g.user(2)->state(), int(RECONNECT));
    QCOMPARE(selfMoved.size(), 0);
}

void tst_MeetingAttendeeList::fullSort()
{
    Fixture f;
    f.list.appendAttendee(records(f.list, {{2, ACTIVE, SPEAKER, 0}}), false);
    QSignalSpy reset(&f.list, &QAbstractItemModel::modelReset);
    f.list.sortAttendee();
    QCOMPARE(reset.size(), 0);
    f.list.appendAttendee(records(f.list, {{3, INVITING, SPEAKER, 1},
                                           {4, ACTIVE, LISTENER, 1},
                                           {kSelf, ACTIVE, RAISE_HAND, 0},
                                           {5, ACTIVE, SPEAKER, 1}}),
                          false);
    f.list.createShareAttendee(kSelf, QStringLiteral("mine"), SHARESCREEN, false, 0);
    f.user(kSelf)->setParticipationStatus(SPEAKER);
    f.list.sortAttendee();
    QCOMPARE(reset.size(), 1);
    QCOMPARE(order(f.list), (QList<qint64>{kSelf, -kSelf, 2, 5, 4, 3}));
}

void tst_MeetingAttendeeList::shares()
{
    Fixture f;
    f.list.appendAttendee(records(f.list, {{2, ACTIVE, SPEAKER, 0},
                                           {3, ACTIVE, SPEAKER, 0},
                                           {4, ACTIVE, LISTENER, 1},
                                           {kSelf, ACTIVE, LISTENER, 1}}),
                          false);
    f.list.createShareAttendee(2, QStringLiteral("b2"), WHITEBOARD, false, 1);
    QCOMPARE(order(f.list), (QList<qint64>{2, -2, 3, 4, kSelf})); // below its owner
    f.list.createShareAttendee(kSelf, QStringLiteral("s1"), SHARESCREEN, true, 1);
    f.list.createShareAttendee(2, QStringLiteral("again"), SHARESCREEN, true, 0);
    f.list.createShareAttendee(9, QStringLiteral("nobody"), SHARESCREEN, true, 0);
    QCOMPARE(order(f.list), (QList<qint64>{2, -2, 3, -kSelf, 4, kSelf}));
    QCOMPARE(f.list.getFirstAttendeeIndex(WHITEBOARD), 3);
    QCOMPARE(f.list.getFirstAttendeeIndex(VIDEO), 0);

    auto *board =
        qobject_cast<MeetingAttendeeWhiteBoard *>(f.list.getShareByShareId(QStringLiteral("b2")));
    QVERIFY(board && !board->allowDraw() && !board->muteVideoLocal());
    QVERIFY(f.list.updateShareAttendee(2, WHITEBOARD, true, 0));
    QVERIFY(board->allowDraw());
    QVERIFY(!f.list.updateShareAttendee(3, WHITEBOARD, true, 0));
    QVERIFY(qobject_cast<MeetingAttendeeUser *>(f.list.getAttendeeInfoByUid(kSelf, SHARESCREEN))
                ->muteVideoLocal());
    f.user(2)->setState(RECONNECT);
    f.user(2)->setNetworkScore(1);
    QCOMPARE(board->state(), int(RECONNECT));
    QCOMPARE(board->networkScore(), 1);

    // A share turning its picture on goes right below its owner, not by comparison.
    QList<MeetingAttendee> rows = f.list.rows();
    rows.swapItemsAt(1, 2);
    f.list.setDifferentAttendees(rows);
    board->setMute(0, 0, 1);
    QSignalSpy moved(&f.list, &MeetingAttendeeList::moved);
    f.list.sortAttendeeByVideo(2, 0, WHITEBOARD, f.list.getAttendeeIndex(2, WHITEBOARD));
    QCOMPARE(args(moved), (QList<QVariantList>{{2, 1}}));
}

void tst_MeetingAttendeeList::queries()
{
    Fixture f;
    f.account.addDialog(QStringLiteral("g"), true, kSelf)
        ->groupModel()
        ->getMemberModel()
        ->addMember(3, QStringLiteral("Roster Member"), false);
    f.account.userManager()->addContact(2, QStringLiteral("Ann"), QStringLiteral("Lee"));
    f.list.setDialogId(QStringLiteral("g"));
    f.list.appendAttendee(records(f.list, {{2, ACTIVE, SPEAKER, 0},
                                           {3, ACTIVE, SPEAKER, 1},
                                           {4, ACTIVE, RAISE_HAND, 1},
                                           {5, ACTIVE, INVITE, 1},
                                           {6, ACTIVE, RAISE_HAND, 1},
                                           {7, ACTIVE, LISTENER, 1},
                                           {8, ACTIVE, RAISE_HAND, 1}}),
                          false);
    QCOMPARE(f.user(3)->userInfo()->name(), QStringLiteral("Roster Member"));
    QCOMPARE(f.list.getRaiseHandCount(2), 2);
    QCOMPARE(f.list.getRaiseHandCount(7), 0);
    QCOMPARE(f.list.getSpeakerCount(), 2);
    QVERIFY(f.list.speakersFull(2) && !f.list.speakersFull(3) && !f.list.speakersFull(8));
    QCOMPARE(f.list.search(QString()).size(), 7);
    QCOMPARE(f.list.search(QStringLiteral("lEE")).constFirst().userId, 2);
    QCOMPARE(f.list.search(QStringLiteral("member")).constFirst().userId, 3);

    const QVariantMap map = f.list.data(f.list.index(1), MeetingAttendeeList::ROLE_MAX).toMap();
    QCOMPARE(map.value(QStringLiteral("userId")).toLongLong(), 3);
    QCOMPARE(map.value(QStringLiteral("user")).value<MeetingAttendeeUser *>(), f.user(3));
    QVERIFY(!f.list.data(f.list.index(7), MeetingAttendeeList::STATUS_ROLE).isValid());
    QCOMPARE(f.list.roleNames().value(MeetingAttendeeList::ITEM_MODEL), QByteArray("itemModel"));

    f.list.appendAttendee(records(f.list, {{kSelf, ACTIVE, SPEAKER, 0}}), false);
    for (const MeetingAttendee &a : f.list.rows())
        a.user->videoSink()->setStarted(true);
    f.list.setVideoSink(true, 0);
    for (const MeetingAttendee &a : f.list.rows())
        QCOMPARE(a.user->videoSink()->started(), a.userId == kSelf);
}

// ---- randomized: one owning list and two derived lists sharing its live objects ----

namespace {
struct SharedLists
{
    explicit SharedLists(quint32 seed) : rng(seed)
    {
        for (MeetingAttendeeList *l : {&owner, &active, &calling})
            l->setUserId(kSelf);
    }
    int pick(int n) { return int(rng.bounded(n)); }
    qint64 uid() { return pick(24) + 1; }
    void refresh()
    {
        active.setDifferentAttendees(owner.activeAttendees());
        calling.setDifferentAttendees(owner.callingAttendees());
    }
    void step();
    void check(int (&history)[3]) const;

    QRandomGenerator rng;
    AccountBase account{kSelf, 1};
    MeetingAttendeeList owner{&account, nullptr}, active{&account, nullptr},
        calling{&account, nullptr};
    testsupport::ModelChecker c1{&owner}, c2{&active}, c3{&calling};
};

void SharedLists::step()
{
    const qint64 id = uid();
    const int status = pick(3) ? int(ACTIVE) : pick(9), role = pick(4);
    auto *user = qobject_cast<MeetingAttendeeUser *>(owner.getAttendeeInfoByUid(id));
    switch (pick(14)) {
    case 0: {
        QList<MeetingAttendee> set;
        for (int i = 10 + pick(20); i > 0; --i)
            set.append(
                MeetingAttendee(uid(), 0, pick(3) ? int(ACTIVE) : pick(9), 0, pick(4), false));
        bool added = false;
        owner.initAttendees(set, added);
        break;
    }
    case 1:
    case 12:
    case 13:
        if (!owner.existAttendee(id)) {
            MeetingAttendee a(id, 0, status, 0, role, false);
            owner.updateAttendeeUser(a);
            owner.appendAttendee(a);
        }
        break;
    case 2: // the derived lists may still be read and trimmed before they are refreshed
        owner.removeAttendee(id, true, pick(2) ? QString() : QStringLiteral("s"));
        active.removeAttendee(id, false, QString());
        for (int i = 0; i < calling.count(); ++i)
            calling.data(calling.index(i), MeetingAttendeeList::ITEM_MODEL);
        break;
    case 3:
        owner.updateAttendee(id, pick(2), pick(3), status, role, pick(5) - 1);
        break;
    case 4:
        owner.updateAttendeesStatus(id, status);
        break;
    case 5:
        owner.createShareAttendee(id, QStringLiteral("s%1").arg(id), AttendeeType(1 + pick(2)),
                                  true, pick(2));
        break;
    case 6:
        owner.sortAttendee();
        break;
    case 7: {
        QList<qint64> keep;
        for (int i = 0; i < 40; ++i)
            keep.append(uid());
        owner.updateAttendee(keep, true);
        calling.updateAttendee(keep, false); // rows whose objects just died
        break;
    }
    case 8:
        if (user) {
            user->setMute(pick(2), 0, 1);
            owner.sortAttendeeByVideo(id, user->muteVideo(), VIDEO,
                                      owner.getAttendeeIndex(id, VIDEO));
        }
        break;
    case 9:
        if (user) {
            user->setParticipationStatus(role);
            owner.sortAttendeeByStatus(id, role, owner.getAttendeeIndex(id, VIDEO));
        }
        break;
    case 10:
        if (pick(10) == 0) {
            active.clearAttendee(false);
            calling.clearAttendee(false);
            owner.clearAttendee(true);
        }
        break;
    default:
        if (user)
            user->setMute(pick(2), 1, 1);
        break;
    }
    refresh();
}

void SharedLists::check(int (&history)[3]) const
{
    const QList<MeetingAttendeeUser *> living =
        owner.findChildren<MeetingAttendeeUser *>(Qt::FindDirectChildrenOnly);
    const MeetingAttendeeList *lists[] = {&owner, &active, &calling};
    for (int l = 0; l < 3; ++l) {
        const MeetingAttendeeList &list = *lists[l];
        QSet<qint64> video;
        for (const MeetingAttendee &row : list.rows()) {
            QVERIFY2(living.contains(row.user), "a row points at a deleted live object");
            const auto type = AttendeeType(row.user->type());
            MeetingAttendee entry;
            if (type == VIDEO) {
                QVERIFY(list.getAttendee(row.userId, VIDEO, entry) && entry == row);
                video.insert(row.userId);
            } else {
                QCOMPARE(list.getAttendeeInfoByUid(row.userId, type), row.user);
            }
        }
        QCOMPARE(list.actualCount(), int(video.size()));
        QVERIFY(list.maxCountHistory() >= history[l]);
        history[l] = list.maxCountHistory();
    }
    QVERIFY(active.rows() == owner.activeAttendees());
    QVERIFY(calling.rows() == owner.callingAttendees());
    QSet<const MeetingAttendeeUser *> held;
    for (const MeetingAttendee &row : owner.rows())
        held.insert(row.user);
    for (MeetingAttendeeUser *user : living)
        QVERIFY2(held.contains(user), "a live object outlived its rows");
}
} // namespace

void tst_MeetingAttendeeList::randomizedSharedLists()
{
    const QByteArray replay = qgetenv("ATTENDEELIST_SEED");
    QList<quint32> seeds;
    if (!replay.isEmpty())
        seeds.append(replay.toUInt());
    for (quint32 s = 1; replay.isEmpty() && s <= 20; ++s)
        seeds.append(s);
    for (quint32 seed : seeds) {
        SharedLists lists(seed);
        QLoggingCategory::setFilterRules(QStringLiteral("im.meeting.warning=false"));
        int history[3] = {0, 0, 0};
        for (int op = 0; op < 600 && !QTest::currentTestFailed(); ++op) {
            lists.step();
            lists.check(history);
        }
        QLoggingCategory::setFilterRules(QString());
        if (QTest::currentTestFailed()) {
            qWarning("failed with seed %u; replay with ATTENDEELIST_SEED=%u", seed, seed);
            return;
        }
    }
}

QTEST_MAIN(tst_MeetingAttendeeList)
#include "tst_meetingattendeelist.moc"
