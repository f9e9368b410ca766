// The core layer over the device-management library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "vnsdm.h"

// Zero-filled allocation; null (with a trace) for zero bytes.
void *CoreMalloc(size_t size);
void CoreFree(void *p);

// Text of a device-library status.
const char *CoreErrorString(SD_STATUS status);

void CorePreInitialize();
void CoreInitialize();
// Opens instances 0 to 255 and adds them to the device list.
void CoreInitializeDevices();
void CoreInitializeTargets();
void CoreUninitialize();

// Registers the vendor library for the SNIA HBA API and makes the API
// available; the API itself is loaded by CoreUseHbaLibrary, on first use.
void CoreLoadHbaLibrary();
void CoreUseHbaLibrary();
// How many times this process asked for the SNIA HBA API to be loaded.
int CoreHbaLibraryLoads();
void CoreFreeHbaLibrary();
void CoreRestoreSniaRegistration();
// Start-up repair of the SNIA configuration file when nothing is registered (-z).
void CoreHealSniaConf();
// Why the SNIA HBA API cannot be used this run (our vendor library could not
// be listed, or -z); empty when it can.
const std::string &SniaHbaApiProblem();
