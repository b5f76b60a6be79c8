#pragma once
#include "meeting_global.h"
#include <QObject>
#include <QPoint>
#include <QQuickItem>
#include <memory>

/// The whiteboard's QML input helpers.
namespace Whiteboard {

struct CustomWheelEventPrivate;
struct EventDispatcherPrivate;

/// The data of the last wheel event, for QML to read inside the `wheel` handler.
///
/// The dispatcher owns one such object and overwrites it with every wheel event, so the values
/// are only valid while `EventDispatcher::wheel` is being handled; keep no reference to it.
class MEETING_EXPORT CustomWheelEvent : public QObject
{
    Q_OBJECT
    /// Keyboard modifiers held during the wheel event (`Qt.ControlModifier` and so on).
    Q_PROPERTY(Qt::KeyboardModifiers modifiers READ modifiers CONSTANT)
    /// Whether the wheel event came from a real wheel or was synthesized (from a touchpad
    /// gesture, for instance).
    Q_PROPERTY(Qt::MouseEventSource source READ source CONSTANT)
    /// The wheel's turn in eighths of a degree as the platform reports it: x horizontal, y
    /// vertical; one notch of a common mouse wheel is 120.
    Q_PROPERTY(QPoint angleDelta READ angleDelta CONSTANT)
public:
    /// Creates an event with no modifiers, source `Qt::MouseEventNotSynthesized` and a null
    /// angle delta.
    explicit CustomWheelEvent(QObject *parent = nullptr);
    ~CustomWheelEvent() override;
    /// Keyboard modifiers held during the last wheel event.
    Qt::KeyboardModifiers modifiers() const;
    /// Whether the last wheel event was synthesized, and by what.
    Qt::MouseEventSource source() const;
    /// The last wheel turn in eighths of a degree (x horizontal, y vertical).
    QPoint angleDelta() const;
    /// Overwrites all three values; the dispatcher calls it before each `wheel` signal. No
    /// change signal: the properties are read during that signal only.
    void set(Qt::KeyboardModifiers modifiers, Qt::MouseEventSource source, QPoint angleDelta);

private:
    std::unique_ptr<CustomWheelEventPrivate> d;
};

/// A transparent item that reports presses and wheel turns and lets them pass through.
///
/// Place it over the whiteboard's drawing area (QML type `EventDispatcher`, creatable, under the
/// import name given to `MeetingManager::registerMetaType`). It never accepts an event: presses
/// and wheel turns still reach the canvas and scroll areas below, and it never grabs the mouse.
/// GUI thread only, like every Qt Quick item.
class MEETING_EXPORT EventDispatcher : public QQuickItem
{
    Q_OBJECT
public:
    /// Creates the item accepting touch events, every mouse button and input method events, so
    /// they are offered to it before they pass on.
    explicit EventDispatcher(QQuickItem *parent = nullptr);
    ~EventDispatcher() override;

signals:
    /// A wheel event reached the item. `wheelEvent` is the dispatcher's own object, overwritten
    /// by the next wheel event: read it inside the handler and do not keep it.
    void wheel(Whiteboard::CustomWheelEvent *wheelEvent);
    /// A mouse button was pressed over the item, once per press; moves and releases emit
    /// nothing.
    void mouseEventTrigger();

protected:
    /// Emits `mouseEventTrigger`, then ignores the press so that the item below receives it.
    void mousePressEvent(QMouseEvent *event) override;
    /// Copies the event into the dispatcher's `CustomWheelEvent`, emits `wheel`, then ignores the
    /// event so that the items below still scroll or zoom.
    void wheelEvent(QWheelEvent *event) override;

private:
    std::unique_ptr<EventDispatcherPrivate> d;
};

} // namespace Whiteboard
