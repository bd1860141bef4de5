#pragma once

#include "platform/win32.h"

// Gives the Administrators group the access to a named object; 1 when the new DACL is in place.
int GrantAdministratorsAccess(const char* objectName, SE_OBJECT_TYPE objectType, DWORD accessMask,
                              DWORD inheritance);
