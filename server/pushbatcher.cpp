#include "pushbatcher.h"
#include <QTimer>

PushBatcher::PushBatcher(int windowMs, Send send, QObject *parent)
    : QObject(parent), m_windowMs(windowMs), m_send(std::move(send))
{}

void PushBatcher::push(const QString &key, const QList<qint64> &recipients, im::wire::PushKind kind,
                       const QByteArray &payload)
{
    auto it = key.isEmpty() ? m_windows.end() : m_windows.find(key);
    if (kind != im::wire::MEETING_UPDATED || it == m_windows.end()) {
        // Nothing older may arrive after this push: what waits for the meeting goes first.
        if (it != m_windows.end()) {
            flush(*it);
            m_windows.erase(it);
        }
        m_send(recipients, kind, payload);
        if (kind == im::wire::MEETING_UPDATED && !key.isEmpty())
            open(key);
        return;
    }
    it->payload = payload;
    for (qint64 uid : recipients) {
        if (!it->known.contains(uid)) {
            it->known.insert(uid);
            it->recipients.append(uid);
        }
    }
}

void PushBatcher::open(const QString &key)
{
    m_windows.insert(key, {});
    QTimer::singleShot(m_windowMs, this, [this, key] { close(key); });
}

void PushBatcher::close(const QString &key)
{
    auto it = m_windows.find(key);
    if (it == m_windows.end())
        return;
    if (it->payload.isEmpty()) {
        m_windows.erase(it);
        return;
    }
    // A meeting that keeps changing sends at most one record per window.
    Window w = std::exchange(*it, {});
    QTimer::singleShot(m_windowMs, this, [this, key] { close(key); });
    flush(w);
}

void PushBatcher::flush(Window &w)
{
    if (!w.payload.isEmpty())
        m_send(w.recipients, im::wire::MEETING_UPDATED, w.payload);
    w = {};
}
