#pragma once

// Removes the suite's Run values and environment variables.
void RemoveEnvironmentAndRunValues();
// Uninstalls the suite's fix packages through the Windows Installer.
void RemoveHotpaks();
