#include "directory.h"
#include "mediatoken.h"
#include "meeting.pb.h"
#include "store.h"
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
template <class Message> QByteArray bytesOf(const Message &m)
{
    QByteArray bytes(int(m.ByteSizeLong()), Qt::Uninitialized);
    m.SerializeToArray(bytes.data(), int(bytes.size()));
    return bytes;
}

constexpr qint64 kHost = 1;
constexpr qint64 kMember = 2;
constexpr qint64 kOutsider = 3;
} // namespace

// The server's directory: who may do what, what is pushed to whom, what survives a restart.
class tst_ServerDirectory : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void refusals_data();
    void refusals();
    void invitationReachesOnlyTheCalled();
    void linkApplicationNeedsTheHost();
    void restartKeepsAnsweredState();
    void leaverMayRate();
    void mediaTokens_data();
    void mediaTokens();

private:
    void openDirectory();
    QByteArray payload(const QString &kind) const;

    QTemporaryDir m_dir;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<Directory> m_directory;
    QString m_meetingId;
    QString m_nonce;
    im::MeetingLink m_link;
};

void tst_ServerDirectory::openDirectory()
{
    m_directory.reset();
    m_store.reset();
    m_store = std::make_unique<Store>(QStringLiteral("test"));
    QVERIFY(m_store->open(m_dir.filePath(QStringLiteral("server.db"))));
    m_directory = std::make_unique<Directory>(*m_store, [](const QString &id, qint64 uid) {
        return QStringLiteral("ws://127.0.0.1:1/media/?meeting=%1&uid=%2").arg(id).arg(uid);
    });
    m_directory->load();
}

void tst_ServerDirectory::init()
{
    QVERIFY(m_dir.isValid());
    m_store = std::make_unique<Store>(QStringLiteral("test"));
    QVERIFY(m_store->open(m_dir.filePath(QStringLiteral("server.db"))));
    QVERIFY(m_store->upsertConversation({QStringLiteral("grp"), true, {kHost, kMember}}));
    openDirectory();

    im::meeting::CreateMeetingReq create;
    create.mutable_invite_message()->set_dialog_id("grp");
    create.mutable_invite_message()->set_client_id("client-1");
    const Directory::Reply created = m_directory->handle(kHost, 231, bytesOf(create));
    QCOMPARE(created.code, 0);
    im::wire::CreateMeetingResp resp;
    QVERIFY(resp.ParseFromArray(created.body.constData(), int(created.body.size())));
    m_meetingId = QString::fromStdString(resp.meeting().id());
    m_nonce = QString::fromStdString(resp.nonce());

    im::meeting::CreateOrUpdateMeetingLinkReq link;
    link.mutable_meeting_link()->set_name("room");
    const Directory::Reply made = m_directory->handle(kHost, 281, bytesOf(link));
    QCOMPARE(made.code, 0);
    im::meeting::CreateOrUpdateMeetingLinkResp linkResp;
    QVERIFY(linkResp.ParseFromArray(made.body.constData(), int(made.body.size())));
    m_link = linkResp.meeting_link();
}

void tst_ServerDirectory::cleanup()
{
    m_directory.reset();
    m_store.reset();
    QFile::remove(m_dir.filePath(QStringLiteral("server.db")));
}

