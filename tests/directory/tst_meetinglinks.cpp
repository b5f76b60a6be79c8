#include "directoryfixture.h"
#include "meeting.pb.h"
#include "meetinglinkitem.h"
#include "meetinglinklist.h"
#include "meetinglist.h"
#include "meetingmodel.h"
#include <QSignalSpy>
#include <QTest>

using namespace directorytest;

namespace {

QByteArray listAnswer(std::initializer_list<im::MeetingLink> links,
                      const im::MeetingLink &joining = {})
{
    im::meeting::ListMeetingLinksResp resp;
    for (const im::MeetingLink &l : links)
        *resp.add_meeting_links() = l;
    *resp.mutable_joining_link() = joining;
    return bytes(resp);
}

QByteArray getAnswer(const im::MeetingLink &l)
{
    im::meeting::GetMeetingLinkResp resp;
    *resp.mutable_meeting_link() = l;
    return bytes(resp);
}

// The rows' link ids, comma-separated.
QString ids(const MeetingLinkList *list)
{
    QStringList out;
    for (int row = 0; row < list->rowCount(); ++row)
        out << list->data(list->index(row), Qt::UserRole + 1).value<MeetingLinkItem *>()->id();
    return out.join(QLatin1Char(','));
}

QVariant ptr(const void *p)
{
    return AccountManager::ptr(p);
}

} // namespace

class TestMeetingLinkList : public QObject
{
    Q_OBJECT
private slots:
    void fullReplaceRemovesAdjacentRows();
    void oneLinkPerConversation();
    void joinLinkAndRequestingGuard();
    void listAnswerNamesOpenApplication();
};

void TestMeetingLinkList::fullReplaceRemovesAdjacentRows()
{
    Fixture f;
    MeetingLinkList *links = f.manager->meetingLinkList();
    testsupport::ModelChecker checker(links);
    QSignalSpy inserted(links, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(links, &QAbstractItemModel::rowsRemoved);
    f.account->scriptAnswer(282, 0,
                            listAnswer({link("a", "d1"), link("b", "d2"), link("c", "d3"),
                                        link("d", "d4"), link("", "d6")}));
    links->listMeetingLinks();
    QTRY_COMPARE(ids(links), QStringLiteral("a,b,c,d"));
    QCOMPARE(inserted.takeFirst(), QVariantList({QModelIndex(), 0, 3}));
    MeetingLinkItem *a = links->getMeetingLinkItem(QStringLiteral("d1"));

    f.account->scriptAnswer(282, 0,
                            listAnswer({link("a2", "d1"), link("d", "d4"), link("e", "d5")}));
    links->listMeetingLinks();
    QTRY_COMPARE(ids(links), QStringLiteral("e,a2,d"));
    QCOMPARE(removed, QList<QVariantList>({{QModelIndex(), 2, 2}, {QModelIndex(), 1, 1}}));
    QCOMPARE(inserted, QList<QVariantList>({{QModelIndex(), 0, 0}}));
    QCOMPARE(links->getMeetingLinkItem(QStringLiteral("d1")), a);
    QVERIFY(!links->getMeetingLinkItem(QStringLiteral("d2")));
}

void TestMeetingLinkList::oneLinkPerConversation()
{
    Fixture f;
    MeetingLinkList *links = f.manager->meetingLinkList();
    testsupport::ModelChecker checker(links);
    f.account->scriptAnswer(282, 0,
                            listAnswer({link("a", "d1"), link("a2", "d1"), link("b", "d2")}));
    links->listMeetingLinks();
    QTRY_COMPARE(ids(links), QStringLiteral("a2,b"));

    im::meeting::CreateOrUpdateMeetingLinkResp renamed;
    *renamed.mutable_meeting_link() = link("x", "d2");
    f.account->scriptAnswer(281, 0, bytes(renamed));
    QSignalSpy names(links->getMeetingLinkItem(QStringLiteral("d2")),
                     &MeetingLinkItem::nameChanged);
    links->createOrUpdateMeetingLink(QStringLiteral("b"), QStringLiteral("name-x"));
    QTRY_COMPARE(ids(links), QStringLiteral("a2,x"));
    QCOMPARE(names.size(), 1);

    f.account->scriptAnswer(283, 0);
    links->removeMeetingLink(QStringLiteral("a2"));
    QTRY_COMPARE(ids(links), QStringLiteral("x"));
    QCOMPARE(f.lastRequest<im::meeting::DeleteMeetingLinkReq>(283).flag(), true);
}

void TestMeetingLinkList::joinLinkAndRequestingGuard()
{
    Fixture f;
    MeetingLinkList *links = f.manager->meetingLinkList();
    QSignalSpy changed(links, &MeetingLinkList::joinMeetingLinkChanged);
    auto open = [&] {
        links->getJoinMeetingLinkInfo(QStringLiteral("l1"), QStringLiteral("p"),
                                      QStringLiteral("t"), QStringLiteral("d1"));
    };
    f.account->scriptAnswer(284, 2113);
    open();
    open(); // still waiting for the first answer
    QTRY_COMPARE(hostCalls(),
                 QVariantList{call("getJoinMeetingLinkFinished", {ptr(nullptr), 2113})});
    QCOMPARE(f.account->requests(284).size(), 1);

    f.account->scriptAnswer(284, 0, getAnswer(link("l1", "d1")));
    open();
    QTRY_VERIFY(links->joinMeetingLink());
    MeetingLinkItem *joined = links->joinMeetingLink();
    QCOMPARE(changed.takeLast(), QVariantList{QVariant::fromValue(joined)});
    QCOMPARE(joined->password(), QStringLiteral("p"));
    open(); // the link already being joined: answered at once
    QCOMPARE(f.account->requests(284).size(), 2);
    QCOMPARE(hostCalls().mid(1),
             QVariantList({call("getJoinMeetingLinkFinished", {ptr(joined), 0}),
                           call("getJoinMeetingLinkFinished", {ptr(joined), 0})}));

    AccountManager::getInstance()->reset();
    f.account->scriptAnswer(284, 0, getAnswer(link("own", "d2", 100, 0)));
    links->getJoinMeetingLinkInfo(QStringLiteral("own"), {}, {}, {});
    QTRY_COMPARE(hostCalls().size(), 1);
    QVERIFY(hostCalls().at(0).toList().at(1) != ptr(nullptr));
    QVERIFY(!links->joinMeetingLink());
    QCOMPARE(changed.takeLast(), QVariantList{QVariant::fromValue<MeetingLinkItem *>(nullptr)});
}

void TestMeetingLinkList::listAnswerNamesOpenApplication()
{
    Fixture f;
    MeetingLinkList *links = f.manager->meetingLinkList();
    f.account->scriptAnswer(282, 0, listAnswer({}, link("l9", "d9")));
    links->listMeetingLinks();
    QTRY_VERIFY(links->joinMeetingLink());
    QCOMPARE(links->joinMeetingLink()->state(), int(MeetingLinkItem::APPLYING));
    QCOMPARE(hostCalls(), QVariantList({call("setJoiningMeeting", {true}),
                                        call("setJoiningMeetingId", {QString()})}));
    QCOMPARE(links->rowCount(), 0);
}

class TestMeetingLinkItem : public QObject
{
    Q_OBJECT
private slots:
    void applyAndWithdraw_data();
    void applyAndWithdraw();
    void readableWhileGoing();
};

void TestMeetingLinkItem::applyAndWithdraw_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("accountJoining");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<int>("afterCall");
    QTest::addColumn<int>("afterAnswer");
    QTest::addColumn<QVariantList>("errors");
    using S = MeetingLinkItem::JoinState;
    const QVariantList none;
    QTest::newRow("apply ok") << false << +S::NOT_APPLIED << false << 0 << true << +S::APPLYING
                              << +S::APPLIED << none;
    QTest::newRow("apply refused")
        << false << +S::NOT_APPLIED << false << 9 << true << +S::APPLYING << +S::NOT_APPLIED
        << QVariantList{call("error", {9, QStringLiteral("join_meeting_by_link_failed"), 0})};
    QTest::newRow("apply while joining")
        << false << +S::NOT_APPLIED << true << 0 << false << +S::NOT_APPLIED << +S::NOT_APPLIED
        << QVariantList{call("error", {0, QStringLiteral("Meeting_ join"), 0})};
    QTest::newRow("withdraw ok") << true << +S::APPLIED << false << 0 << true << +S::NOT_APPLIED
                                 << +S::NOT_APPLIED << none;
    QTest::newRow("withdraw refused")
        << true << +S::APPLYING << false << 9 << true << +S::NOT_APPLIED << +S::APPLIED
        << QVariantList{call("error", {9, QStringLiteral("general_fail"), 0})};
    QTest::newRow("withdraw, not applied") << true << +S::NOT_APPLIED << false << 0 << false
                                           << +S::NOT_APPLIED << +S::NOT_APPLIED << none;
    QTest::newRow("withdraw, approved")
        << true << +S::APPROVED << false << 0 << false << +S::APPROVED << +S::APPROVED << none;
}

