#pragma once
#include <QtCore/qglobal.h>

#if defined(MEETING_LIBRARY)
#define MEETING_EXPORT Q_DECL_EXPORT
#else
#define MEETING_EXPORT Q_DECL_IMPORT
#endif
