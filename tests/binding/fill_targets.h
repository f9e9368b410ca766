// Test helper: the targets a port sees, with identity and LUNs, filled in
// from the simulated machine when the scan left the list empty.
#pragma once

#include <cstring>
#include <vector>

#include "device/device.h"
#include "vnsdm.h"

inline void FillTargets(DeviceRecord &rec)
{
    if (!rec.targets.empty())
        return;
    for (uint32_t i = 0;; ++i) {
        SD_DISC_TARGET d{};
        if (SDGetDiscTargetProperty(rec.handle, 0, i, &d) != SD_OK)
            break;
        TargetRecord t;
        std::memcpy(t.nodeName, d.WWNN, 8);
        std::memcpy(t.portName, d.WWPN, 8);
        std::memcpy(t.portId, d.PortId, 3);
        SD_SCSI_ADDRESS addr{};
        std::memcpy(addr.WWNN, d.WWNN, 8);
        std::memcpy(addr.WWPN, d.WWPN, 8);
        std::memcpy(addr.PortId, d.PortId, 3);
        uint8_t inq[36] = {}, sense[SD_SENSE_SIZE];
        uint32_t len = sizeof inq;
        if (SDSendScsiInquiryCmdFC(rec.handle, &addr, 0, inq, &len, sense, sizeof sense) == 0) {
            t.peripheralType = inq[0] & 0x1F;
            // Identity texts without their padding, as discovery keeps them.
            auto text = [](char *dst, const uint8_t *src, size_t n) {
                while (n && src[n - 1] == ' ')
                    --n;
                std::memcpy(dst, src, n);
                dst[n] = 0;
            };
            text(t.vendor, inq + 8, 8);
            text(t.product, inq + 16, 16);
        }
        std::vector<uint8_t> luns(8 + 256 * 8);
        len = uint32_t(luns.size());
        if (SDSendScsiReportLunsCmdFC(rec.handle, &addr, luns.data(), &len, sense, sizeof sense) ==
            0) {
            const uint32_t bytes = uint32_t(luns[0]) << 24 | luns[1] << 16 | luns[2] << 8 | luns[3];
            for (uint32_t off = 8; off < 8 + bytes && off + 8 <= luns.size(); off += 8) {
                LunRecord l;
                l.lun = uint16_t((luns[off] & 0x3F) << 8 | luns[off + 1]);
                l.deviceType = t.peripheralType;
                t.luns.push_back(l);
            }
        }
        rec.targets.push_back(t);
    }
}
