#include "meetingmodel.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"

// Placeholder: filled in by its own change.

MeetingModel::MeetingModel(const MeetingInfo &, AccountBase *account, QObject *parent) : MeetingModelBase(parent), m_account(account) {}

MeetingModel::MeetingModel(AccountBase *account, QObject *parent) : MeetingModelBase(parent), m_account(account) {}

MeetingModel::~MeetingModel() {}

void MeetingModel::setMeeting(const MeetingInfo &) {}

void MeetingModel::setMeeting(const im::Meeting &, const QString &, bool) {}

void MeetingModel::clear() {}

void MeetingModel::getJoinMediaUrl() {}

void MeetingModel::createCall(bool, bool, bool) {}

void MeetingModel::setDevices(QString, QString, QString) {}

bool MeetingModel::joinMeeting() { return false; }

void MeetingModel::leave(bool) {}

void MeetingModel::closeWebrtc() {}

void MeetingModel::search(QString) {}

QByteArray MeetingModel::verifyKey() { return {}; }

bool MeetingModel::checkVersion(int, int) { return false; }

void MeetingModel::setState(int) {}

void MeetingModel::videoFrame(qlonglong, int, int, QVideoFrameFormat, QVideoFrame) {}

void MeetingModel::timerEvent(QTimerEvent *event) { MeetingModelBase::timerEvent(event); }

void MeetingModel::init() {}

void MeetingModel::setUserId() {}

void MeetingModel::refreshDerivedLists() {}

void MeetingModel::startEngine() {}

void MeetingModel::stopEngineThread() {}

void MeetingModel::post(std::function<void(qtwebrtc::Broadcaster *)>) {}

void MeetingModel::startMeetingTimer() {}

void MeetingModel::setHostUid(qint64) {}

void MeetingModel::setIsHost(bool) {}

void MeetingModel::removeSelf(bool) {}

void MeetingModel::connectLiveObject(MeetingAttendeeUser *) {}

QList<MeetingAttendee> MeetingModel::attendeesFromServer(const im::Meeting &, bool, bool *) const { return {}; }
