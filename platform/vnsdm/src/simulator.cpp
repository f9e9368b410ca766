#include "simulator.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <nlohmann/json.hpp>

#include "images.h"

namespace vnsdm {

namespace {

const std::string &Key(const Instance &in) { return in.key; }

struct PortState {
    uint16_t state;
    uint16_t link2;
};

nlohmann::json VportToJson(const Vport &v)
{
    return {{"wwpn", WwnKey(v.wwpn)},
            {"wwnn", WwnKey(v.wwnn)},
            {"port_id", v.portId},
            {"slot", v.slot},
            {"qos_type", v.qosType},
            {"qos_value", v.qosValue},
            {"vf_id", v.vfId},
            {"flags", v.flags},
            {"san_priority", v.sanPriority},
            {"fabric_wwn", WwnKey(v.fabricWwn)},
            {"tag", Bytes(v.tag.begin(), v.tag.end())},
            {"name", v.name}};
}

// Readers of what the state file holds, which anyone may have written: a
// value of the wrong kind or out of range makes the item unreadable, never a
// conversion the language leaves undefined.
struct BadItem { };

Wwn KeyToWwn(const nlohmann::json &j)
{
    if (!j.is_string())
        throw BadItem{};
    const std::string &key = j.get_ref<const std::string &>();
    if (key.size() != 16 ||
        !std::all_of(key.begin(), key.end(), [](unsigned char c) { return std::isxdigit(c); }))
        throw BadItem{};
    Wwn w{};
    for (size_t i = 0; i < 8; ++i)
        w[i] = uint8_t(std::stoul(key.substr(2 * i, 2), nullptr, 16));
    return w;
}

uint32_t Word(const nlohmann::json &j, uint64_t max = 0xFFFFFFFF)
{
    if (!j.is_number_unsigned() || j.get<uint64_t>() > max)
        throw BadItem{};
    return uint32_t(j.get<uint64_t>());
}

} // namespace

std::optional<std::vector<Vport>> DecodeVports(const Bytes &bytes)
{
    // The state file is outside input too: a list is three levels deep.
    if (CheckShape(std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()), 8,
                   64))
        return std::nullopt;
    const auto j = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (!j.is_array())
        return std::nullopt;
    std::vector<Vport> out;
    try {
        for (const auto &e : j) {
            Vport v;
            v.wwpn = KeyToWwn(e.at("wwpn"));
            v.wwnn = KeyToWwn(e.at("wwnn"));
            v.portId = Word(e.at("port_id"), 0xFFFFFF);
            v.slot = Word(e.at("slot"));
            v.qosType = Word(e.at("qos_type"));
            v.qosValue = Word(e.at("qos_value"));
            v.vfId = Word(e.at("vf_id"));
            v.flags = Word(e.at("flags"));
            v.sanPriority = Word(e.at("san_priority"));
            v.fabricWwn = KeyToWwn(e.at("fabric_wwn"));
            const auto &tag = e.at("tag");
            if (!tag.is_array() || tag.size() > v.tag.size())
                throw BadItem{};
            for (size_t i = 0; i < tag.size(); ++i)
                v.tag[i] = uint8_t(Word(tag[i], 255));
            if (!e.at("name").is_string())
                throw BadItem{};
            v.name = e.at("name").get<std::string>();
            out.push_back(v);
        }
    } catch (const BadItem &) {
        return std::nullopt;
    } catch (const std::exception &) {
        return std::nullopt;
    }
    return out;
}

Bytes EncodeVports(const std::vector<Vport> &vports)
{
    nlohmann::json j = nlohmann::json::array();
    for (const auto &v : vports)
        j.push_back(VportToJson(v));
    const std::string text = j.dump();
    return Bytes(text.begin(), text.end());
}

Simulator &Simulator::Get()
{
    static Simulator instance;
    return instance;
}

void Simulator::EnsureLoaded()
{
    if (!loaded_)
        Load();
}

SD_STATUS Simulator::Reload()
{
    Load();
    return stateRefused_ ? SDERR_STATE_IO : refused_ ? SDERR_NO_MACHINE : SD_OK;
}

