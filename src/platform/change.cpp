#include "platform/change.h"

namespace change {

BOOL DeleteFileA(LPCSTR path)
{
    return ::DeleteFileA(path);
}

BOOL RemoveDirectoryA(LPCSTR path)
{
    return ::RemoveDirectoryA(path);
}

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes)
{
    return ::SetFileAttributesA(path, attributes);
}

BOOL MoveFileExA(LPCSTR existing, LPCSTR newName, DWORD flags)
{
    return ::MoveFileExA(existing, newName, flags);
}

LONG RegDeleteValueA(HKEY key, LPCSTR valueName)
{
    return ::RegDeleteValueA(key, valueName);
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size)
{
    return ::RegSetValueExA(key, valueName, reserved, type, data, size);
}

LONG SHDeleteKeyA(HKEY key, LPCSTR subKey)
{
    return ::SHDeleteKeyA(key, subKey);
}

}  // namespace change
