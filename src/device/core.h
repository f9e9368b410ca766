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
// I/O and byte counters through the SNIA HBA API of port index `port` of the
// adapter whose port WWPN is given (0 the physical port, n its virtual port
// of VP index n - 1); false when the API cannot answer.
bool CoreSniaPortCounters(const uint8_t wwpn[8], uint32_t port, uint64_t &frames, uint64_t &bytes);
void CoreRestoreSniaRegistration();
// Start-up repair of the SNIA configuration file when nothing is registered (-z).
void CoreHealSniaConf();
// Why the SNIA HBA API cannot be used this run (our vendor library could not
// be listed, or -z); empty when it can.
const std::string &SniaHbaApiProblem();