void Simulator::Load()
{
    loaded_ = true;
    tornThisLoad_.clear(); // a new load checks every image afresh
    handles_.clear();
    targetBuffers_.clear();
    // The old machine goes before the new one is built: never two at once.
    machine_ = Machine{};
    runtime_.clear();
    byWwpn_.clear();
    nameServer_.clear();
    nameServerEpoch_ = 0;
    store_.Close();
    refused_ = true;
    stateRefused_ = false;
    loadTime_ = std::chrono::steady_clock::now();
    try {
        const char *env = std::getenv("VNSDM_MACHINE");
        LoadResult r = env && *env ? LoadMachineFile(env)
                                   : LoadMachineCbor(EmbeddedDefaultMachine(), "<embedded>");
        if (!r.machine) {
            std::fprintf(stderr, "%s\n", r.error.c_str());
            return;
        }
        // A state file that is not ours is refused rather than overruled by the
        // description: the machine would show values its state does not hold.
        if (!store_.Open(StateStore::DefaultPath())) {
            std::fprintf(stderr, "%s\n", store_.error().c_str());
            stateRefused_ = true;
            return;
        }
        machine_ = std::move(*r.machine);
        runtime_.assign(machine_.instances.size(), InstanceRuntime{});
        for (size_t i = 0; i < machine_.instances.size(); ++i) {
            runtime_[i].events.assign(machine_.instances[i].events.begin(),
                                      machine_.instances[i].events.end());
            byWwpn_.emplace(machine_.instances[i].Wwpn(), uint32_t(i));
        }
        refused_ = false;
    } catch (...) {
        std::fprintf(stderr, "vnsdm: machine description: cannot be loaded (out of memory)\n");
        machine_ = Machine{};
        runtime_.clear();
        byWwpn_.clear();
        store_.Close();
    }
}

SD_STATUS Simulator::Open(uint32_t instance, uint32_t &handle, bool faults)
{
    if (instance >= machine_.instances.size())
        return SDERR_NO_MORE_DEVICES;
    Instance &in = machine_.instances[instance];
    if (!faults) {
        handle = nextHandle_++;
        handles_[handle] = instance;
        return SD_OK;
    }
    if (in.faults.openStatus)
        return *in.faults.openStatus;
    if (in.faults.notReadySeen < in.faults.notReady) {
        ++in.faults.notReadySeen;
        return SDERR_DEVICE_NOT_READY;
    }
    if (auto f = CallFault(in, "SDOpenDevice"))
        return *f;
    handle = nextHandle_++;
    handles_[handle] = instance;
    return SD_OK;
}

SD_STATUS Simulator::Close(uint32_t handle)
{
    auto it = handles_.find(handle);
    if (it == handles_.end())
        return SDERR_INVALID_HANDLE;
    handles_.erase(it);
    return SD_OK;
}

Instance *Simulator::ByHandle(uint32_t handle, uint32_t *instance)
{
    auto it = handles_.find(handle);
    if (it == handles_.end() || it->second >= machine_.instances.size())
        return nullptr;
    if (instance)
        *instance = it->second;
    return &machine_.instances[it->second];
}

Instance *Simulator::ByWwpn(const Wwn &wwpn, uint32_t *instance)
{
    auto it = byWwpn_.find(wwpn);
    if (it == byWwpn_.end())
        return nullptr;
    if (instance)
        *instance = it->second;
    return &machine_.instances[it->second];
}

std::optional<SD_STATUS> Simulator::CallFault(Instance &in, std::string_view call, bool *torn)
{
    std::optional<SD_STATUS> out;
    for (auto &f : in.faults.calls) {
        if (f.call != call)
            continue;
        if (++f.seen == f.nth && !out) {
            out = f.status;
            if (torn)
                *torn = f.torn;
        }
    }
    return out;
}

std::optional<SD_STATUS> Simulator::QueryFault(const Instance &in, const char *query) const
{
    auto it = in.faults.queries.find(query);
    if (it == in.faults.queries.end())
        return std::nullopt;
    return it->second;
}

