#pragma once

// Removes the suite's legacy kernel drivers with their devices, keys and files.
void RemoveLegacyDrivers();