QByteArray tst_ServerDirectory::payload(const QString &kind) const
{
    const std::string meeting = m_meetingId.toStdString();
    if (kind == QLatin1String("garbage"))
        return QByteArray("\xff\xff\xff\x0f", 4);
    if (kind == QLatin1String("create-foreign")) {
        im::meeting::CreateMeetingReq r;
        r.mutable_invite_message()->set_dialog_id("grp");
        return bytesOf(r);
    }
    if (kind == QLatin1String("invite")) {
        im::meeting::MeetingInviteReq r;
        r.set_meeting_id(meeting);
        r.add_targets(int(kOutsider));
        return bytesOf(r);
    }
    if (kind == QLatin1String("join-wrong-nonce") || kind == QLatin1String("join")) {
        im::meeting::JoinMeetingReq r;
        r.set_meeting_id(meeting);
        r.set_nonce(kind == QLatin1String("join") ? m_nonce.toStdString() : "guess");
        return bytesOf(r);
    }
    if (kind == QLatin1String("cancel")) {
        im::meeting::RejectMeetingReq r;
        r.set_dialog_id("grp");
        r.set_client_id("client-1");
        return bytesOf(r);
    }
    if (kind == QLatin1String("link-rename") || kind == QLatin1String("link-delete")) {
        im::meeting::DeleteMeetingLinkReq r;
        *r.mutable_meeting_link() = m_link;
        return bytesOf(r);
    }
    if (kind == QLatin1String("link-get-wrong-password") || kind == QLatin1String("link-apply")) {
        im::meeting::JoinMeetingByLinkReq r;
        *r.mutable_meeting_link() = m_link;
        if (kind == QLatin1String("link-get-wrong-password"))
            r.mutable_meeting_link()->set_password("000000");
        return bytesOf(r);
    }
    if (kind == QLatin1String("link-get-no-token")) {
        im::meeting::GetMeetingLinkReq r;
        r.mutable_meeting_link()->set_id(m_link.id());
        return bytesOf(r);
    }
    if (kind == QLatin1String("pending")) {
        im::meeting::DeletePendingAttendeesReq r;
        r.set_meeting_id(meeting);
        r.add_user_ids(int(kOutsider));
        return bytesOf(r);
    }
    if (kind == QLatin1String("rate")) {
        im::meeting::RateMeetingReq r;
        r.set_meeting_id(meeting);
        r.set_score(5);
        return bytesOf(r);
    }
    return {};
}

void tst_ServerDirectory::refusals_data()
{
    QTest::addColumn<qint64>("account");
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("code");

    QTest::addRow("unknown command") << kHost << 999 << "" << 404;
    for (int command : {231, 232, 233, 234, 281, 283, 284, 285, 286, 287})
        QTest::addRow("garbage for %d", command) << kHost << command << "garbage" << 400;
    QTest::addRow("create in a foreign conversation")
        << kOutsider << 231 << "create-foreign" << 403;
    QTest::addRow("invite into a foreign meeting") << kOutsider << 232 << "invite" << 404;
    QTest::addRow("invite a non-member") << kHost << 232 << "invite" << 0;
    QTest::addRow("join a foreign meeting") << kOutsider << 234 << "join" << 404;
    QTest::addRow("join with a wrong nonce") << kMember << 234 << "join-wrong-nonce" << 403;
    QTest::addRow("join with the nonce") << kMember << 234 << "join" << 0;
    QTest::addRow("cancel another's call") << kMember << 233 << "cancel" << 404;
    QTest::addRow("rename another's link") << kMember << 281 << "link-rename" << 404;
    QTest::addRow("delete another's link") << kMember << 283 << "link-delete" << 404;
    QTest::addRow("look a link up without token") << kOutsider << 284 << "link-get-no-token" << 404;
    QTest::addRow("apply with a wrong password")
        << kOutsider << 285 << "link-get-wrong-password" << 403;
    QTest::addRow("turn applicants away as a member") << kMember << 286 << "pending" << 403;
    QTest::addRow("rate a foreign meeting") << kOutsider << 287 << "rate" << 404;
    QTest::addRow("rate an own meeting") << kMember << 287 << "rate" << 0;
}

void tst_ServerDirectory::refusals()
{
    QFETCH(qint64, account);
    QFETCH(int, command);
    QFETCH(QString, kind);
    QFETCH(int, code);
    QSignalSpy pushes(m_directory.get(), &Directory::pushReady);
    QCOMPARE(m_directory->handle(account, command, payload(kind)).code, code);
    // The meeting itself is untouched by any refusal.
    if (code != 0) {
        QCOMPARE(pushes.count(), 0);
        QCOMPARE(m_directory->hostOf(m_meetingId), kHost);
    }
}

void tst_ServerDirectory::invitationReachesOnlyTheCalled()
{
    m_store->upsertConversation({QStringLiteral("grp2"), true, {kHost, kMember, kOutsider}});
    openDirectory();
    QSignalSpy pushes(m_directory.get(), &Directory::pushReady);
    QSignalSpy invited(m_directory.get(), &Directory::invited);
    im::meeting::CreateMeetingReq create;
    create.mutable_invite_message()->set_dialog_id("grp2");
    create.mutable_invite_message()->set_content("key material");
    QCOMPARE(m_directory->handle(kMember, 231, bytesOf(create)).code, 0);

    QCOMPARE(pushes.count(), 2);
    QCOMPARE(pushes[0][0].value<QList<qint64>>(), QList<qint64>{kMember});
    QCOMPARE(pushes[1][0].value<QList<qint64>>(), (QList<qint64>{kHost, kOutsider}));
    im::wire::MeetingPush invitation;
    const QByteArray bytes = pushes[1][2].toByteArray();
    QVERIFY(invitation.ParseFromArray(bytes.constData(), int(bytes.size())));
    QVERIFY(invitation.invitation());
    QCOMPARE(invitation.key(), "key material");
    QCOMPARE(invited.count(), 2);
}