SD_PORT_PROPERTY Simulator::PortProperty(const Instance &in, uint32_t instance)
{
    SD_PORT_PROPERTY p = in.port;
    PortState ps{};
    if (auto b = store_.Get(Key(in), "port_state"); b && FromBytes(*b, ps)) {
        const bool wasOnline = p.PortState == SD_PORT_STATE_ONLINE;
        p.PortState = ps.state;
        p.LinkState2 = ps.link2;
        const bool online = ps.state == SD_PORT_STATE_ONLINE;
        p.LinkState1 = online ? 1 : 0;
        if (online && !wasOnline) {
            // Came up in a fabric: N_Port, with an address from the principal switch.
            p.ConnectionMode = SD_CONNECTION_P2P;
            p.Topology = SD_TOPO_NPORT;
            if (!GetBe24(p.PortId)) {
                const Switch *sw = machine_.fabric.Principal();
                PutBe24(p.PortId, (uint32_t(sw ? sw->domain : 1) << 16) | ((0x40 + instance) << 8));
            }
            if (p.PortSpeed == SD_SPEED_UNKNOWN)
                p.PortSpeed = SD_SPEED_AUTO;
        } else if (!online) {
            p.ConnectionMode = SD_CONNECTION_UNKNOWN;
            p.Topology = SD_TOPO_UNIDENTIFIED;
        }
    }
    p.DiscoveredTargets = uint16_t(p.PortState == SD_PORT_STATE_ONLINE ? in.targets.size() : 0);
    return p;
}

bool Simulator::Online(const Instance &in)
{
    PortState ps{};
    if (auto b = store_.Get(Key(in), "port_state"); b && FromBytes(*b, ps))
        return ps.state == SD_PORT_STATE_ONLINE;
    return in.port.PortState == SD_PORT_STATE_ONLINE;
}

std::vector<Vport> Simulator::Vports(const Instance &in)
{
    if (auto b = store_.Get(Key(in), "vports"))
        if (auto v = DecodeVports(*b))
            return *v;
    return in.vports;
}

namespace {

// The clock scale the library's OS layer reads, read the same way: the
// simulated load follows the library's waits, not the wall clock.
double ClockScale()
{
    static const double scale = [] {
        if (const char *env = std::getenv("TAVRO_CLOCK_SCALE")) {
            char *end = nullptr;
            double v = std::strtod(env, &end);
            if (end != env && v >= 1.0 && v <= 1e6)
                return v;
        }
        return 1.0;
    }();
    return scale;
}

// Whole events at a rate per minute over a span of seconds.
uint32_t PerMinute(uint32_t rate, double seconds)
{
    return seconds <= 0 ? 0 : uint32_t(double(rate) * seconds / 60.0);
}

// The link counters one rate of link errors makes, in fixed proportions.
void AddLinkErrors(SD_STATISTICS &s, uint32_t perMinute, double seconds)
{
    const uint32_t n = PerMinute(perMinute, seconds);
    s.LinkFailureCount += n / 4;
    s.LossOfSyncCount += n;
    s.LossOfSignalCount += n / 2;
    s.PrimitiveSeqProtocolErrorCount += n / 8;
    s.InvalidTransmissionWordCount += 3 * n;
    s.InvalidCrcCount += n;
}

} // namespace

double Simulator::RunSeconds() const
{
    const auto real = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - loadTime_);
    return double(real.count()) / 1e6 * ClockScale();
}

SD_STATUS Simulator::VportStatistics(const Instance &in, uint32_t vpIndex, SD_STATISTICS &stats)
{
    for (const Vport &v : Vports(in)) {
        if (v.slot != vpIndex)
            continue;
        // Virtual port n carries 1/(n+1) of the physical port's traffic, so
        // that ports of one adapter differ and each stays below the whole.
        const uint64_t share = uint64_t(vpIndex) + 1;
        SD_STATISTICS out{};
        out.SecondsSinceReset = stats.SecondsSinceReset;
        out.IoCount = stats.IoCount / share;
        out.ByteCount = stats.ByteCount / share;
        out.ReadRequests = stats.ReadRequests / share;
        out.WriteRequests = stats.WriteRequests / share;
        out.ControlRequests = stats.ControlRequests / share;
        stats = out;
        return SD_OK;
    }
    return SDERR_INVALID_PARAMETER;
}

