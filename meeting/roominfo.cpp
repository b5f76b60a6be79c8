#include "roominfo.h"
#include "meetingdefines.h"
#include <cmath>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>

namespace {
// Members in a vector rather than a tree: one allocation per object instead of one per member.
using json = nlohmann::ordered_json;

// "bool or number" read as an integer, a float truncated. Values the target cannot hold are
// refused rather than wrapped.
template <typename T> bool toInteger(const json &value, bool allowBool, T &out)
{
    using Limits = std::numeric_limits<T>;
    if (value.is_boolean()) {
        if (!allowBool)
            return false;
        out = value.get<bool>() ? 1 : 0;
        return true;
    }
    if (value.is_number_unsigned()) {
        const auto v = value.get<std::uint64_t>();
        if (v > static_cast<std::uint64_t>(Limits::max()))
            return false;
        out = static_cast<T>(v);
        return true;
    }
    if (value.is_number_integer()) {
        const auto v = value.get<std::int64_t>();
        if (v < static_cast<std::int64_t>(Limits::min()) ||
            v > static_cast<std::int64_t>(Limits::max()))
            return false;
        out = static_cast<T>(v);
        return true;
    }
    if (value.is_number_float()) {
        const double v = std::trunc(value.get<double>());
        // min() is a power of two, so both bounds are exact doubles.
        const double low = static_cast<double>(Limits::min());
        if (!(v >= low && v < -low))
            return false;
        out = static_cast<T>(v);
        return true;
    }
    return false;
}

// Optional members that are absent, null or an empty array or object.
bool isBlank(const json *value)
{
    return !value || value->empty();
}

class Parser
{
public:
    std::optional<RoomInfo> parse(const QByteArray &text);
    const QString &reason() const { return m_reason; }

private:
    bool fail(const char *key, const char *expected);
    const json *member(const json &object, const char *key) const;
    bool readBool(const json &object, const char *key, bool &out);
    bool readString(const json &object, const char *key, QString &out);
    template <typename T>
    bool readNumber(const json &object, const char *key, bool allowBool, T &out);
    bool readMuteAll(const json &doc, RoomInfo &room);
    bool readPermissions(const json &doc, RoomInfo &room);
    bool readAttendees(const json &doc, RoomInfo &room);
    bool readAttendee(const json &value, RoomAttendee &out);
    bool readMute(const json &entry, RoomAttendee &out);
    bool readShare(const json &entry, RoomAttendee &out);

    QString where() const;

