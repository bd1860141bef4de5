// One owner per handle kind, so that every handle is released on every way out.
#pragma once

#include "platform/win32.h"

class RegKey {
public:
    RegKey() = default;
    ~RegKey() { Close(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    // Opens with full access, as every step does; returns the registry's code.
    LONG Open(HKEY root, const char* path)
    {
        Close();
        LONG code = RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key_);
        if (code != ERROR_SUCCESS)
            key_ = nullptr;
        return code;
    }
    HKEY Get() const { return key_; }
    void Close()
    {
        if (key_)
            RegCloseKey(key_);
        key_ = nullptr;
    }

private:
    HKEY key_ = nullptr;
};

class FindHandle {
public:
    explicit FindHandle(HANDLE handle) : handle_(handle) {}
    ~FindHandle()
    {
        if (Valid())
            FindClose(handle_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;

    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};
