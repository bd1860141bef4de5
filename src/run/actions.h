// The two actions of the command line.
#pragma once

// -c: the full cleanup after the suite has been uninstalled.
void RunCleanup();
// -r: removal of the legacy SMBus driver, its keys and its driver file.
void RemoveLegacyI2cDriver();
