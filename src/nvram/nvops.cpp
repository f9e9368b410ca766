#include "nvram/nvops.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "adapters/adapterlist.h"
#include "base/guard.h"
#include "base/oss.h"
#include "base/status.h"
#include "base/text.h"
#include "device/classify.h"
#include "device/core.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "frame/props.h"
#include "nvram/nvimage.h"
#include "nvram/nvparams.h"
#include "render/renderer.h"

namespace {

constexpr int kStatusInvalidInput = 2;
constexpr int kStatusFileAccess = 4;
constexpr int kStatusBadValue = 60;
constexpr int kStatusChangeDenied = 65;
constexpr int kStatusLoop16G = 67;
constexpr int kStatusReadBack = 81;
constexpr int kStatusPreserve = 83;
constexpr int kStatusKeyNotSet = 121;
constexpr int kNoAdapterStatus = kStatusNoAdapter;

const char *const kNoAdapters = "No compatible HBA(s) found in current system !";

// NVRAM data-rate codes: 0 1G, 1 2G, 2 auto, 3 4G, 4 8G, 5 16G, 6 32G, 7 64G.
constexpr uint32_t kRateBits[] = {SD_SUPPORTED_1G,  SD_SUPPORTED_2G, 0,
                                  SD_SUPPORTED_4G,  SD_SUPPORTED_8G, SD_SUPPORTED_16G,
                                  SD_SUPPORTED_32G, SD_SUPPORTED_64G};

bool PortRunsRate(const DeviceRecord &rec, int code)
{
    if (code < 0 || code >= int(std::size(kRateBits)))
        return false;
    const uint32_t supported = rec.port.SupportedSpeeds;
    return kRateBits[code] == 0 || supported == 0 || (supported & kRateBits[code]) != 0;
}

// Generations whose parameters the adapter's own firmware owns.
bool ChangeDenied(int generation)
{
    return generation == 13 || generation == 15 || generation == 21;
}

// Parameters that exist only from the 16 Gb generation on.
bool ParamPresent(int generation, int index)
{
    if (index == kNvEnableDPort || index == kNvEnableDistanceSupport || index == kNvEnableMinSpeed)
        return generation >= 24;
    return true;
}

// Settings the firmware reads only while it initialises.
bool NeedsReboot(int index)
{
    switch (index) {
    case kNvDataRate:
    case kNvConnectionOption:
    case kNvFrameSize:
    case kNvEnableHardLoopID:
    case kNvHardLoopID:
    case kNvOperationMode:
    case kNvInterruptDelayTimer:
    case kNvEnableFCTape:
        return true;
    default:
        return false;
    }
}

bool ReadImage(const DeviceRecord &rec, std::vector<uint8_t> &image)
{
    const uint32_t size = rec.nvramSize ? rec.nvramSize : kNvramSize;
    image.assign(size, 0);
    return SDGetNVRam(rec.handle, 0, SD_NVRAM_REGION_PARAMETERS, image.data(), size) == SD_OK;
}

int Report(int status, const std::string &message)
{
    return CurrentRenderer().Finish(status, message.c_str());
}

const char *const kParamKeys[] = {"Instance", "Port"};

const RecordStyle kParamRecord = {
    .element = "HBAParam",
    .indent = "\t\t",
    .childIndent = "\t\t",
    .rows = XmlRows::AttributeLines,
    .keys = kParamKeys,
    .keysForm2 = kParamKeys,
    .ruleBefore = true,
};

void DescribeParams(Renderer &r, const FibreAdapter &a, const int32_t (&values)[30])
{
    r.BeginRecord(kParamRecord);
    r.Add("Instance", "Instance", std::to_string(a.instance), kInXml);
    r.Add("Port", "Port", std::to_string(a.portNumber), kInXml);
    r.TextLine(Format("HBA Instance %d: %s Port %d WWPN %s", a.instance, DisplayModel(a).c_str(),
                      a.portNumber, WwnText(a.wwpn, WwnStyle::Dashed).c_str()));
    r.TextLine(std::string(80, '-'));
    for (int i = 0; i < kNvramParamCount; ++i) {
        if (i == kNvLinkDownError || i == kNvFastErrorReporting)
            continue; // refused by name: nothing a user can act on
        const NvramParamInfo &p = NvramParam(i);
        r.Add(p.longName, p.longName, std::to_string(values[i]));
    }
    r.EndRecord();
}

} // namespace

