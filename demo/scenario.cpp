#include "scenario.h"
#include "cast.h"
#include "democlient.h"
#include "mediaroom.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetingmodel.h"
#include "simserver.h"
#include "timeline.h"
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
    m_clock.start();
    runNext();
}

void Scenario::runNext()
{
    if (m_next >= m_steps.size()) {
        m_running = false;
        emit finished();
        return;
    }
    const Step &step = m_steps.at(m_next);
    const qint64 due = qint64(step.at * m_pace);
    QTimer::singleShot(int(qMax<qint64>(0, due - m_clock.elapsed())), this, [this] {
        const Step step = m_steps.at(m_next++);
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
    auto user = [this](qint64 uid) -> MeetingAttendeeUser * {
        MeetingModel *m = meeting();
        return m ? qobject_cast<MeetingAttendeeUser *>(m->attendeeList()->getAttendeeInfoByUid(uid))
                 : nullptr;
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
        {1500, QStringLiteral("the call rings"),
         [this] {
             expect(m_client->incoming() != nullptr,
                    QStringLiteral("the incoming call is announced"));
             shoot(screenshotNames().at(0));
         }},
        {1800, QStringLiteral("you answer with your camera on"),
         [this] {
             m_client->acceptIncoming(true);
         }},
        {2900, QStringLiteral("Ines joins while Mara talks"),
         [this] {
             expect(meeting() && meeting()->state() == 2,
                    QStringLiteral("the meeting is connected after answering"));
             if (room()) {
                 room()->join(kInes);
                 room()->giveFloor(kMara, 2600);
             }
         }},
        {3500, QStringLiteral("Jun joins"),
         [this] {
             room() ? room()->join(kJun) : void();
         }},
        {4100, QStringLiteral("Lea joins as a listener"),
         [this] {
             room() ? room()->join(kLea) : void();
         }},
        {5600, QStringLiteral("everyone is in; Mara is talking"),
         [this] {
             expect(meeting() && meeting()->activeAttendeeList()->count() >= 5,
                    QStringLiteral("five people are in the call"));
             shoot(screenshotNames().at(1));
         }},
        {5900, QStringLiteral("Mara hands the host role to you"),
         [this, self] {
             room() ? room()->transferHost(self) : void();
         }},
        {6500, QStringLiteral("Lea raises her hand"),
         [this] {
             room() ? room()->raiseHand(kLea, true) : void();
         }},
        {7300, QStringLiteral("the host sees the raised hand"),
         [this, user] {
             expect(meeting() && meeting()->isHost(), QStringLiteral("you are the host"));
             expect(user(kLea) && user(kLea)->participationStatus() == 1,
                    QStringLiteral("Lea's hand is up"));
             shoot(screenshotNames().at(2));
         }},
        {7700, QStringLiteral("you let Lea speak"),
         [this] {
             meeting() ? meeting()->agreeSpeak(kLea, false) : void();
         }},
        {8600, QStringLiteral("Lea talks"),
         [this, user] {
             expect(user(kLea) && user(kLea)->participationStatus() == 0,
                    QStringLiteral("Lea is a speaker"));
             room() ? room()->giveFloor(kLea, 1800) : void();
         }},
        {9300, QStringLiteral("Ravi declines the call"),
         [this] {
             room() ? room()->decline(kRavi) : void();
         }},
        {10200, QStringLiteral("you mute everyone and keep them muted"),
         [this] {
             meeting() ? meeting()->setMuteAll(true, false, 0) : void();
         }},
        {11200, QStringLiteral("everyone but you is muted"),
         [this, user] {
             expect(user(kTomas) && user(kTomas)->muteVoice() == 3,
                    QStringLiteral("Tomas is muted by mute-all"));
             shoot(screenshotNames().at(3));
         }},
        {11600, QStringLiteral("you lift mute-all; people unmute themselves"),
         [this] {
             meeting() ? meeting()->setMuteAll(false, true, 0) : void();
         }},
        {12800, QStringLiteral("Tomas shares his screen and presents"),
         [this] {
             if (room()) {
                 room()->startScreenShare(kTomas);
                 room()->giveFloor(kTomas, 3200);
             }
         }},
        {14600, QStringLiteral("the screen share is on"),
         [this] {
             expect(meeting() && meeting()->activeAttendeeList()->getFirstAttendeeIndex(
                                     MeetingDefines::SHARESCREEN) >= 0,
                    QStringLiteral("a screen share tile is shown"));
             shoot(screenshotNames().at(4));
         }},
        {15000, QStringLiteral("Tomas stops sharing; Ines opens a whiteboard and sketches"),
         [this] {
             if (room()) {
                 room()->stopShare(kTomas);
                 room()->openWhiteboard(kInes);
                 room()->giveFloor(kInes, 4000);
             }
         }},
        {18900, QStringLiteral("the sketch takes shape"),
         [this] {
             expect(meeting() && meeting()->attendeeList()->getAttendeeInfoByUid(
                                     kInes, MeetingDefines::WHITEBOARD) != nullptr,
                    QStringLiteral("a whiteboard tile is shown"));
             shoot(screenshotNames().at(5));
         }},
        {19200, QStringLiteral("Elif asks to join through the team's meeting link"),
         [this] {
             tab(QStringLiteral("waiting"));
             m_server->applyByLink(kElif, m_server->ownLinkId(QStringLiteral("grp-design")));
         }},
        {20200, QStringLiteral("Elif waits to be let in"),
         [this] {
             expect(meeting() && meeting()->pendingAttendeeList()->count() == 1,
                    QStringLiteral("one person waits to be let in"));
             shoot(screenshotNames().at(6));
         }},
        {20600, QStringLiteral("you let Elif in"),
         [this] {
             m_client->admit(kElif);
             tab(QStringLiteral("people"));
         }},
        {23200, QStringLiteral("Elif is in the meeting"),
         [this, user] {
             expect(user(kElif) && user(kElif)->state() == 1,
                    QStringLiteral("Elif joined after being let in"));
             shoot(screenshotNames().at(7));
         }},
        {23600, QStringLiteral("you leave the meeting"),
         [this] {
             m_client->leave(false);
         }},
        {24800, QStringLiteral("you are out; the others carry on"),
         [this] {
             expect(meeting() && meeting()->state() == 0, QStringLiteral("you left the call"));
             tab(QStringLiteral("timeline"));
             shoot(screenshotNames().at(8));
         }},
        {25200, QStringLiteral("you rate the meeting"),
         [this] {
             m_client->rate(5);
         }},
        {25800, QStringLiteral("done"),
         [] {
         }},
    };
}
