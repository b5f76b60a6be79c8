// A whole meeting, from the incoming call to the end, with every log category and level on:
// no line may carry the meeting key, the nonce, a link's password or token, or the media
// server URL's token.
#include "accountbase.h"
#include "broadcaster.h"
#include "builders.h"
#include "im.pb.h"
#include "meeting.pb.h"
#include "meetinglinkitem.h"
#include "meetinglinklist.h"
#include "meetinglist.h"
#include "meetingmanager.h"
#include "meetingmodel.h"
#include "settings.h"
#include "testsupport.h"
#include "whiteboard.pb.h"
#include <QDirIterator>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QtTest>

using qtwebrtc::Broadcaster;
using testsupport::bytes;
using testsupport::serverMeeting;

namespace {

const QByteArray kKey = "KEY-3f9a1c7e5b2d8f4a6c0e9b1d3f5a7c9e";
const QString kNonce = QStringLiteral("NONCE-8d2e4f6a");
const QString kPassword = QStringLiteral("PASS-51c7e2");
const QString kToken = QStringLiteral("LINKTOKEN-a93b7d");
const QString kServerToken = QStringLiteral("SRVTOKEN-6e1f0c");
const QString kServerUrl = QStringLiteral("wss://127.0.0.1:9/?token=") + kServerToken;

QStringList s_lines;

void capture(QtMsgType, const QMessageLogContext &context, const QString &text)
{
    s_lines << QString::fromLatin1(context.category ? context.category : "") + QLatin1String(": ") +
                   text;
}

void enableAll(QLoggingCategory *category)
{
    for (QtMsgType type : {QtDebugMsg, QtInfoMsg, QtWarningMsg, QtCriticalMsg})
        category->setEnabled(type, true);
}

QByteArray room()
{
    return "{\"muteAll\":{\"themselves_operation_audio\":true,\"themselves_operation_video\":"
           "true,\"audio\":false,\"video\":false},\"attendees\":["
           "{\"id\":100,\"inviter\":100,\"status\":\"ACTIVE\",\"role\":\"speaker\",\"raiseHand\":0,"
           "\"invitingSpeak\":0,\"host\":true,\"share\":[{\"type\":\"whiteBoard\",\"id\":\"wb\","
           "\"otherMark\":true}]},"
           "{\"id\":200,\"inviter\":100,\"status\":\"ACTIVE\",\"role\":\"speaker\",\"raiseHand\":0,"
           "\"invitingSpeak\":0}]}";
}

} // namespace

class SecretsTest : public QObject
{
    Q_OBJECT
private slots:
    void noSecretInAnyLogLine()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("*=true"));
        // The filter outranks QT_LOGGING_RULES, which the test environment sets.
        const auto previousFilter = QLoggingCategory::installFilter(&enableAll);
        const auto previousHandler = qInstallMessageHandler(&capture);
        QTemporaryDir cache;
        QVERIFY(cache.isValid());
        AppDirManager::instance()->setCacheDataDir(cache.path());
        runScenario();
        qInstallMessageHandler(previousHandler);
        QLoggingCategory::installFilter(previousFilter);

        QVERIFY(!s_lines.isEmpty());
        QVERIFY(!m_errorTexts.isEmpty());
        s_lines << m_errorTexts;
        QDirIterator logs(cache.path(), QDir::Files, QDirIterator::Subdirectories);
        int logFiles = 0;
        while (logs.hasNext()) {
            QFile file(logs.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            s_lines << QString::fromUtf8(file.readAll());
            ++logFiles;
        }
        QCOMPARE(logFiles, 1);
        const QStringList secrets = {QString::fromLatin1(kKey),
                                     QString::fromLatin1(kKey.toHex()),
                                     QString::fromLatin1(kKey.toBase64()),
                                     kNonce,
                                     kPassword,
                                     kToken,
                                     kServerToken};
        for (const QString &line : std::as_const(s_lines)) {
            for (const QString &secret : secrets)
                QVERIFY2(!line.contains(secret), qPrintable(line));
        }
    }

