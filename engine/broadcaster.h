#pragma once
#include "whiteboard.pb.h"
#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QRect>
#include <QString>
#include <QThread>
#include <QVariantList>
#include <QVideoFrame>
#include <QVideoFrameFormat>
#include <functional>

class QImage;
class QScreen;

#if defined(QTWEBRTC_LIBRARY)
#define QTWEBRTC_EXPORT Q_DECL_EXPORT
#else
#define QTWEBRTC_EXPORT Q_DECL_IMPORT
#endif

// Stand-in for the media engine. It does no media work: it records every call made to it
// (name, arguments, the thread it ran on) and lets tests and the demo emit its signals.
namespace qtwebrtc {
Q_NAMESPACE_EXPORT(QTWEBRTC_EXPORT)

enum CallState { CALL_ENDED = 0, CALL_CONNECTED = 1, CALL_CONNECTING = 2 };
Q_ENUM_NS(CallState)
enum ConsumerType {
    CONSUMER_AUDIO = 0,
    CONSUMER_WHITEBOARD = 1,
    CONSUMER_VIDEO = 2,
    CONSUMER_SHARE_AUDIO = 3,
    CONSUMER_SCREEN = 4
};
Q_ENUM_NS(ConsumerType)
// The module passes values of these four on unchanged, also ones not declared here, so they
// are fixed to int: every int is a value of theirs.
enum MuteType : int {
    MUTE_AUDIO = 0,
    MUTE_VIDEO = 1,
    MUTE_WHITEBOARD = 2,
    MUTE_SCREEN = 3,
    MUTE_SHARE_AUDIO = 4
};
Q_ENUM_NS(MuteType)
enum ShareType : int { SHARE_NONE = 0, SHARE_WHITEBOARD = 1, SHARE_PICTURE = 2 };
Q_ENUM_NS(ShareType)
enum LayersLevel : int { LAYER_LOW = 0, LAYER_MEDIUM = 1, LAYER_HIGH = 2 };
Q_ENUM_NS(LayersLevel)
enum SoundEffectType : int { SOUND_NONE = 0, SOUND_DENOISE = 1, SOUND_ECHO = 2 };
Q_ENUM_NS(SoundEffectType)
enum Error {
    ERR_NONE = 0,
    ERR_MUTE = 8,
    ERR_KICK = 9,
    ERR_TOKEN_INVALID = 11,
    ERR_TOKEN_EXPIRED = 12,
    ERR_TOKEN_MISSING = 13,
    ERR_TRANSFER = 16,
    ERR_SOCKET = 17,
    ERR_REMOVED = 19,
    ERR_SHARE = 20,
    ERR_SHARE_PERMISSION = 21,
    ERR_PERMISSION_DENIED = 29,
    ERR_UNKNOWN = 30
};
Q_ENUM_NS(Error)

struct QTWEBRTC_EXPORT CallInfo
{
    bool muteVideo = true;
    bool muteVoice = false;
    bool isMeeting = true;
    bool typeEnabled = false;
    bool isSpeaker = true;
    int limit = 16;
    QString meetingId;
};

// The fixed 16-bit value that travels with the encryption key.
constexpr unsigned short kEncryptionKeyValue = 0x4D31;

class MediaChannel;

class QTWEBRTC_EXPORT Broadcaster : public QObject
{
    Q_OBJECT
public:
    struct Call
    {
        QString name;
        QVariantList args;
        QThread *thread = nullptr;
        Broadcaster *engine = nullptr;
    };
    using Hook = std::function<void(Broadcaster *engine, const Call &call)>;

    Broadcaster(qint64 userId, QObject *parent = nullptr);
    ~Broadcaster() override;

    qint64 userId() const { return m_userId; }

    void init();
    void setEncryptionKey(const QByteArray &key, unsigned short value);
    void createCall(const QString &mediaServerUrl, const qtwebrtc::CallInfo &info);
    void leave(bool dismiss);
    void closeWebrtc();
    void kicked(qint64 uid, bool byInviter);
    void transfer(qint64 uid);

    void setMute(bool mute, qint64 uid, qtwebrtc::MuteType type, bool local);
    void setMuteAll(bool mute, bool themselvesOperation, qtwebrtc::MuteType type);
    void setAllowUnmute(bool allowUnmute, qtwebrtc::MuteType type);
    void setRequestOpenDev(qtwebrtc::MuteType type);
    int setVolume(qint64 uid, double volume);
    void setConsumerlayers(qtwebrtc::LayersLevel spatial, qtwebrtc::LayersLevel temporal,
                           qint64 uid);
    void setMirror(bool mirror);
    void setSoundEffectType(qtwebrtc::SoundEffectType type);
    void setProxy(const QString &proxy);
    Q_INVOKABLE int setAudioRecordingDevice(QString device);
    Q_INVOKABLE int setAudioPlayoutDevice(QString device);
    Q_INVOKABLE int setVideoRecordingDevice(QString device);
    Q_INVOKABLE int getMaxDecibel();

