// Target discovery: the targets a port sees, their readiness, identity and LUNs.
#pragma once

#include <cstdint>
#include <string>

#include "device/device.h"

// Fills rec.targets from the three port database views. 0, or -1 when a view
// could not be read or memory ran out (the targets of the other views stay).
int RetrievePortSummaryForDevice(DeviceRecord &rec);

// TEST UNIT READY with retries on the OS-layer clock; 0 when the target is present.
int CheckTargetReady(const DeviceRecord &rec, const TargetRecord &target);
// The same for one LUN; 0 when present. passive is set for a standby path.
int CheckLunReady(const DeviceRecord &rec, const TargetRecord &target, uint16_t lun,
                  bool *passive = nullptr);
// REPORT LUNS, then INQUIRY and READ CAPACITY per LUN, into target.luns. 0, or
// the device-library status of a failed REPORT LUNS (the target keeps no LUNs).
uint32_t RetrieveTargetLuns(const DeviceRecord &rec, TargetRecord &target);

// The driver's bind type: 0 by port name, 1 by port ID; -1 when it cannot be read.
int ReadDriverBindType(const DeviceRecord &rec);

// LUNs per target of the port's driver (2048 when it reports 0).
uint32_t LunLimit(const DeviceRecord &rec);

// Lookups in a port's target list; null when the port does not see the target.
TargetRecord *FindTargetByWwpn(DeviceRecord &rec, const uint8_t wwpn[8]);
TargetRecord *FindTargetByPortId(DeviceRecord &rec, uint32_t portId);
const LunRecord *FindLun(const TargetRecord &target, uint16_t lun);

// Persisted beacon key of a target: "node.agent.target.beacon.<instance>.<wwpn>".
std::string TargetBeaconKey(int32_t instance, const uint8_t wwpn[8]);