private:
    QStringList m_errorTexts;

    void runScenario()
    {
        AccountBase account(100, 1);
        auto *manager = new MeetingManager(&account);
        account.setMeetingManager(manager);

        // Incoming call: the record with key and nonce, then the media server's address.
        im::meeting::JoinMeetingResp media;
        media.set_media_server_url(kServerUrl.toStdString());
        *media.mutable_meeting() = serverMeeting("m1", 2, {{100, 3}, {200, 3}});
        account.scriptAnswer(MeetingServiceCmd::JoinMeeting, 0, bytes(media));
        account.scriptAnswer(MeetingServiceCmd::JoinMeeting, 0, bytes(media));
        MeetingInfo info;
        info.meetingId = QStringLiteral("m1");
        info.dialogId = QStringLiteral("d1");
        info.meetingKey = kKey;
        info.nonce = kNonce;
        info.version = 1;
        info.attendees = {MeetingAttendee(100, 1, MeetingDefines::INVITING, 200, 0, true),
                          MeetingAttendee(200, 0, MeetingDefines::ACTIVE, 200, 0, true)};
        manager->updateMeeting(QStringLiteral("d1"), info, MeetingList::NEW_MEETING);
        testsupport::drainEvents();
        MeetingList *list = manager->meetingList(QStringLiteral("d1"), false);
        QVERIFY(list);
        MeetingModel *model = list->getMeetingModel(QStringLiteral("m1"));
        QVERIFY(model);
        connect(model, &MeetingModel::meetingError, this,
                [this](int, const QString &text) { m_errorTexts << text; });
        model->reportRinging(true);
        model->joinMeeting();
        testsupport::drainEvents();
        QCOMPARE(model->mediaServerUrl(), kServerUrl);

        // Call set-up and the room, from the engine's own thread.
        model->setDevices(QString(), QString(), QString());
        model->createCall(false, false);
        Broadcaster *engine = Broadcaster::last();
        QVERIFY(engine);
        engine->emitFromOwnThread([](Broadcaster *b) {
            emit b->sigNotifyReady(100, room());
            emit b->sigNotifyJoin(100, 100, room());
            emit b->sigNotifyJoin(200, 100, "{\"attendees\":[");
            emit b->sigNotifyStateChange(qtwebrtc::CALL_CONNECTED);
            for (qtwebrtc::Error error :
                 {qtwebrtc::ERR_TOKEN_INVALID, qtwebrtc::ERR_SOCKET, qtwebrtc::ERR_UNKNOWN})
                emit b->sigNotifyError(error, kServerUrl);
            emit b->sigWriteLog(QStringLiteral("engine line"), kServerUrl);
            emit b->sigWriteLog(QStringLiteral("dialing ") + kServerUrl, QString());
            emit b->sigWriteLog(QStringLiteral("auth {\"token\":\"") + kServerToken +
                                    QStringLiteral("\",\"password\":\"") + kPassword +
                                    QStringLiteral("\"}"),
                                QString());
            emit b->sigNotifyCreateShare(200, QStringLiteral("wb"), qtwebrtc::SHARE_WHITEBOARD);
            auto *data = new im::whiteboard::TransferData;
            emit b->sigNotifyData(data);
        });
        engine->sync();
        testsupport::drainEvents();
        auto *out = new im::whiteboard::TransferData;
        model->sendData(out, QStringLiteral("wb"));
        model->sendUserAction(true, QStringLiteral("wb"));

        // A link opened with its password and token, then applied for.
        im::MeetingLink link;
        link.set_id("l1");
        link.set_dialog_id("d2");
        link.set_owner_id(500);
        link.set_status(1);
        link.set_password(kPassword.toStdString());
        link.set_token(kToken.toStdString());
        *link.mutable_meeting() = serverMeeting("m2", 1, {{100, 3}, {200, 3}}, "d2");
        im::meeting::GetMeetingLinkResp got;
        *got.mutable_meeting_link() = link;
        account.scriptAnswer(MeetingServiceCmd::GetLink, 0, bytes(got));
        account.scriptAnswer(MeetingServiceCmd::JoinByLink, 0);
        MeetingLinkList *links = manager->meetingLinkList();
        links->getJoinMeetingLinkInfo(QStringLiteral("l1"), kPassword, kToken,
                                      QStringLiteral("d2"));
        QTRY_VERIFY(links->joinMeetingLink());
        links->joinMeetingLink()->joinMeeting(&account, false);
        account.scriptAnswer(MeetingServiceCmd::GetLink, 2113);
        links->getJoinMeetingLinkInfo(QStringLiteral("l1"), kPassword, kToken,
                                      QStringLiteral("d2"));
        testsupport::drainEvents();

        model->leave(false);
        engine->sync();
        engine->emitFromOwnThread([](Broadcaster *b) { emit b->sigNotifyLeave(100); });
        engine->sync();
        testsupport::drainEvents();
        manager->clearData(false);
        testsupport::drainEvents();
        delete manager;
    }
};

QTEST_MAIN(SecretsTest)
#include "tst_secrets.moc"
