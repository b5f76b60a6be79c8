#pragma once
#include <QLoggingCategory>

namespace qtwebrtc::rtc {
// The module's category, so one logging rule covers the module and its engine.
Q_DECLARE_LOGGING_CATEGORY(lcRtc)
} // namespace qtwebrtc::rtc
