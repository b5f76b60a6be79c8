#pragma once
// Not installed: the state of a MeetingModel, for the module and its tests only.
#include "meetingmodel.h"
#include <QFile>
#include <QHash>
#include <QMap>
#include <QMutex>
#include <QThread>
#include <memory>

namespace qtwebrtc {
class Broadcaster;
}
struct RoomAttendee;
struct RoomInfo;

struct MeetingModelPrivate
{
    explicit MeetingModelPrivate(MeetingModel *model) : q(model) {}
    static MeetingModelPrivate *get(MeetingModel *model) { return model->d.get(); }
    static const MeetingModelPrivate *get(const MeetingModel *model) { return model->d.get(); }

    // Engine and call state.
    void startEngine();
    void connectEngine();
    void stopEngineThread();
    void watchEngineThread();
    bool engineThreadRunning() const { return m_engineThread && m_engineThread->isRunning(); }
    bool logOpen() const { return m_logFile && m_logFile->isOpen(); }
    // Runs `call(engine)` on the engine's thread, unless the engine is gone or going. A template,
    // so that a call costs one allocation for the queue and none for a wrapper.
    template <typename Call> void post(Call call)
    {
        if (!m_broadcaster || !m_engineGate)
            return;
        qtwebrtc::Broadcaster *engine = m_broadcaster;
        QMutexLocker lock(&m_engineGate->mutex);
        if (!m_engineGate->open)
            return;
        QMetaObject::invokeMethod(
            engineObject(), [engine, call = std::move(call)]() mutable { call(engine); },
            Qt::AutoConnection);
    }
    QObject *engineObject() const;
    void removeSelf(bool removeEntry);
    void refreshDerivedLists();
    void refreshFromAttendees(MeetingAttendeeList *target, bool active);
    void startMeetingTimer();
    void killMeetingTimer();
    void setWhoSpeaks();

    // Room information.
    void parseRoomInfo(const QByteArray &roomInfo);
    void applyRoomInfo(const RoomInfo &room);
    void getAttendeeInfo(qint64 uid, const QByteArray &roomInfo, int &muteAudio, int &muteVideo,
                         int &status, int &participationStatus);
    void getAttendeeInfo(qint64 uid, const RoomInfo &room, int &muteAudio, int &muteVideo,
                         int &status, int &participationStatus);
    void applyShareFromRoom(const RoomAttendee &entry);
    void applyRoomSettings(const RoomInfo &room);
    void applyOwnEntry(const RoomAttendee &entry, int otherPartyStatus);
    void applyOtherEntry(const RoomAttendee &entry);
    MeetingAttendee recordFromRoom(const RoomAttendee &entry, int deviceId) const;

    MeetingModel *const q;
    MeetingInfo m_info;
    qtwebrtc::Broadcaster *m_broadcaster = nullptr;
    // Open while the engine can take calls; shut from the engine thread as it finishes.
    struct EngineGate
    {
        QMutex mutex;
        bool open = true;
    };
    std::shared_ptr<EngineGate> m_engineGate;
    bool m_warnedNoEngine = false;
    QString m_meetingTime{QStringLiteral("00:00:00")};
    int m_meetingTimerId = 0;
    int m_elapsedSeconds = 0;
    qint64 m_hostUid = 0;
    qint64 m_userId = 0;
    bool m_canUnmuteAudio = true;
    bool m_isHost = false;
    bool m_webSocketConnected = false;
    // Speaking list: name -> arrival order, so a decibel report costs one hash operation.
    QHash<QString, quint64> m_speakingList;
    quint64 m_speakingSeq = 0;
    QList<QString> m_whoRSpeaking;
    bool m_muteAllAudio = false;
    AccountBase *m_account = nullptr;
    int m_state = MeetingDefines::NOTCREATE;
    int m_ringingStatus = MeetingDefines::CALLING;
    MeetingAttendeeList *m_searchModel = nullptr;
    MeetingAttendeeList *m_activeAttendeeList = nullptr;
    MeetingAttendeeList *m_attendeeList = nullptr;
    MeetingAttendeeList *m_pendingAttendeeList = nullptr;
    MeetingAttendeeList *m_callingAttendeeList = nullptr;
    QList<MeetingAttendee> m_refreshRows;
    QByteArray m_verifyKey;
    bool m_canUnmuteVideo = true;
    bool m_muteAllVideo = false;
    bool m_mirror = true;
    bool m_canMultiShare = false;
    bool m_shareDesktopVoice = false;
    bool m_isShared = false;
    bool m_canSpeakingPrivileges = false;
    bool m_localConstructs = false;
    bool m_ringingPending = false;
    bool m_ringing = false;
    qint16 m_whiteboardReplyCount = 0;
    QString m_whiteboardShareId;
    QList<QString> m_whiteboardShareIds;
    // Whiteboards seen in room information before the own entry, by owner id.
    QMap<qint64, QString> m_heldWhiteboards;
    im::whiteboard::TransferData *m_keptUserJoin = nullptr;
    // Made with the first engine: most models, a conversation's past meetings, never start one.
    std::unique_ptr<QThread> m_engineThread;
    QString m_logUrl;
    std::unique_ptr<QFile> m_logFile;
    bool m_logFailureReported = false;
    bool m_logFull = false;
};
