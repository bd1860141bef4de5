#include "files/install_locations.h"

#include <cctype>
#include <cstring>

#include "files/file_tables.h"
#include "files/recursive_delete.h"
#include "platform/handles.h"
#include "platform/win32.h"
#include "run/log.h"
#include "run/text.h"

bool ReadWindowsDirectory(char* windows)
{
    UINT length = GetWindowsDirectoryA(windows, kPathSize);
    if (length == 0 || length >= kPathSize) {
        windows[0] = '\0';
        LogDebug("Unable to read the Windows directory");
        return false;
    }
    return true;
}

// Reads a value of any type as text. A value that does not fit, NUL included, counts as not found.
static bool ReadValueText(const RegKey& key, const char* name, char* buffer, DWORD size)
{
    buffer[0] = '\0';
    if (!key.Get())
        return false;
    DWORD length = size;
    if (RegQueryValueExA(key.Get(), name, NULL, NULL, reinterpret_cast<BYTE*>(buffer), &length) != ERROR_SUCCESS) {
        buffer[0] = '\0';
        return false;
    }
    // Registry data need not end in a NUL.
    if (length < size) {
        buffer[length] = '\0';
    } else if (buffer[size - 1] != '\0') {
        buffer[0] = '\0';
        return false;
    }
    return true;
}

// "X:\" and more: a path that names a place on a drive, not something relative to the current one.
static bool StartsAtDriveRoot(const char* path)
{
    return isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && path[2] == '\\';
}

// An install directory read from the registry is removed with everything in it, so
// it must name a directory below a drive root: an empty value, a bare drive or a
// path climbing out with ".." would take far more than the suite's files.
static bool IsDirectoryBelowRoot(const char* path)
{
    if (!StartsAtDriveRoot(path))
        return false;
    bool named = false;
    const char* component = path + 3;
    while (*component) {
        size_t length = strcspn(component, "\\/");
        if ((length == 1 && component[0] == '.') || (length == 2 && strncmp(component, "..", 2) == 0))
            return false;
        if (length > 0)
            named = true;
        component += length;
        if (*component)
            component++;
    }
    return named;
}

static bool ReadInstallPath(const RegKey& key, const char* name, char* path)
{
    if (!ReadValueText(key, name, path, kPathSize))
        return false;
    if (IsDirectoryBelowRoot(path))
        return true;
    char message[kMessageSize];
    FormatText(message, sizeof message, "Ignoring the install path %s: it does not name a directory on a drive", path);
    LogDebug(message);
    path[0] = '\0';
    return false;
}

int GetSystemFolders(char* drive, char* commonPrograms, char* programFiles)
{
    int failed = 0;
    drive[0] = '\0';
    commonPrograms[0] = '\0';
    programFiles[0] = '\0';
    {
        RegKey shellFolders;
        if (shellFolders.Open(HKEY_LOCAL_MACHINE, kShellFoldersKey) != ERROR_SUCCESS) {
            LogDebug("Failed to open Shell Folders Registry Key");
            failed = 1;
        } else if (!ReadValueText(shellFolders, kCommonProgramsValue, commonPrograms, kPathSize) ||
                   !StartsAtDriveRoot(commonPrograms)) {
            LogDebug("Failed to get Common Programs path from registry");
            failed = 1;
        }
    }
    RegKey currentVersion;
    if (currentVersion.Open(HKEY_LOCAL_MACHINE, kCurrentVersionKey) != ERROR_SUCCESS) {
        LogDebug("Failed to open Current Version Registry Key for Program Files Valuename");
        return 0;
    }
    if (!ReadValueText(currentVersion, kProgramFilesValue, programFiles, kPathSize) ||
        !StartsAtDriveRoot(programFiles)) {
        LogDebug("Failed to get Program Files path from registry");
        failed = 1;
    }
    // The system drive keeps its backslash: D:\ for D:\Program Files.
    snprintf(drive, 4, "%.3s", programFiles);
    return !failed;
}

int GetXqsVersion(char* version)
{
    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kXqsKey) != ERROR_SUCCESS)
        LogDebug("Failed to open XQS Registry Key");
    if (!ReadValueText(key, kXqsVersionValue, version, 5)) {
        LogDebug("Failed to get XQS version from registry");
        version[0] = '\0';
        return -1;
    }
    return 0;
}

int GetXqsPath(const char* version, char* path)
{
    int result = 0;
    path[0] = '\0';
    // An empty version leaves two backslashes at the end; the registry reads them as
    // one, so the XQS key itself is searched, where the path is not normally kept.
    char keyPath[kPathSize];
    if (!FormatPath(keyPath, "%s%s\\", kXqsKey, version))
        return -1;
    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, keyPath) != ERROR_SUCCESS) {
        LogDebug("Failed to open XQS Registry Key");
        result = -1;
    }
    if (!ReadInstallPath(key, kXqsPathValue, path)) {
        LogDebug("Failed to get XQS path from registry");
        result = -1;
    }
    return result;
}

int GetPellitonRoot(char* path)
{
    int result = 0;
    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kPellitonKey) != ERROR_SUCCESS) {
        LogDebug("Failed to open Pelliton Registry Key");
        result = -1;
    }
    if (!ReadInstallPath(key, kPellitonRootValue, path)) {
        // The same text as the agent layer's lookup.
        LogDebug("Failed to get XQS path from registry");
        result = -1;
    }
    return result;
}

static void RemoveFormattedDirectory(const char* format, const char* base)
{
    char directory[kPathSize];
    if (FormatPath(directory, format, base))
        RemoveDirectoryTree(directory);
}

void RemoveInstallDirectories()
{
    char drive[4];
    char commonPrograms[kPathSize];
    char programFiles[kPathSize];
    if (!GetSystemFolders(drive, commonPrograms, programFiles))
        return;

    char version[5];
    GetXqsVersion(version);
    char directory[kPathSize];
    if (GetXqsPath(version, directory) == 0) {
        RemoveDirectoryTree(directory);
    } else {
        LogMessage("Could not find the XQS path in the registry. Assuming path is SYS_DRIVE\\Program Files\\XQS");
        RemoveFormattedDirectory(kXqsDefaultFormat, programFiles);
    }

    if (GetPellitonRoot(directory) == 0) {
        RemoveDirectoryTree(directory);
    } else {
        LogMessage(
            "Could not find the Pelliton path in the registry. Assuming path is SYS_DRIVE\\Program Files\\Pelliton");
        RemoveFormattedDirectory(kPellitonDefaultFormat, programFiles);
    }

    RemoveFormattedDirectory(kLogsDirectoryFormat, drive);
    RemoveFormattedDirectory(kDeskreachDirectoryFormat, programFiles);
    for (size_t i = 0; i < kStartMenuFolderCount; i++)
        RemoveFormattedDirectory(kStartMenuFolderFormats[i], commonPrograms);
}
