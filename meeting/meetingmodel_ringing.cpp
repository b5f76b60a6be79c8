#include "meetingmodel.h"
#include "settings.h"
#include <QDateTime>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {

const QString kStampFormat = QStringLiteral("yyyy-MM-dd_hh-mm-ss");
// A media server that never answers must not keep the request's manager alive for good.
constexpr int kRingingTimeoutMs = 30000;
// Keeps the whole file name far below common file-name limits.
constexpr int kMaxLogNameLength = 64;

QString logDirectory()
{
    const QString sep = QDir::separator();
    return AppDirManager::instance()->cacheDataDir() + QStringLiteral("log") + sep +
           QStringLiteral("meeting") + sep;
}

} // namespace

// The ringing endpoint on the media server's host, carrying the media server URL's query
// (which may hold tokens, so it never goes to a log). Empty when the URL has no usable host.
QUrl MeetingModel::ringingUrl(const QString &mediaServerUrl, bool ringing)
{
    const int hostStart = mediaServerUrl.indexOf(QLatin1String("//"));
    const int queryStart =
        hostStart < 0 ? -1 : mediaServerUrl.indexOf(QLatin1String("/?"), hostStart + 2);
    if (queryStart < 0)
        return {};
    QUrl url(QStringLiteral("https:%1/ringing?%2&status=%3")
                 .arg(mediaServerUrl.mid(hostStart, queryStart - hostStart),
                      mediaServerUrl.mid(queryStart + 2),
                      ringing ? QStringLiteral("ringing") : QStringLiteral("silent")));
    // A fragment would swallow the status parameter.
    if (!url.isValid() || url.host().isEmpty() || url.hasFragment())
        return {};
    return url;
}

// The meeting id part of a log file name: the id up to its first ':', reduced to ASCII letters,
// digits, '-' and '_' (anything else becomes '_'), so no id can reach outside the log directory
// or name a hidden file.
QString MeetingModel::logNamePart(const QString &meetingId)
{
    QString part = meetingId.section(QLatin1Char(':'), 0, 0).left(kMaxLogNameLength);
    for (QChar &c : part) {
        const char16_t u = c.unicode();
        const bool safe = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') ||
                          (u >= u'0' && u <= u'9') || u == u'-' || u == u'_';
        if (!safe)
            c = QLatin1Char('_');
    }
    return part;
}

void MeetingModel::reportRinging(bool ringing)
{
    m_ringing = ringing;
    if (m_info.mediaServerUrl.isEmpty()) {
        m_ringingPending = true;
        return;
    }
    const QUrl url = ringingUrl(m_info.mediaServerUrl, ringing);
    if (url.isEmpty()) {
        qCWarning(lcMeeting) << "ringing report not sent: unusable media server URL";
        return;
    }
    // Without a parent, so a report still goes out when the model is deleted meanwhile.
    auto *manager = new QNetworkAccessManager;
    connect(manager, &QNetworkAccessManager::finished, manager, &QObject::deleteLater,
            Qt::DirectConnection);
    QNetworkRequest request(url);
    request.setTransferTimeout(kRingingTimeoutMs);
    manager->get(request);
}

void MeetingModel::onNotifyRinging(QString ringing)
{
    if (ringing == QLatin1String("ringing"))
        setRingingStatus(MeetingDefines::RINGING);
    else if (ringing == QLatin1String("silent"))
        setRingingStatus(MeetingDefines::SILENT);
    else
        setRingingStatus(MeetingDefines::CALLING);
}

void MeetingModel::setRingingStatus(int status)
{
    if (m_ringingStatus == status)
        return;
    m_ringingStatus = status;
    emit ringingStatusChanged(m_ringingStatus);
}

void MeetingModel::onWriteLog(QString log, QString url)
{
    if (!url.isEmpty() && log.isEmpty()) {
        m_logUrl = url;
        return;
    }
    if (!m_logFile.isOpen() && !openLogFile())
        return;
    const QString stamp = QDateTime::currentDateTimeUtc().toString(kStampFormat);
    m_logFile.write((stamp + QLatin1String(": ") + log).toUtf8());
    // The log matters most when the process dies, so nothing waits in a buffer.
    m_logFile.flush();
}

bool MeetingModel::openLogFile()
{
    if (!QDir().mkpath(logDirectory())) {
        reportLogFailure();
        return false;
    }
    m_logFile.setFileName(logFileName());
    if (!m_logFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        reportLogFailure();
        return false;
    }
    return true;
}

// Once per model: the engine writes many lines, and each would fail the same way.
void MeetingModel::reportLogFailure()
{
    if (m_logFailureReported)
        return;
    m_logFailureReported = true;
    qCWarning(lcMeeting) << "meeting log cannot be written in" << logDirectory();
}

QString MeetingModel::logFileName() const
{
    return QStringLiteral("%1%2_%3.qt.txt")
        .arg(logDirectory(), logNamePart(m_info.meetingId),
             QDateTime::currentDateTime().toString(kStampFormat));
}
