#include "filemanager.h"

void FileDataMgr::uploadMeetingLog(const QString &fileName, const QString &url)
{
    m_uploads.append({fileName, url});
    emit meetingLogUploaded(fileName, url);
}
