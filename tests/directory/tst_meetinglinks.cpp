#include "directoryfixture.h"
#include "meeting.pb.h"
#include "meetinglinkitem.h"
#include "meetinglinklist.h"
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
    f.account->scriptAnswer(MeetingServiceCmd::ListLinks, 0,
                            listAnswer({link("a", "d1"), link("b", "d2"), link("c", "d3"),
                                        link("d", "d4"), link("", "d6")}));
    links->listMeetingLinks();
    QTRY_COMPARE(ids(links), QStringLiteral("a,b,c,d"));
    QCOMPARE(inserted.takeFirst(), QVariantList({QModelIndex(), 0, 3}));
    MeetingLinkItem *a = links->getMeetingLinkItem(QStringLiteral("d1"));

    f.account->scriptAnswer(MeetingServiceCmd::ListLinks, 0,
                            listAnswer({link("a2", "d1"), link("d", "d4"), link("e", "d5")}));
    links->listMeetingLinks();
    QTRY_COMPARE(ids(links), QStringLiteral("e,a2,d"));
    QCOMPARE(removed, QList<QVariantList>({{QModelIndex(), 2, 2}, {QModelIndex(), 1, 1}}));
    QCOMPARE(inserted, QList<QVariantList>({{QModelIndex(), 0, 0}}));
    QCOMPARE(links->getMeetingLinkItem(QStringLiteral("d1")), a);
}

void TestMeetingLinkList::oneLinkPerConversation()
{
    Fixture f;
    MeetingLinkList *links = f.manager->meetingLinkList();
    testsupport::ModelChecker checker(links);
    f.account->scriptAnswer(MeetingServiceCmd::ListLinks, 0,
                            listAnswer({link("a", "d1"), link("a2", "d1"), link("b", "d2")}));
    links->listMeetingLinks();
    QTRY_COMPARE(ids(links), QStringLiteral("a2,b"));

    im::meeting::CreateOrUpdateMeetingLinkResp renamed;
    *renamed.mutable_meeting_link() = link("x", "d2");
    f.account->scriptAnswer(MeetingServiceCmd::CreateOrUpdateLink, 0, bytes(renamed));
    links->createOrUpdateMeetingLink(QStringLiteral("b"), QStringLiteral("x"));
    QTRY_COMPARE(ids(links), QStringLiteral("a2,x"));

    f.account->scriptAnswer(MeetingServiceCmd::DeleteLink, 0);
    links->removeMeetingLink(QStringLiteral("a2"));
    QTRY_COMPARE(ids(links), QStringLiteral("x"));
    QVERIFY(!links->getMeetingLinkItem(QStringLiteral("d1")));
}

void TestMeetingLinkList::joinLinkAndRequestingGuard()
{
    Fixture f;
    MeetingLinkList *links = f.manager->meetingLinkList();
    QSignalSpy changed(links, &MeetingLinkList::joinMeetingLinkChanged);
    auto open = [&](const char *id) {
        links->getJoinMeetingLinkInfo(QString::fromLatin1(id), QStringLiteral("p"),
                                      QStringLiteral("t"), QStringLiteral("d1"));
    };
    f.account->scriptAnswer(MeetingServiceCmd::GetLink, 2113);
    open("l1");
    open("l1"); // still waiting for the first answer
    QTRY_VERIFY(!f.log.isEmpty());
    QCOMPARE(f.take(), QStringLiteral("getJoinMeetingLinkFinished(null,2113)"));
    QCOMPARE(f.account->requests(MeetingServiceCmd::GetLink).size(), 1);

    f.account->scriptAnswer(MeetingServiceCmd::GetLink, 0, getAnswer(link("l1", "d1")));
    open("l1");
    QTRY_VERIFY(links->joinMeetingLink());
    f.name(links->joinMeetingLink(), "l1");
    QCOMPARE(changed.takeLast().at(0).value<MeetingLinkItem *>(), links->joinMeetingLink());
    QCOMPARE(links->joinMeetingLink()->password(), QStringLiteral("p"));
    open("l1"); // the link already being joined is answered at once
    QCOMPARE(f.account->requests(MeetingServiceCmd::GetLink).size(), 2);
    QCOMPARE(f.take(), QStringLiteral("getJoinMeetingLinkFinished(l1,0) "
                                      "getJoinMeetingLinkFinished(l1,0)"));

    // One's own link, even without a meeting running on it, needs no application.
    f.account->scriptAnswer(MeetingServiceCmd::GetLink, 0, getAnswer(link("own", "d2", 100, 0)));
    open("own");
    QTRY_VERIFY(!f.log.isEmpty());
    QCOMPARE(f.take(), QStringLiteral("getJoinMeetingLinkFinished(ptr,0)"));
    QVERIFY(!links->joinMeetingLink());
    QVERIFY(!changed.takeLast().at(0).value<MeetingLinkItem *>());
}

