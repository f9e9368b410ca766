// Settings record, data patterns, payloads and the settings blocks.
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "base/oss.h"
#include "base/text.h"
#include "diag/diag.h"
#include "frame/messages.h"
#include "frame/props.h"

namespace {

constexpr uint8_t kCrpat[12] = {0xBE, 0xD7, 0x23, 0x47, 0x6B, 0x8F,
                                0xB3, 0x14, 0x5E, 0xFB, 0x35, 0x59};
constexpr uint8_t kEchoWord[4] = {0x10, 0x00, 0x00, 0x00};
constexpr uint32_t kMaxDataSize = 0x200168;

// The 64-byte tail of the jitter pattern.
std::vector<uint8_t> CjtpatTail()
{
    std::vector<uint8_t> t = {0x7E, 0x7E, 0x7E, 0x74, 0x7E, 0xAB};
    t.insert(t.end(), 51, 0xB5);
    for (uint8_t b : {0x5E, 0x4A, 0x7E, 0x7E, 0x7E, 0x7E, 0xFE})
        t.push_back(b);
    return t;
}

int HexByte(const char *text)
{
    char buf[3] = {text[0], text[0] ? text[1] : '\0', '\0'};
    return int(std::strtol(buf, nullptr, 16));
}

bool SeededOnce = false;

} // namespace

void NewRandomPattern(uint8_t out[8])
{
    if (!SeededOnce) {
        std::srand(unsigned(getpid()) + unsigned(oss::Now()));
        SeededOnce = true;
    }
    for (int i = 0; i < 8; ++i) {
        int r1 = std::rand();
        int r2 = std::rand();
        out[i] = uint8_t(r2 % ((r1 & 255) + 1));
    }
}

void UpdateDiagnosticsParameter(DiagSettings &s, int mode, int familyCode)
{
    Trace(kLevelDebug, "Updating Diagnostics Parameter ***");
    s.dataSize = 8;
    const char *pattern = GetUserDiagParamValueStr("DP");
    std::string p = pattern ? pattern : "Random";
    if (SameText(p, "Random") || SameText(p, "RPAT")) {
        s.patternKind = kPatternRandom;
        NewRandomPattern(s.pattern);
    } else if (SameText(p, "CRPAT")) {
        s.patternKind = kPatternCrpat;
    } else if (SameText(p, "CJTPAT")) {
        s.patternKind = kPatternCjtpat;
    } else if (SameText(p, "CSPAT")) {
        s.patternKind = kPatternCspat;
    } else if (UserDataPattern().set) {
        s.patternKind = kPatternCustom;
        std::memcpy(s.pattern, UserDataPattern().bytes, 8);
    } else {
        s.patternKind = kPatternByte;
        std::memset(s.pattern, HexByte(p.c_str()), 8);
    }
    uint32_t size = uint32_t(GetUserDiagParamValue("DS"));
    if (size > kMaxDataSize)
        size = kMaxDataSize;
    if (mode == kDiagReadWriteBuffer || mode == kDiagFcPing) {
        if (size > 128)
            size = 128;
    } else if (familyCode == 17 || familyCode == 26) {
        if (size == 65535)
            size = 65536;
    } else if (size == 65536) {
        size = 65535;
    }
    s.dataSize = size;
    s.testCount = uint32_t(GetUserDiagParamValue("TC"));
    s.increment = uint32_t(GetUserDiagParamValue("TI"));
    s.onError = uint32_t(GetUserDiagParamValue("OE"));
    s.loopbackType = uint32_t(GetUserDiagParamValue("LT"));
    s.dataIntegrity = s.loopbackType == 5;
    s.continuous = s.testCount == 0;
    Trace(kLevelDebug, "End Updating Diagnostics Parameters ***");
}

uint32_t PassCount(uint32_t count, uint32_t increment)
{
    if (increment == 0)
        increment = 1;
    return (count + increment - 1) / increment;
}

