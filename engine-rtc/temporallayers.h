#pragma once
#include <QString>
#include <gst/gst.h>

namespace qtwebrtc::rtc {

// The camera's VP8 in three temporal layers (a quarter, a half and all of the frames), so that
// Janus can forward fewer frames to a receiver that asks for a lower layer.
struct TemporalLayers
{
    // Sets up a vp8enc for the layers within `bitrate` bits per second.
    static void configure(GstElement *encoder, int bitrate);
    // Janus applies a receiver's temporal layer only to a publisher it takes for simulcast, and
    // webrtcbin cannot send simulcast: the offer's video gets a simulcast group whose first
    // SSRC is the one sent and whose other two are never sent, so Janus falls back to the first
    // and filters its layers. An offer without video SSRC or with a group already is unchanged.
    static QString announce(const QString &offer);
};

} // namespace qtwebrtc::rtc
