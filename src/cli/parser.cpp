// The two passes of the command-line parser and the option file.
#include "cli/parser.h"
#include "base/guard.h"
#include "base/status.h"

#include <cstdio>
#include <memory>
#include <new>

#include "adapters/adapterlist.h"
#include "cli/table.h"
#include "frame/frame.h"
#include "frame/props.h"
#include "render/json.h"
#include "render/output.h"
#include "session/lifecycle.h"
#include "tavro_api.h"

namespace {

// Families by the maker's code names; the selectors also mark the families
// the adapter list would otherwise leave unsupported.
const FamilyOption kFamilySelectors[kFamilySelectorCount] = {
    {"-cvquill", 0}, // Quill
    {"-cvc10g", 1},  // Cna10G
    {"-cvcnaa", 2},  // CnaGroupA: family 17 supported
    {"-cvcnab", 3},  // CnaGroupB: families 21 and 24 supported
    {"-cvfenn", 4},  // Fenn
    {"-cvcnac", 5},  // CnaGroupC
};
constexpr int kSelectorFamily17 = 2;
constexpr int kSelectorFamilies21And24 = 3;

const FamilyOption kFamilyFilters[kFamilyFilterCount] = {
    {"--fcer", 1}, {"--fc2g", 2}, {"--fclx", 3}, {"--fcle", 4}, {"--fc4g", 5},
    {"--fc8g", 6}, {"--fc16", 7}, {"--fenn", 8}, {"--fc64", 9},
};

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};

bool IsHelp(std::string_view arg)
{
    return OptionIs(arg, "-h") || OptionIs(arg, "-?") || OptionIs(arg, "--help");
}

// "--fc" is the FCoE commands' sub-option: the option has no two-dash spelling.
bool IsFcOption(std::string_view arg) { return OptionIs(arg, "-fc") && arg.substr(0, 2) != "--"; }

int AddToOptionList(const std::string &arg)
{
    std::vector<std::string> &options = Cmd().options;
    if (options.size() >= kMaxOptions)
        return SetParseError(kParseTooMany, "Maximum number of command line options exceeded!");
    options.push_back(arg);
    return 0;
}

bool TakeFamilyOption(std::string_view arg)
{
    CommandRecord &c = Cmd();
    for (const FamilyOption &o : kFamilySelectors)
        if (OptionIs(arg, o.word)) {
            c.familyFlags[size_t(o.value)] = true;
            if (o.value == kSelectorFamily17)
                AdapterModel().enableFamily17 = true;
            if (o.value == kSelectorFamilies21And24)
                AdapterModel().enableFamilies21And24 = true;
            return true;
        }
    for (const FamilyOption &o : kFamilyFilters)
        if (OptionIs(arg, o.word)) {
            c.familyFilter = o.value;
            return true;
        }
    return false;
}

// A refused help request is no help request: the run fails instead of
// printing the usage.
void RefuseHelp()
{
    Outcome().helpRequested = false;
    SetCleanupBlocked(false, true);
}

constexpr int kJsonForm = 0;

// -x / -x2 / --json: XML or JSON output, unless help or the system log already
// rule it out.
void TakeXmlOption(int form)
{
    FrameState &f = Frame();
    if (Outcome().helpRequested) {
        // The refusal must reach a person, so it goes out as text.
        RefuseHelp();
        f.xmlMode = false;
        ResetJsonOutput();
        SetParseError(kParseNotCombinable, "Online help is not available with XML output!");
        return;
    }
    if (f.sysLogMode) {
        SetParseError(kParseNotCombinable,
                      "Error: Cannot generate xml output format to the system log file");
        return;
    }
    // JSON is the first form's facts; a later -x or -x2 does not undo it.
    if (form == kJsonForm || Frame().jsonMode) {
        SetJsonOutput();
        Trace(kLevelDebug, "FirstPassParseArg: Output in JSON format");
        return;
    }
    SetXmlOutput(form);
    Trace(kLevelDebug, "FirstPassParseArg: Output in XML format");
}

