#include "sharelabel.h"
#include <QStringList>
#include <algorithm>

namespace qtwebrtc::rtc {

namespace {
const QString kPrefix = QStringLiteral("share:");
// Ids travel as JSON numbers, exact only up to 2^53.
constexpr qint64 kMaxId = (qint64(1) << 53) - 1;
constexpr int kPictureShare = 2; // the only kind this engine publishes

bool digitsOnly(const QString &s)
{
    return !s.isEmpty() && s.size() <= 16 &&
           std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}
} // namespace

QString ShareLabel::display() const
{
    return kPrefix + QString::number(uid) + u':' + QString::number(type);
}

bool ShareLabel::looksLikeShare(const QString &display)
{
    return display.startsWith(kPrefix);
}

std::optional<ShareLabel> ShareLabel::parse(const QString &display)
{
    if (!looksLikeShare(display))
        return std::nullopt;
    const QStringList parts = display.mid(kPrefix.size()).split(u':');
    if (parts.size() != 2 || !digitsOnly(parts[0]) || !digitsOnly(parts[1]))
        return std::nullopt;
    const ShareLabel label{parts[0].toLongLong(), parts[1].toInt()};
    if (label.uid <= 0 || label.uid > kMaxId || label.type != kPictureShare)
        return std::nullopt;
    return label;
}

QString ShareLabel::shareId(quint64 feed)
{
    return QStringLiteral("share-") + QString::number(feed);
}

} // namespace qtwebrtc::rtc