void TestMeetingLinkItem::applyAndWithdraw()
{
    QFETCH(bool, cancel);
    QFETCH(int, start);
    QFETCH(bool, accountJoining);
    QFETCH(int, code);
    QFETCH(bool, sent);
    QFETCH(int, afterCall);
    QFETCH(int, afterAnswer);
    QFETCH(QVariantList, errors);
    Fixture f;
    MeetingLinkList *links = f.manager->meetingLinkList();
    const auto item = links->createMeetingLinkItemPtr(link("l1", "d1"));
    links->setJoinMeetingLink(item);
    item->setState(start);
    AccountManager::getInstance()->setJoiningMeeting(accountJoining);
    f.account->scriptAnswer(285, code);

    item->joinMeeting(f.account.get(), cancel);
    QCOMPARE(f.account->requests(285).size(), int(sent));
    QCOMPARE(item->state(), afterCall);
    testsupport::drainEvents();
    QCOMPARE(item->state(), afterAnswer);
    QCOMPARE(hostCalls(QStringLiteral("error")), errors);
    if (sent)
        QCOMPARE(f.lastRequest<im::meeting::JoinMeetingByLinkReq>(285).cancel(), cancel);
}

void TestMeetingLinkItem::readableWhileGoing()
{
    auto *item = new MeetingLinkItem(nullptr);
    item->updateLink(link("l1", "d1"));
    QString seen = QStringLiteral("unset");
    connect(item, &MeetingLinkItem::startDestroy, this, [&] { seen = item->id(); });
    delete item;
    QCOMPARE(seen, QString());
}

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    TestMeetingLinkList list;
    TestMeetingLinkItem item;
    return QTest::qExec(&list, argc, argv) | QTest::qExec(&item, argc, argv);
}

#include "tst_meetinglinks.moc"
