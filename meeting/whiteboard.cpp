#include "whiteboard.h"
#include <QMouseEvent>
#include <QWheelEvent>

namespace Whiteboard {

CustomWheelEvent::CustomWheelEvent(QObject *parent) : QObject(parent) {}

void CustomWheelEvent::set(Qt::KeyboardModifiers modifiers, Qt::MouseEventSource source,
                           QPoint angleDelta)
{
    m_modifiers = modifiers;
    m_source = source;
    m_angleDelta = angleDelta;
}

EventDispatcher::EventDispatcher(QQuickItem *parent) : QQuickItem(parent)
{
    setAcceptTouchEvents(true);
    setAcceptedMouseButtons(Qt::AllButtons);
    setFlag(QQuickItem::ItemAcceptsInputMethod);
}

// Ignored, so the press reaches the item below and this one never grabs the mouse.
void EventDispatcher::mousePressEvent(QMouseEvent *event)
{
    emit mouseEventTrigger();
    event->ignore();
    QQuickItem::mousePressEvent(event);
}

void EventDispatcher::wheelEvent(QWheelEvent *event)
{
    m_wheelEvent.set(event->modifiers(), event->source(), event->angleDelta());
    emit wheel(&m_wheelEvent);
    event->ignore();
    QQuickItem::wheelEvent(event);
}

} // namespace Whiteboard
