#include "enginerouter.h"
#include "broadcaster.h"
#include "mediaroom.h"
#include "simserver.h"

using qtwebrtc::Broadcaster;

EngineRouter::EngineRouter(SimServer *server, QObject *parent) : QObject(parent), m_server(server)
{
    // The hook runs on the engine's thread; the rooms live on this one.
    Broadcaster::setHook([this](Broadcaster *engine, const Broadcaster::Call &call) {
        QPointer<Broadcaster> guarded(engine);
        QMetaObject::invokeMethod(
            this,
            [this, guarded, name = call.name, args = call.args] { route(guarded, name, args); },
            Qt::QueuedConnection);
    });
}

EngineRouter::~EngineRouter()
{
    Broadcaster::setHook({});
}

void EngineRouter::route(const QPointer<Broadcaster> &engine, const QString &name,
                         const QVariantList &args)
{
    // The engine is deleted only while this thread waits for its thread to finish, so a
    // pointer still set here stays valid for the whole call.
    if (!engine)
        return;
    if (name == QLatin1String("createCall")) {
        MediaRoom *room = m_server->room(args.value(7).toString());
        if (!room) {
            engine->emitFromOwnThread([](Broadcaster *b) {
                emit b->sigNotifyError(qtwebrtc::ERR_REMOVED,
                                       QStringLiteral("the meeting has ended"));
            });
            return;
        }
        room->attach(engine);
        room->engineCall(name, args);
        return;
    }
    for (MediaRoom *room : m_server->findChildren<MediaRoom *>()) {
        if (room->engine() == engine) {
            room->engineCall(name, args);
            return;
        }
    }
}
