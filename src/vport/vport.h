// Virtual ports of a physical port: list, create, delete, bind to a virtual
// fabric. Each operation prints its own messages and answers its status.
#pragma once

#include <cstdint>
#include <vector>

#include "tavro_api.h"

// Refusals and failures of the virtual-port operations.
enum VportStatus : int {
    kVportArgumentInvalid = 282, // VPORT_ARGUMENT_INVALID
    kVportNotAllowed = 286,      // VPORT_NOT_ALLOWED: a virtual port named as the HBA
    kVportWwpnReserved = 287,    // VPORT_WWPN_RESERVED: second byte 00 to 03
    kVportWwpnInUse = 293,       // VPORT_WWPN_IN_USE
    kVportNotFound = 119,        // DEVICE_NOT_FOUND: no such virtual port
    kVportUnsupported = 121,     // FEATURE_UNSUPPORTED: no NPIV on the port
    kVportOsUnsupported = 7,     // HBA_OPTION_UNSUPPORTED: Hyper-V queries on Linux
};

// The physical WWPN with its second byte replaced.
void VirtualWwpn(const uint8_t phys[8], uint8_t secondByte, uint8_t out[8]);
// A generated second byte for a new virtual port of phys: seeded from the
// current time, drawn until it is not reserved and the WWPN is not in use.
uint8_t GenerateVportByte(const uint8_t phys[8]);

// Second bytes for n new virtual ports of phys at once (populateVPortWWNArray):
// each drawn as for one port, 100 ms apart, and never one that an earlier
// port of the batch took.
std::vector<uint8_t> PopulateVportWwnArray(const uint8_t phys[8], int n);
// How many more virtual ports a physical port takes: the driver's maximum less
// the port's virtual ports. 0, or the refusal's status with its message printed.
int AvailableVirtualPorts(const FibreAdapter *adapter, uint32_t &available);
int CreateVirtualPort(FibreAdapter *adapter, const TavroVportOptions &options);
int DeleteVirtualPorts(FibreAdapter *adapter, const TavroVportOptions &options);
int ListVirtualPorts(FibreAdapter *adapter, const TavroVportOptions &options);
int BindVirtualPorts(FibreAdapter *adapter, const TavroVportOptions &options, bool bind);
int DisplayVfcInfo(const FibreAdapter *adapter);
