// The names the file steps work from: where the suite's directories are
// recorded, what they are called, and the files it leaves behind.
#pragma once

#include <cstddef>

extern const char* const kShellFoldersKey;
extern const char* const kCommonProgramsValue;
extern const char* const kCurrentVersionKey;
extern const char* const kProgramFilesValue;

extern const char* const kXqsKey;
extern const char* const kXqsVersionValue;
extern const char* const kXqsPathValue;
extern const char* const kXqsDefaultFormat;
extern const char* const kPellitonKey;
extern const char* const kPellitonRootValue;
extern const char* const kPellitonDefaultFormat;

extern const char* const kLogsDirectoryFormat;       // with the system drive
extern const char* const kDeskreachDirectoryFormat;  // with the ProgramFilesDir path
extern const char* const kStartMenuFolderFormats[];  // with the Common Programs folder
extern const size_t kStartMenuFolderCount;

extern const char* const kRbxServiceKey;
extern const char* const kRbxSharedFileFormat;

struct LeftoverFile {
    const char* format;  // one %s
    bool onSystemDrive;  // filled with the system drive instead of the Windows directory
};
extern const LeftoverFile kLeftoverFiles[];
extern const size_t kLeftoverFileCount;
