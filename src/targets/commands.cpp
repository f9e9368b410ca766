// Rows, operand parsers and run functions of the target and LUN listings.
#include "targets/commands.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "base/text.h"
#include "targets/linkspeed.h"
#include "targets/listing.h"
#include "tavro_api.h"

namespace {

#define HBA "<hba instance>|<hba wwpn>"
#define TGT "<target wwpn>|<target port id>"

// ---- Operands -----------------------------------------------------------------

int ParseTargetInfo(Operands &ops, AdapterSelector &adapter, TargetListRequest &request)
{
    if (int s = TakeAdapter(ops, AdapterOperand::OptionalAll, adapter))
        return s;
    if (adapter.kind != AdapterSelection::All && ops.More())
        if (int s = ParseTargetSelector(ops.Next(), request.target))
            return s;
    return NoMoreOperands(ops);
}

int ParseLunInfo(Operands &ops, AdapterSelector &adapter, TargetListRequest &request)
{
    if (int s = TakeAdapter(ops, AdapterOperand::Required, adapter))
        return s;
    // A target has the length of a WWPN or a port ID; anything else is the LUN.
    if (ops.More()) {
        size_t n = ops.Peek().size();
        if (n == 6 || n == 8 || n == 16 || n == 23)
            if (int s = ParseTargetSelector(ops.Next(), request.target))
                return s;
    }
    if (ops.More())
        if (int s = ParseLun(ops.Next(), request.lun))
            return s;
    return NoMoreOperands(ops);
}

int TakeTargetSpeed(Operands &ops, TargetListRequest &request)
{
    if (!ops.More())
        return 0;
    const std::string tok = ops.Next();
    if (SameText(tok, "auto")) {
        request.speed = 0;
        return 0;
    }
    long n = 0;
    static const long kSpeeds[] = {1, 2, 4, 8, 16, 32, 64, 128};
    if (!ReadDecimal(tok, n) ||
        std::find(std::begin(kSpeeds), std::end(kSpeeds), n) == std::end(kSpeeds))
        return Unrecognized(tok);
    request.speed = int(n);
    return 0;
}

int ParseTargetLinkSpeed(Operands &ops, AdapterSelector &adapter, TargetListRequest &request)
{
    if (int s = TakeAdapter(ops, AdapterOperand::RequiredOrAll, adapter))
        return s;
    if (ops.AcceptOption("-t") || ops.AcceptOption("-targets")) {
        request.allTargets = true;
    } else if (ops.More() && LooksLikeWwn(ops.Peek())) {
        if (int s = TakeWwn(ops, request.target.wwpn, false))
            return s;
        request.target.kind = TargetSelection::Wwpn;
    }
    if (int s = TakeTargetSpeed(ops, request))
        return s;
    return NoMoreOperands(ops);
}

int ParseTargetsWord(Operands &ops, AdapterSelector &adapter, TargetListRequest &request)
{
    if (int s = TakeAdapter(ops, AdapterOperand::RequiredOrAll, adapter))
        return s;
    request.allTargets = true;
    if (int s = TakeTargetSpeed(ops, request))
        return s;
    return NoMoreOperands(ops);
}

// ---- Runs ---------------------------------------------------------------------

int RunTargetInfo(const AdapterChoice &adapters, const TargetListRequest &request)
{
    if (adapters.all)
        return TAVRO_DisplayAllHBATargetInfo();
    const FibreAdapter *a = adapters.adapter;
    const TargetSelector &t = request.target;
    if (adapters.byWwpn) {
        switch (t.kind) {
        case TargetSelection::Wwpn:
            return TAVRO_DisplaySingleTargetInformationByDevWWPNAndTargetWWPN(a->wwpn, t.wwpn);
        case TargetSelection::PortId:
            return TAVRO_DisplaySingleTargetInformationByDevWWPNAndTargetPortID(a->wwpn, t.portId);
        default:
            return TAVRO_DisplayHBATargetInfoByDevWWPN(a->wwpn);
        }
    }
    switch (t.kind) {
    case TargetSelection::Wwpn:
        return TAVRO_DisplaySingleTargetInformationByDevNumAndTargetWWPN(a->instance, a->portNumber,
                                                                         t.wwpn);
    case TargetSelection::PortId:
        return TAVRO_DisplaySingleTargetInformationByDevNumAndTargetPortID(a->instance,
                                                                           a->portNumber, t.portId);
    default:
        return TAVRO_DisplayHBATargetInfoByDevNum(a->instance, a->portNumber);
    }
}

int RunLunInfo(const AdapterChoice &adapters, const TargetListRequest &request)
{
    const FibreAdapter *a = adapters.adapter;
    const TargetSelector &t = request.target;
    const bool oneLun = request.lun != kNoSelection;
    const int32_t lun = request.lun;
    if (adapters.byWwpn) {
        switch (t.kind) {
        case TargetSelection::Wwpn:
            return oneLun ? TAVRO_DisplaySingleLunByDevWWPNAndTargetWWPN(a->wwpn, t.wwpn, lun)
                          : TAVRO_DisplaySingleTargetAllLunsByDevWWPNAndTargetWWPN(a->wwpn, t.wwpn);
        case TargetSelection::PortId:
            return oneLun ? TAVRO_DisplaySingleLunByDevWWPNAndTargetPortID(a->wwpn, t.portId, lun)
                          : TAVRO_DisplaySingleTargetAllLunsByDevWWPNAndTargetPortID(a->wwpn,
                                                                                     t.portId);
        default:
            return oneLun ? TAVRO_DisplaySingleLunByDevWWPN(a->wwpn, lun)
                          : TAVRO_DisplaySingleHBAAllLunsByWWPN(a->wwpn);
        }
    }
    const int32_t n = a->instance, p = a->portNumber;
    switch (t.kind) {
    case TargetSelection::Wwpn:
        return oneLun ? TAVRO_DisplaySingleLunByDevNumAndTargetWWPN(n, p, t.wwpn, lun)
                      : TAVRO_DisplaySingleTargetAllLunsByDevNumAndTargetWWPN(n, p, t.wwpn);
    case TargetSelection::PortId:
        return oneLun ? TAVRO_DisplaySingleLunByDevNumAndTargetPortID(n, p, t.portId, lun)
                      : TAVRO_DisplaySingleTargetAllLunsByDevNumAndTargetPortID(n, p, t.portId);
    default:
        return oneLun ? TAVRO_DisplaySingleLunByDevNum(n, p, lun)
                      : TAVRO_DisplaySingleHBAAllLunsByDevNum(n, p);
    }
}

// Without a speed the link speeds are listed; with one it is set for the
// named target, or for every target of the port(s).
int RunTargetLinkSpeed(const AdapterChoice &adapters, const TargetListRequest &request)
{
    const uint8_t *target =
        request.target.kind == TargetSelection::Wwpn ? request.target.wwpn : nullptr;
    FibreAdapter *port = adapters.all ? nullptr : adapters.adapter;
    if (request.speed < 0)
        return TAVRO_DisplayTargetLinkSpeeds(port, target);
    if (target && port)
        return TAVRO_SetFCTargetLinkSpeedSelectedTargets(port, target, 1, request.speed);
    if (target)
        return SetTargetLinkSpeedAllPorts(request.speed, target);
    return TAVRO_SetFCTargetLinkSpeedAllTargets(port, request.speed);
}

// ---- Help ---------------------------------------------------------------------

constexpr HelpTopic kHelpTargetInfo = {
    "Target Information",
    "Displays the targets that HBA ports see.\n"
    "Without an HBA, or with all, the targets of every port are shown.",
    "-t [all]\n"
    "-t " HBA " [" TGT "]",
    "<target wwpn>\tOnly the target with this port name.\n"
    "<target port id>\tOnly the target with this port ID."};

constexpr HelpTopic kHelpLunInfo = {"LUN Information",
                                    "Displays the LUNs of the targets that an HBA port sees.\n"
                                    "A target, and a LUN, narrow the listing.",
                                    "-l " HBA " [" TGT "] [<lun id>]",
                                    "<target wwpn>\tOnly the target with this port name.\n"
                                    "<target port id>\tOnly the target with this port ID.\n"
                                    "<lun id>\tOnly this LUN, 0-65534."};

constexpr HelpTopic kHelpTargetLinkSpeed = {
    "Target Link Speed",
    "Displays or sets the link speed used with targets.\n"
    "Without a speed the current link speeds are displayed.",
    "-q " HBA "|all [-t|-targets] [<speed>]\n"
    "-q " HBA "|all <target wwpn> [<speed>]\n"
    "-targets " HBA "|all [<speed>]",
    "-t, -targets\tAll targets of the HBA.\n"
    "<target wwpn>\tOne target.\n"
    "<speed>\tauto, 1, 2, 4, 8, 16, 32, 64 or 128 (Gb/s)."};

// ---- Rows ---------------------------------------------------------------------

constexpr CommandRow kRows[] = {
    {"-t",
     {},
     CommandCode::TargetInfo,
     ParseInto<TargetListRequest, ParseTargetInfo>,
     RunWith<TargetListRequest, RunTargetInfo>,
     &kHelpTargetInfo,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
    {"-l",
     {},
     CommandCode::LunInfo,
     ParseInto<TargetListRequest, ParseLunInfo>,
     RunWith<TargetListRequest, RunLunInfo>,
     &kHelpLunInfo,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-q",
     {},
     CommandCode::TargetLinkSpeed,
     ParseInto<TargetListRequest, ParseTargetLinkSpeed>,
     RunWith<TargetListRequest, RunTargetLinkSpeed>,
     &kHelpTargetLinkSpeed,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
    {"-targets",
     {},
     CommandCode::TargetLinkSpeed,
     ParseInto<TargetListRequest, ParseTargetsWord>,
     RunWith<TargetListRequest, RunTargetLinkSpeed>,
     &kHelpTargetLinkSpeed,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
};

} // namespace

std::span<const CommandRow> TargetCommandRows() { return kRows; }
