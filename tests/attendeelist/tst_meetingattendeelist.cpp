#include "accountbase.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "testsupport.h"
#include "videosink.h"
#include <QPointer>
#include <QRandomGenerator>
#include <QtTest>

using namespace MeetingDefines;

namespace {
constexpr qint64 kSelf = 1;

// Rows are written "2AS1": user 2, state A, role S, muteVideo 1. States by AttendeeStatus
// value: U A C(reconnect) D N I(nviting) J(rejected) T B; roles: S H(and) V(invited) L.
QList<MeetingAttendee> records(MeetingAttendeeList &list, const QString &notation)
{
    const QString states = QStringLiteral("UACDNIJTB"), roles = QStringLiteral("SHVL");
    QList<MeetingAttendee> out;
    for (const QString &t : notation.split(u' ', Qt::SkipEmptyParts)) {
        const qsizetype n = t.size();
        MeetingAttendee a(t.left(n - 3).toLongLong(), 0, int(states.indexOf(t[n - 3])), 0,
                          int(roles.indexOf(t[n - 2])), false);
        list.updateAttendeeUser(a);
        a.user->setMute(t[n - 1].digitValue(), 0, 1);
        out.append(a);
    }
    return out;
}

// Row user ids, share rows negative: "2 -2 3".
QString order(const MeetingAttendeeList &list)
{
    QStringList out;
    for (const MeetingAttendee &a : list.rows())
        out << QString::number(a.user && a.user->type() != VIDEO ? -a.userId : a.userId);
    return out.join(u' ');
}

// "from>to" per signal, for rowsMoved (start, end, destination) and moved (old, new) alike.
QString moves(const QSignalSpy &spy)
{
    QStringList out;
    for (const QList<QVariant> &args : spy) {
        const bool model = args.size() == 5;
        if (model && args[1] != args[2])
            out << QStringLiteral("several rows");
        out << QStringLiteral("%1>%2").arg(args[model ? 1 : 0].toInt()).arg(args.last().toInt());
    }
    return out.join(u' ');
}

QList<QVariantList> args(const QSignalSpy &spy)
{
    return spy;
}

struct Fixture
{
    explicit Fixture(const QString &rows = {})
    {
        list.setUserId(kSelf);
        list.appendAttendee(records(list, rows), false);
    }
    MeetingAttendeeUser *user(qint64 uid, AttendeeType type = VIDEO) const
    {
        return qobject_cast<MeetingAttendeeUser *>(list.getAttendeeInfoByUid(uid, type));
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
    void deadRowInBorrowingList();
    void userShownTwice();
    void updateAttendee();
    void fullSort();
    void shares();
    void twoShares_data();
    void twoShares();
    void queries();
    void randomizedSharedLists();
};

void tst_MeetingAttendeeList::placement_data()
{
    QTest::addColumn<QString>("rows"); // "rows + added = expected order"
    QTest::addRow("empty list") << "+ 5AS0 = 5";
    QTest::addRow("one row: appended though smaller") << "2IS1 + 5AS0 = 2 5";
    QTest::addRow("self speaker on top") << "2AS0 3AS0 + 1AS1 = 1 2 3";
    QTest::addRow("row 0 never passed over") << "2AL1 3AS1 4AS1 + 5AS0 = 2 5 3 4";
    QTest::addRow("equal keys: before") << "2AS0 3AL1 4AL1 + 5AL1 = 2 5 3 4";
    QTest::addRow("largest: appended") << "2AS0 3AS1 + 5IL1 = 2 3 5";
}

void tst_MeetingAttendeeList::placement()
{
    QFETCH(QString, rows);
    const QStringList parts = rows.split(QRegularExpression(QStringLiteral("\\s*[+=]\\s*")));
    Fixture f(parts[0]);
    QSignalSpy inserted(&f.list, &QAbstractItemModel::rowsInserted);
    QSignalSpy counted(&f.list, &MeetingAttendeeList::countChanged);
    QSignalSpy actual(&f.list, &MeetingAttendeeList::actualCountChanged);
    f.list.appendAttendee(records(f.list, parts[1]).constFirst());
    QCOMPARE(order(f.list), parts[2]);
    const int at = int(parts[2].split(u' ').indexOf(parts[1].left(1)));
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(inserted[0].mid(1), (QVariantList{at, at}));
    QCOMPARE(args(counted), (QList<QVariantList>{{f.list.count()}}));
    QCOMPARE(args(actual), (QList<QVariantList>{{f.list.count()}}));
}

constexpr int State = 0, Status = 1, Video = 2; // what changes before the move

void tst_MeetingAttendeeList::singleRowMoves_data()
{
    QTest::addColumn<QString>("rows");
    QTest::addColumn<int>("change");
    QTest::addColumn<QString>("moved");
    QTest::addColumn<qint64>("uid");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("expected");
    QTest::addRow("active: to the top")
        << "2IS1 3IS1 4IS1" << State << "2>0" << 4ll << 1 << "4 2 3";
    QTest::addRow("active: below self")
        << "1AL1 3IS1 4IS1" << State << "2>1" << 4ll << 1 << "1 4 3";
    QTest::addRow("active: own index, no move") << "2AS1 3IS1" << State << "" << 3ll << 1 << "2 3";
    QTest::addRow("rejected: to the end")
        << "2AS1 3AS1 4AS1 5AS1 6AS1" << State << "1>5" << 3ll << 6 << "2 4 5 6 3";
    QTest::addRow("reconnect: no move") << "2IS1 3IS1 4IS1" << State << "" << 4ll << 2 << "2 3 4";
    QTest::addRow("listener already last")
        << "2AS1 3AS1 4AS1" << Status << "" << 4ll << 3 << "2 3 4";
    QTest::addRow("raise hand: not above row 1")
        << "2AL1 3AL1 4AL1" << Status << "2>1" << 4ll << 1 << "2 4 3";
    QTest::addRow("self speaker: row 0")
        << "2AS1 3AS1 1AL1" << Status << "2>0" << kSelf << 0 << "1 2 3";
    QTest::addRow("video on: to the top")
        << "2AS1 3AS1 4AS1" << Video << "2>0" << 4ll << 0 << "4 2 3";
    QTest::addRow("video off: below its peers")
        << "2AS0 3AS0 4AS1" << Video << "0>2" << 2ll << 1 << "3 2 4";
}

void tst_MeetingAttendeeList::singleRowMoves()
{
    QFETCH(QString, rows);
    QFETCH(int, change);
    QFETCH(QString, moved);
    QFETCH(qint64, uid);
    QFETCH(int, value);
    QFETCH(QString, expected);
    Fixture f(rows);
    QSignalSpy rowsMoved(&f.list, &QAbstractItemModel::rowsMoved);
    QSignalSpy movedSpy(&f.list, &MeetingAttendeeList::moved);
    const int index = f.list.getAttendeeIndex(uid, VIDEO);
    if (change == State) {
        f.list.updateAttendeesStatus(uid, value);
    } else if (change == Status) {
        f.user(uid)->setParticipationStatus(value);
        f.list.sortAttendeeByStatus(uid, value, index);
    } else {
        f.user(uid)->setMute(value, 0, 1);
        f.list.sortAttendeeByVideo(uid, value, VIDEO, index);
    }
    QCOMPARE(moves(rowsMoved), moved);
    QCOMPARE(moves(movedSpy), moved);
    QCOMPARE(order(f.list), expected);
}

void tst_MeetingAttendeeList::reconcileWithServerSet()
{
    Fixture f;
    f.account.userManager()->addContact(9, QStringLiteral("Inviter"));
    bool added = true;
    QSignalSpy reset(&f.list, &QAbstractItemModel::modelReset);
    QVERIFY(f.list.initAttendees({}, added).isEmpty());
    QVERIFY(!added);
    QCOMPARE(reset.size(), 0);

    const auto server = [](qint64 uid, int status, int role) {
        return MeetingAttendee(uid, 0, status, 9, role, false);
    };
    const auto s2 = server(2, ACTIVE, SPEAKER), s4 = server(4, ACTIVE, SPEAKER);
    QVERIFY(f.list.initAttendees({s2, server(3, ACTIVE, SPEAKER), s4, s2}, added).isEmpty());
    QVERIFY(added);
    QCOMPARE(reset.size(), 1);
    QCOMPARE(order(f.list), QStringLiteral("2 3 4")); // a repeated user merges into one row
    QPointer<MeetingAttendeeUser> kept = f.user(2), dropped = f.user(3);
    const QSharedPointer<ContactBase> inviter = f.list.rows().constFirst().inviter;
    QCOMPARE(inviter->name(), QStringLiteral("Inviter"));

    QSignalSpy changed(&f.list, &QAbstractItemModel::dataChanged);
    QList<int> atKick;
    connect(&f.list, &MeetingAttendeeList::kickedOut, this, [&](qlonglong uid, int row, int type) {
        atKick << int(uid) << row << type << f.list.count();
    });
    const QList<MeetingAttendee> next{server(2, INVITING, LISTENER), s4,
                                      server(5, ACTIVE, SPEAKER)};
    QCOMPARE(f.list.initAttendees(next, added), (QSet<qint64>{3}));
    QVERIFY(added);
    QCOMPARE(atKick, (QList<int>{3, 1, 0, 3})); // announced while the row still stood
    QVERIFY(dropped.isNull());
    QCOMPARE(f.user(2), kept.data());
    QCOMPARE(kept->state(), int(INVITING));
    QCOMPARE(kept->participationStatus(), int(SPEAKER));
    QCOMPARE(f.list.rows().constFirst().inviter, inviter);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0][0].toModelIndex().row(), 0);
    QCOMPARE(changed[0][1].toModelIndex().row(), 0);
    QCOMPARE(f.list.maxCountHistory(), 3);

