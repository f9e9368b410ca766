// Virtual port operations over the WMI layer, and their exports.
#include "vport/vport.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "adapters/adapterlist.h"
#include "base/guard.h"
#include "base/oss.h"
#include "base/status.h"
#include "base/text.h"
#include "device/core.h"
#include "device/wmi.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "frame/props.h"
#include "render/output.h"
#include "session/lifecycle.h"
#include "vport/qos.h"

namespace {

std::string Dashed(const uint8_t w[8]) { return WwnText(w, WwnStyle::Dashed); }

bool Reserved(uint8_t byte) { return byte <= 3; }

bool WwpnInUse(const uint8_t w[8]) { return FindAdapterInAdapterListByWWN(w) != nullptr; }

// The port the operation works on: a physical port with NPIV. Prints the refusal.
int CheckNpivPort(const FibreAdapter *a, uint32_t &maxVports)
{
    if (a->portType == TAVRO_PORT_TYPE_VIRTUAL || a->portType == TAVRO_PORT_TYPE_FCOE_ENGINE) {
        return ReportFailure(a->portType == TAVRO_PORT_TYPE_VIRTUAL ? kVportNotAllowed
                                                                    : kVportUnsupported,
                             Format("This feature is not supported on this HBA (Instance %d - %s)!",
                                    a->instance, DisplayModel(*a).c_str())
                                 .c_str());
    }
    VNWMI_STATUS st = SDGetMaxVports(a->wwpn, maxVports);
    if (st == VNWMI_OK)
        return kStatusOk;
    Trace(kLevelDebug, "CheckNpivPort: SDGetMaxVports failed (%s)", VNWmiStatusText(st));
    return ReportFailure(kVportUnsupported,
                         Format("This feature is not supported on this HBA (Instance %d - %s)!",
                                a->instance, DisplayModel(*a).c_str())
                             .c_str());
}

// The adapter list is rebuilt after a change so that what follows in this
// process sees it; without a message of its own, the command's output stays one piece.
void RefreshAfterChange()
{
    StopDevices();
    if (!Frame().hbaLibrarySuppressed)
        CoreLoadHbaLibrary();
    StartDevices();
    AdapterModel().rebuildRequired = false;
}

struct VportView {
    VNWMI_NPIV_SLOT slot;
    uint8_t wwpn[8];
};

int ReadVports(const FibreAdapter *a, std::vector<VportView> &out)
{
    std::vector<VNWMI_NPIV_SLOT> slots;
    if (VNWMI_STATUS st = SDGetVirtualPorts(a->wwpn, slots)) {
        Trace(kLevelDebug, "ReadVports: query failed (%s)", VNWmiStatusText(st));
        return kStatusGeneralFailure;
    }
    out.clear();
    for (const VNWMI_NPIV_SLOT &s : slots) {
        VportView v{s, {}};
        SlotWwpn(s, v.wwpn);
        out.push_back(v);
    }
    return kStatusOk;
}

const VportView *FindVport(const std::vector<VportView> &list, const uint8_t wwpn[8])
{
    for (const VportView &v : list)
        if (std::memcmp(v.wwpn, wwpn, 8) == 0)
            return &v;
    return nullptr;
}

std::string NotExist(const FibreAdapter *a, const uint8_t wwpn[8])
{
    return Format("Specified vPort %s does not exist (HBA instance %d)!", Dashed(wwpn).c_str(),
                  a->instance);
}

} // namespace

void VirtualWwpn(const uint8_t phys[8], uint8_t secondByte, uint8_t out[8])
{
    std::memcpy(out, phys, 8);
    out[1] = secondByte;
}

uint8_t GenerateVportByte(const uint8_t phys[8])
{
    std::srand(static_cast<unsigned>(oss::Now()));
    for (;;) {
        const uint8_t byte = static_cast<uint8_t>(std::rand() & 0xFF);
        uint8_t w[8];
        VirtualWwpn(phys, byte, w);
        if (!Reserved(byte) && !WwpnInUse(w))
            return byte;
    }
}

