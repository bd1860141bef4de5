#pragma once

#include "platform/win32.h"

// Deletes the key tree parentPath + name (parentPath ends in a backslash); 0 when deleted.
int DeleteRegKey(HKEY root, const char* parentPath, const char* name);
