// -qos: the QoS list of a physical port built from the WMI slot table,
// changed by the redistribution rule and written back through WMI.
#include "vport/qosops.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "adapters/adapterlist.h"
#include "base/guard.h"
#include "base/status.h"
#include "base/text.h"
#include "device/wmi.h"
#include "frame/messages.h"
#include "frame/props.h"
#include "render/output.h"
#include "vport/qos.h"
#include "vport/vport.h"

namespace {

struct Vport {
    VNWMI_NPIV_SLOT slot;
    uint8_t wwpn[8];
};

std::string Dashed(const uint8_t w[8]) { return WwnText(w, WwnStyle::Dashed); }

int FamilyOf(const FibreAdapter *a)
{
    const DeviceRecord *rec = FindDeviceForAdapter(a);
    return rec ? rec->facts.familyCode : 0;
}

// The physical port's line rate in Gb/s, from its running speed.
double LineRateGbps(const FibreAdapter *a)
{
    const DeviceRecord *rec = FindDeviceForAdapter(a);
    const int gbps = rec ? PortSpeedGbps(rec->port.PortSpeed) : 0;
    return gbps > 0 ? gbps : 1.0;
}

bool ReadVports(const FibreAdapter *a, std::vector<Vport> &out)
{
    std::vector<VNWMI_NPIV_SLOT> slots;
    if (SDGetVirtualPorts(a->wwpn, slots) != VNWMI_OK)
        return false;
    out.clear();
    for (const VNWMI_NPIV_SLOT &s : slots) {
        Vport v{s, {}};
        SlotWwpn(s, v.wwpn);
        out.push_back(v);
    }
    return true;
}

// The chosen ports: every one when --vp all (or none) was given. False when a
// named one does not exist; bad then names it.
bool Choose(const std::vector<Vport> &all, const QosCommand &q, std::vector<size_t> &out,
            const uint8_t *&bad)
{
    out.clear();
    bool every = q.vports.empty();
    for (const TavroVportOptions &o : q.vports)
        every = every || o.select == TAVRO_VPORT_SELECT_ALL;
    for (size_t i = 0; i < all.size(); ++i) {
        bool named = every;
        for (const TavroVportOptions &o : q.vports)
            named = named ||
                    (o.select == TAVRO_VPORT_SELECT_WWPN && !std::memcmp(o.wwpn, all[i].wwpn, 8));
        if (named)
            out.push_back(i);
    }
    for (const TavroVportOptions &o : q.vports) {
        if (o.select != TAVRO_VPORT_SELECT_WWPN)
            continue;
        bool found = false;
        for (const Vport &v : all)
            found = found || !std::memcmp(o.wwpn, v.wwpn, 8);
        if (!found) {
            bad = o.wwpn;
            return false;
        }
    }
    return true;
}

const char *PriorityName(uint32_t value)
{
    switch (value) {
    case 2:
        return "Medium";
    case 3:
        return "High";
    default:
        return "Low";
    }
}

const RecordStyle kQosRecord = {
    .element = "VirtualPortQoS",
    .indent = "\t",
    .childIndent = "\t\t",
    .ruleBefore = true,
};

// The last block also closes with a rule.
const RecordStyle kQosRecordLast = {
    .element = "VirtualPortQoS",
    .indent = "\t",
    .childIndent = "\t\t",
    .ruleBefore = true,
    .ruleAfter = true,
};

void DescribeQos(Renderer &r, const FibreAdapter *a, const Vport &v, const QosCommand &q,
                 double lineRate, bool last)
{
    const VNWMI_NPIV_SLOT &s = v.slot;
    r.BeginRecord(last ? kQosRecordLast : kQosRecord);
    r.Add("HBA Instance", "Instance", std::to_string(a->instance));
    r.Add("Virtual Port", "VirtualPort", std::to_string(s.VpIndex));
    r.Add("Port Name", "WWPN", Dashed(v.wwpn));
    if (GetKeyValue("node.hba.virtual.vf.enable", 0) != 0 || !q.vfabrics.empty())
        r.Add("Bound VF", "BoundVF", std::to_string(s.VFID));
    if (!QosSupportedBy(FamilyOf(a))) {
        r.Add("Priority QoS", "Priority", "Not Supported");
        r.Add("QoS Setting Enable State", "QoSEnable", "Not Supported");
        r.Add("QoS Setting Lock State", "QoSLock", "Not Supported");
        r.EndRecord();
        return;
    }
    if (s.QosType == kQosByBandwidth) {
        if (!q.showSpeed || q.showPercent)
            r.Add("Bandwidth QoS (Percentage)", "BandwidthPercentage", std::to_string(s.QosValue));
        if (q.showSpeed) {
            double speed = lineRate * s.QosValue / 100.0;
            if (speed < 1.0)
                r.Add("Bandwidth QoS (Speed)", "BandwidthSpeed",
                      Format("%.2f Mbps", speed * 1024.0 / 1000.0 * 1000.0));
            else
                r.Add("Bandwidth QoS (Speed)", "BandwidthSpeed", Format("%.2f Gbps", speed));
        }
    } else {
        r.Add("Priority QoS", "Priority", PriorityName(s.QosValue));
    }
    r.Add("QoS Setting Enable State", "QoSEnable",
          GetVportQosSwitch(a->wwnn, a->wwpn, s.VpIndex, "qos") ? "Enabled" : "Disabled");
    r.Add("QoS Setting Lock State", "QoSLock",
          GetVportQosSwitch(a->wwnn, a->wwpn, s.VpIndex, "lock") ? "Locked" : "Unlocked");
    r.EndRecord();
}

int NoVports(const FibreAdapter *a)
{
    return ReportFailure(
        kVportNotFound,
        Format("This physical HBA (Instance %d) does not have any virtual port !", a->instance)
            .c_str());
}

int NotFound(const FibreAdapter *a, const uint8_t *wwpn)
{
    return ReportFailure(kVportNotFound,
                         Format("Specified vPort %s does not exist (HBA instance %d)!",
                                Dashed(wwpn).c_str(), a->instance)
                             .c_str());
}

// After a port changed its kind of setting, the bandwidth ports in slot order
// may add up past 100: the one that passes it drops to 0.
int AdjustAfterTypeChange(FibreAdapter *a, const std::vector<Vport> &before,
                          const std::vector<size_t> &chosen, const QosCommand &q)
{
    if (q.type < 0 || !QosAdjustAppliesTo(FamilyOf(a)))
        return kStatusOk;
    bool typeChanged = false;
    for (size_t i : chosen)
        typeChanged = typeChanged || before[i].slot.QosType != uint32_t(q.type);
    std::vector<Vport> now;
    if (!typeChanged || !ReadVports(a, now))
        return kStatusOk;
    std::vector<QosSlotValue> slots;
    for (const Vport &v : now)
        slots.push_back({int(v.slot.QosType), int(v.slot.QosValue)});
    for (size_t i : AdjustVirtualPortsQoS(slots))
        if (SDVportSetQos(a->wwpn, now[i].wwpn, kQosByBandwidth, 0) != VNWMI_OK)
            return ReportFailure(
                kStatusGeneralFailure,
                Format("Unable to update QoS of vPort %s!", Dashed(now[i].wwpn).c_str()).c_str());
    return kStatusOk;
}

} // namespace

