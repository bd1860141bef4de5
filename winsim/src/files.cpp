// The simulated file system and the file calls over it.
#include <cctype>
#include <cstring>

#include "winsim/machine.h"

namespace winsim {

const DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | 0x100 /* temporary */ | 0x1000 /* offline */ |
                                  0x2000 /* not content indexed */;

namespace {

std::string AttributeLetters(DWORD attributes)
{
    std::string letters;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        letters += 'R';
    if (attributes & FILE_ATTRIBUTE_HIDDEN)
        letters += 'H';
    if (attributes & FILE_ATTRIBUTE_SYSTEM)
        letters += 'S';
    if (attributes & FILE_ATTRIBUTE_ARCHIVE)
        letters += 'A';
    return letters.empty() ? "-" : letters;
}

void ListTree(const FileNode* node, const std::string& path, std::string* out)
{
    for (const auto& entry : node->children) {
        const FileNode* child = entry.second.get();
        std::string childPath = path + "\\" + child->name;
        *out += std::string(child->directory ? "dir " : (child->locked ? "locked " : "file ")) +
                AttributeLetters(child->attributes & ~FILE_ATTRIBUTE_DIRECTORY) + " " + childPath + "\n";
        if (child->directory)
            ListTree(child, childPath, out);
    }
}

}  // namespace

FileSystem::FileSystem()
{
    auto root = std::make_unique<FileNode>();
    root->name = "C:";
    root->directory = true;
    root->attributes = FILE_ATTRIBUTE_DIRECTORY;
    drives_['C'] = std::move(root);
}

SplitPath FileSystem::Split(const std::string& path)
{
    SplitPath split;
    if (path.size() < 2 || !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':')
        return split;
    if (path.size() > 2 && path[2] != '\\' && path[2] != '/')
        return split;  // drive-relative paths are not used by the program
    split.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    std::string part;
    for (size_t i = 2; i <= path.size(); i++) {
        char c = i < path.size() ? path[i] : '\\';
        if (c == '\\' || c == '/') {
            if (part == "..") {
                if (!split.parts.empty())
                    split.parts.pop_back();
            } else if (!part.empty() && part != ".") {
                split.parts.push_back(part);
            }
            part.clear();
        } else {
            part += c;
        }
    }
    split.valid = true;
    return split;
}

std::string FileSystem::Absolute(const std::string& path) const
{
    bool drive = path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
    if (drive || path.empty())
        return path;
    if (path[0] == '\\' || path[0] == '/')
        return currentDirectory.substr(0, 2) + path;
    return currentDirectory + "\\" + path;
}

FileNode* FileSystem::Find(const std::string& path) const
{
    SplitPath split = Split(Absolute(path));
    if (!split.valid)
        return nullptr;
    auto drive = drives_.find(split.drive);
    if (drive == drives_.end())
        return nullptr;
    FileNode* node = drive->second.get();
    for (const std::string& part : split.parts) {
        if (!node->directory)
            return nullptr;
        auto child = node->children.find(part);
        if (child == node->children.end())
            return nullptr;
        node = child->second.get();
    }
    return node;
}

FileNode* FileSystem::FindParent(const std::string& path, std::string* leaf) const
{
    SplitPath split = Split(Absolute(path));
    if (!split.valid || split.parts.empty())
        return nullptr;
    *leaf = split.parts.back();
    std::string parent = std::string(1, split.drive) + ":\\";
    for (size_t i = 0; i + 1 < split.parts.size(); i++)
        parent += split.parts[i] + "\\";
    FileNode* node = Find(parent);
    return node && node->directory ? node : nullptr;
}

FileNode* FileSystem::AddDirectory(const std::string& path, DWORD attributes)
{
    SplitPath split = Split(Absolute(path));
    if (!split.valid)
        return nullptr;
    std::unique_ptr<FileNode>& drive = drives_[split.drive];
    if (!drive) {
        drive = std::make_unique<FileNode>();
        drive->name = std::string(1, split.drive) + ":";
        drive->directory = true;
        drive->attributes = FILE_ATTRIBUTE_DIRECTORY;
    }
    FileNode* node = drive.get();
    for (const std::string& part : split.parts) {
        auto child = node->children.find(part);
        if (child == node->children.end()) {
            auto created = std::make_unique<FileNode>();
            created->name = part;
            created->directory = true;
            created->attributes = FILE_ATTRIBUTE_DIRECTORY;
            child = node->children.emplace(part, std::move(created)).first;
        }
        node = child->second.get();
    }
    if (node != drive.get())
        node->attributes = attributes | FILE_ATTRIBUTE_DIRECTORY;
    return node;
}

FileNode* FileSystem::AddFile(const std::string& path, const std::string& content, DWORD attributes)
{
    SplitPath split = Split(Absolute(path));
    if (!split.valid || split.parts.empty())
        return nullptr;
    std::string parentPath = std::string(1, split.drive) + ":\\";
    for (size_t i = 0; i + 1 < split.parts.size(); i++)
        parentPath += split.parts[i] + "\\";
    FileNode* parent = AddDirectory(parentPath);
    auto file = std::make_unique<FileNode>();
    file->name = split.parts.back();
    file->attributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    file->content = content;
    FileNode* result = file.get();
    parent->children[file->name] = std::move(file);
    return result;
}

void FileSystem::Lock(const std::string& path, bool locked)
{
    if (FileNode* node = Find(path))
        node->locked = locked;
}

bool FileSystem::IsDirectory(const std::string& path) const
{
    FileNode* node = Find(path);
    return node && node->directory;
}

DWORD FileSystem::Attributes(const std::string& path) const
{
    FileNode* node = Find(path);
    return node ? node->attributes : INVALID_FILE_ATTRIBUTES;
}

std::string FileSystem::Content(const std::string& path) const
{
    FileNode* node = Find(path);
    return node ? node->content : "";
}

bool FileSystem::Remove(FileNode* parent, const std::string& leaf)
{
    return parent->children.erase(leaf) != 0;
}

std::string FileSystem::Listing(const std::string& under) const
{
    std::string out;
    if (!under.empty()) {
        if (FileNode* node = Find(under)) {
            SplitPath split = Split(under);
            std::string path = std::string(1, split.drive) + ":";
            for (const std::string& part : split.parts)
                path += "\\" + part;
            if (node->directory)
                ListTree(node, path, &out);
        }
        return out;
    }
    for (const auto& drive : drives_)
        ListTree(drive.second.get(), drive.second->name, &out);
    return out;
}

}  // namespace winsim

