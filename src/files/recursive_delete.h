// Deletion of files and directory trees, with deletion at the next restart for files in use.
#pragma once

// 0 deleted or nothing there, 1 registered for deletion at restart, -1 neither.
int DeleteFileOrSchedule(const char* path);
// Deletes everything below directory, not directory itself; 0, or -1 when it could not be listed to its end.
int RecursiveDelete(const char* directory);
// Deletes directory with everything below it; 0 or -1.
int RemoveDirectoryTree(const char* directory);
