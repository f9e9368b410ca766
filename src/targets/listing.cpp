#include "targets/listing.h"

#include <cstring>
#include <iterator>

#include "adapters/adapterlist.h"
#include "base/status.h"
#include "base/text.h"
#include "device/discovery.h"
#include "render/output.h"
#include "render/renderer.h"

namespace {

const char *const kNoAdapters = "No compatible HBA(s) found in current system !";

const char *const kPortKeys[] = {"Instance", "Port", "WWPN"};

const RecordStyle kPort = {
    .element = "HBA",
    .indent = "\t",
    .childIndent = "\t\t",
    .rows = XmlRows::Attributes,
    .keys = kPortKeys,
};

const RecordStyle kTarget = {
    .element = "Target",
    .indent = "\t\t",
    .childIndent = "\t\t\t",
    .rows = XmlRows::Attributes,
};

const TableColumn kTargetColumns[] = {
    {"WWPN", -25},    {"WWNN", -25},    {"PortID", -10},     {"Vendor", -9},
    {"Product", -17}, {"Revision", -5}, {"DeviceType", -11}, {"LUNCount", 4},
};
const TableColumn kTargetSpeedColumns[] = {
    {"WWPN", -25},       {"WWNN", -25},         {"PortID", -10},
    {"Vendor", -9},      {"Product", -17},      {"Revision", -5},
    {"DeviceType", -11}, {"LUNCount", 4, "  "}, {"LinkSpeed", -9},
};

const char *const kTargetHeading[] = {
    "Target WWPN              Target WWNN              Port ID   Vendor   Product          "
    "Rev  Type       LUNs",
    "------------------------ ------------------------ --------- -------- ---------------- "
    "---- ---------- ----",
};
const char *const kTargetSpeedHeading[] = {
    "Target WWPN              Target WWNN              Port ID   Vendor   Product          "
    "Rev  Type       LUNs  Speed",
    "------------------------ ------------------------ --------- -------- ---------------- "
    "---- ---------- ----  --------",
};

const TableStyle kTargetTable = {
    .textHeading = kTargetHeading,
    .element = "Targets",
    .indent = "\t\t",
    .rowElement = "Target",
    .rowIndent = "\t\t\t",
    .rowEnd = "/>",
    .columns = kTargetColumns,
    .pageRows = 25,
};
const TableStyle kTargetSpeedTable = {
    .textHeading = kTargetSpeedHeading,
    .element = "Targets",
    .indent = "\t\t",
    .rowElement = "Target",
    .rowIndent = "\t\t\t",
    .rowEnd = "/>",
    .columns = kTargetSpeedColumns,
    .pageRows = 25,
};

const TableColumn kLunColumns[] = {
    {"Number", 7, "  "},  {"DeviceType", -11},    {"Capacity", 12, "  "},
    {"Blocks", 14, "  "}, {"BlockSize", 6, "  "}, {"Status", 0},
};
const char *const kLunHeading[] = {
    "    LUN  Type           Capacity          Blocks    Size  Status",
    "    ---  ---------- ------------  --------------  ------  --------------------",
};
const TableStyle kLunTable = {
    .textHeading = kLunHeading,
    .element = "LUNs",
    .indent = "\t\t\t",
    .rowElement = "LUN",
    .rowIndent = "\t\t\t\t",
    .rowEnd = "/>",
    .columns = kLunColumns,
    .pageRows = 25,
};

std::string Dashed(const uint8_t *wwn) { return WwnText(wwn, WwnStyle::Dashed); }

std::string PortIdText(const uint8_t id[3])
{
    return Format("%02X-%02X-%02X", id[0], id[1], id[2]);
}

std::string Num(uint64_t n) { return std::to_string(n); }

std::string LunStatusText(const LunRecord &l)
{
    if (l.flags & kLunPassive)
        return "Ready (passive path)";
    if (l.flags & kLunNoCapacity)
        return "Ready (size unknown)";
    return (l.flags & kLunReady) ? "Ready" : "Not ready";
}

std::string TargetStatusText(const TargetRecord &t)
{
    if (t.agentFlags & kAgentFabricView)
        return "Unconfigured";
    return t.Ready() ? "Ready" : "Not ready";
}

// The port's own facts: a heading line in text, attributes in XML.
void BeginPort(Renderer &r, const FibreAdapter &a, const DeviceRecord &rec)
{
    const bool online = rec.port.PortState == SD_PORT_STATE_ONLINE;
    r.BeginRecord(kPort);
    r.Add(nullptr, nullptr,
          Format("HBA Instance %d: %s Port %d WWPN %s PortID %s%s", a.instance,
                 DisplayModel(a).c_str(), a.portNumber, Dashed(a.wwpn).c_str(),
                 PortIdText(a.portId).c_str(), online ? "" : " (Link Down)"),
          kInText);
    r.Add(nullptr, nullptr, std::string(80, '-'), kInText);
    r.Add(nullptr, "Instance", Num(a.instance), kInXml);
    r.Add(nullptr, "Port", Num(a.portNumber), kInXml);
    r.Add(nullptr, "WWPN", Dashed(a.wwpn), kInXml);
    r.Add(nullptr, "Model", DisplayModel(a).c_str(), kInXml);
    r.Add(nullptr, "PortID", PortIdText(a.portId), kInXml);
    r.Add(nullptr, "LinkState", online ? "Online" : "Link Down", kInXml);
}

void AddTargetRow(Renderer &r, const TargetRecord &t, bool withSpeed)
{
    std::string cells[] = {
        Dashed(t.portName),
        Dashed(t.nodeName),
        PortIdText(t.portId),
        t.vendor,
        t.product,
        t.revision,
        DeviceTypeText(t.peripheralType),
        Num(t.luns.size()),
        withSpeed ? TargetSpeedText(t.linkSpeed) : std::string(),
    };
    r.TableRow(std::span<const std::string>(cells, withSpeed ? 9 : 8));
}

void AddLunRow(Renderer &r, const LunRecord &l)
{
    const bool disk = l.deviceType == 0;
    const std::string cells[] = {
        Num(l.lun),
        DeviceTypeText(l.deviceType),
        CapacityText(l),
        disk && l.capacityBlocks ? Num(l.capacityBlocks) : std::string("N/A"),
        disk && l.blockSize ? Num(l.blockSize) : std::string("N/A"),
        LunStatusText(l),
    };
    r.TableRow(cells);
}

uint64_t Pow1024(int n)
{
    uint64_t v = 1;
    while (n-- > 0)
        v *= 1024;
    return v;
}

} // namespace

