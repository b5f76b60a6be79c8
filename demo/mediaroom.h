#pragma once
#include "broadcaster.h"
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRandomGenerator>
#include <QSet>
#include <QTimer>
#include <functional>

class Cast;
class SimServer;

// The media server's view of one meeting: who is connected, their mute states, roles, shares
// and whiteboards. It answers the calls of the engine of this account (posted to it by the
// EngineRouter) the way a media server would, and emits the engine's signals from the engine's
// own thread: joins and leaves, decibel reports, synthetic camera and screen frames, whiteboard
// strokes, and the echo of every host action.
class MediaRoom : public QObject
{
    Q_OBJECT
public:
    enum class State { Calling, Active, Gone };
    struct Member
    {
        qint64 id = 0;
        qint64 inviter = 0;
        State state = State::Calling;
        bool listener = false;
        bool raiseHand = false;
        bool invitingSpeak = false;
        int muteAudio = 0;
        int muteVideo = 1;
        int score = 5;
        // What the person would do with their devices when free to.
        bool wantsMic = true;
        bool wantsCamera = true;
        QString shareId;
        bool shareIsWhiteboard = false;
        bool otherMark = false;
        int muteShare = 0;
    };

    MediaRoom(const QString &meetingId, qint64 hostId, bool privateCall, bool speakingPrivileges,
              const Cast &cast, SimServer *server);
    ~MediaRoom() override;

    QString meetingId() const { return m_meetingId; }
    qint64 hostId() const { return m_hostId; }
    const Member *member(qint64 uid) const;
    QList<qint64> connected() const;
    bool selfConnected() const;
    QByteArray roomInfo() const;

    // The engine of this account.
    void attach(qtwebrtc::Broadcaster *engine);
    qtwebrtc::Broadcaster *engine() const { return m_engine.data(); }
    void engineCall(const QString &name, const QVariantList &args);

    // Simulated people. `answerAfterMs` < 0 leaves the answer to the caller.
    void addMember(qint64 uid, qint64 inviter, bool connected);
    void call(qint64 uid, qint64 inviter, int answerAfterMs);
    void join(qint64 uid);
    void decline(qint64 uid);
    void leave(qint64 uid);
    void setCamera(qint64 uid, bool on);
    void setMic(qint64 uid, bool on);
    void raiseHand(qint64 uid, bool up);
    void startScreenShare(qint64 uid);
    void openWhiteboard(qint64 uid);
    void stopShare(qint64 uid);
    void transferHost(qint64 to);
    void askToUnmute(qint64 uid);
    // Lets only `uid` talk for `ms` (0 ends it early); the rotation resumes afterwards.
    void giveFloor(qint64 uid, int ms);
    // Simulated people answer invitations, unmute and take turns on their own.
    void setAutopilot(bool on) { m_autopilot = on; }

private:
    Member *find(qint64 uid);
    qint64 selfId() const;
    bool isHost(qint64 uid) const { return uid == m_hostId; }
    void emitEngine(std::function<void(qtwebrtc::Broadcaster *)> fn);
    void later(int ms, std::function<void()> fn);
    void setStatus(qint64 uid, int serverStatus);
    void log(const QString &line);
    void ownJoined();
    void ownLeft(bool dismissed);
    void refuse(int error, const QString &text);

    // Engine calls.
    void onSetMute(bool mute, qint64 uid, int type, bool local);
    void onSetMuteAll(bool mute, bool themselves, int type);
    void onCreateShare(int type);
    void onSendData(const QByteArray &bytes);
    void onRoleAction(const QString &name, const QVariantList &args);

    // Ambient life.
    void tickAudio();
    void tickVideo();
    void tickScreens();
    void tickBoards();
    void rotateTalker();
    void jitterScores();
    QByteArray strokeMessage(const QString &shareId, const QList<QByteArray> &items) const;

    QString m_meetingId;
    qint64 m_hostId;
    bool m_private;
    bool m_speakingPrivileges;
    const Cast &m_cast;
    SimServer *m_server;
    QList<Member> m_members;
    QPointer<qtwebrtc::Broadcaster> m_engine;
    bool m_muteAll[2] = {false, false};
    bool m_themselves[2] = {true, true};
    QString m_whoCanShare{QStringLiteral("all")};
    bool m_autopilot = true;
    int m_nextShare = 1;
    qint64 m_talker = 0;
    qint64 m_floor = 0;
    QElapsedTimer m_clock;
    QRandomGenerator m_rng;
    QTimer m_audioTimer;
    QTimer m_videoTimer;
    QTimer m_screenTimer;
    QTimer m_boardTimer;
    QTimer m_rotationTimer;
    QTimer m_scoreTimer;
    QTimer m_floorTimer;
    struct Board
    {
        qint64 owner = 0;
        QList<QByteArray> items; // serialised WhiteboardItems, in drawing order
        int planned = 0;         // strokes of the owner's sketch drawn so far
    };
    QHash<QString, Board> m_boards;
    // Members whose audio was reported last tick; a muted one gets one silent report.
    QSet<qint64> m_audible;
};
