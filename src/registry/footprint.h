#pragma once

// Removes the keys and values of the footprint tables.
void RemoveRegistryFootprint();
