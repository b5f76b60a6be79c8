#include "meetingmodel.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"

// Placeholder: filled in by its own change.

void MeetingModel::notifyJoin(qlonglong, qlonglong, QByteArray) {}

void MeetingModel::notifyReady(qlonglong, QByteArray) {}

void MeetingModel::notifyReconnect(qlonglong, qlonglong, QByteArray) {}

void MeetingModel::notifyLeave(qlonglong) {}

void MeetingModel::notifyInvite(qlonglong, qlonglong) {}

void MeetingModel::notifyKicked(qlonglong, qlonglong) {}

void MeetingModel::notifyReject(qlonglong) {}

void MeetingModel::notifyTimeout(qlonglong) {}

void MeetingModel::notifyDismiss(qlonglong) {}

void MeetingModel::notifyTransfer(qlonglong, qlonglong) {}

void MeetingModel::notifyStateChange(int) {}

void MeetingModel::notifyError(int, QString) {}

void MeetingModel::notifyRestartIce() {}

void MeetingModel::notifyScore(qlonglong, int) {}

void MeetingModel::notifyNewConsumer(qlonglong, int) {}

void MeetingModel::kicked(qlonglong) {}

void MeetingModel::transfer(qlonglong) {}

void MeetingModel::inviteUser(QVariantList) {}

void MeetingModel::rejectMeeting(int) {}

void MeetingModel::cancelCall() {}
