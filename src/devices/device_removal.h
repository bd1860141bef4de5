#pragma once

// Removes the root-enumerated device of the named service; 1 when removed.
int RemoveDeviceByName(const char* name);