    QVERIFY(f.list.initAttendees(next, added).isEmpty());
    QVERIFY(!added);
    QCOMPARE(changed.size(), 1);
}

void tst_MeetingAttendeeList::reconcileDerivedList()
{
    Fixture owner(QStringLiteral("2AS1 3AS1 4AL1 5AL1"));
    MeetingAttendeeList derived(&owner.account, nullptr);
    testsupport::ModelChecker checker(&derived);
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
    QCOMPARE(moves(moved), QStringLiteral("3>0 3>1 3>2"));
    QCOMPARE(moves(movedSpy), QStringLiteral("3>0 3>1 3>2"));
    QCOMPARE(order(derived), QStringLiteral("5 4 3 2"));

    // The owner deletes a live object that the derived list shows until it is refreshed.
    QPointer<QObject> gone = derived.getAttendeeInfoByUid(3);
    owner.list.removeAttendee(3, true, QString());
    QVERIFY(gone.isNull());
    QVERIFY(!derived.data(derived.index(2), MeetingAttendeeList::USER_ROLE)
                 .value<MeetingAttendeeUser *>());
    derived.setDifferentAttendees(owner.list.rows());
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed[0].mid(1), (QVariantList{2, 2}));
    QCOMPARE(order(derived), QStringLiteral("2 4 5"));
    QCOMPARE(derived.actualCount(), 3);
    QCOMPARE(derived.maxCountHistory(), 4);
    QCOMPARE(derived.speakerCount(), 1);
}

