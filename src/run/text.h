// Bounded formatting of messages and paths.
#pragma once

#include <cstddef>

const size_t kMessageSize = 512;  // a finished message
const size_t kPathSize = 256;     // a path, key path or name: 255 characters and the NUL

// printf-style formatting into a fixed buffer; false when the text did not fit.
bool FormatText(char* buffer, size_t size, const char* format, ...) __attribute__((format(__printf__, 3, 4)));

// Forms a path into a kPathSize buffer. A path that would not fit is never cut
// short and used: it is refused with a debug line naming it, and false returned.
bool FormatPath(char* path, const char* format, ...) __attribute__((format(__printf__, 2, 3)));
