#include "directoryfixture.h"
#include "meeting.pb.h"
#include "meetinglinklist.h"
#include <QPointer>
#include <QRegularExpression>
#include <QTest>
#include <functional>

using namespace directorytest;

namespace {

struct FakeMeeting : MeetingModelBase
{
    FakeMeeting(const QString &id, AccountBase *account) : id(id), owner(account) {}
    QString meetingId() override { return id; }
    QString dialogId() override { return {}; }
    int state() const override { return 0; }
    AccountBase *account() const override { return owner; }
    QString id;
    AccountBase *owner;
};

} // namespace

class TestMeetingManager : public QObject
{
    Q_OBJECT
private slots:
    void registry();
    void meetingBeFinished_data();
    void meetingBeFinished();
    void pushesStopAtCaps_data();
    void pushesStopAtCaps();
};

void TestMeetingManager::registry()
{
    Fixture f;
    const QString d1 = QStringLiteral("d1");
    QVERIFY(!f.manager->meetingList(d1, false));
    QPointer<MeetingList> list = f.manager->meetingList(d1, true);
    QCOMPARE(f.manager->meetingList(d1, true), list.data());
    // The server's form never creates a list; the host's record does, unless its origin is bogus.
    f.manager->updateMeeting(QStringLiteral("d2"), im::Meeting(), QString(), true);
    f.manager->updateMeeting(QStringLiteral("d3"), MeetingInfo(), MeetingList::UPDATE_MEETING);
    f.manager->updateMeeting(QStringLiteral("d4"), MeetingInfo(), 9);
    f.manager->setMeetings(QStringLiteral("d5"), {});
    f.manager->setMeetings(d1, {});
    QCOMPARE(f.take(), QStringLiteral("meetingListChanged(d1,ptr) meetingListChanged(d3,ptr) "
                                      "meetingListChanged(d1,null)"));
    QVERIFY(!list && !f.manager->meetingList(d1, false));

    // createMeeting always starts a new list; the one it replaces lives on until clearData.
    f.manager->createMeeting(d1, 500);
    QPointer<MeetingList> first = f.manager->meetingList(d1, false);
    f.manager->createMeeting(d1, 500);
    QPointer<MeetingList> second = f.manager->meetingList(d1, false);
    QVERIFY(first && second && first != second);
    f.name(first, "first");
    f.name(second, "second");
    f.name(second->getMeetingModel(d1), "call");
    QVERIFY(
        f.take().endsWith(QStringLiteral("meetingListChanged(d1,second) setMeetingModel(call)")));
    f.manager->clearData(false);
    QVERIFY(!first && !second);
    QVERIFY(f.take().contains(QStringLiteral("meetingListChanged(d1,null)")));
    f.manager->clearData(false);
    QCOMPARE(f.take(), QString());
}

void TestMeetingManager::meetingBeFinished_data()
{
    QTest::addColumn<QString>("finished");
    QTest::addColumn<QString>("current");
    QTest::addColumn<bool>("sameAccount");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("the current meeting")
        << "m1"
        << "m1" << true << "setMeetingModel(null) meetingBeFinished(100,m1)";
    QTest::newRow("another meeting") << "m1"
                                     << "m2" << true << "meetingBeFinished(100,m1)";
    QTest::newRow("another account's") << "m1"
                                       << "m1" << false << "meetingBeFinished(100,m1)";
    QTest::newRow("no meeting id") << ""
                                   << "" << true << "meetingBeFinished(100,)";
}

void TestMeetingManager::meetingBeFinished()
{
    QFETCH(QString, finished);
    QFETCH(QString, current);
    QFETCH(bool, sameAccount);
    QFETCH(QString, outcome);
    Fixture f;
    AccountBase other(200, 1);
    FakeMeeting model(current, sameAccount ? f.account.get() : &other);
    AccountManager::getInstance()->setMeetingModel(&model);
    f.take();
    f.manager->meetingBeFinished(finished);
    QCOMPARE(f.take(), outcome);
}

// Pushes n things, answers how many are listed.
using Flood = std::function<int(MeetingManager &, int n)>;
Q_DECLARE_METATYPE(Flood)

namespace {
QByteArray name(const char *prefix, int i)
{
    return prefix + QByteArray::number(i);
}
} // namespace

void TestMeetingManager::pushesStopAtCaps_data()
{
    QTest::addColumn<Flood>("flood");
    QTest::addColumn<int>("cap");
    QTest::addRow("conversations") << Flood([](MeetingManager &m, int n) {
        for (int i = 0; i < n; ++i) {
            const QByteArray dialog = name("d", i);
            m.updateMeeting(QString::fromLatin1(dialog),
                            record("m", 1, {{100, 0, 3, 100}}, dialog.constData()),
                            MeetingList::UPDATE_MEETING);
        }
        return int(m.account()->findChildren<MeetingList *>(Qt::FindDirectChildrenOnly).size());
    }) << MeetingManager::kMaxMeetingLists;
    QTest::addRow("meetings of a conversation") << Flood([](MeetingManager &m, int n) {
        for (int i = 0; i < n; ++i)
            m.updateMeeting(QStringLiteral("d1"),
                            record(name("m", i).constData(), 1, {{100, 0, 3, 100}}),
                            MeetingList::UPDATE_MEETING);
        return m.meetingList(QStringLiteral("d1"), false)->count();
    }) << MeetingList::kMaxMeetings;
    QTest::addRow("links of a list answer") << Flood([](MeetingManager &m, int n) {
        im::meeting::ListMeetingLinksResp resp;
        for (int i = 0; i < n; ++i)
            *resp.add_meeting_links() = link(name("l", i).constData(), name("d", i).constData());
        m.meetingLinkList()->setMeetingLinks(resp);
        return m.meetingLinkList()->rowCount();
    }) << MeetingLinkList::kMaxLinks;
    QTest::addRow("links one by one") << Flood([](MeetingManager &m, int n) {
        for (int i = 0; i < n; ++i)
            m.meetingLinkList()->setMeetingLink(
                link(name("l", i).constData(), name("d", i).constData()));
        return m.meetingLinkList()->rowCount();
    }) << MeetingLinkList::kMaxLinks;
}

void TestMeetingManager::pushesStopAtCaps()
{
    QFETCH(Flood, flood);
    QFETCH(int, cap);
    Fixture f;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("refused|cut at")));
    QCOMPARE(flood(*f.manager, cap + 1), cap);
}

QTEST_MAIN(TestMeetingManager)
#include "tst_meetingmanager.moc"