void tst_MeetingAttendeeList::removal()
{
    Fixture f(QStringLiteral("2AS0 3AS0"));
    f.list.createShareAttendee(2, QStringLiteral("s2"), WHITEBOARD, true, 0);
    QPointer<QObject> camera = f.user(2), board = f.user(2, WHITEBOARD);
    QSignalSpy kicked(&f.list, &MeetingAttendeeList::kickedOut);
    f.list.removeAttendee(2, true, QStringLiteral("any"));
    QVERIFY(kicked.isEmpty());
    f.list.removeAttendee(2, true, QStringLiteral("s2"));
    QCOMPARE(args(kicked), (QList<QVariantList>{{2ll, 1, int(WHITEBOARD)}}));
    QVERIFY(board.isNull() && !camera.isNull());

    f.list.createShareAttendee(2, QStringLiteral("s2"), SHARESCREEN, true, 0);
    kicked.clear();
    f.list.removeAttendee(2, true, QString());
    QCOMPARE(args(kicked), (QList<QVariantList>{{2ll, 0, int(VIDEO)}, {2ll, 0, int(SHARESCREEN)}}));
    QVERIFY(camera.isNull());

    f.list.appendAttendee(records(f.list, QStringLiteral("4AS0 5AS0")), false);
    QPointer<MeetingAttendeeUser> four = f.user(4), three = f.user(3);
    kicked.clear();
    f.list.updateAttendee(QList<qint64>{3, 5}, true);
    QCOMPARE(args(kicked), (QList<QVariantList>{{4ll, 1, int(VIDEO)}}));
    QVERIFY(four.isNull());

    f.list.clearAttendee(false);
    QVERIFY(!three.isNull());
    f.list.clearAttendee(true);
    QVERIFY(three.isNull());
    QCOMPARE(f.list.maxCountHistory(), 3);
    // Clearing an empty list tells its views nothing.
    QSignalSpy reset(&f.list, &QAbstractItemModel::modelReset);
    QSignalSpy count(&f.list, &MeetingAttendeeList::countChanged);
    f.list.clearAttendee(true);
    QVERIFY(reset.isEmpty() && count.isEmpty());
}

