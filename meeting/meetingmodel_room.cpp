#include "meetingmodel.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"

// Placeholder: filled in by its own change.

void MeetingModel::parseRoomInfo(const QByteArray &) {}

void MeetingModel::applyRoomInfo(const RoomInfo &) {}

void MeetingModel::getAttendeeInfo(qint64, const QByteArray &, int &, int &, int &, int &) {}

int MeetingModel::converStatus(const QString &) const { return 0; }

int MeetingModel::getParticipationStatus(int, int, const QString &) const { return 0; }

int MeetingModel::converMuteStatus(bool, bool) const { return 0; }

void MeetingModel::applyShareFromRoom(qint64, const RoomInfo &, int) {}

void MeetingModel::constructsData(qint64) {}