int DisplayVportQos(FibreAdapter *a, const QosCommand &q)
{
    std::vector<Vport> all;
    if (a->portType != TAVRO_PORT_TYPE_PHYSICAL || !ReadVports(a, all) || all.empty())
        return NoVports(a);
    std::vector<size_t> chosen;
    const uint8_t *bad = nullptr;
    if (!Choose(all, q, chosen, bad))
        return NotFound(a, bad);
    if (!q.vfabrics.empty()) {
        uint8_t bitmap[VNWMI_VFID_BITMAP_SIZE] = {};
        SDVsanGetBitmap(a->wwpn, bitmap);
        for (int vf : q.vfabrics)
            if (!(bitmap[vf / 8] & (1u << (vf % 8))))
                return ReportFailure(kVfabricNotFound,
                                     Format("Virtual Fabric %d does not exist!", vf).c_str());
        std::vector<size_t> bound;
        for (size_t i : chosen)
            for (int vf : q.vfabrics)
                if (all[i].slot.VFID == uint32_t(vf))
                    bound.push_back(i);
        chosen = bound;
    }
    const double lineRate = LineRateGbps(a);
    Renderer &r = CurrentRenderer();
    r.BeginDocument();
    for (size_t k = 0; k < chosen.size(); ++k)
        DescribeQos(r, a, all[chosen[k]], q, lineRate, k + 1 == chosen.size());
    return r.Finish(kStatusOk);
}

