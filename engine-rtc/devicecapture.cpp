#include "devicecapture.h"
#include "framefeed.h"
#include "rtclog.h"
#include <QAudioSource>
#include <QCamera>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QVideoSink>

namespace qtwebrtc::rtc {

namespace {
template <typename Device>
Device pick(const QList<Device> &all, const QString &wanted, const Device &fallback)
{
    if (all.isEmpty())
        return {};
    for (const Device &d : all) {
        if (!wanted.isEmpty() && (QString::fromUtf8(d.id()) == wanted || d.description() == wanted))
            return d;
    }
    if (!wanted.isEmpty())
        qCWarning(lcRtc) << "no capture device" << wanted << "here; taking the default one";
    return fallback.isNull() ? all.first() : fallback;
}

template <typename Device> QString nameOf(const Device &d, const char *synthetic)
{
    return d.isNull() ? QString::fromLatin1(synthetic) : d.description();
}
} // namespace

DeviceCapture::Choice DeviceCapture::choose(const QString &camera, const QString &microphone)
{
    Choice c;
    if (qEnvironmentVariable("MEETING_RTC_CAPTURE") != QStringLiteral("synthetic")) {
        c.camera = pick(QMediaDevices::videoInputs(), camera, QMediaDevices::defaultVideoInput());
        c.microphone =
            pick(QMediaDevices::audioInputs(), microphone, QMediaDevices::defaultAudioInput());
    }
    qCInfo(lcRtc).noquote() << "capture: camera" << nameOf(c.camera, "synthetic") << "| microphone"
                            << nameOf(c.microphone, "synthetic");
    return c;
}

DeviceCapture::DeviceCapture(const Choice &choice, std::shared_ptr<FrameFeed> feed, QObject *parent)
    : QObject(parent), m_feed(std::move(feed))
{
    if (!choice.camera.isNull()) {
        m_camera = new QCamera(choice.camera, this);
        m_sink = new QVideoSink(this);
        m_session = new QMediaCaptureSession(this);
        m_session->setCamera(m_camera);
        m_session->setVideoSink(m_sink);
        connect(m_sink, &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame &f) {
            if (!m_feed->pushVideo(f) && !std::exchange(m_refusedFrame, true))
                qCWarning(lcRtc) << "camera pictures in" << f.pixelFormat() << "are not sent";
        });
        connect(m_camera, &QCamera::errorOccurred, this,
                [](QCamera::Error, const QString &why) { qCWarning(lcRtc) << "camera:" << why; });
    }
    if (!choice.microphone.isNull()) {
        QAudioFormat format;
        format.setSampleRate(48000);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!choice.microphone.isFormatSupported(format))
            format = choice.microphone.preferredFormat();
        m_microphone = new QAudioSource(choice.microphone, format, this);
    }
}

DeviceCapture::~DeviceCapture()
{
    if (m_microphone)
        m_microphone->stop();
    if (m_camera)
        m_camera->stop();
}

void DeviceCapture::start(bool cameraOn)
{
    setCameraOn(cameraOn);
    if (m_microphone && !m_pcm) {
        m_pcm = m_microphone->start();
        if (m_pcm)
            connect(m_pcm, &QIODevice::readyRead, this, &DeviceCapture::onPcm);
        else
            qCWarning(lcRtc) << "the microphone does not open:" << m_microphone->error();
    }
}

void DeviceCapture::setCameraOn(bool on)
{
    if (m_camera)
        m_camera->setActive(on);
}

void DeviceCapture::onPcm()
{
    m_feed->pushAudio(m_pcm->readAll(), m_microphone->format());
}

} // namespace qtwebrtc::rtc
