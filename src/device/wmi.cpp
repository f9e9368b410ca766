#include "device/wmi.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "device/devicelist.h"
#include "frame/messages.h"

int VNWmiGetVPortInfo()
{
    int result = 0;
    for (DeviceRecord &record : CoreDevices()) {
        DeviceRecord *rec = &record;
        rec->vports.clear();
        if (rec->PortType() != SD_PORT_TYPE_PHYSICAL)
            continue;
        uint32_t count = 0;
        std::vector<VNWMI_NPIV_SLOT> slots(8);
        VNWMI_STATUS st = VNWmiQueryVirtualPorts(rec->Wwpn(), slots.data(), 8, &count);
        if (st == VNWMI_E_BUFFER_TOO_SMALL) {
            slots.resize(count);
            st = VNWmiQueryVirtualPorts(rec->Wwpn(), slots.data(), count, &count);
        }
        if (st == VNWMI_E_NOT_SUPPORTED)
            continue;
        if (st != VNWMI_OK) {
            Trace(kLevelDebug, "VNWmiGetVPortInfo: Instance %d query failed (0x%x)", rec->instance,
                  st);
            result = -1;
            continue;
        }
        for (uint32_t i = 0; i < count && i < slots.size(); ++i) {
            VportInfo v;
            std::memcpy(v.wwnn, slots[i].WWNN, 8);
            SlotWwpn(slots[i], v.wwpn);
            std::memcpy(v.portId, slots[i].FCId, 3);
            v.vpId = slots[i].VpIndex;
            v.qosType = slots[i].QosType;
            v.qosValue = slots[i].QosValue;
            v.vfId = slots[i].VFID;
            rec->vports.push_back(v);
        }
    }
    return result;
}

int VNWmiGetVSANInfo()
{
    // The virtual fabric IDs come with the slot table read above.
    return 0;
}

void SlotWwpn(const VNWMI_NPIV_SLOT &slot, uint8_t out[8])
{
    // The slot table names the port in 16 hex digits.
    for (int b = 0; b < 8; ++b) {
        unsigned byte = 0;
        std::sscanf(slot.WWPN + 2 * b, "%2x", &byte);
        out[b] = uint8_t(byte);
    }
}

VNWMI_STATUS SDGetMaxVports(const uint8_t physWwpn[8], uint32_t &maxVports)
{
    VNWMI_NPIV_ATTRIBUTES attr{};
    VNWMI_STATUS st = VNWmiQueryNPIVAttributes(physWwpn, &attr);
    if (st != VNWMI_OK)
        return st;
    maxVports = attr.NumberVirtualPorts;
    Trace(kLevelDebug, "SDGetMaxVports: New driver. MaxVports = %d ", int(maxVports));
    return VNWMI_OK;
}

VNWMI_STATUS SDGetVirtualPorts(const uint8_t physWwpn[8], std::vector<VNWMI_NPIV_SLOT> &out)
{
    uint32_t count = 0;
    out.resize(8);
    VNWMI_STATUS st = VNWmiQueryVirtualPorts(physWwpn, out.data(), uint32_t(out.size()), &count);
    if (st == VNWMI_E_BUFFER_TOO_SMALL) {
        out.resize(count);
        st = VNWmiQueryVirtualPorts(physWwpn, out.data(), uint32_t(out.size()), &count);
    }
    if (st != VNWMI_OK)
        return st;
    out.resize(std::min<size_t>(count, out.size()));
    return VNWMI_OK;
}

VNWMI_STATUS SDFindAvailableVirtualPortID(const uint8_t physWwpn[8], uint32_t &slot)
{
    uint32_t maxVports = 0;
    if (VNWMI_STATUS st = SDGetMaxVports(physWwpn, maxVports))
        return st;
    // The extended table: entry 0 is the physical port, the search starts at 1.
    std::vector<VNWMI_NPIV_SLOT> table(maxVports + 1);
    uint32_t count = 0;
    if (VNWMI_STATUS st =
            VNWmiQuerySlotTable(physWwpn, 2, table.data(), uint32_t(table.size()), &count))
        return st;
    for (uint32_t i = 1; i < count && i <= maxVports; ++i) {
        if (table[i].WWPN[0] == '0') {
            slot = table[i].VpIndex;
            return VNWMI_OK;
        }
    }
    return VNWMI_E_LIMIT;
}

