#include "scenario.h"
#include "cast.h"
#include "democlient.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetinglinkitem.h"
#include "meetinglinklist.h"
#include "meetingmodel.h"
#include "people.h"
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

Scenario::Scenario(const Cast &cast, DemoClient *client, SimServer *server, People *people,
                   QQuickWindow *window, QObject *parent)
    : QObject(parent), m_cast(cast), m_client(client), m_server(server), m_people(people),
      m_window(window)
{}

QStringList Scenario::names()
{
    return {QStringLiteral("invited"), QStringLiteral("hosting")};
}

QList<Screenshot> Scenario::screenshots(const QString &name)
{
    if (name == QLatin1String("hosting")) {
        return {{QStringLiteral("h1-hosting.png"), true},
                {QStringLiteral("h2-your-screen.png"), true},
                {QStringLiteral("h3-your-whiteboard.png"), true},
                {QStringLiteral("h4-call.png"), true},
                {QStringLiteral("h5-through-a-link.png"), true}};
    }
    return {{QStringLiteral("01-incoming-call.png"), false},
            {QStringLiteral("02-meeting.png"), true},
            {QStringLiteral("03-raised-hand.png"), true},
            {QStringLiteral("04-mute-all.png"), true},
            {QStringLiteral("05-screen-share.png"), true},
            {QStringLiteral("06-whiteboard.png"), true},
            {QStringLiteral("07-waiting-room.png"), true},
            {QStringLiteral("08-everyone.png"), true},
            {QStringLiteral("09-after-leaving.png"), false}};
}

void Scenario::skip(const QString &why)
{
    m_client->timeline()->add(QStringLiteral("script"), QStringLiteral("skipped: %1").arg(why));
}

MeetingModel *Scenario::meeting() const
{
    return m_client->current();
}

MeetingLinkItem *Scenario::linkWhere(const std::function<bool(MeetingLinkItem *)> &test) const
{
    MeetingLinkList *links = m_client->links();
    for (int row = 0; row < links->rowCount(); ++row) {
        auto *item = links->data(links->index(row), Qt::UserRole + 1).value<MeetingLinkItem *>();
        if (item && test(item))
            return item;
    }
    return nullptr;
}

MeetingLinkItem *Scenario::linkNamed(const QString &name) const
{
    return linkWhere([&name](MeetingLinkItem *item) { return item->name() == name; });
}

MeetingAttendeeUser *Scenario::entry(qint64 uid, int type) const
{
    MeetingModel *m = meeting();
    auto *user = m ? qobject_cast<MeetingAttendeeUser *>(m->attendeeList()->getAttendeeInfoByUid(
                         uid, MeetingDefines::AttendeeType(type)))
                   : nullptr;
    // A person has one share entry, of whichever kind they share.
    return user && user->type() == type ? user : nullptr;
}

void Scenario::start()
{
    if (m_running)
        return;
    m_running = true;
    m_failures.clear();
    m_steps = m_name == QLatin1String("hosting") && m_server ? hostingSteps() : invitedSteps();
    m_next = 0;
    runNext();
}

