// The one include for the system's declarations. On Windows they are the
// platform's own headers; on Linux they come from the simulated machine.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#include <shlwapi.h>
#include <stdio.h>
#else
#include "winsim/win32_api.h"
#include "winsim/crt.h"
#endif
