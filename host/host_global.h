#pragma once
#include <QtCore/qglobal.h>

#if defined(IMHOST_LIBRARY)
#define IMHOST_EXPORT Q_DECL_EXPORT
#else
#define IMHOST_EXPORT Q_DECL_IMPORT
#endif
