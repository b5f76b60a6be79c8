#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The engine's room information, validated. Parsing never throws: text that does not parse,
// a top level that is neither null nor an object, or members of the wrong type or missing
// required members reject the whole text (nullopt) with a warning in "im.meeting".
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
    bool hasMute = false;      // "mute" present and not null or empty
    int muteAudio = 0;
    int muteVideo = 1;
    int muteScreen = 0;
    int muteWhiteBoard = 0;
    int score = -1;
    bool host = false;         // "host" when it is a boolean
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

struct RoomInfo
{
    bool isNull = true;        // empty text: no members at all
    std::optional<RoomMuteAll> muteAll;
    std::optional<RoomPermissions> permissions;
    QList<RoomAttendee> attendees;

    static std::optional<RoomInfo> parse(const QByteArray &text);
    const RoomAttendee *attendee(qint64 id) const;
};