// The search results list an attendee who also applies to join twice, with two live objects.
void tst_MeetingAttendeeList::deadRowInBorrowingList()
{
    // Run under the sanitizers: the borrowing list keeps a row whose object its owner deleted
    // until its next refresh, and no counter, ordering or query may read that object.
    Fixture owner(QStringLiteral("2AS1 3AS1 4AL1"));
    MeetingAttendeeList derived(&owner.account, nullptr);
    derived.setUserId(kSelf);
    derived.setDifferentAttendees(owner.list.rows());
    QCOMPARE(derived.speakerCount(), 2);
    owner.list.updateAttendee(QList<qint64>{2, 4}, true);
    QCOMPARE(derived.count(), 3);

    QVERIFY(derived.updateAttendee(4, 0, 0, ACTIVE, SPEAKER, -1));
    QCOMPARE(derived.speakerCount(), 2);
    derived.updateAttendeesStatus(2, TIMEOUT);
    derived.sortAttendeeByVideo(4, 0, VIDEO, -1);
    QVERIFY(!derived.getAttendeeInfoByUid(3, VIDEO));
    QCOMPARE(derived.getRaiseHandCount(derived.speakerCount()), 0);
    derived.setDifferentAttendees(owner.list.rows());
    QCOMPARE(order(derived), QStringLiteral("2 4"));
}

void tst_MeetingAttendeeList::userShownTwice()
{
    Fixture attendees(QStringLiteral("2AS0 3AS0")), applicants(QStringLiteral("2IL0"));
    MeetingAttendeeList search(&attendees.account, nullptr);
    testsupport::ModelChecker checker(&search);
    auto fill = [&] {
        search.setDifferentAttendees(attendees.list.rows());
        search.appendAttendee(applicants.list.rows(), true);
        QCOMPARE(order(search), QStringLiteral("2 2 3"));
    };
    auto shows = [&](MeetingAttendeeUser *user) {
        QCOMPARE(order(search), QStringLiteral("2 3"));
        QVERIFY(search.existAttendee(2));
        QCOMPARE(search.getAttendeeInfoByUid(2), user);
        QCOMPARE(search.getAttendeeIndex(2, VIDEO), 0);
    };
    fill();
    search.removeRowsOf(applicants.user(2));
    shows(attendees.user(2));
    search.appendAttendee(applicants.list.rows(), true);
    search.removeRowsOf(attendees.user(2));
    shows(applicants.user(2));

    fill();
    search.removeAttendee(2, false, QString());
    QVERIFY(search.existAttendee(2));
    QCOMPARE(search.getAttendeeInfoByUid(2), search.getAttendeeInfoByIndex(0));
    search.removeAttendee(2, false, QString());
    QVERIFY(!search.existAttendee(2));
    QCOMPARE(order(search), QStringLiteral("3"));
}

void tst_MeetingAttendeeList::updateAttendee()
{
    Fixture f(QStringLiteral("1AS1 2AS1 3AS1"));
    QSignalSpy changed(&f.list, &QAbstractItemModel::dataChanged);
    QSignalSpy moved(&f.list, &MeetingAttendeeList::moved);
    QVERIFY(!f.list.updateAttendee(9, 0, 0, ACTIVE, SPEAKER, 2));
    for (int round = 0; round < 2; ++round)
        QVERIFY(f.list.updateAttendee(3, 1, 0, ACTIVE, LISTENER, 2));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(moves(moved), QStringLiteral("2>1 1>3")); // video on, then listener
    QCOMPARE(f.user(3)->networkScore(), 2);

    Fixture g(QStringLiteral("2AS1 3AS1 1AS1")); // the own camera never moves the own row
    QSignalSpy selfMoved(&g.list, &MeetingAttendeeList::moved);
    QVERIFY(g.list.updateAttendee(kSelf, 1, 0, ACTIVE, SPEAKER, -1));
    QVERIFY(g.user(kSelf)->muteVoiceLocal() && !g.user(kSelf)->muteVideoLocal());
    QCOMPARE(selfMoved.size(), 0);
}

void tst_MeetingAttendeeList::fullSort()
{
    Fixture f(QStringLiteral("2AS0"));
    QSignalSpy reset(&f.list, &QAbstractItemModel::modelReset);
    f.list.sortAttendee();
    QCOMPARE(reset.size(), 0);
    f.list.appendAttendee(records(f.list, QStringLiteral("3IS1 4AL1 1AH0 5AS1")), false);
    f.list.createShareAttendee(kSelf, QStringLiteral("mine"), SHARESCREEN, false, 0);
    f.user(kSelf)->setParticipationStatus(SPEAKER);
    f.list.sortAttendee();
    QCOMPARE(reset.size(), 1);
    QCOMPARE(order(f.list), QStringLiteral("1 -1 2 5 4 3"));
}

