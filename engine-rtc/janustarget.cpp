#include "janustarget.h"
#include <QHostAddress>
#include <QUrlQuery>

namespace qtwebrtc::rtc {

namespace {
// Janus room numbers travel as JSON numbers, exact only up to 2^53.
constexpr quint64 kMaxRoom = (quint64(1) << 53) - 1;
} // namespace

bool JanusTarget::isLoopback() const
{
    const QString host = url.host();
    return host == QStringLiteral("localhost") || QHostAddress(host).isLoopback();
}

JanusTarget JanusTarget::fromMediaUrl(const QString &mediaServerUrl, const QString &envUrl,
                                      const QString &envRoom)
{
    const QUrlQuery query(QUrl(mediaServerUrl).query());
    const QString urlText = query.hasQueryItem(QStringLiteral("janus"))
                                ? query.queryItemValue(QStringLiteral("janus"), QUrl::FullyDecoded)
                                : envUrl;
    const QString roomText = query.hasQueryItem(QStringLiteral("room"))
                                 ? query.queryItemValue(QStringLiteral("room"))
                                 : envRoom;
    JanusTarget t;
    t.url = QUrl(urlText, QUrl::StrictMode);
    t.secret = query.queryItemValue(QStringLiteral("secret"), QUrl::FullyDecoded);
    t.host = qMax(0LL, query.queryItemValue(QStringLiteral("host")).toLongLong());
    bool ok = false;
    t.room = roomText.toULongLong(&ok);
    const QString scheme = t.url.scheme();
    if (!t.url.isValid() || t.url.host().isEmpty() ||
        (scheme != QStringLiteral("ws") && scheme != QStringLiteral("wss")))
        t.error = QStringLiteral("the media server address names no Janus WebSocket URL");
    else if (!ok || t.room == 0 || t.room > kMaxRoom)
        t.error = QStringLiteral("the media server address names no valid Janus room");
    return t;
}

JanusTarget JanusTarget::fromMediaUrl(const QString &mediaServerUrl)
{
    return fromMediaUrl(mediaServerUrl, qEnvironmentVariable("MEETING_JANUS_URL"),
                        qEnvironmentVariable("MEETING_JANUS_ROOM"));
}

} // namespace qtwebrtc::rtc
