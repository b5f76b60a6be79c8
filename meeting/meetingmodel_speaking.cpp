#include "meetingmodel.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"

// Placeholder: filled in by its own change.

void MeetingModel::raiseHand(bool) {}

void MeetingModel::inviteSpeak(qlonglong, bool) {}

void MeetingModel::agreeSpeak(qlonglong, bool) {}

void MeetingModel::rejectSpeak(qlonglong) {}

void MeetingModel::beListener(qlonglong) {}

void MeetingModel::setcanSpeakingPrivileges(bool) {}

void MeetingModel::setSpeakerCapacity(int) {}

void MeetingModel::onNotifyRaiseHand(qlonglong, bool) {}

void MeetingModel::onNotifyInviteSpeak(qlonglong, qlonglong, bool) {}

void MeetingModel::onNotifyAgreeSpeak(qlonglong, qlonglong, bool) {}

void MeetingModel::onNotifyRejectSpeak(qlonglong) {}

void MeetingModel::onNotifyRoleChange(qlonglong, QString, QByteArray) {}

bool MeetingModel::changeParticipationStatus(qint64, int) { return false; }
