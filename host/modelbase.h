#pragma once
#include "host_global.h"

// Base of the host's data models.
class IMHOST_EXPORT ModelBase
{
public:
    virtual ~ModelBase();
    virtual void initConnection() {}
    virtual void initData() {}
    virtual void movingData() {}
    virtual void loadLocalData(bool) {}
    virtual void prepareToClearData(bool) {}
    virtual void clearData(bool) {}
    virtual void getNewData() {}
};