void DescribeHBAParams(Renderer &r, const std::vector<FibreAdapter *> &ports)
{
    for (FibreAdapter *a : ports) {
        if (a->portType == TAVRO_PORT_TYPE_FCOE_ENGINE || a->portType == TAVRO_PORT_TYPE_VIRTUAL)
            continue;
        int32_t values[30];
        DeviceRecord *rec = FindDeviceForAdapter(a);
        if (rec && ReadAdapterParams(*rec, values))
            DescribeParams(r, *a, values);
    }
}

bool ReadAdapterParams(const DeviceRecord &rec, int32_t (&values)[30])
{
    std::vector<uint8_t> image;
    if (!ReadImage(rec, image))
        return false;
    for (int i = 0; i < kNvramParamCount; ++i) {
        uint32_t v = 0;
        if (SDGetVariableValue(rec.handle, image.data(), NvramVariableOf(i), &v) != SD_OK)
            return false;
        values[i] = int32_t(v);
    }
    return true;
}

int32_t DisplayHBAParams(const std::vector<FibreAdapter *> &selected)
{
    Renderer &r = CurrentRenderer();
    std::vector<FibreAdapter *> ports;
    for (FibreAdapter *a : selected)
        if (a->portType != TAVRO_PORT_TYPE_FCOE_ENGINE && a->portType != TAVRO_PORT_TYPE_VIRTUAL)
            ports.push_back(a);
    if (ports.empty())
        return r.Finish(kNoAdapterStatus, kNoAdapters);
    struct Port {
        FibreAdapter *a;
        int32_t values[30];
    };
    std::vector<Port> read;
    for (FibreAdapter *a : ports) {
        Port p{a, {}};
        DeviceRecord *rec = FindDeviceForAdapter(a);
        if (!rec || !ReadAdapterParams(*rec, p.values))
            return r.Finish(
                kStatusGeneralFailure,
                Format("Unable to retrieve HBA parameters (Instance %d)!", a->instance).c_str());
        read.push_back(p);
    }
    r.BeginDocument();
    for (size_t n = 0; n < read.size(); ++n) {
        DescribeParams(r, *read[n].a, read[n].values);
        if (n + 1 < read.size())
            r.PageBreak();
    }
    return r.Finish(kStatusOk);
}

int32_t updateNVRam(DeviceRecord &rec, std::vector<uint8_t> image, bool preserve, bool verify)
{
    std::vector<uint8_t> current;
    if (!ReadImage(rec, current) || current.size() != image.size())
        return kStatusPreserve;
    // The adapter's identity never comes from a file or a default block.
    auto keep = [&](uint32_t var) {
        uint32_t v = 0;
        return SDGetVariableValue(rec.handle, current.data(), var, &v) == SD_OK &&
               SDSetVariableValue(rec.handle, image.data(), var, v) == SD_OK;
    };
    for (uint32_t i = 0; preserve && i < 8; ++i)
        if (!keep(kNvVarPortName + i) || !keep(kNvVarNodeName + i))
            return kStatusPreserve;
    if (preserve && (!keep(kNvVarSsvid) || !keep(kNvVarSsdid)))
        return kStatusPreserve;
    if (ComputeNVRAMDataChecksum(image) == kNvramBadSize)
        return kStatusPreserve;
    const SD_STATUS st = SDUpdateNVRam(rec.handle, 0, SD_NVRAM_REGION_PARAMETERS, image.data(),
                                       uint32_t(image.size()));
    if (st != SD_OK) {
        Trace(kLevelError, "updateNVRam: SDUpdateNVRam failed (0x%x) (%s)", st,
              CoreErrorString(st));
        return kStatusGeneralFailure;
    }
    if (SDGetNVRam(rec.handle, 0, SD_NVRAM_REGION_PARAMETERS, rec.nvramRegion1,
                   uint32_t(image.size())) != SD_OK)
        return kStatusReadBack;
    if (verify && std::memcmp(rec.nvramRegion1, image.data(), image.size()) != 0)
        return kStatusReadBack;
    return kStatusOk;
}

