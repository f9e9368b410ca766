#include "diag/params.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/text.h"
#include "command/parse.h"
#include "frame/messages.h"

namespace {

struct DiagTables {
    DiagTable standard;
    DiagTable echo;
    bool echoSelected = false;
    DiagNameMode nameMode = DiagNameMode::Full;
    CustomDataPattern pattern;
};

DiagTables &Tables()
{
    static DiagTables tables;
    return tables;
}

void FillStandardTable(int mode)
{
    DiagTable &t = Tables().standard;
    t.Fill(0, "DP", "DataPattern", "Random");
    t.Fill(1, "DS", "DataSize", mode == 0 ? "512" : "8");
    t.Fill(2, "TC", "TestCount", "10");
    t.Fill(3, "TI", "TestIncrement", "1");
    t.Fill(4, "OE", "OnError", "0");
    char type[4] = "2";
    if (mode == 0 || mode == 1 || mode == 3 || mode == 4 || mode == 5 || mode == 6)
        std::snprintf(type, sizeof type, "%d", mode);
    t.Fill(5, "LT", "LoopbackType", type);
}

void FillEchoTable()
{
    DiagTable &t = Tables().echo;
    t.Fill(0, "-P", "--PayloadPattern", "RPAT");
    t.Fill(1, "-L", "--PayloadSize", "8");
    t.Fill(2, "-C", "--Count", "1");
    t.Fill(3, "-I", "--Interval", "1");
    t.Fill(4, "-E", "--Error", "0");
    t.Fill(5, "-T", "--Type", "6");
}

DiagTable &Current()
{
    DiagTables &t = Tables();
    return t.echoSelected ? t.echo : t.standard;
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

} // namespace

// ---- Diagnostics ------------------------------------------------------------

void InitializeUserDiagnosticsTable(int mode)
{
    DiagTables &t = Tables();
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
    DiagTables &t = Tables();
    t.echoSelected = false;
    t.nameMode = DiagNameMode::Full;
    FillStandardTable(kDiagLoopback);
    FillEchoTable();
    t.pattern = CustomDataPattern{};
}

void AddUserDiagnosticsData(std::string_view key, std::string_view value)
{
    Current().Set(key, value);
}

void AddUserDiagnosticsElsEchoPingData(std::string_view key, std::string_view value)
{
    DiagTable &echo = Tables().echo;
    int i = echo.Find(key);
    // The validation list names the sixth entry "--Echo".
    if (i < 0 && SameText(key, "--Echo"))
        i = 5;
    echo.Set(i, value);
}

const DiagTableEntry *UserDiagnosticsTable() { return Current().data(); }

bool ElsEchoTableSelected() { return Tables().echoSelected; }

const char *GetUserDiagParamValueStr(std::string_view alias) { return Current().Value(alias); }

int GetUserDiagParamValue(std::string_view alias)
{
    const char *v = GetUserDiagParamValueStr(alias);
    return v ? std::atoi(v) : 0;
}

const char *GetUserDiagEchoPingParamValueStr(std::string_view alias)
{
    return Tables().echo.Value(alias);
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
