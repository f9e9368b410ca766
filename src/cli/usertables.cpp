#include "cli/usertables.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/cmdrecord.h"
#include "frame/frame.h"
#include "frame/messages.h"

namespace {

struct PendingTables {
    DiagTableEntry standard[kDiagTableSize] = {};
    DiagTableEntry echo[kDiagTableSize] = {};
    bool echoSelected = false;
    DiagNameMode nameMode = DiagNameMode::Full;
    CustomDataPattern pattern;
    BeaconTableEntry beacon[kBeaconTableSize] = {};
};

PendingTables &Tables()
{
    static PendingTables tables;
    return tables;
}

void FillEntry(DiagTableEntry &e, const char *alias, const char *name, const char *value)
{
    CopyText(e.alias, alias);
    CopyText(e.name, name);
    CopyText(e.value, value);
}

void FillStandardTable(int mode)
{
    DiagTableEntry *t = Tables().standard;
    FillEntry(t[0], "DP", "DataPattern", "Random");
    FillEntry(t[1], "DS", "DataSize", mode == 0 ? "512" : "8");
    FillEntry(t[2], "TC", "TestCount", "10");
    FillEntry(t[3], "TI", "TestIncrement", "1");
    FillEntry(t[4], "OE", "OnError", "0");
    char type[4] = "2";
    if (mode == 0 || mode == 1 || mode == 3 || mode == 4 || mode == 5 || mode == 6)
        std::snprintf(type, sizeof type, "%d", mode);
    FillEntry(t[5], "LT", "LoopbackType", type);
}

void FillEchoTable()
{
    DiagTableEntry *t = Tables().echo;
    FillEntry(t[0], "-P", "--PayloadPattern", "RPAT");
    FillEntry(t[1], "-L", "--PayloadSize", "8");
    FillEntry(t[2], "-C", "--Count", "1");
    FillEntry(t[3], "-I", "--Interval", "1");
    FillEntry(t[4], "-E", "--Error", "0");
    FillEntry(t[5], "-T", "--Type", "6");
}

DiagTableEntry *FindEntry(DiagTableEntry *table, std::string_view key)
{
    for (int i = 0; i < kDiagTableSize; ++i)
        if (SameText(key, table[i].alias) || SameText(key, table[i].name))
            return &table[i];
    return nullptr;
}

bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    return std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
}

// Two hex digits a byte, stepping 3 characters when the text has dashes.
bool ParsePatternBytes(std::string_view text, uint8_t out[8])
{
    if (text.empty())
        return false;
    size_t step = text.find('-') != std::string_view::npos ? 3 : 2;
    uint8_t bytes[8] = {};
    int n = 0;
    for (size_t i = 0; i < text.size() && n < 8; i += step) {
        if (i + 1 >= text.size() || !IsHexDigit(text[i]) || !IsHexDigit(text[i + 1])) {
            Trace(kLevelDebug, "*** %.*s is not in valid hex format.", int(text.size()),
                  text.data());
            return false;
        }
        bytes[n++] = uint8_t(HexValue(text[i]) << 4 | HexValue(text[i + 1]));
    }
    std::memcpy(out, bytes, sizeof bytes);
    return true;
}

const RangedParam kFcoeEngineParams[kFcoeParamCount] = {
    {"PortSelection", "PS", 0, 1, "Port Selection must be 0 or 1!"},
    {"PortType", "AT", 0, 1, "Port type value must be 0 (Access) or 1 (Trunk)!"},
    {"PauseType", "PT", 1, 2,
     "Pause Type value must be 1 (Standard Pause) or 2 (Priority Flow Control)!"},
    {"COS", "CS", 0, 7, "FCoE COS value must be 0-7!"},
    {"RetryCount", "RC", 0, 255, "Retry Count value must be 0-255!"},
    {"FwUpdateTimeOut", "UT", 0, 65535, "Firmware Update Timeout value must be 0-65535!"},
    {"QuillTimeOut", "MT", 0, 65535, "FCoE Timeout value must be 0-65535!"},
    {"PriorityPauseMask", "PM", 0, 255, "Priority Pause Make value must be 0-255!"},
    {"FCoEConfig", "FC", 0, 1, "FCoE Config value must be 0 or 1!"},
    // The engine reports its own bounds; only their order is checked here.
    {"FCoEConfigMin", "FI", 0, 255, nullptr},
    {"FCoEConfigMax", "FA", 0, 255, nullptr},
    {"FCoEConfigEnable", "FE", 0, 1, "FCoE Config Enable value must be 0 or 1!"},
    {"FCMap", "FM", 0, 0, nullptr},
};

