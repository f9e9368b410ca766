// Rows, operand parsers and run functions of -p and -m.
#include "binding/commands.h"

#include <cstring>
#include <string>

#include "base/text.h"
#include "binding/ops.h"
#include "command/parse.h"
#include "tavro_api.h"

namespace {

#define HBA "<hba instance>|<hba wwpn>"

int ParseTargetId(const std::string &text, uint16_t &out)
{
    long n = 0;
    if (!ReadDecimal(text, n))
        return SetParseError(kParseTooMany, "Invalid number!");
    if (n < 0 || n > 255)
        return SetParseError(kParseBadTargetId, "Target ID value must be 0-255!");
    out = uint16_t(n);
    return 0;
}

int ParsePersistentBinding(Operands &ops, AdapterSelector &adapter, BindingCommand &req)
{
    if (int s = TakeAdapter(ops, AdapterOperand::RequiredOrAll, adapter))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    if (AcceptViewWord(ops)) {
        req.action = BindingAction::View;
        return NoMoreOperands(ops);
    }
    if (ops.Accept("bind")) {
        if (!ops.Accept("all"))
            return ops.More() ? Unrecognized(ops.Peek()) : MissingInput();
        req.action = BindingAction::BindAll;
        return NoMoreOperands(ops);
    }
    if (ops.Accept("remove") || ops.Accept("unbind")) {
        if (int s = RequireOperand(ops))
            return s;
        if (ops.Accept("all")) {
            req.action = BindingAction::UnbindAll;
        } else {
            if (int s = TakeWwn(ops, req.wwnn, true))
                return s;
            req.action = BindingAction::UnbindOne;
        }
        return NoMoreOperands(ops);
    }
    if (adapter.kind == AdapterSelection::All)
        return SetParseError(kParseNoAdapter, "Please specify the HBA instance or WWPN number!");
    req.action = BindingAction::Bind;
    while (ops.More()) {
        if (ops.Remaining() < 4)
            return MissingInput();
        TargetBindingItem r;
        if (int s = TakeWwn(ops, r.wwnn, true))
            return s;
        if (int s = TakeWwn(ops, r.wwpn, false))
            return s;
        if (int s = TakePortId(ops, r.portId))
            return s;
        if (int s = ParseTargetId(ops.Next(), r.targetId))
            return s;
        if (AddTargetItemToList(req.requests, r) != 0)
            return SetParseError(kParseDuplicateTargetId, "Error: Dupplicate target ID!");
    }
    return 0;
}

int RunPersistentBinding(const AdapterChoice &adapters, const BindingCommand &req)
{
    FibreAdapter *a = adapters.adapter;
    switch (req.action) {
    case BindingAction::View:
        if (adapters.all)
            return DisplayTargetPersistBindingAll();
        return TAVRO_DisplayTargetPersistBinding(a);
    case BindingAction::BindAll:
        return adapters.all ? TAVRO_AutoConfigureTargetPersistentBindingAllHBAs()
                            : TAVRO_AutoConfigureTargetPersistentBinding(a);
    case BindingAction::Bind:
        Binding().requests = req.requests;
        return TAVRO_UpdateBindingEntriesFromCmdLine(a, 0);
    case BindingAction::UnbindAll:
        return adapters.all ? TAVRO_UnbindAllTargetsAllHBAs()
                            : TAVRO_UnbindAllTargetsSpecificHBA(a);
    case BindingAction::UnbindOne:
        return TAVRO_UnbindSingleTarget(a, req.wwnn);
    }
    return OptionDisabled();
}

int ParseSelectiveLun(Operands &ops, AdapterSelector &adapter, LunCommand &req)
{
    if (int s = TakeAdapter(ops, AdapterOperand::Required, adapter))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    if (AcceptViewWord(ops)) {
        req.action = LunAction::View;
        return NoMoreOperands(ops);
    }
    const bool select = ops.Accept("select") || ops.Accept("enable");
    const bool unselect = !select && (ops.Accept("unselect") || ops.Accept("disable"));
    if (select || unselect) {
        req.enable = select;
        if (int s = RequireOperand(ops))
            return s;
        if (ops.Accept("all")) {
            req.action = LunAction::SelectAll;
            return NoMoreOperands(ops);
        }
        if (int s = TakeWwn(ops, req.wwnn, true))
            return s;
        if (int s = TakeWwn(ops, req.wwpn, false))
            return s;
        req.action = LunAction::SelectTarget;
        return NoMoreOperands(ops);
    }
    req.action = LunAction::Items;
    while (ops.More()) {
        if (ops.Remaining() < 4)
            return MissingInput();
        LunSelectionItem item;
        if (int s = TakeWwn(ops, item.wwnn, true))
            return s;
        if (int s = TakeWwn(ops, item.wwpn, false))
            return s;
        uint16_t lun = kNoSelection;
        const std::string lunText = ops.Next();
        if (lunText.empty())
            return SetParseError(kParseBadLun, "Invalid LUN ID!");
        if (int s = ParseLun(lunText, lun))
            return s;
        item.lun = lun;
        const std::string flag = ops.Next();
        if (flag != "0" && flag != "1")
            return SetParseError(kParseTooMany, "Invalid option - 0 for disable, 1 for enable!");
        item.enable = flag == "1" ? 1 : 0;
        try {
            AddLunItemToList(req.items, item);
        } catch (const std::bad_alloc &) {
            return SetParseError(kParseNoMemory, "Unable to update new configuration!");
        }
    }
    return 0;
}

int RunSelectiveLun(const AdapterChoice &adapters, const LunCommand &req)
{
    FibreAdapter *a = adapters.adapter;
    switch (req.action) {
    case LunAction::View:
        return DisplaySelectiveLuns(a);
    case LunAction::SelectAll:
        return TAVRO_SaveLunDataAll(a, req.enable ? 1 : 0);
    case LunAction::SelectTarget:
        return TAVRO_SaveLunDataSpecificTarget(a, req.wwnn, req.wwpn, req.enable ? 1 : 0);
    case LunAction::Items:
        Binding().lunItems = req.items;
        return TAVRO_SaveLunDataSpecificTargetSpecificLun(a);
    }
    return OptionDisabled();
}

constexpr HelpTopic kHelpPersistentBinding = {
    "Persistent Binding",
    "Displays or changes persistent target bindings.\n"
    "Changes are saved to persistent storage and take effect after a reboot.",
    "-p " HBA "|all view|info\n"
    "-p " HBA " <target wwnn> <target wwpn> <target port id> <target id> [...]\n"
    "-p " HBA "|all bind all\n"
    "-p " HBA "|all remove|unbind all|<target wwnn>",
    "view, info\tDisplay the bindings.\n"
    "<target id>\tSCSI target ID for the target, 0-255; one group per target.\n"
    "bind all\tBind every discovered target to the lowest free target IDs.\n"
    "remove, unbind\tRemove the binding of one target or of all targets."};

constexpr HelpTopic kHelpSelectiveLun = {
    "Selective LUNs",
    "Displays or changes the selective LUN configuration.\n"
    "It decides which LUNs of the bound targets the host sees.\n"
    "Changes take effect after a reboot.",
    "-m " HBA " view|info\n"
    "-m " HBA " <target wwnn> <target wwpn> <lun id> 0|1 [...]\n"
    "-m " HBA " select|enable all|<target wwnn> <target wwpn>\n"
    "-m " HBA " unselect|disable all|<target wwnn> <target wwpn>",
    "view, info\tDisplay the LUN selection.\n"
    "0|1\tHide (0) or present (1) the LUN; one group per LUN.\n"
    "select, enable\tPresent every LUN of one target, or of all targets.\n"
    "unselect, disable\tHide every LUN of one target, or of all targets."};

constexpr CommandRow kRows[] = {
    {"-p",
     {},
     CommandCode::PersistentBinding,
     ParseInto<BindingCommand, ParsePersistentBinding>,
     RunWith<BindingCommand, RunPersistentBinding>,
     &kHelpPersistentBinding,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
    {"-m",
     {},
     CommandCode::SelectiveLun,
     ParseInto<LunCommand, ParseSelectiveLun>,
     RunWith<LunCommand, RunSelectiveLun>,
     &kHelpSelectiveLun,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
};

} // namespace

std::span<const CommandRow> BindingCommandRows() { return kRows; }
