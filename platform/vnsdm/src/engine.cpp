// SDQuillMgt: the FCoE engine's management channel over the simulated machine.
#include "engine.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "vnsdm.h"

namespace vnsdm {

static_assert(sizeof(SD_ENGINE_REQUEST) == 28, "the request record is 28 bytes");

Instance *EngineHost(Simulator &sim, const Instance &in, uint32_t *hostIndex)
{
    auto &all = sim.machine().instances;
    for (size_t i = 0; i < all.size(); ++i) {
        Instance &c = all[i];
        const bool self = &c == &in;
        const bool sameCard =
            c.chip.PciBusNumber == in.chip.PciBusNumber && c.chip.DeviceId == in.chip.DeviceId;
        if (c.engine && (self || (sameCard && !in.engine))) {
            if (hostIndex)
                *hostIndex = uint32_t(i);
            return &c;
        }
    }
    return nullptr;
}

EngineSaved EngineCurrent(Simulator &sim, const Instance &host)
{
    EngineSaved s;
    if (auto b = sim.store().Get(host.key, "engine"); b && FromBytes(*b, s))
        return s;
    s.version = host.engine->version;
    s.golden = host.engine->golden ? 1 : 0;
    std::copy(std::begin(host.engine->ports), std::end(host.engine->ports), s.ports);
    return s;
}

uint32_t EngineStateBits(Simulator &sim, const Instance &in)
{
    uint32_t index = 0;
    Instance *host = EngineHost(sim, in, &index);
    if (!host)
        return 0;
    InstanceRuntime &rt = sim.Runtime(index);
    if (rt.engineLoginPollsLeft > 0) {
        --rt.engineLoginPollsLeft;
        return 0;
    }
    const EngineSaved s = EngineCurrent(sim, *host);
    // The fallback image logs in too: both bits say it runs.
    return SD_ENGINE_STATE_LOGGED_IN | (s.golden ? SD_ENGINE_STATE_GOLDEN : 0u);
}

namespace {

uint32_t Le32(const uint8_t *p)
{
    return uint32_t(p[0]) | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }
void Put16(uint8_t *p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

uint32_t ImageVersion(const uint8_t *image) { return Le32(image + 8) & 0xFFFFFF; }

Bytes ParameterBlock(const Engine &e, const EngineSaved &s)
{
    const size_t record =
        e.fcoeConfigItem ? SD_ENGINE_PARAMS_RECORD_SIZE : SD_ENGINE_PARAMS_SHORT_RECORD_SIZE;
    Bytes b(SD_ENGINE_PARAMS_HEADER_SIZE + 2 * record, 0);
    Put16(&b[0], 1);
    Put16(&b[2], 2);
    Put16(&b[4], uint16_t(record));
    for (size_t i = 0; i < 2; ++i) {
        uint8_t *r = &b[SD_ENGINE_PARAMS_HEADER_SIZE + i * record];
        const EnginePort &p = s.ports[i];
        r[SD_ENGINE_PARAM_PORT_TYPE] = p.portType;
        r[SD_ENGINE_PARAM_PAUSE_TYPE] = p.pauseType;
        r[SD_ENGINE_PARAM_COS] = p.cos;
        r[SD_ENGINE_PARAM_RETRY_COUNT] = p.retryCount;
        Put16(r + SD_ENGINE_PARAM_FW_TIMEOUT, p.fwUpdateTimeout);
        Put16(r + SD_ENGINE_PARAM_TIMEOUT, p.timeout);
        r[SD_ENGINE_PARAM_PAUSE_MASK] = p.pauseMask;
        std::memcpy(r + SD_ENGINE_PARAM_FC_MAP, p.fcMap, 3);
        if (e.fcoeConfigItem) {
            r[SD_ENGINE_PARAM_FCOE_CONFIG] = p.fcoeConfig;
            r[SD_ENGINE_PARAM_FCOE_CONFIG + 1] = p.fcoeConfigMin;
            r[SD_ENGINE_PARAM_FCOE_CONFIG + 2] = p.fcoeConfigMax;
            r[SD_ENGINE_PARAM_FCOE_CONFIG + 3] = p.fcoeConfigEnable;
        }
    }
    return b;
}

void Put32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
void Put64(uint8_t *p, uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

// A counter record: the first wide64 counters 64-bit, the rest 32-bit (cut).
template <size_t N> Bytes CounterRecord(const std::array<uint64_t, N> &row, size_t wide64)
{
    Bytes b(wide64 * 8 + (N - wide64) * 4, 0);
    size_t at = 0;
    for (size_t i = 0; i < N; ++i) {
        if (i < wide64) {
            Put64(&b[at], row[i]);
            at += 8;
        } else {
            Put32(&b[at], uint32_t(row[i]));
            at += 4;
        }
    }
    return b;
}

// The block an information type answers: SDERR_NOT_SUPPORTED for an unknown
// type, SDERR_INVALID_PARAMETER for an engine port or log ID it does not have.
SD_STATUS InfoBlock(Simulator &sim, const Instance &host, uint32_t type, uint32_t context,
                    Bytes &out)
{
    const Engine &e = *host.engine;
    const EngineCounters &c = e.counters;
    const bool perPort = type == SD_ENGINE_INFO_STATS_ETHERNET || type == SD_ENGINE_INFO_STATS_FC ||
                         type == SD_ENGINE_INFO_STATS_NSL;
    if (perPort && context > 1)
        return SDERR_INVALID_PARAMETER;
    switch (type) {
    case SD_ENGINE_INFO_PARAMS:
        out = ParameterBlock(e, EngineCurrent(sim, host));
        return SD_OK;
    case SD_ENGINE_INFO_STATS_ASIC:
        out = CounterRecord(c.asic, 0);
        return SD_OK;
    case SD_ENGINE_INFO_STATS_CPU:
        out = CounterRecord(c.cpu, 0);
        return SD_OK;
    case SD_ENGINE_INFO_STATS_ETHERNET:
        out = CounterRecord(c.ethernet[context], 4);
        return SD_OK;
    case SD_ENGINE_INFO_STATS_FC:
        out = CounterRecord(c.fc[context], 4);
        return SD_OK;
    case SD_ENGINE_INFO_STATS_NSL:
        out = CounterRecord(c.nsl[context], 0);
        return SD_OK;
    case SD_ENGINE_INFO_LOG_LAYOUT: {
        out.assign(SD_ENGINE_LOG_HEADER_SIZE + e.logs.size() * SD_ENGINE_LOG_LAYOUT_SIZE, 0);
        Put16(&out[0], uint16_t(e.logs.size()));
        for (size_t i = 0; i < e.logs.size(); ++i) {
            uint8_t *r = &out[SD_ENGINE_LOG_HEADER_SIZE + i * SD_ENGINE_LOG_LAYOUT_SIZE];
            Put16(r, e.logs[i].id);
            Put16(r + 2, SD_ENGINE_LOG_ENTRY_SIZE);
            Put32(r + 4, uint32_t(e.logs[i].entries.size()));
            std::memcpy(r + 8, e.logs[i].name.data(),
                        std::min<size_t>(e.logs[i].name.size(), SD_ENGINE_LOG_NAME_SIZE - 1));
        }
        return SD_OK;
    }
    case SD_ENGINE_INFO_LOG_DATA: {
        auto log = std::find_if(e.logs.begin(), e.logs.end(),
                                [&](const EngineLog &l) { return l.id == context; });
        if (log == e.logs.end())
            return SDERR_INVALID_PARAMETER;
        // As many entries as the largest answer holds, the newest kept.
        const size_t room =
            (SD_ENGINE_MAX_DATA - SD_ENGINE_LOG_DATA_HEADER_SIZE) / SD_ENGINE_LOG_ENTRY_SIZE;
        const size_t skip = log->entries.size() > room ? log->entries.size() - room : 0;
        const size_t n = log->entries.size() - skip;
        out.assign(SD_ENGINE_LOG_DATA_HEADER_SIZE + n * SD_ENGINE_LOG_ENTRY_SIZE, 0);
        Put32(&out[0], uint32_t(n));
        Put32(&out[4], SD_ENGINE_LOG_ENTRY_SIZE);
        for (size_t i = 0; i < n; ++i) {
            const EngineLogEntry &en = log->entries[skip + i];
            uint8_t *r = &out[SD_ENGINE_LOG_DATA_HEADER_SIZE + i * SD_ENGINE_LOG_ENTRY_SIZE];
            Put32(r, en.time);
            Put16(r + 4, en.code);
            r[6] = en.severity;
            std::memcpy(r + 8, en.text.data(),
                        std::min<size_t>(en.text.size(), SD_ENGINE_LOG_TEXT_SIZE - 1));
        }
        return SD_OK;
    }
    case SD_ENGINE_INFO_PANIC_LOG:
        out.assign(e.panicLog.begin(), e.panicLog.end());
        return SD_OK;
    default:
        return SDERR_NOT_SUPPORTED;
    }
}

// One configuration item; the change is stored only when the call succeeds.
SD_STATUS Configure(Simulator &sim, Instance &in, Instance &host, const SD_ENGINE_REQUEST &r)
{
    static const char *const kItemCalls[] = {nullptr,
                                             nullptr,
                                             "SDQuillMgt.port_type",
                                             "SDQuillMgt.cos",
                                             "SDQuillMgt.pause_type",
                                             "SDQuillMgt.timeouts",
                                             "SDQuillMgt.fcoe_config"};
    const uint32_t item = r.Param1 & 0xFF;
    const uint32_t port = (r.Param1 >> 8) & 0xFF;
    if (item < SD_ENGINE_ITEM_PORT_TYPE || item > SD_ENGINE_ITEM_FCOE_CONFIG || port > 1)
        return SDERR_INVALID_PARAMETER;
    if (auto f = sim.CallFault(in, kItemCalls[item]))
        return *f;
    EngineSaved s = EngineCurrent(sim, host);
    EnginePort &p = s.ports[port];
    switch (item) {
    case SD_ENGINE_ITEM_PORT_TYPE:
        if (r.Param2 > 1)
            return SDERR_INVALID_PARAMETER;
        p.portType = uint8_t(r.Param2);
        break;
    case SD_ENGINE_ITEM_COS:
        if (r.Param3 > 7)
            return SDERR_INVALID_PARAMETER;
        p.cos = uint8_t(r.Param3);
        break;
    case SD_ENGINE_ITEM_PAUSE_TYPE: {
        const uint32_t type = r.Param3 & 0xFF;
        if (type < 1 || type > 2 || r.Param3 > 0xFFFF)
            return SDERR_INVALID_PARAMETER;
        p.pauseType = uint8_t(type);
        p.pauseMask = uint8_t(r.Param3 >> 8);
        break;
    }
    case SD_ENGINE_ITEM_TIMEOUTS:
        if (r.Param2 > 255)
            return SDERR_INVALID_PARAMETER;
        p.retryCount = uint8_t(r.Param2);
        p.fwUpdateTimeout = uint16_t(r.Param3 >> 16);
        p.timeout = uint16_t(r.Param3);
        break;
    case SD_ENGINE_ITEM_FCOE_CONFIG: {
        if (!host.engine->fcoeConfigItem)
            return SDERR_NOT_SUPPORTED;
        const uint8_t config = uint8_t(r.Param2);
        if (config < p.fcoeConfigMin || config > p.fcoeConfigMax)
            return SDERR_INVALID_PARAMETER;
        p.fcoeConfig = config;
        p.fcMap[0] = uint8_t(r.Param2 >> 24);
        p.fcMap[1] = uint8_t(r.Param2 >> 16);
        p.fcMap[2] = uint8_t(r.Param2 >> 8);
        break;
    }
    }
    return sim.Store(host, "engine", ToBytes(s));
}

SD_STATUS Manage(Simulator &sim, Instance &in, Instance &host, uint32_t hostIndex,
                 SD_ENGINE_REQUEST &r)
{
    switch (r.Operation) {
    case SD_ENGINE_OP_READ_MEMORY:
    case SD_ENGINE_OP_WRITE_MEMORY: {
        if (auto f = sim.CallFault(in, "SDQuillMgt.memory"))
            return *f;
        if (!r.Data || uint64_t(r.Param1) + r.ByteCount > SD_ENGINE_MEMORY_SIZE)
            return SDERR_INVALID_PARAMETER;
        Bytes &mem = sim.Runtime(hostIndex).engineMemory;
        mem.resize(SD_ENGINE_MEMORY_SIZE, 0);
        if (r.Operation == SD_ENGINE_OP_READ_MEMORY)
            std::memcpy(r.Data, mem.data() + r.Param1, r.ByteCount);
        else
            std::memcpy(mem.data() + r.Param1, r.Data, r.ByteCount);
        return SD_OK;
    }
    case SD_ENGINE_OP_CONFIG:
        return Configure(sim, in, host, r);
    case SD_ENGINE_OP_GET_INFO: {
        if (auto f = sim.CallFault(in, "SDQuillMgt.info"))
            return *f;
        Bytes block;
        if (SD_STATUS st = InfoBlock(sim, host, r.Param1, r.Param2, block))
            return st;
        if (!r.Data || r.ByteCount < block.size()) {
            r.ByteCount = uint32_t(block.size());
            return SDERR_BUFFER_TOO_SMALL;
        }
        if (!block.empty()) // an engine that never panicked has an empty block
            std::memcpy(r.Data, block.data(), block.size());
        r.ByteCount = uint32_t(block.size());
        r.Param3 = EngineStateBits(sim, in);
        return SD_OK;
    }
    default:
        return SDERR_INVALID_PARAMETER;
    }
}

} // namespace

bool EngineImageValid(const uint8_t *image, size_t size, uint16_t deviceId)
{
    if (!image || size <= SD_ENGINE_IMAGE_HEADER_SIZE || size > SD_ENGINE_MAX_IMAGE)
        return false;
    if (std::memcmp(image, SD_ENGINE_IMAGE_SIGNATURE, 4) != 0 || Le16(image + 4) != deviceId ||
        Le16(image + 6) != SD_ENGINE_IMAGE_HEADER_SIZE || Le32(image + 12) != size)
        return false;
    uint32_t sum = 0;
    for (size_t i = SD_ENGINE_IMAGE_HEADER_SIZE; i < size; ++i)
        sum += image[i];
    return sum == Le32(image + 16);
}

} // namespace vnsdm

using namespace vnsdm;

extern "C" VNSDM_API SD_STATUS SDQuillMgt(uint32_t handle, uint16_t command,
                                          SD_ENGINE_REQUEST *request)
{
    try {
        Simulator &sim = Simulator::Get();
        std::lock_guard<std::mutex> lock(sim.mu);
        sim.EnsureLoaded();
        StateStore::ReadScope reads(sim.store());
        Instance *in = sim.ByHandle(handle);
        if (!in)
            return SDERR_INVALID_HANDLE;
        if (auto f = sim.CallFault(*in, "SDQuillMgt"))
            return *f;
        uint32_t hostIndex = 0;
        Instance *host = EngineHost(sim, *in, &hostIndex);
        if (!host)
            return SDERR_NOT_SUPPORTED;
        if (!request)
            return SDERR_INVALID_PARAMETER;
        SD_ENGINE_REQUEST &r = *request;
        switch (command) {
        case SD_ENGINE_CMD_RESET:
            if (auto f = sim.CallFault(*in, "SDQuillMgt.reset"))
                return *f;
            sim.Runtime(hostIndex).engineLoginPollsLeft = host->engine->loginPolls;
            sim.Runtime(hostIndex).engineMemory.clear();
            return SD_OK;
        case SD_ENGINE_CMD_VERSION: {
            if (auto f = sim.CallFault(*in, "SDQuillMgt.version"))
                return *f;
            const EngineSaved s = EngineCurrent(sim, *host);
            const uint32_t v = s.golden ? host->engine->goldenVersion : s.version;
            std::memcpy(request, &v, sizeof v);
            return SD_OK;
        }
        case SD_ENGINE_CMD_UPDATE: {
            if (auto f = sim.CallFault(*in, "SDQuillMgt.update"))
                return *f;
            const uint8_t *image = nullptr;
            std::memcpy(&image, reinterpret_cast<const uint8_t *>(request) + 8, sizeof image);
            if (r.Operation != SD_ENGINE_OP_UPDATE_FIRMWARE || !image)
                return SDERR_INVALID_PARAMETER;
            if (r.Param1 > SD_ENGINE_MAX_IMAGE)
                return SDERR_INVALID_PARAMETER;
            if (!EngineImageValid(image, r.Param1, host->chip.DeviceId))
                return SDERR_CHECKSUM;
            EngineSaved s = EngineCurrent(sim, *host);
            s.version = ImageVersion(image);
            s.golden = 0;
            if (SD_STATUS st = sim.Store(*host, "engine", ToBytes(s)))
                return st;
            sim.Runtime(hostIndex).engineLoginPollsLeft = host->engine->loginPolls;
            return SD_OK;
        }
        case SD_ENGINE_CMD_MANAGE:
            return Manage(sim, *in, *host, hostIndex, r);
        default:
            return SDERR_INVALID_PARAMETER;
        }
    } catch (const std::bad_alloc &) {
        return SDERR_NO_MEMORY;
    } catch (...) {
        return SDERR_FAILED;
    }
}
