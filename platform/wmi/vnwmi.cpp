// The NPIV classes and methods, answered through the simulator's virtual-port controls.
#include "vnwmi.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "vnsdm_sim.h"

namespace {

constexpr uint32_t kMaxVfId = 4095;

VNWMI_STATUS FromSd(SD_STATUS s)
{
    switch (s) {
    case SD_OK:
        return VNWMI_OK;
    case SDERR_INVALID_PARAMETER:
        return VNWMI_E_INVALID_PARAMETER;
    case SDERR_INVALID_INSTANCE:
        return VNWMI_E_NOT_FOUND;
    case SDERR_NOT_SUPPORTED:
        return VNWMI_E_NOT_SUPPORTED;
    case SDERR_VPORT_LIMIT:
        return VNWMI_E_LIMIT;
    case SDERR_VPORT_EXISTS:
        return VNWMI_E_EXISTS;
    case SDERR_VPORT_NOT_FOUND:
        return VNWMI_E_VPORT_NOT_FOUND;
    case SDERR_BUFFER_TOO_SMALL:
        return VNWMI_E_BUFFER_TOO_SMALL;
    default:
        return VNWMI_E_PROVIDER;
    }
}

// No exception leaves the stand-in.
template <typename Fn> VNWMI_STATUS Guard(Fn &&fn)
{
    try {
        return fn();
    } catch (const std::bad_alloc &) {
        return VNWMI_E_PROVIDER;
    } catch (...) {
        return VNWMI_E_PROVIDER;
    }
}

bool IsZero(const uint8_t *w)
{
    return std::all_of(w, w + 8, [](uint8_t b) { return b == 0; });
}

// The port's limits; fails for an unknown port or one without NPIV.
VNWMI_STATUS Limits(const uint8_t *phys, uint32_t &maxVports, uint32_t &vpIndexSupported)
{
    if (!phys)
        return VNWMI_E_INVALID_PARAMETER;
    return FromSd(VNSimGetVportLimits(phys, &maxVports, &vpIndexSupported));
}

VNWMI_STATUS List(const uint8_t *phys, std::vector<VNSIM_VPORT> &out)
{
    uint32_t count = 0;
    out.resize(8);
    SD_STATUS s = VNSimListVports(phys, out.data(), uint32_t(out.size()), &count);
    if (s == SDERR_BUFFER_TOO_SMALL) {
        out.resize(count);
        s = VNSimListVports(phys, out.data(), uint32_t(out.size()), &count);
    }
    if (s != SD_OK)
        return FromSd(s);
    out.resize(std::min<size_t>(count, out.size()));
    return VNWMI_OK;
}

void WwpnText(char (&text)[17], const uint8_t *w)
{
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X%02X%02X%02X", w[0], w[1], w[2], w[3],
                  w[4], w[5], w[6], w[7]);
}

template <size_t N> void CopyName(char (&dst)[N], const char *src, size_t srcSize)
{
    const size_t n = strnlen(src, std::min(srcSize, N - 1));
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

VNWMI_NPIV_SLOT FreeSlot(uint32_t vpIndex)
{
    VNWMI_NPIV_SLOT slot{};
    std::memset(slot.WWPN, '0', 16);
    slot.VpIndex = vpIndex;
    return slot;
}

VNWMI_NPIV_SLOT ToSlot(const VNSIM_VPORT &v)
{
    VNWMI_NPIV_SLOT slot{};
    WwpnText(slot.WWPN, v.WWPN);
    std::memcpy(slot.FCId, v.PortId, 3);
    std::memcpy(slot.WWNN, v.WWNN, 8);
    std::memcpy(slot.FabricWWN, v.FabricWWN, 8);
    std::memcpy(slot.Tag, v.Tag, 16);
    slot.VpIndex = v.Slot;
    slot.Flags = v.Flags;
    slot.VFID = v.VfId;
    slot.SanPriority = v.SanPriority;
    slot.QosType = v.QosType;
    slot.QosValue = v.QosValue;
    CopyName(slot.VirtualName, v.VirtualName, sizeof v.VirtualName);
    return slot;
}

VNWMI_STATUS Fill(const std::vector<VNWMI_NPIV_SLOT> &table, VNWMI_NPIV_SLOT *slots,
                  uint32_t capacity, uint32_t *count)
{
    *count = uint32_t(table.size());
    std::copy_n(table.begin(), std::min<size_t>(capacity, table.size()), slots);
    return table.size() > capacity ? VNWMI_E_BUFFER_TOO_SMALL : VNWMI_OK;
}

} // namespace

