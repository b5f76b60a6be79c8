#pragma once
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
class MeetingModel;
class QQuickWindow;
class SimServer;

// The built-in scenario: an incoming team meeting from the first ring to the rating after
// leaving. Other people act through the simulated server and media room; the user acts through
// the same client calls the UI makes. Screenshots are taken at the moments worth seeing.
class Scenario : public QObject
{
    Q_OBJECT
public:
    Scenario(const Cast &cast, DemoClient *client, SimServer *server, QQuickWindow *window,
             QObject *parent = nullptr);

    // Screenshots go to `dir`; without one none are taken.
    void setScreenshotDir(const QString &dir) { m_dir = dir; }
    // Stretches (> 1) or shortens the gaps between steps.
    void setPace(double pace) { m_pace = pace; }
    bool running() const { return m_running; }
    QStringList failures() const { return m_failures; }
    // The screenshots a complete run writes, in order.
    static QStringList screenshotNames();

public slots:
    void start();

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
    QList<Step> steps();
    void runNext();
    void runWhenReady(const QDeadlineTimer &deadline);
    MediaRoom *room() const;
    MeetingModel *meeting() const;
    void shoot(const QString &name);
    void expect(bool ok, const QString &what);
    void tab(const QString &name);

    const Cast &m_cast;
    DemoClient *m_client;
    SimServer *m_server;
    QPointer<QQuickWindow> m_window;
    QString m_dir;
    double m_pace = 1.0;
    QString m_meetingId;
    QList<Step> m_steps;
    int m_next = 0;
    bool m_running = false;
    QStringList m_failures;
};
