#pragma once

#include "platform/win32.h"

// The WMI repository cleanup of the three namespaces and the autorecover list.
HRESULT RunWmiCleanup(int debugLogging);
