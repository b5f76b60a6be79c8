#pragma once
#include "meeting_global.h"
#include <QObject>
#include <QPoint>
#include <QQuickItem>

namespace Whiteboard {

/// The data of the last wheel event, for QML to read inside the `wheel` handler.
class MEETING_EXPORT CustomWheelEvent : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Qt::KeyboardModifiers modifiers READ modifiers CONSTANT)
    Q_PROPERTY(Qt::MouseEventSource source READ source CONSTANT)
    Q_PROPERTY(QPoint angleDelta READ angleDelta CONSTANT)
public:
    explicit CustomWheelEvent(QObject *parent = nullptr);
    Qt::KeyboardModifiers modifiers() const { return m_modifiers; }
    Qt::MouseEventSource source() const { return m_source; }
    QPoint angleDelta() const { return m_angleDelta; }
    void set(Qt::KeyboardModifiers modifiers, Qt::MouseEventSource source, QPoint angleDelta);

private:
    Qt::KeyboardModifiers m_modifiers{};
    Qt::MouseEventSource m_source{};
    QPoint m_angleDelta;
};

/// A transparent item that reports presses and wheel turns and lets them pass through.
class MEETING_EXPORT EventDispatcher : public QQuickItem
{
    Q_OBJECT
public:
    explicit EventDispatcher(QQuickItem *parent = nullptr);

signals:
    void wheel(Whiteboard::CustomWheelEvent *wheelEvent);
    void mouseEventTrigger();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    CustomWheelEvent m_wheelEvent;
};

} // namespace Whiteboard