std::vector<uint8_t> PopulateVportWwnArray(const uint8_t phys[8], int n)
{
    std::vector<uint8_t> batch;
    for (int i = 0; i < n; ++i) {
        oss::Sleep(100);
        // Within one second every port starts from the same seed; the draws
        // that follow the seed (not a new seed) get past the bytes taken.
        std::srand(static_cast<unsigned>(oss::Now()));
        for (;;) {
            const uint8_t byte = static_cast<uint8_t>(std::rand() & 0xFF);
            uint8_t w[8];
            VirtualWwpn(phys, byte, w);
            bool taken = false;
            for (uint8_t b : batch)
                taken = taken || b == byte;
            if (!Reserved(byte) && !WwpnInUse(w) && !taken) {
                batch.push_back(byte);
                break;
            }
        }
    }
    return batch;
}

int AvailableVirtualPorts(const FibreAdapter *a, uint32_t &available)
{
    available = 0;
    uint32_t maxVports = 0;
    if (int s = CheckNpivPort(a, maxVports))
        return s;
    std::vector<VportView> list;
    if (int s = ReadVports(a, list))
        return s;
    uint32_t used = 0;
    for (const VportView &v : list) {
        uint8_t same[8];
        VirtualWwpn(a->wwpn, v.wwpn[1], same);
        used += std::memcmp(same, v.wwpn, 8) == 0;
    }
    available = used < maxVports ? maxVports - used : 0;
    return kStatusOk;
}

int CreateVirtualPort(FibreAdapter *a, const TavroVportOptions &o)
{
    uint32_t maxVports = 0;
    if (int s = CheckNpivPort(a, maxVports))
        return s;
    uint8_t wwpn[8];
    switch (o.select) {
    case TAVRO_VPORT_SELECT_AUTO:
        VirtualWwpn(a->wwpn, GenerateVportByte(a->wwpn), wwpn);
        break;
    case TAVRO_VPORT_SELECT_BYTE:
        if (o.secondByte < 0 || o.secondByte > 0xFF)
            return ReportFailure(kVportArgumentInvalid, "Invalid vPort WWPN byte!");
        if (Reserved(uint8_t(o.secondByte)))
            return ReportFailure(
                kVportWwpnReserved,
                Format("Invalid vPort WWPN byte %02X: bytes 00 to 03 are reserved!", o.secondByte)
                    .c_str());
        VirtualWwpn(a->wwpn, uint8_t(o.secondByte), wwpn);
        break;
    case TAVRO_VPORT_SELECT_WWPN:
        std::memcpy(wwpn, o.wwpn, 8);
        break;
    default:
        return ReportFailure(kVportArgumentInvalid, "Invalid virtual port argument!");
    }
    if (WwpnInUse(wwpn))
        return ReportFailure(kVportWwpnInUse,
                             Format("Duplicate vPort WWPN %s (HBA instance %d - %s!",
                                    Dashed(wwpn).c_str(), a->instance, DisplayModel(*a).c_str())
                                 .c_str());
    uint32_t slot = 0;
    VNWMI_STATUS st = SDVportCreate(a->wwpn, wwpn, slot);
    if (st == VNWMI_E_EXISTS)
        return ReportFailure(kVportWwpnInUse,
                             Format("Duplicate vPort WWPN %s (HBA instance %d - %s!",
                                    Dashed(wwpn).c_str(), a->instance, DisplayModel(*a).c_str())
                                 .c_str());
    if (st != VNWMI_OK) {
        Trace(kLevelDebug, "CreateVirtualPort: SDVportCreate failed (%s)", VNWmiStatusText(st));
        return ReportFailure(kStatusGeneralFailure,
                             Format("Unable to create vPort %s of HBA instance %d - %s!",
                                    Dashed(wwpn).c_str(), a->instance, DisplayModel(*a).c_str())
                                 .c_str());
    }
    const int instance = a->instance;
    RefreshAfterChange();
    return ReportResult(kStatusOk,
                        Format("New vPort %s of HBA instance %d was created successfully",
                               Dashed(wwpn).c_str(), instance)
                            .c_str());
}