int UpdateVirtualPorts(FibreAdapter *a, const QosCommand &q)
{
    std::vector<Vport> all;
    if (a->portType != TAVRO_PORT_TYPE_PHYSICAL || !ReadVports(a, all) || all.empty())
        return NoVports(a);
    std::vector<size_t> chosen;
    const uint8_t *bad = nullptr;
    if (!Choose(all, q, chosen, bad))
        return NotFound(a, bad);

    // Lock and enable first: a port locked by this command keeps its value below.
    for (size_t i : chosen) {
        const uint32_t id = all[i].slot.VpIndex;
        if ((q.lock >= 0 && SetVportQosSwitch(a->wwnn, a->wwpn, id, "lock", q.lock == 1)) ||
            (q.enable >= 0 && SetVportQosSwitch(a->wwnn, a->wwpn, id, "qos", q.enable == 1)))
            return ReportFailure(kStatusGeneralFailure,
                                 Format("SetQosEnableState: Failed to update QoS enable state of "
                                        "virtual port %u  %s!",
                                        unsigned(id), Dashed(all[i].wwpn).c_str())
                                     .c_str());
    }
    if (q.type == kQosByPriority) {
        for (size_t i : chosen)
            if (SDVportSetQos(a->wwpn, all[i].wwpn, kQosByPriority, uint32_t(q.priority)) !=
                VNWMI_OK)
                return ReportFailure(
                    kStatusGeneralFailure,
                    Format("Unable to update QoS of vPort %s!", Dashed(all[i].wwpn).c_str())
                        .c_str());
    } else if (q.type == kQosByBandwidth) {
        QosList list;
        for (const Vport &v : all) {
            QosNode n;
            n.vpId = uint16_t(v.slot.VpIndex);
            std::memcpy(n.wwpn, v.wwpn, 8);
            n.value = v.slot.QosType == kQosByBandwidth ? int16_t(v.slot.QosValue) : 0;
            n.locked = GetVportQosSwitch(a->wwnn, a->wwpn, n.vpId, "lock");
            // The enable switch only says whether the driver applies the value.
            n.enabled = true;
            list.nodes.push_back(n);
        }
        const double lineRate = LineRateGbps(a);
        int percent = q.percent;
        if (q.speedGbps >= 0) {
            if (q.speedGbps > lineRate)
                return ReportFailure(kQosPercentOverflow,
                                     Format("AutoAdjustAndUpdateQoS: Speed value (%01.02f) "
                                            "exceeds maximum speed allowed!",
                                            q.speedGbps)
                                         .c_str());
            percent = int(q.speedGbps / lineRate * 100.0);
        }
        for (size_t i : chosen) {
            const QosList before = list;
            if (percent > GetMaxQoSBandWidthValue(list) || SetPercentBwFor(list, i, percent) != 0) {
                list = before;
                return ReportFailure(
                    kQosPercentOverflow,
                    Format("AutoAdjustAndUpdateQoS: Percentage value (%d%%) exceeds maximum "
                           "percentage allowed!",
                           percent)
                        .c_str());
            }
        }
        // Commit every port whose value or type changed.
        for (size_t i = 0; i < all.size(); ++i) {
            const QosNode &n = list.nodes[i];
            const bool typeChanged = all[i].slot.QosType != kQosByBandwidth;
            const bool valueChanged = uint32_t(n.value) != all[i].slot.QosValue;
            bool isChosen = false;
            for (size_t c : chosen)
                isChosen = isChosen || c == i;
            if (!valueChanged && !(typeChanged && isChosen))
                continue;
            if (typeChanged && !isChosen)
                continue; // a priority port keeps its own kind of setting
            if (SDVportSetQos(a->wwpn, n.wwpn, kQosByBandwidth, uint32_t(n.value)) != VNWMI_OK)
                return ReportFailure(
                    kStatusGeneralFailure,
                    Format("Unable to update QoS of vPort %s!", Dashed(n.wwpn).c_str()).c_str());
        }
    }
    if (int s = AdjustAfterTypeChange(a, all, chosen, q))
        return s;
    return ReportResult(
        kStatusOk,
        Format("QoS settings of HBA instance %d have been updated.", a->instance).c_str());
}