void TakeOutputOption(const std::string &operand)
{
    if (SameText(operand, "system")) {
        if (Frame().xmlMode)
            SetParseError(kParseNotCombinable,
                          "Error: Cannot generate xml output format to the system log file");
        else if (!OpenSystemLog())
            SetParseError(kParseFileError, "Unable to open file '%s' for writing!",
                          SystemLogFileName().c_str());
    } else if (IsHelp(operand)) {
        SetParseError(kParseNotCombinable,
                      "Error: This option must be combined with other command!");
    } else if (!OpenOutputFile(operand)) {
        SetParseError(kParseFileError, "Unable to open file '%s' for writing!",
                      OutputFileName().c_str());
    }
}

} // namespace

const FamilyOption *FamilySelectorOptions() { return kFamilySelectors; }
const FamilyOption *FamilyFilterOptions() { return kFamilyFilters; }

void ReportParseError()
{
    if (Outcome().parseError && Outcome().errorMessage[0])
        ReportFailure(Outcome().parseStatus, Outcome().errorMessage);
}

int FirstPassParseArg(std::vector<std::string> &args, int mode)
{
    CommandRecord &c = Cmd();
    FrameState &f = Frame();
    for (size_t i = 1; i < args.size() && !Outcome().parseError; ++i) {
        std::string arg = args[i];
        bool hasOperand = i + 1 < args.size();
        args[i].clear();
        if (IsHelp(arg)) {
            SetHelpRequested();
            if (f.xmlMode) {
                RefuseHelp();
                f.xmlMode = false;
                ResetJsonOutput();
                SetParseError(kParseNotCombinable, "Online help is not available with XML output!");
            } else if (f.sysLogMode) {
                // Help is for a person at the console, not for the system log.
                RefuseHelp();
                SetParseError(kParseNotCombinable,
                              "Error: This option must be combined with other command!");
            }
        } else if (OptionIs(arg, "-s")) {
            f.quietMode = true;
            if (hasOperand && IsHelp(args[i + 1]))
                SetHelpRequested();
        } else if (OptionIs(arg, "-f")) {
            if (mode == kOptionFileArguments) {
                SetParseError(kParseMissingInput, "Unrecognized command line option!");
            } else if (!hasOperand) {
                SetParseError(kParseMissingInput, "Option requires additional input(s)!");
            } else {
                const std::string operand = args[++i];
                args[i].clear();
                if (IsHelp(operand)) {
                    // The help topic is the answer; there is no message of our own.
                    SetHelpRequested();
                    SetParseErrorStatus(kParseMissingInput);
                } else {
                    c.optionFileName = CutText(operand, kMaxFileName);
                    c.optionFileGiven = true;
                }
            }
        } else if (OptionIs(arg, "-o")) {
            if (!hasOperand) {
                SetParseError(kParseMissingInput, "Option requires additional input(s)!");
            } else {
                const std::string operand = args[++i];
                args[i].clear();
                TakeOutputOption(operand);
            }
        } else if (OptionIs(arg, "-x")) {
            TakeXmlOption(1);
        } else if (OptionIs(arg, "-x2")) {
            TakeXmlOption(2);
        } else if (OptionIs(arg, "-json")) {
            TakeXmlOption(kJsonForm);
        } else if (IsFcOption(arg)) {
            c.commandSelected = true;
        } else if (OptionIs(arg, "-pr")) {
            if (hasOperand && SameText(args[i + 1], "fc"))
                args[++i].clear();
        } else if (TakeFamilyOption(arg)) {
        } else if (OptionIs(arg, "-ibm")) {
            c.oemType = 3;
        } else if (OptionIs(arg, "--ports")) {
            c.allPorts = true;
        } else if (OptionIs(arg, "--force")) {
            c.force = true;
        } else if (OptionIs(arg, "--fast")) {
            c.readTargetExtraData = false;
        } else {
            args[i] = arg; // not consumed: the second pass sees it
            AddToOptionList(arg);
        }
    }
    int status = Outcome().parseError ? Outcome().parseStatus : 0;
    if (Outcome().parseError)
        ReportParseError();
    Trace(kLevelDebug, "FirstPassParseArg: Exit %d", status);
    return status;
}

