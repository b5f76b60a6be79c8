#pragma once
#include <QByteArray>
#include <QList>
#include <QLoggingCategory>
#include <QString>

namespace modeltest {

// Records every message of the "im.meeting" category, debug lines included, while alive.
class MeetingLog
{
public:
    MeetingLog()
    {
        s_current = this;
        s_previousFilter = QLoggingCategory::installFilter(&filter);
        s_previousHandler = qInstallMessageHandler(&handler);
    }
    ~MeetingLog()
    {
        qInstallMessageHandler(s_previousHandler);
        QLoggingCategory::installFilter(s_previousFilter);
        s_current = nullptr;
    }
    bool contains(QtMsgType type, const QString &text) const
    {
        for (const auto &m : messages) {
            if (m.first == type && m.second.contains(text))
                return true;
        }
        return false;
    }
    QList<QPair<QtMsgType, QString>> messages;

private:
    static bool isMeeting(const char *category) { return qstrcmp(category, "im.meeting") == 0; }
    static void filter(QLoggingCategory *category)
    {
        if (s_previousFilter)
            s_previousFilter(category);
        if (isMeeting(category->categoryName()))
            category->setEnabled(QtDebugMsg, true);
    }
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (s_current && context.category && isMeeting(context.category))
            s_current->messages.append({type, text});
    }
    static inline MeetingLog *s_current = nullptr;
    static inline QLoggingCategory::CategoryFilter s_previousFilter = nullptr;
    static inline QtMessageHandler s_previousHandler = nullptr;
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

// Texts outside the room format. Each holds settings and an own entry that differ from a
// plain room, so that a partly applied text would show.
inline QList<QPair<const char *, QByteArray>> malformedRooms()
{
    const QByteArray settings = "\"muteAll\":{\"themselves_operation_audio\":false,"
                                "\"themselves_operation_video\":false,\"audio\":true,"
                                "\"video\":true},\"permissions\":{\"whoCanShare\":\"host\"}";
    const QByteArray own = roomEntry(1001, "\"host\":true,\"mute\":{\"audio\":1,\"video\":1}");
    const auto withEntry = [&](const QByteArray &bad) {
        return roomText({own, bad}, settings);
    };
    return {
        {"not JSON", "{\"attendees\":["},
        {"trailing text", roomText({own}, settings) + " x"},
        {"top level array", "[" + roomText({own}, settings) + "]"},
        {"top level number", "42"},
        {"invalid UTF-8", roomText({own}, settings + ",\"x\":\"\xff\"")},
        {"attendees object", "{" + settings + ",\"attendees\":{}}"},
        {"attendee number", withEntry("7")},
        {"id missing", withEntry("{\"inviter\":1,\"status\":\"ACTIVE\",\"role\":\"speaker\","
                                 "\"raiseHand\":0,\"invitingSpeak\":0}")},
        {"id string", withEntry(roomEntry(5).replace("\"id\":5", "\"id\":\"5\""))},
        {"id boolean", withEntry(roomEntry(5).replace("\"id\":5", "\"id\":true"))},
        {"id out of range", withEntry(roomEntry(5).replace("\"id\":5", "\"id\":1e300"))},
        {"status number", withEntry(roomEntry(5).replace("\"ACTIVE\"", "1"))},
        {"role missing", withEntry(roomEntry(5).replace("\"role\":\"speaker\",", ""))},
        {"raiseHand string",
         withEntry(roomEntry(5).replace("\"raiseHand\":0", "\"raiseHand\":\"1\""))},
        {"raiseHand too big",
         withEntry(roomEntry(5).replace("\"raiseHand\":0", "\"raiseHand\":4294967296"))},
        {"score string", withEntry(roomEntry(5, "\"score\":\"3\""))},
        {"mute array", withEntry(roomEntry(5, "\"mute\":[1]"))},
        {"mute without video", withEntry(roomEntry(5, "\"mute\":{\"audio\":0}"))},
        {"share object", withEntry(roomEntry(5, "\"share\":{\"type\":\"screen\",\"id\":\"s\"}"))},
        {"share without id", withEntry(roomEntry(5, "\"share\":[{\"type\":\"screen\"}]"))},
        {"whiteboard without otherMark",
         withEntry(roomEntry(5, "\"share\":[{\"type\":\"whiteBoard\",\"id\":\"w\"}]"))},
        {"muteAll partial", roomText({own}, "\"muteAll\":{\"audio\":true}")},
        {"whoCanShare missing", roomText({own}, "\"permissions\":{\"disableSpeaker\":true}")},
        {"disableSpeaker string",
         roomText({own}, "\"permissions\":{\"whoCanShare\":\"host\",\"disableSpeaker\":\"yes\"}")},
    };
}

} // namespace modeltest
