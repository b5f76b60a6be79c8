// Seeded random end-to-end runs: engine signals from the engine thread, user interface calls and
// server records against a meeting model held by a meeting list, with the list invariants
// checked after every step. A failure prints its seed and step; replay one seed with
// MEETING_DRIVER_SEED (and MEETING_DRIVER_STEPS for the number of steps).
#include "accountbase.h"
#include "broadcaster.h"
#include "im.pb.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetinglist.h"
#include "meetingmanager.h"
#include "meetingmodel.h"
#include "testsupport.h"
#include <QPointer>
#include <QRandomGenerator>
#include <QtTest>
#include <functional>
#include <memory>

using qtwebrtc::Broadcaster;

namespace {

constexpr qint64 kSelf = 100;
const QString kDialog = QStringLiteral("d-drive");
const QList<qint64> kUsers = {kSelf, 200, 300, 400, 500};
const QList<const char *> kStatuses = {"ACTIVE", "CALLING", "CONNECTING", "TIMEOUT",
                                       "REJECT", "BUSY",    "LEAVE"};

class Driver
{
public:
    explicit Driver(quint32 seed) : m_rng(seed)
    {
        m_account = std::make_unique<AccountBase>(kSelf, 1);
        m_manager = new MeetingManager(m_account.get());
        m_account->setMeetingManager(m_manager);
    }
    ~Driver()
    {
        m_manager->clearData(false);
        testsupport::drainEvents();
        m_checkers.clear();
    }

    // Empty when the invariants hold, otherwise what broke.
    QString step()
    {
        if (!m_model)
            startMeeting();
        if (!m_model)
            return QStringLiteral("no meeting model after a record");
        // Keeps most steps inside a running call.
        if (!m_model->hasEngine() && pick(3) == 0) {
            m_model->setDevices(QString(), QString(), QString());
            m_model->createCall(coin(), coin());
        }
        const int kind = pick(100);
        if (kind < 55)
            engineSignal();
        else if (kind < 90)
            userCall();
        else
            serverRecord();
        testsupport::drainEvents();
        return m_invariants.check();
    }

private:
    int pick(int n) { return int(m_rng.bounded(n)); }
    qint64 anyUser() { return kUsers[pick(int(kUsers.size()))]; }
    bool coin() { return m_rng.bounded(2) == 1; }

    void startMeeting()
    {
        ++m_meetings;
        m_meetingId = QStringLiteral("m-%1").arg(m_meetings);
        MeetingInfo info;
        info.meetingId = m_meetingId;
        info.dialogId = kDialog;
        info.meetingKey = QByteArray(32, 'k');
        info.nonce = QStringLiteral("n");
        info.messageId = m_meetings;
        info.mediaServerUrl = QStringLiteral("wss://127.0.0.1:9/?token=t");
        info.version = 1;
        info.attendees = {MeetingAttendee(kSelf, 1, MeetingDefines::ACTIVE, kSelf, 0, true),
                          MeetingAttendee(200, 0, MeetingDefines::INVITING, kSelf, 0, true)};
        m_version = 1;
        m_manager->updateMeeting(kDialog, info, MeetingList::UPDATE_MEETING);
        testsupport::drainEvents();
        MeetingList *list = m_manager->meetingList(kDialog, false);
        m_model = list ? list->getMeetingModel(m_meetingId) : nullptr;
        if (!m_model)
            return;
        m_checkers.clear();
        m_invariants.watch(m_model);
        for (MeetingAttendeeList *l : m_invariants.lists())
            m_checkers.push_back(std::make_unique<testsupport::ModelChecker>(l));
    }

    QByteArray roomInfo()
    {
        if (pick(20) == 0)
            return pick(2) ? QByteArray("{\"attendees\":[") : QByteArray("[1]");
        QByteArrayList entries;
        for (qint64 uid : kUsers) {
            if (uid != kSelf && pick(3) == 0)
                continue;
            QByteArray e = "{\"id\":" + QByteArray::number(uid) + ",\"inviter\":100,\"status\":\"" +
                           kStatuses[pick(3)] + "\",\"role\":\"" +
                           (pick(4) ? "speaker" : "listener") +
                           "\",\"raiseHand\":" + QByteArray::number(pick(2)) +
                           ",\"invitingSpeak\":" + QByteArray::number(pick(2)) +
                           ",\"mute\":{\"audio\":" + QByteArray::number(pick(4)) +
                           ",\"video\":" + QByteArray::number(pick(4)) + "}";
            if (uid == kSelf)
                e += QByteArrayLiteral(",\"host\":") + (coin() ? "true" : "false");
            const bool wb = coin();
            if (pick(4) == 0)
                e += ",\"share\":[{\"type\":\"" + QByteArray(wb ? "whiteBoard" : "screen") +
                     "\",\"id\":\"" + shareIdOf(uid, wb) + "\",\"otherMark\":true}]";
            entries << e + '}';
        }
        return "{\"muteAll\":{\"themselves_operation_audio\":" +
               QByteArray(coin() ? "true" : "false") +
               ",\"themselves_operation_video\":true,\"audio\":false,\"video\":" +
               QByteArray(coin() ? "true" : "false") +
               "},\"permissions\":{\"whoCanShare\":\"all\"},\"attendees\":[" + entries.join(',') +
               "]}";
    }

