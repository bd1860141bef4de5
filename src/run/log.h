// The application and debug log: two levels of one file named with -l.
#pragma once

#include <string>

struct LogSettings {
    int logging = 0;   // set by -l
    int debug = 0;     // set by -d
    std::string path;  // the argument after -l, kept whole
};

extern LogSettings g_logSettings;

// Progress and outcome lines: written when logging or debug logging is on.
void LogMessage(const char* text);
// Failure details: written only when debug logging is on.
void LogDebug(const char* text);