int ReadOptionFile()
{
    CommandRecord &c = Cmd();
    std::unique_ptr<std::FILE, FileCloser> fp(std::fopen(c.optionFileName.c_str(), "r"));
    if (!fp) {
        SetParseError(kParseFileError, "Unable to open file '%s' for reading!",
                      c.optionFileName.c_str());
        ReportParseError();
        return Outcome().parseStatus;
    }
    std::vector<std::string> tokens{std::string()};
    std::string token;
    size_t read = 0;
    for (;;) {
        int ch = std::fgetc(fp.get());
        bool end = ch == EOF;
        if (!end && ++read >= kOptionFileMaxChars) {
            SetParseError(kParseTooLarge, "Maximum file size exceeded!");
            break;
        }
        if (end || ch == ' ' || ch == '\r' || ch == '\n') {
            if (!token.empty()) {
                if (tokens.size() >= kOptionFileMaxTokens) {
                    SetParseError(kParseTooMany,
                                  "Maximum number of command line options exceeded!");
                    break;
                }
                tokens.push_back(std::move(token));
                token.clear();
            }
            if (end)
                break;
            continue;
        }
        token += char(ch);
        if (token.size() >= kOptionTokenMaxChars) {
            SetParseError(kParseTooLarge, "Command line options exceeded maximum length limit!");
            break;
        }
    }
    // A directory opens but cannot be read; an empty file holds no option either.
    if (!Outcome().parseError && (std::ferror(fp.get()) || read == 0))
        SetParseError(kParseFileError, "Unable to open file '%s' for reading!",
                      c.optionFileName.c_str());
    fp.reset();
    if (Outcome().parseError) {
        ReportParseError();
        return Outcome().parseStatus;
    }
    return FirstPassParseArg(tokens, kOptionFileArguments);
}

int SecondPassParseArg()
{
    CommandRecord &c = Cmd();
    Trace(kLevelDebug, "SecondPassParseArg: Enter...");
    if (c.options.empty())
        return 0;
    const std::string &word = c.options[0];
    const CommandRow *row = FindCommandRow(word);
    if (!row) {
        // With help asked for, an unknown word just means the whole usage.
        if (Outcome().helpRequested)
            return 0;
        Unrecognized(word);
        ReportParseError();
        return Outcome().parseStatus;
    }
    c.row = row;
    c.command = row->code;
    c.commandWord = word;
    c.commandSelected = true;
    if (Outcome().helpRequested)
        return 0;
    if (row->enableKey) {
        // Not enabled: 136 without a message of its own; the processor answers.
        int enabled = GetKeyValue(row->enableKey, 0);
        c.commandSelected = enabled != 0;
        if (!enabled)
            return kParseNotCombinable;
    }
    Operands ops(c.options);
    int status = row->parse(ops, c.input);
    if (Outcome().parseError) {
        status = Outcome().parseStatus;
        ReportParseError();
    }
    Trace(kLevelDebug, "SecondPassParseArg: Exit %d", status);
    return status;
}

int ParseArg(int argc, const char *const *argv)
{
    Trace(kLevelDebug, "ParseArg: enter...");
    if (argc <= 1 || !argv || (argv[1] && SameText(argv[1], "int"))) {
        Frame().interactiveMode = true;
        return 0;
    }
    CommandRecord &c = Cmd();
    int status = 0;
    try {
        std::vector<std::string> args;
        args.reserve(size_t(argc));
        for (int i = 0; i < argc; ++i)
            args.emplace_back(argv[i] ? argv[i] : "");
        status = FirstPassParseArg(args, kHostArguments);
        if (status == 0 && c.optionFileGiven) {
            c.options.clear();
            status = ReadOptionFile();
        }
        if (status == 0 && !Outcome().parseError && !c.options.empty())
            status = SecondPassParseArg();
    } catch (const std::bad_alloc &) {
        SetParseError(kParseNoMemory, "Unable to allocate memory!");
        ReportParseError();
        status = kParseNoMemory;
    }
    std::vector<std::string>().swap(c.options);
    Trace(kLevelDebug, "ParseArg: exit %d", status);
    return status;
}

extern "C" TAVRO_API int32_t TAVRO_FC_CommandLineParser(int32_t argc, const char *const *argv)
{
    return GuardExport<int32_t>(kStatusGeneralFailure, [&] { return ParseArg(argc, argv); });
}