const RangedParam kDcbxParams[] = {
    {"PortAccessNo", "", 0, 1, "Port Selection must be 0 or 1!"},
    {"DCBXEnable", "", 0, 1, "DCBX Enable value must be 0-1!"},
    {"SANPriorityCoS", "", 0, 7, "FCoE COS value must be 0-7!"},
    {"FCPriorityCoS", "", 0, 7, "FC Priority CoS value must be 0-7!"},
    {"PortPauseType", "", 0, 2,
     "Pause Type value must be 0 (Disable Pause), 1 (Standard Pause) or 2 (Per Priority Pause)!"},
    {"PriorityTxtMode", "", 0, 1, "Priority Txt Mode value must be 0-1!"},
    {"SANBandwidthPerc", "", 0, 100, "SAN Bandwidth Percentage value must be 0-100!"},
    {"SANUnusedBwToLAN", "", 0, 1, "SAN Unused Bw To LAN value must be 0 or 1!"},
    {"LANUnusedBwToSAN", "", 0, 1, "LAN Unused Bw To SAN value must be 0-1!"},
};

// VLAN 0 (priority tag) and 4095 (reserved) cannot carry FCoE.
const RangedParam kFcfVlanParams[] = {
    {"SelectionEnable", "", 0, 1, "Discovery enable value must be 0-1!"},
    {"VlanID", "", 1, 4094, "Invalid VLAN id value!"},
};

} // namespace

// ---- Diagnostics ------------------------------------------------------------

void InitializeUserDiagnosticsTable(int mode)
{
    PendingTables &t = Tables();
    if (mode == kDiagElsEcho) {
        t.echoSelected = true;
        FillEchoTable();
        return;
    }
    if (!t.echoSelected)
        FillStandardTable(mode);
}

void ResetUserDiagnosticsTables()
{
    PendingTables &t = Tables();
    t.echoSelected = false;
    t.nameMode = DiagNameMode::Full;
    FillStandardTable(kDiagLoopback);
    FillEchoTable();
    t.pattern = CustomDataPattern{};
}

void AddUserDiagnosticsData(std::string_view key, std::string_view value)
{
    PendingTables &t = Tables();
    if (DiagTableEntry *e = FindEntry(t.echoSelected ? t.echo : t.standard, key))
        CopyText(e->value, value);
}

void AddUserDiagnosticsElsEchoPingData(std::string_view key, std::string_view value)
{
    DiagTableEntry *e = FindEntry(Tables().echo, key);
    // The validation list names the sixth entry "--Echo".
    if (!e && SameText(key, "--Echo"))
        e = &Tables().echo[5];
    if (e)
        CopyText(e->value, value);
}

const DiagTableEntry *UserDiagnosticsTable()
{
    PendingTables &t = Tables();
    return t.echoSelected ? t.echo : t.standard;
}

bool ElsEchoTableSelected() { return Tables().echoSelected; }

const char *GetUserDiagParamValueStr(std::string_view alias)
{
    PendingTables &t = Tables();
    DiagTableEntry *e = FindEntry(t.echoSelected ? t.echo : t.standard, alias);
    return e ? e->value : nullptr;
}

