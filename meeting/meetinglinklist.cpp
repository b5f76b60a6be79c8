#include "meetinglinklist.h"
#include "meetinglinkitem.h"
#include "meetingmanager.h"
#include "meeting.pb.h"

// Placeholder: filled in by its own change.

MeetingLinkList::MeetingLinkList(MeetingManager *manager) : QAbstractListModel(manager), m_manager(manager) {}

MeetingLinkList::~MeetingLinkList() {}

QVariant MeetingLinkList::data(const QModelIndex &, int) const { return {}; }

int MeetingLinkList::rowCount(const QModelIndex &) const { return 0; }

QHash<int, QByteArray> MeetingLinkList::roleNames() const { return m_roleNames; }

void MeetingLinkList::getJoinMeetingLinkInfo(QString, QString, QString, QString) {}

void MeetingLinkList::listMeetingLinks() {}

void MeetingLinkList::createOrUpdateMeetingLink(QString, QString) {}

void MeetingLinkList::removeMeetingLink(QString) {}

void MeetingLinkList::startMeeting(MeetingLinkItem *) {}

void MeetingLinkList::clearJoinMeetingLink() {}

MeetingLinkItem *MeetingLinkList::getMeetingLinkItem(QString) const { return nullptr; }

QSharedPointer<MeetingLinkItem> MeetingLinkList::getMeetingLinkItemPtr(const QString &) const { return {}; }

void MeetingLinkList::getMeetingLinkItemByToken(const QString &, const QString &, std::function<void(int, const QSharedPointer<MeetingLinkItem> &)>) const {}

void MeetingLinkList::setJoinMeetingLink(const QSharedPointer<MeetingLinkItem> &) {}

void MeetingLinkList::setMeetingLinks(const im::meeting::ListMeetingLinksResp &) {}

void MeetingLinkList::setMeetingLink(const im::MeetingLink &) {}

void MeetingLinkList::deleteMeetingLink(const QString &) {}

QSharedPointer<MeetingLinkItem> MeetingLinkList::createMeetingLinkItemPtr(const im::MeetingLink &) { return {}; }

void MeetingLinkList::setJoiningMeetingLink(const QSharedPointer<MeetingLinkItem> &, int) {}

void MeetingLinkList::setJoiningMeetingLinkState(const QString &, int) {}

void MeetingLinkList::insertItem(int, const QSharedPointer<MeetingLinkItem> &) {}

void MeetingLinkList::removeItem(int) {}