int32_t SetAdapterNVRAM(FibreAdapter &a)
{
    DeviceRecord *rec = FindDeviceForAdapter(&a);
    if (!rec)
        return Report(kStatusAdapterNotGiven, "Please specify the HBA instance or WWPN number!");
    const int generation = GetAdapterFamilyCode(rec);
    if (a.portType == TAVRO_PORT_TYPE_VIRTUAL || a.portType == TAVRO_PORT_TYPE_FCOE_ENGINE)
        return Report(
            kStatusChangeDenied,
            Format("Parameters update not supported with selected HBA (Instance %d)!", a.instance));
    std::vector<uint8_t> image;
    int32_t current[30];
    if (!ReadImage(*rec, image) || !ReadAdapterParams(*rec, current))
        return Report(
            kStatusGeneralFailure,
            Format("Unable to update HBA Parameters of this HBA (Instance %d)!", a.instance));
    // UpdateUserNVRAMConfig: every rule is checked before anything is written.
    const UserNvramConfig *pending = UserNVRAMConfigTable();
    int32_t next[30];
    std::memcpy(next, current, sizeof next);
    bool reboot = false, any = false;
    for (int i = 0; i < kNvramParamCount; ++i) {
        if (pending[i].value < 0)
            continue;
        any = true;
        if (ChangeDenied(generation))
            return Report(kStatusChangeDenied,
                          Format("Unable to apply new settings to HBA instance %d (%s). Change is "
                                 "not permitted!",
                                 a.instance, DisplayModel(a).c_str()));
        if (!ParamPresent(generation, i))
            return Report(kStatusBadValue,
                          Format("Specify HBA parameter '%s' is unsupported with HBA instance %lu "
                                 "(%s)!",
                                 pending[i].longName, (unsigned long)a.instance,
                                 DisplayModel(a).c_str()));
        if (i == kNvDataRate && !PortRunsRate(*rec, pending[i].value))
            return Report(kStatusBadValue,
                          Format("Invalid HBA parameter setting for HBA instance %d (%s=%d)!",
                                 a.instance, pending[i].longName, pending[i].value));
        next[i] = pending[i].value;
        reboot = reboot || (NeedsReboot(i) && next[i] != current[i]);
    }
    if (!any)
        return Report(kStatusParseFailed, "Option requires additional input(s)!");
    if (next[kNvConnectionOption] == 0 && next[kNvDataRate] >= 5 && next[kNvDataRate] <= 7) {
        const int gbit[] = {16, 32, 64};
        const int k = next[kNvDataRate] - 5;
        return Report(kStatusLoop16G + k,
                      Format("Connection Option of Loop Only and Data Rate of %dGbit/s is not "
                             "supported!",
                             gbit[k]));
    }
    if (pending[kNvHardLoopID].value >= 0 && next[kNvEnableHardLoopID] == 0)
        return Report(kStatusBadValue, "Unable to modify Hard Loop ID settings (Enable HardLoop "
                                       "ID option is currently disabled)!");
    if (pending[kNvInterruptDelayTimer].value >= 0 && next[kNvOperationMode] == 0)
        return Report(kStatusBadValue,
                      Format("Unable to change Interrupt Delay setting to %d with current "
                             "Operation Mode set to 0",
                             pending[kNvInterruptDelayTimer].value));
    for (int i = 0; i < kNvramParamCount; ++i)
        if (next[i] != current[i] &&
            SDSetVariableValue(rec->handle, image.data(), NvramVariableOf(i), uint32_t(next[i])) !=
                SD_OK)
            return Report(kStatusBadValue,
                          Format("Invalid HBA parameter setting for HBA instance %d (%s=%d)!",
                                 a.instance, NvramParam(i).longName, next[i]));
    const int32_t st = updateNVRam(*rec, std::move(image));
    if (st == kStatusPreserve)
        Trace(kLevelError, "updateNVRam: Unable to preserve NVRAM Data!");
    if (st != kStatusOk)
        return Report(
            st, Format("Unable to update HBA Parameters of this HBA (Instance %d)!", a.instance));
    return Report(kStatusOk,
                  Format(reboot ? "HBA Parameters update complete. Changes have been saved to HBA "
                                  "instance %lu and a reboot is required."
                                : "HBA Parameters update complete. Changes have been saved to HBA "
                                  "instance %lu.",
                         (unsigned long)a.instance));
}

