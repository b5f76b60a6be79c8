#include "meetingmodel.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"

// Placeholder: filled in by its own change.

int MeetingModel::setDevice(QString, int) { return -1; }

void MeetingModel::setMuteAll(bool, bool, int) {}

void MeetingModel::setAllowUnmute(bool, int) {}

void MeetingModel::setCanUnmuteAudio(bool) {}

void MeetingModel::setCanUnmuteVideo(bool) {}

void MeetingModel::setRequestOpenDev(int) {}

void MeetingModel::setConsumerlayers(int, int, qlonglong) {}

int MeetingModel::getMaxDecibel() { return -1; }

void MeetingModel::setMirror(bool) {}

void MeetingModel::setSoundEffectType(int) {}

void MeetingModel::setProxy(QString) {}

void MeetingModel::notifyMute(qlonglong, qlonglong, int, int) {}

void MeetingModel::notifyMuteAll(bool, int) {}

void MeetingModel::notifyAllowUnmute(bool, int) {}

void MeetingModel::notifyRequestEnable(int) {}

void MeetingModel::notifyDecibel(qlonglong, int, double, double, QVariantList) {}

void MeetingModel::userMuteChanged(int, int, int) {}

void MeetingModel::setPlayoutVolume(double) {}

void MeetingModel::setWhoRSpeaking(const QList<QString> &) {}

void MeetingModel::setWhoSpeaks() {}

bool MeetingModel::activeListShowsPicture() const { return false; }