void tst_ServerDirectory::linkApplicationNeedsTheHost()
{
    QCOMPARE(m_directory->handle(kOutsider, 285, payload(QStringLiteral("link-apply"))).code, 0);
    QVERIFY(!m_directory->isAttendee(m_meetingId, kOutsider));
    // Only the host lets the applicant in; an attendee cannot.
    im::meeting::MeetingInviteReq admit;
    admit.set_meeting_id(m_meetingId.toStdString());
    admit.add_targets(int(kOutsider));
    QCOMPARE(m_directory->handle(kOutsider, 232, bytesOf(admit)).code, 404);
    QCOMPARE(m_directory->handle(kHost, 232, bytesOf(admit)).code, 0);
    QVERIFY(m_directory->isAttendee(m_meetingId, kOutsider));
}

void tst_ServerDirectory::leaverMayRate()
{
    m_directory->setStatus(m_meetingId, kHost, Directory::Active);
    m_directory->setStatus(m_meetingId, kMember, Directory::Active);
    m_directory->removeAttendee(m_meetingId, kMember);
    QVERIFY(!m_directory->isAttendee(m_meetingId, kMember));
    QCOMPARE(m_directory->handle(kMember, 287, payload(QStringLiteral("rate"))).code, 0);
    QCOMPARE(m_directory->handle(kOutsider, 287, payload(QStringLiteral("rate"))).code, 404);
}

void tst_ServerDirectory::restartKeepsAnsweredState()
{
    m_directory->setStatus(m_meetingId, kMember, Directory::Active);
    m_directory->setHost(m_meetingId, kMember);
    openDirectory();
    QCOMPARE(m_store->schemaVersion(), 2);
    QVERIFY(m_directory->isAttendee(m_meetingId, kMember));
    QCOMPARE(m_directory->hostOf(m_meetingId), kMember);
    QCOMPARE(m_directory->handle(kHost, 284, payload(QStringLiteral("link-get-no-token"))).code,
             404);
    im::meeting::GetMeetingLinkReq get;
    *get.mutable_meeting_link() = m_link;
    QCOMPARE(m_directory->handle(kOutsider, 284, bytesOf(get)).code, 0);

    m_directory->endMeeting(m_meetingId);
    openDirectory();
    QVERIFY(!m_directory->isAttendee(m_meetingId, kMember));
}

void tst_ServerDirectory::mediaTokens_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<qint64>("now");
    QTest::addColumn<int>("refusal");

    QTest::addRow("valid") << ""
                           << "" << qint64(100) << int(MediaToken::None);
    QTest::addRow("forged uid") << "uid"
                                << "7" << qint64(100) << int(MediaToken::Invalid);
    QTest::addRow("other meeting") << "meeting"
                                   << "m2" << qint64(100) << int(MediaToken::Invalid);
    QTest::addRow("longer life") << "expires"
                                 << "999" << qint64(100) << int(MediaToken::Invalid);
    QTest::addRow("expired") << ""
                             << "" << qint64(1001) << int(MediaToken::Expired);
    QTest::addRow("no token") << "token"
                              << "" << qint64(100) << int(MediaToken::Missing);
    QTest::addRow("uid not a number") << "uid"
                                      << "x" << qint64(100) << int(MediaToken::Missing);
}

void tst_ServerDirectory::mediaTokens()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(qint64, now);
    QFETCH(int, refusal);
    const MediaToken tokens(QByteArrayLiteral("secret"));
    QUrlQuery query = tokens.mint(QStringLiteral("m1"), 5, 1000);
    if (!field.isEmpty()) {
        query.removeQueryItem(field);
        query.addQueryItem(field, value);
    }
    const MediaToken::Checked checked = tokens.check(query, now);
    QCOMPARE(int(checked.refusal), refusal);
    if (refusal == MediaToken::None) {
        QCOMPARE(checked.meetingId, QStringLiteral("m1"));
        QCOMPARE(checked.uid, 5);
    }
}

QTEST_GUILESS_MAIN(tst_ServerDirectory)
#include "tst_serverdirectory.moc"
