#pragma once
#include <QHash>
#include <QObject>
#include <QUrl>

// The Janus VideoRoom of each meeting, when the server has a Janus: made when the meeting
// starts (or at its first join after a restart) and destroyed when it finishes. Nothing here
// waits for Janus; each room's outcome arrives as `settled`.
class MediaRooms : public QObject
{
    Q_OBJECT
public:
    struct Room
    {
        quint64 number = 0;
        QString secret; // never logged
        bool ready = false;
    };

    MediaRooms(const QUrl &janus, int timeoutMs, QObject *parent = nullptr);

    QUrl janus() const { return m_janus; }
    // The meeting's room once Janus has it, null before.
    const Room *ready(const QString &meetingId) const;
    // Starts making the meeting's room unless it exists or is being made.
    void ensure(const QString &meetingId);
    // Forgets the room and destroys it in Janus, also one still being made.
    void release(const QString &meetingId);

signals:
    // The room `ensure` asked for exists (`ok`) or could not be made (a warning says why).
    void settled(const QString &meetingId, bool ok);

private:
    void destroyInJanus(const Room &room);

    QUrl m_janus;
    int m_timeoutMs;
    QHash<QString, Room> m_rooms;
};
