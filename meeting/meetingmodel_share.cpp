#include "meetingmodel.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"

// Placeholder: filled in by its own change.

void MeetingModel::createShare(int, QScreen *, QSize, int) {}

void MeetingModel::closeShare(QString) {}

void MeetingModel::setAllowDraw(bool) {}

void MeetingModel::setSharePremission(int, bool) {}

void MeetingModel::setCanMultiShare(bool) {}

void MeetingModel::setShareDesktopVoice(bool) {}

void MeetingModel::sendData(im::whiteboard::TransferData *data, QString) { delete data; }

void MeetingModel::sendUserAction(bool, QString) {}

void MeetingModel::setWhiteboard(QImage *, QString) {}

void MeetingModel::notifyCreateShare(qlonglong, QString, int) {}

void MeetingModel::notifyCloseShare(qlonglong, QString) {}

void MeetingModel::notifySetAllowDraw(qlonglong, QString, bool) {}

void MeetingModel::notifySharePremission(QString, bool, QByteArray) {}

void MeetingModel::recvData(im::whiteboard::TransferData *data) { delete data; }

bool MeetingModel::isUserJoin(const im::whiteboard::TransferData *) { return false; }

void MeetingModel::setIsShared(bool) {}
