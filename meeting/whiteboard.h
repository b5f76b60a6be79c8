#pragma once
#include "meeting_global.h"
#include <QObject>
#include <QPoint>
#include <QQuickItem>
#include <memory>

namespace Whiteboard {

struct CustomWheelEventPrivate;
struct EventDispatcherPrivate;

/// The data of the last wheel event, for QML to read inside the `wheel` handler.
class MEETING_EXPORT CustomWheelEvent : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Qt::KeyboardModifiers modifiers READ modifiers CONSTANT)
    Q_PROPERTY(Qt::MouseEventSource source READ source CONSTANT)
    Q_PROPERTY(QPoint angleDelta READ angleDelta CONSTANT)
public:
    explicit CustomWheelEvent(QObject *parent = nullptr);
    ~CustomWheelEvent() override;
    Qt::KeyboardModifiers modifiers() const;
    Qt::MouseEventSource source() const;
    QPoint angleDelta() const;
    void set(Qt::KeyboardModifiers modifiers, Qt::MouseEventSource source, QPoint angleDelta);

private:
    std::unique_ptr<CustomWheelEventPrivate> d;
};

/// A transparent item that reports presses and wheel turns and lets them pass through.
class MEETING_EXPORT EventDispatcher : public QQuickItem
{
    Q_OBJECT
public:
    explicit EventDispatcher(QQuickItem *parent = nullptr);
    ~EventDispatcher() override;

signals:
    void wheel(Whiteboard::CustomWheelEvent *wheelEvent);
    void mouseEventTrigger();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    std::unique_ptr<EventDispatcherPrivate> d;
};

} // namespace Whiteboard
