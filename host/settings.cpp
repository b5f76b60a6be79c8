#include "settings.h"
#include <QDir>
#include <QStandardPaths>

AppSettingModel *AppSettingModel::instance()
{
    static AppSettingModel settings;
    return &settings;
}

AppDirManager *AppDirManager::instance()
{
    static AppDirManager dirs;
    return &dirs;
}

QString AppDirManager::cacheDataDir() const
{
    QString dir = m_cacheDir.isEmpty()
                      ? QStandardPaths::writableLocation(QStandardPaths::CacheLocation)
                      : m_cacheDir;
    if (!dir.endsWith(QLatin1Char('/')) && !dir.endsWith(QDir::separator()))
        dir += QDir::separator();
    return dir;
}
