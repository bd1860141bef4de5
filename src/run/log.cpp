#include "run/log.h"

#include "platform/win32.h"
#include "run/text.h"

LogSettings g_logSettings;

static void WriteLogLine(const char* text)
{
    // Opened and closed for every line, so each line is on disk when we return.
    FILE* file = fopen(g_logSettings.path.c_str(), "a+");
    if (!file) {
        char message[kMessageSize];
        FormatText(message, sizeof message,
                   "The %s application has encountered a problem opening the log file %s. Please contact your "
                   "local Administrator or Qarvex technical support for further assistance with this error.",
                   "Pellsweep", "Pellsweep.log");
        MessageBoxA(NULL, message, "Application Execution Error", MB_OK | MB_ICONERROR);
        return;
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    fprintf(file, "%d/%d/%d %d:%d:%-2d - %s\n", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
            now.wSecond, text);
    fclose(file);
}

void LogMessage(const char* text)
{
    if (g_logSettings.logging > 0 || g_logSettings.debug > 0)
        WriteLogLine(text);
}

void LogDebug(const char* text)
{
    if (g_logSettings.debug > 0)
        WriteLogLine(text);
}