SD_STATISTICS Simulator::Statistics(const Instance &in, bool raw, uint32_t instance)
{
    SD_STATISTICS s = in.stats;
    SD_STATISTICS delta{};
    if (auto b = store_.Get(Key(in), "stats_delta"); b && FromBytes(*b, delta)) {
        s.IoCount += delta.IoCount;
        s.ByteCount += delta.ByteCount;
        s.ReadRequests += delta.ReadRequests;
        s.WriteRequests += delta.WriteRequests;
        s.ControlRequests += delta.ControlRequests;
        s.PortErrors += delta.PortErrors;
        s.DeviceErrors += delta.DeviceErrors;
        s.ResetCount += delta.ResetCount;
        s.LinkFailureCount += delta.LinkFailureCount;
        s.LossOfSyncCount += delta.LossOfSyncCount;
        s.LossOfSignalCount += delta.LossOfSignalCount;
        s.PrimitiveSeqProtocolErrorCount += delta.PrimitiveSeqProtocolErrorCount;
        s.InvalidTransmissionWordCount += delta.InvalidTransmissionWordCount;
        s.InvalidCrcCount += delta.InvalidCrcCount;
    }
    // Link errors injected during a diagnostic of this process.
    const SD_STATISTICS &inj = in.faults.diag.linkErrors;
    s.LinkFailureCount += inj.LinkFailureCount;
    s.LossOfSyncCount += inj.LossOfSyncCount;
    s.LossOfSignalCount += inj.LossOfSignalCount;
    s.InvalidCrcCount += inj.InvalidCrcCount;
    StatsBaseline base{};
    if (auto b = store_.Get(Key(in), "stats_baseline"); !raw && b && FromBytes(*b, base)) {
        auto sub = [](auto a, auto b) { return a > b ? a - b : decltype(a)(0); };
        const SD_STATISTICS &c = base.counters;
        s.IoCount = sub(s.IoCount, c.IoCount);
        s.ByteCount = sub(s.ByteCount, c.ByteCount);
        s.ReadRequests = sub(s.ReadRequests, c.ReadRequests);
        s.WriteRequests = sub(s.WriteRequests, c.WriteRequests);
        s.ControlRequests = sub(s.ControlRequests, c.ControlRequests);
        s.PortErrors = sub(s.PortErrors, c.PortErrors);
        s.DeviceErrors = sub(s.DeviceErrors, c.DeviceErrors);
        s.ResetCount = sub(s.ResetCount, c.ResetCount);
        s.LinkFailureCount = sub(s.LinkFailureCount, c.LinkFailureCount);
        s.LossOfSyncCount = sub(s.LossOfSyncCount, c.LossOfSyncCount);
        s.LossOfSignalCount = sub(s.LossOfSignalCount, c.LossOfSignalCount);
        s.PrimitiveSeqProtocolErrorCount =
            sub(s.PrimitiveSeqProtocolErrorCount, c.PrimitiveSeqProtocolErrorCount);
        s.InvalidTransmissionWordCount =
            sub(s.InvalidTransmissionWordCount, c.InvalidTransmissionWordCount);
        s.InvalidCrcCount = sub(s.InvalidCrcCount, c.InvalidCrcCount);
        const int64_t now = std::time(nullptr);
        s.SecondsSinceReset = uint32_t(std::max<int64_t>(0, now - base.resetTime));
    } else {
        const auto up = std::chrono::duration_cast<std::chrono::seconds>(
            std::chrono::steady_clock::now() - loadTime_);
        s.SecondsSinceReset += uint32_t(up.count());
    }
    // The load of this run, counted from the run's start or its last reset.
    // A raw read (what a reset records) leaves it out: it restarts on its own.
    if (!raw && instance < runtime_.size()) {
        const Traffic &t = in.traffic;
        const double now = RunSeconds();
        const double io = now - runtime_[instance].ioOrigin;
        const double link = now - runtime_[instance].linkOrigin;
        const uint64_t ios = io > 0 ? uint64_t(double(t.ioPerSecond) * io) : 0;
        s.IoCount += ios;
        s.ReadRequests += ios / 2;
        s.WriteRequests += ios - ios / 2;
        s.ByteCount += ios * t.bytesPerIo;
        s.PortErrors += PerMinute(t.portErrorsPerMinute, io);
        s.DeviceErrors += PerMinute(t.deviceErrorsPerMinute, io);
        AddLinkErrors(s, t.linkErrorsPerMinute, link);
    }
    return s;
}

