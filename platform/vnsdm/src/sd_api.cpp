// The SD... and ISDFo... entry points over the simulated machine.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <new>

#include "engine.h"
#include "images.h"
#include "responders.h"
#include "simulator.h"
#include "vnsdm.h"
#include "vnsdm_part.h"

using namespace vnsdm;

namespace {

constexpr const char *kVersion = "9.2.1";

// An injected failure that lets a write store part of its data first.
struct Torn {
    std::optional<SD_STATUS> status;
};

// Runs fn(sim, instance, index, torn) under the machine lock for a valid handle,
// after the call's injected fault. Exceptions never leave the library.
template <typename Fn>
SD_STATUS WithDevice(uint32_t handle, const char *call, Fn &&fn, bool writes = false)
{
    try {
        Simulator &sim = Simulator::Get();
        std::lock_guard<std::mutex> lock(sim.mu);
        sim.EnsureLoaded();
        StateStore::ReadScope reads(sim.store());
        uint32_t index = 0;
        Instance *in = sim.ByHandle(handle, &index);
        if (!in)
            return SDERR_INVALID_HANDLE;
        bool torn = false;
        Torn t;
        if (auto f = sim.CallFault(*in, call, &torn)) {
            if (!(writes && torn))
                return *f;
            t.status = f;
        }
        return fn(sim, *in, index, t);
    } catch (const std::bad_alloc &) {
        return SDERR_NO_MEMORY;
    } catch (...) {
        return SDERR_FAILED;
    }
}

// New data over old where a torn write stops: the first half only.
Bytes TornImage(const Bytes &old, const uint8_t *data, size_t size)
{
    Bytes out = old;
    std::memcpy(out.data(), data, std::min(size / 2, out.size()));
    return out;
}

SD_STATUS Query(Simulator &sim, const Instance &in, const char *query)
{
    if (auto f = sim.QueryFault(in, query))
        return *f;
    return SD_OK;
}

SD_PORT_PROPERTY VportProperty(const SD_PORT_PROPERTY &phys, const Vport &v)
{
    SD_PORT_PROPERTY p = phys;
    std::copy(v.wwnn.begin(), v.wwnn.end(), p.WWNN);
    std::copy(v.wwpn.begin(), v.wwpn.end(), p.WWPN);
    PutBe24(p.PortId, phys.PortState == SD_PORT_STATE_ONLINE ? v.portId : 0);
    p.PortType = SD_PORT_TYPE_VIRTUAL;
    p.VportId = uint16_t(v.slot);
    std::memset(p.ENodeMac, 0, sizeof p.ENodeMac);
    return p;
}

// Gb/s of a speed code, for comparing two (the codes are not in speed order).
int SpeedRank(uint16_t code)
{
    static const int kGbps[] = {1, 2, 0, 4, 8, 10, 16, 20, 32, 64};
    return code < 10 ? kGbps[code] : 0;
}

// Targets of a port database view.
std::vector<const TargetRef *> ViewTargets(Simulator &sim, const Instance &in, uint32_t index,
                                           uint32_t mode)
{
    std::vector<const TargetRef *> out;
    const auto visible = sim.VisibleTargets(in);
    if (mode == SD_PORTDB_KNOWN) {
        for (const TargetRef *t : visible)
            if (t->configured)
                out.push_back(t);
    } else if (mode == SD_PORTDB_FABRIC) {
        out = visible;
    } else if (sim.PortProperty(in, index).ConnectionMode == SD_CONNECTION_LOOP) {
        out = visible;
    }
    return out;
}

const Target *ResolveTarget(Simulator &sim, const Instance &in, const SD_SCSI_ADDRESS *addr)
{
    if (!addr)
        return nullptr;
    Wwn wwpn;
    std::copy(std::begin(addr->WWPN), std::end(addr->WWPN), wwpn.begin());
    const uint32_t id = GetBe24(addr->PortId);
    for (const TargetRef *ref : sim.VisibleTargets(in)) {
        const Target *t = sim.machine().fabric.FindTarget(ref->wwpn);
        if (!t)
            continue;
        if (!IsZero(wwpn) ? t->wwpn == wwpn : (id && t->portId == id))
            return t;
    }
    return nullptr;
}

// A diagnostic's injected troubles show on the nth READ BUFFER of the port:
// altered data (a mis-compare) or raised link error counters.
void InjectReadBufferTrouble(Instance &in, uint8_t *data, uint32_t length)
{
    DiagFaults &d = in.faults.diag;
    ++d.readBuffers;
    if (d.readBuffers == d.miscompareAt && data && length > 0)
        data[0] ^= 0xFF;
    if (d.readBuffers == d.linkErrorsAt) {
        d.linkErrors.LinkFailureCount += 1;
        d.linkErrors.LossOfSyncCount += 2;
        d.linkErrors.LossOfSignalCount += 0;
        d.linkErrors.InvalidCrcCount += 3;
    }
}

SD_STATUS Scsi(uint32_t handle, const char *call, const SD_SCSI_ADDRESS *target, uint16_t lun,
               const uint8_t *cdb, uint32_t cdbLength, uint32_t direction, uint8_t *data,
               uint32_t *length, uint8_t *sense, uint32_t senseLength)
{
    return WithDevice(handle, call,
                      [&](Simulator &sim, Instance &in, uint32_t, Torn &) -> SD_STATUS {
                          if (!target || !length)
                              return SDERR_INVALID_PARAMETER;
                          if (!sim.Online(in))
                              return SDERR_LINK_DOWN;
                          const Target *t = ResolveTarget(sim, in, target);
                          if (!t)
                              return SDERR_SCSI_TARGET_NOT_FOUND;
                          SD_STATUS st = ScsiExecute(sim, *t, lun, cdb, cdbLength, direction, data,
                                                     length, sense, senseLength);
                          if (st == SD_OK && cdbLength > 0 && cdb[0] == 0x3C)
                              InjectReadBufferTrouble(in, data, *length);
                          return st;
                      });
}

FabricView ViewOf(Simulator &sim, const Instance &in, uint32_t index)
{
    FabricView v{sim.machine().fabric, sim.NameServer()};
    v.ownPortId = GetBe24(sim.PortProperty(in, index).PortId);
    v.ownWwpn = in.Wwpn();
    return v;
}

} // namespace

