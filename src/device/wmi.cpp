#include "device/wmi.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "device/devicelist.h"
#include "frame/messages.h"
#include "vnwmi.h"

int VNWmiGetVPortInfo()
{
    int result = 0;
    for (DeviceRecord *rec = CoreDevices().first; rec; rec = rec->next) {
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
            // The slot table names the port in 16 hex digits.
            for (int b = 0; b < 8; ++b) {
                unsigned byte = 0;
                std::sscanf(slots[i].WWPN + 2 * b, "%2x", &byte);
                v.wwpn[b] = uint8_t(byte);
            }
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
