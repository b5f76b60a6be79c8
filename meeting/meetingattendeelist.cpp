#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"

// Placeholder: filled in by its own change.

MeetingAttendeeList::MeetingAttendeeList(AccountBase *account, QObject *parent) : QAbstractListModel(parent), m_account(account) {}

MeetingAttendeeList::~MeetingAttendeeList() {}

int MeetingAttendeeList::rowCount(const QModelIndex &) const { return count(); }

QVariant MeetingAttendeeList::data(const QModelIndex &, int) const { return {}; }

QHash<int, QByteArray> MeetingAttendeeList::roleNames() const { return m_roleNames; }

bool MeetingAttendeeList::existAttendee(qint64) const { return false; }

bool MeetingAttendeeList::getAttendee(qint64, MeetingDefines::AttendeeType, MeetingAttendee &) const { return false; }

int MeetingAttendeeList::getAttendeeIndex(qint64, MeetingDefines::AttendeeType) const { return -1; }

bool MeetingAttendeeList::isAttendeeInviter(qint64, qint64) const { return false; }

QList<MeetingAttendee> MeetingAttendeeList::activeAttendees() const { return {}; }

QList<MeetingAttendee> MeetingAttendeeList::callingAttendees() const { return {}; }

void MeetingAttendeeList::appendAttendee(const MeetingAttendee &) {}

void MeetingAttendeeList::appendAttendee(const QList<MeetingAttendee> &, bool) {}

QSet<qint64> MeetingAttendeeList::initAttendees(const QList<MeetingAttendee> &, bool &added) { added = false; return {}; }

void MeetingAttendeeList::setDifferentAttendees(const QList<MeetingAttendee> &) {}

void MeetingAttendeeList::updateAttendeeUser(MeetingAttendee &) {}

void MeetingAttendeeList::updateAttendee(const QList<qint64> &, bool) {}

void MeetingAttendeeList::removeAttendee(qint64, bool, const QString &) {}

void MeetingAttendeeList::clearAttendee(bool) {}

void MeetingAttendeeList::sortAttendee() {}

void MeetingAttendeeList::sortAttendeeByStatus(qint64, int, int) {}

void MeetingAttendeeList::sortAttendeeByVideo(qint64, int, int, int) {}

bool MeetingAttendeeList::updateAttendee(qint64, int, int, int, int, int) { return false; }

void MeetingAttendeeList::updateAttendeesStatus(qint64, int) {}

void MeetingAttendeeList::createShareAttendee(qint64, const QString &, MeetingDefines::AttendeeType, bool, int) {}

bool MeetingAttendeeList::updateShareAttendee(qint64, MeetingDefines::AttendeeType, bool, int) { return false; }

QList<MeetingAttendee> MeetingAttendeeList::search(const QString &) const { return {}; }

void MeetingAttendeeList::setVideoSink(bool, qint64) {}

QObject *MeetingAttendeeList::getAttendeeInfoByIndex(int) const { return nullptr; }

QObject *MeetingAttendeeList::getAttendeeInfoByUid(qlonglong, MeetingDefines::AttendeeType) const { return nullptr; }

QObject *MeetingAttendeeList::attendeeSelfInviter() const { return nullptr; }

QObject *MeetingAttendeeList::getShareByShareId(const QString &) const { return nullptr; }

bool MeetingAttendeeList::speakersFull(int) const { return false; }

int MeetingAttendeeList::getSpeakerCount() const { return 0; }

int MeetingAttendeeList::getRaiseHandCount(int) const { return 0; }

int MeetingAttendeeList::getFirstAttendeeIndex(MeetingDefines::AttendeeType) const { return -1; }

int MeetingAttendeeList::searchAttendee(const MeetingAttendee &) const { return -1; }

void MeetingAttendeeList::removeAttendee(bool, int, MeetingAttendee &) {}

void MeetingAttendeeList::sortAttendeeByState(qint64, int, int) {}

void MeetingAttendeeList::moveRow(int, int) {}

void MeetingAttendeeList::publishCounters() {}

void MeetingAttendeeList::updateActualCount() {}

void MeetingAttendeeList::updateMaxCountHistory(int) {}

void MeetingAttendeeList::setspeakerCount(int) {}
