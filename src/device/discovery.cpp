#include "device/discovery.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/oss.h"
#include "device/core.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "frame/props.h"

namespace {

constexpr uint32_t kProbeSize = 298;
// More entries than any port can log in with: a larger count is a broken answer.
constexpr uint32_t kMaxPortDbEntries = 65536;
constexpr uint32_t kDefaultLunLimit = 2048;
constexpr uint32_t kInquirySize = 36;

// Readiness: tries of TEST UNIT READY, the pause between them, and how many
// other LUNs a target may be asked on when one LUN is not for this host.
constexpr int kTurTries = 6;
constexpr uint32_t kTurPauseMs = 1000;
constexpr uint16_t kTurOtherLuns = 8;

// REPORT LUNS and READ CAPACITY tries, one second apart.
constexpr int kScsiTries = 3;
constexpr uint32_t kScsiPauseMs = 1000;

// Node-name beginnings of host adapters (ours and two other makers'), which an
// old device library reports in its port database as if they were targets.
constexpr uint8_t kHbaNodePatterns[3][5] = {
    {0x20, 0x00, 0x00, 0x0E, 0x7A},
    {0x20, 0x00, 0x00, 0x1B, 0x3C},
    {0x20, 0x00, 0x00, 0x4D, 0x91},
};
// Libraries from this major version on leave host adapters out themselves.
constexpr int kHbaFilterLibraryMajor = 9;

struct View {
    uint32_t mode;
    const char *name;
};
constexpr View kViews[] = {
    {SD_PORTDB_KNOWN, "Known/Visible/Hidden"},
    {SD_PORTDB_FABRIC, "Fabric"},
    {SD_PORTDB_LOOP, "Loop"},
};

uint16_t Le16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint32_t Be32(const uint8_t *p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
uint64_t Be64(const uint8_t *p) { return (uint64_t(Be32(p)) << 32) | Be32(p + 4); }

// Lower-case and dashed, as the traces have it.
std::string Dashed(const uint8_t w[8])
{
    std::string text = WwnText(w, WwnStyle::Colon);
    std::replace(text.begin(), text.end(), ':', '-');
    return text;
}

SD_SCSI_ADDRESS Address(const TargetRecord &t)
{
    SD_SCSI_ADDRESS a{};
    std::memcpy(a.WWNN, t.nodeName, 8);
    std::memcpy(a.WWPN, t.portName, 8);
    std::memcpy(a.PortId, t.portId, 3);
    return a;
}

struct Sense {
    uint8_t key = 0, asc = 0, ascq = 0;
};

// Fixed (0x70/0x71) and descriptor (0x72/0x73) sense formats.
Sense ParseSense(const uint8_t *s)
{
    Sense out;
    const uint8_t code = s[0] & 0x7F;
    if (code == 0x72 || code == 0x73) {
        out.key = s[1] & 0x0F;
        out.asc = s[2];
        out.ascq = s[3];
    } else if (code == 0x70 || code == 0x71) {
        out.key = s[2] & 0x0F;
        out.asc = s[12];
        out.ascq = s[13];
    }
    return out;
}

// Copies an INQUIRY text field without its trailing blanks.
template <size_t N> void InquiryText(char (&dst)[N], const uint8_t *src, size_t width)
{
    size_t n = std::min(width, N - 1);
    while (n && (src[n - 1] == ' ' || src[n - 1] == 0))
        --n;
    std::memcpy(dst, src, n);
    dst[n] = 0;
    for (size_t i = 0; i < n; ++i)
        if (static_cast<unsigned char>(dst[i]) < 0x20 || static_cast<unsigned char>(dst[i]) > 0x7E)
            dst[i] = '?';
}

// What one TEST UNIT READY answer means for the readiness test.
enum class Tur {
    Ready,
    Present,
    Passive,
    Retry,
    OtherLun,
    Fail
};

Tur ClassifyTur(const char *fn, SD_STATUS st, const Sense &s)
{
    switch (st) {
    case SD_OK:
        return Tur::Ready;
    case SDERR_DEVICE_BUSY:
        Trace(kLevelDebug, "%s: Driver status [Device Busy]", fn);
        return Tur::Retry;
    case SDERR_SCSI_RESERVATION:
        Trace(kLevelDebug, "%s: Reservation conflict - device present", fn);
        return Tur::Present;
    case SDERR_TIMEOUT:
    case SDERR_FAILED:
    case SDERR_DEVICE_NOT_READY:
        Trace(kLevelDebug, "%s: Driver status (0x%x) (%s)", fn, st, CoreErrorString(st));
        return Tur::Retry;
    case SDERR_SCSI_LUN_NOT_FOUND:
        Trace(kLevelDebug, "%s: LUN not configured", fn);
        return Tur::OtherLun;
    case SDERR_SCSI_CHECK_CONDITION:
        break;
    default:
        Trace(kLevelDebug, "%s: TUR failed (0x%x) (%s)", fn, st, CoreErrorString(st));
        return Tur::Fail;
    }
    if (s.key == 0 && s.asc == 0 && s.ascq == 0) {
        Trace(kLevelDebug, "%s: Check condition with empty sense data - device present", fn);
        return Tur::Present;
    }
    if (s.key == 0x6) {
        Trace(kLevelDebug, "%s: Unit attention", fn);
        return Tur::Retry;
    }
    if (s.key == 0x2 && s.asc == 0x04 && (s.ascq == 0x0B || s.ascq == 0x0C))
        return Tur::Passive;
    if (s.key == 0x2 && s.asc == 0x04 && s.ascq == 0x00) {
        Trace(kLevelDebug, "%s: LUN not ready, cause not reportable", fn);
        return Tur::Present;
    }
    if (s.asc == 0x3A) {
        Trace(kLevelDebug, "%s: Medium not present", fn);
        return Tur::Present;
    }
    if (s.key == 0x5 && ((s.asc == 0x20 && s.ascq == 0x02) || s.asc == 0x68)) {
        Trace(kLevelDebug, "%s: Access denied / LUN not configured", fn);
        return Tur::OtherLun;
    }
    if (s.key == 0x5 && s.asc == 0x25) {
        Trace(kLevelDebug, "%s: LUN not supported", fn);
        return Tur::Present;
    }
    if (s.key == 0x5) {
        Trace(kLevelDebug, "%s: Illegal Request", fn);
        return Tur::Present;
    }
    return Tur::Retry;
}

SD_STATUS SendTur(const DeviceRecord &rec, const SD_SCSI_ADDRESS &addr, uint16_t lun,
                  uint8_t (&sense)[SD_SENSE_SIZE])
{
    const uint8_t cdb[6] = {0x00, 0, 0, 0, 0, 0};
    uint32_t length = 0;
    std::memset(sense, 0, sizeof sense);
    return SDSendScsiPassThruFC(rec.handle, &addr, lun, cdb, sizeof cdb, SD_DIR_NONE, nullptr,
                                &length, sense, SD_SENSE_SIZE);
}

// The readiness loop shared by targets and LUNs. A target may move on to
// another LUN; a LUN may not.
int Readiness(const char *fn, const DeviceRecord &rec, const TargetRecord &t, uint16_t lun,
              bool mayMove, bool *passive)
{
    const SD_SCSI_ADDRESS addr = Address(t);
    uint8_t sense[SD_SENSE_SIZE];
    Sense last;
    uint16_t moved = 0;
    for (int attempt = 0; attempt < kTurTries;) {
        const SD_STATUS st = SendTur(rec, addr, lun, sense);
        const Sense s = st == SDERR_SCSI_CHECK_CONDITION ? ParseSense(sense) : Sense{};
        switch (ClassifyTur(fn, st, s)) {
        case Tur::Ready:
        case Tur::Present:
            return 0;
        case Tur::Passive:
            Trace(kLevelDebug, "Found a passive path for LUN %d...\n", lun);
            if (passive)
                *passive = true;
            return 0;
        case Tur::Fail:
            return -1;
        case Tur::OtherLun:
            if (!mayMove || ++moved > kTurOtherLuns)
                return -1;
            ++lun;
            ++attempt;
            continue;
        case Tur::Retry:
            last = s;
            if (++attempt < kTurTries) {
                Trace(kLevelDebug, "Retrying TUR (Zzz)...");
                oss::Sleep(kTurPauseMs);
            }
            continue;
        }
    }
    Trace(kLevelDebug,
          "%s: SCSI check (retries exhausted) - Sense key:  0x%x, asc:  0x%x, ascq:  0x%x", fn,
          last.key, last.asc, last.ascq);
    return -1;
}

SD_STATUS Inquiry(const DeviceRecord &rec, const TargetRecord &t, uint16_t lun,
                  uint8_t (&data)[kInquirySize], uint8_t (&sense)[SD_SENSE_SIZE])
{
    const SD_SCSI_ADDRESS addr = Address(t);
    uint32_t length = kInquirySize;
    std::memset(data, 0, sizeof data);
    std::memset(sense, 0, sizeof sense);
    return SDSendScsiInquiryCmdFC(rec.handle, &addr, lun, data, &length, sense, SD_SENSE_SIZE);
}

// READ CAPACITY (10), and (16) when the LUN is too large for it.
enum class Capacity {
    Sized,
    Unsized, // created without a size (reservation or check condition)
    Skip
};

Capacity ReadCapacity(const DeviceRecord &rec, const TargetRecord &t, LunRecord &l)
{
    const SD_SCSI_ADDRESS addr = Address(t);
    uint8_t data[32];
    uint8_t sense[SD_SENSE_SIZE];
    SD_STATUS st = SD_OK;
    for (int attempt = 0; attempt < kScsiTries; ++attempt) {
        uint32_t length = 8;
        std::memset(data, 0, sizeof data);
        std::memset(sense, 0, sizeof sense);
        st = SDSendScsiReadCapacityCmdFC(rec.handle, &addr, l.lun, data, &length, sense,
                                         SD_SENSE_SIZE);
        if (st != SDERR_SCSI_CHECK_CONDITION)
            break;
        if (attempt + 1 < kScsiTries)
            oss::Sleep(kScsiPauseMs);
    }
    if (st == SD_OK && Be32(data) == 0xFFFFFFFFu) {
        Trace(kLevelDebug, "Need to issue the Read Capacity(16) command >= 2TB...\n");
        uint8_t cdb[16] = {0x9E, 0x10};
        cdb[13] = 32;
        for (int attempt = 0; attempt < kScsiTries; ++attempt) {
            uint32_t length = 32;
            std::memset(data, 0, sizeof data);
            std::memset(sense, 0, sizeof sense);
            st = SDSendScsiPassThruFC(rec.handle, &addr, l.lun, cdb, sizeof cdb, SD_DIR_IN, data,
                                      &length, sense, SD_SENSE_SIZE);
            if (st != SDERR_SCSI_CHECK_CONDITION)
                break;
            if (attempt + 1 < kScsiTries)
                oss::Sleep(kScsiPauseMs);
        }
        if (st == SD_OK) {
            l.capacityBlocks = Be64(data) + 1;
            l.blockSize = Be32(data + 8);
            return Capacity::Sized;
        }
    } else if (st == SD_OK) {
        l.capacityBlocks = uint64_t(Be32(data)) + 1;
        l.blockSize = Be32(data + 4);
        return Capacity::Sized;
    }
    if (st == SDERR_SCSI_RESERVATION) {
        Trace(kLevelDebug, "SCSI RESERVATION with Lun (%d)", l.lun);
        return Capacity::Unsized;
    }
    if (st == SDERR_SCSI_CHECK_CONDITION) {
        Trace(kLevelDebug, "SCSI RC Check Condition with LUN (%d) allowing LUN to be created.",
              l.lun);
        return Capacity::Unsized;
    }
    Trace(kLevelDebug, "Skipping Lun (%d) - RC failed (0x%x) (%s)", l.lun, st, CoreErrorString(st));
    return Capacity::Skip;
}

int LibraryMajorVersion()
{
    char text[64] = {};
    if (SDGetVersion(text, sizeof text) != SD_OK)
        return 0;
    return std::atoi(text);
}

bool IsKnownHbaNode(const uint8_t node[8])
{
    for (const auto &p : kHbaNodePatterns)
        if (std::memcmp(node, p, sizeof p) == 0)
            return true;
    return false;
}

// What stays the same over the views of one port.
struct Scan {
    DeviceRecord &rec;
    bool acceptZeroPortId = false;
    bool filterHbas = false;
    bool propsTried = false;
};

uint32_t ReadTargetBeacon(Scan &scan, const TargetRecord &t)
{
    const std::string &file = Frame().coreConfigFile;
    bool opened = false;
    const char *v =
        PropertyOfFile(file, TargetBeaconKey(scan.rec.instance, t.portName).c_str(), &opened);
    // Once per port: the file is missing for every target alike.
    if (!opened && !scan.propsTried) {
        CoreLog(kLevelWarning, "PrefOpenPreferenceFile: Failed to open preference file (%s).",
                file.c_str());
        CoreLog(kLevelWarning, "RetrievePortSummaryForDevice: Unable to read persist target "
                               "beacon, may not exist");
    }
    scan.propsTried = true;
    return v ? static_cast<uint32_t>(std::strtoul(v, nullptr, 10)) : 0;
}

TargetRecord *FindSame(DeviceRecord &rec, const uint8_t *e)
{
    for (TargetRecord &t : rec.targets)
        if (std::memcmp(t.nodeName, e, 8) == 0 && std::memcmp(t.portName, e + 8, 8) == 0 &&
            std::memcmp(t.portId, e + 16, 3) == 0)
            return &t;
    return nullptr;
}

void AddEntry(Scan &scan, const View &view, const uint8_t *e)
{
    DeviceRecord &rec = scan.rec;
    const bool known = view.mode == SD_PORTDB_KNOWN;
    const uint16_t flags = Le16(e + 154);
    const bool zeroId = e[16] == 0 && e[17] == 0 && e[18] == 0;
    if (zeroId && !scan.acceptZeroPortId) {
        Trace(kLevelDebug, "RetrievePortSummaryForDevice: Skipping port ID 0 [Port=(%s)]",
              Dashed(e + 8).c_str());
        return;
    }
    if (TargetRecord *same = FindSame(rec, e)) {
        if (known) {
            same->word1 = Le16(e + 158);
            same->word2 = Le16(e + 160);
            same->configuredFlags = e[19];
            same->boundTargetId = Le16(e + 22);
        }
        same->stateFlags =
            (same->stateFlags & ~uint32_t(kTargetStateTape)) | (flags & kTargetStateTape);
        return;
    }
    if (e[0] == 0 && e[4] == 0) {
        Trace(kLevelDebug, "Skipping null port-summary recognized target [Node=(%s)]",
              Dashed(e).c_str());
        return;
    }
    if (scan.filterHbas && IsKnownHbaNode(e)) {
        Trace(kLevelDebug, "Skipping port-summary recognized HBA [Node=(%s)]", Dashed(e).c_str());
        return;
    }

    TargetRecord t;
    std::memcpy(t.nodeName, e, 8);
    std::memcpy(t.portName, e + 8, 8);
    std::memcpy(t.portId, e + 16, 3);
    t.word32 = 0x80000000u;
    if (known) {
        t.configuredFlags = e[19];
        t.multipathControl = (e[19] & kTargetConfigured) ? 0 : kTargetUnconfigured;
        t.field8 = e[20];
        t.boundTargetId = Le16(e + 22);
        t.agentFlags = kAgentKnownView;
        t.stateFlags = flags & ~uint32_t(1);
        t.word1 = Le16(e + 158);
        t.word2 = Le16(e + 160);
    } else {
        t.configuredFlags = kTargetConfigured;
        t.multipathControl = kTargetUnconfigured;
        t.agentFlags = kAgentFabricView;
        t.stateFlags = 1 | (flags & kTargetStateTape);
        t.field8 = 0xFF;
        t.boundTargetId = 0xFFFF;
        t.word1 = view.mode == SD_PORTDB_FABRIC ? 0xFFFF : Le16(e + 158);
        t.word2 = Le16(e + 160);
    }
    t.linkSpeed = Le16(e + 162);
    t.beacon = ReadTargetBeacon(scan, t);

    if (known) {
        if (CheckTargetReady(rec, t) == 0) {
            t.stateFlags |= kTargetStateReady;
            uint8_t data[kInquirySize];
            uint8_t sense[SD_SENSE_SIZE];
            if (Inquiry(rec, t, 0, data, sense) == SD_OK) {
                InquiryText(t.vendor, data + 8, 8);
                InquiryText(t.product, data + 16, 16);
                InquiryText(t.revision, data + 32, 4);
            }
            RetrieveTargetLuns(rec, t);
        } else {
            CoreLog(kLevelInfo, "Unable to query port (%s) for inquiry/lun data",
                    Dashed(t.portName).c_str());
        }
    } else {
        Trace(kLevelDebug, "Port-summary target (%s) - UNCONFIGURED", Dashed(t.portName).c_str());
    }

    if (FindSame(rec, e)) {
        Trace(kLevelDebug, "*Not* adding duplicate target - shouldn't occur");
        return;
    }
    Trace(kLevelDebug, "Adding port-summary recognized target [Port=(%s)]",
          Dashed(t.portName).c_str());
    rec.targets.push_back(std::move(t));
}

// One view; -1 when it could not be read.
int ReadView(Scan &scan, const View &view)
{
    DeviceRecord &rec = scan.rec;
    uint8_t probe[kProbeSize] = {};
    SD_STATUS st = SDGetPortDatabase(rec.handle, view.mode, probe, sizeof probe);
    if (st != SD_OK && st != SDERR_BUFFER_TOO_SMALL) {
        Trace(kLevelDebug,
              "RetrievePortSummaryForDevice: SDGetPortDatabase() Returned non-standard error "
              "while querying count (0x%x) (%s)",
              st, CoreErrorString(st));
        return -1;
    }
    const uint32_t count = Le32(probe);
    if (count == 0) {
        Trace(kLevelDebug,
              "RetrievePortSummaryForDevice: Query of **%s** port-summary yields none - "
              "skipping...",
              view.name);
        return 0;
    }
    std::vector<uint8_t> buf;
    try {
        if (count > kMaxPortDbEntries)
            throw std::bad_alloc();
        buf.assign(size_t(count) * SD_PORTDB_ENTRY_SIZE + kProbeSize, 0);
    } catch (const std::bad_alloc &) {
        Trace(kLevelDebug, "RetrievePortSummaryForDevice: Unable to allocate memory for port "
                           "database information");
        return -1;
    }
    const SD_STATUS st2 =
        SDGetPortDatabase(rec.handle, view.mode, buf.data(), static_cast<uint32_t>(buf.size()));
    if (st2 == SDERR_BUFFER_TOO_SMALL) {
        Trace(kLevelDebug,
              "RetrievePortSummaryForDevice: SDGetPortDatabase()Count yields (%d) ret (%d) : "
              "query yields (%d) ret (%d)",
              int(Le32(probe)), int(Le32(probe + 4)), int(Le32(buf.data())),
              int(Le32(buf.data() + 4)));
        return 0;
    }
    if (st2 != SD_OK) {
        Trace(kLevelDebug,
              "RetrievePortSummaryForDevice: SDGetPortDatabase() Failed while querying "
              "information (0x%x) (%s)",
              st2, CoreErrorString(st2));
        return -1;
    }
    // Never past what the buffer holds, whatever the header claims.
    const size_t room = (buf.size() - SD_PORTDB_HEADER_SIZE) / SD_PORTDB_ENTRY_SIZE;
    const size_t returned = std::min<size_t>(Le32(buf.data() + 4), room);
    for (size_t i = 0; i < returned; ++i)
        AddEntry(scan, view, buf.data() + SD_PORTDB_HEADER_SIZE + i * SD_PORTDB_ENTRY_SIZE);
    return 0;
}

} // namespace

std::string TargetBeaconKey(int32_t instance, const uint8_t w[8])
{
    return "node.agent.target.beacon." + std::to_string(instance) + "." + WwnText(w);
}

int ReadDriverBindType(const DeviceRecord &rec)
{
    if (rec.driver.BindType == 0xFFFF)
        return -1;
    return rec.driver.BindType;
}

uint32_t LunLimit(const DeviceRecord &rec)
{
    return rec.driver.LunsPerTarget ? rec.driver.LunsPerTarget : kDefaultLunLimit;
}

int CheckTargetReady(const DeviceRecord &rec, const TargetRecord &target)
{
    return Readiness("CheckTargetReady", rec, target, 0, true, nullptr);
}

int CheckLunReady(const DeviceRecord &rec, const TargetRecord &target, uint16_t lun, bool *passive)
{
    return Readiness("CheckLunReady", rec, target, lun, false, passive);
}

uint32_t RetrieveTargetLuns(const DeviceRecord &rec, TargetRecord &t)
{
    t.luns.clear();
    const uint32_t limit = LunLimit(rec);
    const SD_SCSI_ADDRESS addr = Address(t);
    std::vector<uint8_t> list;
    try {
        list.assign(size_t(limit) * 8 + 8, 0);
    } catch (const std::bad_alloc &) {
        CoreLog(kLevelError, "Unable to allocate memory!");
        return SDERR_NO_MEMORY;
    }
    uint8_t sense[SD_SENSE_SIZE];
    SD_STATUS st = SD_OK;
    for (int attempt = 0; attempt < kScsiTries; ++attempt) {
        uint32_t length = static_cast<uint32_t>(list.size());
        std::memset(sense, 0, sizeof sense);
        st = SDSendScsiReportLunsCmdFC(rec.handle, &addr, list.data(), &length, sense,
                                       SD_SENSE_SIZE);
        const bool unitAttention = st == SDERR_SCSI_CHECK_CONDITION && ParseSense(sense).key == 0x6;
        if (st == SDERR_SCSI_CHECK_CONDITION && !unitAttention)
            break;
        if (st != SDERR_DEVICE_BUSY && !unitAttention)
            break;
        if (attempt + 1 < kScsiTries)
            oss::Sleep(kScsiPauseMs);
    }
    if (st != SD_OK && st != SDERR_DATA_UNDERRUN) {
        CoreLog(kLevelInfo, "Unable to send SCSI Report Luns Command (0x%x) (%s)", st,
                CoreErrorString(st));
        return st;
    }

    uint8_t data[kInquirySize];
    if (Inquiry(rec, t, 0, data, sense) == SD_OK)
        t.peripheralType = data[0] < 64 ? (data[0] & 31u) : 999u;

    const uint32_t bytes = Be32(list.data());
    if (bytes < 8)
        return 0;
    const uint32_t entries = std::min<uint32_t>(bytes / 8, limit);
    t.luns.reserve(entries);
    for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t *e = list.data() + 8 + size_t(i) * 8;
        const uint16_t number = uint16_t(((e[0] << 8) | e[1]) & 0xBFFF);
        if (number >= limit)
            continue;
        if (FindLun(t, number)) {
            Trace(kLevelDebug, "*Not* adding duplicate Lun (%d)", number);
            continue;
        }
        bool passive = false;
        if (CheckLunReady(rec, t, number, &passive) != 0)
            continue;
        const SD_STATUS ist = Inquiry(rec, t, number, data, sense);
        if (ist != SD_OK) {
            Trace(kLevelDebug, "Lun (%d) - Unable to issue Inquiry Command (0x%x) (%s)", number,
                  ist, CoreErrorString(ist));
            if (ist == SDERR_SCSI_CHECK_CONDITION) {
                const Sense s = ParseSense(sense);
                Trace(kLevelDebug, "    Sense key:  0x%x, asc:  0x%x, ascq:  0x%x", s.key, s.asc,
                      s.ascq);
            }
            continue;
        }
        if (data[0] >= 64) // not connected
            continue;
        LunRecord l;
        l.lun = number;
        l.flags = kLunReady | (passive ? kLunPassive : 0);
        l.deviceType = data[0] & 31u;
        InquiryText(l.vendor, data + 8, 8);
        InquiryText(l.product, data + 16, 16);
        InquiryText(l.revision, data + 32, 4);
        if (l.deviceType == 0) {
            const Capacity c = ReadCapacity(rec, t, l);
            if (c == Capacity::Skip)
                continue;
            if (c == Capacity::Unsized)
                l.flags |= kLunNoCapacity;
        }
        t.luns.push_back(l);
    }
    return 0;
}

int RetrievePortSummaryForDevice(DeviceRecord &rec)
{
    rec.targets.clear();
    Scan scan{rec};
    scan.acceptZeroPortId = ReadDriverBindType(rec) < 0;
    scan.filterHbas = LibraryMajorVersion() < kHbaFilterLibraryMajor;
    int result = 0;
    for (const View &view : kViews)
        if (ReadView(scan, view) != 0)
            result = -1;
    return result;
}

TargetRecord *FindTargetByWwpn(DeviceRecord &rec, const uint8_t wwpn[8])
{
    for (TargetRecord &t : rec.targets)
        if (std::memcmp(t.portName, wwpn, 8) == 0)
            return &t;
    return nullptr;
}

TargetRecord *FindTargetByPortId(DeviceRecord &rec, uint32_t portId)
{
    for (TargetRecord &t : rec.targets)
        if (t.PortIdValue() == portId)
            return &t;
    return nullptr;
}

const LunRecord *FindLun(const TargetRecord &target, uint16_t lun)
{
    for (const LunRecord &l : target.luns)
        if (l.lun == lun)
            return &l;
    return nullptr;
}