int DeleteVirtualPorts(FibreAdapter *a, const TavroVportOptions &o)
{
    uint32_t maxVports = 0;
    if (int s = CheckNpivPort(a, maxVports))
        return s;
    std::vector<VportView> list;
    if (int s = ReadVports(a, list))
        return ReportFailure(s, Format("Unable to delete selected virtual port(s) of HBA instance "
                                       "%d - %s!",
                                       a->instance, DisplayModel(*a).c_str())
                                    .c_str());
    std::vector<VportView> chosen;
    if (o.select == TAVRO_VPORT_SELECT_WWPN) {
        const VportView *v = FindVport(list, o.wwpn);
        if (!v)
            return ReportFailure(kVportNotFound, NotExist(a, o.wwpn).c_str());
        chosen.push_back(*v);
    } else if (o.select == TAVRO_VPORT_SELECT_ALL) {
        if (list.empty())
            return ReportFailure(
                kVportNotFound,
                Format("HBA instance %d does not have any virtual port!", a->instance).c_str());
        chosen = list;
    }
    if (chosen.empty())
        return ReportFailure(
            kVportArgumentInvalid,
            Format("No virtual port(s) of HBA instance %d were selected!", a->instance).c_str());
    int deleted = 0;
    for (const VportView &v : chosen) {
        VNWMI_STATUS st = SDVportDelete(a->wwpn, v.slot.VpIndex - 1);
        if (st != VNWMI_OK) {
            Trace(kLevelDebug, "DeleteVirtualPorts: SDVportDelete failed (%s)",
                  VNWmiStatusText(st));
            break;
        }
        ++deleted;
    }
    const int instance = a->instance;
    const std::string model = DisplayModel(*a).c_str();
    std::string message;
    int status = kStatusOk;
    if (deleted != int(chosen.size())) {
        status = kStatusGeneralFailure;
        message = chosen.size() == 1
                      ? Format("Unable to delete vPort %s of HBA instance %d - %s!",
                               Dashed(chosen[0].wwpn).c_str(), instance, model.c_str())
                      : Format("Unable to delete selected virtual port(s) of HBA instance %d - %s!",
                               instance, model.c_str());
    } else if (o.select == TAVRO_VPORT_SELECT_WWPN) {
        message = Format("Configuration changed, vPort %s of HBA instance %d has been deleted.",
                         Dashed(chosen[0].wwpn).c_str(), instance);
    } else {
        message = Format("Configuration changed, %d vPort(s) of HBA instance %d - %s have been "
                         "deleted.",
                         deleted, instance, model.c_str());
    }
    if (deleted > 0)
        RefreshAfterChange();
    return ReportResult(status, message.c_str());
}