void TestMeetingLinkList::listAnswerNamesOpenApplication()
{
    Fixture f;
    MeetingLinkList *links = f.manager->meetingLinkList();
    f.account->scriptAnswer(MeetingServiceCmd::ListLinks, 0, listAnswer({}, link("l9", "d9")));
    links->listMeetingLinks();
    QTRY_VERIFY(links->joinMeetingLink());
    QCOMPARE(links->joinMeetingLink()->state(), int(MeetingLinkItem::APPLYING));
    QCOMPARE(f.take(), QStringLiteral("setJoiningMeeting(true) setJoiningMeetingId()"));
}

class TestMeetingLinkItem : public QObject
{
    Q_OBJECT
private slots:
    void applyAndWithdraw_data();
    void applyAndWithdraw();
    void followsTheMeetingRunningOnTheLink();
    void readableWhileGoing();
};

void TestMeetingLinkItem::applyAndWithdraw_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("joining");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("states"); // after the call, then after the answer
    QTest::addColumn<QString>("outcome");
    auto row = [](const char *name, bool cancel, int state, bool joining, int code,
                  const char *states, const char *outcome) {
        QTest::newRow(name) << cancel << state << joining << code << QString::fromLatin1(states)
                            << QString::fromLatin1(outcome);
    };
    row("apply ok", false, 0, false, 0, "1,2", "setJoiningMeetingId()");
    row("apply refused", false, 0, false, 9, "1,0",
        "setJoiningMeetingId() error(9,join_meeting_by_link_failed,0)");
    row("apply while joining", false, 0, true, 0, "0,0", "error(0,Meeting_ join,0)");
    row("withdraw ok", true, 2, false, 0, "0,0", "setJoiningMeetingId()");
    row("withdraw refused", true, 1, false, 9, "0,2",
        "setJoiningMeetingId() error(9,general_fail,0)");
    row("withdraw, not applied", true, 0, false, 0, "0,0", "");
    row("withdraw, approved", true, 3, false, 0, "3,3", "");
}

void TestMeetingLinkItem::applyAndWithdraw()
{
    QFETCH(bool, cancel);
    QFETCH(int, state);
    QFETCH(bool, joining);
    QFETCH(int, code);
    QFETCH(QString, states);
    QFETCH(QString, outcome);
    Fixture f;
    const auto item = f.manager->meetingLinkList()->createMeetingLinkItemPtr(link("l1", "d1"));
    f.manager->meetingLinkList()->setJoinMeetingLink(item);
    item->setState(state);
    AccountManager::getInstance()->setJoiningMeeting(joining);
    f.take();
    f.account->scriptAnswer(MeetingServiceCmd::JoinByLink, code);

    item->joinMeeting(f.account.get(), cancel);
    QString seen = QString::number(item->state());
    testsupport::drainEvents();
    QCOMPARE(seen + QLatin1Char(',') + QString::number(item->state()), states);
    QCOMPARE(f.take(), outcome);
    const auto sent = f.account->requests(MeetingServiceCmd::JoinByLink);
    QCOMPARE(sent.isEmpty(), outcome.isEmpty() || joining);
    if (!sent.isEmpty())
        QCOMPARE(f.lastRequest<im::meeting::JoinMeetingByLinkReq>(MeetingServiceCmd::JoinByLink)
                     .cancel(),
                 cancel);
}

void TestMeetingLinkItem::followsTheMeetingRunningOnTheLink()
{
    Fixture f;
    im::MeetingLink l = link("l1", "d1");
    *l.mutable_meeting() = serverMeeting("m1", 1, {{500, 3}});
    const auto item = f.manager->meetingLinkList()->createMeetingLinkItemPtr(l);
    MeetingList *list = f.manager->meetingList(QStringLiteral("d1"), false);
    QVERIFY(list && item->meetingModel());
    QCOMPARE(item->meetingModel(), list->getMeetingModel(QStringLiteral("m1")));

    QSignalSpy modelChanged(item.data(), &MeetingLinkItem::meetingModelChanged);
    list->reset();
    QCOMPARE(modelChanged.size(), 1);
    QVERIFY(!item->meetingModel());
    item->updateLink(link("l1", "d1"));
    QCOMPARE(modelChanged.size(), 1);
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
