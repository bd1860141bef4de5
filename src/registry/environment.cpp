#include "registry/environment.h"

// Not built yet.
void RemoveEnvironmentAndRunValues()
{
}

// Not built yet.
void RemoveHotpaks()
{
}