SD_STATISTICS Simulator::TargetLinkStatistics(const Instance &in, uint32_t instance,
                                              const Target &t)
{
    SD_STATISTICS s{};
    // Link errors a diagnostic of this process injected show on every path.
    const SD_STATISTICS &inj = in.faults.diag.linkErrors;
    s.LinkFailureCount += inj.LinkFailureCount;
    s.LossOfSyncCount += inj.LossOfSyncCount;
    s.LossOfSignalCount += inj.LossOfSignalCount;
    s.InvalidCrcCount += inj.InvalidCrcCount;
    const double origin = instance < runtime_.size() ? runtime_[instance].linkOrigin : 0;
    AddLinkErrors(s, t.linkErrorsPerMinute, RunSeconds() - origin);
    return s;
}

SD_PRIV_STATS Simulator::PrivateStatistics(const Instance &in, uint32_t instance)
{
    SD_PRIV_STATS p{};
    const double origin = instance < runtime_.size() ? runtime_[instance].linkOrigin : 0;
    const double span = RunSeconds() - origin;
    p.TxBufferCreditLost = PerMinute(in.traffic.creditLossPerMinute, span);
    p.RxBufferCreditLost = PerMinute(in.traffic.creditLossPerMinute, span) / 2;
    p.FecCorrected = PerMinute(in.traffic.fecErrorsPerMinute, span);
    p.FecUncorrected = PerMinute(in.traffic.fecErrorsPerMinute, span) / 10;
    return p;
}

int32_t Simulator::Temperature(const Instance &in)
{
    int32_t t = 0;
    if (auto b = store_.Get(Key(in), "temperature"); b && FromBytes(*b, t))
        return t;
    const auto &tp = in.temperature;
    if (!tp.steps.empty()) {
        size_t k = tp.stepSeconds ? size_t(RunSeconds() / tp.stepSeconds) : 0;
        return tp.steps[std::min(k, tp.steps.size() - 1)];
    }
    return in.temperature.celsius;
}

uint32_t Simulator::Beacon(const Instance &in)
{
    uint32_t v = 0;
    if (auto b = store_.Get(Key(in), "beacon"); b && FromBytes(*b, v))
        return v;
    return in.beacon;
}

uint16_t Simulator::TargetSpeed(const Instance &in, const Wwn &target)
{
    uint16_t v = SD_SPEED_AUTO;
    if (auto b = store_.Get(Key(in), "target_speed/" + WwnKey(target)); b && FromBytes(*b, v))
        return v;
    return SD_SPEED_AUTO;
}

std::optional<Bytes> Simulator::Validated(const Instance &in, const std::string &item,
                                          bool (*valid)(const Bytes &))
{
    auto b = store_.Get(Key(in), item);
    if (!b || valid(*b) || tornThisLoad_.count(Key(in) + "/" + item))
        return b;
    if (auto previous = store_.Get(Key(in), item + ".prev"); previous && valid(*previous))
        return previous;
    return b;
}

SD_STATUS Simulator::StoreTorn(const Instance &in, const std::string &item, const Bytes &previous,
                               const Bytes &torn)
{
    tornThisLoad_.insert(Key(in) + "/" + item);
    if (SD_STATUS s = Store(in, item + ".prev", previous))
        return s;
    return Store(in, item, torn);
}

Bytes Simulator::Nvram(const Instance &in, uint32_t region)
{
    const bool second = region == SD_NVRAM_REGION_SECOND;
    auto valid = [](const Bytes &b) { return NvramChecksumOk(b.data(), uint32_t(b.size())); };
    if (auto b = Validated(in, second ? "nvram2" : "nvram1", valid);
        b && b->size() == in.nvram1.size())
        return *b;
    return second ? in.nvram2 : in.nvram1;
}

