#include "simpeople.h"
#include "mediaroom.h"
#include "simserver.h"

void SimPeople::withRoom(const std::function<void(MediaRoom *)> &act) const
{
    if (MediaRoom *r = m_server->room(m_meetingId))
        act(r);
}

void SimPeople::startMeeting(qint64 host, const QString &dialogId, const QString &name,
                             const QList<qint64> &inRoom, const QList<qint64> &invited)
{
    m_meetingId = m_server->startMeeting(host, dialogId, name, inRoom, invited);
}

void SimPeople::join(qint64 uid)
{
    withRoom([&](MediaRoom *r) { r->join(uid); });
}

void SimPeople::decline(qint64 uid)
{
    withRoom([&](MediaRoom *r) { r->decline(uid); });
}

void SimPeople::setMic(qint64 uid, bool on)
{
    withRoom([&](MediaRoom *r) { r->setMic(uid, on); });
}

void SimPeople::raiseHand(qint64 uid, bool up)
{
    withRoom([&](MediaRoom *r) { r->raiseHand(uid, up); });
}

void SimPeople::transferHost(qint64, qint64 to)
{
    withRoom([&](MediaRoom *r) { r->transferHost(to); });
}

void SimPeople::startScreenShare(qint64 uid)
{
    withRoom([&](MediaRoom *r) { r->startScreenShare(uid); });
}

void SimPeople::openWhiteboard(qint64 uid)
{
    withRoom([&](MediaRoom *r) { r->openWhiteboard(uid); });
}

void SimPeople::stopShare(qint64 uid)
{
    withRoom([&](MediaRoom *r) { r->stopShare(uid); });
}

void SimPeople::speak(qint64 uid, int ms)
{
    withRoom([&](MediaRoom *r) { r->giveFloor(uid, ms); });
}

void SimPeople::applyByLink(qint64 uid, const Link &link)
{
    m_server->applyByLink(uid, link.id);
}