namespace {

// The file is written beside its final name and renamed over it, so that a
// failed save never leaves half a parameter file behind.
bool WriteWholeFile(const std::string &path, const std::vector<uint8_t> &data)
{
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out.write(reinterpret_cast<const char *>(data.data()), std::streamsize(data.size()));
        if (!out.flush())
            return false;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

// Reads at most limit + 1 bytes: anything longer is the wrong size anyway.
bool ReadSmallFile(const std::string &path, size_t limit, std::vector<uint8_t> &data)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    data.resize(limit + 1);
    in.read(reinterpret_cast<char *>(data.data()), std::streamsize(data.size()));
    data.resize(size_t(in.gcount()));
    return !in.bad();
}

int32_t SaveOne(FibreAdapter &a, const std::string &file, bool finish)
{
    Renderer &r = CurrentRenderer();
    DeviceRecord *rec = FindDeviceForAdapter(&a);
    std::vector<uint8_t> image;
    r.TextLine(
        Format("Saving current HBA Parameters of HBA %d to file %s...", a.instance, file.c_str()));
    if (!rec || !ReadImage(*rec, image) || !WriteWholeFile(file, image)) {
        const std::string m =
            Format("Unable to save current HBA Parameters of this HBA (Instance %lu) to %s!",
                   (unsigned long)a.instance, file.c_str());
        return finish ? Report(kStatusFileAccess, m) : (PrintMessage(m.c_str()), kStatusFileAccess);
    }
    const std::string m = Format("HBA Parameters saved successfully (HBA instance %lu - %s).",
                                 (unsigned long)a.instance, DisplayModel(a).c_str());
    return finish ? Report(kStatusOk, m) : (r.TextLine(m), kStatusOk);
}

} // namespace

int32_t SaveSingleAdapterNVRAMToFile(FibreAdapter &a, const std::string &file)
{
    if (a.portType == TAVRO_PORT_TYPE_VIRTUAL)
        return Report(kStatusInvalidInput, Format("Ignored virtual HBA (%s)!",
                                                  WwnText(a.wwpn, WwnStyle::Dashed).c_str()));
    return SaveOne(a, file, true);
}

namespace {

// One file per port beside the named one: instance, serial number and port
// name, then the named file's own name, tell them apart.
std::string PortFileName(const FibreAdapter &a, const std::string &file)
{
    const size_t slash = file.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : file.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
    return dir + Format("%d_%s_%s", a.instance, a.serialNumber, a.wwpnText) +
           (base.empty() ? "" : "_" + base);
}

} // namespace

int32_t SaveAllHBAsNVRAMToFile(const std::string &file)
{
    int32_t last = kStatusOk;
    int saved = 0;
    CurrentRenderer().BeginDocument();
    for (FibreAdapter *a = Adapters().first; a; a = a->next) {
        if (a->portType == TAVRO_PORT_TYPE_FCOE_ENGINE)
            continue;
        if (a->portType == TAVRO_PORT_TYPE_VIRTUAL) {
            CurrentRenderer().TextLine(
                Format("Ignored virtual HBA (%s)!", WwnText(a->wwpn, WwnStyle::Dashed).c_str()));
            continue;
        }
        if (int32_t s = SaveOne(*a, PortFileName(*a, file), false))
            last = s;
        ++saved;
    }
    if (!saved)
        return Report(kNoAdapterStatus, kNoAdapters);
    return CurrentRenderer().Finish(last);
}