Bytes Simulator::Vpd(const Instance &in)
{
    auto valid = [](const Bytes &b) { return VpdChecksumOk(b); };
    if (auto b = Validated(in, "vpd", valid); b && b->size() == in.vpd.size())
        return *b;
    return in.vpd;
}

void Simulator::FlashRead(const Instance &in, const FlashRegion &region, uint32_t offset,
                          uint32_t length, uint8_t *out)
{
    if (offset >= region.size)
        return;
    length = std::min(length, region.size - offset);
    const auto stored = store_.StoredSize(Key(in), region.item);
    if (!stored || *stored > region.size)
        return DescribedRegionPart(in, region, offset, length, out);
    // Written bytes first, erased flash after them.
    const uint32_t have = offset < *stored ? std::min(length, *stored - offset) : 0;
    if (have && !store_.ReadPart(Key(in), region.item, offset, have, out))
        return DescribedRegionPart(in, region, offset, length, out);
    std::memset(out + have, 0xFF, length - have);
}

Bytes Simulator::FlashRegionContent(const Instance &in, const FlashRegion &region)
{
    Bytes b(region.size);
    FlashRead(in, region, 0, region.size, b.data());
    return b;
}

SD_STATUS Simulator::StoreFlash(const Instance &in, const FlashRegion &region, Bytes content)
{
    // Erased bytes at the end need not be kept: they read back as erased.
    while (!content.empty() && content.back() == 0xFF)
        content.pop_back();
    return Store(in, region.item, content);
}

namespace {

// What an adapter that was not reset still reports: the flash firmware and
// boot-code versions of SD_NODE_PROPERTY, as they were.
constexpr const char *kRunningItem = "running_versions";
constexpr size_t kRunningSize = 6;

} // namespace

SD_STATUS Simulator::HoldRunningVersions(const Instance &in)
{
    if (store_.StoredSize(Key(in), kRunningItem))
        return SD_OK; // still running what it ran before the first such write
    const SD_NODE_PROPERTY n = NodeProperty(in);
    const Bytes held{uint8_t(n.FlashFwMajor), uint8_t(n.FlashFwMinor), uint8_t(n.FlashFwSub),
                     uint8_t(n.BiosMajor),    uint8_t(n.BiosMinor),    uint8_t(n.BiosIsEfi)};
    return Store(in, kRunningItem, held);
}

SD_STATUS Simulator::ResetAdapter(const Instance &in)
{
    return store_.Erase(Key(in), kRunningItem) ? SD_OK : SDERR_STATE_IO;
}

SD_NODE_PROPERTY Simulator::NodeProperty(const Instance &in)
{
    SD_NODE_PROPERTY n = in.node;
    // Flash and boot-code versions are what the flash holds now, read in place.
    if (const FlashRegion *fw = in.Region(SD_FLASH_REGION_FW)) {
        uint8_t h[kFirmwareHeaderSize];
        const uint32_t size = std::min<uint32_t>(fw->size, sizeof h);
        FlashRead(in, *fw, 0, size, h);
        uint8_t a, b, c;
        if (ParseFirmwareHeader(h, size, a, b, c)) {
            n.FlashFwMajor = a;
            n.FlashFwMinor = b;
            n.FlashFwSub = c;
        }
    }
    if (const FlashRegion *boot = in.Region(SD_FLASH_REGION_BOOT)) {
        const bool written = store_.StoredSize(Key(in), boot->item).has_value();
        const auto chain =
            written ? ParseBootChain(
                          [&](size_t offset, size_t length, uint8_t *out) {
                              FlashRead(in, *boot, uint32_t(offset), uint32_t(length), out);
                              return true;
                          },
                          boot->size)
                    : DescribedBootImages(in, *boot);
        auto pick = [&](BootCodeType t) {
            return std::find_if(chain.begin(), chain.end(),
                                [t](const BootImage &b) { return b.type == t; });
        };
        if (auto x86 = pick(BootCodeType::Bios); x86 != chain.end()) {
            n.BiosMajor = x86->major;
            n.BiosMinor = x86->minor;
            n.BiosIsEfi = 0;
        } else if (auto efi = pick(BootCodeType::Efi); efi != chain.end()) {
            n.BiosMajor = efi->major;
            n.BiosMinor = efi->minor;
            n.BiosIsEfi = 1;
        }
    }
    if (auto held = store_.Get(Key(in), kRunningItem); held && held->size() == kRunningSize) {
        const Bytes &h = *held;
        n.FlashFwMajor = h[0];
        n.FlashFwMinor = h[1];
        n.FlashFwSub = h[2];
        n.BiosMajor = h[3];
        n.BiosMinor = h[4];
        n.BiosIsEfi = h[5];
    }
    return n;
}

