#include "files/recursive_delete.h"

#include <cstring>

#include "platform/change.h"
#include "platform/handles.h"
#include "platform/win32.h"
#include "run/log.h"
#include "run/text.h"

// Only a plain, read-only or hidden directory is walked. One with any further
// attribute (archive, system, reparse point...) is handled like a file, which
// also keeps the walk from following a junction out of the tree.
static bool IsWalkableDirectory(DWORD attributes)
{
    return attributes >= 16 && attributes <= 19;
}

static void Report(const char* format, const char* path, const char* consolePrefix)
{
    char message[kMessageSize];
    FormatText(message, sizeof message, format, path);
    LogMessage(message);
    if (consolePrefix)
        printf("%s%s", consolePrefix, message);
}

static void ReportDebug(const char* format, const char* path)
{
    char message[kMessageSize];
    FormatText(message, sizeof message, format, path);
    LogDebug(message);
}

int DeleteFileOrSchedule(const char* path)
{
    change::SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (change::DeleteFileA(path)) {
        Report("Deleted file %s", path, "\n");
        return 0;
    }
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return 0;
    if (change::MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        Report("Marked locked file %s for deletion", path, "\n");
        return 1;
    }
    ReportDebug("Unable to register locked file %s for deletion", path);
    return -1;
}

int RecursiveDelete(const char* directory)
{
    char pattern[kPathSize];
    if (!FormatPath(pattern, "%s\\*", directory))
        return -1;
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA(pattern, &entry));
    if (!find.Valid()) {
        ReportDebug("RecursiveDelete is unable to find the directory %s", directory);
        return -1;
    }
    Report("Removing the contents of directory %s", directory, "\n\n");

    int result = 0;
    for (;;) {
        char path[kPathSize];
        bool dots = strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0;
        // Depth first: a subdirectory is emptied and removed while this listing stays open.
        if (!dots && FormatPath(path, "%s\\%s", directory, entry.cFileName)) {
            change::SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
            if (IsWalkableDirectory(entry.dwFileAttributes)) {
                RecursiveDelete(path);
                change::RemoveDirectoryA(path);
                Report("Removing directory %s", path, "\n");
            } else {
                DeleteFileOrSchedule(path);
            }
        }
        if (!FindNextFileA(find.Get(), &entry)) {
            if (GetLastError() != ERROR_NO_MORE_FILES) {
                ReportDebug("RecursiveDelete is unable to find the next file in directory %s", directory);
                result = -1;
            }
            break;
        }
    }
    return result;
}

int RemoveDirectoryTree(const char* directory)
{
    change::SetFileAttributesA(directory, FILE_ATTRIBUTE_NORMAL);
    int result = 0;
    if (RecursiveDelete(directory) != 0) {
        Report("Failed to remove the contents of directory %s", directory, nullptr);
        result = -1;
    }
    Report("Removing directory %s", directory, nullptr);
    if (!change::RemoveDirectoryA(directory)) {
        Report("Failed to remove the directory %s", directory, nullptr);
        return -1;
    }
    return result;
}
