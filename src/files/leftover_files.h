// Single files the suite leaves outside its own directories.
#pragma once

// A plain deletion of a file under the Windows directory (format with one %s):
// nothing is scheduled for restart when the file is in use. 0 deleted, -1 not.
int DeleteWindowsFile(const char* format);

// Deletes the restart feature's shared DLL unless that feature is still installed.
void RemoveRbxSharedFiles();
// Deletes the fixed list of leftover files, scheduling those in use for the next restart.
void RemoveLeftoverFiles();
