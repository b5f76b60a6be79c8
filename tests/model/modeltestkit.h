#pragma once
#include "roominfo.h"
#include <QByteArray>
#include <QList>
#include <QLoggingCategory>
#include <QString>

namespace modeltest {

// Records the "im.meeting" messages, debug lines included, while alive.
class MeetingLog
{
public:
    MeetingLog()
    {
        s_current = this;
        s_filter = QLoggingCategory::installFilter([](QLoggingCategory *category) {
            if (s_filter)
                s_filter(category);
            if (qstrcmp(category->categoryName(), "im.meeting") == 0)
                category->setEnabled(QtDebugMsg, true);
        });
        s_handler = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext &context, const QString &text) {
                if (qstrcmp(context.category, "im.meeting") == 0)
                    s_current->lines << QString::number(type) + QLatin1Char(' ') + text;
            });
    }
    ~MeetingLog()
    {
        qInstallMessageHandler(s_handler);
        QLoggingCategory::installFilter(s_filter);
    }
    bool contains(QtMsgType type, const QString &text) const
    {
        return !lines.filter(QString::number(type) + QLatin1Char(' ') + text).isEmpty();
    }
    QStringList lines;

private:
    static inline MeetingLog *s_current = nullptr;
    static inline QLoggingCategory::CategoryFilter s_filter = nullptr;
    static inline QtMessageHandler s_handler = nullptr;
};

// One attendee object of the room information; `extra` is spliced in as further members.
inline QByteArray roomEntry(qint64 id, const QByteArray &extra = {},
                            const QByteArray &status = "ACTIVE", qint64 inviter = 1001)
{
    return "{\"id\":" + QByteArray::number(id) + ",\"inviter\":" + QByteArray::number(inviter) +
           ",\"status\":\"" + status + "\",\"role\":\"speaker\",\"raiseHand\":0," +
           "\"invitingSpeak\":0" + (extra.isEmpty() ? QByteArray() : "," + extra) + "}";
}

inline QByteArray roomText(const QList<QByteArray> &entries, const QByteArray &members = {})
{
    return "{" + (members.isEmpty() ? QByteArray() : members + ",") + "\"attendees\":[" +
           entries.join(',') + "]}";
}

inline QByteArray share(const char *type, const char *id)
{
    return QByteArray("\"share\":[{\"type\":\"") + type + "\",\"id\":\"" + id +
           "\",\"otherMark\":false}]";
}

// Texts outside the room format. Each carries settings and an own entry unlike a plain room's,
// so that a partly applied text would show.
inline QList<QPair<const char *, QByteArray>> malformedRooms()
{
    const QByteArray settings = "\"muteAll\":{\"themselves_operation_audio\":false,"
                                "\"themselves_operation_video\":false,\"audio\":true,"
                                "\"video\":true},\"permissions\":{\"whoCanShare\":\"host\"}";
    const QByteArray own = roomEntry(1001, "\"host\":true,\"mute\":{\"audio\":1,\"video\":1}");
    const auto with = [&](const QByteArray &entry) {
        return roomText({own, entry}, settings);
    };
    const auto changed = [&](const char *from, const char *to) {
        return with(roomEntry(5).replace(from, to));
    };
    QList<QByteArray> crowd{own};
    for (qint64 id = 2; id <= RoomInfo::kMaxAttendees + 1; ++id)
        crowd << roomEntry(id);
    QByteArray padded = roomText({own}, settings);
    padded.append(RoomInfo::kMaxTextBytes + 1 - padded.size(), ' ');
    return {
        {"more attendees than the cap", roomText(crowd, settings)},
        {"text larger than the cap", padded},
        {"not JSON", roomText({own}, settings) + " x"},
        {"top level array", "[" + roomText({own}, settings) + "]"},
        {"invalid UTF-8", roomText({own}, settings + ",\"x\":\"\xff\"")},
        {"attendee number", with("7")},
        {"id missing", changed("\"id\":5,", "")},
        {"id string", changed("\"id\":5", "\"id\":\"5\"")},
        {"id out of range", changed("\"id\":5", "\"id\":1e300")},
        {"role missing", changed("\"role\":\"speaker\",", "")},
        {"raiseHand beyond int", changed("\"raiseHand\":0", "\"raiseHand\":4294967296")},
        {"score string", with(roomEntry(5, "\"score\":\"3\""))},
        {"mute without video", with(roomEntry(5, "\"mute\":{\"audio\":0}"))},
        {"share object", with(roomEntry(5, "\"share\":{\"type\":\"screen\",\"id\":\"s\"}"))},
        {"whiteboard without otherMark",
         with(roomEntry(5, share("whiteBoard", "w").replace(",\"otherMark\":false", "")))},
        {"muteAll partial", roomText({own}, "\"muteAll\":{\"audio\":true}")},
        {"disableSpeaker string",
         roomText({own}, "\"permissions\":{\"whoCanShare\":\"host\",\"disableSpeaker\":\"1\"}")},
    };
}

} // namespace modeltest
