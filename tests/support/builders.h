#pragma once
// Messages and records as the server and the host hand them over, one builder for each.
#include "im.pb.h"
#include "meetingdefines.h"
#include "meetingservicecmd.h"
#include <QByteArray>
#include <array>
#include <initializer_list>

namespace testsupport {

inline QByteArray bytes(const google::protobuf::MessageLite &m)
{
    return QByteArray::fromStdString(m.SerializeAsString());
}

inline im::MeetingLink link(const char *id, const char *dialogId, qint32 owner = 500,
                            qint32 status = 1)
{
    im::MeetingLink l;
    l.set_id(id);
    l.set_dialog_id(dialogId);
    l.set_owner_id(owner);
    l.set_status(status);
    return l;
}

// A meeting as the host hands it over: attendees are {user, device, status, inviter}.
inline MeetingInfo record(const char *meetingId, qint64 version,
                          std::initializer_list<std::array<qint64, 4>> attendees,
                          const char *dialogId = "d1")
{
    MeetingInfo info;
    info.meetingId = QString::fromLatin1(meetingId);
    info.dialogId = QString::fromLatin1(dialogId);
    info.version = version;
    for (const auto &a : attendees)
        info.attendees.append(MeetingAttendee(a[0], int(a[1]), int(a[2]), a[3], 0, false));
    return info;
}

// The same as the server sends it, attendees and applicants as {user, status}; statuses are
// the server's (1 calling, 3 active).
inline im::Meeting serverMeeting(const char *meetingId, qint64 version,
                                 std::initializer_list<std::array<qint64, 2>> attendees,
                                 const char *dialogId = "d1",
                                 std::initializer_list<std::array<qint64, 2>> pending = {})
{
    im::Meeting m;
    m.set_id(meetingId);
    m.set_dialog_id(dialogId);
    m.set_version(version);
    for (const auto &a : attendees) {
        im::MeetingAttendeeEntry *e = m.add_attendees();
        e->set_user_id(a[0]);
        e->set_status(int(a[1]));
    }
    for (const auto &a : pending) {
        im::MeetingAttendeeEntry *e = m.add_pending_attendees();
        e->set_user_id(a[0]);
        e->set_status(int(a[1]));
    }
    return m;
}

} // namespace testsupport