namespace {

const RecordStyle kVportRecord = {
    .element = "VirtualPort",
    .indent = "\t",
    .childIndent = "\t\t",
    .ruleBefore = true,
};

// The last block also closes with a rule.
const RecordStyle kVportRecordLast = {
    .element = "VirtualPort",
    .indent = "\t",
    .childIndent = "\t\t",
    .ruleBefore = true,
    .ruleAfter = true,
};

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

void DescribeVport(Renderer &r, const FibreAdapter *a, const VportView &v, bool last)
{
    const VNWMI_NPIV_SLOT &s = v.slot;
    const FibreAdapter *entry = FindAdapterInAdapterListByWWN(v.wwpn);
    r.BeginRecord(last ? kVportRecordLast : kVportRecord);
    r.Add("HBA Instance", "Instance", std::to_string(a->instance));
    r.Add("HBA Model", "Model", DisplayModel(*a).c_str());
    r.Add("HBA Description", "Description", a->description);
    r.Add("Virtual Port", "VirtualPort", std::to_string(s.VpIndex));
    r.Add("Node Name", "WWNN", Dashed(s.WWNN));
    r.Add("Port Name", "WWPN", Dashed(v.wwpn));
    r.Add("Port ID", "PortID", Format("%02X-%02X-%02X", s.FCId[0], s.FCId[1], s.FCId[2]));
    r.Add("Serial Number", "SerialNumber", a->serialNumber);
    if (GetKeyValue("node.hba.virtual.vf.enable", 0) != 0)
        r.Add("Bound VF", "BoundVF", std::to_string(s.VFID));
    r.Add("Max Port Speed", "MaxPortSpeed",
          Format("%.2f Gbps", double(entry ? entry->portSpeed : a->portSpeed)));
    const DeviceRecord *rec = FindDeviceForAdapter(a);
    if (!rec || !QosSupportedBy(rec->facts.familyCode)) {
        r.Add("Priority QoS", "Priority", "Not Supported");
        r.Add("QoS Setting Enable State", "QoSEnable", "Not Supported");
        r.Add("QoS Setting Lock State", "QoSLock", "Not Supported");
        r.EndRecord();
        return;
    }
    if (s.QosType == 1)
        r.Add("Bandwidth QoS (Percentage)", "BandwidthPercentage", std::to_string(s.QosValue));
    else
        r.Add("Priority QoS", "Priority", PriorityName(s.QosValue));
    r.Add("QoS Setting Enable State", "QoSEnable",
          GetVportQosSwitch(a->wwnn, a->wwpn, s.VpIndex, "qos") ? "Enabled" : "Disabled");
    r.Add("QoS Setting Lock State", "QoSLock",
          GetVportQosSwitch(a->wwnn, a->wwpn, s.VpIndex, "lock") ? "Locked" : "Unlocked");
    r.EndRecord();
}

} // namespace

int ListVirtualPorts(FibreAdapter *a, const TavroVportOptions &o)
{
    uint32_t maxVports = 0;
    if (int s = CheckNpivPort(a, maxVports))
        return s;
    std::vector<VportView> list;
    if (int s = ReadVports(a, list))
        return ReportFailure(
            s, Format("HBA instance %d does not have any virtual port!", a->instance).c_str());
    if (o.select == TAVRO_VPORT_SELECT_WWPN) {
        const VportView *v = FindVport(list, o.wwpn);
        if (!v)
            return ReportFailure(kVportNotFound, NotExist(a, o.wwpn).c_str());
        list = {*v};
    }
    if (list.empty())
        return ReportResult(
            kStatusOk,
            Format("HBA instance %d does not have any virtual port!", a->instance).c_str());
    Renderer &r = CurrentRenderer();
    r.BeginDocument();
    for (size_t i = 0; i < list.size(); ++i)
        DescribeVport(r, a, list[i], i + 1 == list.size());
    return r.Finish(kStatusOk);
}