    void raiseHand(bool cancel);
    void inviteSpeak(qint64 uid, bool cancel);
    void agreeSpeak(qint64 uid, bool all);
    void rejectSpeak(qint64 uid);
    void beListener(qint64 uid);

    void createShare(qtwebrtc::ShareType type, QScreen *screen, const QRect &rect, int frameRate);
    void createComputerAudio();
    void closeShare(const QString &shareId);
    void setAllowDraw(const QString &shareId, bool allow);
    void setSharePremission(const QString &whoCanShare, bool disableSpeaker);
    // Takes ownership of `data`.
    void sendData(im::whiteboard::TransferData *data);
    void setWhiteboard(QImage *whiteboard);

    // For tests and the demo. The log is shared by every engine in the process.
    static QList<Call> calls();
    static QList<Call> calls(const QString &name);
    static void clearCalls();
    // On by default; the fuzzers, which make millions of calls and read none, turn it off.
    static void setCallLog(bool on);
    static void setHook(Hook hook);
    // With this on, createCall with a ws: or wss: URL connects to that media server's control
    // channel and the server's reports become this engine's signals.
    static void setNetworkEnabled(bool enabled);
    // The answer getMaxDecibel gives.
    static void setMaxDecibel(int value);
    // Engines alive now, and the last one constructed (null once it is gone).
    static int aliveCount();
    static Broadcaster *last();
    // Runs `fn` on the engine's own thread (queued); the way to emit its signals as it would.
    void emitFromOwnThread(std::function<void(Broadcaster *)> fn);
    // Blocks until the engine's thread has run everything posted to it so far.
    void sync();
    // Sent messages the engine still owns; it deletes them when it goes.
    int heldMessages() const;

signals:
    void sigNotifyJoin(qint64 uid, qint64 host, QByteArray roomInfo);
    void sigNotifyMute(qint64 operatorId, qint64 uid, int status, qtwebrtc::MuteType type);
    void sigNotifyLeave(qint64 uid);
    void sigNotifyScore(qint64 uid, int score);
    void sigNotifyInvite(qint64 uid, qint64 inviter);
    void sigNotifyKicked(qint64 operatorId, qint64 uid);
    void sigNotifyReject(qint64 uid);
    void sigNotifyDismiss(qint64 uid);
    void sigNotifyMuteAll(bool status, qtwebrtc::MuteType type);
    void sigNotifyTimeout(qint64 uid);
    void sigNotifyTransfer(qint64 operatorId, qint64 uid);
    void sigNotifyReconnect(qint64 uid, qint64 host, QByteArray roomInfo);
    void sigNotifyStateChange(qtwebrtc::CallState state);
    void sigNotifyDecibel(qint64 uid, qtwebrtc::ConsumerType consumerType, double averageDecibel,
                          double peakDecibel, QList<QVariant> decibels);
    void sigNotifyNewConsumer(qint64 uid, qtwebrtc::MuteType type);
    void sigNotifyReady(qint64 uid, QByteArray roomInfo);
    void sigNotifyError(qtwebrtc::Error error, QString errStr);
    void sigNotifyRestartIce();
    void sigNotifyAllowUnmute(bool allowUnmute, qtwebrtc::MuteType type);
    void sigNotifyCreateShare(qint64 operatorId, QString id, qtwebrtc::ShareType type);
    void sigNotifyCloseShare(qint64 operatorId, QString shareId);
    void sigNotifySetAllowDraw(qint64 operatorId, QString shareId, bool allow);
    void sigNotifySharePremission(QString whoCanShare, bool disableSpeaker, QByteArray roomInfo);
    void sigNotifyRequestEnable(qtwebrtc::MuteType type);
    void sigNotifyData(im::whiteboard::TransferData *data);
    void sigVideoFrame(qint64 uid, qtwebrtc::ConsumerType consumerType, int orientation,
                       QVideoFrameFormat format, QVideoFrame frame);
    void sigNotifyRaiseHand(qint64 uid, bool cancel);
    void sigNotifyInviteSpeak(qint64 operatorId, qint64 uid, bool cancel);
    void sigNotifyAgreeSpeak(qint64 operatorId, qint64 uid, bool all);
    void sigNotifyRejectSpeak(qint64 uid);
    void sigNotifyRoleChange(qint64 uid, QString role, QByteArray roomInfo);
    void sigWriteLog(QString log, QString url);
    void sigUseBytes(qint64 bytes, bool bSent);
    void sigRinging(QString ringing);

private:
    // Builds nothing unless someone listens: a test's log or hook, or a control channel.
    template <typename... Args> void record(const char *name, const Args &...args)
    {
        if (observed())
            logCall(name, QVariantList{args...});
    }
    bool observed() const;
    void logCall(const char *name, const QVariantList &args);

    qint64 m_userId;
    MediaChannel *m_channel = nullptr;
    mutable QMutex m_heldLock;
    QList<im::whiteboard::TransferData *> m_held;
};

} // namespace qtwebrtc

Q_DECLARE_METATYPE(qtwebrtc::CallInfo)
