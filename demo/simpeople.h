#pragma once
#include "people.h"
#include <functional>

class MediaRoom;
class SimServer;

// The people played inside the demo, on the simulated server and its media rooms.
class SimPeople : public People
{
public:
    explicit SimPeople(SimServer *server) : m_server(server) {}

    bool heard() const override { return true; }
    bool draw() const override { return true; }
    void startMeeting(qint64 host, const QString &dialogId, const QString &name,
                      const QList<qint64> &inRoom, const QList<qint64> &invited) override;
    void join(qint64 uid) override;
    void decline(qint64 uid) override;
    void setMic(qint64 uid, bool on) override;
    void raiseHand(qint64 uid, bool up) override;
    void transferHost(qint64 from, qint64 to) override;
    void startScreenShare(qint64 uid) override;
    void openWhiteboard(qint64 uid) override;
    void stopShare(qint64 uid) override;
    void speak(qint64 uid, int ms) override;
    void applyByLink(qint64 uid, const Link &link) override;

private:
    // Acts in the room of the meeting started last, if it still runs.
    void withRoom(const std::function<void(MediaRoom *)> &act) const;

    SimServer *m_server;
    QString m_meetingId;
};
