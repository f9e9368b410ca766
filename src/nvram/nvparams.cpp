#include "nvram/nvparams.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "command/parse.h"
#include "frame/frame.h"
#include "frame/messages.h"

namespace {

enum class Check {
    Range,
    List,
    AtLeast,
    Refused
};

struct ParamRule {
    NvramParamInfo info;
    Check check;
    long min;
    long max;
    std::array<long, 7> list; // Check::List: the accepted values, -1 ends them
    bool takesWords;          // "Enable" / "Disable" stand for 1 / 0
    const char *message;
};

// DataRate takes 6 and ExecutionThrottle 0 although their messages say
// otherwise: adapters accept both, and the messages are the ones users know.
// clang-format off
const ParamRule kRules[kNvramParamCount] = {
    {{"DataRate", "DR"}, Check::Range, 0, 6, {}, false, "Data Rate value must be from 0-5!"},
    {{"ConnectionOption", "CO"}, Check::Range, 0, 3, {}, false,
     "Connection option value must be 0-3 for 1Gb HBA or 0-2 for other HBAs!"},
    {{"EnableFCTape", "EF"}, Check::Range, 0, 1, {}, true,
     "Enable FC Tape Support value must be 0 or 1!"},
    {{"MaximumLunsPerTarget", "ML"}, Check::List, 0, 0, {0, 8, 16, 32, 64, 128, 256}, false,
     "Maximum LUNs Per Target value must be 0,8,16,32,64,128 or 256!"},
    {{"EnableHardLoopID", "HL"}, Check::Range, 0, 1, {}, true,
     "Enable HardLoop ID value must be 0 or 1!"},
    {{"HardLoopID", "HD"}, Check::Range, 0, 125, {}, false, "HardLoop ID value must be 0-125!"},
    {{"FrameSize", "FR"}, Check::List, 0, 0, {512, 1024, 2048, -1, -1, -1, -1}, false,
     "Frame Size value must be 512, 1024 or 2048!"},
    {{"EnableLIPFullLogin", "FL"}, Check::Range, 0, 1, {}, true,
     "Enable Lip Full Login value must be 0 or 1!"},
    {{"EnableLIPReset", "LP"}, Check::Range, 0, 1, {}, true,
     "Enable Lip Reset value must be 0 or 1!"},
    {{"EnableTargetReset", "TR"}, Check::Range, 0, 1, {}, true,
     "Enable Target Reset value must be 0 or 1!"},
    {{"EnableExtendedLogging", "EL"}, Check::Range, 0, 1, {}, true,
     "Enable Extended Error Logging value must be 0 or 1!"},
    {{"ResetDelay", "RD"}, Check::Range, 0, 255, {}, false, "Loop Reset Delay value must be 0-255!"},
    {{"LoginRetryCount", "LR"}, Check::Range, 0, 255, {}, false,
     "Login Retry Count value must be 0-255!"},
    {{"LinkDownTimeout", "LT"}, Check::Range, 0, 240, {}, false,
     "Link Down Time Out value must be 0-240!"},
    {{"LinkDownError", "LD"}, Check::Refused, 0, 0, {}, true, nullptr},
    {{"PortDownRetryCount", "PD"}, Check::Range, 0, 255, {}, false,
     "Port Down Retry value must be 0-255!"},
    {{"ExecutionThrottle", "ET"}, Check::Range, 0, 65535, {}, false,
     "Execution Throttle value must be 1-65535!"},
    {{"FastErrorReporting", "FE"}, Check::Refused, 0, 0, {}, true, nullptr},
    {{"OperationMode", "OM"}, Check::List, 0, 0, {0, 5, 6, -1, -1, -1, -1}, false,
     "Operation Mode value must be 0,5 or 6!"},
    {{"InterruptDelayTimer", "ID"}, Check::Range, 0, 255, {}, false,
     "Interrupt Delay Timer value must be 0-255!"},
    {{"EnableBIOS", "EB"}, Check::Range, 0, 1, {}, true, "Enable BIOS value must be 0 or 1!"},
    {{"EnableReceiveOutOfOrderFrame", "EO"}, Check::Range, 0, 1, {}, true,
     "Enable Receive Out Of Order Frame value must be 0 or 1!"},
    {{"DescendingLoopIDSearch", "DS"}, Check::Range, 0, 1, {}, true,
     "Descending LoopID Search value must be 0 or 1!"},
    {{"EnableLR", "EE"}, Check::Range, 0, 1, {}, true, "Enable LR value must be 0 or 1!"},
    {{"EnableSelectableBoot", "ES"}, Check::Range, 0, 1, {}, true,
     "EnableSelectableBoot value must be 0 or 1!"},
    {{"EnableFabricAssignWWN", "FN"}, Check::Range, 0, 1, {}, true,
     "EnableFabricAssignWWN value must be 0 or 1!"},
    {{"EnableFabricAssignBootLun", "FB"}, Check::Range, 0, 1, {}, true,
     "EnableFabricAssignBootLun value must be 0 or 1!"},
    {{"EnableDPort", "DP"}, Check::Range, 0, 1, {}, false, "EnableDPort value must be 0 or 1!"},
    // Distance support carries the distance itself, so any positive value.
    {{"EnableDistanceSupport", "ED"}, Check::AtLeast, 1, 0, {}, false,
     "EnableDistanceSupport value must be greater than or equal to 1!"},
    {{"EnableMinSpeed", "MS"}, Check::Range, 0, 1, {}, false, "EnableMinSpeed value must be 0 or 1!"},
};
// clang-format on

UserNvramConfig g_userNvram[kNvramParamCount];
bool g_userNvramReady = false;

void EnsureUserTable()
{
    if (!g_userNvramReady)
        ResetUserNVRAMConfig();
}

bool Accepts(const ParamRule &rule, long v)
{
    switch (rule.check) {
    case Check::Range:
        return v >= rule.min && v <= rule.max;
    case Check::AtLeast:
        return v >= rule.min;
    case Check::List:
        for (long allowed : rule.list)
            if (allowed >= 0 && v == allowed)
                return true;
        return false;
    case Check::Refused:
        return false;
    }
    return false;
}

// A decimal number that fits a signed 32-bit value.
bool ReadDecimal(const char *text, long &out)
{
    if (!text || !*text)
        return false;
    for (const char *p = text; *p; ++p)
        if (*p < '0' || *p > '9')
            return false;
    errno = 0;
    long long v = std::strtoll(text, nullptr, 10);
    if (errno || v > INT32_MAX)
        return false;
    out = long(v);
    return true;
}

int Refuse(const char *format, const char *arg)
{
    SetParseError(kParseBadParameter, format, arg);
    return -1;
}

} // namespace

