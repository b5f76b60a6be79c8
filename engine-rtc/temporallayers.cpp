#include "temporallayers.h"
#include <QList>
#include <QRegularExpression>
#include <initializer_list>

namespace qtwebrtc::rtc {

namespace {
// vp8enc takes these as the deprecated GValueArray.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS
void setInts(GstElement *e, const char *property, std::initializer_list<int> values)
{
    GValueArray *a = g_value_array_new(guint(values.size()));
    for (int v : values) {
        GValue x = G_VALUE_INIT;
        g_value_init(&x, G_TYPE_INT);
        g_value_set_int(&x, v);
        g_value_array_append(a, &x);
        g_value_unset(&x);
    }
    g_object_set(e, property, a, nullptr);
    g_value_array_free(a);
}
G_GNUC_END_IGNORE_DEPRECATIONS
} // namespace

// Frames of a period: layers 0, 2, 1, 2. The first three refer only to layer 0, so a receiver
// may move up at either of them; the last one also to the layer 1 frame just before it. No
// upper frame changes the entropy context, or a receiver without them would decode layer 0
// wrongly.
void TemporalLayers::configure(GstElement *encoder, int bitrate)
{
    g_object_set(encoder, "temporal-scalability-number-layers", 3,
                 "temporal-scalability-periodicity", 4, nullptr);
    setInts(encoder, "temporal-scalability-rate-decimator", {4, 2, 1});
    setInts(encoder, "temporal-scalability-target-bitrate",
            {bitrate * 2 / 5, bitrate * 3 / 5, bitrate});
    setInts(encoder, "temporal-scalability-layer-id", {0, 2, 1, 2});
    gst_util_set_object_arg(
        G_OBJECT(encoder), "temporal-scalability-layer-flags",
        "<no-ref-golden+no-ref-alt+no-upd-golden+no-upd-alt, "
        "no-ref-golden+no-ref-alt+no-upd-last+no-upd-golden+no-upd-alt+no-upd-entropy, "
        "no-ref-golden+no-ref-alt+no-upd-last+no-upd-alt+no-upd-entropy, "
        "no-upd-last+no-upd-golden+no-upd-alt+no-upd-entropy>");
    // Where a receiver may switch: every frame that refers to layer 0 alone.
    gst_util_set_object_arg(G_OBJECT(encoder), "temporal-scalability-layer-sync-flags",
                            "<true, true, true, false>");
}

QString TemporalLayers::announce(const QString &offer)
{
    const qsizetype video = offer.indexOf(QLatin1String("\r\nm=video"));
    if (video < 0)
        return offer;
    qsizetype end = offer.indexOf(QLatin1String("\r\nm="), video + 2);
    if (end < 0)
        end = offer.size();
    if (QStringView(offer).mid(video, end - video).contains(QLatin1String("a=ssrc-group:")))
        return offer;
    static const QRegularExpression ssrcLine(QStringLiteral("\r\na=ssrc:(\\d+) "));
    const QRegularExpressionMatch m = ssrcLine.match(offer, video);
    bool ok = false;
    const quint32 ssrc = m.hasMatch() ? m.captured(1).toUInt(&ok) : 0;
    if (!ok || m.capturedStart() >= end)
        return offer;
    QList<quint32> group{ssrc};
    for (quint32 c = ssrc + 1; group.size() < 3; ++c) {
        if (c != 0 && !offer.contains(QStringLiteral("a=ssrc:%1 ").arg(c)))
            group.append(c);
    }
    QString out = offer;
    out.insert(
        m.capturedStart() + 2,
        QStringLiteral("a=ssrc-group:SIM %1 %2 %3\r\n").arg(group[0]).arg(group[1]).arg(group[2]));
    return out;
}

} // namespace qtwebrtc::rtc