extern "C" {

VNSDM_API SD_STATUS SDGetVersion(char *text, uint32_t size)
{
    const size_t n = std::strlen(kVersion);
    if (!text || size <= n)
        return SDERR_BUFFER_TOO_SMALL;
    std::memcpy(text, kVersion, n + 1);
    return SD_OK;
}

VNSDM_API const char *SDGetErrorString(SD_STATUS status) { return StatusText(status); }

VNSDM_API SD_STATUS SDOpenDevice(uint32_t instance, uint32_t *handle)
{
    try {
        Simulator &sim = Simulator::Get();
        std::lock_guard<std::mutex> lock(sim.mu);
        sim.EnsureLoaded();
        if (!handle)
            return SDERR_INVALID_PARAMETER;
        return sim.Open(instance, *handle);
    } catch (...) {
        return SDERR_FAILED;
    }
}

VNSDM_API SD_STATUS SDCloseDevice(uint32_t handle)
{
    Simulator &sim = Simulator::Get();
    std::lock_guard<std::mutex> lock(sim.mu);
    return sim.Close(handle);
}

VNSDM_API SD_STATUS SDGetHbaDeviceChipProperty(uint32_t handle, SD_CHIP_PROPERTY *prop)
{
    return WithDevice(handle, "SDGetHbaDeviceChipProperty",
                      [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
                          if (SD_STATUS s = Query(sim, in, "chip"))
                              return s;
                          if (!prop)
                              return SDERR_INVALID_PARAMETER;
                          *prop = in.chip;
                          return SD_OK;
                      });
}

VNSDM_API SD_STATUS SDGetHbaDeviceDriverProperty(uint32_t handle, SD_DRIVER_PROPERTY *prop)
{
    return WithDevice(handle, "SDGetHbaDeviceDriverProperty",
                      [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
                          if (SD_STATUS s = Query(sim, in, "driver"))
                              return s;
                          if (!prop)
                              return SDERR_INVALID_PARAMETER;
                          *prop = in.driver;
                          return SD_OK;
                      });
}

VNSDM_API SD_STATUS SDGetHbaDeviceNodeProperty(uint32_t handle, SD_NODE_PROPERTY *prop)
{
    return WithDevice(handle, "SDGetHbaDeviceNodeProperty",
                      [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
                          if (SD_STATUS s = Query(sim, in, "node"))
                              return s;
                          if (!prop)
                              return SDERR_INVALID_PARAMETER;
                          *prop = sim.NodeProperty(in);
                          return SD_OK;
                      });
}

VNSDM_API SD_STATUS SDGetHbaDeviceFirmwareProperty(uint32_t handle, SD_FIRMWARE_PROPERTY *prop)
{
    return WithDevice(handle, "SDGetHbaDeviceFirmwareProperty",
                      [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
                          if (SD_STATUS s = Query(sim, in, "firmware"))
                              return s;
                          if (!prop)
                              return SDERR_INVALID_PARAMETER;
                          *prop = in.firmware;
                          return SD_OK;
                      });
}

VNSDM_API SD_STATUS SDGetHbaDevicePortProperty(uint32_t handle, uint32_t port,
                                               SD_PORT_PROPERTY *prop)
{
    return WithDevice(handle, "SDGetHbaDevicePortProperty",
                      [&](Simulator &sim, Instance &in, uint32_t index, Torn &) {
                          if (SD_STATUS s = Query(sim, in, "port"))
                              return s;
                          if (!prop)
                              return SDERR_INVALID_PARAMETER;
                          const SD_PORT_PROPERTY phys = sim.PortProperty(in, index);
                          if (port == 0) {
                              *prop = phys;
                              prop->EngineState = EngineStateBits(sim, in);
                              return SD_OK;
                          }
                          const auto vports = sim.Vports(in);
                          if (port > vports.size())
                              return SDERR_INVALID_PARAMETER;
                          *prop = VportProperty(phys, vports[port - 1]);
                          return SD_OK;
                      });
}

VNSDM_API SD_STATUS SDGetStatistics(uint32_t handle, uint32_t port, SD_STATISTICS *stats)
{
    return WithDevice(handle, "SDGetStatistics",
                      [&](Simulator &sim, Instance &in, uint32_t index, Torn &) {
                          if (SD_STATUS s = Query(sim, in, "statistics"))
                              return s;
                          if (!stats)
                              return SDERR_INVALID_PARAMETER;
                          *stats = sim.Statistics(in, false, index);
                          // Port n > 0: the virtual port of VP index n - 1.
                          if (port != 0)
                              return sim.VportStatistics(in, port - 1, *stats);
                          DiagFaults &d = in.faults.diag;
                          if (d.primSeqGap && ++d.statisticsReads % d.primSeqGap == 0)
                              stats->PrimitiveSeqProtocolErrorCount = 0;
                          return SD_OK;
                      });
}

VNSDM_API SD_STATUS SDResetStatistics(uint32_t handle, uint32_t port)
{
    return WithDevice(
        handle, "SDResetStatistics", [&](Simulator &sim, Instance &in, uint32_t index, Torn &) {
            if (SD_STATUS s = Query(sim, in, "statistics"))
                return s;
            if (port != 0)
                return SDERR_INVALID_PARAMETER;
            const StatsBaseline base{sim.Statistics(in, true), int64_t(std::time(nullptr))};
            if (SD_STATUS s = sim.Store(in, "stats_baseline", ToBytes(base)))
                return s;
            InstanceRuntime &rt = sim.Runtime(index);
            rt.ioOrigin = rt.linkOrigin = sim.RunSeconds();
            return SD_OK;
        });
}

VNSDM_API SD_STATUS SDGetPrivStatsEx(uint32_t handle, uint32_t port, uint32_t options,
                                     SD_PRIV_STATS *stats)
{
    return WithDevice(
        handle, "SDGetPrivStatsEx", [&](Simulator &sim, Instance &in, uint32_t index, Torn &) {
            if (SD_STATUS s = Query(sim, in, "private_statistics"))
                return s;
            if (port != 0 || options > SD_PRIV_STATS_RESET ||
                (!stats && options != SD_PRIV_STATS_RESET))
                return SDERR_INVALID_PARAMETER;
            if (options == SD_PRIV_STATS_RESET) {
                // The firmware keeps the link error counters with its private
                // ones: they restart together, the I/O counters do not.
                StatsBaseline base{};
                if (auto b = sim.store().Get(in.key, "stats_baseline"))
                    FromBytes(*b, base);
                else
                    base.resetTime = int64_t(std::time(nullptr));
                const SD_STATISTICS raw = sim.Statistics(in, true);
                base.counters.LinkFailureCount = raw.LinkFailureCount;
                base.counters.LossOfSyncCount = raw.LossOfSyncCount;
                base.counters.LossOfSignalCount = raw.LossOfSignalCount;
                base.counters.PrimitiveSeqProtocolErrorCount = raw.PrimitiveSeqProtocolErrorCount;
                base.counters.InvalidTransmissionWordCount = raw.InvalidTransmissionWordCount;
                base.counters.InvalidCrcCount = raw.InvalidCrcCount;
                if (SD_STATUS s = sim.Store(in, "stats_baseline", ToBytes(base)))
                    return s;
                sim.Runtime(index).linkOrigin = sim.RunSeconds();
            }
            if (stats)
                *stats = sim.PrivateStatistics(in, index);
            return SD_OK;
        });
}

VNSDM_API SD_STATUS SDGetPortStatisticsFC(uint32_t handle, uint32_t port,
                                          const uint8_t targetWwpn[8], SD_STATISTICS *stats)
{
    return WithDevice(handle, "SDGetPortStatisticsFC",
                      [&](Simulator &sim, Instance &in, uint32_t index, Torn &) {
                          if (SD_STATUS s = Query(sim, in, "statistics"))
                              return s;
                          if (!stats || !targetWwpn || port != 0)
                              return SDERR_INVALID_PARAMETER;
                          Wwn wwpn{};
                          std::copy(targetWwpn, targetWwpn + 8, wwpn.begin());
                          for (const TargetRef *ref : sim.VisibleTargets(in))
                              if (ref->wwpn == wwpn)
                                  if (const Target *t = sim.machine().fabric.FindTarget(wwpn)) {
                                      *stats = sim.TargetLinkStatistics(in, index, *t);
                                      return SD_OK;
                                  }
                          return SDERR_SCSI_TARGET_NOT_FOUND;
                      });
}

VNSDM_API SD_STATUS SDSetTargetLinkSpeed(uint32_t handle, uint32_t port,
                                         const uint8_t targetWwpn[8], uint16_t speed)
{
    return WithDevice(
        handle, "SDSetTargetLinkSpeed", [&](Simulator &sim, Instance &in, uint32_t index, Torn &) {
            if (!targetWwpn || port != 0)
                return SDERR_INVALID_PARAMETER;
            // The supported-speed bit of each speed code (auto needs none).
            static const uint32_t kBits[] = {
                SD_SUPPORTED_1G,  SD_SUPPORTED_2G,  0, SD_SUPPORTED_4G,  SD_SUPPORTED_8G,
                SD_SUPPORTED_10G, SD_SUPPORTED_16G, 0, SD_SUPPORTED_32G, SD_SUPPORTED_64G};
            if (speed >= std::size(kBits) || (speed != SD_SPEED_AUTO && kBits[speed] == 0))
                return SDERR_INVALID_PARAMETER;
            if (speed != SD_SPEED_AUTO &&
                !(sim.PortProperty(in, index).SupportedSpeeds & kBits[speed]))
                return SDERR_NOT_SUPPORTED;
            Wwn wwpn{};
            std::copy(targetWwpn, targetWwpn + 8, wwpn.begin());
            for (const TargetRef *ref : sim.VisibleTargets(in))
                if (ref->wwpn == wwpn)
                    return sim.Store(in, "target_speed/" + WwnKey(wwpn), ToBytes(speed));
            return SDERR_SCSI_TARGET_NOT_FOUND;
        });
}

VNSDM_API SD_STATUS SDGetBoardTemp(uint32_t handle, uint32_t port, SD_BOARD_TEMP *temp)
{
    return WithDevice(handle, "SDGetBoardTemp",
                      [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
                          if (SD_STATUS s = Query(sim, in, "temperature"))
                              return s;
                          if (!temp || port != 0)
                              return SDERR_INVALID_PARAMETER;
                          temp->Temperature = sim.Temperature(in);
                          temp->HighAlarm = in.temperature.highAlarm;
                          temp->LowAlarm = in.temperature.lowAlarm;
                          temp->BoardThreshold = in.temperature.threshold;
                          return SD_OK;
                      });
}

// ---- NVRAM ---------------------------------------------------------------------

VNSDM_API SD_STATUS SDGetNVRam(uint32_t handle, uint32_t port, uint32_t region, uint8_t *buffer,
                               uint32_t size)
{
    return WithDevice(handle, "SDGetNVRam", [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
        if (SD_STATUS s = Query(sim, in, "nvram"))
            return s;
        if (port != 0 || !buffer)
            return SDERR_INVALID_PARAMETER;
        if (region < SD_NVRAM_REGION_PARAMETERS || region > SD_NVRAM_REGION_UPDATE)
            return SDERR_INVALID_REGION;
        const Bytes image = sim.Nvram(in, region);
        if (size < image.size())
            return SDERR_BUFFER_TOO_SMALL;
        std::memcpy(buffer, image.data(), image.size());
        return SD_OK;
    });
}

VNSDM_API SD_STATUS SDUpdateNVRam(uint32_t handle, uint32_t port, uint32_t region,
                                  const uint8_t *buffer, uint32_t size)
{
    return WithDevice(
        handle, "SDUpdateNVRam",
        [&](Simulator &sim, Instance &in, uint32_t, Torn &torn) {
            if (SD_STATUS s = Query(sim, in, "nvram"))
                return s;
            if (port != 0 || !buffer)
                return SDERR_INVALID_PARAMETER;
            if (region < SD_NVRAM_REGION_PARAMETERS || region > SD_NVRAM_REGION_UPDATE)
                return SDERR_INVALID_REGION;
            if (size != in.nvram1.size())
                return SDERR_BUFFER_TOO_SMALL;
            if (!NvramChecksumOk(buffer, size))
                return SDERR_CHECKSUM;
            const char *item = region == SD_NVRAM_REGION_SECOND ? "nvram2" : "nvram1";
            if (torn.status) {
                const Bytes previous = sim.Nvram(in, region);
                const SD_STATUS s =
                    sim.StoreTorn(in, item, previous, TornImage(previous, buffer, size));
                return s ? s : *torn.status;
            }
            return sim.Store(in, item, Bytes(buffer, buffer + size));
        },
        true);
}

VNSDM_API SD_STATUS SDGetVariableValue(uint32_t handle, const uint8_t *image, uint32_t field,
                                       uint32_t *value)
{
    return WithDevice(handle, "SDGetVariableValue",
                      [&](Simulator &, Instance &in, uint32_t, Torn &) {
                          const NvramVar *var = FindNvramVar(field);
                          if (!image || !value || !var)
                              return SDERR_INVALID_PARAMETER;
                          const Bytes copy(image, image + in.nvram1.size());
                          *value = ReadNvramVar(copy, *var);
                          return SD_OK;
                      });
}

VNSDM_API SD_STATUS SDSetVariableValue(uint32_t handle, uint8_t *image, uint32_t field,
                                       uint32_t value)
{
    return WithDevice(handle, "SDSetVariableValue",
                      [&](Simulator &, Instance &in, uint32_t, Torn &) {
                          const NvramVar *var = FindNvramVar(field);
                          if (!image || !var)
                              return SDERR_INVALID_PARAMETER;
                          const uint32_t size = uint32_t(in.nvram1.size());
                          Bytes copy(image, image + size);
                          if (!WriteNvramVar(copy, *var, value))
                              return SDERR_INVALID_PARAMETER;
                          // The image stays valid: callers write it back as it is.
                          NvramFixChecksum(copy.data(), size);
                          std::memcpy(image, copy.data(), size);
                          return SD_OK;
                      });
}

// ---- Flash -----------------------------------------------------------------------

VNSDM_API SD_STATUS SDGetOptionRomLayout(uint32_t handle, uint32_t port, SD_FLASH_LAYOUT *layout)
{
    return WithDevice(handle, "SDGetOptionRomLayout",
                      [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
                          if (SD_STATUS s = Query(sim, in, "flash"))
                              return s;
                          if (!layout || port != 0)
                              return SDERR_INVALID_PARAMETER;
                          *layout = SD_FLASH_LAYOUT{};
                          layout->Count = uint32_t(in.flash.size());
                          layout->TotalSize = in.flashTotal;
                          for (size_t i = 0; i < in.flash.size(); ++i)
                              layout->Regions[i] = {in.flash[i].code, in.flash[i].offset,
                                                    in.flash[i].size, in.flash[i].attributes};
                          return SD_OK;
                      });
}

VNSDM_API SD_STATUS SDGetOptionRomOffset(uint32_t handle, uint32_t port, uint32_t region,
                                         uint32_t *offset, uint32_t *size)
{
    return WithDevice(handle, "SDGetOptionRomOffset",
                      [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
                          if (SD_STATUS s = Query(sim, in, "flash"))
                              return s;
                          if (!offset || !size || port != 0)
                              return SDERR_INVALID_PARAMETER;
                          if (region == SD_FLASH_REGION_WHOLE) {
                              *offset = 0;
                              *size = in.flashTotal;
                              return SD_OK;
                          }
                          const FlashRegion *r = in.Region(region);
                          if (!r)
                              return SDERR_INVALID_REGION;
                          *offset = r->offset;
                          *size = r->size;
                          return SD_OK;
                      });
}

VNSDM_API SD_STATUS SDGetOptionRomEx(uint32_t handle, uint32_t port, uint32_t region,
                                     uint8_t *buffer, uint32_t size)
{
    return WithDevice(handle, "SDGetOptionRomEx",
                      [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
                          if (SD_STATUS s = Query(sim, in, "flash"))
                              return s;
                          if (!buffer || port != 0)
                              return SDERR_INVALID_PARAMETER;
                          if (region == SD_FLASH_REGION_WHOLE) {
                              if (size < in.flashTotal)
                                  return SDERR_BUFFER_TOO_SMALL;
                              std::memset(buffer, 0xFF, in.flashTotal);
                              for (const auto &r : in.flash)
                                  sim.FlashRead(in, r, 0, r.size, buffer + r.offset);
                              return SD_OK;
                          }
                          const FlashRegion *r = in.Region(region);
                          if (!r)
                              return SDERR_INVALID_REGION;
                          if (size < r->size)
                              return SDERR_BUFFER_TOO_SMALL;
                          sim.FlashRead(in, *r, 0, r->size, buffer);
                          return SD_OK;
                      });
}

VNSDM_API SD_STATUS SDGetOptionRomPart(uint32_t handle, uint32_t port, uint32_t region,
                                       uint32_t offset, uint8_t *buffer, uint32_t length)
{
    // The same call as a whole read as far as injected faults go.
    return WithDevice(handle, "SDGetOptionRomEx",
                      [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
                          if (SD_STATUS s = Query(sim, in, "flash"))
                              return s;
                          if (!buffer || port != 0)
                              return SDERR_INVALID_PARAMETER;
                          const FlashRegion *r = in.Region(region);
                          if (!r)
                              return SDERR_INVALID_REGION;
                          if (offset > r->size || length > r->size - offset)
                              return SDERR_INVALID_PARAMETER;
                          if (length)
                              sim.FlashRead(in, *r, offset, length, buffer);
                          return SD_OK;
                      });
}

VNSDM_API SD_STATUS SDUpdateOptionRomEx2(uint32_t handle, uint32_t port, uint32_t region,
                                         const uint8_t *buffer, uint32_t size, uint32_t options)
{
    return WithDevice(
        handle, "SDUpdateOptionRomEx2",
        [&](Simulator &sim, Instance &in, uint32_t, Torn &torn) {
            if (SD_STATUS s = Query(sim, in, "flash"))
                return s;
            if (!buffer || !size || port != 0 || (options & ~SD_FLASH_OPT_NO_RESET))
                return SDERR_INVALID_PARAMETER;
            // Without a reset the adapter keeps what it runs, whatever the flash gets.
            const bool noReset = options & SD_FLASH_OPT_NO_RESET;
            if (noReset)
                if (SD_STATUS s = sim.HoldRunningVersions(in))
                    return s;
            // The regions written, each with its new content (erased after it).
            std::vector<std::pair<const FlashRegion *, Bytes>> writes;
            if (region == SD_FLASH_REGION_WHOLE) {
                if (size > in.flashTotal)
                    return SDERR_BUFFER_TOO_SMALL;
                for (const auto &r : in.flash) {
                    if (r.offset >= size)
                        continue;
                    const uint32_t covered = std::min(r.size, size - r.offset);
                    // A region the data ends inside keeps the rest of what it had.
                    Bytes c = covered == r.size ? Bytes() : sim.FlashRegionContent(in, r);
                    if (covered == r.size)
                        c.assign(buffer + r.offset, buffer + r.offset + covered);
                    else
                        std::memcpy(c.data(), buffer + r.offset, covered);
                    writes.emplace_back(&r, std::move(c));
                }
            } else {
                const FlashRegion *r = in.Region(region);
                if (!r)
                    return SDERR_INVALID_REGION;
                if (size > r->size)
                    return SDERR_BUFFER_TOO_SMALL;
                writes.emplace_back(r, Bytes(buffer, buffer + size));
            }
            if (torn.status) {
                // Power lost half way: the first half of the first region only.
                if (!writes.empty()) {
                    const auto &[r, c] = writes.front();
                    Bytes full = c;
                    full.resize(r->size, 0xFF);
                    if (SD_STATUS s = sim.StoreFlash(
                            in, *r,
                            TornImage(sim.FlashRegionContent(in, *r), full.data(), full.size())))
                        return s;
                }
                return *torn.status;
            }
            for (auto &[r, c] : writes)
                if (SD_STATUS s = sim.StoreFlash(in, *r, std::move(c)))
                    return s;
            // The reset after the write: the adapter runs the new image.
            return noReset ? SD_OK : sim.ResetAdapter(in);
        },
        true);
}

VNSDM_API SD_STATUS SDGetFlashUpdateCapabilities(uint32_t handle, uint32_t *capabilities)
{
    return WithDevice(handle, "SDGetFlashUpdateCapabilities",
                      [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
                          if (SD_STATUS s = Query(sim, in, "flash"))
                              return s;
                          if (!capabilities)
                              return SDERR_INVALID_PARAMETER;
                          if (!in.flashCaps)
                              return SDERR_NOT_SUPPORTED;
                          *capabilities = in.flashCaps;
                          return SD_OK;
                      });
}

VNSDM_API SD_STATUS SDUpdateOptionRomOnline(uint32_t handle, uint32_t port, const uint32_t *regions,
                                            const uint8_t *const *buffers, const uint32_t *sizes,
                                            uint32_t count)
{
    return WithDevice(
        handle, "SDUpdateOptionRomOnline",
        [&](Simulator &sim, Instance &in, uint32_t, Torn &torn) {
            if (SD_STATUS s = Query(sim, in, "flash"))
                return s;
            if (!in.flashCaps)
                return SDERR_NOT_SUPPORTED;
            if (!regions || !buffers || !sizes || !count || port != 0)
                return SDERR_INVALID_PARAMETER;
            std::vector<std::pair<const FlashRegion *, Bytes>> writes;
            for (uint32_t i = 0; i < count; ++i) {
                const FlashRegion *r = in.Region(regions[i]);
                if (!r)
                    return SDERR_INVALID_REGION;
                if (!buffers[i] || sizes[i] > r->size)
                    return SDERR_BUFFER_TOO_SMALL;
                writes.emplace_back(r, Bytes(buffers[i], buffers[i] + sizes[i]));
            }
            // The adapter stages the image and switches to it only when all of it
            // arrived: a lost write leaves the running image.
            if (torn.status)
                return *torn.status;
            for (auto &[r, c] : writes)
                if (SD_STATUS s = sim.StoreFlash(in, *r, std::move(c)))
                    return s;
            return SD_OK;
        },
        true);
}

// ---- VPD and beacon ----------------------------------------------------------------

VNSDM_API SD_STATUS SDGetVpd(uint32_t handle, uint32_t port, uint8_t *buffer, uint32_t *size)
{
    return WithDevice(handle, "SDGetVpd", [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
        if (SD_STATUS s = Query(sim, in, "vpd"))
            return s;
        if (!size || port != 0)
            return SDERR_INVALID_PARAMETER;
        const Bytes vpd = sim.Vpd(in);
        if (!buffer || *size < vpd.size()) {
            *size = uint32_t(vpd.size());
            return SDERR_BUFFER_TOO_SMALL;
        }
        std::memcpy(buffer, vpd.data(), vpd.size());
        *size = uint32_t(vpd.size());
        return SD_OK;
    });
}

VNSDM_API SD_STATUS SDUpdateVpd(uint32_t handle, uint32_t port, const uint8_t *buffer,
                                uint32_t size)
{
    return WithDevice(
        handle, "SDUpdateVpd",
        [&](Simulator &sim, Instance &in, uint32_t, Torn &torn) {
            if (SD_STATUS s = Query(sim, in, "vpd"))
                return s;
            if (!buffer || !size || port != 0)
                return SDERR_INVALID_PARAMETER;
            Bytes vpd = sim.Vpd(in);
            if (size > vpd.size())
                return SDERR_BUFFER_TOO_SMALL;
            if (torn.status) {
                const SD_STATUS s = sim.StoreTorn(in, "vpd", vpd, TornImage(vpd, buffer, size));
                return s ? s : *torn.status;
            }
            std::memcpy(vpd.data(), buffer, size);
            return sim.Store(in, "vpd", vpd);
        },
        true);
}

VNSDM_API SD_STATUS SDGetBeaconControl(uint32_t handle, uint32_t port, uint32_t *value)
{
    return WithDevice(handle, "SDGetBeaconControl",
                      [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
                          if (SD_STATUS s = Query(sim, in, "beacon"))
                              return s;
                          if (!value || port != 0)
                              return SDERR_INVALID_PARAMETER;
                          *value = sim.Beacon(in);
                          return SD_OK;
                      });
}

VNSDM_API SD_STATUS SDUpdateBeaconControl(uint32_t handle, uint32_t port, uint32_t value)
{
    return WithDevice(
        handle, "SDUpdateBeaconControl", [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
            if (SD_STATUS s = Query(sim, in, "beacon"))
                return s;
            if (port != 0 ||
                (value != SD_BEACON_ON && value != SD_BEACON_OFF && value != SD_BEACON_THIRD))
                return SDERR_INVALID_PARAMETER;
            return sim.Store(in, "beacon", ToBytes(value));
        });
}

// ---- Targets -------------------------------------------------------------------------

VNSDM_API SD_STATUS SDGetPortDatabase(uint32_t handle, uint32_t mode, uint8_t *buffer,
                                      uint32_t size)
{
    return WithDevice(
        handle, "SDGetPortDatabase", [&](Simulator &sim, Instance &in, uint32_t index, Torn &) {
            if (SD_STATUS s = Query(sim, in, "port_database"))
                return s;
            if (mode != SD_PORTDB_KNOWN && mode != SD_PORTDB_FABRIC && mode != SD_PORTDB_LOOP)
                return SDERR_INVALID_PARAMETER;
            if (!buffer || size < SD_PORTDB_HEADER_SIZE)
                return SDERR_INVALID_PARAMETER;
            const auto refs = ViewTargets(sim, in, index, mode);
            const auto bound = sim.BoundTargetIds(in);
            PutLe32(buffer, uint32_t(refs.size()));
            PutLe32(buffer + 4, 0);
            if (size < SD_PORTDB_HEADER_SIZE + refs.size() * SD_PORTDB_ENTRY_SIZE)
                return SDERR_BUFFER_TOO_SMALL;
            for (size_t i = 0; i < refs.size(); ++i) {
                const Target *t = sim.machine().fabric.FindTarget(refs[i]->wwpn);
                uint8_t *e = buffer + SD_PORTDB_HEADER_SIZE + i * SD_PORTDB_ENTRY_SIZE;
                std::memset(e, 0, SD_PORTDB_ENTRY_SIZE);
                std::copy(t->wwnn.begin(), t->wwnn.end(), e);
                std::copy(t->wwpn.begin(), t->wwpn.end(), e + 8);
                PutBe24(e + 16, t->portId);
                e[19] = refs[i]->configured ? 0x40 : 0x00;
                e[20] = uint8_t(t->portId); // AL_PA
                e[21] = t->deviceType;
                uint16_t id = refs[i]->configured ? refs[i]->targetId : 0xFFFF;
                for (const auto &[wwpn, boundId] : bound) // a persistent binding decides the ID
                    if (wwpn == t->wwpn)
                        id = boundId;
                PutLe16(e + 22, id);
                std::memcpy(e + 24, t->vendor.data(), std::min<size_t>(8, t->vendor.size()));
                std::memcpy(e + 32, t->product.data(), std::min<size_t>(16, t->product.size()));
                std::memcpy(e + 48, t->revision.data(), std::min<size_t>(4, t->revision.size()));
                uint16_t flags = 0x0001 | 0x0002; // logged in, FCP target
                if (t->deviceType == 1)
                    flags |= 0x0800; // FC tape recovery
                if (refs[i]->boot)
                    flags |= 0x0004;
                PutLe16(e + 154, flags);
                PutLe16(e + 158, 0x0012); // PRLI service parameters: target, no XFER_RDY on read
                PutLe16(e + 160, 0x0008); // class 3
                // A speed chosen for the target holds; else both ends run at
                // the slower one's, when both are known.
                uint16_t speed = sim.TargetSpeed(in, t->wwpn);
                if (speed == SD_SPEED_AUTO) {
                    speed = t->speed;
                    const uint16_t own = sim.PortProperty(in, index).PortSpeed;
                    const bool ownKnown = own != SD_SPEED_UNKNOWN && own != SD_SPEED_AUTO;
                    if (ownKnown &&
                        (speed == SD_SPEED_UNKNOWN || SpeedRank(own) < SpeedRank(speed)))
                        speed = own;
                }
                PutLe16(e + 162, speed);
            }
            PutLe32(buffer + 4, uint32_t(refs.size()));
            return SD_OK;
        });
}

VNSDM_API SD_STATUS SDGetDiscTargetProperty(uint32_t handle, uint32_t port, uint32_t index,
                                            SD_DISC_TARGET *target)
{
    return WithDevice(
        handle, "SDGetDiscTargetProperty", [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
            if (SD_STATUS s = Query(sim, in, "targets"))
                return s;
            if (!target || port != 0)
                return SDERR_INVALID_PARAMETER;
            const auto refs = sim.VisibleTargets(in);
            if (index >= refs.size())
                return SDERR_INVALID_PARAMETER;
            const Target *t = sim.machine().fabric.FindTarget(refs[index]->wwpn);
            *target = SD_DISC_TARGET{};
            std::copy(t->wwnn.begin(), t->wwnn.end(), target->WWNN);
            std::copy(t->wwpn.begin(), t->wwpn.end(), target->WWPN);
            PutBe24(target->PortId, t->portId);
            target->TargetId = refs[index]->configured ? refs[index]->targetId : 0xFFFF;
            target->LunCount = uint16_t(t->luns.size());
            target->Flags = (refs[index]->configured ? SD_DISC_FLAG_CONFIGURED : 0) |
                            (refs[index]->boot ? SD_DISC_FLAG_BOOT : 0) |
                            (t->deviceType == 1 ? SD_DISC_FLAG_TAPE : 0);
            return SD_OK;
        });
}

namespace {

SD_STATUS PersistRead(uint32_t handle, const char *call, PersistKind kind, uint32_t instance,
                      uint32_t selector, uint8_t *buffer, uint32_t size)
{
    return WithDevice(handle, call, [&](Simulator &sim, Instance &in, uint32_t self, Torn &) {
        if (instance != self)
            return SDERR_INVALID_INSTANCE;
        return sim.ReadPersist(in, kind, selector, buffer, size);
    });
}

SD_STATUS PersistWrite(uint32_t handle, const char *call, PersistKind kind, uint32_t instance,
                       uint32_t selector, const uint8_t *buffer, uint32_t size)
{
    return WithDevice(
        handle, call,
        [&](Simulator &sim, Instance &in, uint32_t self, Torn &torn) {
            if (instance != self)
                return SDERR_INVALID_INSTANCE;
            return sim.WritePersist(in, kind, selector, buffer, size, torn.status);
        },
        true);
}

} // namespace

VNSDM_API SD_STATUS ISDFoGetTargetData(uint32_t handle, uint32_t instance, uint32_t selector,
                                       uint8_t *buffer, uint32_t size)
{
    return PersistRead(handle, "ISDFoGetTargetData", PersistKind::Target, instance, selector,
                       buffer, size);
}

VNSDM_API SD_STATUS ISDFoGetLunData(uint32_t handle, uint32_t instance, uint32_t selector,
                                    uint8_t *buffer, uint32_t size)
{
    return PersistRead(handle, "ISDFoGetLunData", PersistKind::Lun, instance, selector, buffer,
                       size);
}

VNSDM_API SD_STATUS ISDFoSetTargetData(uint32_t handle, uint32_t instance, uint32_t selector,
                                       const uint8_t *buffer, uint32_t size)
{
    return PersistWrite(handle, "ISDFoSetTargetData", PersistKind::Target, instance, selector,
                        buffer, size);
}

VNSDM_API SD_STATUS ISDFoSetLunData(uint32_t handle, uint32_t instance, uint32_t selector,
                                    const uint8_t *buffer, uint32_t size)
{
    return PersistWrite(handle, "ISDFoSetLunData", PersistKind::Lun, instance, selector, buffer,
                        size);
}

VNSDM_API SD_STATUS ISDFoDeletePersistentDeviceEntry(uint32_t handle, uint32_t instance,
                                                     const uint8_t wwpn[8])
{
    return WithDevice(
        handle, "ISDFoDeletePersistentDeviceEntry",
        [&](Simulator &sim, Instance &in, uint32_t self, Torn &) {
            if (instance != self)
                return SDERR_INVALID_INSTANCE;
            const Wwn own = in.Wwpn();
            if (!wwpn || !std::equal(own.begin(), own.end(), wwpn))
                return SDERR_INVALID_PARAMETER;
            SD_STATUS status = SD_OK;
            if (!sim.DeletePersist(in, status))
                return SDERR_PERSIST_NOT_FOUND;
            return status;
        },
        true);
}

VNSDM_API SD_STATUS SDGetHbaSupportedFeatureList(uint32_t handle, uint8_t *buffer, uint32_t size)
{
    return WithDevice(handle, "SDGetHbaSupportedFeatureList",
                      [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
                          if (SD_STATUS s = Query(sim, in, "features"))
                              return s;
                          if (!buffer || size < 4)
                              return SDERR_INVALID_PARAMETER;
                          // The driver's features; the bind type is the one callers read.
                          struct Feature {
                              uint32_t number;
                              uint32_t value;
                              const char *name;
                          };
                          const Feature features[] = {
                              {1, in.driver.LunsPerTarget, "LunsPerTarget"},
                              {2, in.driver.MaxTargets, "MaxTargets"},
                              {4, in.driver.BindType == 1 ? 1u : 0u, "BindType"},
                          };
                          const uint32_t count = uint32_t(std::size(features));
                          PutLe32(buffer, count);
                          if (size < 4 + count * SD_FEATURE_ENTRY_SIZE)
                              return SDERR_BUFFER_TOO_SMALL;
                          for (uint32_t i = 0; i < count; ++i) {
                              uint8_t *e = buffer + 4 + i * SD_FEATURE_ENTRY_SIZE;
                              std::memset(e, 0, SD_FEATURE_ENTRY_SIZE);
                              PutLe32(e, features[i].number);
                              PutLe32(e + 4, features[i].value);
                              std::snprintf(reinterpret_cast<char *>(e + 8), 80, "%s",
                                            features[i].name);
                          }
                          return SD_OK;
                      });
}

VNSDM_API SD_STATUS ISDFoGetPersistentTargetEntryList(uint32_t handle, uint8_t *slots,
                                                      uint32_t size)
{
    return WithDevice(handle, "ISDFoGetPersistentTargetEntryList",
                      [&](Simulator &sim, Instance &, uint32_t, Torn &) {
                          if (!slots || size < 8)
                              return SDERR_INVALID_PARAMETER;
                          std::memset(slots, 0, size);
                          std::vector<Wwn> names;
                          for (const auto &[port, blob] : sim.store().GetAll("fo_target.0")) {
                              const auto content = UnsealPersist(PersistKind::Target, blob);
                              if (!content)
                                  continue; // a damaged copy names nobody
                              const size_t count = GetLe16(content->data() + 2);
                              for (size_t i = 0; i < count; ++i) {
                                  const uint8_t *e = content->data() + SD_PERSIST_HEADER_SIZE +
                                                     i * SD_TARGET_DATA_ENTRY_SIZE;
                                  Wwn w;
                                  std::copy(e + 24, e + 32, w.begin());
                                  if (!IsZero(w) &&
                                      std::find(names.begin(), names.end(), w) == names.end())
                                      names.push_back(w);
                              }
                          }
                          if (names.size() * 8 > size)
                              return SDERR_BUFFER_TOO_SMALL;
                          for (size_t i = 0; i < names.size(); ++i)
                              std::copy(names[i].begin(), names[i].end(), slots + 8 * i);
                          return SD_OK;
                      });
}

// ---- SCSI, CT, ELS ---------------------------------------------------------------------

VNSDM_API SD_STATUS SDSendScsiInquiryCmdFC(uint32_t handle, const SD_SCSI_ADDRESS *target,
                                           uint16_t lun, uint8_t *data, uint32_t *length,
                                           uint8_t *sense, uint32_t senseLength)
{
    const uint8_t alloc = length ? uint8_t(std::min<uint32_t>(*length, 255)) : 0;
    const uint8_t cdb[6] = {0x12, 0, 0, 0, alloc, 0};
    return Scsi(handle, "SDSendScsiInquiryCmdFC", target, lun, cdb, 6, SD_DIR_IN, data, length,
                sense, senseLength);
}

VNSDM_API SD_STATUS SDSendScsiReportLunsCmdFC(uint32_t handle, const SD_SCSI_ADDRESS *target,
                                              uint8_t *data, uint32_t *length, uint8_t *sense,
                                              uint32_t senseLength)
{
    uint8_t cdb[12] = {0xA0};
    PutBe32(cdb + 6, length ? *length : 0);
    return Scsi(handle, "SDSendScsiReportLunsCmdFC", target, 0, cdb, 12, SD_DIR_IN, data, length,
                sense, senseLength);
}

VNSDM_API SD_STATUS SDSendScsiReadCapacityCmdFC(uint32_t handle, const SD_SCSI_ADDRESS *target,
                                                uint16_t lun, uint8_t *data, uint32_t *length,
                                                uint8_t *sense, uint32_t senseLength)
{
    const uint8_t cdb[10] = {0x25};
    return Scsi(handle, "SDSendScsiReadCapacityCmdFC", target, lun, cdb, 10, SD_DIR_IN, data,
                length, sense, senseLength);
}

VNSDM_API SD_STATUS SDSendScsiPassThruFC(uint32_t handle, const SD_SCSI_ADDRESS *target,
                                         uint16_t lun, const uint8_t *cdb, uint32_t cdbLength,
                                         uint32_t direction, uint8_t *data, uint32_t *length,
                                         uint8_t *sense, uint32_t senseLength)
{
    return Scsi(handle, "SDSendScsiPassThruFC", target, lun, cdb, cdbLength, direction, data,
                length, sense, senseLength);
}

VNSDM_API SD_STATUS SDSendCTPassThru(uint32_t handle, const uint8_t *request, uint32_t reqLength,
                                     uint8_t *response, uint32_t *respLength)
{
    return WithDevice(
        handle, "SDSendCTPassThru", [&](Simulator &sim, Instance &in, uint32_t index, Torn &) {
            if (!sim.Online(in))
                return SDERR_LINK_DOWN;
            DiagFaults &d = in.faults.diag;
            // A busy management server rejects pings and trace routes for a while.
            if (request && reqLength >= 16 && request[4] == 0xFA && request[8] == 0x04 &&
                (request[9] == 0x00 || request[9] == 0x01) && d.ctBusySeen < d.ctBusy) {
                ++d.ctBusySeen;
                if (!response || !respLength || *respLength < 16)
                    return SDERR_INVALID_PARAMETER;
                std::memset(response, 0, *respLength);
                std::memcpy(response, request, 8);
                response[8] = 0x80;
                response[9] = 0x01; // FS_RJT
                response[13] = d.ctBusyReason;
                *respLength = 16;
                return SD_OK;
            }
            return CtExecute(ViewOf(sim, in, index), request, reqLength, response, respLength);
        });
}

VNSDM_API SD_STATUS SDRunDiagLoopback(uint32_t handle, uint32_t port, uint32_t option,
                                      const uint8_t *tx, uint32_t txLength, uint8_t *rx,
                                      uint32_t rxLength, uint32_t iterations,
                                      SD_LOOPBACK_STATUS *status)
{
    return WithDevice(
        handle, "SDRunDiagLoopback", [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
            if (!status || port != 0 || (txLength && !tx) || (rxLength && !rx))
                return SDERR_INVALID_PARAMETER;
            std::memset(status, 0, sizeof *status);
            DiagFaults &d = in.faults.diag;
            const uint32_t call = d.loopbackCalls++;
            uint32_t result =
                call < d.loopbackResults.size() ? d.loopbackResults[call] : SD_LOOPBACK_SUCCESS;
            // An external loopback needs the link; the internal ones stay on the chip.
            const bool external = (option & 0x0F) == 2;
            if (external && !sim.Online(in) && result == SD_LOOPBACK_SUCCESS)
                result = SD_LOOPBACK_LOOP_DOWN;
            if (txLength == 0 || rxLength < txLength)
                result = SD_LOOPBACK_PARAM_ERROR;
            status->Result = result;
            if (result == SD_LOOPBACK_ERRORS) {
                status->CrcErrors = d.crcErrors;
                status->DisparityErrors = d.disparityErrors;
                status->FrameLengthErrors = d.frameLengthErrors;
            }
            if (result == SD_LOOPBACK_SUCCESS) {
                std::memcpy(rx, tx, txLength);
                status->Iterations = iterations;
            }
            return SD_OK;
        });
}

VNSDM_API SD_STATUS SDRunDportDiagEx(uint32_t handle, uint32_t port, uint8_t *result, uint32_t size)
{
    return WithDevice(handle, "SDRunDportDiagEx",
                      [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
                          if (!result || size < SD_DPORT_RESULT_SIZE || port != 0)
                              return SDERR_INVALID_PARAMETER;
                          if (!sim.Online(in))
                              return SDERR_LINK_DOWN;
                          DiagFaults &d = in.faults.diag;
                          if (d.dportSwitchUnsupported)
                              return SDERR_INVALID_REGION;
                          if (d.dportCalls < d.dportNotReady) {
                              ++d.dportCalls;
                              return SDERR_DEVICE_BUSY;
                          }
                          SD_DPORT_RESULT r{};
                          const uint8_t overall = uint8_t(d.dportResult);
                          const uint8_t passed = 1;
                          for (SD_DPORT_SIDE *side : {&r.Hba, &r.Switch}) {
                              side->Capabilities = 0x07;
                              side->ElectricalType = 0x01;
                              side->OpticalType = 0x02;
                              side->TrafficType = 0x03;
                              side->ElectricalResult = passed;
                              side->OpticalResult = passed;
                              // The traffic test is the one that meets a bad link.
                              side->TrafficResult = overall;
                              side->OverallResult = overall;
                              side->RoundTripLatency = 1240;
                              side->LinkDistance = 3;
                              side->ErrorCount = overall == passed ? 0 : 1;
                          }
                          r.Mbx0 = overall == passed ? 0x4000 : 0x4005;
                          r.Mbx1 = d.dportMbx1;
                          r.StartTime = uint32_t(std::time(nullptr));
                          r.EndTime = r.StartTime + 12;
                          // The firmware keeps the last result until it is cleared.
                          if (SD_STATUS s = sim.Store(in, "dport_result", ToBytes(r)))
                              return s;
                          std::memset(result, 0, size);
                          std::memcpy(result, &r, sizeof r);
                          return SD_OK;
                      });
}

VNSDM_API SD_STATUS SDGetDportResult(uint32_t handle, uint32_t port, uint8_t *result, uint32_t size)
{
    return WithDevice(handle, "SDGetDportResult",
                      [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
                          if (!result || size < SD_DPORT_RESULT_SIZE || port != 0)
                              return SDERR_INVALID_PARAMETER;
                          SD_DPORT_RESULT r{};
                          const auto b = sim.store().Get(in.key, "dport_result");
                          if (!b || !FromBytes(*b, r))
                              return SDERR_PERSIST_EMPTY;
                          std::memset(result, 0, size);
                          std::memcpy(result, &r, sizeof r);
                          return SD_OK;
                      });
}

VNSDM_API SD_STATUS SDClearDportResult(uint32_t handle, uint32_t port)
{
    return WithDevice(handle, "SDClearDportResult",
                      [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
                          if (port != 0)
                              return SDERR_INVALID_PARAMETER;
                          return sim.store().Erase(in.key, "dport_result") ? SD_OK : SDERR_STATE_IO;
                      });
}

namespace {

SD_BBCR_CONFIG BbcrConfig(Simulator &sim, const Instance &in)
{
    SD_BBCR_CONFIG c{};
    c.BbScN = 8; // the firmware's default, used once recovery is enabled
    if (auto b = sim.store().Get(in.key, "bbcr"))
        FromBytes(*b, c);
    // What the port agreed with the switch follows the link.
    const bool online = sim.Online(in);
    c.ActiveBbScN = c.Enabled && online ? c.BbScN : 0;
    c.State = !c.Enabled ? SD_BBCR_STATE_OFF
              : online   ? SD_BBCR_STATE_ONLINE
                         : SD_BBCR_STATE_OFFLINE;
    return c;
}

} // namespace

VNSDM_API SD_STATUS SDGetBbcrConfig(uint32_t handle, uint32_t port, SD_BBCR_CONFIG *config)
{
    return WithDevice(handle, "SDGetBbcrConfig",
                      [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
                          if (!config || port != 0)
                              return SDERR_INVALID_PARAMETER;
                          if (!(in.firmware.Attributes & SD_FW_ATTR_BBCR))
                              return SDERR_NOT_SUPPORTED;
                          *config = BbcrConfig(sim, in);
                          return SD_OK;
                      });
}

VNSDM_API SD_STATUS SDSetBbcrConfig(uint32_t handle, uint32_t port, const SD_BBCR_CONFIG *config)
{
    return WithDevice(
        handle, "SDSetBbcrConfig", [&](Simulator &sim, Instance &in, uint32_t, Torn &) {
            if (!config || port != 0 || config->Enabled > 1 ||
                (config->Enabled && (config->BbScN < 1 || config->BbScN > SD_BBCR_MAX_BB_SC_N)))
                return SDERR_INVALID_PARAMETER;
            if (!(in.firmware.Attributes & SD_FW_ATTR_BBCR))
                return SDERR_NOT_SUPPORTED;
            SD_BBCR_CONFIG stored = BbcrConfig(sim, in);
            stored.Enabled = config->Enabled;
            if (config->Enabled)
                stored.BbScN = config->BbScN;
            stored.ActiveBbScN = 0;
            stored.State = 0;
            return sim.Store(in, "bbcr", ToBytes(stored));
        });
}

VNSDM_API SD_STATUS SDSendElsPassThru(uint32_t handle, const uint8_t destPortId[3],
                                      const uint8_t *request, uint32_t reqLength, uint8_t *response,
                                      uint32_t *respLength)
{
    return WithDevice(handle, "SDSendElsPassThru",
                      [&](Simulator &sim, Instance &in, uint32_t index, Torn &) {
                          if (!destPortId)
                              return SDERR_INVALID_PARAMETER;
                          if (!sim.Online(in))
                              return SDERR_LINK_DOWN;
                          return ElsExecute(ViewOf(sim, in, index), GetBe24(destPortId), request,
                                            reqLength, response, respLength);
                      });
}

// ---- Events ----------------------------------------------------------------------------

VNSDM_API SD_STATUS SDEnableAen(uint32_t handle)
{
    return WithDevice(handle, "SDEnableAen",
                      [&](Simulator &sim, Instance &in, uint32_t index, Torn &) {
                          if (SD_STATUS s = Query(sim, in, "aen_enable"))
                              return s;
                          sim.Runtime(index).aenEnabled = true;
                          return SD_OK;
                      });
}

VNSDM_API SD_STATUS SDDisableAen(uint32_t handle)
{
    return WithDevice(handle, "SDDisableAen",
                      [&](Simulator &sim, Instance &, uint32_t index, Torn &) {
                          sim.Runtime(index).aenEnabled = false;
                          return SD_OK;
                      });
}

VNSDM_API SD_STATUS SDGetAen(uint32_t handle, uint8_t *buffer, uint32_t size, uint32_t *count)
{
    return WithDevice(
        handle, "SDGetAen", [&](Simulator &sim, Instance &in, uint32_t index, Torn &) {
            if (SD_STATUS s = Query(sim, in, "aen"))
                return s;
            if (!count || (!buffer && size))
                return SDERR_INVALID_PARAMETER;
            InstanceRuntime &rt = sim.Runtime(index);
            *count = 0;
            if (!rt.aenEnabled)
                return SD_OK;
            const size_t room = size / sizeof(SD_AEN_EVENT);
            std::vector<Event> out;
            const size_t local = rt.events.size();
            while (out.size() < room && !rt.events.empty()) {
                out.push_back(rt.events.front());
                rt.events.pop_front();
            }
            size_t stored = 0;
            if (sim.store().IsOpen())
                sim.store().TakeEvents(WwnKey(in.Wwpn()), room - out.size(), out, stored);
            *count = uint32_t(local + stored);
            for (size_t i = 0; i < out.size(); ++i) {
                SD_AEN_EVENT e{out[i].type, {out[i].data[0], out[i].data[1], out[i].data[2]}};
                std::memcpy(buffer + i * sizeof e, &e, sizeof e);
            }
            return SD_OK;
        });
}

} // extern "C"
