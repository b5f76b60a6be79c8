#pragma once
#include <QMutex>
#include <QObject>
#include <functional>

namespace qtwebrtc::rtc {

// How GStreamer's threads reach the engine thread: each post becomes a queued call on the
// target's thread, and nothing is posted once the target has closed its mailbox, so a late
// callback can never touch an object that is being destroyed.
class Mailbox
{
public:
    explicit Mailbox(QObject *target) : m_target(target) {}

    void post(std::function<void()> fn)
    {
        QMutexLocker locker(&m_lock);
        if (m_target)
            QMetaObject::invokeMethod(m_target, std::move(fn), Qt::QueuedConnection);
    }
    void close()
    {
        QMutexLocker locker(&m_lock);
        m_target = nullptr;
    }

private:
    QMutex m_lock;
    QObject *m_target;
};

} // namespace qtwebrtc::rtc
