#include "scenario.h"
#include "cast.h"
#include "democlient.h"
#include "mediaroom.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetingmodel.h"
#include "simserver.h"
#include "timeline.h"
#include "whiteboardstore.h"
#include <QQuickWindow>
#include <QTimer>

namespace {
constexpr qint64 kMara = 1002;
constexpr qint64 kTomas = 1003;
constexpr qint64 kInes = 1004;
constexpr qint64 kJun = 1005;
constexpr qint64 kLea = 1006;
constexpr qint64 kRavi = 1007;
constexpr qint64 kElif = 1008;
// How long a step waits for the module before the run counts it as a failure.
constexpr int kPatienceMs = 15000;
// Time for new tiles to show their first frames before a screenshot.
constexpr int kSettleMs = 400;
} // namespace

Scenario::Scenario(const Cast &cast, DemoClient *client, SimServer *server, QQuickWindow *window,
                   QObject *parent)
    : QObject(parent), m_cast(cast), m_client(client), m_server(server), m_window(window)
{}

QStringList Scenario::screenshotNames()
{
    return {QStringLiteral("01-incoming-call.png"), QStringLiteral("02-meeting.png"),
            QStringLiteral("03-raised-hand.png"),   QStringLiteral("04-mute-all.png"),
            QStringLiteral("05-screen-share.png"),  QStringLiteral("06-whiteboard.png"),
            QStringLiteral("07-waiting-room.png"),  QStringLiteral("08-everyone.png"),
            QStringLiteral("09-after-leaving.png")};
}

MediaRoom *Scenario::room() const
{
    return m_server->room(m_meetingId);
}

MeetingModel *Scenario::meeting() const
{
    return m_client->current();
}

void Scenario::start()
{
    if (m_running)
        return;
    m_running = true;
    m_failures.clear();
    m_steps = steps();
    m_next = 0;
    runNext();
}

void Scenario::runNext()
{
    if (m_next >= m_steps.size()) {
        m_running = false;
        emit finished();
        return;
    }
    QTimer::singleShot(int(m_steps.at(m_next).gap * m_pace), this,
                       [this] { runWhenReady(QDeadlineTimer(kPatienceMs)); });
}

void Scenario::runWhenReady(const QDeadlineTimer &deadline)
{
    const Step step = m_steps.at(m_next);
    if (step.ready && !step.ready()) {
        if (!deadline.hasExpired()) {
            QTimer::singleShot(50, this, [this, deadline] { runWhenReady(deadline); });
            return;
        }
        expect(false, QStringLiteral("waited in vain before: %1").arg(step.what));
    }
    ++m_next;
    QTimer::singleShot(int(step.settle * m_pace), this, [this, step] {
        m_client->timeline()->add(QStringLiteral("script"), step.what);
        step.act();
        runNext();
    });
}

void Scenario::shoot(const QString &name)
{
    if (m_dir.isEmpty() || !m_window)
        return;
    const QString path = QDir(m_dir).filePath(name);
    const QImage image = m_window->grabWindow();
    if (image.isNull() || !image.save(path))
        expect(false, QStringLiteral("screenshot %1 written").arg(name));
    else
        m_client->timeline()->add(QStringLiteral("script"),
                                  QStringLiteral("screenshot %1").arg(path));
}

void Scenario::expect(bool ok, const QString &what)
{
    if (ok)
        return;
    m_failures.append(what);
    m_client->timeline()->add(QStringLiteral("script"),
                              QStringLiteral("CHECK FAILED: %1").arg(what));
}

void Scenario::tab(const QString &name)
{
    if (m_window)
        m_window->setProperty("panelTab", name);
}

