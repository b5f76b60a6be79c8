#pragma once
#include "host_global.h"
#include <QString>
#include <QVariantMap>

// Application-wide settings.
class IMHOST_EXPORT AppSettingModel
{
public:
    static AppSettingModel *instance();
    bool useStandRouting() const { return m_standRouting; }
    void setUseStandRouting(bool on) { m_standRouting = on; }

private:
    bool m_standRouting = false;
};

// Application directories.
class IMHOST_EXPORT AppDirManager
{
public:
    static AppDirManager *instance();
    // Always ends with a separator.
    QString cacheDataDir() const;
    void setCacheDataDir(const QString &dir) { m_cacheDir = dir; }

private:
    QString m_cacheDir;
};

// Per-account settings.
class IMHOST_EXPORT AccountSettingModel
{
public:
    int supportedMeetingType() const { return m_supportedMeetingType; }
    void setSupportedMeetingType(int type) { m_supportedMeetingType = type; }

private:
    int m_supportedMeetingType = 2;
};

// The devices of the account; the current one carries "permissions".
class IMHOST_EXPORT DeviceModel
{
public:
    QVariantMap currentDevice() const { return m_current; }
    void setCurrentDevice(const QVariantMap &device) { m_current = device; }

private:
    QVariantMap m_current{{QStringLiteral("permissions"), 0}};
};
