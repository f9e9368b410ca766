// The simulated machine of this process: description, handles, state file.
#pragma once

#include <chrono>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "model.h"
#include "state_store.h"

namespace vnsdm {

// A port as the fabric's name server knows it.
enum class PersistKind {
    Target,
    Lun,
};

struct NsEntry {
    uint32_t portId = 0;
    Wwn wwpn{}, wwnn{};
    bool target = false;
    std::string symbolicName;
    uint8_t domain() const { return uint8_t(portId >> 16); }
};

// What SDResetStatistics records.
struct StatsBaseline {
    SD_STATISTICS counters;
    int64_t resetTime;
};

struct InstanceRuntime {
    bool aenEnabled = false;
    uint32_t engineLoginPollsLeft = 0; // FCoE engine: port queries until it logs in again
    Bytes engineMemory;
    std::deque<Event> events; // the description's queue, delivered once per process
    // Run seconds at which the traffic counters last restarted from zero.
    double ioOrigin = 0;
    double linkOrigin = 0;
};

class Simulator {
public:
    static Simulator &Get();

    std::mutex mu; // every entry point holds it

    // Loads on first use; Reload re-reads the environment.
    void EnsureLoaded();
    SD_STATUS Reload();
    bool Refused() const { return refused_; }
    Machine &machine() { return machine_; }
    StateStore &store() { return store_; }

    // Handles
    SD_STATUS Open(uint32_t instance, uint32_t &handle, bool faults = true);
    SD_STATUS Close(uint32_t handle);
    // The instance behind a handle, or nullptr.
    Instance *ByHandle(uint32_t handle, uint32_t *instance = nullptr);
    Instance *ByWwpn(const Wwn &wwpn, uint32_t *instance = nullptr);
    InstanceRuntime &Runtime(uint32_t instance) { return runtime_[instance]; }

    // Injected faults: the call's own failure (counted per process), a query's failure.
    std::optional<SD_STATUS> CallFault(Instance &in, std::string_view call, bool *torn = nullptr);
    std::optional<SD_STATUS> QueryFault(const Instance &in, const char *query) const;

    // Current values: the state file's when it has them, else the description's.
    SD_PORT_PROPERTY PortProperty(const Instance &in, uint32_t instance);
    bool Online(const Instance &in);
    std::vector<Vport> Vports(const Instance &in);
    // raw: without the reset baseline (what a reset records)
    SD_STATISTICS Statistics(const Instance &in, bool raw = false, uint32_t instance = UINT32_MAX);
    // Narrows a physical port's counters to its virtual port of one VP index:
    // that port's share of the I/O and bytes, no errors of its own.
    SD_STATUS VportStatistics(const Instance &in, uint32_t vpIndex, SD_STATISTICS &stats);
    int32_t Temperature(const Instance &in);
    // Seconds since the machine was loaded, on the scaled clock.
    double RunSeconds() const;
    // Link counters of a target's port as the port sees them.
    SD_STATISTICS TargetLinkStatistics(const Instance &in, uint32_t instance, const Target &t);
    // Firmware-private counters: buffer credits lost, FEC errors.
    SD_PRIV_STATS PrivateStatistics(const Instance &in, uint32_t instance);
    uint32_t Beacon(const Instance &in);
    // The link speed the port was told to use with a target; SD_SPEED_AUTO
    // when it negotiates (nothing chosen).
    uint16_t TargetSpeed(const Instance &in, const Wwn &target);
    Bytes Nvram(const Instance &in, uint32_t region);
    Bytes Vpd(const Instance &in);
    // Flash as it is now: what was written, else what the description makes.
    void FlashRead(const Instance &in, const FlashRegion &region, uint32_t offset, uint32_t length,
                   uint8_t *out);
    Bytes FlashRegionContent(const Instance &in, const FlashRegion &region);
    // Stores a region's new content (the rest of the region reads as erased).
    SD_STATUS StoreFlash(const Instance &in, const FlashRegion &region, Bytes content);
    SD_NODE_PROPERTY NodeProperty(const Instance &in);
    // A flash write that does not reset the adapter: it goes on reporting the
    // versions it ran before the first such write, until it is reset.
    SD_STATUS HoldRunningVersions(const Instance &in);
    // The adapter reset (or the host rebooted): it runs what its flash holds.
    SD_STATUS ResetAdapter(const Instance &in);
    // Persistent target / LUN data: one copy as the driver's buffer holds it.
    SD_STATUS ReadPersist(const Instance &in, PersistKind kind, uint32_t copy, uint8_t *buffer,
                          uint32_t size);
    // Writes a copy; copy 1 is committed to copy 0 once stored whole. torn: store
    // only the first half of copy 1 (no commit) and answer that status.
    SD_STATUS WritePersist(const Instance &in, PersistKind kind, uint32_t copy,
                           const uint8_t *buffer, uint32_t size, std::optional<SD_STATUS> torn);
    // Removes both copies of both kinds; false when the port had none.
    bool DeletePersist(const Instance &in, SD_STATUS &status);
    // Bound target IDs of copy 0 of the target data, by target port name.
    std::vector<std::pair<Wwn, uint16_t>> BoundTargetIds(const Instance &in);

