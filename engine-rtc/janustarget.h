#pragma once
#include <QString>
#include <QUrl>

namespace qtwebrtc::rtc {

// Where the media of a call goes: the Janus WebSocket address and the VideoRoom number, read
// from the media server URL's query ("janus", "room") or, for what the query lacks, from the
// environment (MEETING_JANUS_URL, MEETING_JANUS_ROOM). The meeting's host engine also gets the
// room's secret ("secret"), which Janus asks for to remove a participant; every engine may be
// told who the host is ("host"), as a removal names no one.
struct JanusTarget
{
    QUrl url;
    quint64 room = 0;
    QString secret; // never logged
    qint64 host = 0;
    QString error; // empty when both were found and valid; never quotes the URL

    bool isValid() const { return error.isEmpty(); }
    bool isLoopback() const;

    static JanusTarget fromMediaUrl(const QString &mediaServerUrl, const QString &envUrl,
                                    const QString &envRoom);
    static JanusTarget fromMediaUrl(const QString &mediaServerUrl);
};

} // namespace qtwebrtc::rtc