void tst_MeetingAttendeeList::shares()
{
    Fixture f(QStringLiteral("2AS0 3AS0 4AL1 1AL1"));
    f.list.createShareAttendee(2, QStringLiteral("b2"), WHITEBOARD, false, 1);
    QCOMPARE(order(f.list), QStringLiteral("2 -2 3 4 1")); // below its owner
    f.list.createShareAttendee(kSelf, QStringLiteral("s1"), SHARESCREEN, true, 1);
    f.list.createShareAttendee(2, QStringLiteral("again"), WHITEBOARD, true, 0);
    f.list.createShareAttendee(9, QStringLiteral("nobody"), SHARESCREEN, true, 0);
    f.list.createShareAttendee(3, QStringLiteral("b2"), SHARESCREEN, true, 0); // id taken
    QCOMPARE(order(f.list), QStringLiteral("2 -2 3 -1 4 1"));
    QCOMPARE(f.list.getFirstAttendeeIndex(WHITEBOARD), 3);
    QCOMPARE(f.list.getFirstAttendeeIndex(VIDEO), 0);

    auto *board =
        qobject_cast<MeetingAttendeeWhiteBoard *>(f.list.getShareByShareId(QStringLiteral("b2")));
    QVERIFY(board && !board->allowDraw() && !board->muteVideoLocal());
    QVERIFY(f.list.updateShareAttendee(2, WHITEBOARD, true, 0));
    QVERIFY(board->allowDraw());
    QVERIFY(!f.list.updateShareAttendee(3, WHITEBOARD, true, 0));
    QVERIFY(f.user(kSelf, SHARESCREEN)->muteVideoLocal());
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
    QCOMPARE(moves(moved), QStringLiteral("2>1"));
}

// User 2 holds a whiteboard "b2" and a screen share "s2" at once.
void tst_MeetingAttendeeList::twoShares_data()
{
    QTest::addColumn<QString>("closed"); // share id given to removeAttendee
    QTest::addColumn<QString>("rows");
    QTest::addRow("screen share") << "s2"
                                  << "2 -2 3";
    QTest::addRow("whiteboard") << "b2"
                                << "2 -2 3";
    QTest::addRow("unknown id") << "x"
                                << "2 -2 -2 3";
    QTest::addRow("the whole user") << ""
                                    << "3";
}

void tst_MeetingAttendeeList::twoShares()
{
    Fixture f(QStringLiteral("2AS0 3AS0"));
    f.list.createShareAttendee(2, QStringLiteral("b2"), WHITEBOARD, true, 0);
    f.list.createShareAttendee(2, QStringLiteral("s2"), SHARESCREEN, true, 0);
    f.list.createShareAttendee(2, QStringLiteral("s3"), SHARESCREEN, true, 0); // one per kind
    QCOMPARE(order(f.list), QStringLiteral("2 -2 -2 3"));
    // A derived list rebuilds its tables from the rows and must find both again.
    MeetingAttendeeList derived(&f.account, nullptr);
    derived.setDifferentAttendees(f.list.rows());
    const std::pair<AttendeeType, const char *> shares[] = {{WHITEBOARD, "b2"},
                                                            {SHARESCREEN, "s2"}};
    for (const MeetingAttendeeList *list : {&f.list, &derived}) {
        for (const auto &[type, id] : shares) {
            auto *share = qobject_cast<MeetingAttendeeUser *>(list->getAttendeeInfoByUid(2, type));
            QVERIFY(share && share->type() == type);
            QCOMPARE(share->shareId(), QLatin1String(id));
            QCOMPARE(list->getShareByShareId(QLatin1String(id)), share);
            QCOMPARE(list->rows().at(list->getAttendeeIndex(2, type)).user, share);
        }
    }

    QFETCH(QString, closed);
    f.list.removeAttendee(2, true, closed);
    QTEST(order(f.list), "rows");
    for (const AttendeeType type : {WHITEBOARD, SHARESCREEN}) {
        MeetingAttendeeUser *share = f.user(2, type);
        const int row = f.list.getAttendeeIndex(2, type);
        QCOMPARE(row >= 0, bool(share));
        if (share)
            QVERIFY(share->shareId() != closed && f.list.rows().at(row).user == share);
    }
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
    f.list.appendAttendee(records(f.list, QStringLiteral("2AS0 3AS1 4AH1 5AV1 6AH1 7AL1 8AH1")),
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

    f.list.appendAttendee(records(f.list, QStringLiteral("1AS0")), false);
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