namespace {

constexpr uint16_t kMakerVendorId = 0x1E7A;

int32_t ProgramFromFile(FibreAdapter &a, const std::string &file, bool preserve, bool verify,
                        bool finish = true)
{
    auto Report = [&](int status, const std::string &m) {
        if (finish)
            return ::Report(status, m);
        CurrentRenderer().TextLine(m);
        return status;
    };
    DeviceRecord *rec = FindDeviceForAdapter(&a);
    if (!rec || a.portType == TAVRO_PORT_TYPE_VIRTUAL || a.portType == TAVRO_PORT_TYPE_FCOE_ENGINE)
        return Report(
            kStatusChangeDenied,
            Format("Parameters update not supported with selected HBA (Instance %d)!", a.instance));
    std::vector<uint8_t> data;
    if (!ReadSmallFile(file, kNvramSize, data))
        return Report(kStatusFileAccess, std::ifstream(file).good()
                                             ? "Cannot read default/template file!"
                                             : "Cannot open default/template file!");
    switch (CheckNvramFile(data, rec->nvramSize ? rec->nvramSize : kNvramSize)) {
    case NvramFileCheck::BadSize:
        return Report(kStatusInvalidInput, "NVRAM file must be 256 or 512 bytes!");
    case NvramFileCheck::BadChecksum:
        return Report(kStatusInvalidInput,
                      Format("Selected file has incorrect checksum (%s)!", file.c_str()));
    case NvramFileCheck::BadData:
        return Report(kStatusInvalidInput,
                      Format("Selected file has invalid data (%s)!", file.c_str()));
    case NvramFileCheck::WrongSize:
        return Report(kStatusInvalidInput,
                      Format("Incorrect file detected. Please select different NVRAM file for "
                             "this HBA (Instance %d - %s)!",
                             a.instance, DisplayModel(a).c_str()));
    case NvramFileCheck::Ok:
        break;
    }
    if (int32_t st = updateNVRam(*rec, std::move(data), preserve, verify))
        return Report(st, Format("Failed to program HBA parameters (Instance %lu)!",
                                 (unsigned long)a.instance));
    return Report(kStatusOk, Format("HBA Parameters update complete. Changes have been saved to "
                                    "HBA instance %lu.",
                                    (unsigned long)a.instance));
}

} // namespace

int32_t UpdateAdapterNVRAMFromFile(FibreAdapter &a, const std::string &file)
{
    return ProgramFromFile(a, file, true, false);
}

int32_t UpdateAllHBAsNVRAMFromFile(const std::string &file)
{
    int32_t last = kStatusOk;
    int done = 0;
    CurrentRenderer().BeginDocument();
    for (FibreAdapter *a = Adapters().first; a; a = a->next) {
        if (a->portType == TAVRO_PORT_TYPE_FCOE_ENGINE || a->portType == TAVRO_PORT_TYPE_VIRTUAL)
            continue;
        // The port's own file from "-r all save" when there is one, else the named file.
        const std::string own = PortFileName(*a, file);
        const std::string path = std::ifstream(own).good() ? own : file;
        if (int32_t s = ProgramFromFile(*a, path, true, false, false))
            last = s;
        ++done;
    }
    if (!done)
        return Report(kNoAdapterStatus, kNoAdapters);
    return CurrentRenderer().Finish(last);
}

int32_t ProgramAdapterNOVRAM(FibreAdapter &a, const std::string &file, bool preserve, bool verify)
{
    return ProgramFromFile(a, file, preserve, verify);
}

const char *NvramTemplateName(int generation)
{
    switch (generation) {
    case 0:
        return "nv1g.dat";
    case 1:
        return "nv1gb.dat";
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
        return "nv2g.dat";
    case 8:
    case 9:
    case 10:
    case 11:
    case 13:
        return "nv4g.dat";
    case 12:
    case 15:
    case 17:
        return "nv8g.dat";
    case 21:
        return "nvcna.dat";
    case 24:
        return "nv16g.dat";
    case 26:
        return "nvcnac.dat";
    default:
        return "nvdef.dat";
    }
}

