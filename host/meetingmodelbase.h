#pragma once
#include "host_global.h"
#include <QObject>

class AccountBase;

// What the host knows of a meeting model.
class IMHOST_EXPORT MeetingModelBase : public QObject
{
    Q_OBJECT
public:
    explicit MeetingModelBase(QObject *parent = nullptr) : QObject(parent) {}
    virtual QString meetingId() = 0;
    virtual QString dialogId() = 0;
    virtual int state() const = 0;
    virtual AccountBase *account() const = 0;
};
