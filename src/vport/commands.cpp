// Rows, operand parsers and run functions of the virtual-port commands.
#include "vport/commands.h"

#include <cstdlib>
#include <string>

#include "base/text.h"
#include "command/parse.h"
#include "vport/qosops.h"
#include "vport/vport.h"

namespace {

#define HBA "<hba instance>|<hba wwpn>"

int TakeVportTarget(Operands &ops, TavroVportOptions &o, bool defaultAll)
{
    if (!ops.More()) {
        if (!defaultAll)
            return MissingInput();
        o.select = TAVRO_VPORT_SELECT_ALL;
        return 0;
    }
    if (ops.Accept("all")) {
        o.select = TAVRO_VPORT_SELECT_ALL;
        return 0;
    }
    if (int s = TakeWwn(ops, o.wwpn, false))
        return s;
    o.select = TAVRO_VPORT_SELECT_WWPN;
    return 0;
}

int ParseVirtualFabric(const std::string &text, int32_t &out)
{
    long n = 0;
    // VF IDs 1 to 4094: 0 and 4095 are reserved.
    if (!ReadDecimal(text, n) || n < 1 || n > 4094)
        return SetParseError(kParseTooMany, "Invalid Virtual Fabric number!");
    out = int32_t(n);
    return 0;
}

int ParseVirtualPorts(Operands &ops, AdapterSelector &adapter, VportCommand &req)
{
    if (int s = TakeAdapter(ops, AdapterOperand::Required, adapter))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    TavroVportOptions &o = req.options;
    if (ops.Accept("list")) {
        req.action = VportAction::List;
        if (int s = TakeVportTarget(ops, o, true))
            return s;
    } else if (ops.Accept("create")) {
        req.action = VportAction::Create;
        if (int s = RequireOperand(ops))
            return s;
        const std::string text = ops.Next();
        long byte = 0;
        if (SameText(text, "auto") || SameText(text, "max")) {
            o.select = TAVRO_VPORT_SELECT_AUTO;
        } else if (LooksLikeWwn(text)) {
            if (WWNatoi(text, o.wwpn) != 0)
                return SetParseError(kParseBadWwn, "Invalid World Wide Port Name!");
            o.select = TAVRO_VPORT_SELECT_WWPN;
        } else if (text.size() <= 2 && ReadNumberOrHex("0x" + text, byte)) {
            // The reserved bytes 0 to 3 are the operation's to refuse.
            o.select = TAVRO_VPORT_SELECT_BYTE;
            o.secondByte = int32_t(byte);
        } else {
            return SetParseError(kParseBadVportValue, "Unrecognized command line option '%s'!",
                                 text.c_str());
        }
    } else if (ops.Accept("delete")) {
        req.action = VportAction::Delete;
        if (int s = TakeVportTarget(ops, o, false))
            return s;
    } else if (ops.Accept("vfc")) {
        req.action = VportAction::Vfc;
        if (int s = TakeWwn(ops, o.wwpn, false))
            return s;
        o.select = TAVRO_VPORT_SELECT_WWPN;
    } else if (ops.PeekIs("bind") || ops.PeekIs("unbind")) {
        req.action = SameText(ops.Next(), "bind") ? VportAction::Bind : VportAction::Unbind;
        if (int s = RequireOperand(ops))
            return s;
        if (int s = TakeVportTarget(ops, o, false))
            return s;
        if (int s = RequireOperand(ops))
            return s;
        if (int s = ParseVirtualFabric(ops.Next(), o.vfId))
            return s;
    } else {
        return Unrecognized(ops.Peek());
    }
    return NoMoreOperands(ops);
}

int RunVirtualPorts(const AdapterChoice &adapters, const VportCommand &req)
{
    FibreAdapter *a = adapters.adapter;
    switch (req.action) {
    case VportAction::List:
        return TAVRO_CmdLineListVirtualPortsHBA(a, &req.options);
    case VportAction::Create:
        return TAVRO_CreateVirtualPortHBA(a, &req.options);
    case VportAction::Delete:
        return TAVRO_CmdLineDeleteVirtualPortHBA(a, &req.options);
    case VportAction::Vfc:
        return TAVRO_DisplayVFCInfo(a);
    case VportAction::Bind:
        return TAVRO_BindVportToVSAN(a, &req.options);
    case VportAction::Unbind:
        return TAVRO_UnbindVportFromVSAN(a, &req.options);
    }
    return OptionDisabled();
}

// "<number>Gbps" or "<number>Mbps" in either case, as Gb/s.
bool ParseBandwidthSpeed(const std::string &text, double &gbps)
{
    if (text.size() < 5)
        return false;
    std::string unit = text.substr(text.size() - 4);
    std::string number = text.substr(0, text.size() - 4);
    bool mega = SameText(unit, "Mbps");
    if (!mega && !SameText(unit, "Gbps"))
        return false;
    char *end = nullptr;
    double v = std::strtod(number.c_str(), &end);
    if (number.empty() || !end || *end || !(v > 0))
        return false;
    // The display shows Mb/s as Gb/s x 1024 / 1000; take them back the same way.
    gbps = mega ? v * 1000.0 / 1024.0 / 1000.0 : v;
    return true;
}

int SetQosType(int &valueOptions)
{
    if (++valueOptions > 1)
        return SetParseError(kParseTooMany, "Detected more than one QoS type in the command line!");
    return 0;
}

int ParseQos(Operands &ops, AdapterSelector &adapter, QosCommand &q)
{
    if (int s = TakeAdapter(ops, AdapterOperand::Required, adapter))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    int valueOptions = 0; // --pri, --bwspd, --bwper: one per command line
    while (ops.More()) {
        const std::string tok = ops.Next();
        std::string w = SubOptionWord(tok);
        if (SameText(tok, "info")) {
            q.info = true;
        } else if (w == "vp") {
            if (int s = RequireOperand(ops))
                return s;
            const std::string text = ops.Next();
            TavroVportOptions o{};
            if (SameText(text, "all")) {
                o.select = TAVRO_VPORT_SELECT_ALL;
            } else {
                if (WWNatoi(text, o.wwpn) != 0)
                    return SetParseError(kParseBadWwn, "Invalid virtual port WWPN!");
                o.select = TAVRO_VPORT_SELECT_WWPN;
            }
            q.vports.push_back(o);
        } else if (w == "per") {
            q.showPercent = true;
        } else if (w == "spd") {
            q.showSpeed = true;
        } else if (w == "pri") {
            if (int s = RequireOperand(ops))
                return s;
            const std::string v = ops.Next();
            int pri = SameText(v, "low")      ? 1
                      : SameText(v, "medium") ? 2
                      : SameText(v, "high")   ? 3
                                              : -1;
            if (pri < 0)
                return SetParseError(kParseTooMany, "Invalid QoS priority value!");
            if (int s = SetQosType(valueOptions))
                return s;
            q.type = 0;
            q.priority = pri;
        } else if (w == "bwspd") {
            if (int s = RequireOperand(ops))
                return s;
            const std::string v = ops.Next();
            double gbps = 0;
            if (!ParseBandwidthSpeed(v, gbps))
                return SetParseError(kParseTooMany, "Invalid bandwidth speed value '%s'!",
                                     v.c_str());
            if (int s = SetQosType(valueOptions))
                return s;
            q.type = 1;
            q.speedGbps = gbps;
        } else if (w == "bwper") {
            if (int s = RequireOperand(ops))
                return s;
            const std::string v = ops.Next();
            long pct = 0;
            if (!ReadDecimal(v, pct) || pct < 0 || pct > 100)
                return SetParseError(kParseTooMany, "Invalid bandwidth percentage value '%s'!",
                                     v.c_str());
            if (int s = SetQosType(valueOptions))
                return s;
            q.type = 1;
            q.percent = int(pct);
        } else if (w == "lock") {
            q.lock = 1;
            if (ops.Accept("0"))
                q.lock = 0;
            else
                ops.Accept("1");
        } else if (w == "enable") {
            q.enable = 1;
        } else if (w == "disable") {
            q.enable = 0;
        } else if (w == "vf") {
            if (int s = RequireOperand(ops))
                return s;
            int32_t vf = 0;
            if (int s = ParseVirtualFabric(ops.Next(), vf))
                return s;
            q.vfabrics.push_back(vf);
        } else {
            return Unrecognized(tok);
        }
    }
    return 0;
}

int RunQos(const AdapterChoice &adapters, const QosCommand &q)
{
    if (q.info || (q.type < 0 && q.lock < 0 && q.enable < 0))
        return DisplayVportQos(adapters.adapter, q);
    if (!q.vfabrics.empty())
        return UpdateVirtualFabrics(adapters.adapter, q);
    return UpdateVirtualPorts(adapters.adapter, q);
}

constexpr HelpTopic kHelpQos = {
    "Virtual Port QoS",
    "Displays or sets the QoS of virtual ports.\n"
    "A virtual port has a bandwidth share or a priority.",
    "-qos " HBA " info [--vp all|<vport wwpn>] [--per|--spd]\n"
    "-qos " HBA " --vp all|<vport wwpn> --pri low|medium|high\n"
    "-qos " HBA " --vp all|<vport wwpn> --bwper <percent>|--bwspd <speed>\n"
    "-qos " HBA " --vp all|<vport wwpn> [--lock [0|1]] [--enable|--disable]\n"
    "-qos " HBA " info --vf <vf id>",
    "info\tDisplay the QoS settings.\n"
    "--vp\tThe virtual port, or all of them.\n"
    "--per, --spd\tShow the bandwidth as a percentage, or as a speed.\n"
    "--pri\tPriority: low, medium or high.\n"
    "--bwper\tBandwidth share, 0-100 percent.\n"
    "--bwspd\tBandwidth as a speed: <number>Gbps or <number>Mbps.\n"
    "\tOnly one of --pri, --bwper and --bwspd per command.\n"
    "--lock\tLock (1, the default) or unlock (0) the setting.\n"
    "--enable, --disable\tEnable or disable the QoS of the virtual port.\n"
    "--vf\tVirtual fabric number, 1-4094."};

constexpr HelpTopic kHelpVirtualPorts = {
    "Virtual Ports", "Lists, creates or deletes virtual ports (NPIV).",
    "-vp " HBA " list [all|<vport wwpn>]\n"
    "-vp " HBA " create auto|<vport wwpn>|<byte>\n"
    "-vp " HBA " delete all|<vport wwpn>\n"
    "-vp " HBA " vfc <vport wwpn>\n"
    "-vp " HBA " bind|unbind all|<vport wwpn> <vf id>",
    "list\tList all virtual ports, or one.\n"
    "create auto\tCreate a virtual port with a generated port name.\n"
    "create <vport wwpn>\tCreate a virtual port with this port name.\n"
    "create <byte>\tCreate a virtual port whose name is the physical port's\n"
    "\twith its second byte replaced by this hex byte (04-FF).\n"
    "delete\tDelete one virtual port, or all of them.\n"
    "vfc\tDisplay the virtual Fibre Channel use of a virtual port.\n"
    "bind, unbind\tBind a virtual port to a virtual fabric (1-4094),\n"
    "\tor unbind it."};

constexpr CommandRow kRows[] = {
    {"-vp",
     {},
     CommandCode::VirtualPorts,
     ParseInto<VportCommand, ParseVirtualPorts>,
     RunWith<VportCommand, RunVirtualPorts>,
     &kHelpVirtualPorts,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-qos",
     {},
     CommandCode::Qos,
     ParseInto<QosCommand, ParseQos>,
     RunWith<QosCommand, RunQos>,
     &kHelpQos,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
};

} // namespace

std::span<const CommandRow> VportCommandRows() { return kRows; }
