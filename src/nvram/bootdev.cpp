#include "nvram/bootdev.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "adapters/adapterlist.h"
#include "base/oss.h"
#include "base/status.h"
#include "base/text.h"
#include "device/classify.h"
#include "device/discovery.h"
#include "frame/messages.h"
#include "nvram/nvops.h"
#include "render/renderer.h"

namespace {

constexpr int kStatusUnsupported = 7;
constexpr int kStatusDuplicate = 2;
constexpr int kStatusVirtualPort = 286;

// Variables of the boot parameter record.
constexpr uint32_t kVarBootUpdate = 18;
constexpr uint32_t kVarDisableBios = 58;
constexpr uint32_t kVarSelectableBoot = 60;
constexpr uint32_t kVarBootPortName = 72; // node name on older EFI layouts
constexpr uint32_t kVarBootLun = 80;
constexpr uint32_t kVarEfiBootPortName = 84;
constexpr uint32_t kVarSelectiveLogin = 92;
constexpr uint32_t kVarUefiReserved = 93;
constexpr uint32_t kVarBootOrderList = 94;
constexpr uint32_t kVarSelectiveLun = 95;
constexpr uint32_t kVarForceWorldLogin = 96;
constexpr uint32_t kVarAltPortName[3] = {98, 107, 116}; // LUN follows the eight bytes
constexpr uint32_t kVarFabricAssignBootLun = 131;

// Generations whose boot code keeps the port name where older EFI code looks.
constexpr int kFirstUnifiedLayout = 8;
// Generations whose boot code always boots from the SAN.
constexpr int kAlwaysSanBoot[] = {15, 17, 21, 26};

const char *const kSlotNames[kMaxBootDevices] = {"Primary    ", "Alternate 1", "Alternate 2",
                                                 "Alternate 3"};
const char *const kSlotElements[kMaxBootDevices] = {"BootDevice", "Alt1BootDevice",
                                                    "Alt2BootDevice", "Alt3BootDevice"};

const char *const kNoAdapters = "No compatible HBA(s) found in current system !";

bool g_disableReset = false;

bool ZeroName(const uint8_t name[8])
{
    return std::all_of(name, name + 8, [](uint8_t b) { return b == 0; });
}

bool ReadImage(const DeviceRecord &rec, std::vector<uint8_t> &image)
{
    const uint32_t size = rec.nvramSize ? rec.nvramSize : 512;
    image.assign(size, 0);
    return SDGetNVRam(rec.handle, 0, SD_NVRAM_REGION_PARAMETERS, image.data(), size) == SD_OK;
}

struct Vars {
    const DeviceRecord &rec;
    std::vector<uint8_t> &image;
    bool ok = true;

