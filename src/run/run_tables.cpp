#include "run/run_tables.h"

// Printed one entry at a time, exactly as listed.
const char* const kHelpText[] = {
    "\nPellsweep.exe is a commandline utility to remove registry entries and files left behind after the "
    "uninstallation of Qarvex Pelliton",
    "\n\nPellsweep.exe -l logfile.log -d -c -r -h",
    "\n\nValid parameters:",
    "\n\n  -l Log application messages to specified log file",
    "\n  -d Log debug messages",
    "\n  -c Clean up after a Pelliton uninstall",
    "\n  -r Remove the Legacy SMBUS driver (I2C)",
    "\n  -h Display this help",
    "\n\nExample:",
    "\n\n  Log application and debug messages to the file C:\\clean.log for the \n  cleanup option",
    "\n\n    Pellsweep -l C:\\clean.log -d -c\n",
};
const size_t kHelpTextCount = sizeof kHelpText / sizeof kHelpText[0];

const char* const kI2cServiceName = "I2C";
const char* const kI2cEnumRootObject = "MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\Root";
const char* const kI2cEnumRootPath = "SYSTEM\\CurrentControlSet\\Enum\\Root\\";
const char* const kI2cEnumKeyName = "LEGACY_I2C";
const char* const kServicesPath = "SYSTEM\\CurrentControlSet\\Services\\";
const char* const kI2cDriverFileFormat = "%s\\system32\\drivers\\SBUSNT.sys";
