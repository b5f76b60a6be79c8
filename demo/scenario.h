#pragma once
#include "screenshotcheck.h"
#include <QDeadlineTimer>
#include <QDir>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

class Cast;
class DemoClient;
class MediaRoom;
class MeetingAttendeeUser;
class MeetingLinkItem;
class MeetingModel;
class People;
class QQuickWindow;
class SimServer;

// The built-in scenarios. "invited": an incoming team meeting from the first ring to the rating
// after leaving. "hosting": a meeting the user starts and runs, a call, and a meeting joined
// through someone's link. Other people act through `People` (the simulated server, or their
// own clients of a meeting server, where "invited" alone is played); the user acts through the
// same client calls the UI makes. Screenshots are taken at the moments worth seeing.
class Scenario : public QObject
{
    Q_OBJECT
public:
    // `server` is null when the people are clients of a meeting server.
    Scenario(const Cast &cast, DemoClient *client, SimServer *server, People *people,
             QQuickWindow *window, QObject *parent = nullptr);

    // Screenshots go to `dir`; without one none are taken.
    void setScreenshotDir(const QString &dir) { m_dir = dir; }
    // Stretches (> 1) or shortens the gaps between steps.
    void setPace(double pace) { m_pace = pace; }
    bool running() const { return m_running; }
    QStringList failures() const { return m_failures; }
    // Empty for a name no scenario has.
    static QStringList names();
    void setName(const QString &name) { m_name = name; }
    // The screenshots a complete run writes, in order.
    static QList<Screenshot> screenshots(const QString &name);

public slots:
    void start();
    void play(const QString &name);

signals:
    void finished();

private:
    struct Step
    {
        int gap; // ms after the previous step, before waiting for `ready`
        QString what;
        std::function<void()> act;
        // What must hold before the step runs; the module answers at its own pace.
        std::function<bool()> ready = {};
        // Lets the picture catch up (frames, animations) between `ready` and `act`.
        int settle = 0;
    };
    QList<Step> invitedSteps();
    QList<Step> hostingSteps();
    void runNext();
    void runWhenReady(const QDeadlineTimer &deadline);
    // A step the people cannot play here: a timeline note instead.
    void skip(const QString &why);
    MeetingModel *meeting() const;
    // The entry of `uid` of that AttendeeType in the open meeting, or null.
    MeetingAttendeeUser *entry(qint64 uid, int type) const;
    MeetingLinkItem *linkWhere(const std::function<bool(MeetingLinkItem *)> &test) const;
    MeetingLinkItem *linkNamed(const QString &name) const;
    void shoot(const QString &name);
    void expect(bool ok, const QString &what);
    void tab(const QString &name);

    const Cast &m_cast;
    DemoClient *m_client;
    SimServer *m_server;
    People *m_people;
    QPointer<QQuickWindow> m_window;
    QString m_dir;
    QString m_name{QStringLiteral("invited")};
    double m_pace = 1.0;
    QList<Step> m_steps;
    int m_next = 0;
    bool m_running = false;
    QStringList m_failures;
};
