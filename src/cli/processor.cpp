// The command-line processor: one whole non-interactive run of volk.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "adapters/adapterlist.h"
#include "base/guard.h"
#include "base/oss.h"
#include "base/status.h"
#include "cli/cmdrecord.h"
#include "cli/cmdstate.h"
#include "cli/help.h"
#include "cli/parser.h"
#include "cli/processor.h"
#include "cli/table.h"
#include "device/classify.h"
#include "device/devicelist.h"
#include "frame/frame.h"
#include "frame/menuconfig.h"
#include "frame/messages.h"
#include "frame/props.h"
#include "frame/version.h"
#include "render/json.h"
#include "render/output.h"
#include "render/versioninfo.h"
#include "session/lifecycle.h"
#include "tavro_api.h"

namespace {

const char *const kNoAdapters = "No compatible HBA(s) found in current system !";

int RequireSelector()
{
    return ReportFailure(kStatusAdapterNotGiven, "Please specify the HBA instance or WWPN number!");
}

// Resolves the selector as the row's adapters column asks: 0 with the
// adapters filled in, or the reported failure. Runs before any device access
// of the command.
int ResolveAdapter(const CommandRow &row, const AdapterSelector &sel, AdapterChoice &out)
{
    out = AdapterChoice{};
    if (row.adapters == AdapterUse::None)
        return 0;
    if (sel.kind != AdapterSelection::Instance && sel.kind != AdapterSelection::Wwpn) {
        if (row.adapters == AdapterUse::One)
            return RequireSelector();
        out.all = true;
        return 0;
    }
    if (!Adapters().count)
        return ReportFailure(kStatusNoAdapter, kNoAdapters);
    FibreAdapter *a = sel.kind == AdapterSelection::Wwpn ? FindAdapterInAdapterListByWWN(sel.wwpn)
                                                         : FindAdapterByInstance(sel.instance, 0);
    if (!a)
        return ReportFailure(kStatusNoAdapter, "Unable to locate the specified HBA!");
    out.adapter = a;
    out.byWwpn = sel.kind == AdapterSelection::Wwpn;
    return 0;
}

int RunCommand(const CommandRow *row, const CommandInput &input)
{
    // -fc alone selects the back end without naming a command.
    if (!row)
        return OptionDisabled();
    // A command not built yet answers as it always has, whatever it names.
    if (row->run == RunNotBuilt)
        return RunNotBuilt(AdapterChoice{}, input);
    AdapterChoice adapters;
    if (int status = ResolveAdapter(*row, input.adapter, adapters))
        return status;
    return row->run(adapters, input);
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
    int status = RunCommand(c.row, c.input);
    FreeCommandLists();
    return status;
}

namespace {

int RunCommandLine(int32_t argc, const char **argv)
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
    } else if (c.row && !(c.row->needs & kNeedsDeviceScan) && !Outcome().parseError) {
        // A command that needs nothing loaded (the version) runs without a start-up.
        result = ProcessCommand();
    } else if (Outcome().parseError) {
        result = ProcessCommand();
    } else if (c.commandSelected) {
        f.resourcesDeallocated = false;
        CmdInit(!c.row || (c.row->needs & kNeedsHbaLibrary));
        result = ProcessCommand();
        // Before the clean-up, which closes the output file.
        EmitJsonDocument(result);
        // The run ends here: give back the devices and the SNIA registration.
        cleanup();
    } else {
        // Nothing for this back end to do (no arguments, or the menus were asked for).
        OptionDisabled();
        result = parseStatus;
    }
    // The whole status, also above 255, which the shell sees cut to 8 bits
    // (a run that needed no start-up writes it here).
    EmitJsonDocument(result);
    result = FinishCommandOutput(result);
    CloseOutputFile();
    return result;
}

} // namespace

int RunInteractiveCommand(const std::vector<std::string> &args)
{
    RegisterCommandLineHooks();
    FrameState &f = Frame();
    const bool interactive = f.interactiveMode;
    // Each command starts from the console settings: an earlier -x or output
    // file must not carry over into the next one.
    ResetCommandRecord();
    f.interactiveMode = interactive;
    std::vector<const char *> argv;
    argv.push_back("volk");
    for (const std::string &a : args)
        argv.push_back(a.c_str());
    ParseArg(static_cast<int>(argv.size()), argv.data());
    const CommandRecord &c = Cmd();
    const CommandCode code = c.command;
    int result;
    if (Outcome().helpRequested && !Outcome().parseError) {
        if (!f.xmlMode)
            HelpPrinter(code);
        result = 0;
    } else {
        result = ProcessCommand();
    }
    EmitJsonDocument(result);
    result = FinishCommandOutput(result);
    CloseOutputFile();
    ResetOutputSettings();
    f.interactiveMode = interactive;
    // The session lives on after this command: nothing may block its clean-up.
    SetCleanupBlocked(false, false);
    // Virtual port changes rebuild the list themselves; what is left is a
    // change the event poll saw while the command ran.
    if (f.refreshRequired || AdapterModel().rebuildRequired) {
        RefreshAdapterList();
        f.refreshRequired = false;
    }
    return result;
}

extern "C" TAVRO_API int32_t TAVRO_FC_CommandLineProcessor(int32_t argc, const char **argv)
{
    return GuardExport<int32_t>(kStatusGeneralFailure, [&] { return RunCommandLine(argc, argv); });
}
