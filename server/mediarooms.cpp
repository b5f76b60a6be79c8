#include "mediarooms.h"
#include "roomrequest.h"
#include <QJsonObject>
#include <QLoggingCategory>
#include <QRandomGenerator>

Q_LOGGING_CATEGORY(lcMediaRooms, "im.server.media")

using meetingjanus::RoomRequest;

namespace {
// Room numbers travel as JSON numbers, which are exact only up to 2^53.
constexpr quint64 kMaxRoom = (quint64(1) << 53) - 1;
} // namespace

MediaRooms::MediaRooms(const QUrl &janus, int timeoutMs, QObject *parent)
    : QObject(parent), m_janus(janus), m_timeoutMs(timeoutMs)
{}

const MediaRooms::Room *MediaRooms::ready(const QString &meetingId) const
{
    auto it = m_rooms.constFind(meetingId);
    return it != m_rooms.constEnd() && it->ready ? &*it : nullptr;
}

void MediaRooms::ensure(const QString &meetingId)
{
    if (m_rooms.contains(meetingId))
        return;
    QRandomGenerator *random = QRandomGenerator::system();
    Room room;
    room.number = 1 + random->bounded(kMaxRoom);
    QByteArray secret(24, Qt::Uninitialized);
    random->fillRange(reinterpret_cast<quint32 *>(secret.data()), 6);
    room.secret = QString::fromLatin1(secret.toHex());
    m_rooms.insert(meetingId, room);
    RoomRequest::send(m_janus, RoomRequest::create(room.number, room.secret), m_timeoutMs, this,
                      [this, meetingId, room](bool ok, const QJsonObject &, const QString &error) {
                          auto it = m_rooms.find(meetingId);
                          if (it == m_rooms.end() || it->number != room.number) {
                              // The meeting finished while its room was being made.
                              if (ok)
                                  destroyInJanus(room);
                              return;
                          }
                          if (ok) {
                              it->ready = true;
                          } else {
                              qCWarning(lcMediaRooms).noquote()
                                  << "the media room of meeting" << meetingId
                                  << "was not made:" << error;
                              m_rooms.erase(it);
                          }
                          emit settled(meetingId, ok);
                      });
}

void MediaRooms::release(const QString &meetingId)
{
    auto it = m_rooms.find(meetingId);
    if (it == m_rooms.end())
        return;
    const Room room = *it;
    m_rooms.erase(it);
    if (room.ready)
        destroyInJanus(room);
}

void MediaRooms::destroyInJanus(const Room &room)
{
    RoomRequest::send(m_janus, RoomRequest::destroy(room.number, room.secret), m_timeoutMs, this,
                      [number = room.number](bool ok, const QJsonObject &, const QString &error) {
                          if (!ok)
                              qCWarning(lcMediaRooms).noquote()
                                  << "media room" << number << "was not destroyed:" << error;
                      });
}