extern "C" {

VNWMI_API VNWMI_STATUS VNWmiQueryNPIVAttributes(const uint8_t physWwpn[8],
                                                VNWMI_NPIV_ATTRIBUTES *attributes)
{
    return Guard([&]() -> VNWMI_STATUS {
        if (!attributes)
            return VNWMI_E_INVALID_PARAMETER;
        uint32_t maxVports = 0, vpIndex = 0;
        if (VNWMI_STATUS s = Limits(physWwpn, maxVports, vpIndex))
            return s;
        std::vector<VNSIM_VPORT> list;
        if (VNWMI_STATUS s = List(physWwpn, list))
            return s;
        *attributes = VNWMI_NPIV_ATTRIBUTES{};
        char wwpn[17];
        WwpnText(wwpn, physWwpn);
        std::snprintf(attributes->InstanceName, sizeof attributes->InstanceName, "VNFC\\%s_0",
                      wwpn);
        std::memcpy(attributes->WWPN, physWwpn, 8);
        uint32_t instance = 0;
        uint32_t handle = 0;
        if (VNSimFindInstance(physWwpn, &instance) == SD_OK &&
            VNSimOpenInstance(instance, &handle) == SD_OK) {
            SD_PORT_PROPERTY port{};
            if (SDGetHbaDevicePortProperty(handle, 0, &port) == SD_OK)
                std::memcpy(attributes->WWNN, port.WWNN, 8);
            SDCloseDevice(handle);
        }
        attributes->NumberVirtualPorts = maxVports;
        attributes->VirtualPortCount = uint32_t(list.size());
        attributes->VpIndexSupported = vpIndex;
        return VNWMI_OK;
    });
}

VNWMI_API VNWMI_STATUS VNWmiQuerySlotTable(const uint8_t physWwpn[8], uint32_t version,
                                           VNWMI_NPIV_SLOT *slots, uint32_t capacity,
                                           uint32_t *count)
{
    return Guard([&]() -> VNWMI_STATUS {
        if (!count || (!slots && capacity) || (version != 1 && version != 2))
            return VNWMI_E_INVALID_PARAMETER;
        uint32_t maxVports = 0, vpIndex = 0;
        if (VNWMI_STATUS s = Limits(physWwpn, maxVports, vpIndex))
            return s;
        std::vector<VNSIM_VPORT> list;
        if (VNWMI_STATUS s = List(physWwpn, list))
            return s;
        // Entry i holds VP index i + first.
        const uint32_t first = version == 2 ? 0 : 1;
        std::vector<VNWMI_NPIV_SLOT> table;
        for (uint32_t index = first; index <= maxVports; ++index)
            table.push_back(FreeSlot(index));
        if (version == 2) {
            // Slot 0 is the physical port itself.
            WwpnText(table[0].WWPN, physWwpn);
        }
        for (const auto &v : list)
            if (v.Slot >= first && v.Slot <= maxVports)
                table[v.Slot - first] = ToSlot(v);
        return Fill(table, slots, capacity, count);
    });
}

VNWMI_API VNWMI_STATUS VNWmiQueryVirtualPorts(const uint8_t physWwpn[8], VNWMI_NPIV_SLOT *slots,
                                              uint32_t capacity, uint32_t *count)
{
    return Guard([&]() -> VNWMI_STATUS {
        if (!count || (!slots && capacity))
            return VNWMI_E_INVALID_PARAMETER;
        uint32_t maxVports = 0, vpIndex = 0;
        if (VNWMI_STATUS s = Limits(physWwpn, maxVports, vpIndex))
            return s;
        std::vector<VNSIM_VPORT> list;
        if (VNWMI_STATUS s = List(physWwpn, list))
            return s;
        std::vector<VNWMI_NPIV_SLOT> table;
        for (const auto &v : list)
            table.push_back(ToSlot(v));
        return Fill(table, slots, capacity, count);
    });
}

VNWMI_API VNWMI_STATUS VNWmiExecCreateVirtualPort(const uint8_t physWwpn[8],
                                                  const VNWMI_CREATE_VP_IN *in, uint32_t *vpIndex)
{
    return Guard([&]() -> VNWMI_STATUS {
        if (!in || IsZero(in->WWPN))
            return VNWMI_E_INVALID_PARAMETER;
        uint32_t maxVports = 0, vpIndexSupported = 0;
        if (VNWMI_STATUS s = Limits(physWwpn, maxVports, vpIndexSupported))
            return s;
        VNSIM_VPORT v{};
        std::memcpy(v.WWPN, in->WWPN, 8);
        std::memcpy(v.WWNN, IsZero(in->WWNN) ? in->WWPN : in->WWNN, 8);
        std::memcpy(v.Tag, in->Tag, 16);
        CopyName(v.VirtualName, in->VirtualName, sizeof in->VirtualName);
        v.Slot = 0; // the lowest free one
        if (VNWMI_STATUS s = FromSd(VNSimCreateVport(physWwpn, &v)))
            return s;
        if (vpIndex)
            *vpIndex = v.Slot;
        return VNWMI_OK;
    });
}

VNWMI_API VNWMI_STATUS VNWmiExecRemoveVirtualPort(const uint8_t physWwpn[8],
                                                  const uint8_t vportWwpn[8])
{
    return Guard([&]() -> VNWMI_STATUS {
        if (!vportWwpn)
            return VNWMI_E_INVALID_PARAMETER;
        uint32_t maxVports = 0, vpIndex = 0;
        if (VNWMI_STATUS s = Limits(physWwpn, maxVports, vpIndex))
            return s;
        return FromSd(VNSimDeleteVport(physWwpn, vportWwpn));
    });
}

VNWMI_API VNWMI_STATUS VNWmiExecModifyVirtualPort(const uint8_t physWwpn[8],
                                                  const VNWMI_MODIFY_VP_IN *in)
{
    return Guard([&]() -> VNWMI_STATUS {
        if (!in || ((in->Fields & VNWMI_MODIFY_VFID) && in->VFID > kMaxVfId))
            return VNWMI_E_INVALID_PARAMETER;
        uint32_t maxVports = 0, vpIndex = 0;
        if (VNWMI_STATUS s = Limits(physWwpn, maxVports, vpIndex))
            return s;
        std::vector<VNSIM_VPORT> list;
        if (VNWMI_STATUS s = List(physWwpn, list))
            return s;
        auto it = std::find_if(list.begin(), list.end(), [&](const VNSIM_VPORT &v) {
            return std::memcmp(v.WWPN, in->WWPN, 8) == 0;
        });
        if (it == list.end())
            return VNWMI_E_VPORT_NOT_FOUND;
        // What the caller does not name keeps its value.
        VNSIM_VPORT v = *it;
        if (in->Fields & VNWMI_MODIFY_QOS) {
            v.QosType = in->QosType;
            v.QosValue = in->QosValue;
        }
        if (in->Fields & VNWMI_MODIFY_VFID)
            v.VfId = in->VFID;
        if (in->Fields & VNWMI_MODIFY_SAN_PRIORITY)
            v.SanPriority = in->SanPriority;
        if (in->Fields & VNWMI_MODIFY_FLAGS)
            v.Flags = in->Flags;
        if (in->Fields & VNWMI_MODIFY_TAG)
            std::memcpy(v.Tag, in->Tag, 16);
        if (in->Fields & VNWMI_MODIFY_NAME)
            CopyName(v.VirtualName, in->VirtualName, sizeof in->VirtualName);
        return FromSd(VNSimModifyVport(physWwpn, &v));
    });
}

VNWMI_API VNWMI_STATUS VNWmiExecGetVFIDBitMap(const uint8_t physWwpn[8],
                                              uint8_t bitmap[VNWMI_VFID_BITMAP_SIZE])
{
    return Guard([&]() -> VNWMI_STATUS {
        if (!bitmap)
            return VNWMI_E_INVALID_PARAMETER;
        uint32_t maxVports = 0, vpIndex = 0;
        if (VNWMI_STATUS s = Limits(physWwpn, maxVports, vpIndex))
            return s;
        std::vector<VNSIM_VPORT> list;
        if (VNWMI_STATUS s = List(physWwpn, list))
            return s;
        std::memset(bitmap, 0, VNWMI_VFID_BITMAP_SIZE);
        for (const auto &v : list)
            if (v.VfId && v.VfId <= kMaxVfId)
                bitmap[v.VfId / 8] |= uint8_t(1u << (v.VfId % 8));
        return VNWMI_OK;
    });
}

VNWMI_API VNWMI_STATUS VNWmiQueryFirmwareType(uint32_t *type)
{
    if (!type)
        return VNWMI_E_INVALID_PARAMETER;
    switch (VNSimGetHostFirmware()) {
    case VNSIM_HOST_FIRMWARE_BIOS:
        *type = VNWMI_FIRMWARE_BIOS;
        return VNWMI_OK;
    case VNSIM_HOST_FIRMWARE_EFI:
        *type = VNWMI_FIRMWARE_UEFI;
        return VNWMI_OK;
    default:
        return VNWMI_E_NOT_FOUND;
    }
}

VNWMI_API const char *VNWmiStatusText(VNWMI_STATUS status)
{
    switch (status) {
    case VNWMI_OK:
        return "success";
    case VNWMI_E_INVALID_PARAMETER:
        return "invalid parameter";
    case VNWMI_E_NOT_FOUND:
        return "no such port";
    case VNWMI_E_NOT_SUPPORTED:
        return "NPIV not supported";
    case VNWMI_E_LIMIT:
        return "virtual port capacity reached";
    case VNWMI_E_EXISTS:
        return "WWPN already in use";
    case VNWMI_E_VPORT_NOT_FOUND:
        return "no such virtual port";
    case VNWMI_E_BUFFER_TOO_SMALL:
        return "buffer too small";
    case VNWMI_E_PROVIDER:
        return "provider failure";
    default:
        return "unknown status";
    }
}

} // extern "C"