    uint32_t Get(uint32_t var)
    {
        uint32_t v = 0;
        ok = ok && SDGetVariableValue(rec.handle, image.data(), var, &v) == SD_OK;
        return v;
    }
    void GetName(uint32_t first, uint8_t out[8])
    {
        for (uint32_t i = 0; i < 8; ++i)
            out[i] = uint8_t(Get(first + i));
    }
    void Set(uint32_t var, uint32_t value)
    {
        ok = ok && SDSetVariableValue(rec.handle, image.data(), var, value) == SD_OK;
    }
    void SetName(uint32_t first, const uint8_t name[8])
    {
        for (uint32_t i = 0; i < 8; ++i)
            Set(first + i, name[i]);
    }
};

bool OldEfiLayout(const DeviceRecord &rec)
{
    return GetAdapterFamilyCode(&rec) < kFirstUnifiedLayout;
}

// Reads or writes the record's variables; the host kind and the layout decide which.
void ExchangeRecord(Vars &v, BootRecord &r, bool write, bool efi, bool fabricLun)
{
    const bool oldEfi = efi && OldEfiLayout(v.rec);
    auto num = [&](uint32_t var, uint32_t &field) {
        if (write)
            v.Set(var, field);
        else
            field = v.Get(var);
    };
    auto name = [&](uint32_t var, uint8_t field[8]) {
        if (write)
            v.SetName(var, field);
        else
            v.GetName(var, field);
    };
    // UEFI and EFI settings.
    num(kVarSelectiveLogin, r.selectiveLogin);
    num(kVarSelectiveLun, r.selectiveLun);
    if (efi) {
        if (oldEfi) {
            name(kVarBootPortName, r.nodeName);
            name(kVarEfiBootPortName, r.slots[0].wwpn);
        } else {
            name(kVarBootPortName, r.slots[0].wwpn);
        }
        num(kVarBootLun, r.slots[0].lun);
        return;
    }
    num(kVarUefiReserved, r.uefiReserved);
    num(kVarBootOrderList, r.bootOrderList);
    num(kVarForceWorldLogin, r.forceWorldLogin);
    // BIOS settings.
    num(kVarDisableBios, r.disableBios);
    num(kVarSelectableBoot, r.selectableBoot);
    name(kVarBootPortName, r.slots[0].wwpn);
    num(kVarBootLun, r.slots[0].lun);
    for (int i = 0; i < 3; ++i) {
        name(kVarAltPortName[i], r.slots[i + 1].wwpn);
        num(kVarAltPortName[i] + 8, r.slots[i + 1].lun);
    }
    if (fabricLun)
        num(kVarFabricAssignBootLun, r.fabricAssignBootLun);
}

bool SameSettings(const BootRecord &a, const BootRecord &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

int Report(int status, const std::string &message, int reboot = 0)
{
    return CurrentRenderer().Finish(status, message.c_str(), reboot);
}

std::string Dashed(const uint8_t wwn[8]) { return WwnText(wwn, WwnStyle::Dashed); }

// Refusals shared by every change; null adapter or record means refused.
DeviceRecord *ChangeableAdapter(FibreAdapter *a, int &status, std::string &message)
{
    if (!a) {
        status = kStatusNoAdapter;
        message = "Unable to locate the specified HBA!";
        return nullptr;
    }
    if (a->portType == TAVRO_PORT_TYPE_VIRTUAL) {
        status = kStatusVirtualPort;
        message =
            Format("Option is not available with virtual port HBA (%s)!", Dashed(a->wwpn).c_str());
        return nullptr;
    }
    DeviceRecord *rec = FindDeviceForAdapter(a);
    if (!rec || a->portType == TAVRO_PORT_TYPE_FCOE_ENGINE) {
        status = kStatusUnsupported;
        message = Format("Unsupported HBA (Instance %lu - %s)!", (unsigned long)a->instance,
                         DisplayModel(*a).c_str());
        return nullptr;
    }
    return rec;
}

std::string Completion(const FibreAdapter &a)
{
    // Boot settings are read by the boot code only: they take effect at the next start.
    return Format("HBA Parameters update complete. Changes have been saved to HBA instance %lu "
                  "and a reboot is required.",
                  (unsigned long)a.instance);
}

// Writes next when it differs from current; the completion or the failure message.
int32_t WriteChange(FibreAdapter &a, DeviceRecord &rec, const BootRecord &next, std::string &msg,
                    int &reboot)
{
    const int32_t st = SetBootDeviceInfo(rec, next);
    if (st != kStatusOk) {
        msg = "Unknown error occurred!";
        return st;
    }
    reboot = 1;
    msg = Completion(a);
    return kStatusOk;
}

// Finds the requested device among the port's discovered targets and LUNs.
const TargetRecord *FindBootTarget(DeviceRecord &rec, const BootDeviceRequest &d)
{
    TargetRecord *t = FindTargetByWwpn(rec, d.wwpn);
    if (!t)
        return nullptr;
    if (!ZeroName(d.wwnn) && std::memcmp(d.wwnn, t->nodeName, 8) != 0)
        return nullptr;
    if (t->luns.empty())
        RetrieveTargetLuns(rec, *t);
    if (!FindLun(*t, uint16_t(d.lun)))
        return nullptr;
    return t;
}

// One port's record as the display shows it, text and XML.
void DescribeBoot(Renderer &r, const FibreAdapter &a, DeviceRecord &rec, const BootRecord &b,
                  bool efi)
{
    const bool fabricLun = HasFabricAssignBootLun(rec);
    const char *rule = "--------------------------------------------------------------------------"
                       "------\n";
    auto onOff = [](uint32_t v) { return v ? "Enabled" : "Disabled"; };
    std::string text = Format("HBA Instance %d: %s Port %d WWPN %s\n", a.instance,
                              DisplayModel(a).c_str(), a.portNumber, Dashed(a.wwpn).c_str());
    text += "Boot Device Settings:\n";
    text += rule;
    text += Format("Selectable Boot: %s\n", onOff(b.selectableBoot));
    text +=
        Format("Enable Fabric Assigned LUN: %s\n", onOff(fabricLun ? b.fabricAssignBootLun : 0));
    text += Format("(%s) Boot Port Name        LUN\n", efi ? "EFI" : "BIOS");
    text += rule;
    // EFI boot code keeps one device only.
    const int rows = efi ? 1 : kMaxBootDevices;
    for (int i = 0; i < rows; ++i)
        text += Format("%s %s            %4d\n", kSlotNames[i], Dashed(b.slots[i].wwpn).c_str(),
                       int(b.slots[i].lun));
    text += Format("Enable Selective LUN    : %s\n", onOff(b.selectiveLun));
    text += Format("Enable Selective Logging: %s\n", onOff(b.selectiveLogin));

    std::string xml = "\t\t<BootDeviceInfo>\n";
    if (efi) {
        xml += Format("\t\t<BootParam EnableSelectiveLogin=\"%u\" EnableSelectiveLUN=\"%u\" />\n",
                      b.selectiveLogin, b.selectiveLun);
        xml += Format("\t\t<BootDevice TargetWWNN=\"%s\" TargetWWPN=\"%s\" LUNID=\"%d\" />\n",
                      Dashed(b.nodeName).c_str(), Dashed(b.slots[0].wwpn).c_str(),
                      int(b.slots[0].lun));
    } else {
        xml += Format("\t\t<BootParam EnableSelectableBoot=\"%u\" />\n", b.selectableBoot);
        for (int i = 0; i < kMaxBootDevices; ++i)
            xml += Format("\t\t<%s TargetWWPN=\"%s\" LUNID=\"%u\"  />\n", kSlotElements[i],
                          Dashed(b.slots[i].wwpn).c_str(), b.slots[i].lun);
    }
    xml += "\t\t</BootDeviceInfo>\n";
    r.Piece(text, xml);
}

void DescribeUnsupported(Renderer &r)
{
    r.Piece("", "\t\t<BootDevice>\n"
                "\t\t<BootDevice TargetWWPN=\"Unsupported\" LUNID=\"Unsupported\" />\n"
                "\t\t</BootDevice>\n");
}

bool Physical(const FibreAdapter &a)
{
    return a.portType != TAVRO_PORT_TYPE_VIRTUAL && a.portType != TAVRO_PORT_TYPE_FCOE_ENGINE;
}

// One port's display inside an open document; false when nothing could be shown.
bool ViewOne(FibreAdapter &a, std::string &failure)
{
    Renderer &r = CurrentRenderer();
    DeviceRecord *rec = FindDeviceForAdapter(&a);
    BootRecord b;
    if (!Physical(a) || !rec) {
        failure = Format("Boot device feature is disabled on this OS (Instance %d)!", a.instance);
        DescribeUnsupported(r);
        return false;
    }
    if (!GetBootDeviceInfo(*rec, b, BootSource::Fresh)) {
        failure =
            Format("Unable to retrieve HBA parameters of HBA WWPN %s!", Dashed(a.wwpn).c_str());
        DescribeUnsupported(r);
        return false;
    }
    DescribeBoot(r, a, *rec, b, BootUsesEfiSettings());
    return true;
}

} // namespace

bool BootUsesEfiSettings() { return oss::IsEfiHost(); }

bool HasFabricAssignBootLun(const DeviceRecord &rec)
{
    // The 16 Gb generations onward, Fibre Channel only: converged boot code assigns no LUN.
    return GetAdapterFamilyCode(&rec) >= 24 && !IsConvergedAdapter(&rec);
}

bool GetBootDeviceInfo(DeviceRecord &rec, BootRecord &out, BootSource source)
{
    std::vector<uint8_t> image;
    if (source == BootSource::Fresh) {
        if (!ReadImage(rec, image))
            return false;
    } else {
        image.assign(rec.nvramRegion1, rec.nvramRegion1 + sizeof rec.nvramRegion1);
    }
    BootRecord r;
    Vars v{rec, image};
    ExchangeRecord(v, r, false, BootUsesEfiSettings(), HasFabricAssignBootLun(rec));
    if (!v.ok)
        return false;
    // Only older EFI layouts keep the node name; the others take it from the target list.
    if (!(BootUsesEfiSettings() && OldEfiLayout(rec))) {
        std::memset(r.nodeName, 0, 8);
        if (const TargetRecord *t = FindTargetByWwpn(rec, r.slots[0].wwpn))
            std::memcpy(r.nodeName, t->nodeName, 8);
    }
    out = r;
    return true;
}

int32_t SetBootDeviceInfo(DeviceRecord &rec, const BootRecord &record)
{
    std::vector<uint8_t> image;
    if (!ReadImage(rec, image))
        return kStatusGeneralFailure;
    Vars v{rec, image};
    v.Set(kVarBootUpdate, 1);
    BootRecord r = record;
    ExchangeRecord(v, r, true, BootUsesEfiSettings(), HasFabricAssignBootLun(rec));
    // One write of the whole image: a refused variable leaves the adapter untouched.
    if (!v.ok)
        return kStatusGeneralFailure;
    const int32_t st = updateNVRam(rec, std::move(image));
    if (st == kStatusOk)
        for (FibreAdapter *a = Adapters().first; a; a = a->next)
            if (a->portType == TAVRO_PORT_TYPE_PHYSICAL && FindDeviceForAdapter(a) == &rec)
                g_disableReset = IsConfigureToBootFromSAN(*a) != 0;
    return st;
}

bool BootWriteDisablesReset() { return g_disableReset; }

int GetFCBootConfigInfo(DeviceRecord &rec)
{
    BootRecord b;
    if (!GetBootDeviceInfo(rec, b, BootSource::Fresh) || b.disableBios)
        return 0;
    for (const BootSlot &s : b.slots)
        if (!ZeroName(s.wwpn))
            return 1;
    if (!b.selectableBoot)
        return 0;
    // Booting from any device: the driver marks the target the boot code used.
    for (uint32_t i = 0;; ++i) {
        SD_DISC_TARGET t{};
        if (SDGetDiscTargetProperty(rec.handle, 0, i, &t) != SD_OK)
            return 0;
        if (t.Flags & SD_DISC_FLAG_BOOT)
            return 1;
    }
}

int IsConfigureToBootFromSAN(const FibreAdapter &a)
{
    DeviceRecord *rec = FindDeviceForAdapter(&a);
    if (!rec)
        return 0;
    const int generation = GetAdapterFamilyCode(rec);
    if (std::find(std::begin(kAlwaysSanBoot), std::end(kAlwaysSanBoot), generation) !=
        std::end(kAlwaysSanBoot))
        return 1;
    if (a.serialNumber[0] == 0)
        return GetFCBootConfigInfo(*rec);
    for (FibreAdapter *p = Adapters().first; p; p = p->next) {
        if (!Physical(*p) || std::strcmp(p->serialNumber, a.serialNumber) != 0)
            continue;
        if (DeviceRecord *other = FindDeviceForAdapter(p); other && GetFCBootConfigInfo(*other))
            return 1;
    }
    return 0;
}

int32_t ViewSingleAdapterBootDevices(FibreAdapter &a)
{
    Renderer &r = CurrentRenderer();
    if (a.portType == TAVRO_PORT_TYPE_VIRTUAL)
        return Report(
            kStatusVirtualPort,
            Format("Option is not available with virtual port HBA (%s)!", Dashed(a.wwpn).c_str()));
    DeviceRecord *rec = FindDeviceForAdapter(&a);
    BootRecord b;
    if (!rec || !Physical(a))
        return Report(
            kStatusUnsupported,
            Format("Boot device feature is disabled on this OS (Instance %d)!", a.instance));
    if (!GetBootDeviceInfo(*rec, b, BootSource::Fresh))
        return Report(
            kStatusGeneralFailure,
            Format("Unable to retrieve HBA parameters of HBA WWPN %s!", Dashed(a.wwpn).c_str()));
    r.BeginDocument();
    DescribeBoot(r, a, *rec, b, BootUsesEfiSettings());
    return r.Finish(kStatusOk);
}

int32_t ViewAllAdaptersAllBootDevices()
{
    Renderer &r = CurrentRenderer();
    std::vector<FibreAdapter *> ports;
    for (FibreAdapter *a = Adapters().first; a; a = a->next)
        if (Physical(*a))
            ports.push_back(a);
    if (ports.empty())
        return Report(kStatusNoAdapter, kNoAdapters);
    r.BeginDocument();
    int32_t status = kStatusOk;
    for (size_t n = 0; n < ports.size(); ++n) {
        std::string failure;
        if (!ViewOne(*ports[n], failure)) {
            r.TextLine(failure);
            status = kStatusGeneralFailure;
        }
        if (n + 1 < ports.size())
            r.PageBreak();
    }
    return r.Finish(status);
}

int32_t SetAdapterBootDevices(FibreAdapter *a, const std::vector<BootDeviceRequest> &devices)
{
    int status = kStatusOk;
    std::string msg;
    DeviceRecord *rec = ChangeableAdapter(a, status, msg);
    if (!rec)
        return Report(status, msg);
    const bool efi = BootUsesEfiSettings();
    BootRecord current;
    if (!GetBootDeviceInfo(*rec, current, BootSource::Fresh))
        return Report(kStatusGeneralFailure, "Unknown error occurred!");
    BootRecord next = current;
    bool changed = false;
    for (const BootDeviceRequest &d : devices) {
        if (d.bootType < 0 || d.bootType >= kMaxBootDevices || (efi && d.bootType != 0))
            return Report(kStatusUnsupported,
                          Format("Option is unsupported with selected HBA (Instance %d - %s)!",
                                 a->instance, DisplayModel(*a).c_str()));
        BootSlot &slot = next.slots[d.bootType];
        const bool zeroPort = ZeroName(d.wwpn);
        const TargetRecord *target = nullptr;
        // A LUN without a target port name boots from that LUN on any target.
        if (!zeroPort && !(target = FindBootTarget(*rec, d)))
            return Report(kStatusDeviceNotFound,
                          Format("Specified device not found (%s)!", Dashed(d.wwpn).c_str()));
        if (!zeroPort && std::memcmp(slot.wwpn, d.wwpn, 8) == 0 && slot.lun == uint32_t(d.lun)) {
            Trace(kLevelWarning, "Duplicate boot device settings.");
            continue;
        }
        if (ZeroName(slot.wwpn) && !efi && !next.selectableBoot)
            Trace(kLevelWarning, "Boot device added but enable selectable boot is disabled.");
        std::memcpy(slot.wwpn, d.wwpn, 8);
        slot.lun = uint32_t(d.lun);
        if (d.bootType == 0) {
            if (target)
                std::memcpy(next.nodeName, target->nodeName, 8);
            else
                std::memset(next.nodeName, 0, 8);
        }
        changed = true;
    }
    if (!changed)
        return Report(kStatusDuplicate,
                      Format("Selected device is already configured as current boot device of "
                             "HBA instance %lu",
                             (unsigned long)a->instance));
    int reboot = 0;
    status = WriteChange(*a, *rec, next, msg, reboot);
    return Report(status, msg, reboot);
}

int32_t SetAutoBootDevices(FibreAdapter *a)
{
    int status = kStatusOk;
    std::string msg;
    DeviceRecord *rec = ChangeableAdapter(a, status, msg);
    if (!rec)
        return Report(status, msg);
    const std::string unable = Format("Unable to set the BIOS boot default on HBA instance %lu!",
                                      (unsigned long)a->instance);
    BootRecord current;
    if (!GetBootDeviceInfo(*rec, current, BootSource::Fresh))
        return Report(kStatusGeneralFailure, unable);
    // The first disk the port sees, with its lowest LUN.
    const TargetRecord *first = nullptr;
    const LunRecord *lun = nullptr;
    for (TargetRecord &t : rec->targets) {
        if (t.stateFlags & kTargetStateTape)
            continue;
        if (t.luns.empty())
            RetrieveTargetLuns(*rec, t);
        if (!t.luns.empty()) {
            first = &t;
            lun = &*std::min_element(
                t.luns.begin(), t.luns.end(),
                [](const LunRecord &x, const LunRecord &y) { return x.lun < y.lun; });
            break;
        }
    }
    if (!first)
        return Report(kStatusGeneralFailure, unable);
    BootRecord next = current;
    next.disableBios = 0;
    next.selectableBoot = 1;
    std::memcpy(next.slots[0].wwpn, first->portName, 8);
    next.slots[0].lun = lun->lun;
    std::memcpy(next.nodeName, first->nodeName, 8);
    if (SameSettings(next, current))
        return Report(kStatusOk,
                      Format("Current HBA already configured with BIOS boot default (HBA "
                             "instance %lu).",
                             (unsigned long)a->instance));
    int reboot = 0;
    status = WriteChange(*a, *rec, next, msg, reboot);
    return Report(status, status == kStatusOk ? msg : unable, reboot);
}

namespace {

// enable/disable of one port, the message left for the caller to report.
int32_t SwitchOne(FibreAdapter *a, bool enable, int slot, bool keepDevices, std::string &msg,
                  int &reboot)
{
    int status = kStatusOk;
    DeviceRecord *rec = ChangeableAdapter(a, status, msg);
    if (!rec)
        return status;
    BootRecord current;
    if (!GetBootDeviceInfo(*rec, current, BootSource::Fresh)) {
        msg = "Unknown error occurred!";
        return kStatusGeneralFailure;
    }
    BootRecord next = current;
    if (enable) {
        next.disableBios = 0;
        next.selectableBoot = 1;
        if (BootUsesEfiSettings())
            next.selectiveLogin = 1;
    } else if (slot >= 0) {
        next.slots[slot] = BootSlot{};
        if (slot == 0)
            std::memset(next.nodeName, 0, 8);
    } else {
        // Clearing disables the boot default, devices or none.
        next.selectableBoot = 0;
        if (BootUsesEfiSettings())
            next.selectiveLogin = 0;
        if (!keepDevices) {
            for (BootSlot &s : next.slots)
                s = BootSlot{};
            std::memset(next.nodeName, 0, 8);
        }
    }
    return WriteChange(*a, *rec, next, msg, reboot);
}

int32_t SwitchAll(bool enable, int slot, bool keepDevices)
{
    Renderer &r = CurrentRenderer();
    r.BeginDocument();
    int32_t last = kStatusOk;
    int done = 0, reboot = 0;
    for (FibreAdapter *a = Adapters().first; a; a = a->next) {
        if (!Physical(*a))
            continue;
        ++done;
        std::string msg;
        int rb = 0;
        if (int32_t s = SwitchOne(a, enable, slot, keepDevices, msg, rb))
            last = s;
        reboot |= rb;
        r.TextLine(msg);
    }
    if (!done)
        return Report(kStatusNoAdapter, kNoAdapters);
    return r.Finish(last, nullptr, reboot);
}

} // namespace

int32_t ClearBootDevices(FibreAdapter *a, int slot, bool keepDevices)
{
    std::string msg;
    int reboot = 0;
    const int32_t st = SwitchOne(a, false, slot, keepDevices, msg, reboot);
    return Report(st, msg, reboot);
}

int32_t EnableBootDevices(FibreAdapter *a)
{
    std::string msg;
    int reboot = 0;
    const int32_t st = SwitchOne(a, true, -1, true, msg, reboot);
    return Report(st, msg, reboot);
}

int32_t EnableBootDevicesAllHBAs() { return SwitchAll(true, -1, true); }

int32_t ClearBootDevicesAllHBAs(int slot, bool keepDevices)
{
    return SwitchAll(false, slot, keepDevices);
}

extern "C" {

int32_t TAVRO_ViewAllAdaptersAllBootDevices(void) { return ViewAllAdaptersAllBootDevices(); }

int32_t TAVRO_ViewSingleAdapterBootDevices(FibreAdapter *adapter)
{
    if (!adapter)
        return Report(kStatusNoAdapter, "Unable to locate the specified HBA!");
    return ViewSingleAdapterBootDevices(*adapter);
}

int32_t TAVRO_SetAdapterBootDevices(FibreAdapter *adapter, int32_t bootType, const uint8_t *wwpn,
                                    int32_t lun)
{
    BootDeviceRequest d;
    if (wwpn)
        std::memcpy(d.wwpn, wwpn, 8);
    d.lun = lun;
    d.bootType = bootType;
    return SetAdapterBootDevices(adapter, {d});
}

int32_t TAVRO_SetAutoBootDevices(FibreAdapter *adapter) { return SetAutoBootDevices(adapter); }

int32_t TAVRO_ClearBootDevices(FibreAdapter *adapter)
{
    return ClearBootDevices(adapter, -1, false);
}

int32_t TAVRO_AddBootDeviceToDeviceList(TAVRO_BootDevice **list, const uint8_t *wwnn,
                                        const uint8_t *wwpn, uint32_t targetNumber, uint32_t lun,
                                        int32_t bootType, uint32_t option)
{
    if (!list)
        return kStatusGeneralFailure;
    auto *e = new (std::nothrow) TAVRO_BootDevice{};
    if (!e)
        return kStatusNoMemory;
    if (wwnn)
        std::memcpy(e->wwnn, wwnn, 8);
    if (wwpn)
        std::memcpy(e->wwpn, wwpn, 8);
    e->targetNumber = targetNumber;
    e->lun = lun;
    e->bootType = bootType;
    e->option = option;
    TAVRO_BootDevice **end = list;
    while (*end)
        end = &(*end)->next;
    *end = e;
    return kStatusOk;
}

void TAVRO_FreeSDMBootDeviceList(TAVRO_BootDevice *list)
{
    while (list) {
        TAVRO_BootDevice *next = list->next;
        delete list;
        list = next;
    }
}

int32_t TAVRO_IsConfigureToBootFromSAN(FibreAdapter *adapter)
{
    return adapter ? IsConfigureToBootFromSAN(*adapter) : 0;
}

} // extern "C"