int FindNVRAMDir(const DeviceRecord &rec, const std::string &file, std::string &path)
{
    const std::string base = oss::JoinPath(Frame().installDir, "nvramdefs");
    const uint16_t ssvid = rec.chip.SubVendorId, ssdid = rec.chip.SubSystemId;
    const std::string sub =
        ssvid == kMakerVendorId ? Format("x%04x", ssdid) : Format("x%04xx%04x", ssvid, ssdid);
    path = oss::JoinPath(oss::JoinPath(base, sub), file);
    if (std::ifstream(path).good())
        return 0;
    path = oss::JoinPath(oss::JoinPath(base, "default"), file);
    return 1;
}

namespace {

int32_t LoadTemplate(FibreAdapter &a, const std::string &name, bool finish)
{
    DeviceRecord *rec = FindDeviceForAdapter(&a);
    if (!rec)
        return Report(kNoAdapterStatus, kNoAdapters);
    std::string file = name;
    if (file.size() < 4 || !SameText(std::string_view(file).substr(file.size() - 4), ".dat"))
        file += ".dat";
    std::string path;
    FindNVRAMDir(*rec, file, path);
    Trace(kLevelDebug, "LoadHBAParametersFromTemplateFile: %s", path.c_str());
    if (!std::ifstream(path).good()) {
        if (finish)
            return Report(kStatusFileAccess, "Cannot open default/template file!");
        CurrentRenderer().TextLine("Cannot open default/template file!");
        return kStatusFileAccess;
    }
    return ProgramFromFile(a, path, true, false, finish);
}

} // namespace

int32_t LoadHBAParametersFromTemplateFile(FibreAdapter &a, const std::string &name)
{
    return LoadTemplate(a, name, true);
}

int32_t LoadHBAParametersFromTemplateFileAllHBAs(const std::string &name)
{
    CurrentRenderer().BeginDocument();
    int32_t last = kStatusOk;
    int done = 0;
    for (FibreAdapter *a = Adapters().first; a; a = a->next) {
        if (a->portType == TAVRO_PORT_TYPE_VIRTUAL || a->portType == TAVRO_PORT_TYPE_FCOE_ENGINE)
            continue;
        ++done;
        if (int32_t s = LoadTemplate(*a, name, false))
            last = s;
    }
    if (!done)
        return Report(kNoAdapterStatus, kNoAdapters);
    return CurrentRenderer().Finish(last);
}