void Scenario::play(const QString &name)
{
    if (m_running || !names().contains(name))
        return;
    m_name = name;
    start();
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

QList<Scenario::Step> Scenario::invitedSteps()
{
    auto user = [this](qint64 uid, MeetingDefines::AttendeeType type = MeetingDefines::VIDEO) {
        return entry(uid, type);
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
    People *people = m_people;
    const bool heard = people->heard();
    auto speak = [this, people, heard](qint64 uid, int ms) {
        if (heard)
            people->speak(uid, ms);
        else
            skip(QStringLiteral("%1 talks; voices do not reach this client").arg(m_cast.name(uid)));
    };
    auto teamLink = [this] {
        return linkWhere(
            [](MeetingLinkItem *item) { return item->dialogId() == QLatin1String("grp-design"); });
    };
    const qint64 self = m_cast.selfId();
    return {
        {0, QStringLiteral("Mara starts \"Design review\" and calls the design team"),
         [this, people, self] {
             tab(QStringLiteral("people"));
             people->startMeeting(kMara, QStringLiteral("grp-design"),
                                  QStringLiteral("Design review"), {kTomas},
                                  {self, kInes, kJun, kLea, kRavi});
         }},
        {400, QStringLiteral("the call rings"), [this] { shoot(screenshots(m_name).at(0).name); },
         [this] { return m_client->incoming() != nullptr; }, kSettleMs},
        {900, QStringLiteral("you answer with your camera on"),
         [this] {
             m_client->acceptIncoming(true);
         }},
        {0, QStringLiteral("connected; Ines joins while Mara talks"),
         [people, speak] {
             people->join(kInes);
             speak(kMara, 3500);
         },
         connected},
        {600, QStringLiteral("Jun joins"),
         [people] {
             people->join(kJun);
         }},
        {600, QStringLiteral("Lea joins as a listener"),
         [people] {
             people->join(kLea);
         }},
        {600, QStringLiteral("everyone is in; Mara is talking"),
         [this] { shoot(screenshots(m_name).at(1).name); },
         [this, state, heard] {
             return state(kLea) == MeetingDefines::ACTIVE &&
                    (!heard || meeting()->whoRSpeaking().contains(m_cast.name(kMara)));
         },
         kSettleMs},
        {300, QStringLiteral("Mara hands the host role to you"),
         [people, self] {
             people->transferHost(kMara, self);
         }},
        {0, QStringLiteral("Lea raises her hand"), [people] { people->raiseHand(kLea, true); },
         [this, status] {
             return meeting() && meeting()->isHost() && status(kLea) == MeetingDefines::LISTENER;
         }},
        {250, QStringLiteral("the host sees the raised hand"),
         [this] { shoot(screenshots(m_name).at(2).name); },
         [status] { return status(kLea) == MeetingDefines::RAISE_HAND; }, kSettleMs},
        {500, QStringLiteral("you let Lea speak"),
         [this] {
             if (MeetingModel *m = meeting())
                 m->agreeSpeak(kLea, false);
         }},
        {0, QStringLiteral("Lea speaks, camera on"), [speak] { speak(kLea, 2000); },
         [status, user] {
             return status(kLea) == MeetingDefines::SPEAKER && user(kLea)->muteVideo() == 0;
         }},
        {900, QStringLiteral("Ravi declines the call"),
         [people] {
             people->decline(kRavi);
         }},
        {700, QStringLiteral("you mute everyone and keep them muted"),
         [this] {
             if (MeetingModel *m = meeting())
                 m->setMuteAll(true, false, MeetingDefines::MUTE_AUDIO);
         },
         [state] {
             return state(kRavi) == MeetingDefines::REJECTED;
         }},
        {250, QStringLiteral("everyone but you is muted"),
         [this] { shoot(screenshots(m_name).at(3).name); },
         [user] { return user(kTomas) && user(kTomas)->muteVoice() == 3; }, kSettleMs},
        {600, QStringLiteral("you lift mute-all"),
         [this] {
             if (MeetingModel *m = meeting())
                 m->setMuteAll(false, true, MeetingDefines::MUTE_AUDIO);
         }},
        {300, QStringLiteral("people unmute themselves"),
         [people] {
             for (qint64 uid : {kMara, kTomas, kInes, kJun, kLea})
                 people->setMic(uid, true);
         }},
        {300, QStringLiteral("Tomas shares his screen and presents"),
         [people, speak] {
             people->startScreenShare(kTomas);
             speak(kTomas, 3500);
         },
         [user] {
             return user(kTomas) && user(kTomas)->muteVoice() == 0;
         }},
        {1200, QStringLiteral("the screen share is on"),
         [this] { shoot(screenshots(m_name).at(4).name); },
         [user] { return user(kTomas, MeetingDefines::SHARESCREEN) != nullptr; }, kSettleMs},
        {300, QStringLiteral("Tomas stops sharing; Ines opens a whiteboard and sketches"),
         [this, people, speak] {
             people->stopShare(kTomas);
             people->openWhiteboard(kInes);
             speak(kInes, 5000);
             if (!people->draw())
                 skip(QStringLiteral("Ines's sketch; the people's clients do not draw"));
         }},
        {600, QStringLiteral("the whiteboard is open"),
         [this] { shoot(screenshots(m_name).at(5).name); },
         [this, user, people] {
             MeetingAttendeeUser *board = user(kInes, MeetingDefines::WHITEBOARD);
             return board && (!people->draw() ||
                              m_client->whiteboards()->strokes(board->shareId()).size() >= 9);
         },
         kSettleMs},
        {300, QStringLiteral("you keep a meeting link to the team's room"),
         [this, teamLink] {
             if (!teamLink())
                 m_client->links()->createOrUpdateMeetingLink(QString(),
                                                              QStringLiteral("Design team room"));
         }},
        {0, QStringLiteral("Elif asks to join through the team's meeting link"),
         [this, people, teamLink] {
             tab(QStringLiteral("waiting"));
             if (MeetingLinkItem *link = teamLink())
                 people->applyByLink(kElif, {link->id(), link->token(), link->password()});
         },
         [teamLink] {
             return teamLink() != nullptr;
         }},
        {250, QStringLiteral("Elif waits to be let in"),
         [this] { shoot(screenshots(m_name).at(6).name); },
         [this] { return meeting() && meeting()->pendingAttendeeList()->count() == 1; }, kSettleMs},
        {500, QStringLiteral("you let Elif in"),
         [this] {
             m_client->admit(kElif);
             tab(QStringLiteral("people"));
         }},
        {700, QStringLiteral("Elif is in the meeting"),
         [this] { shoot(screenshots(m_name).at(7).name); },
         [state, user] {
             return state(kElif) == MeetingDefines::ACTIVE && user(kElif)->muteVideo() == 0;
         },
         kSettleMs},
        {300, QStringLiteral("you leave the meeting and look back at the timeline"),
         [this] {
             m_client->leave(false);
             tab(QStringLiteral("timeline"));
         }},
        {300, QStringLiteral("you are out; the others carry on"),
         [this] { shoot(screenshots(m_name).at(8).name); },
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

QList<Scenario::Step> Scenario::hostingSteps()
{
    auto user = [this](qint64 uid, MeetingDefines::AttendeeType type = MeetingDefines::VIDEO) {
        return entry(uid, type);
    };
    // Acts on the open meeting, if there still is one.
    auto onMeeting = [this](std::function<void(MeetingModel *)> fn) {
        return [this, fn] {
            if (MeetingModel *m = meeting())
                fn(m);
        };
    };
    auto connected = [this] {
        return meeting() && meeting()->state() == MeetingDefines::CONNECTED;
    };
    // Out of the call, or the call itself is gone (a call ends when one side hangs up).
    auto out = [this] {
        return !meeting() || meeting()->state() == MeetingDefines::NOTCREATE;
    };
    auto shot = [this](int i) {
        return [this, i] {
            shoot(screenshots(m_name).at(i).name);
        };
    };
    const qint64 self = m_cast.selfId();
    // A few pen strokes: a heading underline, a box and an arrow pointing at it.
    const QList<QVariantList> strokes = {{0.1, 0.2, 0.45, 0.2},
                                         {0.55, 0.35, 0.85, 0.35, 0.85, 0.7, 0.55, 0.7, 0.55, 0.35},
                                         {0.2, 0.55, 0.5, 0.52, 0.45, 0.47, 0.5, 0.52, 0.45, 0.57}};
    return {
        {0, QStringLiteral("you start a meeting in the design team"),
         [this] {
             tab(QStringLiteral("people"));
             m_client->startMeeting(QStringLiteral("grp-design"));
         }},
        {0, QStringLiteral("your meeting runs; the team answers the call"), shot(0),
         [this, connected] {
             return connected() && meeting()->activeAttendeeList()->actualCount() >= 7 &&
                    !meeting()->whoRSpeaking().isEmpty();
         },
         kSettleMs},
        {300, QStringLiteral("you invite Lea to speak and make Ines a listener"),
         onMeeting([](MeetingModel *m) {
             m->inviteSpeak(kLea, false);
             m->beListener(kInes);
         })},
        {0, QStringLiteral("you mute Tomas"),
         [user] {
             if (MeetingAttendeeUser *tomas = user(kTomas))
                 tomas->setMuteVoice(1);
         },
         [user] {
             return user(kLea) && user(kLea)->participationStatus() == MeetingDefines::SPEAKER &&
                    user(kInes)->participationStatus() == MeetingDefines::LISTENER;
         }},
        {300, QStringLiteral("you share your screen"), onMeeting([](MeetingModel *m) {
             m->createShare(MeetingDefines::DESKTOP_SHARE, nullptr, QSize(1920, 1080), 15);
         })},
        {0, QStringLiteral("your screen is shared"), shot(1),
         [this, user, self] {
             return meeting() && meeting()->isShared() && user(self, MeetingDefines::SHARESCREEN);
         },
         kSettleMs},
        {300, QStringLiteral("you stop sharing"), onMeeting([user, self](MeetingModel *m) {
             if (MeetingAttendeeUser *share = user(self, MeetingDefines::SHARESCREEN))
                 m->closeShare(share->shareId());
         })},
        {0, QStringLiteral("you open a whiteboard"),
         onMeeting([](MeetingModel *m) { m->createShare(MeetingDefines::WHITEBOARD_SHARE); }),
         [this] {
             return meeting() && !meeting()->isShared();
         }},
        {300, QStringLiteral("you sketch on it"),
         onMeeting([this, user, self, strokes](MeetingModel *m) {
             if (MeetingAttendeeUser *board = user(self, MeetingDefines::WHITEBOARD)) {
                 for (const QVariantList &points : strokes)
                     m_client->whiteboards()->draw(m, board->shareId(), points, QColor(0xdc2626));
             }
         }),
         [user, self] {
             return user(self, MeetingDefines::WHITEBOARD) != nullptr;
         }},
        {300, QStringLiteral("your whiteboard"), shot(2), {}, kSettleMs},
        {300, QStringLiteral("you close the board, remove Jun and hand the host role to Mara"),
         onMeeting([user, self](MeetingModel *m) {
             if (MeetingAttendeeUser *board = user(self, MeetingDefines::WHITEBOARD))
                 m->closeShare(board->shareId());
             m->kicked(kJun);
             m->transfer(kMara);
         })},
        {300, QStringLiteral("Mara runs the meeting; you leave"),
         [this] { m_client->leave(false); },
         [this, user] {
             return meeting() && !meeting()->isHost() && !user(kJun);
         }},
        {300, QStringLiteral("you call Tomas"),
         [this] { m_client->startMeeting(QStringLiteral("dm-tomas")); }, out},
        {0, QStringLiteral("Tomas answers"), shot(3),
         [connected, this, user] {
             return connected() && meeting()->isPrivateCall() && user(kTomas) &&
                    user(kTomas)->state() == MeetingDefines::ACTIVE;
         },
         kSettleMs},
        {1500, QStringLiteral("you hang up"),
         [this] {
             m_client->leave(false);
         }},
        {300, QStringLiteral("Ravi opens his office hours; you open the link he shared"),
         [this] {
             tab(QStringLiteral("links"));
             m_server->startMeeting(kRavi, QStringLiteral("grp-office"),
                                    QStringLiteral("Open office hours"), {kInes}, {});
             m_client->openReceivedLink();
         },
         out},
        {300, QStringLiteral("you ask to be let in"), [this] { m_client->askToJoinByLink(); },
         [this] {
             return m_client->linkOffer() != nullptr;
         }},
        {0, QStringLiteral("Ravi lets you in and the call rings; you answer"),
         [this] {
             tab(QStringLiteral("people"));
             m_client->acceptIncoming(true);
         },
         [this] {
             return m_client->incoming() != nullptr;
         }},
        {0, QStringLiteral("you are in Ravi's office hours"), shot(4),
         [this, connected] {
             return connected() && meeting()->meetingName() == QLatin1String("Open office hours") &&
                    meeting()->activeAttendeeList()->actualCount() >= 3;
         },
         kSettleMs},
        {300, QStringLiteral("you leave"),
         [this] {
             m_client->leave(false);
         }},
        {300, QStringLiteral("you make a meeting link for a new room, rename it, then delete it"),
         [this] {
             tab(QStringLiteral("links"));
             m_client->links()->createOrUpdateMeetingLink(QString(), QStringLiteral("Launch room"));
         },
         out},
        {0, QStringLiteral("you rename the link"),
         [this] {
             MeetingLinkItem *item = linkNamed(QStringLiteral("Launch room"));
             m_client->links()->createOrUpdateMeetingLink(item->id(),
                                                          QStringLiteral("Launch war room"));
         },
         [this] {
             return linkNamed(QStringLiteral("Launch room")) != nullptr;
         }},
        {0, QStringLiteral("you delete the link"),
         [this] {
             m_client->links()->removeMeetingLink(
                 linkNamed(QStringLiteral("Launch war room"))->id());
         },
         [this] {
             return linkNamed(QStringLiteral("Launch war room")) != nullptr;
         }},
        {300, QStringLiteral("Mara calls you; you are busy and decline"),
         [this] { m_client->simulateIncomingCall(QStringLiteral("dm-mara")); },
         [this] {
             return !linkNamed(QStringLiteral("Launch war room"));
         }},
        {0, QStringLiteral("you decline"), [this] { m_client->declineIncoming(); },
         [this] {
             return m_client->incoming() != nullptr;
         }},
        {600, QStringLiteral("done"), [] {}, out},
    };
}