namespace {

const char *PersistItem(PersistKind kind, uint32_t copy)
{
    static const char *const kItems[2][2] = {{"fo_target.0", "fo_target.1"},
                                             {"fo_lun.0", "fo_lun.1"}};
    return kItems[kind == PersistKind::Lun ? 1 : 0][copy ? 1 : 0];
}

size_t PersistEntrySize(PersistKind kind)
{
    return kind == PersistKind::Lun ? SD_LUN_DATA_ENTRY_SIZE : SD_TARGET_DATA_ENTRY_SIZE;
}

size_t PersistBufferSize(PersistKind kind)
{
    return kind == PersistKind::Lun ? SD_LUN_DATA_SIZE : SD_TARGET_DATA_SIZE;
}

uint32_t Crc32(const uint8_t *p, size_t n)
{
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

constexpr uint8_t kPersistMagic[4] = {'V', 'N', 'P', 'D'};
constexpr size_t kSealSize = 8;

} // namespace

Bytes SealPersist(PersistKind kind, const uint8_t *buffer)
{
    const size_t count = std::min<size_t>(GetLe16(buffer + 2), SD_PERSIST_MAX_ENTRIES);
    const size_t used = SD_PERSIST_HEADER_SIZE + count * PersistEntrySize(kind);
    Bytes out(buffer, buffer + used);
    out.insert(out.end(), std::begin(kPersistMagic), std::end(kPersistMagic));
    uint8_t crc[4];
    PutLe32(crc, Crc32(out.data(), used));
    out.insert(out.end(), crc, crc + 4);
    return out;
}

std::optional<Bytes> UnsealPersist(PersistKind kind, const Bytes &sealed)
{
    if (sealed.size() < SD_PERSIST_HEADER_SIZE + kSealSize)
        return std::nullopt;
    const size_t used = sealed.size() - kSealSize;
    const size_t count = GetLe16(sealed.data() + 2);
    if (count > SD_PERSIST_MAX_ENTRIES ||
        used != SD_PERSIST_HEADER_SIZE + count * PersistEntrySize(kind))
        return std::nullopt;
    if (!std::equal(std::begin(kPersistMagic), std::end(kPersistMagic), sealed.begin() + used) ||
        GetLe32(sealed.data() + used + 4) != Crc32(sealed.data(), used))
        return std::nullopt;
    return Bytes(sealed.begin(), sealed.begin() + used);
}

SD_STATUS Simulator::ReadPersist(const Instance &in, PersistKind kind, uint32_t copy,
                                 uint8_t *buffer, uint32_t size)
{
    if (!buffer || copy > 1 || size < PersistBufferSize(kind))
        return SDERR_INVALID_PARAMETER;
    auto b = store_.Get(Key(in), PersistItem(kind, copy));
    if (!b || b->empty())
        return SDERR_PERSIST_EMPTY;
    auto content = UnsealPersist(kind, *b);
    if (!content)
        return SDERR_CHECKSUM;
    std::memset(buffer, 0, size);
    std::memcpy(buffer, content->data(), content->size());
    return SD_OK;
}

SD_STATUS Simulator::WritePersist(const Instance &in, PersistKind kind, uint32_t copy,
                                  const uint8_t *buffer, uint32_t size,
                                  std::optional<SD_STATUS> torn)
{
    if (!buffer || copy > 1 || size < PersistBufferSize(kind) ||
        GetLe16(buffer + 2) > SD_PERSIST_MAX_ENTRIES)
        return SDERR_INVALID_PARAMETER;
    const Bytes sealed = SealPersist(kind, buffer);
    if (torn) {
        // The write stopped halfway: the copy is left damaged, the other intact.
        if (SD_STATUS s = Store(in, PersistItem(kind, copy),
                                Bytes(sealed.begin(), sealed.begin() + sealed.size() / 2)))
            return s;
        return *torn;
    }
    if (SD_STATUS s = Store(in, PersistItem(kind, copy), sealed))
        return s;
    return copy == SD_PERSIST_COPY_1 ? Store(in, PersistItem(kind, SD_PERSIST_COPY_0), sealed)
                                     : SD_OK;
}

bool Simulator::DeletePersist(const Instance &in, SD_STATUS &status)
{
    bool had = false;
    status = SD_OK;
    for (PersistKind kind : {PersistKind::Target, PersistKind::Lun})
        for (uint32_t copy : {0u, 1u})
            if (auto b = store_.Get(Key(in), PersistItem(kind, copy)); b && !b->empty()) {
                had = true;
                if (SD_STATUS s = Store(in, PersistItem(kind, copy), {}))
                    status = s;
            }
    return had;
}

std::vector<std::pair<Wwn, uint16_t>> Simulator::BoundTargetIds(const Instance &in)
{
    std::vector<std::pair<Wwn, uint16_t>> out;
    auto b = store_.Get(Key(in), PersistItem(PersistKind::Target, 0));
    if (!b || b->empty())
        return out;
    auto content = UnsealPersist(PersistKind::Target, *b);
    if (!content)
        return out;
    const size_t count = GetLe16(content->data() + 2);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t *e = content->data() + SD_PERSIST_HEADER_SIZE + i * SD_TARGET_DATA_ENTRY_SIZE;
        if (GetLe16(e) != 0xFFFF)
            continue;
        Wwn w;
        std::copy(e + 24, e + 32, w.begin());
        out.emplace_back(w, GetLe16(e + 10));
    }
    return out;
}

