#include "files/leftover_files.h"

#include "files/file_tables.h"
#include "files/install_locations.h"
#include "files/recursive_delete.h"
#include "platform/change.h"
#include "platform/handles.h"
#include "platform/win32.h"
#include "run/log.h"
#include "run/text.h"

int DeleteWindowsFile(const char* format)
{
    char windows[kPathSize];
    char path[kPathSize];
    if (!ReadWindowsDirectory(windows) || !FormatPath(path, format, windows))
        return -1;
    char message[kMessageSize];
    if (change::DeleteFileA(path)) {
        FormatText(message, sizeof message, "Deleted file %s", path);
        LogMessage(message);
        return 0;
    }
    FormatText(message, sizeof message, "Unable to find or delete file %s", path);
    LogDebug(message);
    return -1;
}

void RemoveRbxSharedFiles()
{
    // Installed means its service key opens with full access.
    RegKey service;
    if (service.Open(HKEY_LOCAL_MACHINE, kRbxServiceKey) == ERROR_SUCCESS) {
        LogDebug("RBX is installed. Not removing shared files");
        return;
    }
    const char* message = "RBX does not appear to be installed. Cleaning up RBX shared files";
    LogMessage(message);
    printf("\n\n%s", message);
    DeleteWindowsFile(kRbxSharedFileFormat);
}

void RemoveLeftoverFiles()
{
    printf("\n\nRemoving any remaining Pelliton files");
    char windows[kPathSize];
    if (!ReadWindowsDirectory(windows))
        return;
    char drive[4];
    snprintf(drive, sizeof drive, "%.3s", windows);
    for (size_t i = 0; i < kLeftoverFileCount; i++) {
        char path[kPathSize];
        if (FormatPath(path, kLeftoverFiles[i].format, kLeftoverFiles[i].onSystemDrive ? drive : windows))
            DeleteFileOrSchedule(path);
    }
}