    // Share ids are unique per user and kind, as the media server makes them.
    static QByteArray shareIdOf(qint64 uid, bool whiteboard)
    {
        return (whiteboard ? "w" : "s") + QByteArray::number(uid);
    }
    QString shareId() { return QString::fromLatin1(shareIdOf(anyUser(), coin())); }

    void emitOnEngine(std::function<void(Broadcaster *)> fn)
    {
        Broadcaster *engine = m_model->hasEngine() ? Broadcaster::last() : nullptr;
        if (!engine)
            return;
        engine->emitFromOwnThread(std::move(fn));
        engine->sync();
    }

    void engineSignal()
    {
        const qint64 uid = anyUser(), other = anyUser();
        const QByteArray room = roomInfo();
        const auto mute = qtwebrtc::MuteType(pick(5));
        const int status = pick(4);
        const QString id = shareId();
        const bool flag = coin();
        const int small = pick(3);
        switch (pick(26)) {
        case 0:
        case 1:
            return emitOnEngine([=](Broadcaster *b) { emit b->sigNotifyJoin(uid, other, room); });
        case 2:
            return emitOnEngine([=](Broadcaster *b) { emit b->sigNotifyLeave(uid); });
        case 3:
            return emitOnEngine(
                [=](Broadcaster *b) { emit b->sigNotifyReconnect(uid, other, room); });
        case 4:
        case 5:
            return emitOnEngine(
                [=](Broadcaster *b) { emit b->sigNotifyMute(other, uid, status, mute); });
        case 6:
            return emitOnEngine([=](Broadcaster *b) { emit b->sigNotifyMuteAll(flag, mute); });
        case 7:
            return emitOnEngine([=](Broadcaster *b) {
                emit b->sigNotifyCreateShare(uid, QString::fromLatin1(shareIdOf(uid, small == 1)),
                                             qtwebrtc::ShareType(small));
            });
        case 8:
            return emitOnEngine([=](Broadcaster *b) { emit b->sigNotifyCloseShare(other, id); });
        case 9:
            return emitOnEngine([=](Broadcaster *b) {
                emit b->sigNotifyRoleChange(
                    uid, flag ? QStringLiteral("speaker") : QStringLiteral("listener"), room);
            });
        case 10:
            return emitOnEngine([=](Broadcaster *b) { emit b->sigNotifyRaiseHand(uid, flag); });
        case 11:
            return emitOnEngine([=](Broadcaster *b) {
                emit b->sigNotifyError(qtwebrtc::Error(8 + status * 3), QStringLiteral("e"));
            });
        case 12:
            return emitOnEngine([=](Broadcaster *b) {
                emit b->sigNotifyStateChange(qtwebrtc::CallState(small == 0 ? 0 : 1 + flag));
            });
        case 13:
            return emitOnEngine([=](Broadcaster *b) {
                emit b->sigNotifyDecibel(uid, qtwebrtc::CONSUMER_AUDIO, status * 10.0, 40.0,
                                         {1.0, 2.0});
            });
        case 14:
            return emitOnEngine([=](Broadcaster *b) {
                QVideoFrame frame(
                    QVideoFrameFormat(QSize(4, 4), QVideoFrameFormat::Format_RGBA8888));
                emit b->sigVideoFrame(uid,
                                      flag ? qtwebrtc::CONSUMER_VIDEO : qtwebrtc::CONSUMER_SCREEN,
                                      0, frame.surfaceFormat(), frame);
            });
        case 15:
            return emitOnEngine([=](Broadcaster *b) { emit b->sigNotifyScore(uid, status); });
        case 16:
            return emitOnEngine([=](Broadcaster *b) { emit b->sigNotifyKicked(other, uid); });
        case 17:
            if (pick(8) == 0)
                return emitOnEngine([=](Broadcaster *b) { emit b->sigNotifyDismiss(other); });
            return;
        case 18:
            return emitOnEngine([=](Broadcaster *b) { emit b->sigNotifyReady(uid, room); });
        case 19:
            return emitOnEngine([=](Broadcaster *b) {
                emit b->sigNotifyInviteSpeak(other, uid, flag);
                emit b->sigNotifyAgreeSpeak(other, uid, !flag);
            });
        case 20:
            return emitOnEngine([=](Broadcaster *b) {
                emit b->sigNotifySharePremission(
                    flag ? QStringLiteral("host") : QStringLiteral("all"), !flag, room);
            });
        case 21:
            return emitOnEngine([=](Broadcaster *b) {
                emit b->sigNotifySetAllowDraw(other, id, flag);
                emit b->sigNotifyAllowUnmute(flag, mute);
            });
        case 22:
            return emitOnEngine([=](Broadcaster *b) {
                emit b->sigNotifyTimeout(uid);
                emit b->sigNotifyReject(other);
            });
        case 23: // a whiteboard and a screen or window share of one user
            return emitOnEngine([=](Broadcaster *b) {
                emit b->sigNotifyCreateShare(uid, QString::fromLatin1(shareIdOf(uid, true)),
                                             qtwebrtc::SHARE_WHITEBOARD);
                emit b->sigNotifyCreateShare(uid, QString::fromLatin1(shareIdOf(uid, false)),
                                             qtwebrtc::ShareType(2 + small % 2));
            });
        case 24: // either of them closed first
            return emitOnEngine([=](Broadcaster *b) {
                emit b->sigNotifyCloseShare(uid, QString::fromLatin1(shareIdOf(uid, flag)));
            });
        default:
            return emitOnEngine([=](Broadcaster *b) {
                emit b->sigNotifyInvite(uid, other);
                emit b->sigNotifyNewConsumer(uid, mute);
                emit b->sigNotifyRejectSpeak(other);
            });
        }
    }

