// Rows, operand parsers and run functions of -a and -tb.
#include "beacon/commands.h"

#include <cstring>

#include "base/text.h"
#include "beacon/beacon.h"
#include "command/parse.h"
#include "tavro_api.h"

namespace {

#define HBA "<hba instance>|<hba wwpn>"

constexpr const char *kOptionInvalid = "Invalid/unsupported option!";
constexpr const char *kValueInvalid = "Invalid/unsupported value!";

int BeaconCode(std::string_view v)
{
    return SameText(v, "0") || SameText(v, "off")      ? 0
           : SameText(v, "1") || SameText(v, "on")     ? 1
           : SameText(v, "2") || SameText(v, "preset") ? 2
                                                       : -1;
}

int ParsePortBeacon(Operands &ops, AdapterSelector &adapter, PortBeaconCommand &req)
{
    if (int s = TakeAdapter(ops, AdapterOperand::Required, adapter))
        return s;
    while (ops.More()) {
        if (AcceptViewWord(ops))
            continue;
        const bool option = ops.AcceptOption("--BeaconCmd");
        if (!option && BeaconCode(ops.Peek()) < 0)
            return SetParseError(kParseTooMany, "%s", kOptionInvalid);
        if (!ops.More())
            return MissingInput();
        req.code = BeaconCode(ops.Next());
        if (req.code < 0)
            return SetParseError(kParseTooMany, "%s", kValueInvalid);
    }
    return 0;
}

int RunPortBeacon(const AdapterChoice &adapters, const PortBeaconCommand &req)
{
    if (req.code < 0)
        return TAVRO_DisplayAdapterBeacon(adapters.adapter);
    return TAVRO_UpdateAdapterBeacon(adapters.adapter, TAVRO_GetOSBeaconDefine(req.code));
}

int ParseTargetBeacon(Operands &ops, AdapterSelector &adapter, TargetBeaconCommand &req)
{
    if (int s = TakeAdapter(ops, AdapterOperand::Required, adapter))
        return s;
    while (ops.More()) {
        if (ops.AcceptOption("--BeaconCmd")) {
            if (!ops.More())
                return MissingInput();
            req.request = ops.Next();
            if (req.request.empty() || req.request.size() > kBeaconRequestMax)
                return SetParseError(kParseTooMany, "%s", kValueInvalid);
            continue;
        }
        const std::string tok = ops.Next();
        if (LooksLikeWwn(tok)) {
            std::array<uint8_t, 8> w{};
            if (WWNatoi(tok, w.data()) != 0)
                return SetParseError(kParseBadWwn, "Invalid World Wide Port Name!");
            req.targets.push_back(w);
        } else if (int p = FindTargetBeaconParam(tok); p >= 0) {
            if (!ops.More())
                return MissingInput();
            req.params[p] = ops.Next();
        } else if (req.request.empty() && !tok.empty() && tok.size() <= kBeaconRequestMax &&
                   tok[0] != '-' && tok[0] != '/') {
            req.request = tok; // the beacon mode: "on", "off", "preset", a count ...
        } else {
            return SetParseError(kParseTooMany, "%s", kOptionInvalid);
        }
    }
    if (req.targets.empty() || req.request.empty())
        return MissingInput();
    return 0;
}

int RunTargetBeacon(const AdapterChoice &adapters, const TargetBeaconCommand &req)
{
    ResetTargetBeacon();
    for (int i = 0; i < 3; ++i)
        if (!req.params[i].empty())
            SetTargetBeaconParam(i, req.params[i]);
    for (const auto &w : req.targets)
        AddBeaconTarget(w.data(), req.request);
    const std::string logFile = TargetBeacon().logFile;
    if (int s = TAVRO_UpdateTargetBeaconControlFlag(adapters.adapter)) {
        TAVRO_FreeBeaconTargetList();
        return s;
    }
    // The log file is the user's choice, not part of the request.
    SetTargetBeaconParam(2, logFile);
    return TAVRO_CreateThreadForTargetBeacon(adapters.adapter);
}

constexpr HelpTopic kHelpPortBeacon = {"Port Beacon",
                                       "Displays or changes the beacon of an HBA port.\n"
                                       "The beacon makes the LEDs of the port blink.",
                                       "-a " HBA " [view|info]\n"
                                       "-a " HBA " on|off\n"
                                       "-a " HBA " --BeaconCmd on|off|preset",
                                       "view, info\tDisplay the beacon state.\n"
                                       "on, off\tTurn the beacon on (or 1) or off (or 0).\n"
                                       "--BeaconCmd\ton (or 1), off (or 0), preset (or 2)."};

constexpr HelpTopic kHelpTargetBeacon = {
    "Target Beacon",
    "Makes the port lights of targets blink.\n"
    "The targets receive commands in passes, which light their LEDs.",
    "-tb " HBA " <target wwpn> [<target wwpn> ...] <mode> [LogFile <file>]",
    "<mode>\ton or 0: until Enter is pressed; preset or 1: 12 passes;\n"
    "\tany other word (up to 7 characters): 6 passes.\n"
    "--BeaconCmd <mode>\tThe mode given as an option.\n"
    "LogFile (LF)\tLog file; N/A for none."};

constexpr CommandRow kRows[] = {
    {"-a",
     {},
     CommandCode::PortBeacon,
     ParseInto<PortBeaconCommand, ParsePortBeacon>,
     RunWith<PortBeaconCommand, RunPortBeacon>,
     &kHelpPortBeacon,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-tb",
     {},
     CommandCode::TargetBeacon,
     ParseInto<TargetBeaconCommand, ParseTargetBeacon>,
     RunWith<TargetBeaconCommand, RunTargetBeacon>,
     &kHelpTargetBeacon,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
};

} // namespace

std::span<const CommandRow> BeaconCommandRows() { return kRows; }
