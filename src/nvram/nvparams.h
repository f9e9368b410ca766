// The adapter (NVRAM) parameters a user may set: their names, the parse-time
// checks of a name and value, and the pending settings that the next
// parameter update applies.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

constexpr int kNvramParamCount = 30;

// Table indexes that the rest of the library refers to by number.
enum NvramParamIndex : int {
    kNvDataRate = 0,
    kNvConnectionOption = 1,
    kNvEnableFCTape = 2,
    kNvMaximumLunsPerTarget = 3,
    kNvEnableHardLoopID = 4,
    kNvHardLoopID = 5,
    kNvFrameSize = 6,
    kNvEnableLIPFullLogin = 7,
    kNvEnableLIPReset = 8,
    kNvEnableTargetReset = 9,
    kNvEnableExtendedLogging = 10,
    kNvResetDelay = 11,
    kNvLoginRetryCount = 12,
    kNvLinkDownTimeout = 13,
    kNvLinkDownError = 14,
    kNvPortDownRetryCount = 15,
    kNvExecutionThrottle = 16,
    kNvFastErrorReporting = 17,
    kNvOperationMode = 18,
    kNvInterruptDelayTimer = 19,
    kNvEnableBIOS = 20,
    kNvEnableReceiveOutOfOrderFrame = 21,
    kNvDescendingLoopIDSearch = 22,
    kNvEnableLR = 23,
    kNvEnableSelectableBoot = 24,
    kNvEnableFabricAssignWWN = 25,
    kNvEnableFabricAssignBootLun = 26,
    kNvEnableDPort = 27,
    kNvEnableDistanceSupport = 28,
    kNvEnableMinSpeed = 29,
};

struct NvramParamInfo {
    const char *longName;
    const char *shortName;
};
// Row index of the table (0 to 29).
const NvramParamInfo &NvramParam(int index);
// Index of a long or short name (any case), or -1.
int FindNvramParam(std::string_view name);
// The values the parser accepts for a row, as a user reads them ("0-255",
// "512, 1024, 2048", "1 or more", "not supported").
std::string NvramParamRange(int index);

// One pending setting: value -1 means "not set".
struct UserNvramConfig {
    char shortName[3];
    char longName[41];
    int32_t value;
};

// Checks one name/value pair. Answers the value, or -1 with the message in
// the command record's error buffer and its parse-error flag set.
int ParseNVRAMParameter(const char *name, const char *value);
// Stores a pending setting in the row whose short or long name is name.
void AddUserNVRAMConfig(const char *name, int32_t value);
// Every pending value back to -1.
void ResetUserNVRAMConfig();
// The thirty pending settings in table order.
const UserNvramConfig *UserNVRAMConfigTable();
