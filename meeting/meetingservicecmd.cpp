#include "meetingservicecmd.h"
#include "meeting.pb.h"

// Placeholder: filled in by its own change.

MeetingServiceCmd::MeetingServiceCmd(MeetingManager *manager) : m_manager(manager) {}

QVariantMap MeetingServiceCmd::createMeeting(const im::Message &, const QString &) { return {}; }

void MeetingServiceCmd::inviteUser(const QString &, const QString &, const QVariantList &) {}

void MeetingServiceCmd::inviteUser(const im::meeting::MeetingInviteReq &, const QString &) {}

void MeetingServiceCmd::rejectMeeting(const QString &, int) {}

void MeetingServiceCmd::cancelCall(const QString &, const QString &) {}

void MeetingServiceCmd::joinMeeting(const QString &, const QString &, bool) {}

void MeetingServiceCmd::createOrUpdateMeetingLink(const QString &, const QString &) {}

void MeetingServiceCmd::listMeetingLinks() {}

void MeetingServiceCmd::deleteMeetingLink(const QString &, bool) {}

void MeetingServiceCmd::getMeetingLink(const QString &, const QString &, const QString &, LinkDone) {}

void MeetingServiceCmd::getMeetingLink(const QString &, const QString &, const QString &, const QString &) {}

void MeetingServiceCmd::joinMeetingByLink(const QString &, const QString &, const QString &, bool) {}

void MeetingServiceCmd::deletePendingAttendees(const QString &, const QVariantList &) {}

void MeetingServiceCmd::rateMeeting(const QString &, int, int, int, int, const QString &) {}
