// Rows, operand parsers and run functions of the flash commands.
#include "flash/commands.h"

#include <algorithm>
#include <iterator>

#include "base/status.h"
#include "base/text.h"
#include "flash/update.h"
#include "render/output.h"

namespace {

#define HBA "<hba instance>|<hba wwpn>"

// ---- Operands -----------------------------------------------------------------

bool IsFlashAreaWord(const std::string &w)
{
    static const char *const kWords[] = {
        "dre", "ifc", "brc",  "cfl", "cfs", "nvl", "nvs", "nvfs", "nvc",   "fnl",   "fns",
        "fnc", "fal", "fac",  "fjl", "fcl", "fcc", "fcs", "fbl",  "fbs",   "fbc",   "fll",
        "flc", "ecl", "ecc",  "ldc", "cdc", "lac", "cac", "sil",  "sic",   "rsl",   "rsc",
        "uil", "uic", "mtl",  "mtc", "idl", "ipl", "dxl", "lsa",  "fcfwl", "fefwl", "ffl",
        "efd", "srl", "pcld", "pol", "cie", "pbe", "ibe", "bse",  "rfe",   "rfd",   "rfl"};
    return std::any_of(std::begin(kWords), std::end(kWords), [&](const char *k) { return w == k; });
}

int TakeFlashMode(Operands &ops, FlashRequest &request)
{
    request.wizard = true;
    if (int s = RequireOperand(ops))
        return s;
    long mode = 0;
    const std::string tok = ops.Next();
    // 0 standard, 1 force write, 2 force rewrite, 3 force downgrade
    if (!ReadDecimal(tok, mode) || mode < 0 || mode > 3)
        return Unrecognized(tok);
    request.mode = int(mode);
    if (ops.AcceptOption("-src"))
        if (int s = TakeFileName(ops, request.templateFile))
            return s;
    return NoMoreOperands(ops);
}

// "all" or a flash region code (decimal or 0x hex).
bool TakeRegion(Operands &ops, FlashRequest &request)
{
    long region = 0;
    if (ops.Accept("all")) {
        request.allRegions = true;
        return true;
    }
    if (!ReadNumberOrHex(ops.Peek(), region) || region < 0)
        return false;
    request.region = int(region);
    ops.Next();
    return true;
}

int ParseFlashUpdate(Operands &ops, AdapterSelector &adapter, FlashRequest &request)
{
    if (int s = TakeAdapter(ops, AdapterOperand::RequiredOrAll, adapter))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    if (ops.Accept("save")) {
        request.save = true;
        if (int s = TakeFileName(ops, request.fileName))
            return s;
        return NoMoreOperands(ops);
    }
    if (ops.AcceptOption("-op"))
        return TakeFlashMode(ops, request);
    if (ops.AcceptOption("-rg")) {
        if (int s = RequireOperand(ops))
            return s;
        if (!TakeRegion(ops, request))
            return Unrecognized(ops.Peek());
    }
    if (std::string w = SubOptionWord(ops.Peek()); ops.More() && IsFlashAreaWord(w)) {
        ops.Next();
        request.areaWords.push_back(w);
        // Nothing else follows the area word: any '/'-word is the data file.
        if (ops.More() && IsFileOperand(ops.Peek(), [](const std::string &) { return false; }))
            request.fileName = CutText(ops.Next(), kMaxFileName);
        return NoMoreOperands(ops);
    }
    if (int s = TakeFileName(ops, request.fileName))
        return s;
    return NoMoreOperands(ops);
}

int ParseFlashWizard(Operands &ops, AdapterSelector &adapter, FlashRequest &request)
{
    adapter.kind = AdapterSelection::All;
    return TakeFlashMode(ops, request);
}

// ---- Runs ---------------------------------------------------------------------

int RunFlashUpdate(const AdapterChoice &adapters, const FlashRequest &request)
{
    // Manufacturing flash-area updates are not offered here.
    if (!request.areaWords.empty())
        return OptionDisabled();
    if (request.wizard)
        return flash::UpdateFlashWizard(adapters.all ? nullptr : adapters.adapter,
                                        request.templateFile, request.mode);
    if (request.save) {
        if (adapters.all)
            return ReportFailure(kStatusAdapterNotGiven,
                                 "Please specify the HBA instance or WWPN number!");
        return flash::SaveFlashToFile(adapters.adapter, request.fileName, false);
    }
    // The command line's request: the file, and the region -rg names.
    flash::freeUserOptionROMReq();
    if (request.region >= 0) {
        const std::string region = std::to_string(request.region);
        flash::addUserOptionROMRequest("region", region.c_str());
    }
    int status = adapters.all ? flash::UpdateOptionROMAllHBAs(request.fileName)
                              : flash::UpdateOptionROMSingleHBA(adapters.adapter, request.fileName);
    flash::freeUserOptionROMReq();
    return status;
}

int RunFlashWizard(const AdapterChoice &, const FlashRequest &request)
{
    return flash::UpdateFlashWizard(nullptr, request.templateFile, request.mode);
}

// ---- Help -----------------------------------------------------------------------

constexpr HelpTopic kHelpFlashUpdate = {
    "Flash Update",
    "Updates the flash of HBAs, or saves it to a file.\n"
    "The image file holds boot code, firmware or a multiboot image.",
    "-b " HBA "|all [-rg all|<region>] <image file>\n"
    "-b " HBA "|all -op <mode> [-src <template file>]\n"
    "-b " HBA " save <file>\n"
    "-b " HBA "|all --<flash area> [<file>]",
    "-rg\tWrite one region (decimal or 0x hex code), or all regions.\n"
    "-op <mode>\tWizard update: 0 standard, 1 force write, 2 force rewrite,\n"
    "\t3 force downgrade.\n"
    "-src\tTemplate file of the wizard update.\n"
    "save\tSave the flash contents to a file.\n"
    "--<flash area>\tManufacturing update of one flash area:\n"
    "\t--dre --ifc --brc --cfl --cfs --nvl --nvs --nvfs --nvc --fnl\n"
    "\t--fns --fnc --fal --fac --fjl --fcl --fcc --fcs --fbl --fbs\n"
    "\t--fbc --fll --flc --ecl --ecc --ldc --cdc --lac --cac --sil\n"
    "\t--sic --rsl --rsc --uil --uic --mtl --mtc --idl --ipl --dxl\n"
    "\t--lsa --fcfwl --fefwl --ffl --efd --srl --pcld --pol --cie\n"
    "\t--pbe --ibe --bse --rfe --rfd --rfl\n"
    "--force\tGlobal option: board-configuration updates skip their version\n"
    "\tcomparison."};

constexpr HelpTopic kHelpFlashWizard = {
    "Flash Update Wizard",
    "Updates the flash of every HBA that is out of date.\n"
    "A flash older than the update files is updated; the mode can force it.",
    "-op <mode> [-src <template file>]",
    "<mode>\t0 standard, 1 force write, 2 force rewrite, 3 force downgrade.\n"
    "-src\tTemplate file of the update."};

// ---- Rows -------------------------------------------------------------------------

constexpr CommandRow kRows[] = {
    {"-b",
     {},
     CommandCode::FlashUpdate,
     ParseInto<FlashRequest, ParseFlashUpdate>,
     RunWith<FlashRequest, RunFlashUpdate>,
     &kHelpFlashUpdate,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
    {"-op",
     {},
     CommandCode::FlashWizard,
     ParseInto<FlashRequest, ParseFlashWizard>,
     RunWith<FlashRequest, RunFlashWizard>,
     &kHelpFlashWizard,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
};

} // namespace

std::span<const CommandRow> FlashCommandRows() { return kRows; }
