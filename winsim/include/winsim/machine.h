// The simulated Windows machine behind the Win32 calls of winsim. Tests arrange
// it, run the program's code, then inspect what the calls left behind.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "winsim/win32_api.h"

namespace winsim {

// Windows compares names case-insensitively by upper-casing them.
std::string Upper(const std::string& text);
struct CaseLess {
    bool operator()(const std::string& a, const std::string& b) const { return Upper(a) < Upper(b); }
};

// ---------------------------------------------------------------- registry

struct RegValue {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct RegKeyNode {
    std::string name;
    RegKeyNode* parent = nullptr;
    bool deleted = false;
    std::vector<RegValue> values;  // in creation order, as the registry keeps them
    std::map<std::string, std::shared_ptr<RegKeyNode>, CaseLess> subkeys;  // enumerated in name order

    RegValue* FindValue(const std::string& valueName);
    // Replaces a value in place (keeping its position) or appends a new one.
    void SetValue(const std::string& valueName, DWORD type, const std::vector<BYTE>& data);
    bool DeleteValue(const std::string& valueName);
    RegKeyNode* FindSubkey(const std::string& subkeyName) const;
    std::string Path() const;  // "HKEY_LOCAL_MACHINE\..."
};

// Paths name the root in full or short ("HKEY_LOCAL_MACHINE\SOFTWARE\x" or
// "HKLM\SOFTWARE\x"); HKEY_CLASSES_ROOT is HKLM\SOFTWARE\Classes.
class Registry {
public:
    Registry();

    RegKeyNode* Root() { return root_.get(); }
    RegKeyNode* Find(const std::string& path) const;
    RegKeyNode* Create(const std::string& path);
    bool Exists(const std::string& path) const { return Find(path) != nullptr; }
    bool Delete(const std::string& path);

    void SetValue(const std::string& path, const std::string& name, DWORD type, const std::vector<BYTE>& data);
    void SetString(const std::string& path, const std::string& name, const std::string& value, DWORD type = REG_SZ);
    void SetDword(const std::string& path, const std::string& name, DWORD value);
    void SetMultiString(const std::string& path, const std::string& name, const std::vector<std::string>& entries);
    const RegValue* GetValue(const std::string& path, const std::string& name) const;
    bool HasValue(const std::string& path, const std::string& name) const { return GetValue(path, name) != nullptr; }
    std::string GetString(const std::string& path, const std::string& name) const;
    std::vector<std::string> GetMultiString(const std::string& path, const std::string& name) const;

    // The text format that regedit exports and imports ("Windows Registry Editor Version 5.00").
    void Import(const std::string& regText);
    std::string Export(const std::string& path = "HKEY_LOCAL_MACHINE") const;

    // Key under a root handle (HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT); null for others.
    RegKeyNode* RootFor(HKEY key) const;

private:
    std::shared_ptr<RegKeyNode> root_;  // HKEY_LOCAL_MACHINE
};

// ---------------------------------------------------------------- files

struct FileNode {
    std::string name;
    DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
    bool directory = false;
    bool locked = false;  // held open without sharing by another process
    int openByProgram = 0;
    std::string content;
    std::map<std::string, std::unique_ptr<FileNode>, CaseLess> children;
};

struct SplitPath {
    bool valid = false;
    char drive = 0;                  // upper-case letter
    std::vector<std::string> parts;  // components below the drive root
};

class FileSystem {
public:
    FileSystem();

    // Full DOS paths ("C:\dir\file"); repeated backslashes count as one and "/" as "\".
    static SplitPath Split(const std::string& path);
    // A path made full against the current directory, as the system does for relative names.
    std::string Absolute(const std::string& path) const;
    std::string currentDirectory = "C:\\";
    FileNode* Find(const std::string& path) const;
    FileNode* FindParent(const std::string& path, std::string* leaf) const;

    FileNode* AddDirectory(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_DIRECTORY);
    FileNode* AddFile(const std::string& path, const std::string& content = "",
                      DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);
    void Lock(const std::string& path, bool locked = true);
    bool Exists(const std::string& path) const { return Find(path) != nullptr; }
    bool IsDirectory(const std::string& path) const;
    DWORD Attributes(const std::string& path) const;
    std::string Content(const std::string& path) const;
    bool Remove(FileNode* parent, const std::string& leaf);

    // One line per entry below the drives, "dir <attrs> <path>" or "file <attrs> <path>",
    // in name order; the inverse of the scenario files.
    std::string Listing(const std::string& under = "") const;

private:
    std::map<char, std::unique_ptr<FileNode>> drives_;
};

// ---------------------------------------------------------------- the rest

struct MessageBoxRecord {
    std::string text;
    std::string caption;
    UINT type = 0;
    HWND owner = nullptr;
};

struct Fault {
    std::string call;      // "DeleteFileA", "RegOpenKeyExA", ...
    std::string argument;  // matched case-insensitively against the call's path or name; empty = any
    DWORD code = 0;
    int remaining = -1;  // -1 = every call
};

struct Handle {
    enum Kind { FindSearch, RegistryKey } kind;
    std::shared_ptr<RegKeyNode> key;
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

class Machine {
public:
    Machine();

    Registry registry;
    FileSystem files;
    std::string windowsDirectory = "C:\\WINDOWS";
    std::string console;  // everything the program printed, as it printed it
    std::vector<MessageBoxRecord> messageBoxes;
    std::vector<Fault> faults;
    DWORD lastError = 0;
    SYSTEMTIME localTime{2003, 11, 2, 4, 14, 7, 9, 0};
    uint64_t elapsedMs = 0;  // virtual time since localTime; Sleep advances it
    DWORD tickBase = 0;      // GetTickCount at elapsedMs 0 (may be set near the wrap)

    // Make the next matching call(s) fail with code.
    void FailCall(const std::string& call, DWORD code, const std::string& argument = "", int times = -1);
    // The code of a fault for this call and argument, consumed; 0 when none applies.
    DWORD TakeFault(const std::string& call, const std::string& argument);

    // Registry value where MoveFileExA records deletions for the next restart.
    std::vector<std::string> PendingFileRenames() const;
    // What the next start of Windows would do with those entries.
    void Restart();

    uintptr_t AddHandle(Handle handle);
    Handle* GetHandle(uintptr_t value);
    bool CloseHandleValue(uintptr_t value);
    size_t OpenHandleCount() const { return handles_.size(); }

private:
    std::map<uintptr_t, Handle> handles_;
    uintptr_t nextHandle_ = 0x100;
};

// The machine that winsim's Win32 calls act on.
Machine& Current();
// Replace it with a new, default machine: drive C:, C:\WINDOWS with system32 and drivers.
void Reset();

extern const char* const kSessionManagerKey;

}  // namespace winsim