std::vector<uint8_t> BuildLoopbackPayload(const DiagSettings &s, bool pointToPoint)
{
    std::vector<uint8_t> out;
    const bool echo = s.loopbackType == 3;
    auto repeat = [&](const uint8_t *cycle, size_t n, size_t total) {
        for (size_t i = 0; out.size() < total; ++i)
            out.push_back(cycle[i % n]);
    };
    if (echo) {
        out.assign(kEchoWord, kEchoWord + 4);
        switch (s.patternKind) {
        case kPatternCrpat:
            repeat(kCrpat, sizeof kCrpat, 252);
            break;
        case kPatternCjtpat: {
            out.insert(out.end(), 184, 0x7E);
            std::vector<uint8_t> tail = CjtpatTail();
            out.insert(out.end(), tail.begin(), tail.end());
            out.resize(252);
            break;
        }
        case kPatternCspat:
            out.insert(out.end(), 248, 0x7F);
            break;
        default:
            repeat(s.pattern, 8, 252);
            break;
        }
        // The echo word came first; the cycle restarts after it.
        if (s.patternKind != kPatternCjtpat && s.patternKind != kPatternCspat) {
            std::vector<uint8_t> body;
            const uint8_t *cycle = s.patternKind == kPatternCrpat ? kCrpat : s.pattern;
            size_t n = s.patternKind == kPatternCrpat ? sizeof kCrpat : 8;
            for (size_t i = 0; body.size() < 248; ++i)
                body.push_back(cycle[i % n]);
            out.assign(kEchoWord, kEchoWord + 4);
            out.insert(out.end(), body.begin(), body.end());
        }
        return out;
    }
    uint32_t size = s.dataSize < 8 ? 8 : s.dataSize;
    if (s.loopbackType == 5 && size > 65536)
        size = 65536;
    switch (s.patternKind) {
    case kPatternCrpat:
        repeat(kCrpat, sizeof kCrpat, 192);
        break;
    case kPatternCjtpat: {
        out.assign(164, 0x7E);
        std::vector<uint8_t> tail = CjtpatTail();
        out.insert(out.end(), tail.begin(), tail.end());
        break;
    }
    case kPatternCspat:
        out.assign(2048, 0x7F);
        break;
    default:
        repeat(s.pattern, 8, size);
        break;
    }
    // An external loopback through a fabric port goes out as an echo frame.
    if (s.loopbackType == 2 && pointToPoint) {
        if (out.size() == 2048)
            out.resize(2044);
        std::memcpy(out.data(), kEchoWord, 4);
    }
    return out;
}

uint32_t LoopbackOptionWord(uint32_t type, bool pointToPoint)
{
    if (type == 5)
        return 0;
    uint32_t w = type == 0 ? 0 : (type == 1 || type == 4) ? 1 : 2;
    w |= 0xB0;
    if (type == 2 && pointToPoint)
        w |= 0x8000;
    return w;
}

bool LoopbackTypeAccepted(uint32_t type, int family, uint32_t patternKind)
{
    const bool fcoe = GetKeyValue("node.fcoe.k7k.loopback.enable", 0) == 1;
    const bool k7k = fcoe && GetKeyValue("node.cna.diag.intloopback.enable", 0) == 1;
    const bool plainPattern = patternKind != kPatternCrpat && patternKind != kPatternCjtpat &&
                              patternKind != kPatternCspat;
    auto in = [&](std::initializer_list<int> codes) {
        for (int c : codes)
            if (c == family)
                return true;
        return false;
    };
    switch (type) {
    case 0:
        return family <= 12;
    case 1:
    case 4:
        if (in({12, 15, 25, 26, 27}))
            return true;
        if (family == 17)
            return k7k;
        if (in({21, 24}))
            return plainPattern;
        return false;
    case 2:
        if (family == 17)
            return fcoe;
        if (in({21, 24}))
            return plainPattern;
        return true;
    case 3:
        if (in({15, 26}))
            return true;
        if (family == 17)
            return fcoe;
        if (family == 21)
            return plainPattern;
        return false;
    case 6:
        return true;
    default:
        return false;
    }
}

const char *LoopbackTypeName(uint32_t type, int family)
{
    switch (type) {
    case 0:
        return "10 bit Internal Loopback";
    case 1:
        return "1 bit Serial Internal Loopback";
    case 3:
        return family > 14 ? "ELS Echo Loopback" : "External Loopback";
    case 4:
        return "Internal Loopback";
    case 5:
        return "Max IO";
    default:
        return "External Loopback";
    }
}

