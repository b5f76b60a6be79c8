#include "meetinglinkitem.h"
#include "meetingmodel.h"
#include "im.pb.h"

// Placeholder: filled in by its own change.

MeetingLinkItem::MeetingLinkItem(AccountBase *account, QObject *parent) : QObject(parent), m_link(new im::MeetingLink), m_account(account) {}

MeetingLinkItem::~MeetingLinkItem() {}

QString MeetingLinkItem::id() const { return {}; }

QString MeetingLinkItem::password() const { return {}; }

QString MeetingLinkItem::token() const { return {}; }

QString MeetingLinkItem::dialogId() const { return {}; }

void MeetingLinkItem::updateLink(const im::MeetingLink &) {}

void MeetingLinkItem::setMeetingModel(MeetingModel *) {}

void MeetingLinkItem::setName(const QString &) {}

void MeetingLinkItem::setState(int) {}

void MeetingLinkItem::joinMeeting(AccountBase *, bool) {}
MeetingModel *MeetingLinkItem::meetingModel() const { return m_meetingModel.data(); }
