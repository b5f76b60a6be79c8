#pragma once
#include <QAudioDevice>
#include <QCameraDevice>
#include <QObject>
#include <memory>

class QAudioSource;
class QCamera;
class QIODevice;
class QMediaCaptureSession;
class QVideoSink;

namespace qtwebrtc::rtc {

class FrameFeed;

// The machine's camera and microphone through QtMultimedia, feeding a publisher. Lives on the
// engine thread, like every QtMultimedia object it owns.
class DeviceCapture : public QObject
{
    Q_OBJECT
public:
    // Which devices a call captures from; a null device means the synthetic source.
    struct Choice
    {
        QCameraDevice camera;
        QAudioDevice microphone;
    };
    // The one place that decides: the device named by id or description, else the system's
    // default, else the synthetic source; MEETING_RTC_CAPTURE=synthetic takes the synthetic
    // sources whatever the machine has. Says in one info line what it chose.
    static Choice choose(const QString &camera, const QString &microphone);

    DeviceCapture(const Choice &choice, std::shared_ptr<FrameFeed> feed, QObject *parent = nullptr);
    ~DeviceCapture() override;

    // A muted camera is switched off, so that its light goes out too.
    void start(bool cameraOn);
    void setCameraOn(bool on);

private:
    void onPcm();

    std::shared_ptr<FrameFeed> m_feed;
    QCamera *m_camera = nullptr;
    QMediaCaptureSession *m_session = nullptr;
    QVideoSink *m_sink = nullptr;
    QAudioSource *m_microphone = nullptr;
    QIODevice *m_pcm = nullptr;
    bool m_refusedFrame = false;
};

} // namespace qtwebrtc::rtc
