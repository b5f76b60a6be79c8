#include "meetingmodel.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"

// Placeholder: filled in by its own change.

void MeetingModel::reportRinging(bool) {}

void MeetingModel::onNotifyRinging(QString) {}

void MeetingModel::onWriteLog(QString, QString) {}

void MeetingModel::setRingingStatus(int) {}

QString MeetingModel::logFileName() const { return QString(); }