std::vector<const TargetRef *> Simulator::VisibleTargets(const Instance &in)
{
    std::vector<const TargetRef *> out;
    if (!Online(in))
        return out;
    for (const auto &t : in.targets)
        out.push_back(&t);
    return out;
}

const std::vector<NsEntry> &Simulator::NameServer()
{
    const uint64_t epoch = store_.Epoch();
    if (nameServerEpoch_ && nameServerEpoch_ == epoch)
        return nameServer_;
    std::vector<NsEntry> out;
    for (const auto &t : machine_.fabric.targets)
        out.push_back({t.portId, t.wwpn, t.wwnn, true, t.vendor + " " + t.product});
    for (uint32_t i = 0; i < machine_.instances.size(); ++i) {
        const Instance &in = machine_.instances[i];
        if (!Online(in))
            continue;
        const SD_PORT_PROPERTY p = PortProperty(in, i);
        const uint32_t id = GetBe24(p.PortId);
        if (!id || IsZero(in.Wwpn()))
            continue;
        out.push_back({id, in.Wwpn(), in.Wwnn(), false, std::string("Vantor ") + in.node.Model});
        for (const auto &v : Vports(in))
            if (v.portId)
                out.push_back({v.portId, v.wwpn, v.wwnn, false, v.name});
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const NsEntry &a, const NsEntry &b) { return a.portId < b.portId; });
    nameServer_ = std::move(out);
    nameServerEpoch_ = epoch;
    return nameServer_;
}

SD_STATUS Simulator::Store(const Instance &in, const std::string &item, const Bytes &value)
{
    return store_.Put(Key(in), item, value) ? SD_OK : SDERR_STATE_IO;
}

Bytes &Simulator::TargetBuffer(const Target &t)
{
    Bytes &b = targetBuffers_[WwnKey(t.wwpn)];
    if (b.size() != t.bufferSize)
        b.assign(t.bufferSize, 0);
    return b;
}

} // namespace vnsdm