// ---------------------------------------------------------------- file calls

using winsim::Current;
using winsim::FileNode;

namespace {

// The checks every ANSI path call makes before it touches anything.
bool PathUsable(LPCSTR path)
{
    if (!path || !*path) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    // The ANSI calls refuse paths that do not fit MAX_PATH.
    if (strlen(path) >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    if (!winsim::FileSystem::Split(Current().files.Absolute(path)).valid) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    return true;
}

// Finds the node of a path, setting the documented not-found codes:
// a missing last component is ERROR_FILE_NOT_FOUND, a missing parent ERROR_PATH_NOT_FOUND.
FileNode* Resolve(LPCSTR path, FileNode** parent = nullptr, std::string* leaf = nullptr)
{
    winsim::Machine& m = Current();
    std::string name;
    FileNode* dir = m.files.FindParent(path, &name);
    if (parent)
        *parent = dir;
    if (leaf)
        *leaf = name;
    FileNode* node = m.files.Find(path);
    if (node)
        return node;
    SetLastError(dir ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    return nullptr;
}

bool Fault(const char* call, LPCSTR path)
{
    if (DWORD code = Current().TakeFault(call, path)) {
        SetLastError(code);
        return true;
    }
    return false;
}

bool WildcardMatch(const char* pattern, const char* name)
{
    if (*pattern == '\0')
        return *name == '\0';
    if (*pattern == '*')
        return WildcardMatch(pattern + 1, name) || (*name && WildcardMatch(pattern, name + 1));
    if (*name == '\0')
        return false;
    if (*pattern == '?' || std::toupper(static_cast<unsigned char>(*pattern)) ==
                               std::toupper(static_cast<unsigned char>(*name)))
        return WildcardMatch(pattern + 1, name + 1);
    return false;
}

WIN32_FIND_DATAA FindData(const std::string& name, DWORD attributes, size_t size)
{
    WIN32_FIND_DATAA data;
    memset(&data, 0, sizeof data);
    data.dwFileAttributes = attributes;
    data.nFileSizeLow = static_cast<DWORD>(size);
    snprintf(data.cFileName, sizeof data.cFileName, "%s", name.c_str());
    return data;
}

}  // namespace

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data)
{
    winsim::Machine& m = Current();
    if (!PathUsable(pattern))
        return INVALID_HANDLE_VALUE;
    if (Fault("FindFirstFileA", pattern))
        return INVALID_HANDLE_VALUE;
    std::string text = pattern;
    size_t slash = text.find_last_of("\\/");
    if (slash == std::string::npos) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::string dirPath = text.substr(0, slash + 1);
    std::string mask = text.substr(slash + 1);
    FileNode* dir = m.files.Find(dirPath);
    if (!dir) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (!dir->directory) {
        SetLastError(ERROR_DIRECTORY);
        return INVALID_HANDLE_VALUE;
    }
    winsim::Handle handle{winsim::Handle::FindSearch, nullptr, {}, 0};
    // A drive's root has no "." and ".." entries; every other directory lists them first.
    bool isRoot = winsim::FileSystem::Split(m.files.Absolute(dirPath)).parts.empty();
    if (!isRoot) {
        for (const char* dot : {".", ".."}) {
            if (WildcardMatch(mask.c_str(), dot))
                handle.entries.push_back(FindData(dot, FILE_ATTRIBUTE_DIRECTORY, 0));
        }
    }
    for (const auto& entry : dir->children) {
        if (WildcardMatch(mask.c_str(), entry.second->name.c_str()))
            handle.entries.push_back(
                FindData(entry.second->name, entry.second->attributes, entry.second->content.size()));
    }
    if (handle.entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *data = handle.entries[0];
    handle.next = 1;
    return reinterpret_cast<HANDLE>(m.AddHandle(handle));
}

BOOL WINAPI FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data)
{
    winsim::Machine& m = Current();
    winsim::Handle* handle = m.GetHandle(reinterpret_cast<uintptr_t>(find));
    if (!handle || handle->kind != winsim::Handle::FindSearch) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (Fault("FindNextFileA", "")) 
        return FALSE;
    if (handle->next >= handle->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *data = handle->entries[handle->next++];
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE find)
{
    winsim::Machine& m = Current();
    winsim::Handle* handle = m.GetHandle(reinterpret_cast<uintptr_t>(find));
    if (!handle || handle->kind != winsim::Handle::FindSearch) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    m.CloseHandleValue(reinterpret_cast<uintptr_t>(find));
    return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR path)
{
    if (!PathUsable(path))
        return INVALID_FILE_ATTRIBUTES;
    FileNode* node = Resolve(path);
    return node ? node->attributes : INVALID_FILE_ATTRIBUTES;
}

BOOL WINAPI SetFileAttributesA(LPCSTR path, DWORD attributes)
{
    if (!PathUsable(path) || Fault("SetFileAttributesA", path))
        return FALSE;
    FileNode* node = Resolve(path);
    if (!node)
        return FALSE;
    DWORD kept = attributes & winsim::kSettableAttributes;
    if (node->directory)
        node->attributes = kept | FILE_ATTRIBUTE_DIRECTORY;
    else
        node->attributes = kept ? kept : FILE_ATTRIBUTE_NORMAL;
    return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR path)
{
    if (!PathUsable(path) || Fault("DeleteFileA", path))
        return FALSE;
    FileNode* parent = nullptr;
    std::string leaf;
    FileNode* node = Resolve(path, &parent, &leaf);
    if (!node)
        return FALSE;
    if (node->directory || (node->attributes & FILE_ATTRIBUTE_READONLY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (node->locked || node->openByProgram) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    Current().files.Remove(parent, leaf);
    return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR path)
{
    if (!PathUsable(path) || Fault("RemoveDirectoryA", path))
        return FALSE;
    FileNode* parent = nullptr;
    std::string leaf;
    FileNode* node = Resolve(path, &parent, &leaf);
    if (!node)
        return FALSE;
    if (!node->directory) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    if (!parent || (node->attributes & FILE_ATTRIBUTE_READONLY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!node->children.empty()) {
        SetLastError(ERROR_DIR_NOT_EMPTY);
        return FALSE;
    }
    Current().files.Remove(parent, leaf);
    return TRUE;
}

BOOL WINAPI MoveFileExA(LPCSTR existing, LPCSTR newName, DWORD flags)
{
    winsim::Machine& m = Current();
    if (!PathUsable(existing) || (newName && !PathUsable(newName)) || Fault("MoveFileExA", existing))
        return FALSE;
    if (!(flags & MOVEFILE_DELAY_UNTIL_REBOOT)) {
        // Immediate moves are not something the program does.
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The system records full NT paths and does not look at the file now.
    auto ntPath = [](LPCSTR path) {
        winsim::SplitPath split = winsim::FileSystem::Split(Current().files.Absolute(path));
        std::string result = std::string("\\??\\") + split.drive + ":";
        for (const std::string& part : split.parts)
            result += "\\" + part;
        if (split.parts.empty())
            result += "\\";
        return result;
    };
    std::vector<std::string> pending = m.PendingFileRenames();
    pending.push_back(ntPath(existing));
    pending.push_back(newName ? "!" + ntPath(newName) : "");
    m.registry.SetMultiString(winsim::kSessionManagerKey, "PendingFileRenameOperations", pending);
    return TRUE;
}

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size)
{
    winsim::Machine& m = Current();
    if (DWORD code = m.TakeFault("GetWindowsDirectoryA", "")) {
        SetLastError(code);
        return 0;
    }
    UINT length = static_cast<UINT>(m.windowsDirectory.size());
    if (!buffer || size <= length)
        return length + 1;
    memcpy(buffer, m.windowsDirectory.c_str(), length + 1);
    return length;
}