    MeetingAttendeeUser *anyLiveObject()
    {
        const auto &rows = m_model->attendeeList()->rows();
        return rows.isEmpty() ? nullptr : rows[pick(int(rows.size()))].user;
    }

    void userCall()
    {
        MeetingModel *m = m_model;
        const qint64 uid = anyUser();
        const bool flag = coin();
        switch (pick(16)) {
        case 0:
            return m->setDevices(QString(), QString(), QString());
        case 1:
            return m->createCall(flag, coin(), coin());
        case 2:
        case 3:
            if (MeetingAttendeeUser *u = anyLiveObject()) {
                u->setMuteVideo(pick(2));
                u->setMuteVoice(pick(2));
            }
            return;
        case 4:
            if (MeetingAttendeeUser *u = anyLiveObject())
                u->setVolume(pick(101) / 100.0);
            return;
        case 5:
            return m->setMuteAll(flag, coin(), pick(2));
        case 6:
            return m->createShare(1 + pick(2));
        case 7:
            return m->closeShare(shareId());
        case 8:
            return m->raiseHand(flag);
        case 9:
            return m->inviteSpeak(uid, flag);
        case 10:
            return flag ? m->agreeSpeak(uid, coin()) : m->rejectSpeak(uid);
        case 11:
            return m->beListener(uid);
        case 12:
            if (pick(4) == 0)
                m->leave(flag);
            return;
        case 13:
            return m->kicked(uid);
        case 14:
            return m->search(flag ? QStringLiteral("2") : QString());
        default:
            return m->setAllowDraw(flag);
        }
    }

    void serverRecord()
    {
        im::Meeting meeting;
        meeting.set_id(m_meetingId.toStdString());
        meeting.set_dialog_id(kDialog.toStdString());
        meeting.set_msg_id(m_meetings);
        meeting.set_version(pick(4) ? ++m_version : m_version - 1);
        for (qint64 uid : kUsers) {
            if (uid != kSelf && coin())
                continue;
            im::MeetingAttendeeEntry *e =
                pick(5) ? meeting.add_attendees() : meeting.add_pending_attendees();
            e->set_user_id(uid);
            e->set_status(pick(6));
        }
        if (pick(40) == 0) {
            m_manager->meetingBeFinished(m_meetingId);
            return;
        }
        m_manager->updateMeeting(kDialog, meeting, QString(), pick(10) == 0);
    }

    QRandomGenerator m_rng;
    std::unique_ptr<AccountBase> m_account;
    MeetingManager *m_manager = nullptr;
    QPointer<MeetingModel> m_model;
    QString m_meetingId;
    qint64 m_version = 0;
    int m_meetings = 0;
    testsupport::ListInvariants m_invariants;
    std::vector<std::unique_ptr<testsupport::ModelChecker>> m_checkers;
};

} // namespace

class RandomDriverTest : public QObject
{
    Q_OBJECT
private slots:
    void run()
    {
        const QByteArray seedEnv = qgetenv("MEETING_DRIVER_SEED");
        const int total = qEnvironmentVariableIsSet("MEETING_DRIVER_STEPS")
                              ? qEnvironmentVariableIntValue("MEETING_DRIVER_STEPS")
                              : 100000;
        const QList<quint32> seeds =
            seedEnv.isEmpty() ? QList<quint32>{1, 2, 3, 4, 5} : QList<quint32>{seedEnv.toUInt()};
        const int perSeed = total / int(seeds.size());
        int steps = 0;
        for (quint32 seed : seeds) {
            Driver driver(seed);
            for (int i = 0; i < perSeed; ++i, ++steps) {
                const QString broken = driver.step();
                if (!broken.isEmpty())
                    QFAIL(qPrintable(QStringLiteral("seed %1 step %2: %3 (replay with "
                                                    "MEETING_DRIVER_SEED=%1 "
                                                    "MEETING_DRIVER_STEPS=%4)")
                                         .arg(seed)
                                         .arg(i)
                                         .arg(broken)
                                         .arg(i + 1)));
            }
        }
        qInfo("%d steps", steps);
        QCOMPARE(Broadcaster::aliveCount(), 0);
    }
};

QTEST_MAIN(RandomDriverTest)
#include "tst_randomdriver.moc"
