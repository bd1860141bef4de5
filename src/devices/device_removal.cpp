#include "devices/device_removal.h"

// Not built yet: no device is removed.
int RemoveDeviceByName(const char*)
{
    return 0;
}
