#pragma once
#include "broadcaster.h"
#include <QObject>
#include <QPointer>
#include <QVariantList>

class SimServer;

// Stands where the media server would: every call a meeting model makes on its engine reaches
// the router (on the main thread), which hands it to the media room of that call's meeting.
class EngineRouter : public QObject
{
    Q_OBJECT
public:
    explicit EngineRouter(SimServer *server, QObject *parent = nullptr);
    // Takes the engine hook away; engines still running then talk to nobody.
    ~EngineRouter() override;

private:
    void route(const QPointer<qtwebrtc::Broadcaster> &engine, const QString &name,
               const QVariantList &args);

    SimServer *m_server;
};
