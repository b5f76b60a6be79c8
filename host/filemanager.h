#pragma once
#include "host_global.h"
#include <QObject>
#include <QPair>
#include <QStringList>

// Uploads of the account's files. Records every upload so tests can read them back.
class IMHOST_EXPORT FileDataMgr : public QObject
{
    Q_OBJECT
public:
    void uploadMeetingLog(const QString &fileName, const QString &url);
    QList<QPair<QString, QString>> uploads() const { return m_uploads; }
    void clear() { m_uploads.clear(); }

signals:
    void meetingLogUploaded(const QString &fileName, const QString &url);

private:
    QList<QPair<QString, QString>> m_uploads;
};

class IMHOST_EXPORT FileManager
{
public:
    FileDataMgr *fileDataMgr() { return &m_data; }

private:
    FileDataMgr m_data;
};