int BindVirtualPorts(FibreAdapter *a, const TavroVportOptions &o, bool bind)
{
    uint32_t maxVports = 0;
    if (int s = CheckNpivPort(a, maxVports))
        return s;
    std::vector<VportView> list;
    if (ReadVports(a, list) != kStatusOk || list.empty())
        return ReportFailure(
            kVportNotFound,
            Format("This physical HBA (Instance %d) does not have any virtual port !", a->instance)
                .c_str());
    const int vf = o.vfId;
    auto apply = [&](const VportView &v) {
        return bind ? SDVsanBind(a->wwpn, v.wwpn, uint32_t(vf)) : SDVsanUnbind(a->wwpn, v.wwpn);
    };
    if (o.select == TAVRO_VPORT_SELECT_WWPN) {
        const VportView *v = FindVport(list, o.wwpn);
        if (!v)
            return ReportFailure(kVportNotFound,
                                 Format("Unable to find vPort %s of this physical HBA (Instance "
                                        "%d)!",
                                        Dashed(o.wwpn).c_str(), a->instance)
                                     .c_str());
        const int id = int(v->slot.VpIndex);
        if (apply(*v) != VNWMI_OK)
            return ReportFailure(kStatusGeneralFailure,
                                 Format(bind ? "Unable to bind vPort %d (%s) to vF %d!"
                                             : "Unable to unbind vPort %d (%s) from vF %d!",
                                        id, Dashed(v->wwpn).c_str(), vf)
                                     .c_str());
        return ReportResult(kStatusOk,
                            Format(bind ? "Bind completed for vPort %d (%s) to vF %d."
                                        : "Unbind completed for vPort %d (%s) from vF %d.",
                                   id, Dashed(v->wwpn).c_str(), vf)
                                .c_str());
    }
    for (const VportView &v : list)
        if (apply(v) != VNWMI_OK)
            return ReportFailure(kStatusGeneralFailure,
                                 Format(bind ? "Unable to bind all vPorts of HBA instance %d to "
                                               "vF %d)!"
                                             : "Unable to unbind all vPorts of HBA instance %d "
                                               "from vF %d)!",
                                        a->instance, vf)
                                     .c_str());
    return ReportResult(kStatusOk,
                        Format(bind ? "All vPorts of HBA instance %d have been bound on vSAN %d)"
                                    : "All vPorts of HBA instance %d have been unbound from vSAN "
                                      "%d)",
                               a->instance, vf)
                            .c_str());
}

int DisplayVfcInfo(const FibreAdapter *)
{
    // Virtual Fibre Channel of guest systems exists only on Hyper-V hosts.
    return ReportFailure(kVportOsUnsupported, "Option is unsupported with current OS platform!");
}

namespace {

template <class Body> int32_t Guarded(Body &&body)
{
    return GuardExport<int32_t>(kStatusGeneralFailure, std::forward<Body>(body));
}

int NoAdapter()
{
    return ReportFailure(kStatusNoAdapter, "No compatible HBA(s) found in current system !");
}

} // namespace

extern "C" {

TAVRO_API int32_t TAVRO_CreateVirtualPortHBA(FibreAdapter *adapter,
                                             const TavroVportOptions *options)
{
    return Guarded([&]() -> int32_t {
        if (!adapter || !options)
            return NoAdapter();
        return CreateVirtualPort(adapter, *options);
    });
}

TAVRO_API int32_t TAVRO_CmdLineDeleteVirtualPortHBA(FibreAdapter *adapter,
                                                    const TavroVportOptions *options)
{
    return Guarded([&]() -> int32_t {
        if (!adapter || !options)
            return NoAdapter();
        return DeleteVirtualPorts(adapter, *options);
    });
}

TAVRO_API int32_t TAVRO_CmdLineListVirtualPortsHBA(FibreAdapter *adapter,
                                                   const TavroVportOptions *options)
{
    return Guarded([&]() -> int32_t {
        if (!adapter || !options)
            return NoAdapter();
        return ListVirtualPorts(adapter, *options);
    });
}

TAVRO_API int32_t TAVRO_BindVportToVSAN(FibreAdapter *adapter, const TavroVportOptions *options)
{
    return Guarded([&]() -> int32_t {
        if (!adapter || !options)
            return NoAdapter();
        return BindVirtualPorts(adapter, *options, true);
    });
}

TAVRO_API int32_t TAVRO_UnbindVportFromVSAN(FibreAdapter *adapter, const TavroVportOptions *options)
{
    return Guarded([&]() -> int32_t {
        if (!adapter || !options)
            return NoAdapter();
        return BindVirtualPorts(adapter, *options, false);
    });
}

TAVRO_API int32_t TAVRO_DisplayVFCInfo(const FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t { return DisplayVfcInfo(adapter); });
}

} // extern "C"
