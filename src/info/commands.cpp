// Rows, operand parsers and run functions of the information commands.
#include "info/commands.h"
#include "info/geninfo.h"
#include "info/vpd_display.h"

#include <iterator>

#include "base/status.h"
#include "render/output.h"

namespace {

#define HBA "<hba instance>|<hba wwpn>"

// ---- Operands -----------------------------------------------------------------

int ParseNothing(Operands &ops, AdapterSelector &, NoRequest &) { return NoMoreOperands(ops); }

int ParseAdapterInfo(Operands &ops, AdapterSelector &adapter, InfoRequest &request)
{
    if (!ops.More() || ops.PeekIs("vpd")) {
        adapter.kind = AdapterSelection::All;
    } else if (int s = TakeAdapter(ops, AdapterOperand::RequiredOrAll, adapter)) {
        return s;
    }
    if (ops.Accept("vpd"))
        request.vpd = true;
    else if (adapter.kind != AdapterSelection::All && ops.Accept("vfc"))
        request.vfc = true;
    return NoMoreOperands(ops);
}

int ParseAdapterOrAll(Operands &ops, AdapterSelector &adapter, NoRequest &)
{
    if (int s = TakeAdapter(ops, AdapterOperand::RequiredOrAll, adapter))
        return s;
    return NoMoreOperands(ops);
}

int ParseAlias(Operands &ops, AdapterSelector &adapter, AliasRequest &request)
{
    if (int s = TakeAdapter(ops, AdapterOperand::Required, adapter))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    if (ops.Accept("delete"))
        request.remove = true;
    else if (AcceptViewWord(ops))
        request.view = true;
    else
        request.alias = CutText(ops.Next(), kMaxFileName);
    return NoMoreOperands(ops);
}

// ---- Runs ---------------------------------------------------------------------

// Host information, then the device list, whose status is the result.
// In XML both go into one document: the host leaves it open for the device list.
int RunHostInformation(const AdapterChoice &, const NoRequest &)
{
    DisplayHostInformation(false);
    return TAVRO_DisplayVantorDevices();
}

// General information, or the vital product data; the virtual-FC report is not built yet.
int RunAdapterInformation(const AdapterChoice &adapters, const InfoRequest &request)
{
    if (request.vfc)
        return TAVRO_DisplayVFCInfo(adapters.adapter);
    if (request.vpd)
        return adapters.all ? TAVRO_GetAllHBAsVPDData() : TAVRO_GetHBAVPDData(adapters.adapter);
    if (adapters.all)
        return TAVRO_DisplayAllHBAGeneralInfo();
    const FibreAdapter *a = adapters.adapter;
    return adapters.byWwpn ? TAVRO_DisplayHBAGeneralInfoByDevWWPN(a->wwpn)
                           : TAVRO_DisplayHBAGeneralInfoByDevNum(a->instance, a->portNumber);
}

int RunSummaryReport(const AdapterChoice &adapters, const NoRequest &)
{
    if (adapters.all)
        return TAVRO_DisplayAllInformation();
    const FibreAdapter *a = adapters.adapter;
    return adapters.byWwpn ? TAVRO_DisplayAllInformationByDevWWPN(a->wwpn)
                           : TAVRO_DisplayAllInformationByDevNum(a->instance, a->portNumber);
}

int RunAlias(const FibreAdapter *a, int kind, const AliasRequest &request)
{
    if (request.view)
        return TAVRO_DisplayAdapterAlias(a, kind);
    if (request.remove)
        return TAVRO_SetAdapterAlias(a, kind, "");
    if (request.alias.empty())
        return ReportFailure(kStatusParseFailed, "Option requires additional input(s)!");
    return TAVRO_SetAdapterAlias(a, kind, request.alias.c_str());
}

int RunAdapterAlias(const AdapterChoice &adapters, const AliasRequest &request)
{
    return RunAlias(adapters.adapter, TAVRO_ALIAS_ADAPTER, request);
}

int RunPortAlias(const AdapterChoice &adapters, const AliasRequest &request)
{
    return RunAlias(adapters.adapter, TAVRO_ALIAS_PORT, request);
}

// ---- Help -----------------------------------------------------------------------

constexpr HelpTopic kHostInfoHelp = {"Host Information", "Displays host general information.", "-g",
                                     nullptr};

constexpr HelpTopic kAdapterInfoHelp = {
    "HBA Information",
    "Displays HBA general information.\n"
    "With vpd the vital product data, with vfc the virtual FC use.\n"
    "Without an HBA, or with all, every HBA port is shown.",
    "-i [all] [vpd]\n"
    "-i " HBA " [vpd|vfc]",
    "vpd\tVital product data.\n"
    "vfc\tVirtual Fibre Channel use of the port (one HBA only)."};

constexpr HelpTopic kAdapterAliasHelp = {"HBA Alias",
                                         "Displays, sets or deletes the alias of an HBA.",
                                         "-ha " HBA " view|info\n"
                                         "-ha " HBA " <alias>\n"
                                         "-ha " HBA " delete",
                                         "<alias>\tThe new alias."};

constexpr HelpTopic kPortAliasHelp = {"Port Alias",
                                      "Displays, sets or deletes the alias of an HBA port.",
                                      "-pa " HBA " view|info\n"
                                      "-pa " HBA " <alias>\n"
                                      "-pa " HBA " delete",
                                      "<alias>\tThe new alias."};

constexpr HelpTopic kSummaryReportHelp = {
    "Summary Report",
    "Displays a summary report of HBA ports.\n"
    "It holds the general information, parameters and targets.",
    "-z " HBA "|all", nullptr};

// ---- Rows -------------------------------------------------------------------------

// The summary report reads everything through the device library; it leaves
// the SNIA HBA library unloaded.
constexpr CommandRow kRows[] = {
    {"-g",
     {},
     CommandCode::HostInfo,
     ParseInto<NoRequest, ParseNothing>,
     RunWith<NoRequest, RunHostInformation>,
     &kHostInfoHelp,
     AdapterUse::None,
     kNeedsStartup,
     nullptr},
    {"-i",
     {},
     CommandCode::AdapterInfo,
     ParseInto<InfoRequest, ParseAdapterInfo>,
     RunWith<InfoRequest, RunAdapterInformation>,
     &kAdapterInfoHelp,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
    {"-ha",
     {},
     CommandCode::AdapterAlias,
     ParseInto<AliasRequest, ParseAlias>,
     RunWith<AliasRequest, RunAdapterAlias>,
     &kAdapterAliasHelp,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-pa",
     {},
     CommandCode::PortAlias,
     ParseInto<AliasRequest, ParseAlias>,
     RunWith<AliasRequest, RunPortAlias>,
     &kPortAliasHelp,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-z",
     {},
     CommandCode::SummaryReport,
     ParseInto<NoRequest, ParseAdapterOrAll>,
     RunWith<NoRequest, RunSummaryReport>,
     &kSummaryReportHelp,
     AdapterUse::OneOrAll,
     kNeedsDeviceScan,
     nullptr},
};

} // namespace

std::span<const CommandRow> InfoCommandRows() { return kRows; }