const NvramParamInfo &NvramParam(int index) { return kRules[index].info; }

int FindNvramParam(std::string_view name)
{
    for (int i = 0; i < kNvramParamCount; ++i)
        if (SameText(name, kRules[i].info.longName) || SameText(name, kRules[i].info.shortName))
            return i;
    return -1;
}

std::string NvramParamRange(int index)
{
    const ParamRule &rule = kRules[index];
    // The three refused by name before the table is consulted.
    if (!rule.message || index == kNvEnableExtendedLogging)
        return "not supported";
    switch (rule.check) {
    case Check::Range:
        return std::to_string(rule.min) + "-" + std::to_string(rule.max);
    case Check::AtLeast:
        return std::to_string(rule.min) + " or more";
    case Check::List: {
        std::string text;
        for (long allowed : rule.list)
            if (allowed >= 0 && !(allowed == 0 && !text.empty()))
                text += (text.empty() ? "" : ", ") + std::to_string(allowed);
        return text;
    }
    case Check::Refused:
        break;
    }
    return "not supported";
}

int ParseNVRAMParameter(const char *name, const char *value)
{
    if (!name || !*name || !value || !*value) {
        SetParseError(kParseBadParameter, "Invalid HBA parameter name/value!");
        return -1;
    }
    // Refused by name before the table is searched.
    if (SameText(name, "FastErrorReporting") || SameText(name, "FE"))
        return Refuse("Parameter '%s' is not supported (Driver/OS limitation)!",
                      "Fast Error Reporting");
    if (SameText(name, "LinkDownError") || SameText(name, "LD"))
        return Refuse("Parameter '%s' is not supported (Driver/OS limitation)!", "Link Down Error");
    if (SameText(name, "EnableExtendedLogging") || SameText(name, "EL"))
        return Refuse("Parameter '%s' is not supported with this HBA!", "Extended Error Logging");
    int index = FindNvramParam(name);
    Trace(kLevelDebug, "ParseNVRAMParameter: param=%s value=%s paramIndex=%d", name, value, index);
    if (index < 0)
        return Refuse("Invalid option '%s'!", name);
    const ParamRule &rule = kRules[index];
    long v = -1;
    if (rule.takesWords && SameText(value, "Enable"))
        v = 1;
    else if (rule.takesWords && SameText(value, "Disable"))
        v = 0;
    else if (!ReadDecimal(value, v))
        return Refuse("%s", "Invalid HBA parameter name/value!");
    if (!rule.message)
        return Refuse("%s", "Invalid HBA parameter name/value!");
    if (!Accepts(rule, v))
        return Refuse("%s", rule.message);
    return int(v);
}

void AddUserNVRAMConfig(const char *name, int32_t value)
{
    EnsureUserTable();
    if (!name)
        return;
    for (UserNvramConfig &row : g_userNvram)
        if (SameText(name, row.shortName) || SameText(name, row.longName)) {
            row.value = value;
            Trace(kLevelDebug, "AddUserNVRAMConfig: Added %s=%d", name, value);
            return;
        }
}

void ResetUserNVRAMConfig()
{
    for (int i = 0; i < kNvramParamCount; ++i) {
        CopyText(g_userNvram[i].shortName, kRules[i].info.shortName);
        CopyText(g_userNvram[i].longName, kRules[i].info.longName);
        g_userNvram[i].value = -1;
    }
    g_userNvramReady = true;
}

const UserNvramConfig *UserNVRAMConfigTable()
{
    EnsureUserTable();
    return g_userNvram;
}
