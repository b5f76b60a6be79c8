#include "meetinglist.h"
#include "meetingmodel.h"
#include "im.pb.h"

// Placeholder: filled in by its own change.

MeetingList::MeetingList(const QString &dialogId, AccountBase *account) : m_dialogId(dialogId), m_account(account) {}

MeetingList::MeetingList(AccountBase *account) : m_account(account) {}

MeetingList::~MeetingList() {}

QVariant MeetingList::data(const QModelIndex &, int) const { return {}; }

int MeetingList::rowCount(const QModelIndex &) const { return count(); }

QHash<int, QByteArray> MeetingList::roleNames() const { return m_roleNames; }

MeetingModel *MeetingList::getMeetingModel(const QString &) const { return nullptr; }

void MeetingList::createMeeting(qint64) {}

void MeetingList::setMeetings(QHash<QString, MeetingInfo>) {}

void MeetingList::updateMeeting(const MeetingInfo &, UpdateFrom, bool) {}

void MeetingList::updateMeeting(const im::Meeting &, const QString &, bool) {}

void MeetingList::reset() {}

bool MeetingList::messageBeRevoked(qint64) { return false; }

qint64 MeetingList::ownId() const { return 0; }
