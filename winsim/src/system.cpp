// Last error, clock, message box, and the C runtime's console and file calls.
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>

#include "winsim/crt.h"
#include "winsim/machine.h"

// crt.h renames the runtime calls for the program; here the real ones are needed.
#undef printf
#undef fopen
#undef fclose

using winsim::Current;

DWORD WINAPI GetLastError()
{
    return Current().lastError;
}

void WINAPI SetLastError(DWORD code)
{
    Current().lastError = code;
}

void WINAPI GetLocalTime(LPSYSTEMTIME time)
{
    const winsim::Machine& m = Current();
    struct tm base = {};
    base.tm_year = m.localTime.wYear - 1900;
    base.tm_mon = m.localTime.wMonth - 1;
    base.tm_mday = m.localTime.wDay;
    base.tm_hour = m.localTime.wHour;
    base.tm_min = m.localTime.wMinute;
    base.tm_sec = m.localTime.wSecond;
    uint64_t ms = m.localTime.wMilliseconds + m.elapsedMs;
    time_t seconds = timegm(&base) + static_cast<time_t>(ms / 1000);
    struct tm now;
    gmtime_r(&seconds, &now);
    time->wYear = static_cast<WORD>(now.tm_year + 1900);
    time->wMonth = static_cast<WORD>(now.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(now.tm_wday);
    time->wDay = static_cast<WORD>(now.tm_mday);
    time->wHour = static_cast<WORD>(now.tm_hour);
    time->wMinute = static_cast<WORD>(now.tm_min);
    time->wSecond = static_cast<WORD>(now.tm_sec);
    time->wMilliseconds = static_cast<WORD>(ms % 1000);
}

DWORD WINAPI GetTickCount()
{
    const winsim::Machine& m = Current();
    return static_cast<DWORD>(m.tickBase + m.elapsedMs);  // wraps after 49.7 days, as on Windows
}

void WINAPI Sleep(DWORD milliseconds)
{
    Current().elapsedMs += milliseconds;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    // Recorded instead of shown: the run goes on as if OK had been pressed.
    Current().messageBoxes.push_back(winsim::MessageBoxRecord{text ? text : "", caption ? caption : "", type, owner});
    return IDOK;
}

int WsPrintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    char* text = nullptr;
    int length = vasprintf(&text, format, args);
    va_end(args);
    if (length < 0)
        return -1;
    Current().console.append(text, static_cast<size_t>(length));
    free(text);
    return length;
}

namespace {

struct OpenFile {
    std::string path;
    bool text = true;
    char* buffer = nullptr;  // open_memstream writes through these two
    size_t size = 0;
};

std::map<FILE*, std::unique_ptr<OpenFile>>& OpenFiles()
{
    static std::map<FILE*, std::unique_ptr<OpenFile>> files;
    return files;
}

}  // namespace

FILE* WsFopen(const char* path, const char* mode)
{
    winsim::Machine& m = Current();
    // Only the writing modes are served; the program never reads a file this way.
    if (!path || !mode || (mode[0] != 'a' && mode[0] != 'w')) {
        errno = EINVAL;
        return nullptr;
    }
    if (!*path || strlen(path) >= MAX_PATH) {
        errno = ENOENT;
        return nullptr;
    }
    std::string leaf;
    winsim::FileNode* parent = m.files.FindParent(path, &leaf);
    if (!parent) {
        errno = ENOENT;
        return nullptr;
    }
    if (m.TakeFault("fopen", path)) {
        errno = EACCES;
        return nullptr;
    }
    winsim::FileNode* node = m.files.Find(path);
    if (node && (node->directory || node->locked || (node->attributes & FILE_ATTRIBUTE_READONLY))) {
        errno = EACCES;
        return nullptr;
    }
    if (!node)
        node = m.files.AddFile(path, "", FILE_ATTRIBUTE_ARCHIVE);
    else if (mode[0] == 'w')
        node->content.clear();
    auto open = std::make_unique<OpenFile>();
    open->path = path;
    open->text = strchr(mode, 'b') == nullptr;
    FILE* file = open_memstream(&open->buffer, &open->size);
    if (!file)
        return nullptr;
    node->openByProgram++;
    OpenFiles()[file] = std::move(open);
    return file;
}

int WsFclose(FILE* file)
{
    auto it = OpenFiles().find(file);
    if (it == OpenFiles().end())
        return fclose(file);
    std::unique_ptr<OpenFile> open = std::move(it->second);
    OpenFiles().erase(it);
    int result = fclose(file);
    std::string written(open->buffer ? open->buffer : "", open->size);
    free(open->buffer);
    // Text mode writes every line feed as carriage return and line feed.
    std::string bytes;
    for (char c : written) {
        if (open->text && c == '\n')
            bytes += '\r';
        bytes += c;
    }
    if (winsim::FileNode* node = Current().files.Find(open->path)) {
        node->content += bytes;
        if (node->openByProgram > 0)
            node->openByProgram--;
    }
    return result;
}
