#pragma once
#include "framestats.h"
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <meetingmodel.h>
#include <memory>

class ClientSession;
class QQmlApplicationEngine;

// One participant of the live demo: an account signed in to the meeting server, the meeting
// module driving the WebRTC engine, and a window of attendee tiles. The host starts the
// meeting in the shared conversation, the others accept its invitation; each stays in the call
// for the given time, then saves a screenshot and what its tiles displayed, and leaves.
class LiveClient : public QObject
{
    Q_OBJECT
    Q_PROPERTY(MeetingModel *call READ call NOTIFY callChanged)
    Q_PROPERTY(FrameStats *stats READ stats CONSTANT)
public:
    struct Options
    {
        qint64 uid = 0;
        bool host = false;
        QUrl server;
        QByteArray token; // never logged
        QString dialog;
        int seconds = 10;
        QString outDir;
        bool muteHalfway = false; // mutes the microphone halfway through the time in the call
    };

    explicit LiveClient(const Options &options, QObject *parent = nullptr);
    ~LiveClient() override;

    MeetingModel *call() const { return m_call; }
    FrameStats *stats() const { return m_stats; }

    // Opens the window and signs in; the application exits with 0 once the files are written,
    // with 1 when the call never connected.
    bool start();

signals:
    void callChanged();

private:
    void onReport(const QString &line);
    void onMediaStarted(MeetingModel *model);
    void onCallState(int state);
    bool writeResults();
    void finish(int status);

    const Options m_options;
    std::unique_ptr<ClientSession> m_session;
    QPointer<MeetingModel> m_call;
    FrameStats *m_stats;
    std::unique_ptr<QQmlApplicationEngine> m_qml;
    bool m_meetingStarted = false;
    bool m_finishing = false;
    int m_status = 0; // the exit status once the leave is confirmed
};