VNWMI_STATUS SDVportCreate(const uint8_t physWwpn[8], const uint8_t vportWwpn[8], uint32_t &slot)
{
    if (VNWMI_STATUS st = SDFindAvailableVirtualPortID(physWwpn, slot)) {
        if (st == VNWMI_E_LIMIT)
            Trace(kLevelDebug, "SDVportCreate: SDFindAvailableVirtualPortID Maximum VPort capacity "
                               "reached or bad HBA index.\n");
        return st;
    }
    std::vector<VNWMI_NPIV_SLOT> before;
    if (VNWMI_STATUS st = SDGetVirtualPorts(physWwpn, before))
        return st;
    VNWMI_CREATE_VP_IN in{};
    std::memcpy(in.WWPN, vportWwpn, 8);
    std::memcpy(in.WWNN, vportWwpn, 8);
    // The tag carries the physical port's name, so the driver can tell whose port it is.
    std::memcpy(in.Tag, physWwpn, 8);
    std::snprintf(in.VirtualName, sizeof in.VirtualName, "VantorVirtualPort-%u", unsigned(slot));
    uint32_t created = 0;
    if (VNWMI_STATUS st = VNWmiExecCreateVirtualPort(physWwpn, &in, &created)) {
        Trace(kLevelDebug, "VNWmiMSFCCreateVP: Create VP failed with status %d.", int(st));
        return st;
    }
    slot = created;
    std::vector<VNWMI_NPIV_SLOT> after;
    if (SDGetVirtualPorts(physWwpn, after) != VNWMI_OK || after.size() != before.size() + 1) {
        Trace(kLevelDebug,
              "SDVportCreate: The before/after count are not in line after the completed create!");
        return kVportCountMismatch;
    }
    // The stand-in keeps the driver's record of the port in the machine's state.
    return VNWMI_OK;
}

VNWMI_STATUS SDVportDelete(const uint8_t physWwpn[8], uint32_t vpId)
{
    uint32_t maxVports = 0;
    if (VNWMI_STATUS st = SDGetMaxVports(physWwpn, maxVports))
        return st;
    if (vpId >= maxVports) {
        Trace(kLevelDebug, "SDVportDelete: vp_id out of range (valid range: 0 - %d); returning",
              int(maxVports) - 1);
        return VNWMI_E_INVALID_PARAMETER;
    }
    std::vector<VNWMI_NPIV_SLOT> ports;
    if (VNWMI_STATUS st = SDGetVirtualPorts(physWwpn, ports))
        return st;
    for (const VNWMI_NPIV_SLOT &p : ports) {
        // The driver counts from 0, the slot table from 1.
        if (p.VpIndex != vpId + 1)
            continue;
        uint8_t wwpn[8];
        SlotWwpn(p, wwpn);
        return VNWmiExecRemoveVirtualPort(physWwpn, wwpn);
    }
    return VNWMI_E_VPORT_NOT_FOUND;
}

static VNWMI_STATUS Modify(const uint8_t physWwpn[8], const uint8_t vportWwpn[8], uint32_t fields,
                           uint32_t vfId, uint32_t qosType, uint32_t qosValue)
{
    VNWMI_MODIFY_VP_IN in{};
    std::memcpy(in.WWPN, vportWwpn, 8);
    in.Fields = fields;
    in.VFID = vfId;
    in.QosType = qosType;
    in.QosValue = qosValue;
    return VNWmiExecModifyVirtualPort(physWwpn, &in);
}

VNWMI_STATUS SDVsanBind(const uint8_t physWwpn[8], const uint8_t vportWwpn[8], uint32_t vfId)
{
    return Modify(physWwpn, vportWwpn, VNWMI_MODIFY_VFID, vfId, 0, 0);
}

VNWMI_STATUS SDVsanUnbind(const uint8_t physWwpn[8], const uint8_t vportWwpn[8])
{
    return Modify(physWwpn, vportWwpn, VNWMI_MODIFY_VFID, 0, 0, 0);
}

VNWMI_STATUS SDVsanGetBitmap(const uint8_t physWwpn[8], uint8_t bitmap[VNWMI_VFID_BITMAP_SIZE])
{
    return VNWmiExecGetVFIDBitMap(physWwpn, bitmap);
}

VNWMI_STATUS SDVportSetQos(const uint8_t physWwpn[8], const uint8_t vportWwpn[8], uint32_t type,
                           uint32_t value)
{
    return Modify(physWwpn, vportWwpn, VNWMI_MODIFY_QOS, 0, type, value);
}

int QueryPlatformFirmware()
{
    uint32_t type = 0;
    const VNWMI_STATUS st = VNWmiQueryFirmwareType(&type);
    if (st != VNWMI_OK)
        return -1;
    return type == VNWMI_FIRMWARE_UEFI ? 1 : 0;
}
