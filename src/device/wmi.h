// The virtual-port layer: NPIV slot tables and virtual fabrics of the ports,
// offered under the device library's names for what that library leaves to WMI.
#pragma once

#include <cstdint>
#include <vector>

#include "vnwmi.h"

// The host kind as the platform answers it (GetFirmwareType): 1 EFI, 0 legacy
// BIOS, -1 when it leaves the question to the host itself.
int QueryPlatformFirmware();

// Reads the virtual ports of every physical port of the core device list.
int VNWmiGetVPortInfo();
// Reads the virtual fabric binding of those virtual ports.
int VNWmiGetVSANInfo();

// Results of the calls below besides the stand-in's own statuses.
enum : uint32_t {
    kVportCountMismatch = 0x57490100u, // the count did not grow by one after a create
};

// The most virtual ports the physical port takes; VNWMI_E_NOT_SUPPORTED without NPIV.
VNWMI_STATUS SDGetMaxVports(const uint8_t physWwpn[8], uint32_t &maxVports);
// The slot the next create takes (1-based), or VNWMI_E_LIMIT when none is free.
VNWMI_STATUS SDFindAvailableVirtualPortID(const uint8_t physWwpn[8], uint32_t &slot);
// The physical port's virtual ports, in slot order.
VNWMI_STATUS SDGetVirtualPorts(const uint8_t physWwpn[8], std::vector<VNWMI_NPIV_SLOT> &out);
// Creates a virtual port (WWNN = WWPN) in the first free slot; slot gets it.
VNWMI_STATUS SDVportCreate(const uint8_t physWwpn[8], const uint8_t vportWwpn[8], uint32_t &slot);
// Deletes the virtual port of that slot (0 to max - 1 as the driver counts them).
VNWMI_STATUS SDVportDelete(const uint8_t physWwpn[8], uint32_t vpId);
// Binds a virtual port to virtual fabric vfId, or unbinds it (vfId 0).
VNWMI_STATUS SDVsanBind(const uint8_t physWwpn[8], const uint8_t vportWwpn[8], uint32_t vfId);
VNWMI_STATUS SDVsanUnbind(const uint8_t physWwpn[8], const uint8_t vportWwpn[8]);
// Bit n set when virtual fabric n is bound to a virtual port of the port.
VNWMI_STATUS SDVsanGetBitmap(const uint8_t physWwpn[8], uint8_t bitmap[VNWMI_VFID_BITMAP_SIZE]);
// Changes the QoS type and value of a virtual port.
VNWMI_STATUS SDVportSetQos(const uint8_t physWwpn[8], const uint8_t vportWwpn[8], uint32_t type,
                           uint32_t value);
// The slot table's WWPN text as 8 bytes.
void SlotWwpn(const VNWMI_NPIV_SLOT &slot, uint8_t out[8]);