TargetFilter TargetFilter::Wwpn(const uint8_t *wwpn)
{
    TargetFilter f;
    f.by = By::Wwpn;
    std::memcpy(f.wwpn, wwpn, 8);
    return f;
}

TargetFilter TargetFilter::PortId(const uint8_t *id)
{
    TargetFilter f;
    f.by = By::PortId;
    f.portId = (uint32_t(id[0]) << 16) | (uint32_t(id[1]) << 8) | id[2];
    return f;
}

bool TargetFilter::Matches(const TargetRecord &t) const
{
    switch (by) {
    case By::Any:
        return true;
    case By::Wwpn:
        return std::memcmp(t.portName, wwpn, 8) == 0;
    case By::PortId:
        return t.PortIdValue() == portId;
    }
    return false;
}

std::string TargetNotFoundMessage(const TargetFilter &f)
{
    if (f.by == TargetFilter::By::PortId)
        return Format("Specified device not found (%02X-%02X-%02X)!", (f.portId >> 16) & 0xFF,
                      (f.portId >> 8) & 0xFF, f.portId & 0xFF);
    return "Specified device not found (" + Dashed(f.wwpn) + ")!";
}

std::string DeviceTypeText(uint32_t type)
{
    static const char *const kNames[] = {
        "Disk",    "Tape",      "Printer", "Processor",   "WORM",      "CD/DVD",
        "Scanner", "Optical",   "Changer", "Comm",        "Type 0x0A", "Type 0x0B",
        "RAID",    "Enclosure", "RBC",     "Card Reader", "Bridge",    "Object",
    };
    if (type < std::size(kNames))
        return kNames[type];
    if (type == 0x1E)
        return "Well Known";
    if (type == 999)
        return "N/A";
    return Format("Type 0x%02X", type & 0xFF);
}

std::string CapacityText(const LunRecord &l)
{
    if (l.deviceType != 0)
        return "N/A";
    if (!l.capacityBlocks || !l.blockSize)
        return "Unknown";
    // In binary units, as operating systems show disk sizes.
    const long double bytes = static_cast<long double>(l.capacityBlocks) * l.blockSize;
    static const char *const kUnits[] = {"MB", "GB", "TB", "PB"};
    int unit = 0;
    while (unit + 1 < int(std::size(kUnits)) && bytes >= Pow1024(unit + 3))
        ++unit;
    return Format("%.2Lf %s", bytes / static_cast<long double>(Pow1024(unit + 2)), kUnits[unit]);
}

std::string TargetSpeedText(uint16_t speed)
{
    switch (speed) {
    case SD_SPEED_1G:
        return "1 Gb/s";
    case SD_SPEED_2G:
        return "2 Gb/s";
    case SD_SPEED_4G:
        return "4 Gb/s";
    case SD_SPEED_8G:
        return "8 Gb/s";
    case SD_SPEED_10G:
        return "10 Gb/s";
    case SD_SPEED_16G:
        return "16 Gb/s";
    case SD_SPEED_20G:
        return "20 Gb/s";
    case SD_SPEED_32G:
        return "32 Gb/s";
    case SD_SPEED_64G:
        return "64 Gb/s";
    default:
        return "Unknown";
    }
}

void DescribeTargets(Renderer &r, const std::vector<FibreAdapter *> &ports)
{
    bool first = true;
    for (FibreAdapter *a : ports) {
        DeviceRecord *rec =
            a->portType == TAVRO_PORT_TYPE_FCOE_ENGINE ? nullptr : FindDeviceForAdapter(a);
        if (!rec)
            continue;
        if (!first)
            r.TextLine("");
        first = false;
        BeginPort(r, *a, *rec);
        r.BeginTable(kTargetTable);
        for (const TargetRecord &t : rec->targets)
            AddTargetRow(r, t, false);
        r.EndTable();
        if (rec->targets.empty())
            r.TextLine("No targets found.");
        r.EndRecord();
    }
}