QList<Scenario::Step> Scenario::steps()
{
    auto user = [this](qint64 uid, MeetingDefines::AttendeeType type = MeetingDefines::VIDEO) {
        MeetingModel *m = meeting();
        return m ? qobject_cast<MeetingAttendeeUser *>(
                       m->attendeeList()->getAttendeeInfoByUid(uid, type))
                 : nullptr;
    };
    auto status = [user](qint64 uid) {
        return user(uid) ? user(uid)->participationStatus() : -1;
    };
    auto state = [user](qint64 uid) {
        return user(uid) ? user(uid)->state() : -1;
    };
    auto connected = [this] {
        return meeting() && meeting()->state() == MeetingDefines::CONNECTED;
    };
    auto act = [this](auto fn) {
        return [this, fn] {
            if (MediaRoom *r = room())
                fn(r);
        };
    };
    const qint64 self = m_cast.selfId();
    return {
        {0, QStringLiteral("Mara starts \"Design review\" and calls the design team"),
         [this, self] {
             tab(QStringLiteral("people"));
             m_meetingId = m_server->startMeeting(kMara, QStringLiteral("grp-design"),
                                                  QStringLiteral("Design review"), {kTomas},
                                                  {self, kInes, kJun, kLea, kRavi});
         }},
        {400, QStringLiteral("the call rings"), [this] { shoot(screenshotNames().at(0)); },
         [this] { return m_client->incoming() != nullptr; }, kSettleMs},
        {900, QStringLiteral("you answer with your camera on"),
         [this] {
             m_client->acceptIncoming(true);
         }},
        {0, QStringLiteral("connected; Ines joins while Mara talks"), act([](MediaRoom *r) {
             r->join(kInes);
             r->giveFloor(kMara, 3500);
         }),
         connected},
        {600, QStringLiteral("Jun joins"), act([](MediaRoom *r) { r->join(kJun); })},
        {600, QStringLiteral("Lea joins as a listener"), act([](MediaRoom *r) { r->join(kLea); })},
        {600, QStringLiteral("everyone is in; Mara is talking"),
         [this] { shoot(screenshotNames().at(1)); },
         [this, state] {
             return state(kLea) == MeetingDefines::ACTIVE &&
                    meeting()->whoRSpeaking().contains(m_cast.name(kMara));
         },
         kSettleMs},
        {300, QStringLiteral("Mara hands the host role to you"),
         act([self](MediaRoom *r) { r->transferHost(self); })},
        {0, QStringLiteral("Lea raises her hand"),
         act([](MediaRoom *r) { r->raiseHand(kLea, true); }),
         [this] {
             return meeting() && meeting()->isHost();
         }},
        {250, QStringLiteral("the host sees the raised hand"),
         [this] { shoot(screenshotNames().at(2)); },
         [status] { return status(kLea) == MeetingDefines::RAISE_HAND; }, kSettleMs},
        {500, QStringLiteral("you let Lea speak"),
         [this] {
             if (MeetingModel *m = meeting())
                 m->agreeSpeak(kLea, false);
         }},
        {0, QStringLiteral("Lea speaks, camera on"),
         act([](MediaRoom *r) { r->giveFloor(kLea, 2000); }),
         [status, user] {
             return status(kLea) == MeetingDefines::SPEAKER && user(kLea)->muteVideo() == 0;
         }},
        {900, QStringLiteral("Ravi declines the call"),
         act([](MediaRoom *r) { r->decline(kRavi); })},
        {700, QStringLiteral("you mute everyone and keep them muted"),
         [this] {
             if (MeetingModel *m = meeting())
                 m->setMuteAll(true, false, MeetingDefines::MUTE_AUDIO);
         },
         [state] {
             return state(kRavi) == MeetingDefines::REJECTED;
         }},
        {250, QStringLiteral("everyone but you is muted"),
         [this] { shoot(screenshotNames().at(3)); },
         [user] { return user(kTomas) && user(kTomas)->muteVoice() == 3; }, kSettleMs},
        {600, QStringLiteral("you lift mute-all; people unmute themselves"),
         [this] {
             if (MeetingModel *m = meeting())
                 m->setMuteAll(false, true, MeetingDefines::MUTE_AUDIO);
         }},
        {600, QStringLiteral("Tomas shares his screen and presents"), act([](MediaRoom *r) {
             r->startScreenShare(kTomas);
             r->giveFloor(kTomas, 3500);
         }),
         [user] {
             return user(kTomas) && user(kTomas)->muteVoice() == 0;
         }},
        {1200, QStringLiteral("the screen share is on"), [this] { shoot(screenshotNames().at(4)); },
         [user] { return user(kTomas, MeetingDefines::SHARESCREEN) != nullptr; }, kSettleMs},
        {300, QStringLiteral("Tomas stops sharing; Ines opens a whiteboard and sketches"),
         act([](MediaRoom *r) {
             r->stopShare(kTomas);
             r->openWhiteboard(kInes);
             r->giveFloor(kInes, 5000);
         })},
        {600, QStringLiteral("the sketch takes shape"), [this] { shoot(screenshotNames().at(5)); },
         [this, user] {
             MeetingAttendeeUser *board = user(kInes, MeetingDefines::WHITEBOARD);
             return board && m_client->whiteboards()->strokes(board->shareId()).size() >= 9;
         },
         kSettleMs},
        {300, QStringLiteral("Elif asks to join through the team's meeting link"),
         [this] {
             tab(QStringLiteral("waiting"));
             m_server->applyByLink(kElif, m_server->ownLinkId(QStringLiteral("grp-design")));
         }},
        {250, QStringLiteral("Elif waits to be let in"), [this] { shoot(screenshotNames().at(6)); },
         [this] { return meeting() && meeting()->pendingAttendeeList()->count() == 1; }, kSettleMs},
        {500, QStringLiteral("you let Elif in"),
         [this] {
             m_client->admit(kElif);
             tab(QStringLiteral("people"));
         }},
        {700, QStringLiteral("Elif is in the meeting"), [this] { shoot(screenshotNames().at(7)); },
         [state, user] {
             return state(kElif) == MeetingDefines::ACTIVE && user(kElif)->muteVideo() == 0;
         },
         kSettleMs},
        {300, QStringLiteral("you leave the meeting"),
         [this] {
             m_client->leave(false);
         }},
        {300, QStringLiteral("you are out; the others carry on"),
         [this] {
             tab(QStringLiteral("timeline"));
             shoot(screenshotNames().at(8));
         },
         [this] { return meeting() && meeting()->state() == MeetingDefines::NOTCREATE; },
         kSettleMs},
        {400, QStringLiteral("you rate the meeting"),
         [this] {
             m_client->rate(5);
         }},
        {600, QStringLiteral("done"),
         [] {
         }},
    };
}
