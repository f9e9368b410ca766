#include "device/wmi.h"

#include <cstring>
#include <vector>

#include "device/devicelist.h"
#include "frame/messages.h"
#include "vnsdm_sim.h"

int VNWmiGetVPortInfo()
{
    int result = 0;
    for (DeviceRecord &record : CoreDevices()) {
        DeviceRecord *rec = &record;
        rec->vports.clear();
        if (rec->PortType() != SD_PORT_TYPE_PHYSICAL)
            continue;
        uint32_t count = 0;
        std::vector<VNSIM_VPORT> slots(8);
        SD_STATUS st = VNSimListVports(rec->Wwpn(), slots.data(), 8, &count);
        if (st == SDERR_BUFFER_TOO_SMALL) {
            slots.resize(count);
            st = VNSimListVports(rec->Wwpn(), slots.data(), count, &count);
        }
        if (st == SDERR_NOT_SUPPORTED)
            continue;
        if (st != SD_OK) {
            Trace(kLevelDebug, "VNWmiGetVPortInfo: Instance %d query failed (0x%x)", rec->instance,
                  st);
            result = -1;
            continue;
        }
        for (uint32_t i = 0; i < count && i < slots.size(); ++i) {
            VportInfo v;
            std::memcpy(v.wwnn, slots[i].WWNN, 8);
            std::memcpy(v.wwpn, slots[i].WWPN, 8);
            std::memcpy(v.portId, slots[i].PortId, 3);
            v.vpId = slots[i].Slot;
            v.qosType = slots[i].QosType;
            v.qosValue = slots[i].QosValue;
            v.vfId = slots[i].VfId;
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
