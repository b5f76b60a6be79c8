#include "directoryfixture.h"
#include "meetinglist.h"
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

using namespace directorytest;

namespace {

class FakeMeeting : public MeetingModelBase
{
public:
    FakeMeeting(const QString &id, AccountBase *account) : m_id(id), m_account(account) {}
    QString meetingId() override { return m_id; }
    QString dialogId() override { return {}; }
    int state() const override { return 0; }
    AccountBase *account() const override { return m_account; }

private:
    QString m_id;
    AccountBase *m_account;
};

QVariantList listChange(const QString &dialogId, MeetingList *list)
{
    return {dialogId, QVariant::fromValue(list)};
}

} // namespace

class TestMeetingManager : public QObject
{
    Q_OBJECT
private slots:
    void registry();
    void createMeetingReplacesTheList();
    void meetingBeFinished_data();
    void meetingBeFinished();
};

void TestMeetingManager::registry()
{
    Fixture f;
    QSignalSpy changed(f.manager, &MeetingManager::meetingListChanged);
    const QString d1 = QStringLiteral("d1");
    QVERIFY(!f.manager->meetingList(d1, false));
    QPointer<MeetingList> list = f.manager->meetingList(d1, true);
    QVERIFY(list);
    QCOMPARE(f.manager->meetingList(d1, true), list.data());
    QCOMPARE(changed, QList<QVariantList>{listChange(d1, list)});

    // The server's form never creates a list; the host's record does, unless its origin is bogus.
    f.manager->updateMeeting(QStringLiteral("d2"), im::Meeting(), QString(), true);
    f.manager->updateMeeting(QStringLiteral("d3"), MeetingInfo(), MeetingList::UPDATE_MEETING);
    f.manager->updateMeeting(QStringLiteral("d4"), MeetingInfo(), 9);
    QVERIFY(!f.manager->meetingList(QStringLiteral("d2"), false));
    QVERIFY(f.manager->meetingList(QStringLiteral("d3"), false));
    QVERIFY(!f.manager->meetingList(QStringLiteral("d4"), false));

    changed.clear();
    f.manager->setMeetings(QStringLiteral("d9"), {});
    QVERIFY(changed.isEmpty());
    f.manager->setMeetings(d1, {});
    QCOMPARE(changed, QList<QVariantList>{listChange(d1, nullptr)});
    QVERIFY(!list);
    QVERIFY(!f.manager->meetingList(d1, false));
}

void TestMeetingManager::createMeetingReplacesTheList()
{
    Fixture f;
    QSignalSpy changed(f.manager, &MeetingManager::meetingListChanged);
    const QString d1 = QStringLiteral("d1");
    f.manager->createMeeting(d1, 500);
    QPointer<MeetingList> first = f.manager->meetingList(d1, false);
    f.manager->createMeeting(d1, 500);
    QPointer<MeetingList> second = f.manager->meetingList(d1, false);
    QVERIFY(first && second && first != second);
    QCOMPARE(changed, QList<QVariantList>({listChange(d1, first), listChange(d1, second)}));
    QCOMPARE(hostCalls(QStringLiteral("setMeetingModel")).size(), 2);

    changed.clear();
    f.manager->clearData(false);
    QCOMPARE(changed, QList<QVariantList>{listChange(d1, nullptr)});
    QVERIFY(!first && !second);
    f.manager->clearData(false);
    QCOMPARE(changed.size(), 1);
}

void TestMeetingManager::meetingBeFinished_data()
{
    QTest::addColumn<QString>("finished");
    QTest::addColumn<QString>("current");
    QTest::addColumn<bool>("sameAccount");
    QTest::addColumn<bool>("released");
    QTest::newRow("the current meeting") << "m1"
                                         << "m1" << true << true;
    QTest::newRow("another meeting") << "m1"
                                     << "m2" << true << false;
    QTest::newRow("another account's meeting") << "m1"
                                               << "m1" << false << false;
    QTest::newRow("no meeting id") << ""
                                   << "" << true << false;
}

void TestMeetingManager::meetingBeFinished()
{
    QFETCH(QString, finished);
    QFETCH(QString, current);
    QFETCH(bool, sameAccount);
    QFETCH(bool, released);
    Fixture f;
    AccountBase other(200, 1);
    FakeMeeting model(current, sameAccount ? f.account.get() : &other);
    AccountManager::getInstance()->setMeetingModel(&model);

    f.manager->meetingBeFinished(finished);
    QCOMPARE(AccountManager::getInstance()->meetingModel() == nullptr, released);
    QCOMPARE(hostCalls(QStringLiteral("meetingBeFinished")),
             QVariantList{call("meetingBeFinished", {qint64(100), finished})});
}

QTEST_MAIN(TestMeetingManager)
#include "tst_meetingmanager.moc"
