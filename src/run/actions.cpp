#include "run/actions.h"

#include "devices/device_removal.h"
#include "devices/legacy_drivers.h"
#include "files/install_locations.h"
#include "files/leftover_files.h"
#include "platform/win32.h"
#include "registry/environment.h"
#include "registry/filter_entries.h"
#include "registry/footprint.h"
#include "registry/registry_keys.h"
#include "run/log.h"
#include "run/run_tables.h"
#include "system/key_ownership.h"
#include "system/service_stopper.h"
#include "wmi/wmi_cleanup.h"

static void Heading(const char* text)
{
    LogMessage(text);
    printf("\n%s", text);
}

void RunCleanup()
{
    // WMI goes first because the stop step stops winmgmt; the stop step goes
    // before anything touches files, keys or fix packages.
    Heading("Removing WMI classes and deregistering COM objects");
    RunWmiCleanup(g_logSettings.debug);
    Heading("Stopping Pelliton Services");
    StopServicesAndProcesses();
    RemoveHotpaks();
    RemoveLegacyDrivers();
    RemoveInstallDirectories();
    RemoveRbxSharedFiles();
    RemoveLeftoverFiles();
    RemoveRegistryFootprint();
    RemoveEnvironmentAndRunValues();
    RemoveFilterDriverEntries();
    RemoveBhDependency();
}

void RemoveLegacyI2cDriver()
{
    StopServicesAndProcesses();
    RemoveDeviceByName(kI2cServiceName);
    if (!GrantAdministratorsAccess(kI2cEnumRootObject, SE_REGISTRY_KEY, GENERIC_ALL,
                                   SUB_CONTAINERS_AND_OBJECTS_INHERIT))
        LogMessage("Failed to change permissions for LEGACY_I2C registry key");
    DeleteRegKey(HKEY_LOCAL_MACHINE, kI2cEnumRootPath, kI2cEnumKeyName);
    DeleteRegKey(HKEY_LOCAL_MACHINE, kServicesPath, kI2cServiceName);
    DeleteWindowsFile(kI2cDriverFileFormat);
}
