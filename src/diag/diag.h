// Diagnostics tests: loopback, read/write buffer, FC ping, CT ping, fabric
// trace route, ELS echo and D-Port. Each runs on the calling thread as a
// long-running operation and answers the host status.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/status.h"
#include "device/device.h"
#include "device/devicelist.h"
#include "diag/params.h"
#include "tavro_api.h"

// Host status codes of the diagnostics.
enum : int {
    kDiagParamError = 40,
    kDiagLoopDown = 41,
    kDiagLoopbackErrors = 42,
    kDiagMiscompare = 43,
    kDiagAllDisabled = 45,
    kDiagNoTarget = 46,
    kDiagFrameTooSmall = 47,
    kDiagInvalidValue = 48,
    kDiagUnknownOption = 60,
};

// Pattern kinds of the settings record.
enum : uint32_t {
    kPatternRandom = 0,
    kPatternCrpat = 1,
    kPatternCjtpat = 2,
    kPatternCspat = 3,
    kPatternCustom = 4,
    kPatternByte = 5,
};

enum : int {
    kTopologyPointToPoint = 1,
    kTopologyLoop = 2,
    kTopologyUnknown = 3,
};

// One test run's settings, copied from the user table when the test starts.
struct DiagSettings {
    uint32_t instance = 0;
    uint32_t testCount = 0;
    bool continuous = false;
    uint32_t onError = 0; // 0 ignore, 1 stop, 2 loop
    uint32_t increment = 1;
    uint32_t patternKind = kPatternRandom;
    uint32_t loopbackType = 0;
    uint32_t dataSize = 8;
    bool dataIntegrity = false;
    uint8_t pattern[8] = {};
    std::vector<uint32_t> excludedPortIds;
    int topology = kTopologyUnknown;
    uint8_t destination[8] = {};
    uint32_t interval = 1; // ELS echo: seconds between pings
};

// UpdateDiagnosticsParameter: the standard table into a settings record.
void UpdateDiagnosticsParameter(DiagSettings &s, int mode, int familyCode);
// Eight new random bytes.
void NewRandomPattern(uint8_t out[8]);
// The loopback payload; empty when it cannot be built.
std::vector<uint8_t> BuildLoopbackPayload(const DiagSettings &s, bool pointToPoint);
uint32_t LoopbackOptionWord(uint32_t type, bool pointToPoint);
bool LoopbackTypeAccepted(uint32_t type, int familyCode, uint32_t patternKind);
const char *LoopbackTypeName(uint32_t type, int familyCode);
// Passes of a counted test: ceil(count / increment).
uint32_t PassCount(uint32_t count, uint32_t increment);
// The lines of a settings block ("Diagnostics Test Configuration" / "Diagnostics Settings").
std::vector<std::string> SettingsBlock(const char *title, const DiagSettings &s, int mode,
                                       int familyCode, bool settingsView);

// The target exclusion list.
struct DisabledTarget {
    uint8_t wwnn[8] = {};
    uint8_t wwpn[8] = {};
    uint32_t entry = 0;
};
std::vector<DisabledTarget> &DisabledTargets();
int AddDeviceToDisableDiagList(const uint8_t names[16], uint32_t entry);
void DeleteAllDeviceFromDisableDiagList();

// ELS echo destinations.
struct EchoDestinationEntry {
    uint8_t wwn[8] = {};
    int kind = 1;
};
std::vector<EchoDestinationEntry> &EchoDestinations();

// The tests (null adapter: "Unable to locate the specified HBA!", 8).
int RunLoopbackTest(FibreAdapter *a);
int RunReadWriteBufferTest(FibreAdapter *a);
int RunFcPingTest(FibreAdapter *a);
int RunCtTest(FibreAdapter *a, int mode); // CT ping or trace route
int RunEchoPingTest(FibreAdapter *a);
int RunDPortTest(FibreAdapter *a, bool bfsOverride);
int CheckExDevicesToRunDiagnostics(FibreAdapter *a);

// The result of the port's last D_Port test, as the firmware keeps it: the
// table of the test (detail: both ends in full), or cleared.
int DisplayDPortResult(FibreAdapter *a, bool detail);
int ClearDPortResult(FibreAdapter *a);
// No D_Port test ran on the port since its results were last cleared.
constexpr int kDPortNoResult = 73;

// D_Port option in NVRAM.
int DisplayAdapterDPortCfgInfo(FibreAdapter *a);
int ConfigureAdapterDPortSettings(FibreAdapter *a, int value);
// Text and host status of a D_Port test result code.
const char *DPortResultText(uint32_t code);
int DPortResultStatus(uint32_t code);

// A CT request and the retry rule shared by CT ping and trace route: answers
// the final response (empty when the request could not be sent).
struct CtOutcome {
    bool sent = false;
    std::vector<uint8_t> response;
    int attempts = 0;
};
