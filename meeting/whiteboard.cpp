#include "whiteboard.h"
#include <QMouseEvent>
#include <QWheelEvent>

namespace Whiteboard {

struct CustomWheelEventPrivate
{
    Qt::KeyboardModifiers m_modifiers{};
    Qt::MouseEventSource m_source{};
    QPoint m_angleDelta;
};

struct EventDispatcherPrivate
{
    CustomWheelEvent m_wheelEvent;
};

CustomWheelEvent::CustomWheelEvent(QObject *parent)
    : QObject(parent), d(std::make_unique<CustomWheelEventPrivate>())
{}

CustomWheelEvent::~CustomWheelEvent() = default;

Qt::KeyboardModifiers CustomWheelEvent::modifiers() const
{
    return d->m_modifiers;
}

Qt::MouseEventSource CustomWheelEvent::source() const
{
    return d->m_source;
}

QPoint CustomWheelEvent::angleDelta() const
{
    return d->m_angleDelta;
}

void CustomWheelEvent::set(Qt::KeyboardModifiers modifiers, Qt::MouseEventSource source,
                           QPoint angleDelta)
{
    d->m_modifiers = modifiers;
    d->m_source = source;
    d->m_angleDelta = angleDelta;
}

EventDispatcher::EventDispatcher(QQuickItem *parent)
    : QQuickItem(parent), d(std::make_unique<EventDispatcherPrivate>())
{
    setAcceptTouchEvents(true);
    setAcceptedMouseButtons(Qt::AllButtons);
    setFlag(QQuickItem::ItemAcceptsInputMethod);
}

EventDispatcher::~EventDispatcher() = default;

// Ignored, so the press reaches the item below and this one never grabs the mouse.
void EventDispatcher::mousePressEvent(QMouseEvent *event)
{
    emit mouseEventTrigger();
    event->ignore();
    QQuickItem::mousePressEvent(event);
}

void EventDispatcher::wheelEvent(QWheelEvent *event)
{
    d->m_wheelEvent.set(event->modifiers(), event->source(), event->angleDelta());
    emit wheel(&d->m_wheelEvent);
    event->ignore();
    QQuickItem::wheelEvent(event);
}

} // namespace Whiteboard
