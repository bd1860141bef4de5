#include "wmi/wmi_cleanup.h"

// Not built yet: the WMI repository is left as it is.
HRESULT RunWmiCleanup(int)
{
    return 0;
}