namespace {

std::string Label(const char *label) { return Format("%-25s: ", label); }

std::string PatternLine(const DiagSettings &s)
{
    switch (s.patternKind) {
    case kPatternRandom:
        return Label("Data Pattern") + "Random (RPAT)";
    case kPatternCrpat:
        return Label("Data Pattern") + "CRPAT (192B)";
    case kPatternCjtpat:
        return Label("Data Pattern") + "CJTPAT (228B)";
    case kPatternCspat:
        return Label("Data Pattern") + "CSPAT (2048B)";
    case kPatternCustom:
        return Label("Data Pattern (Custom)") + WwnText(s.pattern, WwnStyle::Dashed);
    default:
        return Label("Data Pattern") + WwnText(s.pattern, WwnStyle::Dashed);
    }
}

const char *ModeName(int mode, bool settingsView)
{
    switch (mode) {
    case kDiagLoopback:
        return "Loopback";
    case kDiagReadWriteBuffer:
        return "R/W Buffer";
    case kDiagFcPing:
        return "FC Ping";
    case kDiagCtPing:
        return "CT Ping";
    case kDiagCtFtr:
        return "CT FTR";
    case kDiagMaxBiDi:
        return "MaxBiDi";
    case kDiagElsEcho:
        return settingsView ? "FC Ping ELS Echo" : "ELS Echo Ping";
    default:
        return "Unknown";
    }
}

} // namespace

std::vector<std::string> SettingsBlock(const char *title, const DiagSettings &s, int mode,
                                       int family, bool settingsView)
{
    std::vector<std::string> lines;
    const std::string rule(60, '-');
    lines.push_back(rule);
    lines.push_back(title);
    lines.push_back(rule);
    lines.push_back(Label("Diagnostic Mode") + ModeName(mode, settingsView));
    if (mode == kDiagLoopback || mode == kDiagReadWriteBuffer || mode == kDiagElsEcho) {
        lines.push_back(PatternLine(s));
        lines.push_back(Label("Data Size (Bytes)") + std::to_string(s.dataSize));
    }
    if (mode == kDiagElsEcho) {
        lines.push_back(Label("Destination WWN") + WwnText(s.destination, WwnStyle::Dashed));
        lines.push_back(Label("Number of Echo Request") + std::to_string(s.testCount));
        lines.push_back(Label("Wait Interval (Seconds)") + std::to_string(s.interval));
    } else {
        const bool loop = mode == kDiagLoopback;
        std::string count = s.continuous ? "N/A" : std::to_string(s.testCount);
        lines.push_back((loop ? "Number of tests (1-65535): " : "Number of tests (1-10000): ") +
                        count);
        lines.push_back((loop ? "Test Increment(1-65535)  : " : "Test Increment(1-10000)  : ") +
                        std::to_string(s.increment));
    }
    static const char *const kOnError[] = {"Ignore", "Stop", "Loop"};
    lines.push_back(Label("Abort On Error") + (s.onError < 3 ? kOnError[s.onError] : "Ignore"));
    if (mode != kDiagElsEcho)
        lines.push_back(Label("Test Continuous") + (s.continuous ? "ON" : "OFF"));
    if (mode == kDiagLoopback)
        lines.push_back(Label("Loopback Type") + LoopbackTypeName(s.loopbackType, family));
    lines.push_back(rule);
    return lines;
}

std::vector<DisabledTarget> &DisabledTargets()
{
    static std::vector<DisabledTarget> list;
    return list;
}

int AddDeviceToDisableDiagList(const uint8_t names[16], uint32_t entry)
{
    DisabledTarget t;
    std::memcpy(t.wwnn, names, 8);
    std::memcpy(t.wwpn, names + 8, 8);
    t.entry = entry;
    DisabledTargets().push_back(t);
    return 0;
}

void DeleteAllDeviceFromDisableDiagList() { DisabledTargets().clear(); }

std::vector<EchoDestinationEntry> &EchoDestinations()
{
    static std::vector<EchoDestinationEntry> list;
    return list;
}