namespace {

QosCommand FromOptions(const TavroQosOptions &o)
{
    QosCommand q;
    q.type = o.type;
    q.priority = o.priority;
    q.percent = o.percent;
    q.speedGbps = o.speedGbps;
    q.lock = o.lock;
    q.enable = o.enable;
    q.showPercent = o.showPercent != 0;
    q.showSpeed = o.showSpeed != 0;
    if (o.vports)
        q.vports.assign(o.vports, o.vports + o.vportCount);
    if (o.vfabrics)
        q.vfabrics.assign(o.vfabrics, o.vfabrics + o.vfabricCount);
    return q;
}

template <class Body> int32_t Guarded(Body &&body)
{
    return GuardExport<int32_t>(kStatusGeneralFailure, std::forward<Body>(body));
}

int NoAdapter()
{
    return ReportFailure(kStatusNoAdapter, "No compatible HBA(s) found in current system !");
}

} // namespace

int UpdateVirtualFabrics(FibreAdapter *a, const QosCommand &q)
{
    std::vector<Vport> all;
    if (a->portType != TAVRO_PORT_TYPE_PHYSICAL || !ReadVports(a, all) || all.empty())
        return NoVports(a);
    uint8_t bitmap[VNWMI_VFID_BITMAP_SIZE] = {};
    SDVsanGetBitmap(a->wwpn, bitmap);
    QosCommand bound = q;
    bound.vports.clear();
    for (int vf : q.vfabrics) {
        if (vf < 0 || vf / 8 >= int(sizeof bitmap) || !(bitmap[vf / 8] & (1u << (vf % 8))))
            return ReportFailure(kVfabricNotFound,
                                 Format("Virtual Fabric %d does not exist!", vf).c_str());
        for (const Vport &v : all)
            if (v.slot.VFID == uint32_t(vf)) {
                TavroVportOptions o{};
                o.select = TAVRO_VPORT_SELECT_WWPN;
                std::memcpy(o.wwpn, v.wwpn, 8);
                bound.vports.push_back(o);
            }
    }
    if (bound.vports.empty())
        return NoVports(a);
    bound.vfabrics.clear();
    return UpdateVirtualPorts(a, bound);
}

extern "C" {

TAVRO_API int32_t TAVRO_UpdateVirtualPorts(FibreAdapter *adapter, const TavroQosOptions *options)
{
    return Guarded([&]() -> int32_t {
        if (!adapter || !options)
            return NoAdapter();
        return UpdateVirtualPorts(adapter, FromOptions(*options));
    });
}

TAVRO_API int32_t TAVRO_UpdateVirtualFabrics(FibreAdapter *adapter, const TavroQosOptions *options)
{
    return Guarded([&]() -> int32_t {
        if (!adapter || !options)
            return NoAdapter();
        return UpdateVirtualFabrics(adapter, FromOptions(*options));
    });
}

TAVRO_API int32_t TAVRO_PrintVSANInfo(FibreAdapter *adapter, const TavroQosOptions *options)
{
    return Guarded([&]() -> int32_t {
        if (!adapter || !options)
            return NoAdapter();
        return DisplayVportQos(adapter, FromOptions(*options));
    });
}

TAVRO_API int32_t TAVRO_ListAllvSANs(const TavroQosOptions *options)
{
    return Guarded([&]() -> int32_t {
        if (!options || !options->vfabrics || options->vfabricCount == 0)
            return ReportFailure(kStatusParseFailed, "Option requires additional input(s)!");
        const int qos = options->type == kQosByPriority    ? options->priority
                        : options->type == kQosByBandwidth ? options->percent
                                                           : 0;
        for (uint32_t i = 0; i < options->vfabricCount; ++i)
            PrintLine("VF (%d), QoS %d", options->vfabrics[i], qos);
        return kStatusOk;
    });
}

} // extern "C"