int GetUserDiagParamValue(std::string_view alias)
{
    const char *v = GetUserDiagParamValueStr(alias);
    return v ? std::atoi(v) : 0;
}

const char *GetUserDiagEchoPingParamValueStr(std::string_view alias)
{
    DiagTableEntry *e = FindEntry(Tables().echo, alias);
    return e ? e->value : nullptr;
}

void SetDiagnosticsNameMode(DiagNameMode mode) { Tables().nameMode = mode; }

int ValidateDiagnosticsParamName(std::string_view name)
{
    static const char *const kStandard[kDiagTableSize][2] = {
        {"DP", "DataPattern"},   {"DS", "DataSize"}, {"TC", "TestCount"},
        {"TI", "TestIncrement"}, {"OE", "OnError"},  {"LT", "LoopbackType"}};
    static const char *const kEcho[kDiagTableSize][2] = {
        {"-P", "--PayloadPattern"}, {"-L", "--PayloadSize"}, {"-C", "--Count"},
        {"-I", "--Interval"},       {"-E", "--Error"},       {"-T", "--Echo"}};
    switch (Tables().nameMode) {
    case DiagNameMode::CountsOnly:
        for (int i = 2; i <= 4; ++i)
            if (SameText(name, kStandard[i][0]) || SameText(name, kStandard[i][1]))
                return i - 2;
        return -1;
    case DiagNameMode::ElsEcho:
        for (int i = 0; i < kDiagTableSize; ++i)
            if (SameText(name, kEcho[i][0]) || SameText(name, kEcho[i][1]))
                return i;
        return -1;
    case DiagNameMode::Full:
        break;
    }
    for (int i = 0; i < kDiagTableSize; ++i)
        if (SameText(name, kStandard[i][0]) || SameText(name, kStandard[i][1]))
            return i;
    return -1;
}

int ValidateDiagnosticsParamValue(int index, long value, char *msg, size_t msgSize, int mode)
{
    const char *text = nullptr;
    char buf[kErrorMessageSize];
    bool countsOnly = mode == kDiagFcPing || mode == kDiagCtPing || mode == kDiagCtFtr;
    if (countsOnly && (index == 0 || index == 1 || index == 5))
        index = -1;
    switch (index) {
    case 0:
        if (value < 0 || value > 15)
            text = "Data Pattern value must be in hex!";
        break;
    case 1:
        if (mode == kDiagLoopback) {
            bool ok = false;
            for (long s = 8; s <= 2048; s *= 2)
                ok = ok || value == s;
            if (!ok)
                text = "Data Size value must be 8,16,32,64,128,256,512,1024 or 2048 bytes!";
        } else if (mode == kDiagElsEcho) {
            bool ok = false;
            for (long s = 8; s <= 2048; s *= 2)
                ok = ok || value == s;
            if (!ok)
                text = "Data Size value must be 256,512,1024 or 2048 bytes!";
        } else if (value != 8 && value != 16 && value != 32 && value != 64 && value != 128) {
            text = "Data Size value must be 8,16,32,64 or 128 bytes!";
        }
        break;
    case 2:
        if (mode == kDiagLoopback) {
            if (value < 0 || value > 65535)
                text = "Test Count value must be 0-65535!";
        } else if (mode == kDiagElsEcho) {
            if (value < 0 || value > 1000)
                text = "Count value must be from 0 to 10000!";
        } else if (value < 0 || value > 10000) {
            text = "Test count value must be from 0 to 10000!";
        }
        break;
    case 3:
        if (mode == kDiagLoopback) {
            if (value < 0 || value > 65535)
                text = "Test Increment value must be 1-65535!";
        } else if (mode == kDiagElsEcho) {
            if (value < 0 || value > 60)
                text = "Wait Interval value must be from 1 to 60!";
        } else if (value < 0 || value > 10000) {
            text = "Test increment value must be from 1 to 10000!";
        }
        break;
    case 4:
        if (value < 0 || value > 2)
            text = "Error value must be 0 (Ignore), 1 (Stop) or 2 (Loop)!";
        break;
    case 5:
        // The echo table's sixth entry (the echo type) takes any value.
        if (mode != kDiagElsEcho && (value < 0 || value > 4)) {
            std::snprintf(buf, sizeof buf, "Invalid diagnostics loopback type (%ld)!", value);
            text = buf;
        }
        break;
    case 6:
        break;
    default:
        CopyText(msg, msgSize, "Invalid diagnostics option (value)!");
        return kParseBadParameter;
    }
    if (!text)
        return 0;
    CopyText(msg, msgSize, text);
    return kParseBadDiagValue;
}