namespace {

int32_t RestoreDefaultOne(FibreAdapter &a, bool finish)
{
    auto report = [&](int status, const std::string &m) {
        if (finish)
            return Report(status, m);
        CurrentRenderer().TextLine(m);
        return status;
    };
    DeviceRecord *rec = FindDeviceForAdapter(&a);
    if (!rec || a.portType == TAVRO_PORT_TYPE_VIRTUAL || a.portType == TAVRO_PORT_TYPE_FCOE_ENGINE)
        return report(
            kStatusChangeDenied,
            Format("Parameters update not supported with selected HBA (Instance %d)!", a.instance));
    const int generation = GetAdapterFamilyCode(rec);
    std::vector<uint8_t> image;
    uint32_t ssvid = 0, ssdid = 0;
    if (!ReadImage(*rec, image) ||
        SDGetVariableValue(rec->handle, image.data(), kNvVarSsvid, &ssvid) != SD_OK ||
        SDGetVariableValue(rec->handle, image.data(), kNvVarSsdid, &ssdid) != SD_OK)
        return report(kStatusGeneralFailure,
                      Format("Unable to restore defaults settings on this HBA (Instance %lu)!",
                             (unsigned long)a.instance));
    // The older generations and the 8 Gb one keep the defaults behind a key.
    if ((generation < 8 || generation == 12) &&
        GetKeyValue("node.hba.nvram.setdefault.enable", 0) == 0)
        return report(kStatusKeyNotSet, "This feature is not supported on this HBA!");
    SD_FLASH_LAYOUT layout{};
    SD_STATUS st = SDGetOptionRomLayout(rec->handle, 0, &layout);
    if (st != SD_OK) {
        Trace(kLevelError,
              "RestoreNVRAMDefault: Unable to get the OptionROM layout of HBA port %d (0x%x) (%s)!",
              a.instance, st, CoreErrorString(st));
        return report(kStatusGeneralFailure,
                      Format("Unable to restore defaults settings on this HBA (Instance %lu)!",
                             (unsigned long)a.instance));
    }
    bool found = false;
    for (uint32_t i = 0; i < layout.Count && i < SD_FLASH_MAX_REGIONS; ++i)
        found = found || (layout.Regions[i].Code == SD_FLASH_REGION_NVRAM_DEFAULT &&
                          layout.Regions[i].Size >= image.size());
    if (!found)
        return report(kStatusInvalidInput, "Specified flash update region is invalid!");
    std::vector<uint8_t> region(0x1000);
    if (SDGetOptionRomEx(rec->handle, 0, SD_FLASH_REGION_NVRAM_DEFAULT, region.data(),
                         uint32_t(region.size())) != SD_OK)
        return report(kStatusGeneralFailure,
                      Format("Unable to restore defaults settings on this HBA (Instance %lu)!",
                             (unsigned long)a.instance));
    std::vector<uint8_t> defaults(region.begin(), region.begin() + std::ptrdiff_t(image.size()));
    uint32_t dsvid = 0, dsdid = 0;
    SDGetVariableValue(rec->handle, defaults.data(), kNvVarSsvid, &dsvid);
    SDGetVariableValue(rec->handle, defaults.data(), kNvVarSsdid, &dsdid);
    if (dsvid != ssvid || dsdid != ssdid)
        return report(
            kStatusInvalidInput,
            Format("Adapter subsystem vendor/device id mismatched (HBA instance %lu - %s)!",
                   (unsigned long)a.instance, DisplayModel(a).c_str()));
    CurrentRenderer().TextLine(
        Format("Restoring default settings on HBA instance  %d - %s. Please wait...", a.instance,
               DisplayModel(a).c_str()));
    if (int32_t s = updateNVRam(*rec, std::move(defaults)))
        return report(s, Format("Unable to restore defaults settings on this HBA (Instance %lu)!",
                                (unsigned long)a.instance));
    return report(kStatusOk, Format("HBA Parameters Restore Defaults Complete. Changes have been "
                                    "saved to HBA instance %lu and a reboot is required.",
                                    (unsigned long)a.instance));
}

} // namespace

int32_t RestoreNVRAMDefault(FibreAdapter &a)
{
    CurrentRenderer().BeginDocument();
    return RestoreDefaultOne(a, true);
}

int32_t RestoreNVRAMDefaultAllHBAs()
{
    CurrentRenderer().BeginDocument();
    int32_t last = kStatusOk;
    int done = 0;
    for (FibreAdapter *a = Adapters().first; a; a = a->next) {
        if (a->portType == TAVRO_PORT_TYPE_VIRTUAL || a->portType == TAVRO_PORT_TYPE_FCOE_ENGINE)
            continue;
        ++done;
        if (int32_t s = RestoreDefaultOne(*a, false))
            last = s;
    }
    if (!done)
        return Report(kNoAdapterStatus, kNoAdapters);
    return CurrentRenderer().Finish(last);
}

extern "C" {

TAVRO_API int32_t TAVRO_SetAdapterNVRAM(FibreAdapter *adapter)
{
    return GuardExport<int32_t>(kStatusGeneralFailure, [&] {
        if (!adapter)
            return Report(kStatusAdapterNotGiven,
                          "Please specify the HBA instance or WWPN number!");
        return SetAdapterNVRAM(*adapter);
    });
}

} // extern "C"
