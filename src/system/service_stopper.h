#pragma once

// Stops the services of the stop list, then terminates the processes of the kill list.
int StopServicesAndProcesses();