const CustomDataPattern &UserDataPattern() { return Tables().pattern; }

int ParseDataPattern(std::string_view text, char *msg, size_t msgSize)
{
    CustomDataPattern &p = Tables().pattern;
    for (const char *word : {"random", "RPAT", "CRPAT", "CJTPAT", "CSPAT"})
        if (SameText(text, word)) {
            p.set = false;
            return 0;
        }
    for (const char *word : {"00", "55", "5A", "A5", "AA", "FF"})
        if (SameText(text, word)) {
            p.set = false;
            return 0;
        }
    uint8_t bytes[8] = {};
    bool fullForm =
        text.size() == 16 || (text.size() == 23 && text.find('-') != std::string_view::npos);
    if (ParsePatternBytes(text, bytes)) {
        std::memcpy(p.bytes, bytes, sizeof bytes);
        p.set = true;
        return 0;
    }
    char buf[kErrorMessageSize];
    if (fullForm) {
        CopyText(msg, msgSize, "Unrecognized data pattern!");
        return 3;
    }
    std::snprintf(buf, sizeof buf, "Invalid hexadecimal number (%.*s)!", int(text.size()),
                  text.data());
    CopyText(msg, msgSize, buf);
    return 4;
}

// ---- Target beacon ----------------------------------------------------------

void ResetTargetBeaconSettings()
{
    static const char *const kDefaults[kBeaconTableSize][3] = {
        {"FlashCount", "FC", "1"}, {"SetRate", "SR", "1"}, {"LogFile", "LF", "N/A"}};
    for (int i = 0; i < kBeaconTableSize; ++i) {
        BeaconTableEntry &e = Tables().beacon[i];
        CopyText(e.name, kDefaults[i][0]);
        CopyText(e.alias, kDefaults[i][1]);
        CopyText(e.value, kDefaults[i][2]);
    }
}

const BeaconTableEntry *TargetBeaconTable() { return Tables().beacon; }

int FindBeaconParam(std::string_view name)
{
    for (int i = 0; i < kBeaconTableSize; ++i)
        if (SameText(name, Tables().beacon[i].name) || SameText(name, Tables().beacon[i].alias))
            return i;
    return -1;
}

void SetTargetBeaconValue(int index, std::string_view value)
{
    if (index >= 0 && index < kBeaconTableSize)
        CopyText(Tables().beacon[index].value, value);
}

// ---- Converged-adapter tables -----------------------------------------------

const RangedParam *FcoeEngineParams() { return kFcoeEngineParams; }
const RangedParam *DcbxParams() { return kDcbxParams; }
size_t DcbxParamCount() { return std::size(kDcbxParams); }
const RangedParam *FcfVlanParams() { return kFcfVlanParams; }
size_t FcfVlanParamCount() { return std::size(kFcfVlanParams); }

int FindRangedParam(const RangedParam *table, size_t count, std::string_view name)
{
    for (size_t i = 0; i < count; ++i)
        if (SameText(name, table[i].name) || (table[i].alias[0] && SameText(name, table[i].alias)))
            return int(i);
    return -1;
}

void ResetPendingUserTables()
{
    ResetUserDiagnosticsTables();
    ResetUserStatSettings();
    ResetTargetBeaconSettings();
}
