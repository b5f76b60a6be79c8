#pragma once
#include "meeting_global.h"
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The engine's room information, validated. Parsing never throws: text that does not parse,
// a top level that is neither null nor an object, members of the wrong type, missing required
// members or numbers out of range reject the whole text (nullopt) with a warning in
// "im.meeting". Optional members that are null count as missing.
struct RoomShare
{
    bool whiteboard = false;
    QString id;
    bool otherMark = false;
};

struct RoomAttendee
{
    qint64 id = 0;
    qint64 inviter = 0;
    QString status;
    QString role;
    int raiseHand = 0;
    int invitingSpeak = 0;
    int muteAudio = 0;
    int muteVideo = 1;
    int muteScreen = 0;
    int muteWhiteBoard = 0;
    int score = -1;
    bool host = false; // "host" when it is a boolean
    std::optional<RoomShare> share;
};

struct RoomMuteAll
{
    bool themselvesOperationAudio = true;
    bool themselvesOperationVideo = true;
    bool audio = false;
    bool video = false;
};

struct RoomPermissions
{
    QString whoCanShare;
    std::optional<bool> disableSpeaker;
};

struct MEETING_EXPORT RoomInfo
{
    // Room information comes from whoever runs the media server; beyond these it is refused.
    static constexpr qsizetype kMaxTextBytes = 16 * 1024 * 1024;
    static constexpr qsizetype kMaxAttendees = 50000;

    bool isNull = true; // blank text or JSON null: no members at all
    std::optional<RoomMuteAll> muteAll;
    std::optional<RoomPermissions> permissions;
    QList<RoomAttendee> attendees;

    static std::optional<RoomInfo> parse(const QByteArray &text);
    // The first entry with this id, or null.
    const RoomAttendee *attendee(qint64 id) const;
};
