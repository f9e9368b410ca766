// Fabric name queries: CT requests to the fabric configuration server and the
// name server through the device library.
#pragma once

#include <cstdint>
#include <vector>

#include "base/text.h"
#include "device/device.h"

struct InterconnectElement {
    uint8_t name[8] = {};
    uint8_t type = 0;
};

// The fabric's interconnect element list; 0 or the device-library status.
uint32_t CoreGetInterconnectElementList(const DeviceRecord *rec,
                                        std::vector<InterconnectElement> &out);
// Domain ID of one element: device-library status, -1 when not supported.
int CoreGetSwitchDomainID(const DeviceRecord *rec, const uint8_t name[8], uint8_t *domain);
// Names of the principal switch, of the fabric port the port is attached to,
// and of the switch whose domain is the port's: 0, or -1 (the name is zeroed).
int CoreGetPrincipalFabricWWN(const DeviceRecord *rec, uint8_t wwn[8]);
int CoreGetAdjacentFabricWWN(const DeviceRecord *rec, uint8_t wwn[8]);
int CoreGetAttachedSwitchFabricWWN(const DeviceRecord *rec, uint8_t wwn[8]);
// 3 when the WWN names a fabric element (fabric controller), else 2.
int CoreGetDestinationAddressType(const DeviceRecord *rec, const uint8_t wwn[8]);
