#pragma once
#include "framestats.h"
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <accountbase.h>
#include <meetingmodel.h>
#include <memory>
#include <optional>

class MeetingManager;
class QQmlApplicationEngine;

// One participant of the live demo: a signed-in account of the reference host, the meeting
// module driving the WebRTC engine, and a window of attendee tiles. It joins, stays in the call
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
        QList<qint64> users; // everyone in the meeting, this client included
        QString mediaUrl;
        int seconds = 10;
        QString outDir;
    };

    explicit LiveClient(const Options &options, QObject *parent = nullptr);
    ~LiveClient() override;

    MeetingModel *call() const { return m_call; }
    FrameStats *stats() const { return m_stats; }

    // Opens the window and joins; the application exits with 0 once the files are written,
    // with 1 when the call never connected.
    bool start();

signals:
    void callChanged();

private:
    std::optional<AccountBase::Answer> answerJoin(const QByteArray &payload) const;
    void loadMeeting();
    void onHostCall(const QString &name, const QVariantList &args);
    void onCallState(int state);
    bool writeResults();
    void finish(int status);
    void signOut();

    const Options m_options;
    AccountBase m_account;
    MeetingManager *m_manager = nullptr;
    QPointer<MeetingModel> m_call;
    FrameStats *m_stats;
    std::unique_ptr<QQmlApplicationEngine> m_qml;
    bool m_finishing = false;
    int m_status = 0; // the exit status once the leave is confirmed
};
