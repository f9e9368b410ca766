// The four monitors, the one-shot temperature display and the two resets.
// Each works on a list of ports (one, or every port of the adapter list) and
// answers a status; its output goes through the renderer of the command.
#pragma once

#include <cstdint>
#include <vector>

#include "tavro_api.h"

// Temperature sample status (0-6) and the host status codes that go with them.
enum : int {
    kTempGood = 0,
    kTempBelowMin = 1,
    kTempAboveMax = 2,
    kTempMailboxUnsupported = 3,
    kTempMailboxFailed = 4,
    kTempBufferTooSmall = 5,
    kTempUnreadable = 6,
};
enum : int {
    kHostTempBufferTooSmall = 600,
    kHostTempReadFailed = 601,
    kHostTempMailboxFailed = 603,
    kHostTempMailboxUnsupported = 604,
    kHostTempNotRead = 605,
};
// A failed counter reset.
constexpr int kStatusResetFailed = 51;
// The operation does not apply to the selected adapter.
constexpr int kStatusOptionUnsupported = 7;
// The installed driver cannot read the board's sensor.
constexpr int kStatusDriverTooOld = 120;

struct TemperatureSample {
    int temperature = 0;
    int threshold = 0;
    int status = kTempUnreadable;
    int lowAlarm = 0;
    int highAlarm = 0;
    int hostStatus = kHostTempNotRead;
    bool supported = false;
    bool driverTooOld = false; // not read: the driver is too old for this board
};
const char *TemperatureStatusText(int status);
// Reads one port's board temperature against the table's alarms.
TemperatureSample ReadAdapterTemperature(const FibreAdapter &adapter);

// The ports a command names: the one given, or every port of the list.
std::vector<FibreAdapter *> MonitorPorts(FibreAdapter *one);

int MonitorHBAStatistics(const std::vector<FibreAdapter *> &ports);
int MonitorLinkStatus(const std::vector<FibreAdapter *> &ports);
int MonitorTemperature(const std::vector<FibreAdapter *> &ports);
int MonitorBBCredit(const std::vector<FibreAdapter *> &ports);
int DisplayBoardTemperature(const std::vector<FibreAdapter *> &ports);
int ResetHBAStatistics(FibreAdapter &adapter);
int ResetLinkStatus(FibreAdapter &adapter);
