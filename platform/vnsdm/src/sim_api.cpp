// VNSim... controls of the simulated machine.
#include <algorithm>
#include <cstring>

#include "images.h"
#include "simulator.h"
#include "vnsdm_sim.h"

using namespace vnsdm;

namespace {

Wwn ToWwn(const uint8_t *p)
{
    Wwn w{};
    if (p)
        std::copy(p, p + 8, w.begin());
    return w;
}

// Runs fn(sim, instance) under the machine lock for the physical port with that WWPN.
template <typename Fn> SD_STATUS WithPort(const uint8_t wwpn[8], Fn &&fn)
{
    try {
        Simulator &sim = Simulator::Get();
        std::lock_guard<std::mutex> lock(sim.mu);
        sim.EnsureLoaded();
        StateStore::ReadScope reads(sim.store());
        if (!wwpn)
            return SDERR_INVALID_PARAMETER;
        uint32_t index = 0;
        Instance *in = sim.ByWwpn(ToWwn(wwpn), &index);
        if (!in)
            return SDERR_INVALID_INSTANCE;
        return fn(sim, *in, index);
    } catch (const std::bad_alloc &) {
        return SDERR_NO_MEMORY;
    } catch (...) {
        return SDERR_FAILED;
    }
}

Vport FromRecord(const VNSIM_VPORT &r)
{
    Vport v;
    v.wwnn = ToWwn(r.WWNN);
    v.wwpn = ToWwn(r.WWPN);
    v.portId = GetBe24(r.PortId);
    v.slot = r.Slot;
    v.qosType = r.QosType;
    v.qosValue = r.QosValue;
    v.vfId = r.VfId;
    v.flags = r.Flags;
    v.sanPriority = r.SanPriority;
    v.fabricWwn = ToWwn(r.FabricWWN);
    std::copy(std::begin(r.Tag), std::end(r.Tag), v.tag.begin());
    v.name.assign(r.VirtualName, strnlen(r.VirtualName, sizeof r.VirtualName));
    return v;
}

VNSIM_VPORT ToRecord(const Vport &v)
{
    VNSIM_VPORT r{};
    std::copy(v.wwnn.begin(), v.wwnn.end(), r.WWNN);
    std::copy(v.wwpn.begin(), v.wwpn.end(), r.WWPN);
    PutBe24(r.PortId, v.portId);
    r.Slot = v.slot;
    r.QosType = v.qosType;
    r.QosValue = v.qosValue;
    r.VfId = v.vfId;
    r.Flags = v.flags;
    r.SanPriority = v.sanPriority;
    std::copy(v.fabricWwn.begin(), v.fabricWwn.end(), r.FabricWWN);
    std::copy(v.tag.begin(), v.tag.end(), r.Tag);
    CopyText(r.VirtualName, v.name);
    return r;
}

bool WwpnInUse(Simulator &sim, const Wwn &wwpn)
{
    for (const auto &in : sim.machine().instances) {
        if (in.Wwpn() == wwpn)
            return true;
        for (const auto &v : sim.Vports(in))
            if (v.wwpn == wwpn)
                return true;
    }
    return false;
}

uint32_t FreeSlot(const Instance &in, const std::vector<Vport> &vports)
{
    for (uint32_t slot = 1; slot <= in.port.MaxVports; ++slot)
        if (std::none_of(vports.begin(), vports.end(),
                         [slot](const Vport &v) { return v.slot == slot; }))
            return slot;
    return 0;
}

// Changes the port's virtual port list in one write transaction, since another
// process may be changing it too. fn edits the list or answers a failure.
template <typename Fn> SD_STATUS EditVports(Simulator &sim, const Instance &in, Fn &&fn)
{
    SD_STATUS result = SD_OK;
    const bool ok = sim.store().Update(
        WwnKey(in.Wwpn()), "vports", [&](const std::optional<Bytes> &old, bool &abort) {
            std::optional<std::vector<Vport>> decoded = old ? DecodeVports(*old) : std::nullopt;
            std::vector<Vport> list = decoded ? *decoded : in.vports;
            result = fn(list);
            if (result != SD_OK) {
                abort = true;
                return std::optional<Bytes>();
            }
            std::sort(list.begin(), list.end(),
                      [](const Vport &a, const Vport &b) { return a.slot < b.slot; });
            return std::optional<Bytes>(EncodeVports(list));
        });
    return ok ? result : SDERR_STATE_IO;
}

} // namespace

