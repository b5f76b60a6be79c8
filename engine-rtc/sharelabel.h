#pragma once
#include <QString>
#include <optional>

namespace qtwebrtc::rtc {

// How a share feed names itself in a Janus room. Janus gives each publisher only an id and a
// display text; a share publishes under an id of its own, so its display text says whose share
// it is and of which kind, which lets receivers tell it from a camera. Other clients write these
// texts: anything that is not exactly this form is no share.
struct ShareLabel
{
    qint64 uid = 0;
    int type = 0;

    QString display() const;
    static bool looksLikeShare(const QString &display);
    static std::optional<ShareLabel> parse(const QString &display);
    // The share id the module sees: unique in the room while the feed lives.
    static QString shareId(quint64 feed);
};

} // namespace qtwebrtc::rtc