    // Where the reader stands, spelled out only in a rejection's reason.
    const char *m_section = nullptr;
    qsizetype m_attendee = -1;
    const char *m_part = nullptr;
    QString m_reason;
};

QString Parser::where() const
{
    QString out;
    if (m_attendee >= 0)
        out = QStringLiteral("attendee %1: ").arg(m_attendee);
    else if (m_section)
        out = QLatin1String(m_section) + QLatin1String(": ");
    if (m_part)
        out += QLatin1String(m_part) + QLatin1String(": ");
    return out;
}

bool Parser::fail(const char *key, const char *expected)
{
    m_reason = QStringLiteral("%1\"%2\" must be %3")
                   .arg(where(), QLatin1String(key), QLatin1String(expected));
    return false;
}

const json *Parser::member(const json &object, const char *key) const
{
    const auto it = object.find(key);
    return it == object.end() || it->is_null() ? nullptr : &*it;
}

bool Parser::readBool(const json &object, const char *key, bool &out)
{
    const json *value = member(object, key);
    if (!value || !value->is_boolean())
        return fail(key, "a boolean");
    out = value->get<bool>();
    return true;
}

bool Parser::readString(const json &object, const char *key, QString &out)
{
    const json *value = member(object, key);
    if (!value || !value->is_string())
        return fail(key, "a string");
    out = QString::fromStdString(value->get_ref<const std::string &>());
    return true;
}

template <typename T>
bool Parser::readNumber(const json &object, const char *key, bool allowBool, T &out)
{
    const json *value = member(object, key);
    if (!value || !toInteger(*value, allowBool, out))
        return fail(key, allowBool ? "a boolean or a number in range" : "a number in range");
    return true;
}

std::optional<RoomInfo> Parser::parse(const QByteArray &text)
{
    RoomInfo room;
    if (text.size() > RoomInfo::kMaxTextBytes) {
        m_reason =
            QStringLiteral("%1 bytes, more than %2").arg(text.size()).arg(RoomInfo::kMaxTextBytes);
        return std::nullopt;
    }
    if (text.trimmed().isEmpty())
        return room;
    const json doc = json::parse(text.cbegin(), text.cend(), nullptr, false);
    if (doc.is_discarded()) {
        m_reason = QStringLiteral("not JSON");
        return std::nullopt;
    }
    if (doc.is_null())
        return room;
    if (!doc.is_object()) {
        m_reason = QStringLiteral("the top level is not an object");
        return std::nullopt;
    }
    room.isNull = false;
    if (!readMuteAll(doc, room) || !readPermissions(doc, room) || !readAttendees(doc, room))
        return std::nullopt;
    return room;
}

bool Parser::readMuteAll(const json &doc, RoomInfo &room)
{
    const json *value = member(doc, "muteAll");
    if (!value)
        return true;
    if (!value->is_object())
        return fail("muteAll", "an object");
    m_section = "muteAll";
    RoomMuteAll muteAll;
    if (!readBool(*value, "themselves_operation_audio", muteAll.themselvesOperationAudio) ||
        !readBool(*value, "themselves_operation_video", muteAll.themselvesOperationVideo) ||
        !readBool(*value, "audio", muteAll.audio) || !readBool(*value, "video", muteAll.video))
        return false;
    room.muteAll = muteAll;
    m_section = nullptr;
    return true;
}

bool Parser::readPermissions(const json &doc, RoomInfo &room)
{
    const json *value = member(doc, "permissions");
    if (!value)
        return true;
    if (!value->is_object())
        return fail("permissions", "an object");
    m_section = "permissions";
    RoomPermissions permissions;
    if (!readString(*value, "whoCanShare", permissions.whoCanShare))
        return false;
    if (member(*value, "disableSpeaker")) {
        bool disable = false;
        if (!readBool(*value, "disableSpeaker", disable))
            return false;
        permissions.disableSpeaker = disable;
    }
    room.permissions = permissions;
    m_section = nullptr;
    return true;
}

bool Parser::readAttendees(const json &doc, RoomInfo &room)
{
    const json *list = member(doc, "attendees");
    if (!list)
        return true;
    if (!list->is_array())
        return fail("attendees", "an array");
    if (list->size() > std::size_t(RoomInfo::kMaxAttendees)) {
        m_reason = QStringLiteral("%1 attendees, more than %2")
                       .arg(list->size())
                       .arg(RoomInfo::kMaxAttendees);
        return false;
    }
    room.attendees.reserve(qsizetype(list->size()));
    for (std::size_t i = 0; i < list->size(); ++i) {
        m_attendee = qsizetype(i);
        m_part = nullptr;
        RoomAttendee attendee;
        if (!readAttendee((*list)[i], attendee))
            return false;
        room.attendees.append(std::move(attendee));
    }
    m_attendee = -1;
    return true;
}

bool Parser::readAttendee(const json &value, RoomAttendee &out)
{
    if (!value.is_object()) {
        m_reason = where() + QStringLiteral("not an object");
        return false;
    }
    if (!readNumber(value, "id", false, out.id) ||
        !readNumber(value, "inviter", false, out.inviter) ||
        !readString(value, "status", out.status) || !readString(value, "role", out.role) ||
        !readNumber(value, "raiseHand", true, out.raiseHand) ||
        !readNumber(value, "invitingSpeak", true, out.invitingSpeak))
        return false;
    if (!isBlank(member(value, "score")) && !readNumber(value, "score", true, out.score))
        return false;
    const json *host = member(value, "host");
    out.host = host && host->is_boolean() && host->get<bool>();
    return readMute(value, out) && readShare(value, out);
}

bool Parser::readMute(const json &entry, RoomAttendee &out)
{
    const json *mute = member(entry, "mute");
    if (isBlank(mute))
        return true;
    if (!mute->is_object())
        return fail("mute", "an object");
    m_part = "mute";
    if (!readNumber(*mute, "audio", true, out.muteAudio) ||
        !readNumber(*mute, "video", true, out.muteVideo))
        return false;
    if (member(*mute, "screen") && !readNumber(*mute, "screen", true, out.muteScreen))
        return false;
    if (member(*mute, "whiteBoard") && !readNumber(*mute, "whiteBoard", true, out.muteWhiteBoard))
        return false;
    m_part = nullptr;
    return true;
}

bool Parser::readShare(const json &entry, RoomAttendee &out)
{
    const json *shares = member(entry, "share");
    if (isBlank(shares))
        return true;
    if (!shares->is_array())
        return fail("share", "an array");
    const json &first = shares->front();
    if (!first.is_object())
        return fail("share", "an array of objects");
    m_part = "share";
    RoomShare share;
    QString type;
    if (!readString(first, "type", type) || !readString(first, "id", share.id))
        return false;
    share.whiteboard = type == QLatin1String("whiteBoard");
    if (share.whiteboard && !readBool(first, "otherMark", share.otherMark))
        return false;
    out.share = share;
    return true;
}
} // namespace

std::optional<RoomInfo> RoomInfo::parse(const QByteArray &text)
{
    Parser parser;
    std::optional<RoomInfo> room;
    try {
        room = parser.parse(text);
    } catch (const std::exception &) {
        // Only allocation can throw here; type errors are checked before every read.
        qCWarning(lcMeeting) << "room information rejected: out of memory";
        return std::nullopt;
    }
    if (!room)
        qCWarning(lcMeeting).noquote() << "room information rejected:" << parser.reason();
    return room;
}

const RoomAttendee *RoomInfo::attendee(qint64 id) const
{
    for (const RoomAttendee &a : attendees) {
        if (a.id == id)
            return &a;
    }
    return nullptr;
}
