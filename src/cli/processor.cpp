// The command-line processor: one whole non-interactive run of volk.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "adapters/adapterlist.h"
#include "base/oss.h"
#include "base/status.h"
#include "cli/cmdrecord.h"
#include "cli/cmdstate.h"
#include "cli/help.h"
#include "cli/parser.h"
#include "device/classify.h"
#include "device/devicelist.h"
#include "frame/frame.h"
#include "frame/menuconfig.h"
#include "frame/messages.h"
#include "frame/props.h"
#include "frame/version.h"
#include "render/output.h"
#include "render/versioninfo.h"
#include "session/lifecycle.h"
#include "tavro_api.h"

namespace {


const char *const kOptionDisabled = "Option is currently disabled!";
const char *const kNoAdapters = "No compatible HBA(s) found in current system !";

int OptionDisabled() { return ReportFailure(kStatusDisabled, kOptionDisabled); }

// The adapter port a command names, or null after reporting why there is none.
// "All" answers null without a report; callers test the selector first.
FibreAdapter *ResolveAdapter(int &status)
{
    const AdapterSelector &sel = Cmd().adapter;
    status = 0;
    if (!Adapters().count) {
        status = ReportFailure(kStatusNoAdapter, kNoAdapters);
        return nullptr;
    }
    FibreAdapter *a = nullptr;
    if (sel.kind == AdapterSelection::Wwpn)
        a = FindAdapterInAdapterListByWWN(sel.wwpn);
    else if (sel.kind == AdapterSelection::Instance)
        a = FindAdapterByInstance(sel.instance, 0);
    if (!a)
        status = ReportFailure(kStatusNoAdapter, "Unable to locate the specified HBA!");
    return a;
}

int RequireSelector()
{
    return ReportFailure(130, "Please specify the HBA instance or WWPN number!");
}

// -i: general information; VPD and virtual-FC reports come with their own commands.
int AdapterInformation()
{
    const CommandRecord &c = Cmd();
    if (c.keywords.vpd || c.keywords.vfc)
        return OptionDisabled();
    if (c.adapter.kind == AdapterSelection::None || c.adapter.kind == AdapterSelection::All)
        return TAVRO_DisplayAllHBAGeneralInfo();
    int status = 0;
    FibreAdapter *a = ResolveAdapter(status);
    if (!a)
        return status;
    return c.adapter.kind == AdapterSelection::Wwpn
               ? TAVRO_DisplayHBAGeneralInfoByDevWWPN(a->wwpn)
               : TAVRO_DisplayHBAGeneralInfoByDevNum(a->instance, a->portNumber);
}

// -z: the summary report.
int SummaryReport()
{
    const CommandRecord &c = Cmd();
    if (c.adapter.kind == AdapterSelection::None)
        return RequireSelector();
    if (c.adapter.kind == AdapterSelection::All)
        return TAVRO_DisplayAllInformation();
    int status = 0;
    FibreAdapter *a = ResolveAdapter(status);
    if (!a)
        return status;
    return c.adapter.kind == AdapterSelection::Wwpn
               ? TAVRO_DisplayAllInformationByDevWWPN(a->wwpn)
               : TAVRO_DisplayAllInformationByDevNum(a->instance, a->portNumber);
}

// -ha and -pa: show, change or delete an alias.
int Alias(int kind)
{
    const CommandRecord &c = Cmd();
    if (c.adapter.kind == AdapterSelection::None || c.adapter.kind == AdapterSelection::All)
        return RequireSelector();
    int status = 0;
    FibreAdapter *a = ResolveAdapter(status);
    if (!a)
        return status;
    if (c.keywords.view)
        return TAVRO_DisplayAdapterAlias(a, kind);
    if (c.keywords.remove)
        return TAVRO_SetAdapterAlias(a, kind, "");
    if (c.text.empty())
        return ReportFailure(kStatusParseFailed, "Option requires additional input(s)!");
    return TAVRO_SetAdapterAlias(a, kind, c.text.c_str());
}

// -g: host information, then the device list; the device list's status is the result.
int HostInformation()
{
    if (Frame().xmlMode)
        return TAVRO_DisplayHostInformation();
    TAVRO_DisplayHostInformation();
    return TAVRO_DisplayVantorDevices();
}

} // namespace

int ProcessCommand()
{
    CommandRecord &c = Cmd();
    if (Outcome().parseError) {
        FreeCommandLists();
        if (!Frame().xmlMode)
            PrintUsage();
        return kStatusParseFailed;
    }
    if (Outcome().helpRequested) {
        HelpPrinter(CommandCode::None);
        return 0;
    }
    std::memset(Outcome().errorMessage, 0, sizeof Outcome().errorMessage);
    int status;
    switch (c.command) {
    case CommandCode::HostInfo:
        status = HostInformation();
        break;
    case CommandCode::AdapterInfo:
        status = AdapterInformation();
        break;
    case CommandCode::SummaryReport:
        status = SummaryReport();
        break;
    case CommandCode::AdapterAlias:
        status = Alias(TAVRO_ALIAS_ADAPTER);
        break;
    case CommandCode::PortAlias:
        status = Alias(TAVRO_ALIAS_PORT);
        break;
    case CommandCode::ExitCodes:
        status = TAVRO_DisplayAppExitCodes();
        break;
    default:
        status = OptionDisabled();
        break;
    }
    FreeCommandLists();
    return status;
}

extern "C" TAVRO_API int32_t TAVRO_FC_CommandLineProcessor(int32_t argc, const char **argv)
{
    RegisterCommandLineHooks();
    FrameState &f = Frame();
    if (!f.applicationPath[0]) {
        std::string dir = oss::DirectoryOf(oss::ExecutablePath());
        CopyText(f.applicationPath, dir);
        SetVOLKPath(dir.c_str());
    }
    std::setlocale(LC_ALL, "");
    ResetCommandRecord();

    f.coreMessagesDisabled = GetKeyValue("node.app.core.messages.disable", 0) != 0;
    f.coreLogSuppressed = f.coreMessagesDisabled;
    Trace(kLevelDebug, "QuietModeDisable=%d", f.coreMessagesDisabled ? 1 : 0);
    int traceEnable = GetKeyValue("node.app.messages.trace.enable", 0);
    if (traceEnable) {
        f.debugTrace = true;
        SetupTraceFile();
    }
    Trace(kLevelDebug, "iDebugTraceEnable=%d", traceEnable);

    int parseStatus = ParseArg(argc, argv);
    const CommandRecord &c = Cmd();
    int result;
    if (Outcome().helpRequested && !Outcome().parseError) {
        if (!f.xmlMode)
            HelpPrinter(c.command);
        result = 0;
    } else if (c.command == CommandCode::Version && !Outcome().parseError) {
        if (f.xmlMode) {
            EmitXmlHeader();
            EmitVersionInfo(false);
            EmitXmlStatus(0, nullptr, 0, false, true);
        } else {
            VersionBanner();
        }
        result = 0;
    } else if (Outcome().parseError) {
        result = ProcessCommand();
    } else if (c.commandSelected) {
        f.resourcesDeallocated = false;
        CmdInit(argc, argv);
        result = ProcessCommand();
        // The run ends here: give back the devices and the SNIA registration.
        cleanup();
    } else {
        // Nothing for this back end to do (no arguments, or the menus were asked for).
        ReportFailure(kStatusDisabled, kOptionDisabled);
        result = parseStatus;
    }
    result = FinishCommandOutput(result);
    CloseOutputFile();
    return result;
}
