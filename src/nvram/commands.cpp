// Rows and operand parsers of the adapter-parameter and boot-device commands.
#include "nvram/commands.h"

#include "nvram/nvops.h"
#include "nvram/nvparams.h"

#include "adapters/adapterlist.h"

#include <algorithm>

namespace {

#define HBA "<hba instance>|<hba wwpn>"

// Value texts of the on/off adapter parameters that also take the words.
#define ONOFF_WORDS "0|1, Disable|Enable"

// ---- Operands -----------------------------------------------------------------

int ParseParamsDisplay(Operands &ops, AdapterSelector &adapter, NvramRequest &)
{
    if (int s = TakeAdapter(ops, AdapterOperand::OptionalAll, adapter))
        return s;
    return NoMoreOperands(ops);
}

// The names the parameter parser knows, the refused ones included.
bool IsNvramName(std::string_view name)
{
    for (const char *refused :
         {"FastErrorReporting", "FE", "LinkDownError", "LD", "EnableExtendedLogging", "EL"})
        if (SameText(name, refused))
            return true;
    return FindNvramParam(name) >= 0;
}

int ParseParamsChange(Operands &ops, AdapterSelector &adapter, NvramRequest &request)
{
    if (int s = TakeAdapter(ops, AdapterOperand::RequiredOrAll, adapter))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    if (ops.Accept("default")) {
        request.defaults = true;
        return NoMoreOperands(ops);
    }
    if (ops.Remaining() == 1 && !IsNvramName(ops.Peek())) {
        // A lone word that is no parameter names an OEM template.
        request.oemTemplate = true;
        request.templateName = CutText(ops.Next(), kMaxFileName);
        return 0;
    }
    if (adapter.kind == AdapterSelection::All)
        return SetParseError(kParseNoAdapter, "Please specify the HBA instance or WWPN number!");
    while (ops.More()) {
        const std::string name = ops.Next();
        if (!ops.More())
            return MissingInput();
        const std::string value = ops.Next();
        int v = ParseNVRAMParameter(name.c_str(), value.c_str());
        if (v < 0)
            return SetParseErrorStatus(kParseBadParameter);
        AddUserNVRAMConfig(name.c_str(), v);
        request.params.push_back(ParamPair{ParamKind::Nvram, name, value, FindNvramParam(name), v});
    }
    return 0;
}

int ParseParamFile(Operands &ops, AdapterSelector &adapter, NvramRequest &request)
{
    if (int s = TakeAdapter(ops, AdapterOperand::RequiredOrAll, adapter))
        return s;
    if (ops.Accept("save"))
        request.save = true;
    if (int s = TakeFileName(ops, request.fileName))
        return s;
    return NoMoreOperands(ops);
}

int ParseAdapterAndFile(Operands &ops, AdapterOperand use, AdapterSelector &adapter,
                        NvramRequest &request)
{
    if (int s = TakeAdapter(ops, use, adapter))
        return s;
    if (int s = TakeFileName(ops, request.fileName))
        return s;
    return NoMoreOperands(ops);
}

bool IsEnableWord(std::string_view w, bool &value)
{
    if (SameText(w, "Enable") || SameText(w, "1"))
        return value = true, true;
    if (SameText(w, "Disable") || SameText(w, "0"))
        return value = false, true;
    return false;
}

// NOVRAM programming: a file, then options "Preserve" (keep the adapter's
// identity fields) and "Verify" (read back), each Enable/Disable or 1/0.
int ParseNovramProgram(Operands &ops, AdapterSelector &adapter, NvramRequest &request)
{
    if (int s = TakeAdapter(ops, AdapterOperand::Required, adapter))
        return s;
    if (int s = TakeFileName(ops, request.fileName))
        return s;
    while (ops.More()) {
        const std::string name = ops.Next();
        if (!SameText(name, "Preserve") && !SameText(name, "Verify"))
            return SetParseError(kParseTooMany, "Invalid option '%s'!", name.c_str());
        if (!ops.More())
            return MissingInput();
        const std::string value = ops.Next();
        bool on = false;
        if (!IsEnableWord(value, on))
            return SetParseError(kParseTooMany, "Invalid command option (%s=%s)!", name.c_str(),
                                 value.c_str());
        (SameText(name, "Preserve") ? request.preserve : request.verify) = on;
    }
    return 0;
}

int ParseRawParamUpdate(Operands &ops, AdapterSelector &adapter, NvramRequest &request)
{
    return ParseAdapterAndFile(ops, AdapterOperand::Required, adapter, request);
}

int ParseFileForOneOrAll(Operands &ops, AdapterSelector &adapter, NvramRequest &request)
{
    return ParseAdapterAndFile(ops, AdapterOperand::RequiredOrAll, adapter, request);
}

// ---- Runs ---------------------------------------------------------------------

std::vector<FibreAdapter *> Chosen(const AdapterChoice &adapters)
{
    std::vector<FibreAdapter *> ports;
    if (!adapters.all) {
        ports.push_back(adapters.adapter);
        return ports;
    }
    for (FibreAdapter *a = Adapters().first; a; a = a->next)
        ports.push_back(a);
    return ports;
}

int RunParamsDisplay(const AdapterChoice &adapters, const NvramRequest &)
{
    return DisplayHBAParams(Chosen(adapters));
}

int RunParamsChange(const AdapterChoice &adapters, const NvramRequest &request)
{
    if (request.defaults)
        return adapters.all ? RestoreNVRAMDefaultAllHBAs() : RestoreNVRAMDefault(*adapters.adapter);
    if (request.oemTemplate)
        return adapters.all
                   ? LoadHBAParametersFromTemplateFileAllHBAs(request.templateName)
                   : LoadHBAParametersFromTemplateFile(*adapters.adapter, request.templateName);
    // The parsed pairs are the pending settings of this run only.
    ResetUserNVRAMConfig();
    for (const ParamPair &p : request.params)
        AddUserNVRAMConfig(p.name.c_str(), int32_t(p.number));
    const int status = TAVRO_SetAdapterNVRAM(adapters.adapter);
    ResetUserNVRAMConfig();
    return status;
}

int RunParamFile(const AdapterChoice &adapters, const NvramRequest &request)
{
    if (request.save)
        return adapters.all ? SaveAllHBAsNVRAMToFile(request.fileName)
                            : SaveSingleAdapterNVRAMToFile(*adapters.adapter, request.fileName);
    if (adapters.all)
        return UpdateAllHBAsNVRAMFromFile(request.fileName);
    return UpdateAdapterNVRAMFromFile(*adapters.adapter, request.fileName);
}

int RunNovramProgram(const AdapterChoice &adapters, const NvramRequest &request)
{
    return ProgramAdapterNOVRAM(*adapters.adapter, request.fileName, request.preserve,
                                request.verify);
}

// ---- Help -----------------------------------------------------------------------

constexpr HelpTopic kHelpParamsDisplay = {
    "HBA Parameters",
    "Displays the current HBA parameters.\n"
    "Without an HBA, or with all, the parameters of every HBA port are shown.",
    "-c [all|" HBA "]", nullptr};

constexpr HelpTopic kHelpParamsChange = {
    "Change HBA Parameters",
    "Changes HBA parameters.\n"
    "Also restores their defaults or loads an OEM template.\n"
    "The new values are saved to the HBA; some changes need a reboot.",
    "-n " HBA " <parameter> <value> [<parameter> <value> ...]\n"
    "-n " HBA "|all default\n"
    "-n " HBA "|all <template name>",
    "default\tRestore the default parameters.\n"
    "<template name>\tLoad the parameters of an OEM template.\n"
    "<parameter>\tLong or short name (any case):\n"
    "  DataRate (DR)\t0-6 (5 = 16 Gb/s, 6 = 32 Gb/s)\n"
    "  ConnectionOption (CO)\t0-3 (0 = loop only)\n"
    "  EnableFCTape (EF)\t" ONOFF_WORDS "\n"
    "  MaximumLunsPerTarget (ML)\t0, 8, 16, 32, 64, 128, 256\n"
    "  EnableHardLoopID (HL)\t" ONOFF_WORDS "\n"
    "  HardLoopID (HD)\t0-125 (needs EnableHardLoopID)\n"
    "  FrameSize (FR)\t512, 1024, 2048\n"
    "  EnableLIPFullLogin (FL)\t" ONOFF_WORDS "\n"
    "  EnableLIPReset (LP)\t" ONOFF_WORDS "\n"
    "  EnableTargetReset (TR)\t" ONOFF_WORDS "\n"
    "  EnableExtendedLogging (EL)\tnot supported\n"
    "  ResetDelay (RD)\t0-255\n"
    "  LoginRetryCount (LR)\t0-255\n"
    "  LinkDownTimeout (LT)\t0-240\n"
    "  LinkDownError (LD)\tnot supported\n"
    "  PortDownRetryCount (PD)\t0-255\n"
    "  ExecutionThrottle (ET)\t0-65535\n"
    "  FastErrorReporting (FE)\tnot supported\n"
    "  OperationMode (OM)\t0, 5, 6\n"
    "  InterruptDelayTimer (ID)\t0-255 (not with OperationMode 0)\n"
    "  EnableBIOS (EB)\t" ONOFF_WORDS "\n"
    "  EnableReceiveOutOfOrderFrame (EO)\t" ONOFF_WORDS "\n"
    "  DescendingLoopIDSearch (DS)\t" ONOFF_WORDS "\n"
    "  EnableLR (EE)\t" ONOFF_WORDS "\n"
    "  EnableSelectableBoot (ES)\t" ONOFF_WORDS "\n"
    "  EnableFabricAssignWWN (FN)\t" ONOFF_WORDS "\n"
    "  EnableFabricAssignBootLun (FB)\t" ONOFF_WORDS "\n"
    "  EnableDPort (DP)\t0|1\n"
    "  EnableDistanceSupport (ED)\t1 or more\n"
    "  EnableMinSpeed (MS)\t0|1"};

constexpr HelpTopic kHelpParamFile = {
    "HBA Parameters File", "Restores HBA parameters from a file, or saves them.",
    "-r " HBA "|all <file>\n"
    "-r " HBA "|all save <file>",
    "save\tSave the current parameters; with all, one file per HBA.\n"
    "all\tEach HBA restores its own saved file when there is one, else <file>."};

constexpr HelpTopic kHelpRawParamUpdate = {"Raw Parameter Update",
                                           "Writes HBA parameters from a raw parameter file.",
                                           "-pcl " HBA " <file>", nullptr};

constexpr HelpTopic kHelpGlobalParamUpdate = {"Global Parameter Update",
                                              "Writes the global parameters of HBAs from a file.",
                                              "-gnvl " HBA "|all <file>", nullptr};

constexpr HelpTopic kHelpParamTemplate = {"Parameter Template",
                                          "Applies the HBA parameters of a template file.",
                                          "-src " HBA "|all <template file>", nullptr};

constexpr HelpTopic kHelpNovramProgram = {
    "NOVRAM Programming", "Programs the NOVRAM of an HBA from a file.",
    "-pn " HBA " <file> [Preserve enable|disable] [Verify enable|disable]",
    "Preserve\tKeep the HBA's identity fields (enable, disable, 1 or 0).\n"
    "Verify\tRead the memory back and compare (enable, disable, 1 or 0)."};

// ---- Boot devices -------------------------------------------------------------------

int BootSlotOf(std::string_view word)
{
    static const char *const kSlots[kMaxBootDevices] = {"prim", "alt1", "alt2", "alt3"};
    for (int i = 0; i < kMaxBootDevices; ++i)
        if (SameText(word, kSlots[i]))
            return i;
    return -1;
}

int ParseBootDevices(Operands &ops, AdapterSelector &adapter, BootRequest &request)
{
    if (int s = TakeAdapter(ops, AdapterOperand::RequiredOrAll, adapter))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    if (AcceptViewWord(ops)) {
        request.view = true;
        return NoMoreOperands(ops);
    }
    if (ops.Accept("enable")) {
        request.enable = true;
        return NoMoreOperands(ops);
    }
    if (ops.Accept("disable")) {
        request.disable = true;
        if (ops.Accept("all")) {
            request.all = true;
        } else if (ops.More()) {
            int slot = BootSlotOf(ops.Peek());
            if (slot < 0)
                return Unrecognized(ops.Peek());
            ops.Next();
            request.slot = slot;
        }
        return NoMoreOperands(ops);
    }
    if (adapter.kind == AdapterSelection::All)
        return SetParseError(kParseNoAdapter, "Please specify the HBA instance or WWPN number!");
    if (ops.Remaining() == 3 && ops.Peek(0) == "0" && ops.Peek(1) == "0" && ops.Peek(2) == "0") {
        // Boot from the first device found.
        for (int i = 0; i < 3; ++i)
            ops.Next();
        request.autoBoot = true;
        return 0;
    }
    std::vector<BootDeviceRequest> &devices = request.devices;
    while (ops.More()) {
        if (devices.size() >= size_t(kMaxBootDevices))
            return SetParseError(kParseTooMany,
                                 "Maximum number of boot devices can be configured is %lu!",
                                 static_cast<unsigned long>(kMaxBootDevices));
        if (ops.Remaining() < 3)
            return MissingInput();
        BootDeviceRequest d;
        if (int s = TakeWwn(ops, d.wwnn, true))
            return s;
        if (int s = TakeWwn(ops, d.wwpn, false))
            return s;
        long lun = 0;
        const std::string lunText = ops.Next();
        if (!ReadDecimal(lunText, lun))
            return SetParseError(kParseTooMany, "Invalid number!");
        if (lun < 0 || lun >= kNoSelection)
            return SetParseError(kParseBadLun, "Invalid LUN ID!");
        d.lun = int32_t(lun);
        // Without a slot word the groups fill primary, then the alternates.
        int slot = ops.More() ? BootSlotOf(ops.Peek()) : -1;
        if (slot >= 0)
            ops.Next();
        else
            slot = int(devices.size());
        d.bootType = slot;
        auto same = std::find_if(devices.begin(), devices.end(),
                                 [&](const BootDeviceRequest &b) { return b.bootType == slot; });
        if (same != devices.end())
            *same = d;
        else
            devices.push_back(d);
    }
    return 0;
}

int RunBootDevices(const AdapterChoice &adapters, const BootRequest &request)
{
    if (request.view)
        return adapters.all ? ViewAllAdaptersAllBootDevices()
                            : ViewSingleAdapterBootDevices(*adapters.adapter);
    if (request.enable)
        return adapters.all ? EnableBootDevicesAllHBAs() : EnableBootDevices(adapters.adapter);
    if (request.disable) {
        // "disable" alone switches selectable boot off and keeps the devices.
        const bool keep = !request.all && request.slot < 0;
        return adapters.all ? ClearBootDevicesAllHBAs(request.slot, keep)
                            : ClearBootDevices(adapters.adapter, request.slot, keep);
    }
    if (request.autoBoot)
        return SetAutoBootDevices(adapters.adapter);
    return SetAdapterBootDevices(adapters.adapter, request.devices);
}

constexpr HelpTopic kHelpBootDevices = {
    "Boot Devices",
    "Displays or configures the SAN boot devices of HBA ports:\n"
    "a primary device and up to three alternates.",
    "-e " HBA "|all view|info\n"
    "-e " HBA " <target wwnn> <target wwpn> <lun id> [prim|alt1|alt2|alt3] [...]\n"
    "-e " HBA " 0 0 0\n"
    "-e " HBA "|all enable\n"
    "-e " HBA "|all disable [prim|alt1|alt2|alt3|all]",
    "view, info\tDisplay the boot devices.\n"
    "prim, alt1-alt3\tThe boot slot of the device; without one the groups fill\n"
    "\tthe primary slot, then the alternates.\n"
    "0 0 0\tBoot from the first device found.\n"
    "enable\tEnable the boot devices.\n"
    "disable\tDisable the boot devices, one slot or all of them."};

// ---- Rows -------------------------------------------------------------------------

constexpr CommandRow kRows[] = {
    {"-c",
     {},
     CommandCode::ParamsDisplay,
     ParseInto<NvramRequest, ParseParamsDisplay>,
     RunWith<NvramRequest, RunParamsDisplay>,
     &kHelpParamsDisplay,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
    {"-n",
     {},
     CommandCode::ParamsChange,
     ParseInto<NvramRequest, ParseParamsChange>,
     RunWith<NvramRequest, RunParamsChange>,
     &kHelpParamsChange,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
    {"-r",
     {},
     CommandCode::ParamFile,
     ParseInto<NvramRequest, ParseParamFile>,
     RunWith<NvramRequest, RunParamFile>,
     &kHelpParamFile,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
    {"-pcl",
     {},
     CommandCode::RawParamUpdate,
     ParseInto<NvramRequest, ParseRawParamUpdate>,
     RunNotBuilt,
     &kHelpRawParamUpdate,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-gnvl",
     {},
     CommandCode::GlobalParamUpdate,
     ParseInto<NvramRequest, ParseFileForOneOrAll>,
     RunNotBuilt,
     &kHelpGlobalParamUpdate,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
    {"-src",
     {},
     CommandCode::ParamTemplate,
     ParseInto<NvramRequest, ParseFileForOneOrAll>,
     RunNotBuilt,
     &kHelpParamTemplate,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
    {"-e",
     {},
     CommandCode::BootDevices,
     ParseInto<BootRequest, ParseBootDevices>,
     RunWith<BootRequest, RunBootDevices>,
     &kHelpBootDevices,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
    {"-pn",
     {},
     CommandCode::NovramProgram,
     ParseInto<NvramRequest, ParseNovramProgram>,
     RunWith<NvramRequest, RunNovramProgram>,
     &kHelpNovramProgram,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
};

} // namespace

std::span<const CommandRow> NvramCommandRows() { return kRows; }