    // Targets the port sees now (none while its link is down).
    std::vector<const TargetRef *> VisibleTargets(const Instance &in);
    // Every port logged in to the fabric, by port ID. Built once and again
    // only when the state changed.
    const std::vector<NsEntry> &NameServer();

    // Stores a value, or SDERR_STATE_IO.
    SD_STATUS Store(const Instance &in, const std::string &item, const Bytes &value);
    // A torn NVRAM or VPD write: the half-written image stays visible until the
    // next load, which finds it invalid and serves the image before the write.
    SD_STATUS StoreTorn(const Instance &in, const std::string &item, const Bytes &previous,
                        const Bytes &torn);

    // READ BUFFER / WRITE BUFFER data of a target, kept for the process.
    Bytes &TargetBuffer(const Target &t);

private:
    // An item read from the state file, or its previous image when a torn
    // write of an earlier load left it invalid.
    std::optional<Bytes> Validated(const Instance &in, const std::string &item,
                                   bool (*valid)(const Bytes &));
    std::set<std::string> tornThisLoad_;
    Simulator() = default;
    void Load();

    Machine machine_;
    bool loaded_ = false;
    bool refused_ = false;
    bool stateRefused_ = false;
    StateStore store_;
    std::map<uint32_t, uint32_t> handles_; // handle -> instance
    uint32_t nextHandle_ = 0x100;
    std::vector<InstanceRuntime> runtime_;
    std::map<Wwn, uint32_t> byWwpn_; // first instance with that WWPN
    std::vector<NsEntry> nameServer_;
    uint64_t nameServerEpoch_ = 0; // the store's epoch it was built at; 0 none
    std::map<std::string, Bytes> targetBuffers_;
    std::chrono::steady_clock::time_point loadTime_;
};

// Persistent data as the state file keeps it: the header and the used entries,
// then "VNPD" and a CRC-32 of what precedes it, so a damaged copy is found.
Bytes SealPersist(PersistKind kind, const uint8_t *buffer);
// The header and entries of a sealed copy; nothing when it is damaged.
std::optional<Bytes> UnsealPersist(PersistKind kind, const Bytes &sealed);

// Virtual port lists as the state file keeps them (JSON text).
Bytes EncodeVports(const std::vector<Vport> &vports);
std::optional<std::vector<Vport>> DecodeVports(const Bytes &bytes);

// Byte copies of plain records for the state file.
template <typename T> Bytes ToBytes(const T &value)
{
    const auto *p = reinterpret_cast<const uint8_t *>(&value);
    return Bytes(p, p + sizeof(T));
}
template <typename T> bool FromBytes(const Bytes &bytes, T &value)
{
    if (bytes.size() != sizeof(T))
        return false;
    std::memcpy(&value, bytes.data(), sizeof(T));
    return true;
}

} // namespace vnsdm