int32_t DisplayTargetInfo(const std::vector<FibreAdapter *> &selected, const TargetFilter &filter,
                          bool withSpeed)
{
    Renderer &r = CurrentRenderer();
    std::vector<std::pair<FibreAdapter *, DeviceRecord *>> ports;
    for (FibreAdapter *a : selected) {
        if (a->portType == TAVRO_PORT_TYPE_FCOE_ENGINE)
            continue;
        DeviceRecord *rec = FindDeviceForAdapter(a);
        if (!rec)
            return r.Finish(
                kStatusNoAdapter,
                Format("Unable to locate the specified HBA (Instance %d)!", a->instance).c_str());
        ports.emplace_back(a, rec);
    }
    if (ports.empty())
        return r.Finish(kStatusNoAdapter, kNoAdapters);
    // A named target must be seen before anything is printed.
    if (filter.by != TargetFilter::By::Any) {
        bool seen = false;
        for (const auto &[a, rec] : ports)
            for (const TargetRecord &t : rec->targets)
                seen = seen || filter.Matches(t);
        if (!seen)
            return r.Finish(kStatusDeviceNotFound, TargetNotFoundMessage(filter).c_str());
    }
    r.BeginDocument();
    for (size_t i = 0; i < ports.size(); ++i) {
        const auto &[a, rec] = ports[i];
        BeginPort(r, *a, *rec);
        size_t shown = 0;
        r.BeginTable(withSpeed ? kTargetSpeedTable : kTargetTable);
        for (const TargetRecord &t : rec->targets)
            if (filter.Matches(t)) {
                AddTargetRow(r, t, withSpeed);
                ++shown;
            }
        r.EndTable();
        if (!shown)
            r.TextLine("No targets found.");
        r.EndRecord();
        if (i + 1 < ports.size()) {
            r.TextLine("");
            r.PageBreak();
        }
    }
    return r.Finish(kStatusOk);
}

int32_t DisplayLunInfo(FibreAdapter *port, const TargetFilter &filter, int32_t lun)
{
    Renderer &r = CurrentRenderer();
    if (!port || !Adapters().count)
        return r.Finish(kStatusNoAdapter, kNoAdapters);
    DeviceRecord *rec = FindDeviceForAdapter(port);
    if (!rec)
        return r.Finish(
            kStatusNoAdapter,
            Format("Unable to locate the specified HBA (Instance %d)!", port->instance).c_str());
    std::vector<const TargetRecord *> targets;
    for (const TargetRecord &t : rec->targets)
        if (filter.Matches(t))
            targets.push_back(&t);
    if (filter.by != TargetFilter::By::Any && targets.empty())
        return r.Finish(kStatusDeviceNotFound, TargetNotFoundMessage(filter).c_str());
    if (lun != kAllLuns) {
        bool seen = false;
        for (const TargetRecord *t : targets)
            seen = seen || FindLun(*t, uint16_t(lun));
        if (!seen)
            return r.Finish(kStatusDeviceNotFound,
                            Format("Specified LUN not found (%d)!", int(lun)).c_str());
    }
    r.BeginDocument();
    BeginPort(r, *port, *rec);
    if (targets.empty())
        r.TextLine("No targets found.");
    for (const TargetRecord *t : targets) {
        if (lun != kAllLuns && !FindLun(*t, uint16_t(lun)))
            continue;
        r.BeginRecord(kTarget);
        r.Add(nullptr, nullptr,
              Format("Target %s  WWNN %s  Port ID %s  %s %s %s (%s)", Dashed(t->portName).c_str(),
                     Dashed(t->nodeName).c_str(), PortIdText(t->portId).c_str(), t->vendor,
                     t->product, t->revision, TargetStatusText(*t).c_str()),
              kInText);
        r.Add(nullptr, "WWPN", Dashed(t->portName), kInXml);
        r.Add(nullptr, "WWNN", Dashed(t->nodeName), kInXml);
        r.Add(nullptr, "PortID", PortIdText(t->portId), kInXml);
        r.Add(nullptr, "Vendor", t->vendor, kInXml);
        r.Add(nullptr, "Product", t->product, kInXml);
        r.Add(nullptr, "Revision", t->revision, kInXml);
        r.Add(nullptr, "DeviceType", DeviceTypeText(t->peripheralType), kInXml);
        r.Add(nullptr, "Status", TargetStatusText(*t), kInXml);
        if (t->luns.empty()) {
            r.TextLine("    No LUNs found.");
        } else {
            r.BeginTable(kLunTable);
            for (const LunRecord &l : t->luns)
                if (lun == kAllLuns || l.lun == lun)
                    AddLunRow(r, l);
            r.EndTable();
        }
        r.EndRecord();
        r.TextLine("");
    }
    r.EndRecord();
    return r.Finish(kStatusOk);
}
