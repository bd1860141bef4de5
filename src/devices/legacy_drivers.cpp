#include "devices/legacy_drivers.h"

// Not built yet.
void RemoveLegacyDrivers()
{
}
