// locker.exe <path> <ready-file> [<release-file>]
//
// Test helper: holds <path> open with no sharing so that other processes
// cannot delete it, the way a running service holds its files. Creates
// <ready-file> once the handle is open so the caller knows the lock is in
// place, then waits until <release-file> appears (or forever when none is
// given; the test ends the whole Wine session instead).
#include <windows.h>

#include <stdio.h>

static bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        fprintf(stderr, "usage: locker <path> <ready-file> [<release-file>]\n");
        return 2;
    }
    const char* path = argv[1];
    const char* ready = argv[2];
    const char* release = argc == 4 ? argv[3] : nullptr;

    // OPEN_ALWAYS keeps an existing file's content and attributes.
    HANDLE locked = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (locked == INVALID_HANDLE_VALUE) {
        // A read-only file refuses write access; a read handle without sharing locks it just as well.
        locked = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (locked == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "locker: cannot open %s (error %lu)\n", path, GetLastError());
        return 1;
    }

    HANDLE signal = CreateFileA(ready, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (signal == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "locker: cannot create %s (error %lu)\n", ready, GetLastError());
        CloseHandle(locked);
        return 1;
    }
    CloseHandle(signal);

    while (release == nullptr || !Exists(release)) Sleep(50);

    CloseHandle(locked);
    return 0;
}
