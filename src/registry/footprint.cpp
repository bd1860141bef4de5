#include "registry/footprint.h"

// Not built yet.
void RemoveRegistryFootprint()
{
}
