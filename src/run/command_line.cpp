#include "run/command_line.h"

#include <cstring>

#include "platform/win32.h"
#include "run/actions.h"
#include "run/log.h"
#include "run/run_tables.h"

static void PrintHelp()
{
    for (size_t i = 0; i < kHelpTextCount; i++)
        printf("%s", kHelpText[i]);
}

int RunCommandLine(int argc, char* argv[])
{
    if (argc < 2 || strcmp(argv[1], "-h") == 0) {
        PrintHelp();
        return 0;
    }
    for (int i = 1; i < argc; i++) {
        // Each test is made whatever the earlier ones found: after -l the
        // remaining tests look at the path argument.
        if (strcmp(argv[i], "-l") == 0 && i + 1 < argc) {
            g_logSettings.logging = 1;
            i++;
            g_logSettings.path = argv[i];
            LogMessage("Logging enabled");
        }
        if (strcmp(argv[i], "-d") == 0) {
            g_logSettings.debug = 1;
            LogDebug("Debug logging enabled");
        }
        if (strcmp(argv[i], "-c") == 0)
            RunCleanup();
        if (strcmp(argv[i], "-r") == 0)
            RemoveLegacyI2cDriver();
    }
    return 0;
}
