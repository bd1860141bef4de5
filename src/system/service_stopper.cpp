#include "system/service_stopper.h"

// Not built yet: no service is stopped and no process terminated.
int StopServicesAndProcesses()
{
    return 0;
}
