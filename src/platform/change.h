// Every call that changes the machine goes through these functions, each with
// the arguments and result of the call it wraps. Reading calls do not. Keeping
// changes in one place lets a preview, an undo record or a report of changes
// observe them without touching the steps.
#pragma once

#include "platform/win32.h"

namespace change {

BOOL DeleteFileA(LPCSTR path);
BOOL RemoveDirectoryA(LPCSTR path);
BOOL SetFileAttributesA(LPCSTR path, DWORD attributes);
BOOL MoveFileExA(LPCSTR existing, LPCSTR newName, DWORD flags);
LONG RegDeleteValueA(HKEY key, LPCSTR valueName);
LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG SHDeleteKeyA(HKEY key, LPCSTR subKey);

}  // namespace change