extern "C" {

VNSDM_API SD_STATUS VNSimReloadMachine(void)
{
    Simulator &sim = Simulator::Get();
    std::lock_guard<std::mutex> lock(sim.mu);
    try {
        return sim.Reload();
    } catch (...) {
        return SDERR_FAILED;
    }
}

VNSDM_API uint32_t VNSimGetInstanceCount(void)
{
    Simulator &sim = Simulator::Get();
    std::lock_guard<std::mutex> lock(sim.mu);
    sim.EnsureLoaded();
    return uint32_t(sim.machine().instances.size());
}

VNSDM_API uint32_t VNSimGetHostFirmware(void)
{
    Simulator &sim = Simulator::Get();
    std::lock_guard<std::mutex> lock(sim.mu);
    sim.EnsureLoaded();
    return uint32_t(sim.machine().hostFirmware);
}

VNSDM_API SD_STATUS VNSimGetMachineSource(char *text, uint32_t size)
{
    Simulator &sim = Simulator::Get();
    std::lock_guard<std::mutex> lock(sim.mu);
    sim.EnsureLoaded();
    const std::string &src = sim.machine().source;
    if (!text || size <= src.size())
        return SDERR_BUFFER_TOO_SMALL;
    std::memcpy(text, src.c_str(), src.size() + 1);
    return SD_OK;
}

VNSDM_API SD_STATUS VNSimGetInstanceWwpn(uint32_t instance, uint8_t wwpn[8])
{
    Simulator &sim = Simulator::Get();
    std::lock_guard<std::mutex> lock(sim.mu);
    sim.EnsureLoaded();
    if (!wwpn)
        return SDERR_INVALID_PARAMETER;
    if (instance >= sim.machine().instances.size())
        return SDERR_INVALID_INSTANCE;
    const Wwn w = sim.machine().instances[instance].Wwpn();
    std::copy(w.begin(), w.end(), wwpn);
    return SD_OK;
}

VNSDM_API SD_STATUS VNSimFindInstance(const uint8_t wwpn[8], uint32_t *instance)
{
    return WithPort(wwpn, [&](Simulator &, Instance &, uint32_t index) {
        if (!instance)
            return SDERR_INVALID_PARAMETER;
        *instance = index;
        return SD_OK;
    });
}

VNSDM_API SD_STATUS VNSimOpenInstance(uint32_t instance, uint32_t *handle)
{
    Simulator &sim = Simulator::Get();
    std::lock_guard<std::mutex> lock(sim.mu);
    sim.EnsureLoaded();
    if (!handle)
        return SDERR_INVALID_PARAMETER;
    return sim.Open(instance, *handle, false);
}

VNSDM_API SD_STATUS VNSimClearState(void)
{
    Simulator &sim = Simulator::Get();
    std::lock_guard<std::mutex> lock(sim.mu);
    sim.EnsureLoaded();
    return sim.store().ClearAll() ? SD_OK : SDERR_STATE_IO;
}

VNSDM_API SD_STATUS VNSimPostEvent(const uint8_t wwpn[8], uint32_t type, uint32_t data0,
                                   uint32_t data1, uint32_t data2)
{
    return WithPort(wwpn, [&](Simulator &sim, Instance &in, uint32_t index) {
        const Event e{type, {data0, data1, data2}};
        if (sim.store().PostEvent(WwnKey(in.Wwpn()), e))
            return SD_OK;
        // Without a state file the event still reaches this process.
        sim.Runtime(index).events.push_back(e);
        return SD_OK;
    });
}

VNSDM_API SD_STATUS VNSimSetPortState(const uint8_t wwpn[8], uint16_t state, uint16_t linkState2,
                                      int postEvent)
{
    return WithPort(wwpn, [&](Simulator &sim, Instance &in, uint32_t) {
        if (state < SD_PORT_STATE_ONLINE || state > SD_PORT_STATE_DIAG)
            return SDERR_INVALID_PARAMETER;
        const bool wasOnline = sim.Online(in);
        const uint16_t ps[2] = {state, state == SD_PORT_STATE_ONLINE ? uint16_t(SD_LINK2_NONE)
                                                                     : linkState2};
        if (SD_STATUS s = sim.Store(in, "port_state",
                                    Bytes(reinterpret_cast<const uint8_t *>(ps),
                                          reinterpret_cast<const uint8_t *>(ps) + sizeof ps)))
            return s;
        const bool online = state == SD_PORT_STATE_ONLINE;
        if (postEvent && online != wasOnline)
            sim.store().PostEvent(WwnKey(in.Wwpn()),
                                  Event{uint32_t(online ? SD_AEN_LINK_UP : SD_AEN_LINK_DOWN), {}});
        return SD_OK;
    });
}

VNSDM_API SD_STATUS VNSimClearPortState(const uint8_t wwpn[8])
{
    return WithPort(wwpn, [&](Simulator &sim, Instance &in, uint32_t) {
        return sim.store().Erase(WwnKey(in.Wwpn()), "port_state") ? SD_OK : SDERR_STATE_IO;
    });
}

VNSDM_API SD_STATUS VNSimResetAdapter(const uint8_t wwpn[8])
{
    return WithPort(wwpn,
                    [&](Simulator &sim, Instance &in, uint32_t) { return sim.ResetAdapter(in); });
}

VNSDM_API SD_STATUS VNSimSetTemperature(const uint8_t wwpn[8], int32_t celsius)
{
    return WithPort(wwpn, [&](Simulator &sim, Instance &in, uint32_t) {
        return sim.Store(in, "temperature", ToBytes(celsius));
    });
}

VNSDM_API SD_STATUS VNSimAddStatistics(const uint8_t wwpn[8], const SD_STATISTICS *delta)
{
    return WithPort(wwpn, [&](Simulator &sim, Instance &in, uint32_t) -> SD_STATUS {
        if (!delta)
            return SDERR_INVALID_PARAMETER;
        const bool ok = sim.store().Update(
            WwnKey(in.Wwpn()), "stats_delta", [&](const std::optional<Bytes> &old, bool &) {
                SD_STATISTICS sum{};
                if (old)
                    FromBytes(*old, sum);
                sum.IoCount += delta->IoCount;
                sum.ByteCount += delta->ByteCount;
                sum.ReadRequests += delta->ReadRequests;
                sum.WriteRequests += delta->WriteRequests;
                sum.ControlRequests += delta->ControlRequests;
                sum.PortErrors += delta->PortErrors;
                sum.DeviceErrors += delta->DeviceErrors;
                sum.ResetCount += delta->ResetCount;
                sum.LinkFailureCount += delta->LinkFailureCount;
                sum.LossOfSyncCount += delta->LossOfSyncCount;
                sum.LossOfSignalCount += delta->LossOfSignalCount;
                sum.PrimitiveSeqProtocolErrorCount += delta->PrimitiveSeqProtocolErrorCount;
                sum.InvalidTransmissionWordCount += delta->InvalidTransmissionWordCount;
                sum.InvalidCrcCount += delta->InvalidCrcCount;
                return std::optional<Bytes>(ToBytes(sum));
            });
        return ok ? SD_OK : SDERR_STATE_IO;
    });
}

VNSDM_API SD_STATUS VNSimSetCallFault(uint32_t instance, const char *call, uint32_t nth,
                                      SD_STATUS status, int torn)
{
    Simulator &sim = Simulator::Get();
    std::lock_guard<std::mutex> lock(sim.mu);
    sim.EnsureLoaded();
    if (!call || !nth)
        return SDERR_INVALID_PARAMETER;
    if (instance >= sim.machine().instances.size())
        return SDERR_INVALID_INSTANCE;
    sim.machine().instances[instance].faults.calls.push_back(
        CallFault{call, nth, status, torn != 0, 0});
    return SD_OK;
}

// ---- Virtual ports ----------------------------------------------------------------

VNSDM_API SD_STATUS VNSimGetVportLimits(const uint8_t physWwpn[8], uint32_t *maxVports,
                                        uint32_t *vpIndexSupported)
{
    return WithPort(physWwpn, [&](Simulator &, Instance &in, uint32_t) {
        if (!maxVports || !vpIndexSupported)
            return SDERR_INVALID_PARAMETER;
        if (!(in.firmware.Attributes & SD_FW_ATTR_NPIV))
            return SDERR_NOT_SUPPORTED;
        *maxVports = in.port.MaxVports;
        *vpIndexSupported = in.port.VpIndexSupported;
        return SD_OK;
    });
}

VNSDM_API SD_STATUS VNSimListVports(const uint8_t physWwpn[8], VNSIM_VPORT *vports,
                                    uint32_t capacity, uint32_t *count)
{
    return WithPort(physWwpn, [&](Simulator &sim, Instance &in, uint32_t) {
        if (!count || (!vports && capacity))
            return SDERR_INVALID_PARAMETER;
        const auto list = sim.Vports(in);
        *count = uint32_t(list.size());
        for (size_t i = 0; i < list.size() && i < capacity; ++i)
            vports[i] = ToRecord(list[i]);
        return list.size() > capacity ? SDERR_BUFFER_TOO_SMALL : SD_OK;
    });
}

VNSDM_API SD_STATUS VNSimFindFreeVportSlot(const uint8_t physWwpn[8], uint32_t *slot)
{
    return WithPort(physWwpn, [&](Simulator &sim, Instance &in, uint32_t) {
        if (!slot)
            return SDERR_INVALID_PARAMETER;
        if (!(in.firmware.Attributes & SD_FW_ATTR_NPIV))
            return SDERR_NOT_SUPPORTED;
        *slot = FreeSlot(in, sim.Vports(in));
        return *slot ? SD_OK : SDERR_VPORT_LIMIT;
    });
}

VNSDM_API SD_STATUS VNSimCreateVport(const uint8_t physWwpn[8], VNSIM_VPORT *vport)
{
    return WithPort(physWwpn, [&](Simulator &sim, Instance &in, uint32_t index) -> SD_STATUS {
        if (!vport)
            return SDERR_INVALID_PARAMETER;
        if (!(in.firmware.Attributes & SD_FW_ATTR_NPIV))
            return SDERR_NOT_SUPPORTED;
        Vport v = FromRecord(*vport);
        if (IsZero(v.wwpn))
            return SDERR_INVALID_PARAMETER;
        // A failing create, as the machine description injects it (WMI method name).
        if (auto f = sim.CallFault(in, "CreateVirtualPort"))
            return *f;
        if (IsZero(v.wwnn))
            v.wwnn = v.wwpn;
        if (WwpnInUse(sim, v.wwpn))
            return SDERR_VPORT_EXISTS;
        const uint32_t base = GetBe24(sim.PortProperty(in, index).PortId);
        const SD_STATUS s = EditVports(sim, in, [&](std::vector<Vport> &list) {
            if (v.slot == 0)
                v.slot = FreeSlot(in, list);
            const bool taken = std::any_of(list.begin(), list.end(),
                                           [&](const Vport &x) { return x.slot == v.slot; });
            if (v.slot == 0 || v.slot > in.port.MaxVports || taken)
                return SDERR_VPORT_LIMIT;
            if (!v.portId && base)
                v.portId = base + v.slot;
            if (v.name.empty())
                v.name = "VantorVirtualPort-" + std::to_string(v.slot);
            if (IsZero(v.fabricWwn))
                if (const Switch *sw = sim.machine().fabric.Principal())
                    v.fabricWwn = sw->wwn;
            list.push_back(v);
            return SD_OK;
        });
        if (s == SD_OK)
            *vport = ToRecord(v);
        return s;
    });
}

VNSDM_API SD_STATUS VNSimModifyVport(const uint8_t physWwpn[8], const VNSIM_VPORT *vport)
{
    return WithPort(physWwpn, [&](Simulator &sim, Instance &in, uint32_t) -> SD_STATUS {
        if (!vport)
            return SDERR_INVALID_PARAMETER;
        if (auto f = sim.CallFault(in, "ModifyVirtualPort"))
            return *f;
        const Vport want = FromRecord(*vport);
        return EditVports(sim, in, [&](std::vector<Vport> &list) {
            auto it = std::find_if(list.begin(), list.end(),
                                   [&](const Vport &x) { return x.wwpn == want.wwpn; });
            if (it == list.end())
                return SDERR_VPORT_NOT_FOUND;
            it->qosType = want.qosType;
            it->qosValue = want.qosValue;
            it->vfId = want.vfId;
            it->flags = want.flags;
            it->sanPriority = want.sanPriority;
            it->tag = want.tag;
            if (!want.name.empty())
                it->name = want.name;
            return SD_OK;
        });
    });
}

VNSDM_API SD_STATUS VNSimDeleteVport(const uint8_t physWwpn[8], const uint8_t vportWwpn[8])
{
    return WithPort(physWwpn, [&](Simulator &sim, Instance &in, uint32_t) -> SD_STATUS {
        if (!vportWwpn)
            return SDERR_INVALID_PARAMETER;
        if (auto f = sim.CallFault(in, "RemoveVirtualPort"))
            return *f;
        const Wwn target = ToWwn(vportWwpn);
        return EditVports(sim, in, [&](std::vector<Vport> &list) {
            auto it = std::find_if(list.begin(), list.end(),
                                   [&](const Vport &x) { return x.wwpn == target; });
            if (it == list.end())
                return SDERR_VPORT_NOT_FOUND;
            list.erase(it);
            return SD_OK;
        });
    });
}

} // extern "C"
