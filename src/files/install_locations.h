// Where the suite and the system keep the directories that the cleanup removes.
#pragma once

// Reads the Windows directory into a kPathSize buffer; false (with a debug line) when it does not fit.
bool ReadWindowsDirectory(char* windows);

// Nonzero when both system keys opened and both values were read.
// drive: 4 bytes; commonPrograms and programFiles: kPathSize bytes.
int GetSystemFolders(char* drive, char* commonPrograms, char* programFiles);
// 0 or -1; version: 5 bytes, empty on failure.
int GetXqsVersion(char* version);
// 0 or -1; path: kPathSize bytes.
int GetXqsPath(const char* version, char* path);
// 0 or -1; path: kPathSize bytes.
int GetPellitonRoot(char* path);

// Removes the install, log and Start-menu directories of the suite.
void RemoveInstallDirectories();
