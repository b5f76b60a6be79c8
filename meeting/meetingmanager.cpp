#include "meetingmanager.h"
#include "meetinglist.h"
#include "meetinglinklist.h"
#include "meetingservicecmd.h"
#include "im.pb.h"

// Placeholder: filled in by its own change.

MeetingManager::MeetingManager(AccountBase *account) : QObject(nullptr), m_account(account) {}

MeetingManager::~MeetingManager() {}

void MeetingManager::setMeetingCapacity(int) {}

MeetingList *MeetingManager::meetingList(const QString &, bool) { return nullptr; }

void MeetingManager::meetingBeFinished(QString) {}

void MeetingManager::clearData(bool) {}

void MeetingManager::updateMeeting(QString, MeetingInfo, int) {}

void MeetingManager::updateMeeting(QString, im::Meeting, QString, bool) {}

void MeetingManager::setMeetings(QString, MeetingInfoHash) {}

void MeetingManager::deletePendingAttendees(QString, QVariantList) {}

void MeetingManager::rateMeeting(QString, int, int, int, int, QString) {}

void MeetingManager::cancelCall(QString, QString) {}

void MeetingManager::createMeeting(QString, qint64) {}

MeetingList *MeetingManager::createMeetings(const QString &) { return nullptr; }

void MeetingManager::deleteMeetingList(MeetingList *) {}
