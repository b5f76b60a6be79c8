#pragma once
#include <QtCore/qglobal.h>

/// \file
/// The export macro of the module's shared library.

/// \def MEETING_EXPORT
/// Marks a class or function as part of the module's binary interface: exported while the
/// module itself is built (`MEETING_LIBRARY` defined), imported by clients, which define nothing.

#if defined(MEETING_LIBRARY)
#define MEETING_EXPORT Q_DECL_EXPORT
#else
#define MEETING_EXPORT Q_DECL_IMPORT
#endif
