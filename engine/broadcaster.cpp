#include "broadcaster.h"
#include "mediachannel.h"
#include <QCoreApplication>
#include <QImage>
#include <QMutexLocker>
#include <QPointer>
#include <QScreen>
#include <QUrl>

namespace qtwebrtc {

namespace {
struct Registry
{
    QMutex lock;
    QList<Broadcaster::Call> calls;
    Broadcaster::Hook hook;
    int maxDecibel = 0;
    int alive = 0;
    bool network = false;
    bool log = true;
    QPointer<Broadcaster> last;
};

Registry &registry()
{
    static Registry r;
    return r;
}

QVariant ptr(const void *p)
{
    return QVariant::fromValue(const_cast<void *>(p));
}
} // namespace

Broadcaster::Broadcaster(qint64 userId, QObject *parent) : QObject(parent), m_userId(userId)
{
    QMutexLocker locker(&registry().lock);
    ++registry().alive;
    registry().last = this;
}

Broadcaster::~Broadcaster()
{
    qDeleteAll(m_held);
    QMutexLocker locker(&registry().lock);
    --registry().alive;
}

bool Broadcaster::observed() const
{
    if (m_channel)
        return true;
    QMutexLocker locker(&registry().lock);
    return registry().log || registry().hook;
}

void Broadcaster::setCallLog(bool on)
{
    QMutexLocker locker(&registry().lock);
    registry().log = on;
}

void Broadcaster::logCall(const char *name, const QVariantList &args)
{
    const Call call{QString::fromLatin1(name), args, QThread::currentThread(), this};
    Hook hook;
    {
        QMutexLocker locker(&registry().lock);
        if (registry().log)
            registry().calls.append(call);
        hook = registry().hook;
    }
    if (hook)
        hook(this, call);
    if (m_channel)
        m_channel->forward(call.name, args);
}

QList<Broadcaster::Call> Broadcaster::calls()
{
    QMutexLocker locker(&registry().lock);
    return registry().calls;
}

QList<Broadcaster::Call> Broadcaster::calls(const QString &name)
{
    QList<Call> out;
    for (const Call &c : calls()) {
        if (c.name == name)
            out.append(c);
    }
    return out;
}

void Broadcaster::clearCalls()
{
    QMutexLocker locker(&registry().lock);
    registry().calls.clear();
}

void Broadcaster::setHook(Hook hook)
{
    QMutexLocker locker(&registry().lock);
    registry().hook = std::move(hook);
}

void Broadcaster::setNetworkEnabled(bool enabled)
{
    QMutexLocker locker(&registry().lock);
    registry().network = enabled;
}

void Broadcaster::setMaxDecibel(int value)
{
    QMutexLocker locker(&registry().lock);
    registry().maxDecibel = value;
}

int Broadcaster::aliveCount()
{
    QMutexLocker locker(&registry().lock);
    return registry().alive;
}

Broadcaster *Broadcaster::last()
{
    QMutexLocker locker(&registry().lock);
    return registry().last.data();
}

void Broadcaster::emitFromOwnThread(std::function<void(Broadcaster *)> fn)
{
    QMetaObject::invokeMethod(
        this, [this, fn] { fn(this); }, Qt::QueuedConnection);
}

void Broadcaster::sync()
{
    if (thread() == QThread::currentThread()) {
        QCoreApplication::sendPostedEvents(this);
        return;
    }
    QMetaObject::invokeMethod(
        this, [] {}, Qt::BlockingQueuedConnection);
}

int Broadcaster::heldMessages() const
{
    QMutexLocker locker(&m_heldLock);
    return m_held.size();
}

void Broadcaster::init()
{
    record("init");
}

void Broadcaster::setEncryptionKey(const QByteArray &key, unsigned short value)
{
    record("setEncryptionKey", key.size(), int(value));
}

void Broadcaster::createCall(const QString &mediaServerUrl, const CallInfo &info)
{
    record("createCall", mediaServerUrl, info.muteVideo, info.muteVoice, info.isMeeting,
           info.typeEnabled, info.isSpeaker, info.limit, info.meetingId);
    bool network = false;
    {
        QMutexLocker locker(&registry().lock);
        network = registry().network;
    }
    const QUrl url(mediaServerUrl);
    const bool socketUrl =
        url.scheme() == QLatin1String("ws") || url.scheme() == QLatin1String("wss");
    if (network && socketUrl && !m_channel)
        m_channel = new MediaChannel(this, url);
}

void Broadcaster::leave(bool dismiss)
{
    record("leave", dismiss);
}
void Broadcaster::closeWebrtc()
{
    record("closeWebrtc");
}
void Broadcaster::kicked(qint64 uid, bool byInviter)
{
    record("kicked", uid, byInviter);
}
void Broadcaster::transfer(qint64 uid)
{
    record("transfer", uid);
}

void Broadcaster::setMute(bool mute, qint64 uid, MuteType type, bool local)
{
    record("setMute", mute, uid, int(type), local);
}

void Broadcaster::setMuteAll(bool mute, bool themselvesOperation, MuteType type)
{
    record("setMuteAll", mute, themselvesOperation, int(type));
}

void Broadcaster::setAllowUnmute(bool allowUnmute, MuteType type)
{
    record("setAllowUnmute", allowUnmute, int(type));
}

void Broadcaster::setRequestOpenDev(MuteType type)
{
    record("setRequestOpenDev", int(type));
}

int Broadcaster::setVolume(qint64 uid, double volume)
{
    record("setVolume", uid, volume);
    return 0;
}

void Broadcaster::setConsumerlayers(LayersLevel spatial, LayersLevel temporal, qint64 uid)
{
    record("setConsumerlayers", int(spatial), int(temporal), uid);
}

void Broadcaster::setMirror(bool mirror)
{
    record("setMirror", mirror);
}

void Broadcaster::setSoundEffectType(SoundEffectType type)
{
    record("setSoundEffectType", int(type));
}

void Broadcaster::setProxy(const QString &proxy)
{
    record("setProxy", proxy);
}

int Broadcaster::setAudioRecordingDevice(QString device)
{
    record("setAudioRecordingDevice", device);
    return 0;
}

int Broadcaster::setAudioPlayoutDevice(QString device)
{
    record("setAudioPlayoutDevice", device);
    return 0;
}

int Broadcaster::setVideoRecordingDevice(QString device)
{
    record("setVideoRecordingDevice", device);
    return 0;
}

int Broadcaster::getMaxDecibel()
{
    record("getMaxDecibel");
    QMutexLocker locker(&registry().lock);
    return registry().maxDecibel;
}

void Broadcaster::raiseHand(bool cancel)
{
    record("raiseHand", cancel);
}
void Broadcaster::inviteSpeak(qint64 uid, bool cancel)
{
    record("inviteSpeak", uid, cancel);
}
void Broadcaster::agreeSpeak(qint64 uid, bool all)
{
    record("agreeSpeak", uid, all);
}
void Broadcaster::rejectSpeak(qint64 uid)
{
    record("rejectSpeak", uid);
}
void Broadcaster::beListener(qint64 uid)
{
    record("beListener", uid);
}

void Broadcaster::createShare(ShareType type, QScreen *screen, const QRect &rect, int frameRate)
{
    record("createShare", int(type), ptr(screen), rect, frameRate);
}

void Broadcaster::createComputerAudio()
{
    record("createComputerAudio");
}
void Broadcaster::closeShare(const QString &shareId)
{
    record("closeShare", shareId);
}

void Broadcaster::setAllowDraw(const QString &shareId, bool allow)
{
    record("setAllowDraw", shareId, allow);
}

void Broadcaster::setSharePremission(const QString &whoCanShare, bool disableSpeaker)
{
    record("setSharePremission", whoCanShare, disableSpeaker);
}

void Broadcaster::sendData(im::whiteboard::TransferData *data)
{
    QByteArray bytes;
    if (data) {
        if (observed()) {
            bytes.resize(int(data->ByteSizeLong()));
            data->SerializeToArray(bytes.data(), int(bytes.size()));
        }
        QMutexLocker locker(&m_heldLock);
        m_held.append(data);
    }
    record("sendData", bytes);
}

void Broadcaster::setWhiteboard(QImage *whiteboard)
{
    record("setWhiteboard", ptr(whiteboard));
}

} // namespace qtwebrtc
