#include "registry/filter_entries.h"

// Not built yet.
void RemoveFilterDriverEntries()
{
}

// Not built yet.
void RemoveBhDependency()
{
}
