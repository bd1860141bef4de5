#include "run/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "run/log.h"

bool FormatText(char* buffer, size_t size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int length = vsnprintf(buffer, size, format, args);
    va_end(args);
    buffer[size - 1] = '\0';
    return length >= 0 && static_cast<size_t>(length) < size;
}

bool FormatPath(char* path, const char* format, ...)
{
    // Large enough for any directory path joined with a listed name.
    char whole[1024];
    va_list args;
    va_start(args, format);
    int length = vsnprintf(whole, sizeof whole, format, args);
    va_end(args);
    whole[sizeof whole - 1] = '\0';
    if (length >= 0 && static_cast<size_t>(length) < kPathSize) {
        memcpy(path, whole, static_cast<size_t>(length) + 1);
        return true;
    }
    char message[sizeof whole + 64];
    snprintf(message, sizeof message, "Skipping a path longer than 255 characters: %s", whole);
    LogDebug(message);
    path[0] = '\0';
    return false;
}
